#pragma once
// Window sizes are kept in twips, as the program's layouts were first drawn;
// 15 twips make a pixel at the usual 96 dots per inch.
namespace ferro {

inline constexpr int kTwipsPerPixel = 15;

inline constexpr int px(int twips) { return twips / kTwipsPerPixel; }

}  // namespace ferro
