#include "install/DefaultInstallation.h"

#include "components/NorvexCodePage.h"
#include "components/NorvexGloFunc.h"
#include "components/slide/SlideLibrary.h"
#include "components/slide/SlideWriter.h"
#include "host/dbmain.h"
#include "host/hostfile.h"
#include "install/Symbols.h"

#include <nlohmann/json.hpp>

namespace fs = std::filesystem;

namespace ctrlsch::install {

namespace {

using Json = nlohmann::json;

bool writeText(const fs::path& path, const std::string& text, std::string& error)
{
    return hostWriteFileAtomically(path.string(), text, error);
}

// Library list files are written in GBK, as users' libraries are.
bool writeGbk(const fs::path& path, const std::wstring& text, std::string& error)
{
    std::string bytes;
    if (!WideToMultiByte(text, bytes, "GBK")) {
        error = "text not representable in GBK for " + path.string();
        return false;
    }
    return writeText(path, bytes, error);
}

bool saveDrawing(AcDbDatabase& db, const fs::path& path, std::string& error)
{
    if (db.saveAs(utf8ToWide(path.string()).c_str()) != Acad::eOk) {
        error = "cannot write " + path.string() + ": " + wideToUtf8(db.lastError());
        return false;
    }
    return true;
}

// One library: a drawing and a slide per symbol, the index and the layer
// key file.
bool writeLibrary(const fs::path& folder, const std::string& name, const std::vector<SymbolDef>& symbols,
                  const std::string& layerKey, std::string& error)
{
    fs::create_directories(folder);
    ctrlsch::slide::SlideLibraryWriter slides;
    std::wstring index;
    for (const SymbolDef& s : symbols) {
        const std::wstring code = s.code.empty() ? L"-" : s.code;
        index += utf8ToWide(s.name) + L" " + s.description + L" " + code + L" 0 0 0 0 0 0\r\n";
        if (s.name == "空")
            continue;
        AcDbDatabase db;
        s.sketch.addTo(db.modelSpace());
        if (!saveDrawing(db, folder / (s.name + ".DXF"), error))
            return false;
        auto bytes = ctrlsch::slide::slideFromDatabase(db);
        if (!bytes || !slides.add(s.name, bytes.value())) {
            error = "cannot make the slide of " + s.name;
            return false;
        }
    }
    auto written = slides.writeFile(folder / (name + ".SLB"));
    if (!written) {
        error = written.error();
        return false;
    }
    return writeGbk(folder / (name + ".IDX"), index, error)
           && writeText(folder / "dwglay.dat", layerKey + "\r\n", error);
}

bool writeBusBars(const fs::path& file, std::string& error)
{
    fs::create_directories(file.parent_path());
    ctrlsch::slide::SlideLibraryWriter slides;
    for (const SymbolDef& s : busBarTypes()) {
        AcDbDatabase db;
        s.sketch.addTo(db.modelSpace());
        auto bytes = ctrlsch::slide::slideFromDatabase(db, 300, 200);
        if (!bytes || !slides.add(s.name, bytes.value())) {
            error = "cannot make the bus-bar slide " + s.name;
            return false;
        }
    }
    auto written = slides.writeFile(file);
    if (!written)
        error = written.error();
    return written.ok();
}

// A changeover-switch table: contacts by rows, switch positions by
// columns, a cross where the contact is closed.
bool writeSwitchTable(const fs::path& file, const std::vector<std::wstring>& positions,
                      const std::vector<std::vector<int>>& closed, std::string& error)
{
    AcDbDatabase db;
    AcDbBlockTableRecord* ms = db.modelSpace();
    const double cw = 15, rh = 7;
    const int cols = static_cast<int>(positions.size()) + 1, rows = static_cast<int>(closed.size()) + 1;
    const double width = cols * cw, height = rows * rh;
    for (int c = 0; c <= cols; ++c)
        ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(c * cw, 0, 0), AcGePoint3d(c * cw, -height, 0)));
    for (int r = 0; r <= rows; ++r)
        ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(0, -r * rh, 0), AcGePoint3d(width, -r * rh, 0)));
    auto text = [&](double x, double y, const std::wstring& t) {
        auto* e = new AcDbText(AcGePoint3d(x, y, 0), t.c_str(), 3.0);
        ms->appendAcDbEntity(e);
    };
    text(1.5, -rh + 2, L"触点号");
    for (int c = 0; c < static_cast<int>(positions.size()); ++c)
        text((c + 1) * cw + 5, -rh + 2, positions[c]);
    for (int r = 0; r < static_cast<int>(closed.size()); ++r) {
        const double y = -(r + 1) * rh;
        text(3, y - rh + 2, std::to_wstring(2 * r + 1) + L"-" + std::to_wstring(2 * r + 2));
        for (int c = 0; c < static_cast<int>(closed[r].size()); ++c)
            if (closed[r][c]) {
                const double x = (c + 1) * cw + cw / 2, yc = y - rh / 2;
                ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(x - 2, yc - 2, 0), AcGePoint3d(x + 2, yc + 2, 0)));
                ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(x - 2, yc + 2, 0), AcGePoint3d(x + 2, yc - 2, 0)));
            }
    }
    return saveDrawing(db, file, error);
}

// Equipment names by designation letters. The statistics look a code up
// as the first place it occurs anywhere in the text, so every code must
// first occur at the start of its own line: one-letter codes come first.
const wchar_t* const kEquipmentNames[][2] = {
    {L"M", L"电动机"},         {L"R", L"电阻器"},       {L"C", L"电容器"},       {L"L", L"电感器"},
    {L"KM", L"交流接触器"},    {L"KA", L"中间继电器"},  {L"KT", L"时间继电器"},  {L"KV", L"电压继电器"},
    {L"KI", L"电流继电器"},    {L"KS", L"信号继电器"},  {L"QF", L"断路器"},      {L"QS", L"隔离开关"},
    {L"FU", L"熔断器"},        {L"FR", L"热继电器"},    {L"SB", L"按钮"},        {L"SA", L"转换开关"},
    {L"SQ", L"行程开关"},      {L"SP", L"压力开关"},    {L"HL", L"指示灯"},      {L"HA", L"电铃"},
    {L"PA", L"电流表"},        {L"PV", L"电压表"},      {L"PJ", L"电度表"},      {L"XT", L"端子排"},
    {L"XS", L"插座"},          {L"TC", L"控制变压器"},  {L"YA", L"电磁铁"},      {L"VD", L"二极管"},
};

} // namespace

bool writeDefaultInstallation(const fs::path& dirIn, std::string& error)
{
    std::error_code ec;
    const fs::path dir = fs::absolute(dirIn, ec);
    if (ec) {
        error = ec.message();
        return false;
    }
    try {
        const fs::path lib = dir / "DwgLib2D";
        fs::create_directories(lib);
        fs::create_directories(dir / "User");
        fs::create_directories(dir / "DATCOM");
        fs::create_directories(dir / "Ctklib");

        Json settings = {{"VMQMain", {{"VmqSys", dir.string()}, {"VmqUse", (dir / "User").string()}, {"CodePage", "GBK"}}},
                         {"Dwglib", {{"DwgDir", lib.string()}}},
                         {"GdData", {{"Xmname", kEquipmentNameFile}}}};
        Json layers = {{"layers",
                        {{"DQ_ELEMENT", {{"name", "电气元件"}, {"color", 7}, {"linetype", "Continuous"}}},
                         {"DQ_WIRE", {{"name", "电气导线"}, {"color", 3}, {"linetype", "Continuous"}}},
                         {"DQ_SCREEN", {{"name", "屏面设备"}, {"color", 4}, {"linetype", "Continuous"}}}}},
                       {"kinds", {{"SCHEMATIC", {{"ELEMENT", "DQ_ELEMENT"}, {"WIREFRAME", "DQ_WIRE"}, {"SCREEN", "DQ_SCREEN"}}}}}};
        if (!writeText(dir / "settings.json", settings.dump(2) + "\n", error)
            || !writeText(dir / "layers.json", layers.dump(2) + "\n", error))
            return false;

        if (!writeGbk(lib / "T-Sywj.dat",
                      L"常用原理图符号 " + utf8ToWide(kSchematicLibrary) + L" 6 0\r\n屏面图符号 " +
                          utf8ToWide(kPanelLibrary) + L" 4 0\r\n",
                      error)
            || !writeLibrary(lib / kSchematicLibrary, kSchematicLibrary, schematicSymbols(), "DQ_ELEMENT", error)
            || !writeLibrary(lib / kPanelLibrary, kPanelLibrary, panelSymbols(), "DQ_SCREEN", error)
            || !writeBusBars(dir / "Image" / "G-mx.slb", error))
            return false;

        if (!writeSwitchTable(dir / "Ctklib" / "ZHKGB1.DXF", {L"I", L"0", L"II"},
                              {{1, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 1}}, error)
            || !writeSwitchTable(dir / "Ctklib" / "ZHKGB2.DXF", {L"手动", L"停", L"自动"},
                                 {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}}, error)
            || !writeSwitchTable(dir / "Ctklib" / "ZHKGB3.DXF", {L"A", L"B", L"C", L"0"},
                                 {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 1, 1, 0}, {0, 0, 0, 1}}, error))
            return false;

        CInterDpData order;
        const std::wstring sortMode = L"0";
        const std::wstring sortList = L"断路器,熔断器,交流接触器,中间继电器,时间继电器,热继电器,按钮,转换开关,指示灯,电流表,电压表";
        order.SetSubValueW(L"生成顺序\\排序项", static_cast<int>(sortMode.size()) + 1, sortMode.c_str(), 0);
        order.SetSubValueW(L"生成顺序\\排序内容", static_cast<int>(sortList.size()) + 1, sortList.c_str(), 0);
        if (!order.WriteDataToQrzFile(utf8ToWide((dir / "DATCOM" / "ESBB.Qrz").string()).c_str())) {
            error = "cannot write " + (dir / "DATCOM" / "ESBB.Qrz").string();
            return false;
        }
        std::wstring names;
        for (const auto& row : kEquipmentNames)
            names += std::wstring(row[0]) + L" " + row[1] + L"\r\n";
        return writeGbk(dir / "DATCOM" / kEquipmentNameFile, names, error);
    } catch (const fs::filesystem_error& e) {
        error = e.what();
        return false;
    }
}

} // namespace ctrlsch::install
