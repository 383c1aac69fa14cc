#include "cli/CliText.h"

#include <cstdio>

#include "cli/Commands.h"

void PrintError(const std::string& message) {
    std::fprintf(stderr, "tallyglass-cli: %s\n", message.c_str());
}
