// Hand-built slide bytes for the slide tests.
#pragma once

#include <cstdint>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "components/slide/SlideFile.h"

namespace slidetest {

using Bytes = std::vector<std::uint8_t>;

// Builds a level-2 slide in either byte order, record by record.
class SlideBytes {
public:
    explicit SlideBytes(bool bigEndian = false, int highX = 299, int highY = 199, std::uint32_t aspect = 15025125)
        : m_big(bigEndian)
    {
        const char sig[] = "AutoCAD Slide\r\n\x1a";
        b.assign(sig, sig + 17); // with the NUL
        b.push_back(0x56);
        b.push_back(2);
        word(highX);
        word(highY);
        for (int i = 0; i < 4; ++i)
            b.push_back(static_cast<std::uint8_t>(aspect >> (8 * i)));
        word(0);
        word(0x1234);
    }
    void word(int w)
    {
        const auto lo = static_cast<std::uint8_t>(w & 0xFF), hi = static_cast<std::uint8_t>((w >> 8) & 0xFF);
        if (m_big) {
            b.push_back(hi);
            b.push_back(lo);
        } else {
            b.push_back(lo);
            b.push_back(hi);
        }
    }
    SlideBytes& colour(int c) { word(0xFF00 | c); return *this; }
    SlideBytes& vector(int x0, int y0, int x1, int y1)
    {
        word(x0); word(y0); word(x1); word(y1);
        return *this;
    }
    SlideBytes& offsetVector(int dx0, int dy0, int dx1, int dy1)
    {
        word(0xFB00 | (dx0 & 0xFF));
        b.push_back(static_cast<std::uint8_t>(dy0));
        b.push_back(static_cast<std::uint8_t>(dx1));
        b.push_back(static_cast<std::uint8_t>(dy1));
        return *this;
    }
    SlideBytes& commonEndpoint(int dx, int dy)
    {
        word(0xFE00 | (dx & 0xFF));
        b.push_back(static_cast<std::uint8_t>(dy));
        return *this;
    }
    SlideBytes& fillRecord(int x, int y)
    {
        word(0xFD00); word(x); word(y);
        return *this;
    }
    SlideBytes& record(int type, int low = 0) { word((type << 8) | low); return *this; }
    SlideBytes& end() { return record(0xFC); }

    Bytes b;

private:
    bool m_big;
};

// The vector and polygon lines of `sldtoppm -verbose`, without their prefix.
inline std::vector<std::string> sldtoppmListing(const std::string& out)
{
    std::vector<std::string> lines;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        for (const char* key : {"Vector ", "Polygon: ", "Point "}) {
            const auto at = line.find(key);
            if (at != std::string::npos)
                lines.push_back(line.substr(at));
        }
    return lines;
}

// The same listing made from our reader's primitives.
inline std::vector<std::string> listingOf(const ctrlsch::slide::Slide& slide)
{
    using namespace ctrlsch::slide;
    std::vector<std::string> lines;
    for (const auto& p : slide.primitives) {
        std::ostringstream o;
        if (const auto* seg = std::get_if<SlideSegment>(&p)) {
            o << "Vector (" << seg->from.x << ", " << seg->from.y << ") - (" << seg->to.x << ", " << seg->to.y
              << ")  Color " << seg->colour;
            lines.push_back(o.str());
        } else {
            const auto& f = std::get<SlideFill>(p);
            o << "Polygon: " << f.vertices.size() << " points, fill type 1, color " << f.colour;
            lines.push_back(o.str());
            for (std::size_t i = 0; i < f.vertices.size(); ++i)
                lines.push_back("Point " + std::to_string(i + 1) + ":  (" + std::to_string(f.vertices[i].x) + ", " +
                                std::to_string(f.vertices[i].y) + ")");
        }
    }
    return lines;
}

} // namespace slidetest
