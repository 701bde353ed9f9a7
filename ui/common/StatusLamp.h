// A two-colour status lamp painted flat: red #FF0000 when lit, green #008000
// when unlit, whatever the widget style.
#pragma once

#include <QColor>
#include <QWidget>

namespace qvc {

class StatusLamp : public QWidget {
    Q_OBJECT
    Q_PROPERTY(bool lit READ Lit)
  public:
    explicit StatusLamp(QWidget* parent = nullptr);

    void SetLit(bool lit);
    bool Lit() const { return lit_; }
    QColor Colour() const;

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    bool lit_ = false;
};

} // namespace qvc
