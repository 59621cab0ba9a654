#pragma once
// The Sonic 1 sound folder the user chose for the previews and exports: kept
// with QSettings in the user's configuration folder (an INI file on every
// platform), apart from the program's settings file.
#include <QSettings>
#include <QString>

namespace ferro {

inline QSettings userSettings() {
    return QSettings(QSettings::IniFormat, QSettings::UserScope, "Ferrocanto", "Ferrocanto");
}

inline QString soundFolderSetting() { return userSettings().value("player/soundFolder").toString(); }

inline void setSoundFolderSetting(const QString& folder) { userSettings().setValue("player/soundFolder", folder); }

}  // namespace ferro
