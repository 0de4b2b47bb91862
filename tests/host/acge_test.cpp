// Geometry value types: transforms, lines, extents.
#include "host/acge.h"

#include <gtest/gtest.h>

#include <cmath>
#include <thread>

namespace {

void expectPoint(const AcGePoint3d& p, double x, double y, double z = 0.0)
{
    EXPECT_NEAR(p.x, x, 1e-9);
    EXPECT_NEAR(p.y, y, 1e-9);
    EXPECT_NEAR(p.z, z, 1e-9);
}

TEST(AcGeMatrix3dTest, RotationAboutACentreKeepsTheCentre)
{
    const AcGePoint3d c(5, 5, 0);
    const AcGeMatrix3d m = AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis, c);
    expectPoint(AcGePoint3d(c).transformBy(m), 5, 5);
    expectPoint(AcGePoint3d(10, 5, 0).transformBy(m), 5, 10);
}

TEST(AcGeMatrix3dTest, MirroringReflectsAcrossTheLineAndHasNegativeDeterminant)
{
    const AcGeMatrix3d m = AcGeMatrix3d::mirroring(AcGePoint3d(0, 0, 0), AcGePoint3d(0, 10, 0));
    expectPoint(AcGePoint3d(3, 4, 0).transformBy(m), -3, 4);
    EXPECT_LT(m.det(), 0);
    const AcGeMatrix3d d = AcGeMatrix3d::mirroring(AcGePoint3d(1, 1, 0), AcGePoint3d(2, 2, 0));
    expectPoint(AcGePoint3d(3, 0, 0).transformBy(d), 0, 3);
}

TEST(AcGeMatrix3dTest, InverseUndoesAnAffineTransform)
{
    const AcGeMatrix3d m = AcGeMatrix3d::translation(AcGeVector3d(3, -2, 1))
                         * AcGeMatrix3d::rotation(0.7, AcGeVector3d::kZAxis) * AcGeMatrix3d::scaling(2.5);
    const AcGePoint3d p(1.5, -7, 2);
    AcGePoint3d q = p;
    q.transformBy(m).transformBy(m.inverse());
    expectPoint(q, p.x, p.y, p.z);
    EXPECT_NEAR(m.scale(), 2.5, 1e-12);
}

TEST(AcGeLine3dTest, DistanceIsOnAndIntersection)
{
    const AcGeLine3d l(AcGePoint3d(0, 0, 0), AcGePoint3d(10, 0, 0));
    EXPECT_NEAR(l.distanceTo(AcGePoint3d(5, 3, 0)), 3.0, 1e-12);
    EXPECT_TRUE(l.isOn(AcGePoint3d(-20, 0, 0)));
    AcGeTol tol;
    tol.setEqualPoint(0.1);
    EXPECT_TRUE(l.isOn(AcGePoint3d(3, 0.09, 0), tol));
    EXPECT_FALSE(l.isOn(AcGePoint3d(3, 0.11, 0), tol));
    AcGePoint3d x;
    ASSERT_TRUE(l.intersectWith(AcGeLine3d(AcGePoint3d(4, -1, 0), AcGePoint3d(4, 1, 0)), x));
    expectPoint(x, 4, 0);
    EXPECT_FALSE(l.intersectWith(AcGeLine3d(AcGePoint3d(0, 1, 0), AcGePoint3d(1, 1, 0)), x));
}

TEST(AcDbExtentsTest, GrowsAndTransformsAsABox)
{
    AcDbExtents e;
    EXPECT_FALSE(e.isValid());
    e.addPoint(AcGePoint3d(1, 2, 0));
    e.addPoint(AcGePoint3d(-1, 5, 0));
    expectPoint(e.minPoint(), -1, 2);
    expectPoint(e.maxPoint(), 1, 5);
    EXPECT_TRUE(e.contains(AcGePoint3d(1.05, 2, 0), 0.1));
    EXPECT_FALSE(e.contains(AcGePoint3d(1.2, 2, 0), 0.1));
    e.transformBy(AcGeMatrix3d::rotation(kPi / 2, AcGeVector3d::kZAxis));
    expectPoint(e.minPoint(), -5, -1);
    expectPoint(e.maxPoint(), -2, 1);
}

// Code that widens the tolerance for a while may run on several drawings at
// once: a thread's widening is its own.
TEST(AcGeContextTest, GlobalToleranceIsPerThread)
{
    const AcGeTol saved = AcGeContext::gTol;
    AcGeContext::gTol.setEqualPoint(0.5);
    bool otherSeesDefault = false;
    std::thread([&] {
        otherSeesDefault = !AcGePoint3d(0, 0, 0).isEqualTo(AcGePoint3d(0.4, 0, 0));
        AcGeContext::gTol.setEqualPoint(1.0);
    }).join();
    EXPECT_TRUE(otherSeesDefault);
    // The other thread's 1.0 did not come here: 0.5 holds.
    EXPECT_TRUE(AcGePoint3d(0, 0, 0).isEqualTo(AcGePoint3d(0.4, 0, 0)));
    EXPECT_FALSE(AcGePoint3d(0, 0, 0).isEqualTo(AcGePoint3d(0.7, 0, 0)));
    AcGeContext::gTol = saved;
}

// The point of an arc at a fraction of its sweep from p.
AcGePoint2d pointAlong(const AcGeBulgeArc& arc, double f)
{
    const double a = arc.startAngle + arc.sweep * f;
    return AcGePoint2d(arc.center.x + arc.radius * std::cos(a), arc.center.y + arc.radius * std::sin(a));
}

// Bulge 1 turns counter-clockwise from (0, 0) and passes below its chord;
// bulge -1 turns clockwise on the other side, and counter-clockwise the same
// arc runs from q back to p.
TEST(AcGeBulgeArcTest, HalfCirclesTurnByTheBulgesSign)
{
    for (const double bulge : {1.0, -1.0}) {
        SCOPED_TRACE(bulge);
        AcGeBulgeArc arc;
        ASSERT_TRUE(acgeBulgeArc(AcGePoint2d(0, 0), AcGePoint2d(4, 0), bulge, arc));
        EXPECT_NEAR(arc.center.x, 2, 1e-12);
        EXPECT_NEAR(arc.center.y, 0, 1e-12);
        EXPECT_NEAR(arc.radius, 2, 1e-12);
        EXPECT_NEAR(arc.sweep, bulge * kPi, 1e-12);
        const AcGePoint2d mid = pointAlong(arc, 0.5), end = pointAlong(arc, 1.0);
        EXPECT_NEAR(mid.x, 2, 1e-9);
        EXPECT_NEAR(mid.y, -2 * bulge, 1e-9);
        EXPECT_NEAR(end.x, 4, 1e-9);
        EXPECT_NEAR(end.y, 0, 1e-9);
        EXPECT_EQ(arc.ccwStartAngle(), bulge > 0 ? arc.startAngle : arc.endAngle);
        EXPECT_EQ(arc.ccwEndAngle(), bulge > 0 ? arc.endAngle : arc.startAngle);
    }
}

TEST(AcGeBulgeArcTest, SmallBulgeHasItsCentreLeftOfTheChordAndLargeBulgeRight)
{
    // A quarter circle from (1, 0) to (0, 1): bulge tan(pi / 8), centre at
    // the origin, left of the chord's direction.
    AcGeBulgeArc quarter;
    ASSERT_TRUE(acgeBulgeArc(AcGePoint2d(1, 0), AcGePoint2d(0, 1), std::tan(kPi / 8), quarter));
    EXPECT_NEAR(quarter.center.x, 0, 1e-12);
    EXPECT_NEAR(quarter.center.y, 0, 1e-12);
    EXPECT_NEAR(quarter.radius, 1, 1e-12);
    EXPECT_NEAR(quarter.startAngle, 0, 1e-12);
    EXPECT_NEAR(quarter.endAngle, kPi / 2, 1e-12);
    // Three quarters the other way round: the same circle's centre now lies
    // right of the chord from (0, 1) to (1, 0).
    AcGeBulgeArc most;
    ASSERT_TRUE(acgeBulgeArc(AcGePoint2d(0, 1), AcGePoint2d(1, 0), std::tan(3 * kPi / 8), most));
    EXPECT_NEAR(most.center.x, 0, 1e-12);
    EXPECT_NEAR(most.center.y, 0, 1e-12);
    EXPECT_NEAR(most.sweep, 3 * kPi / 2, 1e-12);
}

TEST(AcGeBulgeArcTest, StraightSegmentsHaveNoArc)
{
    AcGeBulgeArc arc;
    arc.radius = 7;
    EXPECT_FALSE(acgeBulgeArc(AcGePoint2d(0, 0), AcGePoint2d(4, 0), 0.0, arc));
    EXPECT_FALSE(acgeBulgeArc(AcGePoint2d(0, 0), AcGePoint2d(4, 0), std::nan(""), arc));
    EXPECT_FALSE(acgeBulgeArc(AcGePoint2d(0, 0), AcGePoint2d(4, 0), HUGE_VAL, arc));
    EXPECT_FALSE(acgeBulgeArc(AcGePoint2d(3, 3), AcGePoint2d(3, 3), 1.0, arc));
    EXPECT_EQ(arc.radius, 7);
}

} // namespace
