// ferrocanto-cli: the window-free library from the command line, for scripts
// and makefiles that rebuild songs and voice banks.
#include "cli/commands.hpp"

#include <iostream>

int main(int argc, char** argv) {
    CLI::App app{"Ferrocanto: XM modules to SMPS songs for the Mega Drive, from the command line"};
    app.require_subcommand(1);
    int exitCode = 0;
    ferro::cli::addInfoCommand(app, exitCode);
    ferro::cli::addVoicesCommands(app, exitCode);
    ferro::cli::addConvertCommand(app, exitCode);
    ferro::cli::addRenderCommand(app, exitCode);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    return exitCode;
}
