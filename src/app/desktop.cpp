#include "app/cli.h"

// The main window comes later; until then the program explains how to use it.
int runDesktop(int, char**) {
    printUsage();
    return 0;
}
