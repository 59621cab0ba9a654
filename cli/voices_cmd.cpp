// The voice verbs: list the voices of a voice file as JSON, and join voices
// from several files into one voice bank.
#include "cli/commands.hpp"
#include "cli/text.hpp"

#include "voices/song_voice_list.hpp"
#include "voices/voice_bank.hpp"
#include "voices/voice_hex.hpp"
#include "voices/voice_import.hpp"

#include <nlohmann/json.hpp>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace ferro::cli {

namespace {

std::vector<std::string> fileKindNames() {
    std::vector<std::string> names;
    for (const auto& info : voiceFileKinds())
        if (info.import != nullptr) names.emplace_back(info.cliName);
    return names;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
}

nlohmann::ordered_json voiceJson(const std::string& name, const FmVoice& voice) {
    // Names are 8-bit text; JSON wants UTF-8.
    return {{"name", latin1ToUtf8(name)}, {"hex", formatVoiceHex(voice)}};
}

struct VoicesArgs {
    std::string kind;
    std::string source;
};

int runVoices(const VoicesArgs& args) {
    nlohmann::ordered_json out;
    out["voices"] = nlohmann::ordered_json::array();
    if (args.kind == "paste") {
        const auto voice = parsePastedVoice(args.source);
        if (!voice) {
            std::cerr << kPasteRejectedMessage << '\n';
            return 1;
        }
        out["voices"].push_back(voiceJson(kPastedVoiceName, *voice));
    } else {
        const VoiceKindInfo* info = findVoiceKindByCliName(args.kind);
        if (info == nullptr || info->import == nullptr) {
            std::cerr << "Unknown voice kind \"" << args.kind << "\" (use one of " << joined(fileKindNames())
                      << ", paste)\n";
            return 1;
        }
        const ImportResult result = importVoiceFile(info->kind, pathFromUtf8(args.source));
        if (!result.ok()) {
            std::cerr << importFailureText(result, args.source) << '\n';
            return 1;
        }
        for (const auto& entry : result.voices) out["voices"].push_back(voiceJson(entry.name, entry.voice));
        if (result.ssgEgWarning) out["warning"] = kTfiSsgEgWarning;
        if (!result.notice.empty()) std::cerr << "Warning: " << args.source << ": " << result.notice << '\n';
    }
    std::cout << out.dump(2) << '\n';
    return 0;
}

struct BankArgs {
    std::string out;
    std::string format;
    std::vector<std::string> sources;
};

int runBank(const BankArgs& args) {
    const BankFormatInfo* format = nullptr;
    for (const auto& info : bankFormats())
        if (args.format == info.cliName) format = &info;
    if (format == nullptr) {
        std::cerr << "Unknown bank format \"" << args.format << "\" (use raw, fcv or ymx)\n";
        return 1;
    }

    FileVoiceList voices;
    for (const auto& source : args.sources) {
        const auto colon = source.find(':');
        const VoiceKindInfo* kind = colon == std::string::npos ? nullptr : findVoiceKindByCliName(source.substr(0, colon));
        if (kind == nullptr || kind->import == nullptr) {
            std::cerr << "\"" << source << "\" is not KIND:FILE with KIND one of " << joined(fileKindNames()) << '\n';
            return 1;
        }
        const std::string file = source.substr(colon + 1);
        ImportResult result = importVoiceFile(kind->kind, pathFromUtf8(file));
        if (!result.ok()) {
            std::cerr << file << ": " << importFailureText(result, file) << '\n';
            return 1;
        }
        if (!result.notice.empty()) std::cerr << "Warning: " << file << ": " << result.notice << '\n';
        // Past the format's limit the set is refused anyway: stop collecting.
        for (auto& entry : result.voices) {
            if (static_cast<int>(voices.size()) > format->voiceLimit) break;
            voices.push_back(std::move(entry));
        }
    }

    if (voices.empty()) {
        std::cerr << "No voices to write\n";
        return 1;
    }
    if (static_cast<int>(voices.size()) > format->voiceLimit) {
        std::cerr << "A " << format->cliName << " bank holds at most " << format->voiceLimit
                  << " voices; these files give more. No file was written.\n";
        return 1;
    }
    SongVoiceList list;
    for (const auto& entry : voices) {
        if (format->format == BankFormat::Fcv && entry.name.size() > 255) {
            std::cerr << "The voice name \"" << latin1ToUtf8(entry.name)
                      << "\" is longer than the 255 characters an fcv bank can store. No file was written.\n";
            return 1;
        }
        list.add(entry.name, entry.voice);
    }
    if (!writeVoiceBank(list, format->format, pathFromUtf8(args.out))) {
        std::cerr << "Cannot write " << args.out << '\n';
        return 1;
    }
    std::cout << "Wrote " << list.count() << " voices to " << args.out << '\n';
    return 0;
}

}  // namespace

void addVoicesCommands(CLI::App& app, int& exitCode) {
    auto voicesArgs = std::make_shared<VoicesArgs>();
    std::vector<std::string> kinds = fileKindNames();
    kinds.emplace_back("paste");
    CLI::App* voices = app.add_subcommand(
        "voices", "Print the FM voices of a voice file (or of pasted hexadecimal text) as JSON");
    voices->add_option("kind", voicesArgs->kind, "Kind of voice file: " + joined(kinds))
        ->required()
        ->check(CLI::IsMember(kinds));
    voices->add_option("file", voicesArgs->source, "The voice file, or the text for the kind paste")->required();
    voices->callback([voicesArgs, &exitCode] { exitCode = runVoices(*voicesArgs); });

    auto bankArgs = std::make_shared<BankArgs>();
    CLI::App* bank = app.add_subcommand("bank", "Write the voices of several voice files as one voice bank");
    bank->add_option("out", bankArgs->out, "The bank file to write (replaced if it exists)")->required();
    bank->add_option("--format", bankArgs->format, "Bank format: raw (256 voices), fcv (255) or ymx (127)")
        ->required()
        ->check(CLI::IsMember({"raw", "fcv", "ymx"}));
    bank->add_option("sources", bankArgs->sources, "KIND:FILE, voices imported in this order")->required();
    bank->callback([bankArgs, &exitCode] { exitCode = runBank(*bankArgs); });
}

}  // namespace ferro::cli
