// The DXF reader from bytes and from a path.
#include "fuzz_checks.h"
#include "scratch.h"

#include "host/dbmain.h"

namespace fuzzcheck {

namespace {

// What loads writes, reads back and writes the same text again.
std::string roundTrip(const AcDbDatabase& db)
{
    const std::string out = db.dxfOut();
    AcDbDatabase again(false);
    if (again.readDxfText(out, "again.dxf") != Acad::eOk)
        return "the written drawing does not read back: " + wideToUtf8(again.lastError());
    if (again.dxfOut() != out)
        return "the drawing read back writes different text";
    return {};
}

} // namespace

std::string dxf(std::string_view bytes)
{
    AcDbDatabase db(false);
    if (db.readDxfText(bytes, "fuzz.dxf") != Acad::eOk)
        return db.lastError().empty() ? "a refused drawing without a message" : std::string();
    return roundTrip(db);
}

std::string dxfFile(std::string_view bytes)
{
    const std::string in = writeScratch("in.dxf", bytes);
    if (in.empty())
        return {}; // the scratch folder is full: nothing to say about the reader
    AcDbDatabase fromBytes(false);
    const bool bytesRead = fromBytes.readDxfText(bytes, in) == Acad::eOk;
    AcDbDatabase db(false);
    const bool fileRead = db.readDwgFile(utf8ToWide(in).c_str()) == Acad::eOk;
    if (fileRead != bytesRead)
        return fileRead ? "a drawing refused from bytes opens from its file"
                        : "a drawing read from bytes is refused from its file: " + wideToUtf8(db.lastError());
    if (!fileRead)
        return db.lastError().empty() ? "a refused file without a message" : std::string();
    if (db.originalFileName() != utf8ToWide(in))
        return "the opened drawing does not know its file";
    const std::string text = db.dxfOut();
    if (text != fromBytes.dxfOut())
        return "the drawing opened from its file writes other text than from bytes";

    const std::string saved = scratchDir() + "/saved.dxf";
    if (db.saveAs(utf8ToWide(saved).c_str()) != Acad::eOk)
        return "an opened drawing does not save: " + wideToUtf8(db.lastError());
    bool ok = false;
    const std::string written = readScratch(saved, ok);
    if (!ok || written != text)
        return "the saved file is not the drawing's text";
    AcDbDatabase again(false);
    if (again.readDwgFile(utf8ToWide(saved).c_str()) != Acad::eOk)
        return "the saved file does not open: " + wideToUtf8(again.lastError());
    if (again.dxfOut() != text)
        return "the saved file opens into a different drawing";
    return {};
}

} // namespace fuzzcheck
