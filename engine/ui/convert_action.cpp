#include "engine/ui/convert_action.hpp"

#include "app/ui/main_window.hpp"

namespace ferro {

void convertSongAction(MainWindow&) {}
void mainConversionAction(MainWindow&) {}

}  // namespace ferro
