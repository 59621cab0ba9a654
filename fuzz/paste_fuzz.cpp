// The pasted-text parser and the voice text form on hostile text: the parser
// either rejects the text or gives a voice whose text form reads back the same.
#include <cstdint>
#include <string_view>

#include "fuzz/fuzz_support.hpp"
#include "voices/voice_hex.hpp"
#include "voices/voice_import.hpp"

using namespace ferro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const auto pasted = parsePastedVoice(text);
    if (pasted) {
        const VoiceHexText form = formatVoiceHex(*pasted);
        const auto again = parseVoiceHex(form);
        FERRO_FUZZ_CHECK(again && *again == *pasted);
    }
    (void)parseVoiceHex(text);
    // Names travel between 8-bit text and UTF-8 and must survive the trip.
    const std::string utf8 = utf8FromLatin1(text);
    FERRO_FUZZ_CHECK(latin1FromUtf8(utf8) == text);
    (void)latin1FromUtf8(text);
    return 0;
}
