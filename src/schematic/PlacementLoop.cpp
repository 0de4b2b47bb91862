#include "schematic/PlacementLoop.h"

#include "components/NorvexGloFunc.h"
#include "components/NorvexScopes.h"
#include "components/TalvoDataBase.h"
#include "grid/PrinPicGrid.h"
#include "host/aced.h"
#include "library/YlthzDialog.h"
#include "schematic/DragInsert.h"
#include "schematic/SchematicDraw.h"
#include "schematic/SchematicXdata.h"

#include <cassert>
#include <cmath>
#include <cwchar>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr double kHalfPi = 1.5707963267948966;
constexpr double kDown = 4.71238898038469; // 3π/2
constexpr const wchar_t* kMainPrompt = L"\n请选择要绘制的符号<回车结束>:";
constexpr const wchar_t* kKeywords = L"close s t1 t2 t3 t4 t5 e1 e2 e3 e4 e5 e6 e7 e8";

AcGePoint3d polar(const AcGePoint3d& from, double angle, double distance)
{
    return AcGePoint3d(from.x + distance * std::cos(angle), from.y + distance * std::sin(angle), 0.0);
}

short errnoValue()
{
    resbuf rb{};
    return acedGetVar(L"ERRNO", &rb) == RTNORM ? rb.resval.rint : 0;
}

// How an action ended: the action's own end, or the whole loop's (Esc).
enum class Outcome { Done, Cancel };

class PlacementLoop {
public:
    PlacementLoop(CPrinPicGrid& grid, int startString, int stringCount, int startCell,
                  const AcDbExtents& startExtents, int mode)
        : g(grid), m_string(startString), m_cell(startCell), m_count(stringCount), m_mode(mode),
          m_startExtents(startExtents)
    {
        const bool column = g.IsColumnArrangement();
        m_stringPitch = column ? g.GetCellPitchX() : g.GetCellPitchY();
        m_cellPitch = column ? g.GetCellPitchY() : g.GetCellPitchX();
        m_stringDir = column ? 0.0 : kDown;
        m_cellDir = column ? kDown : 0.0;
        m_rotation = column ? 0.0 : 90.0;
        m_base = g.GetBasePoint();
        m_base.z = 0;
        m_n = g.GetCellsPerString();
        m_scale = g.GetScale();
    }

    int run()
    {
        makeMarker();
        bool firstPass = m_mode == kContinuedSchematic;
        bool railsDue = false;
        for (;;) {
            if (firstPass) {
                firstPass = false;
            } else {
                if (m_string == m_count) {
                    if (!StringFitsInDrawing(g, NextStringPosition(g))) {
                        acutPrintf(L"%ls", kOutOfRangeMessage);
                        stop();
                        return 0;
                    }
                    g.InsertString(m_string);
                    ++m_count;
                }
                m_cell = 0;
            }
            if ((m_mode == kNewSchematic && m_string != 0) || (m_mode == kContinuedSchematic && railsDue))
                drawRails();
            bool nextString = false;
            while (m_cell < m_n && !nextString) {
                switch (pass()) {
                case PassEnd::Stop:
                    return 0;
                case PassEnd::NextString:
                    nextString = true;
                    break;
                case PassEnd::Continue:
                    break;
                }
            }
            ++m_string;
            railsDue = true;
        }
    }

private:
    enum class PassEnd { Continue, NextString, Stop };

    // --- units of drawing --------------------------------------------------
    //
    // Each unit of drawing (the marker, a string's rails, an action that
    // draws) is one undo group. A unit stays open while the loop waits at
    // its next prompt and closes when the next unit begins or the loop
    // ends: the marker shown for the prompt, and the end of the run, belong
    // to the last unit, so one U takes back the last thing drawn. Before a
    // unit closes the marker is hidden and the user's layer, colour and
    // linetype are put back, inside its group; so also when an exception
    // leaves the loop.

    class Unit {
    public:
        explicit Unit(PlacementLoop& loop) : m_loop(loop) {}
        ~Unit() { m_loop.hideMarker(); } // then the settings, then the group
        Unit(const Unit&) = delete;
        Unit& operator=(const Unit&) = delete;

    private:
        PlacementLoop& m_loop;
        CAcadUndoScope m_group;
        // As the unit found them: the user's, since the unit before put
        // them back.
        CAcadSysVarScope m_settings{L"CLAYER", L"CECOLOR", L"CELTYPE"};
    };

    void beginUnit()
    {
        endUnit();
        m_unit.emplace(*this);
    }
    void endUnit() { m_unit.reset(); }

    // --- the marker and the rails ------------------------------------------

    void makeMarker()
    {
        beginUnit();
        acedCommand({L"_.Color", L"1"});
        AcGePoint3d c1, c2, c3, c4;
        if (m_mode == kNewSchematic) {
            c1 = polar(m_base, m_stringDir, m_stringPitch * m_scale / 2);
            c2 = polar(c1, m_cellDir, m_cellPitch * m_scale);
            c4 = polar(c1, m_stringDir, m_stringPitch * m_scale);
            c3 = polar(c4, m_cellDir, m_cellPitch * m_scale);
        } else {
            const AcGePoint3d lo = m_startExtents.minPoint(), hi = m_startExtents.maxPoint();
            if (g.IsColumnArrangement()) {
                c1 = {lo.x, hi.y, 0}, c2 = {lo.x, lo.y, 0}, c3 = {hi.x, lo.y, 0}, c4 = {hi.x, hi.y, 0};
            } else {
                c1 = {lo.x, hi.y, 0}, c2 = {hi.x, hi.y, 0}, c3 = {hi.x, lo.y, 0}, c4 = {lo.x, lo.y, 0};
            }
        }
        const AcDbObjectId marker = lastAfter({L"_.Pline", c1, L"W", 0.0, 0.0, c2, c3, c4, L"C"});
        m_markerRef = c4;
        m_markerShown = !marker.isNull() && acdbGetAdsName(m_marker, marker) == Acad::eOk;
        m_haveMarker = m_markerShown;
        hideMarker();
    }

    void showMarker()
    {
        if (m_haveMarker && !m_markerShown && acdbEntDel(m_marker) == RTNORM)
            m_markerShown = true;
    }
    void hideMarker()
    {
        if (m_haveMarker && m_markerShown && acdbEntDel(m_marker) == RTNORM)
            m_markerShown = false;
    }

    void drawRails()
    {
        beginUnit();
        const double pitch = m_stringPitch * m_scale;
        const AcGePoint3d p0 = polar(m_base, m_stringDir, m_string * pitch);
        const AcGePoint3d p1 = polar(p0, m_stringDir, pitch);
        ZoomToInclude(p0, p1);
        const AcGePoint3d p2 = polar(p0, m_cellDir, m_cellPitch * m_scale * m_n);
        const AcGePoint3d p3 = polar(p2, m_stringDir, pitch);
        ZoomToInclude(p2, p3);
        SetToCurrentLayer(L"SCHEMATIC", L"WIREFRAME");
        acedCommand({L"_.COLOR", L"3"});
        const double w = g.GetLineWidth() * m_scale;
        AcDbObjectId first = lastAfter({L"_.Pline", p0, L"W", w, w, p1, L""});
        markWire(first);
        g.SetCellData(m_string, 0, 0, ids(first), AcDbObjectId(), {}, {});
        AcDbObjectId last = lastAfter({L"_.Pline", p2, L"W", w, w, p3, L""});
        markWire(last);
        g.SetStringData(m_string, ids(last), AcDbObjectId());
    }

    // The entity a command made (null when it made none).
    static AcDbObjectId lastAfter(std::initializer_list<AcCmdArg> args)
    {
        ads_name before{}, after{};
        const bool had = acdbEntLast(before) == RTNORM;
        if (acedCommand(args) != RTNORM)
            return AcDbObjectId();
        if (acdbEntLast(after) != RTNORM || (had && before[0] == after[0] && before[1] == after[1]))
            return AcDbObjectId();
        AcDbObjectId id;
        acdbGetObjectId(id, after);
        return id;
    }

    static AcDbObjectIdArray ids(const AcDbObjectId& id)
    {
        AcDbObjectIdArray a;
        if (!id.isNull())
            a.append(id);
        return a;
    }

    // --- extended data -----------------------------------------------------

    void markWire(const AcDbObjectId& id) const
    {
        if (!id.isNull())
            WriteSchematicXdata(id, m_stringPitch, m_cellPitch, g.GetLineWidth(), g.GetSymbolScale(), m_n,
                                g.GetOrientation(), m_base);
    }
    void markSymbol(const AcDbObjectId& id) const
    {
        if (!id.isNull())
            WriteSymbolXdata(id, m_stringPitch, m_cellPitch, g.GetLineWidth(), g.GetSymbolScale(), m_n,
                             g.GetOrientation(), m_base);
    }
    // A wire across a slot (kind 1 a symbol slot, along the string; kind 0
    // a link slot or end zone, across) with the pieces a junction box cut
    // it into, all marked: what the slot holds.
    AcDbObjectIdArray slotWire(const AcDbExtents& slot, int kind) const
    {
        AcDbObjectIdArray pieces;
        const AcDbObjectId wire = kind == 0 ? DrawLinkWire(slot, m_scale, g.GetLineWidth(), g.GetOrientation(), &pieces)
                                            : DrawCellWire(slot, m_scale, g.GetLineWidth(), g.GetOrientation(), &pieces);
        AcDbObjectIdArray all = ids(wire);
        for (const AcDbObjectId& id : pieces)
            all.append(id);
        return markWires(all);
    }
    // Marks the wires and drops the null ids of removed stubs.
    AcDbObjectIdArray markWires(const AcDbObjectIdArray& wires) const
    {
        AcDbObjectIdArray kept;
        for (const AcDbObjectId& w : wires)
            if (!w.isNull()) {
                markWire(w);
                kept.append(w);
            }
        return kept;
    }

    // --- one pass ----------------------------------------------------------

    // The loop's end: Enter, Esc or "close" at the main prompt, Esc in an
    // action.
    PassEnd stop()
    {
        endUnit();
        ClosePalette();
        return PassEnd::Stop;
    }

    // Keywords that draw or edit: each begins a unit of its own. The others
    // (a picked cell, t1, t5) only move on.
    static bool draws(const std::wstring& kw)
    {
        return kw == L"s" || kw == L"t2" || kw == L"t3" || kw == L"t4" || (kw.size() == 2 && kw[0] == L'e');
    }

    PassEnd pass()
    {
        assert(m_unit);
        showMarker();
        AcDbExtents cell;
        if (m_haveMarker && m_count != 0 && g.GetExtents(m_string, m_cell, 1, cell) == 1) {
            const AcGePoint3d target = g.IsColumnArrangement() ? cell.maxPoint() : cell.minPoint();
            if (!target.isEqualTo(m_markerRef)) {
                acedCommand({L"_.MOVE", AcCmdArg::ename(m_marker), L"", m_markerRef, target});
                m_markerRef = target;
            }
        }
        acedInitGet(0, kKeywords);
        ads_point pt;
        const int rc = acedGetPoint(nullptr, kMainPrompt, pt);
        ACHAR keyword[64] = L"";
        if (rc == RTKWORD)
            acedGetInput(keyword, 64);
        if (rc == RTCAN || rc == RTNONE)
            return stop();
        if (rc == RTNORM) {
            int s = 0, c = 0;
            if (g.FindCellAtPoint(AcGePoint3d(pt[0], pt[1], 0), 1, s, c) < 1) {
                acutPrintf(L"\n请在边界内点取一点!");
            } else {
                m_string = s;
                m_cell = c;
            }
        }
        const std::wstring kw = keyword;
        if (kw == L"close")
            return stop();
        if (draws(kw)) {
            beginUnit();
            showMarker();
        }
        Outcome outcome = Outcome::Done;
        if (kw == L"s") {
            placeSymbol();
        } else if (kw == L"t1") {
            ++m_cell;
        } else if (kw == L"t2") {
            wireAcross(m_cell);
            ++m_cell;
        } else if (kw == L"t3") {
            if (m_n > 1 && m_cell != m_n - 1) {
                for (int c = m_cell; c <= m_n - 2; ++c)
                    wireAcross(c);
                m_cell = m_n - 1;
            }
        } else if (kw == L"t4") {
            linkToPrevious();
        } else if (kw == L"t5") {
            return PassEnd::NextString;
        } else if (kw == L"e1") {
            outcome = action(PaletteAction::Replace, &PlacementLoop::replace);
        } else if (kw == L"e2") {
            outcome = action(PaletteAction::Delete, &PlacementLoop::erase);
        } else if (kw == L"e3") {
            outcome = action(PaletteAction::Mirror, &PlacementLoop::mirror);
        } else if (kw == L"e4") {
            outcome = action(PaletteAction::Rotate, &PlacementLoop::rotate);
        } else if (kw == L"e5") {
            outcome = action(PaletteAction::InsertInString, &PlacementLoop::insertIntoString);
        } else if (kw == L"e6") {
            outcome = action(PaletteAction::InsertInLink, &PlacementLoop::insertIntoLink);
        } else if (kw == L"e7") {
            outcome = action(PaletteAction::AddString, &PlacementLoop::addString);
        } else if (kw == L"e8") {
            outcome = action(PaletteAction::DeleteString, &PlacementLoop::deleteString);
        }
        if (outcome == Outcome::Cancel)
            return stop();
        return PassEnd::Continue;
    }

    Outcome action(PaletteAction which, Outcome (PlacementLoop::*body)())
    {
        if (g_pYlthzDlg)
            g_pYlthzDlg->ActionStarted(which);
        const Outcome outcome = (this->*body)();
        // The loop's cancel closes the palette itself.
        if (g_pYlthzDlg)
            g_pYlthzDlg->ActionEnded(which);
        return outcome;
    }

    // --- keywords ----------------------------------------------------------

    // Empties the current (or given) cell's symbol slot and fills it with the
    // palette's symbol.
    void fillCell(int s, int c, bool eraseFirst)
    {
        if (eraseFirst)
            EraseCellContents(g, s, c, 1);
        AcDbExtents slot;
        g.GetExtents(s, c, 1, slot);
        AcDbObjectId symbol;
        AcDbObjectIdArray wires;
        PlaceCellSymbol(slot, g.GetOrientation(), m_scale, g.GetSymbolScale(), g.GetLineWidth(), m_rotation, symbol,
                        wires);
        const AcDbObjectIdArray kept = markWires(wires);
        markSymbol(symbol);
        g.SetCellData(s, c, 1, kept, symbol, {}, {});
    }

    void placeSymbol()
    {
        if (g.GetStringCount() == 0) {
            m_string = m_cell = 0;
            g.InsertString(0);
            ++m_count;
        }
        fillCell(m_string, m_cell, true);
        ++m_cell;
    }

    void wireAcross(int c)
    {
        EraseCellContents(g, m_string, c, 1);
        AcDbExtents slot;
        g.GetExtents(m_string, c, 1, slot);
        g.SetCellData(m_string, c, 1, slotWire(slot, 1), AcDbObjectId(), {}, {});
    }

    void linkToPrevious()
    {
        for (int s = m_string; s >= 0; --s) {
            AcDbObjectIdArray wires, linkWires, devices, bands;
            AcDbObjectId symbol, linkSymbol;
            if (g.GetCellData(s, m_cell, wires, symbol, linkWires, linkSymbol, devices, bands) != 1)
                continue;
            AcDbExtents slot;
            if (linkWires.isEmpty()) {
                g.GetExtents(s, m_cell, 0, slot);
                g.SetCellData(s, m_cell, 0, slotWire(slot, 0), linkSymbol, devices, bands);
                return;
            }
            AcDbObjectIdArray endWires;
            AcDbObjectId endSymbol;
            g.GetStringData(s, endWires, endSymbol);
            if (m_cell == m_n - 1 && endWires.isEmpty()) {
                g.GetExtents(s, -1, 0, slot);
                g.SetStringData(s, slotWire(slot, 0), endSymbol);
                return;
            }
        }
    }

    // The block to drag: the drawing's own, or the library's drawing.
    std::wstring chosenBlock() const
    {
        CString name, folder;
        if (g_pYlthzDlg) {
            g_pYlthzDlg->GetSelectedSymbol(name);
            g_pYlthzDlg->GetLibraryFolder(folder);
        }
        resbuf* found = acdbTblSearch(L"BLOCK", name.GetString(), 0);
        const bool inDrawing = found != nullptr;
        acutRelRb(found);
        return inDrawing ? std::wstring(name.GetString()) : std::wstring(folder.GetString()) + L"\\" + name.GetString();
    }

    // Drags the palette's symbol; the status.
    int drag(const wchar_t* prompt)
    {
        double scale = g.GetSymbolScale() * g.GetSymbolScale();
        double rotation = m_rotation;
        DragInsertBlock(0, 0, chosenBlock(), prompt, scale, rotation);
        return GetDragStatus();
    }

    // Drags the palette's symbol until the drag ends (Enter, Esc, an
    // error); "Repeat" drags the palette's new symbol; each pick on a slot
    // of `kind` is handed to `place`.
    template <class Place>
    Outcome dragAndPlace(const wchar_t* prompt, short osmode, int kind, const Place& place)
    {
        for (;;) {
            const int status = drag(prompt);
            SetAcadSysVar(L"OSMODE", osmode);
            if (status == kDragRepeat)
                continue;
            if (status != kDragPicked)
                return Outcome::Done;
            int s = 0, c = 0;
            if (g.FindCellAtPoint(GetDragPickedPoint(), kind, s, c) < 0) {
                acutPrintf(L"\n此位置处没有符号!");
                continue;
            }
            place(s, c);
        }
    }

    Outcome replace()
    {
        return dragAndPlace(L"请选择要替换的符号<回车返回>:", 64, 1, [this](int s, int c) { fillCell(s, c, true); });
    }

    // A picked block and the slot whose symbol it is: kind 1 a symbol
    // slot, kind 0 a link slot (cell -1: the end zone).
    struct Slot {
        AcDbObjectId id;
        int string = 0, cell = 0, kind = 1;
    };
    enum class Found { Yes, No };

    // Opens the picked entity, checks it is a block and finds its slot;
    // prints why not.
    Found findSlot(const ads_name ent, Slot& slot, const wchar_t* noSlot1, const wchar_t* noSlot0,
                   const wchar_t* noMatch)
    {
        AcDbObjectId id;
        AcDbEntity* e = nullptr;
        if (acdbGetObjectId(id, ent) != Acad::eOk || acdbOpenAcDbEntity(e, id, AcDb::kForRead) != Acad::eOk) {
            acutPrintf(L"\n打开实体失败!");
            return Found::No;
        }
        auto* ref = dynamic_cast<AcDbBlockReference*>(e);
        if (!ref) {
            e->close();
            acutPrintf(L"\n所选的实体不是块!");
            return Found::No;
        }
        const AcGePoint3d at = ref->position();
        e->close();
        int s1 = 0, c1 = 0, s0 = 0, c0 = 0;
        if (g.FindCellAtPoint(at, 1, s1, c1) != 1) {
            acutPrintf(noSlot1);
            return Found::No;
        }
        if (g.FindCellAtPoint(at, 0, s0, c0) != 1) {
            acutPrintf(noSlot0);
            return Found::No;
        }
        AcDbObjectIdArray w, lw, d, b;
        AcDbObjectId sym, linkSym;
        g.GetCellData(s1, c1, w, sym, lw, linkSym, d, b);
        if (sym == id) {
            slot = {id, s1, c1, 1};
            return Found::Yes;
        }
        AcDbObjectId other;
        if (c0 == -1) {
            g.GetStringData(s0, lw, other);
        } else {
            g.GetCellData(s0, c0, w, sym, lw, other, d, b);
        }
        if (other == id) {
            slot = {id, s0, c0, 0};
            return Found::Yes;
        }
        acutPrintf(noMatch);
        return Found::No;
    }

    // Picks entities for an action until Enter or a keyword (a missed
    // pick, ERRNO 7, asks again); Esc, or `act` returning Cancel, cancels
    // the loop.
    template <class Act>
    Outcome pickEach(const wchar_t* prompt, short osmodeAfter, const Act& act)
    {
        for (;;) {
            SetAcadSysVar(L"OSMODE", 64);
            acedInitGet(0, L"r close");
            SetAcadSysVar(L"ERRNO", 0);
            ads_name ent{};
            ads_point pt;
            const int rc = acedEntSel(prompt, ent, pt);
            SetAcadSysVar(L"OSMODE", osmodeAfter);
            if (rc == RTCAN)
                return Outcome::Cancel;
            if (rc != RTNORM) {
                if (errnoValue() == 7)
                    continue;
                return Outcome::Done;
            }
            if (act(ent) == Outcome::Cancel)
                return Outcome::Cancel;
        }
    }

    Outcome erase()
    {
        return pickEach(L"\n请选择要删除的符号<回车返回>:", 64, [this](const ads_name ent) {
            Slot slot;
            if (findSlot(ent, slot, L"\n此位置处没有符号, 主方向!", L"\n此位置处没有符号, 辅方向!",
                         L"\n没选择到要删除的块, 请重新选择!") != Found::Yes)
                return Outcome::Done;
            AcDbExtents ext;
            if (slot.kind == 0 && slot.cell == -1)
                EraseEndZone(g, slot.string);
            else
                EraseCellContents(g, slot.string, slot.cell, slot.kind);
            g.GetExtents(slot.string, slot.cell, slot.kind == 0 ? 0 : 1, ext);
            setSlot({AcDbObjectId(), slot.string, slot.cell, slot.kind}, slotWire(ext, slot.kind == 0 ? 0 : 1));
            return Outcome::Done;
        });
    }

    Outcome mirror()
    {
        return pickEach(L"\n请选择要镜像的符号<回车返回>:", 0, [this](const ads_name ent) {
            std::wstring direction;
            for (;;) {
                ACHAR reply[64] = L"";
                if (acedGetString(0, L"\n请输入镜像方向(X 或 Y)<X>:", reply, 64) == RTCAN)
                    return Outcome::Cancel;
                direction = reply[0] ? reply : L"X";
                if (direction == L"X" || direction == L"Y")
                    break;
                acutPrintf(L"\n非法的关键字!");
            }
            Slot slot;
            if (findSlot(ent, slot, L"\n此位置处没有符号!", L"\n此位置处没有符号!",
                         L"\n没选择到要镜像的块, 请重新选择!") != Found::Yes)
                return Outcome::Done;
            AcDbExtents ext;
            g.GetExtents(slot.string, slot.cell, slot.kind == 0 ? 0 : 1, ext);
            const AcGePoint3d lo = ext.minPoint(), hi = ext.maxPoint();
            const double mx = (lo.x + hi.x) / 2, my = (lo.y + hi.y) / 2;
            const bool acrossX = direction == L"X";
            const AcGePoint3d a = acrossX ? AcGePoint3d(lo.x, my, 0) : AcGePoint3d(mx, lo.y, 0);
            const AcGePoint3d b = acrossX ? AcGePoint3d(hi.x, my, 0) : AcGePoint3d(mx, hi.y, 0);
            ads_name name{};
            if (acdbGetAdsName(name, slot.id) != Acad::eOk) {
                acutPrintf(L"\n打开实体失败!");
                return Outcome::Done;
            }
            // The mirrored copy takes the source's place in the slot.
            const AcDbObjectId copy = lastAfter({L"_.MIRROR", AcCmdArg::ename(name), L"", a, b, L"Y"});
            if (!copy.isNull())
                repointSlot(slot, copy);
            SetIdPoint(copy.isNull() ? slot.id : copy, m_base);
            return Outcome::Done;
        });
    }

    // A slot's symbol and wires, the cell's devices kept.
    void setSlot(const Slot& slot, const AcDbObjectIdArray& wires)
    {
        if (slot.kind == 0 && slot.cell == -1) {
            g.SetStringData(slot.string, wires, slot.id);
            return;
        }
        AcDbObjectIdArray w, lw, d, b;
        AcDbObjectId sym, linkSym;
        g.GetCellData(slot.string, slot.cell, w, sym, lw, linkSym, d, b);
        g.SetCellData(slot.string, slot.cell, slot.kind, wires, slot.id, d, b);
    }

    void repointSlot(const Slot& slot, const AcDbObjectId& id)
    {
        if (slot.kind == 0 && slot.cell == -1) {
            AcDbObjectIdArray w;
            AcDbObjectId sym;
            g.GetStringData(slot.string, w, sym);
            g.SetStringData(slot.string, w, id);
            return;
        }
        AcDbObjectIdArray w, lw, d, b;
        AcDbObjectId sym, linkSym;
        g.GetCellData(slot.string, slot.cell, w, sym, lw, linkSym, d, b);
        if (slot.kind == 1)
            g.SetCellData(slot.string, slot.cell, 1, w, id, d, b);
        else
            g.SetCellData(slot.string, slot.cell, 0, lw, id, d, b);
    }

    Outcome rotate()
    {
        return pickEach(L"\n请选择要旋转的符号<回车返回>:", 64, [this](const ads_name ent) {
            AcDbObjectId id;
            AcDbEntity* e = nullptr;
            if (acdbGetObjectId(id, ent) != Acad::eOk || acdbOpenAcDbEntity(e, id, AcDb::kForWrite) != Acad::eOk) {
                acutPrintf(L"\n实体打开失败!");
                return Outcome::Done;
            }
            auto* ref = dynamic_cast<AcDbBlockReference*>(e);
            if (!ref) {
                e->close();
                acutPrintf(L"\n选择的实体不是块, 请选择一个块!");
                return Outcome::Done;
            }
            ref->setRotation(ref->rotation() + kHalfPi);
            e->close();
            SetIdPoint(id, m_base);
            return Outcome::Done;
        });
    }

    // Entities of a set of slots into one selection set, moved together.
    void moveTogether(const AcDbObjectIdArray& entities, double angle, double distance)
    {
        ads_name ss{};
        bool any = false;
        for (const AcDbObjectId& id : entities) {
            ads_name en{};
            if (id.isNull() || acdbGetAdsName(en, id) != Acad::eOk)
                continue;
            acedSSAdd(en, any ? ss : nullptr, ss);
            any = true;
        }
        if (!any)
            return;
        const AcGePoint3d to = polar(AcGePoint3d(0, 0, 0), angle, distance);
        acedCommand({L"_.MOVE", AcCmdArg::selectionSet(ss), L"", AcGePoint3d(0, 0, 0), to});
        acedSSFree(ss);
        for (const AcDbObjectId& id : entities)
            if (!id.isNull())
                SetIdPoint(id, m_base);
    }

    static void appendAll(AcDbObjectIdArray& to, const AcDbObjectIdArray& from)
    {
        for (const AcDbObjectId& id : from)
            if (!id.isNull())
                to.append(id);
    }
    static void appendOne(AcDbObjectIdArray& to, const AcDbObjectId& id)
    {
        if (!id.isNull())
            to.append(id);
    }

    // Every entity of strings first .. last (both slots of every cell and
    // the end zone).
    AcDbObjectIdArray entitiesOfStrings(int first) const
    {
        AcDbObjectIdArray all;
        for (int s = first; s < g.GetStringCount(); ++s) {
            for (int c = 0; c < m_n; ++c) {
                AcDbObjectIdArray w, lw, d, b;
                AcDbObjectId sym, linkSym;
                g.GetCellData(s, c, w, sym, lw, linkSym, d, b);
                appendAll(all, w);
                appendOne(all, sym);
                appendAll(all, lw);
                appendOne(all, linkSym);
            }
            AcDbObjectIdArray ew;
            AcDbObjectId es;
            g.GetStringData(s, ew, es);
            appendAll(all, ew);
            appendOne(all, es);
        }
        return all;
    }

    Outcome insertIntoString()
    {
        return dragAndPlace(L"请选择要插入的符号<回车返回>:", 0, 1, [this](int s, int c) {
            EraseCellContents(g, s, m_n - 1, 1);
            std::vector<AcDbObjectIdArray> wires(static_cast<size_t>(m_n));
            std::vector<AcDbObjectId> symbols(static_cast<size_t>(m_n));
            AcDbObjectIdArray moving;
            for (int j = c; j < m_n; ++j) {
                AcDbObjectIdArray lw, d, b;
                AcDbObjectId linkSym;
                g.GetCellData(s, j, wires[static_cast<size_t>(j)], symbols[static_cast<size_t>(j)], lw, linkSym, d,
                              b);
                if (j <= m_n - 2) {
                    appendAll(moving, wires[static_cast<size_t>(j)]);
                    appendOne(moving, symbols[static_cast<size_t>(j)]);
                }
            }
            moveTogether(moving, m_cellDir, m_cellPitch * m_scale);
            for (int j = m_n - 1; j > c; --j) {
                AcDbObjectIdArray w, lw, d, b;
                AcDbObjectId sym, linkSym;
                g.GetCellData(s, j, w, sym, lw, linkSym, d, b);
                g.SetCellData(s, j, 1, wires[static_cast<size_t>(j - 1)], symbols[static_cast<size_t>(j - 1)], d, b);
            }
            fillCell(s, c, false);
        });
    }

    Outcome insertIntoLink()
    {
        return dragAndPlace(L"请选择要插入的符号<回车返回>:", 0, 0, [this](int s, int c) {
            AcDbExtents slot;
            AcDbObjectId symbol;
            AcDbObjectIdArray wires;
            if (c == -1)
                EraseEndZone(g, s);
            else
                EraseCellContents(g, s, c, 0);
            g.GetExtents(s, c, 0, slot);
            PlaceLinkSymbol(slot, g.GetOrientation(), m_scale, g.GetSymbolScale(), g.GetLineWidth(), m_rotation,
                            symbol, wires);
            const AcDbObjectIdArray kept = markWires(wires);
            markSymbol(symbol);
            setSlot({symbol, s, c, 0}, kept);
        });
    }

    Outcome addString()
    {
        for (;;) {
            ads_point pt;
            const int rc = acedGetPoint(nullptr, L"\n请点取添加行的位置(在所选行之前加入)<回车返回>:", pt);
            if (rc == RTCAN)
                return Outcome::Cancel;
            if (rc != RTNORM)
                return Outcome::Done;
            int s = 0, c = 0;
            if (g.FindCellAtPoint(AcGePoint3d(pt[0], pt[1], 0), 0, s, c) < 0) {
                acutPrintf(L"\n请在边界内点取一点!");
                continue;
            }
            // The last string moves one pitch on.
            if (!StringFitsInDrawing(g, NextStringPosition(g))) {
                acutPrintf(L"%ls", kOutOfRangeMessage);
                return Outcome::Done;
            }
            moveTogether(entitiesOfStrings(s), m_stringDir, m_stringPitch * m_scale);
            g.InsertString(s);
            AcDbExtents slot;
            g.GetExtents(s, 0, 0, slot);
            g.SetCellData(s, 0, 0, slotWire(slot, 0), AcDbObjectId(), {}, {});
            g.GetExtents(s, -1, 0, slot);
            g.SetStringData(s, slotWire(slot, 0), AcDbObjectId());
            ++m_count;
            if (s < m_string)
                ++m_string;
        }
    }

    Outcome deleteString()
    {
        for (;;) {
            ads_point pt;
            const int rc = acedGetPoint(nullptr, L"\n请点取要删除的行<回车返回>:", pt);
            if (rc == RTCAN)
                return Outcome::Cancel;
            if (rc != RTNORM)
                return Outcome::Done;
            int s = 0, c = 0;
            if (g.FindCellAtPoint(AcGePoint3d(pt[0], pt[1], 0), 0, s, c) < 1) {
                acutPrintf(L"\n没有这一行!");
                continue;
            }
            for (int j = 0; j < m_n; ++j) {
                EraseCellContents(g, s, j, 1);
                EraseCellContents(g, s, j, 0);
            }
            EraseEndZone(g, s);
            g.DeleteString(s);
            --m_count;
            if (s <= m_string && m_string > 0)
                --m_string;
            moveTogether(entitiesOfStrings(s), m_stringDir + M_PI, m_stringPitch * m_scale);
        }
    }

    CPrinPicGrid& g;
    int m_string, m_cell, m_count, m_mode;
    AcDbExtents m_startExtents;
    double m_stringPitch = 0, m_cellPitch = 0, m_stringDir = 0, m_cellDir = 0, m_rotation = 0;
    AcGePoint3d m_base;
    int m_n = 0;
    double m_scale = 1;
    ads_name m_marker{};
    bool m_haveMarker = false;
    bool m_markerShown = false;
    AcGePoint3d m_markerRef;
    // Last member: destroyed first, while the marker still exists.
    std::optional<Unit> m_unit;
};

} // namespace

bool StringFitsInDrawing(const CPrinPicGrid& grid, double position)
{
    const double scale = grid.GetScale();
    for (double v : {position, grid.GetScaledPitchX(), grid.GetScaledPitchY(), grid.GetLineWidth() * scale,
                     grid.GetSymbolScale() * scale, grid.GetMinX(), grid.GetMaxX(), grid.GetMinY(), grid.GetMaxY()})
        if (!std::isfinite(v))
            return false;
    const auto finite = [](const AcDbExtents& e) { return acdbIsFinite(e.minPoint()) && acdbIsFinite(e.maxPoint()); };
    const PrinPicStringZones zones = grid.ComputeZones(position);
    for (const AcDbExtents& e : zones.cellZones)
        if (!finite(e))
            return false;
    for (const AcDbExtents& e : zones.linkZones)
        if (!finite(e))
            return false;
    return true;
}

bool ParametersFitInEntities(const CPrinPicGrid& grid)
{
    const bool column = grid.IsColumnArrangement();
    const double stringPitch = column ? grid.GetCellPitchX() : grid.GetCellPitchY();
    const double cellPitch = column ? grid.GetCellPitchY() : grid.GetCellPitchX();
    return FormatSchematicParameters(stringPitch, cellPitch, grid.GetLineWidth(), grid.GetSymbolScale(),
                                     grid.GetCellsPerString(), grid.GetOrientation())
               .size()
        <= kMaxXdataText;
}

double NextStringPosition(const CPrinPicGrid& grid)
{
    const std::vector<double>& positions = grid.GetStringPositions();
    const bool column = grid.IsColumnArrangement();
    const double forward = column ? grid.GetStringPitch() : -grid.GetStringPitch();
    const AcGePoint3d& base = grid.GetBasePoint();
    return (positions.empty() ? (column ? base.x : base.y) : positions.back()) + forward;
}

int RunPlacementLoop(CPrinPicGrid* grid, int startString, int stringCount, int startCell,
                     const AcDbExtents& startExtents, int mode)
{
    if (!grid)
        return 0;
    PlacementLoop loop(*grid, startString, stringCount, startCell, startExtents, mode);
    return loop.run();
}
