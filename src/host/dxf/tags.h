// The tag level of DXF files: a tagger that splits ASCII or binary DXF
// into (group code, value, position) without knowing any entity, checking
// each value against what its group code holds, and a writer that formats
// tags. No entity classes are known here.
#pragma once

#include <charconv>
#include <cstdint>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace dxf {

// A file that cannot be read: the message names the position, the line
// (1-based) of a text file or the byte offset of a binary one.
class DxfError : public std::runtime_error {
public:
    DxfError(int line, const std::string& what) : std::runtime_error(what), m_line(line) {}
    int line() const { return m_line; }

private:
    int m_line;
};

// A drawing that cannot be written: a value that no file may hold. The
// message names the object (its handle) and the group code.
class DxfWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The group codes of DXF files: 0 to 1071, and the application codes -5
// to -1. Binary files store codes as 16-bit integers, text files as text.
constexpr int kMinGroupCode = -5;
constexpr int kMaxGroupCode = 1071;
inline bool isGroupCode(int code)
{
    return code >= kMinGroupCode && code <= kMaxGroupCode;
}

// What the value of a group code is, by the ranges of the DXF reference.
enum class ValueKind : std::uint8_t { Text, Real, Int16, Int32, Int64, Bool, Handle, Binary };
ValueKind valueKindOf(int code);

// Why value cannot stand under code in a file ("'2n5' is not a number"),
// or an empty string when it can.
std::string valueProblem(int code, std::string_view value);

// Group code 9 names a header variable ("$ACADVER") in the HEADER section
// and is ordinary text elsewhere. Shown each tag in file order, tells
// which tags name header variables.
class HeaderNames {
public:
    bool isName(int code, std::string_view value)
    {
        if (code == 0) {
            m_inHeader = false;
            m_afterSection = value == "SECTION";
            return false;
        }
        if (code == 2 && m_afterSection)
            m_inHeader = value == "HEADER";
        m_afterSection = false;
        return code == 9 && m_inHeader;
    }

private:
    bool m_inHeader = false;
    bool m_afterSection = false;
};

// Why a header variable name cannot stand in a file, or an empty string.
std::string headerNameProblem(std::string_view name);

// Binary DXF files start with "AutoCAD Binary DXF" CR LF SUB NUL; data
// that starts with the words is taken for one (and refused when the rest
// of the sentinel is wrong).
bool isBinaryDxf(std::string_view data);
// "line 12", or "byte offset 345" in a binary file.
std::string describePosition(bool binary, long long position);

// Bytes of a file, read piece by piece. read() fills up to n bytes and
// returns how many it gave, 0 at the end; it throws when the file cannot be
// read (the exception passes through the tagger and the reader as it is).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual std::size_t read(char* buf, std::size_t n) = 0;
    // The size the file had when it was opened (a hint; 0 when unknown).
    virtual std::size_t sizeHint() const { return 0; }
};

struct Tag {
    int code = 0;
    std::string_view value;
    // Line of the group code; in a binary file, its byte offset.
    int line = 0;
    // The value of a real's group code as the tagger read it (always
    // finite); NaN when not read yet.
    double real = std::numeric_limits<double>::quiet_NaN();
};

// Splits a file into tags. Text: LF and CR LF line ends, blanks around
// group codes; values keep leading blanks and lose a trailing CR. Binary:
// group codes of 1 byte (before R13; 255 escapes to a 2-byte code) or 2
// bytes, values typed by their group code; numbers and binary chunks come
// out as the text a text file holds for them. Every value is checked
// against its group code: what cannot be read or written back throws
// DxfError, and a few harmless slips are repaired (see repairNotes).
//
// Over a ByteSource the tagger reads the file in blocks (kBlockBytes)
// instead of holding it whole. A tag's value then points into the
// blocks, which stay until release(): the reader calls it where it no
// longer needs any tag but the last one read, and the blocks (and made
// values) before that tag's are freed.
class Tagger {
public:
    explicit Tagger(std::string_view data);
    // Blocks of a quarter megabyte are read; the first one at once.
    static constexpr std::size_t kBlockBytes = 1 << 18;
    explicit Tagger(ByteSource& source, std::size_t blockBytes = kBlockBytes);
    ~Tagger();
    Tagger(const Tagger&) = delete;
    Tagger& operator=(const Tagger&) = delete;
    // False at the end of the data. A group code without its value, or a
    // code that is not an integer, throws DxfError.
    bool next(Tag& tag)
    {
        if (m_hasPending) {
            m_hasPending = false;
            tag = m_pending;
            return true;
        }
        tag.real = std::numeric_limits<double>::quiet_NaN();
        if (!(m_source ? nextStreamed(tag) : m_binary ? nextBinary(tag) : nextText(tag)))
            return false;
        check(tag);
        return true;
    }
    // Puts the last tag back (one level).
    void pushBack(const Tag& tag)
    {
        m_pending = tag;
        m_hasPending = true;
    }
    // Values of tags read before the last one (the one put back, when one
    // is) may be dropped from now on.
    void release();
    // The start of the data: all of it for text given whole, the first
    // block of a file read from a source (before the first tag is read).
    std::string_view start() const { return m_text; }
    // The line last read; in a binary file, the byte offset reached.
    int line() const { return m_line; }
    bool isBinary() const { return m_binary; }
    // "line 12" or "byte offset 345" for a tag's position.
    std::string position(int pos) const { return describePosition(m_binary, pos); }
    // One note per kind of repair made while reading: its code (as the
    // database's load notes have them) and its text.
    struct RepairNote {
        std::string code;
        std::string text;
    };
    std::vector<RepairNote> repairNotes() const;

private:
    struct Repair {
        int count = 0;
        int first = 0;
    };
    class Arena;
    struct NeedMore {};
    struct Block {
        std::unique_ptr<char[]> data;
        std::size_t capacity = 0;
    };
    bool nextStreamed(Tag& tag);
    // The data ran out inside a tag: more is read (NeedMore) unless the
    // source is at its end.
    void ranOut() const
    {
        if (!m_atEnd)
            throw NeedMore{};
    }
    // Moves the bytes from offset from on into a new block and fills it.
    void refill(std::size_t from);
    bool readLine(std::string_view& out);
    bool nextText(Tag& tag);
    bool nextBinary(Tag& tag);
    std::string_view binaryValue(int code, int at, Tag& tag);
    // The next n bytes as a little-endian number.
    std::uint64_t takeLittle(std::size_t n);
    void startBinary();
    void check(Tag& tag);
    void checkClosely(Tag& tag, bool headerName);
    std::string_view keep(std::string_view s);
    // The data in view: all of it, or the last block read from the source.
    std::string_view m_text;
    std::size_t m_pos = 0;
    // Offset in the file of m_text's first byte.
    std::size_t m_base = 0;
    ByteSource* m_source = nullptr;
    bool m_atEnd = true;
    std::size_t m_blockBytes = kBlockBytes;
    bool m_binaryStarted = false;
    std::vector<Block> m_blocks;
    Block m_spare;
    int m_line = 0;
    Tag m_pending;
    bool m_hasPending = false;
    bool m_binary = false;
    // Bytes of a binary group code: 1 before R13, 2 after.
    int m_codeBytes = 2;
    // Values made while reading (binary numbers, repairs).
    std::unique_ptr<Arena> m_arena;
    std::string m_scratch;
    HeaderNames m_headerNames;
    Repair m_integerRepairs;
    Repair m_headerNameRepairs;
    Repair m_pointerRepairs;
};

// Parsing of values; each throws DxfError naming the line on bad text.
double parseReal(const Tag& t);
long long parseInt(const Tag& t);
std::uint64_t parseHandle(const Tag& t);
// Without throwing: false when the text is not a hex handle.
bool tryParseHandle(std::string_view s, std::uint64_t& out);

// Formats tags into a buffer. Reals are written in their shortest exact
// form, so a value read back is the value written. With a sink, the buffer
// is handed to it whenever it grows past a chunk (see maybeFlush), so a
// large drawing streams to its file instead of being held whole. A value
// that the reader would refuse (a number that is not finite, an integer
// out of its group code's range, a line break in a text) throws
// DxfWriteError naming the object being written and the group code; the
// buffer then ends with the tag before it.
class TagWriter {
public:
    using Sink = void (*)(void* context, const std::string& chunk);
    explicit TagWriter(std::string& out, Sink sink = nullptr, void* context = nullptr)
        : m_out(out), m_sink(sink), m_context(context) {}
    void code(int code);
    void str(int code, std::string_view value);
    void real(int code, double value);
    void integer(int code, long long value);
    void handle(int code, std::uint64_t value);
    void point(int code, double x, double y, double z, bool withZ = true);
    // Hands the buffer to the sink when it holds at least a chunk.
    void maybeFlush()
    {
        if (m_sink && m_out.size() >= kChunk)
            flush();
    }
    void flush();

private:
    [[noreturn]] void refuse(int code, const std::string& why) const;
    void noteObject(int code, std::string_view value);
    static constexpr std::size_t kChunk = 1 << 20;
    std::string& m_out;
    Sink m_sink;
    void* m_context;
    // The object being written, for messages: its type (or the header
    // variable) and its handle.
    std::string m_object;
    std::uint64_t m_handle = 0;
    HeaderNames m_headerNames;
};

std::string formatHandle(std::uint64_t h);
// Appends the shortest text that reads back as exactly v, with a decimal
// point (or exponent) so that readers see a real.
void appendReal(std::string& out, double v);
// Angles are degrees in files and radians in memory. degreesForFile gives
// the shortest degree value that radiansFromFile turns back into exactly
// the same radians, so angles survive any number of reads and writes.
double radiansFromFile(double degrees);
double degreesForFile(double radians);
// Parses a real as DXF files write it; false when the text is not a number.
bool parseRealText(std::string_view s, double& out);

} // namespace dxf
