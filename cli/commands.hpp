#pragma once
// Each verb of ferrocanto-cli registers itself on the application here. A
// verb's callback stores its exit code in `exitCode`.
#include <CLI/CLI.hpp>

namespace ferro::cli {

void addInfoCommand(CLI::App& app, int& exitCode);
void addVoicesCommands(CLI::App& app, int& exitCode);  // voices, bank
void addConvertCommand(CLI::App& app, int& exitCode);
void addRenderCommand(CLI::App& app, int& exitCode);
void addSetupCommand(CLI::App& app, int& exitCode);

}  // namespace ferro::cli
