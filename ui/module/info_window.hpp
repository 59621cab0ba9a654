#pragma once
// The header facts of an XM file that is not loaded, in a separate window;
// the main window is disabled while it is shown.
#include "ui/common/dialog_window.hpp"

class QFont;
class QLabel;

namespace ferro {

class Dialogs;
struct XmHeader;

class InfoWindow : public DialogWindow {
    Q_OBJECT
public:
    // Reads the file and shows the window over `over` (disabled meanwhile;
    // `returnTo` gets the focus back), or reports the failure through
    // `dialogs`; returns the window shown (owned by itself, deleted when
    // closed) or null.
    static InfoWindow* show(QWidget& over, QWidget* returnTo, Dialogs& dialogs, const QString& folder,
                            const QString& fileName);

    // The value shown beside each caption, in row order.
    QStringList values() const;
    static QStringList captions();
    // The text shown for raw name bytes: Latin-1, control characters made
    // visible with a glyph `font` has.
    static QString nameText(const std::string& raw, const QFont& font);

private:
    InfoWindow(QWidget& over, QWidget* returnTo);
    void fill(const QString& folder, const QString& fileName, qint64 size, const XmHeader& h);
    QList<QLabel*> values_;
};

}  // namespace ferro
