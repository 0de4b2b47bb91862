#include "host/dxf/tags.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace dxf {

namespace {

constexpr std::string_view kBinarySentinel("AutoCAD Binary DXF\r\n\x1a\0", 22);

// The value kinds of group codes 0..1071, by the ranges of the reference;
// codes it does not list hold text.
struct KindTable {
    ValueKind kind[kMaxGroupCode + 1];
    KindTable()
    {
        for (ValueKind& k : kind)
            k = ValueKind::Text;
        auto set = [this](int first, int last, ValueKind k) {
            for (int c = first; c <= last; ++c)
                kind[c] = k;
        };
        set(10, 59, ValueKind::Real);
        set(60, 79, ValueKind::Int16);
        set(90, 99, ValueKind::Int32);
        // 5 is a handle, but names a dimension block in old DIMSTYLE
        // records (which have their handle in 105).
        set(105, 105, ValueKind::Handle);
        set(110, 149, ValueKind::Real);
        set(160, 169, ValueKind::Int64);
        set(170, 179, ValueKind::Int16);
        set(210, 239, ValueKind::Real);
        set(270, 289, ValueKind::Int16);
        set(290, 299, ValueKind::Bool);
        set(310, 319, ValueKind::Binary);
        set(320, 369, ValueKind::Handle);
        set(370, 389, ValueKind::Int16);
        set(390, 399, ValueKind::Handle);
        set(400, 409, ValueKind::Int16);
        set(420, 429, ValueKind::Int32);
        set(440, 459, ValueKind::Int32);
        set(460, 469, ValueKind::Real);
        set(480, 481, ValueKind::Handle);
        set(1004, 1004, ValueKind::Binary);
        set(1005, 1005, ValueKind::Handle);
        set(1010, 1059, ValueKind::Real);
        set(1060, 1070, ValueKind::Int16);
        set(1071, 1071, ValueKind::Int32);
    }
};
const KindTable kKinds;

std::string_view trimmedBlanks(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

std::string quoted(std::string_view v)
{
    return "'" + std::string(v.substr(0, 40)) + "'";
}

// The range of integers a group code holds; 32-bit values are written
// signed or unsigned by different programs.
void integerRange(ValueKind kind, long long& lo, long long& hi)
{
    switch (kind) {
    case ValueKind::Int16: lo = -32768; hi = 32767; break;
    case ValueKind::Int32: lo = INT32_MIN; hi = UINT32_MAX; break;
    case ValueKind::Bool: lo = 0; hi = 255; break;
    default: lo = LLONG_MIN; hi = LLONG_MAX; break;
    }
}

const char* integerName(ValueKind kind)
{
    switch (kind) {
    case ValueKind::Int16: return "a 16-bit integer";
    case ValueKind::Int32: return "a 32-bit integer";
    case ValueKind::Bool: return "a boolean";
    default: return "a 64-bit integer";
    }
}

bool isIntegerKind(ValueKind kind)
{
    return kind == ValueKind::Int16 || kind == ValueKind::Int32 || kind == ValueKind::Int64 || kind == ValueKind::Bool;
}

// An integer as text: blanks around it, a sign. Sets overflow when the
// digits are right but do not fit 64 bits.
bool parseIntegerText(std::string_view s, long long& out, bool& overflow)
{
    overflow = false;
    s = trimmedBlanks(s);
    if (!s.empty() && s[0] == '+')
        s.remove_prefix(1);
    if (s.empty() || s[0] == '+')
        return false;
    auto res = std::from_chars(s.data(), s.data() + s.size(), out);
    if (res.ptr != s.data() + s.size())
        return false;
    overflow = res.ec == std::errc::result_out_of_range;
    return res.ec == std::errc();
}

bool isHexPairs(std::string_view s)
{
    if (s.size() % 2 != 0)
        return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F')))
            return false;
    return true;
}

// Quick acceptance of the values files are mostly made of: true means
// right, false "look closer".
bool plainText(std::string_view v)
{
    const char* p = v.data();
    std::size_t n = v.size();
    // Eight bytes at a time while none is below 14.
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t x;
        std::memcpy(&x, p, 8);
        if ((x - 0x0E0E0E0E0E0E0E0Eull) & ~x & 0x8080808080808080ull)
            break;
    }
    for (; n > 0; ++p, --n)
        if (static_cast<unsigned char>(*p) <= '\r' && (*p == '\0' || *p == '\r' || *p == '\n'))
            return false;
    return true;
}

bool plainHandle(std::string_view v)
{
    if (v.empty() || v.size() > 16)
        return false;
    for (char c : v)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

bool isDigit(char c)
{
    return static_cast<unsigned char>(c - '0') < 10;
}

// Blanks (integers are often right-aligned), a sign when allowed, then
// 1 to maxDigits digits.
bool plainInteger(std::string_view v, std::ptrdiff_t maxDigits, bool sign)
{
    const char* p = v.data();
    const char* end = p + v.size();
    while (p < end && *p == ' ')
        ++p;
    if (sign && p < end && *p == '-')
        ++p;
    const char* first = p;
    while (p < end && isDigit(*p))
        ++p;
    return p == end && p > first && p - first <= maxDigits;
}

} // namespace

ValueKind valueKindOf(int code)
{
    return code >= 0 && code <= kMaxGroupCode ? kKinds.kind[code] : ValueKind::Text;
}

std::string valueProblem(int code, std::string_view v)
{
    const ValueKind kind = valueKindOf(code);
    switch (kind) {
    case ValueKind::Text:
        if (std::memchr(v.data(), '\0', v.size()))
            return "the value holds a NUL character";
        if (std::memchr(v.data(), '\n', v.size()) || std::memchr(v.data(), '\r', v.size()))
            return "the value holds a line break";
        return {};
    case ValueKind::Real: {
        double d = 0.0;
        if (parseRealText(v, d))
            return {};
        std::string_view t = trimmedBlanks(v);
        if (!t.empty() && t[0] == '+')
            t.remove_prefix(1);
        auto res = std::from_chars(t.data(), t.data() + t.size(), d);
        if (!t.empty() && res.ptr == t.data() + t.size() && (res.ec == std::errc::result_out_of_range || !std::isfinite(d)))
            return quoted(v) + " is not a finite number";
        return quoted(v) + " is not a number";
    }
    case ValueKind::Int16:
    case ValueKind::Int32:
    case ValueKind::Int64:
    case ValueKind::Bool: {
        long long x = 0;
        bool overflow = false;
        if (!parseIntegerText(v, x, overflow))
            return quoted(v) + (overflow ? " is out of range for " + std::string(integerName(kind)) : " is not an integer");
        long long lo = 0, hi = 0;
        integerRange(kind, lo, hi);
        if (x < lo || x > hi)
            return quoted(v) + " is out of range for " + integerName(kind);
        return {};
    }
    case ValueKind::Handle: {
        std::uint64_t h = 0;
        if (!tryParseHandle(v, h))
            return quoted(v) + " is not a handle";
        return {};
    }
    case ValueKind::Binary:
        if (!isHexPairs(v))
            return quoted(v) + " is not binary data (pairs of hex digits)";
        return {};
    }
    return {};
}

std::string headerNameProblem(std::string_view name)
{
    if (name.empty() || name[0] != '$')
        return "header variable name " + quoted(name) + " does not start with $";
    return {};
}

bool isBinaryDxf(std::string_view data)
{
    return data.substr(0, 18) == kBinarySentinel.substr(0, 18);
}

std::string describePosition(bool binary, long long position)
{
    return (binary ? "byte offset " : "line ") + std::to_string(position);
}

// Values made while reading, kept for as long as the tagger: blocks that
// never move, so views into them stay valid.
class Tagger::Arena {
public:
    std::string_view keep(std::string_view s)
    {
        if (s.size() > m_left) {
            const std::size_t n = std::max(kBlock, s.size());
            m_blocks.emplace_back(new char[n]);
            m_next = m_blocks.back().get();
            m_left = n;
        }
        if (!s.empty())
            std::memcpy(m_next, s.data(), s.size());
        const std::string_view kept(m_next, s.size());
        m_next += s.size();
        m_left -= s.size();
        return kept;
    }
    // Frees every block but the one values are made in now.
    void release()
    {
        if (m_blocks.size() > 1)
            m_blocks.erase(m_blocks.begin(), m_blocks.end() - 1);
    }

private:
    static constexpr std::size_t kBlock = 1 << 16;
    std::vector<std::unique_ptr<char[]>> m_blocks;
    char* m_next = nullptr;
    std::size_t m_left = 0;
};

Tagger::Tagger(std::string_view data) : m_text(data), m_binary(isBinaryDxf(data)) {}

Tagger::Tagger(ByteSource& source, std::size_t blockBytes)
    : m_source(&source), m_atEnd(false), m_blockBytes(std::max<std::size_t>(blockBytes, 1))
{
    refill(0);
    m_binary = isBinaryDxf(m_text);
}

void Tagger::refill(std::size_t from)
{
    assert(m_source && !m_atEnd && from <= m_text.size());
    // A tag longer than a block gets a block of twice its bytes so far.
    const std::size_t tail = m_text.size() - from;
    // The first block holds at least the binary sentinel, which tells how
    // the file is read.
    const std::size_t least = m_blocks.empty() ? 2 * kBinarySentinel.size() : 0;
    const std::size_t capacity = std::max({m_blockBytes, 2 * tail, least});
    Block block;
    if (m_spare.data && m_spare.capacity >= capacity)
        block = std::move(m_spare);
    else
        block = Block{std::unique_ptr<char[]>(new char[capacity]), capacity};
    if (tail > 0)
        std::memcpy(block.data.get(), m_text.data() + from, tail);
    std::size_t filled = tail;
    while (filled < capacity) {
        const std::size_t n = m_source->read(block.data.get() + filled, capacity - filled);
        if (n == 0) {
            m_atEnd = true;
            break;
        }
        filled += n;
    }
    m_base += from;
    if (m_binary && m_base + filled > static_cast<std::size_t>(INT_MAX))
        throw DxfError(static_cast<int>(std::min<std::size_t>(m_base, INT_MAX)),
                       "binary DXF files of 2 GB and more cannot be read");
    assert(m_pos == from);
    m_pos = 0;
    m_text = std::string_view(block.data.get(), filled);
    m_blocks.push_back(std::move(block));
}

void Tagger::release()
{
    if (m_arena)
        m_arena->release();
    // The last tag read (or put back) lies in the last block: a tag that
    // ran out of data was read again from the start of a new block.
    if (m_blocks.size() > 1) {
        Block& first = m_blocks.front();
        if (first.capacity == m_blockBytes)
            m_spare = std::move(first);
        m_blocks.erase(m_blocks.begin(), m_blocks.end() - 1);
    }
}

bool Tagger::nextStreamed(Tag& tag)
{
    if (m_binary && !m_binaryStarted)
        startBinary();
    for (;;) {
        const std::size_t start = m_pos;
        const int line = m_line;
        try {
            return m_binary ? nextBinary(tag) : nextText(tag);
        } catch (const NeedMore&) {
            m_pos = start;
            m_line = line;
            refill(start);
        }
    }
}

Tagger::~Tagger() = default;

std::string_view Tagger::keep(std::string_view s)
{
    if (!m_arena)
        m_arena = std::make_unique<Arena>();
    return m_arena->keep(s);
}

void Tagger::check(Tag& t)
{
    // Most values are plainly right and pass at a glance; the rest are
    // looked at closely.
    const bool headerName = m_headerNames.isName(t.code, t.value);
    if (t.code >= 0 && t.code <= kMaxGroupCode) {
        const ValueKind kind = kKinds.kind[t.code];
        if (kind == ValueKind::Real) {
            // Read once: the typed level takes the number from the tag.
            if (parseRealText(t.value, t.real))
                return;
        } else if (kind == ValueKind::Text) {
            if (plainText(t.value) && (!headerName || (!t.value.empty() && t.value[0] == '$')))
                return;
        } else if (kind == ValueKind::Handle) {
            if (plainHandle(t.value))
                return;
        } else if (kind != ValueKind::Binary) {
            const std::ptrdiff_t digits = kind == ValueKind::Int16   ? 4
                                          : kind == ValueKind::Int32 ? 9
                                          : kind == ValueKind::Int64 ? 18
                                                                     : 2;
            if (plainInteger(t.value, digits, kind != ValueKind::Bool))
                return;
        }
    }
    checkClosely(t, headerName);
}

void Tagger::checkClosely(Tag& t, bool headerName)
{
    if (!isGroupCode(t.code))
        throw DxfError(t.line, "group code " + std::to_string(t.code) + " is not a DXF group code (they run from "
                                   + std::to_string(kMinGroupCode) + " to " + std::to_string(kMaxGroupCode) + ")");
    const ValueKind kind = valueKindOf(t.code);
    std::string why = valueProblem(t.code, t.value);
    if (why.empty() && headerName)
        why = headerNameProblem(t.value);
    if (why.empty())
        return;
    // Repairs: an integer written as a real ("1.0"), a header variable
    // without its "$".
    if (isIntegerKind(kind)) {
        double d = 0.0;
        long long lo = 0, hi = 0;
        integerRange(kind, lo, hi);
        if (parseRealText(t.value, d) && d == std::trunc(d) && d >= static_cast<double>(lo)
            && d <= static_cast<double>(hi) && std::fabs(d) < 9.0e18) {
            char buf[32];
            auto res = std::to_chars(buf, buf + sizeof buf, static_cast<long long>(d));
            t.value = keep(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
            if (m_integerRepairs.count++ == 0)
                m_integerRepairs.first = t.line;
            return;
        }
    } else if (kind == ValueKind::Handle && t.code != 105 && t.code != 5) {
        // A reference that names no handle (some programs write a style's
        // name where its handle belongs) points nowhere: it becomes the
        // null handle, which every reader takes.
        t.value = "0";
        if (m_pointerRepairs.count++ == 0)
            m_pointerRepairs.first = t.line;
        return;
    } else if (headerName && !t.value.empty() && valueProblem(t.code, t.value).empty()) {
        m_scratch.assign("$");
        m_scratch.append(t.value);
        t.value = keep(m_scratch);
        if (m_headerNameRepairs.count++ == 0)
            m_headerNameRepairs.first = t.line;
        return;
    }
    throw DxfError(t.line, "group code " + std::to_string(t.code) + ": " + why);
}

std::vector<Tagger::RepairNote> Tagger::repairNotes() const
{
    std::vector<RepairNote> notes;
    if (const int n = m_integerRepairs.count)
        notes.push_back({"INTEGER_AS_REAL",
                         n == 1 ? "an integer written as a real at " + position(m_integerRepairs.first)
                                 + " was written as an integer"
                                : std::to_string(n) + " integers written as reals were written as integers (the first at "
                                 + position(m_integerRepairs.first) + ")"});
    if (const int n = m_headerNameRepairs.count)
        notes.push_back({"HEADER_NAME_WITHOUT_DOLLAR",
                         n == 1 ? "the header variable name at " + position(m_headerNameRepairs.first)
                                 + " lacked its $ and was given one"
                                : std::to_string(n) + " header variable names lacked their $ and were given one (the first at "
                                 + position(m_headerNameRepairs.first) + ")"});
    if (const int n = m_pointerRepairs.count)
        notes.push_back({"REFERENCE_WITHOUT_HANDLE",
                         n == 1 ? "a reference at " + position(m_pointerRepairs.first)
                                 + " named no handle and was made the null handle"
                                : std::to_string(n) + " references named no handle and were made the null handle (the first at "
                                 + position(m_pointerRepairs.first) + ")"});
    return notes;
}

void Tagger::startBinary()
{
    m_binaryStarted = true;
    if (m_text.size() < kBinarySentinel.size() || m_text.substr(0, kBinarySentinel.size()) != kBinarySentinel)
        throw DxfError(0, "damaged binary DXF file: its first 22 bytes are not the binary DXF sentinel");
    if (m_text.size() > static_cast<std::size_t>(INT_MAX))
        throw DxfError(0, "binary DXF files of 2 GB and more cannot be read");
    m_pos = kBinarySentinel.size();
    m_line = static_cast<int>(m_pos);
    // Every writer starts with (0, SECTION): a 0 byte then 'S' is a 1-byte
    // code, two 0 bytes a 2-byte one. 255 escapes 1-byte codes; a 2-byte
    // code of the reference has a high byte of at most 4.
    const auto* d = reinterpret_cast<const unsigned char*>(m_text.data());
    const unsigned b0 = m_text.size() > m_pos ? d[m_pos] : 0;
    const unsigned b1 = m_text.size() > m_pos + 1 ? d[m_pos + 1] : 0;
    m_codeBytes = (b0 == 255 || (b0 == 0 && b1 != 0) || (b0 != 0 && b1 > 4)) ? 1 : 2;
}

std::uint64_t Tagger::takeLittle(std::size_t n)
{
    const auto* d = reinterpret_cast<const unsigned char*>(m_text.data());
    std::uint64_t v = 0;
    for (std::size_t i = n; i-- > 0;)
        v = (v << 8) | d[m_pos + i];
    m_pos += n;
    return v;
}

bool Tagger::nextBinary(Tag& tag)
{
    if (!m_binaryStarted)
        startBinary();
    const std::size_t size = m_text.size();
    if (m_pos >= size) {
        ranOut();
        return false;
    }
    const auto* d = reinterpret_cast<const unsigned char*>(m_text.data());
    const int at = static_cast<int>(m_base + m_pos);
    int code = 0;
    if (m_codeBytes == 1 && d[m_pos] != 255) {
        code = d[m_pos++];
    } else {
        m_pos += m_codeBytes == 1 ? 1 : 0;
        if (size - m_pos < 2)
            ranOut();
        if (size - m_pos < 2)
            throw DxfError(at, "unexpected end of file inside a group code");
        code = static_cast<std::int16_t>(takeLittle(2));
    }
    if (!isGroupCode(code))
        throw DxfError(at, "group code " + std::to_string(code) + " is not a DXF group code (they run from "
                               + std::to_string(kMinGroupCode) + " to " + std::to_string(kMaxGroupCode) + ")");
    tag.value = binaryValue(code, at, tag);
    tag.code = code;
    tag.line = at;
    m_line = static_cast<int>(m_base + m_pos);
    return true;
}

// The value of a binary tag as the text a text file would hold; a real's
// number also goes into tag.real.
std::string_view Tagger::binaryValue(int code, int at, Tag& tag)
{
    const std::size_t size = m_text.size();
    const auto* d = reinterpret_cast<const unsigned char*>(m_text.data());
    auto need = [&](std::size_t n) {
        if (size - m_pos < n)
            ranOut();
        if (size - m_pos < n)
            throw DxfError(at, "unexpected end of file: the value of group code " + std::to_string(code) + " is cut off");
    };
    auto integer = [&](long long v) {
        char buf[32];
        auto res = std::to_chars(buf, buf + sizeof buf, v);
        return keep(std::string_view(buf, static_cast<std::size_t>(res.ptr - buf)));
    };
    switch (valueKindOf(code)) {
    case ValueKind::Real: {
        need(8);
        const std::uint64_t bits = takeLittle(8);
        double v;
        std::memcpy(&v, &bits, sizeof v);
        if (!std::isfinite(v))
            throw DxfError(at, "group code " + std::to_string(code) + ": the value is not a finite number");
        m_scratch.clear();
        appendReal(m_scratch, v);
        tag.real = v;
        return keep(m_scratch);
    }
    case ValueKind::Int16:
        need(2);
        return integer(static_cast<std::int16_t>(takeLittle(2)));
    case ValueKind::Int32:
        need(4);
        return integer(static_cast<std::int32_t>(takeLittle(4)));
    case ValueKind::Int64:
        need(8);
        return integer(static_cast<std::int64_t>(takeLittle(8)));
    case ValueKind::Bool:
        need(1);
        return integer(static_cast<long long>(takeLittle(1)));
    case ValueKind::Binary: {
        // A length byte, then the bytes; text files hold them as hex.
        need(1);
        const std::size_t n = takeLittle(1);
        need(n);
        static const char digits[] = "0123456789ABCDEF";
        m_scratch.clear();
        for (std::size_t i = 0; i < n; ++i) {
            m_scratch.push_back(digits[d[m_pos + i] >> 4]);
            m_scratch.push_back(digits[d[m_pos + i] & 15]);
        }
        m_pos += n;
        return keep(m_scratch);
    }
    case ValueKind::Text:
    case ValueKind::Handle:
        break;
    }
    const void* nul = std::memchr(d + m_pos, 0, size - m_pos);
    if (!nul)
        ranOut();
    if (!nul)
        throw DxfError(at, "unexpected end of file: the text of group code " + std::to_string(code) + " has no end");
    const std::size_t len = static_cast<std::size_t>(static_cast<const unsigned char*>(nul) - (d + m_pos));
    const std::string_view value = m_text.substr(m_pos, len);
    m_pos += len + 1;
    return value;
}

bool Tagger::readLine(std::string_view& out)
{
    if (m_pos >= m_text.size()) {
        ranOut();
        return false;
    }
    const char* base = m_text.data() + m_pos;
    const std::size_t rest = m_text.size() - m_pos;
    const void* nl = std::memchr(base, '\n', rest);
    if (!nl)
        ranOut();
    std::size_t len = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - base) : rest;
    m_pos += nl ? len + 1 : len;
    if (len > 0 && base[len - 1] == '\r')
        --len;
    out = std::string_view(base, len);
    ++m_line;
    return true;
}

bool Tagger::nextText(Tag& tag)
{
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
        if (b == e && m_pos >= m_text.size()) {
            ranOut();
            return false; // a final empty line
        }
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
    if (fastReal(s.data(), s.data() + s.size(), v))
        return true;
    s = trimmedBlanks(s);
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
    if (std::isfinite(t.real))
        return t.real;
    double v = 0.0;
    if (!parseRealText(t.value, v))
        throw DxfError(t.line, "group code " + std::to_string(t.code) + ": '" + std::string(t.value.substr(0, 40))
                                   + "' is not a number");
    return v;
}

long long parseInt(const Tag& t)
{
    std::string_view s = trimmedBlanks(t.value);
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
    s = trimmedBlanks(s);
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

void TagWriter::refuse(int code, const std::string& why) const
{
    std::string where = m_object.empty() ? std::string("the drawing") : m_object;
    if (m_handle != 0)
        where += " (handle " + formatHandle(m_handle) + ")";
    throw DxfWriteError(where + ", group code " + std::to_string(code) + ": " + why);
}

void TagWriter::noteObject(int code, std::string_view value)
{
    if (code == 0) {
        m_object.assign(value.substr(0, 40));
        m_handle = 0;
    } else if (code == 9) { // a header variable
        m_object.assign("header variable ");
        m_object.append(value.substr(0, 40));
        m_handle = 0;
    } else if (code == 5 || code == 105) {
        tryParseHandle(value, m_handle);
    }
}

void TagWriter::code(int code)
{
    if (code >= 0 && code < 1072) {
        m_out.append(kCodeLines.text[code], kCodeLines.len[code]);
        return;
    }
    if (!isGroupCode(code))
        refuse(code, "it is not a DXF group code");
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
    const bool headerName = m_headerNames.isName(c, value);
    if (c == 0 || headerName || c == 5 || c == 105)
        noteObject(c, value);
    // Text is checked with a scan; other kinds (kept tags of objects the
    // host does not model) are parsed.
    if (valueKindOf(c) != ValueKind::Text || headerName || !plainText(value)) {
        std::string why = valueProblem(c, value);
        if (why.empty() && headerName)
            why = headerNameProblem(value);
        if (!why.empty())
            refuse(c, why);
    }
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
    // Whole turns are dropped from angles too large to turn into radians.
    if (!(std::fabs(degrees) < 1e300))
        degrees = std::fmod(degrees, 360.0);
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
    if (!std::isfinite(value))
        refuse(c, std::string(std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf") + " is not a finite number");
    code(c);
    appendReal(m_out, value);
    m_out.push_back('\n');
}

void TagWriter::integer(int c, long long value)
{
    const ValueKind kind = valueKindOf(c);
    if (isIntegerKind(kind)) {
        long long lo = 0, hi = 0;
        integerRange(kind, lo, hi);
        if (value < lo || value > hi)
            refuse(c, std::to_string(value) + " is out of range for " + integerName(kind));
    }
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
    if (c == 5 || c == 105)
        m_handle = value;
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
