#include "install/DefaultInstallation.h"

#include "components/NorvexCodePage.h"
#include "components/NorvexGloFunc.h"
#include "components/slide/SlideLibrary.h"
#include "components/slide/SlideWriter.h"
#include "host/dbmain.h"
#include "host/hostfile.h"
#include "install/Symbols.h"

#include <nlohmann/json.hpp>

#include <cassert>

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

// A drawing's model space, open for write while the object lives: the
// installer draws through the host's public interface.
class ModelSpaceForWrite {
public:
    explicit ModelSpaceForWrite(AcDbDatabase& db)
    {
        [[maybe_unused]] const Acad::ErrorStatus es = acdbOpenObject(m_space, db.modelSpaceId(), AcDb::kForWrite);
        assert(es == Acad::eOk && m_space);
    }
    ~ModelSpaceForWrite() { m_space->close(); }
    ModelSpaceForWrite(const ModelSpaceForWrite&) = delete;
    ModelSpaceForWrite& operator=(const ModelSpaceForWrite&) = delete;

    AcDbBlockTableRecord* get() const { return m_space; }

private:
    AcDbBlockTableRecord* m_space = nullptr;
};

// The libraries of the catalogue, in its order.
struct LibraryDef {
    const char* folderName;
    const wchar_t* displayName;
    int gridSize;
    const char* layerKey; // resolves to the schematic element layer or the panel layer
    std::vector<SymbolDef> (*symbols)();
};

const LibraryDef kLibraries[] = {
    {kSchematicLibrary, L"常用原理图符号", 6, "DQ_ELEMENT", schematicSymbols},
    {kPanelLibrary, L"屏面图符号", 4, "DQ_SCREEN", panelSymbols},
};

// A changeover-switch table: contacts by rows, switch positions by
// columns, a cross where the contact is closed.
struct SwitchTableDef {
    const char* file;
    std::vector<std::wstring> positions;
    std::vector<std::vector<int>> closed; // per contact, per position
};

const std::vector<SwitchTableDef>& switchTables()
{
    static const std::vector<SwitchTableDef> tables = {
        {"ZHKGB1.DXF", {L"I", L"0", L"II"}, {{1, 0, 0}, {0, 0, 1}, {1, 0, 0}, {0, 0, 1}}},
        {"ZHKGB2.DXF", {L"手动", L"停", L"自动"}, {{1, 0, 0}, {0, 0, 1}, {0, 1, 0}}},
        {"ZHKGB3.DXF", {L"A", L"B", L"C", L"0"}, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {1, 1, 1, 0}, {0, 0, 0, 1}}},
    };
    return tables;
}

// One library: a drawing and a slide per symbol, the index and the layer
// key file.
bool writeLibrary(const LibraryLayout& layout, const std::vector<SymbolDef>& symbols, std::string& error)
{
    fs::create_directories(layout.folder);
    ctrlsch::slide::SlideLibraryWriter slides;
    std::wstring index;
    for (const SymbolDef& s : symbols) {
        // Every field must be there for the line to count: "-" stands for no code.
        const std::wstring code = s.code.empty() ? L"-" : s.code;
        index += utf8ToWide(s.name) + L" " + s.description + L" " + code + L" 0 0 0 0 0 0\r\n";
        if (s.name == "空")
            continue;
        AcDbDatabase db;
        s.sketch.addTo(ModelSpaceForWrite(db).get());
        if (!saveDrawing(db, layout.folder / (s.name + ".DXF"), error))
            return false;
        auto bytes = ctrlsch::slide::slideFromDatabase(db);
        if (!bytes || !slides.add(s.name, bytes.value())) {
            error = "cannot make the slide of " + s.name;
            return false;
        }
    }
    auto written = slides.writeFile(layout.slides);
    if (!written) {
        error = written.error();
        return false;
    }
    return writeGbk(layout.index, index, error) && writeText(layout.layerKeyFile, layout.layerKey + "\r\n", error);
}

bool writeBusBars(const fs::path& file, std::string& error)
{
    fs::create_directories(file.parent_path());
    ctrlsch::slide::SlideLibraryWriter slides;
    for (const SymbolDef& s : busBarTypes()) {
        AcDbDatabase db;
        s.sketch.addTo(ModelSpaceForWrite(db).get());
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

// Two header rows ("触点号" over both; "位置" over the position names),
// then one row per contact; texts centred in their cells.
bool writeSwitchTable(const fs::path& file, const SwitchTableDef& table, std::string& error)
{
    const double firstWidth = 28, cw = 24, rh = 9, textHeight = 4;
    const int positions = static_cast<int>(table.positions.size());
    const int rows = 2 + static_cast<int>(table.closed.size());
    const double width = firstWidth + positions * cw, height = rows * rh;
    AcDbDatabase db;
    const ModelSpaceForWrite space(db);
    AcDbBlockTableRecord* ms = space.get();
    auto line = [&](double x1, double y1, double x2, double y2) {
        ms->appendAcDbEntity(new AcDbLine(AcGePoint3d(x1, y1, 0), AcGePoint3d(x2, y2, 0)));
    };
    auto text = [&](double cx, double cy, const std::wstring& t) {
        auto* e = new AcDbText(AcGePoint3d(cx, cy, 0), t.c_str(), textHeight);
        e->setHorizontalMode(AcDb::kTextCenter);
        e->setVerticalMode(AcDb::kTextVertMid);
        e->setAlignmentPoint(AcGePoint3d(cx, cy, 0));
        ms->appendAcDbEntity(e);
    };
    line(0, 0, width, 0);
    line(firstWidth, -rh, width, -rh);
    for (int r = 2; r <= rows; ++r)
        line(0, -r * rh, width, -r * rh);
    line(0, 0, 0, -height);
    line(firstWidth, 0, firstWidth, -height);
    for (int c = 1; c <= positions; ++c)
        line(firstWidth + c * cw, c == positions ? 0 : -rh, firstWidth + c * cw, -height);

    auto columnMiddle = [&](int c) { return firstWidth + (c + 0.5) * cw; };
    text(firstWidth / 2, -rh, L"触点号");
    text(firstWidth + positions * cw / 2, -rh / 2, L"位置");
    for (int c = 0; c < positions; ++c)
        text(columnMiddle(c), -1.5 * rh, table.positions[c]);
    for (int r = 0; r < static_cast<int>(table.closed.size()); ++r) {
        const double yc = -(r + 2.5) * rh;
        text(firstWidth / 2, yc, std::to_wstring(2 * r + 1) + L"-" + std::to_wstring(2 * r + 2));
        for (int c = 0; c < positions && c < static_cast<int>(table.closed[r].size()); ++c)
            if (table.closed[r][c])
                text(columnMiddle(c), yc, L"×");
    }
    return saveDrawing(db, file, error);
}

// Equipment names by designation letters. The statistics look a code up
// as the first place it occurs anywhere in the text, so every code must
// first occur at the start of its own line: one-letter codes come first.
const wchar_t* const kEquipmentNames[][2] = {
    {L"M", L"电动机"},         {L"R", L"电阻器"},       {L"C", L"电容器"},       {L"L", L"电感器"},
    {L"P", L"测量仪表"},       {L"PE", L"保护接地"},
    {L"KM", L"交流接触器"},    {L"KA", L"中间继电器"},  {L"KT", L"时间继电器"},  {L"KV", L"电压继电器"},
    {L"KI", L"电流继电器"},    {L"KS", L"信号继电器"},  {L"QF", L"断路器"},      {L"QS", L"隔离开关"},
    {L"FU", L"熔断器"},        {L"FR", L"热继电器"},    {L"SB", L"按钮"},        {L"SA", L"转换开关"},
    {L"SQ", L"行程开关"},      {L"SP", L"压力开关"},    {L"HL", L"指示灯"},      {L"HA", L"电铃"},
    {L"PA", L"电流表"},        {L"PV", L"电压表"},      {L"PJ", L"电度表"},      {L"XT", L"端子排"},
    {L"XS", L"插座"},          {L"TC", L"控制变压器"},  {L"YA", L"电磁铁"},      {L"VD", L"二极管"},
};

} // namespace

InstallLayout installationLayout(const fs::path& dirIn)
{
    InstallLayout l;
    std::error_code ec;
    l.dir = fs::absolute(dirIn, ec).lexically_normal();
    if (l.dir.has_parent_path() && !l.dir.has_filename()) // "dir/" names dir
        l.dir = l.dir.parent_path();
    l.settings = l.dir / "settings.json";
    l.layers = l.dir / "layers.json";
    l.userDir = l.dir / "User";
    l.dwgDir = l.dir / "DwgLib2D";
    l.catalogue = l.dwgDir / "T-Sywj.dat";
    for (const LibraryDef& def : kLibraries) {
        LibraryLayout lib;
        lib.folderName = def.folderName;
        lib.displayName = def.displayName;
        lib.gridSize = def.gridSize;
        lib.layerKey = def.layerKey;
        lib.folder = l.dwgDir / def.folderName;
        lib.index = lib.folder / (lib.folderName + ".IDX");
        lib.slides = lib.folder / (lib.folderName + ".SLB");
        lib.layerKeyFile = lib.folder / "dwglay.dat";
        for (const SymbolDef& s : def.symbols()) {
            if (s.name == "空")
                ++lib.blankSlots;
            else
                lib.symbols.push_back(s.name);
        }
        l.libraries.push_back(std::move(lib));
    }
    l.busBarLibrary = l.dir / "Image" / "G-mx.slb";
    for (const SymbolDef& s : busBarTypes())
        l.busBars.push_back(s.name);
    for (const SwitchTableDef& t : switchTables())
        l.switchTables.push_back(l.dir / "Ctklib" / t.file);
    l.statisticsOrder = l.dir / "DATCOM" / "ESBB.Qrz";
    l.equipmentNames = l.dir / "DATCOM" / kEquipmentNameFile;
    return l;
}

bool writeDefaultInstallation(const fs::path& dirIn, std::string& error)
{
    if (dirIn.empty()) {
        error = "no installation folder given";
        return false;
    }
    const InstallLayout l = installationLayout(dirIn);
    if (!l.dir.is_absolute()) {
        error = "cannot make " + dirIn.string() + " absolute";
        return false;
    }
    try {
        for (const fs::path& folder : {l.dwgDir, l.userDir, l.statisticsOrder.parent_path(),
                                       l.switchTables.front().parent_path(), l.busBarLibrary.parent_path()})
            fs::create_directories(folder);

        Json settings = {{"VMQMain", {{"VmqSys", l.dir.string()}, {"VmqUse", l.userDir.string()}, {"CodePage", "GBK"}}},
                         {"Dwglib", {{"DwgDir", l.dwgDir.string()}}},
                         {"GdData", {{"Xmname", kEquipmentNameFile}}}};
        Json layers = {{"layers",
                        {{"DQ_ELEMENT", {{"name", "电气元件"}, {"color", 7}, {"linetype", "Continuous"}}},
                         {"DQ_WIRE", {{"name", "电气导线"}, {"color", 3}, {"linetype", "Continuous"}}},
                         {"DQ_SCREEN", {{"name", "屏面设备"}, {"color", 4}, {"linetype", "Continuous"}}}}},
                       {"kinds", {{"SCHEMATIC", {{"ELEMENT", "DQ_ELEMENT"}, {"WIREFRAME", "DQ_WIRE"}, {"SCREEN", "DQ_SCREEN"}}}}}};
        if (!writeText(l.settings, settings.dump(2) + "\n", error) || !writeText(l.layers, layers.dump(2) + "\n", error))
            return false;

        std::wstring catalogue;
        for (const LibraryLayout& lib : l.libraries)
            catalogue += lib.displayName + L" " + utf8ToWide(lib.folderName) + L" " + std::to_wstring(lib.gridSize) + L" 0\r\n";
        if (!writeGbk(l.catalogue, catalogue, error))
            return false;
        for (std::size_t i = 0; i < l.libraries.size(); ++i)
            if (!writeLibrary(l.libraries[i], kLibraries[i].symbols(), error))
                return false;
        if (!writeBusBars(l.busBarLibrary, error))
            return false;
        for (std::size_t i = 0; i < l.switchTables.size(); ++i)
            if (!writeSwitchTable(l.switchTables[i], switchTables()[i], error))
                return false;

        CInterDpData order;
        const std::wstring sortMode = L"0";
        const std::wstring sortList = L"断路器,熔断器,交流接触器,中间继电器,时间继电器,热继电器,按钮,转换开关,指示灯,电流表,电压表";
        order.SetSubValueW(L"生成顺序\\排序项", static_cast<int>(sortMode.size()) + 1, sortMode.c_str(), 0);
        order.SetSubValueW(L"生成顺序\\排序内容", static_cast<int>(sortList.size()) + 1, sortList.c_str(), 0);
        if (!order.WriteDataToQrzFile(utf8ToWide(l.statisticsOrder.string()).c_str())) {
            error = "cannot write " + l.statisticsOrder.string();
            return false;
        }
        std::wstring names;
        for (const auto& row : kEquipmentNames)
            names += std::wstring(row[0]) + L" " + row[1] + L"\r\n";
        return writeGbk(l.equipmentNames, names, error);
    } catch (const fs::filesystem_error& e) {
        error = e.what();
        return false;
    }
}

} // namespace ctrlsch::install
