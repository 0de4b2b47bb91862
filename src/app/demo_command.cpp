#include "app/demo_command.h"

#include "app/install_command.h"
#include "app/render_command.h"
#include "app/session.h"
#include "host/hostfile.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>

namespace app {

namespace fs = std::filesystem;

namespace {

// Chooses a symbol of the palette or of the panel equipment dialog by name.
std::string choose(const char* dialog, const char* symbol)
{
    return std::string("@choose ") + dialog + " " + symbol;
}

// Types the texts of one piece of panel equipment into the dialog.
std::vector<std::string> panelValues(const std::string& width, const std::string& height, const std::string& code,
                                     const std::string& symbol, const std::string& name, const std::string& model)
{
    // A square symbol's width follows its height: none is typed for it.
    std::vector<std::string> lines = {"@type panel height \"" + height + "\""};
    if (!width.empty())
        lines.push_back("@type panel width \"" + width + "\"");
    for (const std::string& line :
         {"@type panel code \"" + code + "\"", "@type panel symbol \"" + symbol + "\"",
          "@type panel name \"" + name + "\"", "@type panel model \"" + model + "\"", std::string("@deactivate panel")})
        lines.push_back(line);
    return lines;
}

// A designation written above the symbol of a row's cell.
struct Designation {
    int row;
    int cell;
    const char* name;
};

// Types TEXT for a designation, centred 7 above the row's wire over the
// cell's middle, 3.5 high: the schematic's cells are 30 wide from the base
// point (0, 0), its rows 20 apart below it.
void designate(std::vector<std::string>& script, const Designation& d)
{
    char at[64];
    std::snprintf(at, sizeof at, "%g,%g", 30.0 * d.cell + 15, -20.0 * (d.row + 1) + 7);
    for (const std::string& line : {std::string("TEXT"), std::string("J"), std::string("MC"), std::string(at),
                                    std::string("3.5"), std::string("0"), std::string(d.name)})
        script.push_back(line);
}

bool writeScript(const fs::path& path, const std::vector<std::string>& lines)
{
    std::string text, error;
    for (const std::string& l : lines)
        text += l + "\n";
    return hostWriteFileAtomically(path.string(), text, error);
}

// The ladders are wider than high: their plots go on a landscape page.
const std::vector<std::string> kLadderPage = {"--landscape"};

// Chooses a palette symbol by name.
std::string symbol(const char* name)
{
    return choose("palette", name);
}

// Writes a dialog as it is seen into DIR/DIALOG.png.
std::string snapshot(const fs::path& dir, const char* dialog)
{
    return std::string("@snapshot ") + dialog + " \"" + (dir / (std::string(dialog) + ".png")).string() + "\"";
}

// The first session: a new ladder.
std::vector<std::string> starterScript(const fs::path& dir)
{
    // A motor starter in rows of five cells: the control circuit's breaker,
    // the thermal relay's contact, stop and start buttons, the contactor's
    // coil; its holding contact across the start button; the run and stop
    // lamps. Filling a row's last cell begins the next row with its rails;
    // after the last row, U takes that empty row's rails back. Then the
    // designations, typed above their symbols.
    std::vector<std::string> script = {
        "(ylthz)",
        "@type palette count \"5\"",
        "0,0",
        symbol("QF"), symbol("FR-NC"), symbol("SB-NC"), symbol("SB-NO"), symbol("KM-COIL"),
        snapshot(dir, "palette"),
        "t1", "t1", "t1", "t4", symbol("KM-NO"), "t4", "t5",
        symbol("KM-NO"), "t2", "t2", "t2", symbol("HL-R"),
        symbol("KM-NC"), "t2", "t2", "t2", symbol("HL-G"),
        "",
        "U",
    };
    for (const Designation& d : std::vector<Designation>{{0, 0, "QF1"},
                                                         {0, 1, "FR1"},
                                                         {0, 2, "SB1"},
                                                         {0, 3, "SB2"},
                                                         {0, 4, "KM1"},
                                                         {1, 3, "KM1"},
                                                         {2, 0, "KM1"},
                                                         {2, 4, "HL1"},
                                                         {3, 0, "KM1"},
                                                         {3, 4, "HL2"}})
        designate(script, d);
    return script;
}

// The second session: the ladder continued, a function box beside it.
std::vector<std::string> continuedScript()
{
    // Continued: the first empty cell is the holding branch's; a pick
    // moves on to the last row, whose end (t5) begins a new one: the
    // contactor's contact switches the auxiliary relay.
    std::vector<std::string> script = {
        "(yltbj)",
        "-10,10",
        "170,-120",
        "15,-80",
        "t5",
        symbol("KM-NO"), "t2", "t2", "t2", symbol("KA-COIL"),
        "",
        "U",
    };
    for (const Designation& d : std::vector<Designation>{{4, 0, "KM1"}, {4, 4, "KA1"}})
        designate(script, d);
    // A function box beside the schematic, six rows down its height.
    for (const char* line : {"(gnkhz)", "160,0", "@move 190,-60", "@pick 205,-100"})
        script.push_back(line);
    return script;
}

// The third session: the panel front.
std::vector<std::string> panelScript(const fs::path& dir)
{
    // The panel front of the same equipment, a door drawn in millimetres
    // at scale 0.2 (labels 4 and 6 mm high): the name plate over a row of
    // lamps over a row of buttons, 22 mm devices at width and height 1
    // (their 30 mm bezels), 60 mm apart; then the equipment table of the
    // panel drawing.
    const std::string plate = choose("panel", "pmtfh1"), lamp = choose("panel", "pmtfh2"),
                      button = choose("panel", "pmtfh3");
    std::vector<std::string> script = {"(inspmtsb 0.2)", plate};
    const auto add = [&script](const std::string& click, std::vector<std::string> values, const std::string& at) {
        if (!click.empty())
            script.push_back(click);
        script.insert(script.end(), values.begin(), values.end());
        script.push_back("@pick " + at);
    };
    add("", panelValues("1", "1", "电动机控制", "M1", "电动机控制", "Y-112M"), "5,125");
    add(lamp, panelValues("", "1", "1", "HL1", "运行指示灯", "AD16-22/红"), "0,65");
    add("", panelValues("", "1", "2", "HL2", "停止指示灯", "AD16-22/绿"), "60,65");
    add(button, panelValues("1", "1", "3", "SB1", "停止按钮", "LA39-11/红"), "0,0");
    std::vector<std::string> lastButton = panelValues("1", "1", "4", "SB2", "启动按钮", "LA39-11/绿");
    lastButton.push_back(snapshot(dir, "panel"));
    add("", lastButton, "60,0");
    script.push_back("");
    script.push_back("(esbbtj 0)");

    return script;
}

// The fourth session: the dialogs LISP programs call.
std::vector<std::string> selectionScript(const fs::path& dir)
{
    // The selection dialogs that LISP programs call: a bus-bar type, a
    // changeover-switch table to insert, the terminal design choice.
    return {
        "(mxdlg)",        "@click busbar type5",          snapshot(dir, "busbar"),      "@click busbar ok",
        "(zhkgbdlg)",     "@select switchtable files 0",  snapshot(dir, "switchtable"), "@click switchtable insert",
        "(showdzjddlg)",  "(getdzjddlg)",                 "(hidedzjddlg)",
    };
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

    const fs::path script1 = dir / "motor-starter.scr", script2 = dir / "motor-starter-continued.scr";
    const fs::path script4 = dir / "selection-dialogs.scr";
    const fs::path script3 = dir / "motor-starter-panel.scr", dxf3 = dir / "motor-starter-panel.dxf";
    const fs::path dxf1 = dir / "motor-starter.dxf", dxf2 = dir / "motor-starter-continued.dxf";
    if (!writeScript(script1, starterScript(dir)) || !writeScript(script2, continuedScript()) ||
        !writeScript(script3, panelScript(dir)) || !writeScript(script4, selectionScript(dir))) {
        std::cerr << "cannot write the scripts into " << dir << "\n";
        return kExitFailed;
    }
    int status = runCommand({script1.string(), "-o", dxf1.string()});
    if (status == kExitOk)
        status = renderPictures(dxf1.string(), (dir / "motor-starter").string(), kLadderPage);
    if (status == kExitOk)
        status = runCommand({script2.string(), dxf1.string(), "-o", dxf2.string()});
    if (status == kExitOk)
        status = renderPictures(dxf2.string(), (dir / "motor-starter-continued").string(), kLadderPage);
    if (status == kExitOk)
        status = runCommand({script3.string(), "-o", dxf3.string()});
    if (status == kExitOk)
        status = renderPictures(dxf3.string(), (dir / "motor-starter-panel").string());
    if (status == kExitOk)
        status = runCommand({script4.string()});
    if (status == kExitOk)
        std::cout << "wrote " << dxf1.string() << ", " << dxf2.string() << ", " << dxf3.string()
                  << " and their pictures (SVG, PNG and PDF), and the dialogs as seen (palette.png, panel.png,"
                     " busbar.png, switchtable.png)\n";
    return status;
}

} // namespace app
