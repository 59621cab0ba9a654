#pragma once
// The render gives 44.1 kHz 16-bit stereo; an audio device may want another
// rate, channel count or sample format, and not every system converts for
// the program (Media Foundation under Windows refuses formats other than its
// own). This turns the render's sound into the device's format, block by
// block, with linear interpolation between frames when the rates differ.
#include <cstdint>
#include <span>
#include <vector>

namespace ferro {

enum class SampleKind { UInt8, Int16, Int32, Float };

struct PcmFormat {
    int rate = 44100;
    int channels = 2;
    SampleKind kind = SampleKind::Int16;
    bool operator==(const PcmFormat&) const = default;
    int bytesPerFrame() const;
};

class PcmConverter {
public:
    // From the render's 16-bit stereo at `fromRate` to `to`.
    PcmConverter(int fromRate, PcmFormat to);

    // Converts interleaved left/right samples and appends the device's bytes
    // to `out`. Blocks may have any length: the result does not depend on
    // how the sound is cut.
    void convert(std::span<const std::int16_t> stereo, std::vector<char>& out);

    // Input bytes that give about `outBytes` output bytes (whole frames).
    std::int64_t inputBytesFor(std::int64_t outBytes) const;

private:
    void emitFrame(double left, double right, std::vector<char>& out) const;

    int fromRate_;
    PcmFormat to_;
    // Position of the next output frame, in input frames counted from the
    // previous frame kept below.
    double position_ = 0.0;
    double previous_[2] = {0.0, 0.0};
    bool started_ = false;
};

}  // namespace ferro
