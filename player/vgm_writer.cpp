#include "player/vgm_writer.hpp"

#include <algorithm>

namespace ferro {

namespace {

void put32(Bytes& out, std::size_t at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(v >> (8 * i));
}

void append32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

// A GD3 string: UTF-16LE, ended by a zero. Names come as UTF-8; characters
// past the 16-bit plane become '?'.
void appendGd3String(Bytes& out, const std::string& utf8) {
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        std::uint32_t cp = '?';
        std::size_t len = 1;
        if (c < 0x80) {
            cp = c;
        } else if ((c & 0xE0) == 0xC0 && i + 1 < utf8.size()) {
            cp = ((c & 0x1Fu) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu);
            len = 2;
        } else if ((c & 0xF0) == 0xE0 && i + 2 < utf8.size()) {
            cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(utf8[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(utf8[i + 2]) & 0x3Fu);
            len = 3;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
        }
        i += len;
        out.push_back(static_cast<std::uint8_t>(cp));
        out.push_back(static_cast<std::uint8_t>(cp >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}

}  // namespace

VgmWriter::VgmWriter(const SoundData& sound) : sound_(sound), out_(kVgmHeaderSize, 0) {
    // Every sample in one data block: players keep only the last block of a
    // kind.
    std::uint32_t size = 0;
    for (const DacSample& drum : sound_.drums) {
        blockOffset_.push_back(size);
        size += static_cast<std::uint32_t>(drum.pcm.size());
    }
    segaOffset_ = size;
    size += static_cast<std::uint32_t>(sound_.sega.pcm.size());
    out_.insert(out_.end(), {0x67, 0x66, 0x00});
    append32(out_, size);
    for (const auto& drum : sound_.drums) out_.insert(out_.end(), drum.pcm.begin(), drum.pcm.end());
    out_.insert(out_.end(), sound_.sega.pcm.begin(), sound_.sega.pcm.end());
}

void VgmWriter::beginFrame() {
    if (frames_ > 0) endFrame();
    ++frames_;
}

void VgmWriter::endFrame() {
    const auto end = static_cast<std::uint64_t>(frames_) * kSamplesPerFrame;
    if (held_) {
        held_ = false;
        if (playing_) playing_->startSample += end - pos_;
        wait(end - pos_);
        return;
    }
    startPendingSample();
    advanceTo(end);
}

void VgmWriter::addFrame(const Frame& frame, bool loopStart) {
    beginFrame();
    if (loopStart) markLoop();
    for (const ChipWrite& w : frame.writes) {
        switch (w.port) {
            case ChipPort::Ym0: ym(0, static_cast<std::uint8_t>(w.address), w.value); break;
            case ChipPort::Ym1: ym(1, static_cast<std::uint8_t>(w.address), w.value); break;
            case ChipPort::Psg: psg(w.value); break;
            case ChipPort::Dac: dacNote(w.value); break;
            case ChipPort::Z80:
                if (w.address == kZ80TimpaniPitch) dacPitch(w.value);
                // The Z80 takes a byte with bit 7 set as a request.
                if (w.address == kZ80SampleRequest && (w.value & 0x80) != 0) dacRequest(w.value);
                break;
        }
    }
    if (frame.z80HeldUntilNextFrame) holdZ80();
}

void VgmWriter::ym(int port, std::uint8_t reg, std::uint8_t value) {
    out_.insert(out_.end(), {static_cast<std::uint8_t>(port == 0 ? 0x52 : 0x53), reg, value});
}

void VgmWriter::psg(std::uint8_t value) { out_.insert(out_.end(), {0x50, value}); }

void VgmWriter::dacPitch(std::uint8_t pitch) { timpaniPitch_ = pitch; }

void VgmWriter::dacRequest(std::uint8_t id) { request_ = id; }

void VgmWriter::dacNote(std::uint8_t note) {
    if (note >= kSonic2FirstDacNote && note < kSonic2FirstDacNote + kSonic2DacNotes.size()) note_ = note;
}

void VgmWriter::markLoop() {
    loopOffset_ = out_.size();
    loopSample_ = pos_;
    // A wait after the loop's start must not join a DAC command before it:
    // the jump back would skip it.
    lastDacCommand_ = SIZE_MAX;
    // After the jump back the player's data pointer is wherever the end left
    // it: point it at the sample that plays here.
    if (playing_ && !playing_->silent) seek(playing_->base + static_cast<std::uint32_t>(playing_->next));
}

void VgmWriter::seek(std::uint32_t offset) {
    out_.push_back(0xE0);
    append32(out_, offset);
}

void VgmWriter::startPendingSample() {
    if (note_) {
        const std::size_t k = static_cast<std::size_t>(*note_ - kSonic2FirstDacNote);
        note_.reset();
        const std::size_t sample = kSonic2DacNotes[k].sample;
        if (sample >= sound_.drums.size()) return;
        Playing p;
        p.startSample = pos_;
        p.base = blockOffset_[sample];
        p.size = sound_.drums[sample].pcm.size();
        p.cyclesEach = sonic2DacCycles(sound_.sonic2Rates[k]);
        seek(p.base);
        playing_ = p;
        return;
    }
    // The SEGA voice does not look at requests: the last one made while it
    // plays waits for its end.
    if (!request_ || (playing_ && playing_->sega)) return;
    // The Z80 subtracts 81h in 8 bits: everything from 87h up (and 80h) is
    // the SEGA voice.
    const int k = static_cast<std::uint8_t>(*request_ - 0x81);
    request_.reset();
    Playing p;
    p.startSample = pos_;
    if (k >= 6) {
        // The voice goes to the DAC as it is, without enabling it.
        p.sega = true;
        p.pitch = 0;
        p.silent = sound_.sega.pcm.empty();
        p.base = segaOffset_;
        p.size = p.silent ? kSegaPcmSize : sound_.sega.pcm.size();
        if (p.silent)
            ++silentSega_;
        else
            seek(p.base);
        playing_ = p;
        return;
    }
    if (k >= kDrumSampleCount) {
        // The table entries past the timpani: no sample.
        playing_.reset();
        ++unplayed_;
        return;
    }
    const auto index = static_cast<std::size_t>(k);
    p.base = blockOffset_[index];
    p.size = sound_.drums[index].pcm.size();
    p.pitch = k == 2 ? timpaniPitch_ : kDrumPitches[index];
    ym(0, 0x2B, 0x80);
    seek(p.base);
    playing_ = p;
}

std::uint64_t VgmWriter::sampleAt(const Playing& p) const {
    return p.startSample + p.cycles * kVgmSampleRate / static_cast<std::uint64_t>(kZ80Clock);
}

void VgmWriter::advanceTo(std::uint64_t sample) {
    while (playing_) {
        Playing& p = *playing_;
        if (p.next >= p.size) {
            // A drum is done with its last value; the SEGA voice is deaf
            // until the time of the byte after its last.
            if (!p.sega) {
                playing_.reset();
                break;
            }
            const std::uint64_t end = sampleAt(p);
            if (end >= sample) break;
            wait(end - pos_);
            playing_.reset();
            startPendingSample();
            continue;
        }
        const std::uint64_t at = sampleAt(p);
        if (at >= sample) break;
        wait(at - pos_);
        if (!p.silent) {
            out_.push_back(0x80);
            lastDacCommand_ = out_.size() - 1;
        }
        p.cycles += static_cast<std::uint64_t>(p.cyclesEach != 0    ? p.cyclesEach
                                               : p.sega             ? kSegaCyclesPerByte
                                               : p.next % 2 == 0    ? dacCyclesAfterHigh(p.pitch)
                                                                    : dacCyclesAfterLow(p.pitch));
        ++p.next;
    }
    wait(sample - pos_);
}

void VgmWriter::wait(std::uint64_t samples) {
    pos_ += samples;
    if (samples > 0 && lastDacCommand_ + 1 == out_.size() && out_.back() == 0x80) {
        const auto taken = std::min<std::uint64_t>(samples, 15);
        out_.back() = static_cast<std::uint8_t>(0x80 | taken);
        samples -= taken;
    }
    while (samples > 0) {
        if (samples == 735) {
            out_.push_back(0x62);
            samples = 0;
        } else if (samples == 882) {
            out_.push_back(0x63);
            samples = 0;
        } else if (samples <= 16) {
            out_.push_back(static_cast<std::uint8_t>(0x70 | (samples - 1)));
            samples = 0;
        } else {
            const auto n = static_cast<std::uint16_t>(std::min<std::uint64_t>(samples, 0xFFFF));
            out_.insert(out_.end(), {0x61, static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8)});
            samples -= n;
        }
    }
}

Bytes VgmWriter::finish(const std::string& songName, std::uint32_t tailSamples) {
    endFrame();
    startPendingSample();
    advanceTo(pos_ + tailSamples);
    out_.push_back(0x66);

    const std::size_t gd3 = out_.size();
    Bytes strings;
    appendGd3String(strings, songName);  // track name
    appendGd3String(strings, "");
    appendGd3String(strings, "");  // game
    appendGd3String(strings, "");
    appendGd3String(strings, "Sega Mega Drive / Genesis");
    appendGd3String(strings, "");
    appendGd3String(strings, "");  // author
    appendGd3String(strings, "");
    appendGd3String(strings, "");  // date
    appendGd3String(strings, "Ferrocanto");
    appendGd3String(strings, "");  // notes
    out_.insert(out_.end(), {'G', 'd', '3', ' '});
    append32(out_, 0x100);
    append32(out_, static_cast<std::uint32_t>(strings.size()));
    out_.insert(out_.end(), strings.begin(), strings.end());

    out_[0] = 'V';
    out_[1] = 'g';
    out_[2] = 'm';
    out_[3] = ' ';
    put32(out_, 0x04, static_cast<std::uint32_t>(out_.size() - 0x04));
    put32(out_, 0x08, 0x150);
    put32(out_, 0x0C, kSn76489Clock);
    put32(out_, 0x14, static_cast<std::uint32_t>(gd3 - 0x14));
    put32(out_, 0x18, static_cast<std::uint32_t>(pos_));
    if (loopOffset_) {
        put32(out_, 0x1C, static_cast<std::uint32_t>(*loopOffset_ - 0x1C));
        put32(out_, 0x20, static_cast<std::uint32_t>(pos_ - loopSample_));
    }
    put32(out_, 0x24, 60);
    // The Mega Drive's PSG: white noise taps bits 0 and 3 of a 16-bit shift
    // register.
    out_[0x28] = 0x09;
    out_[0x29] = 0x00;
    out_[0x2A] = 16;
    put32(out_, 0x2C, kYm2612Clock);
    put32(out_, 0x34, static_cast<std::uint32_t>(kVgmHeaderSize - 0x34));
    return std::move(out_);
}

}  // namespace ferro
