// The default installation for the tests that read one: written once per
// test program into a temporary folder that goes at exit. Tests using it
// link ctrlsch_install.
#pragma once

#include "install/DefaultInstallation.h"
#include "testutil.h"

#include <gtest/gtest.h>

namespace testutil {

inline const ctrlsch::install::InstallLayout& defaultInstallation()
{
    static TempDir dir;
    static const ctrlsch::install::InstallLayout layout = [] {
        std::string error;
        if (!ctrlsch::install::writeDefaultInstallation(dir.path(), error))
            ADD_FAILURE() << error;
        return ctrlsch::install::installationLayout(dir.path());
    }();
    return layout;
}

} // namespace testutil
