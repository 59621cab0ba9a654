#include "cli/commands.hpp"

namespace ferro::cli {
void addConvertCommand(CLI::App&, int&) {}
}  // namespace ferro::cli
