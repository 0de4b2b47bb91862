// An application for end-to-end tests of the host: a modeless dialog whose
// button types a keyword into the waiting prompt, as the module's palette
// does, and a function that throws.
#include "host/aced.h"
#include "host/acapdoc.h"
#include "host/acrx.h"
#include "host/dbmain.h"
#include "ui/dialog.h"
#include "ui/dlgtemplate.h"

#include <stdexcept>

namespace {

constexpr UINT kDialogId = 9001;
constexpr int kDrawButton = 9002;

class CTestPalette : public CDialog {
public:
    CTestPalette() : CDialog(kDialogId) {}

protected:
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override
    {
        if (LOWORD(wParam) == kDrawButton) {
            acDocManager->sendStringToExecute(acDocManager->curDocument(), L"s ");
            return TRUE;
        }
        return CDialog::OnCommand(wParam, lParam);
    }
    void OnCancel() override { DestroyWindow(); }
    void PostNcDestroy() override
    {
        if (s_palette == this)
            s_palette = nullptr;
        delete this;
    }

public:
    static inline CTestPalette* s_palette = nullptr;
};

void registerTemplate()
{
    if (ui::findDialogTemplate(kDialogId))
        return;
    ui::DialogTemplate t;
    t.id = kDialogId;
    t.name = "testpalette";
    t.caption = L"测试面板";
    t.cx = 120;
    t.cy = 40;
    t.controls = {{kDrawButton, ui::ControlKind::PushButton, L"绘制", {10, 10, 50, 14}, WS_TABSTOP, false, 0, "draw"}};
    ui::registerDialogTemplate(std::move(t));
}

int testpalette()
{
    registerTemplate();
    if (!CTestPalette::s_palette) {
        CTestPalette::s_palette = new CTestPalette();
        CTestPalette::s_palette->Create(kDialogId, CWnd::FromHandle(adsw_acadMainWnd()));
        CTestPalette::s_palette->ShowWindow(SW_SHOW);
    }
    return RTNORM;
}

int testprompt()
{
    while (true) {
        acedInitGet(0, L"s");
        ads_point p;
        const int rc = acedGetPoint(nullptr, L"\n请选择要绘制的符号<回车结束>: ", p);
        if (rc == RTKWORD) {
            acutPrintf(L"\n收到关键字。");
            continue;
        }
        if (rc == RTNORM) {
            acutPrintf(L"\n点 %g,%g。", p[0], p[1]);
            continue;
        }
        acedRetInt(rc);
        return RTNORM;
    }
}

// (testequip LAYER DESIGNATION NAME MODEL): a block reference carrying
// equipment data, added to the drawing without saving it.
int testequip()
{
    const resbuf* a = acedGetArgs();
    std::wstring v[4];
    for (int i = 0; i < 4 && a; ++i, a = a->rbnext)
        if (a->restype == RTSTR)
            v[i] = a->resval.rstring;
    AcDbDatabase* db = acdbHostApplicationServices()->workingDatabase();
    if (!db->blockRecord("EQ")) {
        auto* rec = new AcDbBlockTableRecord;
        rec->setName("EQ");
        AcDbObjectId recId;
        db->addBlockTableRecord(recId, rec);
    }
    auto* ref = new AcDbBlockReference(AcGePoint3d(0, 0, 0), db->blockRecord("EQ")->objectId());
    ref->setLayer(v[0].c_str());
    const ACHAR* apps[] = {L"XMDH", L"SBMC", L"XHGG"};
    for (int i = 0; i < 3; ++i) {
        acdbRegApp(apps[i]);
        resbuf* item = acutBuildList(1001, apps[i], 1000, v[i + 1].c_str(), 0);
        ref->setXData(item);
        acutRelRb(item);
    }
    AcDbBlockTableRecord* space = nullptr;
    if (acdbOpenObject(space, db->modelSpaceId(), AcDb::kForWrite) != Acad::eOk) {
        delete ref;
        return RTERROR;
    }
    if (space->appendAcDbEntity(ref) == Acad::eOk)
        ref->close();
    else
        delete ref;
    space->close();
    return RTNORM;
}

int testthrow()
{
    throw std::runtime_error("测试异常");
}

} // namespace

extern "C" AcRx::AppRetCode acrxEntryPoint(AcRx::AppMsgCode msg, void* appId)
{
    switch (msg) {
    case AcRx::kInitAppMsg:
        acrxUnlockApplication(appId);
        break;
    case AcRx::kLoadDwgMsg:
        acedDefun(L"testpalette", 1);
        acedDefun(L"testprompt", 2);
        acedDefun(L"testthrow", 3);
        acedDefun(L"testequip", 4);
        break;
    case AcRx::kUnloadAppMsg:
        if (CTestPalette::s_palette)
            CTestPalette::s_palette->DestroyWindow();
        break;
    case AcRx::kInvkSubrMsg:
        acedRetVoid();
        switch (acedGetFunCode()) {
        case 1: testpalette(); break;
        case 2: testprompt(); break;
        case 3: testthrow(); break;
        case 4: testequip(); break;
        default: break;
        }
        break;
    default:
        break;
    }
    return AcRx::kRetOK;
}

extern "C" long acrxGetApiVersion()
{
    return kAcadApiVersion;
}
