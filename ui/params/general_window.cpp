#include "ui/params/general_window.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/common/dialogs.hpp"
#include "ui/common/light_pictures.hpp"
#include "ui/common/twips.hpp"
#include "params/auto_fill.hpp"
#include "params/song_settings.hpp"
#include "params/tempo_match.hpp"
#include "song/song_conversion.hpp"
#include "xm/xm_effects.hpp"

namespace ferro {

namespace {

QString qs(const std::string& s) { return QString::fromStdString(s); }

// A row of the module is one duration unit of the song; the driver runs
// once a frame, 60 times a second.
constexpr const char* kDividingTimingTip =
    "How many frames (1/60 s) one row of the module lasts; larger is slower.";
constexpr const char* kTempoTip =
    "Every so many frames the song stands still for one frame: 2 plays at half speed, 9 at eight ninths; "
    "larger is faster. A row lasts dividing timing x tempo / (tempo - 1) frames.";

// The "E4" toggle has no caption: it shows a small drum skin with "E4" on it,
// grey while off and lit while on.
QPixmap e4Picture(bool on) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor rim = on ? QColor(20, 90, 20) : QColor(110, 110, 110);
    const QColor skin = on ? QColor(120, 230, 120) : QColor(225, 225, 225);
    // Drum body, then the skin on top.
    p.setPen(QPen(rim, 1.5));
    p.setBrush(on ? QColor(60, 160, 60) : QColor(170, 170, 170));
    p.drawRoundedRect(QRectF(3.5, 10.5, 25, 17), 4, 4);
    p.setBrush(skin);
    p.drawEllipse(QRectF(3.5, 4.5, 25, 12));
    QFont f = p.font();
    f.setBold(true);
    f.setPixelSize(10);
    p.setFont(f);
    p.setPen(on ? QColor(0, 60, 0) : QColor(90, 90, 90));
    p.drawText(QRectF(3, 4, 26, 13), Qt::AlignCenter, "E4");
    return pm;
}

QRadioButton* optionButton(const char* name, const QString& caption, const QString& tip, QWidget* parent) {
    auto* b = new QRadioButton(caption, parent);
    b->setObjectName(name);
    b->setToolTip(tip);
    return b;
}

QGroupBox* frame(const char* name, const QString& caption, QWidget* parent) {
    auto* f = new QGroupBox(caption, parent);
    f->setObjectName(name);
    return f;
}

QListWidget* tempoList(const char* name, const QString& accessible, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(name);
    list->setAccessibleName(accessible);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    for (const std::string& item : tempoListItems()) list->addItem(qs(item));
    // Five items in view, the rest by scrolling.
    list->setFixedSize(px(735), list->sizeHintForRow(0) * 5 + 2 * list->frameWidth());
    return list;
}

}  // namespace

GeneralWindow::GeneralWindow(SongModel& model, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), model_(model), dialogs_(dialogs) {
    setObjectName("GeneralWindow");
    setWindowTitle("General parametres");
    setWindowIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));

    auto* left = new QVBoxLayout;
    left->addLayout(buildOptionFrames());
    left->addWidget(buildFmCountFrame());
    left->addWidget(buildPsgCountFrame());
    left->addWidget(buildTempoFrame());
    moduleEffectsBox_ = new QCheckBox("Play the module's volumes and effects", this);
    moduleEffectsBox_->setObjectName("moduleEffectsBox");
    moduleEffectsBox_->setToolTip(
        "Follows the module's volumes, speed changes and effects; without it the song plays the notes alone");
    left->addWidget(moduleEffectsBox_);
    left->addStretch(1);

    auto* right = new QVBoxLayout;
    right->addWidget(buildAssignmentFrame());
    right->addWidget(buildStatusFrame());
    buildModuleTempo(right);
    right->addStretch(1);

    buildStatusBar();
    auto* columns = new QHBoxLayout;
    columns->addLayout(left);
    columns->addLayout(right);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(6, 6, 6, 0);
    outer->addLayout(columns, 1);
    outer->addWidget(statusBar_);

    connectOptions();
    showChanges(kAllSongParts);
    subscription_ = model_.subscribe([this](SongChanges changes) { showChanges(changes); });
}

GeneralWindow::~GeneralWindow() {
    model_.unsubscribe(subscription_);
    // The lists still exist while QWidget tears the children down; a focus
    // change then must not reach a half-destroyed window.
    tearingDown_ = true;
}

// ---- Building.

QHBoxLayout* GeneralWindow::buildOptionFrames() {
    auto* loopFrame = frame("loopFrame", "Loop song", this);
    loopYes_ = optionButton("loopYesButton", "Yes", "Click here if you want to create a looping song", loopFrame);
    loopNo_ = optionButton("loopNoButton", "No", "Click here if your song should play only once", loopFrame);
    auto* loopLayout = new QVBoxLayout(loopFrame);
    loopLayout->addWidget(loopYes_);
    loopLayout->addWidget(loopNo_);

    auto* dacFrame = frame("dacFrame", "DAC", this);
    dacYes_ = optionButton("dacYesButton", "Yes", "Click here if your song has drums", dacFrame);
    dacNo_ = optionButton("dacNoButton", "No", "Click here if your song doesn't have drums", dacFrame);
    auto* dacLayout = new QVBoxLayout(dacFrame);
    dacLayout->addWidget(dacYes_);
    dacLayout->addWidget(dacNo_);

    e4Frame_ = frame("e4Frame", "E4", this);
    e4Box_ = new QToolButton(e4Frame_);
    e4Box_->setObjectName("e4Box");
    e4Box_->setAccessibleName("End the DAC track with E4");
    e4Box_->setCheckable(true);
    QIcon e4Icon;
    e4Icon.addPixmap(e4Picture(false), QIcon::Normal, QIcon::Off);
    e4Icon.addPixmap(e4Picture(true), QIcon::Normal, QIcon::On);
    e4Box_->setIcon(e4Icon);
    e4Box_->setIconSize(QSize(32, 32));
    e4Box_->setAutoRaise(false);
    auto* e4Layout = new QVBoxLayout(e4Frame_);
    e4Layout->addWidget(e4Box_, 0, Qt::AlignCenter);

    // The option frames never shrink below their captions, and the place of
    // "E4" stays reserved while it is hidden, so nothing moves when the loop
    // choice changes.
    for (QGroupBox* f : {loopFrame, dacFrame, e4Frame_}) f->setMinimumSize(f->sizeHint());
    QSizePolicy e4Policy = e4Frame_->sizePolicy();
    e4Policy.setRetainSizeWhenHidden(true);
    e4Frame_->setSizePolicy(e4Policy);

    auto* optionRow = new QHBoxLayout;
    optionRow->addWidget(loopFrame);
    optionRow->addWidget(dacFrame);
    optionRow->addWidget(e4Frame_);
    optionRow->addStretch(1);
    return optionRow;
}

// The number beside a slider is the count itself.
QGroupBox* GeneralWindow::buildFmCountFrame() {
    auto* fmFrame = frame("fmFrame", "FM channels", this);
    fmSlider_ = new QSlider(Qt::Horizontal, fmFrame);
    fmSlider_->setObjectName("fmChannelsSlider");
    fmSlider_->setAccessibleName("FM channel count");
    fmSlider_->setRange(0, kMaxFmChannelsWithDrums);
    fmSlider_->setPageStep(1);
    fmSlider_->setTickPosition(QSlider::TicksBelow);
    fmSlider_->setTickInterval(1);
    fmCount_ = new QLabel(fmFrame);
    fmCount_->setObjectName("fmChannelsLabel");
    fmCount_->setMinimumWidth(fontMetrics().horizontalAdvance("00"));
    auto* fmLayout = new QHBoxLayout(fmFrame);
    fmLayout->addWidget(fmSlider_, 1);
    fmLayout->addWidget(fmCount_);
    return fmFrame;
}

QGroupBox* GeneralWindow::buildPsgCountFrame() {
    auto* psgFrame = frame("psgFrame", "PSG channels", this);
    psgSlider_ = new QSlider(Qt::Horizontal, psgFrame);
    psgSlider_->setObjectName("psgChannelsSlider");
    psgSlider_->setAccessibleName("PSG channel count");
    psgSlider_->setRange(0, kMaxPsgChannels);
    psgSlider_->setPageStep(1);
    psgSlider_->setTickPosition(QSlider::TicksBelow);
    psgSlider_->setTickInterval(1);
    psgCount_ = new QLabel(psgFrame);
    psgCount_->setObjectName("psgChannelsLabel");
    psgCount_->setMinimumWidth(fontMetrics().horizontalAdvance("00"));
    noiseFrame_ = frame("noiseFrame", "Noise PSG", psgFrame);
    noiseYes_ = optionButton("noiseYesButton", "Yes", "Click here if you want to use the Noise channel", noiseFrame_);
    noiseNo_ = optionButton("noiseNoButton", "No", "Click here if you don't want to use the Noise channel", noiseFrame_);
    auto* noiseLayout = new QHBoxLayout(noiseFrame_);
    noiseLayout->addWidget(noiseYes_);
    noiseLayout->addWidget(noiseNo_);
    noiseLayout->addStretch(1);
    auto* psgLayout = new QGridLayout(psgFrame);
    psgLayout->addWidget(psgSlider_, 0, 0);
    psgLayout->addWidget(psgCount_, 0, 1);
    psgLayout->addWidget(noiseFrame_, 1, 0, 1, 2);
    psgLayout->setColumnStretch(0, 1);
    return psgFrame;
}

// Dividing timing on the left, tempo on the right.
QGroupBox* GeneralWindow::buildTempoFrame() {
    auto* tempoFrame = frame("tempoFrame", "Tempo", this);
    timingList_ = tempoList("timingList", "Dividing timing", tempoFrame);
    tempoList_ = tempoList("tempoList", "Tempo", tempoFrame);
    // Each list has its caption above it: two lists of the same numbers
    // side by side say nothing by themselves.
    auto* tempoLayout = new QGridLayout(tempoFrame);
    tempoLayout->setVerticalSpacing(2);
    int column = 0;
    for (QListWidget* list : {timingList_, tempoList_}) {
        auto* caption = new QLabel(list->accessibleName(), tempoFrame);
        caption->setObjectName(list == timingList_ ? "TimingCaption" : "TempoCaption");
        caption->setBuddy(list);
        tempoLayout->addWidget(caption, 0, column);
        tempoLayout->addWidget(list, 1, column++);
    }
    timingList_->setToolTip(kDividingTimingTip);
    tempoList_->setToolTip(kTempoTip);
    // A driver with a tempo byte shows the byte in place of the list.
    tempoByte_ = new QSpinBox(tempoFrame);
    tempoByte_->setObjectName("tempoByteBox");
    tempoByte_->setAccessibleName("Tempo");
    tempoByte_->setDisplayIntegerBase(16);
    tempoByte_->setPrefix("$");
    tempoByte_->setToolTip("The driver's tempo byte: the tracks move on tempo/256 of the driver's updates, "
                           "larger is faster. A row lasts dividing timing x 256 / tempo frames.");
    tempoByte_->hide();
    tempoLayout->addWidget(tempoByte_, 1, 1, Qt::AlignTop);
    matchTempoButton_ = new QPushButton("Match the module's tempo", tempoFrame);
    matchTempoButton_->setObjectName("matchTempoButton");
    matchTempoButton_->setToolTip("Sets the dividing timing and tempo whose row lasts nearest to a row of the module");
    connect(matchTempoButton_, &QPushButton::clicked, this, &GeneralWindow::matchModuleTempo);
    tempoLayout->addWidget(matchTempoButton_, 2, 0, 1, column + 1, Qt::AlignLeft);
    // The button close to the frame's edge, so that the window stays as
    // tall as the assignment column beside it and the Voice manager below
    // it keeps its room.
    QMargins margins = tempoLayout->contentsMargins();
    margins.setBottom(2);
    tempoLayout->setContentsMargins(margins);
    // The driver beside the tempo, whose meaning it sets.
    buildDriverChoice(tempoLayout, column);
    tempoLayout->setColumnStretch(column + 1, 1);
    return tempoFrame;
}

// Hidden rows keep their place, so the rows that stay do not jump about
// while the counts change.
QGroupBox* GeneralWindow::buildAssignmentFrame() {
    auto* assignFrame = frame("assignmentFrame", "XM channels assignments", this);
    auto* assignLayout = new QGridLayout(assignFrame);
    assignLayout->setVerticalSpacing(4);
    for (int row = 0; row < kAssignmentRowCount; ++row) {
        QString caption;
        if (row < kFirstPsgAssignmentRow)
            caption = qs(fmRowCaption(row + 1));
        else if (row < kDacAssignmentRow)
            caption = row == kDacAssignmentRow - 1 ? QString("Noise")
                                                   : "PSG" + QString::number(row - kFirstPsgAssignmentRow + 1);
        else
            caption = kDacRowCaption;
        auto* label = new QLabel(caption, assignFrame);
        label->setObjectName(QString("assignmentLabel_%1").arg(row));
        auto* list = new QComboBox(assignFrame);
        list->setObjectName(QString("assignmentBox_%1").arg(row));
        list->setEditable(false);
        list->setAccessibleName(caption + " channel");
        list->setMinimumWidth(px(1095));
        list->setMaxVisibleItems(16);
        list->installEventFilter(this);
        label->setBuddy(list);
        rowCaptions_[row] = label;
        rowLists_[row] = list;
        assignLayout->addWidget(label, row, 0);
        assignLayout->addWidget(list, row, 1);
        assignLayout->setRowMinimumHeight(row, list->sizeHint().height());
        connect(list, &QComboBox::activated, this, [this, row](int index) { pickChannel(row, index); });
    }
    autoFillButton_ = new QPushButton("Auto fill", assignFrame);
    autoFillButton_->setObjectName("autoFillButton");
    assignLayout->addWidget(autoFillButton_, kAssignmentRowCount, 0, 1, 2);
    assignLayout->setColumnStretch(1, 1);
    connect(autoFillButton_, &QPushButton::clicked, this, &GeneralWindow::fillAssignmentFromNames);
    return assignFrame;
}

// Which driver the song is written for: a list under its caption.
void GeneralWindow::buildDriverChoice(QGridLayout* grid, int column) {
    driverList_ = new QComboBox;
    driverList_->setObjectName("driverList");
    driverList_->setAccessibleName("Sound driver");
    for (SoundDriver id : allDrivers()) driverList_->addItem(driverProfile(id).name);
    driverList_->setToolTip("The game's sound driver that will play the song");
    auto* caption = new QLabel("Sound driver");
    caption->setObjectName("DriverCaption");
    caption->setBuddy(driverList_);
    grid->addWidget(caption, 0, column);
    grid->addWidget(driverList_, 1, column, Qt::AlignTop);
    connect(driverList_, &QComboBox::activated, this, &GeneralWindow::pickDriver);
}

void GeneralWindow::pickDriver(int index) {
    if (index >= 0 && index < static_cast<int>(allDrivers().size()))
        model_.setDriver(allDrivers()[static_cast<std::size_t>(index)]);
}

// The module's own tempo under the light, where the column has room to
// spare; the button that brings the song nearest to it under the tempo lists.
void GeneralWindow::buildModuleTempo(QVBoxLayout* column) {
    moduleTempo_ = new QLabel(this);
    moduleTempo_->setObjectName("moduleTempoLabel");
    moduleTempo_->setWordWrap(true);
    moduleTempo_->setToolTip("The speed and BPM the module starts with in the tracker");
    // The text wraps within the column's width and does not widen it.
    moduleTempo_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    column->addWidget(moduleTempo_);
}

QGroupBox* GeneralWindow::buildStatusFrame() {
    auto* statusFrame = frame("statusFrame", "Status:", this);
    lightPicture_ = new QLabel(statusFrame);
    lightPicture_->setObjectName("lightPicture");
    lightPicture_->setAccessibleName("Readiness light");
    lightPicture_->setFixedSize(32, 32);
    auto* statusLayout = new QHBoxLayout(statusFrame);
    statusLayout->addWidget(lightPicture_, 0, Qt::AlignCenter);
    return statusFrame;
}

void GeneralWindow::buildStatusBar() {
    statusBar_ = new QStatusBar(this);
    statusBar_->setObjectName("statusBar");
    statusBar_->setSizeGripEnabled(false);
    statusPanel_ = new QLabel(statusBar_);
    statusPanel_->setObjectName("statusPanel");
    statusBar_->addWidget(statusPanel_, 1);
}

void GeneralWindow::connectOptions() {
    // A radio button's click reports the choice even when it was already set;
    // the model's operations are idempotent, so that does no harm.
    connect(loopYes_, &QRadioButton::clicked, this, [this] { model_.setLoopSong(true); });
    connect(loopNo_, &QRadioButton::clicked, this, [this] { model_.setLoopSong(false); });
    connect(dacYes_, &QRadioButton::clicked, this, [this] { model_.setHasDrums(true); });
    connect(dacNo_, &QRadioButton::clicked, this, [this] { model_.setHasDrums(false); });
    connect(noiseYes_, &QRadioButton::clicked, this, [this] { model_.setUseNoise(true); });
    connect(noiseNo_, &QRadioButton::clicked, this, [this] { model_.setUseNoise(false); });
    connect(e4Box_, &QToolButton::toggled, this, [this](bool on) {
        if (!showing_) model_.setEndDacWithE4(on);
    });
    connect(moduleEffectsBox_, &QCheckBox::toggled, this, [this](bool on) {
        if (!showing_) model_.setModuleEffects(on);
    });
    connect(fmSlider_, &QSlider::valueChanged, this, [this](int count) {
        if (!showing_) model_.setFmChannelCount(count);
    });
    connect(psgSlider_, &QSlider::valueChanged, this, [this](int count) {
        if (!showing_) model_.setPsgChannelCount(count);
    });
    connect(timingList_, &QListWidget::itemSelectionChanged, this, &GeneralWindow::pickDividingTiming);
    connect(tempoList_, &QListWidget::itemSelectionChanged, this, &GeneralWindow::pickTempo);
    connect(tempoByte_, &QSpinBox::valueChanged, this, [this](int value) {
        if (!showing_) model_.setTempo(value);
    });
}

// ---- Showing the model.

void GeneralWindow::showChanges(SongChanges changes) {
    if (changed(changes, SongPart::Module) || changed(changes, SongPart::General)) showSettings();
    // The lists hold one item per XM channel of the module.
    if (changed(changes, SongPart::Module) || changed(changes, SongPart::Assignment)) showAssignment();
    // The status line also says what the driver would play wrongly, which
    // every choice of the song may change.
    if (changes != 0) showLight();
}

void GeneralWindow::showSettings() {
    const SongSettings& settings = model_.settings();
    const GeneralWindowView view = generalWindowView(settings);
    showing_ = true;

    (settings.loopSong ? loopYes_ : loopNo_)->setChecked(true);
    (settings.hasDrums ? dacYes_ : dacNo_)->setChecked(true);
    (settings.useNoise ? noiseYes_ : noiseNo_)->setChecked(true);
    e4Frame_->setVisible(view.e4FrameVisible);
    e4Box_->setChecked(settings.endDacWithE4);
    moduleEffectsBox_->setChecked(settings.moduleEffects);
    const DriverProfile& driver = driverProfile(settings.driver);
    e4Box_->setEnabled(driver.endsWithE4);
    e4Box_->setToolTip(driver.endsWithE4 ? QString()
                                         : QString("E4 hands back to the music before in the Sonic 1 driver only; "
                                                   "the %1 driver would restore whatever its save area holds")
                                               .arg(driver.name));
    driverList_->setCurrentIndex(static_cast<int>(settings.driver));

    fmSlider_->setMaximum(view.fmSliderMax);
    fmSlider_->setValue(settings.fmChannelCount);
    fmCount_->setText(qs(view.fmCountText));
    psgSlider_->setValue(settings.psgChannelCount);
    psgCount_->setText(qs(view.psgCountText));
    noiseFrame_->setEnabled(view.noiseFrameEnabled);

    timingList_->setCurrentRow(tempoToListIndex(settings.dividingTiming));
    const bool tempoByte = driver.tempoRule == TempoRule::Accumulator;
    tempoList_->setVisible(!tempoByte);
    tempoByte_->setVisible(tempoByte);
    tempoByte_->setRange(driver.minTempo, driver.maxTempo);
    if (tempoByte) {
        tempoByte_->setValue(settings.tempo);
    } else {
        tempoList_->setCurrentRow(tempoToListIndex(settings.tempo));
    }
    const XmModule* module = model_.module();
    const XmTempo start = module ? tempoAtFirstRow(*module) : XmTempo{};
    moduleTempo_->setText(module ? "Module: " + qs(moduleTempoText(start.speed, start.bpm)) : QString());
    matchTempoButton_->setEnabled(module != nullptr);

    for (int k = 0; k < kMaxFmChannels; ++k) {
        rowCaptions_[k]->setVisible(view.fmRowVisible[k]);
        rowLists_[k]->setVisible(view.fmRowVisible[k]);
    }
    for (int m = 0; m < kMaxPsgChannels; ++m) {
        const int row = kFirstPsgAssignmentRow + m;
        const bool visible = view.psgRowVisible[m];
        // A hidden row keeps the caption it had.
        if (visible) {
            const QString caption = qs(view.psgRowCaption[m]);
            rowCaptions_[row]->setText(caption);
            rowLists_[row]->setAccessibleName(caption + " channel");
        }
        rowCaptions_[row]->setVisible(visible);
        rowLists_[row]->setVisible(visible);
    }
    rowCaptions_[kDacAssignmentRow]->setVisible(view.dacRowVisible);
    rowLists_[kDacAssignmentRow]->setVisible(view.dacRowVisible);
    showing_ = false;
}

void GeneralWindow::showAssignment() {
    const int count = model_.assignment().channelCount;
    showing_ = true;
    for (int row = 0; row < kAssignmentRowCount; ++row) {
        QComboBox* list = rowLists_[row];
        if (list->count() != count) {
            list->clear();
            for (const std::string& item : channelListItems(count)) list->addItem(qs(item));
        }
        // Adding items to an empty list selects the first one; none is shown
        // as no selection at all.
        list->setCurrentIndex(channelToListIndex(model_.rowChoice(row), count));
    }
    showing_ = false;
}

void GeneralWindow::showLight() {
    const std::optional<ReadinessLight> light = model_.generalLight();
    if (light)
        lightPicture_->setPixmap(lightPicture(*light));
    else
        lightPicture_->clear();
    // With a light that lets the song convert, the first thing the Sonic 1
    // driver would play wrongly, if any, so that it can be mended before
    // converting.
    QString status = qs(model_.generalStatusText());
    if (light && *light != ReadinessLight::Red) {
        const std::vector<std::string> warnings = songDriverWarnings(model_);
        if (!warnings.empty()) status = qs(warnings.front());
        // Else, as a hint, what the song leaves out of the module.
        else if (const std::string hint = songEffectsHint(model_); !hint.empty()) status = qs(hint);
    }
    statusPanel_->setText(status);
    statusPanel_->setToolTip(status);
}

// ---- The user's input.

void GeneralWindow::pickChannel(int row, int listIndex) {
    model_.chooseChannel(row, channelFromListIndex(listIndex, model_.assignment().channelCount));
}

// A list that merely gets the focus has a current row but no selection; only
// a selected item is a choice. The value is the position + 1.
void GeneralWindow::pickDividingTiming() {
    if (showing_) return;
    const auto selected = timingList_->selectedItems();
    if (!selected.isEmpty()) model_.setDividingTiming(tempoFromListIndex(timingList_->row(selected.first())));
}

void GeneralWindow::pickTempo() {
    if (showing_) return;
    const auto selected = tempoList_->selectedItems();
    if (!selected.isEmpty()) model_.setTempo(tempoFromListIndex(tempoList_->row(selected.first())));
}

void GeneralWindow::matchModuleTempo() {
    const std::optional<TempoMatch> match = model_.matchModuleTempo();
    if (!match) {
        dialogs_.showMessage(kNoModuleTempoMessage, MessageIcon::Information);
        return;
    }
    // How near it came, on the status line until the next change shows the
    // song's status again.
    statusPanel_->setText(qs(match->text));
    statusPanel_->setToolTip(qs(match->text));
}

void GeneralWindow::fillAssignmentFromNames() {
    // The names and notes were read with the module, so the file on disk no longer matters.
    const std::optional<std::string> outcome = model_.autoFill();
    if (!outcome) {
        dialogs_.showMessage(kAutoFillFailedMessage, MessageIcon::Information);
        return;
    }
    // What went where and why, on the status line until the next change.
    statusPanel_->setText(qs(*outcome));
    statusPanel_->setToolTip(qs(*outcome));
}

bool GeneralWindow::eventFilter(QObject* watched, QEvent* event) {
    // Moving the focus into a channel list re-validates.
    if (event->type() == QEvent::FocusIn && !tearingDown_) {
        for (QComboBox* list : rowLists_)
            if (watched == list) {
                model_.checkAssignment();
                break;
            }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace ferro
