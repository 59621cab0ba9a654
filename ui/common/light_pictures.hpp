#pragma once
// How a readiness light looks: its colour on the main window's buttons and the
// 32x32 traffic-light picture the song windows show.
#include <QColor>
#include <QPixmap>

#include "base/shared_types.hpp"

namespace ferro {

QColor lightColour(ReadinessLight light);
QPixmap lightPicture(ReadinessLight light);

}  // namespace ferro
