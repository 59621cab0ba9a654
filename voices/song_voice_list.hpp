#pragma once
// The voices the current song carries, in the order the song numbers them.
#include "voices/fm_voice.hpp"
#include "voices/voice_hex.hpp"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace ferro {

inline constexpr const char* kVoiceListFullMessage = "You already have $100 voices in your bank";

enum class AddVoiceResult {
    Ok,
    Full,     // the list already holds kCapacity voices; nothing changed
    BadText,  // (text form only) not a voice text; nothing changed
};

// Ordered list of at most $100 voices. The index of an entry is the voice
// number the song uses; display numbers always follow the indices.
class SongVoiceList {
public:
    static constexpr int kCapacity = 0x100;
    static constexpr std::size_t kMaxRenameLength = 255;

    int count() const { return static_cast<int>(entries_.size()); }
    bool isFull() const { return count() >= kCapacity; }

    AddVoiceResult add(std::string name, const FmVoice& voice);
    AddVoiceResult add(std::string name, std::string_view hex);

    // Later entries move down by one. Returns false (nothing changes) for an
    // index outside 0..count()-1.
    bool removeAt(int index);
    void clear();

    // Keeps the first 255 characters of newName; an empty name, like an index
    // outside the list, changes nothing and returns false.
    bool rename(int index, std::string_view newName);

    // Index must be in 0..count()-1 (std::out_of_range otherwise).
    const std::string& name(int index) const;  // 8-bit (Latin-1) text
    const VoiceHexText& hex(int index) const;
    const FmVoice& voice(int index) const;
    // Index in upper-case hexadecimal, ": ", name ("A: bass").
    std::string displayText(int index) const;

private:
    struct Entry {
        std::string name;
        FmVoice voice;
        VoiceHexText hex;
    };
    const Entry& entry(int index) const;

    std::vector<Entry> entries_;
};

// Display text of the entry at `index`: "FF: name".
std::string voiceDisplayText(int index, std::string_view name);

}  // namespace ferro
