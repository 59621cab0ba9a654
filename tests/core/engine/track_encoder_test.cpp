#include "engine/track_encoder.hpp"

#include <functional>

#include "engine/conversion_error.hpp"
#include "engine_test_util.hpp"

namespace ferro {
namespace {

using test::hex;
using test::keyOff;
using test::note;
using test::rows;
using test::show;
using test::C4;
using test::D4;
using test::E4;

std::string repeat(const std::string& group, int times) {
    std::string s;
    for (int i = 0; i < times; ++i) s += " " + group;
    return s;
}

struct EncodeCase {
    std::string name;
    ChannelRole role;
    PanChoice pan;
    std::vector<XmCell> cells;
    int dividingTiming;
    std::string expected;
    std::function<void(ConversionRequest&)> setup = {};
};

Bytes encodeAll(const ConversionRequest& request, const std::vector<XmCell>& cells, ChannelRole role, PanChoice pan,
                const RandomSource& random) {
    const RowStream stream = RowStream::fromCells(1, cells);
    TrackEncoderState state;
    state.panChoice = pan;
    Bytes out;
    const int n = static_cast<int>(cells.size());
    encodeSection(request, stream, role, state, SectionRows{0, n - 1, n, 0}, random, out);
    return out;
}

void setMap(std::string& map, int key, int value) { map.at(static_cast<std::size_t>(key - 1)) = static_cast<char>(value); }
void setMap(std::string& map, std::initializer_list<std::pair<int, int>> values) {
    for (const auto& [key, value] : values) setMap(map, key, value);
}
// The hi-hat or drum map keyed by note: every note its first kind or sample, but `values`.
void hihatsByNote(ConversionRequest& r, std::initializer_list<std::pair<int, int>> values = {}) {
    r.hihatsByNote = true;
    r.hihatKinds = std::string(96, '\2');
    setMap(r.hihatKinds, values);
}
void drumsByNote(ConversionRequest& r, std::initializer_list<std::pair<int, int>> values) {
    r.drumsByNote = true;
    r.drumSamples = std::string(96, '\x81');
    setMap(r.drumSamples, values);
}

std::vector<EncodeCase> encodeCases() {
    const auto fm = ChannelRole::Fm;
    const auto dac = ChannelRole::Dac;
    const auto centre = PanChoice::Centre;
    const auto c4Long = rows(300, {{0, note(C4)}});
    const auto drumLong = rows(300, {{0, note(C4, 1)}});
    const auto restLong = rows(300, {{0, keyOff()}});
    return {
        {"repeated C-4 becomes bare durations", fm, centre, rows(4, {{0, note(C4)}, {1, note(C4)}, {2, note(C4)}, {3, note(D4)}}), 3,
         "B1 01 01 01 B3 01"},
        {"notes keep the duration in force", fm, centre, rows(3, {{0, note(C4)}, {1, note(D4)}, {2, note(E4)}}), 3, "B1 01 B3 B5"},
        {"key-off reuses the duration rule", fm, centre, rows(13, {{0, note(C4)}, {4, keyOff()}, {12, note(E4)}}), 3,
         "B1 04 80 08 B5 01"},
        // Long notes: pieces of 127 rows at dividing timing 1 and 2, shorter ones above.
        {"300-row FM note, dt 1", fm, centre, c4Long, 1, "B1 7F E7 7F E7 2E"},
        {"300-row FM note, dt 3", fm, centre, c4Long, 3, "B1 55 E7 55 E7 55 E7 2D"},
        {"300-row FM note, dt 9", fm, centre, c4Long, 9, "B1 1C" + repeat("E7 1C", 9) + " E7 14"},
        {"300-row drum, dt 2", dac, centre, drumLong, 2, "81 7F 80 7F 2E"},
        {"300-row drum, dt 3", dac, centre, drumLong, 3, "81 55 80 55 55 2D"},
        {"300-row drum, dt 9", dac, centre, drumLong, 9, "81 1C 80" + repeat("1C", 9) + " 14"},
        {"300-row rest, dt 3", fm, centre, restLong, 3, "80 55 55 55 2D"},
        {"300-row rest, dt 9", fm, centre, restLong, 9, "80" + repeat("1C", 10) + " 14"},
        {"127 rows fit one byte at dt 1", fm, centre, rows(127, {{0, note(C4)}}), 1, "B1 7F"},
        {"128 rows split at dt 1", fm, centre, rows(128, {{0, note(C4)}}), 1, "B1 7F E7 01"},
        {"85 rows fit one byte at dt 3", fm, centre, rows(85, {{0, note(C4)}}), 3, "B1 55"},
        {"86 rows split at dt 3", fm, centre, rows(86, {{0, note(C4)}}), 3, "B1 55 E7 01"},
        {"a drum after a long drum is a new note", dac, centre, rows(301, {{0, note(C4, 1)}, {300, note(C4)}}), 2,
         "81 7F 80 7F 2E 81 01"},
        // Pan Default: effect 8 sets the side, a plain note brings it back to the centre.
        {"effect 8: left, same again, plain note, key-off right", fm, PanChoice::Default,
         rows(4, {{0, note(C4, 0, 8, 0x7E)}, {1, note(C4, 0, 8, 0x7E)}, {2, note(C4)}, {3, note(kXmKeyOff, 0, 8, 0x81)}}), 3,
         "E0 80 B1 01 01 E0 C0 01 E0 40 80 01"},
        {"effect 8 with 80h centres once", fm, PanChoice::Default, rows(2, {{0, note(C4, 0, 8, 0x80)}, {1, note(D4, 0, 8, 0x80)}}), 3,
         "E0 C0 B1 01 B3"},
        {"effect 8 boundaries 126/127/128/129", fm, PanChoice::Default,
         rows(4, {{0, note(C4, 0, 8, 126)}, {1, note(C4, 0, 8, 127)}, {2, note(C4, 0, 8, 128)}, {3, note(C4, 0, 8, 129)}}), 3,
         "E0 80 B1 01 E0 C0 01 01 E0 40 01"},
        {"effect 8 on an empty row does nothing", fm, PanChoice::Default, rows(2, {{0, note(0, 0, 8, 0x10)}, {1, note(C4)}}), 3,
         "E0 C0 B1 01"},
        {"Default pans the DAC too", dac, PanChoice::Default, rows(1, {{0, note(C4, 1)}}), 3, "E0 C0 81 01"},
        {"Left and Right write nothing per row", fm, PanChoice::Left, rows(2, {{0, note(C4, 0, 8, 0x10)}, {1, note(D4)}}), 3,
         "B1 01 B3"},
        {"PSG channels ignore pan", ChannelRole::PsgTone, PanChoice::Default, rows(1, {{0, note(C4, 1, 8, 0x10)}}), 3, "F5 00 B1 01"},
        // Instruments.
        {"instruments with the same voice write one EF", fm, centre,
         rows(3, {{0, note(C4, 1)}, {1, note(C4, 2)}, {2, note(C4, 3)}}), 3, "EF 00 B1 01 01 EF 05 01",
         [](ConversionRequest& r) { setMap(r.instrumentVoices, {{1, 0}, {2, 0}, {3, 5}}); }},
        {"an instrument without a note still sets the voice", fm, centre, rows(2, {{0, test::instrumentOnly(4)}, {1, note(C4)}}), 3,
         "EF 03 B1 01"},
        {"PSG tone envelope", ChannelRole::PsgTone, centre, rows(2, {{0, note(C4, 1)}}), 3, "F5 03 B1 02",
         [](ConversionRequest& r) { setMap(r.instrumentPsgEnvelopes, 1, 3); }},
        {"noise is always D1", ChannelRole::PsgNoise, centre, rows(3, {{0, note(1, 1)}, {1, note(96)}, {2, note(C4)}}), 3,
         "F5 02 D1 01 01 01"},
        {"hi-hats by note", ChannelRole::PsgNoise, centre, rows(2, {{0, note(C4, 1)}, {1, note(D4, 1)}}), 3, "F5 01 D1 01 F5 02 01",
         [](ConversionRequest& r) { hihatsByNote(r, {{C4, 1}}); }},
        {"hi-hats by note: an instrument number equal to the last note still changes the kind", ChannelRole::PsgNoise,
         centre, rows(2, {{0, note(3, 1)}, {1, note(4, 3)}}), 3, "F5 02 D1 01 F5 01 01",
         [](ConversionRequest& r) { hihatsByNote(r, {{4, 1}}); }},
        {"drums by note", dac, centre, rows(2, {{0, note(C4, 3)}, {1, note(D4)}}), 3, "85 01 8A",
         [](ConversionRequest& r) { drumsByNote(r, {{C4, 0x85}, {D4, 0x8A}}); }},
        {"drums by instrument keep the last instrument", dac, centre,
         rows(3, {{0, note(C4, 2)}, {1, note(C4)}, {2, note(E4, 1)}}), 3, "82 01 01 81 01",
         [](ConversionRequest& r) { setMap(r.drumSamples, 2, 0x82); }},
        {"B-7 is fine on the noise channel", ChannelRole::PsgNoise, centre, rows(1, {{0, note(96)}}), 3, "D1 01"},
        {"note 96 is fine for drums by note", dac, centre, rows(1, {{0, note(96)}}), 3, "DF 01",
         [](ConversionRequest& r) { drumsByNote(r, {{96, 0xDF}}); }},
        {"A#7 is the highest FM note", fm, centre, rows(1, {{0, note(95)}}), 3, "DF 01"},
    };
}

TEST(EncodeSection, WritesTheExpectedBytes) {
    for (const EncodeCase& c : encodeCases()) {
        SCOPED_TRACE(c.name);
        ConversionRequest request = test::baseRequest();
        request.dividingTiming = c.dividingTiming;
        if (c.setup) c.setup(request);
        EXPECT_EQ(show(encodeAll(request, c.cells, c.role, c.pan, test::noRandom())), show(hex(c.expected)));
    }
}

TEST(EncodeSection, RandomPanDrawsOnRealNotesOnly) {
    struct RandomCase {
        ChannelRole role;
        std::vector<int> draws;
        std::vector<XmCell> cells;
        std::string expected;
        int expectedCalls;
    };
    const std::vector<RandomCase> cases = {
        {ChannelRole::Fm, {1, 1, 2}, rows(4, {{0, note(C4)}, {1, keyOff()}, {2, note(C4)}, {3, note(C4)}}),
         "E0 40 B1 01 80 B1 E0 80 B1", 3},
        {ChannelRole::Fm, {0}, rows(1, {{0, note(C4)}}), "E0 C0 B1 01", 1},
        {ChannelRole::Fm, {2}, rows(2, {{0, keyOff()}, {1, note(C4)}}), "80 01 E0 80 B1", 1},
        {ChannelRole::Dac, {1}, rows(1, {{0, note(C4, 1)}}), "E0 40 81 01", 1},
    };
    for (const RandomCase& c : cases) {
        ConversionRequest request = test::baseRequest();
        test::ScriptedRandom random{c.draws};
        const std::string bytes = show(encodeAll(request, c.cells, c.role, PanChoice::Random, random.source()));
        EXPECT_EQ(std::tuple(bytes, *random.calls), std::tuple(show(hex(c.expected)), c.expectedCalls));
    }
}

TEST(EncodeSection, FailuresEndTheConversion) {
    struct FailCase {
        std::string name;
        ChannelRole role;
        std::vector<XmCell> cells;
        FailureKind kind;
        std::function<void(ConversionRequest&)> setup = {};
    };
    const std::vector<FailCase> cases = {
        {"drum before any instrument", ChannelRole::Dac, rows(1, {{0, note(C4)}}), FailureKind::Error},
        {"hi-hat row with an instrument and no note", ChannelRole::PsgNoise, rows(1, {{0, test::instrumentOnly(1)}}),
         FailureKind::Error, [](ConversionRequest& r) { hihatsByNote(r); }},
        {"key-off with an instrument, hi-hats by note", ChannelRole::PsgNoise, rows(1, {{0, keyOff(1)}}), FailureKind::Error,
         [](ConversionRequest& r) { hihatsByNote(r); }},
        {"instrument past the end of the FM voice map", ChannelRole::Fm, rows(1, {{0, note(C4, 2)}}), FailureKind::Error,
         [](ConversionRequest& r) { r.instrumentVoices = std::string(1, '\0'); }},
        {"DAC map value that is no drum", ChannelRole::Dac, rows(1, {{0, note(C4, 1)}}), FailureKind::Error,
         [](ConversionRequest& r) { setMap(r.drumSamples, 1, 0x05); }},
        {"B-7 on FM", ChannelRole::Fm, rows(1, {{0, note(96)}}), FailureKind::Refused},
        {"note value 98 on PSG", ChannelRole::PsgTone, rows(1, {{0, note(98)}}), FailureKind::Refused},
        {"note value 200 on FM", ChannelRole::Fm, rows(1, {{0, note(200)}}), FailureKind::Refused},
    };
    for (const FailCase& c : cases) {
        SCOPED_TRACE(c.name);
        ConversionRequest request = test::baseRequest();
        if (c.setup) c.setup(request);
        try {
            encodeAll(request, c.cells, c.role, PanChoice::Centre, test::noRandom());
            ADD_FAILURE() << "no failure";
        } catch (const ConversionError& e) {
            EXPECT_EQ(e.kind(), c.kind);
            if (c.kind == FailureKind::Error) {
                EXPECT_STREQ(e.what(), kSomeError);
            }
        }
    }
}

TEST(Durations, LargestByteFollowsTheDividingTiming) {
    const std::vector<std::pair<int, int>> cases = {{1, 127}, {2, 127}, {3, 85}, {4, 63}, {5, 51}, {8, 31}, {9, 28}};
    for (const auto& [timing, expected] : cases) EXPECT_EQ(maxDurationByte(timing), expected) << timing;

    const std::vector<std::tuple<int, int, std::string>> rests = {
        {1, 127, "80 01"}, {127, 127, "80 7F"}, {254, 127, "80 7F 7F"}, {300, 127, "80 7F 7F 2E"}, {86, 85, "80 55 01"}};
    for (const auto& [length, max, expected] : rests) {
        Bytes out;
        appendRest(out, length, max);
        EXPECT_EQ(show(out), show(hex(expected))) << length;
    }
}

TEST(ChannelRoles, LaterStepsOverwriteEarlierOnes) {
    ConversionRequest r = test::baseRequest();
    r.channelCount = 10;
    r.fm = {1, 2, 3, 4, 5, std::nullopt};
    r.psg = {6, 7, 8};
    r.dac = 9;
    using R = ChannelRole;
    EXPECT_EQ(buildChannelRoles(r),
              (std::vector<R>{R::None, R::Fm, R::Fm, R::Fm, R::Fm, R::Fm, R::PsgTone, R::PsgTone, R::PsgNoise, R::Dac, R::None}));

    r.useNoise = false;
    r.dac = 1;  // FM 1 wins over the DAC
    const std::vector<R> roles = buildChannelRoles(r);
    EXPECT_EQ(std::tuple(roles[8], roles[1], roles[9]), std::tuple(R::PsgTone, R::Fm, R::None));

    r.hasDrums = false;
    r.dac = std::nullopt;  // unused, so none is fine
    r.fmChannelCount = 2;
    r.fm[3] = 77;  // hidden entries are not looked at
    r.psgChannelCount = 1;
    r.useNoise = true;
    EXPECT_EQ(buildChannelRoles(r),
              (std::vector<R>{R::None, R::Fm, R::Fm, R::None, R::None, R::None, R::PsgNoise, R::None, R::None, R::None, R::None}));

    for (auto broken : std::vector<std::function<void(ConversionRequest&)>>{
             [](ConversionRequest& q) { q.fm[0] = std::nullopt; },
             [](ConversionRequest& q) { q.fm[1] = 11; },
             [](ConversionRequest& q) { q.psg[0] = 0; },
             [](ConversionRequest& q) { q.hasDrums = true; q.dac = std::nullopt; },
         }) {
        ConversionRequest q = r;
        broken(q);
        EXPECT_THROW(buildChannelRoles(q), ConversionError);
    }
}

TEST(ChannelRoles, PanLookupTakesTheLastMatch) {
    ConversionRequest r = test::baseRequest();
    r.fm = {3, 1, std::nullopt, std::nullopt, std::nullopt, 3};
    r.fmChannelCount = 2;
    r.pan = {PanChoice::Left, PanChoice::Centre, PanChoice::Default, PanChoice::Default, PanChoice::Default,
             PanChoice::Right, PanChoice::Random};
    // Hidden FM 6 counts for channel 3.
    EXPECT_EQ(std::tuple(panChoiceFor(r, 3), panChoiceFor(r, 1), panChoiceFor(r, 2)),
              std::tuple(PanChoice::Right, PanChoice::Centre, PanChoice::Default));
    r.dac = 3;
    r.hasDrums = false;  // the DAC's pan counts whatever the drum choice
    EXPECT_EQ(panChoiceFor(r, 3), PanChoice::Random);
}

TEST(UnplayableNotes, MessageNamesChannelAndPlace) {
    ConversionRequest r = test::baseRequest();
    r.orderTable = {0, 1, 0};
    r.patternRows = {64, 32};
    EXPECT_EQ(unplayableNoteMessage(r, 3, 100, 96),
              "Can't convert! XM channel 3 has the note B-7 at order position 2 (pattern 0), row 4. "
              "FM and PSG channels can play notes up to A#7 only.");
    EXPECT_EQ(unplayableNoteMessage(r, 12, 70, 120),
              "Can't convert! XM channel 12 has an invalid note (value 120) at order position 1 (pattern 1), row 6.");
    r.orderTable.clear();
    EXPECT_EQ(unplayableNoteMessage(r, 1, 100, 96),
              "Can't convert! XM channel 1 has the note B-7 at song row 100. FM and PSG channels can play notes up to A#7 only.");

    const RowStream stream = RowStream::fromCells(1, rows(5, {{1, note(95)}, {2, keyOff()}, {4, note(96)}}));
    EXPECT_EQ(std::tuple(firstUnplayableNoteRow(stream, 5), firstUnplayableNoteRow(stream, 4)),
              std::tuple(std::optional(4), std::optional<int>()));
    EXPECT_EQ(std::tuple(xmNoteName(49), xmNoteName(95)), std::tuple("C-4", "A#7"));
}

}  // namespace
}  // namespace ferro
