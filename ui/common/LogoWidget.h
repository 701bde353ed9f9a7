// The product logo of the About page: a 90 x 90 picture (at 120 dpi) drawn
// in vector form, centred in its 161 x 128 area, so it stays sharp at any
// scaling.
#pragma once

#include <QWidget>

namespace qvc {

class LogoWidget : public QWidget {
    Q_OBJECT
  public:
    explicit LogoWidget(QWidget* parent = nullptr);
    QSize sizeHint() const override;

    // Paints the logo into `target` (a square).
    static void PaintLogo(QPainter& painter, const QRectF& target);

  protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace qvc
