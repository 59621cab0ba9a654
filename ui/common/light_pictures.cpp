#include "ui/common/light_pictures.hpp"

#include <QPainter>

namespace ferro {

QColor lightColour(ReadinessLight light) {
    switch (light) {
    case ReadinessLight::Green: return QColor(0, 255, 0);    // palette entry 10
    case ReadinessLight::Yellow: return QColor(255, 255, 0); // palette entry 14
    case ReadinessLight::Red: return QColor(255, 0, 0);      // palette entry 12
    }
    return QColor();
}

QPixmap lightPicture(ReadinessLight light) {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(QColor(40, 40, 40));
    p.drawRoundedRect(QRectF(9.5, 0.5, 13, 31), 3, 3);
    const ReadinessLight order[3] = {ReadinessLight::Red, ReadinessLight::Yellow, ReadinessLight::Green};
    for (int i = 0; i < 3; ++i) {
        const bool lit = order[i] == light;
        QColor c = lightColour(order[i]);
        if (!lit) c = c.darker(400);
        p.setBrush(c);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(11.5, 1.5 + i * 10, 9, 9));
    }
    return pm;
}

}  // namespace ferro
