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
constexpr int kGrid = 4; // crosspoints per side
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
    const double s = target.width() / 100.0; // draw on a 100 x 100 canvas
    painter.scale(s, s);

    // Tile: a dark blue rounded square.
    QLinearGradient tile(0, 0, 0, 100);
    tile.setColorAt(0.0, QColor(0x27, 0x4C, 0x7A));
    tile.setColorAt(1.0, QColor(0x10, 0x22, 0x3D));
    painter.setPen(QPen(QColor(0x0B, 0x18, 0x2B), 1.5));
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(1, 1, 98, 98), 16, 16);

    // The crosspoint matrix: inputs come in from the left, outputs leave at
    // the bottom.
    const double first = 24;
    const double step = 17;
    QPen wire(QColor(0x7F, 0x9C, 0xC4), 2.2);
    wire.setCapStyle(Qt::RoundCap);
    painter.setPen(wire);
    for (int i = 0; i < kGrid; ++i) {
        const double y = first + step * i;
        painter.drawLine(QPointF(12, y), QPointF(first + step * (kGrid - 1), y));
        const double x = first + step * i;
        painter.drawLine(QPointF(x, first), QPointF(x, 88));
    }
    // One live route: input 2 to output 3, in the "committed" lime.
    QPen route(QColor(0x00, 0xFF, 0x00), 3.2);
    route.setCapStyle(Qt::RoundCap);
    route.setJoinStyle(Qt::RoundJoin);
    painter.setPen(route);
    QPainterPath path;
    path.moveTo(12, first + step);
    path.lineTo(first + step * 2, first + step);
    path.lineTo(first + step * 2, 88);
    painter.drawPath(path);

    // Crosspoints.
    painter.setPen(Qt::NoPen);
    for (int r = 0; r < kGrid; ++r) {
        for (int c = 0; c < kGrid; ++c) {
            const bool live = (r == 1 && c == 2);
            painter.setBrush(live ? QColor(0xFF, 0xFF, 0x00) : QColor(0xD6, 0xE2, 0xF2));
            const double radius = live ? 4.6 : 2.6;
            painter.drawEllipse(QPointF(first + step * c, first + step * r), radius, radius);
        }
    }

    // The product initial in the top right corner.
    QFont font = painter.font();
    font.setPixelSize(22);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0xFF, 0xFF, 0xFF));
    painter.drawText(QRectF(66, 4, 30, 26), Qt::AlignCenter, QStringLiteral("Q"));
    painter.restore();
}

void LogoWidget::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const double side = ScaledPixels(this, kLogoSize);
    PaintLogo(painter, QRectF((width() - side) / 2.0, (height() - side) / 2.0, side, side));
}

} // namespace qvc
