// What a drawing's model space shows, as device-neutral primitives in world
// coordinates (drawing units, Y up): paths with a width, filled outlines,
// dots and texts. The walk resolves blocks, layers and colours once; the
// SVG and the cairo writers only turn primitives into their own language.
#pragma once

#include "host/dbmain.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace render {

struct Vec2 {
    double x = 0.0, y = 0.0;
};

// x' = a x + c y + e, y' = b x + d y + f: the order of SVG's matrix() and
// of cairo's matrix.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;
    Vec2 apply(double x, double y) const { return {a * x + c * y + e, b * x + d * y + f}; }
    Vec2 linear(double x, double y) const { return {a * x + c * y, b * x + d * y}; }
    double det() const { return a * d - b * c; }
};

// One step of a path. Arcs are circular in an entity's own plane, which
// `plane` maps into the world (so they may be elliptical there).
struct PathStep {
    enum Kind { Move, Line, Arc };
    Kind kind = Move;
    // Where the step ends, in the world.
    Vec2 to;
    Affine plane;
    // Arcs: centre, radius, start angle and signed sweep (radians) in the
    // plane.
    double cx = 0.0, cy = 0.0, r = 0.0, start = 0.0, sweep = 0.0;
};

struct Stroke {
    // What the entity was, for writers that have an element of their own
    // for it: a Line is Move + Line, a Circle one Move + a whole turn.
    enum class Shape { Line, Circle, Path };
    Shape shape = Shape::Path;
    std::vector<PathStep> steps;
    bool closed = false;
    // In drawing units; 0 is a hairline, whose width the output decides.
    double width = 0.0;
    std::uint32_t rgb = 0;
};

// A filled outline, edged with a hairline so adjacent pieces meet.
struct Fill {
    std::vector<Vec2> corners;
    std::uint32_t rgb = 0;
};

// A point entity: a dot whose size the output decides.
struct Dot {
    Vec2 at;
    std::uint32_t rgb = 0;
};

// Characters set at one size: CJK ones fill a square of the text height,
// others have capitals of the text height.
struct TextRun {
    std::wstring text;
    bool cjk = false;
    // Font size in drawing units.
    double size = 0.0;
    // Where the run starts along the baseline, in units of the text's
    // `along`: the font's advance of the runs before it.
    double offset = 0.0;
};

struct Text {
    // Start of the baseline.
    Vec2 origin;
    // The world image of one unit along the baseline (with the horizontal
    // scale that gives the text its width) and of one unit up.
    Vec2 along, up;
    // Width the text spans along the baseline, in units of `along`.
    double width = 0.0;
    std::vector<TextRun> runs;
    std::uint32_t rgb = 0;
};

// Receives the primitives in drawing order.
class SceneSink {
public:
    virtual ~SceneSink() = default;
    virtual void stroke(const Stroke& s) = 0;
    virtual void fill(const Fill& f) = 0;
    virtual void dot(const Dot& d) = 0;
    virtual void text(const Text& t) = 0;
    // Around what each live model-space entity shows (nothing for one on a
    // layer that is off), for writers that keep entities apart.
    virtual void entityBegins(std::uint64_t /*handle*/) {}
    virtual void entityEnds() {}
};

struct Extents {
    double x0 = 0.0, y0 = 0.0, x1 = 0.0, y1 = 0.0;
    bool valid = false;
};

// The background the colours are chosen for: white, or near black.
std::uint32_t backgroundRgb(bool dark);

// The drawing's model space, walked for its extents and its primitives
// (erased entities and entities on layers that are off or frozen skipped;
// block references drawn through their block's entities).
class Scene {
public:
    // Which entities of model space take part (all without one).
    using Filter = std::function<bool(const AcDbObjectId&)>;

    Scene(const AcDbDatabase& db, bool darkBackground, Filter topLevel = {});
    ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // What is drawn at the top level; references whose blocks multiply
    // beyond what is drawn are left out.
    Extents extents();
    // What one model-space entity adds to extents() (invalid: nothing).
    Extents entityExtents(const AcDbObjectId& id);
    void draw(SceneSink& sink);
    // Draws them carried by a matrix (a dragged selection).
    void draw(SceneSink& sink, const AcGeMatrix3d& moved);
    // One entity of the model space, as draw() shows it within the whole;
    // nothing (no entityBegins either) when it is erased, its addition
    // undone or it is no model-space entity. Returns whether it is live.
    bool drawEntity(const AcDbObjectId& id, SceneSink& sink);

private:
    class Walker;
    std::unique_ptr<Walker> m_walker;
};

} // namespace render
