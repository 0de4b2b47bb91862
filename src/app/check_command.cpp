#include "app/check_command.h"

#include "app/render_command.h"
#include "app/session.h"
#include "host/commandline.h"
#include "host/lisp.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

namespace app {

namespace {

struct Problem {
    std::string kind, drawing, handle, message;
    long long string = 0, cell = 0;
};

void toStderr(const std::string& utf8)
{
    std::fwrite(utf8.data(), 1, utf8.size(), stderr);
}

// The problems out of (DRAWINGS READ (KIND DRAWING HANDLE STRING CELL
// MESSAGE) ...); false when the value is not of that form.
bool readResult(const lisp::Value& v, long long& drawings, long long& read, std::vector<Problem>& problems)
{
    using K = lisp::Value::Kind;
    if (v.kind != K::List || v.items.size() < 2 || v.items[0].kind != K::Int || v.items[1].kind != K::Int)
        return false;
    drawings = v.items[0].i;
    read = v.items[1].i;
    for (std::size_t i = 2; i < v.items.size(); ++i) {
        const lisp::Value& p = v.items[i];
        if (p.kind != K::List || p.items.size() != 6)
            return false;
        for (std::size_t k : {0u, 1u, 2u, 5u})
            if (p.items[k].kind != K::Str)
                return false;
        if (p.items[3].kind != K::Int || p.items[4].kind != K::Int)
            return false;
        problems.push_back({p.items[0].s, p.items[1].s, p.items[2].s, p.items[5].s, p.items[3].i, p.items[4].i});
    }
    return true;
}

std::string place(const Problem& p)
{
    if (p.string <= 0)
        return "-";
    return "第" + std::to_string(p.string) + "串" + (p.cell > 0 ? "第" + std::to_string(p.cell) + "格" : "");
}

void printText(const std::vector<Problem>& problems, long long drawings, long long read)
{
    for (const Problem& p : problems)
        std::cout << p.drawing << ": " << (p.handle.empty() ? "-" : p.handle) << ": " << place(p) << ": "
                  << p.message << "\n";
    std::cout << "检查了 " << read << "/" << drawings << " 张图, 发现 " << problems.size() << " 个问题\n";
}

void printJson(const std::vector<Problem>& problems, long long drawings, long long read)
{
    nlohmann::json list = nlohmann::json::array();
    std::map<std::string, int> byKind;
    for (const Problem& p : problems) {
        ++byKind[p.kind];
        list.push_back({{"kind", p.kind},
                        {"drawing", p.drawing},
                        {"handle", p.handle.empty() ? nlohmann::json() : nlohmann::json(p.handle)},
                        {"string", p.string > 0 ? nlohmann::json(p.string) : nlohmann::json()},
                        {"cell", p.cell > 0 ? nlohmann::json(p.cell) : nlohmann::json()},
                        {"message", p.message}});
    }
    const nlohmann::json out = {
        {"problems", list},
        {"summary", {{"drawings", drawings}, {"read", read}, {"problems", problems.size()}, {"by_kind", byKind}}}};
    std::cout << out.dump(2) << "\n";
}

} // namespace

int checkCommand(const std::vector<std::string>& args)
{
    std::string drawing, settings;
    bool json = false, project = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") {
            json = true;
        } else if (args[i] == "--project") {
            if (project || i + 1 >= args.size() || args[i + 1].empty())
                return kExitUsage;
            project = true;
            settings = args[++i];
        } else if (args[i].size() > 1 && args[i][0] == '-') {
            std::cerr << "ctrlsch check: unknown option " << args[i] << "\n";
            return kExitUsage;
        } else if (drawing.empty() && !args[i].empty()) {
            drawing = args[i];
        } else {
            return kExitUsage;
        }
    }
    if (project == !drawing.empty())
        return kExitUsage;
    // The project is the one the settings file names: the module reads it
    // as it loads.
    if (project)
        ::setenv("CTRLSCH_SETTINGS", settings.c_str(), 1);
    // What the session prints (the settings in use, why a list cannot be
    // read) goes to the error stream: the standard output is the report.
    host::setOutput(toStderr);
    const auto finish = [](int status) {
        closeSession();
        host::setOutput(nullptr);
        std::fflush(stdout);
        return status;
    };
    if (!openSession(drawing, false, true)) {
        host::setOutput(nullptr);
        std::cerr << "ctrlsch check: cannot read " << drawing << "\n";
        return kExitNoInput;
    }
    lisp::Value result;
    try {
        result = lisp::eval(lisp::read(project ? "(ctrlschk 1)" : "(ctrlschk 0)").at(0));
    } catch (const std::exception& e) {
        std::cerr << "\nctrlsch check: the check could not run: " << e.what() << "\n";
        return finish(kExitNoInput);
    }
    long long drawings = 0, read = 0;
    std::vector<Problem> problems;
    if (!readResult(result, drawings, read, problems)) {
        std::cerr << "\nctrlsch check: " << (project ? "the project's drawings could not be listed" : "no result")
                  << "\n";
        return finish(kExitNoInput);
    }
    for (Problem& p : problems)
        if (p.drawing.empty())
            p.drawing = drawing;
    if (json)
        printJson(problems, drawings, read);
    else
        printText(problems, drawings, read);
    if (read == 0)
        return finish(kExitNoInput);
    return finish(problems.empty() ? kExitOk : kExitFailed);
}

} // namespace app
