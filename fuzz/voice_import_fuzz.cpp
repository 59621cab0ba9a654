// Every voice import on hostile bytes. The first byte picks the kind (its
// position in the kind selector, modulo the number of kinds); the rest is the
// file, or the pasted text for the paste kind. An import either gives 1..256
// voices and no message, or one of its messages and no voice. Voices that were
// read are saved as banks and read back: the bytes (and for fcv the names)
// come back unchanged.
#include <cstdint>
#include <span>
#include <string_view>

#include "fuzz/fuzz_support.hpp"
#include "voices/song_voice_list.hpp"
#include "voices/voice_bank.hpp"
#include "voices/voice_hex.hpp"
#include "voices/voice_import.hpp"

using namespace ferro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto kind = static_cast<VoiceFileKind>(data[0] % kVoiceFileKindCount);
    const std::span<const std::uint8_t> body(data + 1, size - 1);

    if (kind == VoiceFileKind::Paste) {
        const std::string_view text(reinterpret_cast<const char*>(body.data()), body.size());
        if (const auto voice = parsePastedVoice(text)) {
            // The text form of a voice reads back as the same voice.
            const auto again = parsePastedVoice(formatVoiceHex(*voice));
            FERRO_FUZZ_CHECK(again && *again == *voice);
        }
        return 0;
    }

    const ImportResult result = importVoiceBytes(kind, body, "fuzz.bin");
    if (result.ok()) {
        FERRO_FUZZ_CHECK(!result.voices.empty());
        FERRO_FUZZ_CHECK(result.voices.size() <= 256);
        SongVoiceList list;
        for (const FileVoiceEntry& entry : result.voices) list.add(entry.name, entry.voice);
        for (const BankFormat format : {BankFormat::Raw, BankFormat::Fcv, BankFormat::Ymx}) {
            const auto bank = encodeVoiceBank(list, format);
            if (!bank) continue;
            const VoiceFileKind back = format == BankFormat::Raw   ? VoiceFileKind::Raw25
                                       : format == BankFormat::Fcv ? VoiceFileKind::Fcv
                                                                   : VoiceFileKind::Ymx;
            const ImportResult again = importVoiceBytes(back, *bank, "bank");
            FERRO_FUZZ_CHECK(again.ok() && again.voices.size() == result.voices.size());
            for (std::size_t i = 0; i < result.voices.size(); ++i) {
                FERRO_FUZZ_CHECK(again.voices[i].voice == result.voices[i].voice);
                if (format == BankFormat::Fcv) FERRO_FUZZ_CHECK(again.voices[i].name == result.voices[i].name);
            }
        }
    } else {
        FERRO_FUZZ_CHECK(result.voices.empty());
        FERRO_FUZZ_CHECK(!result.ssgEgWarning);
    }
    return 0;
}
