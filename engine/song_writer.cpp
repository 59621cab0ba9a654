#include "engine/song_writer.hpp"

#include "base/paths.hpp"
#include "engine/conversion_error.hpp"
#include "xm/scratch_files.hpp"

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

std::string hexByte(int value) {
    static const char digits[] = "0123456789ABCDEF";
    if (value < 16) return std::string(1, digits[value]);
    return std::string{digits[value / 16], digits[value % 16]};
}

// The listing, one line at a time.
class Listing {
public:
    void line(std::string text) { lines_.push_back(std::move(text)); }
    void byte(int value) { line("\tdc.b\t$" + hexByte(value)); }
    void bytes(const Bytes& data) {
        for (std::uint8_t b : data) byte(b);
    }
    std::string text() const {
        std::string out;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (i > 0) out += "\r\n";
            out += lines_[i];
        }
        return out;
    }

private:
    std::vector<std::string> lines_;
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

// One output channel's track in the song.
struct TrackPlan {
    std::string label;        // "<base>_FM1", "<base>_PSG2", "<base>_DAC"
    const ChannelSections* sections = nullptr;
    int transposition = 0;
    int volume = 0;
    std::size_t pointerField = 0;  // where its offset goes in the binary
};

}  // namespace

SongImage assembleSong(const ConversionRequest& request, const std::vector<ChannelSections>& sections,
                       const Bytes& voiceTable) {
    const std::optional<std::string> baseName = outputBaseName(request.fileName);
    if (!baseName) failConversion();
    const std::string& base = *baseName;
    const int fmCount = request.fmChannelCount;
    const int psgCount = request.psgChannelCount;
    if (fmCount < 0 || fmCount > 6 || psgCount < 0 || psgCount > 3) failConversion();
    if (request.dividingTiming < 1 || request.dividingTiming > 255 || request.tempo < 0 || request.tempo > 255) {
        failConversion();
    }
    const bool hasIntro = request.loopStartRow >= 1;
    auto sectionsOf = [&](const std::optional<int>& channel) -> const ChannelSections* {
        if (!channel || *channel < 1 || *channel > request.channelCount) failConversion();
        if (static_cast<std::size_t>(*channel) >= sections.size()) failConversion();
        return &sections[static_cast<std::size_t>(*channel)];
    };

    std::vector<TrackPlan> fmTracks;
    for (int k = 1; k <= fmCount; ++k) {
        fmTracks.push_back({base + "_FM" + std::to_string(k), sectionsOf(request.fm[k - 1]),
                            transpositionByte(request.pitch[k - 1]), volumeByte(request.volume[k - 1]), 0});
    }
    std::vector<TrackPlan> psgTracks;
    for (int k = 1; k <= psgCount; ++k) {
        const bool noise = request.useNoise && k == psgCount;
        psgTracks.push_back({base + "_PSG" + std::to_string(k), sectionsOf(request.psg[k - 1]),
                             noise ? 0x23 : transpositionByte(request.pitch[5 + k]),
                             volumeByte(noise ? request.volume[9] : request.volume[5 + k]), 0});
    }
    const ChannelSections* dacSections = request.hasDrums ? sectionsOf(request.dac) : nullptr;

    // Binary: header with placeholders in the pointer fields, then the tracks.
    Bytes bin;
    auto put = [&bin](std::initializer_list<int> bytes) {
        for (int b : bytes) bin.push_back(static_cast<std::uint8_t>(b));
    };
    auto setPointer = [&bin](std::size_t field, std::size_t offset) {
        if (offset > static_cast<std::size_t>(kMaxSongOffset)) failConversion();
        bin[field] = static_cast<std::uint8_t>(offset / 256);
        bin[field + 1] = static_cast<std::uint8_t>(offset % 256);
    };
    auto appendSections = [&](const ChannelSections& s) {
        if (hasIntro) bin.insert(bin.end(), s.intro.begin(), s.intro.end());
        bin.insert(bin.end(), s.main.begin(), s.main.end());
    };
    put({'V', '!', fmCount + 1, psgCount, request.dividingTiming, request.tempo, 'D', '!', 0, 0});
    for (TrackPlan& t : fmTracks) {
        t.pointerField = bin.size();
        put({'F', '!', t.transposition, t.volume});
    }
    for (TrackPlan& t : psgTracks) {
        t.pointerField = bin.size();
        put({'P', '!', t.transposition, t.volume, 0, 0});
    }
    for (const std::vector<TrackPlan>* group : {&fmTracks, &psgTracks}) {
        for (const TrackPlan& t : *group) {
            setPointer(t.pointerField, bin.size());
            appendSections(*t.sections);
        }
    }
    setPointer(6, bin.size());
    if (dacSections) {
        appendSections(*dacSections);
    } else {
        if (request.endDacWithE4) bin.push_back(0xE4);
        bin.push_back(0xF2);
    }
    setPointer(0, bin.size());
    bin.insert(bin.end(), voiceTable.begin(), voiceTable.end());

    // Listing: the same bytes, one per line, with labels.
    Listing asmText;
    const std::string header = "-" + base + "_Header";
    const std::string part = hasIntro ? "_Intro" : "_Main";
    const std::string dacLabel = !dacSections ? base + "_There_is_no_DAC" : base + "_DAC" + part;
    asmText.line(base + "_Header:");
    asmText.line("\tdc.w\t" + base + "_Voices" + header);
    for (int b : {fmCount + 1, psgCount, request.dividingTiming, request.tempo}) asmText.byte(b);
    asmText.line("\tdc.w\t" + dacLabel + header);
    asmText.byte(0);
    asmText.byte(0);
    for (const TrackPlan& t : fmTracks) {
        asmText.line("\tdc.w\t" + t.label + part + header);
        asmText.byte(t.transposition);
        asmText.byte(t.volume);
    }
    for (const TrackPlan& t : psgTracks) {
        asmText.line("\tdc.w\t" + t.label + part + header);
        for (int b : {t.transposition, t.volume, 0, 0}) asmText.byte(b);
    }
    asmText.line("");
    auto listSections = [&](const std::string& label, const ChannelSections& s) {
        if (hasIntro) {
            asmText.line(label + "_Intro:");
            asmText.bytes(s.intro);
        }
        asmText.line(label + "_Main:");
        asmText.bytes(s.main);
        asmText.line("");
    };
    for (const TrackPlan& t : fmTracks) listSections(t.label, *t.sections);
    for (const TrackPlan& t : psgTracks) listSections(t.label, *t.sections);
    if (dacSections) {
        listSections(base + "_DAC", *dacSections);
    } else {
        asmText.line(base + "_There_is_no_DAC:");
        if (request.endDacWithE4) asmText.byte(0xE4);
        asmText.byte(0xF2);
        asmText.line("");
    }
    // With no voices the label is the last line.
    asmText.line(base + "_Voices:");
    asmText.bytes(voiceTable);

    return SongImage{std::move(bin), asmText.text()};
}

std::size_t writeSongFiles(const ConversionRequest& request, OutputSink& binary, OutputSink& listing) {
    const std::filesystem::path& dir = request.workingDirectory;
    if (request.channelCount < 1) failConversion();
    std::vector<ChannelSections> sections(static_cast<std::size_t>(request.channelCount) + 1);
    std::vector<bool> loaded(sections.size(), false);
    auto load = [&](const std::optional<int>& channel) {
        if (!channel || *channel < 1 || *channel > request.channelCount) failConversion();
        const auto n = static_cast<std::size_t>(*channel);
        if (loaded[n]) return;
        std::optional<Bytes> main = readWholeFile(dir / mainSectionFileName(*channel));
        if (!main) failConversion();
        sections[n].main = std::move(*main);
        if (request.loopStartRow >= 1) {
            std::optional<Bytes> intro = readWholeFile(dir / introSectionFileName(*channel));
            if (!intro) failConversion();
            sections[n].intro = std::move(*intro);
        }
        loaded[n] = true;
    };
    if (request.fmChannelCount < 0 || request.fmChannelCount > 6) failConversion();
    if (request.psgChannelCount < 0 || request.psgChannelCount > 3) failConversion();
    for (int k = 1; k <= request.fmChannelCount; ++k) load(request.fm[k - 1]);
    for (int k = 1; k <= request.psgChannelCount; ++k) load(request.psg[k - 1]);
    if (request.hasDrums) load(request.dac);
    std::optional<Bytes> voices = readWholeFile(dir / kVoicesFileName);
    if (!voices) failConversion();

    const SongImage song = assembleSong(request, sections, *voices);
    binary.write(song.binary.data(), song.binary.size());
    listing.write(reinterpret_cast<const std::uint8_t*>(song.listing.data()), song.listing.size());
    return song.binary.size();
}

}  // namespace ferro
