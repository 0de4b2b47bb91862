#include "library/PaletteResources.h"

#include "library/YlthzDialog.h"
#include "library/YlthzSetupDialog.h"
#include "ui/dlgtemplate.h"

#include <cstdlib>
#include <dlfcn.h>

namespace {

using ui::ControlKind;

void registerPaletteTemplate()
{
    if (ui::findDialogTemplate(IDD_YLTHZ))
        return;
    ui::DialogTemplate t = ModuleDialogTemplate(IDD_YLTHZ, "palette", L"原理图绘制", 146, 170, true);
    // Push-like check boxes: the editing tools stay down while they work.
    constexpr DWORD kTool = BS_PUSHLIKE | WS_TABSTOP;
    t.controls = {
        {.id = IDC_YLTHZ_SYMBOLS_GROUP, .kind = ControlKind::GroupBox, .text = L"常用原理图符号：", .rect = {2, 13, 142, 86},
         .name = "symbols-group"},
        {.id = IDC_YLTHZ_SETTINGS_GROUP, .kind = ControlKind::GroupBox, .text = L"设置", .rect = {2, 99, 142, 32},
         .name = "settings-group"},
        {.id = IDC_YLTHZ_EDIT_GROUP, .kind = ControlKind::GroupBox, .text = L"编辑", .rect = {2, 132, 142, 36},
         .name = "edit-group"},
        {.id = IDC_YLTHZ_TOOLBAR_PLACE, .kind = ControlKind::Static, .rect = {4, 1, 138, 11}, .name = "toolbar-place"},
        {.id = IDC_YLTHZ_LIBRARY, .kind = ControlKind::ComboBox, .rect = {6, 23, 68, 80}, .style = CBS_SORT | WS_TABSTOP,
         .name = "library"},
        {.id = IDC_YLTHZ_REFRESH, .kind = ControlKind::PushButton, .text = L"刷新", .rect = {77, 22, 20, 13},
         .style = WS_TABSTOP, .name = "refresh"},
        {.id = IDC_YLTHZ_PREVPAGE, .kind = ControlKind::PushButton, .text = L"上页", .rect = {99, 22, 20, 13},
         .style = WS_TABSTOP, .name = "prev"},
        {.id = IDC_YLTHZ_NEXTPAGE, .kind = ControlKind::PushButton, .text = L"下页", .rect = {121, 22, 20, 13},
         .style = WS_TABSTOP, .name = "next"},
        {.id = IDC_YLTHZ_PREVIEW, .kind = ControlKind::Frame, .rect = {6, 38, 135, 58}, .name = "preview"},
        {.id = IDC_YLTHZ_ROWS, .kind = ControlKind::RadioButton, .text = L"行布置", .rect = {8, 109, 36, 10},
         .style = WS_GROUP | WS_TABSTOP, .name = "rows"},
        {.id = IDC_YLTHZ_COLUMNS, .kind = ControlKind::RadioButton, .text = L"列布置", .rect = {46, 109, 36, 10},
         .name = "columns"},
        {.id = IDC_YLTHZ_PARAMS, .kind = ControlKind::PushButton, .text = L"回路参数", .rect = {96, 107, 44, 13},
         .style = WS_GROUP | WS_TABSTOP, .name = "setup"},
        {.id = IDC_YLTHZ_COUNT_LABEL, .kind = ControlKind::Static, .text = L"符号个数:", .rect = {8, 120, 38, 8},
         .name = "count-label"},
        {.id = IDC_YLTHZ_COUNT, .kind = ControlKind::Edit, .rect = {48, 118, 34, 12}, .style = WS_TABSTOP,
         .name = "count"},
        {.id = IDC_YLTHZ_COUNT_SPIN, .kind = ControlKind::Spin, .rect = {72, 118, 10, 12},
         .style = UDS_ARROWKEYS | UDS_ALIGNRIGHT, .buddy = IDC_YLTHZ_COUNT, .name = "count-spin"},
        {.id = IDC_YLTHZ_REPLACE, .kind = ControlKind::CheckBox, .text = L"替换", .rect = {7, 142, 32, 12},
         .style = kTool, .name = "replace"},
        {.id = IDC_YLTHZ_DELETE, .kind = ControlKind::CheckBox, .text = L"删除", .rect = {41, 142, 32, 12},
         .style = kTool, .name = "delete"},
        {.id = IDC_YLTHZ_MIRROR, .kind = ControlKind::CheckBox, .text = L"境像", .rect = {75, 142, 32, 12},
         .style = kTool, .name = "mirror"},
        {.id = IDC_YLTHZ_ROTATE, .kind = ControlKind::CheckBox, .text = L"旋转", .rect = {109, 142, 32, 12},
         .style = kTool, .name = "rotate"},
        {.id = IDC_YLTHZ_INSERT_STRING, .kind = ControlKind::CheckBox, .text = L"横插", .rect = {7, 155, 32, 12},
         .style = kTool, .name = "insert-string"},
        {.id = IDC_YLTHZ_INSERT_LINK, .kind = ControlKind::CheckBox, .text = L"竖插", .rect = {41, 155, 32, 12},
         .style = kTool, .name = "insert-link"},
        {.id = IDC_YLTHZ_ADD_STRING, .kind = ControlKind::CheckBox, .text = L"添行", .rect = {75, 155, 32, 12},
         .style = kTool, .name = "add-string"},
        {.id = IDC_YLTHZ_DELETE_STRING, .kind = ControlKind::CheckBox, .text = L"删行", .rect = {109, 155, 32, 12},
         .style = kTool, .name = "delete-string"},
    };
    // The toolbar the palette makes when it opens: t1 .. t5.
    t.commands = {{ID_YLTHZ_TOOL_FIRST, "skip"},
                  {ID_YLTHZ_TOOL_FIRST + 1, "wire"},
                  {ID_YLTHZ_TOOL_FIRST + 2, "wire-to-end"},
                  {ID_YLTHZ_TOOL_FIRST + 3, "link"},
                  {ID_YLTHZ_TOOL_FIRST + 4, "next-string"}};
    ui::registerDialogTemplate(std::move(t));
}

// The toolbar's five pictures, 20 x 14 each, drawn in the 16 colours of a
// classic palette on the transparent light grey.
class Strip {
public:
    static constexpr int kWidth = 20, kHeight = 14, kCount = 5;
    static constexpr COLORREF kBack = RGB(192, 192, 192);
    static constexpr COLORREF kBlack = RGB(0, 0, 0);
    static constexpr COLORREF kGreen = RGB(0, 128, 0);
    static constexpr COLORREF kRed = RGB(128, 0, 0);
    static constexpr COLORREF kBlue = RGB(0, 0, 255);
    static constexpr COLORREF kGrey = RGB(128, 128, 128);

    Strip() : m_px(static_cast<size_t>(kWidth * kCount * kHeight), kBack) {}

    void point(int image, int x, int y, COLORREF c)
    {
        if (x >= 0 && x < kWidth && y >= 0 && y < kHeight)
            m_px[static_cast<size_t>(y * kWidth * kCount + image * kWidth + x)] = c;
    }
    void line(int image, int x0, int y0, int x1, int y1, COLORREF c)
    {
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            point(image, x0, y0, c);
            if (x0 == x1 && y0 == y1)
                return;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
    void box(int image, int x0, int y0, int x1, int y1, COLORREF c, bool dotted = false)
    {
        for (int x = x0; x <= x1; ++x)
            if (!dotted || x % 2 == 0) {
                point(image, x, y0, c);
                point(image, x, y1, c);
            }
        for (int y = y0; y <= y1; ++y)
            if (!dotted || y % 2 == 0) {
                point(image, x0, y, c);
                point(image, x1, y, c);
            }
    }
    // A filled arrow head pointing right (dir 1) or down (dir 2) at (x, y).
    void head(int image, int x, int y, int dir, COLORREF c)
    {
        for (int i = 0; i < 4; ++i)
            for (int j = -i; j <= i; ++j) {
                if (dir == 1)
                    point(image, x - 3 + i, y + j, c);
                else
                    point(image, x + j, y - 3 + i, c);
            }
    }
    ui::BitmapResource take()
    {
        return ui::BitmapResource{kWidth * kCount, kHeight, std::move(m_px)};
    }

private:
    std::vector<COLORREF> m_px;
};

ui::BitmapResource toolbarPictures()
{
    Strip s;
    // t1: leave the cell empty and go on: a dotted cell and an arrow.
    s.box(0, 1, 2, 10, 11, Strip::kGrey, true);
    s.line(0, 12, 7, 17, 7, Strip::kBlue);
    s.head(0, 18, 7, 1, Strip::kBlue);
    // t2: a wire through the cell.
    s.box(1, 4, 2, 15, 11, Strip::kGrey, true);
    s.line(1, 0, 6, 19, 6, Strip::kGreen);
    s.line(1, 0, 7, 19, 7, Strip::kGreen);
    // t3: wires to the end of the string.
    s.line(2, 0, 6, 15, 6, Strip::kGreen);
    s.line(2, 0, 7, 15, 7, Strip::kGreen);
    s.head(2, 15, 7, 1, Strip::kGreen);
    s.line(2, 18, 1, 18, 12, Strip::kBlack);
    // t4: the link to the previous string.
    s.line(3, 0, 2, 19, 2, Strip::kGreen);
    s.line(3, 0, 11, 19, 11, Strip::kGreen);
    s.line(3, 9, 2, 9, 11, Strip::kRed);
    s.line(3, 10, 2, 10, 11, Strip::kRed);
    // t5: the next string.
    s.line(4, 1, 3, 16, 3, Strip::kGreen);
    s.line(4, 16, 3, 16, 9, Strip::kBlue);
    s.line(4, 16, 9, 5, 9, Strip::kBlue);
    s.head(4, 5, 9, 1, Strip::kBlue);
    s.line(4, 1, 12, 16, 12, Strip::kGreen);
    for (int y = 8; y <= 10; ++y)
        for (int x = 2; x <= 4; ++x)
            s.point(4, x, y, Strip::kBlue);
    return s.take();
}

} // namespace

void RegisterPaletteResources()
{
    registerPaletteTemplate();
    RegisterYlthzSetupTemplate();
    if (!ui::findBitmapResource(IDB_YLTHZ_TOOLS))
        ui::registerBitmapResource(IDB_YLTHZ_TOOLS, toolbarPictures());
}

void* PaletteResourceHandle()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&RegisterPaletteResources), &info))
        return info.dli_fbase;
    return nullptr;
}

const wchar_t* PaletteToolTip(UINT commandId)
{
    static const wchar_t* const kTips[] = {L"空格：此格不画，转到下一格", L"连线：导线穿过此格",
                                           L"连到行尾：导线画到本行末端", L"连接线：与上一行相连",
                                           L"换行：开始下一行"};
    if (commandId < ID_YLTHZ_TOOL_FIRST || commandId > ID_YLTHZ_TOOL_LAST)
        return L"";
    return kTips[commandId - ID_YLTHZ_TOOL_FIRST];
}

ui::DialogTemplate ModuleDialogTemplate(UINT id, const char* name, const wchar_t* caption, int cx, int cy,
                                        bool modeless)
{
    ui::DialogTemplate t;
    t.id = id;
    t.name = name;
    t.caption = caption;
    t.fontName = L"宋体";
    t.fontSize = 9;
    t.cx = cx;
    t.cy = cy;
    if (modeless)
        t.style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
    return t;
}

void DestroyModuleDialog(CWnd* dialog)
{
    if (!dialog)
        return;
    dialog->DestroyWindow();
    delete dialog;
}
