#include "host/acge.h"

#include <algorithm>

thread_local AcGeTol AcGeContext::gTol;

const AcGeVector3d AcGeVector3d::kIdentity{0, 0, 0};
const AcGeVector3d AcGeVector3d::kXAxis{1, 0, 0};
const AcGeVector3d AcGeVector3d::kYAxis{0, 1, 0};
const AcGeVector3d AcGeVector3d::kZAxis{0, 0, 1};
const AcGePoint3d AcGePoint3d::kOrigin{0, 0, 0};
const AcGeMatrix3d AcGeMatrix3d::kIdentity;

AcGeVector3d AcGeVector3d::normal() const
{
    AcGeVector3d v = *this;
    return v.normalize();
}

AcGeVector3d& AcGeVector3d::normalize()
{
    double len = length();
    if (len > 0.0) {
        x /= len;
        y /= len;
        z /= len;
    }
    return *this;
}

AcGeVector3d AcGeVector3d::crossProduct(const AcGeVector3d& v) const
{
    return {y * v.z - z * v.y, z * v.x - x * v.z, x * v.y - y * v.x};
}

bool AcGeVector3d::isEqualTo(const AcGeVector3d& v, const AcGeTol& tol) const
{
    return (*this - v).length() <= tol.equalVector();
}

AcGeVector3d& AcGeVector3d::transformBy(const AcGeMatrix3d& m)
{
    const double nx = m(0, 0) * x + m(0, 1) * y + m(0, 2) * z;
    const double ny = m(1, 0) * x + m(1, 1) * y + m(1, 2) * z;
    const double nz = m(2, 0) * x + m(2, 1) * y + m(2, 2) * z;
    x = nx;
    y = ny;
    z = nz;
    return *this;
}

AcGePoint3d& AcGePoint3d::transformBy(const AcGeMatrix3d& m)
{
    const double nx = m(0, 0) * x + m(0, 1) * y + m(0, 2) * z + m(0, 3);
    const double ny = m(1, 0) * x + m(1, 1) * y + m(1, 2) * z + m(1, 3);
    const double nz = m(2, 0) * x + m(2, 1) * y + m(2, 2) * z + m(2, 3);
    x = nx;
    y = ny;
    z = nz;
    return *this;
}

AcGeMatrix3d::AcGeMatrix3d()
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            entry[r][c] = r == c ? 1.0 : 0.0;
}

AcGeMatrix3d AcGeMatrix3d::translation(const AcGeVector3d& v)
{
    AcGeMatrix3d m;
    m(0, 3) = v.x;
    m(1, 3) = v.y;
    m(2, 3) = v.z;
    return m;
}

AcGeMatrix3d AcGeMatrix3d::rotation(double angle, const AcGeVector3d& axisIn, const AcGePoint3d& c)
{
    AcGeVector3d a = axisIn.normal();
    const double cs = std::cos(angle), sn = std::sin(angle), t = 1.0 - cs;
    AcGeMatrix3d r;
    r(0, 0) = t * a.x * a.x + cs;
    r(0, 1) = t * a.x * a.y - sn * a.z;
    r(0, 2) = t * a.x * a.z + sn * a.y;
    r(1, 0) = t * a.x * a.y + sn * a.z;
    r(1, 1) = t * a.y * a.y + cs;
    r(1, 2) = t * a.y * a.z - sn * a.x;
    r(2, 0) = t * a.x * a.z - sn * a.y;
    r(2, 1) = t * a.y * a.z + sn * a.x;
    r(2, 2) = t * a.z * a.z + cs;
    return translation(c.asVector()) * r * translation(-c.asVector());
}

AcGeMatrix3d AcGeMatrix3d::scaling(double s, const AcGePoint3d& c)
{
    return scaling(s, s, s, c);
}

AcGeMatrix3d AcGeMatrix3d::scaling(double sx, double sy, double sz, const AcGePoint3d& c)
{
    AcGeMatrix3d m;
    m(0, 0) = sx;
    m(1, 1) = sy;
    m(2, 2) = sz;
    m(0, 3) = c.x * (1 - sx);
    m(1, 3) = c.y * (1 - sy);
    m(2, 3) = c.z * (1 - sz);
    return m;
}

AcGeMatrix3d AcGeMatrix3d::mirroring(const AcGePoint3d& p1, const AcGePoint3d& p2)
{
    AcGeVector3d d = p2 - p1;
    d.z = 0;
    d.normalize();
    // Householder reflection across the line direction d: R = 2 d d^T - I.
    AcGeMatrix3d r;
    r(0, 0) = 2 * d.x * d.x - 1;
    r(0, 1) = 2 * d.x * d.y;
    r(1, 0) = 2 * d.x * d.y;
    r(1, 1) = 2 * d.y * d.y - 1;
    r(2, 2) = 1;
    return translation(p1.asVector()) * r * translation(-p1.asVector());
}

AcGeMatrix3d AcGeMatrix3d::operator*(const AcGeMatrix3d& m) const
{
    AcGeMatrix3d out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += entry[r][k] * m.entry[k][c];
            out.entry[r][c] = s;
        }
    return out;
}

double AcGeMatrix3d::det() const
{
    const auto& e = entry;
    return e[0][0] * (e[1][1] * e[2][2] - e[1][2] * e[2][1])
         - e[0][1] * (e[1][0] * e[2][2] - e[1][2] * e[2][0])
         + e[0][2] * (e[1][0] * e[2][1] - e[1][1] * e[2][0]);
}

AcGeMatrix3d AcGeMatrix3d::inverse() const
{
    // Affine inverse: invert the 3x3 block, then the translation.
    const auto& e = entry;
    const double d = det();
    AcGeMatrix3d inv;
    if (d == 0.0)
        return inv;
    inv(0, 0) = (e[1][1] * e[2][2] - e[1][2] * e[2][1]) / d;
    inv(0, 1) = (e[0][2] * e[2][1] - e[0][1] * e[2][2]) / d;
    inv(0, 2) = (e[0][1] * e[1][2] - e[0][2] * e[1][1]) / d;
    inv(1, 0) = (e[1][2] * e[2][0] - e[1][0] * e[2][2]) / d;
    inv(1, 1) = (e[0][0] * e[2][2] - e[0][2] * e[2][0]) / d;
    inv(1, 2) = (e[0][2] * e[1][0] - e[0][0] * e[1][2]) / d;
    inv(2, 0) = (e[1][0] * e[2][1] - e[1][1] * e[2][0]) / d;
    inv(2, 1) = (e[0][1] * e[2][0] - e[0][0] * e[2][1]) / d;
    inv(2, 2) = (e[0][0] * e[1][1] - e[0][1] * e[1][0]) / d;
    for (int r = 0; r < 3; ++r)
        inv(r, 3) = -(inv(r, 0) * e[0][3] + inv(r, 1) * e[1][3] + inv(r, 2) * e[2][3]);
    return inv;
}

double AcGeMatrix3d::scale() const
{
    return std::sqrt(std::fabs(entry[0][0] * entry[1][1] - entry[0][1] * entry[1][0]));
}

bool AcGeMatrix3d::isIdentity() const
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (entry[r][c] != (r == c ? 1.0 : 0.0))
                return false;
    return true;
}

double AcGeLine3d::distanceTo(const AcGePoint3d& p) const
{
    return p.distanceTo(closestPointTo(p));
}

AcGePoint3d AcGeLine3d::closestPointTo(const AcGePoint3d& p) const
{
    const double len2 = m_dir.dotProduct(m_dir);
    if (len2 == 0.0)
        return m_point;
    const double t = (p - m_point).dotProduct(m_dir) / len2;
    return m_point + m_dir * t;
}

bool AcGeLine3d::intersectWith(const AcGeLine3d& o, AcGePoint3d& result, const AcGeTol& tol) const
{
    const double den = m_dir.x * o.m_dir.y - m_dir.y * o.m_dir.x;
    if (std::fabs(den) <= tol.equalVector() * m_dir.length() * o.m_dir.length())
        return false;
    const AcGeVector3d w = o.m_point - m_point;
    const double t = (w.x * o.m_dir.y - w.y * o.m_dir.x) / den;
    result = m_point + m_dir * t;
    return true;
}

void AcDbExtents::addPoint(const AcGePoint3d& p)
{
    if (!m_valid) {
        m_min = m_max = p;
        m_valid = true;
        return;
    }
    m_min.x = std::min(m_min.x, p.x);
    m_min.y = std::min(m_min.y, p.y);
    m_min.z = std::min(m_min.z, p.z);
    m_max.x = std::max(m_max.x, p.x);
    m_max.y = std::max(m_max.y, p.y);
    m_max.z = std::max(m_max.z, p.z);
}

void AcDbExtents::addExt(const AcDbExtents& e)
{
    if (!e.m_valid)
        return;
    addPoint(e.m_min);
    addPoint(e.m_max);
}

void AcDbExtents::transformBy(const AcGeMatrix3d& m)
{
    if (!m_valid)
        return;
    AcDbExtents out;
    for (int i = 0; i < 8; ++i) {
        AcGePoint3d p((i & 1) ? m_max.x : m_min.x, (i & 2) ? m_max.y : m_min.y, (i & 4) ? m_max.z : m_min.z);
        out.addPoint(p.transformBy(m));
    }
    *this = out;
}

bool AcDbExtents::contains(const AcGePoint3d& p, double tol) const
{
    return m_valid && p.x >= m_min.x - tol && p.x <= m_max.x + tol && p.y >= m_min.y - tol
        && p.y <= m_max.y + tol;
}

AcGeMatrix3d acgeOcsMatrix(const AcGeVector3d& normal)
{
    AcGeMatrix3d m;
    if ((normal.x == 0.0 && normal.y == 0.0 && normal.z > 0.0) || normal.isZeroLength())
        return m;
    const AcGeVector3d n = normal.normal();
    AcGeVector3d ax;
    if (std::fabs(n.x) < 1.0 / 64 && std::fabs(n.y) < 1.0 / 64)
        ax = AcGeVector3d::kYAxis.crossProduct(n).normal();
    else
        ax = AcGeVector3d::kZAxis.crossProduct(n).normal();
    const AcGeVector3d ay = n.crossProduct(ax).normal();
    const AcGeVector3d cols[3] = {ax, ay, n};
    for (int c = 0; c < 3; ++c) {
        m(0, c) = cols[c].x;
        m(1, c) = cols[c].y;
        m(2, c) = cols[c].z;
    }
    return m;
}

bool acgeBulgeArc(const AcGePoint2d& p, const AcGePoint2d& q, double bulge, AcGeBulgeArc& arc)
{
    if (bulge == 0.0 || !std::isfinite(bulge) || p == q)
        return false;
    const double dx = q.x - p.x, dy = q.y - p.y;
    const double chord = std::hypot(dx, dy);
    // The centre's offset from the chord's middle, in half chords along its
    // left normal.
    const double k = (1 - bulge * bulge) / (2 * bulge);
    arc.center = AcGePoint2d((p.x + q.x) / 2 - dy / 2 * k, (p.y + q.y) / 2 + dx / 2 * k);
    arc.radius = chord / 2 * (1 + bulge * bulge) / (2 * std::fabs(bulge));
    arc.startAngle = std::atan2(p.y - arc.center.y, p.x - arc.center.x);
    arc.endAngle = std::atan2(q.y - arc.center.y, q.x - arc.center.x);
    arc.sweep = 4 * std::atan(bulge);
    return true;
}
