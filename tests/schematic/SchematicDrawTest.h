// Shared set-up of the drawing tests: the default installation written
// once, a fresh drawing per test, a symbol choice the test sets, and the
// command line's output and input.
#pragma once

#include "components/TalvoDataBase.h"
#include "host/acapdoc.h"
#include "host/aced.h"
#include "host/commandline.h"
#include "host/dbmain.h"
#include "install/DefaultInstallation.h"
#include "schematic/SymbolChoice.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <regex>
#include <string>

namespace drawtest {

inline std::string& output()
{
    static std::string out;
    return out;
}

class Choice : public CSymbolChoice {
public:
    std::wstring symbol = L"NULL";
    std::wstring folder;
    std::wstring GetSelectedSymbol() const override { return symbol; }
    std::wstring GetLibraryFolder() const override { return folder; }
    std::wstring GetSymbolDescription() const override { return L"常开触点"; }
    std::wstring GetSymbolCode() const override { return L"KA"; }
};

using Lines = testutil::ScriptLines;

class DrawingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new testutil::TempDir();
        std::string error;
        ASSERT_TRUE(ctrlsch::install::writeDefaultInstallation(s_dir->path(), error)) << error;
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override
    {
        ::setenv("CTRLSCH_SETTINGS", s_dir->file("settings.json").c_str(), 1);
        output().clear();
        host::setOutput([](const std::string& s) { output() += s; });
        acDocManager->newDocument();
        db = acdbHostApplicationServices()->workingDatabase();
        const auto layout = ctrlsch::install::installationLayout(s_dir->path());
        std::string folder = layout.libraries.at(0).folder.string();
        for (char& c : folder)
            if (c == '/')
                c = '\\';
        choice.folder = utf8ToWide(folder);
        SetCurrentSymbolChoice(&choice);
        LayerInfo info;
        GetDQLayerName(L"SCHEMATIC", L"WIREFRAME", info);
        wireLayer = wideToUtf8(info.name);
        GetDQLayerName(L"SCHEMATIC", L"ELEMENT", info);
        elementLayer = wideToUtf8(info.name);
    }
    void TearDown() override
    {
        SetCurrentSymbolChoice(nullptr);
        host::setLineSource(nullptr);
        acDocManager->closeAll();
        host::setOutput(nullptr);
        ::unsetenv("CTRLSCH_SETTINGS");
    }
    void feed(std::deque<std::string> lines)
    {
        m_lines = std::make_unique<Lines>(std::move(lines));
        host::setLineSource(m_lines.get());
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
        for (const AcDbObjectId& id : db->modelSpace()->entityIds())
            if (id.isValid() && !id.isErased())
                ids.append(id);
        return ids;
    }
    template <class T>
    T* open(const AcDbObjectId& id, bool erased = false) const
    {
        if (id.isNull() || !id.isValid() || (id.isErased() && !erased))
            return nullptr;
        return dynamic_cast<T*>(id.stub()->object.get());
    }

    static testutil::TempDir* s_dir;
    AcDbDatabase* db = nullptr;
    Choice choice;
    std::string wireLayer, elementLayer;
    std::unique_ptr<Lines> m_lines;
};

inline testutil::TempDir* DrawingTest::s_dir = nullptr;

} // namespace drawtest
