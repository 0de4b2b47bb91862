// libFuzzer target for the DXF reader: any input either loads or is refused
// with a message; what loads is written, and what is written loads again
// and writes the same text.
#include "host/dbmain.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    AcDbDatabase db(false);
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (db.readDxfText(text, "fuzz.dxf") != Acad::eOk) {
        if (db.lastError().empty())
            std::abort(); // a refusal always says why
        return 0;
    }
    const std::string out = db.dxfOut();
    AcDbDatabase again(false);
    if (again.readDxfText(out, "again.dxf") != Acad::eOk)
        std::abort(); // what the host writes it must read
    if (again.dxfOut() != out)
        std::abort(); // and writing is stable
    return 0;
}
