// MOVE, MIRROR and ERASE on the chosen objects.
#include "host/commands_internal.h"
#include "host/dbinternal.h"

namespace host::cmd {

namespace {

AcDbObjectIdArray chosenObjects(Replies& r)
{
    AcDbObjectIdArray ids = r.objects();
    if (ids.empty()) {
        message(L"\n未选择对象。\n");
        throw CommandEnd{RTERROR};
    }
    return ids;
}

} // namespace

int cmdMove(Replies& r)
{
    const AcDbObjectIdArray ids = chosenObjects(r);
    AcGePoint3d base, to;
    r.point(L"\n指定基点或 [位移(D)] <位移>: ", base);
    AcGeVector3d d;
    if (r.point(L"\n指定第二个点或 <使用第一个点作为位移>: ", to, true, {}, nullptr, &base))
        d = to - base;
    else
        d = base - AcGePoint3d::kOrigin;
    transformAll(ids, AcGeMatrix3d::translation(d));
    return RTNORM;
}

int cmdMirror(Replies& r)
{
    const AcDbObjectIdArray ids = chosenObjects(r);
    AcGePoint3d p1, p2;
    r.point(L"\n指定镜像线的第一点: ", p1);
    r.point(L"\n指定镜像线的第二点: ", p2, false, {}, nullptr, &p1);
    if (p1.distanceTo(p2) <= 0.0) {
        message(L"\n镜像线的两点不能重合。\n");
        throw CommandEnd{RTERROR};
    }
    const std::wstring erase = r.choice(L"\n要删除源对象吗？[是(Y)/否(N)] <否>: ", L"Yes No", true);
    const AcGeMatrix3d m = AcGeMatrix3d::mirroring(p1, p2);
    for (const AcDbObjectId& id : ids) {
        AcDbEntity* e = liveEntity(id);
        if (!e)
            continue;
        std::unique_ptr<AcDbObject> copy = e->cloneObject();
        auto* ce = static_cast<AcDbEntity*>(copy.get());
        if (ce->transformBy(m) != Acad::eOk) {
            message(L"\n无法镜像对象。\n");
            throw CommandEnd{RTERROR};
        }
        AcDbObjectId added;
        auto* owner = static_cast<AcDbBlockTableRecord*>(AcDbInternals::stub(id)->owner->object.get());
        if (owner->appendAcDbEntity(added, ce) == Acad::eOk)
            copy.release();
    }
    if (erase == L"Yes")
        for (const AcDbObjectId& id : ids)
            if (AcDbEntity* e = liveEntity(id))
                e->erase();
    return RTNORM;
}

int cmdErase(Replies& r)
{
    for (const AcDbObjectId& id : r.objects())
        if (AcDbEntity* e = liveEntity(id))
            e->erase();
    return RTNORM;
}

} // namespace host::cmd
