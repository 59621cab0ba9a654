#pragma once
// Auto fill's second way, for the many modules whose channel names say
// nothing: it reads what each channel plays. Drums go to the DAC, hi-hats and
// cymbals to the noise channel, the busiest melodic channels to FM and the
// next ones to the PSG tone channels.
#include <optional>
#include <string>
#include <vector>

#include "params/song_settings.hpp"

namespace ferro {

// What an instrument is for Auto fill.
enum class InstrumentRole { Melodic, Drum, HiHat };

// The role an instrument's name gives ("Kick 1", "hihat", "SNR-2", "crash"),
// none when its words name neither drums nor cymbals.
std::optional<InstrumentRole> roleFromName(const std::string& name);

// One channel's notes over the whole song, as it plays them.
struct ChannelSurvey {
    int channel = 0;  // 1-based
    int notes = 0;    // notes 1..96 played
    int highestNote = 0;
    InstrumentRole role = InstrumentRole::Melodic;  // the role most of its notes have
    std::string label;  // its most played instrument's name (UTF-8), "instrument 7" when unnamed
};

// Every channel of the module, in channel order. An instrument without a name
// for its role is a drum when its first sample is short and unlooped and the
// song plays it on at most three notes: the sound of a hit, not of a melody.
std::vector<ChannelSurvey> surveyChannels(const XmModule& module);

// Fills the counts, the options and the whole assignment from the survey, and
// returns the one line saying what went where and why ("Filled from the
// channels' content: FM1 ← 3 (bass, 412 notes), ..."). None, changing
// nothing, when no channel plays a note.
std::optional<std::string> fillFromContent(const std::vector<ChannelSurvey>& survey, SongSettings& settings,
                                           ChannelAssignment& assignment);

}  // namespace ferro
