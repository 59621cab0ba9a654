#include "voices/voice_bank.hpp"

#include "voices/voice_hex.hpp"

#include <algorithm>

namespace ferro {

namespace {

const std::array<BankFormatInfo, 3> kFormats = {{
    {BankFormat::Raw, "Raw binary file", ".bin", "raw", SongVoiceList::kCapacity},
    {BankFormat::Fcv, "fcv format (recommended)", ".fcv", "fcv", 255},
    {BankFormat::Ymx, "ymx format", ".ymx", "ymx", 127},
}};

constexpr std::size_t kYmxNameSize = 10;
constexpr std::size_t kFcvMaxNameLength = 255;

}  // namespace

const std::array<BankFormatInfo, 3>& bankFormats() { return kFormats; }

const BankFormatInfo& bankFormatInfo(BankFormat format) {
    for (const auto& info : kFormats)
        if (info.format == format) return info;
    return kFormats[0];
}

std::optional<Bytes> encodeVoiceBank(const SongVoiceList& list, BankFormat format) {
    const BankFormatInfo& info = bankFormatInfo(format);
    const int n = list.count();
    if (info.format != format || n == 0 || n > info.voiceLimit) return std::nullopt;
    Bytes out;
    if (format == BankFormat::Fcv) out.push_back(static_cast<std::uint8_t>(n));
    if (format == BankFormat::Ymx) {
        const char header[8] = {'Y', 'M', '2', '6', '1', '2', 0, static_cast<char>(n - 1)};
        out.insert(out.end(), header, header + sizeof header);
    }
    for (int i = 0; i < n; ++i) {
        const std::string& name = list.name(i);
        const FmVoice voice = format == BankFormat::Ymx ? swapNaturalSmps(list.voice(i)) : list.voice(i);
        out.insert(out.end(), voice.bytes.begin(), voice.bytes.end());
        if (format == BankFormat::Fcv) {
            if (name.size() > kFcvMaxNameLength) return std::nullopt;
            out.push_back(static_cast<std::uint8_t>(name.size()));
            out.insert(out.end(), name.begin(), name.end());
        } else if (format == BankFormat::Ymx) {
            std::uint8_t field[kYmxNameSize] = {};
            std::copy_n(name.begin(), std::min(name.size(), kYmxNameSize), field);
            out.insert(out.end(), field, field + kYmxNameSize);
        }
    }
    return out;
}

bool writeVoiceBank(const SongVoiceList& list, BankFormat format, const std::filesystem::path& path) {
    const auto bytes = encodeVoiceBank(list, format);
    if (!bytes) return false;
    return writeWholeFile(path, *bytes);
}

}  // namespace ferro
