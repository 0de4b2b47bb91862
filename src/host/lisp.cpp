#include "host/lisp.h"

#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/acrx.h"
#include "host/hostcall.h"
#include "host/hoststring.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace lisp {

Value Value::t()
{
    Value v;
    v.kind = Kind::T;
    return v;
}

Value Value::integer(long long x)
{
    Value v;
    v.kind = Kind::Int;
    v.i = x;
    return v;
}

Value Value::real(double x)
{
    Value v;
    v.kind = Kind::Real;
    v.r = x;
    return v;
}

Value Value::str(std::string x)
{
    Value v;
    v.kind = Kind::Str;
    v.s = std::move(x);
    return v;
}

Value Value::sym(std::string x)
{
    Value v;
    v.kind = Kind::Sym;
    v.s = std::move(x);
    return v;
}

Value Value::list(std::vector<Value> x)
{
    Value v;
    v.kind = Kind::List;
    v.items = std::move(x);
    return v;
}

int openDepth(const std::string& text)
{
    int depth = 0;
    bool inString = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\')
                ++i;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == ';')
            while (i < text.size() && text[i] != '\n')
                ++i;
        else if (c == '"')
            inString = true;
        else if (c == '(')
            ++depth;
        else if (c == ')')
            --depth;
    }
    return depth;
}

namespace {

const char* const kTooDeep = "嵌套太深";

// One level of nesting of a walk over text or values: counts itself in
// depth while it lives and calls refuse (which throws) beyond kMaxNesting.
class Nesting {
public:
    template <class Refuse>
    Nesting(int& depth, Refuse refuse) : m_depth(depth)
    {
        if (m_depth >= kMaxNesting)
            refuse();
        ++m_depth;
    }
    ~Nesting() { --m_depth; }
    Nesting(const Nesting&) = delete;
    Nesting& operator=(const Nesting&) = delete;

private:
    int& m_depth;
};

[[noreturn]] void evalTooDeep()
{
    throw EvalError(kTooDeep);
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Whether a is a decimal number: sign, digits with at most one point (at
// least one digit), an optional exponent; integer when it has neither
// point nor exponent.
bool isDecimal(const std::string& a, bool& integer)
{
    std::size_t i = 0;
    if (i < a.size() && (a[i] == '+' || a[i] == '-'))
        ++i;
    std::size_t digits = 0;
    while (i < a.size() && isDigit(a[i]))
        ++i, ++digits;
    integer = true;
    if (i < a.size() && a[i] == '.') {
        integer = false;
        ++i;
        while (i < a.size() && isDigit(a[i]))
            ++i, ++digits;
    }
    if (digits == 0)
        return false;
    if (i < a.size() && (a[i] == 'e' || a[i] == 'E')) {
        integer = false;
        ++i;
        if (i < a.size() && (a[i] == '+' || a[i] == '-'))
            ++i;
        const std::size_t expStart = i;
        while (i < a.size() && isDigit(a[i]))
            ++i;
        if (i == expStart)
            return false;
    }
    return i == a.size();
}

// Whether the decimal number a (not 0) has a non-zero digit in its
// significand.
bool hasNonZeroDigit(const std::string& a)
{
    for (char c : a) {
        if (c == 'e' || c == 'E')
            break;
        if (c >= '1' && c <= '9')
            return true;
    }
    return false;
}

// The integer literal a read as a real: exact or an error.
Value integerAsReal(const std::string& a)
{
    const double d = std::strtod(a.c_str(), nullptr);
    std::string digits = a;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-'))
        digits.erase(0, 1);
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
    char buf[400];
    if (std::isfinite(d))
        std::snprintf(buf, sizeof buf, "%.0f", std::fabs(d));
    if (!std::isfinite(d) || digits != buf)
        throw SyntaxError("整数超出范围: " + a);
    return Value::real(d);
}

// A token as a number (see lisp.h): true with the value, false when it is
// no number; throws SyntaxError for one that cannot be read as it stands.
bool readNumber(const std::string& a, Value& out)
{
    if (a.find_first_of("0123456789") == std::string::npos)
        return false;
    bool integer = false;
    if (!isDecimal(a, integer)) {
        // What strtod takes whole but is not decimal: hexadecimal.
        char* end = nullptr;
        std::strtod(a.c_str(), &end);
        if (end && *end == '\0')
            throw SyntaxError("无效的数字: " + a);
        return false;
    }
    if (integer) {
        errno = 0;
        const long long v = std::strtoll(a.c_str(), nullptr, 10);
        if (errno != ERANGE && v >= INT32_MIN && v <= INT32_MAX) {
            out = Value::integer(v);
            return true;
        }
        out = integerAsReal(a);
        return true;
    }
    const double d = std::strtod(a.c_str(), nullptr);
    if (!std::isfinite(d) || (d == 0.0 && hasNonZeroDigit(a)))
        throw SyntaxError("数值超出范围: " + a);
    out = Value::real(d);
    return true;
}

class Reader {
public:
    explicit Reader(const std::string& t) : m_t(t) {}

    bool atEnd()
    {
        skip();
        return m_p >= m_t.size();
    }

    Value read()
    {
        skip();
        if (m_p >= m_t.size())
            throw SyntaxError("输入意外结束");
        const char c = m_t[m_p];
        if (c == '(') {
            ++m_p;
            const Nesting level(m_depth, [] { throw SyntaxError(kTooDeep); });
            Value v = Value::list({});
            while (true) {
                skip();
                if (m_p >= m_t.size())
                    throw SyntaxError("格式错误的列表: 缺少 )");
                if (m_t[m_p] == ')') {
                    ++m_p;
                    return v;
                }
                if (m_t[m_p] == '.' && (m_p + 1 == m_t.size() || endsAtom(m_t[m_p + 1]))) {
                    ++m_p;
                    skip();
                    if (v.items.empty() || m_p >= m_t.size() || m_t[m_p] == ')')
                        throw SyntaxError("格式错误的点对");
                    v.dotted = std::make_shared<Value>(read());
                    skip();
                    if (m_p >= m_t.size() || m_t[m_p] != ')')
                        throw SyntaxError("格式错误的点对");
                    ++m_p;
                    return v;
                }
                v.items.push_back(read());
            }
        }
        if (c == ')')
            throw SyntaxError("多余的 )");
        if (c == '\'') {
            ++m_p;
            const Nesting level(m_depth, [] { throw SyntaxError(kTooDeep); });
            Value q;
            q.kind = Value::Kind::Quote;
            q.items.push_back(read());
            return q;
        }
        if (c == '"')
            return readString();
        return readAtom();
    }

private:
    void skip()
    {
        while (m_p < m_t.size()) {
            const char c = m_t[m_p];
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
                ++m_p;
            } else if (c == ';') {
                while (m_p < m_t.size() && m_t[m_p] != '\n')
                    ++m_p;
            } else {
                break;
            }
        }
    }

    Value readString()
    {
        ++m_p;
        std::string out;
        while (m_p < m_t.size() && m_t[m_p] != '"') {
            char c = m_t[m_p++];
            if (c == '\\' && m_p < m_t.size()) {
                const char e = m_t[m_p++];
                switch (e) {
                case 'n': c = '\n'; break;
                case 't': c = '\t'; break;
                case 'r': c = '\r'; break;
                case 'e': c = '\x1b'; break;
                default: c = e; break;
                }
            }
            out.push_back(c);
        }
        if (m_p >= m_t.size())
            throw SyntaxError("字符串缺少结束的 \"");
        ++m_p;
        return Value::str(std::move(out));
    }

    // The characters that end an atom; a dot followed by one of them (or
    // by the end) is the dot of a dotted pair.
    static bool endsAtom(char c) { return c != '\0' && std::strchr(" \t\r\n()\"';", c) != nullptr; }

    Value readAtom()
    {
        const std::size_t start = m_p;
        while (m_p < m_t.size() && !endsAtom(m_t[m_p]))
            ++m_p;
        const std::string a = m_t.substr(start, m_p - start);
        if (a.empty() || a.find('\0') != std::string::npos) // NUL: no character of any atom
            throw SyntaxError("无效的字符");
        if (a == ".") // a dot outside a dotted pair reads back as nothing
            throw SyntaxError("格式错误的点对");
        Value number;
        if (readNumber(a, number))
            return number;
        const std::string up = lowerAscii(a);
        if (up == "nil")
            return Value::nil();
        if (up == "t")
            return Value::t();
        return Value::sym(up);
    }

    const std::string& m_t;
    std::size_t m_p = 0;
    int m_depth = 0;
};

std::string printReal(double r)
{
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6g", r);
    std::string s = buf;
    if (s.find_first_of(".en") == std::string::npos)
        s += ".0";
    return s;
}

} // namespace

std::vector<Value> read(const std::string& text)
{
    Reader r(text);
    std::vector<Value> out;
    while (!r.atEnd())
        out.push_back(r.read());
    return out;
}

std::string print(const Value& v)
{
    static int depth = 0;
    switch (v.kind) {
    case Value::Kind::Void:
        return "";
    case Value::Kind::Nil:
        return "nil";
    case Value::Kind::T:
        return "T";
    case Value::Kind::Int:
        return std::to_string(v.i);
    case Value::Kind::Real:
        return printReal(v.r);
    case Value::Kind::Str: {
        std::string out = "\"";
        for (char c : v.s) {
            if (c == '"' || c == '\\')
                out += '\\';
            if (c == '\n')
                out += "\\n";
            else if (c == '\t')
                out += "\\t";
            else
                out += c;
        }
        return out + "\"";
    }
    case Value::Kind::Sym:
        return upperAscii(v.s);
    case Value::Kind::Quote: {
        const Nesting level(depth, evalTooDeep);
        return "'" + print(v.items.front());
    }
    case Value::Kind::Ename: {
        char buf[64];
        std::snprintf(buf, sizeof buf, "<图元名: %llx>", static_cast<unsigned long long>(v.name[0]));
        return buf;
    }
    case Value::Kind::List: {
        if (v.isNil())
            return "nil";
        const Nesting level(depth, evalTooDeep);
        std::string out = "(";
        for (std::size_t k = 0; k < v.items.size(); ++k) {
            if (k)
                out += ' ';
            out += print(v.items[k]);
        }
        if (v.dotted)
            out += " . " + print(*v.dotted);
        return out + ")";
    }
    }
    return "nil";
}

namespace {

void append(resbuf*& head, resbuf*& tail, resbuf* rb)
{
    if (tail)
        tail->rbnext = rb;
    else
        head = rb;
    tail = rb;
}

void toRb(const Value& v, resbuf*& head, resbuf*& tail)
{
    static int depth = 0;
    switch (v.kind) {
    case Value::Kind::Void:
    case Value::Kind::Nil:
        append(head, tail, acutNewRb(RTNIL));
        break;
    case Value::Kind::T:
        append(head, tail, acutNewRb(RTT));
        break;
    case Value::Kind::Int:
        if (v.i < INT32_MIN || v.i > INT32_MAX)
            throw EvalError("整数超出范围: " + std::to_string(v.i));
        if (v.i >= -32768 && v.i <= 32767) {
            resbuf* rb = acutNewRb(RTSHORT);
            rb->resval.rint = static_cast<short>(v.i);
            append(head, tail, rb);
        } else {
            resbuf* rb = acutNewRb(RTLONG);
            rb->resval.rlong = static_cast<std::int32_t>(v.i);
            append(head, tail, rb);
        }
        break;
    case Value::Kind::Real: {
        resbuf* rb = acutNewRb(RTREAL);
        rb->resval.rreal = v.r;
        append(head, tail, rb);
        break;
    }
    case Value::Kind::Str:
    case Value::Kind::Sym: {
        resbuf* rb = acutNewRb(RTSTR);
        rb->resval.rstring = acutNewString(utf8ToWide(v.s).c_str());
        append(head, tail, rb);
        break;
    }
    case Value::Kind::Ename: {
        resbuf* rb = acutNewRb(RTENAME);
        rb->resval.rlname[0] = v.name[0];
        rb->resval.rlname[1] = v.name[1];
        append(head, tail, rb);
        break;
    }
    case Value::Kind::Quote: {
        const Nesting level(depth, evalTooDeep);
        toRb(v.items.front(), head, tail);
        break;
    }
    case Value::Kind::List: {
        if (v.isNil()) {
            append(head, tail, acutNewRb(RTNIL));
            break;
        }
        const Nesting level(depth, evalTooDeep);
        append(head, tail, acutNewRb(RTLB));
        for (const Value& x : v.items)
            toRb(x, head, tail);
        if (v.dotted) {
            append(head, tail, acutNewRb(RTDOTE));
            toRb(*v.dotted, head, tail);
        }
        append(head, tail, acutNewRb(RTLE));
        break;
    }
    }
}

Value fromRbOne(const resbuf*& rb);

Value fromRbList(const resbuf*& rb)
{
    static int depth = 0;
    const Nesting level(depth, evalTooDeep);
    Value list = Value::list({});
    while (rb && rb->restype != RTLE && rb->restype != RTDOTE)
        list.items.push_back(fromRbOne(rb));
    if (rb && rb->restype == RTDOTE) {
        rb = rb->rbnext;
        if (rb)
            list.dotted = std::make_shared<Value>(fromRbOne(rb));
        while (rb && rb->restype != RTLE)
            rb = rb->rbnext;
    }
    if (rb)
        rb = rb->rbnext; // RTLE
    return list;
}

Value fromRbOne(const resbuf*& rb)
{
    const resbuf* cur = rb;
    rb = rb->rbnext;
    switch (cur->restype) {
    case RTNIL:
    case RTNONE:
    case RTVOID:
        return Value::nil();
    case RTT:
        return Value::t();
    case RTSHORT:
        return Value::integer(cur->resval.rint);
    case RTLONG:
        return Value::integer(cur->resval.rlong);
    case RTREAL:
    case RTANG:
    case RTORINT:
        return Value::real(cur->resval.rreal);
    case RTSTR:
        return Value::str(wideToUtf8(cur->resval.rstring ? cur->resval.rstring : L""));
    case RTPOINT:
        return Value::list({Value::real(cur->resval.rpoint[0]), Value::real(cur->resval.rpoint[1])});
    case RT3DPOINT:
        return Value::list({Value::real(cur->resval.rpoint[0]), Value::real(cur->resval.rpoint[1]),
                            Value::real(cur->resval.rpoint[2])});
    case RTENAME:
    case RTPICKS: {
        Value v;
        v.kind = Value::Kind::Ename;
        v.name[0] = cur->resval.rlname[0];
        v.name[1] = cur->resval.rlname[1];
        return v;
    }
    case RTLB:
        return fromRbList(rb);
    default:
        break;
    }
    // DXF groups come back as dotted pairs (code . value).
    Value pair = Value::list({Value::integer(cur->restype)});
    Value val;
    switch (acutRbKind(cur->restype)) {
    case RbKind::String: val = Value::str(wideToUtf8(cur->resval.rstring ? cur->resval.rstring : L"")); break;
    case RbKind::Real: val = Value::real(cur->resval.rreal); break;
    case RbKind::Short: val = Value::integer(cur->resval.rint); break;
    case RbKind::Long: val = Value::integer(cur->resval.rlong); break;
    case RbKind::Point:
        pair.items.push_back(Value::real(cur->resval.rpoint[0]));
        pair.items.push_back(Value::real(cur->resval.rpoint[1]));
        pair.items.push_back(Value::real(cur->resval.rpoint[2]));
        return pair;
    default: break;
    }
    pair.dotted = std::make_shared<Value>(val);
    return pair;
}

} // namespace

resbuf* toResbuf(const std::vector<Value>& args)
{
    resbuf* head = nullptr;
    resbuf* tail = nullptr;
    try {
        for (const Value& v : args)
            toRb(v, head, tail);
    } catch (...) {
        acutRelRb(head);
        throw;
    }
    return head;
}

Value fromResbuf(const resbuf* rb)
{
    if (!rb)
        return Value::nil();
    // A single value, or the elements of a list handed back whole.
    const resbuf* p = rb;
    Value first = fromRbOne(p);
    if (!p)
        return first;
    Value list = Value::list({first});
    while (p)
        list.items.push_back(fromRbOne(p));
    return list;
}

Value listFromResbuf(const resbuf* rb)
{
    Value list = Value::list({});
    const resbuf* p = rb;
    while (p)
        list.items.push_back(fromRbOne(p));
    return list;
}

// ---------------------------------------------------------------- eval

namespace {

std::string argString(const std::vector<Value>& a, std::size_t i, const char* fn)
{
    if (i >= a.size() || a[i].kind != Value::Kind::Str)
        throw EvalError(std::string("参数类型错误: stringp ") + (i < a.size() ? print(a[i]) : "nil") + " (" + fn + ")");
    return a[i].s;
}

} // namespace

const std::vector<std::string>& builtinNames()
{
    // The functions builtin knows.
    static const std::vector<std::string> names = {"arx",   "arxload", "arxunload", "atoms-family", "getvar", "list",
                                                   "prin1", "princ",   "print",     "quote",        "setvar"};
    return names;
}

namespace {

Value builtin(const std::string& name, const std::vector<Value>& a, bool& found)
{
    found = true;
    if (name == "arxload") {
        std::string error;
        const std::string path = argString(a, 0, "arxload");
        if (!acrxLoadApp(path, error))
            throw EvalError("ARXLOAD 失败: " + error);
        return Value::str(path);
    }
    if (name == "arxunload") {
        std::string error;
        const std::string app = argString(a, 0, "arxunload");
        if (!acrxUnloadApp(app, error))
            throw EvalError("ARXUNLOAD 失败: " + error);
        return Value::str(app);
    }
    if (name == "arx") {
        Value out = Value::list({});
        for (const std::string& n : acrxLoadedApps())
            out.items.push_back(Value::str(n));
        return out.items.empty() ? Value::nil() : out;
    }
    if (name == "getvar") {
        resbuf rb{};
        if (acedGetVar(utf8ToWide(argString(a, 0, "getvar")).c_str(), &rb) != RTNORM)
            return Value::nil();
        Value v = fromResbuf(&rb);
        if (rb.restype == RTSTR)
            std::free(rb.resval.rstring);
        return v;
    }
    if (name == "setvar") {
        const std::string var = argString(a, 0, "setvar");
        if (a.size() < 2)
            throw EvalError("参数太少");
        resbuf* rb = toResbuf({a[1]});
        const int rc = acedSetVar(utf8ToWide(var).c_str(), rb);
        acutRelRb(rb);
        if (rc != RTNORM)
            throw EvalError("拒绝修改变量: " + var);
        return a[1];
    }
    if (name == "atoms-family") {
        // (atoms-family 1 '("name" ...)): the names that are defined, nil
        // for the others.
        if (a.size() < 2 || a[1].kind != Value::Kind::List)
            throw EvalError("参数类型错误: listp (atoms-family)");
        AcApDocument* doc = acDocManager->curDocument();
        Value out = Value::list({});
        for (const Value& n : a[1].items) {
            if (n.kind != Value::Kind::Str)
                throw EvalError("参数类型错误: stringp " + print(n));
            const std::string low = lowerAscii(n.s);
            const bool defined = (doc && doc->lispFunctions().count(low)) || low == "arxload" || low == "getvar";
            out.items.push_back(defined ? Value::str(n.s) : Value::nil());
        }
        return out;
    }
    if (name == "princ" || name == "prin1" || name == "print") {
        if (!a.empty())
            host::printOutput(a[0].kind == Value::Kind::Str && name == "princ" ? a[0].s : print(a[0]));
        return a.empty() ? Value::nil() : a[0];
    }
    if (name == "list")
        return a.empty() ? Value::nil() : Value::list(a);
    if (name == "quote")
        return a.empty() ? Value::nil() : a[0];
    found = false;
    return Value::nil();
}

} // namespace

Value eval(const Value& v)
{
    static int depth = 0;
    switch (v.kind) {
    case Value::Kind::Quote:
        return v.items.front();
    case Value::Kind::Sym:
        throw EvalError("未绑定的变量: " + print(v));
    case Value::Kind::List: {
        if (v.isNil())
            return Value::nil();
        const Nesting level(depth, evalTooDeep);
        const Value& head = v.items.front();
        if (head.kind != Value::Kind::Sym)
            throw EvalError("函数错误: " + print(head));
        std::vector<Value> args;
        for (std::size_t k = 1; k < v.items.size(); ++k)
            args.push_back(eval(v.items[k]));
        bool found = false;
        Value r = builtin(head.s, args, found);
        if (found)
            return r;
        AcApDocument* doc = acDocManager->curDocument();
        auto it = doc ? doc->lispFunctions().find(head.s) : decltype(doc->lispFunctions().end()){};
        if (!doc || it == doc->lispFunctions().end())
            throw EvalError("无函数定义: " + print(head));
        resbuf* rb = toResbuf(args);
        const host::CallResult res = host::invokeFunction(it->second, rb);
        acutRelRb(rb);
        if (res.status != RTNORM)
            throw EvalError(res.error.empty() ? "函数调用失败: " + print(head) : res.error);
        return res.value;
    }
    default:
        return v;
    }
}

} // namespace lisp
