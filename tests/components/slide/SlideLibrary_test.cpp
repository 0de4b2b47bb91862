#include "components/slide/SlideLibrary.h"
#include "components/slide/SlideWriter.h"

#include "SlideTestBytes.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <sys/stat.h>

using namespace ctrlsch::slide;

namespace {

std::vector<std::uint8_t> squareSlide(int colour, double size)
{
    SlideWriter w(300, 200);
    w.addSegment({0, 0}, {size, 0}, colour);
    w.addSegment({size, 0}, {size, size}, colour);
    w.addSegment({size, size}, {0, size}, colour);
    w.addSegment({0, size}, {0, 0}, colour);
    w.addFill({{size / 4, size / 4}, {size / 2, size / 4}, {size / 2, size / 2}}, colour + 1);
    auto b = w.bytes();
    EXPECT_TRUE(b.ok()) << b.error();
    return b.ok() ? b.value() : std::vector<std::uint8_t>{};
}

struct ThreeSlides {
    std::vector<std::uint8_t> a = squareSlide(1, 10), b = squareSlide(3, 5), c = squareSlide(5, 2);
    std::vector<std::uint8_t> library()
    {
        SlideLibraryWriter w;
        EXPECT_TRUE(w.add("motor", a).ok());
        EXPECT_TRUE(w.add("Relay_NO", b).ok());
        EXPECT_TRUE(w.add("LAMP", c).ok());
        return w.bytes();
    }
};

void putOffset(std::vector<std::uint8_t>& lib, std::size_t entry, std::uint32_t offset)
{
    for (int i = 0; i < 4; ++i)
        lib[32 + 36 * entry + 32 + i] = static_cast<std::uint8_t>(offset >> (8 * i));
}

} // namespace

TEST(SlideLibraryRoundTrip, NamesOffsetsAndSlides)
{
    ThreeSlides t;
    const auto bytes = t.library();
    auto lib = SlideLibrary::parse(bytes);
    ASSERT_TRUE(lib.ok()) << lib.error();
    const SlideLibrary& l = lib.value();
    ASSERT_EQ(l.size(), 3u);
    EXPECT_EQ(l.entries()[0].name, "MOTOR");
    EXPECT_EQ(l.entries()[1].name, "RELAY_NO");
    EXPECT_EQ(l.entries()[2].name, "LAMP");
    // Slides follow the header and four directory entries, end to end.
    EXPECT_EQ(l.entries()[0].offset, 32u + 4 * 36);
    EXPECT_EQ(l.entries()[1].offset, l.entries()[0].offset + t.a.size());
    EXPECT_EQ(l.entries()[2].offset + t.c.size(), bytes.size());

    auto byName = l.slideBytes("relay_no");
    ASSERT_TRUE(byName.has_value());
    EXPECT_EQ(std::vector<std::uint8_t>(byName->begin(), byName->end()), t.b);
    auto byPos = l.slideBytes(2);
    EXPECT_EQ(std::vector<std::uint8_t>(byPos.begin(), byPos.end()), t.c);
    EXPECT_FALSE(l.slideBytes("VALVE").has_value());
    EXPECT_TRUE(l.slideBytes(3).empty());

    auto motor = l.slide("Motor");
    ASSERT_TRUE(motor.ok()) << motor.error();
    EXPECT_EQ(motor.value().primitives, parseSlide(t.a).value().primitives);
    EXPECT_FALSE(l.slide("VALVE").ok());
    EXPECT_FALSE(l.slide(7).ok());
}

TEST(SlideLibraryRoundTrip, EmptyLibraryHasOnlyTheEndEntry)
{
    SlideLibraryWriter w;
    const auto bytes = w.bytes();
    EXPECT_EQ(bytes.size(), 32u + 36);
    auto lib = SlideLibrary::parse(bytes);
    ASSERT_TRUE(lib.ok()) << lib.error();
    EXPECT_EQ(lib.value().size(), 0u);
}

TEST(SlideLibraryWriterTest, RejectsBadNamesAndBadSlides)
{
    SlideLibraryWriter w;
    const auto s = squareSlide(1, 1);
    EXPECT_TRUE(w.add("K1", s).ok());
    EXPECT_FALSE(w.add("k1", s).ok());
    EXPECT_FALSE(w.add("", s).ok());
    EXPECT_FALSE(w.add(std::string(32, 'X'), s).ok());
    EXPECT_TRUE(w.add(std::string(31, 'X'), s).ok());
    EXPECT_FALSE(w.add("BROKEN", std::vector<std::uint8_t>(s.begin(), s.end() - 1)).ok());
    EXPECT_EQ(w.size(), 2u);
}

TEST(SlideLibraryDamage, EveryCutInsideTheDirectoryIsAnError)
{
    ThreeSlides t;
    const auto bytes = t.library();
    const std::size_t directoryEnd = 32 + 4 * 36;
    for (std::size_t n = 0; n < directoryEnd; ++n) {
        std::vector<std::uint8_t> cut(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_FALSE(SlideLibrary::parse(cut).ok()) << "cut at " << n;
    }
    // Cut inside the last slide: the directory is fine, the slide is not.
    std::vector<std::uint8_t> cut(bytes.begin(), bytes.end() - 3);
    auto lib = SlideLibrary::parse(cut);
    ASSERT_TRUE(lib.ok()) << lib.error();
    EXPECT_TRUE(lib.value().slide("MOTOR").ok());
    EXPECT_FALSE(lib.value().slide("LAMP").ok());
}

TEST(SlideLibraryDamage, BadHeaderOffsetsAndNames)
{
    ThreeSlides t;
    const auto good = t.library();
    auto expectError = [](const std::vector<std::uint8_t>& b, const std::string& what) {
        auto r = SlideLibrary::parse(b);
        ASSERT_FALSE(r.ok()) << what;
        EXPECT_NE(r.error().find(what), std::string::npos) << r.error();
    };
    auto b = good;
    b[22] = '2'; // "Library 2.0"
    expectError(b, "header");
    b = good;
    putOffset(b, 1, static_cast<std::uint32_t>(good.size()));
    expectError(b, "outside the file");
    b = good;
    putOffset(b, 2, 0xFFFFFFF0u);
    expectError(b, "outside the file");
    b = good;
    putOffset(b, 0, 40);
    expectError(b, "overlaps the directory");
    b = good;
    putOffset(b, 2, 32 + 3 * 36 + 4); // inside the end entry
    expectError(b, "overlaps the directory");
    b = good;
    putOffset(b, 2, 32 + 4 * 36);
    expectError(b, "share an offset");
    b = good;
    std::fill(b.begin() + 32 + 36, b.begin() + 32 + 36 + 32, 'Q');
    expectError(b, "not terminated");
    b = good;
    std::copy_n("MOTOR", 6, b.begin() + 32 + 36);
    expectError(b, "twice");
    // A directory whose end entry was overwritten runs into the slides.
    b = good;
    std::copy_n("VALVE", 6, b.begin() + 32 + 3 * 36);
    EXPECT_FALSE(SlideLibrary::parse(b).ok());
}

// A folder in the library's place made the reading stream throw; a named
// pipe made it wait for ever. Both are refused at once, and a library
// file cut short is damage, not a fault.
TEST(SlideLibraryFile, AFolderPipeOrShortFileIsAnErrorAtOnce)
{
    testutil::TempDir dir;
    const std::string folder = dir.file("FOLDER.SLB"), pipe = dir.file("PIPE.SLB");
    ::mkdir(folder.c_str(), 0755);
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
    const testutil::ChildRun child = testutil::runInChild(
        [&] {
            bool missing = true;
            for (const std::string& path : {folder, pipe}) {
                const auto lib = SlideLibrary::readFile(path, &missing);
                std::printf("%s|%d|%s\n", lib.ok() ? "read" : "refused", missing ? 1 : 0, lib.error().c_str());
            }
            return 0;
        },
        10);
    ASSERT_TRUE(child.ended) << "blocked:\n" << child.output;
    EXPECT_EQ(child.signal, 0) << child.output;
    EXPECT_EQ(child.output, "refused|0|" + folder + ": a folder, not a file\nrefused|0|" + pipe
                                + ": a named pipe, not a file\n");

    ThreeSlides t;
    const std::vector<std::uint8_t> whole = t.library();
    const std::string cut = dir.file("CUT.SLB");
    testutil::writeFile(cut, std::string(whole.begin(), whole.begin() + 40));
    bool missing = true;
    const auto lib = SlideLibrary::readFile(cut, &missing);
    EXPECT_FALSE(lib.ok());
    EXPECT_FALSE(missing);
    EXPECT_NE(lib.error().find("directory not terminated"), std::string::npos) << lib.error();
    EXPECT_FALSE(SlideLibrary::readFile(dir.file("NONE.SLB"), &missing).ok());
    EXPECT_TRUE(missing);
}

#ifdef CTRLSCH_SLDTOPPM
// netpbm's sldtoppm reads our files independently of this code.
class SldToPpm : public ::testing::Test {
protected:
    testutil::TempDir dir;
    std::string lib = dir.file("SYMBOLS.SLB");
    void SetUp() override
    {
        ThreeSlides t;
        SlideLibraryWriter w;
        ASSERT_TRUE(w.add("motor", t.a).ok());
        ASSERT_TRUE(w.add("Relay_NO", t.b).ok());
        ASSERT_TRUE(w.add("LAMP", t.c).ok());
        ASSERT_TRUE(w.writeFile(lib).ok());
    }
    std::string tool() const { return testutil::shellQuote(CTRLSCH_SLDTOPPM); }
};

TEST_F(SldToPpm, ListsTheLibraryDirectory)
{
    std::string out;
    ASSERT_EQ(testutil::run(tool() + " -dir " + testutil::shellQuote(lib), out), 0) << out;
    for (const char* name : {"MOTOR", "RELAY_NO", "LAMP"})
        EXPECT_NE(out.find(name), std::string::npos) << out;
}

TEST_F(SldToPpm, DrawsASlideOfTheLibrary)
{
    const std::string ppm = dir.file("motor.ppm");
    std::string out;
    ASSERT_EQ(testutil::run(tool() + " -lib motor " + testutil::shellQuote(lib) + " > " + testutil::shellQuote(ppm),
                            out),
              0)
        << out;
    const std::string image = testutil::readFile(ppm);
    std::istringstream in(image);
    std::string magic;
    int width = 0, height = 0, maxval = 0;
    in >> magic >> width >> height >> maxval;
    ASSERT_EQ(magic, "P6");
    EXPECT_EQ(width, 300);
    EXPECT_EQ(height, 200);
    in.get();
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    const std::size_t start = static_cast<std::size_t>(in.tellg());
    ASSERT_EQ(image.size() - start, pixels * 3);
    std::size_t lit = 0;
    for (std::size_t i = 0; i < pixels; ++i)
        if (image[start + 3 * i] || image[start + 3 * i + 1] || image[start + 3 * i + 2])
            ++lit;
    // The square's outline (4 x 199 dots) and a filled triangle are drawn.
    EXPECT_GT(lit, 700u);
    EXPECT_LT(lit, pixels / 2);
}

TEST_F(SldToPpm, VerboseListingMatchesOurReader)
{
    std::string out;
    ASSERT_EQ(testutil::run("(" + tool() + " -verbose -lib relay_no " + testutil::shellQuote(lib) + " 2>&1 >/dev/null)",
                            out),
              0)
        << out;
    EXPECT_NE(out.find("screen size 300x200"), std::string::npos) << out;
    // Its listing of vectors and polygons, against what our reader makes of the same slide.
    auto lib2 = SlideLibrary::readFile(lib);
    ASSERT_TRUE(lib2.ok()) << lib2.error();
    auto slide = lib2.value().slide("RELAY_NO");
    ASSERT_TRUE(slide.ok()) << slide.error();
    const auto theirs = slidetest::sldtoppmListing(out);
    const auto ours = slidetest::listingOf(slide.value());
    EXPECT_EQ(ours.size(), 4u + 1 + 3);
    EXPECT_EQ(theirs, ours) << out;
}

#endif
