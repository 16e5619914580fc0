#include "app/cli.h"

#include <cstdio>

int runPost(const std::vector<std::string>&) {
    std::fputs("kavrin32: this command is not available yet\n", stderr);
    return 2;
}
