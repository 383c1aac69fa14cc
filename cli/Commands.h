#pragma once

#include <string>

namespace CLI {
class App;
}

// Every command sets the exit status through exitCode: 0 success, 1 failure (the reason on
// stderr), 2 usage error.
void RegisterContainerCommands(CLI::App& app, int& exitCode);  // list, resave
void RegisterStringsCommand(CLI::App& app, int& exitCode);     // strings
void RegisterEditCommands(CLI::App& app, int& exitCode);       // set, layout, copy-to-all
void RegisterFarCommands(CLI::App& app, int& exitCode);        // far list, far extract
void RegisterExchangeCommands(CLI::App& app, int& exitCode);   // export, import, coverage
void RegisterMemoryCommands(CLI::App& app, int& exitCode);     // memory build, pretranslate, fill

// Prints message on stderr as "tallyglass-cli: message".
void PrintError(const std::string& message);
