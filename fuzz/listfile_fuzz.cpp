// libFuzzer target for the symbol libraries' list files: any input reads
// as a catalogue and as an index into entries that keep the format's rules.
#include "library/SymbolLibrary.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return symbolListFuzzOne(data, size);
}
