// Geometry value types of the host: points, vectors, 4x4 matrices, lines,
// tolerances and axis-aligned extents. Only the members the module and the
// host use are provided; all types are plain values.
#pragma once

#include <cmath>

class AcGeTol {
public:
    AcGeTol() = default;
    double equalPoint() const { return m_equalPoint; }
    double equalVector() const { return m_equalVector; }
    void setEqualPoint(double v) { m_equalPoint = v; }
    void setEqualVector(double v) { m_equalVector = v; }

private:
    double m_equalPoint = 1.0e-10;
    double m_equalVector = 1.0e-12;
};

// The global tolerance, used where a caller passes none. One per thread:
// code that widens it for a while (and puts it back) may run on several
// drawings at once.
struct AcGeContext {
    static thread_local AcGeTol gTol;
};

class AcGeVector3d;
class AcGeMatrix3d;

class AcGePoint2d {
public:
    AcGePoint2d() = default;
    AcGePoint2d(double xx, double yy) : x(xx), y(yy) {}
    bool operator==(const AcGePoint2d& o) const { return x == o.x && y == o.y; }
    double x = 0.0, y = 0.0;
};

class AcGeVector3d {
public:
    AcGeVector3d() = default;
    AcGeVector3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
    static const AcGeVector3d kIdentity;
    static const AcGeVector3d kXAxis, kYAxis, kZAxis;

    double length() const { return std::sqrt(x * x + y * y + z * z); }
    AcGeVector3d normal() const;
    AcGeVector3d& normalize();
    double dotProduct(const AcGeVector3d& v) const { return x * v.x + y * v.y + z * v.z; }
    AcGeVector3d crossProduct(const AcGeVector3d& v) const;
    bool isZeroLength(const AcGeTol& tol = AcGeContext::gTol) const { return length() <= tol.equalVector(); }
    bool isEqualTo(const AcGeVector3d& v, const AcGeTol& tol = AcGeContext::gTol) const;
    AcGeVector3d& transformBy(const AcGeMatrix3d& m);

    AcGeVector3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
    AcGeVector3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
    AcGeVector3d operator-() const { return {-x, -y, -z}; }
    AcGeVector3d operator*(double s) const { return {x * s, y * s, z * s}; }
    bool operator==(const AcGeVector3d& v) const { return x == v.x && y == v.y && z == v.z; }

    double x = 0.0, y = 0.0, z = 0.0;
};

class AcGePoint3d {
public:
    AcGePoint3d() = default;
    AcGePoint3d(double xx, double yy, double zz) : x(xx), y(yy), z(zz) {}
    static const AcGePoint3d kOrigin;

    double distanceTo(const AcGePoint3d& p) const { return (*this - p).length(); }
    bool isEqualTo(const AcGePoint3d& p, const AcGeTol& tol = AcGeContext::gTol) const
    {
        return distanceTo(p) <= tol.equalPoint();
    }
    AcGePoint3d& transformBy(const AcGeMatrix3d& m);
    AcGeVector3d asVector() const { return {x, y, z}; }

    AcGePoint3d operator+(const AcGeVector3d& v) const { return {x + v.x, y + v.y, z + v.z}; }
    AcGePoint3d operator-(const AcGeVector3d& v) const { return {x - v.x, y - v.y, z - v.z}; }
    AcGeVector3d operator-(const AcGePoint3d& p) const { return {x - p.x, y - p.y, z - p.z}; }
    AcGePoint3d& operator+=(const AcGeVector3d& v) { x += v.x; y += v.y; z += v.z; return *this; }
    bool operator==(const AcGePoint3d& p) const { return x == p.x && y == p.y && z == p.z; }
    bool operator!=(const AcGePoint3d& p) const { return !(*this == p); }
    double& operator[](int i) { return i == 0 ? x : i == 1 ? y : z; }
    double operator[](int i) const { return i == 0 ? x : i == 1 ? y : z; }

    double x = 0.0, y = 0.0, z = 0.0;
};

// Row-major 4x4 affine matrix; entry(i, 3) is the translation.
class AcGeMatrix3d {
public:
    AcGeMatrix3d();
    static const AcGeMatrix3d kIdentity;

    static AcGeMatrix3d translation(const AcGeVector3d& v);
    static AcGeMatrix3d rotation(double angle, const AcGeVector3d& axis,
                                 const AcGePoint3d& center = AcGePoint3d::kOrigin);
    static AcGeMatrix3d scaling(double s, const AcGePoint3d& center = AcGePoint3d::kOrigin);
    static AcGeMatrix3d scaling(double sx, double sy, double sz,
                                const AcGePoint3d& center = AcGePoint3d::kOrigin);
    // Reflection in the line through p1 and p2 (in the XY plane).
    static AcGeMatrix3d mirroring(const AcGePoint3d& p1, const AcGePoint3d& p2);

    AcGeMatrix3d& setToTranslation(const AcGeVector3d& v) { return *this = translation(v); }
    AcGeMatrix3d& setToRotation(double a, const AcGeVector3d& axis,
                                const AcGePoint3d& c = AcGePoint3d::kOrigin)
    {
        return *this = rotation(a, axis, c);
    }
    AcGeMatrix3d& setToScaling(double s, const AcGePoint3d& c = AcGePoint3d::kOrigin)
    {
        return *this = scaling(s, c);
    }

    AcGeMatrix3d operator*(const AcGeMatrix3d& m) const;
    AcGeMatrix3d& preMultBy(const AcGeMatrix3d& m) { return *this = m * *this; }
    AcGeMatrix3d& postMultBy(const AcGeMatrix3d& m) { return *this = *this * m; }
    AcGeMatrix3d inverse() const;
    double det() const;
    // Uniform scale of the XY part (sqrt of |det| of the 2x2 block).
    double scale() const;
    bool isIdentity() const;

    double operator()(int r, int c) const { return entry[r][c]; }
    double& operator()(int r, int c) { return entry[r][c]; }

    double entry[4][4];
};

// An infinite line through a point with a direction.
class AcGeLine3d {
public:
    AcGeLine3d() = default;
    AcGeLine3d(const AcGePoint3d& p1, const AcGePoint3d& p2) { set(p1, p2); }
    AcGeLine3d& set(const AcGePoint3d& p1, const AcGePoint3d& p2)
    {
        m_point = p1;
        m_dir = p2 - p1;
        return *this;
    }
    AcGePoint3d pointOnLine() const { return m_point; }
    AcGeVector3d direction() const { return m_dir.normal(); }
    // Distance of p from the line.
    double distanceTo(const AcGePoint3d& p) const;
    bool isOn(const AcGePoint3d& p, const AcGeTol& tol = AcGeContext::gTol) const
    {
        return distanceTo(p) <= tol.equalPoint();
    }
    AcGePoint3d closestPointTo(const AcGePoint3d& p) const;
    // Intersection of two lines in the XY plane; false when parallel.
    bool intersectWith(const AcGeLine3d& other, AcGePoint3d& result,
                       const AcGeTol& tol = AcGeContext::gTol) const;

private:
    AcGePoint3d m_point;
    AcGeVector3d m_dir{1, 0, 0};
};

// Axis-aligned box; empty until the first point is added.
class AcDbExtents {
public:
    AcDbExtents() = default;
    AcDbExtents(const AcGePoint3d& mn, const AcGePoint3d& mx) : m_min(mn), m_max(mx), m_valid(true) {}
    const AcGePoint3d& minPoint() const { return m_min; }
    const AcGePoint3d& maxPoint() const { return m_max; }
    bool isValid() const { return m_valid; }
    void set(const AcGePoint3d& mn, const AcGePoint3d& mx) { m_min = mn; m_max = mx; m_valid = true; }
    void addPoint(const AcGePoint3d& p);
    void addExt(const AcDbExtents& e);
    // The box of the eight corners after transformation.
    void transformBy(const AcGeMatrix3d& m);
    bool contains(const AcGePoint3d& p, double tol = 0.0) const;

private:
    AcGePoint3d m_min, m_max;
    bool m_valid = false;
};

inline constexpr double kPi = 3.14159265358979323846;

// The arc a bulged polyline segment draws from p to q. The bulge is
// tan(sweep / 4): positive bulges turn counter-clockwise, and the centre
// lies left of the chord while the sweep is under a half circle.
struct AcGeBulgeArc {
    AcGePoint2d center;
    double radius = 0.0;
    double startAngle = 0.0; // of p, seen from the centre
    double endAngle = 0.0;   // of q
    double sweep = 0.0;      // signed, 4 atan(bulge)

    // The arc's angles counter-clockwise whichever way it runs: from p to
    // q for a positive bulge, from q to p for a negative one.
    double ccwStartAngle() const { return sweep < 0 ? endAngle : startAngle; }
    double ccwEndAngle() const { return sweep < 0 ? startAngle : endAngle; }
};
// The arc of the segment from p to q with a bulge; false (arc left as it
// is) when the segment is straight: a zero or non-finite bulge, or p
// equal to q.
bool acgeBulgeArc(const AcGePoint2d& p, const AcGePoint2d& q, double bulge, AcGeBulgeArc& arc);

// The object coordinate system of an extrusion direction (DXF's arbitrary
// axis algorithm) as a matrix from object to world coordinates; identity
// for the Z axis and for a zero vector.
AcGeMatrix3d acgeOcsMatrix(const AcGeVector3d& normal);
