#include "ui/params/more_window.hpp"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyledItemDelegate>
#include <QToolButton>
#include <QVBoxLayout>

#include "ui/common/dialogs.hpp"
#include "params/song_settings.hpp"
#include "song/song_choices.hpp"

namespace ferro {

namespace {

// Wide enough for a number and the start of a name; a longer name ends in
// "..." and shows whole as the item's tooltip.
constexpr int kKeyListWidth = 108;
// The PSG and DAC values are bare numbers.
constexpr int kNumberListWidth = 72;
// Rows in view in each map list; the rest scrolls.
constexpr int kListRows = 7;
// The main window's client area at its smallest size, less the sub-window's
// frame.
constexpr int kMostWidth = 665;
constexpr int kMostHeight = 590;

QString qs(const std::string& s) { return QString::fromStdString(s); }

// Items as wide as the list, so that a long name is cut short with "..."
// instead of the list scrolling sideways.
class ListWideItems : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {1, QStyledItemDelegate::sizeHint(option, index).height()};
    }
};

// Fixes a map list's size to whole rows, so that no row shows cut in half.
void fitListToRows(QListWidget* list, int width) {
    list->setItemDelegate(new ListWideItems(list));
    list->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list->setTextElideMode(Qt::ElideRight);
    list->addItem("0");
    const int rowHeight = list->sizeHintForRow(0);
    list->clear();
    list->setFixedSize(width, rowHeight * kListRows + 2 * list->frameWidth());
}

// What each setting does to the song, as the Sonic 1 driver plays it.
constexpr const char* kFmPitchTip = "Semitones added to every note of this channel; 12 is an octave up.";
constexpr const char* kPsgPitchTip =
    "Semitones added to every note of this channel; 12 is an octave up. The PSG's notes start three octaves "
    "above the FM ones: at -36 it plays the module's notes at their own height.";
constexpr const char* kFmVolumeTip =
    "Softens the channel: added to the loudness (total level) of the voice's carrier operators each time a "
    "voice is loaded. 0 plays the voice as it is; each 8 is about 6 dB quieter.";
constexpr const char* kPsgVolumeTip =
    "Softens the channel: added to every step of its PSG voice. 0 is loudest, each step about 2 dB quieter, "
    "15 silent; keep it at 15 or under.";
constexpr const char* kPanTip =
    "Where the channel sounds. Default follows the module's panning effect (8xx) note by note: left below 7F, "
    "right above 80, otherwise both speakers. Centre, Left and Right keep it there; Random! puts each note "
    "left, centre or right at random.";
constexpr const char* kOptimiseTip =
    "Cuts each channel's looping part down to the shortest block of rows that repeats, so that the song takes "
    "less room; it plays the same.";
constexpr const char* kRemoveRestsTip =
    "At the next conversion, clears the key-offs in the drum channel's rows: a drum sample plays to its end "
    "anyway, so its rests only take room. The box then greys until the module is reloaded.";

// Names from the module and the voice files are 8-bit text.
QString fromLatin1(const std::string& s) { return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size())); }

// A name may be longer than the list is wide: the whole item shows as its
// tooltip.
void fillList(QListWidget* list, const std::vector<std::string>& items) {
    list->clear();
    for (const std::string& item : items) {
        list->addItem(fromLatin1(item));
        list->item(list->count() - 1)->setToolTip(fromLatin1(item));
    }
}

// Renames the items in place, keeping the selection and the scrolling.
void renameItems(QListWidget* list, const std::vector<std::string>& items) {
    for (int row = 0; row < list->count() && row < static_cast<int>(items.size()); ++row) {
        const QString text = fromLatin1(items[static_cast<std::size_t>(row)]);
        QListWidgetItem* item = list->item(row);
        if (item->text() == text) continue;
        item->setText(text);
        item->setToolTip(text);
    }
}

const std::vector<std::string>& instrumentNames(const SongModel& model) {
    static const std::vector<std::string> none;
    return model.module() ? model.module()->instrumentNames : none;
}

std::vector<std::string> voiceNames(const SongVoiceList& voices) {
    std::vector<std::string> names;
    for (int i = 0; i < voices.count(); ++i) names.push_back(voices.name(i));
    return names;
}

constexpr std::array<InstrumentMapKind, 4> kMapKinds = {InstrumentMapKind::Fm, InstrumentMapKind::Psg,
                                                        InstrumentMapKind::Dac, InstrumentMapKind::HiHat};

// The window's cat: 32x32, drawn here so that the program carries no image
// files.
QPixmap catPicture() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor fur(232, 140, 48);
    const QColor dark(60, 40, 30);
    p.setPen(QPen(dark, 1));
    p.setBrush(fur);
    // Ears, then the head over their bases.
    QPainterPath ears;
    ears.moveTo(4, 14);
    ears.lineTo(6, 2);
    ears.lineTo(14, 9);
    ears.moveTo(28, 14);
    ears.lineTo(26, 2);
    ears.lineTo(18, 9);
    p.drawPath(ears);
    p.drawEllipse(QRectF(3.5, 7.5, 25, 22));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(255, 190, 200));
    p.drawPolygon(QPolygonF({QPointF(7, 11), QPointF(7.5, 5), QPointF(11.5, 9)}));
    p.drawPolygon(QPolygonF({QPointF(25, 11), QPointF(24.5, 5), QPointF(20.5, 9)}));
    // Eyes.
    p.setBrush(QColor(120, 200, 80));
    p.drawEllipse(QRectF(9, 14, 5, 6));
    p.drawEllipse(QRectF(18, 14, 5, 6));
    p.setBrush(Qt::black);
    p.drawEllipse(QRectF(10.7, 14.5, 1.6, 5));
    p.drawEllipse(QRectF(19.7, 14.5, 1.6, 5));
    // Nose, mouth and whiskers.
    p.setBrush(QColor(220, 80, 110));
    p.drawPolygon(QPolygonF({QPointF(14.5, 21), QPointF(17.5, 21), QPointF(16, 23)}));
    p.setPen(QPen(dark, 0.8));
    p.setBrush(Qt::NoBrush);
    p.drawLine(QPointF(16, 23), QPointF(16, 24.5));
    p.drawArc(QRectF(13, 22.5, 3, 3), 180 * 16, 180 * 16);
    p.drawArc(QRectF(16, 22.5, 3, 3), 180 * 16, 180 * 16);
    for (int side : {-1, 1}) {
        const double x0 = 16 + side * 4.5;
        const double x1 = 16 + side * 15;
        p.drawLine(QPointF(x0, 22), QPointF(x1, 20));
        p.drawLine(QPointF(x0, 23.5), QPointF(x1, 24.5));
    }
    return pm;
}

}  // namespace

MoreWindow::MoreWindow(SongModel& model, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), model_(model), dialogs_(dialogs) {
    setObjectName("MoreWindow");
    setWindowTitle(kMoreParametresCaption);
    // It lives from the first load to the unload: no close control.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowMaximizeButtonHint);
    setWindowIcon(QIcon(catPicture()));

    auto* content = new QWidget;
    content->setObjectName("MoreContent");

    // The channel frames, one line each: FM 1..6 in the left column; PSG,
    // noise and DAC in the right one, with the output option and the picture
    // below them.
    auto* channels = new QHBoxLayout;
    channels->setSpacing(6);
    channels->addLayout(buildFmColumn());
    channels->addLayout(buildPsgColumn());
    channels->addStretch(1);

    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(6);
    playedOnlyBox_ = new QCheckBox("only the instruments the song plays");
    playedOnlyBox_->setObjectName("playedOnlyBox");
    playedOnlyBox_->setToolTip("Hides the instruments (or notes) that no channel of the song plays through a map; "
                               "the ones it plays are in bold");
    connect(playedOnlyBox_, &QCheckBox::toggled, this, [this] { showPlayed(); });
    column->addWidget(playedOnlyBox_);
    column->addLayout(buildMapFrames());
    column->addLayout(channels);
    column->addStretch(1);

    auto* scroll = new QScrollArea(this);
    scroll->setObjectName("MoreScroll");
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(content);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(scroll);

    content_ = content;
    scroll_ = scroll;
    resize(sizeHint());

    showChanges(kAllSongParts);
    subscription_ = model_.subscribe([this](SongChanges changes) { showChanges(changes); });
}

MoreWindow::~MoreWindow() { model_.unsubscribe(subscription_); }

// ---- Building.

// The instrument maps, two frames a row.
QGridLayout* MoreWindow::buildMapFrames() {
    auto* maps = new QGridLayout;
    maps->setSpacing(6);
    maps->addWidget(buildMapFrame(InstrumentMapKind::Fm, "fmMapFrame", "fmKeyList", "fmVoiceList"), 0, 0);
    maps->addWidget(buildMapFrame(InstrumentMapKind::Psg, "psgMapFrame", "psgKeyList", "psgEnvelopeList"), 0, 1);
    maps->addWidget(buildMapFrame(InstrumentMapKind::Dac, "dacMapFrame", "dacKeyList", "dacSampleList"), 1, 0);
    maps->addWidget(buildMapFrame(InstrumentMapKind::HiHat, "hiHatMapFrame", "hiHatKeyList", nullptr), 1, 1);
    maps->setColumnStretch(2, 1);  // frames keep their width, packed left
    return maps;
}

QGroupBox* MoreWindow::buildMapFrame(InstrumentMapKind kind, const char* frameName, const char* keysName,
                                     const char* valuesName) {
    const MapFrameTexts texts = mapFrameTexts(model_.maps(), kind);
    MapFrame& f = frame(kind);
    f.box = new QGroupBox(qs(texts.frameCaption));
    f.box->setObjectName(frameName);
    auto* grid = new QGridLayout(f.box);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(3);

    f.keyHeading = new QLabel(qs(texts.keyHeading));
    f.keyHeading->setWordWrap(true);
    f.keyHeading->setFixedWidth(kKeyListWidth);
    f.keyHeading->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    f.keys = new QListWidget;
    f.keys->setObjectName(keysName);
    fitListToRows(f.keys, kKeyListWidth);
    f.keys->setSelectionMode(QAbstractItemView::SingleSelection);
    f.keyHeading->setBuddy(f.keys);
    auto* connecting = new QLabel(qs(texts.connectingCaption));
    connecting->setAlignment(Qt::AlignCenter);
    grid->addWidget(f.keyHeading, 0, 0);
    grid->addWidget(f.keys, 1, 0);
    grid->addWidget(connecting, 1, 1);

    connect(f.keys, &QListWidget::currentRowChanged, this, [this, kind](int row) {
        if (!showing_ && row >= 0) selectMapKey(kind, row + 1);
    });

    if (kind == InstrumentMapKind::HiHat) {
        f.keys->setAccessibleName("Hi-hat keys");
        buildHiHatKinds(grid);
    } else {
        const int width = kind == InstrumentMapKind::Fm ? kKeyListWidth : kNumberListWidth;
        auto* heading = new QLabel(qs(texts.valueHeading));
        heading->setWordWrap(true);
        heading->setFixedWidth(width);
        heading->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        f.values = new QListWidget;
        f.values->setObjectName(valuesName);
        fitListToRows(f.values, width);
        f.values->setSelectionMode(QAbstractItemView::SingleSelection);
        f.values->setAccessibleName(qs(texts.valueHeading));
        fillList(f.values, mapValueItems(kind, voiceNames(model_.voices())));
        f.keys->setAccessibleName(kind == InstrumentMapKind::Fm    ? "FM voice keys"
                                  : kind == InstrumentMapKind::Psg ? "PSG voice keys"
                                                                   : "DAC keys");
        heading->setBuddy(f.values);
        grid->addWidget(heading, 0, 2);
        grid->addWidget(f.values, 1, 2);
        connect(f.values, &QListWidget::currentRowChanged, this, [this, kind](int row) {
            if (!showing_ && row >= 0) pickMapValue(kind, row);
        });
    }

    if (kind == InstrumentMapKind::Fm || kind == InstrumentMapKind::Psg) {
        // Dragging with the left button held moves the list's selection to
        // the key under the mouse, which shows its voice through
        // currentRowChanged; scrolling shows the selected key's voice again.
        connect(f.keys->verticalScrollBar(), &QScrollBar::valueChanged, this,
                [this, kind] { showMapValue(kind, true); });
    }
    if (kind == InstrumentMapKind::Dac || kind == InstrumentMapKind::HiHat) buildKeyingOptions(kind, grid);
    grid->setColumnStretch(3, 1);
    grid->setRowStretch(3, 1);
    return f.box;
}

void MoreWindow::buildHiHatKinds(QGridLayout* grid) {
    closedHiHat_ = new QRadioButton(kClosedHiHatCaption);
    closedHiHat_->setObjectName("closedHiHatButton");
    openHiHat_ = new QRadioButton(kOpenHiHatCaption);
    openHiHat_->setObjectName("openHiHatButton");
    connect(closedHiHat_, &QRadioButton::clicked, this, [this] { pickMapValue(InstrumentMapKind::HiHat, 0); });
    connect(openHiHat_, &QRadioButton::clicked, this, [this] { pickMapValue(InstrumentMapKind::HiHat, 1); });
    auto* kinds = new QVBoxLayout;
    kinds->addStretch(1);
    kinds->addWidget(closedHiHat_);
    kinds->addWidget(openHiHat_);
    kinds->addStretch(1);
    grid->addLayout(kinds, 1, 2);
}

void MoreWindow::buildKeyingOptions(InstrumentMapKind kind, QGridLayout* grid) {
    const bool dac = kind == InstrumentMapKind::Dac;
    MapFrame& f = frame(kind);
    f.each = new QRadioButton(dac ? kEachDrumOption : kEachHiHatOption);
    f.byNote = new QRadioButton(dac ? kDrumsByNoteOption : kHiHatsByNoteOption);
    f.each->setObjectName(dac ? "eachDrumButton" : "eachHiHatButton");
    f.byNote->setObjectName(dac ? "drumsByNoteButton" : "hiHatsByNoteButton");
    // The two keying options form their own group, apart from the hi-hat
    // kinds in the same frame.
    auto* pair = new QWidget;
    auto* pairLayout = new QVBoxLayout(pair);
    pairLayout->setContentsMargins(0, 4, 0, 0);
    pairLayout->setSpacing(2);
    pairLayout->addWidget(f.each);
    pairLayout->addWidget(f.byNote);
    grid->addWidget(pair, 2, 0, 1, 4);
    for (QRadioButton* option : {f.each, f.byNote}) {
        const bool byNote = option == f.byNote;
        connect(option, &QRadioButton::toggled, this, [this, kind, byNote](bool on) {
            if (on && !showing_) chooseKeying(kind, byNote);
        });
    }
}

QVBoxLayout* MoreWindow::buildFmColumn() {
    auto* fmColumn = new QVBoxLayout;
    fmColumn->setSpacing(4);
    for (int k = 1; k <= kMaxFmChannels; ++k) {
        fmFrames_[k - 1] = buildChannelFrame(qs(fmFrameCaption(k)), k - 1, k - 1, k - 1);
        fmFrames_[k - 1]->setObjectName(QString("fmChannelFrame_%1").arg(k - 1));
        // A hidden FM frame keeps its place: the window is sized for all six
        // at the load, so FM 6 appearing with the drums off is not cut off,
        // and the frames that stay do not move.
        QSizePolicy policy = fmFrames_[k - 1]->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        fmFrames_[k - 1]->setSizePolicy(policy);
        fmColumn->addWidget(fmFrames_[k - 1]);
    }
    fmColumn->addStretch(1);
    return fmColumn;
}

QVBoxLayout* MoreWindow::buildPsgColumn() {
    auto* psgColumn = new QVBoxLayout;
    psgColumn->setSpacing(4);
    for (int k = 1; k <= kMaxPsgChannels; ++k) {
        const int slot = kFirstPsgSlot + k - 1;
        psgFrames_[k - 1] = buildChannelFrame(qs(psgFrameCaption(k)), slot, slot, -1);
        psgFrames_[k - 1]->setObjectName(QString("psgChannelFrame_%1").arg(k - 1));
        psgColumn->addWidget(psgFrames_[k - 1]);
    }
    noiseFrame_ = buildChannelFrame(kNoiseFrameCaption, -1, kNoiseVolumeSlot, -1);
    noiseFrame_->setObjectName("noiseChannelFrame");
    psgColumn->addWidget(noiseFrame_);
    dacFrame_ = buildChannelFrame(kDacFrameCaption, -1, -1, kDacPanSlot);
    dacFrame_->setObjectName("dacChannelFrame");
    removeRestsBox_ = new QCheckBox(kRemoveRestsCaption);
    removeRestsBox_->setObjectName("removeRestsBox");
    removeRestsBox_->setToolTip(kRemoveRestsTip);
    static_cast<QGridLayout*>(dacFrame_->layout())->addWidget(removeRestsBox_, 0, 2, 1, 2);
    // Only the user's clicks store a value; the conversion greys the box
    // through the model.
    connect(removeRestsBox_, &QCheckBox::clicked, this, [this](bool checked) { model_.setRemoveRests(checked); });
    psgColumn->addWidget(dacFrame_);

    // The option that concerns the whole song and the picture close the
    // window at the bottom.
    optimiseBox_ = new QCheckBox(kOptimiseOutputCaption);
    optimiseBox_->setObjectName("optimiseBox");
    optimiseBox_->setToolTip(kOptimiseTip);
    connect(optimiseBox_, &QCheckBox::toggled, this, [this](bool on) {
        if (!showing_) model_.setOptimiseOutput(on);
    });
    catButton_ = new QToolButton;
    catButton_->setObjectName("catButton");
    catButton_->setAccessibleName("Cat");
    catButton_->setAutoRaise(true);
    catButton_->setIcon(QIcon(catPicture()));
    catButton_->setIconSize(QSize(32, 32));
    connect(catButton_, &QToolButton::clicked, this, &MoreWindow::showCatMessage);
    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(4, 0, 0, 0);
    footer->addWidget(optimiseBox_);
    footer->addStretch(1);
    footer->addWidget(catButton_);
    psgColumn->addLayout(footer);
    psgColumn->addStretch(1);
    return psgColumn;
}

QGroupBox* MoreWindow::buildChannelFrame(const QString& caption, int pitchSlot, int volumeSlot, int panSlot) {
    auto* box = new QGroupBox(caption);
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(6, 2, 6, 4);
    grid->setHorizontalSpacing(4);
    // Each value keeps its own two columns (caption, control) in every
    // frame, so that the same values line up from one frame to the next.
    const QFontMetrics metrics(box->font());
    const int spinWidth = metrics.horizontalAdvance("-128") + 30;
    const int listWidth = metrics.horizontalAdvance("Random!") + 34;
    auto reserve = [&](int column, const char* label, int width) {
        grid->setColumnMinimumWidth(column, metrics.horizontalAdvance(label) + 2);
        grid->setColumnMinimumWidth(column + 1, width + 4);
    };
    auto addValue = [&](int column, const char* label, QWidget* control, int width, const char* tip) {
        control->setFixedWidth(width);
        control->setToolTip(tip);
        auto* l = new QLabel(label);
        l->setToolTip(tip);
        l->setBuddy(control);
        grid->addWidget(l, 0, column);
        grid->addWidget(control, 0, column + 1);
        reserve(column, label, width);
    };
    int column = 0;
    if (pitchSlot >= 0) {
        auto* spin = new QSpinBox;
        spin->setObjectName(QString("pitchBox_%1").arg(pitchSlot));
        spin->setAccessibleName(caption + " pitch");
        spin->setRange(kPitchMin, kPitchMax);
        connect(spin, &QSpinBox::valueChanged, this, [this, pitchSlot](int v) {
            if (!showing_) model_.setPitch(pitchSlot, v);
        });
        pitch_[pitchSlot] = spin;
        addValue(column, kPitchLabel, spin, spinWidth, pitchSlot < kFirstPsgSlot ? kFmPitchTip : kPsgPitchTip);
        column += 2;
    } else if (volumeSlot >= 0) {
        reserve(column, kPitchLabel, spinWidth);  // the noise volume under the PSG volumes
        column += 2;
    }
    if (volumeSlot >= 0) {
        auto* spin = new QSpinBox;
        spin->setObjectName(QString("volumeBox_%1").arg(volumeSlot));
        spin->setAccessibleName(caption + " volume");
        spin->setRange(kVolumeMin, kVolumeMax);
        connect(spin, &QSpinBox::valueChanged, this, [this, volumeSlot](int v) {
            if (!showing_) model_.setVolume(volumeSlot, v);
        });
        volume_[volumeSlot] = spin;
        addValue(column, kVolumeLabel, spin, spinWidth, volumeSlot < kFirstPsgSlot ? kFmVolumeTip : kPsgVolumeTip);
        column += 2;
    }
    if (panSlot >= 0) {
        auto* list = new QComboBox;
        list->setObjectName(QString("panBox_%1").arg(panSlot));
        list->setAccessibleName(caption + " pan");
        for (const std::string& item : panListItems()) list->addItem(qs(item));
        connect(list, &QComboBox::currentIndexChanged, this, [this, panSlot](int position) {
            if (!showing_ && position >= 0) model_.setPan(panSlot, position);
        });
        pan_[panSlot] = list;
        addValue(column, kPanLabel, list, listWidth, kPanTip);
        column += 2;
    }
    grid->setColumnStretch(8, 1);
    return box;
}

QSize MoreWindow::wholeSizeHint() const {
    // The wrapped headings may want more height at the content's width than
    // its plain size hint says.
    QSize whole = content_->sizeHint();
    if (content_->hasHeightForWidth()) whole.setHeight(std::max(whole.height(), content_->heightForWidth(whole.width())));
    return whole + QSize(2, 2);
}

QSize MoreWindow::sizeHint() const {
    const QSize wanted = wholeSizeHint() + QSize(scroll_->verticalScrollBar()->sizeHint().width(), 0);
    return wanted.boundedTo(QSize(kMostWidth, kMostHeight));
}

// ---- Showing the model.

void MoreWindow::showChanges(SongChanges changes) {
    const bool all = changed(changes, SongPart::Module);
    if (all || changed(changes, SongPart::General)) showFrames();
    if (all || changed(changes, SongPart::Maps)) showMaps();
    if (all || changed(changes, SongPart::Channels)) showChannels();
    if (all || changed(changes, SongPart::Voices)) showVoiceNames();
    // Which channels play which instruments follows the counts, the
    // assignment and the keying.
    if (all || changed(changes, SongPart::General) || changed(changes, SongPart::Assignment) ||
        changed(changes, SongPart::Maps))
        showPlayed();
}

// The frames follow the General choices; hidden frames keep their values.
void MoreWindow::showFrames() {
    const SongSettings& settings = model_.settings();
    const MoreWindowView view = moreWindowView(settings);
    // The drums and envelopes of the chosen driver.
    const DriverProfile& driver = driverProfile(settings.driver);
    for (InstrumentMapKind kind : {InstrumentMapKind::Psg, InstrumentMapKind::Dac})
        renameItems(frame(kind).values, mapValueItems(kind, {}, driver));
    frame(InstrumentMapKind::Fm).box->setVisible(view.fmVoiceFrameVisible);
    frame(InstrumentMapKind::Psg).box->setVisible(view.psgVoiceFrameVisible);
    frame(InstrumentMapKind::Dac).box->setVisible(view.dacMapFrameVisible);
    frame(InstrumentMapKind::HiHat).box->setVisible(view.hiHatFrameVisible);
    for (int k = 0; k < kMaxFmChannels; ++k) fmFrames_[k]->setVisible(view.fmFrameVisible[k]);
    for (int k = 0; k < kMaxPsgChannels; ++k) psgFrames_[k]->setVisible(view.psgFrameVisible[k]);
    noiseFrame_->setVisible(view.noiseFrameVisible);
    dacFrame_->setVisible(view.dacFrameVisible);
    optimiseBox_->setVisible(view.optimiseOutputVisible);
    showing_ = true;
    optimiseBox_->setChecked(settings.optimiseOutput);
    showing_ = false;
    showRemoveRests();
}

void MoreWindow::showMaps() {
    const InstrumentMaps& maps = model_.maps();
    for (InstrumentMapKind kind :
         {InstrumentMapKind::Fm, InstrumentMapKind::Psg, InstrumentMapKind::Dac, InstrumentMapKind::HiHat}) {
        MapFrame& f = frame(kind);
        if (f.each) {
            const bool byNote = kind == InstrumentMapKind::Dac ? maps.drumsByNote : maps.hihatsByNote;
            showing_ = true;
            (byNote ? f.byNote : f.each)->setChecked(true);
            showing_ = false;
        }
        // A new keying starts over at key 1; otherwise the selected key stays.
        if (f.keys->count() != mapKeyCount(maps, kind)) {
            refillKeys(kind);
        } else {
            renameItems(f.keys, mapKeyItems(maps, kind, instrumentNames(model_)));
            showMapValue(kind, false);
        }
    }
}

void MoreWindow::showVoiceNames() {
    renameItems(frame(InstrumentMapKind::Fm).values, mapValueItems(InstrumentMapKind::Fm, voiceNames(model_.voices())));
}

void MoreWindow::showPlayed() {
    const XmModule* module = model_.module();
    const bool playedOnly = playedOnlyBox_->isChecked();
    for (InstrumentMapKind kind : kMapKinds) {
        MapFrame& f = frame(kind);
        const std::vector<bool> played = module ? playedMapKeys(*module, model_.choices(), kind) : std::vector<bool>{};
        int firstShown = -1;
        for (int row = 0; row < f.keys->count(); ++row) {
            const bool on = row < static_cast<int>(played.size()) && played[static_cast<std::size_t>(row)];
            QListWidgetItem* item = f.keys->item(row);
            QFont font = item->font();
            font.setBold(on);
            item->setFont(font);
            item->setData(Qt::AccessibleDescriptionRole, on ? QString("played by the song") : QString());
            f.keys->setRowHidden(row, playedOnly && !on);
            if (firstShown < 0 && !f.keys->isRowHidden(row)) firstShown = row;
        }
        // The selected key stays in view: a hidden one gives way to the
        // first key shown.
        if (f.keys->currentRow() >= 0 && f.keys->isRowHidden(f.keys->currentRow()) && firstShown >= 0) {
            showing_ = true;
            f.keys->setCurrentRow(firstShown);
            showing_ = false;
            showMapValue(kind, true);
        }
    }
}

void MoreWindow::showChannels() {
    const ChannelOutputSettings& channels = model_.channels();
    showing_ = true;
    for (int slot = 0; slot < kPitchSlots; ++slot) pitch_[slot]->setValue(channels.pitch[slot]);
    for (int slot = 0; slot < kVolumeSlots; ++slot) volume_[slot]->setValue(channels.volume[slot]);
    for (int slot = 0; slot < kPanSlots; ++slot) pan_[slot]->setCurrentIndex(static_cast<int>(channels.pan[slot]));
    showing_ = false;
}

void MoreWindow::showRemoveRests() {
    const SongSettings& settings = model_.settings();
    const QSignalBlocker block(removeRestsBox_);
    switch (settings.removeRests) {
    case RemoveRestsState::Off:
        removeRestsBox_->setCheckState(Qt::Unchecked);
        removeRestsBox_->setTristate(false);
        break;
    case RemoveRestsState::Checked:
        removeRestsBox_->setCheckState(Qt::Checked);
        removeRestsBox_->setTristate(false);
        break;
    case RemoveRestsState::Greyed:
        removeRestsBox_->setTristate(true);
        removeRestsBox_->setCheckState(Qt::PartiallyChecked);
        break;
    }
    removeRestsBox_->setEnabled(moreWindowView(settings).removeRestsEnabled);
}

void MoreWindow::refillKeys(InstrumentMapKind kind) {
    MapFrame& f = frame(kind);
    f.keyHeading->setText(qs(mapFrameTexts(model_.maps(), kind).keyHeading));
    {
        const QSignalBlocker block(f.keys);
        fillList(f.keys, mapKeyItems(model_.maps(), kind, instrumentNames(model_)));
        f.keys->setCurrentRow(0);
        f.keys->scrollToTop();
    }
    showMapValue(kind, true);
}

void MoreWindow::showMapValue(InstrumentMapKind kind, bool bringIntoView) {
    MapFrame& f = frame(kind);
    const int position = mapValuePosition(model_.maps(), kind, f.keys->currentRow() + 1);
    showing_ = true;
    if (f.values) {
        if (position >= 0 && position < f.values->count()) {
            // A value that moved is brought into view too. A value picked in
            // its own list is already there: a scroll then would run under
            // the mouse press that picked it, and the press would select
            // whatever came under the pointer.
            const bool moved = f.values->currentRow() != position;
            f.values->setCurrentRow(position);
            if (bringIntoView || moved)
                f.values->scrollToItem(f.values->item(position), QAbstractItemView::PositionAtCenter);
        } else {
            f.values->setCurrentRow(-1);
        }
    } else if (position >= 0) {
        (position == 0 ? closedHiHat_ : openHiHat_)->setChecked(true);
    }
    showing_ = false;
}

// ---- The user's input.

void MoreWindow::selectMapKey(InstrumentMapKind kind, int key) {
    MapFrame& f = frame(kind);
    if (key < 1 || key > f.keys->count()) return;
    if (f.keys->currentRow() != key - 1) {
        showing_ = true;
        f.keys->setCurrentRow(key - 1);
        showing_ = false;
    }
    showMapValue(kind, true);
}

void MoreWindow::pickMapValue(InstrumentMapKind kind, int position) {
    // The model shows the stored value through its notification; a value it
    // did not take is shown back as it was.
    if (!model_.setMapValue(kind, frame(kind).keys->currentRow() + 1, position)) showMapValue(kind, false);
}

// Either keying resets the map: the key list is refilled when the model
// tells of the change.
void MoreWindow::chooseKeying(InstrumentMapKind kind, bool byNote) {
    if (kind == InstrumentMapKind::Dac)
        model_.setDrumKeying(byNote);
    else
        model_.setHiHatKeying(byNote);
}

void MoreWindow::showCatMessage() { dialogs_.showMessage(kMeowMessage, MessageIcon::Plain); }

}  // namespace ferro
