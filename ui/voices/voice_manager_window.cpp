#include "ui/voices/voice_manager_window.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>
#include <system_error>

#include "params/instrument_maps.hpp"
#include "ui/common/dialogs.hpp"
#include "ui/common/dropped_files.hpp"
#include "ui/common/light_pictures.hpp"
#include "ui/common/twips.hpp"
#include "base/paths.hpp"
#include "voices/voice_hex.hpp"
#include "voices/voice_manager_logic.hpp"

namespace ferro {

// A voice's hex text; a right click copies it.
class VoiceHexView : public QLabel {
public:
    explicit VoiceHexView(QWidget* parent) : QLabel(parent) {}
    std::function<void()> onRightClick;

protected:
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() == Qt::RightButton && onRightClick) onRightClick();
        QLabel::mouseReleaseEvent(event);
    }
};

namespace {

// Voice names are 8-bit text.
QString fromLatin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QString displayName(const std::filesystem::path& name) { return QString::fromStdString(utf8FromPath(name)); }

// A file's whole path, so that one file is listed once however it is named.
std::filesystem::path wholePath(const std::filesystem::path& file) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(file, error);
    return (error ? file : absolute).lexically_normal();
}

// The local files a drag carries.
// The file dialog's filters: every kind's pattern at once, then each kind.
QString voiceFileFilter() {
    QStringList patterns, kinds;
    for (const VoiceKindInfo& info : voiceFileKinds()) {
        if (*info.filePattern == '\0') continue;
        if (!patterns.contains(info.filePattern)) patterns << info.filePattern;
        kinds << info.caption;
    }
    return "Voice files (" + patterns.join(' ') + ");;" + kinds.join(";;");
}

QGroupBox* frame(const QString& caption, const char* name, QWidget* parent) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    return box;
}

}  // namespace

VoiceManagerWindow::VoiceManagerWindow(SongModel& model, Dialogs& dialogs, FolderSource voiceFolder, QWidget* parent)
    : QWidget(parent), model_(model), dialogs_(dialogs), voiceFolder_(std::move(voiceFolder)) {
    setObjectName("VoiceManagerWindow");
    setWindowTitle("Voice manager");
    setWindowIcon(style()->standardIcon(QStyle::SP_MediaVolume));
    // It lives as long as the module is loaded: no close control of its own,
    // so the song's voices cannot be thrown away by accident.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);

    // Left: where voices come from, the files above the voices of the
    // chosen file; right: the song's voices. Two columns keep the window
    // narrow enough to sit beside the other song windows.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    createFileSide(grid);
    createSongSide(grid);
    setUpHexViews();
    // The lists narrow down to a short name each, and three lines, when the
    // room is small: at 1280 x 1024 the window then fits whole under General
    // parametres.
    for (QListWidget* list : {fileList_, fileVoiceList_, songList_})
        list->setMinimumSize(fontMetrics().horizontalAdvance("voice $FF") + 24, fontMetrics().lineSpacing() * 3);
    grid->setColumnStretch(0, 53);
    grid->setColumnStretch(1, 22);
    grid->setColumnStretch(2, 15);
    grid->setRowStretch(1, 2);
    grid->setRowStretch(2, 3);
    resize(px(11400), px(6600));
    setAcceptDrops(true);
    wireControls();

    // Initial state, then kind 0 applied as if chosen, then the song's
    // voices and light as the model has them.
    fileAll_->setEnabled(false);
    addButton_->setEnabled(false);
    warningFrame_->hide();
    kindBox_->setCurrentIndex(0);
    refreshVoiceFiles();
    applyChosenKind();
    subscription_ = model_.subscribe([this](SongChanges changes) { songChanged(changes); });
    showSongVoices();
    showLight();
}

// The left column: the kind of file, the files of that kind, the voices of
// the chosen file, "Add", the chosen voice's hex and the file's warning.
void VoiceManagerWindow::createFileSide(QGridLayout* grid) {
    kindBox_ = new QComboBox(this);
    kindBox_->setObjectName("kindBox");
    kindBox_->setAccessibleName("Kind of voice file");
    for (const VoiceKindInfo& info : voiceFileKinds()) kindBox_->addItem(info.caption);
    // The list opens wide enough for every caption; closed, it may be narrower.
    kindBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    kindBox_->setMinimumContentsLength(16);

    auto* filesFrame = frame("List of voice files", "voiceFilesFrame", this);
    fileList_ = new QListWidget(filesFrame);
    fileList_->setObjectName("voiceFileList");
    fileList_->setAccessibleName("Voice files");
    (new QVBoxLayout(filesFrame))->addWidget(fileList_);
    addFileButton_ = new QPushButton("Add voice file...", this);
    addFileButton_->setObjectName("addVoiceFileButton");
    addFileButton_->setToolTip("Pick a voice file from any folder, or drop voice files on this window");

    auto* fileVoicesFrame = frame("Voices in the selected file", "fileVoicesFrame", this);
    fileVoiceList_ = new QListWidget(fileVoicesFrame);
    fileVoiceList_->setObjectName("fileVoiceList");
    fileVoiceList_->setAccessibleName("Voices in the selected file");
    fileAll_ = new QCheckBox("All", fileVoicesFrame);
    fileAll_->setObjectName("fileAllBox");
    auto* fileVoicesLayout = new QGridLayout(fileVoicesFrame);
    fileVoicesLayout->addWidget(fileVoiceList_, 0, 0);
    fileVoicesLayout->addWidget(fileAll_, 0, 1, Qt::AlignTop);

    addButton_ = new QPushButton("A&dd voice to the song", this);
    addButton_->setObjectName("addButton");
    addButton_->setToolTip("Click here to add a voice to your song");

    fileHexFrame_ = frame(voiceFileKinds()[0].hexFrameCaption, "fileHexFrame", this);
    fileHex_ = new VoiceHexView(fileHexFrame_);
    fileHex_->setObjectName("fileHexView");
    fileHex_->setAccessibleDescription("Hex data of the file voice");
    (new QVBoxLayout(fileHexFrame_))->addWidget(fileHex_);

    warningFrame_ = frame("Warning", "warningFrame", this);
    warningText_ = new QLabel(warningFrame_);
    warningText_->setObjectName("warningLabel");
    warningText_->setWordWrap(true);
    (new QVBoxLayout(warningFrame_))->addWidget(warningText_);

    grid->addWidget(kindBox_, 0, 0);
    grid->addWidget(filesFrame, 1, 0);
    grid->addWidget(fileVoicesFrame, 2, 0);
    grid->addWidget(addButton_, 3, 0);
    grid->addWidget(fileHexFrame_, 4, 0);
    // Beside the voice light, which sets that row's height: the window needs
    // no more room than before, as the main window's first layout counts on.
    auto* bottom = new QVBoxLayout;
    bottom->addWidget(addFileButton_, 0, Qt::AlignLeft);
    bottom->addWidget(warningFrame_);
    grid->addLayout(bottom, 5, 0);
}

// The right columns: the song's voices, "Remove" and "Save bank", the chosen
// voice's hex and the voice light.
void VoiceManagerWindow::createSongSide(QGridLayout* grid) {
    auto* songFrame = frame("Voices in the current song", "songVoicesFrame", this);
    songList_ = new QListWidget(songFrame);
    songList_->setObjectName("songVoiceList");
    songList_->setAccessibleName("Voices in the current song");
    songAll_ = new QCheckBox("All", songFrame);
    songAll_->setObjectName("songAllBox");
    auto* songLayout = new QGridLayout(songFrame);
    songLayout->addWidget(songList_, 0, 0);
    songLayout->addWidget(songAll_, 0, 1, Qt::AlignTop);

    removeButton_ = new QPushButton("&Remove voice", this);
    removeButton_->setObjectName("removeButton");
    removeButton_->setToolTip("Click here to remove a voice from your song");
    bankButton_ = new QPushButton("Save ban&k", this);
    bankButton_->setObjectName("bankButton");

    auto* songHexFrame = frame("Hex data for the selected voice", "songHexFrame", this);
    songHex_ = new VoiceHexView(songHexFrame);
    songHex_->setObjectName("songHexView");
    songHex_->setAccessibleDescription("Hex data of the song voice");
    (new QVBoxLayout(songHexFrame))->addWidget(songHex_);

    auto* statusFrame = frame("Status:", "statusFrame", this);
    lightPicture_ = new QLabel(statusFrame);
    lightPicture_->setObjectName("lightPicture");
    lightPicture_->setAccessibleName("Voice light");
    lightPicture_->setFixedSize(32, 32);
    (new QVBoxLayout(statusFrame))->addWidget(lightPicture_, 0, Qt::AlignCenter);

    grid->addWidget(songFrame, 0, 1, 3, 2);
    grid->addWidget(removeButton_, 3, 1);
    grid->addWidget(bankButton_, 3, 2);
    grid->addWidget(songHexFrame, 4, 1, 1, 2);
    grid->addWidget(statusFrame, 5, 2);
}

// The hex views have no accessible name of their own, so that a screen
// reader reads the hex text itself; what they are is their description.
void VoiceManagerWindow::setUpHexViews() {
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    for (VoiceHexView* hex : {fileHex_, songHex_}) {
        hex->setFont(fixed);
        hex->setWordWrap(true);
        hex->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Three lines high; the text wraps to whatever width the window has.
        hex->setMinimumSize(QFontMetrics(fixed).horizontalAdvance("00 00 00 00"), QFontMetrics(fixed).lineSpacing() * 3);
        hex->setToolTip("Right click to copy the voice to the clipboard");
    }
    fileHex_->onRightClick = [this] { copyFileVoiceHex(); };
    songHex_->onRightClick = [this] { copySongVoiceHex(); };
}

// Every way of moving the selection (click, button held while moving, keys,
// scrolling) ends in the same handler.
void VoiceManagerWindow::wireControls() {
    connect(kindBox_, &QComboBox::activated, this, [this](int) { applyChosenKind(); });
    connect(fileList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) openChosenVoiceFile();
    });
    connect(addFileButton_, &QPushButton::clicked, this, [this] { pickVoiceFile(); });
    connect(fileVoiceList_, &QListWidget::currentRowChanged, this, [this](int) { showFileVoice(); });
    connect(fileVoiceList_, &QListWidget::itemPressed, this, [this](QListWidgetItem*) { showFileVoice(); });
    connect(fileVoiceList_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int) { showFileVoice(); });
    connect(fileVoiceList_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { addDoubleClickedVoice(); });
    connect(fileAll_, &QCheckBox::clicked, this, [this] { updateAddButton(); });
    connect(addButton_, &QPushButton::clicked, this, [this] { addSelectedVoices(); });
    connect(songList_, &QListWidget::currentRowChanged, this, [this](int) { showSongVoice(); });
    connect(songList_, &QListWidget::itemPressed, this, [this](QListWidgetItem*) { showSongVoice(); });
    connect(songList_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int) { showSongVoice(); });
    connect(songList_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { renameSongVoice(); });
    connect(songAll_, &QCheckBox::clicked, this, [this] { updateRemoveButton(); });
    connect(removeButton_, &QPushButton::clicked, this, [this] { removeSelectedVoices(); });
    connect(bankButton_, &QPushButton::clicked, this, [this] { saveBank(); });
}

VoiceManagerWindow::~VoiceManagerWindow() { model_.unsubscribe(subscription_); }

void VoiceManagerWindow::songChanged(SongChanges changes) {
    if (changed(changes, SongPart::Voices)) showSongVoices();
    if (changed(changes, SongPart::Lights)) showLight();
}

void VoiceManagerWindow::showLight() {
    const std::optional<ReadinessLight> light = model_.voiceLight();
    if (!light) {
        lightPicture_->clear();
        lightPicture_->setToolTip(QString());
        return;
    }
    lightPicture_->setPixmap(lightPicture(*light));
    lightPicture_->setToolTip(*light == ReadinessLight::Green ? "Green" : *light == ReadinessLight::Yellow ? "Yellow" : "Red");
}

void VoiceManagerWindow::addPastedVoice(const QString& text) {
    switch (model_.addPastedVoice(text.toStdString())) {
    case AddVoiceResult::Ok: break;
    case AddVoiceResult::BadText: dialogs_.showMessage(kPasteRejectedMessage, MessageIcon::Exclamation); break;
    case AddVoiceResult::Full: dialogs_.showMessage(kVoiceListFullMessage, MessageIcon::Exclamation); break;
    }
}

// ---- Where voices come from

void VoiceManagerWindow::updateWarning() {
    const char* kindText = fileSsgEg_ ? kTfiSsgEgWarning : voiceKindInfo(kind_).kindWarning;
    // What the file lacks comes first: it is about the voices listed now.
    const QString text = !fileNotice_.isEmpty() ? fileNotice_ : kindText ? QString(kindText) : QString();
    warningText_->setText(text);
    warningFrame_->setVisible(!text.isEmpty());
}

void VoiceManagerWindow::applyChosenKind() {
    const int index = kindBox_->currentIndex();
    if (index < 0 || index >= kVoiceFileKindCount) return;
    const auto chosen = static_cast<VoiceFileKind>(index);
    if (chosen == VoiceFileKind::Paste) {
        // Pasting is not a kind of file: the selector goes back to the kind
        // before it, and the voices shown stay.
        kindBox_->setCurrentIndex(static_cast<int>(kind_));
        applyChosenKind();
        emit pasteRequested();
        return;
    }
    const VoiceKindInfo& info = voiceKindInfo(chosen);
    fileHexFrame_->setTitle(info.hexFrameCaption);
    if (chosen != kind_) {
        kind_ = chosen;
        refreshVoiceFiles();
        clearFileVoices();
    }
    updateWarning();
}

void VoiceManagerWindow::selectKind(int index) {
    kindBox_->setCurrentIndex(index);
    applyChosenKind();
}

void VoiceManagerWindow::refreshVoiceFiles() {
    const QString selected = fileList_->currentItem() ? fileList_->currentItem()->text() : QString();
    const std::filesystem::path folder = voiceFolder_();
    const char* pattern = voiceKindInfo(kind_).filePattern;
    voiceFiles_.clear();
    for (const auto& name : listVoiceFiles(folder, pattern)) voiceFiles_.push_back(wholePath(folder / name));
    // Re-reading the list is not choosing a file.
    const QSignalBlocker blocker(fileList_);
    fileList_->clear();
    for (const auto& file : voiceFiles_) fileList_->addItem(displayName(file.filename()));
    // Files from elsewhere after the folder's, by their whole path.
    for (const auto& file : addedFiles_) {
        if (!matchesVoiceFilePattern(utf8FromPath(file.filename()), pattern) ||
            std::find(voiceFiles_.begin(), voiceFiles_.end(), file) != voiceFiles_.end())
            continue;
        voiceFiles_.push_back(file);
        fileList_->addItem(QDir::toNativeSeparators(displayName(file)));
    }
    fileList_->setCurrentRow(-1);
    if (!selected.isEmpty()) {
        const auto found = fileList_->findItems(selected, Qt::MatchExactly);
        if (!found.isEmpty()) fileList_->setCurrentItem(found.front());
    }
}

void VoiceManagerWindow::clearFileVoices() {
    fileVoices_.clear();
    fileSsgEg_ = false;
    fileNotice_.clear();
    {
        const QSignalBlocker blocker(fileVoiceList_);
        const QSignalBlocker scrollBlocker(fileVoiceList_->verticalScrollBar());
        fileVoiceList_->clear();
    }
    fileHex_->clear();
    addButton_->setEnabled(false);
    fileAll_->setChecked(false);
    fileAll_->setEnabled(false);
}

void VoiceManagerWindow::openChosenVoiceFile() {
    clearFileVoices();
    const int row = fileList_->currentRow();
    if (row < 0 || row >= static_cast<int>(voiceFiles_.size())) return;
    const std::filesystem::path& file = voiceFiles_[static_cast<std::size_t>(row)];
    const ImportResult result = importVoiceFile(kind_, file);
    if (!result.ok()) {
        updateWarning();
        dialogs_.showMessage(QString::fromStdString(importFailureText(result, utf8FromPath(file.filename()))),
                             MessageIcon::Critical);
        refreshVoiceFiles();
        // A second click on the same file tries it again.
        const QSignalBlocker blocker(fileList_);
        fileList_->setCurrentRow(-1);
        return;
    }
    showFileVoices(result);
}

void VoiceManagerWindow::showFileVoices(const ImportResult& result) {
    fileVoices_ = result.voices;
    fileSsgEg_ = kind_ == VoiceFileKind::Tfi && result.ssgEgWarning;
    fileNotice_ = result.notice.empty() ? QString() : QString::fromStdString(result.notice.substr(0, 1)).toUpper() +
                                                          QString::fromStdString(result.notice.substr(1));
    {
        const QSignalBlocker blocker(fileVoiceList_);
        const QSignalBlocker scrollBlocker(fileVoiceList_->verticalScrollBar());
        for (const FileVoiceEntry& entry : fileVoices_) fileVoiceList_->addItem(fromLatin1(entry.name));
        fileVoiceList_->setCurrentRow(-1);
    }
    fileAll_->setEnabled(true);
    updateWarning();
}

void VoiceManagerWindow::pickVoiceFile() {
    const auto file = dialogs_.openFileName("Add voice file", QString::fromStdString(utf8FromPath(voiceFolder_())),
                                            voiceFileFilter());
    if (file) addVoiceFile(pathFromUtf8(QDir::fromNativeSeparators(*file).toStdString()));
}

void VoiceManagerWindow::addVoiceFile(const std::filesystem::path& file) {
    const PickedVoiceFile picked = readPickedVoiceFile(file, kind_);
    if (!picked.failure.empty()) {
        dialogs_.showMessage(QString::fromStdString(picked.failure), MessageIcon::Critical);
        return;
    }
    const std::filesystem::path whole = wholePath(file);
    if (std::find(addedFiles_.begin(), addedFiles_.end(), whole) == addedFiles_.end()) addedFiles_.push_back(whole);
    if (picked.kind != kind_) selectKind(static_cast<int>(picked.kind));
    refreshVoiceFiles();
    clearFileVoices();
    const auto listed = std::find(voiceFiles_.begin(), voiceFiles_.end(), whole);
    {
        const QSignalBlocker blocker(fileList_);
        fileList_->setCurrentRow(listed == voiceFiles_.end() ? -1 : static_cast<int>(listed - voiceFiles_.begin()));
    }
    showFileVoices(picked.result);
}

void VoiceManagerWindow::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedLocalFiles(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void VoiceManagerWindow::dropEvent(QDropEvent* event) {
    const QStringList files = droppedLocalFiles(event->mimeData());
    if (files.isEmpty()) return;
    event->acceptProposedAction();
    for (const QString& file : files) addVoiceFile(pathFromUtf8(file.toStdString()));
}

bool VoiceManagerWindow::chooseVoiceFile(const QString& name) {
    const auto found = fileList_->findItems(name, Qt::MatchFixedString);
    if (found.isEmpty()) return false;
    const QSignalBlocker blocker(fileList_);
    fileList_->setCurrentItem(found.front());
    openChosenVoiceFile();
    return true;
}

void VoiceManagerWindow::updateAddButton() {
    addButton_->setEnabled(fileAll_->isEnabled() && (fileVoiceList_->currentRow() >= 0 || fileAll_->isChecked()));
}

void VoiceManagerWindow::showFileVoice() {
    const int row = fileVoiceList_->currentRow();
    if (row >= 0 && row < static_cast<int>(fileVoices_.size())) {
        fileHex_->setText(QString::fromStdString(formatVoiceHex(fileVoices_[static_cast<std::size_t>(row)].voice)));
        fileAll_->setEnabled(true);
    } else if (fileVoices_.empty()) {
        fileAll_->setEnabled(false);
    }
    updateAddButton();
}

void VoiceManagerWindow::addDoubleClickedVoice() {
    if (addButton_->isEnabled()) addSelectedVoices();
}

void VoiceManagerWindow::addSelectedVoices() {
    if (!fileAll_->isChecked()) {
        const int row = fileVoiceList_->currentRow();
        if (row < 0 || row >= static_cast<int>(fileVoices_.size())) return;
        const FileVoiceEntry& entry = fileVoices_[static_cast<std::size_t>(row)];
        if (model_.addVoice(entry.name, entry.voice) == AddVoiceResult::Full)
            dialogs_.showMessage(kVoiceListFullMessage, MessageIcon::Exclamation);
        return;
    }
    const int remembered = fileVoiceList_->currentRow();
    const AddAllOutcome outcome = model_.addFileVoices(fileVoices_);
    if (outcome.reachedLimit) dialogs_.showMessage(kVoiceListFullMessage, MessageIcon::Exclamation);
    fileAll_->setChecked(false);
    {
        const QSignalBlocker blocker(fileVoiceList_);
        const QSignalBlocker scrollBlocker(fileVoiceList_->verticalScrollBar());
        fileVoiceList_->setCurrentRow(remembered);
    }
    if (remembered < 0) fileHex_->clear();
    showFileVoice();
}

// ---- The song's voices, as the model has them

void VoiceManagerWindow::showSongVoices() {
    const SongVoiceList& voices = model_.voices();
    {
        const int row = songList_->currentRow();
        const QSignalBlocker blocker(songList_);
        const QSignalBlocker scrollBlocker(songList_->verticalScrollBar());
        const int keepScroll = songList_->verticalScrollBar()->value();
        songList_->clear();
        for (int i = 0; i < voices.count(); ++i) songList_->addItem(fromLatin1(voices.displayText(i)));
        songList_->setCurrentRow(row < voices.count() ? row : -1);
        songList_->verticalScrollBar()->setValue(keepScroll);
    }
    const int row = songList_->currentRow();
    if (row >= 0)
        songHex_->setText(QString::fromStdString(voices.hex(row)));
    else
        songHex_->clear();
    // "All" and "Save ban&k" have something to work on only while the song
    // has voices.
    const bool any = voices.count() > 0;
    if (!any) songAll_->setChecked(false);
    songAll_->setEnabled(any);
    bankButton_->setEnabled(any);
    updateRemoveButton();
}

void VoiceManagerWindow::updateRemoveButton() {
    removeButton_->setEnabled(songAll_->isEnabled() && (songList_->currentRow() >= 0 || songAll_->isChecked()));
}

void VoiceManagerWindow::showSongVoice() {
    const int row = songList_->currentRow();
    if (row >= 0 && row < model_.voices().count()) songHex_->setText(QString::fromStdString(model_.voices().hex(row)));
    updateRemoveButton();
}

void VoiceManagerWindow::removeSelectedVoices() {
    const bool all = songAll_->isChecked();
    const int row = songList_->currentRow();
    // Nothing stays selected: the list shows the model's voices afresh.
    {
        const QSignalBlocker blocker(songList_);
        songList_->setCurrentRow(-1);
    }
    songHex_->clear();
    if (all) {
        songAll_->setChecked(false);
        model_.clearVoices();
    } else {
        removeSongVoice(row);
    }
    updateRemoveButton();
}

// The instruments that played the voice are named, for they now play another.
void VoiceManagerWindow::removeSongVoice(int row) {
    if (row < 0 || row >= model_.voices().count()) return;
    const QString voice = "Voice " + QString::fromStdString(hexText(row)) + " (" + fromLatin1(model_.voices().name(row)) + ")";
    std::vector<int> orphans;
    model_.removeVoice(row, &orphans);
    if (orphans.empty()) return;
    QStringList numbers;
    for (const int k : orphans) numbers << QString::number(k);
    const QString last = numbers.takeLast();
    const QString list = numbers.isEmpty() ? "instrument " + last : "instruments " + numbers.join(", ") + " and " + last;
    dialogs_.showMessage(voice + " is gone from the song: " + list + ", which played it, now " +
                             (orphans.size() == 1 ? "plays its" : "play their") +
                             " default voice (instrument k plays voice k - 1).",
                         MessageIcon::Information);
}

void VoiceManagerWindow::renameSongVoice() {
    const SongVoiceList& voices = model_.voices();
    const int row = songList_->currentRow();
    if (row < 0 || row >= voices.count()) return;
    const auto answer = dialogs_.inputText("Type new voice description here (255 characters max)", "Rename voice",
                                           fromLatin1(voices.name(row)));
    if (!answer) return;
    model_.renameVoice(row, latin1FromUtf8(answer->toStdString()));
}

void VoiceManagerWindow::saveBank() {
    if (model_.voices().count() > 0) emit bankRequested();
}

// ---- Copying a voice

void VoiceManagerWindow::copyHex(const QString& text) {
    if (text.isEmpty()) return;
    dialogs_.setClipboardText(text);
    dialogs_.showMessage("Voice " + text + " copied to the clipboard!", MessageIcon::Plain);
}

void VoiceManagerWindow::copyFileVoiceHex() { copyHex(fileHex_->text()); }
void VoiceManagerWindow::copySongVoiceHex() { copyHex(songHex_->text()); }

}  // namespace ferro
