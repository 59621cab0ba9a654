#include "params/auto_fill.hpp"

#include <algorithm>

#include "params/content_fill.hpp"

namespace ferro {

namespace {

std::string channelKey(const std::string& name) {
    const auto first = name.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = name.find_last_not_of(' ');
    std::string key = name.substr(first, last - first + 1);
    // Only ASCII letters: the keywords are plain ASCII and other bytes must
    // come through unchanged whatever the locale.
    for (char& c : key)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
}

bool startsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// "FM3..." or "FM 3..." for word "FM" and digit 3.
bool numberedPrefix(const std::string& key, const std::string& word, int digit) {
    const std::string d = std::to_string(digit);
    return startsWith(key, word + d) || startsWith(key, word + " " + d);
}

// Finds the one channel whose key passes the test. False when two do.
template <typename Test>
bool findSingle(const std::vector<std::string>& keys, Test test, XmChannelChoice& found) {
    found.reset();
    for (std::size_t j = 0; j < keys.size(); ++j) {
        if (!test(keys[j])) continue;
        if (found) return false;
        found = static_cast<int>(j) + 1;
    }
    return true;
}

}  // namespace

std::optional<ChannelNameMatch> classifyChannelNames(const std::vector<std::string>& names) {
    std::vector<std::string> keys;
    keys.reserve(names.size());
    for (const std::string& name : names) keys.push_back(channelKey(name));

    ChannelNameMatch match;
    if (!findSingle(keys, [](const std::string& k) { return k == "DAC"; }, match.dac)) return std::nullopt;
    if (!findSingle(keys, [](const std::string& k) { return k == "HATS" || k == "NOISE"; }, match.noise))
        return std::nullopt;
    for (int i = 1; i <= kMaxFmChannels; ++i) {
        auto test = [i](const std::string& k) { return numberedPrefix(k, "FM", i); };
        if (!findSingle(keys, test, match.fm[i - 1])) return std::nullopt;
        if (match.fm[i - 1]) match.fmTop = i;
    }
    for (int i = 1; i <= kMaxPsgChannels; ++i) {
        auto test = [i](const std::string& k) { return numberedPrefix(k, "PSG", i); };
        if (!findSingle(keys, test, match.psg[i - 1])) return std::nullopt;
        if (match.psg[i - 1]) match.psgTop = i;
    }
    // No room for a seventh FM-or-DAC channel or a fourth PSG channel.
    if (match.fmTop == kMaxFmChannels && match.dac) return std::nullopt;
    if (match.psgTop == kMaxPsgChannels && match.noise) return std::nullopt;
    return match;
}

void applyChannelNameMatch(const ChannelNameMatch& match, SongSettings& settings, ChannelAssignment& assignment) {
    setHasDrums(settings, match.dac.has_value());
    setUseNoise(settings, match.noise.has_value());
    setFmChannelCount(settings, match.fmTop);

    std::array<XmChannelChoice, kMaxPsgChannels> psg = match.psg;
    int psgTop = match.psgTop;
    if (match.noise && psgTop < kMaxPsgChannels) {
        // The noise channel takes the row after the highest tone channel.
        psgTop += 1;
        psg[psgTop - 1] = match.noise;
    }
    setPsgChannelCount(settings, psgTop);

    assignment.fm = match.fm;
    assignment.psg = psg;
    assignment.dac = match.dac;
}

bool autoFillChannels(const std::optional<std::vector<std::string>>& channelNames, SongSettings& settings,
                      ChannelAssignment& assignment) {
    if (!channelNames) return false;
    const auto match = classifyChannelNames(*channelNames);
    if (!match) return false;
    applyChannelNameMatch(*match, settings, assignment);
    return true;
}

std::optional<std::string> autoFillModule(const XmModule& module, SongSettings& settings,
                                          ChannelAssignment& assignment) {
    const auto match = module.channelNames ? classifyChannelNames(*module.channelNames) : std::nullopt;
    // Trackers write a name block of empty or free names: that is no assignment.
    if (match && (match->dac || match->noise || match->fmTop > 0 || match->psgTop > 0)) {
        applyChannelNameMatch(*match, settings, assignment);
        return kFilledFromNamesText;
    }
    return fillFromContent(surveyChannels(module), settings, assignment);
}

}  // namespace ferro
