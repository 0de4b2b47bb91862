// The host's LISP: a line typed at the command line in a session set up
// once, with nothing to read after it.
#include "fuzz_checks.h"

#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/lisp.h"

namespace fuzzcheck {

namespace {

// Output of the command line, kept for the current input only.
std::string g_output;

// Every read finds the end of input: prompts end as with Esc, an
// expression left open is reported.
class EndOfInput : public host::LineSource {
public:
    bool readLine(std::string&, const std::string&) override { return false; }
    bool echoes() const override { return false; }
};

void openSessionOnce()
{
    static EndOfInput endOfInput;
    host::setLineSource(&endOfInput);
    host::setEventHandler(nullptr);
    host::setOutput([](const std::string& text) { g_output += text; });
    if (!acDocManager->curDocument())
        acDocManager->newDocument();
}

} // namespace

std::string lisp(std::string_view bytes)
{
    openSessionOnce();
    g_output.clear();
    // Only LISP: "!" makes the command line evaluate the whole text, so
    // that no command (OPEN, SAVEAS) and no dialog event is reached.
    // (The command line trims blanks and tabs before it looks.)
    std::string line(bytes);
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || (line[first] != '(' && line[first] != '\'' && line[first] != '!'))
        line = "!" + line;
    host::executeLine(line);
    if (host::quitRequested())
        return "a LISP line ended the session";
    if (!acDocManager->curDocument())
        return "a LISP line closed the drawing";

    // What the reader reads prints as text that reads back to the same.
    std::string text = line.substr(line.find_first_not_of(" \t"));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.pop_back();
    if (text.front() == '!')
        text.erase(0, 1);
    std::vector<::lisp::Value> values;
    try {
        values = ::lisp::read(text);
    } catch (const ::lisp::SyntaxError&) {
        return {};
    }
    for (const ::lisp::Value& v : values) {
        const std::string printed = ::lisp::print(v);
        std::vector<::lisp::Value> again;
        try {
            again = ::lisp::read(printed);
        } catch (const ::lisp::SyntaxError& e) {
            return "a printed value does not read back: " + printed + " (" + e.what() + ")";
        }
        if (again.size() != 1 || ::lisp::print(again.front()) != printed)
            return "a printed value reads back as another: " + printed;
    }
    return {};
}

} // namespace fuzzcheck
