// INSERT: a block of the drawing, or a drawing file imported as a block
// with the definitions its entities need.
#include "host/commands_internal.h"
#include "host/dbinternal.h"

#include <cstdlib>

namespace host::cmd {

namespace {

std::string fileStem(const std::string& path)
{
    std::string p = path;
    const std::size_t slash = p.find_last_of("/\\");
    if (slash != std::string::npos)
        p = p.substr(slash + 1);
    const std::size_t dot = p.rfind('.');
    return dot == std::string::npos ? p : p.substr(0, dot);
}

AcDbSymbolTableRecord* recordOf(const AcDbObjectId& id)
{
    return id.isValid() ? dynamic_cast<AcDbSymbolTableRecord*>(AcDbInternals::stub(id)->object.get()) : nullptr;
}

// Copies the definitions a drawing's entities need into another drawing:
// layers, linetypes, application names and nested blocks (by name; what the
// target has already is kept).
class DefinitionCopier {
public:
    DefinitionCopier(const AcDbDatabase& src, AcDbDatabase& dst) : m_src(src), m_dst(dst) {}

    void copyTableRecord(const char* table, const std::string& name)
    {
        AcDbSymbolTable* dt = m_dst.table(table);
        AcDbSymbolTable* st = m_src.table(table);
        if (!dt || !st || name.empty() || dt->has(name))
            return;
        AcDbSymbolTableRecord* rec = recordOf(st->getAt(name));
        if (!rec)
            return;
        auto copy = rec->cloneObject();
        AcDbObjectId id;
        if (m_dst.addSymbolTableRecord(id, static_cast<AcDbSymbolTableRecord*>(copy.get())) == Acad::eOk)
            copy.release();
    }

    // The target's block of that name, defined from the source's block or
    // entity list when missing.
    AcDbObjectId block(const std::string& name, const AcDbObjectIdArray& entities, const AcGePoint3d& base,
                       int depth = 0)
    {
        if (AcDbBlockTableRecord* have = m_dst.blockRecord(name))
            return have->objectId();
        if (depth > 32)
            return {};
        auto* rec = new AcDbBlockTableRecord();
        rec->setName(name);
        rec->setOrigin(base);
        AcDbObjectId recId;
        if (m_dst.addBlockTableRecord(recId, rec) != Acad::eOk) {
            delete rec;
            return {};
        }
        for (const AcDbObjectId& id : entities) {
            const AcDbEntity* e = liveEntity(id);
            if (!e)
                continue;
            std::unique_ptr<AcDbObject> copy = e->cloneObject();
            auto* ce = static_cast<AcDbEntity*>(copy.get());
            copyTableRecord("LAYER", ce->layerName());
            if (const AcDbLayerTableRecord* layer
                = dynamic_cast<const AcDbLayerTableRecord*>(recordOf(m_src.table("LAYER")->getAt(ce->layerName()))))
                copyTableRecord("LTYPE", layer->linetypeName());
            copyTableRecord("LTYPE", ce->linetypeName());
            for (const AcDbXGroup& g : ce->xdataGroups())
                m_dst.registerApp(std::string(g.app));
            if (auto* ref = dynamic_cast<AcDbBlockReference*>(ce)) {
                const AcDbBlockTableRecord* nested = m_src.blockRecord(ref->blockName());
                const AcDbObjectId target
                    = nested ? block(nested->name(), nested->entityIds(), nested->origin(), depth + 1) : AcDbObjectId();
                if (target.isNull())
                    continue;
                ref->setBlockTableRecord(target);
            }
            AcDbObjectId added;
            if (static_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(recId)->object.get())->appendAcDbEntity(added, ce)
                == Acad::eOk)
                copy.release();
        }
        return recId;
    }

private:
    const AcDbDatabase& m_src;
    AcDbDatabase& m_dst;
};

AcGePoint3d insertionBase(const AcDbDatabase& db)
{
    AcGePoint3d p;
    if (const AcDbHeaderVar* v = db.headerVar("$INSBASE"))
        for (const AcDbDxfTag& t : v->tags) {
            const double d = std::atof(t.value.c_str());
            if (t.code == 10)
                p.x = d;
            else if (t.code == 20)
                p.y = d;
            else if (t.code == 30)
                p.z = d;
        }
    return p;
}

// The block a name or a drawing file gives; a drawing defines its block
// (named after the file) on first use.
AcDbObjectId blockForInsert(const std::wstring& text)
{
    AcDbDatabase* db = workingDb();
    const std::string name = wideToUtf8(text);
    if (AcDbBlockTableRecord* rec = db->blockRecord(name); rec && !rec->isLayout())
        return rec->objectId();
    std::wstring file = text;
    if (file.size() < 4 || upperAscii(wideToUtf8(file.substr(file.size() - 4))) != ".DWG")
        if (upperAscii(wideToUtf8(file.substr(file.size() >= 4 ? file.size() - 4 : 0))) != ".DXF")
            file += L".dwg";
    ACHAR found[1024];
    if (acedFindFile(file.c_str(), found, 1024) != RTNORM) {
        message(L"\n找不到块或图形文件“" + text + L"”。\n");
        throw CommandEnd{RTERROR};
    }
    const std::string blockName = fileStem(wideToUtf8(text));
    if (AcDbBlockTableRecord* rec = db->blockRecord(blockName))
        return rec->objectId();
    AcDbDatabase src(false, true);
    if (src.readDwgFile(found) != Acad::eOk) {
        message(L"\n无法读取图形文件: " + src.lastError() + L"\n");
        throw CommandEnd{RTERROR};
    }
    DefinitionCopier copier(src, *db);
    const AcDbObjectId id = copier.block(blockName, AcDbInternals::modelSpace(src)->entityIds(), insertionBase(src));
    if (id.isNull()) {
        message(L"\n无法定义块“" + utf8ToWide(blockName) + L"”。\n");
        throw CommandEnd{RTERROR};
    }
    return id;
}

} // namespace

int cmdInsert(Replies& r)
{
    std::wstring name = r.text(L"\n输入块名: ");
    while (!name.empty() && name.back() == L' ')
        name.pop_back();
    if (name.empty())
        return RTNORM;
    const AcDbObjectId block = blockForInsert(name);
    AcGePoint3d at;
    r.point(L"\n指定插入点: ", at);
    const double one = 1.0;
    const double sx = r.real(L"\n输入 X 比例因子 <1>: ", &one, true);
    const double sy = r.real(L"\n输入 Y 比例因子或 <使用 X 比例因子>: ", &sx, true);
    const double zero = 0.0;
    const double angle = r.real(L"\n指定旋转角度 <0>: ", &zero);
    auto* ref = new AcDbBlockReference(at, block);
    ref->setScaleFactors(AcGeScale3d(sx, sy, sx));
    ref->setRotation(angle * kPi / 180.0);
    addToCurrentSpace(ref);
    return RTNORM;
}

} // namespace host::cmd
