#include "components/TalvoDbObject.h"

#include "host/dbmain.h"

#include <cmath>
#include <cstdlib>

bool KxDefineCommand(const ACHAR* group, const KxCmdTable* table, int count, int)
{
    if (!group || !table || count < 0)
        return false;
    bool ok = true;
    for (int i = 0; i < count; ++i)
        ok = acedRegCmds()->addCommand(group, table[i].globalName, table[i].globalName, table[i].flags,
                                       table[i].handler)
          && ok;
    return ok;
}

double KxDbGetPrintScale(AcDbDatabase* db)
{
    if (!db)
        return 1.0;
    const double s = std::atof(db->headerString("$DIMSCALE").c_str());
    return s > 0.0 && std::isfinite(s) ? s : 1.0;
}

bool AddToCurrentSpace(AcDbEntity* entity, AcDbObjectId* id)
{
    AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
    if (!db || !entity)
        return false;
    AcDbBlockTableRecord* space = nullptr;
    if (acdbOpenObject(space, db->modelSpaceId(), AcDb::kForWrite) != Acad::eOk) {
        delete entity;
        return false;
    }
    AcDbObjectId newId;
    const Acad::ErrorStatus es = space->appendAcDbEntity(newId, entity);
    space->close();
    if (es != Acad::eOk) {
        delete entity;
        return false;
    }
    entity->close();
    if (id)
        *id = newId;
    return true;
}
