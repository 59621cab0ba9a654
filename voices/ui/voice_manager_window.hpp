#pragma once
// Placeholder until the Voice manager lands; the public routines below are
// the ones the other windows call and must stay.
#include <QWidget>

#include "voices/song_voice_list.hpp"

namespace ferro {

class MainWindow;

class VoiceManagerWindow : public QWidget {
    Q_OBJECT
public:
    explicit VoiceManagerWindow(MainWindow& main, QWidget* parent = nullptr) : QWidget(parent), main_(main) {
        setWindowTitle("Voice manager");
    }
    void pocketman() {}
    void I_AM_BATMAN(const QString&) {}
    const SongVoiceList& songVoices() const { return voices_; }

private:
    MainWindow& main_;
    SongVoiceList voices_;
};

}  // namespace ferro
