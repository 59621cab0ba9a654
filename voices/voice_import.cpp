#include "voices/voice_import.hpp"

#include "base/byte_reader.hpp"
#include "voices/voice_hex.hpp"

#include <algorithm>
#include <cstdio>
#include <utility>

namespace ferro {

namespace {

// Voice files are read in zero-fill mode: a file that holds less than its own
// counts announce still gives its voices, completed with zero bytes.
ByteReader zeroFillReader(std::span<const std::uint8_t> data) {
    return ByteReader(data, ByteReader::PastEnd::ReadZeros);
}

ImportResult failure(const char* message, std::string problem = "") {
    ImportResult result;
    result.message = message;
    result.problem = std::move(problem);
    return result;
}

std::string sizeText(std::size_t n) { return std::to_string(n) + (n == 1 ? " byte" : " bytes"); }

std::string hex4(std::int64_t value) {
    char text[8];
    std::snprintf(text, sizeof text, "$%04X", static_cast<unsigned>(value & 0xFFFF));
    return text;
}

std::string numberedName(std::string_view fileName, std::size_t index) {
    char number[16];
    std::snprintf(number, sizeof number, "%zX", index);
    std::string name(fileName);
    name += ": voice $";
    name += number;
    return name;
}

FmVoice readVoice(ByteReader& reader) {
    FmVoice voice;
    reader.read(voice.bytes);
    return voice;
}

// Voice bytes 1..24 from a register dump in the chip's order (detune/multiple,
// total level, rate scaling/attack, AM/first decay, second decay, sustain
// level/release; operators 1, 2, 3, 4 within each group) and the
// feedback/algorithm byte.
FmVoice voiceFromRegisterGroups(std::span<const std::uint8_t, 24> groups, std::uint8_t feedbackAlgorithm) {
    // For each voice group (SMPS order), the group of the register dump.
    static constexpr int kSourceGroup[6] = {0, 2, 3, 4, 5, 1};
    static constexpr int kOperatorOrder[4] = {0, 2, 1, 3};
    FmVoice voice;
    voice.bytes[0] = feedbackAlgorithm;
    for (int g = 0; g < 6; ++g)
        for (int op = 0; op < 4; ++op)
            voice.bytes[static_cast<std::size_t>(1 + 4 * g + op)] =
                groups[static_cast<std::size_t>(4 * kSourceGroup[g] + kOperatorOrder[op])];
    return voice;
}

ImportResult importRaw25(std::span<const std::uint8_t> data, std::string_view fileName) {
    const std::size_t n = data.size() / kFmVoiceSize;
    if (n == 0)
        return failure(kNoVoicesMessage, "a raw voice is 25 bytes long, this file is " + sizeText(data.size()));
    ImportResult result;
    result.voices.reserve(n);
    ByteReader reader(data);
    for (std::size_t i = 0; i < n; ++i) result.voices.push_back({numberedName(fileName, i), readVoice(reader)});
    return result;
}

ImportResult importYmx(std::span<const std::uint8_t> data, std::string_view) {
    static constexpr std::uint8_t kSignature[7] = {'Y', 'M', '2', '6', '1', '2', 0};
    ByteReader reader = zeroFillReader(data);
    std::uint8_t header[8];
    reader.read(header);
    if (!std::equal(std::begin(kSignature), std::end(kSignature), header))
        return failure(kNotYmxMessage, "the file does not start with \"YM2612\" and a zero byte");
    // The count field says 1..256. Banks written by other editors often
    // announce one voice more than they hold: a record wholly missing is no
    // voice and is said in one line; one cut short reads on as zeros.
    const int announced = header[7] + 1;
    constexpr std::size_t kRecordSize = kFmVoiceSize + 10;
    const std::size_t records = data.size() > sizeof header ? data.size() - sizeof header : 0;
    const std::size_t started = (records + kRecordSize - 1) / kRecordSize;
    const int count = static_cast<int>(std::min<std::size_t>(static_cast<std::size_t>(announced), started));
    const std::string announces = "the file announces " + std::to_string(announced) + " voices and holds ";
    if (count == 0) return failure(kNoVoicesMessage, announces + "none");
    ImportResult result;
    if (count < announced) result.notice = announces + std::to_string(count);
    result.voices.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const FmVoice voice = swapNaturalSmps(readVoice(reader));
        char field[10];
        reader.read(std::span(reinterpret_cast<std::uint8_t*>(field), sizeof field));
        const std::size_t length = std::find(field, field + sizeof field, '\0') - field;
        result.voices.push_back({std::string(field, length), voice});
    }
    return result;
}

// The voice table of a song: from `offset` to the end of the file, counted to
// the nearest whole record; the last, rounded-up record is completed with
// zeros.
ImportResult importSongVoiceTable(std::span<const std::uint8_t> data, std::int64_t offset, std::string_view fileName) {
    const std::int64_t rounded = static_cast<std::int64_t>(data.size()) - offset + kFmVoiceSize / 2;
    const std::string table = "the voice table at offset " + std::to_string(offset);
    if (rounded < 0)
        return failure(kWrongFileMessage, table + " lies past the file's end (" + sizeText(data.size()) + ")");
    const std::int64_t n = rounded / kFmVoiceSize;
    if (n > 255)
        return failure(kWrongFileMessage,
                       table + " would hold " + std::to_string(n) + " voices; a song has at most 255");
    if (n == 0)
        return failure(kNoVoicesMessage, table + " holds no whole voice before the file's end (" +
                                             sizeText(data.size()) + ")");
    ByteReader reader = zeroFillReader(data);
    reader.seek(static_cast<std::size_t>(offset));
    ImportResult result;
    result.voices.reserve(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i)
        result.voices.push_back({numberedName(fileName, static_cast<std::size_t>(i)), readVoice(reader)});
    return result;
}

ImportResult importSonic1Song(std::span<const std::uint8_t> data, std::string_view fileName) {
    ByteReader reader = zeroFillReader(data);
    const std::int64_t offset = *reader.u16be();
    return importSongVoiceTable(data, offset, fileName);
}

// S3&K and Crackers songs hold Z80 addresses without saying where the song is
// loaded: the lowest address the header points to is taken to be the first
// byte after the header.
ImportResult importZ80Song(std::span<const std::uint8_t> data, std::string_view fileName) {
    static constexpr std::uint16_t kUniversalBankAddress = 0x17D8;
    ByteReader reader = zeroFillReader(data);
    const std::uint16_t voiceTable = *reader.u16le();
    if (voiceTable == kUniversalBankAddress)
        return failure(kUniversalBankMessage,
                       "its voice table address is " + hex4(voiceTable) + ", where the driver keeps the bank");
    std::uint16_t lowest = std::min<std::uint16_t>(0xFFFF, voiceTable);
    const int fmTypeTracks = *reader.u8();
    const int psgTracks = *reader.u8();
    const int fmTracks = fmTypeTracks > 0 ? fmTypeTracks - 1 : 0;
    if (fmTracks > 6 || psgTracks > 3)
        return failure(kWrongFileMessage, "the header announces " + std::to_string(fmTracks) + " FM and " +
                                              std::to_string(psgTracks) + " PSG tracks; a song has at most 6 and 3");
    reader.skip(2);
    lowest = std::min(lowest, *reader.u16le());  // DAC track
    reader.skip(2);
    for (int k = 0; k < fmTracks; ++k) {
        lowest = std::min(lowest, *reader.u16le());
        reader.skip(2);
    }
    for (int k = 0; k < psgTracks; ++k) {
        lowest = std::min(lowest, *reader.u16le());
        reader.skip(4);
    }
    const std::int64_t headerLength = static_cast<std::int64_t>(reader.pos());
    const std::int64_t baseAddress = static_cast<std::int64_t>(lowest) - headerLength;
    return importSongVoiceTable(data, static_cast<std::int64_t>(voiceTable) - baseAddress, fileName);
}

ImportResult importFcv(std::span<const std::uint8_t> data, std::string_view) {
    ByteReader reader = zeroFillReader(data);
    const int count = *reader.u8();
    if (count == 0) return failure(kNoVoicesMessage, "the voice count (the first byte) is 0");
    ImportResult result;
    result.voices.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        const FmVoice voice = readVoice(reader);
        const std::size_t length = *reader.u8();
        // A name the file holds only in part keeps the part it holds.
        const std::size_t present = std::min(length, reader.remaining());
        std::string name;
        if (present > 0) name.assign(reinterpret_cast<const char*>(data.data()) + reader.pos(), present);
        reader.skip(length);
        result.voices.push_back({std::move(name), voice});
    }
    return result;
}

ImportResult importRaw29(std::span<const std::uint8_t> data, std::string_view fileName) {
    static constexpr std::size_t kRecordSize = 29;
    const std::size_t n = data.size() / kRecordSize;
    if (n == 0)
        return failure(kNoVoicesMessage, "a raw $1D voice is 29 bytes long, this file is " + sizeText(data.size()));
    ImportResult result;
    result.voices.reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const auto record = data.subspan(i * kRecordSize, kRecordSize);
        result.voices.push_back(
            {numberedName(fileName, i), voiceFromRegisterGroups(record.first<24>(), record[28])});
    }
    return result;
}

ImportResult importTfi(std::span<const std::uint8_t> data, std::string_view fileName) {
    static constexpr std::size_t kTfiSize = 42;
    if (data.size() != kTfiSize)
        return failure(kBrokenFileMessage, "a TFI voice is 42 bytes long, this file is " + std::to_string(data.size()));
    enum { Mul, Dt, Tl, Rs, Ar, Dr, Sr, Rr, Sl, SsgEg };
    ImportResult result;
    FmVoice voice;
    const int algorithm = data[0];
    const int feedback = data[1];
    // The first field that gives more than a voice byte holds.
    std::string outOfRange;
    auto store = [&](std::size_t at, int value, const std::string& what) {
        if ((value < 0 || value > 255) && outOfRange.empty())
            outOfRange = what + " give " + std::to_string(value) + ", more than a byte holds";
        voice.bytes[at] = static_cast<std::uint8_t>(value);
    };
    store(0, algorithm + feedback * 8,
          "algorithm " + std::to_string(algorithm) + " and feedback " + std::to_string(feedback));
    static constexpr int kBlockOrder[4] = {0, 2, 1, 3};
    for (int slot = 0; slot < 4; ++slot) {
        const auto op = data.subspan(2 + 10 * static_cast<std::size_t>(kBlockOrder[slot]), 10);
        if (op[SsgEg] != 0) result.ssgEgWarning = true;
        // Stored detune is offset by 3. The chip keeps a negative detune as
        // its size with the sign in bit 2: -1, -2, -3 are 5, 6, 7.
        const int detune = op[Dt] >= 3 ? op[Dt] - 3 : 4 + (3 - op[Dt]);
        const auto s = static_cast<std::size_t>(slot);
        const std::string fields = "operator " + std::to_string(kBlockOrder[slot] + 1) + "'s ";
        store(1 + s, detune * 16 + op[Mul], fields + "detune and multiple");
        store(5 + s, op[Rs] * 64 + op[Ar], fields + "rate scaling and attack rate");
        store(17 + s, op[Sl] * 16 + op[Rr], fields + "sustain level and release rate");
        voice.bytes[9 + s] = op[Dr];
        voice.bytes[13 + s] = op[Sr];
        voice.bytes[21 + s] = op[Tl];
    }
    if (!outOfRange.empty()) return failure(kWrongFileMessage, outOfRange);
    std::string name(fileName.substr(0, fileName.size() >= 4 ? fileName.size() - 4 : 0));
    result.voices.push_back({std::move(name), voice});
    return result;
}

ImportResult importMvs(std::span<const std::uint8_t> data, std::string_view) {
    static constexpr std::size_t kMinimumSize = 31;
    if (data.size() < kMinimumSize)
        return failure(kBrokenFileMessage, "an MVS instrument is at least 31 bytes long (signature, name and "
                                           "registers), this file is " + std::to_string(data.size()));
    static constexpr char kSignature[5] = {'M', 'V', 'S', 'I', '1'};
    for (std::size_t i = 0; i < 5; ++i) {
        char c = static_cast<char>(data[i]);
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != kSignature[i]) return failure(kNotMvsMessage, "the file does not start with \"MVSI1\"");
    }
    std::string name(reinterpret_cast<const char*>(data.data()) + 5, data.size() - kMinimumSize);
    const auto registers = data.last(25);
    ImportResult result;
    result.voices.push_back({std::move(name), voiceFromRegisterGroups(registers.first<24>(), registers[24])});
    return result;
}

constexpr const char* kPlainHexCaption = "Hex data for the selected voice";
constexpr const char* kRearrangedHexCaption = "Hex data (S1'd) for the selected voice";

const std::array<VoiceKindInfo, kVoiceFileKindCount> kKinds = {{
    {VoiceFileKind::Raw25, "Raw $19 S1/3&K format (*.bin)", "*.bin", kPlainHexCaption, "raw25", nullptr, importRaw25},
    {VoiceFileKind::Ymx, "ymx format (*.ymx)", "*.ymx", kRearrangedHexCaption, "ymx", nullptr, importYmx},
    {VoiceFileKind::Sonic1Song, "Extract from Sonic 1 song (*.bin)", "*.bin", kPlainHexCaption, "s1song", nullptr,
     importSonic1Song},
    {VoiceFileKind::S3kSong, "Extract from S3&K song (*.bin)", "*.bin", kPlainHexCaption, "s3ksong", kS3kSongWarning,
     importZ80Song},
    {VoiceFileKind::Paste, "Paste hex voice...", "", "", "paste", nullptr, nullptr},
    {VoiceFileKind::CrackersSong, "Extract from Crackers song (*.bin)", "*.bin", kPlainHexCaption, "crackers", nullptr,
     importZ80Song},
    {VoiceFileKind::Fcv, "fcv format (*.fcv)", "*.fcv", kPlainHexCaption, "fcv", nullptr, importFcv},
    {VoiceFileKind::Raw29, "Raw $1D Cube/Zelkara format (*.bin)", "*.bin", kRearrangedHexCaption, "raw29", nullptr,
     importRaw29},
    {VoiceFileKind::Tfi, "TFM instrument (*.tfi)", "*.tfi", kRearrangedHexCaption, "tfi", nullptr, importTfi},
    {VoiceFileKind::Mvs, "MVS instrument (*.ins)", "*.ins", kRearrangedHexCaption, "mvs", nullptr, importMvs},
}};

}  // namespace

const std::array<VoiceKindInfo, kVoiceFileKindCount>& voiceFileKinds() { return kKinds; }

const VoiceKindInfo& voiceKindInfo(VoiceFileKind kind) {
    for (const auto& info : kKinds)
        if (info.kind == kind) return info;
    return kKinds[static_cast<std::size_t>(VoiceFileKind::Paste)];
}

const VoiceKindInfo* findVoiceKindByCliName(std::string_view name) {
    for (const auto& info : kKinds)
        if (name == info.cliName) return &info;
    return nullptr;
}

ImportResult importVoiceBytes(VoiceFileKind kind, std::span<const std::uint8_t> data, std::string_view fileName) {
    const VoiceKindInfo& info = voiceKindInfo(kind);
    if (info.kind != kind || info.import == nullptr) return failure(kWrongFileMessage);
    try {
        return info.import(data, fileName);
    } catch (...) {
        return failure(kWrongFileMessage);
    }
}

std::string importFailureText(const ImportResult& result, std::string_view fileName) {
    if (result.problem.empty()) return result.message;
    return result.message + "\n" + std::string(fileName) + ": " + result.problem;
}

ImportResult importVoiceFile(VoiceFileKind kind, const std::filesystem::path& file) {
    const auto data = readWholeFile(file);
    if (!data) return failure(kWrongFileMessage, "the file cannot be read");
    return importVoiceBytes(kind, *data, latin1FileName(file));
}

std::optional<FmVoice> parsePastedVoice(std::string_view text) {
    FmVoice voice;
    int pieces = 0;
    int pending = -1;  // first digit of an unfinished piece
    auto finishPiece = [&](int value) {
        if (pieces >= kFmVoiceSize) return false;
        voice.bytes[static_cast<std::size_t>(pieces++)] = static_cast<std::uint8_t>(value);
        return true;
    };
    for (const char c : text) {
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (c == ' ' || c == '\r' || c == '\n') {
            if (pending >= 0 && !finishPiece(pending)) return std::nullopt;
            pending = -1;
            continue;
        }
        if (digit < 0) return std::nullopt;
        if (pending < 0) {
            pending = digit;
        } else {
            if (!finishPiece(pending * 16 + digit)) return std::nullopt;
            pending = -1;
        }
    }
    if (pending >= 0 && !finishPiece(pending)) return std::nullopt;
    if (pieces != kFmVoiceSize) return std::nullopt;
    return voice;
}

}  // namespace ferro
