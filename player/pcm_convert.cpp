#include "player/pcm_convert.hpp"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace ferro {

int PcmFormat::bytesPerFrame() const {
    const int bytes = kind == SampleKind::UInt8 ? 1 : kind == SampleKind::Int16 ? 2 : 4;
    return bytes * channels;
}

PcmConverter::PcmConverter(int fromRate, PcmFormat to) : fromRate_(fromRate), to_(to) {}

std::int64_t PcmConverter::inputBytesFor(std::int64_t outBytes) const {
    const std::int64_t frames = outBytes / to_.bytesPerFrame();
    const auto in = static_cast<std::int64_t>(std::ceil(static_cast<double>(frames) * fromRate_ / to_.rate));
    return std::max<std::int64_t>(in, 1) * 4;
}

void PcmConverter::emitFrame(double left, double right, std::vector<char>& out) const {
    // Left and right keep their places; a mono device hears both; further
    // channels (centre, rear) stay silent.
    const auto put = [&](double v) {
        // Full scale is 1.0, as the render's 32768; the top value is clipped
        // to what the integer formats hold.
        const auto whole = [v](double scale) {
            return std::clamp(std::round(v * scale), -scale, scale - 1.0);
        };
        const auto append = [&out](const auto& s) {
            const auto* b = reinterpret_cast<const char*>(&s);
            out.insert(out.end(), b, b + sizeof s);
        };
        switch (to_.kind) {
        case SampleKind::UInt8: append(static_cast<std::uint8_t>(whole(128.0) + 128.0)); break;
        case SampleKind::Int16: append(static_cast<std::int16_t>(whole(32768.0))); break;
        case SampleKind::Int32: append(static_cast<std::int32_t>(whole(2147483648.0))); break;
        case SampleKind::Float: append(static_cast<float>(std::clamp(v, -1.0, 1.0))); break;
        }
    };
    if (to_.channels == 1) {
        put((left + right) / 2.0);
        return;
    }
    put(left);
    put(right);
    for (int c = 2; c < to_.channels; ++c) put(0.0);
}

void PcmConverter::convert(std::span<const std::int16_t> stereo, std::vector<char>& out) {
    const double step = static_cast<double>(fromRate_) / to_.rate;
    for (std::size_t i = 0; i + 1 < stereo.size(); i += 2) {
        const double frame[2] = {stereo[i] / 32768.0, stereo[i + 1] / 32768.0};
        if (!started_) {
            // The first frame is where the output starts; it is written once
            // the next one shows what lies between them.
            std::copy(frame, frame + 2, previous_);
            started_ = true;
            continue;
        }
        // Output frames that fall between the previous input frame and this one.
        while (position_ < 1.0) {
            const double t = position_;
            emitFrame(previous_[0] + (frame[0] - previous_[0]) * t, previous_[1] + (frame[1] - previous_[1]) * t,
                      out);
            position_ += step;
        }
        position_ -= 1.0;
        std::copy(frame, frame + 2, previous_);
    }
}

}  // namespace ferro
