#include "host/dxf/tags.h"

#include <cmath>
#include <cstdio>
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
    // Fast path: blanks, up to six digits (a sign allowed), line end.
    {
        const char* p = m_text.data() + m_pos;
        const char* end = m_text.data() + m_text.size();
        while (p < end && *p == ' ')
            ++p;
        bool neg = false;
        if (p < end && *p == '-') {
            neg = true;
            ++p;
        }
        int code = 0, digits = 0;
        while (p < end && *p >= '0' && *p <= '9' && digits < 7) {
            code = code * 10 + (*p - '0');
            ++p;
            ++digits;
        }
        if (p < end && *p == '\r')
            ++p;
        if (digits > 0 && digits < 7 && p < end && *p == '\n') {
            m_pos = static_cast<std::size_t>(p + 1 - m_text.data());
            ++m_line;
            const int codeLineNo = m_line;
            std::string_view value;
            if (!readLine(value))
                throw DxfError(codeLineNo, "unexpected end of file: group code " + std::to_string(code) + " has no value");
            tag.code = neg ? -code : code;
            tag.value = value;
            tag.line = codeLineNo;
            return true;
        }
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

namespace {

constexpr double kPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                             1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Exact when the digits fit in 53 bits and the power of ten is exact: the
// single division or multiplication is then correctly rounded.
bool fastReal(const char* p, const char* end, double& out)
{
    bool neg = false;
    if (p < end && (*p == '-' || *p == '+')) {
        neg = *p == '-';
        ++p;
    }
    std::uint64_t mant = 0;
    int digits = 0, frac = 0;
    bool any = false;
    while (p < end && *p >= '0' && *p <= '9') {
        if (mant != 0 || *p != '0')
            ++digits;
        mant = mant * 10 + static_cast<unsigned>(*p - '0');
        ++p;
        any = true;
        if (digits > 15)
            return false;
    }
    if (p < end && *p == '.') {
        ++p;
        while (p < end && *p >= '0' && *p <= '9') {
            if (mant != 0 || *p != '0')
                ++digits;
            mant = mant * 10 + static_cast<unsigned>(*p - '0');
            ++frac;
            ++p;
            any = true;
            if (digits > 15 || frac > 22)
                return false;
        }
    }
    if (!any || p != end)
        return false;
    double v = static_cast<double>(mant);
    if (frac)
        v /= kPow10[frac];
    out = neg ? -v : v;
    return true;
}

} // namespace

bool parseRealText(std::string_view s, double& v)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    s = s.substr(b, e - b);
    if (s.empty())
        return false;
    if (fastReal(s.data(), s.data() + s.size(), v))
        return true;
    if (s[0] == '+')
        s.remove_prefix(1);
    auto res = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && res.ec == std::errc() && res.ptr == s.data() + s.size() && std::isfinite(v);
}

double parseReal(const Tag& t)
{
    double v = 0.0;
    if (!parseRealText(t.value, v))
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

namespace {

// "  0\n" ... "1071\n": group code lines, made once.
struct CodeLines {
    char text[1072][8];
    unsigned char len[1072];
    CodeLines()
    {
        for (int c = 0; c < 1072; ++c) {
            char buf[8];
            const int n = std::snprintf(buf, sizeof buf, "%3d\n", c);
            std::memcpy(text[c], buf, static_cast<std::size_t>(n));
            len[c] = static_cast<unsigned char>(n);
        }
    }
};
const CodeLines kCodeLines;

const char kDigitPairs[] = "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
                           "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
                           "8081828384858687888990919293949596979899";

// Writes u in decimal, right-aligned ending at end; returns the start.
char* writeDecimal(char* end, std::uint64_t u)
{
    while (u >= 100) {
        const unsigned r = static_cast<unsigned>(u % 100);
        u /= 100;
        end -= 2;
        std::memcpy(end, kDigitPairs + 2 * r, 2);
    }
    if (u >= 10) {
        end -= 2;
        std::memcpy(end, kDigitPairs + 2 * u, 2);
    } else {
        *--end = static_cast<char>('0' + u);
    }
    return end;
}

} // namespace

void TagWriter::code(int code)
{
    if (code >= 0 && code < 1072) {
        m_out.append(kCodeLines.text[code], kCodeLines.len[code]);
        return;
    }
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

void TagWriter::flush()
{
    if (m_sink && !m_out.empty()) {
        m_sink(m_context, m_out);
        m_out.clear();
    }
}

void appendReal(std::string& out, double v)
{
    if (v == 0.0) {
        out.append("0.0"); // no negative zero in files
        return;
    }
    // Most drawing values have few decimals: find the fewest decimals k
    // that give exactly v back (checked with one correctly rounded
    // division), and write the integer m = v * 10^k with a point.
    const double a = std::fabs(v);
    if (a < 1e15 && a >= 1e-6) {
        for (int k = 0; k <= 9; ++k) {
            const double scaled = a * kPow10[k];
            if (scaled >= 9.0e15)
                break;
            const double m = std::nearbyint(scaled);
            if (m / kPow10[k] != a)
                continue;
            char buf[48];
            char* end = buf + sizeof buf;
            char* p = writeDecimal(end, static_cast<std::uint64_t>(m));
            const std::size_t ndig = static_cast<std::size_t>(end - p);
            std::string_view digits(p, ndig);
            if (v < 0)
                out.push_back('-');
            if (k == 0) {
                out.append(digits);
                out.append(".0");
            } else if (ndig > static_cast<std::size_t>(k)) {
                out.append(digits.substr(0, ndig - k));
                out.push_back('.');
                out.append(digits.substr(ndig - k));
            } else {
                out.append("0.");
                out.append(static_cast<std::size_t>(k) - ndig, '0');
                out.append(digits);
            }
            return;
        }
    }
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    std::string_view s(buf, static_cast<std::size_t>(res.ptr - buf));
    out.append(s);
    bool point = false;
    for (char c : s)
        if (c == '.' || c == 'e' || c == 'n')
            point = true;
    if (!point)
        out.append(".0");
}

double radiansFromFile(double degrees)
{
    return degrees * 3.14159265358979323846 / 180.0;
}

double degreesForFile(double radians)
{
    const double d = radians * 180.0 / 3.14159265358979323846;
    double best = d;
    std::size_t bestLen = 0;
    double c = d;
    for (int k = 0; k < 8; ++k)
        c = std::nextafter(c, -HUGE_VAL);
    for (int k = 0; k <= 16; ++k, c = std::nextafter(c, HUGE_VAL)) {
        if (radiansFromFile(c) != radians)
            continue;
        std::string text;
        appendReal(text, c);
        if (bestLen == 0 || text.size() < bestLen) {
            best = c;
            bestLen = text.size();
        }
    }
    return best;
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
    for (char* p = buf; p < res.ptr; ++p)
        if (*p >= 'a' && *p <= 'f')
            *p = static_cast<char>(*p - 'a' + 'A');
    return std::string(buf, static_cast<std::size_t>(res.ptr - buf));
}

void TagWriter::handle(int c, std::uint64_t value)
{
    code(c);
    char buf[24];
    auto res = std::to_chars(buf, buf + sizeof buf, value, 16);
    for (char* p = buf; p < res.ptr; ++p)
        if (*p >= 'a' && *p <= 'f')
            *p = static_cast<char>(*p - 'a' + 'A');
    m_out.append(buf, static_cast<std::size_t>(res.ptr - buf));
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
