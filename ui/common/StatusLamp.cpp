#include "StatusLamp.h"

#include "Colours.h"

#include <QPainter>

namespace qvc {

namespace {
constexpr QRgb kRimColour = 0x303030;
constexpr int kLampSize = 16;
} // namespace

StatusLamp::StatusLamp(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleDescription(QString());
}

void StatusLamp::SetLit(bool lit) {
    if (lit_ != lit) {
        lit_ = lit;
        update();
    }
}

QColor StatusLamp::Colour() const {
    return lit_ ? colour::kLampLit : colour::kLampUnlit;
}

QSize StatusLamp::sizeHint() const {
    return {kLampSize, kLampSize};
}

void StatusLamp::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Flat fill without antialiasing, so the colour is exact on every pixel
    // inside the rim.
    painter.fillRect(rect(), QColor(kRimColour));
    painter.fillRect(rect().adjusted(1, 1, -1, -1), Colour());
}

} // namespace qvc
