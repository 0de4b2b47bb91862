// Slide files (.SLD): a screen image kept as a list of vectors and solid
// fills in dot coordinates, origin at the lower-left corner.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <variant>
#include <vector>

namespace ctrlsch::slide {

// A value or the reason there is none.
template <class T>
class SlideResult {
public:
    static SlideResult success(T value) { SlideResult r; r.m_value = std::move(value); return r; }
    static SlideResult failure(std::string message) { SlideResult r; r.m_error = std::move(message); return r; }
    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    const std::string& error() const { return m_error; }

private:
    std::optional<T> m_value;
    std::string m_error;
};

struct SlidePoint {
    int x = 0;
    int y = 0;
    bool operator==(const SlidePoint&) const = default;
};

struct SlideSegment {
    SlidePoint from;
    SlidePoint to;
    int colour = 7;
    bool operator==(const SlideSegment&) const = default;
};

struct SlideFill {
    std::vector<SlidePoint> vertices;
    int colour = 7;
    bool operator==(const SlideFill&) const = default;
};

using SlidePrimitive = std::variant<SlideSegment, SlideFill>;

struct Slide {
    int highX = 0;             // width in dots - 1
    int highY = 0;             // height in dots - 1
    double aspectRatio = 1.0;  // screen width / height
    int hardwareFill = 0;      // 0 or 2
    int level = 2;             // 1 or 2
    bool bigEndian = false;    // order of the 2-byte fields
    std::vector<SlidePrimitive> primitives;
};

constexpr std::size_t kSlideHeaderSizeLevel2 = 31;
constexpr std::size_t kSlideHeaderSizeLevel1 = 34;
constexpr std::size_t kMaxFillVertices = 10;

// Parses a whole slide file. Never reads outside `data`.
SlideResult<Slide> parseSlide(std::span<const std::uint8_t> data);

// Encodes a slide (level 2, little-endian; the level and byte order of
// `slide` are ignored). Segments become offset or common-endpoint vectors
// where the coordinates allow, full vectors otherwise; a colour record is
// written whenever the colour changes. Fails on coordinates outside
// 0..highX / 0..highY, a colour outside 0..255 or a fill with fewer than
// 3 or more than 10 vertices.
SlideResult<std::vector<std::uint8_t>> encodeSlide(const Slide& slide);

} // namespace ctrlsch::slide
