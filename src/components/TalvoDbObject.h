// Drawing helpers the module takes from its closed database-object
// library: command groups, the print scale, adding to the current space.
#pragma once

#include "host/acrx.h"
#include "host/adsdefs.h"

class AcDbDatabase;
class AcDbEntity;
class AcDbObjectId;

// One command of a command group.
struct KxCmdTable {
    const ACHAR* globalName;
    AcRxFunctionPtr handler;
    int flags;
};

// Defines the command group with count commands on the host's command
// stack; the group is removed by name with removeGroup. reserved has no
// meaning.
bool KxDefineCommand(const ACHAR* group, const KxCmdTable* table, int count, int reserved);

// The plotting scale of a drawing ($DIMSCALE when positive and finite,
// else 1).
double KxDbGetPrintScale(AcDbDatabase* db);
// Appends the entity to the current space of the working drawing and
// closes it; the new id comes back in id. An entity the drawing refuses
// (one with a number that is not finite) is deleted, and false returned.
bool AddToCurrentSpace(AcDbEntity* entity, AcDbObjectId* id = nullptr);
