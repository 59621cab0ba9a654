#include "voices/ui/voice_manager_window.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
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

#include "base/paths.hpp"
#include "app/ui/main_window.hpp"
#include "params/ui/general_window.hpp"
#include "voices/ui/bank_window.hpp"
#include "voices/ui/paste_window.hpp"
#include "voices/voice_hex.hpp"
#include "voices/voice_manager_logic.hpp"
#include "xm/ui/explorer_window.hpp"

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

int px(int twips) { return twips / MainWindow::kTwipsPerPixel; }

// Voice names are 8-bit text.
QString fromLatin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

QString displayName(const std::filesystem::path& name) { return QString::fromStdString(utf8FromPath(name)); }

QGroupBox* frame(const QString& caption, const char* name, QWidget* parent) {
    auto* box = new QGroupBox(caption, parent);
    box->setObjectName(name);
    return box;
}

}  // namespace

std::filesystem::path voiceWorkingFolder(const MainWindow& main) {
    const QString folder = main.explorer() ? main.explorer()->shownFolder() : QDir::currentPath();
    return pathFromUtf8(folder.toStdString());
}

VoiceManagerWindow::VoiceManagerWindow(MainWindow& main, QWidget* parent) : QWidget(parent), main_(main) {
    setObjectName("VoiceManagerWindow");
    setWindowTitle("Voice manager");
    setWindowIcon(style()->standardIcon(QStyle::SP_MediaVolume));
    // It lives as long as the module is loaded: no close control of its own,
    // so the song's voices cannot be thrown away by accident.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);

    kindBox_ = new QComboBox(this);
    kindBox_->setObjectName("Combo1");
    kindBox_->setAccessibleName("Kind of voice file");
    for (const VoiceKindInfo& info : voiceFileKinds()) kindBox_->addItem(info.caption);
    // The list opens wide enough for every caption; closed, it may be narrower.
    kindBox_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    kindBox_->setMinimumContentsLength(16);

    auto* filesFrame = frame("List of voice files", "Frame1", this);
    fileList_ = new QListWidget(filesFrame);
    fileList_->setObjectName("File1");
    fileList_->setAccessibleName("Voice files");
    (new QVBoxLayout(filesFrame))->addWidget(fileList_);

    auto* fileVoicesFrame = frame("Voices in the selected file", "Frame2", this);
    fileVoiceList_ = new QListWidget(fileVoicesFrame);
    fileVoiceList_->setObjectName("List1");
    fileVoiceList_->setAccessibleName("Voices in the selected file");
    fileAll_ = new QCheckBox("All", fileVoicesFrame);
    fileAll_->setObjectName("Check1");
    auto* fileVoicesLayout = new QGridLayout(fileVoicesFrame);
    fileVoicesLayout->addWidget(fileVoiceList_, 0, 0);
    fileVoicesLayout->addWidget(fileAll_, 0, 1, Qt::AlignTop);

    addButton_ = new QPushButton("A&dd voice to the song", this);
    addButton_->setObjectName("Command1");
    addButton_->setToolTip("Click here to add a voice to your song");

    fileHexFrame_ = frame(voiceFileKinds()[0].hexFrameCaption, "Frame3", this);
    fileHex_ = new VoiceHexView(fileHexFrame_);
    fileHex_->setObjectName("Label1");
    fileHex_->setAccessibleDescription("Hex data of the file voice");
    (new QVBoxLayout(fileHexFrame_))->addWidget(fileHex_);

    auto* songFrame = frame("Voices in the current song", "Frame4", this);
    songList_ = new QListWidget(songFrame);
    songList_->setObjectName("List2");
    songList_->setAccessibleName("Voices in the current song");
    songAll_ = new QCheckBox("All", songFrame);
    songAll_->setObjectName("Check2");
    auto* songLayout = new QGridLayout(songFrame);
    songLayout->addWidget(songList_, 0, 0);
    songLayout->addWidget(songAll_, 0, 1, Qt::AlignTop);

    removeButton_ = new QPushButton("&Remove voice", this);
    removeButton_->setObjectName("Command2");
    removeButton_->setToolTip("Click here to remove a voice from your song");
    bankButton_ = new QPushButton("Save ban&k", this);
    bankButton_->setObjectName("Command3");

    auto* songHexFrame = frame("Hex data for the selected voice", "Frame5", this);
    songHex_ = new VoiceHexView(songHexFrame);
    songHex_->setObjectName("Label2");
    songHex_->setAccessibleDescription("Hex data of the song voice");
    (new QVBoxLayout(songHexFrame))->addWidget(songHex_);

    warningFrame_ = frame("Warning", "Frame6", this);
    warningText_ = new QLabel(warningFrame_);
    warningText_->setObjectName("Label3");
    warningText_->setWordWrap(true);
    (new QVBoxLayout(warningFrame_))->addWidget(warningText_);

    auto* statusFrame = frame("Status:", "Frame7", this);
    lightPicture_ = new QLabel(statusFrame);
    lightPicture_->setObjectName("Picture1");
    lightPicture_->setAccessibleName("Voice light");
    lightPicture_->setFixedSize(32, 32);
    (new QVBoxLayout(statusFrame))->addWidget(lightPicture_, 0, Qt::AlignCenter);

    // The hex views have no accessible name of their own, so that a screen
    // reader reads the hex text itself; what they are is their description.
    for (VoiceHexView* hex : {fileHex_, songHex_}) {
        hex->setFont(fixed);
        hex->setWordWrap(true);
        hex->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        // Three lines high; the text wraps to whatever width the window has.
        hex->setMinimumSize(QFontMetrics(fixed).horizontalAdvance("00 00 00 00"), QFontMetrics(fixed).lineSpacing() * 3);
        hex->setToolTip("Right click to copy the voice to the clipboard");
    }
    fileHex_->onRightClick = [this] { Label1_RightClick(); };
    songHex_->onRightClick = [this] { Label2_RightClick(); };

    // Left: where voices come from, the files above the voices of the
    // chosen file; right: the song's voices. Two columns keep the window
    // narrow enough to sit beside the other song windows.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(6, 6, 6, 6);
    grid->addWidget(kindBox_, 0, 0);
    grid->addWidget(filesFrame, 1, 0);
    grid->addWidget(fileVoicesFrame, 2, 0);
    grid->addWidget(addButton_, 3, 0);
    grid->addWidget(fileHexFrame_, 4, 0);
    grid->addWidget(warningFrame_, 5, 0);
    grid->addWidget(songFrame, 0, 1, 3, 2);
    grid->addWidget(removeButton_, 3, 1);
    grid->addWidget(bankButton_, 3, 2);
    grid->addWidget(songHexFrame, 4, 1, 1, 2);
    grid->addWidget(statusFrame, 5, 2);
    // The lists narrow down to a short name each when the room is small.
    for (QListWidget* list : {fileList_, fileVoiceList_, songList_})
        list->setMinimumSize(fontMetrics().horizontalAdvance("voice $FF") + 24, fontMetrics().lineSpacing() * 4);
    grid->setColumnStretch(0, 53);
    grid->setColumnStretch(1, 22);
    grid->setColumnStretch(2, 15);
    grid->setRowStretch(1, 2);
    grid->setRowStretch(2, 3);
    resize(px(11400), px(6600));

    // Every way of moving the selection (click, button held while moving,
    // keys, scrolling) ends in the same handler.
    connect(kindBox_, &QComboBox::activated, this, [this](int) { Combo1_Click(); });
    connect(fileList_, &QListWidget::currentRowChanged, this, [this](int row) {
        if (row >= 0) File1_Click();
    });
    connect(fileVoiceList_, &QListWidget::currentRowChanged, this, [this](int) { List1_Click(); });
    connect(fileVoiceList_, &QListWidget::itemPressed, this, [this](QListWidgetItem*) { List1_Click(); });
    connect(fileVoiceList_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int) { List1_Click(); });
    connect(fileVoiceList_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { List1_DblClick(); });
    connect(fileAll_, &QCheckBox::clicked, this, [this] { Check1_Click(); });
    connect(addButton_, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(songList_, &QListWidget::currentRowChanged, this, [this](int) { List2_Click(); });
    connect(songList_, &QListWidget::itemPressed, this, [this](QListWidgetItem*) { List2_Click(); });
    connect(songList_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int) { List2_Click(); });
    connect(songList_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { List2_DblClick(); });
    connect(songAll_, &QCheckBox::clicked, this, [this] { Check2_Click(); });
    connect(removeButton_, &QPushButton::clicked, this, [this] { Command2_Click(); });
    connect(bankButton_, &QPushButton::clicked, this, [this] { Command3_Click(); });

    voices_.setCountChangedCallback([this] { pocketman(); });

    // Initial state, then kind 0 applied as if chosen.
    fileAll_->setEnabled(false);
    addButton_->setEnabled(false);
    songAll_->setEnabled(false);
    removeButton_->setEnabled(false);
    bankButton_->setEnabled(false);
    warningFrame_->hide();
    kindBox_->setCurrentIndex(0);
    refreshVoiceFiles();
    Combo1_Click();
    pocketman();
}

VoiceManagerWindow::~VoiceManagerWindow() {
    // The list goes with the window; it must not call back into a half-gone one.
    voices_.setCountChangedCallback(nullptr);
    // The two windows work on this one's voices and cannot outlive it.
    delete pasteWindow_.data();
    delete bankWindow_.data();
}

void VoiceManagerWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    main_.minimiseChild(this);
}

PasteWindow* VoiceManagerWindow::pasteWindow() const { return pasteWindow_; }
BankWindow* VoiceManagerWindow::bankWindow() const { return bankWindow_; }

void VoiceManagerWindow::pocketman() {
    const GeneralWindow* general = main_.generalWindow();
    const int fmChannels = general ? general->settings().fmChannelCount : 0;
    const ReadinessLight light = voiceReadinessLight(fmChannels, voices_.count());
    if (!lightShown_ || light != light_) {
        light_ = light;
        lightShown_ = true;
        lightPicture_->setPixmap(MainWindow::lightPicture(light));
        lightPicture_->setToolTip(light == ReadinessLight::Green ? "Green" : "Yellow");
    }
    if (main_.voiceLight() != light) main_.setVoiceLight(light);
}

void VoiceManagerWindow::I_AM_BATMAN(const QString& text) {
    const auto voice = parsePastedVoice(text.toStdString());
    if (!voice) {
        main_.dialogs().showMessage(kPasteRejectedMessage, MessageIcon::Exclamation);
        return;
    }
    if (voices_.isFull()) {
        main_.dialogs().showMessage(kVoiceListFullMessage, MessageIcon::Exclamation);
        return;
    }
    voices_.add(kPastedVoiceName, *voice);
    rebuildSongList();
    songAll_->setEnabled(true);
    bankButton_->setEnabled(true);
    pocketman();
}

// ---- Where voices come from

void VoiceManagerWindow::updateWarning() {
    const char* text = nullptr;
    if (fileSsgEg_)
        text = kTfiSsgEgWarning;
    else
        text = voiceKindInfo(kind_).kindWarning;
    warningText_->setText(text ? QString(text) : QString());
    warningFrame_->setVisible(text != nullptr);
}

void VoiceManagerWindow::Combo1_Click() {
    const int index = kindBox_->currentIndex();
    if (index < 0 || index >= kVoiceFileKindCount) return;
    const auto chosen = static_cast<VoiceFileKind>(index);
    if (chosen == VoiceFileKind::Paste) {
        // Pasting is not a kind of file: the selector goes back to the kind
        // before it, and the voices shown stay.
        kindBox_->setCurrentIndex(static_cast<int>(kind_));
        Combo1_Click();
        if (!pasteWindow_) pasteWindow_ = PasteWindow::open(main_, *this, main_.dialogs().clipboardText());
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
    Combo1_Click();
}

void VoiceManagerWindow::refreshVoiceFiles() {
    const QString selected = fileList_->currentItem() ? fileList_->currentItem()->text() : QString();
    voiceFiles_ = listVoiceFiles(voiceWorkingFolder(main_), voiceKindInfo(kind_).filePattern);
    // Re-reading the list is not choosing a file.
    const QSignalBlocker blocker(fileList_);
    fileList_->clear();
    for (const auto& name : voiceFiles_) fileList_->addItem(displayName(name));
    fileList_->setCurrentRow(-1);
    if (!selected.isEmpty()) {
        const auto found = fileList_->findItems(selected, Qt::MatchExactly);
        if (!found.isEmpty()) fileList_->setCurrentItem(found.front());
    }
}

void VoiceManagerWindow::clearFileVoices() {
    fileVoices_.clear();
    fileSsgEg_ = false;
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

void VoiceManagerWindow::File1_Click() {
    clearFileVoices();
    const int row = fileList_->currentRow();
    if (row < 0 || row >= static_cast<int>(voiceFiles_.size())) return;
    const ImportResult result = importVoiceFile(kind_, voiceWorkingFolder(main_) / voiceFiles_[static_cast<std::size_t>(row)]);
    if (!result.ok()) {
        updateWarning();
        main_.dialogs().showMessage(QString::fromStdString(result.message), MessageIcon::Critical);
        refreshVoiceFiles();
        // A second click on the same file tries it again.
        const QSignalBlocker blocker(fileList_);
        fileList_->setCurrentRow(-1);
        return;
    }
    fileVoices_ = result.voices;
    fileSsgEg_ = kind_ == VoiceFileKind::Tfi && result.ssgEgWarning;
    {
        const QSignalBlocker blocker(fileVoiceList_);
        const QSignalBlocker scrollBlocker(fileVoiceList_->verticalScrollBar());
        for (const FileVoiceEntry& entry : fileVoices_) fileVoiceList_->addItem(fromLatin1(entry.name));
        fileVoiceList_->setCurrentRow(-1);
    }
    fileAll_->setEnabled(true);
    updateWarning();
}

bool VoiceManagerWindow::chooseVoiceFile(const QString& name) {
    const auto found = fileList_->findItems(name, Qt::MatchFixedString);
    if (found.isEmpty()) return false;
    const QSignalBlocker blocker(fileList_);
    fileList_->setCurrentItem(found.front());
    File1_Click();
    return true;
}

void VoiceManagerWindow::updateAddButton() {
    addButton_->setEnabled(fileAll_->isEnabled() && (fileVoiceList_->currentRow() >= 0 || fileAll_->isChecked()));
}

void VoiceManagerWindow::List1_Click() {
    const int row = fileVoiceList_->currentRow();
    if (row >= 0 && row < static_cast<int>(fileVoices_.size())) {
        fileHex_->setText(QString::fromStdString(formatVoiceHex(fileVoices_[static_cast<std::size_t>(row)].voice)));
        fileAll_->setEnabled(true);
    } else if (fileVoices_.empty()) {
        fileAll_->setEnabled(false);
    }
    updateAddButton();
}

void VoiceManagerWindow::List1_DblClick() {
    if (addButton_->isEnabled()) Command1_Click();
}

void VoiceManagerWindow::Check1_Click() { updateAddButton(); }

void VoiceManagerWindow::Command1_Click() {
    songAll_->setEnabled(true);
    bankButton_->setEnabled(true);
    if (!fileAll_->isChecked()) {
        const int row = fileVoiceList_->currentRow();
        if (row < 0 || row >= static_cast<int>(fileVoices_.size())) return;
        if (voices_.isFull()) {
            main_.dialogs().showMessage(kVoiceListFullMessage, MessageIcon::Exclamation);
            return;
        }
        const FileVoiceEntry& entry = fileVoices_[static_cast<std::size_t>(row)];
        voices_.add(entry.name, entry.voice);
        rebuildSongList();
        pocketman();
        return;
    }
    const int remembered = fileVoiceList_->currentRow();
    const AddAllOutcome outcome = addFileVoices(voices_, fileVoices_);
    rebuildSongList();
    if (outcome.reachedLimit) main_.dialogs().showMessage(kVoiceListFullMessage, MessageIcon::Exclamation);
    fileAll_->setChecked(false);
    {
        const QSignalBlocker blocker(fileVoiceList_);
        const QSignalBlocker scrollBlocker(fileVoiceList_->verticalScrollBar());
        fileVoiceList_->setCurrentRow(remembered);
    }
    if (remembered < 0) fileHex_->clear();
    List1_Click();
    pocketman();
}

// ---- The song's voices

void VoiceManagerWindow::rebuildSongList() {
    const int row = songList_->currentRow();
    const QSignalBlocker blocker(songList_);
    const QSignalBlocker scrollBlocker(songList_->verticalScrollBar());
    const int keepScroll = songList_->verticalScrollBar()->value();
    songList_->clear();
    for (int i = 0; i < voices_.count(); ++i) songList_->addItem(fromLatin1(voices_.displayText(i)));
    songList_->setCurrentRow(row < voices_.count() ? row : -1);
    songList_->verticalScrollBar()->setValue(keepScroll);
}

void VoiceManagerWindow::updateRemoveButton() {
    removeButton_->setEnabled(songAll_->isEnabled() && (songList_->currentRow() >= 0 || songAll_->isChecked()));
}

void VoiceManagerWindow::List2_Click() {
    const int row = songList_->currentRow();
    if (row >= 0 && row < voices_.count()) {
        songHex_->setText(QString::fromStdString(voices_.hex(row)));
        songAll_->setEnabled(true);
        bankButton_->setEnabled(true);
    }
    updateRemoveButton();
}

void VoiceManagerWindow::Check2_Click() { updateRemoveButton(); }

void VoiceManagerWindow::Command2_Click() {
    removeButton_->setEnabled(false);
    songHex_->clear();
    if (songAll_->isChecked()) {
        voices_.clear();
        songAll_->setChecked(false);
    } else {
        voices_.removeAt(songList_->currentRow());
    }
    {
        const QSignalBlocker blocker(songList_);
        songList_->setCurrentRow(-1);
    }
    rebuildSongList();
    if (voices_.count() == 0) {
        songAll_->setEnabled(false);
        bankButton_->setEnabled(false);
    }
    pocketman();
}

void VoiceManagerWindow::List2_DblClick() {
    const int row = songList_->currentRow();
    if (row < 0 || row >= voices_.count()) return;
    const auto answer = main_.dialogs().inputText("Type new voice description here (255 characters max)",
                                                  "Rename voice", fromLatin1(voices_.name(row)));
    if (!answer) return;
    if (!voices_.rename(row, latin1FromUtf8(answer->toStdString()))) return;
    songList_->item(row)->setText(fromLatin1(voices_.displayText(row)));
}

void VoiceManagerWindow::Command3_Click() {
    if (bankWindow_ || voices_.count() == 0) return;
    bankWindow_ = BankWindow::open(main_, *this);
}

// ---- Copying a voice

void VoiceManagerWindow::copyHex(const QString& text) {
    if (text.isEmpty()) return;
    main_.dialogs().setClipboardText(text);
    main_.dialogs().showMessage("Voice " + text + " copied to the clipboard!", MessageIcon::Plain);
}

void VoiceManagerWindow::Label1_RightClick() { copyHex(fileHex_->text()); }
void VoiceManagerWindow::Label2_RightClick() { copyHex(songHex_->text()); }

}  // namespace ferro
