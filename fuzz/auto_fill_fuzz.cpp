// The channel-name reader of "Auto fill" on hostile files. The first byte is
// the module's channel count (1..128); the rest is the file. The reader gives
// exactly that many names or none; a match is applied to fresh settings and
// must leave them within their bounds.
#include <cstdint>
#include <span>

#include "fuzz/fuzz_support.hpp"
#include "params/auto_fill.hpp"
#include "params/song_settings.hpp"
#include "xm/xm_parser.hpp"

using namespace ferro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int count = 1 + data[0] % 128;
    const auto names = findChannelNames(std::span<const std::uint8_t>(data + 1, size - 1), count);
    if (!names) return 0;
    FERRO_FUZZ_CHECK(names->size() == static_cast<std::size_t>(count));
    for (const auto& name : *names) FERRO_FUZZ_CHECK(name.size() < kChannelNameSize);

    const auto match = classifyChannelNames(*names);
    if (!match) return 0;
    FERRO_FUZZ_CHECK(match->fmTop >= 0 && match->fmTop <= kMaxFmChannels);
    FERRO_FUZZ_CHECK(match->psgTop >= 0 && match->psgTop <= kMaxPsgChannels);

    SongSettings settings;
    ChannelAssignment assignment;
    resetChannelAssignment(assignment, count);
    FERRO_FUZZ_CHECK(autoFillChannels(names, settings, assignment));
    FERRO_FUZZ_CHECK(settings.fmChannelCount >= 0 && settings.fmChannelCount <= kMaxFmChannels);
    FERRO_FUZZ_CHECK(settings.psgChannelCount >= 0 && settings.psgChannelCount <= kMaxPsgChannels);
    auto inRange = [count](const XmChannelChoice& c) { return !c || (*c >= 1 && *c <= count); };
    for (const auto& c : assignment.fm) FERRO_FUZZ_CHECK(inRange(c));
    for (const auto& c : assignment.psg) FERRO_FUZZ_CHECK(inRange(c));
    FERRO_FUZZ_CHECK(inRange(assignment.dac));
    return 0;
}
