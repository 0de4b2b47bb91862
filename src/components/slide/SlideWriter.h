// Making slides from drawing geometry: everything added is fitted into the
// slide's screen, keeping its proportions, and encoded as a level-2
// little-endian slide.
#pragma once

#include "components/slide/SlideFile.h"

#include "host/acge.h"

#include <filesystem>

class AcDbDatabase;

namespace ctrlsch::slide {

class SlideWriter {
public:
    // Screen size in dots (300 x 200 makes a slide with high dots 299, 199).
    SlideWriter(int widthDots = 300, int heightDots = 200);

    void addSegment(const AcGePoint2d& a, const AcGePoint2d& b, int colour);
    // A filled polygon (convex); more than 10 vertices are split into fans.
    void addFill(std::vector<AcGePoint2d> vertices, int colour);
    // A filled region of any shape: closed contours, inside by the non-zero
    // winding rule (holes wound against their outer contour). Once the
    // slide's scale is known it becomes one vector per dot row and per dot
    // column across each run of its inside (a stroke thinner than a dot
    // keeps one dot), so that glyphs read as solid at the slide's own size.
    void addRegion(std::vector<std::vector<AcGePoint2d>> contours, int colour);
    bool empty() const { return m_items.empty(); }

    // The fitted slide in dots.
    Slide slide() const;
    SlideResult<std::vector<std::uint8_t>> bytes() const;
    SlideResult<bool> writeFile(const std::filesystem::path& path) const;

private:
    struct Item {
        std::vector<AcGePoint2d> points; // 2 for a segment, 3+ for a fill
        bool fill = false;
        int colour = 7;
        std::vector<std::vector<AcGePoint2d>> contours; // a region's
    };
    int m_width;
    int m_height;
    std::vector<Item> m_items;
};

// Adds the model space of `db` to `writer`: lines, light polylines (bulges
// flattened), circles and arcs (flattened), solids as fills, texts as the
// glyphs of the font (filled regions; the outline of their box when there
// is no font), and block references expanded through their block
// transform. Colour by layer draws in 7, by block in the reference's colour.
void addDatabaseToSlide(const AcDbDatabase& db, SlideWriter& writer);

// The model space of `db` as slide bytes.
SlideResult<std::vector<std::uint8_t>> slideFromDatabase(const AcDbDatabase& db, int widthDots = 300,
                                                         int heightDots = 200);

} // namespace ctrlsch::slide
