// A button of a family of 16 (inputs, outputs, group members, presets) whose
// caption is a label of up to six characters. A caption that does not fit on
// one line is shown on two: broken at a blank when it has one, otherwise
// where the first line runs out of room. The button is always wide enough
// for three of the font's widest characters and high enough for two lines,
// so no label of six characters is ever cut off. text() and the accessible
// name stay the label as typed.
#pragma once

#include <QPushButton>
#include <QStringList>

class QFontMetrics;

namespace qvc {

// The lines `caption` is shown on within `width` pixels: one when it fits,
// else two (at the last blank whose first line fits and whose second line
// fits too, else where the first line runs out of room).
QStringList WrapCaption(const QString& caption, const QFontMetrics& metrics, int width);

class CaptionButton : public QPushButton {
    Q_OBJECT
  public:
    CaptionButton(const QString& caption, QWidget* parent);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // A small word in the button's top right corner ("LIVE"); empty: none.
    // A button that may carry one keeps a line of room for it above its
    // caption (SetTagRoom), so that the tag never covers the label.
    void SetTag(const QString& tag);
    QString Tag() const { return tag_; }
    void SetTagRoom(bool room);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    // The size that holds two lines of three of the widest characters.
    QSize TwoLineSize() const;

    QFont TagFont() const;
    int TagHeight() const; // 0 without room for a tag

    QString tag_;
    bool tagRoom_ = false;
};

} // namespace qvc
