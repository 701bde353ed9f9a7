#include "LogoWidget.h"

#include "ControlNames.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace qvc {

namespace {
constexpr int kAreaWidth = 161;
constexpr int kAreaHeight = 128;
constexpr int kLogoSize = 90;
constexpr int kGrid = 3; // crosspoints per side
} // namespace

LogoWidget::LogoWidget(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize LogoWidget::sizeHint() const {
    return {ScaledPixels(this, kAreaWidth), ScaledPixels(this, kAreaHeight)};
}

void LogoWidget::PaintLogo(QPainter& painter, const QRectF& target) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.translate(target.topLeft());
    const double s = target.width() / 100.0; // drawn on a 100 x 100 canvas
    painter.scale(s, s);

    // Tile: a dark blue rounded square.
    QLinearGradient tile(0, 0, 0, 100);
    tile.setColorAt(0.0, QColor(0x2A, 0x52, 0x84));
    tile.setColorAt(1.0, QColor(0x0F, 0x21, 0x3B));
    painter.setPen(QPen(QColor(0x0B, 0x18, 0x2B), 1.5));
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(1, 1, 98, 98), 18, 18);

    // A crosspoint matrix inside a ring whose tail makes the product's "Q".
    const QPointF centre(47, 47);
    const double radius = 31;
    QPen ring(QColor(0xE8, 0xEF, 0xF8), 8);
    ring.setCapStyle(Qt::RoundCap);
    painter.setPen(ring);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, radius, radius);
    QPen tail(QColor(0xE8, 0xEF, 0xF8), 8);
    tail.setCapStyle(Qt::FlatCap);
    painter.setPen(tail);
    painter.drawLine(QPointF(58, 64), QPointF(82, 80));

    constexpr double kStep = 14;
    const double first = centre.x() - kStep * (kGrid - 1) / 2.0;
    const double last = first + kStep * (kGrid - 1);
    QPen wire(QColor(0x86, 0xA3, 0xCB), 2.0);
    wire.setCapStyle(Qt::RoundCap);
    painter.setPen(wire);
    for (int i = 0; i < kGrid; ++i) {
        const double p = first + kStep * i;
        painter.drawLine(QPointF(first - 6, p), QPointF(last + 6, p));
        painter.drawLine(QPointF(p, first - 6), QPointF(p, last + 6));
    }
    // One live route in the committed colour: input 2 across to output 3.
    QPen route(QColor(0x00, 0xFF, 0x00), 3.2);
    route.setCapStyle(Qt::RoundCap);
    route.setJoinStyle(Qt::RoundJoin);
    painter.setPen(route);
    QPainterPath path;
    path.moveTo(first - 6, first + kStep);
    path.lineTo(first + 2 * kStep, first + kStep);
    path.lineTo(first + 2 * kStep, last + 6);
    painter.drawPath(path);

    painter.setPen(Qt::NoPen);
    for (int r = 0; r < kGrid; ++r) {
        for (int c = 0; c < kGrid; ++c) {
            const bool live = (r == 1 && c == 2);
            painter.setBrush(live ? QColor(0xFF, 0xFF, 0x00) : QColor(0xD6, 0xE2, 0xF2));
            const double dot = live ? 4.4 : 2.4;
            painter.drawEllipse(QPointF(first + kStep * c, first + kStep * r), dot, dot);
        }
    }
    painter.restore();
}

void LogoWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const double side = ScaledPixels(this, kLogoSize);
    PaintLogo(painter, QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side));
}

} // namespace qvc
