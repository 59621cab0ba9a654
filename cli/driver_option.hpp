#pragma once
// `--driver sonic1|sonic2`: the driver a verb writes or plays the song for,
// over the setup file's choice.
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "base/driver_profile.hpp"

namespace ferro::cli {

inline void addDriverOption(CLI::App& cmd, std::optional<SoundDriver>& driver) {
    cmd.add_option_function<std::string>(
           "--driver",
           [&driver](const std::string& key) {
               driver = driverFromKey(key);
               if (!driver) throw CLI::ValidationError("--driver", "must be sonic1 or sonic2, not " + key);
           },
           "The sound driver the song is for (sonic1 or sonic2), over the setup's")
        ->type_name("sonic1|sonic2");
}

}  // namespace ferro::cli
