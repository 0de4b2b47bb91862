// Helpers of the grid tests: real object ids from a drawing, boxes, and grids laid out like a new schematic.
#pragma once

#include "grid/PrinPicGrid.h"
#include "host/dbmain.h"

#include <gtest/gtest.h>

#include <cmath>

namespace gridtest {

// Hands out ids of points appended to a fresh drawing's model space.
class IdSource {
public:
    AcDbObjectId next()
    {
        AcDbObjectId id;
        AcDbBlockTableRecord* space = nullptr;
        if (acdbOpenObject(space, m_db.modelSpaceId(), AcDb::kForWrite) != Acad::eOk) {
            ADD_FAILURE() << "no model space";
            return id;
        }
        EXPECT_EQ(space->appendAcDbEntity(id, new AcDbPoint(AcGePoint3d(m_count++, 0, 0))), Acad::eOk);
        space->close();
        return id;
    }
    AcDbObjectIdArray array(int n)
    {
        AcDbObjectIdArray ids;
        for (int i = 0; i < n; ++i)
            ids.append(next());
        return ids;
    }

private:
    AcDbDatabase m_db;
    double m_count = 0;
};

inline AcDbExtents box(double x0, double y0, double x1, double y1)
{
    return AcDbExtents(AcGePoint3d(x0, y0, 0), AcGePoint3d(x1, y1, 0));
}

inline ::testing::AssertionResult sameBox(const AcDbExtents& a, const AcDbExtents& b, double tol = 0.0)
{
    const auto near = [tol](double u, double v) { return std::fabs(u - v) <= tol; };
    if (a.isValid() == b.isValid() && near(a.minPoint().x, b.minPoint().x) && near(a.minPoint().y, b.minPoint().y)
        && near(a.maxPoint().x, b.maxPoint().x) && near(a.maxPoint().y, b.maxPoint().y)
        && a.minPoint().z == 0 && a.maxPoint().z == 0)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
        << "box (" << a.minPoint().x << ", " << a.minPoint().y << ")-(" << a.maxPoint().x << ", "
        << a.maxPoint().y << ") valid " << a.isValid() << " expected (" << b.minPoint().x << ", "
        << b.minPoint().y << ")-(" << b.maxPoint().x << ", " << b.maxPoint().y << ") valid " << b.isValid();
}

// Sets the parameters and the reference range the way a new schematic
// starts: minX and maxY at the base point, one string's width across the
// strings, cellsPerString cells along them.
inline void startSchematic(CPrinPicGrid& g, int orientation, AcGePoint3d base, double pitchX, double pitchY,
                           double scale, int cells)
{
    g.SetBasePoint(base);
    g.SetOrientation(orientation);
    g.SetCellPitchX(pitchX);
    g.SetCellPitchY(pitchY);
    g.SetScale(scale);
    g.SetCellsPerString(cells);
    if (orientation == 0)
        g.SetReferenceRange(base.x, base.x + pitchX * scale * cells, base.y, base.y - pitchY * scale / 2);
    else
        g.SetReferenceRange(base.x, base.x + pitchX * scale / 2, base.y, base.y - pitchY * scale * cells);
}

} // namespace gridtest
