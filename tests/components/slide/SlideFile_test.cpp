#include "components/slide/SlideFile.h"

#include "SlideTestBytes.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>

using namespace ctrlsch::slide;
using slidetest::Bytes;
using slidetest::SlideBytes;

namespace {

SlideBytes everyRecordKind(bool big)
{
    SlideBytes s(big);
    s.colour(3).vector(10, 20, 30, 40);       // last point (10, 20)
    s.offsetVector(2, -3, 5, 6);              // (12, 17) - (15, 26)
    s.commonEndpoint(1, 1);                   // (13, 18) - (12, 17)
    s.colour(5).fillRecord(3, -1).fillRecord(1, 1).fillRecord(9, 1).fillRecord(5, 8).fillRecord(0, -1);
    s.vector(200, 150, 0, 0);
    s.end();
    return s;
}

std::vector<SlidePrimitive> expectedEveryRecordKind()
{
    return {SlideSegment{{10, 20}, {30, 40}, 3}, SlideSegment{{12, 17}, {15, 26}, 3},
            SlideSegment{{13, 18}, {12, 17}, 3}, SlideFill{{{1, 1}, {9, 1}, {5, 8}}, 5},
            SlideSegment{{200, 150}, {0, 0}, 5}};
}

} // namespace

TEST(SlideRead, EveryRecordKindInBothByteOrders)
{
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        auto r = parseSlide(everyRecordKind(big).b);
        ASSERT_TRUE(r.ok()) << r.error();
        EXPECT_EQ(r.value().highX, 299);
        EXPECT_EQ(r.value().highY, 199);
        EXPECT_NEAR(r.value().aspectRatio, 1.5025125, 1e-9);
        EXPECT_EQ(r.value().level, 2);
        EXPECT_EQ(r.value().bigEndian, big);
        EXPECT_EQ(r.value().primitives, expectedEveryRecordKind());
    }
}

TEST(SlideRead, LevelOneHeader)
{
    Bytes b = SlideBytes().b;
    b.resize(19);
    b[18] = 1;
    const Bytes size{0x3F, 0x01, 0xC7, 0x00}; // 319 x 199
    b.insert(b.end(), size.begin(), size.end());
    const double aspect = 1.25;
    std::uint8_t raw[8];
    std::memcpy(raw, &aspect, 8);
    b.insert(b.end(), raw, raw + 8);
    b.push_back(2); b.push_back(0); b.push_back(0); // hardware fill, filler
    ASSERT_EQ(b.size(), kSlideHeaderSizeLevel1);
    const Bytes records{0x07, 0xFF, 5, 0, 6, 0, 7, 0, 8, 0, 0xFF, 0xFE, 1, 0x00, 0xFC};
    b.insert(b.end(), records.begin(), records.end());
    auto r = parseSlide(b);
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_EQ(r.value().level, 1);
    EXPECT_EQ(r.value().highX, 319);
    EXPECT_EQ(r.value().highY, 199);
    EXPECT_DOUBLE_EQ(r.value().aspectRatio, 1.25);
    EXPECT_EQ(r.value().hardwareFill, 2);
    const std::vector<SlidePrimitive> want{SlideSegment{{5, 6}, {7, 8}, 7}, SlideSegment{{4, 7}, {5, 6}, 7}};
    EXPECT_EQ(r.value().primitives, want);
}

TEST(SlideRead, EveryTruncationIsAnError)
{
    const Bytes full = everyRecordKind(false).b;
    ASSERT_TRUE(parseSlide(full).ok());
    for (std::size_t n = 0; n < full.size(); ++n) {
        // A copy of exactly n bytes, so reading past it is caught by the sanitizers.
        Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        auto r = parseSlide(cut);
        EXPECT_FALSE(r.ok()) << "cut at " << n;
        EXPECT_FALSE(r.error().empty());
    }
}

TEST(SlideRead, DamagedHeadersAreErrors)
{
    auto expectError = [](Bytes b, const std::string& what) {
        auto r = parseSlide(b);
        ASSERT_FALSE(r.ok()) << what;
        EXPECT_NE(r.error().find(what), std::string::npos) << r.error();
    };
    const Bytes good = SlideBytes().end().b;
    ASSERT_TRUE(parseSlide(good).ok());
    Bytes b = good;
    b[0] = 'a';
    expectError(b, "signature");
    b = good;
    b[17] = 0x55;
    expectError(b, "type byte");
    b = good;
    b[18] = 3;
    expectError(b, "level");
    b = good;
    b[29] = 0x12; b[30] = 0x12;
    expectError(b, "test number");
    b = good;
    b[27] = 1;
    expectError(b, "hardware fill");
    expectError(SlideBytes(false, 0, 199).end().b, "screen size");
    expectError(SlideBytes(false, 299, 199, 0).end().b, "aspect ratio");
}

TEST(SlideRead, InvalidRecordTypesAreErrors)
{
    for (int type = 0x80; type <= 0xFA; ++type) {
        SlideBytes s;
        s.colour(1).vector(1, 2, 3, 4).record(type).end();
        auto r = parseSlide(s.b);
        ASSERT_FALSE(r.ok()) << type;
        EXPECT_NE(r.error().find("invalid record type " + std::to_string(type)), std::string::npos) << r.error();
    }
}

TEST(SlideRead, BadFillsAreErrors)
{
    SlideBytes tooMany;
    tooMany.fillRecord(11, -1);
    for (int i = 0; i < 11; ++i)
        tooMany.fillRecord(i, i);
    tooMany.fillRecord(0, -1).end();
    EXPECT_NE(parseSlide(tooMany.b).error().find("more than 10"), std::string::npos);

    SlideBytes interrupted;
    interrupted.fillRecord(3, -1).fillRecord(1, 1).vector(1, 1, 2, 2).end();
    EXPECT_NE(parseSlide(interrupted.b).error().find("not closed"), std::string::npos);

    SlideBytes unclosed;
    unclosed.fillRecord(3, -1).fillRecord(1, 1).fillRecord(2, 2);
    EXPECT_NE(parseSlide(unclosed.b).error().find("inside a solid fill"), std::string::npos);
    unclosed.end();
    EXPECT_NE(parseSlide(unclosed.b).error().find("not closed"), std::string::npos);

    SlideBytes stray;
    stray.fillRecord(1, 1).end();
    EXPECT_NE(parseSlide(stray.b).error().find("outside a fill"), std::string::npos);

    SlideBytes ten;
    ten.fillRecord(10, -1);
    for (int i = 0; i < 10; ++i)
        ten.fillRecord(i, 2 * i);
    ten.fillRecord(0, -1).end();
    auto r = parseSlide(ten.b);
    ASSERT_TRUE(r.ok()) << r.error();
    EXPECT_EQ(std::get<SlideFill>(r.value().primitives.at(0)).vertices.size(), 10u);
}

TEST(SlideEncode, RoundTripKeepsEveryPrimitive)
{
    std::mt19937 rng(12345);
    Slide s;
    s.highX = 639;
    s.highY = 479;
    s.aspectRatio = 639.0 / 479.0;
    std::uniform_int_distribution<int> x(0, s.highX), y(0, s.highY), small(-3, 3), colour(0, 255);
    SlidePoint last;
    for (int i = 0; i < 300; ++i) {
        const int kind = i % 4;
        if (kind == 3) {
            SlideFill f{{}, colour(rng)};
            for (int k = 0; k < 3 + i % 8; ++k)
                f.vertices.push_back({x(rng), y(rng)});
            s.primitives.emplace_back(f);
            continue;
        }
        SlideSegment seg{{x(rng), y(rng)}, {x(rng), y(rng)}, i % 7 == 0 ? colour(rng) : 7};
        if (kind == 1) // near the last point: an offset or common-endpoint vector
            seg = {{std::clamp(last.x + small(rng), 0, s.highX), std::clamp(last.y + small(rng), 0, s.highY)},
                   i % 2 ? last : SlidePoint{std::clamp(last.x + small(rng), 0, s.highX), last.y}, 7};
        last = seg.from;
        s.primitives.emplace_back(seg);
    }
    auto bytes = encodeSlide(s);
    ASSERT_TRUE(bytes.ok()) << bytes.error();
    auto back = parseSlide(bytes.value());
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back.value().highX, s.highX);
    EXPECT_EQ(back.value().highY, s.highY);
    EXPECT_NEAR(back.value().aspectRatio, s.aspectRatio, 1e-7);
    EXPECT_FALSE(back.value().bigEndian);
    EXPECT_EQ(back.value().primitives, s.primitives);
}

TEST(SlideEncode, ChoosesTheShortestRecords)
{
    Slide s;
    s.highX = 299;
    s.highY = 199;
    s.primitives = {SlideSegment{{100, 100}, {200, 150}, 7},  // full: 8 bytes
                    SlideSegment{{110, 95}, {100, 100}, 7},   // common endpoint: 3
                    SlideSegment{{120, 90}, {90, 80}, 7},     // offset vector: 5
                    SlideSegment{{250, 10}, {120, 90}, 2}};   // colour 2 + full 8
    auto bytes = encodeSlide(s);
    ASSERT_TRUE(bytes.ok()) << bytes.error();
    EXPECT_EQ(bytes.value().size(), kSlideHeaderSizeLevel2 + 2 + 8 + 3 + 5 + 2 + 8 + 2);
    const auto& b = bytes.value();
    EXPECT_EQ(b[kSlideHeaderSizeLevel2 + 1], 0xFF); // starts with a colour
    EXPECT_EQ(b[kSlideHeaderSizeLevel2 + 2 + 8 + 1], 0xFE);
    EXPECT_EQ(b[kSlideHeaderSizeLevel2 + 2 + 8 + 3 + 1], 0xFB);
    EXPECT_EQ(b.back(), 0xFC);
}

// Regression: a slide whose first vector lay near the origin began with an
// offset vector from (0, 0), a point no reader has yet; sldtoppm drew it
// all off the screen.
TEST(SlideEncode, FirstVectorNearTheOriginIsAFullVector)
{
    Slide s;
    s.highX = 299;
    s.highY = 199;
    s.primitives = {SlideSegment{{51, 87}, {50, 100}, 7}, SlideSegment{{53, 74}, {51, 87}, 7}};
    auto bytes = encodeSlide(s);
    ASSERT_TRUE(bytes.ok()) << bytes.error();
    // Colour, a full vector, then a common-endpoint one.
    EXPECT_EQ(bytes.value().size(), kSlideHeaderSizeLevel2 + 2 + 8 + 3 + 2);
    EXPECT_LT(bytes.value()[kSlideHeaderSizeLevel2 + 2 + 1], 0x80) << "a full vector's high byte";
    auto back = parseSlide(bytes.value());
    ASSERT_TRUE(back.ok()) << back.error();
    EXPECT_EQ(back.value().primitives, s.primitives);
#ifdef CTRLSCH_SLDTOPPM
    testutil::TempDir dir;
    const std::string path = dir.file("NEAR.SLD");
    testutil::writeFile(path, std::string(bytes.value().begin(), bytes.value().end()));
    std::string out;
    ASSERT_EQ(testutil::run("(" + testutil::shellQuote(CTRLSCH_SLDTOPPM) + " -verbose " + testutil::shellQuote(path) +
                                " 2>&1 >/dev/null)",
                            out),
              0)
        << out;
    EXPECT_EQ(slidetest::sldtoppmListing(out), slidetest::listingOf(back.value())) << out;
#endif
}

TEST(SlideEncode, RejectsWhatASlideCannotHold)
{
    Slide s;
    s.highX = 99;
    s.highY = 99;
    s.primitives = {SlideSegment{{0, 0}, {100, 5}, 7}};
    EXPECT_FALSE(encodeSlide(s).ok());
    s.primitives = {SlideSegment{{0, 0}, {10, 5}, 256}};
    EXPECT_FALSE(encodeSlide(s).ok());
    s.primitives = {SlideFill{{{0, 0}, {1, 1}}, 7}};
    EXPECT_FALSE(encodeSlide(s).ok());
    s.primitives = {SlideFill{std::vector<SlidePoint>(11, SlidePoint{1, 1}), 7}};
    EXPECT_FALSE(encodeSlide(s).ok());
    s.primitives.clear();
    s.highX = 0;
    EXPECT_FALSE(encodeSlide(s).ok());
}

#ifdef CTRLSCH_SLDTOPPM
// netpbm's sldtoppm, an independent reader, sees the same vectors and
// polygons in our hand-built slides of either byte order.
TEST(SlideReadAgainstSldToPpm, HandBuiltSlidesInBothByteOrders)
{
    testutil::TempDir dir;
    for (bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        const Bytes b = everyRecordKind(big).b;
        const std::string path = dir.file(big ? "BIG.SLD" : "LITTLE.SLD");
        testutil::writeFile(path, std::string(b.begin(), b.end()));
        std::string out;
        ASSERT_EQ(testutil::run("(" + testutil::shellQuote(CTRLSCH_SLDTOPPM) + " -verbose " + testutil::shellQuote(path) +
                                    " 2>&1 >/dev/null)",
                                out),
                  0)
            << out;
        auto ours = parseSlide(b);
        ASSERT_TRUE(ours.ok()) << ours.error();
        EXPECT_EQ(slidetest::sldtoppmListing(out), slidetest::listingOf(ours.value())) << out;
    }
}
#endif
