#include <CLI/CLI.hpp>

#include <exception>

#include "cli/CliText.h"
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
    int status = 0;
    try {
        app.parse(argc, argv);
        status = exitCode;
    } catch (const CLI::CallForHelp& e) {
        status = app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        status = 2;
    } catch (const std::exception& e) {
        PrintError(e.what());
        status = 1;
    }
    // Output that did not arrive makes the command a failure, whatever it did besides.
    if (!FinishStandardOutput() && status == 0) {
        status = 1;
    }
    return status;
}
