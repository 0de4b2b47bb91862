// Selection filters: the group lists acedSSGet and matchesFilter test
// entities against.
#include "host/selection.h"

#include "host/hoststring.h"
#include "host/selection_internal.h"

#include <cstring>
#include <string>

using namespace host::sel;

namespace {

// Calls f with the UTF-8 text as a wide view, without allocating for short
// names (the filter test runs for every entity of a drawing).
template <class F>
bool withWide(std::string_view s, F f)
{
    wchar_t buf[128];
    if (s.size() < std::size(buf)) {
        bool ascii = true;
        for (std::size_t i = 0; i < s.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(s[i]);
            if (c >= 0x80) {
                ascii = false;
                break;
            }
            buf[i] = static_cast<wchar_t>(c);
        }
        if (ascii)
            return f(std::wstring_view(buf, s.size()));
    }
    const std::wstring w = utf8ToWide(s);
    return f(std::wstring_view(w));
}



// What the filter looks at, fetched from the entity once.
struct Facts {
    const AcDbEntity* e = nullptr;
    std::string dxf;
    bool haveDxf = false;
    const std::string& type()
    {
        if (!haveDxf) {
            dxf = e->dxfName();
            haveDxf = true;
        }
        return dxf;
    }
};

enum class Rel { None, Eq, Ne, Lt, Gt, Le, Ge, Any };

Rel relation(const ACHAR* s)
{
    if (!s)
        return Rel::None;
    const std::wstring_view v(s);
    if (v == L"=")
        return Rel::Eq;
    if (v == L"!=" || v == L"/=" || v == L"<>")
        return Rel::Ne;
    if (v == L"<")
        return Rel::Lt;
    if (v == L">")
        return Rel::Gt;
    if (v == L"<=")
        return Rel::Le;
    if (v == L">=")
        return Rel::Ge;
    if (v == L"*")
        return Rel::Any;
    return Rel::None;
}

bool upperEquals(const ACHAR* s, std::wstring_view word)
{
    if (!s)
        return false;
    std::size_t i = 0;
    for (; s[i] && i < word.size(); ++i)
        if (upperAscii(s[i]) != word[i])
            return false;
    return i == word.size() && s[i] == 0;
}

// Group 0 comes as RTDXF0 in chains built with acutBuildList (0 ends them).
bool isStringGroup(int code)
{
    return code == 0 || code == RTDXF0 || code == 2 || code == 6 || code == 8;
}

bool isNumberGroup(int code)
{
    return code == 62 || code == 67;
}

// The filter's evaluator: a chain read item by item. With no entity it
// only checks that every item can be evaluated.
class FilterEval {
public:
    explicit FilterEval(const AcDbEntity* e) { m_facts.e = e; }
    bool ok() const { return m_ok; }

    // Every item of the chain must hold.
    bool all(const resbuf* rb)
    {
        bool result = true;
        while (rb && m_ok)
            result = item(rb) && result;
        return result && m_ok;
    }

private:
    bool fail()
    {
        m_ok = false;
        return false;
    }

    // Evaluates the item at rb and moves rb past it.
    bool item(const resbuf*& rb)
    {
        const resbuf* cur = rb;
        rb = rb->rbnext;
        if (cur->restype == -4) {
            const ACHAR* op = cur->resval.rstring;
            if (upperEquals(op, L"<AND"))
                return group(rb, L"AND>", 0);
            if (upperEquals(op, L"<OR"))
                return group(rb, L"OR>", 1);
            if (upperEquals(op, L"<XOR"))
                return group(rb, L"XOR>", 2);
            if (upperEquals(op, L"<NOT"))
                return group(rb, L"NOT>", 3);
            const Rel rel = relation(op);
            if (rel == Rel::None || !rb)
                return fail();
            const resbuf* target = rb;
            rb = rb->rbnext;
            return compared(rel, target);
        }
        if (cur->restype == -3)
            return applications(rb);
        return compared(Rel::Eq, cur);
    }

    // Items up to the closing marker: 0 and, 1 or, 2 exclusive or (two
    // items), 3 not (one item).
    bool group(const resbuf*& rb, std::wstring_view closer, int kind)
    {
        int count = 0, trues = 0;
        while (rb && m_ok) {
            if (rb->restype == -4 && upperEquals(rb->resval.rstring, closer)) {
                rb = rb->rbnext;
                if (count == 0 || (kind == 2 && count != 2) || (kind == 3 && count != 1))
                    return fail();
                switch (kind) {
                case 0:
                    return trues == count;
                case 1:
                    return trues > 0;
                case 2:
                    return trues == 1;
                default:
                    return trues == 0;
                }
            }
            ++count;
            if (item(rb))
                ++trues;
        }
        return fail();
    }

    bool applications(const resbuf*& rb)
    {
        bool result = true;
        int apps = 0;
        while (rb && rb->restype == 1001) {
            const ACHAR* name = rb->resval.rstring;
            rb = rb->rbnext;
            ++apps;
            if (!name)
                return fail();
            if (!m_facts.e)
                continue;
            bool found = false;
            for (const AcDbXGroup& g : m_facts.e->xdataGroups())
                if (withWide(g.app, [&](std::wstring_view app) { return host::wcMatch(app, name, true); })) {
                    found = true;
                    break;
                }
            result = result && found;
        }
        if (apps == 0)
            return fail();
        return result;
    }

    bool compared(Rel rel, const resbuf* rb)
    {
        const int code = rb->restype;
        if (isStringGroup(code)) {
            if (rel != Rel::Eq && rel != Rel::Ne && rel != Rel::Any)
                return fail();
            if (!rb->resval.rstring)
                return fail();
            if (!m_facts.e)
                return false;
            if (rel == Rel::Any)
                return true;
            const bool m = stringMatches(code, rb->resval.rstring);
            return rel == Rel::Eq ? m : !m;
        }
        if (isNumberGroup(code)) {
            if (!m_facts.e)
                return false;
            const int value = code == 62 ? m_facts.e->colorIndex() : 0;
            const int want = rb->resval.rint;
            switch (rel) {
            case Rel::Eq:
                return value == want;
            case Rel::Ne:
                return value != want;
            case Rel::Lt:
                return value < want;
            case Rel::Gt:
                return value > want;
            case Rel::Le:
                return value <= want;
            case Rel::Ge:
                return value >= want;
            default:
                return true;
            }
        }
        return fail();
    }

    bool stringMatches(int code, const ACHAR* pattern)
    {
        const AcDbEntity& e = *m_facts.e;
        auto test = [&](const std::string& s) {
            return withWide(s, [&](std::wstring_view w) { return host::wcMatch(w, pattern, true); });
        };
        switch (code) {
        case 0:
        case RTDXF0:
            return test(m_facts.type());
        case 8:
            return test(e.layerName());
        case 6:
            return test(e.linetypeName());
        default: {
            if (m_facts.type() != "INSERT")
                return false;
            return test(static_cast<const AcDbBlockReference&>(e).blockName());
        }
        }
    }

    Facts m_facts;
    bool m_ok = true;
};

} // namespace

namespace host {

bool matchesFilter(const AcDbEntity& e, const resbuf* filter)
{
    if (!filter)
        return true;
    FilterEval eval(&e);
    return eval.all(filter);
}

bool isSupportedFilter(const resbuf* filter)
{
    FilterEval eval(nullptr);
    eval.all(filter);
    return eval.ok();
}

} // namespace host
