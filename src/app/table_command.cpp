#include "app/table_command.h"

#include "app/render_command.h"
#include "app/session.h"
#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/hostfile.h"
#include "host/lisp.h"

#include <nlohmann/json.hpp>
#include <xlsxwriter.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <unordered_map>
#include <unistd.h>

namespace app {

namespace {

// Column indexes of a row as the module hands it over: designations, two
// empty columns, name, model, quantity.
constexpr std::size_t kDesignations = 0, kName = 3, kModel = 4, kQuantity = 5, kRowFields = 6;

// One model of a designation found with several, and the drawings that
// give it that model.
struct ModelIn {
    std::string model;
    std::vector<std::string> drawings;
};
struct Conflict {
    std::string designation;
    std::vector<ModelIn> models;
};

struct Row {
    std::vector<std::string> fields; // the module's, kRowFields of them
    std::vector<std::string> missing;
    std::vector<const Conflict*> conflicts;
    std::vector<std::string> drawings;
};

struct Sheet {
    std::string title;
    std::vector<Row> rows;
};

// The table: the drawing's sheet, or the project's sheet followed by one
// sheet per drawing.
struct Table {
    bool project = false;
    std::vector<Sheet> sheets;
    std::vector<Conflict> conflicts;
};

// ---------------------------------------------------------------- designations

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool allDigits(const std::string& s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), isDigit);
}

// One designation of a row: its letters and number (numbered when the
// number is all digits; only those make runs) and its text.
struct Designation {
    std::string letters, number, text;
    bool digitsFirst = false;
    bool numbered = false;
};

Designation makeDesignation(std::string letters, std::string number, bool digitsFirst)
{
    Designation d;
    d.numbered = allDigits(number) && number.size() < 9;
    d.text = digitsFirst ? number + letters : letters + number;
    d.letters = std::move(letters);
    d.number = std::move(number);
    d.digitsFirst = digitsFirst;
    return d;
}

// KM12 -> KM 12; 12KM -> 12 KM (a designation starting with a digit has
// its number up to its last digit).
Designation splitDesignation(const std::string& text)
{
    if (!text.empty() && isDigit(text[0])) {
        std::size_t last = text.size();
        while (last > 0 && !isDigit(text[last - 1]))
            --last;
        return makeDesignation(text.substr(last), text.substr(0, last), true);
    }
    const std::size_t first = std::find_if(text.begin(), text.end(), isDigit) - text.begin();
    Designation d = makeDesignation(text.substr(0, first), text.substr(first), false);
    d.text = text;
    return d;
}

// A row's designations as the module writes them: "KM1~3" (a whole run),
// "KM1,2,5" (numbers of the same letters), "1~3K", "1,3K" or a list of
// whole designations ("KM1,QF2").
std::vector<Designation> expandDesignations(const std::string& field)
{
    std::vector<std::string> pieces;
    std::stringstream in(field);
    for (std::string p; std::getline(in, p, ',');)
        pieces.push_back(p);
    std::vector<Designation> out;
    if (pieces.empty())
        return out;
    const std::size_t tilde = field.find('~');
    if (pieces.size() == 1 && tilde != std::string::npos) {
        // A run: letters, from, "~", to; or from, "~", to, letters.
        const bool digitsFirst = isDigit(field[0]);
        std::size_t fromStart = 0, toEnd = field.size();
        if (digitsFirst) {
            toEnd = tilde + 1;
            while (toEnd < field.size() && isDigit(field[toEnd]))
                ++toEnd;
        } else {
            fromStart = std::find_if(field.begin(), field.end(), isDigit) - field.begin();
        }
        const std::string from = field.substr(fromStart, tilde - fromStart);
        const std::string to = field.substr(tilde + 1, toEnd - tilde - 1);
        const std::string letters = digitsFirst ? field.substr(toEnd) : field.substr(0, fromStart);
        int a = 0, b = 0;
        if (allDigits(from) && allDigits(to) && from.size() < 9 && to.size() < 9) {
            a = std::stoi(from);
            b = std::stoi(to);
            if (a <= b && b - a < 1000000) {
                for (int n = a; n <= b; ++n)
                    out.push_back(makeDesignation(letters, std::to_string(n), digitsFirst));
                return out;
            }
        }
        out.push_back(splitDesignation(field));
        return out;
    }
    const Designation head = splitDesignation(pieces[0]);
    out.push_back(head);
    for (std::size_t i = 1; i < pieces.size(); ++i)
        out.push_back(allDigits(pieces[i]) ? makeDesignation(head.letters, pieces[i], head.digitsFirst)
                                           : splitDesignation(pieces[i]));
    return out;
}

// The numbers missing from each run of designations of the same letters in
// the sheet: between two numbers found, every one not found. A gap is
// reported on the row holding the number before it ("KM4" after KM3); a
// gap of more than kListedGap numbers as one range ("KM4~99").
constexpr int kListedGap = 20;

void reportGaps(Sheet& sheet)
{
    // (digits first, letters) -> number -> the first row holding it
    std::map<std::pair<bool, std::string>, std::map<int, std::size_t>> runs;
    for (std::size_t r = 0; r < sheet.rows.size(); ++r)
        for (const Designation& d : expandDesignations(sheet.rows[r].fields[kDesignations]))
            if (d.numbered)
                runs[{d.digitsFirst, d.letters}].try_emplace(std::stoi(d.number), r);
    for (const auto& [key, numbers] : runs) {
        const auto& [digitsFirst, letters] = key;
        auto name = [&, &letters = letters, digitsFirst = digitsFirst](const std::string& number) {
            return digitsFirst ? number + letters : letters + number;
        };
        for (auto it = numbers.begin(); std::next(it) != numbers.end(); ++it) {
            const int from = it->first + 1, to = std::next(it)->first - 1;
            std::vector<std::string>& missing = sheet.rows[it->second].missing;
            if (to - from + 1 > kListedGap) {
                missing.push_back(name(std::to_string(from) + "~" + std::to_string(to)));
                continue;
            }
            for (int n = from; n <= to; ++n)
                missing.push_back(name(std::to_string(n)));
        }
    }
}

// Designations with different models in different drawings (from the
// drawings' own sheets), each named on the project's rows that hold it;
// the project's rows also name the drawings their designations come from.
void reportAcrossDrawings(Table& table)
{
    // designation -> models in the order found, each with its drawings
    std::unordered_map<std::string, std::vector<ModelIn>> models;
    std::unordered_map<std::string, std::vector<std::string>> drawingsOf;
    std::vector<std::string> order;
    for (std::size_t s = 1; s < table.sheets.size(); ++s) {
        const Sheet& sheet = table.sheets[s];
        for (const Row& row : sheet.rows)
            for (const Designation& d : expandDesignations(row.fields[kDesignations])) {
                auto [it, added] = models.try_emplace(d.text);
                if (added)
                    order.push_back(d.text);
                auto m = std::find_if(it->second.begin(), it->second.end(),
                                      [&](const ModelIn& x) { return x.model == row.fields[kModel]; });
                if (m == it->second.end())
                    m = it->second.insert(it->second.end(), ModelIn{row.fields[kModel], {}});
                if (m->drawings.empty() || m->drawings.back() != sheet.title)
                    m->drawings.push_back(sheet.title);
                std::vector<std::string>& in = drawingsOf[d.text];
                if (in.empty() || in.back() != sheet.title)
                    in.push_back(sheet.title);
            }
    }
    for (const std::string& d : order)
        if (models[d].size() > 1)
            table.conflicts.push_back({d, models[d]});
    std::unordered_map<std::string, const Conflict*> conflictOf;
    for (const Conflict& c : table.conflicts)
        conflictOf[c.designation] = &c;
    std::map<std::string, std::size_t> sheetIndex;
    for (std::size_t s = 1; s < table.sheets.size(); ++s)
        sheetIndex.try_emplace(table.sheets[s].title, s);
    for (Row& row : table.sheets[0].rows) {
        std::set<std::size_t> in;
        for (const Designation& d : expandDesignations(row.fields[kDesignations])) {
            if (auto c = conflictOf.find(d.text); c != conflictOf.end())
                row.conflicts.push_back(c->second);
            if (auto found = drawingsOf.find(d.text); found != drawingsOf.end())
                for (const std::string& title : found->second)
                    in.insert(sheetIndex[title]);
        }
        for (std::size_t s : in)
            row.drawings.push_back(table.sheets[s].title);
    }
}

// ---------------------------------------------------------------- the module's rows

// What the command line printed while the module worked.
std::string g_printed;

void capture(const std::string& utf8)
{
    g_printed += utf8;
}

// Calls a LISP function of the module; false when it gave no value (its
// message is then in g_printed).
bool callModule(const std::string& call, lisp::Value& value)
{
    const host::OutputFn previous = host::output();
    host::setOutput(capture);
    bool ok = true;
    try {
        value = lisp::eval(lisp::read(call).at(0));
        ok = value.kind != lisp::Value::Kind::Void;
    } catch (const std::exception& e) {
        g_printed += std::string("\n") + e.what();
        ok = false;
    }
    host::setOutput(previous);
    return ok;
}

// Rows from a table value: a list of rows of strings, nil for none (a
// single row may come as the row itself).
bool rowsOf(const lisp::Value& v, std::vector<Row>& rows)
{
    if (v.isNil())
        return true;
    if (v.kind != lisp::Value::Kind::List)
        return false;
    auto isRow = [](const lisp::Value& r) {
        return r.kind == lisp::Value::Kind::List && r.items.size() == kRowFields
               && std::all_of(r.items.begin(), r.items.end(),
                              [](const lisp::Value& c) { return c.kind == lisp::Value::Kind::Str; });
    };
    if (isRow(v)) {
        rows.push_back({});
        for (const lisp::Value& c : v.items)
            rows.back().fields.push_back(c.s);
        return true;
    }
    for (const lisp::Value& r : v.items) {
        if (!isRow(r))
            return false;
        rows.push_back({});
        for (const lisp::Value& c : r.items)
            rows.back().fields.push_back(c.s);
    }
    return true;
}

// The file name without folder and extension: a sheet's title.
std::string stem(std::string path)
{
    for (char& c : path)
        if (c == '\\')
            c = '/';
    path = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = path.find_last_of('.');
    return dot == std::string::npos || dot == 0 ? path : path.substr(0, dot);
}

// ---------------------------------------------------------------- writing

std::vector<std::string> headers(bool project, bool allFields)
{
    std::vector<std::string> h = allFields ? std::vector<std::string>{"代号", "", "", "名称", "型号规格", "数量"}
                                           : std::vector<std::string>{"代号", "名称", "型号规格", "数量"};
    h.push_back("缺号");
    if (project) {
        h.push_back("型号冲突");
        h.push_back("图纸");
    }
    return h;
}

std::string joined(const std::vector<std::string>& items, const char* separator)
{
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i)
        out += (i ? separator : "") + items[i];
    return out;
}

// "KM1: CJX2 (A); CJX1 (B, C)"
std::string conflictText(const Conflict& c)
{
    std::string out = c.designation + ":";
    for (std::size_t i = 0; i < c.models.size(); ++i)
        out += (i ? "; " : " ") + c.models[i].model + " (" + joined(c.models[i].drawings, ", ") + ")";
    return out;
}

// The extra columns of a row, after its own fields.
std::vector<std::string> extraFields(const Row& row, bool project)
{
    std::vector<std::string> out = {joined(row.missing, ",")};
    if (project) {
        std::vector<std::string> conflicts;
        for (const Conflict* c : row.conflicts)
            conflicts.push_back(conflictText(*c));
        out.push_back(joined(conflicts, " | "));
        out.push_back(joined(row.drawings, ","));
    }
    return out;
}

// RFC 4180: a field holding a comma, a quote or a line end is quoted, its
// quotes doubled.
std::string csvField(const std::string& f)
{
    if (f.find_first_of(",\"\r\n") == std::string::npos)
        return f;
    std::string out = "\"";
    for (char c : f) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

std::string csvLine(const std::vector<std::string>& fields)
{
    std::string line;
    for (std::size_t i = 0; i < fields.size(); ++i)
        line += (i ? "," : "") + csvField(fields[i]);
    return line + "\r\n";
}

// The project's sheet (or the drawing's) as CSV, UTF-8 with a byte-order
// mark.
std::string toCsv(const Table& table)
{
    std::string out = "\xEF\xBB\xBF" + csvLine(headers(table.project, true));
    for (const Row& row : table.sheets[0].rows) {
        std::vector<std::string> fields = row.fields;
        for (std::string& e : extraFields(row, table.project))
            fields.push_back(std::move(e));
        out += csvLine(fields);
    }
    return out;
}

std::string toJson(const Table& table)
{
    nlohmann::ordered_json rows = nlohmann::ordered_json::array();
    for (const Row& row : table.sheets[0].rows) {
        nlohmann::ordered_json o;
        o["designations"] = row.fields[kDesignations];
        o["name"] = row.fields[kName];
        o["model"] = row.fields[kModel];
        const std::string& q = row.fields[kQuantity];
        long long n = 0;
        const auto [end, ec] = std::from_chars(q.data(), q.data() + q.size(), n);
        if (ec == std::errc() && end == q.data() + q.size())
            o["quantity"] = n;
        else
            o["quantity"] = q;
        o["missing"] = row.missing;
        nlohmann::ordered_json conflicts = nlohmann::ordered_json::array();
        for (const Conflict* c : row.conflicts) {
            nlohmann::ordered_json models = nlohmann::ordered_json::array();
            for (const ModelIn& m : c->models)
                models.push_back({{"model", m.model}, {"drawings", m.drawings}});
            conflicts.push_back({{"designation", c->designation}, {"models", models}});
        }
        o["conflicts"] = conflicts;
        o["drawings"] = table.project ? row.drawings : std::vector<std::string>{table.sheets[0].title};
        rows.push_back(o);
    }
    return rows.dump(2) + "\n";
}

// Columns a text takes in a sheet: CJK and full-width characters two.
std::size_t displayWidth(const std::string& utf8)
{
    std::size_t width = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const unsigned char c = static_cast<unsigned char>(utf8[i]);
        std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        char32_t cp = len == 1 ? c : c & (0xFF >> (len + 1));
        for (std::size_t k = 1; k < len && i + k < utf8.size(); ++k)
            cp = (cp << 6) | (static_cast<unsigned char>(utf8[i + k]) & 0x3F);
        i += len;
        const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF)
                          || (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF)
                          || (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60)
                          || (cp >= 0xFFE0 && cp <= 0xFFE6) || cp >= 0x20000;
        width += wide ? 2 : 1;
    }
    return width;
}

// A sheet's name: no []:*?/\, at most 31 characters, unique in the book
// (letter case aside).
std::string sheetName(const std::string& title, std::set<std::string>& taken)
{
    std::string clean;
    for (char c : title)
        clean += std::string("[]:*?/\\").find(c) == std::string::npos ? c : '_';
    while (!clean.empty() && clean.front() == '\'')
        clean.erase(0, 1);
    if (clean.empty())
        clean = "图";
    auto cut = [](const std::string& s, std::size_t chars) {
        std::size_t i = 0, n = 0;
        while (i < s.size() && n < chars) {
            ++i;
            while (i < s.size() && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80)
                ++i;
            ++n;
        }
        return s.substr(0, i);
    };
    auto folded = [](std::string s) {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return s;
    };
    std::string name = cut(clean, 31);
    for (int k = 2; taken.count(folded(name)); ++k) {
        const std::string suffix = " (" + std::to_string(k) + ")";
        name = cut(clean, 31 - suffix.size()) + suffix;
    }
    taken.insert(folded(name));
    return name;
}

// A cell holds at most 32,767 characters: a longer text (the designations
// of a row with thousands of items) is cut there, ending in "…" (CSV and
// JSON keep it whole).
constexpr std::size_t kCellChars = 32767;

std::string cellText(const std::string& utf8)
{
    // Where each character starts, up to one past the limit.
    std::size_t chars = 0, cut = 0;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<unsigned char>(utf8[i]) & 0xC0) == 0x80)
            continue;
        if (chars == kCellChars - 1)
            cut = i;
        if (++chars > kCellChars)
            return utf8.substr(0, cut) + "…";
    }
    return utf8;
}

// The book in a temporary file, then its bytes; false with a message.
bool toXlsx(const Table& table, std::string& bytes, std::string& error)
{
    const char* tmpdir = std::getenv("TMPDIR");
    std::string path = std::string(tmpdir && *tmpdir ? tmpdir : "/tmp") + "/ctrlsch-table-XXXXXX";
    const int fd = ::mkstemp(path.data());
    if (fd < 0) {
        error = "cannot make a temporary file for the workbook";
        return false;
    }
    ::close(fd);
    lxw_workbook* book = workbook_new(path.c_str());
    if (!book) {
        std::remove(path.c_str());
        error = "cannot start the workbook";
        return false;
    }
    lxw_format* bold = workbook_add_format(book);
    format_set_bold(bold);
    std::set<std::string> taken;
    for (std::size_t s = 0; s < table.sheets.size(); ++s) {
        const Sheet& sheet = table.sheets[s];
        const bool projectSheet = table.project && s == 0;
        lxw_worksheet* ws = workbook_add_worksheet(book, sheetName(sheet.title, taken).c_str());
        const std::vector<std::string> head = headers(projectSheet, false);
        std::vector<std::size_t> widths(head.size(), 0);
        for (std::size_t c = 0; c < head.size(); ++c) {
            worksheet_write_string(ws, 0, static_cast<lxw_col_t>(c), head[c].c_str(), bold);
            widths[c] = displayWidth(head[c]);
        }
        for (std::size_t r = 0; r < sheet.rows.size(); ++r) {
            const Row& row = sheet.rows[r];
            std::vector<std::string> cells = {row.fields[kDesignations], row.fields[kName], row.fields[kModel],
                                              row.fields[kQuantity]};
            for (std::string& e : extraFields(row, projectSheet))
                cells.push_back(std::move(e));
            const auto line = static_cast<lxw_row_t>(r + 1);
            for (std::size_t c = 0; c < cells.size(); ++c) {
                widths[c] = std::max(widths[c], displayWidth(cells[c]));
                const auto col = static_cast<lxw_col_t>(c);
                long long n = 0;
                const std::string& text = cells[c];
                const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), n);
                if (c == 3 && ec == std::errc() && end == text.data() + text.size())
                    worksheet_write_number(ws, line, col, static_cast<double>(n), nullptr);
                else
                    worksheet_write_string(ws, line, col, cellText(text).c_str(), nullptr);
            }
        }
        for (std::size_t c = 0; c < widths.size(); ++c)
            worksheet_set_column(ws, static_cast<lxw_col_t>(c), static_cast<lxw_col_t>(c),
                                 static_cast<double>(std::min<std::size_t>(widths[c] + 2, 100)), nullptr);
        worksheet_freeze_panes(ws, 1, 0);
    }
    const lxw_error status = workbook_close(book);
    if (status != LXW_NO_ERROR) {
        std::remove(path.c_str());
        error = std::string("cannot write the workbook: ") + lxw_strerror(status);
        return false;
    }
    std::ifstream in(path, std::ios::binary);
    std::ostringstream data;
    data << in.rdbuf();
    std::remove(path.c_str());
    if (!in) {
        error = "cannot read the workbook back";
        return false;
    }
    bytes = data.str();
    return true;
}

bool endsWith(const std::string& s, const std::string& end)
{
    return s.size() >= end.size() && s.compare(s.size() - end.size(), end.size(), end) == 0;
}

// What the module printed, on stderr, without empty lines.
void passOnPrinted()
{
    std::stringstream in(g_printed);
    for (std::string line; std::getline(in, line);)
        if (line.find_first_not_of(" \r") != std::string::npos)
            std::cerr << line << "\n";
    g_printed.clear();
}

// The table from the module, gaps and drawings reported. Returns an exit
// status.
int makeTable(const std::string& drawing, bool project, Table& table)
{
    table.project = project;
    lisp::Value v;
    const bool ok = callModule(project ? "(esbbtjgt)" : "(esbbtj 0)", v);
    passOnPrinted();
    if (!ok)
        return kExitFailed;
    if (!project) {
        table.sheets.push_back({stem(drawing), {}});
        if (!rowsOf(v, table.sheets[0].rows)) {
            std::cerr << "ctrlsch table: the module's rows are not a table\n";
            return kExitFailed;
        }
    } else {
        // (PROJECT-ROWS (PATH ROWS) ...)
        bool good = v.kind == lisp::Value::Kind::List && !v.items.empty();
        table.sheets.push_back({"工程", {}});
        good = good && rowsOf(v.items[0], table.sheets[0].rows);
        for (std::size_t i = 1; good && i < v.items.size(); ++i) {
            const lisp::Value& d = v.items[i];
            good = d.kind == lisp::Value::Kind::List && d.items.size() == 2
                   && d.items[0].kind == lisp::Value::Kind::Str;
            if (good) {
                table.sheets.push_back({stem(d.items[0].s), {}});
                good = rowsOf(d.items[1], table.sheets.back().rows);
            }
        }
        if (!good) {
            std::cerr << "ctrlsch table: the module's tables are not as expected\n";
            return kExitFailed;
        }
        reportAcrossDrawings(table);
    }
    for (Sheet& s : table.sheets)
        reportGaps(s);
    return kExitOk;
}

} // namespace

int tableCommand(const std::vector<std::string>& args)
{
    std::string drawing, settings, out, jobs;
    bool project = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (!into.empty() || i + 1 >= args.size() || args[i + 1].empty())
                return false;
            into = args[++i];
            return true;
        };
        if (a == "-o") {
            if (!value(out))
                return kExitUsage;
        } else if (a == "--project") {
            if (!value(settings))
                return kExitUsage;
            project = true;
        } else if (a == "--jobs") {
            if (!value(jobs))
                return kExitUsage;
        } else if (a.size() > 1 && a[0] == '-') {
            std::cerr << "ctrlsch table: unknown option " << a << "\n";
            return kExitUsage;
        } else if (drawing.empty()) {
            drawing = a;
        } else {
            return kExitUsage;
        }
    }
    if (project == !drawing.empty()) {
        std::cerr << "ctrlsch table: give a drawing or --project SETTINGS.json, not both\n";
        return kExitUsage;
    }
    if (!out.empty() && !endsWith(out, ".xlsx") && !endsWith(out, ".csv") && !endsWith(out, ".json")) {
        std::cerr << "ctrlsch table: " << out << ": the output is .xlsx, .csv or .json\n";
        return kExitUsage;
    }
    if (!jobs.empty()) {
        if (!allDigits(jobs) || jobs.size() > 3 || std::stoi(jobs) < 1) {
            std::cerr << "ctrlsch table: --jobs takes a number from 1\n";
            return kExitUsage;
        }
        ::setenv("CTRLSCH_JOBS", jobs.c_str(), 1);
    }
    if (project) {
        std::ifstream in(settings);
        if (!in) {
            std::cerr << "ctrlsch table: " << settings << ": cannot read the settings file\n";
            return kExitUsage;
        }
        ::setenv("CTRLSCH_SETTINGS", settings.c_str(), 1);
    }
    if (!openSession(project ? std::string() : drawing, false, true))
        return kExitUsage;
    Table table;
    int status = makeTable(drawing, project, table);
    closeSession();
    if (status != kExitOk)
        return status;

    std::string data, error;
    if (endsWith(out, ".xlsx")) {
        if (!toXlsx(table, data, error)) {
            std::cerr << "ctrlsch table: " << error << "\n";
            return kExitFailed;
        }
    } else {
        data = endsWith(out, ".json") ? toJson(table) : toCsv(table);
    }
    if (out.empty()) {
        std::cout << data << std::flush;
        return std::cout ? kExitOk : kExitFailed;
    }
    if (!hostWriteFileAtomically(out, data, error)) {
        std::cerr << "ctrlsch table: " << error << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace app
