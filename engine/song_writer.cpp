#include "engine/song_writer.hpp"

#include <array>

#include "base/paths.hpp"
#include "engine/conversion_error.hpp"
#include "engine/smps2asm_writer.hpp"

namespace ferro {

std::optional<std::string> outputBaseName(const std::string& fileName) {
    if (fileName.empty()) return std::nullopt;
    const std::filesystem::path asPath = pathFromUtf8(fileName);
    if (asPath.filename() != asPath || asPath.has_root_path()) return std::nullopt;
    // Three characters, not three bytes: a name is UTF-8.
    std::size_t end = fileName.size();
    for (int k = 0; k < 3; ++k) {
        if (end == 0) return std::nullopt;
        --end;
        while (end > 0 && (static_cast<unsigned char>(fileName[end]) & 0xC0) == 0x80) --end;
    }
    return fileName.substr(0, end);
}

namespace {

// The listing, one line at a time, lines joined by CR LF. A song has a line
// for every byte, so lines go straight into the text.
class Listing {
public:
    void line(const std::string& text) {
        if (started_) text_ += "\r\n";
        started_ = true;
        text_ += text;
    }
    void byte(int value) {
        static const char digits[] = "0123456789ABCDEF";
        if (started_) text_ += "\r\n";
        started_ = true;
        text_ += "\tdc.b\t$";
        if (value >= 16) text_ += digits[(value / 16) % 16];
        text_ += digits[value % 16];
    }
    void bytes(const Bytes& data) {
        text_.reserve(text_.size() + data.size() * 10);
        for (std::uint8_t b : data) byte(b);
    }
    const std::string& text() const { return text_; }

private:
    std::string text_;
    bool started_ = false;
};

int transpositionByte(int pitch) {
    const int value = pitch < 0 ? pitch + 256 : pitch;
    if (value < 0 || value > 255) failConversion();
    return value;
}

int volumeByte(int volume) {
    if (volume < 0 || volume > 255) failConversion();
    return volume;
}

}  // namespace

std::string labelSafeName(const std::string& baseName) {
    std::string out;
    for (std::size_t i = 0; i < baseName.size(); ++i) {
        const auto c = static_cast<unsigned char>(baseName[i]);
        // A character of several bytes becomes one `_`.
        if ((c & 0xC0) == 0x80 && i > 0 && (static_cast<unsigned char>(baseName[i - 1]) & 0x80) != 0) continue;
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
        out += keep ? static_cast<char>(c) : '_';
    }
    if (!out.empty() && out[0] >= '0' && out[0] <= '9') out.insert(out.begin(), '_');
    return out;
}

SongLayout layoutSong(const ConversionRequest& request, const std::vector<ChannelSections>& sections,
                      const Bytes& voiceTable, int songUnits) {
    const std::optional<std::string> baseName = outputBaseName(request.fileName);
    if (!baseName) failConversion();
    const int fmCount = request.fmChannelCount;
    const int psgCount = request.psgChannelCount;
    if (!requestIsUsable(request)) failConversion();
    const DriverProfile& driver = driverProfile(request.driver);
    SongLayout song;
    song.driver = request.driver;
    song.address = request.z80Address;
    song.label = labelSafeName(*baseName);
    song.dividingTiming = request.dividingTiming;
    song.tempo = request.tempo;
    song.hasIntro = loopPlan(request).hasIntro();
    auto track = [&](std::string name, const std::optional<int>& channel, int transposition, int volume) {
        if (!channel || *channel < 1 || *channel > request.channelCount) failConversion();
        if (static_cast<std::size_t>(*channel) >= sections.size()) failConversion();
        const ChannelSections& s = sections[static_cast<std::size_t>(*channel)];
        SongTrack t{std::move(name), song.hasIntro ? s.intro : Bytes{}, s.main, transposition, volume, {}};
        for (std::size_t p : s.mainPointers) t.pointers.push_back(t.intro.size() + p);
        return t;
    };
    for (int k = 1; k <= fmCount; ++k) {
        song.fm.push_back(track("FM" + std::to_string(k), request.fm[k - 1], transpositionByte(request.pitch[k - 1]),
                                volumeByte(request.volume[k - 1])));
    }
    for (int k = 1; k <= psgCount; ++k) {
        const bool noise = request.useNoise && k == psgCount;
        song.psg.push_back(track("PSG" + std::to_string(k), request.psg[k - 1],
                                 noise ? driver.hihatTransposition : transpositionByte(request.pitch[5 + k]),
                                 volumeByte(noise ? request.volume[9] : request.volume[5 + k])));
    }
    if (request.hasDrums) {
        song.dac = track("DAC", request.dac, 0, 0);
    } else {
        // The driver reads the DAC slot's track first in every frame, and an
        // E4 there ends the song in the frame it is read; on any other track
        // E4 is undefined. So a song played once that hands back to the
        // previous music rests on the stop track for the song's whole length
        // and reads E4 in the frame where the other tracks end, as the game's
        // own extra-life jingle does. A bare E4 F2 would end the song in its
        // first frame, before a single note.
        Bytes stop;
        const bool playedOnce = !loopPlan(request).looping;
        const bool anyTrack = !song.fm.empty() || !song.psg.empty();
        const int length = songUnits >= 0 ? songUnits : request.totalRows;
        if (playedOnce && request.endDacWithE4 && driver.endsWithE4 && anyTrack && length >= 1) {
            appendRest(stop, length, maxDurationByte(request.dividingTiming));
            stop.push_back(kFlagE4);
        }
        stop.push_back(kFlagStop);
        song.dac = SongTrack{"DAC", {}, std::move(stop), 0, 0, {}};
        song.dacIsStopTrack = true;
    }
    song.voiceTable = voiceTable;
    song.voiceNames = request.voiceNames;
    return song;
}

namespace {

// The address of song offset `offset` for a driver of absolute pointers.
// (A song running past the address space is refused once its size is known.)
int songAddress(const SongLayout& song, std::size_t offset) {
    return static_cast<int>((static_cast<std::size_t>(song.address) + offset) & 0xFFFF);
}

// The two bytes of a header pointer to song offset `offset`.
std::array<std::uint8_t, 2> headerPointer(const SongLayout& song, std::size_t offset) {
    if (driverProfile(song.driver).pointers == PointerForm::AbsoluteLittleEndian) {
        const int address = songAddress(song, offset);
        return {static_cast<std::uint8_t>(address & 0xFF), static_cast<std::uint8_t>(address >> 8)};
    }
    if (offset > static_cast<std::size_t>(kMaxSongOffset)) failConversion();
    return {static_cast<std::uint8_t>(offset / 256), static_cast<std::uint8_t>(offset % 256)};
}

Bytes voicesInDriverOrder(const SongLayout& song) {
    Bytes voices = song.voiceTable;
    const DriverProfile& driver = driverProfile(song.driver);
    const auto size = static_cast<std::size_t>(kFmVoiceSize);
    for (std::size_t k = 0; k + size <= voices.size(); k += size)
        voiceInDriverOrder(driver, voices.data() + k);
    return voices;
}

}  // namespace

Bytes placedTrack(const SongLayout& song, const SongTrack& track, std::size_t offset) {
    Bytes bytes = track.intro;
    bytes.insert(bytes.end(), track.main.begin(), track.main.end());
    if (driverProfile(song.driver).pointers != PointerForm::AbsoluteLittleEndian) return bytes;
    for (std::size_t p : track.pointers) {
        if (p + 1 >= bytes.size()) failConversion();
        const auto relative = static_cast<std::int16_t>((bytes[p] << 8) | bytes[p + 1]);
        const long target = static_cast<long>(p) + 1 + relative;
        if (target < 0) failConversion();
        const int address = songAddress(song, offset + static_cast<std::size_t>(target));
        bytes[p] = static_cast<std::uint8_t>(address & 0xFF);
        bytes[p + 1] = static_cast<std::uint8_t>(address >> 8);
    }
    return bytes;
}

Bytes songBinary(const SongLayout& song) {
    Bytes bin;
    auto put = [&bin](std::initializer_list<int> bytes) {
        for (int b : bytes) bin.push_back(static_cast<std::uint8_t>(b));
    };
    auto setPointer = [&bin, &song](std::size_t field, std::size_t offset) {
        const std::array<std::uint8_t, 2> pointer = headerPointer(song, offset);
        bin[field] = pointer[0];
        bin[field + 1] = pointer[1];
    };
    auto append = [&bin, &song](const SongTrack& t) {
        const Bytes placed = placedTrack(song, t, bin.size());
        bin.insert(bin.end(), placed.begin(), placed.end());
    };
    // Header with placeholders in the pointer fields, then the tracks.
    const int fmCount = static_cast<int>(song.fm.size());
    const int psgCount = static_cast<int>(song.psg.size());
    put({'V', '!', fmCount + 1, psgCount, song.dividingTiming, song.tempo, 'D', '!', 0, 0});
    std::vector<std::size_t> pointerFields;
    for (const SongTrack& t : song.fm) {
        pointerFields.push_back(bin.size());
        put({'F', '!', t.transposition, t.volume});
    }
    for (const SongTrack& t : song.psg) {
        pointerFields.push_back(bin.size());
        put({'P', '!', t.transposition, t.volume, 0, 0});
    }
    std::size_t field = 0;
    for (const std::vector<SongTrack>* group : {&song.fm, &song.psg}) {
        for (const SongTrack& t : *group) {
            setPointer(pointerFields[field++], bin.size());
            append(t);
        }
    }
    setPointer(6, bin.size());
    append(song.dac);
    setPointer(0, bin.size());
    const Bytes voices = voicesInDriverOrder(song);
    bin.insert(bin.end(), voices.begin(), voices.end());
    return bin;
}

std::string plainListing(const SongLayout& song) {
    Listing asmText;
    const std::string& base = song.label;
    const std::string header = "-" + base + "_Header";
    const std::string part = song.hasIntro ? "_Intro" : "_Main";
    const std::string dacLabel = song.dacIsStopTrack ? base + "_There_is_no_DAC" : base + "_DAC" + part;
    const int fmCount = static_cast<int>(song.fm.size());
    const int psgCount = static_cast<int>(song.psg.size());
    // Where each track lies: FM, PSG, DAC, then the voices.
    std::vector<std::size_t> offsets{static_cast<std::size_t>(10 + 4 * fmCount + 6 * psgCount)};
    for (const std::vector<SongTrack>* group : {&song.fm, &song.psg}) {
        for (const SongTrack& t : *group) offsets.push_back(offsets.back() + t.intro.size() + t.main.size());
    }
    offsets.push_back(offsets.back() + song.dac.intro.size() + song.dac.main.size());
    // Relative pointers as label differences; absolute ones, little-endian,
    // as the bytes themselves.
    const bool absolute = driverProfile(song.driver).pointers == PointerForm::AbsoluteLittleEndian;
    auto pointer = [&](const std::string& label, std::size_t offset) {
        if (!absolute) return asmText.line("\tdc.w\t" + label + header);
        for (std::uint8_t b : headerPointer(song, offset)) asmText.byte(b);
    };
    const std::size_t dacAt = offsets[static_cast<std::size_t>(fmCount + psgCount)];
    asmText.line(base + "_Header:");
    pointer(base + "_Voices", offsets.back());
    for (int b : {fmCount + 1, psgCount, song.dividingTiming, song.tempo}) asmText.byte(b);
    pointer(dacLabel, dacAt);
    asmText.byte(0);
    asmText.byte(0);
    std::size_t track = 0;
    for (const SongTrack& t : song.fm) {
        pointer(base + "_" + t.name + part, offsets[track++]);
        asmText.byte(t.transposition);
        asmText.byte(t.volume);
    }
    for (const SongTrack& t : song.psg) {
        pointer(base + "_" + t.name + part, offsets[track++]);
        for (int b : {t.transposition, t.volume, 0, 0}) asmText.byte(b);
    }
    asmText.line("");
    auto listTrack = [&](const SongTrack& t, std::size_t offset) {
        const Bytes placed = placedTrack(song, t, offset);
        const auto introEnd = placed.begin() + static_cast<std::ptrdiff_t>(t.intro.size());
        const std::string label = base + "_" + t.name;
        if (song.hasIntro) {
            asmText.line(label + "_Intro:");
            asmText.bytes(Bytes(placed.begin(), introEnd));
        }
        asmText.line(label + "_Main:");
        asmText.bytes(Bytes(introEnd, placed.end()));
        asmText.line("");
    };
    track = 0;
    for (const SongTrack& t : song.fm) listTrack(t, offsets[track++]);
    for (const SongTrack& t : song.psg) listTrack(t, offsets[track++]);
    if (song.dacIsStopTrack) {
        asmText.line(dacLabel + ":");
        asmText.bytes(song.dac.main);
        asmText.line("");
    } else {
        listTrack(song.dac, dacAt);
    }
    // With no voices the label is the last line.
    asmText.line(base + "_Voices:");
    asmText.bytes(voicesInDriverOrder(song));
    return asmText.text();
}

namespace {

std::string hexNumber(std::size_t value) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    do {
        text.insert(text.begin(), digits[value % 16]);
        value /= 16;
    } while (value != 0);
    return "$" + text;
}

}  // namespace

std::optional<std::string> songPlacementRefusal(const ConversionRequest& request, std::size_t size) {
    const DriverProfile& driver = driverProfile(request.driver);
    if (driver.pointers != PointerForm::AbsoluteLittleEndian) return std::nullopt;
    const auto address = static_cast<std::size_t>(request.z80Address);
    const std::string song = kSongPlacementRefusalStart + std::to_string(size) + " bytes long (" + hexNumber(size) + ")";
    if (driver.bufferAddress && request.z80Address == *driver.bufferAddress) {
        if (size <= static_cast<std::size_t>(driver.bufferSize)) return std::nullopt;
        return song + ", over the " + hexNumber(static_cast<std::size_t>(driver.bufferSize)) + " bytes " +
               driverPhrase(driver) + " unpacks a song into at " + hexNumber(address) +
               ". Shorten it, or give it an address in the sound bank (" +
               hexNumber(static_cast<std::size_t>(driver.windowStart)) + " to " +
               hexNumber(static_cast<std::size_t>(driver.windowEnd)) + ") to play it from there uncompressed.";
    }
    if (address + size <= static_cast<std::size_t>(driver.windowEnd) + 1) return std::nullopt;
    return song + ": from " + hexNumber(address) + " it runs past " +
           hexNumber(static_cast<std::size_t>(driver.windowEnd)) +
           ", the end of the sound bank's window. Shorten it, or give it a lower address.";
}

SongImage assembleSong(const ConversionRequest& request, const std::vector<ChannelSections>& sections,
                       const Bytes& voiceTable, int songUnits) {
    const SongLayout song = layoutSong(request, sections, voiceTable, songUnits);
    Bytes binary = songBinary(song);
    if (const std::optional<std::string> refusal = songPlacementRefusal(request, binary.size()))
        throw ConversionError(FailureKind::Refused, *refusal);
    std::string listing = request.asmStyle == AsmStyle::Smps2asm ? smps2asmListing(song) : plainListing(song);
    return SongImage{std::move(binary), std::move(listing)};
}

}  // namespace ferro
