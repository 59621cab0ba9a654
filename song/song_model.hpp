#pragma once
// The song as one window-free record: the loaded module's facts, every
// choice of the General and More parametres windows, the song's voices, the
// output formats and the two readiness lights. The windows read it to show
// themselves and call its operations on input; the command line fills it
// from a setup file; the conversion reads it. Every operation that changes
// something tells the observers once, naming the parts that changed.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/shared_types.hpp"
#include "params/tempo_match.hpp"
#include "params/validation.hpp"
#include "song/song_choices.hpp"
#include "voices/voice_import.hpp"
#include "voices/voice_manager_logic.hpp"

namespace ferro {

// The parts of the song an operation changed (a bit set).
enum class SongPart : unsigned {
    Module = 1u << 0,      // loaded, reloaded or unloaded
    General = 1u << 1,     // SongSettings: counts, options, tempo values, output options
    Assignment = 1u << 2,  // the XM channel of an output channel
    Maps = 1u << 3,        // the instrument maps and their keying
    Channels = 1u << 4,    // pitch, volume, pan
    Voices = 1u << 5,      // the song's voice list
    Lights = 1u << 6,      // either readiness light or the status text
    Outputs = 1u << 7,     // .bin / .asm and the listing's style
};
using SongChanges = unsigned;
inline constexpr SongChanges kAllSongParts = 0xFFu;
inline constexpr bool changed(SongChanges changes, SongPart part) {
    return (changes & static_cast<unsigned>(part)) != 0;
}

// Assignment rows, top to bottom as the General parametres window shows them:
// FM1..FM6, the three PSG rows, DAC.
inline constexpr int kFirstPsgAssignmentRow = kMaxFmChannels;
inline constexpr int kDacAssignmentRow = kMaxFmChannels + kMaxPsgChannels;
inline constexpr int kAssignmentRowCount = kDacAssignmentRow + 1;

class SongModel {
public:
    using Observer = std::function<void(SongChanges)>;

    SongModel() = default;
    SongModel(const SongModel&) = delete;
    SongModel& operator=(const SongModel&) = delete;

    // Observers are told after each change, in the order they subscribed.
    int subscribe(Observer observer);
    void unsubscribe(int id);

    // ---- The module.
    bool isLoaded() const { return module_.has_value(); }
    const XmModule* module() const { return module_ ? &*module_ : nullptr; }
    // The first load: every choice starts as initialSongChoices gives it (the
    // output formats stay: they belong to the main window), the song is
    // loaded to loop, and the lights are evaluated.
    void load(XmModule module);
    // A reload of the same file: the choices stay, "Loop song" as it is now
    // becomes the loop choice at load, a greyed "Remove rests" (the row
    // streams have their key-offs again) becomes checked. When the channel
    // count differs, every channel choice is cleared and true is returned
    // (the windows show kChannelCountChangedMessage).
    bool reload(XmModule module);
    void unload();

    // ---- Reading.
    const SongChoices& choices() const { return choices_; }
    const SongSettings& settings() const { return choices_.settings; }
    const ChannelAssignment& assignment() const { return choices_.assignment; }
    const InstrumentMaps& maps() const { return choices_.maps; }
    const ChannelOutputSettings& channels() const { return choices_.channels; }
    const SongVoiceList& voices() const { return choices_.voices; }
    bool writeBin() const { return choices_.writeBin; }
    bool writeAsm() const { return choices_.writeAsm; }
    AsmStyle asmStyle() const { return choices_.asmStyle; }
    bool loopSongAtLoad() const { return choices_.loopSongAtLoad; }
    // The lights; none while no module is loaded. The general light is
    // yellow while the driver would play something wrongly (driverWarnings),
    // green only when nothing is to be asked.
    std::optional<ReadinessLight> generalLight() const;
    // The general light of the channel choices alone, before the warnings,
    // for the gate, which asks about those warnings one by one.
    std::optional<ReadinessLight> assignmentLight() const;
    // What the Sonic 1 driver would play wrongly in the song as it stands,
    // its notes read from the module in memory; none while unloaded.
    const std::vector<std::string>& driverWarnings() const { return driverWarnings_; }
    std::optional<ReadinessLight> voiceLight() const;
    // The General parametres window's status text (empty while unloaded).
    const std::string& generalStatusText() const { return general_.statusText; }
    // The XM channel feeding assignment row 0..kAssignmentRowCount-1.
    XmChannelChoice rowChoice(int row) const;
    // The request for the conversion; the module must be loaded.
    ConversionRequest request() const;

    // ---- The lights. Checks the channel assignment again, as every general
    // change does; the voice light follows the voices and the FM count.
    void checkAssignment();

    // ---- General parametres. All but the loop, E4 and tempo values check
    // the assignment again.
    void setFmChannelCount(int count);
    // With the noise channel in use, the noise keeps its XM channel when the
    // count changes (it is always the last PSG row) and each tone row keeps
    // its own; the rows hidden keep theirs for when the count comes back.
    void setPsgChannelCount(int count);
    void setUseNoise(bool useNoise);
    void setHasDrums(bool hasDrums);
    void setLoopSong(bool loopSong);
    void setEndDacWithE4(bool on);
    void setModuleEffects(bool on);
    void setDividingTiming(int value);  // kept within kMinTempo..kMaxTempo
    void setTempo(int value);           // kept within the driver's tempo range
    // The driver the song is for: the tempo becomes the new driver's nearest
    // (every other choice stays; the maps mean the new driver's drums and
    // envelopes). The address changes only to one the driver's songs can
    // play from.
    void setDriver(SoundDriver driver);
    void setZ80Address(int address);
    // "Match the module's tempo": sets the dividing timing and tempo whose
    // row lasts nearest to a row of the module at the speed and BPM of its
    // first row (the header's, or the row's own Fxx); its text adds how often
    // the module changes speed later. None, and nothing changes, while
    // unloaded or when the speed or BPM is 0.
    std::optional<TempoMatch> matchModuleTempo();
    // Row 0..kAssignmentRowCount-1; a channel outside 1..channelCount is none.
    void chooseChannel(int row, XmChannelChoice channel);
    // "Auto fill" from the channel names the module was read with, or from
    // what its channels play: the line saying what it did; none (nothing
    // changed) when neither gives an assignment.
    std::optional<std::string> autoFill();

    // ---- More parametres.
    void setOptimiseOutput(bool on);
    void setRemoveRests(bool checked);  // ignored while greyed
    // After the conversion cleared the DAC channel's key-offs from its
    // scratch file: the box greys until the next reload.
    void markRemoveRestsApplied();
    // The XM channel whose key-offs "Remove rests" cleared in this load; none
    // before, and after a reload.
    std::optional<int> keyOffsRemovedFrom() const { return keyOffsRemovedFrom_; }
    bool setMapValue(InstrumentMapKind kind, int key, int position);
    void setDrumKeying(bool byNote);
    void setHiHatKeying(bool byNote);
    void setPitch(int slot, int value);
    void setVolume(int slot, int value);
    void setPan(int slot, int position);

    // ---- The song's voices.
    AddVoiceResult addVoice(std::string name, const FmVoice& voice);
    AddAllOutcome addFileVoices(const FileVoiceList& fileVoices);
    // A pasted voice, added as "Pasted voice": BadText when the text is not a
    // voice (kPasteRejectedMessage), Full when the list is full.
    AddVoiceResult addPastedVoice(std::string_view text);
    // Later voices move down by one, and the FM voice map follows them: each
    // instrument of the module keeps the voice it played. The instruments
    // that played the removed voice fall back to their initial voice
    // (instrument k, voice k - 1) and are added to `orphans`. False (nothing
    // changes) outside the list.
    bool removeVoice(int index, std::vector<int>* orphans = nullptr);
    void clearVoices();
    // The first 255 characters of `name` (8-bit text); an empty name or an
    // index outside the list changes nothing and gives false.
    bool renameVoice(int index, std::string_view name);

    // ---- Output formats of the main window.
    void setWriteBin(bool on);
    void setWriteAsm(bool on);
    void setAsmStyle(AsmStyle style);

    // ---- A whole set of choices at once (a setup file). The channel count
    // of the choices must be the module's. A greyed "Remove rests" stays
    // greyed: the key-offs are gone until the next reload.
    void applyChoices(SongChoices choices);

private:
    void notify(SongChanges changes);
    SongChoices keepingOutputs(SongChoices choices) const;
    void generalChanged(SongChanges changes);  // notify after checking the assignment
    void voicesChanged();
    void refreshDriverWarnings();
    GeneralValidation validateGeneral() const;

    std::optional<XmModule> module_;
    SongChoices choices_;
    GeneralValidation general_{};
    std::optional<int> keyOffsRemovedFrom_;
    std::vector<std::string> driverWarnings_;
    struct Subscription {
        int id;
        Observer observer;
    };
    std::vector<Subscription> observers_;
    int nextId_ = 1;
};

}  // namespace ferro
