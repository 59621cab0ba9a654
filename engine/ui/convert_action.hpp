#pragma once
// The convert action of the main window: the readiness gating, the "Remove
// rests" pre-pass, and the conversion of the request gathered from the windows.

namespace ferro {

class MainWindow;

void convertSongAction(MainWindow& main);
void mainConversionAction(MainWindow& main);

}  // namespace ferro
