#include "app/main_window.hpp"
#include "ui/common/light_pictures.hpp"
#include "ui/common/twips.hpp"
#include "ui/player/song_preview.hpp"
#include "ui/common/sound_folder.hpp"
#include "ui/common/scratch_area.hpp"
#include "ui/module/explorer_window.hpp"
#include "player/wav_render.hpp"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QPainter>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "base/paths.hpp"
#include "engine/saxman.hpp"
#include "player/saxman.hpp"
#include "song/song_conversion.hpp"
#include "song/song_setup.hpp"
#include "xm/xm_reader.hpp"

namespace ferro {

namespace {

QFrame* separator(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

}  // namespace

MainWindow::MainWindow(Dialogs& dialogs, QWidget* parent) : QMainWindow(parent), dialogs_(dialogs) {
    setObjectName("MainWindow");
    setWindowTitle("Quillon's XM to SMPS converter 3.3.2");
    QApplication::setApplicationName(kProgramTitle);
    QApplication::setApplicationDisplayName(QString());
    setMinimumSize(px(kMinWidthTwips), px(kMinHeightTwips));
    resize(minimumSize());

    auto* central = new QWidget(this);
    auto* row = new QHBoxLayout(central);
    row->setContentsMargins(4, 4, 4, 4);
    row->setSpacing(4);
    row->addWidget(createButtons(central));
    mdi_ = new QMdiArea(central);
    mdi_->setObjectName("ClientArea");
    mdi_->setBackground(QColor(128, 128, 128));
    row->addWidget(mdi_, 1);
    setCentralWidget(central);

    createActions();
    createModuleFileActions();
    createStatusBar();
    wireButtons();
    wirePreview(systemAudioOut());
    modelSubscription_ = model_.subscribe([this](SongChanges changes) { songChanged(changes); });
    onModuleUnloaded();
}

// The bar on the left: a button per window, Convert with the output formats
// under it, Play and Stop, Exit and About.
QWidget* MainWindow::createButtons(QWidget* parent) {
    auto* bar = new QWidget(parent);
    bar->setObjectName("ButtonBar");
    // Wide enough for the longest caption on one line at the platform's font.
    const int buttonWidth = std::max(px(1155), fontMetrics().horizontalAdvance("General parametres") + 16);
    bar->setFixedWidth(buttonWidth + 8);
    auto* column = new QVBoxLayout(bar);
    column->setContentsMargins(2, 2, 2, 2);
    column->setSpacing(3);

    explorerButton_ = makeButton("explorerButton", "XM explor&er",
                                 "The XM explorer will allow you to load an XM for the conversion",
                                 QStyle::SP_DirOpenIcon);
    generalButton_ = makeButton("generalButton", "Ge&neral parametres", "Here you set up the header of the song",
                                QStyle::SP_FileDialogDetailedView);
    voiceButton_ = makeButton("voiceManagerButton", "&Voice manager",
                              "Here you can load the voices you'll be using in your song", QStyle::SP_MediaVolume);
    moreButton_ = makeButton("moreButton", "M&ore parametres",
                             "Here you set up most of the parametres, including volume, DAC samples...",
                             QStyle::SP_FileDialogListView);
    convertButton_ = makeButton("convertButton", "Convert &song",
                                "Once the traffic light is green, click here to convert your song",
                                QStyle::SP_DialogSaveButton);
    exitButton_ = makeButton("exitButton", "E&xit", "Click here if you don't want to convert more songs",
                             QStyle::SP_DialogCloseButton);
    aboutButton_ = makeButton("aboutButton", "&wtf", "lol what", QStyle::SP_MessageBoxQuestion);
    aboutButton_->setCursor(Qt::WhatsThisCursor);
    playButton_ = makeButton("PlayButton", "Play", "Hear the song as the Sonic 1 sound driver plays it",
                             QStyle::SP_MediaPlay);
    stopButton_ = makeButton("StopButton", "Stop", "Stop the song", QStyle::SP_MediaStop);

    column->addWidget(explorerButton_);
    column->addWidget(generalButton_);
    column->addWidget(voiceButton_);
    column->addWidget(moreButton_);
    column->addWidget(separator(bar));
    column->addWidget(convertButton_);
    column->addWidget(createFormatBoxes(bar));
    // Side by side, so that the bar still fits a 768-pixel screen whole.
    auto* playRow = new QHBoxLayout;
    playRow->setSpacing(3);
    playButton_->setFixedWidth((buttonWidth - 3) / 2);
    stopButton_->setFixedWidth((buttonWidth - 3) / 2);
    playRow->addWidget(playButton_);
    playRow->addWidget(stopButton_);
    column->addLayout(playRow);
    column->addWidget(separator(bar));
    column->addWidget(exitButton_);
    column->addWidget(separator(bar));
    column->addWidget(aboutButton_);
    column->addStretch(1);
    return bar;
}

// "Create": the files Convert writes, and the style of the .asm.
QGroupBox* MainWindow::createFormatBoxes(QWidget* parent) {
    createFrame_ = new QGroupBox("Create", parent);
    createFrame_->setObjectName("outputFormatsFrame");
    createFrame_->setFixedHeight(px(1395));
    auto* frameLayout = new QVBoxLayout(createFrame_);
    frameLayout->setContentsMargins(6, 2, 6, 2);
    binBox_ = new QCheckBox(".&bin", createFrame_);
    binBox_->setObjectName("binBox");
    binBox_->setToolTip("Output the song as a SMPS binary file (Sonic 1 format)");
    binBox_->setChecked(true);
    asmBox_ = new QCheckBox(".&asm", createFrame_);
    asmBox_->setObjectName("asmBox");
    asmBox_->setToolTip("Output the song as an assembly program");
    smps2asmBox_ = new QCheckBox("SMPS2ASM", createFrame_);
    smps2asmBox_->setObjectName("smps2asmBox");
    smps2asmBox_->setToolTip("Write the .asm as an SMPS2ASM song, to include in a disassembly after its macro file");
    smps2asmBox_->setEnabled(false);
    frameLayout->addWidget(binBox_);
    frameLayout->addWidget(asmBox_);
    frameLayout->addWidget(smps2asmBox_);
    return createFrame_;
}

// The File menu (setups and exports) and the Window menu, from which every
// window of the client area can be reached, minimised or hidden behind others.
void MainWindow::createActions() {
    QMenu* fileMenu = nullptr;
    for (QAction* a : menuBar()->actions())
        if (a->menu() && a->menu()->objectName() == "FileMenu") fileMenu = a->menu();
    if (!fileMenu) {
        fileMenu = menuBar()->addMenu("&File");
        fileMenu->setObjectName("FileMenu");
    }
    openSetupAction_ = fileMenu->addAction("Open setup...", this, &MainWindow::openSetup);
    openSetupAction_->setObjectName("OpenSetupAction");
    saveSetupAction_ = fileMenu->addAction("Save setup...", this, &MainWindow::saveSetup);
    saveSetupAction_->setObjectName("SaveSetupAction");
    fileMenu->addSeparator();
    exportVgmAction_ = fileMenu->addAction("Export VGM...", this, [this] { exportSong(false); });
    exportVgmAction_->setObjectName("ExportVgmAction");
    exportWavAction_ = fileMenu->addAction("Export WAV...", this, [this] { exportSong(true); });
    exportWavAction_->setObjectName("ExportWavAction");
    windowMenu_ = menuBar()->addMenu("&Window");
    windowMenu_->setObjectName("WindowMenu");
    connect(windowMenu_, &QMenu::aboutToShow, this, &MainWindow::fillWindowMenu);
    fillWindowMenu();
}

// Message, the song's progress and position while it plays, Num, Caps and
// Scroll Lock, time, date.
void MainWindow::createStatusBar() {
    messagePanel_ = new QLabel("No XM file loaded!", this);
    messagePanel_->setObjectName("StatusMessage");
    messagePanel_->setToolTip("No XM file loaded!");
    statusBar()->addWidget(messagePanel_, 1);
    playProgress_ = new QProgressBar(this);
    playProgress_->setObjectName("PlayProgress");
    playProgress_->setAccessibleName("Rendering the song");
    playProgress_->setRange(0, 100);
    playProgress_->setMaximumWidth(120);
    playProgress_->hide();
    statusBar()->addPermanentWidget(playProgress_);
    positionPanel_ = new QLabel(this);
    positionPanel_->setObjectName("PlayPosition");
    positionPanel_->setAccessibleName("Song position");
    positionPanel_->setFrameShape(QFrame::StyledPanel);
    positionPanel_->setAlignment(Qt::AlignCenter);
    positionPanel_->hide();
    statusBar()->addPermanentWidget(positionPanel_);
    for (const char* key : {"NUM", "CAPS", "SCRL"}) {
        auto* panel = new QLabel(key, this);
        panel->setObjectName(QString("Status") + key);
        panel->setAlignment(Qt::AlignCenter);
        panel->setMinimumWidth(44);
        panel->setFrameShape(QFrame::StyledPanel);
        statusBar()->addPermanentWidget(panel);
    }
    timePanel_ = new QLabel(this);
    timePanel_->setObjectName("StatusTime");
    datePanel_ = new QLabel(this);
    datePanel_->setObjectName("StatusDate");
    for (QLabel* l : {timePanel_, datePanel_}) {
        l->setFrameShape(QFrame::StyledPanel);
        l->setMinimumWidth(80);
        l->setAlignment(Qt::AlignCenter);
        statusBar()->addPermanentWidget(l);
    }
    auto* clock = new QTimer(this);
    auto tick = [this] {
        const QDateTime now = QDateTime::currentDateTime();
        timePanel_->setText(now.time().toString("HH:mm"));
        datePanel_->setText(now.date().toString("dd/MM/yyyy"));
    };
    connect(clock, &QTimer::timeout, this, tick);
    clock->start(1000);
    tick();
}

// Each button and format box to its action; the formats are the song
// model's, the boxes only show them.
void MainWindow::wireButtons() {
    connect(explorerButton_, &QToolButton::clicked, this, [this] { bringToFront(explorer_); });
    connect(generalButton_, &QToolButton::clicked, this, [this] { bringToFront(general_); });
    connect(voiceButton_, &QToolButton::clicked, this, [this] { bringToFront(voiceManager_); });
    connect(moreButton_, &QToolButton::clicked, this, [this] { bringToFront(more_); });
    connect(convertButton_, &QToolButton::clicked, this, &MainWindow::convertSong);
    connect(exitButton_, &QToolButton::clicked, this, &MainWindow::close);
    connect(aboutButton_, &QToolButton::clicked, this, &MainWindow::showAbout);
    connect(playButton_, &QToolButton::clicked, this, &MainWindow::playSong);
    connect(stopButton_, &QToolButton::clicked, this, &MainWindow::stopSong);
    connect(binBox_, &QCheckBox::clicked, this, [this](bool on) { model_.setWriteBin(on); });
    connect(asmBox_, &QCheckBox::clicked, this, [this](bool on) { model_.setWriteAsm(on); });
    connect(smps2asmBox_, &QCheckBox::clicked, this,
            [this](bool on) { model_.setAsmStyle(on ? AsmStyle::Smps2asm : AsmStyle::Plain); });
}

MainWindow::~MainWindow() {
    model_.unsubscribe(modelSubscription_);
    // Top-level windows of their own, not children of this one; they work on
    // the model's voices.
    delete pasteWindow_.data();
    delete bankWindow_.data();
    // The windows in the client area read the model to the last: they go
    // before it does, not with the main window's children after it.
    delete mdi_;
}

void MainWindow::songChanged(SongChanges changes) {
    if (changed(changes, SongPart::Outputs)) {
        const QSignalBlocker bin(binBox_), asm_(asmBox_), style(smps2asmBox_);
        binBox_->setChecked(model_.writeBin());
        asmBox_->setChecked(model_.writeAsm());
        // The style is a choice about the .asm file only.
        smps2asmBox_->setChecked(model_.asmStyle() == AsmStyle::Smps2asm);
        smps2asmBox_->setEnabled(model_.writeAsm());
        updateConvertButton();
    }
    if (changed(changes, SongPart::Lights) || changed(changes, SongPart::Module)) showLights();
    const SongChanges heard = changes & ~(static_cast<unsigned>(SongPart::Outputs) | static_cast<unsigned>(SongPart::Lights));
    if (heard != 0 && model_.isLoaded() && previewJob_ == PreviewJob::Playing && preview_->busy())
        messagePanel_->setText("Playing the song as converted at " + playConvertedAt_ +
                               "; press F5 to hear your changes");
}

QToolButton* MainWindow::makeButton(const char* name, const QString& caption, const QString& tip, int iconKind) {
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(tip);
    b->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(iconKind)));
    b->setIconSize(QSize(32, 32));
    b->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    b->setFixedSize(std::max(px(1155), fontMetrics().horizontalAdvance("General parametres") + 16), px(975));
    b->setAutoFillBackground(true);
    return b;
}

bool MainWindow::startUp() {
    const QSize screen = dialogs_.screenSize();
    if (screen.width() < px(kMinWidthTwips) || screen.height() < px(kMinHeightTwips)) {
        const bool runAnyway = dialogs_.askYesNo(
            "Your screen is too small to contain the whole Ferrocanto interface.\r\nDo you want to run it anyway?",
            MessageIcon::Exclamation, true);
        if (!runAnyway) return false;
    }
    // What a run killed (a logout, a shutdown) left in the cache folder.
    ScratchArea::removeLeftovers();
    createExplorer();
    return true;
}

void MainWindow::onModuleLoaded(const QString& folder, const QString& fileName) {
    generalButton_->setEnabled(true);
    voiceButton_->setEnabled(true);
    moreButton_->setEnabled(true);
    createFrame_->setEnabled(true);
    openSetupAction_->setEnabled(true);
    saveSetupAction_->setEnabled(true);
    updateConvertButton();
    updatePlayButtons();
    // The folder and the name joined with the platform's own separator
    // (a backslash on Windows), without doubling it after a drive's root.
    QString shownFolder = QDir::toNativeSeparators(folder);
    if (shownFolder.endsWith(QDir::separator())) shownFolder.chop(1);
    messagePanel_->setText("XM file loaded: " + shownFolder + QDir::separator() + fileName);
}

RandomSource MainWindow::panRandom() const { return panSeed_ ? seededRandom(*panSeed_) : clockSeededRandom(); }

void MainWindow::saveSetup() {
    const XmModule* module = model_.module();
    if (!module) return;
    const QString suggested = QString::fromStdU16String(
        (module->directory / pathFromUtf8(utf8FromPath(pathFromUtf8(module->fileName).stem()) + ".json")).u16string());
    const auto chosen = dialogs_.saveFileName("Save setup", suggested, "Song setup files (*.json)");
    if (!chosen) return;
    QString file = *chosen;
    if (!file.endsWith(".json", Qt::CaseInsensitive)) file += ".json";
    if (!saveSongSetup(model_, std::filesystem::path(file.toStdU16String())))
        dialogs_.showMessage(QDir::toNativeSeparators(file) + " cannot be written.", MessageIcon::Critical);
}

void MainWindow::openSetup() {
    const XmModule* module = model_.module();
    if (!module) return;
    const auto chosen = dialogs_.openFileName("Open setup", QString::fromStdU16String(module->directory.u16string()),
                                              "Song setup files (*.json)");
    if (chosen) applySetupFile(*chosen);
}

void MainWindow::applySetupFile(const QString& file) {
    std::vector<std::string> warnings;
    const auto error = openSongSetup(model_, std::filesystem::path(file.toStdU16String()), &warnings);
    if (error) {
        // The command line's message, after the file's name: it names the key.
        dialogs_.showMessage(QDir::toNativeSeparators(file) + ": " + QString::fromStdString(error->message),
                             MessageIcon::Exclamation);
        return;
    }
    if (!warnings.empty()) {
        QStringList lines;
        for (const std::string& w : warnings) lines << QString::fromStdString(w);
        dialogs_.showMessage(lines.join("\r\n"), MessageIcon::Exclamation);
    }
}

void MainWindow::onModuleUnloaded() {
    messagePanel_->setText("No XM file loaded!");
    generalButton_->setEnabled(false);
    showLights();
    voiceButton_->setEnabled(false);
    moreButton_->setEnabled(false);
    convertButton_->setEnabled(false);
    createFrame_->setEnabled(false);
    openSetupAction_->setEnabled(false);
    saveSetupAction_->setEnabled(false);
    if (preview_) preview_->stop();
    updatePlayButtons();
}

QString MainWindow::statusText() const { return messagePanel_->text(); }

bool MainWindow::writeBin() const { return model_.writeBin(); }
bool MainWindow::writeAsm() const { return model_.writeAsm(); }
AsmStyle MainWindow::asmStyle() const { return model_.asmStyle(); }

void MainWindow::updatePlayButtons() {
    // The model's word, not a widget's enabled state: while a window such as
    // "Paste or type a voice..." is open the whole main window is disabled,
    // and a light that changes then must still be shown when it closes.
    const bool loaded = model_.isLoaded();
    const bool busy = preview_ && preview_->busy();
    const bool convertible = loaded && model_.generalLight() != ReadinessLight::Red;
    playButton_->setEnabled(convertible && !busy);
    stopButton_->setEnabled(busy);
    exportVgmAction_->setEnabled(convertible && !busy);
    exportWavAction_->setEnabled(convertible && !busy);
}

// The preview plays and exports on a worker of its own; the status bar
// shows its progress and position, its failures come as messages.
void MainWindow::wirePreview(std::unique_ptr<AudioOut> out) {
    preview_ = new SongPreview(std::move(out), this);
    connect(preview_, &SongPreview::progress, this, [this](int percent) {
        playProgress_->setValue(percent);
        playProgress_->setVisible(percent < 100);
    });
    connect(preview_, &SongPreview::positionChanged, this, [this](const QString& text) {
        positionPanel_->setText(text);
        positionPanel_->setAccessibleDescription(text);
        positionPanel_->show();
    });
    connect(preview_, &SongPreview::soundDataUsed, this, [this](const QString& line) {
        statusBar()->showMessage(line, 8000);
    });
    connect(preview_, &SongPreview::loopNote, this, [this](const QString& line) { exportNote_ = line; });
    connect(preview_, &SongPreview::exported, this, [this](const QString& path) {
        QString text = QDir::toNativeSeparators(path) + " written";
        if (!exportNote_.isEmpty()) text += "\r\n" + exportNote_.left(1).toUpper() + exportNote_.mid(1);
        exportNote_.clear();
        dialogs_.showMessage(text, MessageIcon::Information);
    });
    connect(preview_, &SongPreview::failed, this, [this](const QString& message) {
        dialogs_.showMessage(message, MessageIcon::Exclamation);
    });
    connect(preview_, &SongPreview::stopped, this, [this] {
        previewJob_ = PreviewJob::None;
        playProgress_->hide();
        positionPanel_->hide();
        updatePlayButtons();
    });
}

void MainWindow::setAudioOut(std::unique_ptr<AudioOut> out) {
    delete preview_;
    wirePreview(std::move(out));
    updatePlayButtons();
}

// The current choices converted in memory for hearing or exporting; a song
// that can't be converted says why and gives nothing. The lights and the
// driver's warnings ask or refuse first, as "Convert song" does.
std::optional<Bytes> MainWindow::songForPreview() {
    QString error;
    if (!model_.isLoaded()) {
        error = "No XM file loaded!";
    } else if (model_.generalLight() == ReadinessLight::Red) {
        error = kGeneralRefusedMessage;
    } else {
        const AppOptions options = appOptions();
        ConversionSettings hearing;
        hearing.generalPolicy = options.generalPolicy;
        hearing.voicePolicy = options.voicePolicy;
        const auto ask = [this](const GateStep& step) {
            return dialogs_.askYesNo(QString::fromStdString(step.message), MessageIcon::Question);
        };
        SongConversionOutcome song = ferro::convertSong(model_, hearing, ask, panRandom());
        if (song.stoppedAt) {
            if (song.stoppedAt->action == GateAction::Refuse)
                dialogs_.showMessage(QString::fromStdString(song.stoppedAt->message), MessageIcon::Critical);
            bringToFront(song.stoppedAt->window == GateWindow::GeneralParametres ? general_ : voiceManager_);
            return std::nullopt;
        }
        if (song.converted) return std::move(song.binary);
        error = QString::fromStdString(song.message);
    }
    dialogs_.showMessage(error, MessageIcon::Exclamation);
    return std::nullopt;
}

QString MainWindow::songBaseName() const {
    const XmModule* module = model_.module();
    if (!module) return "song";
    return QFileInfo(QString::fromStdString(module->fileName)).completeBaseName();
}

QString MainWindow::songTitleText() const {
    const XmModule* module = model_.module();
    return module ? QString::fromStdString(songTitle(*module)) : QString("song");
}

void MainWindow::convertSong() {
    if (!model_.isLoaded()) return;
    const AppOptions options = appOptions();
    ConversionSettings settings;
    settings.generalPolicy = options.generalPolicy;
    settings.voicePolicy = options.voicePolicy;
    settings.showSizeDecimal = options.showSizeDecimal;
    settings.showSizeHex = options.showSizeHex;
    settings.target = SongTarget::OutputsAndScratchFiles;
    if (explorer()) settings.scratchDirectory = explorer()->scratchDirectory();
    const auto ask = [this](const GateStep& step) {
        return dialogs_.askYesNo(QString::fromStdString(step.message), MessageIcon::Question);
    };
    const SongConversionOutcome outcome = ferro::convertSong(model_, settings, ask, panRandom());
    if (outcome.stoppedAt) {
        if (outcome.stoppedAt->action == GateAction::Refuse)
            dialogs_.showMessage(QString::fromStdString(outcome.stoppedAt->message), MessageIcon::Critical);
        bringToFront(outcome.stoppedAt->window == GateWindow::GeneralParametres ? general_ : voiceManager_);
        return;
    }
    const MessageIcon icon = outcome.converted                                ? MessageIcon::Information
                             : outcome.failureKind == FailureKind::Refused ? MessageIcon::Exclamation
                                                                           : MessageIcon::Critical;
    dialogs_.showMessage(QString::fromStdString(outcome.message), icon);
}

namespace {

// Where the chosen driver plays the song from, as the game holds it.
SongPlacement songPlacement(const SongSettings& settings, const Bytes& song) {
    return writtenSongPlacement(settings.driver, static_cast<std::uint16_t>(settings.z80Address),
                                storedSongForm(settings, song));
}

}  // namespace

void MainWindow::playSong() {
    if (!preview_->outputAvailable()) {
        dialogs_.showMessage(kNoAudioOutput, MessageIcon::Exclamation);
        return;
    }
    auto song = songForPreview();
    if (!song) return;
    const SongPlacement placement = songPlacement(model_.settings(), *song);
    preview_->play({std::move(*song), songTitleText(), soundFolderSetting(), kDefaultLoops, placement});
    previewJob_ = PreviewJob::Playing;
    playConvertedAt_ = QTime::currentTime().toString("hh:mm");
    updatePlayButtons();
}

void MainWindow::stopSong() {
    const bool exporting = previewJob_ == PreviewJob::Exporting && preview_->busy();
    preview_->stop();
    if (exporting) messagePanel_->setText("Export stopped");
}

void MainWindow::exportSong(bool wav) {
    if (wav && !wavRenderAvailable()) {
        dialogs_.showMessage(kNoWavRender, MessageIcon::Exclamation);
        return;
    }
    auto song = songForPreview();
    if (!song) return;
    const QString base = songBaseName();
    const auto path = wav ? dialogs_.saveFileName("Export WAV", base + ".wav", "WAV files (*.wav)")
                          : dialogs_.saveFileName("Export VGM", base + ".vgm", "VGM files (*.vgm)");
    if (!path) return;
    exportNote_.clear();
    QString file = *path;
    const QString ext = wav ? ".wav" : ".vgm";
    if (!file.endsWith(ext, Qt::CaseInsensitive)) file += ext;
    const SongPlacement placement = songPlacement(model_.settings(), *song);
    preview_->exportFile({std::move(*song), songTitleText(), soundFolderSetting(), kDefaultLoops, placement}, file);
    previewJob_ = PreviewJob::Exporting;
    updatePlayButtons();
}

void MainWindow::updateConvertButton() {
    convertButton_->setEnabled(createFrame_->isEnabled() && (model_.writeBin() || model_.writeAsm()));
}

void MainWindow::setButtonLight(QToolButton* button, std::optional<ReadinessLight> light) {
    // The style sheet changes first: clearing or replacing one gives the
    // button back the palette it had when the sheet was set, which would undo
    // a palette set before it.
    if (!light) {
        button->setStyleSheet(QString());
        button->setPalette(QPalette());
        return;
    }
    const QColor colour = lightColour(*light);
    const QColor rim = QApplication::palette().color(QPalette::Dark);
    // With a border of its own the button's face is painted flat in the
    // colour itself, not as the style's gradient tinted with it.
    button->setStyleSheet(QString("QToolButton { background-color: %1; color: black; border: 1px solid %2;"
                                  " border-radius: 3px; }"
                                  "QToolButton:pressed { border: 2px inset %2; }")
                              .arg(colour.name(), rim.name()));
    QPalette pal = button->palette();
    pal.setColor(QPalette::Button, colour);
    pal.setColor(QPalette::Window, colour);
    button->setPalette(pal);
}

void MainWindow::showLights() {
    setButtonLight(generalButton_, model_.generalLight());
    setButtonLight(voiceButton_, model_.voiceLight());
    updatePlayButtons();
}

std::optional<ReadinessLight> MainWindow::generalLight() const { return model_.generalLight(); }
std::optional<ReadinessLight> MainWindow::voiceLight() const { return model_.voiceLight(); }

QMdiSubWindow* MainWindow::addChildWindow(QWidget* window) {
    QMdiSubWindow* sub = mdi_->addSubWindow(window);
    // Closed, a window is only hidden: its button and the Window menu bring
    // it back as it was.
    sub->setAttribute(Qt::WA_DeleteOnClose, false);
    sub->setWindowIcon(window->windowIcon());
    sub->setOption(QMdiSubWindow::RubberBandResize, false);
    window->show();
    return sub;
}

void MainWindow::fillWindowMenu() {
    windowMenu_->clear();
    QAction* tile = windowMenu_->addAction("&Tile", this, &MainWindow::tileWindows);
    tile->setObjectName("TileAction");
    QAction* cascade = windowMenu_->addAction("&Cascade", this, &MainWindow::cascadeWindows);
    cascade->setObjectName("CascadeAction");
    windowMenu_->addSeparator();
    for (QMdiSubWindow* sub : mdi_->subWindowList(QMdiArea::CreationOrder)) {
        QWidget* window = sub->widget();
        if (!window) continue;
        QAction* show = windowMenu_->addAction(window->windowTitle(), this, [this, window = QPointer<QWidget>(window)] {
            bringToFront(window);
        });
        show->setCheckable(true);
        show->setChecked(sub == mdi_->activeSubWindow());
    }
}

QMdiSubWindow* MainWindow::subWindowOf(QWidget* window) const {
    return window ? qobject_cast<QMdiSubWindow*>(window->parentWidget()) : nullptr;
}

void MainWindow::placeSongWindows(QSize moreSize) {
    QMdiSubWindow* general = subWindowOf(general_);
    QMdiSubWindow* more = subWindowOf(more_);
    QMdiSubWindow* voices = subWindowOf(voiceManager_);
    QMdiSubWindow* explorer = subWindowOf(explorer_);
    if (!general || !more || !voices || !explorer) return;
    const QRect area = mdi_->viewport()->rect();
    // The explorer, bottom left, stands above the minimised windows' icons.
    const QRect explorerRoom = windowRoom();
    // The title bar and border each window's frame adds.
    const auto framed = [](QMdiSubWindow* sub, QSize inside) { return inside + sub->size() - sub->widget()->size(); };
    const auto smallest = [&](QMdiSubWindow* sub) {
        return framed(sub, sub->widget()->minimumSizeHint().expandedTo(sub->widget()->minimumSize()));
    };

    // General parametres: top right, whole.
    QRect g(QPoint(0, 0), framed(general, general_->sizeHint()).boundedTo(area.size()));
    g.moveTopRight(area.topRight());

    // The explorer: bottom left, no wider than the room left of General
    // parametres, and no taller than the room under the whole of More
    // parametres. Its buttons (the lowest part of it) must stay clear.
    const QSize mWanted = framed(more, moreSize);
    const QSize eMin = smallest(explorer);
    QSize eSize = explorer->size().expandedTo(eMin);
    eSize.setWidth(std::max(std::min(eSize.width(), g.left()), eMin.width()));
    eSize.setHeight(std::max(std::min(eSize.height(), explorerRoom.height() - mWanted.height()), eMin.height()));
    eSize = eSize.boundedTo(explorerRoom.size());
    QRect e(QPoint(0, 0), eSize);
    e.moveBottomLeft(explorerRoom.bottomLeft());
    int buttonsTop = e.height();
    for (const QPushButton* b : explorer_->findChildren<QPushButton*>())
        buttonsTop = std::min(buttonsTop, b->mapTo(explorer, QPoint(0, 0)).y() + e.height() - explorer->height());
    const int clearBelow = e.top() + buttonsTop;

    // More parametres: top left, above the explorer's buttons, left of
    // General parametres where it fits there; otherwise whole, partly under
    // General parametres, rather than squeezed to scroll both ways.
    const QSize mMin = smallest(more);
    QSize mSize = mWanted;
    mSize.setHeight(std::max(std::min(mSize.height(), clearBelow - 4), mMin.height()));
    // Cut short, it scrolls up and down: room for that scroll bar, so that
    // it does not have to scroll sideways as well.
    if (mSize.height() < mWanted.height()) mSize.rwidth() += style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const QRect m(QPoint(0, 0), mSize.boundedTo(area.size()));

    // The Voice manager: below General parametres, right of More parametres
    // and the explorer, and never smaller than it can be.
    const QSize vMin = smallest(voices);
    const int vLeft = std::min(std::max(m.right(), e.right()) + 1, area.right() + 1 - vMin.width());
    const int vTop = std::min(g.bottom() + 1, area.bottom() + 1 - vMin.height());
    const QRect v(std::max(vLeft, 0), std::max(vTop, 0), area.right() + 1 - std::max(vLeft, 0),
                  area.bottom() + 1 - std::max(vTop, 0));

    for (QMdiSubWindow* sub : {general, more, voices, explorer})
        if (sub->isMinimized() || sub->isMaximized()) sub->showNormal();
    explorer->setGeometry(e);
    more->setGeometry(m);
    voices->setGeometry(v);
    general->setGeometry(g);
    // Where they must overlap, the explorer's buttons stay in front of the
    // Voice manager, which its own button brings forward.
    voices->lower();
}

void MainWindow::bringToFront(QWidget* window) {
    if (!window) return;
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
        if (sub->widget() != window) continue;
        if (sub->isMinimized()) sub->showNormal();
        sub->show();
        window->show();
        mdi_->setActiveSubWindow(sub);
        sub->raise();
        window->setFocus();
        return;
    }
}

void MainWindow::minimiseChild(QWidget* window) {
    if (!window) return;
    // Minimising activates the window in the client area; the window the
    // user was working in stays the active one.
    QMdiSubWindow* active = mdi_->activeSubWindow();
    for (QMdiSubWindow* sub : mdi_->subWindowList()) {
        if (sub->widget() != window) continue;
        sub->showMinimized();
        if (active && active != sub) mdi_->setActiveSubWindow(active);
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!exitAllowed()) {
        event->ignore();
        return;
    }
    event->accept();
}

}  // namespace ferro
