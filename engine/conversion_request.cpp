#include "engine/conversion_request.hpp"

namespace ferro {

bool requestIsUsable(const ConversionRequest& r) {
    const auto inTempoRange = [](int v) { return v >= kMinTempo && v <= kMaxTempo; };
    const DriverProfile& driver = driverProfile(r.driver);
    const bool tempoUsable = r.tempo >= driver.minTempo && r.tempo <= driver.maxTempo;
    return songAddressUsable(driver, r.z80Address) && tempoUsable && r.channelCount >= 1 && r.totalRows >= 0 && r.restartRow >= 0 && r.restartRow <= r.totalRows &&
           r.fmChannelCount >= 0 && r.fmChannelCount <= 6 && r.psgChannelCount >= 0 && r.psgChannelCount <= 3 &&
           inTempoRange(r.dividingTiming) && (r.writeBin || r.writeAsm);
}

LoopPlan loopPlan(const ConversionRequest& request) {
    LoopPlan loop;
    loop.introRows = request.loopSongAtLoad ? request.restartRow : 0;
    loop.looping = request.loopSong;
    return loop;
}

}  // namespace ferro
