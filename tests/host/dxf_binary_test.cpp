// Binary DXF: what other programs write (ezdxf, every version) loads to the
// same drawing as the text file of the same document; every value kind and
// both group code widths are read; truncated and damaged files are refused
// with the file and the byte offset, the drawing left as it was; saving
// writes text.
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/dxf/tags.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>

using testutil::TempDir;

namespace {

// Binary DXF written from the format's description: the sentinel, then
// group codes of 1 byte (before R13; 255 escapes to a 2-byte code) or of
// 2 bytes, each followed by its value in the kind the code says. Each
// writer returns the byte offset of its tag.
class BinaryDxf {
public:
    explicit BinaryDxf(bool oneByteCodes) : m_oneByte(oneByteCodes)
    {
        m_data.assign("AutoCAD Binary DXF\r\n\x1a\0", 22);
    }
    std::size_t text(int code, std::string_view s)
    {
        const std::size_t at = groupCode(code);
        m_data.append(s);
        m_data.push_back('\0');
        return at;
    }
    std::size_t real(int code, double v)
    {
        const std::size_t at = groupCode(code);
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        little(bits, 8);
        return at;
    }
    std::size_t integer(int code, long long v, int bytes)
    {
        const std::size_t at = groupCode(code);
        little(static_cast<std::uint64_t>(v), bytes);
        return at;
    }
    std::size_t chunk(int code, std::string_view bytes)
    {
        const std::size_t at = groupCode(code);
        m_data.push_back(static_cast<char>(bytes.size()));
        m_data.append(bytes);
        return at;
    }
    std::size_t groupCode(int code)
    {
        const std::size_t at = m_data.size();
        if (m_oneByte && code >= 0 && code < 255) {
            m_data.push_back(static_cast<char>(code));
        } else {
            if (m_oneByte)
                m_data.push_back('\xff');
            little(static_cast<std::uint64_t>(code), 2);
        }
        return at;
    }
    void point(int code, double x, double y, double z)
    {
        real(code, x);
        real(code + 10, y);
        real(code + 20, z);
    }
    const std::string& data() const { return m_data; }

private:
    void little(std::uint64_t v, int bytes)
    {
        for (int i = 0; i < bytes; ++i)
            m_data.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
    }
    bool m_oneByte;
    std::string m_data;
};

bool isBinary(const std::string& data)
{
    return data.compare(0, 22, std::string("AutoCAD Binary DXF\r\n\x1a\0", 22)) == 0;
}

std::string xdataText(const AcDbObject* obj, const char* app)
{
    std::string out;
    resbuf* rb = obj->xData(utf8ToWide(app).c_str());
    for (resbuf* p = rb; p; p = p->rbnext) {
        out += std::to_string(p->restype) + ":";
        switch (acutRbKind(p->restype)) {
        case RbKind::String: out += wideToUtf8(p->resval.rstring); break;
        case RbKind::Real: out += std::to_string(p->resval.rreal); break;
        case RbKind::Short: out += std::to_string(p->resval.rint); break;
        case RbKind::Long: out += std::to_string(p->resval.rlong); break;
        case RbKind::Binary: {
            for (int i = 0; i < p->resval.rbinary.clen; ++i)
                out += std::to_string(static_cast<unsigned char>(p->resval.rbinary.buf[i])) + " ";
            break;
        }
        default: break;
        }
        out += ";";
    }
    acutRelRb(rb);
    return out;
}

// Reads data into a drawing that holds a point; on refusal the message,
// and the drawing still holds just that point.
std::string readError(const std::string& data, const std::string& name = "bad.dxf")
{
    AcDbDatabase db;
    AcDbInternals::modelSpace(db)->appendAcDbEntity(new AcDbPoint(AcGePoint3d(9, 9, 0)));
    const std::string before = db.dxfOut();
    EXPECT_NE(db.readDxfText(data, name), Acad::eOk);
    EXPECT_EQ(db.dxfOut(), before);
    return wideToUtf8(db.lastError());
}

// An old (R12) drawing: 1-byte codes, extended data behind the 255 escape.
BinaryDxf oldDrawing()
{
    BinaryDxf b(true);
    b.text(0, "SECTION");
    b.text(2, "TABLES");
    b.text(0, "TABLE");
    b.text(2, "APPID");
    b.integer(70, 1, 2);
    b.text(0, "APPID");
    b.text(2, "OLDAPP");
    b.integer(70, 0, 2);
    b.text(0, "ENDTAB");
    b.text(0, "ENDSEC");
    b.text(0, "SECTION");
    b.text(2, "ENTITIES");
    b.text(0, "LINE");
    b.text(8, "WIRE");
    b.integer(62, 3, 2);
    b.point(10, 1.5, -2.25, 0.0);
    b.point(11, 0.1, 1e-300, 123456789.125);
    b.text(1001, "OLDAPP");
    b.text(1000, "KM1");
    b.integer(1070, -7, 2);
    b.integer(1071, 70000, 4);
    b.real(1040, 2.5);
    b.chunk(1004, std::string("\x00\x10\xff", 3));
    b.text(0, "ENDSEC");
    b.text(0, "EOF");
    return b;
}

TEST(BinaryDxfTest, OldFilesWithOneByteCodesAndEscapedExtendedDataAreRead)
{
    const BinaryDxf b = oldDrawing();
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(b.data(), "old.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    auto lines = testutil::entitiesOf<AcDbLine>(AcDbInternals::modelSpace(db));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]->layerName(), "WIRE");
    EXPECT_EQ(lines[0]->colorIndex(), 3);
    // Doubles arrive to the last bit.
    EXPECT_EQ(lines[0]->startPoint(), AcGePoint3d(1.5, -2.25, 0.0));
    EXPECT_EQ(lines[0]->endPoint(), AcGePoint3d(0.1, 1e-300, 123456789.125));
    EXPECT_EQ(xdataText(lines[0], "OLDAPP"), "1001:OLDAPP;1000:KM1;1070:-7;1071:70000;1040:2.500000;1004:0 16 255 ;");
    // Saving writes text, which reads back to the same drawing.
    const std::string text = db.dxfOut();
    EXPECT_FALSE(isBinary(text));
    AcDbDatabase again(false);
    ASSERT_EQ(again.readDxfText(text, "again.dxf"), Acad::eOk) << wideToUtf8(again.lastError());
    EXPECT_EQ(again.dxfOut(), text);
}

TEST(BinaryDxfTest, TwoByteCodesAndEveryValueKindAreRead)
{
    BinaryDxf b(false);
    b.text(0, "SECTION");
    b.text(2, "HEADER");
    b.text(9, "$ACADVER");
    b.text(1, "AC1015");
    b.text(0, "ENDSEC");
    b.text(0, "SECTION");
    b.text(2, "ENTITIES");
    // An entity the host does not model keeps every tag as text.
    b.text(0, "FOOBAR");
    b.text(5, "2A");
    b.text(100, "AcDbEntity");
    b.text(8, "0");
    b.text(100, "AcDbFoobar");
    b.integer(70, -2, 2);
    b.integer(90, -123456789, 4);
    b.integer(160, 9007199254740993LL, 8);
    b.integer(290, 1, 1);
    b.chunk(310, std::string("\x01\xab\x00\x7f", 4));
    b.real(40, 0.30000000000000004);
    b.real(50, -1e-7);
    b.text(1, "text with blanks ");
    b.text(330, "1F");
    b.text(0, "ENDSEC");
    b.text(0, "EOF");
    AcDbDatabase db(false);
    ASSERT_EQ(db.readDxfText(b.data(), "kinds.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    const std::string text = db.dxfOut();
    const std::size_t at = text.find("AcDbFoobar");
    ASSERT_NE(at, std::string::npos) << text;
    EXPECT_NE(text.find("AcDbFoobar\n 70\n-2\n 90\n-123456789\n160\n9007199254740993\n290\n1\n310\n01AB007F\n"
                        " 40\n0.30000000000000004\n 50\n-1e-07\n  1\ntext with blanks \n330\n1F\n",
                        at),
              std::string::npos)
        << text.substr(at, 300);
}

TEST(BinaryDxfTest, TruncatedOrDamagedFilesAreRefusedWithTheByteOffset)
{
    BinaryDxf b(true);
    b.text(0, "SECTION");
    b.text(2, "ENTITIES");
    b.text(0, "LINE");
    b.text(8, "0");
    const std::size_t x = b.real(10, 1.0);
    const std::size_t layer = b.text(8, "WIRE");
    b.text(0, "ENDSEC");
    const std::size_t eof = b.text(0, "EOF");
    const std::string good = b.data();
    {
        AcDbDatabase db(false);
        ASSERT_EQ(db.readDxfText(good, "good.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
    }
    const auto offset = [](std::size_t at) { return "byte offset " + std::to_string(at) + ": "; };
    // Cut inside a real and inside a text: refused. Cut just before the end
    // marker, after a whole section: read in recover mode, as a text file.
    EXPECT_NE(readError(good.substr(0, x + 5), "cut.dxf").find("cut.dxf, " + offset(x) + "unexpected end of file"),
              std::string::npos);
    EXPECT_NE(readError(good.substr(0, layer + 3)).find(offset(layer) + "unexpected end of file: the text of group code 8"),
              std::string::npos);
    {
        AcDbDatabase db(false);
        ASSERT_EQ(db.readDxfText(good.substr(0, eof), "noeof.dxf"), Acad::eOk) << wideToUtf8(db.lastError());
        EXPECT_TRUE(db.isRecovered());
        EXPECT_EQ(AcDbInternals::modelSpace(db)->entityIds().size(), 1u);
    }
    // A real that is not a number.
    std::string nan = good;
    const double q = std::nan("");
    std::memcpy(&nan[x + 1], &q, sizeof q);
    EXPECT_NE(readError(nan).find(offset(x) + "group code 10: the value is not a finite number"), std::string::npos);
    // A group code beyond the DXF range, in either width.
    std::string wild = good;
    wild[layer] = '\xff';
    wild.insert(layer + 1, "\x00\x80", 2);
    EXPECT_NE(readError(wild).find(offset(layer) + "group code -32768 is not a DXF group code"), std::string::npos);
    BinaryDxf wide(false);
    wide.text(0, "SECTION");
    wide.text(2, "ENTITIES");
    wide.text(0, "LINE");
    const std::size_t big = wide.groupCode(1072);
    EXPECT_NE(readError(wide.data() + "x").find(offset(big) + "group code 1072 is not a DXF group code"),
              std::string::npos);
    // A line break inside a text could not be written back as text.
    std::string broken = good;
    broken[layer + 2] = '\n';
    EXPECT_NE(readError(broken).find(offset(layer) + "group code 8: the value holds a line break"), std::string::npos);
    // A damaged sentinel, and one cut short.
    std::string sentinel = good;
    sentinel[20] = 'X';
    EXPECT_NE(readError(sentinel).find("not the binary DXF sentinel"), std::string::npos);
    EXPECT_NE(readError(good.substr(0, 21)).find("not the binary DXF sentinel"), std::string::npos);
}

// Drawings ezdxf writes: the same document as text and as binary.
class BinaryDxfFromEzdxfTest : public testutil::EzdxfDrawingsTest {
protected:
    static void SetUpTestSuite() { makeDrawings("make_binary_drawings"); }
};

TEST_P(BinaryDxfFromEzdxfTest, BinaryFileLoadsToTheSameDrawingAsItsTextTwin)
{
    const std::string version = GetParam();
    const std::string textPath = s_dir->file(version + ".dxf");
    const std::string binaryPath = s_dir->file(version + "-bin.dxf");
    ASSERT_TRUE(isBinary(testutil::readFile(binaryPath)));
    AcDbDatabase text(false), binary(false);
    ASSERT_EQ(text.readDwgFile(utf8ToWide(textPath).c_str()), Acad::eOk) << wideToUtf8(text.lastError());
    ASSERT_EQ(binary.readDwgFile(utf8ToWide(binaryPath).c_str()), Acad::eOk) << wideToUtf8(binary.lastError());
    EXPECT_EQ(binary.dxfOut(), text.dxfOut());
    EXPECT_EQ(binary.loadNotes(), text.loadNotes());

    // And that drawing is the one ezdxf wrote: geometry, GBK text of old
    // versions, extended data of every kind, the layer's plot flag.
    auto lines = testutil::entitiesOf<AcDbLine>(AcDbInternals::modelSpace(binary));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1]->endPoint(), AcGePoint3d(-4.25, 1e-7, 123456.789));
    EXPECT_EQ(xdataText(lines[1], "BINKINDS"),
              "1001:BINKINDS;1002:{;1071:305419896;1070:-2;1004:0 127 128 255 ;1005:" + dxf::formatHandle(lines[1]->handle())
                  + ";1041:0.100000;1002:};");
    auto circles = testutil::entitiesOf<AcDbCircle>(AcDbInternals::modelSpace(binary));
    ASSERT_EQ(circles.size(), 1u);
    EXPECT_EQ(circles[0]->layerName(), "元件");
    if (version != "R12") {
        const AcDbObject* layer = AcDbInternals::stub(binary.table("LAYER")->getAt("NOPLOT"))->object.get();
        bool notPlotted = false;
        for (const AcDbExtraTag& t : layer->extraTags())
            notPlotted = notPlotted || (t.code == 290 && t.value == "0");
        EXPECT_TRUE(notPlotted);
    }

    // Saving writes text.
    TempDir out;
    ASSERT_EQ(binary.saveAs(utf8ToWide(out.file("saved.dxf")).c_str()), Acad::eOk);
    EXPECT_EQ(testutil::readFile(out.file("saved.dxf")), text.dxfOut());
}

INSTANTIATE_TEST_SUITE_P(Versions, BinaryDxfFromEzdxfTest,
                         ::testing::Values("R12", "R2000", "R2004", "R2007", "R2010", "R2013", "R2018"));

} // namespace
