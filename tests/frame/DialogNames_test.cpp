// The names of the module's dialogs and controls: every control has one,
// and the table of them in src/ui/EVENTS.md is the registered templates'
// (between its "names" markers; a failure prints the table as it should
// read).
#include "app/linetype_dialog.h"
#include "library/PaletteResources.h"
#include "library/YlthzDialog.h"
#include "library/YlthzSetupDialog.h"
#include "panel/PmtsbcsDlg.h"
#include "tools/BusBarDialog.h"
#include "tools/SwitchTableDialog.h"
#include "tools/TerminalDialog.h"
#include "testutil.h"
#include "ui/dlgtemplate.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const UINT kDialogs[] = {IDD_YLTHZ, IDD_YLTHZ_SETUP, IDD_PMTSBCS, IDD_MX_TYPE,
                         IDD_ZHKGB, IDD_DZJDSJ,      app::kLinetypeDialogId};

std::vector<const ui::DialogTemplate*> registeredTemplates()
{
    RegisterPaletteResources();
    RegisterPanelResources();
    RegisterBusBarTemplate();
    RegisterSwitchTableTemplate();
    RegisterTerminalResources();
    app::installLinetypeDialog();
    std::vector<const ui::DialogTemplate*> out;
    for (UINT id : kDialogs)
        out.push_back(ui::findDialogTemplate(id));
    return out;
}

// One row a dialog: its name and id, then its controls as "name id", then
// its toolbar's buttons, if it names any.
std::string namesTable(const std::vector<const ui::DialogTemplate*>& templates)
{
    std::string table = "| dialog | id | controls (name id) |\n|---|---|---|\n";
    for (const ui::DialogTemplate* t : templates) {
        table += "| `" + t->name + "` | " + std::to_string(t->id) + " | ";
        for (size_t i = 0; i < t->controls.size(); ++i)
            table += (i ? ", " : "") + ("`" + t->controls[i].name + "` ") + std::to_string(t->controls[i].id);
        for (size_t i = 0; i < t->commands.size(); ++i)
            table += (i ? ", " : "; toolbar buttons: ") + ("`" + t->commands[i].second + "` ") +
                     std::to_string(t->commands[i].first);
        table += " |\n";
    }
    return table;
}

TEST(DialogNamesTest, EveryControlOfEveryDialogHasAWellFormedUniqueName)
{
    for (const ui::DialogTemplate* t : registeredTemplates()) {
        ASSERT_NE(t, nullptr);
        EXPECT_FALSE(t->name.empty()) << t->id;
        EXPECT_EQ(ui::controlNameProblem(*t), "") << t->name;
        for (const ui::ControlTemplate& c : t->controls)
            EXPECT_FALSE(c.name.empty()) << t->name << " control " << c.id;
    }
}

TEST(DialogNamesTest, TheTableInTheEventsDocumentIsTheTemplates)
{
    const std::string doc = testutil::readFile(std::string(CTRLSCH_SOURCE_DIR) + "/src/ui/EVENTS.md");
    const std::string begin = "<!-- names:begin -->\n", end = "<!-- names:end -->";
    const size_t from = doc.find(begin), to = doc.find(end);
    ASSERT_NE(from, std::string::npos);
    ASSERT_NE(to, std::string::npos);
    const std::string table = doc.substr(from + begin.size(), to - from - begin.size());
    const std::string expected = namesTable(registeredTemplates());
    EXPECT_EQ(table, expected) << "EVENTS.md should list:\n" << expected;
}

} // namespace
