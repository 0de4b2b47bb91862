#include "app/install_command.h"

#include "app/render_command.h"
#include "install/DefaultInstallation.h"
#include "install/SymbolSheet.h"

#include "host/adsdefs.h"

#include <filesystem>
#include <iostream>

namespace app {

int installCommand(const std::vector<std::string>& args)
{
    if (args.size() != 1 || args[0].empty())
        return kExitUsage;
    std::error_code ec;
    const std::filesystem::path dir = std::filesystem::absolute(args[0], ec);
    std::string error;
    if (ec || !ctrlsch::install::writeDefaultInstallation(dir, error)) {
        std::cerr << "ctrlsch install: " << (ec ? ec.message() : error) << "\n";
        return kExitFailed;
    }
    const std::wstring root = utf8ToWide(dir.string());
    const auto sections = ctrlsch::install::installationSheetSections(root, root + L"\\DwgLib2D");
    ctrlsch::install::SheetResult sheet;
    const std::string png = (dir / "symbols.png").string();
    if (!ctrlsch::install::writeSymbolSheet(sections, png, sheet, error)) {
        std::cerr << "ctrlsch install: " << error << "\n";
        return kExitFailed;
    }
    std::cout << "installed into " << dir.string() << "\n";
    for (const auto& s : sections)
        std::cout << "  " << wideToUtf8(s.title) << ": " << s.items.size() << " slides\n";
    std::cout << "sheet of all symbols: " << png << " (" << sheet.drawn << " drawn, " << sheet.missing
              << " missing)\n"
              << "use it with: export CTRLSCH_SETTINGS=" << (dir / "settings.json").string() << "\n";
    return sheet.missing == 0 ? kExitOk : kExitFailed;
}

} // namespace app
