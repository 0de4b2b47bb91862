#include "app/demo_command.h"

#include "app/install_command.h"
#include "app/render_command.h"
#include "app/session.h"
#include "library/PaletteResources.h"
#include "library/SymbolLibrary.h"
#include "library/YlthzDialog.h"
#include "panel/PmtsbcsDlg.h"
#include "ui/dlgtemplate.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>

namespace app {

namespace fs = std::filesystem;

namespace {

// Clicks on the palette's symbols, as "@mouse" events at the centres of
// their slots on the first page (the palette's layout is its template's).
class PaletteClicks {
public:
    explicit PaletteClicks(const InstalledPaths& layout)
    {
        RegisterPaletteResources();
        const ui::DialogTemplate* t = ui::findDialogTemplate(IDD_YLTHZ);
        for (const ui::ControlTemplate& c : t->controls)
            if (c.id == static_cast<int>(IDC_YLTHZ_PREVIEW))
                m_preview = ui::dluToPixels(CRect(c.rect.x, c.rect.y, c.rect.x + c.rect.cx, c.rect.y + c.rect.cy),
                                            t->fontSize);
        const std::wstring dwgDir = (layout.dir / "DwgLib2D").wstring();
        CSymbolLibCatalog catalog;
        catalog.Load(CatalogPath(dwgDir));
        m_grid = catalog.GetGridSize(0);
        m_index.Load(catalog.GetIndexPath(dwgDir, 0));
    }
    // The event, or "" when the symbol is not on the first page.
    std::string on(const std::wstring& name) const
    {
        for (int i = 0; i < m_index.GetCount() && i < m_grid * m_grid; ++i) {
            if (m_index.GetName(i) != name)
                continue;
            const int w = m_preview.Width() / m_grid, h = m_preview.Height() / m_grid;
            const int x = m_preview.left + w * (i % m_grid) + w / 2, y = m_preview.top + h * (i / m_grid) + h / 2;
            return "@mouse palette 0 " + std::to_string(x) + " " + std::to_string(y);
        }
        return "";
    }

private:
    CRect m_preview;
    int m_grid = 6;
    CSymbolIndex m_index;
};

// The same for the panel equipment dialog's symbols (any page shown first
// is page 0).
std::string panelClick(const InstalledPaths& layout, const std::wstring& name)
{
    RegisterPanelResources();
    const ui::DialogTemplate* t = ui::findDialogTemplate(IDD_PMTSBCS);
    CRect preview;
    for (const ui::ControlTemplate& c : t->controls)
        if (c.id == static_cast<int>(IDC_PMT_PREVIEW))
            preview = ui::dluToPixels(CRect(c.rect.x, c.rect.y, c.rect.x + c.rect.cx, c.rect.y + c.rect.cy),
                                      t->fontSize);
    const std::wstring dwgDir = (layout.dir / "DwgLib2D").wstring();
    CSymbolLibCatalog catalog;
    catalog.Load(CatalogPath(dwgDir));
    CSymbolIndex index;
    index.Load(catalog.GetIndexPath(dwgDir, 1));
    const int n = catalog.GetGridSize(1);
    for (int i = 0; i < index.GetCount() && i < n * n; ++i)
        if (index.GetName(i) == name) {
            const int w = preview.Width() / n, h = preview.Height() / n;
            return "@mouse panel 0 " + std::to_string(preview.left + w * (i % n) + w / 2) + " " +
                   std::to_string(preview.top + h * (i / n) + h / 2);
        }
    return "";
}

// Types the texts of one piece of panel equipment into the dialog.
std::vector<std::string> panelValues(const std::string& width, const std::string& height, const std::string& code,
                                     const std::string& symbol, const std::string& name, const std::string& model)
{
    // A square symbol's width follows its height: none is typed for it.
    std::vector<std::string> lines = {"@type panel 21820 \"" + height + "\""};
    if (!width.empty())
        lines.push_back("@type panel 21809 \"" + width + "\"");
    for (const std::string& line :
         {"@type panel 21829 \"" + code + "\"", "@type panel 21838 \"" + symbol + "\"",
          "@type panel 22217 \"" + name + "\"", "@type panel 22219 \"" + model + "\"", std::string("@deactivate panel")})
        lines.push_back(line);
    return lines;
}

bool writeScript(const fs::path& path, const std::vector<std::string>& lines)
{
    std::ofstream out(path);
    for (const std::string& l : lines)
        out << l << "\n";
    return static_cast<bool>(out);
}

} // namespace

int demoCommand(const std::vector<std::string>& args)
{
    if (args.size() > 1)
        return kExitUsage;
    const fs::path dir = fs::absolute(args.empty() ? fs::path("demo") : fs::path(args[0]));
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (runInstaller(dir / "install") != kExitOk)
        return kExitFailed;
    const InstalledPaths layout = installedPaths(dir / "install");
    ::setenv("CTRLSCH_SETTINGS", layout.settings.c_str(), 1);
    fs::remove(layout.userDir / "VmqTemporary.Qrz", ec);

    const PaletteClicks click(layout);
    for (const wchar_t* name : {L"FR-NC", L"SB-NC", L"SB-NO", L"KM-COIL", L"KM-NO", L"KM-NC", L"HL-R", L"HL-G",
                                L"CT-NO", L"KA-COIL"})
        if (click.on(name).empty()) {
            std::cerr << "the default library has no " << wideToUtf8(name) << " on its first page\n";
            return kExitFailed;
        }
    // A motor starter in rows of five cells: the thermal relay's contact,
    // stop and start buttons, the contactor's coil; its holding contact
    // across the start button; the run and stop lamps.
    const std::vector<std::string> first = {
        "(ylthz)",
        "@type palette 21853 \"5\"",
        "0,0",
        click.on(L"FR-NC"), click.on(L"SB-NC"), click.on(L"SB-NO"), "t2", click.on(L"KM-COIL"),
        "t1", "t1", "t4", click.on(L"KM-NO"), "t4", "t5",
        click.on(L"KM-NO"), "t2", "t2", "t2", click.on(L"HL-R"),
        click.on(L"KM-NC"), "t2", "t2", "t2", click.on(L"HL-G"),
        "",
    };
    // Continued: the first empty cell is the holding branch's; a pick
    // moves on to the new string, which gets an auxiliary relay.
    const std::vector<std::string> second = {
        "(yltbj)",
        "-10,10",
        "170,-120",
        "15,-100",
        click.on(L"CT-NO"), "t2", "t2", "t2", click.on(L"KA-COIL"),
        "",
        // A function box beside the schematic, six rows down its height.
        "(gnkhz)",
        "160,0",
        "@move 190,-60",
        "@pick 205,-100",
    };
    // The panel front of the same equipment: the name plate, the two lamps
    // and the two buttons, then the equipment table of the panel drawing.
    const std::string plate = panelClick(layout, L"pmtfh1"), lamp = panelClick(layout, L"pmtfh2"),
                      button = panelClick(layout, L"pmtfh3");
    if (plate.empty() || lamp.empty() || button.empty()) {
        std::cerr << "the default panel library lacks its name plate, lamp or button\n";
        return kExitFailed;
    }
    std::vector<std::string> third = {"(inspmtsb 1.0)", plate};
    const auto add = [&third](const std::string& click, std::vector<std::string> values, const std::string& at) {
        if (!click.empty())
            third.push_back(click);
        third.insert(third.end(), values.begin(), values.end());
        third.push_back("@pick " + at);
    };
    // At their own size (width and height 1): the name plate over a row of
    // lamps over a row of buttons, each row with room for its labels.
    add("", panelValues("1", "1", "", "M1", "电动机控制", "Y-112M"), "15,220");
    add(lamp, panelValues("", "1", "1", "HL1", "运行指示灯", "AD16-22/红"), "0,110");
    add("", panelValues("", "1", "2", "HL2", "停止指示灯", "AD16-22/绿"), "110,110");
    add(button, panelValues("1", "1", "3", "SB1", "停止按钮", "LA39-11/红"), "0,0");
    add("", panelValues("1", "1", "4", "SB2", "启动按钮", "LA39-11/绿"), "110,0");
    third.push_back("");
    third.push_back("(esbbtj 0)");

    // The selection dialogs that LISP programs call: a bus-bar type, a
    // changeover-switch table to insert, the terminal design choice.
    const std::vector<std::string> fourth = {
        "(mxdlg)",        "@click busbar 22768",          "@click busbar 1",
        "(zhkgbdlg)",     "@select switchtable 22771 0",  "@click switchtable 22774",
        "(showdzjddlg)",  "(getdzjddlg)",                 "(hidedzjddlg)",
    };

    const fs::path script1 = dir / "motor-starter.scr", script2 = dir / "motor-starter-continued.scr";
    const fs::path script4 = dir / "selection-dialogs.scr";
    const fs::path script3 = dir / "motor-starter-panel.scr", dxf3 = dir / "motor-starter-panel.dxf";
    const fs::path dxf1 = dir / "motor-starter.dxf", dxf2 = dir / "motor-starter-continued.dxf";
    if (!writeScript(script1, first) || !writeScript(script2, second) || !writeScript(script3, third) ||
        !writeScript(script4, fourth)) {
        std::cerr << "cannot write the scripts into " << dir << "\n";
        return kExitFailed;
    }
    int status = runCommand({script1.string(), "-o", dxf1.string()});
    if (status == kExitOk)
        status = renderCommand({dxf1.string(), (dir / "motor-starter.svg").string()});
    if (status == kExitOk)
        status = runCommand({script2.string(), dxf1.string(), "-o", dxf2.string()});
    if (status == kExitOk)
        status = renderCommand({dxf2.string(), (dir / "motor-starter-continued.svg").string()});
    if (status == kExitOk)
        status = runCommand({script3.string(), "-o", dxf3.string()});
    if (status == kExitOk)
        status = renderCommand({dxf3.string(), (dir / "motor-starter-panel.svg").string()});
    if (status == kExitOk)
        status = runCommand({script4.string()});
    if (status == kExitOk)
        std::cout << "wrote " << dxf1.string() << ", " << dxf2.string() << ", " << dxf3.string()
                  << " and their SVG pictures\n";
    return status;
}

} // namespace app
