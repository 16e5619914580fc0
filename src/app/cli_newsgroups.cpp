#include "app/cli.h"

#include <cstdio>

int runGetNewsgroups(const std::vector<std::string>&, bool) {
    std::fputs("kavrin32: this command is not available yet\n", stderr);
    return 2;
}
