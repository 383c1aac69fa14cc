#include "cli/Commands.h"

void RegisterStringsCommand(CLI::App&, int&) {}
