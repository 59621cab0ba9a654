#include "engine/smps2asm_writer.hpp"

#include <random>
#include <set>

#include "engine/conversion_error.hpp"
#include "engine_test_util.hpp"
#include "smps2asm_expander.hpp"

namespace ferro {
namespace {

using test::hex;
using test::show;

std::string joined(const std::vector<std::string>& lines) {
    std::string text;
    for (std::size_t i = 0; i < lines.size(); ++i) text += (i ? "\r\n" : "") + lines[i];
    return text;
}

TEST(Smps2asmListing, ReadsAsMusic) {
    ConversionRequest r = test::baseRequest();
    r.asmStyle = AsmStyle::Smps2asm;
    r.fileName = "1up.xm";
    r.channelCount = 3;
    r.fmChannelCount = 1;
    r.fm[0] = 1;
    r.psgChannelCount = 1;
    r.psg[0] = 2;
    r.useNoise = false;
    r.dac = 3;
    r.totalRows = 4;
    r.restartRow = 2;
    r.voiceNames = {"bass\xE9"};
    std::vector<ChannelSections> s(4);
    s[1] = {hex("E0 80 EF 00 B1 0C E7 0C F6 FF F8"), hex("E0 80 80 02")};
    s[2] = {hex("F5 03 81 7F F5 0C F6 FF F8"), hex("80 02")};
    s[3] = {hex("81 06 8C F6 FF FB"), hex("82 02")};
    const Bytes voice = hex("3A 01 02 03 04 1F 5F 9F DF 0A 2B 8C 6D 00 01 02 03 2F 2F 2F 2F 00 14 1E 28");
    const SongImage song = assembleSong(r, s, voice);
    EXPECT_EQ(song.listing,
              joined({"_1up_Header:",
                      "\tsmpsHeaderStartSong 1, 1",
                      "\tsmpsHeaderVoice     _1up_Voices",
                      "\tsmpsHeaderChan      $02, $01",
                      "\tsmpsHeaderTempo     $03, $02",
                      "",
                      "\tsmpsHeaderDAC       _1up_DAC",
                      "\tsmpsHeaderFM        _1up_FM1, $00, $10",
                      "\tsmpsHeaderPSG       _1up_PSG1, $DC, $00, $00, $00",
                      "",
                      "_1up_FM1:",
                      "\tsmpsPan             panLeft, $00",
                      "\tdc.b\tnRst, $02",
                      "\tsmpsPan             panLeft, $00",
                      "_1up_Loop00:",
                      "\tsmpsSetvoice        $00",
                      "\tdc.b\tnC4, $0C, smpsNoAttack, $0C",
                      "\tsmpsJump            _1up_Loop00",
                      "",
                      "_1up_PSG1:",
                      "\tdc.b\tnRst, $02",
                      "_1up_Loop01:",
                      "\tsmpsPSGvoice        fTone_03",
                      "\tdc.b\tnC0, $7F",
                      "\tsmpsPSGvoice        $0C",
                      "\tsmpsJump            _1up_Loop01",
                      "",
                      "_1up_DAC:",
                      "\tdc.b\tdSnare, $02",
                      "_1up_Loop02:",
                      "\tdc.b\tdKick, $06, $8C",
                      "\tsmpsJump            _1up_Loop02",
                      "",
                      "_1up_Voices:",
                      ";\tVoice $00: bass\xC3\xA9",
                      "\tsmpsVcAlgorithm     $02",
                      "\tsmpsVcFeedback      $07",
                      "\tsmpsVcUnusedBits    $00, $03, $00, $01, $00",
                      "\tsmpsVcDetune        $00, $00, $00, $00",
                      "\tsmpsVcCoarseFreq    $04, $03, $02, $01",
                      "\tsmpsVcRateScale     $03, $02, $01, $00",
                      "\tsmpsVcAttackRate    $1F, $1F, $1F, $1F",
                      "\tsmpsVcAmpMod        $00, $01, $00, $00",
                      "\tsmpsVcDecayRate1    $0D, $0C, $0B, $0A",
                      "\tsmpsVcDecayRate2    $03, $02, $01, $00",
                      "\tsmpsVcDecayLevel    $02, $02, $02, $02",
                      "\tsmpsVcReleaseRate   $0F, $0F, $0F, $0F",
                      "\tsmpsVcTotalLevel    $28, $1E, $14, $00"}));
    EXPECT_EQ(show(test::Smps2asmExpander().assemble(song.listing)), show(song.binary));
}

// Hand-made track bytes reaching every branch of the writer: pan directions
// with modulation bits, unknown flags, a command cut off by the track's end,
// a jump into the middle of a command and one out of the track.
TEST(Smps2asmListing, EveryTrackByteAssemblesToItself) {
    const std::vector<std::pair<std::string, std::string>> tracks = {
        {"every pan", "E0 C0 E0 80 E0 40 E0 00 E0 F3 E0 0D 81 01 F2"},
        {"other flags", "E9 0C E1 02 FF 81 04 F2"},
        {"the module's volumes and pitch", "E6 08 EC FC F0 01 01 02 04 E1 FE 81 02 F4 E6 F8 81 02 F2"},
        {"noise and envelopes", "F3 E7 F5 01 F5 09 F5 00 F5 0A D1 03 E4 F2"},
        {"a command cut off", "81 02 EF"},
        {"jump into a command", "EF 02 81 02 F6 FF FA"},
        {"jump out of the track", "81 02 F6 00 10"},
        {"jump onto itself", "F6 FF FF"},
        {"every note and duration", ""},
        {"empty", ""},
    };
    for (const auto& [name, bytes] : tracks) {
        for (bool dac : {false, true}) {
            ConversionRequest r = test::baseRequest();
            r.asmStyle = AsmStyle::Smps2asm;
            r.fmChannelCount = 1;
            r.fm[0] = 1;
            r.psgChannelCount = 0;
            r.hasDrums = dac;
            r.dac = 1;
            std::vector<ChannelSections> s(2);
            s[1].main = hex(bytes);
            if (name == "every note and duration")
                for (int b = 0; b < 0xE0; ++b) s[1].main.push_back(static_cast<std::uint8_t>(b));
            const SongImage song = assembleSong(r, s, {});
            EXPECT_EQ(show(test::Smps2asmExpander().assemble(song.listing)), show(song.binary)) << name;
            if (name == "the module's volumes and pitch") {
                for (const char* m : {"smpsAlterVol", "smpsPSGAlterVol", "smpsModSet", "smpsDetune", "smpsModOff"})
                    EXPECT_NE(song.listing.find(m), std::string::npos) << m;
            }
        }
    }
}

// Random modules through the track encoder, both listings assembled.
struct SongDraw {
    ConversionRequest request;
    std::vector<RowStream> rows;
};

SongDraw drawSong(std::mt19937& g) {
    auto pick = [&g](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(g); };
    SongDraw d;
    ConversionRequest& r = d.request;
    r = test::baseRequest();
    const std::vector<std::string> names = {"song.xm", "my song.xm", "level-1.xm", "1up.xm", "v1.2.xm",
                                            "s\xC3\xBC\xC3\x9F.xm"};
    r.fileName = names[static_cast<std::size_t>(pick(0, static_cast<int>(names.size()) - 1))];
    r.channelCount = pick(1, 10);
    r.totalRows = pick(1, 160);
    const auto coin = [&pick] { return pick(0, 1) == 1; };
    r.loopSong = !coin();
    r.restartRow = pick(0, 2) == 0 ? 0 : pick(0, r.totalRows);
    r.optimiseOutput = coin();
    r.hasDrums = coin();
    r.endDacWithE4 = coin();
    r.fmChannelCount = pick(0, r.hasDrums ? 5 : 6);
    r.psgChannelCount = pick(0, 3);
    r.useNoise = coin();
    for (auto& c : r.fm) c = pick(1, r.channelCount);
    for (auto& c : r.psg) c = pick(1, r.channelCount);
    r.dac = pick(1, r.channelCount);
    r.dividingTiming = pick(1, 9);
    r.tempo = pick(1, 9);
    for (auto& p : r.pan) p = static_cast<PanChoice>(pick(0, 4));
    for (auto& p : r.pitch) p = pick(-128, 127);
    for (auto& v : r.volume) v = pick(0, 63);
    r.drumsByNote = coin();
    r.hihatsByNote = coin();
    for (auto& c : r.instrumentVoices) c = static_cast<char>(pick(0, 255));
    for (auto& c : r.instrumentPsgEnvelopes) c = static_cast<char>(pick(0, 12));
    for (auto& c : r.hihatKinds) c = static_cast<char>(pick(1, 2));
    for (auto& c : r.drumSamples) c = static_cast<char>(pick(0x81, 0xDF));
    // Now and then a full voice list ($100 voices).
    const int voiceCount = pick(0, 24) == 0 ? 256 : pick(0, 3);
    for (int k = 0; k < voiceCount; ++k) {
        FmVoice v;
        for (auto& b : v.bytes) b = static_cast<std::uint8_t>(pick(0, 255));
        r.voices.push_back(v);
        if (pick(0, 1)) r.voiceNames.push_back("voice " + std::to_string(k));
    }
    const int density = pick(1, 8);
    d.rows.emplace_back();
    for (int n = 1; n <= r.channelCount; ++n) {
        std::vector<XmCell> cells(static_cast<std::size_t>(r.totalRows));
        for (XmCell& c : cells) {
            if (pick(1, density) != 1) continue;
            const int kind = pick(0, 9);
            // Every note carries an instrument, so the maps always have a key.
            c = kind == 0 ? test::keyOff() : test::note(pick(1, 95), pick(1, 200), kind == 1 ? 8 : 0, pick(0, 255));
        }
        d.rows.push_back(RowStream::fromCells(n, cells));
    }
    return d;
}

TEST(Smps2asmListing, GeneratedSongsAssembleToTheirBinary) {
    std::mt19937 g(1717);
    const std::vector<std::string> wanted = {"smpsJump", "smpsFade",     "smpsStop",     "smpsPSGform", "smpsPSGvoice",
                                             "smpsSetvoice", "panLeft",  "panRight",     "panCentre",   "smpsNoAttack",
                                             "dKick",    "fTone_0",      "smpsVcTotalLevel"};
    std::set<std::string> seen;
    int converted = 0;
    for (int round = 0; round < 200; ++round) {
        SongDraw d = drawSong(g);
        const ConversionRequest& r = d.request;
        const std::vector<ChannelRole> roles = buildChannelRoles(r);
        std::vector<ChannelSections> sections(roles.size());
        const RandomSource random = seededRandom(static_cast<std::uint64_t>(round));
        for (int n = 1; n <= r.channelCount; ++n) {
            sections[static_cast<std::size_t>(n)] =
                buildChannelSections(r, d.rows[static_cast<std::size_t>(n)], roles[static_cast<std::size_t>(n)],
                                     panChoiceFor(r, n), random);
        }
        Bytes voiceTable;
        for (const FmVoice& v : r.voices) voiceTable.insert(voiceTable.end(), v.bytes.begin(), v.bytes.end());
        for (AsmStyle style : {AsmStyle::Plain, AsmStyle::Smps2asm}) {
            ConversionRequest styled = r;
            styled.asmStyle = style;
            const SongImage song = assembleSong(styled, sections, voiceTable);
            Bytes assembled;
            EXPECT_NO_THROW(assembled = test::Smps2asmExpander().assemble(song.listing))
                << "round " << round << "\n" << song.listing;
            ASSERT_EQ(show(assembled), show(song.binary)) << "round " << round << "\n" << song.listing;
            for (const std::string& w : wanted)
                if (song.listing.find(w) != std::string::npos) seen.insert(w);
        }
        ++converted;
    }
    EXPECT_EQ(converted, 200);
    // The draws reach every command the writer names.
    EXPECT_EQ(seen.size(), wanted.size());
}

}  // namespace
}  // namespace ferro
