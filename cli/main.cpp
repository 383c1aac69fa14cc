#include <CLI/CLI.hpp>

#include <exception>

#include "cli/Commands.h"

int main(int argc, char** argv) {
    CLI::App app{"Reads and edits the STR# string resources of IFF files.", "tallyglass-cli"};
    app.require_subcommand(1);
    int exitCode = 0;
    RegisterContainerCommands(app, exitCode);
    RegisterStringsCommand(app, exitCode);
    RegisterEditCommands(app, exitCode);
    RegisterFarCommands(app, exitCode);
    RegisterExchangeCommands(app, exitCode);
    RegisterMemoryCommands(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return 2;
    } catch (const std::exception& e) {
        PrintError(e.what());
        return 1;
    }
    return exitCode;
}
