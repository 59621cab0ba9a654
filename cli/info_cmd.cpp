// `ferrocanto-cli info SONG.xm`: loads a module as the explorer does and
// prints its header and row facts as one JSON object.
#include <filesystem>
#include <iostream>
#include <memory>
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

    auto header = readXmHeader(path);
    if (auto* error = std::get_if<XmError>(&header)) {
        std::cerr << xmErrorMessage(*error) << '\n';
        return 1;
    }
    auto loaded = loadXmModule(directory, fileName, 0);
    int code = 0;
    if (auto* error = std::get_if<XmError>(&loaded)) {
        std::cerr << xmErrorMessage(*error) << '\n';
        code = 1;
    } else {
        const XmHeader& h = std::get<XmHeader>(header);
        const XmModule& m = std::get<XmModule>(loaded);
        nlohmann::ordered_json out;
        out["moduleName"] = latin1ToUtf8(h.moduleName);
        out["trackerName"] = latin1ToUtf8(h.trackerName);
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
        out["loopStartRow"] = m.loopStartRow;
        std::cout << out.dump(2) << '\n';
    }
    // A failed load leaves what it wrote so far; it goes the same way.
    if (!opt.keepScratch || code != 0) deleteScratchFiles(directory);
    return code;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& exitCode) {
    auto opt = std::make_shared<InfoOptions>();
    CLI::App* cmd = app.add_subcommand("info", "Load an XM module and print its facts as JSON");
    cmd->add_option("file", opt->file, "The XM module")->required();
    cmd->add_flag("--keep-scratch", opt->keepScratch, "Leave the row stream files beside the module");
    cmd->callback([opt, &exitCode] { exitCode = runInfo(*opt); });
}

}  // namespace ferro::cli
