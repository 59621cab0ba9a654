#include "voices/voice_manager_logic.hpp"

#include <algorithm>
#include <system_error>

#include "base/paths.hpp"

namespace ferro {

namespace {

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool lessNoCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return lowerAscii(x) < lowerAscii(y); });
}

}  // namespace

ReadinessLight voiceReadinessLight(int fmChannelCount, int voiceCount) {
    const bool wantsVoices = fmChannelCount > 0;
    const bool hasVoices = voiceCount > 0;
    return wantsVoices == hasVoices ? ReadinessLight::Green : ReadinessLight::Yellow;
}

bool matchesVoiceFilePattern(std::string_view name, std::string_view pattern) {
    // Iterative wildcard match with one backtracking point for the last '*'.
    std::size_t n = 0, p = 0;
    std::size_t starAt = std::string_view::npos, resumeAt = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starAt = p++;
            resumeAt = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || lowerAscii(pattern[p]) == lowerAscii(name[n]))) {
            ++p;
            ++n;
        } else if (starAt != std::string_view::npos) {
            p = starAt + 1;
            n = ++resumeAt;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

std::vector<std::filesystem::path> listVoiceFiles(const std::filesystem::path& folder, std::string_view pattern) {
    std::vector<std::filesystem::path> names;
    if (pattern.empty()) return names;
    std::error_code error;
    std::filesystem::directory_iterator it(folder, error);
    if (error) return names;
    std::vector<std::pair<std::string, std::filesystem::path>> found;
    for (; it != std::filesystem::directory_iterator(); it.increment(error)) {
        if (error) break;
        std::error_code typeError;
        if (!it->is_regular_file(typeError) || typeError) continue;
        const std::filesystem::path name = it->path().filename();
        const std::u8string u8 = name.u8string();
        std::string text(u8.begin(), u8.end());
        if (matchesVoiceFilePattern(text, pattern)) found.emplace_back(std::move(text), name);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return lessNoCase(a.first, b.first); });
    names.reserve(found.size());
    for (auto& entry : found) names.push_back(std::move(entry.second));
    return names;
}

std::optional<VoiceFileKind> voiceKindOfFile(const std::filesystem::path& file, VoiceFileKind current) {
    const std::string name = utf8FromPath(file.filename());
    if (matchesVoiceFilePattern(name, voiceKindInfo(current).filePattern)) return current;
    for (const VoiceKindInfo& info : voiceFileKinds())
        if (matchesVoiceFilePattern(name, info.filePattern)) return info.kind;
    return std::nullopt;
}

PickedVoiceFile readPickedVoiceFile(const std::filesystem::path& file, VoiceFileKind current) {
    PickedVoiceFile picked;
    const std::string name = utf8FromPath(file.filename());
    const std::optional<VoiceFileKind> kind = voiceKindOfFile(file, current);
    if (!kind) {
        std::string patterns;
        for (const VoiceKindInfo& info : voiceFileKinds())
            if (*info.filePattern && patterns.find(info.filePattern) == std::string::npos)
                patterns += (patterns.empty() ? "" : " ") + std::string(info.filePattern);
        picked.failure = std::string(kWrongFileMessage) + "\n" + name +
                         ": its name matches none of the voice files' patterns (" + patterns + ")";
        return picked;
    }
    picked.kind = *kind;
    picked.result = importVoiceFile(*kind, file);
    if (!picked.result.ok()) picked.failure = importFailureText(picked.result, name);
    return picked;
}

AddAllOutcome addFileVoices(SongVoiceList& song, const FileVoiceList& fileVoices) {
    AddAllOutcome outcome;
    for (const FileVoiceEntry& entry : fileVoices) {
        if (song.add(entry.name, entry.voice) != AddVoiceResult::Ok) {
            outcome.reachedLimit = true;
            break;
        }
        ++outcome.added;
    }
    return outcome;
}

}  // namespace ferro
