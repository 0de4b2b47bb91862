// Every input kept for a fuzz target goes through the target's checks:
// the inputs that once broke a reader (tests/data/*fuzz-regressions), the
// committed seeds (fuzz/corpus/KIND), and copies of the seeds damaged at
// random, as the fuzzer damages them.
#include "fuzz_checks.h"

#include "SlideTestBytes.h"
#include "host/acapdoc.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

namespace {

using Check = std::string (*)(std::string_view);

// One kind of input: the folder of kept inputs, the committed seeds and
// the checks of the targets fed with it (from bytes, from a path).
struct Kind {
    const char* name;
    const char* regressions;
    std::vector<Check> checks;
    // Typed text: damage puts in printable characters only.
    bool typed = false;
};

std::ostream& operator<<(std::ostream& os, const Kind& k)
{
    return os << k.name;
}

const Kind kKinds[] = {
    {"dxf", "fuzz-regressions", {fuzzcheck::dxf, fuzzcheck::dxfFile}},
    {"slide", "slide-fuzz-regressions", {fuzzcheck::slide, fuzzcheck::slideFile}},
    {"listfile", "listfile-fuzz-regressions", {fuzzcheck::listFile, fuzzcheck::listFileFromPath}},
    {"lisp", "lisp-fuzz-regressions", {fuzzcheck::lisp}, true},
    {"settings", "settings-fuzz-regressions", {fuzzcheck::settings}},
};

class FuzzReplayTest : public ::testing::TestWithParam<Kind> {
protected:
    void TearDown() override
    {
        ::unsetenv("CTRLSCH_SETTINGS");
        host::setOutput(nullptr);
        host::setLineSource(nullptr);
        acDocManager->closeAll();
    }

    std::vector<std::filesystem::path> inputs(const std::string& folder) const
    {
        std::vector<std::filesystem::path> files;
        for (const auto& e : std::filesystem::directory_iterator(testutil::sourceDir() + folder))
            if (e.is_regular_file())
                files.push_back(e.path());
        std::sort(files.begin(), files.end());
        return files;
    }

    void expectKept(const std::string& name, const std::string& bytes) const
    {
        SCOPED_TRACE(name);
        for (Check check : GetParam().checks)
            EXPECT_EQ(check(bytes), "");
    }
};

TEST_P(FuzzReplayTest, EveryRegressionKeepsTheRules)
{
    const auto files = inputs(std::string("/tests/data/") + GetParam().regressions);
    for (const auto& f : files)
        expectKept(f.filename().string(), testutil::readFile(f.string()));
    EXPECT_FALSE(files.empty());
}

TEST_P(FuzzReplayTest, EverySeedKeepsTheRules)
{
    const auto files = inputs(std::string("/fuzz/corpus/") + GetParam().name);
    for (const auto& f : files)
        expectKept(f.filename().string(), testutil::readFile(f.string()));
    EXPECT_FALSE(files.empty());
}

// Bytes changed, inserted, removed and cut off, as the fuzzer mutates.
TEST_P(FuzzReplayTest, DamagedSeedsKeepTheRules)
{
    std::mt19937 rng(20240601);
    const auto anyByte = [&] {
        return static_cast<char>(GetParam().typed ? ' ' + static_cast<int>(rng() % 95) : static_cast<int>(rng() % 256));
    };
    for (const auto& f : inputs(std::string("/fuzz/corpus/") + GetParam().name)) {
        const std::string seed = testutil::readFile(f.string());
        for (int i = 0; i < 40; ++i) {
            std::string bytes = seed;
            for (int n = 1 + static_cast<int>(rng() % 4); n > 0 && !bytes.empty(); --n) {
                const std::size_t at = rng() % bytes.size();
                switch (rng() % 4) {
                case 0: bytes[at] = anyByte(); break;
                case 1: bytes.insert(at, 1, anyByte()); break;
                case 2: bytes.erase(at, 1 + rng() % 8); break;
                default: bytes.resize(at); break;
                }
            }
            expectKept(f.filename().string() + " damaged #" + std::to_string(i), bytes);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, FuzzReplayTest, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

// A slide with every kind of record, damaged byte by byte and cut short:
// read or refused with a message, whatever the damage.
TEST(SlideFuzzCheckTest, SurvivesDamagedSlides)
{
    slidetest::SlideBytes s(true);
    s.colour(3).vector(10, 20, 30, 40);
    s.offsetVector(2, -3, 5, 6);
    s.commonEndpoint(1, 1);
    s.colour(5).fillRecord(3, -1).fillRecord(1, 1).fillRecord(9, 1).fillRecord(5, 8).fillRecord(0, -1);
    s.end();
    const std::string slide(s.b.begin(), s.b.end());
    ASSERT_EQ(fuzzcheck::slide(slide), "");
    std::mt19937 rng(7);
    for (int i = 0; i < 2000; ++i) {
        std::string m = slide;
        m[rng() % m.size()] = static_cast<char>(rng());
        m.resize(rng() % (m.size() + 1));
        ASSERT_EQ(fuzzcheck::slide(m), "") << "damage #" << i;
    }
}

} // namespace
