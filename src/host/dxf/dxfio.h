// The typed level of DXF files: databases and objects to and from tags.
// Host-internal; the module reads and writes drawings through AcDbDatabase.
#pragma once

#include "host/dbmain.h"
#include "host/dxf/tags.h"

#include <string>

namespace dxf {

// Fills an empty database from DXF text or binary DXF. Throws DxfError
// (with the line, or the byte offset of a binary file) on damage that
// cannot be repaired; repairs are noted in loadNotes().
void readDatabase(AcDbDatabase& db, std::string_view text);
// The same from a file read in blocks (see Tagger), never held whole.
void readDatabase(AcDbDatabase& db, ByteSource& source, std::size_t blockBytes = Tagger::kBlockBytes);

// Throws DxfWriteError when the drawing holds a value no file may hold.
std::string writeDatabase(const AcDbDatabase& db);
// Streams the drawing into a temporary file beside path, syncs it and
// renames it over path; on failure (a value no file may hold included)
// path is untouched and error says why.
bool saveDatabase(const AcDbDatabase& db, const std::string& path, std::string& error);
void writeObject(TagWriter& w, const AcDbObject& obj);
void writeXData(TagWriter& w, const AcDbXData& xdata);
// The tags an object is written with (for acdbEntGet and table searches).
void objectTags(const AcDbObject& obj, AcDbDxfTags& out);
// Writes through a temporary file in the same folder, renamed over path.
bool writeFileAtomically(const std::string& path, const std::string& data, std::string& error);

} // namespace dxf
