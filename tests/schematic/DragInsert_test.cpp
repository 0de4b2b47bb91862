// Dragging a symbol into place: what each answer at the drag gives (a
// pick, Enter, Esc, "Repeat", other text), the checks of scale and
// rotation, the parking point far outside the view, and that the temporary
// insert is gone on every way out.
#include "SchematicDrawTest.h"

#include "components/NorvexGloFunc.h"
#include "host/dbinternal.h"
#include "schematic/DragInsert.h"

#include <cmath>

namespace {

using drawtest::DrawingTest;
using drawtest::output;

class DragInsertTest : public DrawingTest {
protected:
    std::wstring file() const { return libraryFolder + L"\\CT-NO"; }
    // Runs a drag with the given replies; returns the status.
    int drag(std::deque<std::string> replies, double scale = 1.0, double rotation = 0.0,
             const std::wstring& block = {})
    {
        feed(std::move(replies));
        m_scale = scale;
        m_rotation = rotation;
        EXPECT_EQ(DragInsertBlock(0, 0, block.empty() ? file() : block, L"请指定插入点:", m_scale, m_rotation), 1);
        return GetDragStatus();
    }
    // The temporary insert of the last drag (erased by then).
    AcDbBlockReference* temporary() const
    {
        const auto& ids = AcDbInternals::modelSpace(*db)->entityIds();
        return ids.empty() ? nullptr : open<AcDbBlockReference>(ids.back(), true);
    }
    bool nothingLeft() const { return liveEntities().empty(); }
    double m_scale = 1.0, m_rotation = 0.0;
};

TEST_F(DragInsertTest, APickGivesTheStatusAndThePoint)
{
    EXPECT_EQ(drag({"@move 10,10", "@move 20,15", "@pick 100,50"}), kDragPicked);
    EXPECT_EQ(GetDragPickedPoint(), AcGePoint3d(100, 50, 0));
    EXPECT_TRUE(nothingLeft());
    ASSERT_NE(temporary(), nullptr);
    EXPECT_TRUE(temporary()->isErased());
    EXPECT_NE(output().find("请指定插入点:"), std::string::npos);
    // A typed point is a pick too; the block is now defined in the drawing
    // and found by its name.
    EXPECT_EQ(drag({"7,8"}, 1.0, 0.0, L"CT-NO"), kDragPicked);
    EXPECT_EQ(GetDragPickedPoint(), AcGePoint3d(7, 8, 0));
    EXPECT_TRUE(nothingLeft());
}

TEST_F(DragInsertTest, EnterEscAndRepeatEndTheDragWithTheirStatuses)
{
    EXPECT_EQ(drag({""}), kDragEnded);
    EXPECT_TRUE(nothingLeft());
    EXPECT_EQ(drag({"@right"}), kDragEnded);
    EXPECT_TRUE(nothingLeft());
    EXPECT_EQ(drag({"^C"}), kDragFailed);
    EXPECT_TRUE(nothingLeft());
    EXPECT_EQ(drag({"r"}), kDragRepeat);
    EXPECT_TRUE(nothingLeft());
    EXPECT_EQ(drag({"REPEAT"}), kDragRepeat);
    EXPECT_TRUE(nothingLeft());
    // Text typed by the palette arrives like the user's.
    acDocManager->sendStringToExecute(acDocManager->curDocument(), L"r ");
    EXPECT_EQ(drag({}), kDragRepeat);
    EXPECT_TRUE(nothingLeft());
}

TEST_F(DragInsertTest, OtherTextShowsThePromptAgainAndTheDragGoesOn)
{
    EXPECT_EQ(drag({"xyz", "@pick 1,2"}), kDragPicked);
    std::size_t prompts = 0;
    for (std::size_t at = output().find("请指定插入点:"); at != std::string::npos;
         at = output().find("请指定插入点:", at + 1))
        ++prompts;
    EXPECT_EQ(prompts, 2u);
    EXPECT_TRUE(nothingLeft());
}

TEST_F(DragInsertTest, TheTemporaryInsertIsParkedFarOutsideTheView)
{
    double lo[2], hi[2];
    XScjx(lo, hi);
    resbuf size{}, screen{};
    acedGetVar(L"VIEWSIZE", &size);
    acedGetVar(L"SCREENSIZE", &screen);
    const double far = 150000.0 * size.resval.rreal / screen.resval.rpoint[1];
    EXPECT_EQ(drag({""}), kDragEnded);
    ASSERT_NE(temporary(), nullptr);
    EXPECT_NEAR(temporary()->position().x, lo[0] - far, 1e-6);
    EXPECT_NEAR(temporary()->position().y, lo[1] - far, 1e-6);
}

TEST_F(DragInsertTest, ScalesOutsideTheRangeAreAskedForAgain)
{
    EXPECT_EQ(drag({"", "@pick 0,0"}, -1.0), kDragPicked);
    EXPECT_EQ(m_scale, 1.0);
    EXPECT_NE(output().find("比例参数无效,请输入比例<1.0>:"), std::string::npos);

    EXPECT_EQ(drag({"3", "@pick 0,0"}, 2e8), kDragPicked);
    EXPECT_EQ(m_scale, 3.0);
    EXPECT_NEAR(temporary()->scaleFactors().sx, 3.0, 1e-9);

    // Esc at the scale prompt: nothing is inserted.
    const int before = AcDbInternals::modelSpace(*db)->entityIds().length();
    EXPECT_EQ(drag({"^C"}, -5.0), kDragFailed);
    EXPECT_EQ(AcDbInternals::modelSpace(*db)->entityIds().length(), before);

    // 0 and exactly 1e8 pass the check and are not applied.
    EXPECT_EQ(drag({"@pick 0,0"}, 0.0), kDragPicked);
    EXPECT_NEAR(temporary()->scaleFactors().sx, 1.0, 1e-9);
    EXPECT_EQ(drag({"@pick 0,0"}, 1e8), kDragPicked);
    EXPECT_NEAR(temporary()->scaleFactors().sx, 1.0, 1e-9);
    EXPECT_TRUE(nothingLeft());
}

TEST_F(DragInsertTest, RotationsBeyondAFullTurnBecomeZeroAndMoveToTheOrigin)
{
    EXPECT_EQ(drag({"@pick 0,0"}, 2.0, 45.0), kDragPicked);
    AcDbBlockReference* t = temporary();
    EXPECT_NEAR(t->rotation(), kPi / 4, 1e-9);
    EXPECT_NEAR(t->scaleFactors().sx, 2.0, 1e-9);
    const AcGePoint3d parked = t->position();

    EXPECT_EQ(drag({"@pick 0,0"}, 1.0, 360.0), kDragPicked);
    EXPECT_NEAR(std::remainder(temporary()->rotation(), 2 * kPi), 0.0, 1e-9);
    EXPECT_NEAR(temporary()->position().x, parked.x, 1e-6);

    EXPECT_EQ(drag({"@pick 0,0"}, 1.0, 400.0), kDragPicked);
    EXPECT_EQ(m_rotation, 0.0);
    EXPECT_NEAR(temporary()->position().x, 0.0, 1e-9);
    EXPECT_NEAR(temporary()->position().y, 0.0, 1e-9);
    EXPECT_TRUE(nothingLeft());
}

TEST_F(DragInsertTest, ABlockThatIsNeitherDefinedNorAFileIsRefused)
{
    const std::string before = drawingText();
    EXPECT_EQ(drag({"@pick 0,0"}, 1.0, 0.0, L"NO-SUCH-BLOCK"), kDragFailed);
    EXPECT_NE(output().find("插入块参数无效!"), std::string::npos);
    EXPECT_EQ(drawingText(), before);
}

} // namespace
