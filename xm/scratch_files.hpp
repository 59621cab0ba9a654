#pragma once
// Names of the scratch and working files the program creates beside the
// loaded module, and their removal. Only these names are ever deleted.
#include <filesystem>
#include <string>

namespace ferro {

std::string patternChannelFileName(int pattern, int channel);  // P<p>C<n>.tmp
std::string rowStreamFileName(int channel);                     // C<n>.tmp
std::string mainSectionFileName(int channel);                   // BATMAN<n>.tmp
std::string introSectionFileName(int channel);                  // LOL<n>.tmp
inline constexpr const char* kVoicesFileName = "voices.tmp";

// True for exactly the names above (numbers in plain decimal without leading
// zeros, any letter case).
bool isScratchFileName(const std::string& name);

// Deletes every scratch file in `directory` and nothing else. A file that
// cannot be deleted is skipped; returns false if any could not be.
bool deleteScratchFiles(const std::filesystem::path& directory);

}  // namespace ferro
