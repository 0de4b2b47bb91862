// The drawing database's internals, for the host's own code: the record
// behind every id, the undo journal, the spatial index, the file layer's
// field visitor and the database's bookkeeping of records and handles.
// dbmain.h keeps them private; AcDbInternals, a friend of the classes that
// hold them, is the one way in. This header is not among the public ones a
// plug-in is compiled against (CTRLSCH_HOST_API_HEADERS), so module code
// cannot reach them.
#pragma once

#include "host/dbmain.h"

#include <cstdint>
#include <memory>

// The host-private record behind an id.
struct AcDbStub {
    AcDbDatabase* db = nullptr;
    std::uint64_t handle = 0;
    std::unique_ptr<AcDbObject> object;
    AcDbStub* owner = nullptr;
    // False while the object's addition is undone.
    bool inDatabase = true;
};

class AcDbInternals {
public:
    AcDbInternals() = delete;

    // The record behind an id (null for the null id) or an object (null
    // while it is in no database).
    static AcDbStub* stub(const AcDbObjectId& id) { return id.stub(); }
    static AcDbStub* stub(const AcDbObject& object) { return object.stub(); }
    // Identity and open state, set by the database, the reader and undo.
    static void setStub(AcDbObject& object, AcDbStub* s) { object.setStub(s); }
    static void setOpenMode(AcDbObject& object, int mode) { object.setOpenMode(mode); }
    static void setErasedFlag(AcDbObject& object, bool erased) { object.setErasedFlag(erased); }

    // The file layer: an object's DXF fields and how the writer frames it.
    static void describeFields(AcDbObject& object, AcDbDxfFields& f) { object.describeFields(f); }
    using FileKind = AcDbObject::FileKind;
    static FileKind fileKind(const AcDbObject& object) { return object.fileKind(); }

    // Model space, not opened (null while a drawing being read has none).
    static AcDbBlockTableRecord* modelSpace(const AcDbDatabase& db) { return db.modelSpace(); }
    static AcDbUndoJournal& journal(AcDbDatabase& db) { return db.undoJournal(); }
    static host::SpatialIndex& spatialIndex(AcDbDatabase& db) { return db.spatialIndex(); }
    // Gives obj an identity with the handle (a fresh one when 0 or taken;
    // renumbered then tells so).
    static AcDbStub* newStub(AcDbDatabase& db, std::unique_ptr<AcDbObject> obj, std::uint64_t handle = 0,
                             bool* renumbered = nullptr)
    {
        return db.newStub(std::move(obj), handle, renumbered);
    }
    static AcDbStub* stubForHandle(const AcDbDatabase& db, std::uint64_t handle) { return db.stubForHandle(handle); }
};
