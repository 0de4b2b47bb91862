// Inputs the fuzzer once broke the reader with, and its seed drawings: each
// either loads or is refused with a message; what loads is written, read
// back and written again to the same text.
#include "host/dbmain.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

void checkInput(const std::filesystem::path& file)
{
    SCOPED_TRACE(file.filename().string());
    const std::string text = testutil::readFile(file.string());
    AcDbDatabase db(false);
    if (db.readDxfText(text, file.filename().string()) != Acad::eOk) {
        EXPECT_FALSE(db.lastError().empty());
        return;
    }
    const std::string out = db.dxfOut();
    AcDbDatabase again(false);
    ASSERT_EQ(again.readDxfText(out, "again.dxf"), Acad::eOk) << wideToUtf8(again.lastError());
    EXPECT_EQ(again.dxfOut(), out);
}

TEST(FuzzRegressionTest, EveryKeptInputLoadsOrIsRefusedCleanly)
{
    int count = 0;
    for (const char* dir : {"/tests/data/fuzz-regressions", "/fuzz/corpus"})
        for (const auto& entry : std::filesystem::directory_iterator(testutil::sourceDir() + dir)) {
            checkInput(entry.path());
            ++count;
        }
    EXPECT_GE(count, 5);
}

} // namespace
