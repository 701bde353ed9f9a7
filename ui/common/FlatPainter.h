// Flat looks for coloured controls: the background is one solid colour under
// every style, so face-coloured and coloured buttons match and the colours
// show exactly. Also the factories of the pages' push buttons.
#pragma once

#include <QColor>
#include <QString>

class QLabel;
class QPushButton;
class QWidget;

namespace qvc {

class FlatPainter {
  public:
    // Face colour and its text colour from the application's palette.
    FlatPainter();

    QColor Face() const { return face_; }

    // Each paints only when the colour changes.
    void PaintButton(QPushButton* button, const QColor& colour) const;
    void PaintCaption(QLabel* label, const QColor& colour) const;
    // A round lamp in one colour.
    void PaintLamp(QLabel* lamp, const QColor& colour) const;

  private:
    void Paint(QWidget* widget, const char* sheet, const QColor& colour) const;

    QColor face_;
    QColor faceText_;
};

// A push button of a family of 16 (InputButton3, GroupOutputButton12, ...):
// captioned with its number, named `family` + n, reached with Tab, pressed
// with Enter as well as Space.
QPushButton* MatrixButton(const QString& family, int n, QWidget* parent);
// A push button with a caption and a name of its own.
QPushButton* ActionButton(const QString& objectName, const QString& caption, QWidget* parent);

// The caption a button shows, also as its accessible name.
void SetButtonCaption(QPushButton* button, const QString& caption);

} // namespace qvc
