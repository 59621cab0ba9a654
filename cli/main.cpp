// ferrocanto-cli: the window-free library from the command line, for scripts
// and makefiles that rebuild songs and voice banks.
//
// Arguments travel as UTF-8 inside the program and become paths through
// pathFromUtf8. On Windows the narrow argv is in the ANSI code page, which
// cannot hold every file name, so the arguments are taken as UTF-16 (wmain)
// and turned into UTF-8 first.
#include "base/shared_types.hpp"
#include "cli/commands.hpp"

#include <iostream>
#include <string>
#include <vector>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#define WIN32_LEAN_AND_MEAN
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#endif

#ifndef FERRO_VERSION
#define FERRO_VERSION "unknown"
#endif

namespace {

int run(std::vector<std::string> args) {
    CLI::App app{"Ferrocanto: XM modules to SMPS songs for the Mega Drive, from the command line"};
    app.set_version_flag("--version", "ferrocanto-cli " FERRO_VERSION);
    app.require_subcommand(1);
    // CLI11 reads "/x" as an option on Windows; here it is a path from the
    // drive's root, and options are spelled "--x" on every platform.
    app.allow_windows_style_options(false);
    int exitCode = 0;
    ferro::cli::addInfoCommand(app, exitCode);
    ferro::cli::addVoicesCommands(app, exitCode);
    ferro::cli::addConvertCommand(app, exitCode);
    ferro::cli::addRenderCommand(app, exitCode);
    ferro::cli::addSetupCommand(app, exitCode);
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    } catch (...) {
        // Whatever a verb did not foresee ends in the general error, never
        // in an uncaught exception.
        std::cerr << ferro::kSomeError << '\n';
        return 1;
    }
    return exitCode;
}

}  // namespace

#ifdef _WIN32
namespace {

std::string utf8FromWide(const wchar_t* wide) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, out.data(), size, nullptr, nullptr);
    out.pop_back();  // the terminating NUL
    return out;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    // Lines end in LF as on Linux, so that the messages and the JSON a script
    // reads are the same bytes on both.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i) args.push_back(utf8FromWide(argv[i]));
    return run(std::move(args));
}
#else
int main(int argc, char** argv) { return run(std::vector<std::string>(argv, argv + argc)); }
#endif
