// Geometry value types: transforms, lines, extents.
#include "host/acge.h"

#include <gtest/gtest.h>

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

TEST(AcGeContextTest, GlobalToleranceIsUsedByDefault)
{
    const AcGeTol saved = AcGeContext::gTol;
    AcGeContext::gTol.setEqualPoint(0.5);
    EXPECT_TRUE(AcGePoint3d(0, 0, 0).isEqualTo(AcGePoint3d(0.4, 0, 0)));
    AcGeContext::gTol = saved;
    EXPECT_FALSE(AcGePoint3d(0, 0, 0).isEqualTo(AcGePoint3d(0.4, 0, 0)));
}

} // namespace
