#include "voices/song_voice_list.hpp"

#include "base/byte_reader.hpp"

#include <cstdio>
#include <stdexcept>

namespace ferro {

std::string voiceDisplayText(int index, std::string_view name) {
    char number[16];
    std::snprintf(number, sizeof number, "%X", static_cast<unsigned>(index));
    std::string text = number;
    text += ": ";
    text += name;
    return text;
}

AddVoiceResult SongVoiceList::add(std::string name, const FmVoice& voice) {
    if (isFull()) return AddVoiceResult::Full;
    entries_.push_back(Entry{std::move(name), voice, formatVoiceHex(voice)});
    return AddVoiceResult::Ok;
}

AddVoiceResult SongVoiceList::add(std::string name, std::string_view hex) {
    const auto voice = parseVoiceHex(hex);
    if (!voice) return AddVoiceResult::BadText;
    return add(std::move(name), *voice);
}

bool SongVoiceList::removeAt(int index) {
    if (index < 0 || index >= count()) return false;
    entries_.erase(entries_.begin() + index);
    return true;
}

void SongVoiceList::clear() { entries_.clear(); }

bool SongVoiceList::rename(int index, std::string_view newName) {
    if (index < 0 || index >= count()) return false;
    newName = newName.substr(0, kMaxRenameLength);
    if (newName.empty()) return false;
    entries_[static_cast<std::size_t>(index)].name = std::string(newName);
    return true;
}

const SongVoiceList::Entry& SongVoiceList::entry(int index) const {
    if (index < 0 || index >= count()) throw std::out_of_range("voice index outside the song's voice list");
    return entries_[static_cast<std::size_t>(index)];
}

const std::string& SongVoiceList::name(int index) const { return entry(index).name; }
const VoiceHexText& SongVoiceList::hex(int index) const { return entry(index).hex; }
const FmVoice& SongVoiceList::voice(int index) const { return entry(index).voice; }
std::string SongVoiceList::displayText(int index) const { return voiceDisplayText(index, entry(index).name); }

}  // namespace ferro
