// Reading DXF text: encodings, tolerance, and every kind of bad input
// getting a clear error that names the file and line, with the database
// left as it was.
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dxf/codepage.h"
#include "host/dxf/tags.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <unistd.h>

using testutil::TempDir;

namespace {

// A small R2010 drawing written by the host itself.
std::string sampleDrawing()
{
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = AcDbInternals::modelSpace(db);
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
    const std::size_t before = AcDbInternals::modelSpace(db)->entityIds().size();
    AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(9, 9, 0)));
    const Acad::ErrorStatus es = db.readDxfText(text, name);
    EXPECT_NE(es, Acad::eOk);
    // Nothing of the failed file reaches the drawing.
    EXPECT_EQ(AcDbInternals::modelSpace(db)->entityIds().size(), before + 1);
    return wideToUtf8(db.lastError());
}

TEST(DxfReaderTest, ReadsAMinimalOldDrawingAndRepairsItsStructure)
{
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(kMinimalR12, "min.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    ASSERT_NE(AcDbInternals::modelSpace(db), nullptr);
    ASSERT_EQ(AcDbInternals::modelSpace(db)->entityIds().size(), 1u);
    auto* line = dynamic_cast<AcDbLine*>(AcDbInternals::stub(AcDbInternals::modelSpace(db)->entityIds()[0])->object.get());
    ASSERT_NE(line, nullptr);
    EXPECT_EQ(line->startPoint(), AcGePoint3d(1, 2, 0));
    EXPECT_EQ(line->endPoint(), AcGePoint3d(3, 4, 0));
    // The layer it uses is added, and said so.
    EXPECT_TRUE(db.table("LAYER")->has("wire"));
    EXPECT_NE(testutil::loadNotesText(db).find("LAYER WIRE"), std::string::npos);
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
    EXPECT_EQ(AcDbInternals::modelSpace(db)->entityIds().size(), 1u);
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
    auto* e = static_cast<AcDbEntity*>(AcDbInternals::stub(AcDbInternals::modelSpace(db)->entityIds()[0])->object.get());
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
    auto* t = static_cast<AcDbText*>(AcDbInternals::stub(AcDbInternals::modelSpace(db)->entityIds()[0])->object.get());
    EXPECT_EQ(t->text(), "控制");
    EXPECT_EQ(t->textString(), L"控制");
    // From R2007 on the text is UTF-8 whatever the header says.
    std::string utf8 = head + "ANSI_936\n" + body;
    utf8.replace(utf8.find("AC1015"), 6, "AC1024");
    utf8.replace(utf8.find(gbkText), gbkText.size(), "控制");
    AcDbDatabase db2(false);
    ASSERT_EQ(db2.readDxfText(utf8, "utf8.dxf"), Acad::eOk) << wideToUtf8(db2.lastError());
    EXPECT_EQ(static_cast<AcDbText*>(AcDbInternals::stub(AcDbInternals::modelSpace(db2)->entityIds()[0])->object.get())->text(), "控制");
}

TEST(DxfReaderTest, BadInputNamesTheFileAndLine)
{
    const std::string good = sampleDrawing();
    // Truncated in the middle of the entities.
    const std::size_t cut = good.find("AcDbText");
    EXPECT_NE(readError(good.substr(0, cut), "cut.dxf").find("cut.dxf, line "), std::string::npos);
    EXPECT_NE(readError(good.substr(0, cut)).find("unexpected end of file"), std::string::npos);
    // Truncated between two entities: whether the last one is whole cannot
    // be told, so this is no repair either.
    const std::size_t between = good.find("  0\nTEXT\n");
    EXPECT_NE(readError(good.substr(0, between), "cut.dxf").find("unexpected end of file"), std::string::npos);
    EXPECT_NE(readError(good.substr(0, between), "cut.dxf").find("cut.dxf, line "), std::string::npos);
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
    EXPECT_EQ(AcDbInternals::modelSpace(db)->entityIds().size(), 1u);
}

TEST(DxfReaderTest, KeepsUnknownTagsOfKnownEntitiesInTheirSubclass)
{
    AcDbDatabase db;
    AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0)));
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

TEST(DxfReaderTest, ExtendedDataOfAnUnregisteredApplicationRegistersIt)
{
    AcDbDatabase db;
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 0, 0));
    AcDbInternals::modelSpace(db)->appendAcDbEntity(line);
    db.registerApp("APP1");
    resbuf* xd = acutBuildList(1001, L"APP1", 1000, L"v", 0);
    ASSERT_EQ(line->setXData(xd), Acad::eOk);
    acutRelRb(xd);
    std::string text = db.dxfOut();
    // Drop the application from the APPID table.
    const std::size_t app = text.find("  2\nAPP1\n");
    ASSERT_NE(app, std::string::npos);
    text.replace(app, 9, "  2\nAPP2\n");
    AcDbDatabase again(false);
    ASSERT_EQ(again.readDxfText(text, "fix.dxf"), Acad::eOk) << wideToUtf8(again.lastError());
    const std::string notes = testutil::loadNotesText(again);
    EXPECT_NE(notes.find("application APP1"), std::string::npos) << notes;
    EXPECT_TRUE(again.isAppRegistered("APP1"));
}

std::vector<std::string> kindsIn(const AcDbBlockTableRecord* rec)
{
    std::vector<std::string> out;
    for (const AcDbObjectId& id : rec->entityIds())
        out.push_back(AcDbInternals::stub(id)->object->dxfName());
    return out;
}

std::string notesOf(const AcDbDatabase& db)
{
    return testutil::loadNotesText(db);
}

// Removes the first tag "code\nvalue\n" found after from (at least once).
void removeTag(std::string& text, const std::string& tag, std::size_t from = 0)
{
    const std::size_t at = text.find(tag, from);
    ASSERT_NE(at, std::string::npos) << tag;
    text.erase(at, tag.size());
}

// Damage that recover mode repairs: each kind opens the drawing with
// everything the file holds, marked recovered, with a note that names what
// was repaired; saved, it reads back without repairs.
TEST(DxfReaderTest, DamagedStructureOpensInRecoverModeAndSaysWhatWasRepaired)
{
    AcDbDatabase made;
    auto* layer = new AcDbLayerTableRecord();
    layer->setName("WIRE");
    AcDbObjectId layerId;
    ASSERT_EQ(made.addSymbolTableRecord(layerId, layer), Acad::eOk);
    auto* block = new AcDbBlockTableRecord();
    block->setName("SYM");
    AcDbObjectId blockId;
    ASSERT_EQ(made.addBlockTableRecord(blockId, block), Acad::eOk);
    block->appendAcDbEntity(new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1));
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    line->setLayerName("WIRE");
    AcDbInternals::modelSpace(made)->appendAcDbEntity(line);
    AcDbInternals::modelSpace(made)->appendAcDbEntity(new AcDbBlockReference(AcGePoint3d(5, 5, 0), blockId));
    const std::string good = made.dxfOut();
    const std::size_t layerTable = good.find("  0\nTABLE\n  2\nLAYER\n");
    const std::size_t wireRecord = good.find("  0\nLAYER\n", layerTable);
    const std::size_t wireEnd = good.find("  0\nENDTAB\n", wireRecord);
    const std::string wire = good.substr(good.rfind("  0\nLAYER\n", wireEnd), wireEnd - good.rfind("  0\nLAYER\n", wireEnd));
    ASSERT_NE(wire.find("WIRE"), std::string::npos);

    // Each damage gives a note of its code, naming the object concerned
    // (the misplaced layer) or none.
    struct Case {
        const char* what;
        std::string text;
        const char* note;
        const char* code;
        std::uint64_t handle = 0;
    };
    std::vector<Case> cases;
    std::string t = good;
    removeTag(t, "  0\nENDSEC\n", good.find("  2\nTABLES\n"));
    cases.push_back({"ENDSEC of TABLES missing", t, "the TABLES section is not closed: its ENDSEC is missing before line", "MISSING_ENDSEC"});
    t = good;
    removeTag(t, "  0\nENDSEC\n", good.find("  2\nENTITIES\n"));
    cases.push_back({"ENDSEC of ENTITIES missing", t, "the ENTITIES section is not closed", "MISSING_ENDSEC"});
    t = good;
    removeTag(t, "  0\nENDTAB\n", layerTable);
    cases.push_back({"ENDTAB of LAYER missing", t, "the LAYER table is not closed: its ENDTAB is missing before line", "MISSING_ENDTAB"});
    t = good;
    t.erase(t.find(wire), wire.size());
    t.insert(t.find("  0\nTABLE\n  2\nSTYLE\n"), wire);
    cases.push_back({"a layer between the tables", t, "a LAYER record at line", "MISPLACED_TABLE_RECORD", layerId.handle()});
    t = good;
    t.erase(t.find(wire), wire.size());
    t.insert(t.find("  0\nENDTAB\n", t.find("  0\nTABLE\n  2\nSTYLE\n")), wire);
    cases.push_back({"a layer in the STYLE table", t, "in the STYLE table was put into the LAYER table",
                     "MISPLACED_TABLE_RECORD", layerId.handle()});
    t = good;
    removeTag(t, "  0\nENDBLK\n", good.find("  2\nSYM\n", good.find("  2\nBLOCKS\n")));
    cases.push_back({"ENDBLK of SYM missing", t, "block SYM is not closed: its ENDBLK is missing before line", "MISSING_ENDBLK"});
    t = good.substr(0, good.rfind("  0\nEOF\n"));
    cases.push_back({"EOF missing", t, "the EOF marker at the end of the file is missing", "MISSING_EOF"});
    t = good;
    t.insert(t.find("  0\nSECTION\n  2\nBLOCKS\n"), "  0\nENDSEC\n");
    cases.push_back({"a stray ENDSEC", t, "a stray ENDSEC at line", "STRAY_ENDSEC"});
    t = good;
    t.insert(t.find("  9\n", t.find("  2\nHEADER\n") + 20), "  0\nENDSEC\n");
    cases.push_back({"an early ENDSEC in the header", t, "inside the HEADER section was ignored", "STRAY_ENDSEC"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AcDbDatabase db(false);
        ASSERT_EQ(db.readDxfText(c.text, "damaged.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
        EXPECT_TRUE(db.isRecovered());
        EXPECT_NE(notesOf(db).find(c.note), std::string::npos) << notesOf(db);
        const auto& notes = db.loadNotes();
        EXPECT_TRUE(std::any_of(notes.begin(), notes.end(), [&c](const AcDbLoadNote& n) {
            return n.code == c.code && n.handle == c.handle && n.text.find(c.note) != std::string::npos;
        })) << c.code << " " << c.handle << "\n" << notesOf(db);
        EXPECT_EQ(kindsIn(AcDbInternals::modelSpace(db)), (std::vector<std::string>{"LINE", "INSERT"}));
        ASSERT_NE(db.blockRecord("SYM"), nullptr);
        EXPECT_EQ(kindsIn(db.blockRecord("SYM")), (std::vector<std::string>{"CIRCLE"}));
        EXPECT_TRUE(db.table("LAYER")->has("WIRE"));
        EXPECT_TRUE(db.table("STYLE")->has("Standard"));
        AcDbDatabase saved(false);
        ASSERT_EQ(saved.readDxfText(db.dxfOut(), "saved.dxf"), Acad::eOk) << wideToUtf8(saved.lastError());
        EXPECT_FALSE(saved.isRecovered()) << notesOf(saved);
        EXPECT_TRUE(saved.loadNotes().empty());
    }
    AcDbDatabase clean(false);
    ASSERT_EQ(clean.readDxfText(good, "good.dxf"), Acad::eOk);
    EXPECT_FALSE(clean.isRecovered());
}

// Load notes read like an audit report: a code a program can test, the
// handle of the object concerned, and the line shown to the user.
TEST(DxfReaderTest, LoadNotesCarryACodeAndTheHandleConcerned)
{
    AcDbDatabase made;
    auto* block = new AcDbBlockTableRecord();
    block->setName("SYM");
    AcDbObjectId blockId;
    ASSERT_EQ(made.addBlockTableRecord(blockId, block), Acad::eOk);
    auto* circle = new AcDbCircle(AcGePoint3d(0, 0, 0), AcGeVector3d::kZAxis, 1);
    AcDbObjectId circleId;
    ASSERT_EQ(block->appendAcDbEntity(circleId, circle), Acad::eOk);
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    line->setLayerName("NOWHERE");
    AcDbObjectId lineId;
    ASSERT_EQ(AcDbInternals::modelSpace(made)->appendAcDbEntity(lineId, line), Acad::eOk);
    auto* ghost = new AcDbBlockReference(AcGePoint3d(0, 0, 0), AcDbObjectId());
    ghost->setUnresolvedName("GHOST");
    AcDbObjectId ghostId;
    ASSERT_EQ(AcDbInternals::modelSpace(made)->appendAcDbEntity(ghostId, ghost), Acad::eOk);
    std::string text = made.dxfOut();
    // The layer NOWHERE is used but not in the LAYER table (the writer
    // adds no record for it), and the circle in the block takes the line's
    // handle: read first, it keeps it and the line is renumbered.
    ASSERT_FALSE(made.table("LAYER")->has("NOWHERE"));
    char lineHandle[32], circleHandle[32];
    std::snprintf(lineHandle, sizeof lineHandle, "  5\n%llX\n", static_cast<unsigned long long>(lineId.handle()));
    std::snprintf(circleHandle, sizeof circleHandle, "  5\n%llX\n", static_cast<unsigned long long>(circleId.handle()));
    const std::size_t at = text.find(std::string("  0\nCIRCLE\n") + circleHandle);
    ASSERT_NE(at, std::string::npos);
    text.replace(at + std::strlen("  0\nCIRCLE\n"), std::strlen(circleHandle), lineHandle);

    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(text, "notes.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    EXPECT_TRUE(db.isRecovered());
    std::map<std::string, AcDbLoadNote> byCode;
    for (const AcDbLoadNote& n : db.loadNotes())
        byCode.emplace(n.code, n);
    ASSERT_EQ(byCode.count("DUPLICATE_HANDLE"), 1u) << notesOf(db);
    EXPECT_EQ(byCode["DUPLICATE_HANDLE"].handle, lineId.handle());
    EXPECT_EQ(byCode["DUPLICATE_HANDLE"].text, "1 objects with handles used twice got new handles");
    ASSERT_EQ(byCode.count("UNDEFINED_BLOCK"), 1u) << notesOf(db);
    EXPECT_EQ(byCode["UNDEFINED_BLOCK"].handle, ghostId.handle());
    EXPECT_NE(byCode["UNDEFINED_BLOCK"].text.find("block GHOST was referenced but not defined"), std::string::npos);
    EXPECT_NE(db.blockRecord("GHOST"), nullptr) << "an empty definition stands in for it";
    // The layer's user is the renumbered line: its new handle.
    ASSERT_EQ(byCode.count("UNDEFINED_LAYER"), 1u) << notesOf(db);
    const AcDbObjectId readLine = AcDbInternals::modelSpace(db)->entityIds().front();
    EXPECT_NE(readLine.handle(), lineId.handle());
    EXPECT_EQ(byCode["UNDEFINED_LAYER"].handle, readLine.handle());
    EXPECT_EQ(byCode["UNDEFINED_LAYER"].text, "LAYER NOWHERE was used but not defined; it was added");
    // Every note has a code; notes of no object have handle 0.
    for (const AcDbLoadNote& n : db.loadNotes())
        EXPECT_FALSE(n.code.empty()) << n.text;
}

// Some writers put the common fields after the entity's own subclass
// marker ("100 AcDbEntity", "100 AcDbMText", "8 layer"): they are still the
// entity's layer, linetype and colour, and are written where they belong.
TEST(DxfReaderTest, LayerAndColourAfterTheSubclassMarkerStayTheEntitys)
{
    AcDbDatabase made;
    auto* layer = new AcDbLayerTableRecord();
    layer->setName("TEXT");
    AcDbObjectId layerId;
    ASSERT_EQ(made.addSymbolTableRecord(layerId, layer), Acad::eOk);
    std::string text = made.dxfOut();
    const std::string entities = "  0\nMTEXT\n  5\nA0\n100\nAcDbEntity\n100\nAcDbMText\n  8\nTEXT\n 62\n3\n"
                                 " 10\n1.0\n 20\n2.0\n 30\n0.0\n 40\n2.5\n  1\nnote\n"
                                 "  0\nLINE\n  5\nA1\n100\nAcDbEntity\n100\nAcDbLine\n  8\nTEXT\n  6\nDASHED\n"
                                 " 10\n0.0\n 20\n0.0\n 30\n0.0\n 11\n1.0\n 21\n0.0\n 31\n0.0\n";
    text.insert(text.find("  0\nENDSEC\n", text.find("  2\nENTITIES\n")), entities);
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(text, "late.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    ASSERT_EQ(kindsIn(AcDbInternals::modelSpace(db)), (std::vector<std::string>{"MTEXT", "LINE"}));
    auto* mtext = static_cast<AcDbEntity*>(AcDbInternals::stub(AcDbInternals::modelSpace(db)->entityIds()[0])->object.get());
    auto* line = static_cast<AcDbEntity*>(AcDbInternals::stub(AcDbInternals::modelSpace(db)->entityIds()[1])->object.get());
    EXPECT_EQ(mtext->layerName(), "TEXT");
    EXPECT_EQ(mtext->colorIndex(), 3);
    EXPECT_EQ(line->layerName(), "TEXT");
    EXPECT_EQ(line->linetypeName(), "DASHED");
    const std::string out = db.dxfOut();
    EXPECT_NE(out.find("100\nAcDbEntity\n  8\nTEXT\n 62\n3\n100\nAcDbMText\n"), std::string::npos);
    EXPECT_NE(out.find("100\nAcDbEntity\n  8\nTEXT\n  6\nDASHED\n100\nAcDbLine\n"), std::string::npos);
}

// Older programs' R13 and R14 files name the layout blocks $MODEL_SPACE and
// $PAPER_SPACE in the block records too, and their entities point to those
// records: the records are the layouts, not blocks of their own.
TEST(DxfReaderTest, R14LayoutBlockRecordsKeepTheirEntitiesAndBlocks)
{
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDwgFile(utf8ToWide(testutil::sourceDir() + "/tests/data/r14-layout-blocks.dxf").c_str()),
              Acad::eOk)
        << wideToUtf8(db.lastError());
    const auto check = [](const AcDbDatabase& d) {
        EXPECT_EQ(kindsIn(AcDbInternals::modelSpace(d)), (std::vector<std::string>{"INSERT", "INSERT"}));
        EXPECT_EQ(kindsIn(d.blockRecord("*Paper_Space")), (std::vector<std::string>{"LINE"}));
        for (const char* block : {"VALVE", "PUMP"}) {
            ASSERT_NE(d.blockRecord(block), nullptr) << block;
            EXPECT_EQ(kindsIn(d.blockRecord(block)), (std::vector<std::string>{"LINE", "CIRCLE"})) << block;
        }
        EXPECT_EQ(d.blockRecord("$MODEL_SPACE"), nullptr);
        EXPECT_EQ(d.table("BLOCK_RECORD")->recordIds().size(), 4u);
    };
    check(db);
    AcDbDatabase again(false);
    ASSERT_EQ(again.readDxfText(db.dxfOut(), "again.dxf"), Acad::eOk) << wideToUtf8(again.lastError());
    check(again);
}

// In R12 files a dimension style's codes 3 to 7 are names (suffixes and
// arrow blocks), often empty; its handle, when it has one, is 105.
TEST(DxfReaderTest, OldDimensionStylesReadCodesThreeToSevenAsNames)
{
    const std::string text = "  0\nSECTION\n  2\nTABLES\n  0\nTABLE\n  2\nDIMSTYLE\n 70\n1\n"
                             "  0\nDIMSTYLE\n  2\nSTANDARD\n 70\n0\n  3\n\n  4\n\n  5\nARROW1\n  6\n\n  7\n\n 40\n1.0\n"
                             "  0\nENDTAB\n  0\nENDSEC\n"
                             + std::string(kMinimalR12);
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(text, "dimstyle.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    ASSERT_TRUE(db.table("DIMSTYLE")->has("STANDARD"));
    const std::string out = db.dxfOut();
    const std::size_t style = out.find("  2\nSTANDARD\n");
    ASSERT_NE(style, std::string::npos);
    EXPECT_NE(out.find("  5\nARROW1\n", style), std::string::npos);
    // The record got a handle of its own, written as 105.
    EXPECT_NE(out.rfind("105\n", style), std::string::npos);
    AcDbDatabase again(false);
    ASSERT_EQ(again.readDxfText(out, "again.dxf"), Acad::eOk) << wideToUtf8(again.lastError());
    EXPECT_EQ(again.dxfOut().find("  5\nARROW1\n") != std::string::npos, true);
}

TEST(DxfReaderTest, EmptyOrBrokenHandlesAreReplacedAndNoted)
{
    std::string text = sampleDrawing();
    // The line's handle emptied, the text's handle not hexadecimal.
    const std::size_t line = text.find("  0\nLINE\n  5\n");
    ASSERT_NE(line, std::string::npos);
    const std::size_t value = line + std::strlen("  0\nLINE\n  5\n");
    text.replace(value, text.find('\n', value) - value, "");
    const std::size_t t = text.find("  0\nTEXT\n  5\n");
    ASSERT_NE(t, std::string::npos);
    const std::size_t tv = t + std::strlen("  0\nTEXT\n  5\n");
    text.replace(tv, text.find('\n', tv) - tv, "XYZ!");
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(text, "handles.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    EXPECT_EQ(kindsIn(AcDbInternals::modelSpace(db)), (std::vector<std::string>{"LINE", "TEXT"}));
    std::set<std::uint64_t> handles;
    for (const AcDbObjectId& id : AcDbInternals::modelSpace(db)->entityIds()) {
        EXPECT_NE(id.handle(), 0u);
        handles.insert(id.handle());
    }
    EXPECT_EQ(handles.size(), 2u);
    EXPECT_NE(notesOf(db).find("2 objects with an empty or invalid handle"), std::string::npos) << notesOf(db);
}

TEST(DxfReaderTest, WrittenRealsReadBackExactly)
{
    AcDbDatabase db;
    const double values[] = {0.1, 1.0 / 3.0, 123456.789012345, -7.5e-9, 1e20, 3383000.123, -0.5, 1e-7, 2.5e15,
                             123.456e3, 0.30000000000000004, 5e-324};
    for (double v : values)
        AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(v, -v, v * 2)));
    AcDbDatabase again(false);
    ASSERT_EQ(again.readDxfText(db.dxfOut(), "reals.dxf"), Acad::eOk);
    const auto& ids = AcDbInternals::modelSpace(again)->entityIds();
    ASSERT_EQ(ids.size(), std::size(values));
    for (std::size_t i = 0; i < ids.size(); ++i) {
        auto* p = static_cast<AcDbPoint*>(AcDbInternals::stub(ids[i])->object.get());
        EXPECT_EQ(p->position(), AcGePoint3d(values[i], -values[i], values[i] * 2));
    }
    // Angles are degrees in the file: a rotation read from text survives
    // being written and read again, to the last bit.
    AcDbDatabase angles;
    for (const char* deg : {"312.6057730233772", "90", "0.1", "359.99999999999994", "17.000000000000004"}) {
        auto* t = new AcDbText(AcGePoint3d(), L"x", 1.0, 0.0);
        t->setRotation(std::stod(deg) * kPi / 180.0);
        AcDbInternals::modelSpace(angles)->appendAcDbEntity(t);
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

// Read-only targets and what a failed save leaves behind are covered with
// the command line's SAVE in hostfile_test.cpp.
TEST(DxfReaderTest, SaveIntoAMissingFolderFailsWithAReason)
{
    TempDir dir;
    AcDbDatabase db;
    AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(1, 1, 0)));
    EXPECT_EQ(db.saveAs(utf8ToWide(dir.file("missing/a.dxf")).c_str()), Acad::eFileAccessErr);
    EXPECT_FALSE(db.lastError().empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

} // namespace
