#include "host/dxf/tags.h"

#include <cmath>
#include <cstring>

namespace dxf {

bool Tagger::readLine(std::string_view& out)
{
    if (m_pos >= m_text.size())
        return false;
    const char* base = m_text.data() + m_pos;
    const std::size_t rest = m_text.size() - m_pos;
    const void* nl = std::memchr(base, '\n', rest);
    std::size_t len = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - base) : rest;
    m_pos += nl ? len + 1 : len;
    if (len > 0 && base[len - 1] == '\r')
        --len;
    out = std::string_view(base, len);
    ++m_line;
    return true;
}

bool Tagger::next(Tag& tag)
{
    if (m_hasPending) {
        m_hasPending = false;
        tag = m_pending;
        return true;
    }
    std::string_view codeLine;
    if (!readLine(codeLine))
        return false;
    const int codeLineNo = m_line;
    // Group codes may carry blanks around them.
    std::size_t b = 0, e = codeLine.size();
    while (b < e && (codeLine[b] == ' ' || codeLine[b] == '\t'))
        ++b;
    while (e > b && (codeLine[e - 1] == ' ' || codeLine[e - 1] == '\t'))
        --e;
    int code = 0;
    const char* first = codeLine.data() + b;
    const char* last = codeLine.data() + e;
    auto res = std::from_chars(first, last, code);
    if (b == e || res.ec != std::errc() || res.ptr != last) {
        if (b == e && m_pos >= m_text.size())
            return false; // a final empty line
        throw DxfError(codeLineNo, "invalid group code '" + std::string(codeLine.substr(0, 40)) + "'");
    }
    std::string_view value;
    if (!readLine(value))
        throw DxfError(codeLineNo, "unexpected end of file: group code " + std::to_string(code) + " has no value");
    tag.code = code;
    tag.value = value;
    tag.line = codeLineNo;
    return true;
}

static std::string_view trimmed(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

double parseReal(const Tag& t)
{
    std::string_view s = trimmed(t.value);
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    double v = 0.0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size() || !std::isfinite(v))
        throw DxfError(t.line, "group code " + std::to_string(t.code) + ": '" + std::string(t.value.substr(0, 40))
                                   + "' is not a number");
    return v;
}

long long parseInt(const Tag& t)
{
    std::string_view s = trimmed(t.value);
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    long long v = 0;
    auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    if (s.empty() || res.ec != std::errc() || res.ptr != s.data() + s.size()) {
        // Some writers put reals where integers belong ("1.0").
        double d = 0.0;
        auto rd = std::from_chars(s.data(), s.data() + s.size(), d);
        if (!s.empty() && rd.ec == std::errc() && rd.ptr == s.data() + s.size() && std::isfinite(d)
            && std::fabs(d) < 9.0e18)
            return static_cast<long long>(d);
        throw DxfError(t.line, "group code " + std::to_string(t.code) + ": '" + std::string(t.value.substr(0, 40))
                                   + "' is not an integer");
    }
    return v;
}

bool tryParseHandle(std::string_view s, std::uint64_t& out)
{
    s = trimmed(s);
    if (s.empty() || s.size() > 16)
        return false;
    auto res = std::from_chars(s.data(), s.data() + s.size(), out, 16);
    return res.ec == std::errc() && res.ptr == s.data() + s.size();
}

std::uint64_t parseHandle(const Tag& t)
{
    std::uint64_t h = 0;
    if (!tryParseHandle(t.value, h))
        throw DxfError(t.line, "group code " + std::to_string(t.code) + ": '" + std::string(t.value.substr(0, 40))
                                   + "' is not a handle");
    return h;
}

void TagWriter::code(int code)
{
    char buf[16];
    auto res = std::to_chars(buf, buf + sizeof buf, code);
    const std::size_t n = static_cast<std::size_t>(res.ptr - buf);
    if (n < 3)
        m_out.append(3 - n, ' ');
    m_out.append(buf, n);
    m_out.push_back('\n');
}

void TagWriter::str(int c, std::string_view value)
{
    code(c);
    m_out.append(value);
    m_out.push_back('\n');
}

void appendReal(std::string& out, double v)
{
    char buf[64];
    if (v == 0.0)
        v = 0.0; // no negative zero in files
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
    out.append(s);
    // Keep a decimal point so readers see a real.
    if (s.find_first_of(".eEn") == std::string_view::npos)
        out.append(".0");
}

void TagWriter::real(int c, double value)
{
    code(c);
    appendReal(m_out, value);
    m_out.push_back('\n');
}

void TagWriter::integer(int c, long long value)
{
    code(c);
    char buf[32];
    auto res = std::to_chars(buf, buf + sizeof buf, value);
    m_out.append(buf, static_cast<std::size_t>(res.ptr - buf));
    m_out.push_back('\n');
}

std::string formatHandle(std::uint64_t h)
{
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, h, 16);
    std::string s(buf, static_cast<std::size_t>(res.ptr - buf));
    for (char& ch : s)
        if (ch >= 'a' && ch <= 'f')
            ch = static_cast<char>(ch - 'a' + 'A');
    return s;
}

void TagWriter::handle(int c, std::uint64_t value)
{
    code(c);
    m_out.append(formatHandle(value));
    m_out.push_back('\n');
}

void TagWriter::point(int c, double x, double y, double z, bool withZ)
{
    real(c, x);
    real(c + 10, y);
    if (withZ)
        real(c + 20, z);
}

} // namespace dxf
