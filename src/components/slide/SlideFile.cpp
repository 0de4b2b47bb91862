#include "components/slide/SlideFile.h"

#include "components/slide/SlideLibrary.h"

#include <cmath>
#include <cstring>

namespace ctrlsch::slide {

namespace {

constexpr char kSignature[] = "AutoCAD Slide\r\n\x1a"; // followed by its NUL
constexpr std::size_t kSignatureSize = 17;
constexpr std::uint8_t kTypeByte = 0x56;

constexpr int kRecordOffsetVector = 0xFB;
constexpr int kRecordEnd = 0xFC;
constexpr int kRecordFill = 0xFD;
constexpr int kRecordCommonEndpoint = 0xFE;
constexpr int kRecordColour = 0xFF;

// Bounds-checked reading of the record stream.
class Reader {
public:
    Reader(std::span<const std::uint8_t> data, std::size_t pos, bool bigEndian)
        : m_data(data), m_pos(pos), m_big(bigEndian) {}
    std::size_t pos() const { return m_pos; }
    bool has(std::size_t n) const { return m_pos <= m_data.size() && m_data.size() - m_pos >= n; }
    std::uint16_t word()
    {
        std::uint16_t a = m_data[m_pos], b = m_data[m_pos + 1];
        m_pos += 2;
        return m_big ? static_cast<std::uint16_t>((a << 8) | b) : static_cast<std::uint16_t>((b << 8) | a);
    }
    int signedWord() { return static_cast<std::int16_t>(word()); }
    int signedByte() { return static_cast<std::int8_t>(m_data[m_pos++]); }

private:
    std::span<const std::uint8_t> m_data;
    std::size_t m_pos;
    bool m_big;
};

std::string at(std::size_t pos) { return " at byte " + std::to_string(pos); }

SlideResult<Slide> fail(std::string message) { return SlideResult<Slide>::failure(std::move(message)); }

// Reads the header of a level 1 or 2 slide into slide; recordStart is where
// its records begin. The failure, or empty.
std::string readHeader(std::span<const std::uint8_t> data, Slide& slide, std::size_t& recordStart)
{
    if (data.size() < kSignatureSize + 2)
        return "slide too short for its header (" + std::to_string(data.size()) + " bytes)";
    if (std::memcmp(data.data(), kSignature, kSignatureSize) != 0)
        return "not a slide file: signature missing";
    if (data[17] != kTypeByte)
        return "not a slide file: type byte is " + std::to_string(data[17]);

    slide.level = data[18];
    if (slide.level == 2) {
        if (data.size() < kSlideHeaderSizeLevel2)
            return "slide header truncated";
        if (data[29] == 0x34 && data[30] == 0x12)
            slide.bigEndian = false;
        else if (data[29] == 0x12 && data[30] == 0x34)
            slide.bigEndian = true;
        else
            return "slide header: bad test number";
        Reader h(data, 19, slide.bigEndian);
        slide.highX = h.word();
        slide.highY = h.word();
        std::uint32_t aspect = static_cast<std::uint32_t>(data[23]) | (static_cast<std::uint32_t>(data[24]) << 8) |
                               (static_cast<std::uint32_t>(data[25]) << 16) |
                               (static_cast<std::uint32_t>(data[26]) << 24);
        slide.aspectRatio = aspect / 10'000'000.0;
        Reader f(data, 27, slide.bigEndian);
        slide.hardwareFill = f.word();
        recordStart = kSlideHeaderSizeLevel2;
    } else if (slide.level == 1) {
        if (data.size() < kSlideHeaderSizeLevel1)
            return "slide header truncated";
        Reader h(data, 19, false);
        slide.highX = h.word();
        slide.highY = h.word();
        std::uint64_t bits = 0;
        for (int i = 7; i >= 0; --i)
            bits = (bits << 8) | data[23 + i];
        double aspect;
        static_assert(sizeof aspect == sizeof bits);
        std::memcpy(&aspect, &bits, sizeof aspect);
        slide.aspectRatio = aspect;
        Reader f(data, 31, false);
        slide.hardwareFill = f.word();
        recordStart = kSlideHeaderSizeLevel1;
    } else {
        return "unsupported slide level " + std::to_string(slide.level);
    }
    if (slide.highX <= 0 || slide.highY <= 0 || slide.highX > 0x7FFF || slide.highY > 0x7FFF)
        return "slide header: bad screen size";
    if (!std::isfinite(slide.aspectRatio) || slide.aspectRatio <= 0.0)
        return "slide header: bad aspect ratio";
    if (slide.hardwareFill != 0 && slide.hardwareFill != 2)
        return "slide header: bad hardware fill value " + std::to_string(slide.hardwareFill);
    return {};
}

// Reads the records from recordStart to the end record into the slide's
// primitives. The failure, or empty.
std::string readRecords(std::span<const std::uint8_t> data, std::size_t recordStart, Slide& slide)
{
    Reader r(data, recordStart, slide.bigEndian);
    SlidePoint last;
    int colour = 7;
    bool inFill = false;
    SlideFill fill;
    for (;;) {
        const std::size_t start = r.pos();
        if (!r.has(2))
            return inFill ? "slide ends inside a solid fill" : "slide truncated: no end record";
        const std::uint16_t word = r.word();
        const int type = word >> 8;
        if (inFill && type != kRecordFill)
            return "solid fill not closed" + at(start);
        if (type <= 0x7F) {
            if (!r.has(6))
                return "vector record truncated" + at(start);
            SlideSegment s;
            s.from = {static_cast<std::int16_t>(word), r.signedWord()};
            s.to.x = r.signedWord();
            s.to.y = r.signedWord();
            s.colour = colour;
            last = s.from;
            slide.primitives.emplace_back(s);
        } else if (type == kRecordOffsetVector) {
            if (!r.has(3))
                return "offset vector record truncated" + at(start);
            const int dx0 = static_cast<std::int8_t>(word & 0xFF);
            const int dy0 = r.signedByte();
            const int dx1 = r.signedByte();
            const int dy1 = r.signedByte();
            SlideSegment s{{last.x + dx0, last.y + dy0}, {last.x + dx1, last.y + dy1}, colour};
            last = s.from;
            slide.primitives.emplace_back(s);
        } else if (type == kRecordEnd) {
            return {};
        } else if (type == kRecordFill) {
            if (!r.has(4))
                return "solid fill record truncated" + at(start);
            const int x = r.signedWord();
            const int y = r.signedWord();
            if (!inFill) {
                if (y >= 0)
                    return "solid fill vertex outside a fill" + at(start);
                inFill = true;
                fill = SlideFill{{}, colour};
            } else if (y < 0) {
                inFill = false;
                if (fill.vertices.empty())
                    return "solid fill without vertices" + at(start);
                slide.primitives.emplace_back(std::move(fill));
                fill = SlideFill{};
            } else {
                if (fill.vertices.size() >= kMaxFillVertices)
                    return "solid fill has more than 10 vertices" + at(start);
                fill.vertices.push_back({x, y});
            }
        } else if (type == kRecordCommonEndpoint) {
            if (!r.has(1))
                return "common-endpoint vector record truncated" + at(start);
            const int dx = static_cast<std::int8_t>(word & 0xFF);
            const int dy = r.signedByte();
            SlideSegment s{{last.x + dx, last.y + dy}, last, colour};
            last = s.from;
            slide.primitives.emplace_back(s);
        } else if (type == kRecordColour) {
            colour = word & 0xFF;
        } else {
            return "invalid record type " + std::to_string(type) + at(start);
        }
    }
}

} // namespace

SlideResult<Slide> parseSlide(std::span<const std::uint8_t> data)
{
    Slide slide;
    std::size_t recordStart = 0;
    std::string failure = readHeader(data, slide, recordStart);
    if (failure.empty())
        failure = readRecords(data, recordStart, slide);
    if (!failure.empty())
        return fail(std::move(failure));
    return SlideResult<Slide>::success(std::move(slide));
}

namespace {

class Writer {
public:
    std::vector<std::uint8_t> bytes;
    void byte(int b) { bytes.push_back(static_cast<std::uint8_t>(b & 0xFF)); }
    void word(int w)
    {
        byte(w);
        byte(w >> 8);
    }
    void record(int type, int low) { byte(low); byte(type); }
};

bool fitsByte(int d) { return d >= -128 && d <= 127; }

} // namespace

SlideResult<std::vector<std::uint8_t>> encodeSlide(const Slide& slide)
{
    using R = SlideResult<std::vector<std::uint8_t>>;
    if (slide.highX <= 0 || slide.highY <= 0 || slide.highX > 0x7FFF || slide.highY > 0x7FFF)
        return R::failure("screen size out of range");
    if (!std::isfinite(slide.aspectRatio) || slide.aspectRatio <= 0.0 || slide.aspectRatio * 1e7 > 4294967295.0
        || std::lround(slide.aspectRatio * 1e7) < 1)
        return R::failure("aspect ratio out of range");
    if (slide.hardwareFill != 0 && slide.hardwareFill != 2)
        return R::failure("hardware fill must be 0 or 2");
    auto inside = [&](const SlidePoint& p) {
        return p.x >= 0 && p.y >= 0 && p.x <= slide.highX && p.y <= slide.highY;
    };

    Writer w;
    w.bytes.assign(kSignature, kSignature + kSignatureSize);
    w.byte(kTypeByte);
    w.byte(2);
    w.word(slide.highX);
    w.word(slide.highY);
    const auto aspect = static_cast<std::uint32_t>(std::lround(slide.aspectRatio * 1e7));
    for (int i = 0; i < 4; ++i)
        w.byte(static_cast<int>(aspect >> (8 * i)));
    w.word(slide.hardwareFill);
    w.word(0x1234);

    // Offsets count from the last point, which only a full vector sets:
    // readers start from points of their own (sldtoppm from (32000, 32000)).
    SlidePoint last;
    bool haveLast = false;
    int colour = -1;
    auto setColour = [&](int c) {
        if (c != colour) {
            w.record(kRecordColour, c);
            colour = c;
        }
    };
    for (const SlidePrimitive& prim : slide.primitives) {
        if (const auto* s = std::get_if<SlideSegment>(&prim)) {
            if (!inside(s->from) || !inside(s->to))
                return R::failure("segment outside the screen");
            if (s->colour < 0 || s->colour > 255)
                return R::failure("colour out of range");
            setColour(s->colour);
            const int dx0 = s->from.x - last.x, dy0 = s->from.y - last.y;
            const int dx1 = s->to.x - last.x, dy1 = s->to.y - last.y;
            if (haveLast && s->to == last && fitsByte(dx0) && fitsByte(dy0)) {
                w.record(kRecordCommonEndpoint, dx0);
                w.byte(dy0);
            } else if (haveLast && fitsByte(dx0) && fitsByte(dy0) && fitsByte(dx1) && fitsByte(dy1)) {
                w.record(kRecordOffsetVector, dx0);
                w.byte(dy0);
                w.byte(dx1);
                w.byte(dy1);
            } else {
                w.word(s->from.x);
                w.word(s->from.y);
                w.word(s->to.x);
                w.word(s->to.y);
            }
            last = s->from;
            haveLast = true;
        } else {
            const auto& f = std::get<SlideFill>(prim);
            if (f.vertices.size() < 3 || f.vertices.size() > kMaxFillVertices)
                return R::failure("a solid fill needs 3 to 10 vertices");
            if (f.colour < 0 || f.colour > 255)
                return R::failure("colour out of range");
            for (const SlidePoint& p : f.vertices)
                if (!inside(p))
                    return R::failure("fill vertex outside the screen");
            setColour(f.colour);
            w.record(kRecordFill, 0);
            w.word(static_cast<int>(f.vertices.size()));
            w.word(-1);
            for (const SlidePoint& p : f.vertices) {
                w.record(kRecordFill, 0);
                w.word(p.x);
                w.word(p.y);
            }
            w.record(kRecordFill, 0);
            w.word(0);
            w.word(-1);
        }
    }
    w.record(kRecordEnd, 0);
    return R::success(std::move(w.bytes));
}

} // namespace ctrlsch::slide
