#include "song/song_model.hpp"

#include <algorithm>

#include "engine/driver_warnings.hpp"
#include "engine/row_source.hpp"
#include "engine/conversion.hpp"
#include "engine/song_writer.hpp"
#include "params/auto_fill.hpp"
#include "xm/xm_effects.hpp"

namespace ferro {

namespace {

inline SongChanges parts(SongPart a) { return static_cast<unsigned>(a); }
inline SongChanges parts(SongPart a, SongPart b) { return parts(a) | parts(b); }

// The noise row is the last PSG row in use (the last slot at count 0). Its
// XM channel moves to the new last row; the tone channels keep their order.
void keepNoiseChannel(std::array<XmChannelChoice, kMaxPsgChannels>& psg, int before, int after) {
    const auto noiseSlot = [](int count) { return count >= 1 ? count - 1 : kMaxPsgChannels - 1; };
    std::vector<XmChannelChoice> slots(psg.begin(), psg.end());
    const XmChannelChoice noise = slots[static_cast<std::size_t>(noiseSlot(before))];
    slots.erase(slots.begin() + noiseSlot(before));
    slots.insert(slots.begin() + noiseSlot(after), noise);
    std::copy(slots.begin(), slots.end(), psg.begin());
}

}  // namespace

int SongModel::subscribe(Observer observer) {
    observers_.push_back({nextId_, std::move(observer)});
    return nextId_++;
}

void SongModel::unsubscribe(int id) {
    std::erase_if(observers_, [id](const Subscription& s) { return s.id == id; });
}

void SongModel::notify(SongChanges changes) {
    // Any choice may change what the driver would play wrongly, and with it
    // the general light.
    const auto before = generalLight();
    if (changes != parts(SongPart::Outputs)) {
        // Whether a song fits where it plays from depends on every choice
        // that changes its bytes (maps, pitch, volume too), not only on the
        // general ones.
        if (module_ && driverProfile(choices_.settings.driver).pointers == PointerForm::AbsoluteLittleEndian)
            general_ = validateGeneral();
        refreshDriverWarnings();
    }
    if (generalLight() != before) changes |= parts(SongPart::Lights);
    // A copy: an observer may subscribe or unsubscribe while being told.
    const auto observers = observers_;
    for (const auto& s : observers) s.observer(changes);
}

// ---- The module.

SongChoices SongModel::keepingOutputs(SongChoices choices) const {
    // The output formats belong to the main window, not to the module.
    choices.writeBin = choices_.writeBin;
    choices.writeAsm = choices_.writeAsm;
    choices.asmStyle = choices_.asmStyle;
    return choices;
}

void SongModel::load(XmModule module) {
    choices_ = keepingOutputs(initialSongChoices(module.channelCount));
    choices_.loopSongAtLoad = true;
    module_ = std::move(module);
    keyOffsRemovedFrom_.reset();
    general_ = validateGeneral();
    notify(kAllSongParts);
}

bool SongModel::reload(XmModule module) {
    SongSettings& s = choices_.settings;
    if (s.removeRests == RemoveRestsState::Greyed) s.removeRests = RemoveRestsState::Checked;
    choices_.loopSongAtLoad = s.loopSong;
    const bool countChanged = module.channelCount != choices_.assignment.channelCount;
    if (countChanged) resetChannelAssignment(choices_.assignment, module.channelCount);
    module_ = std::move(module);
    keyOffsRemovedFrom_.reset();
    general_ = validateGeneral();
    notify(kAllSongParts);
    return countChanged;
}

void SongModel::unload() {
    module_.reset();
    keyOffsRemovedFrom_.reset();
    choices_ = keepingOutputs(SongChoices{});
    general_ = GeneralValidation{};
    notify(kAllSongParts);
}

// ---- Reading.

std::optional<ReadinessLight> SongModel::generalLight() const {
    if (!module_) return std::nullopt;
    if (general_.light == ReadinessLight::Green && !driverWarnings_.empty()) return ReadinessLight::Yellow;
    return general_.light;
}

std::optional<ReadinessLight> SongModel::assignmentLight() const {
    if (!module_) return std::nullopt;
    return general_.light;
}

void SongModel::refreshDriverWarnings() {
    driverWarnings_.clear();
    if (!module_) return;
    const MemoryRowSource rows(*module_);
    driverWarnings_ = ferro::driverWarnings(request(), rows);
}

std::optional<ReadinessLight> SongModel::voiceLight() const {
    if (!module_) return std::nullopt;
    return voiceReadinessLight(choices_.settings.fmChannelCount, choices_.voices.count());
}

XmChannelChoice SongModel::rowChoice(int row) const {
    const ChannelAssignment& a = choices_.assignment;
    if (row >= 0 && row < kFirstPsgAssignmentRow) return a.fm[static_cast<std::size_t>(row)];
    if (row >= kFirstPsgAssignmentRow && row < kDacAssignmentRow)
        return a.psg[static_cast<std::size_t>(row - kFirstPsgAssignmentRow)];
    if (row == kDacAssignmentRow) return a.dac;
    return std::nullopt;
}

ConversionRequest SongModel::request() const {
    return module_ ? songRequest(*module_, choices_) : ConversionRequest{};
}

// ---- The lights.

void SongModel::checkAssignment() {
    if (!module_) return;
    general_ = validateGeneral();
    notify(parts(SongPart::Lights));
}

void SongModel::generalChanged(SongChanges changes) {
    general_ = validateGeneral();
    notify(changes | parts(SongPart::Lights));
}

// ---- General parametres.

void SongModel::setFmChannelCount(int count) {
    ferro::setFmChannelCount(choices_.settings, count);
    generalChanged(parts(SongPart::General));
}

void SongModel::setPsgChannelCount(int count) {
    const int before = choices_.settings.psgChannelCount;
    ferro::setPsgChannelCount(choices_.settings, count);
    const int after = choices_.settings.psgChannelCount;
    if (!choices_.settings.useNoise || after == before) {
        generalChanged(parts(SongPart::General));
        return;
    }
    keepNoiseChannel(choices_.assignment.psg, before, after);
    generalChanged(parts(SongPart::General, SongPart::Assignment));
}

void SongModel::setUseNoise(bool useNoise) {
    ferro::setUseNoise(choices_.settings, useNoise);
    generalChanged(parts(SongPart::General));
}

void SongModel::setHasDrums(bool hasDrums) {
    ferro::setHasDrums(choices_.settings, hasDrums);
    generalChanged(parts(SongPart::General));
}

void SongModel::setLoopSong(bool loopSong) {
    choices_.settings.loopSong = loopSong;
    notify(parts(SongPart::General));
}

void SongModel::setEndDacWithE4(bool on) {
    choices_.settings.endDacWithE4 = on;
    notify(parts(SongPart::General));
}

void SongModel::setModuleEffects(bool on) {
    choices_.settings.moduleEffects = on;
    notify(parts(SongPart::General));
}

void SongModel::setDividingTiming(int value) {
    choices_.settings.dividingTiming = std::clamp(value, kMinTempo, kMaxTempo);
    notify(parts(SongPart::General));
}

void SongModel::setTempo(int value) {
    const DriverProfile& driver = driverProfile(choices_.settings.driver);
    choices_.settings.tempo = std::clamp(value, driver.minTempo, driver.maxTempo);
    notify(parts(SongPart::General));
}

void SongModel::setDriver(SoundDriver driver) {
    SongSettings& s = choices_.settings;
    if (s.driver == driver) return;
    s.tempo = convertTempo(s.tempo, s.driver, driver);
    s.driver = driver;
    generalChanged(parts(SongPart::General) | parts(SongPart::Maps));
}

void SongModel::setZ80Address(int address) {
    if (!z80AddressUsable(address)) return;
    choices_.settings.z80Address = address;
    generalChanged(parts(SongPart::General));
}

std::optional<TempoMatch> SongModel::matchModuleTempo() {
    if (!module_) return std::nullopt;
    // The first row may set its own speed over the header's.
    const XmTempo start = tempoAtFirstRow(*module_);
    auto match = ferro::matchModuleTempo(start.speed, start.bpm, choices_.settings.driver);
    if (!match) return std::nullopt;
    if (const int changes = tempoChangesAfterFirstRow(*module_); changes > 0)
        match->text += "; the module changes its speed " + countText(changes) + (changes == 1 ? " time" : " times") +
                       " later";
    choices_.settings.dividingTiming = match->dividingTiming;
    choices_.settings.tempo = match->tempo;
    notify(parts(SongPart::General));
    return match;
}

void SongModel::chooseChannel(int row, XmChannelChoice channel) {
    ChannelAssignment& a = choices_.assignment;
    if (channel && (*channel < 1 || *channel > a.channelCount)) channel.reset();
    if (row >= 0 && row < kFirstPsgAssignmentRow)
        a.fm[static_cast<std::size_t>(row)] = channel;
    else if (row >= kFirstPsgAssignmentRow && row < kDacAssignmentRow)
        a.psg[static_cast<std::size_t>(row - kFirstPsgAssignmentRow)] = channel;
    else if (row == kDacAssignmentRow)
        a.dac = channel;
    else
        return;
    generalChanged(parts(SongPart::Assignment));
}

std::optional<std::string> SongModel::autoFill() {
    if (!module_) return std::nullopt;
    auto text = autoFillModule(*module_, choices_.settings, choices_.assignment);
    if (text) generalChanged(parts(SongPart::General, SongPart::Assignment));
    return text;
}

// ---- More parametres.

void SongModel::setOptimiseOutput(bool on) {
    choices_.settings.optimiseOutput = on;
    notify(parts(SongPart::General));
}

void SongModel::setRemoveRests(bool checked) {
    ferro::setRemoveRests(choices_.settings, checked);
    notify(parts(SongPart::General));
}

void SongModel::markRemoveRestsApplied() {
    if (choices_.settings.removeRests == RemoveRestsState::Checked) keyOffsRemovedFrom_ = choices_.assignment.dac;
    ferro::markRemoveRestsApplied(choices_.settings);
    notify(parts(SongPart::General));
}

bool SongModel::setMapValue(InstrumentMapKind kind, int key, int position) {
    if (!ferro::setMapValue(choices_.maps, kind, key, position)) return false;
    notify(parts(SongPart::Maps));
    return true;
}

void SongModel::setDrumKeying(bool byNote) {
    ferro::setDrumKeying(choices_.maps, byNote);
    notify(parts(SongPart::Maps));
}

void SongModel::setHiHatKeying(bool byNote) {
    ferro::setHiHatKeying(choices_.maps, byNote);
    notify(parts(SongPart::Maps));
}

void SongModel::setPitch(int slot, int value) {
    ferro::setPitch(choices_.channels, slot, value);
    notify(parts(SongPart::Channels));
}

void SongModel::setVolume(int slot, int value) {
    ferro::setVolume(choices_.channels, slot, value);
    notify(parts(SongPart::Channels));
}

void SongModel::setPan(int slot, int position) {
    ferro::setPan(choices_.channels, slot, position);
    notify(parts(SongPart::Channels));
}

// ---- The song's voices.

// The voice light follows the list: the observers hear of both.
void SongModel::voicesChanged() {
    general_ = validateGeneral();
    notify(parts(SongPart::Voices, SongPart::Lights));
}

GeneralValidation SongModel::validateGeneral() const {
    GeneralValidation v = validateGeneralSettings(choices_.settings, choices_.assignment);
    if (v.light == ReadinessLight::Red || !module_) return v;
    if (driverProfile(choices_.settings.driver).pointers != PointerForm::AbsoluteLittleEndian) return v;
    // Whether the song fits where it plays from is known once it is written:
    // such a song is converted in memory at each change.
    const SongConversion song = ferro::convertSong(request(), MemoryRowSource(*module_), seededRandom(0));
    if (!song.succeeded && song.message.starts_with(kSongPlacementRefusalStart))
        return GeneralValidation{ReadinessLight::Red, song.message};
    return v;
}

AddVoiceResult SongModel::addVoice(std::string name, const FmVoice& voice) {
    const AddVoiceResult result = choices_.voices.add(std::move(name), voice);
    if (result == AddVoiceResult::Ok) {
        voicesChanged();
    }
    return result;
}

AddAllOutcome SongModel::addFileVoices(const FileVoiceList& fileVoices) {
    const AddAllOutcome outcome = ferro::addFileVoices(choices_.voices, fileVoices);
    if (outcome.added > 0) {
        voicesChanged();
    }
    return outcome;
}

AddVoiceResult SongModel::addPastedVoice(std::string_view text) {
    const std::optional<FmVoice> voice = parsePastedVoice(text);
    if (!voice) return AddVoiceResult::BadText;
    return addVoice(kPastedVoiceName, *voice);
}

bool SongModel::removeVoice(int index, std::vector<int>* orphans) {
    if (!choices_.voices.removeAt(index)) return false;
    std::string& map = choices_.maps.instrumentVoices;
    const std::string initial = initialInstrumentVoices();
    const int keys = module_ ? std::min<int>(module_->header.instrumentCount, static_cast<int>(map.size())) : 0;
    for (int k = 1; k <= keys; ++k) {
        char& entry = map[static_cast<std::size_t>(k - 1)];
        const int voice = static_cast<unsigned char>(entry);
        if (voice > index) entry = static_cast<char>(voice - 1);
        if (voice != index) continue;
        entry = initial[static_cast<std::size_t>(k - 1)];
        if (orphans) orphans->push_back(k);
    }
    notify(parts(SongPart::Voices, SongPart::Lights) | parts(SongPart::Maps));
    return true;
}

void SongModel::clearVoices() {
    if (choices_.voices.count() == 0) return;
    choices_.voices.clear();
    voicesChanged();
}

bool SongModel::renameVoice(int index, std::string_view name) {
    if (!choices_.voices.rename(index, name)) return false;
    notify(parts(SongPart::Voices));
    return true;
}

// ---- Output formats.

void SongModel::setWriteBin(bool on) {
    choices_.writeBin = on;
    notify(parts(SongPart::Outputs));
}

void SongModel::setWriteAsm(bool on) {
    choices_.writeAsm = on;
    notify(parts(SongPart::Outputs));
}

void SongModel::setAsmStyle(AsmStyle style) {
    choices_.asmStyle = style;
    notify(parts(SongPart::Outputs));
}

// ---- A whole set of choices.

void SongModel::applyChoices(SongChoices choices) {
    if (choices_.settings.removeRests == RemoveRestsState::Greyed) choices.settings.removeRests = RemoveRestsState::Greyed;
    if (module_) choices.assignment.channelCount = module_->channelCount;
    choices_ = std::move(choices);
    general_ = validateGeneral();
    notify(kAllSongParts & ~parts(SongPart::Module));
}

}  // namespace ferro
