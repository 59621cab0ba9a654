// `ferrocanto-cli info SONG.xm [--keep-scratch]`: reads a module and prints
// its header and row facts as one JSON object. Nothing is written, unless
// --keep-scratch asks for the scratch files the explorer's load writes.
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <nlohmann/json.hpp>

#include "base/paths.hpp"
#include "base/shared_types.hpp"
#include "cli/commands.hpp"
#include "cli/text.hpp"
#include "xm/scratch_files.hpp"
#include "xm/xm_reader.hpp"

namespace ferro::cli {

namespace {

struct InfoOptions {
    std::string file;
    bool keepScratch = false;
};

int runInfo(const InfoOptions& opt) {
    const auto [path, directory, fileName] = modulePath(opt.file);
    // Read in memory: nothing is written beside the module unless the
    // scratch files are asked for.
    std::string problem;
    const auto parsed = readXmModule(directory, fileName, &problem);
    if (auto* error = std::get_if<XmError>(&parsed)) {
        std::cerr << xmFailureText(*error, problem) << '\n';
        return 1;
    }
    const XmModule& m = std::get<XmModule>(parsed);
    if (const std::string warning = xmWarningText(m); !warning.empty()) std::cerr << "Warning: " << warning << '\n';
    if (opt.keepScratch && !(deleteScratchFiles(directory) && writeScratchFiles(directory, m))) {
        deleteScratchFiles(directory);
        std::cerr << xmFailureText(XmError::ReadError,
                                   fileName + ": its scratch files cannot be written into its folder") << '\n';
        return 1;
    }
    const XmHeader& h = m.header;
    nlohmann::ordered_json out;
    out["moduleName"] = latin1ToUtf8(trimmedName(h.moduleName));
    out["trackerName"] = latin1ToUtf8(trimmedName(h.trackerName));
    out["versionMajor"] = h.versionMajor;
    out["versionMinor"] = h.versionMinor;
    out["headerSize"] = h.headerSize;
    out["songLength"] = h.songLength;
    out["restartPosition"] = h.restartPosition;
    out["channelCount"] = h.channelCount;
    out["patternCount"] = h.patternCount;
    out["instrumentCount"] = h.instrumentCount;
    out["frequencyFlags"] = h.frequencyFlags;
    out["defaultTempo"] = h.defaultTempo;
    out["defaultBpm"] = h.defaultBpm;
    out["orderTable"] = h.orderTable;
    out["patternRows"] = m.patternRows;
    out["totalRows"] = m.totalRows;
    out["loopStartRow"] = m.restartRow;  // where the song loops when loaded to loop
    std::cout << out.dump(2) << '\n';
    return 0;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& exitCode) {
    auto opt = std::make_shared<InfoOptions>();
    CLI::App* cmd = app.add_subcommand("info", "Load an XM module and print its facts as JSON");
    cmd->add_option("file", opt->file, "The XM module")->required();
    cmd->add_flag("--keep-scratch", opt->keepScratch, "Write the scratch files (pattern channels and row streams) beside the module");
    cmd->callback([opt, &exitCode] { exitCode = runInfo(*opt); });
}

}  // namespace ferro::cli
