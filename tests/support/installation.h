// The default installation for the tests that read one. Under ctest it is
// the one the build wrote for the tests (build/tests/default-installation,
// named by CTRLSCH_TEST_INSTALLATION), shared by every test program and
// only read; run directly, a test program writes its own into a temporary
// folder that goes at exit. Either way the user folder and the settings
// naming it are the program's own, so programs running side by side never
// share the files the module writes. Tests using it link ctrlsch_install.
#pragma once

#include "install/DefaultInstallation.h"
#include "testutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace testutil {

// The shared installation's folder, or empty when there is none (or it
// is incomplete) and the program must write its own.
inline std::string sharedInstallationDir()
{
    const char* dir = std::getenv("CTRLSCH_TEST_INSTALLATION");
    if (!dir || !*dir)
        return {};
    std::error_code ec;
    return std::filesystem::is_regular_file(ctrlsch::install::installationLayout(dir).settings, ec) ? dir : std::string();
}

// Gives the layout a user folder of its own under `into`, with settings
// like the installation's that name it.
inline bool privateUserFolder(ctrlsch::install::InstallLayout& layout, const std::string& into, std::string& error)
{
    std::string text = readFile(layout.settings.string());
    const std::string from = layout.userDir.string();
    const auto at = text.find("\"" + from + "\"");
    if (at == std::string::npos) {
        error = layout.settings.string() + " names no user folder " + from;
        return false;
    }
    layout.userDir = std::filesystem::path(into) / "User";
    layout.settings = std::filesystem::path(into) / "settings.json";
    text.replace(at + 1, from.size(), layout.userDir.string());
    std::error_code ec;
    std::filesystem::create_directories(layout.userDir, ec);
    if (ec) {
        error = layout.userDir.string() + ": " + ec.message();
        return false;
    }
    writeFile(layout.settings.string(), text);
    return true;
}

// The layout with a copy of its symbol drawing folder under `into`, and
// settings (also there) like its own that name the copy: for tests that
// take symbols away, as the shared installation is only read.
inline ctrlsch::install::InstallLayout withOwnSymbolFolder(const ctrlsch::install::InstallLayout& layout,
                                                           const std::string& into)
{
    namespace fs = std::filesystem;
    ctrlsch::install::InstallLayout own = layout;
    own.dwgDir = fs::path(into) / layout.dwgDir.filename();
    fs::copy(layout.dwgDir, own.dwgDir, fs::copy_options::recursive);
    own.catalogue = own.dwgDir / layout.catalogue.filename();
    for (ctrlsch::install::LibraryLayout& lib : own.libraries) {
        const auto rebase = [&](fs::path& p) { p = own.dwgDir / p.lexically_relative(layout.dwgDir); };
        for (fs::path* p : {&lib.folder, &lib.index, &lib.slides, &lib.layerKeyFile})
            rebase(*p);
    }
    std::string text = readFile(layout.settings.string());
    const std::string from = "\"" + layout.dwgDir.string() + "\"";
    const auto at = text.find(from);
    EXPECT_NE(at, std::string::npos) << layout.settings << " names no symbol folder " << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), "\"" + own.dwgDir.string() + "\"");
    own.settings = fs::path(into) / "settings-own-symbols.json";
    writeFile(own.settings.string(), text);
    return own;
}

inline const ctrlsch::install::InstallLayout& defaultInstallation()
{
    static TempDir dir;
    static const ctrlsch::install::InstallLayout layout = [] {
        std::string shared = sharedInstallationDir();
        if (shared.empty()) {
            std::string error;
            if (!ctrlsch::install::writeDefaultInstallation(dir.path(), error))
                ADD_FAILURE() << error;
            return ctrlsch::install::installationLayout(dir.path());
        }
        ctrlsch::install::InstallLayout l = ctrlsch::install::installationLayout(shared);
        std::string error;
        if (!privateUserFolder(l, dir.path(), error))
            ADD_FAILURE() << error;
        return l;
    }();
    return layout;
}

} // namespace testutil
