#include "ui/about/about_window.hpp"

#include <QCloseEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QRadialGradient>
#include <QTimer>

#include "ui/common/twips.hpp"

namespace ferro {

namespace {

QRect twipRect(int left, int top, int width, int height) { return QRect(px(left), px(top), px(width), px(height)); }

constexpr int kPictureTwips = 540;

// The moving picture: an eighth note on a shiny iron-grey ball.
QPixmap movingPicture() {
    const int size = px(kPictureTwips);
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QRadialGradient ball(size * 0.35, size * 0.3, size * 0.7);
    ball.setColorAt(0, QColor(235, 240, 250));
    ball.setColorAt(0.5, QColor(120, 135, 160));
    ball.setColorAt(1, QColor(45, 55, 75));
    p.setPen(QPen(QColor(30, 35, 50), 1));
    p.setBrush(ball);
    p.drawEllipse(QRectF(1, 1, size - 2, size - 2));
    // The note: a head, a stem and a flag.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 200, 40));
    p.save();
    p.translate(size * 0.40, size * 0.70);
    p.rotate(-20);
    p.drawEllipse(QRectF(-5.5, -4, 11, 8));
    p.restore();
    p.setPen(QPen(QColor(250, 200, 40), 2.2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(size * 0.40 + 4.5, size * 0.66), QPointF(size * 0.40 + 4.5, size * 0.18));
    QPainterPath flag;
    flag.moveTo(size * 0.40 + 4.5, size * 0.18);
    flag.cubicTo(size * 0.62, size * 0.26, size * 0.80, size * 0.34, size * 0.66, size * 0.52);
    p.setBrush(Qt::NoBrush);
    p.drawPath(flag);
    return pm;
}

// The still picture: a sound chip with its pins.
QPixmap stillPicture() {
    const int size = px(kPictureTwips);
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(190, 190, 195));
    for (int i = 0; i < 5; ++i) {
        const qreal x = 8 + i * 5;
        p.drawRect(QRectF(x, 3, 2.5, 5));
        p.drawRect(QRectF(x, size - 8, 2.5, 5));
    }
    QLinearGradient body(0, 7, 0, size - 7);
    body.setColorAt(0, QColor(70, 70, 78));
    body.setColorAt(1, QColor(20, 20, 26));
    p.setPen(QPen(QColor(10, 10, 12), 1));
    p.setBrush(body);
    p.drawRoundedRect(QRectF(4.5, 7.5, size - 9, size - 15), 2, 2);
    p.setBrush(QColor(110, 110, 120));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QRectF(7, 10, 3.5, 3.5));
    // A small sine wave printed on the package.
    QPainterPath wave;
    const qreal mid = size / 2.0 + 1;
    wave.moveTo(8, mid);
    wave.cubicTo(11, mid - 7, 14, mid - 7, 17, mid);
    wave.cubicTo(20, mid + 7, 23, mid + 7, 27, mid);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(120, 220, 140), 1.6));
    p.drawPath(wave);
    return pm;
}

}  // namespace

QString AboutWindow::creditText() {
    const QString dot = QString(QChar(0x00B7)) + ' ';
    const QStringList lines = {
        dot + "Developed since december 2007.",
        dot + "Conversion core by the Ferrocanto developers, following the community's notes on the "
              "SMPS format; credit to everyone who documented it.",
        dot + "Ferrocanto by the Ferrocanto developers; credit to our reviewers and thanks to all our testers.",
        dot + "The TFI, MVS and Cube voice import filters are based on the Ferrocanto developers' own code and "
              "notes.",
    };
    return lines.join("\r\n");
}

AboutWindow::AboutWindow(QWidget& over, QWidget* returnTo) : DialogWindow(over, returnTo) {
    setObjectName("AboutWindow");
    setWindowTitle("About Ferrocanto...");
    // A fixed dialog frame with no close, minimise or maximise control: "O&k"
    // is the way out.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(px(3855), px(3360));

    title_ = new QLabel(over.windowTitle(), this);
    title_->setObjectName("titleLabel");
    title_->setGeometry(twipRect(120, 240, 3615, 255));
    // The caption is the main window's and may be long: shrink the type
    // until it fits the line rather than clip it.
    QFont titleFont = title_->font();
    titleFont.setBold(true);
    while (QFontMetrics(titleFont).horizontalAdvance(title_->text()) > title_->width() &&
           titleFont.pointSizeF() > 6)
        titleFont.setPointSizeF(titleFont.pointSizeF() - 0.5);
    title_->setFont(titleFont);

    credits_ = new QLabel(this);
    credits_->setObjectName("creditsLabel");
    // Qt breaks lines at LF alone; the CR of each CR LF would show as a box.
    credits_->setText(creditText().replace("\r\n", "\n"));
    credits_->setWordWrap(true);
    credits_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    credits_->setGeometry(twipRect(780, 540, 2955, 2775 - 420));
    QFont small = credits_->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    credits_->setFont(small);

    moving_ = new QLabel(this);
    moving_->setObjectName("movingPicture");
    moving_->setPixmap(movingPicture());
    moving_->setAccessibleName("Moving picture");
    still_ = new QLabel(this);
    still_->setObjectName("stillPicture");
    still_->setPixmap(stillPicture());
    still_->setAccessibleName("Still picture");
    still_->setGeometry(twipRect(120, 2760, kPictureTwips, kPictureTwips));

    okButton_ = new QPushButton("O&k", this);
    okButton_->setObjectName("okButton");
    okButton_->setGeometry(twipRect(2640, 2940, 1035, 300));
    okButton_->setDefault(true);
    connect(okButton_, &QPushButton::clicked, this, &AboutWindow::closeWindow);

    placeImage();
    timer_ = new QTimer(this);
    timer_->setObjectName("animationTimer");
    connect(timer_, &QTimer::timeout, this, &AboutWindow::moveImage);
    timer_->start(kTickMs);

    // Should the main window go first (the program ending), this one goes too.
    connect(&over, &QObject::destroyed, this, [this] { delete this; });
}

AboutWindow* AboutWindow::show(QWidget& over, QWidget* returnTo) {
    auto* about = new AboutWindow(over, returnTo);
    about->showOverMain(about->okButton_);
    return about;
}

void AboutWindow::placeImage() {
    moving_->setGeometry(twipRect(120, imageTop_, kPictureTwips, kPictureTwips));
    moving_->setProperty("Tag", tag_);
}

void AboutWindow::moveImage() {
    if (tag_ == "1") {
        imageTop_ += kImageStep;
        if (imageTop_ >= kImageTopEnd) tag_ = "2";
    } else {
        imageTop_ -= kImageStep;
        if (imageTop_ <= kImageTopStart) tag_ = "1";
    }
    placeImage();
}

void AboutWindow::closeWindow() { close(); }

void AboutWindow::closeEvent(QCloseEvent* event) {
    // However it closes, the main window takes input again.
    timer_->stop();
    DialogWindow::closeEvent(event);
}

}  // namespace ferro
