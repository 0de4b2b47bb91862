// One libFuzzer target: FUZZ_CHECK names the check of fuzz_checks.h it
// runs on every input (the build makes one program per check). A broken
// rule is printed and stops the run, so that libFuzzer keeps the input.
#include "fuzz_checks.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string broken = fuzzcheck::FUZZ_CHECK(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!broken.empty()) {
        std::fprintf(stderr, "\n%s: %s\n", FUZZ_TARGET_NAME, broken.c_str());
        std::abort();
    }
    return 0;
}
