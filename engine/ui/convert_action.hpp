#pragma once
// The convert action of the main window: the song's conversion path over the
// choices gathered from the windows, with its questions and messages in boxes.

#include <QString>
#include <optional>

#include "base/byte_reader.hpp"

namespace ferro {

class MainWindow;
class SongModel;

void convertSongAction(MainWindow& main);

// The song as the windows hold it, copied into `song`; false without a module.
bool songAsItStands(MainWindow& main, SongModel& song);

// The song the current choices give, made in memory for listening: nothing
// is written. Empty with `error` set when there is no song to play.
std::optional<Bytes> songBytesForPreview(MainWindow& main, QString& error);
// The name of the loaded module without its extension, for file names and tags.
QString songBaseName(MainWindow& main);

}  // namespace ferro
