#include "engine/smps2asm_writer.hpp"

#include <cstdio>
#include <map>

#include "engine/module_effects.hpp"
#include "engine/track_encoder.hpp"
#include "voices/voice_hex.hpp"

namespace ferro {

namespace {

std::string hex2(int value) {
    char text[4];
    std::snprintf(text, sizeof text, "%02X", value & 0xFF);
    return "$" + std::string(text);
}

// A macro line: the name padded to a column, then its arguments.
std::string macro(const std::string& name, const std::string& arguments = {}) {
    std::string line = "\t" + name;
    if (!arguments.empty()) {
        if (line.size() < 21) line.resize(21, ' ');
        else line += ' ';
        line += arguments;
    }
    return line;
}

std::string noteName(int note) {
    static const char* const names[12] = {"C", "Cs", "D", "Eb", "E", "F", "Fs", "G", "Ab", "A", "Bb", "B"};
    if (note == kRest) return "nRst";
    const int index = note - 0x81;
    return std::string("n") + names[index % 12] + std::to_string(index / 12);
}

// The DAC names each macro set gives its driver's drums.
std::string dacNoteName(SoundDriver driver, int note) {
    static const std::map<int, const char*> sonic1 = {
        {0x81, "dKick"},       {0x82, "dSnare"},      {0x83, "dTimpani"},    {0x88, "dHiTimpani"},
        {0x89, "dMidTimpani"}, {0x8A, "dLowTimpani"}, {0x8B, "dVLowTimpani"}};
    static const std::map<int, const char*> sonic2 = {
        {0x81, "dKick"},        {0x82, "dSnare"},      {0x83, "dClap"},       {0x84, "dScratch"},
        {0x85, "dTimpani"},     {0x86, "dHiTom"},      {0x87, "dVLowClap"},   {0x88, "dHiTimpani"},
        {0x89, "dMidTimpani"},  {0x8A, "dLowTimpani"}, {0x8B, "dVLowTimpani"}, {0x8C, "dMidTom"},
        {0x8D, "dLowTom"},      {0x8E, "dFloorTom"},   {0x8F, "dHiClap"},     {0x90, "dMidClap"},
        {0x91, "dLowClap"}};
    if (note == kRest) return "nRst";
    const auto& names = driver == SoundDriver::Sonic2 ? sonic2 : sonic1;
    const auto it = names.find(note);
    return it != names.end() ? it->second : hex2(note);
}

std::string psgEnvelopeName(const DriverProfile& driver, int envelope) {
    if (envelope >= 1 && envelope <= driver.psgEnvelopes) return "fTone_" + hex2(envelope).substr(1);
    return hex2(envelope);
}

std::string panArguments(int value) {
    static const char* const directions[4] = {"panNone", "panRight", "panLeft", "panCentre"};
    return std::string(directions[value >> 6]) + ", " + hex2(value & 0x3F);
}

// Voice names are 8-bit text; the source is UTF-8, and a line break in a name
// would end the comment.
std::string commentText(std::string latin1) {
    for (char& c : latin1) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    }
    return utf8FromLatin1(latin1);
}

class Source {
public:
    void line(std::string text) { lines_.push_back(std::move(text)); }
    // Plain values gather on `dc.b` lines; a line of eight or more ends
    // before a note, so that a note stays with its durations.
    void value(std::string text, bool startsNote = true) {
        if (pending_ >= 16 || (pending_ >= 8 && startsNote)) flush();
        pending_text_ += (pending_ == 0 ? "\tdc.b\t" : ", ") + text;
        ++pending_;
    }
    void flush() {
        if (pending_ == 0) return;
        lines_.push_back(std::move(pending_text_));
        pending_text_.clear();
        pending_ = 0;
    }
    std::string text() {
        flush();
        std::string out;
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            if (i > 0) out += "\r\n";
            out += lines_[i];
        }
        return out;
    }

private:
    std::vector<std::string> lines_;
    std::string pending_text_;
    int pending_ = 0;
};

// One thing in a track: a plain value (note, duration, no-attack) or a
// command with its arguments.
struct Item {
    std::size_t position = 0;
    std::size_t size = 1;
    std::uint8_t code = 0;
    bool command = false;
};

// The commands the track encoder writes, with their argument counts; other
// bytes are written as plain values, which assemble to themselves.
int argumentCount(std::uint8_t code) {
    switch (code) {
        case kFlagPan:
        case kFlagVoice:
        case kFlagNoiseMode:
        case kFlagPsgEnvelope:
        case kFlagFmVolume:
        case kFlagPsgVolume:
        case kFlagDetune:
            return 1;
        case kFlagModulation:
            return 4;
        case kFlagModulationOff:
            return 0;
        case kFlagJump:
            return 2;
        case kFlagE4:
        case kFlagStop:
            return 0;
        default:
            return -1;
    }
}

class TrackWriter {
public:
    TrackWriter(Source& out, const std::string& songLabel, int& loopCount, SoundDriver driver)
        : out_(out), songLabel_(songLabel), loopCount_(loopCount), driver_(driver) {}

    void write(const SongTrack& track, bool dac) {
        Bytes code = track.intro;
        code.insert(code.end(), track.main.begin(), track.main.end());
        std::vector<Item> items;
        std::map<std::size_t, bool> starts;
        for (std::size_t p = 0; p < code.size();) {
            Item item{p, 1, code[p], false};
            const int count = argumentCount(code[p]);
            if (count >= 0 && p + static_cast<std::size_t>(count) < code.size()) {
                item.command = true;
                item.size = static_cast<std::size_t>(count) + 1;
            }
            items.push_back(item);
            starts[p] = true;
            p += item.size;
        }
        // Each jump lands on a label; a jump that does not land on the start
        // of something in its own track stays three plain values.
        std::map<std::size_t, std::string> loopLabels;
        for (Item& item : items) {
            if (!item.command || item.code != kFlagJump) continue;
            const auto offset = static_cast<std::int16_t>((code[item.position + 1] << 8) | code[item.position + 2]);
            const long target = static_cast<long>(item.position) + 2 + offset;
            if (target < 0 || !starts.count(static_cast<std::size_t>(target))) {
                item.command = false;
                continue;
            }
            auto [it, added] = loopLabels.emplace(static_cast<std::size_t>(target), std::string{});
            if (added) it->second = songLabel_ + "_Loop" + hex2(loopCount_++).substr(1);
        }

        out_.line(songLabel_ + "_" + track.name + ":");
        for (const Item& item : items) {
            if (const auto label = loopLabels.find(item.position); label != loopLabels.end()) {
                out_.flush();
                out_.line(label->second + ":");
            }
            const std::uint8_t c = item.code;
            if (item.command && c == kFlagJump) {
                const auto offset = static_cast<std::int16_t>((code[item.position + 1] << 8) | code[item.position + 2]);
                command("smpsJump", loopLabels.at(static_cast<std::size_t>(static_cast<long>(item.position) + 2 + offset)));
            } else if (item.command) {
                const int argument = item.size > 1 ? code[item.position + 1] : 0;
                switch (c) {
                    case kFlagPan: command("smpsPan", panArguments(argument)); break;
                    case kFlagVoice: command("smpsSetvoice", hex2(argument)); break;
                    case kFlagNoiseMode: command("smpsPSGform", hex2(argument)); break;
                    case kFlagPsgEnvelope:
                        command("smpsPSGvoice", psgEnvelopeName(driverProfile(driver_), argument));
                        break;
                    case kFlagE4: command("smpsFade"); break;
                    case kFlagFmVolume: command("smpsAlterVol", hex2(argument)); break;
                    case kFlagPsgVolume: command("smpsPSGAlterVol", hex2(argument)); break;
                    case kFlagDetune: command("smpsDetune", hex2(argument)); break;
                    case kFlagModulation:
                        command("smpsModSet", hex2(argument) + ", " + hex2(code[item.position + 2]) + ", " +
                                                  hex2(code[item.position + 3]) + ", " + hex2(code[item.position + 4]));
                        break;
                    case kFlagModulationOff: command("smpsModOff"); break;
                    default: command("smpsStop"); break;
                }
            } else if (c < 0x80) {
                out_.value(hex2(c), false);
            } else if (c <= 0xDF) {
                out_.value(dac ? dacNoteName(driver_, c) : noteName(c));
            } else if (c == kFlagNoAttack) {
                out_.value("smpsNoAttack", false);
            } else {
                for (std::size_t k = 0; k < item.size; ++k) out_.value(hex2(code[item.position + k]));
            }
        }
        out_.flush();
        out_.line("");
    }

private:
    void command(const std::string& name, const std::string& arguments = {}) {
        out_.flush();
        out_.line(macro(name, arguments));
    }

    Source& out_;
    const std::string& songLabel_;
    int& loopCount_;
    SoundDriver driver_;
};

// Four operator values as the voice macros take them: the last byte of the
// group first.
std::string operators(const std::uint8_t* group, int (*field)(int)) {
    std::string text;
    for (int k = 3; k >= 0; --k) {
        if (!text.empty()) text += ", ";
        text += hex2(field(group[k]));
    }
    return text;
}

void writeVoice(Source& out, const std::uint8_t* v, int number, const std::string* name) {
    std::string comment = ";\tVoice " + hex2(number);
    if (name && !name->empty()) comment += ": " + commentText(*name);
    out.line(comment);
    const int spare[4] = {(v[12] >> 5) & 3, (v[11] >> 5) & 3, (v[10] >> 5) & 3, (v[9] >> 5) & 3};
    std::string unused = hex2(v[0] >> 6);
    if (spare[0] || spare[1] || spare[2] || spare[3]) {
        for (int s : spare) unused += ", " + hex2(s);
    }
    out.line(macro("smpsVcAlgorithm", hex2(v[0] & 7)));
    out.line(macro("smpsVcFeedback", hex2((v[0] >> 3) & 7)));
    out.line(macro("smpsVcUnusedBits", unused));
    out.line(macro("smpsVcDetune", operators(v + 1, [](int b) { return b >> 4; })));
    out.line(macro("smpsVcCoarseFreq", operators(v + 1, [](int b) { return b & 15; })));
    out.line(macro("smpsVcRateScale", operators(v + 5, [](int b) { return b >> 6; })));
    out.line(macro("smpsVcAttackRate", operators(v + 5, [](int b) { return b & 63; })));
    out.line(macro("smpsVcAmpMod", operators(v + 9, [](int b) { return b >> 7; })));
    out.line(macro("smpsVcDecayRate1", operators(v + 9, [](int b) { return b & 31; })));
    out.line(macro("smpsVcDecayRate2", operators(v + 13, [](int b) { return b; })));
    out.line(macro("smpsVcDecayLevel", operators(v + 17, [](int b) { return b >> 4; })));
    out.line(macro("smpsVcReleaseRate", operators(v + 17, [](int b) { return b & 15; })));
    out.line(macro("smpsVcTotalLevel", operators(v + 21, [](int b) { return b; })));
    out.line("");
}

// How the song goes into the Sonic 2 disassembly, in three lines.
void addingToTheDisassembly(Source& out, const SongLayout& song) {
    if (song.address == kDefaultZ80Address) {
        out.line("; A compressed song: put this file in sound/music/ and its name in \"list of compressed songs.txt\";");
    } else {
        out.line("; An uncompressed song for $" + hex2(song.address >> 8).substr(1) + hex2(song.address).substr(1) +
                 ": put this file in sound/music/, not in \"list of compressed songs.txt\";");
    }
    out.line(";   in s2.asm, a music_ptr line for it and its include in that bank (MusicPoint1 or MusicPoint2);");
    out.line(";   in s2.sounddriver.asm, its music_metadata entry in zMasterPlaylist and a zSpedUpTempoTable byte.");
}

}  // namespace

std::string smps2asmListing(const SongLayout& song) {
    Source out;
    const std::string& base = song.label;
    auto label = [&base](const SongTrack& t) { return base + "_" + t.name; };
    const bool sonic2 = song.driver == SoundDriver::Sonic2;
    if (sonic2) addingToTheDisassembly(out, song);
    out.line(base + "_Header:");
    // The second argument: the voices are written exactly as they are.
    out.line(macro("smpsHeaderStartSong", sonic2 ? "2, 1" : "1, 1"));
    out.line(macro("smpsHeaderVoice", base + "_Voices"));
    out.line(macro("smpsHeaderChan", hex2(static_cast<int>(song.fm.size()) + 1) + ", " +
                                         hex2(static_cast<int>(song.psg.size()))));
    out.line(macro("smpsHeaderTempo", hex2(song.dividingTiming) + ", " + hex2(song.tempo)));
    out.line("");
    out.line(macro("smpsHeaderDAC", label(song.dac)));
    for (const SongTrack& t : song.fm) {
        out.line(macro("smpsHeaderFM", label(t) + ", " + hex2(t.transposition) + ", " + hex2(t.volume)));
    }
    for (const SongTrack& t : song.psg) {
        out.line(macro("smpsHeaderPSG",
                       label(t) + ", " + hex2(t.transposition) + ", " + hex2(t.volume) + ", $00, $00"));
    }
    out.line("");

    int loopCount = 0;
    TrackWriter tracks(out, base, loopCount, song.driver);
    for (const SongTrack& t : song.fm) tracks.write(t, false);
    for (const SongTrack& t : song.psg) tracks.write(t, false);
    tracks.write(song.dac, !song.dacIsStopTrack);

    out.line(base + "_Voices:");
    const std::size_t whole = song.voiceTable.size() / kFmVoiceSize;
    for (std::size_t k = 0; k < whole; ++k) {
        writeVoice(out, song.voiceTable.data() + k * kFmVoiceSize, static_cast<int>(k),
                   k < song.voiceNames.size() ? &song.voiceNames[k] : nullptr);
    }
    for (std::size_t p = whole * kFmVoiceSize; p < song.voiceTable.size(); ++p) out.value(hex2(song.voiceTable[p]));
    std::string text = out.text();
    // With no voices the label is the last line, as in the plain listing.
    while (text.ends_with("\r\n")) text.resize(text.size() - 2);
    return text;
}

}  // namespace ferro
