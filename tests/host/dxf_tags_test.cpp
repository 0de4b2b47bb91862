// The tag level: every value is checked against what its group code holds
// when it is read (tags of objects the host does not model are written
// back as read), harmless slips are repaired with a note, the rest refused
// with the file and line; group codes outside the DXF range are refused;
// and the writer refuses what its reader would refuse, so a save fails
// with a message and leaves the old file as it was.
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dxf/codepage.h"
#include "host/dxf/dxfio.h"
#include "host/dxf/tags.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <limits>

using testutil::TempDir;

namespace {

// An R2000 drawing with one entity and one object the host does not
// model; "@E" and "@O" mark where their own tags go.
std::string drawingWith(const std::string& entityTags, const std::string& objectTags = "",
                        const std::string& classTags = "")
{
    return "  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1015\n  0\nENDSEC\n"
           "  0\nSECTION\n  2\nCLASSES\n  0\nCLASS\n  1\nFOOCLASS\n  2\nAcDbFoo\n  3\nFooApp\n 90\n0\n"
           + classTags
           + "  0\nENDSEC\n"
             "  0\nSECTION\n  2\nENTITIES\n  0\nFOOBAR\n  5\n2A\n100\nAcDbEntity\n  8\n0\n100\nAcDbFoobar\n"
           + entityTags
           + "  0\nENDSEC\n"
             "  0\nSECTION\n  2\nOBJECTS\n  0\nFOOOBJECT\n  5\n2B\n100\nAcDbFooObject\n"
           + objectTags + "  0\nENDSEC\n  0\nEOF\n";
}

int lineOf(const std::string& text, const std::string& marker)
{
    const std::size_t at = text.find(marker);
    EXPECT_NE(at, std::string::npos) << marker;
    int line = 1;
    for (std::size_t i = 0; i < at; ++i)
        line += text[i] == '\n';
    return line;
}

// Reads text into a drawing that holds a point; on refusal the message,
// and the drawing still holds just that point.
std::string readError(const std::string& text)
{
    AcDbDatabase db;
    AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(9, 9, 0)));
    const std::string before = db.dxfOut();
    EXPECT_NE(db.readDxfText(text, "bad.dxf"), Acad::eOk);
    EXPECT_EQ(db.dxfOut(), before);
    return wideToUtf8(db.lastError());
}

std::string notesOf(const AcDbDatabase& db)
{
    return testutil::loadNotesText(db);
}

TEST(DxfTagsTest, KeptValuesThatAreNotWhatTheirGroupCodeSaysAreRefusedWithFileAndLine)
{
    {
        AcDbDatabase db(false);
        ASSERT_EQ(db.readDxfText(drawingWith(" 40\n2.5\n"), "good.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    }
    struct Case {
        std::string entity, object, klass, marker, message;
    };
    const Case cases[] = {
        {" 40\n2n5\n", "", "", " 40\n2n5", "group code 40: '2n5' is not a number"},
        {"", " 90\n1e999\n", "", " 90\n1e999", "group code 90: '1e999' is not an integer"},
        {"", "", std::string("  1\nA\0B\n", 8), std::string("  1\nA\0", 6), "group code 1: the value holds a NUL character"},
        {" 10\n1e999\n", "", "", " 10\n1e999", "group code 10: '1e999' is not a finite number"},
        {" 41\nnan\n", "", "", " 41\nnan", "group code 41: 'nan' is not a finite number"},
        {" 70\n99999\n", "", "", " 70\n99999", "group code 70: '99999' is out of range for a 16-bit integer"},
        {"", "1071\n4294967296\n", "", "1071\n", "group code 1071: '4294967296' is out of range for a 32-bit integer"},
        {"", "290\n2.5\n", "", "290\n2.5", "group code 290: '2.5' is not an integer"},
        {"310\nABC\n", "", "", "310\nABC", "group code 310: 'ABC' is not binary data"},
        {"  1\nA\rB\n", "", "", "  1\nA\r", "group code 1: the value holds a line break"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        const std::string text = drawingWith(c.entity, c.object, c.klass);
        const std::string expected = "bad.dxf, line " + std::to_string(lineOf(text, c.marker)) + ": " + c.message;
        EXPECT_NE(readError(text).find(expected), std::string::npos) << readError(text);
    }
}

TEST(DxfTagsTest, GroupCodesBeyondTheDxfRangeAreRefused)
{
    for (const char* code : {"65536", "1072", "-6", "32768", "-32769"}) {
        SCOPED_TRACE(code);
        const std::string text = drawingWith(std::string(code) + "\nvalue\n");
        const std::string expected = "bad.dxf, line " + std::to_string(lineOf(text, std::string(code) + "\nvalue"))
                                     + ": group code " + code + " is not a DXF group code";
        EXPECT_NE(readError(text).find(expected), std::string::npos) << readError(text);
    }
    // The application codes -5 to -1 and the codes up to 1071 are read.
    AcDbDatabase db(false);
    EXPECT_EQ(db.readDxfText(drawingWith(" -5\na\n1071\n7\n"), "good.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
}

TEST(DxfTagsTest, IntegersWrittenAsRealsAndHeaderNamesWithoutDollarAreRepairedWithANote)
{
    std::string text = drawingWith(" 70\n1.0\n", " 90\n  -3.0\n");
    // Old files name header variables without "$"; the version and code
    // page they name still count.
    text.replace(text.find("  9\n$ACADVER\n"), 13, "  9\nACADVER\n");
    text.insert(text.find("AC1015\n") + 7, "  9\nDWGCODEPAGE\n  3\nANSI_936\n");
    text.replace(text.find("  8\n0\n100\nAcDbFoobar"), 6, "  8\n" + dxf::encodeToCodePage("控制", "GBK") + "\n");
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(text, "fix.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    const std::string notes = notesOf(db);
    EXPECT_NE(notes.find("2 integers written as reals were written as integers (the first at line "
                         + std::to_string(lineOf(text, " 70\n1.0")) + ")"),
              std::string::npos)
        << notes;
    EXPECT_NE(notes.find("2 header variable names lacked their $"), std::string::npos) << notes;
    auto* e = static_cast<AcDbEntity*>(AcDbInternals::stub(AcDbInternals::modelSpace(db)->entityIds()[0])->object.get());
    EXPECT_EQ(e->layerName(), "控制");
    for (const AcDbHeaderVar& v : db.headerVars())
        EXPECT_EQ(v.name[0], '$') << v.name;
    const std::string out = db.dxfOut();
    EXPECT_NE(out.find("AcDbFoobar\n 70\n1\n"), std::string::npos) << out;
    EXPECT_NE(out.find("AcDbFooObject\n 90\n-3\n"), std::string::npos) << out;
    EXPECT_EQ(out.find("ACADVER", out.find("$ACADVER") + 2), std::string::npos);
    // A reference that names no handle (libdxfrw writes a text style's
    // name in a dimension style's 340) points nowhere: the null handle.
    AcDbDatabase pointer(false);
    const std::string named = drawingWith("", "340\nStandard\n");
    ASSERT_EQ(pointer.readDxfText(named, "pointer.dxf"), Acad::eOk) << wideToUtf8(pointer.lastError());
    EXPECT_NE(notesOf(pointer).find("a reference at line " + std::to_string(lineOf(named, "340\nStandard"))
                                    + " named no handle and was made the null handle"),
              std::string::npos)
        << notesOf(pointer);
    EXPECT_NE(pointer.dxfOut().find("AcDbFooObject\n340\n0\n"), std::string::npos);
    // One such value: said so in the singular.
    AcDbDatabase one(false);
    ASSERT_EQ(one.readDxfText(drawingWith(" 70\n1.0\n"), "one.dxf"), Acad::eOk);
    EXPECT_NE(notesOf(one).find("an integer written as a real at line "), std::string::npos) << notesOf(one);
    // Group code 9 is ordinary text outside the header.
    AcDbDatabase material(false);
    ASSERT_EQ(material.readDxfText(drawingWith("", "  9\n\n"), "material.dxf"), Acad::eOk)
        << wideToUtf8(material.lastError());
    EXPECT_EQ(notesOf(material).find("header variable"), std::string::npos);
}

bool noTemporaryFiles(const std::string& dir)
{
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        (void)entry;
        ++files;
    }
    return files == 1;
}

TEST(DxfTagsTest, SavingANonFiniteNumberOrALineBreakFailsNamingHandleAndCodeAndKeepsTheOldFile)
{
    TempDir dir;
    const std::string path = dir.file("a.dxf");
    AcDbDatabase db;
    AcDbObjectId id;
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    ASSERT_EQ(AcDbInternals::modelSpace(db)->appendAcDbEntity(id, line), Acad::eOk);
    ASSERT_EQ(db.saveAs(utf8ToWide(path).c_str()), Acad::eOk);
    const std::string old = testutil::readFile(path);
    const std::string handle = dxf::formatHandle(line->handle());
    const auto saveFails = [&](const std::string& what) {
        SCOPED_TRACE(what);
        EXPECT_NE(db.saveAs(utf8ToWide(path).c_str()), Acad::eOk);
        const std::string message = wideToUtf8(db.lastError());
        EXPECT_NE(message.find("cannot save " + path + ": " + what), std::string::npos) << message;
        EXPECT_EQ(testutil::readFile(path), old);
        EXPECT_TRUE(noTemporaryFiles(dir.path()));
    };

    // A coordinate.
    // A coordinate (the setters refuse it: put it in as the reader would).
    testutil::pokePointField(*line, 11, 1, std::numeric_limits<double>::quiet_NaN());
    saveFails("LINE (handle " + handle + "), group code 21: nan is not a finite number");
    testutil::pokePointField(*line, 11, 1, 1.0);
    // A real of extended data (the API refuses it; the host's own
    // accessor does not look).
    db.registerApp("APP1");
    line->xdataGroups().assign({AcDbXAppData{"APP1", {AcDbXItem{1040, -HUGE_VAL}}}});
    saveFails("LINE (handle " + handle + "), group code 1040: -inf is not a finite number");
    line->xdataGroups().clear();
    // A kept tag, and a text with a line break, which would split the file.
    line->extraTags().push_back(AcDbExtraTag{2, 40, "inf"});
    saveFails("LINE (handle " + handle + "), group code 40: 'inf' is not a finite number");
    line->extraTags().clear();
    auto* text = new AcDbText(AcGePoint3d(), L"two\nlines", 1.0);
    AcDbInternals::modelSpace(db)->appendAcDbEntity(text);
    saveFails("TEXT (handle " + dxf::formatHandle(text->handle()) + "), group code 1: the value holds a line break");

    // An integer out of its group code's range.
    std::string buffer;
    dxf::TagWriter w(buffer);
    w.str(0, "FOO");
    w.handle(5, 0x2C);
    try {
        w.integer(70, 40000);
        ADD_FAILURE() << "written: " << buffer;
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "FOO (handle 2C), group code 70: 40000 is out of range for a 16-bit integer");
    }
    EXPECT_EQ(buffer, "  0\nFOO\n  5\n2C\n");
}

// Data handed out at most `piece` bytes at a time, as a file may be.
class PieceSource final : public dxf::ByteSource {
public:
    PieceSource(std::string_view data, std::size_t piece) : m_data(data), m_piece(piece) {}
    std::size_t read(char* buf, std::size_t n) override
    {
        const std::size_t k = std::min({n, m_piece, m_data.size() - m_at});
        std::memcpy(buf, m_data.data() + m_at, k);
        m_at += k;
        return k;
    }

private:
    std::string_view m_data;
    std::size_t m_piece;
    std::size_t m_at = 0;
};

// What reading gives: the drawing written back with its notes, or the
// position and message of the refusal.
std::string outcome(const std::function<void(AcDbDatabase&)>& read)
{
    AcDbDatabase db(false);
    try {
        read(db);
    } catch (const dxf::DxfError& e) {
        return "refused at " + std::to_string(e.line()) + ": " + e.what();
    }
    return db.dxfOut() + "--\n" + notesOf(db);
}

// Reading from a source in blocks of every small size (each tag then runs
// out of data somewhere, and the blocks before it are freed as the reader
// goes) gives what reading the data whole gives.
void expectSameInBlocks(const std::string& data)
{
    const std::string whole = outcome([&](AcDbDatabase& db) { dxf::readDatabase(db, data); });
    for (std::size_t block : {1, 2, 3, 5, 8, 13, 64, 1000})
        for (std::size_t piece : {std::size_t{1}, std::size_t{7}, data.size() + 1}) {
            PieceSource source(data, piece);
            const std::string streamed
                = outcome([&](AcDbDatabase& db) { dxf::readDatabase(db, source, block); });
            ASSERT_EQ(streamed, whole) << "blocks of " << block << " bytes, read " << piece << " at a time";
        }
}

// Binary DXF with 2-byte group codes.
struct BinaryWriter {
    std::string data{"AutoCAD Binary DXF\r\n\x1a\0", 22};
    void code(int c)
    {
        data.push_back(static_cast<char>(c & 0xff));
        data.push_back(static_cast<char>((c >> 8) & 0xff));
    }
    void text(int c, std::string_view v)
    {
        code(c);
        data.append(v);
        data.push_back('\0');
    }
    void real(int c, double v)
    {
        code(c);
        char bytes[8];
        std::memcpy(bytes, &v, 8);
        data.append(bytes, 8);
    }
    void int16(int c, int v)
    {
        code(c);
        data.push_back(static_cast<char>(v & 0xff));
        data.push_back(static_cast<char>((v >> 8) & 0xff));
    }
};

TEST(DxfTagsTest, AFileReadInBlocksReadsAsTheWholeTextWhereverTheBlocksEnd)
{
    // Text: the host's own drawing, with CR LF line ends, blank-padded
    // codes and a comment, a text longer than a block, a last line without
    // its line end, and repairs noted with their lines.
    AcDbDatabase db;
    AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1.5, -2.25, 0)));
    AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbText(AcGePoint3d(2, 2, 0), std::wstring(3000, L'x').c_str(), 2.5));
    const std::string own = db.dxfOut();
    expectSameInBlocks(own);
    std::string crlf;
    for (char c : drawingWith(" 40\n2.5\n 70\n1.0\n")) {
        if (c == '\n')
            crlf += '\r';
        crlf += c;
    }
    expectSameInBlocks("999\ncomment\n" + crlf);
    expectSameInBlocks(own.substr(0, own.size() - 1));
    // Damage: refused at the same line, wherever the file is cut.
    const std::string damaged = drawingWith(" 40\n2n5\n");
    expectSameInBlocks(damaged);
    for (std::size_t cut = 0; cut < damaged.size(); cut += 7)
        expectSameInBlocks(damaged.substr(0, cut));

    // Binary: numbers, a long text, and cuts at every byte (refused with
    // the same byte offset).
    BinaryWriter b;
    b.text(0, "SECTION");
    b.text(2, "ENTITIES");
    b.text(0, "LINE");
    b.text(8, std::string(300, 'L'));
    b.int16(62, 3);
    b.real(10, 1.5);
    b.real(20, -2.25);
    b.real(11, 0.1);
    b.real(21, 1e-300);
    b.text(0, "ENDSEC");
    b.text(0, "EOF");
    expectSameInBlocks(b.data);
    for (std::size_t cut = 0; cut < b.data.size(); ++cut)
        expectSameInBlocks(b.data.substr(0, cut));
}

TEST(DxfTagsTest, AFileIsReadInBlocksNotWhole)
{
    // A drawing of some megabytes: the reader never asks for more than a
    // block at a time, and reads the file once.
    AcDbDatabase db;
    for (int i = 0; i < 40000; ++i)
        AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbLine(AcGePoint3d(i, 0, 0), AcGePoint3d(i + 0.5, 1, 0)));
    const std::string text = db.dxfOut();
    ASSERT_GT(text.size(), 3 * dxf::Tagger::kBlockBytes);
    struct Counting final : dxf::ByteSource {
        std::string_view data;
        std::size_t at = 0, largest = 0;
        std::size_t read(char* buf, std::size_t n) override
        {
            largest = std::max(largest, n);
            const std::size_t k = std::min(n, data.size() - at);
            std::memcpy(buf, data.data() + at, k);
            at += k;
            return k;
        }
    } source;
    source.data = text;
    AcDbDatabase again(false);
    dxf::readDatabase(again, source);
    EXPECT_EQ(source.at, text.size());
    EXPECT_LE(source.largest, dxf::Tagger::kBlockBytes);
    EXPECT_EQ(again.dxfOut(), text);
}

} // namespace
