// Reading DXF text: encodings, tolerance, and every kind of bad input
// getting a clear error that names the file and line, with the database
// left as it was.
#include "host/dbmain.h"
#include "host/dxf/codepage.h"
#include "host/dxf/tags.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using testutil::TempDir;

namespace {

// A small R2010 drawing written by the host itself.
std::string sampleDrawing()
{
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = db.modelSpace();
    ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0)));
    ms->appendAcDbEntity(new AcDbText(AcGePoint3d(2, 2, 0), L"标签", 2.5));
    return db.dxfOut();
}

// The smallest drawing of old files: only an ENTITIES section.
const char* kMinimalR12 = "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n  8\nWIRE\n 10\n1\n 20\n2\n 30\n0\n 11\n3\n 21\n4\n 31\n0\n"
                          "  0\nENDSEC\n  0\nEOF\n";

std::string readError(const std::string& text, const std::string& name = "bad.dxf")
{
    AcDbDatabase db;
    const std::size_t before = db.modelSpace()->entityIds().size();
    db.modelSpace()->appendAcDbEntity(new AcDbPoint(AcGePoint3d(9, 9, 0)));
    const Acad::ErrorStatus es = db.readDxfText(text, name);
    EXPECT_NE(es, Acad::eOk);
    // Nothing of the failed file reaches the drawing.
    EXPECT_EQ(db.modelSpace()->entityIds().size(), before + 1);
    return wideToUtf8(db.lastError());
}

TEST(DxfReaderTest, ReadsAMinimalOldDrawingAndRepairsItsStructure)
{
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(kMinimalR12, "min.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    ASSERT_NE(db.modelSpace(), nullptr);
    ASSERT_EQ(db.modelSpace()->entityIds().size(), 1u);
    auto* line = dynamic_cast<AcDbLine*>(db.modelSpace()->entityIds()[0].stub()->object.get());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->startPoint(), AcGePoint3d(1, 2, 0));
    EXPECT_EQ(line->endPoint(), AcGePoint3d(3, 4, 0));
    // The layer it uses is added, and said so.
    EXPECT_TRUE(db.table("LAYER")->has("wire"));
    bool noted = false;
    for (const std::string& n : db.loadNotes())
        noted = noted || n.find("LAYER WIRE") != std::string::npos;
    EXPECT_TRUE(noted);
    // The file it writes has what an R2010 file needs.
    const std::string out = db.dxfOut();
    for (const char* needed : {"AC1024", "*Model_Space", "*Paper_Space", "ACAD_LAYOUT", "BLOCK_RECORD", "$HANDSEED"})
        EXPECT_NE(out.find(needed), std::string::npos) << needed;
}

TEST(DxfReaderTest, AcceptsCrLfLineEndsBlankPaddedCodesAndComments)
{
    std::string text = "999\ncomment\n" + std::string(kMinimalR12);
    std::string crlf;
    for (char c : text) {
        if (c == '\n')
            crlf += "\r\n";
        else
            crlf += c;
    }
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(crlf, "crlf.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    EXPECT_EQ(db.modelSpace()->entityIds().size(), 1u);
}

TEST(DxfReaderTest, DecodesUnicodeEscapesInBothCases)
{
    std::string s = "A\\U+4E2d\\u+6587B\\U+12";
    dxf::decodeUnicodeEscapes(s);
    EXPECT_EQ(s, "A中文B\\U+12");
    // And in files of any version.
    std::string text = kMinimalR12;
    text.replace(text.find("WIRE"), 4, "\\U+7535\\U+7EBF");
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(text, "esc.dxf"), Acad::eOk);
    auto* e = static_cast<AcDbEntity*>(db.modelSpace()->entityIds()[0].stub()->object.get());
    EXPECT_EQ(e->layerName(), "电线");
}

TEST(DxfReaderTest, CodePagesFollowTheHeaderForOldFiles)
{
    EXPECT_EQ(dxf::iconvNameOf("ANSI_936"), "GBK");
    EXPECT_EQ(dxf::iconvNameOf("ansi_1251"), "CP1251");
    EXPECT_EQ(dxf::iconvNameOf("ANSI_950"), "BIG5");
    EXPECT_EQ(dxf::iconvNameOf("NOT_A_PAGE"), "");
    const std::string gbkText = dxf::encodeToCodePage("控制", "GBK");
    EXPECT_EQ(gbkText.size(), 4u);
    const std::string head = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  9\n$DWGCODEPAGE\n  3\n";
    const std::string body = "  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nTEXT\n  8\n0\n 10\n0\n 20\n0\n 40\n1\n  1\n"
                             + gbkText + "\n  0\nENDSEC\n  0\nEOF\n";
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(head + "ANSI_936\n" + body, "gbk.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    auto* t = static_cast<AcDbText*>(db.modelSpace()->entityIds()[0].stub()->object.get());
    EXPECT_EQ(t->text(), "控制");
    EXPECT_EQ(t->textString(), L"控制");
    // From R2007 on the text is UTF-8 whatever the header says.
    std::string utf8 = head + "ANSI_936\n" + body;
    utf8.replace(utf8.find("AC1015"), 6, "AC1024");
    utf8.replace(utf8.find(gbkText), gbkText.size(), "控制");
    AcDbDatabase db2(false);
    ASSERT_EQ(db2.readDxfText(utf8, "utf8.dxf"), Acad::eOk) << wideToUtf8(db2.lastError());
    EXPECT_EQ(static_cast<AcDbText*>(db2.modelSpace()->entityIds()[0].stub()->object.get())->text(), "控制");
}

TEST(DxfReaderTest, BadInputNamesTheFileAndLine)
{
    const std::string good = sampleDrawing();
    // Truncated in the middle of the entities.
    const std::size_t cut = good.find("AcDbText");
    EXPECT_NE(readError(good.substr(0, cut), "cut.dxf").find("cut.dxf, line "), std::string::npos);
    EXPECT_NE(readError(good.substr(0, cut)).find("unexpected end of file"), std::string::npos);
    // Truncated right after a section.
    const std::size_t eof = good.rfind("  0\nEOF");
    EXPECT_NE(readError(good.substr(0, eof)).find("EOF marker is missing"), std::string::npos);
    // A group code that is not a number, on line 3.
    EXPECT_NE(readError("  0\nSECTION\nxx\nENTITIES\n").find("bad.dxf, line 3: invalid group code 'xx'"),
              std::string::npos);
    // A coordinate that is not a number.
    std::string text = kMinimalR12;
    text.replace(text.find(" 20\n2\n"), 6, " 20\nabc\n");
    EXPECT_NE(readError(text).find("line 11: group code 20: 'abc' is not a number"), std::string::npos);
    // Unknown version and code page.
    const std::string head = "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\n";
    EXPECT_NE(readError(head + "AC9999\n  0\nENDSEC\n  0\nEOF\n").find("line 7: unknown DXF version 'AC9999'"),
              std::string::npos);
    EXPECT_NE(readError(head + "AC1015\n  9\n$DWGCODEPAGE\n  3\nKLINGON\n  0\nENDSEC\n  0\nEOF\n")
                  .find("line 11: unknown code page 'KLINGON'"),
              std::string::npos);
    // Bytes that are not text in the file's code page.
    std::string wrong = head + "AC1024\n  0\nENDSEC\n" + std::string(kMinimalR12);
    wrong.replace(wrong.find("WIRE"), 4, "\xff\xfe");
    EXPECT_NE(readError(wrong).find("not valid in the file's encoding"), std::string::npos);
    // A binary file cut inside its sentinel, and other kinds of files.
    EXPECT_NE(readError("AutoCAD Binary DXF\r\n\x1a").find("binary DXF sentinel"), std::string::npos);
    EXPECT_NE(readError(std::string("AC1032\0\0\0\x01", 10)).find("DWG drawing"), std::string::npos);
    EXPECT_NE(readError("").find("empty"), std::string::npos);
    EXPECT_NE(readError("  0\nLINE\n").find("expected SECTION"), std::string::npos);
}

TEST(DxfReaderTest, MissingFilesAndDwgNames)
{
    TempDir dir;
    AcDbDatabase db;
    EXPECT_EQ(db.readDwgFile(utf8ToWide(dir.file("none.dxf")).c_str()), Acad::eFileNotFound);
    EXPECT_NE(wideToUtf8(db.lastError()).find("none.dxf"), std::string::npos);
    // A ".dwg" path names the ".dxf" of the same name, separators either way.
    testutil::writeFile(dir.file("plan.dxf"), kMinimalR12);
    std::string dwg = dir.file("plan.DWG");
    for (char& c : dwg)
        if (c == '/')
            c = '\\';
    ASSERT_EQ(db.readDwgFile(utf8ToWide(dwg).c_str()), Acad::eOk) << wideToUtf8(db.lastError());
    EXPECT_EQ(db.modelSpace()->entityIds().size(), 1u);
}

TEST(DxfReaderTest, KeepsUnknownTagsOfKnownEntitiesInTheirSubclass)
{
    AcDbDatabase db;
    db.modelSpace()->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
    std::string text = db.dxfOut();
    // Lineweight and linetype scale belong to the common part of entities.
    const std::size_t at = text.find("100\nAcDbLine\n");
    text.insert(at, "370\n    25\n 48\n2.5\n");
    AcDbDatabase again(false);
    ASSERT_EQ(again.readDxfText(text, "lw.dxf"), Acad::eOk) << wideToUtf8(again.lastError());
    const std::string out = again.dxfOut();
    const std::size_t entity = out.find("100\nAcDbEntity\n  8\n0\n370\n    25\n 48\n2.5\n100\nAcDbLine");
    EXPECT_NE(entity, std::string::npos) << out.substr(out.find("ENTITIES"), 400);
}

TEST(DxfReaderTest, RepairsWhatItCanAndSaysSo)
{
    AcDbDatabase db;
    AcDbObjectId ref;
    auto* insert = new AcDbBlockReference(AcGePoint3d(0, 0, 0), AcDbObjectId());
    insert->setUnresolvedName("GHOST");
    db.modelSpace()->appendAcDbEntity(insert);
    db.registerApp("APP1");
    resbuf* xd = acutBuildList(1001, L"APP1", 1000, L"v", 0);
    ASSERT_EQ(insert->setXData(xd), Acad::eOk);
    acutRelRb(xd);
    std::string text = db.dxfOut();
    // Drop the application from the APPID table and reuse a handle.
    const std::size_t app = text.find("  2\nAPP1\n");
    ASSERT_NE(app, std::string::npos);
    text.replace(app, 9, "  2\nAPP2\n");
    AcDbDatabase again(false);
    ASSERT_EQ(again.readDxfText(text, "fix.dxf"), Acad::eOk) << wideToUtf8(again.lastError());
    std::string notes;
    for (const std::string& n : again.loadNotes())
        notes += n + "\n";
    EXPECT_NE(notes.find("block GHOST was referenced but not defined"), std::string::npos) << notes;
    EXPECT_NE(notes.find("application APP1"), std::string::npos) << notes;
    EXPECT_TRUE(again.isAppRegistered("APP1"));
    EXPECT_NE(again.blockRecord("GHOST"), nullptr);
}

TEST(DxfReaderTest, WrittenRealsReadBackExactly)
{
    AcDbDatabase db;
    const double values[] = {0.1, 1.0 / 3.0, 123456.789012345, -7.5e-9, 1e20, 3383000.123, -0.5, 1e-7, 2.5e15,
                             123.456e3, 0.30000000000000004, 5e-324};
    for (double v : values)
        db.modelSpace()->appendAcDbEntity(new AcDbPoint(AcGePoint3d(v, -v, v * 2)));
    AcDbDatabase again(false);
    ASSERT_EQ(again.readDxfText(db.dxfOut(), "reals.dxf"), Acad::eOk);
    const auto& ids = again.modelSpace()->entityIds();
    ASSERT_EQ(ids.size(), std::size(values));
    for (std::size_t i = 0; i < ids.size(); ++i) {
        auto* p = static_cast<AcDbPoint*>(ids[i].stub()->object.get());
        EXPECT_EQ(p->position(), AcGePoint3d(values[i], -values[i], values[i] * 2));
    }
    // Angles are degrees in the file: a rotation read from text survives
    // being written and read again, to the last bit.
    AcDbDatabase angles;
    for (const char* deg : {"312.6057730233772", "90", "0.1", "359.99999999999994", "17.000000000000004"}) {
        auto* t = new AcDbText(AcGePoint3d(), L"x", 1.0, 0.0);
        t->setRotation(std::stod(deg) * kPi / 180.0);
        angles.modelSpace()->appendAcDbEntity(t);
    }
    AcDbDatabase a1(false), a2(false);
    ASSERT_EQ(a1.readDxfText(angles.dxfOut(), "a1.dxf"), Acad::eOk);
    ASSERT_EQ(a2.readDxfText(a1.dxfOut(), "a2.dxf"), Acad::eOk);
    EXPECT_EQ(a1.dxfOut(), a2.dxfOut());
    const std::string text = a1.dxfOut();
    EXPECT_NE(text.find(" 50\n312.6057730233772\n"), std::string::npos);
    EXPECT_NE(text.find(" 50\n90.0\n"), std::string::npos);
    // Byte-stable: writing the read drawing again gives the same text.
    AcDbDatabase third(false);
    ASSERT_EQ(third.readDxfText(again.dxfOut(), "again.dxf"), Acad::eOk);
    EXPECT_EQ(third.dxfOut(), again.dxfOut());
}

TEST(DxfReaderTest, SaveIsAtomicAndLeavesNoTemporaryFiles)
{
    TempDir dir;
    AcDbDatabase db;
    db.modelSpace()->appendAcDbEntity(new AcDbPoint(AcGePoint3d(1, 1, 0)));
    const std::string path = dir.file("a.dxf");
    ASSERT_EQ(db.saveAs(utf8ToWide(path).c_str()), Acad::eOk);
    const std::string first = testutil::readFile(path);
    // A save into a folder that does not exist fails and changes nothing.
    EXPECT_EQ(db.saveAs(utf8ToWide(dir.file("missing/a.dxf")).c_str()), Acad::eFileAccessErr);
    EXPECT_FALSE(db.lastError().empty());
    // A save over a read-only folder fails too and keeps the old file.
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    db.modelSpace()->appendAcDbEntity(new AcDbPoint(AcGePoint3d(2, 2, 0)));
    const bool root = geteuid() == 0;
    if (!root) {
        EXPECT_EQ(db.saveAs(utf8ToWide(path).c_str()), Acad::eFileAccessErr);
    }
    std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all);
    if (!root) {
        EXPECT_EQ(testutil::readFile(path), first);
    }
    int files = 0;
    for (auto& e : std::filesystem::directory_iterator(dir.path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 1);
}

} // namespace
