#include "params/content_fill.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <string_view>

#include "base/latin1.hpp"

namespace ferro {

namespace {

constexpr int kHighestNote = 96;
constexpr int kInstrumentSlots = 256;  // instruments 1..255 and 0, "none named yet"
// The PSG tone table has 70 entries: XM notes above this play off the table
// at the default pitch.
constexpr int kHighestPsgNote = 70;
// A hit: its sample lasts at most this long at the note it is played at.
constexpr double kLongestHitSeconds = 0.75;
constexpr int kMostHitPitches = 3;

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view text, std::string_view suffix) {
    return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}
bool oneOf(std::string_view word, std::initializer_list<std::string_view> words) {
    return std::find(words.begin(), words.end(), word) != words.end();
}

// The runs of ASCII letters, in lower case: "BD_808" gives "bd", "HiHat2" "hihat".
std::vector<std::string> lowerWords(const std::string& name) {
    std::vector<std::string> words(1);
    for (const char c : name) {
        const bool upper = c >= 'A' && c <= 'Z';
        if (upper || (c >= 'a' && c <= 'z'))
            words.back() += upper ? static_cast<char>(c - 'A' + 'a') : c;
        else if (!words.back().empty())
            words.emplace_back();
    }
    if (words.back().empty()) words.pop_back();
    return words;
}

bool hiHatWord(std::string_view w) {
    return oneOf(w, {"hh", "ohh", "chh", "cym", "crash", "ride"}) || startsWith(w, "hh") || startsWith(w, "cymbal") ||
           endsWith(w, "hat") || endsWith(w, "hats");
}

bool drumWord(std::string_view w) {
    return oneOf(w, {"bd", "sd", "sn", "snr", "kik", "rim", "rimshot", "conga", "bongo", "cowbell", "timpani",
                     "timp"}) ||
           startsWith(w, "kick") || startsWith(w, "snare") || startsWith(w, "tom") || startsWith(w, "clap") ||
           startsWith(w, "perc") || startsWith(w, "drum") || endsWith(w, "drum") || endsWith(w, "drums") ||
           endsWith(w, "kick") || endsWith(w, "snare") || endsWith(w, "clap");
}

// How often each instrument is played on each note, over every channel.
using NoteCounts = std::array<int, kHighestNote + 1>;

// Whether instrument k's notes sound like hits of one drum.
bool soundsLikeAHit(const XmModule& module, int k, const NoteCounts& played) {
    if (k < 1 || k > static_cast<int>(module.instrumentSamples.size())) return false;
    const auto& sample = module.instrumentSamples[static_cast<std::size_t>(k - 1)];
    if (!sample || sample->looped || sample->frames == 0) return false;
    const auto pitches = std::count_if(played.begin(), played.end(), [](int n) { return n > 0; });
    if (pitches == 0 || pitches > kMostHitPitches) return false;
    const auto note = static_cast<int>(std::max_element(played.begin(), played.end()) - played.begin());
    // XM's C-4 (note 49) plays a sample without relative note at 8363 Hz.
    const double semitones = note - 49 + sample->relativeNote + sample->finetune / 128.0;
    const double rate = 8363.0 * std::pow(2.0, semitones / 12.0);
    return sample->frames / rate <= kLongestHitSeconds;
}

InstrumentRole instrumentRole(const XmModule& module, int k, const NoteCounts& played) {
    if (k >= 1 && k <= static_cast<int>(module.instrumentNames.size()))
        if (const auto role = roleFromName(module.instrumentNames[static_cast<std::size_t>(k - 1)])) return *role;
    return soundsLikeAHit(module, k, played) ? InstrumentRole::Drum : InstrumentRole::Melodic;
}

std::string instrumentLabel(const XmModule& module, int k) {
    if (k == 0) return "no instrument";
    if (k <= static_cast<int>(module.instrumentNames.size())) {
        const std::string& name = module.instrumentNames[static_cast<std::size_t>(k - 1)];
        const auto first = name.find_first_not_of(' ');
        if (first != std::string::npos) return latin1ToUtf8(name.substr(first));
    }
    return "instrument " + std::to_string(k);
}

// Channel n's notes by the instrument they play (the last one it named).
std::vector<int> notesByInstrument(const XmModule& module, int n, std::vector<NoteCounts>& played,
                                   int& highestNote) {
    std::vector<int> notes(kInstrumentSlots, 0);
    const auto stream = module.rowStream(n);
    int instrument = 0;
    for (std::size_t at = 0; at + kXmCellSize <= stream.size(); at += kXmCellSize) {
        if (stream[at + 1] != 0) instrument = stream[at + 1];
        const int note = stream[at];
        if (note < 1 || note > kHighestNote) continue;
        ++notes[static_cast<std::size_t>(instrument)];
        ++played[static_cast<std::size_t>(instrument)][static_cast<std::size_t>(note)];
        highestNote = std::max(highestNote, note);
    }
    return notes;
}

std::string withThousands(int value) {
    std::string digits = std::to_string(value);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
        digits.insert(static_cast<std::size_t>(at), ",");
    return digits;
}

using Channels = std::vector<const ChannelSurvey*>;

std::string channelNumbers(const Channels& channels) {
    std::string text;
    for (const ChannelSurvey* c : channels) text += (text.empty() ? "" : ", ") + std::to_string(c->channel);
    return text;
}

// "31, 32 (snare, tom)": the channels and their distinct labels.
std::string channelsWithLabels(const Channels& channels) {
    std::vector<std::string> labels;
    for (const ChannelSurvey* c : channels)
        if (std::find(labels.begin(), labels.end(), c->label) == labels.end()) labels.push_back(c->label);
    std::string text = channelNumbers(channels) + " (";
    for (std::size_t i = 0; i < labels.size(); ++i) text += (i ? ", " : "") + labels[i];
    return text + ")";
}

// "2, 7, 17-32".
std::string channelRuns(const std::vector<int>& channels) {
    std::string text;
    for (std::size_t i = 0; i < channels.size();) {
        std::size_t j = i;
        while (j + 1 < channels.size() && channels[j + 1] == channels[j] + 1) ++j;
        text += (text.empty() ? "" : ", ") + std::to_string(channels[i]);
        if (j > i) text += (j == i + 1 ? ", " : "-") + std::to_string(channels[j]);
        i = j + 1;
    }
    return text;
}

std::string assigned(const std::string& row, const ChannelSurvey& c) {
    return row + " \u2190 " + std::to_string(c.channel) + " (" + c.label + ", " + withThousands(c.notes) +
           (c.notes == 1 ? " note)" : " notes)");
}

// Takes the first `count` channels off the front of `from`.
Channels takeFront(Channels& from, int wanted) {
    const std::size_t count = std::min(static_cast<std::size_t>(wanted), from.size());
    Channels taken(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(count));
    from.erase(from.begin(), from.begin() + static_cast<std::ptrdiff_t>(count));
    return taken;
}

// Where each channel goes; what is left over stays in drums, hiHats and melodic.
struct Plan {
    Channels fm, psg, noise, dac;
    Channels drums, hiHats, melodic;
    std::vector<int> empty;
};

std::optional<Plan> planFromSurvey(const std::vector<ChannelSurvey>& survey) {
    Plan plan;
    for (const ChannelSurvey& c : survey) {
        if (c.notes == 0)
            plan.empty.push_back(c.channel);
        else
            (c.role == InstrumentRole::Drum ? plan.drums : c.role == InstrumentRole::HiHat ? plan.hiHats : plan.melodic)
                .push_back(&c);
    }
    if (plan.empty.size() == survey.size()) return std::nullopt;
    const auto busiestFirst = [](const ChannelSurvey* a, const ChannelSurvey* b) { return a->notes > b->notes; };
    for (Channels* list : {&plan.melodic, &plan.drums, &plan.hiHats})
        std::stable_sort(list->begin(), list->end(), busiestFirst);

    plan.dac = takeFront(plan.drums, 1);
    plan.noise = takeFront(plan.hiHats, 1);
    plan.fm = takeFront(plan.melodic, plan.dac.empty() ? kMaxFmChannels : kMaxFmChannelsWithDrums);
    // Of the rest, the PSG takes first the lines its table can play.
    std::stable_partition(plan.melodic.begin(), plan.melodic.end(),
                          [](const ChannelSurvey* c) { return c->highestNote <= kHighestPsgNote; });
    plan.psg = takeFront(plan.melodic, kMaxPsgChannels - (plan.noise.empty() ? 0 : 1));
    return plan;
}

std::string describe(const Plan& plan) {
    std::vector<std::string> parts;
    for (std::size_t i = 0; i < plan.fm.size(); ++i)
        parts.push_back(assigned(fmRowCaption(static_cast<int>(i) + 1), *plan.fm[i]));
    for (std::size_t i = 0; i < plan.psg.size(); ++i)
        parts.push_back(assigned("PSG" + std::to_string(i + 1), *plan.psg[i]));
    if (!plan.noise.empty()) parts.push_back(assigned("Noise", *plan.noise[0]));
    if (!plan.dac.empty()) parts.push_back(assigned(kDacRowCaption, *plan.dac[0]));
    std::string text = "Filled from the channels' content: ";
    for (std::size_t i = 0; i < parts.size(); ++i) text += (i ? ", " : "") + parts[i];
    if (!plan.drums.empty()) text += "; not used, as one channel feeds the DAC: " + channelsWithLabels(plan.drums);
    if (!plan.hiHats.empty()) text += "; not used, as one channel plays the noise: " + channelsWithLabels(plan.hiHats);
    if (!plan.melodic.empty()) text += "; no FM or PSG channel left for " + channelsWithLabels(plan.melodic);
    if (!plan.empty.empty()) text += "; empty: " + channelRuns(plan.empty);
    return text;
}

}  // namespace

std::optional<InstrumentRole> roleFromName(const std::string& name) {
    const auto words = lowerWords(name);
    if (std::any_of(words.begin(), words.end(), [](const std::string& w) { return hiHatWord(w); }))
        return InstrumentRole::HiHat;
    if (std::any_of(words.begin(), words.end(), [](const std::string& w) { return drumWord(w); }))
        return InstrumentRole::Drum;
    return std::nullopt;
}

std::vector<ChannelSurvey> surveyChannels(const XmModule& module) {
    std::vector<NoteCounts> played(kInstrumentSlots, NoteCounts{});
    std::vector<std::vector<int>> notes;
    std::vector<ChannelSurvey> survey;
    for (int n = 1; n <= module.channelCount; ++n) {
        ChannelSurvey c;
        c.channel = n;
        notes.push_back(notesByInstrument(module, n, played, c.highestNote));
        survey.push_back(c);
    }
    std::array<InstrumentRole, kInstrumentSlots> roles{};
    for (int k = 0; k < kInstrumentSlots; ++k) roles[static_cast<std::size_t>(k)] =
        instrumentRole(module, k, played[static_cast<std::size_t>(k)]);

    for (std::size_t i = 0; i < survey.size(); ++i) {
        std::array<int, 3> byRole{};
        int top = 0;
        for (int k = 0; k < kInstrumentSlots; ++k) {
            const int count = notes[i][static_cast<std::size_t>(k)];
            byRole[static_cast<std::size_t>(roles[static_cast<std::size_t>(k)])] += count;
            if (count > notes[i][static_cast<std::size_t>(top)]) top = k;
        }
        ChannelSurvey& c = survey[i];
        c.notes = byRole[0] + byRole[1] + byRole[2];
        // Ties go to the melody, then to the drums.
        c.role = static_cast<InstrumentRole>(std::max_element(byRole.begin(), byRole.end()) - byRole.begin());
        c.label = instrumentLabel(module, top);
    }
    return survey;
}

std::optional<std::string> fillFromContent(const std::vector<ChannelSurvey>& survey, SongSettings& settings,
                                           ChannelAssignment& assignment) {
    const auto plan = planFromSurvey(survey);
    if (!plan) return std::nullopt;
    setHasDrums(settings, !plan->dac.empty());
    setUseNoise(settings, !plan->noise.empty());
    setFmChannelCount(settings, static_cast<int>(plan->fm.size()));
    setPsgChannelCount(settings, static_cast<int>(plan->psg.size() + plan->noise.size()));
    resetChannelAssignment(assignment, assignment.channelCount);
    for (std::size_t i = 0; i < plan->fm.size(); ++i) assignment.fm[i] = plan->fm[i]->channel;
    for (std::size_t i = 0; i < plan->psg.size(); ++i) assignment.psg[i] = plan->psg[i]->channel;
    // The noise channel takes the row after the tone channels.
    if (!plan->noise.empty()) assignment.psg[plan->psg.size()] = plan->noise[0]->channel;
    if (!plan->dac.empty()) assignment.dac = plan->dac[0]->channel;
    return describe(*plan);
}

}  // namespace ferro
