// A small drawing vocabulary for the installation's symbols: lines, arcs,
// circles, rectangles, filled triangles and stroked letters, collected and
// then written into a drawing's model space or a block.
#pragma once

#include <string>
#include <vector>

class AcDbBlockTableRecord;

namespace ctrlsch::install {

class Sketch {
public:
    Sketch& line(double x1, double y1, double x2, double y2);
    Sketch& polyline(std::vector<std::pair<double, double>> points, bool closed = false);
    Sketch& rect(double x1, double y1, double x2, double y2) { return polyline({{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}}, true); }
    Sketch& circle(double cx, double cy, double r);
    // Angles in degrees, counter-clockwise from start to end.
    Sketch& arc(double cx, double cy, double r, double startDeg, double endDeg);
    Sketch& fill(double x1, double y1, double x2, double y2, double x3, double y3);
    Sketch& fillRect(double x1, double y1, double x2, double y2);
    // Capital letters, digits, '.', '-' and '~' as strokes (anything else
    // leaves a blank), h high, the text centred on (cx, cy).
    Sketch& letters(const std::string& text, double cx, double cy, double h);
    // A light grey area (colour 9, not by block) under what is drawn after
    // it: the symbol then covers that area for crossing selections.
    Sketch& shade(double x1, double y1, double x2, double y2);
    // The strokes (lines, polylines, circles, arcs, letters) drawn with a
    // pen this wide: they are written as polylines of that constant width,
    // so they keep their weight beside the wires whatever shows them. 0,
    // the default, draws hairlines (lines, circles and arcs as they are).
    Sketch& pen(double width);
    // Everything drawn so far scaled about the origin (angles kept), the
    // pen with it.
    Sketch& scale(double factor);
    // Everything drawn, appended to a block (or model space), on layer "0"
    // with colour by block (shades excepted).
    void addTo(AcDbBlockTableRecord* space) const;

private:
    struct Item {
        enum Kind { Line, Poly, Circle, Arc, Fill, Shade } kind;
        std::vector<double> v;
        bool closed = false;
    };
    std::vector<Item> m_items;
    double m_pen = 0.0;
};

} // namespace ctrlsch::install
