#pragma once
// Saying why the gate of the song's conversion stopped or doubts, in the
// words of a script's reader.
#include <string>

#include "song/song_conversion.hpp"

namespace ferro::cli {

// The doubt a gate step stands for, in the words of a script's reader.
inline std::string gateDoubt(const GateStep& step) {
    if (step.driverWarning) return step.reason;
    return (step.window == GateWindow::GeneralParametres ? "some parametres may be wrong: "
                                                         : "there might be some problems with the voices: ") +
           step.reason;
}

// A gate step answered "go on", as a warning line's text after "Warning: ".
inline std::string gateWarning(const GateStep& step) {
    return step.driverWarning ? step.reason : "conversion is possible, but " + gateDoubt(step);
}

}  // namespace ferro::cli
