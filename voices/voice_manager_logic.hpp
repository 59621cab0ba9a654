#pragma once
// The parts of the voice manager that are not about widgets: the voice light,
// the voice files a kind lists, and adding every voice of a file at once.
#include "base/shared_types.hpp"
#include "voices/song_voice_list.hpp"
#include "voices/voice_import.hpp"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ferro {

// The voice side's light from the FM channel count of the song and the number
// of song voices: FM channels want voices, a song without FM channels wants
// none. Never red.
ReadinessLight voiceReadinessLight(int fmChannelCount, int voiceCount);

// Whether `name` matches a file pattern such as "*.bin" ('*' any run of
// characters, '?' one character), without regard to letter case (ASCII).
bool matchesVoiceFilePattern(std::string_view name, std::string_view pattern);

// The regular files directly in `folder` whose names match `pattern`, as bare
// file names, sorted without regard to letter case. An empty pattern or a
// folder that cannot be read gives an empty list.
std::vector<std::filesystem::path> listVoiceFiles(const std::filesystem::path& folder, std::string_view pattern);

// The kind a voice file from any folder is read as, by its name as the kind
// selector's patterns match the files of the module's folder: `current` when
// its pattern matches (the raw and song kinds all use *.bin), else the first
// kind in the selector's order whose pattern matches; none for a name no
// kind's pattern matches.
std::optional<VoiceFileKind> voiceKindOfFile(const std::filesystem::path& file, VoiceFileKind current);

// A voice file the user picked or dropped, read as its kind.
struct PickedVoiceFile {
    VoiceFileKind kind = VoiceFileKind::Raw25;
    ImportResult result;
    // Empty when its voices were read; else the message, then a line with
    // the file's name and what does not fit its kind.
    std::string failure;
};
PickedVoiceFile readPickedVoiceFile(const std::filesystem::path& file, VoiceFileKind current);

struct AddAllOutcome {
    int added = 0;
    bool reachedLimit = false;  // the song list filled up before the file's end
};

// Appends the file's voices in order, named as in the file, until the song
// list is full.
AddAllOutcome addFileVoices(SongVoiceList& song, const FileVoiceList& fileVoices);

}  // namespace ferro
