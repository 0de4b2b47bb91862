// Module code as the compiler sees it (build/include only), for the tests
// in CMakeLists.txt: as it stands it does what a plug-in does through the
// host's public interface and must compile (module_reaches_host_api); with
// -DCALL_HOST_INTERNALS it also calls each of the database's internals,
// which the public headers keep private, and every call must be refused
// (module_cannot_call_host_internals, module_cannot_call_host.cmake).
#include "host/dbmain.h"

#include <unordered_set>

void drawThroughPublicApi(AcDbDatabase& db, AcDbDxfFields& fields)
{
    AcDbBlockTableRecord* space = nullptr;
    if (acdbOpenObject(space, db.modelSpaceId(), AcDb::kForWrite) != Acad::eOk)
        return;
    AcDbObjectId id;
    auto* line = new AcDbLine(AcGePoint3d(0, 0, 0), AcGePoint3d(1, 1, 0));
    if (space->appendAcDbEntity(id, line) == Acad::eOk)
        line->close();
    else
        delete line;
    const std::unordered_set<AcDbObjectId> seen{id, space->objectId()};
    space->close();
    (void)seen;
    (void)fields;
#ifdef CALL_HOST_INTERNALS
    db.modelSpace();
    db.undoJournal();
    db.spatialIndex();
    db.newStub(nullptr);
    db.stubForHandle(1);
    id.stub();
    line->stub();
    line->setStub(nullptr);
    line->setOpenMode(AcDb::kForWrite);
    line->setErasedFlag(true);
    line->describeFields(fields);
    line->fileKind();
    AcDbStub* stub = nullptr;
    (void)stub->object;
#endif
}
