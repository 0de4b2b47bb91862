// ctrlsch-install: the program that writes the default installation. The
// ctrlsch program runs it for "ctrlsch install" and "ctrlsch demo", so that
// the module's file formats stay out of the host program.
//
//   ctrlsch-install DIR
//
// writes the installation into DIR (made absolute; see DefaultInstallation.h
// for its files) and a sheet of every symbol, DIR/symbols.png, then prints
// what it wrote. Two paths are a promise to the programs that run the
// installer (they do not read the layout, they rely on these):
//   DIR/settings.json  the settings file, for CTRLSCH_SETTINGS
//   DIR/User/          the user folder (the settings' VmqUse)
// Exit status: 0 done, 1 failed (with a message on stderr; also when a
// symbol is missing from the sheet), 2 wrong usage.
#include "install/DefaultInstallation.h"
#include "install/SymbolSheet.h"

#include "host/adsdefs.h"

#include <filesystem>
#include <iostream>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

int install(const std::string& arg)
{
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::absolute(arg, ec);
    std::string error;
    if (ec || !ctrlsch::install::writeDefaultInstallation(dir, error)) {
        std::cerr << "ctrlsch install: " << (ec ? ec.message() : error) << "\n";
        return kExitFailed;
    }
    const auto layout = ctrlsch::install::installationLayout(dir);
    const std::wstring root = utf8ToWide(layout.dir.string());
    const auto sections = ctrlsch::install::installationSheetSections(root, root + L"\\DwgLib2D");
    ctrlsch::install::SheetResult sheet;
    const std::string png = (layout.dir / "symbols.png").string();
    if (!ctrlsch::install::writeSymbolSheet(sections, png, sheet, error)) {
        std::cerr << "ctrlsch install: " << error << "\n";
        return kExitFailed;
    }
    std::cout << "installed into " << layout.dir.string() << "\n";
    for (const auto& s : sections)
        std::cout << "  " << wideToUtf8(s.title) << ": " << s.items.size() << " slides\n";
    std::cout << "sheet of all symbols: " << png << " (" << sheet.drawn << " drawn, " << sheet.missing
              << " missing)\n"
              << "use it with: export CTRLSCH_SETTINGS=" << layout.settings.string() << "\n";
    return sheet.missing == 0 ? kExitOk : kExitFailed;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '\0' || (argv[1][0] == '-' && argv[1][1] != '\0')) {
        std::cerr << "usage: ctrlsch-install DIR\n";
        return kExitUsage;
    }
    return install(argv[1]);
}
