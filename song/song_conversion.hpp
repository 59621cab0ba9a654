#pragma once
// The one way a song is converted, for "Convert song", Play and Export in the
// windows and for `ferrocanto-cli convert` and `render` alike: gating by the
// two lights (and the warnings that follow the general yellow policy),
// "Remove rests", the conversion in memory, the files beside the module and
// the message. The caller passes in the answers to the
// questions and shows what comes back.
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/shared_types.hpp"
#include "engine/conversion.hpp"
#include "song/song_model.hpp"

namespace ferro {

// ---- Gating on the readiness lights.
inline constexpr const char* kGeneralRefusedMessage =
    "Can't convert! Check the general parametres to find out what's wrong";
inline constexpr const char* kGeneralAskMessage =
    "Conversion is possible, but some parametres may be wrong.\r\nDo you want to proceed?";
inline constexpr const char* kVoiceRefusedMessage = "Can't convert! Check the voice manager to find out what's wrong";
inline constexpr const char* kVoiceAskMessage =
    "Conversion is possible, but there might be some problems with the voices.\r\nDo you want to proceed?";

enum class GateAction {
    Ask,     // question box (Yes / No); on No show `window` and stop
    Refuse,  // critical box; show `window` and stop
};
enum class GateWindow { GeneralParametres, VoiceManager };

struct GateStep {
    GateAction action = GateAction::Refuse;
    std::string message;  // the box's text
    GateWindow window = GateWindow::GeneralParametres;
    // What is doubtful, in plain words, for a reader without the window
    // ("XM channel 1 feeds two FM channels"); for a red light its status text.
    std::string reason;
    // A step for something the driver would play wrongly, not for a light:
    // `message` is the warning as the user reads it ("Warning: ..."), the
    // question adds "Do you want to proceed?".
    bool driverWarning = false;
    bool operator==(const GateStep&) const = default;
};

struct GateInput {
    ReadinessLight generalLight = ReadinessLight::Green;
    ReadinessLight voiceLight = ReadinessLight::Green;
    YellowPolicy generalPolicy = YellowPolicy::WarnAndAsk;
    YellowPolicy voicePolicy = YellowPolicy::WarnAndAsk;
    std::string generalReason;  // copied into the general steps
    std::string voiceReason;    // copied into the voice steps
    // What the driver would play wrongly (driverWarnings): each follows the
    // general yellow policy, as its own step after the lights'.
    std::vector<std::string> warnings;
};

// What happens before converting, in order. Empty: proceed at once. A Refuse
// stops (it is always the last step); an Ask answered No stops too; after the
// last step answered Yes the conversion proceeds. A red general light refuses
// whatever the policy; a yellow light or a warning asks or refuses unless its
// policy is ConvertAnyway; only the yellow state of the voice light counts.
std::vector<GateStep> conversionGate(const GateInput& input);

// What the Sonic 1 driver would play wrongly in the song as it stands
// (driverWarnings), its notes read from the module in memory; none while no
// module is loaded.
std::vector<std::string> songDriverWarnings(const SongModel& model);

// With "Play the module's volumes and effects" off, the hint that the loaded
// module uses what it would follow (moduleEffectsHint); empty otherwise.
std::string songEffectsHint(const SongModel& model);

// The gate's input for the song as it stands, its notes read from `rows`.
GateInput songGateInput(const SongModel& model, YellowPolicy generalPolicy, YellowPolicy voicePolicy,
                        const RowSource& rows);

// ---- The conversion.
// Where the song goes besides the outcome.
enum class SongTarget {
    Memory,   // nowhere: hearing, exporting, rendering
    Outputs,  // the selected outputs <base>.bin / <base>.asm beside the module (the command line)
    // The outputs, and the scratch files the windows keep (in
    // scratchDirectory): voices.tmp, and "Remove rests" applied to the drum
    // channel's C<n>.tmp.
    OutputsAndScratchFiles,
};

struct ConversionSettings {
    YellowPolicy generalPolicy = YellowPolicy::WarnAndAsk;
    YellowPolicy voicePolicy = YellowPolicy::WarnAndAsk;
    bool showSizeDecimal = false;  // success message: a line with the binary's size in decimal
    bool showSizeHex = false;      // success message: a line with the binary's size in hex
    SongTarget target = SongTarget::Memory;
    // Where OutputsAndScratchFiles finds the scratch files: the windows'
    // folder for them; empty, the module's folder.
    std::filesystem::path scratchDirectory;
};

// Answers one Ask step: true goes on.
using GateQuestion = std::function<bool(const GateStep&)>;

struct SongConversionOutcome {
    bool converted = false;
    // Set when the gate stopped the conversion: the step (a Refuse, or an Ask
    // answered No). The window shows the refusal's message and brings the
    // step's window to the front.
    std::optional<GateStep> stoppedAt;
    // After the gate: the success message (empty for SongTarget::Memory), or
    // the failure's message with its kind (Refused: exclamation; Error:
    // critical).
    std::string message;
    FailureKind failureKind = FailureKind::Error;
    // The song itself.
    Bytes binary;
    std::string listing;
};

// The one way a song is converted, for "Convert song", Play, Export and the
// command line: gates (an Ask step without `ask` stops), makes the song in
// memory from the loaded module with the model's choices and places it as
// `settings.target` says. The drum channel loses its key-offs while "Remove
// rests" is checked with drums (with OutputsAndScratchFiles the scratch file
// too, once per load: the box then greys; a scratch file that cannot be
// changed stops with the general error) and after it has acted in this load.
// The model must hold a loaded module, or the gate stops.
SongConversionOutcome convertSong(SongModel& model, const ConversionSettings& settings, const GateQuestion& ask,
                                  const RandomSource& random);

}  // namespace ferro
