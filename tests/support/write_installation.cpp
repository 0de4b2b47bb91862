// Writes the default installation the test programs share into the folder
// given: a step of building the tests (ctrlsch_test_installation), done
// again when this program changes.
#include "install/DefaultInstallation.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FOLDER\n", argv[0]);
        return 2;
    }
    std::string error;
    if (!ctrlsch::install::writeDefaultInstallation(argv[1], error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
