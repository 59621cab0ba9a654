#pragma once
// A small assembler for the song listings: `dc.b` / `dc.w` lines with labels,
// and the SMPS2ASM macros as the Sonic 1 set expands a `smpsHeaderStartSong 1,
// 1` song and the Sonic 2 set a `smpsHeaderStartSong 2, 1` song phased at
// `phase` (header, the commands, the voice macros in their "as written"
// form). Written from what the macros emit, not from the song writer, so that
// the two can disagree.
#include <cctype>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/byte_reader.hpp"

namespace ferro::test {

class Smps2asmExpander {
public:
    explicit Smps2asmExpander(long phase = 0x1380) : phase_(phase) {}

    // Throws std::runtime_error naming the line on anything an assembler refuses.
    Bytes assemble(const std::string& source) {
        std::vector<std::pair<int, std::string>> lines;
        std::istringstream in(source);
        for (std::string text; std::getline(in, text);) lines.emplace_back(static_cast<int>(lines.size()) + 1, text);
        labels_.clear();
        for (pass_ = 0; pass_ < 2; ++pass_) {
            out_.clear();
            start_.reset();
            for (auto [number, text] : lines) {
                line_ = number;
                if (!text.empty() && text.back() == '\r') text.pop_back();
                text = text.substr(0, text.find(';'));
                if (trim(text).empty()) continue;
                if (text[0] != ' ' && text[0] != '\t') {
                    const std::string label = trim(text);
                    if (label.back() != ':' || !isLabel(label.substr(0, label.size() - 1))) fail("bad label " + label);
                    if (pass_ == 0 && !labels_.emplace(label.substr(0, label.size() - 1), size()).second)
                        fail("label defined twice");
                    continue;
                }
                const std::string body = trim(text);
                const auto gap = body.find_first_of(" \t");
                std::vector<std::string> args;
                std::istringstream list(gap == std::string::npos ? "" : body.substr(gap));
                for (std::string a; std::getline(list, a, ',');) args.push_back(trim(a));
                instruction(body.substr(0, gap), args);
            }
        }
        return out_;
    }

private:
    [[noreturn]] void fail(const std::string& why) const {
        throw std::runtime_error("line " + std::to_string(line_) + ": " + why);
    }
    static std::string trim(const std::string& s) {
        const auto first = s.find_first_not_of(" \t");
        return first == std::string::npos ? "" : s.substr(first, s.find_last_not_of(" \t") - first + 1);
    }
    static bool isLabel(const std::string& s) {
        if (s.empty() || std::isdigit(static_cast<unsigned char>(s[0]))) return false;
        for (char c : s)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
        return true;
    }
    long size() const { return static_cast<long>(out_.size()); }

    static const std::map<std::string, long>& constants() {
        static const std::map<std::string, long> table = [] {
            std::map<std::string, long> t = {
                {"nRst", 0x80},        {"dKick", 0x81},        {"dSnare", 0x82},      {"dTimpani", 0x83},
                {"dHiTimpani", 0x88},  {"dMidTimpani", 0x89},  {"dLowTimpani", 0x8A}, {"dVLowTimpani", 0x8B},
                {"panLeft", 0x80},     {"panRight", 0x40},     {"panCentre", 0xC0},   {"panNone", 0},
                {"smpsNoAttack", 0xE7}};
            const char* const names[12] = {"C", "Cs", "D", "Eb", "E", "F", "Fs", "G", "Ab", "A", "Bb", "B"};
            for (long v = 0x81; v <= 0xDF; ++v) t[std::string("n") + names[(v - 0x81) % 12] + std::to_string((v - 0x81) / 12)] = v;
            for (long k = 1; k <= 9; ++k) t["fTone_0" + std::to_string(k)] = k;
            return t;
        }();
        return table;
    }

    static const std::map<std::string, long>& sonic2Constants() {
        static const std::map<std::string, long> table = {
            {"dClap", 0x83},     {"dScratch", 0x84},  {"dTimpani", 0x85}, {"dHiTom", 0x86},   {"dVLowClap", 0x87},
            {"dMidTom", 0x8C},   {"dLowTom", 0x8D},   {"dFloorTom", 0x8E}, {"dHiClap", 0x8F}, {"dMidClap", 0x90},
            {"dLowClap", 0x91},  {"fTone_0A", 10},    {"fTone_0B", 11},   {"fTone_0C", 12},   {"fTone_0D", 13},
            {"nMaxPSG", 0xC6}};
        return table;
    }

    // Numbers ($hex or decimal), names and labels joined by + and -.
    long value(const std::string& expression) const {
        long total = 0;
        std::size_t at = 0;
        while (at < expression.size()) {
            int sign = 1;
            while (at < expression.size() && (expression[at] == '-' || expression[at] == '+'))
                if (expression[at++] == '-') sign = -sign;
            const std::size_t end = expression.find_first_of("+-", at);
            const std::string t = trim(expression.substr(at, end - at));
            at = end == std::string::npos ? expression.size() : end;
            long v = 0;
            if (!t.empty() && t[0] == '$' && t.size() > 1 && t.find_first_not_of("0123456789ABCDEFabcdef", 1) == std::string::npos) {
                v = std::stol(t.substr(1), nullptr, 16);
            } else if (!t.empty() && t.find_first_not_of("0123456789") == std::string::npos) {
                v = std::stol(t);
            } else if (sonic2_ && sonic2Constants().count(t)) {
                v = sonic2Constants().at(t);
            } else if (constants().count(t)) {
                v = constants().at(t);
            } else if (labels_.count(t)) {
                v = labels_.at(t);
            } else if (pass_ == 1 || !isLabel(t)) {
                fail("unknown value '" + t + "'");
            }
            total += sign * v;
        }
        return total;
    }

    void byte(long v) {
        if (v < -128 || v > 255) fail("byte out of range: " + std::to_string(v));
        out_.push_back(static_cast<std::uint8_t>(v & 0xFF));
    }
    void word(long v) {
        if (v < -32768 || v > 65535) fail("word out of range: " + std::to_string(v));
        byte((v >> 8) & 0xFF);
        byte(v & 0xFF);
    }
    // A label as a song pointer: relative to the song's start, never before
    // it; for Sonic 2 its address, little-endian.
    void pointer(const std::string& label) {
        if (!start_) fail("pointer before smpsHeaderStartSong");
        const long at = value(label);
        if (pass_ == 1 && at < *start_) fail("label before the song's start");
        if (sonic2_) return address(at);
        word(at - *start_);
    }
    void address(long at) {
        const long a = at - *start_ + phase_;
        byte(a & 0xFF);
        byte((a >> 8) & 0xFF);
    }
    // A pointer inside a track: Sonic 1's counts from the pointer itself.
    void trackPointer(const std::string& label) {
        if (sonic2_) return address(value(label));
        const long offset = value(label) - size() - 1;
        if (offset < -32768 || offset > 32767) fail("jump too far");
        word(offset & 0xFFFF);
    }

    void instruction(const std::string& op, const std::vector<std::string>& a) {
        // Commands: their byte, then each argument as a byte.
        static const std::map<std::string, std::pair<int, std::size_t>> commands = {
            {"smpsFade", {0xE4, 0}},     {"smpsStop", {0xF2, 0}},     {"smpsSetvoice", {0xEF, 1}},
            {"smpsFMvoice", {0xEF, 1}},  {"smpsPSGform", {0xF3, 1}},  {"smpsPSGvoice", {0xF5, 1}},
            {"smpsHeaderChan", {-1, 2}}, {"smpsHeaderTempo", {-1, 2}},
            {"smpsDetune", {0xE1, 1}},   {"smpsReturn", {0xE3, 0}},   {"smpsChanTempoDiv", {0xE5, 1}},
            {"smpsAlterVol", {0xE6, 1}}, {"smpsNoteFill", {0xE8, 1}}, {"smpsChangeTransposition", {0xE9, 1}},
            {"smpsSetTempoMod", {0xEA, 1}}, {"smpsSetTempoDiv", {0xEB, 1}}, {"smpsPSGAlterVol", {0xEC, 1}},
            {"smpsModSet", {0xF0, 4}},   {"smpsModOn", {0xF1, 0}},    {"smpsModOff", {0xF4, 0}}};
        // Header pointers: how many bytes follow the pointer.
        static const std::map<std::string, std::size_t> pointers = {
            {"smpsHeaderVoice", 0}, {"smpsHeaderDAC", 2}, {"smpsHeaderFM", 2}, {"smpsHeaderPSG", 4}};
        if (op == "dc.b" || op == "dc.w") {
            for (const auto& x : a) op == "dc.b" ? byte(value(x)) : word(value(x));
        } else if (const auto c = commands.find(op); c != commands.end()) {
            if (a.size() != c->second.second) fail(op + ": wrong argument count");
            if (c->second.first >= 0) byte(c->second.first);
            for (const auto& x : a) byte(value(x));
        } else if (const auto p = pointers.find(op); p != pointers.end()) {
            // smpsHeaderDAC may leave out its two bytes: they are then 0.
            const bool dacShort = op == "smpsHeaderDAC" && a.size() == 1;
            if (a.size() != p->second + 1 && !dacShort) fail(op + ": wrong argument count");
            pointer(a.at(0));
            for (std::size_t k = 1; k <= p->second; ++k) byte(dacShort ? 0 : value(a[k]));
        } else if (op == "smpsHeaderStartSong") {
            if (a.size() != 2 || (value(a[0]) != 1 && value(a[0]) != 2) || value(a[1]) != 1)
                fail("expected smpsHeaderStartSong 1, 1 or 2, 1");
            sonic2_ = value(a[0]) == 2;
            start_ = size();
        } else if (op == "smpsPan") {
            if (a.size() != 2) fail("smpsPan: wrong argument count");
            byte(0xE0);
            byte(value(a[0]) + value(a[1]));
        } else if (op == "smpsJump" || op == "smpsCall") {
            if (a.size() != 1) fail(op + ": wrong argument count");
            byte(op == "smpsJump" ? 0xF6 : 0xF8);
            trackPointer(a[0]);
        } else if (op == "smpsLoop") {
            if (a.size() != 3) fail("smpsLoop: wrong argument count");
            byte(0xF7);
            byte(value(a[0]));
            byte(value(a[1]));
            trackPointer(a[2]);
        } else if (op.starts_with("smpsVc")) {
            voiceMacro(op, a);
        } else {
            fail("unknown instruction " + op);
        }
    }

    // The voice macros only remember their values; the total levels write
    // all 25 bytes. Each group of four goes out from its fourth argument to
    // its first.
    void voiceMacro(const std::string& op, const std::vector<std::string>& a) {
        const bool single = op == "smpsVcAlgorithm" || op == "smpsVcFeedback";
        const bool unused = op == "smpsVcUnusedBits";
        if ((single && a.size() != 1) || (unused && a.size() != 1 && a.size() != 5) || (!single && !unused && a.size() != 4))
            fail(op + ": wrong argument count");
        std::vector<long>& v = voice_[op];
        v.clear();
        for (const auto& x : a) v.push_back(value(x));
        if (unused && v.size() == 1) v.insert(v.end(), 4, 0);
        if (op != "smpsVcTotalLevel") return;
        auto f = [this](const char* name, int k) {
            const auto it = voice_.find(name);
            if (it == voice_.end()) fail(std::string("voice without ") + name);
            return it->second.at(static_cast<std::size_t>(k));
        };
        byte(f("smpsVcUnusedBits", 0) * 64 + f("smpsVcFeedback", 0) * 8 + f("smpsVcAlgorithm", 0));
        // Sonic 1 emits each group from its fourth argument down to its
        // first, Sonic 2 its fourth, second, third, first.
        const std::vector<int> order = sonic2_ ? std::vector<int>{3, 1, 2, 0} : std::vector<int>{3, 2, 1, 0};
        for (int k : order) byte(f("smpsVcDetune", k) * 16 + f("smpsVcCoarseFreq", k));
        for (int k : order) byte(f("smpsVcRateScale", k) * 64 + f("smpsVcAttackRate", k));
        for (int k : order)
            byte((f("smpsVcAmpMod", k) * 128) | f("smpsVcDecayRate1", k) | (f("smpsVcUnusedBits", k + 1) * 32));
        for (int k : order) byte(f("smpsVcDecayRate2", k));
        for (int k : order) byte(f("smpsVcDecayLevel", k) * 16 + f("smpsVcReleaseRate", k));
        for (int k : order) byte(f("smpsVcTotalLevel", k));
        voice_.clear();
    }

    std::map<std::string, long> labels_;
    std::map<std::string, std::vector<long>> voice_;
    Bytes out_;
    std::optional<long> start_;
    long phase_;
    bool sonic2_ = false;
    int pass_ = 0;
    int line_ = 0;
};

}  // namespace ferro::test
