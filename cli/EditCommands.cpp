#include "cli/Commands.h"

void RegisterEditCommands(CLI::App&, int&) {}
