// libFuzzer target for slide files and slide libraries: any input is read
// or refused with a message, and what is read writes and reads back.
#include "components/slide/SlideFile.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return ctrlsch::slide::slideFuzzOne(data, size);
}
