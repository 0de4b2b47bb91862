// Shared set-up of the drawing tests: the default installation written
// once, a fresh drawing per test, the palette to choose symbols from, and the
// command line's output and input.
#pragma once

#include "components/TalvoDataBase.h"
#include "host/acapdoc.h"
#include "host/aced.h"
#include "host/commandline.h"
#include "host/dbinternal.h"
#include "host/dbmain.h"
#include "install/DefaultInstallation.h"
#include "library/YlthzDialog.h"
#include "ui/afxwin.h"
#include "ModuleTest.h"
#include "installation.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <regex>
#include <string>

namespace drawtest {

inline std::string& output() { return testutil::hostOutput(); }

using Lines = testutil::ScriptLines;

class DrawingTest : public testutil::ModuleTest {
protected:
    static const ctrlsch::install::InstallLayout& installation() { return testutil::defaultInstallation(); }
    void SetUp() override
    {
        if (ownSymbols) {
            m_ownSymbols = std::make_unique<testutil::TempDir>();
            useSettings(testutil::withOwnSymbolFolder(installation(), m_ownSymbols->path()).settings.string());
        } else {
            useSettings(installation().settings.string());
        }
        std::filesystem::remove(installation().userDir / "VmqTemporary.Qrz");
        ModuleTest::SetUp();
        g_pYlthzDlg = new CYlthzDialog;
        ASSERT_TRUE(g_pYlthzDlg->Create());
        g_pYlthzDlg->ShowWindow(SW_SHOWNA);
        CString folder;
        g_pYlthzDlg->GetLibraryFolder(folder);
        libraryFolder = folder.GetString();
        LayerInfo info;
        GetDQLayerName(L"SCHEMATIC", L"WIREFRAME", info);
        wireLayer = wideToUtf8(info.name);
        GetDQLayerName(L"SCHEMATIC", L"ELEMENT", info);
        elementLayer = wideToUtf8(info.name);
    }
    void TearDown() override
    {
        ClosePalette();
        ModuleTest::TearDown();
    }
    // The event of a click on a symbol of the palette.
    static std::string clickOn(const std::wstring& name) { return "@choose palette " + wideToUtf8(name); }
    // A point typed at a prompt.
    static std::string xy(const AcGePoint3d& p)
    {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.6f,%.6f", p.x, p.y);
        return buf;
    }
    // Chooses a symbol of the palette by name as a user would: pages to it
    // and clicks it. "NULL" chooses a blank slot.
    void choose(const std::wstring& name)
    {
        const std::wstring wanted = name == L"NULL" ? std::wstring(CSymbolIndex::kEmptySlotName) : name;
        const CSymbolIndex& index = g_pYlthzDlg->GetIndex();
        int slot = -1;
        for (int i = 0; i < index.GetCount() && slot < 0; ++i)
            if (index.GetName(i) == wanted)
                slot = i;
        ASSERT_GE(slot, 0) << wideToUtf8(name);
        ASSERT_TRUE(ui::dispatchEvent(clickOn(wanted)));
        ASSERT_EQ(g_pYlthzDlg->GetSelection(), slot);
    }
    // A value of the user's project data, as the palette reads it when it
    // opens.
    void storeSetting(const wchar_t* key, const std::wstring& value) const
    {
        CInterDpData data;
        const std::wstring path = utf8ToWide((installation().userDir / "VmqTemporary.Qrz").string());
        data.ReadDataFromQrzFile(path.c_str());
        data.SetSubValueW(key, static_cast<int>(value.size()) + 1, value.c_str(), 0);
        ASSERT_TRUE(data.WriteDataToQrzFile(path.c_str()));
    }
    // The palette closed (which saves its own settings) and opened again
    // after the given settings were stored.
    void reopenPalette(const std::vector<std::pair<const wchar_t*, std::wstring>>& settings)
    {
        ClosePalette();
        for (const auto& [key, value] : settings)
            storeSetting(key, value);
        g_pYlthzDlg = new CYlthzDialog;
        ASSERT_TRUE(g_pYlthzDlg->Create());
        g_pYlthzDlg->ShowWindow(SW_SHOWNA);
    }
    // The drawing as text, without the handle seed that additions raise.
    std::string drawingText() const
    {
        return std::regex_replace(db->dxfOut(), std::regex("\\$HANDSEED\n  5\n[0-9A-F]+\n"), "$HANDSEED\n");
    }
    // Model-space entities that are not erased.
    AcDbObjectIdArray liveEntities() const
    {
        AcDbObjectIdArray ids;
        for (const AcDbObjectId& id : AcDbInternals::modelSpace(*db)->entityIds())
            if (id.isValid() && !id.isErased())
                ids.append(id);
        return ids;
    }
    template <class T>
    T* open(const AcDbObjectId& id, bool erased = false) const
    {
        if (id.isNull() || !id.isValid() || (id.isErased() && !erased))
            return nullptr;
        return dynamic_cast<T*>(AcDbInternals::stub(id)->object.get());
    }

    // Set by a fixture's constructor: the palette reads a copy of the
    // symbol drawings (libraryFolder), which the test may change.
    bool ownSymbols = false;
    std::wstring libraryFolder;
    std::string wireLayer, elementLayer;

private:
    std::unique_ptr<testutil::TempDir> m_ownSymbols;
};


// Lines of a script; at every prompt that holds `at` the function is called
// and what it gives is noted.
class NotingLines : public host::LineSource {
public:
    NotingLines(std::deque<std::string> lines, std::function<std::string()> note,
                std::string at = "请选择要绘制的符号")
        : m_lines(std::move(lines)), m_note(std::move(note)), m_at(std::move(at))
    {
    }
    bool readLine(std::string& line, const std::string& prompt) override
    {
        if (prompt.find(m_at) != std::string::npos)
            notes.push_back(m_note());
        if (m_lines.empty())
            return false;
        line = m_lines.front();
        m_lines.pop_front();
        return true;
    }
    bool echoes() const override { return true; }
    std::vector<std::string> notes;

private:
    std::deque<std::string> m_lines;
    std::function<std::string()> m_note;
    std::string m_at;
};

} // namespace drawtest
