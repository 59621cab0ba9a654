#pragma once
// Writes what the driver sends to the chips, frame by frame, as a VGM file
// (version 1.50) that libgme and hardware players play alike: frame f of the
// song takes samples 735 f to 735 f + 734, the driver's writes of a frame
// come first in it, and the DAC samples the Z80 plays are one data block read
// with 0x8n commands at the Z80's own timing.
//
// Only the commands every VGM player reads the same way are written: 0x50,
// 0x52, 0x53, 0x61, 0x62, 0x63, 0x66, 0x67, 0x7n, 0x8n and 0xE0.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"
#include "player/chip_events.hpp"
#include "player/sound_data.hpp"

namespace ferro {

inline constexpr std::uint32_t kYm2612Clock = 7670453;
inline constexpr std::uint32_t kSn76489Clock = 3579545;
inline constexpr std::uint64_t kVgmSampleRate = 44100;
inline constexpr std::uint32_t kSamplesPerFrame = 735;
inline constexpr std::size_t kVgmHeaderSize = 0x40;

class VgmWriter {
public:
    explicit VgmWriter(const SoundData& sound);

    // Frames come in order from frame 0; every write and request belongs to
    // the frame begun last.
    void beginFrame();
    void ym(int port, std::uint8_t reg, std::uint8_t value);
    void psg(std::uint8_t value);
    // The 68000's writes to the Z80: the timpani's pitch (00EA) and a sample
    // request (1FFF). The request starts its sample when the frame's writes
    // are done, cutting the one playing.
    void dacPitch(std::uint8_t pitch);
    void dacRequest(std::uint8_t id);
    // Sonic 2: the DAC track's drum note (81-91), which starts its sample at
    // its rate when the frame's writes are done, cutting the one playing.
    void dacNote(std::uint8_t note);
    // The frame begun last is the first of the song's loop.
    void markLoop();
    // The 68000 keeps the Z80's bus from the end of the frame begun last
    // until the next: the sample playing pauses, a request waits.
    void holdZ80() { held_ = true; }

    // One frame of the player, as the calls above.
    void addFrame(const Frame& frame, bool loopStart = false);

    // Ends the file after the frame begun last plus `tailSamples` and returns
    // it. The writer is spent afterwards.
    Bytes finish(const std::string& songName, std::uint32_t tailSamples = 0);

    int frameCount() const { return frames_; }
    // Requests 84-86, whose entries in the Z80's table overlap the kick's
    // data: played silent, counted so the caller can say.
    int unplayedRequests() const { return unplayed_; }
    // Requests for the SEGA voice (87 and up) heard while the sound data has
    // none: silent for as long as the voice would play.
    int silentSegaRequests() const { return silentSega_; }

private:
    void startPendingSample();
    void endFrame();  // plays the frame begun last to its end
    void advanceTo(std::uint64_t sample);  // plays the DAC up to `sample`
    void wait(std::uint64_t samples);
    void seek(std::uint32_t offset);

    const SoundData& sound_;
    Bytes out_;
    std::vector<std::uint32_t> blockOffset_;
    std::uint32_t segaOffset_ = 0;
    std::uint64_t pos_ = 0;      // samples written so far
    int frames_ = 0;
    std::uint8_t timpaniPitch_ = kInitialTimpaniPitch;
    std::optional<std::uint8_t> request_;  // made this frame, starts at its end
    std::optional<std::uint8_t> note_;     // Sonic 2's, likewise
    bool held_ = false;
    std::optional<std::size_t> loopOffset_;
    std::uint64_t loopSample_ = 0;
    int unplayed_ = 0;
    int silentSega_ = 0;
    std::size_t lastDacCommand_ = SIZE_MAX;  // position of a 0x80 that may still take a wait

    // The sample playing: its values' place in the data block, the next one,
    // and when (in Z80 cycles from its start) the next is written.
    struct Playing {
        std::uint32_t base = 0;
        std::size_t size = 0;
        std::size_t next = 0;
        int pitch = 0;
        int cyclesEach = 0;  // Sonic 2: Z80 cycles between two values
        std::uint64_t startSample = 0;
        std::uint64_t cycles = 0;
        // The SEGA voice: a byte every kSegaCyclesPerByte, no request heard
        // until it ends; silent when the sound data has none.
        bool sega = false;
        bool silent = false;
    };
    std::uint64_t sampleAt(const Playing& p) const;
    std::optional<Playing> playing_;
};

}  // namespace ferro
