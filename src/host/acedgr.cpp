// Temporary graphics and tracking input: acedGrDraw, acedRedraw,
// acedGrRead, acedDragGen.
#include "host/aced.h"

#include "host/acapdoc.h"
#include "host/commandline.h"
#include "host/hostcall.h"
#include "host/selection.h"
#include "host/tempgraphics.h"

#include <cstdio>
#include <optional>

namespace host {

TempGraphics& temporaryGraphics()
{
    static TempGraphics none;
    AcApDocument* doc = acDocManager->curDocument();
    if (!doc) {
        none = TempGraphics{};
        return none;
    }
    std::shared_ptr<void>& slot = doc->temporaryGraphicsSlot();
    if (!slot)
        slot = std::make_shared<TempGraphics>();
    return *static_cast<TempGraphics*>(slot.get());
}

void clearTemporaryGraphics()
{
    temporaryGraphics() = TempGraphics{};
}

} // namespace host

int acedGrDraw(const ads_point from, const ads_point to, int color, int hl)
{
    if (!from || !to)
        return RTERROR;
    host::TempVector v;
    v.from = AcGePoint3d(from[0], from[1], from[2]);
    v.to = AcGePoint3d(to[0], to[1], to[2]);
    v.color = color;
    v.highlight = hl != 0;
    auto& vectors = host::temporaryGraphics().vectors;
    if (color == -1) {
        // Complementing colour: the same vector drawn again is wiped out.
        for (auto it = vectors.begin(); it != vectors.end(); ++it)
            if (it->color == -1 && ((it->from == v.from && it->to == v.to) || (it->from == v.to && it->to == v.from))) {
                vectors.erase(it);
                return RTNORM;
            }
    }
    vectors.push_back(v);
    return RTNORM;
}

int acedRedraw(const ads_name ent, int mode)
{
    if (!ent || (ent[0] == 0 && ent[1] == 0)) {
        if (mode != 0)
            return RTERROR;
        host::clearTemporaryGraphics();
        return RTNORM;
    }
    AcDbObjectId id;
    if (acdbGetObjectId(id, ent) != Acad::eOk || !id.isValid())
        return RTERROR;
    host::TempGraphics& t = host::temporaryGraphics();
    auto drop = [&](AcDbObjectIdArray& ids) {
        int i;
        if (ids.find(id, i))
            ids.removeAt(i);
    };
    switch (mode) {
    case 1:
        drop(t.hidden);
        return RTNORM;
    case 2:
        if (!t.hidden.contains(id))
            t.hidden.append(id);
        return RTNORM;
    case 3:
        if (!t.highlighted.contains(id))
            t.highlighted.append(id);
        return RTNORM;
    case 4:
        drop(t.highlighted);
        return RTNORM;
    default:
        return RTERROR;
    }
}

namespace {

void fillPoint(resbuf* rb, double x, double y)
{
    rb->restype = RT3DPOINT;
    rb->resval.rpoint[0] = x;
    rb->resval.rpoint[1] = y;
    rb->resval.rpoint[2] = 0.0;
}

} // namespace

int acedGrRead(int track, int* type, resbuf* result)
{
    if (!type || !result)
        return RTERROR;
    std::optional<host::TrackingRead> tracking;
    if (track & 1)
        tracking.emplace();
    while (true) {
        host::InputEvent ev;
        if (!host::readInputEvent(ev)) {
            host::print("*取消*\n");
            return RTCAN;
        }
        result->rbnext = nullptr;
        switch (ev.kind) {
        case host::InputEvent::Kind::Key:
            *type = 2;
            result->restype = RTSHORT;
            result->resval.rint = static_cast<short>(ev.value);
            return RTNORM;
        case host::InputEvent::Kind::Move:
            if (!(track & 1))
                continue;
            *type = 5;
            fillPoint(result, ev.x, ev.y);
            return RTNORM;
        case host::InputEvent::Kind::Pick:
            *type = 3;
            fillPoint(result, ev.x, ev.y);
            return RTNORM;
        case host::InputEvent::Kind::Menu:
        case host::InputEvent::Kind::Aux:
            *type = ev.kind == host::InputEvent::Kind::Menu ? 4 : 11;
            result->restype = RTSHORT;
            result->resval.rint = static_cast<short>(ev.value);
            return RTNORM;
        case host::InputEvent::Kind::Right:
            *type = 25;
            result->restype = RTSHORT;
            result->resval.rint = 0;
            return RTNORM;
        }
    }
}

int acedDragGen(const ads_name ss, const ACHAR* prompt, int, AcDragFunc scnf, ads_point p)
{
    int bits = 0;
    std::wstring keywords;
    host::takeInitGet(bits, keywords);
    if (!ss || !host::selectionSetIds(ss) || !p)
        return RTERROR;
    if (prompt && *prompt)
        host::printWide(prompt);
    const host::TrackingRead tracking;
    // The dragged entities stay where they are; the picture shows them
    // carried by the callback's matrix until the drag ends.
    struct DragShown {
        explicit DragShown(const AcDbObjectIdArray& ids)
        {
            host::temporaryGraphics().drag = host::TempDrag{ids, AcGeMatrix3d(), false};
        }
        ~DragShown() { host::temporaryGraphics().drag = host::TempDrag{}; }
    } shown(*host::selectionSetIds(ss));
    while (true) {
        std::string reply;
        host::InputEvent ev;
        bool pointer = false;
        if (!host::readReplyOrPointer(reply, ev, pointer)) {
            host::print("*取消*\n");
            return RTCAN;
        }
        if (pointer) {
            switch (ev.kind) {
            case host::InputEvent::Kind::Move:
                if (scnf) {
                    ads_point at = {ev.x, ev.y, 0.0};
                    ads_matrix m;
                    if (scnf(at, m) == RTNORM) {
                        AcGeMatrix3d carried;
                        for (int i = 0; i < 4; ++i)
                            for (int j = 0; j < 4; ++j)
                                carried.entry[i][j] = m[i][j];
                        host::temporaryGraphics().drag.matrix = carried;
                        host::temporaryGraphics().drag.moved = true;
                    }
                }
                continue;
            case host::InputEvent::Kind::Pick:
                p[0] = ev.x;
                p[1] = ev.y;
                p[2] = 0.0;
                return RTNORM;
            case host::InputEvent::Kind::Right:
                return RTNONE;
            case host::InputEvent::Kind::Key:
                if (ev.value == 13)
                    return RTNONE;
                continue;
            default:
                continue;
            }
        }
        if (reply.empty())
            return RTNONE;
        std::wstring kw;
        if (!keywords.empty() && host::matchKeyword(keywords, reply, kw)) {
            host::setLastInput(kw);
            return RTKWORD;
        }
        bool outOfRange = false;
        if (host::parsePoint(reply, nullptr, p, &outOfRange)) {
            resbuf rb{};
            rb.restype = RT3DPOINT;
            rb.resval.rpoint[0] = p[0];
            rb.resval.rpoint[1] = p[1];
            rb.resval.rpoint[2] = p[2];
            acedSetVar(L"LASTPOINT", &rb);
            return RTNORM;
        }
        if (outOfRange) {
            host::print("\n点无效。\n");
            if (prompt && *prompt)
                host::printWide(prompt);
            continue;
        }
        host::setLastInput(utf8ToWide(reply));
        return RTSTR;
    }
}

int acdbFail(const ACHAR* str)
{
    host::printWide(str ? str : L"");
    return RTNORM;
}
