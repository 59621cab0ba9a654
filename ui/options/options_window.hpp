#pragma once
// The Options window: the five preferences, saved to the settings file in
// the start-up folder at every click. It lives for the whole run, so the
// options are always there for the conversion and the exit sequence.
#include <QWidget>
#include <array>
#include <filesystem>

#include "settings/options.hpp"

class QCheckBox;
class QGroupBox;
class QCloseEvent;
class QEvent;
class QLabel;
class QPushButton;
class QRadioButton;

namespace ferro {

class Dialogs;

class OptionsWindow : public QWidget {
    Q_OBJECT
public:
    static constexpr const char* kCaption = "Options";
    static constexpr const char* kCaptionUnsaved = "Options (warning: can't be saved)";

    // Reads the settings file (the defaults when it is missing or broken),
    // shows the choices and saves them at once; `dialogs` asks for the sound
    // folder.
    OptionsWindow(Dialogs& dialogs, std::filesystem::path settingsFile, QWidget* parent = nullptr);

    // The choices in force.
    AppOptions options() const { return options_; }
    // Takes the choices from the controls and writes the settings file; on
    // failure the caption says so and the choices stay in effect for this run.
    void saveChoices();
    // "Ok": asks to be minimised.
    void minimiseWindow();

    const std::filesystem::path& settingsFile() const { return settingsFile_; }
    bool lastSaveFailed() const { return saveFailed_; }

signals:
    // The main window, which holds the window's frame, minimises it.
    void minimiseRequested();

protected:
    // Gives the frame the main window puts around it the same controls.
    void changeEvent(QEvent* event) override;

private:
    // The constructor's parts.
    QGroupBox* createAfterConversionFrame();
    QGroupBox* createListeningFrame();
    void wireControls();
    void showOptions(const AppOptions& options);
    void showSoundFolder();
    void chooseSoundFolder();
    AppOptions optionsFromControls() const;

    Dialogs& dialogs_;
    std::filesystem::path settingsFile_;
    AppOptions options_;
    bool saveFailed_ = false;
    std::array<QRadioButton*, 3> generalYellowButtons_{};
    std::array<QRadioButton*, 3> voiceYellowButtons_{};
    std::array<QRadioButton*, 4> exitButtons_{};
    QCheckBox* sizeDecimal_ = nullptr;
    QCheckBox* sizeHex_ = nullptr;
    QPushButton* okButton_ = nullptr;
    QPushButton* soundFolderButton_ = nullptr;
    QLabel* soundFolderLabel_ = nullptr;
};

}  // namespace ferro
