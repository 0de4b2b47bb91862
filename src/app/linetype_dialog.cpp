#include "app/linetype_dialog.h"

#include "host/aced.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "host/hoststring.h"
#include "ui/controls.h"
#include "ui/dialog.h"
#include "ui/dlgtemplate.h"

#include <cstdlib>

namespace app {

namespace {

// The drawing's linetypes, ByBlock and ByLayer first when offered; the
// current one selected. OK takes the selected one.
class CLinetypeDialog : public CDialog {
public:
    CLinetypeDialog(AcDbDatabase* db, AcDbObjectId current, bool byBlockByLayer)
        : CDialog(kLinetypeDialogId), m_db(db), m_current(current), m_byBlockByLayer(byBlockByLayer)
    {
    }
    AcDbObjectId chosen() const { return m_chosen; }

protected:
    BOOL OnInitDialog() override
    {
        CDialog::OnInitDialog();
        auto* list = static_cast<CListBox*>(GetDlgItem(kLinetypeListId));
        AcDbSymbolTable* table = m_db->table("LTYPE");
        for (const AcDbObjectId& id : table->recordIds()) {
            auto* rec = static_cast<AcDbSymbolTableRecord*>(AcDbInternals::stub(id)->object.get());
            const std::string folded = lowerAscii(rec->name());
            if (!m_byBlockByLayer && (folded == "byblock" || folded == "bylayer"))
                continue;
            const int index = list->AddString(utf8ToWide(rec->name()).c_str());
            m_ids.push_back(id);
            if (id == m_current)
                list->SetCurSel(index);
        }
        return TRUE;
    }
    void OnOK() override
    {
        auto* list = static_cast<CListBox*>(GetDlgItem(kLinetypeListId));
        const int sel = list->GetCurSel();
        if (sel < 0 || sel >= static_cast<int>(m_ids.size()))
            return;
        m_chosen = m_ids[static_cast<std::size_t>(sel)];
        CDialog::OnOK();
    }

private:
    AcDbDatabase* m_db;
    AcDbObjectId m_current;
    bool m_byBlockByLayer;
    std::vector<AcDbObjectId> m_ids;
    AcDbObjectId m_chosen;
};

bool runDialog(AcDbObjectId current, bool byBlockByLayer, ACHAR*& newName, AcDbObjectId& newId)
{
    AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
    if (!db || !db->table("LTYPE"))
        return false;
    CLinetypeDialog dlg(db, current, byBlockByLayer);
    if (dlg.DoModal() != IDOK || !dlg.chosen().isValid())
        return false;
    newId = dlg.chosen();
    auto* rec = static_cast<AcDbSymbolTableRecord*>(AcDbInternals::stub(newId)->object.get());
    newName = acutNewString(utf8ToWide(rec->name()).c_str());
    return true;
}

} // namespace

void installLinetypeDialog()
{
    if (!ui::findDialogTemplate(kLinetypeDialogId)) {
        using ui::ControlKind;
        ui::DialogTemplate t{.id = kLinetypeDialogId, .name = "linetype", .caption = L"选择线型", .cx = 200, .cy = 150};
        t.controls = {
            {.id = kLinetypeListId, .kind = ControlKind::ListBox, .rect = {7, 7, 186, 110}, .style = WS_TABSTOP,
             .name = "linetypes"},
            {.id = IDOK, .kind = ControlKind::DefPushButton, .text = L"确定", .rect = {90, 128, 50, 14},
             .style = WS_TABSTOP, .name = "ok"},
            {.id = IDCANCEL, .kind = ControlKind::PushButton, .text = L"取消", .rect = {143, 128, 50, 14},
             .style = WS_TABSTOP, .name = "cancel"},
        };
        ui::registerDialogTemplate(std::move(t));
    }
    acedSetLinetypeDialog(runDialog);
}

} // namespace app
