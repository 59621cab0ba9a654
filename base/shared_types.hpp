#pragma once
// Small types that several subsystems share.
#include <cstdint>

namespace ferro {

// The two readiness lights: the general one (channel assignment) and the
// voice one, which is never red.
enum class ReadinessLight { Red, Yellow, Green };

// What the convert action does on a yellow light.
enum class YellowPolicy : std::uint8_t { ConvertAnyway = 0, WarnAndAsk = 1, WarnAndHalt = 2 };

// Whether closing the program asks first.
enum class ExitPolicy : std::uint8_t { ExitAnyway = 0, AskIfLoaded = 1, AskAlways = 2, DoNotExit = 3 };

enum class PanChoice : std::uint8_t { Default = 0, Centre = 1, Left = 2, Right = 3, Random = 4 };

// The sound driver a song is written for and played by.
enum class SoundDriver : std::uint8_t { Sonic1 = 0, Sonic2 = 1 };

enum class ChannelRole : std::uint8_t { None = 0, Fm = 1, Dac = 2, PsgTone = 3, PsgNoise = 4 };

// The program's title, used by every message box that names no title.
inline constexpr const char* kProgramTitle = "Ferrocanto";
// The one message for any unexpected failure of a load or a conversion.
inline constexpr const char* kSomeError = "Some kind of error happened";

}  // namespace ferro
