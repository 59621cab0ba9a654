#include "ui/module/info_window.hpp"

#include <algorithm>

#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "base/paths.hpp"
#include "base/shared_types.hpp"
#include "ui/common/dialogs.hpp"
#include "ui/common/twips.hpp"
#include "xm/xm_reader.hpp"

namespace ferro {

QStringList InfoWindow::captions() {
    return {"Path:", "Filename:", "Filesize:", "Module name:", "Tracker name:", "XM subversion:",
            "Song length (patterns):", "Restart position (pattern):", "Number of channels:",
            "Number of patterns:", "Number of instruments:", "Frequency table used:", "Default tempo:",
            "Default BPM:", "Pattern table:"};
}

QString InfoWindow::nameText(const std::string& raw, const QFont& font) {
    const QFontMetrics metrics(font);
    QString out;
    for (unsigned char c : raw) {
        // NUL and other control characters are shown, so that nothing stored
        // is hidden or dropped: as their Unicode control picture where the
        // font draws one, else as a middle dot rather than an empty box.
        if (c < 0x20 || c == 0x7F) {
            const char32_t picture = c == 0x7F ? 0x2421 : 0x2400 + c;
            out += metrics.inFontUcs4(picture) ? QChar(static_cast<char16_t>(picture)) : QChar(0x00B7);
        } else {
            out += QChar::fromLatin1(static_cast<char>(c));
        }
    }
    return out;
}

InfoWindow::InfoWindow(QWidget& over, QWidget* returnTo) : DialogWindow(over, returnTo) {
    setObjectName("InfoWindow");
    setWindowTitle("XM info");
    setWindowFlags(Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    auto* grid = new QGridLayout(this);
    grid->setHorizontalSpacing(px(1980 - 60 - 1815));
    grid->setVerticalSpacing(px(300 - 255));
    const QStringList caps = captions();
    for (int i = 0; i < caps.size(); ++i) {
        auto* caption = new QLabel(caps[i], this);
        caption->setObjectName(QString("Caption%1").arg(i + 1));
        // The caption column is as wide as its longest caption.
        caption->setMinimumWidth(std::max(px(1815), caption->sizeHint().width()));
        caption->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        auto* value = new QLabel(this);
        value->setObjectName(QString("Value%1").arg(i + 1));
        // No accessible name of its own: a screen reader reads the value
        // itself, with the caption as its description.
        value->setAccessibleDescription(caps[i]);
        value->setFixedWidth(px(5895));
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        value->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        if (i == caps.size() - 1) {
            value->setWordWrap(true);
            value->setFixedHeight(px(1155));
        }
        grid->addWidget(caption, i, 0);
        grid->addWidget(value, i, 1);
        values_ << value;
    }
    auto* ok = new QPushButton("O&k", this);
    ok->setObjectName("okButton");
    ok->setFixedSize(px(1815), px(855) / 2);
    grid->addWidget(ok, static_cast<int>(caps.size()), 0);
    connect(ok, &QPushButton::clicked, this, &QWidget::close);
}

InfoWindow* InfoWindow::show(QWidget& over, QWidget* returnTo, Dialogs& dialogs, const QString& folder,
                             const QString& fileName) {
    const QString fullPath = QDir(folder).filePath(fileName);
    const std::filesystem::path path = pathFromUtf8(fullPath.toStdString());
    std::string problem;
    auto header = readXmHeader(path, &problem);
    if (auto* error = std::get_if<XmError>(&header)) {
        dialogs.showMessage(QString::fromStdString(xmFailureText(*error, problem)), MessageIcon::Critical);
        return nullptr;
    }
    auto* window = new InfoWindow(over, returnTo);
    window->fill(QDir::toNativeSeparators(folder), fileName, QFileInfo(fullPath).size(), std::get<XmHeader>(header));
    window->showOverMain();
    return window;
}

void InfoWindow::fill(const QString& folder, const QString& fileName, qint64 size, const XmHeader& h) {
    QString flags = "Unknown / Invalid";
    if (h.frequencyFlags == 0) flags = "Amiga";
    if (h.frequencyFlags == 1) flags = "Linear";
    QString table;
    for (std::uint8_t entry : h.orderTable) table += QString::number(entry) + " ";
    const QStringList texts = {
        folder,
        fileName,
        QString::number(size) + " bytes",
        nameText(h.moduleName, values_[3]->font()),
        nameText(h.trackerName, values_[4]->font()),
        "$" + QString::number(h.versionMajor, 16).toUpper() + " $" + QString::number(h.versionMinor, 16).toUpper(),
        QString::number(h.songLength),
        QString::number(h.restartPosition),
        QString::number(h.channelCount),
        QString::number(h.patternCount),
        QString::number(h.instrumentCount),
        flags,
        QString::number(h.defaultTempo),
        QString::number(h.defaultBpm),
        table,
    };
    for (int i = 0; i < texts.size(); ++i) values_[i]->setText(texts[i]);
}

QStringList InfoWindow::values() const {
    QStringList out;
    for (const QLabel* l : values_) out << l->text();
    return out;
}

}  // namespace ferro
