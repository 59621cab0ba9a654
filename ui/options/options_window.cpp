#include "ui/options/options_window.hpp"
#include "ui/common/sound_folder.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QDir>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QVBoxLayout>

#include "base/paths.hpp"
#include "player/sound_data.hpp"
#include "ui/common/dialogs.hpp"

namespace ferro {

namespace {

// Title and minimise control only: the window has a fixed size and stays
// open for the whole run.
// Its close control hides it, as every child window's does.
constexpr Qt::WindowFlags kFrameFlags =
    Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;

template <std::size_t N>
QGroupBox* optionFrame(QWidget* parent, const char* frameName, const QString& caption, const char* buttonName,
                       const std::array<const char*, N>& captions, std::array<QRadioButton*, N>& buttons) {
    auto* frame = new QGroupBox(caption, parent);
    frame->setObjectName(frameName);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(6, 2, 6, 4);
    column->setSpacing(0);
    for (std::size_t i = 0; i < N; ++i) {
        buttons[i] = new QRadioButton(captions[i], frame);
        buttons[i]->setObjectName(QString("%1_%2").arg(buttonName).arg(i));
        column->addWidget(buttons[i]);
    }
    column->addStretch(1);
    return frame;
}

template <std::size_t N>
int selectedIndex(const std::array<QRadioButton*, N>& buttons, int fallback) {
    for (std::size_t i = 0; i < N; ++i)
        if (buttons[i]->isChecked()) return static_cast<int>(i);
    return fallback;
}

}  // namespace

OptionsWindow::OptionsWindow(Dialogs& dialogs, std::filesystem::path settingsFile, QWidget* parent)
    : QWidget(parent), dialogs_(dialogs), settingsFile_(std::move(settingsFile)) {
    setObjectName("OptionsWindow");
    setWindowTitle(kCaption);
    setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogContentsView));
    // A child with a fixed border: it can be minimised out of the way and
    // restored, but neither maximised nor closed.
    setWindowFlags(kFrameFlags | Qt::Window);

    // The controls are made in the order the Tab key goes through them.
    const std::array<const char*, 3> yellow = {"Convert anyway", "Warn and ask", "Warn and halt"};
    const std::array<const char*, 4> exits = {"Exit anyway", "Ask, if XM is loaded", "Ask, always", "Do not exit"};
    QGroupBox* generalFrame = optionFrame(this, "generalYellowFrame", "If \"General Parametres\" is yellow",
                                          "generalYellowButton", yellow, generalYellowButtons_);
    QGroupBox* voiceFrame = optionFrame(this, "voiceYellowFrame", "If \"Voice Manager\" is yellow", "voiceYellowButton",
                                        yellow, voiceYellowButtons_);
    QGroupBox* exitFrame =
        optionFrame(this, "exitFrame", "When trying to exit", "exitChoiceButton", exits, exitButtons_);

    QGroupBox* afterFrame = createAfterConversionFrame();
    okButton_ = new QPushButton("Ok", this);
    okButton_->setObjectName("okButton");

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->setSpacing(6);
    grid->addWidget(generalFrame, 0, 0);
    grid->addWidget(voiceFrame, 0, 1, 1, 2);
    grid->addWidget(exitFrame, 1, 0);
    grid->addWidget(afterFrame, 1, 1);
    grid->addWidget(okButton_, 1, 2, Qt::AlignBottom);
    grid->addWidget(createListeningFrame(), 2, 0, 1, 3);
    grid->setSizeConstraint(QLayout::SetFixedSize);
    wireControls();

    showSoundFolder();
    showOptions(loadOptions(settingsFile_));
    saveChoices();
}

// What the conversion's message tells besides the files written.
QGroupBox* OptionsWindow::createAfterConversionFrame() {
    auto* afterFrame = new QGroupBox("After the conversion", this);
    afterFrame->setObjectName("afterConversionFrame");
    auto* afterColumn = new QVBoxLayout(afterFrame);
    afterColumn->setContentsMargins(6, 2, 6, 4);
    afterColumn->setSpacing(0);
    sizeDecimal_ = new QCheckBox("Display the size of the binary file (decimal)", afterFrame);
    sizeDecimal_->setObjectName("sizeDecimalBox");
    sizeHex_ = new QCheckBox("Display the size of the binary file (hex)", afterFrame);
    sizeHex_->setObjectName("sizeHexBox");
    afterColumn->addWidget(sizeDecimal_);
    afterColumn->addWidget(sizeHex_);
    afterColumn->addStretch(1);
    return afterFrame;
}

// The sounds of the driver's own disassembly (Sonic 1 or Sonic 2) that the
// previews play: kept for the user, not in the settings file.
QGroupBox* OptionsWindow::createListeningFrame() {
    auto* soundFrame = new QGroupBox("Listening", this);
    soundFrame->setObjectName("SoundFrame");
    auto* soundRow = new QHBoxLayout(soundFrame);
    soundFolderButton_ = new QPushButton("Sound folder...", soundFrame);
    soundFolderButton_->setObjectName("SoundFolderButton");
    soundFolderButton_->setToolTip("A Sonic 1 or Sonic 2 disassembly: its PSG envelopes and drum samples play in the previews of "
                                  "songs for that driver");
    soundFolderLabel_ = new QLabel(soundFrame);
    soundFolderLabel_->setObjectName("SoundFolderLabel");
    soundFolderLabel_->setAccessibleName("Sound folder");
    soundRow->addWidget(soundFolderButton_);
    soundRow->addWidget(soundFolderLabel_, 1);
    return soundFrame;
}

// Only the user's clicks save; the constructor sets the controls quietly and
// saves once at its end.
void OptionsWindow::wireControls() {
    for (QRadioButton* b : generalYellowButtons_) connect(b, &QRadioButton::clicked, this, &OptionsWindow::saveChoices);
    for (QRadioButton* b : voiceYellowButtons_) connect(b, &QRadioButton::clicked, this, &OptionsWindow::saveChoices);
    for (QRadioButton* b : exitButtons_) connect(b, &QRadioButton::clicked, this, &OptionsWindow::saveChoices);
    connect(sizeDecimal_, &QCheckBox::clicked, this, &OptionsWindow::saveChoices);
    connect(sizeHex_, &QCheckBox::clicked, this, &OptionsWindow::saveChoices);
    connect(okButton_, &QPushButton::clicked, this, &OptionsWindow::minimiseWindow);
    connect(soundFolderButton_, &QPushButton::clicked, this, &OptionsWindow::chooseSoundFolder);
}

namespace {

// Which disassembly the folder holds, as the label says it.
QString soundFolderKind(const QString& folder) {
    const auto driver = disassemblyDriver(pathFromUtf8(folder.toStdString()));
    if (!driver) return "no disassembly found: built-in sounds";
    return *driver == SoundDriver::Sonic2 ? "a Sonic 2 disassembly" : "a Sonic 1 disassembly";
}

}  // namespace

void OptionsWindow::showSoundFolder() {
    const QString folder = soundFolderSetting();
    const QString shown = folder.isEmpty() ? QString("None: built-in sounds")
                                           : QDir::toNativeSeparators(folder) + " (" + soundFolderKind(folder) + ")";
    soundFolderLabel_->setText(shown);
    soundFolderLabel_->setAccessibleDescription(shown);
}

void OptionsWindow::chooseSoundFolder() {
    const auto folder = dialogs_.existingFolder("Sound folder", soundFolderSetting());
    if (!folder) return;
    setSoundFolderSetting(*folder);
    showSoundFolder();
}

void OptionsWindow::showOptions(const AppOptions& options) {
    generalYellowButtons_[static_cast<std::size_t>(options.generalPolicy)]->setChecked(true);
    voiceYellowButtons_[static_cast<std::size_t>(options.voicePolicy)]->setChecked(true);
    exitButtons_[static_cast<std::size_t>(options.exitPolicy)]->setChecked(true);
    sizeDecimal_->setChecked(options.showSizeDecimal);
    sizeHex_->setChecked(options.showSizeHex);
}

AppOptions OptionsWindow::optionsFromControls() const {
    AppOptions o;
    o.generalPolicy =
        static_cast<YellowPolicy>(selectedIndex(generalYellowButtons_, static_cast<int>(o.generalPolicy)));
    o.voicePolicy = static_cast<YellowPolicy>(selectedIndex(voiceYellowButtons_, static_cast<int>(o.voicePolicy)));
    o.exitPolicy = static_cast<ExitPolicy>(selectedIndex(exitButtons_, static_cast<int>(o.exitPolicy)));
    o.showSizeDecimal = sizeDecimal_->isChecked();
    o.showSizeHex = sizeHex_->isChecked();
    return o;
}

void OptionsWindow::saveChoices() {
    options_ = optionsFromControls();
    saveFailed_ = !saveOptions(settingsFile_, options_);
    setWindowTitle(saveFailed_ ? kCaptionUnsaved : kCaption);
}

void OptionsWindow::minimiseWindow() { emit minimiseRequested(); }

void OptionsWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::ParentChange) return;
    if (auto* frame = qobject_cast<QMdiSubWindow*>(parentWidget())) frame->setWindowFlags(Qt::SubWindow | kFrameFlags);
}

}  // namespace ferro
