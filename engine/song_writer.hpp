#pragma once
// Joins the header, the channel tracks and the voice table into one SMPS song
// in the chosen driver's layout, and writes it twice: as a binary image and as
// an assembler listing of the same bytes with labels.
#include <optional>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "engine/conversion_request.hpp"
#include "engine/sections.hpp"

namespace ferro {

// The output base name: the module's file name less its last three characters
// ("my song.xm" -> "my song"). None for a name shorter than that or one that
// is not a bare file name.
std::optional<std::string> outputBaseName(const std::string& fileName);

// The base name as assemblers accept it in a label: every character other
// than an ASCII letter, digit or `_` becomes `_`, and a leading digit gets a
// `_` in front ("my song" -> "my_song", "1up" -> "_1up").
std::string labelSafeName(const std::string& baseName);

// The highest offset a header pointer can hold.
inline constexpr int kMaxSongOffset = 32767;

// One track of the song as it goes into the file: the intro (empty without
// one) runs straight into the main section.
struct SongTrack {
    std::string name;  // "FM1", "PSG2", "DAC"
    Bytes intro;
    Bytes main;
    int transposition = 0;  // header byte
    int volume = 0;         // header byte
    // Where intro + main hold a pointer in the Sonic 1 form (see
    // ChannelSections::mainPointers).
    std::vector<std::size_t> pointers{};
};

// The song in file order, before it is written as bytes or text: header, FM
// tracks, PSG tracks, the DAC track (a stop track without drums), voices.
struct SongLayout {
    std::string label;  // the label-safe base name every label starts with
    int dividingTiming = 1;
    int tempo = 0;
    bool hasIntro = false;
    std::vector<SongTrack> fm;
    std::vector<SongTrack> psg;
    SongTrack dac;
    bool dacIsStopTrack = false;
    Bytes voiceTable;  // in Sonic 1's operator order, as the voices are kept
    std::vector<std::string> voiceNames;  // may be shorter than the voices
    SoundDriver driver = SoundDriver::Sonic1;
    int address = kDefaultZ80Address;  // where a song of absolute pointers plays from
};

struct SongImage {
    Bytes binary;
    std::string listing;  // lines end in CR LF, except the last one
};

// The layout of the song from sections already in memory; fails as
// assembleSong does.
// `songUnits` is the song's length in duration units when a speed change
// makes it differ from totalRows (-1: totalRows).
SongLayout layoutSong(const ConversionRequest& request, const std::vector<ChannelSections>& sections,
                      const Bytes& voiceTable, int songUnits = -1);
// The binary; ends the conversion with the general error on a pointer beyond
// 32767 (relative pointers) or past the Z80's address space (absolute ones).
Bytes songBinary(const SongLayout& song);
// One track's bytes as they lie at `offset` in the song: intro and main, their
// pointers in the driver's form.
Bytes placedTrack(const SongLayout& song, const SongTrack& track, std::size_t offset);
// The plain listing: the binary's bytes, one `dc.b` per line, with labels.
std::string plainListing(const SongLayout& song);

// Why a song of `size` bytes cannot play from the request's address under its
// driver, in words that give both ways out; none when it fits (and always
// for a driver of relative pointers). A song for Sonic 2's unpacking buffer
// must fit the buffer, one in the sound bank's window must end inside it.
std::optional<std::string> songPlacementRefusal(const ConversionRequest& request, std::size_t size);
inline constexpr const char* kSongPlacementRefusalStart = "Can't convert! The song is ";

// The song from sections already in memory: `sections[n]` holds XM channel n's
// sections (entry 0 unused; only channels that feed a track are read; the
// intros only when the song has an intro, see loopPlan). `voiceTable` is the voices' bytes. The
// listing is in the request's asmStyle. A song played once without drums
// that asks for E4 gets a stop track that rests for the song's whole length
// (totalRows) and then reads E4 F2, so the song plays to its end before the
// driver hands back to the previous music (none without FM and PSG tracks).
// Ends
// the conversion with the general error on a pointer beyond 32767, a
// transposition outside -256..255, a volume outside 0..255, a used assignment
// entry outside 1..channelCount or a file name without a base name.
SongImage assembleSong(const ConversionRequest& request, const std::vector<ChannelSections>& sections,
                       const Bytes& voiceTable, int songUnits = -1);

}  // namespace ferro
