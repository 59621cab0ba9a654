#pragma once
// Runs a program as a script runs it: arguments passed as they are (UTF-8,
// spaces and all, no shell in between), in a chosen folder, with its exit
// code and both output streams captured. Works the same on Linux and on
// Windows, so that the command line's tests also run against the .exe.
#include <filesystem>
#include <string>
#include <vector>

namespace ferro::test {

struct ProgramRun {
    int code = -1;  // -1: did not start or did not end normally
    std::string out;
    std::string err;
};

// The output goes through stdout.txt and stderr.txt in `captureFolder`,
// which should lie outside `folder` when the folder's contents matter.
ProgramRun runProgram(const std::filesystem::path& program, const std::vector<std::string>& args,
                      const std::filesystem::path& folder, const std::filesystem::path& captureFolder);

}  // namespace ferro::test
