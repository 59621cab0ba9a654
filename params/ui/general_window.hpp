#pragma once
// Placeholder until the General parametres window lands; the public routines
// below are the ones the other windows call and must stay.
#include <QWidget>

#include "params/song_settings.hpp"

namespace ferro {

class MainWindow;

class GeneralWindow : public QWidget {
    Q_OBJECT
public:
    explicit GeneralWindow(MainWindow& main, QWidget* parent = nullptr) : QWidget(parent), main_(main) {
        setWindowTitle("General parametres");
    }
    void resetChannelAssignment(int channelCount) { ferro::resetChannelAssignment(assignment_, channelCount); }
    int channelListCount() const { return assignment_.channelCount; }
    void selectDefaultTempos() {}
    void controllino() {}
    const SongSettings& settings() const { return settings_; }
    const ChannelAssignment& assignment() const { return assignment_; }

private:
    MainWindow& main_;
    SongSettings settings_;
    ChannelAssignment assignment_;
};

}  // namespace ferro
