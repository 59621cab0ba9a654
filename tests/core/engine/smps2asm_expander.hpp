#pragma once
// A small assembler for the listings the song writer produces: `dc.b` and
// `dc.w` lines with labels, and the Sonic 1 SMPS2ASM macros as their macro set
// expands them (header, the commands a converted song uses, the voice
// macros in their "as written" form). Written from what those macros are
// known to emit, not from the writer, so that the two can disagree.
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"

namespace ferro::test {

class Smps2asmExpander {
public:
    // The bytes of the source; throws std::runtime_error naming the line on
    // anything the assembler would refuse.
    Bytes assemble(const std::string& source) {
        const std::vector<Line> lines = parse(source);
        labels_.clear();
        for (pass_ = 0; pass_ < 2; ++pass_) {
            out_.clear();
            songStart_.reset();
            voice_ = {};
            for (const Line& line : lines) {
                current_ = &line;
                if (!line.label.empty()) {
                    if (pass_ == 0 && !labels_.emplace(line.label, static_cast<long>(out_.size())).second)
                        fail("label defined twice");
                    continue;
                }
                if (!line.op.empty()) instruction(line);
            }
        }
        return out_;
    }

private:
    struct Line {
        int number = 0;
        std::string label;
        std::string op;
        std::vector<std::string> args;
    };
    struct Voice {
        long algorithm = 0, feedback = 0, unused = 0;
        long spare[4]{}, detune[4]{}, coarse[4]{}, rateScale[4]{}, attack[4]{}, ampMod[4]{}, decay1[4]{},
            decay2[4]{}, level[4]{}, release[4]{};
        bool asWritten = false;
    };

    [[noreturn]] void fail(const std::string& why) const {
        throw std::runtime_error("line " + std::to_string(current_ ? current_->number : 0) + ": " + why);
    }

    static std::string trim(const std::string& s) {
        const auto first = s.find_first_not_of(" \t");
        if (first == std::string::npos) return {};
        return s.substr(first, s.find_last_not_of(" \t") - first + 1);
    }

    static bool validLabel(const std::string& s) {
        if (s.empty() || (s[0] >= '0' && s[0] <= '9')) return false;
        for (char c : s) {
            if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_')) return false;
        }
        return true;
    }

    std::vector<Line> parse(const std::string& source) {
        std::vector<Line> lines;
        std::size_t start = 0;
        int number = 0;
        while (start <= source.size()) {
            std::size_t end = source.find('\n', start);
            if (end == std::string::npos) end = source.size();
            std::string text = source.substr(start, end - start);
            start = end + 1;
            Line line;
            line.number = ++number;
            current_ = &line;
            if (!text.empty() && text.back() == '\r') text.pop_back();
            if (const auto semicolon = text.find(';'); semicolon != std::string::npos) text.resize(semicolon);
            if (trim(text).empty()) continue;
            if (text[0] != ' ' && text[0] != '\t') {
                const std::string body = trim(text);
                if (body.back() != ':') fail("a label must end with ':'");
                line.label = body.substr(0, body.size() - 1);
                if (!validLabel(line.label)) fail("not a label: " + line.label);
            } else {
                const std::string body = trim(text);
                const auto gap = body.find_first_of(" \t");
                line.op = body.substr(0, gap);
                if (gap != std::string::npos) {
                    std::string rest = trim(body.substr(gap));
                    std::size_t from = 0;
                    for (;;) {
                        const auto comma = rest.find(',', from);
                        line.args.push_back(trim(rest.substr(from, comma - from)));
                        if (comma == std::string::npos) break;
                        from = comma + 1;
                    }
                }
            }
            current_ = nullptr;
            lines.push_back(std::move(line));
        }
        current_ = nullptr;
        return lines;
    }

    static const std::map<std::string, long>& constants() {
        static const std::map<std::string, long> table = [] {
            std::map<std::string, long> t;
            const char* const names[12] = {"C", "Cs", "D", "Eb", "E", "F", "Fs", "G", "Ab", "A", "Bb", "B"};
            t["nRst"] = 0x80;
            for (long value = 0x81; value <= 0xDF; ++value) {
                const long k = value - 0x81;
                t[std::string("n") + names[k % 12] + std::to_string(k / 12)] = value;
            }
            for (auto [name, value] : std::initializer_list<std::pair<const char*, long>>{
                     {"dKick", 0x81}, {"dSnare", 0x82}, {"dTimpani", 0x83}, {"dHiTimpani", 0x88},
                     {"dMidTimpani", 0x89}, {"dLowTimpani", 0x8A}, {"dVLowTimpani", 0x8B},
                     {"panLeft", 0x80}, {"panRight", 0x40}, {"panCentre", 0xC0}, {"panNone", 0},
                     {"smpsNoAttack", 0xE7}})
                t[name] = value;
            for (long k = 1; k <= 9; ++k) t["fTone_0" + std::to_string(k)] = k;
            return t;
        }();
        return table;
    }

    long term(const std::string& s) const {
        if (s.empty()) fail("missing value");
        if (s[0] == '$') {
            if (s.size() == 1 || s.find_first_not_of("0123456789abcdefABCDEF", 1) != std::string::npos)
                fail("bad hexadecimal " + s);
            return std::stol(s.substr(1), nullptr, 16);
        }
        if (s.find_first_not_of("0123456789") == std::string::npos) return std::stol(s);
        if (const auto it = constants().find(s); it != constants().end()) return it->second;
        if (const auto it = labels_.find(s); it != labels_.end()) return it->second;
        if (!validLabel(s)) fail("bad symbol " + s);
        if (pass_ == 0) return 0;
        fail("undefined symbol " + s);
    }

    // Terms joined by + and -.
    long value(const std::string& expression) const {
        if (expression.find_first_of("+-") == std::string::npos) return term(expression);
        long total = 0;
        int sign = 1;
        std::string word;
        for (char c : expression + "+") {
            if ((c == '+' || c == '-') && !trim(word).empty()) {
                total += sign * term(trim(word));
                word.clear();
                sign = c == '-' ? -1 : 1;
            } else if (c == '-' && trim(word).empty()) {
                sign = -sign;
            } else {
                word += c;
            }
        }
        return total;
    }

    // A label used as a song pointer: relative to the song's start.
    long pointer(const std::string& label) const {
        if (!songStart_) fail("pointer before smpsHeaderStartSong");
        const long at = value(label);
        if (pass_ == 1 && at < *songStart_) fail("label before the song's start");
        return at - *songStart_;
    }

    void byte(long v) {
        if (v < -128 || v > 255) fail("byte out of range: " + std::to_string(v));
        out_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    void word(long v) {
        if (v < -32768 || v > 65535) fail("word out of range: " + std::to_string(v));
        out_.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
        out_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }

    void expect(const Line& line, std::size_t count) const {
        if (line.args.size() != count) fail(line.op + " takes " + std::to_string(count) + " arguments");
    }

    void four(const Line& line, long (&field)[4]) const {
        expect(line, 4);
        for (int k = 0; k < 4; ++k) field[k] = value(line.args[static_cast<std::size_t>(k)]);
    }

    void instruction(const Line& line) {
        const std::string& op = line.op;
        const auto& a = line.args;
        auto arg = [&](std::size_t k) { return value(a.at(k)); };
        if (op == "dc.b") {
            for (const auto& x : a) byte(value(x));
        } else if (op == "dc.w") {
            for (const auto& x : a) word(value(x));
        } else if (op == "smpsHeaderStartSong") {
            if (a.size() != 2 || arg(0) != 1 || arg(1) != 1) fail("expected smpsHeaderStartSong 1, 1");
            voice_.asWritten = true;
            songStart_ = static_cast<long>(out_.size());
        } else if (op == "smpsHeaderVoice") {
            expect(line, 1);
            word(pointer(a[0]));
        } else if (op == "smpsHeaderChan" || op == "smpsHeaderTempo") {
            expect(line, 2);
            byte(arg(0));
            byte(arg(1));
        } else if (op == "smpsHeaderDAC") {
            if (a.size() != 1 && a.size() != 3) fail("smpsHeaderDAC takes 1 or 3 arguments");
            word(pointer(a[0]));
            byte(a.size() == 3 ? arg(1) : 0);
            byte(a.size() == 3 ? arg(2) : 0);
        } else if (op == "smpsHeaderFM" || op == "smpsHeaderPSG") {
            const std::size_t count = op == "smpsHeaderFM" ? 3 : 5;
            expect(line, count);
            word(pointer(a[0]));
            for (std::size_t k = 1; k < count; ++k) byte(arg(k));
        } else if (op == "smpsPan") {
            expect(line, 2);
            byte(0xE0);
            byte(arg(0) + arg(1));
        } else if (op == "smpsFade" || op == "smpsStop") {
            expect(line, 0);
            byte(op == "smpsFade" ? 0xE4 : 0xF2);
        } else if (op == "smpsSetvoice" || op == "smpsFMvoice" || op == "smpsPSGform" || op == "smpsPSGvoice") {
            expect(line, 1);
            byte(op == "smpsPSGform" ? 0xF3 : op == "smpsPSGvoice" ? 0xF5 : 0xEF);
            byte(arg(0));
        } else if (op == "smpsJump") {
            expect(line, 1);
            byte(0xF6);
            long offset = value(a[0]) - static_cast<long>(out_.size()) - 1;
            if (offset < -32768 || offset > 32767) fail("jump too far");
            word(offset & 0xFFFF);
        } else {
            voiceMacro(line);
        }
    }

    void voiceMacro(const Line& line) {
        const std::string& op = line.op;
        Voice& v = voice_;
        if (op == "smpsVcAlgorithm" || op == "smpsVcFeedback") {
            expect(line, 1);
            (op == "smpsVcAlgorithm" ? v.algorithm : v.feedback) = value(line.args[0]);
        } else if (op == "smpsVcUnusedBits") {
            if (line.args.size() != 1 && line.args.size() != 5) fail("smpsVcUnusedBits takes 1 or 5 arguments");
            v.unused = value(line.args[0]);
            for (std::size_t k = 0; k < 4; ++k) v.spare[k] = line.args.size() == 5 ? value(line.args[k + 1]) : 0;
        } else if (op == "smpsVcDetune") {
            four(line, v.detune);
        } else if (op == "smpsVcCoarseFreq") {
            four(line, v.coarse);
        } else if (op == "smpsVcRateScale") {
            four(line, v.rateScale);
        } else if (op == "smpsVcAttackRate") {
            four(line, v.attack);
        } else if (op == "smpsVcAmpMod") {
            four(line, v.ampMod);
        } else if (op == "smpsVcDecayRate1") {
            four(line, v.decay1);
        } else if (op == "smpsVcDecayRate2") {
            four(line, v.decay2);
        } else if (op == "smpsVcDecayLevel") {
            four(line, v.level);
        } else if (op == "smpsVcReleaseRate") {
            four(line, v.release);
        } else if (op == "smpsVcTotalLevel") {
            long total[4];
            four(line, total);
            if (!v.asWritten) fail("voice outside a song");
            byte(v.unused * 64 + v.feedback * 8 + v.algorithm);
            // Every group: the fourth argument first, the first one last.
            for (int k = 3; k >= 0; --k) byte(v.detune[k] * 16 + v.coarse[k]);
            for (int k = 3; k >= 0; --k) byte(v.rateScale[k] * 64 + v.attack[k]);
            for (int k = 3; k >= 0; --k) byte((v.ampMod[k] * 128) | v.decay1[k] | (v.spare[k] * 32));
            for (int k = 3; k >= 0; --k) byte(v.decay2[k]);
            for (int k = 3; k >= 0; --k) byte(v.level[k] * 16 + v.release[k]);
            for (int k = 3; k >= 0; --k) byte(total[k]);
        } else {
            fail("unknown instruction " + op);
        }
    }

    std::map<std::string, long> labels_;
    Bytes out_;
    std::optional<long> songStart_;
    Voice voice_;
    int pass_ = 0;
    const Line* current_ = nullptr;
};

}  // namespace ferro::test
