// What the selection files share: the drawing they look at and the
// entities in it that count. Private to the selection files of the host.
#pragma once

#include "host/dbmain.h"

#include <string>
#include <vector>

namespace host::sel {

AcDbDatabase* currentDb();
// The current drawing's model space; null without a drawing.
const AcDbBlockTableRecord* currentModelSpace();
const AcDbEntity* liveEntity(const AcDbObjectId& id);

// Names of layers that are off or frozen: their entities are not drawn and
// cannot be picked or windowed.
std::vector<std::string> hiddenLayers(const AcDbDatabase* db);
bool onHiddenLayer(const AcDbEntity& e, const std::vector<std::string>& hidden);

const AcDbBlockTableRecord* blockOf(const AcDbBlockReference& ref);

constexpr int kMaxDepth = 16;
// Copies of one multiple insert that picking and window tests look at; a
// damaged file's grid of millions is judged by its first copies (and by its
// box, which covers them all).
constexpr long long kMaxCopies = 100000;

long long copiesToVisit(const AcDbBlockReference& ref);

} // namespace host::sel
