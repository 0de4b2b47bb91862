// The tag level of DXF files: a tagger that splits ASCII DXF text into
// (group code, value, line) without knowing any entity, and a writer that
// formats tags. No entity classes are known here.
#pragma once

#include <charconv>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace dxf {

// A file that cannot be read: the message names the line (1-based).
class DxfError : public std::runtime_error {
public:
    DxfError(int line, const std::string& what) : std::runtime_error(what), m_line(line) {}
    int line() const { return m_line; }

private:
    int m_line;
};

struct Tag {
    int code = 0;
    std::string_view value;
    // Line of the group code.
    int line = 0;
};

// Splits text into tags. Accepts LF and CR LF line ends and blanks around
// group codes; values keep leading blanks and lose a trailing CR.
class Tagger {
public:
    explicit Tagger(std::string_view text) : m_text(text) {}
    // False at the end of the text. A group code without its value, or a
    // code that is not an integer, throws DxfError.
    bool next(Tag& tag);
    // Puts the last tag back (one level).
    void pushBack(const Tag& tag)
    {
        m_pending = tag;
        m_hasPending = true;
    }
    int line() const { return m_line; }

private:
    bool readLine(std::string_view& out);
    std::string_view m_text;
    std::size_t m_pos = 0;
    int m_line = 0;
    Tag m_pending;
    bool m_hasPending = false;
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
// large drawing streams to its file instead of being held whole.
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
    static constexpr std::size_t kChunk = 1 << 20;
    std::string& m_out;
    Sink m_sink;
    void* m_context;
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
