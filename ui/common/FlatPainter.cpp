#include "FlatPainter.h"

#include "CaptionButton.h"
#include "ControlNames.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>
#include <QPushButton>
#include <QVariant>

namespace qvc {

namespace {

const char* const kButtonSheet =
    "QPushButton { background-color: %1; color: %2; border: 1px solid #8c8c8c;"
    " border-radius: 3px; padding: 4px 6px; min-width: 44px; min-height: 22px; }"
    "QPushButton:hover { border-color: #505050; }"
    "QPushButton:pressed { border: 2px solid #202020; padding: 3px 5px; }"
    "QPushButton:focus { border: 2px solid palette(highlight); padding: 3px 5px; }"
    "QPushButton:disabled { color: %3; border-color: #c8c8c8; }";
const char* const kCaptionSheet =
    "QLabel { background-color: %1; color: %2; border: 1px solid #9c9c9c;"
    " border-radius: 2px; padding: 2px; min-height: 16px; }"
    "QLabel:disabled { color: %3; border-color: #d0d0d0; }";
const char* const kLampSheet =
    "QLabel { background-color: %1; border: 1px solid #303030; border-radius: 8px; }";

// Records the colour a widget shows, so unchanged colours cost nothing.
const char* const kColourProperty = "qvcColour";

QColor TextColourOn(const QColor& background, const QColor& face, const QColor& faceText) {
    if (background == face) {
        return faceText;
    }
    const int luminance =
        (299 * background.red() + 587 * background.green() + 114 * background.blue()) / 1000;
    return luminance < 128 ? QColor(Qt::white) : QColor(Qt::black);
}

// Dimmed text of a disabled control: grey on the face colour, half way
// to the background on a coloured one (still legible on lime or red).
QColor DisabledTextOn(const QColor& background, const QColor& text, const QColor& face) {
    if (background == face) {
        return QColor(0xA0, 0xA0, 0xA0);
    }
    return QColor((background.red() + text.red()) / 2, (background.green() + text.green()) / 2,
                  (background.blue() + text.blue()) / 2);
}

bool SameColour(const QWidget* w, const QColor& colour) {
    const QVariant shown = w->property(kColourProperty);
    return shown.isValid() && shown.value<QColor>() == colour;
}

} // namespace

FlatPainter::FlatPainter()
    : face_(QApplication::palette().color(QPalette::Button)),
      faceText_(QApplication::palette().color(QPalette::ButtonText)) {}

void FlatPainter::Paint(QWidget* w, const char* sheet, const QColor& colour) const {
    if (SameColour(w, colour)) {
        return;
    }
    const QColor text = TextColourOn(colour, face_, faceText_);
    w->setProperty(kColourProperty, colour);
    w->setStyleSheet(QString::fromLatin1(sheet).arg(colour.name(), text.name(),
                                                    DisabledTextOn(colour, text, face_).name()));
}

void FlatPainter::PaintButton(QPushButton* button, const QColor& colour) const {
    Paint(button, kButtonSheet, colour);
}

void FlatPainter::PaintCaption(QLabel* label, const QColor& colour) const {
    Paint(label, kCaptionSheet, colour);
}

void FlatPainter::PaintLamp(QLabel* lamp, const QColor& colour) const {
    lamp->setProperty(kColourProperty, colour);
    lamp->setStyleSheet(QString::fromLatin1(kLampSheet).arg(colour.name()));
}

namespace {
void SetUpButton(QPushButton* button, const QString& objectName, const QString& caption) {
    NameControl(button, objectName, caption);
    button->setFocusPolicy(Qt::StrongFocus);
    button->setAutoDefault(true);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}
} // namespace

QPushButton* MatrixButton(const QString& family, int n, QWidget* parent) {
    auto* button = new CaptionButton(QString::number(n), parent);
    SetUpButton(button, family + QString::number(n), QString::number(n));
    return button;
}

QPushButton* ActionButton(const QString& objectName, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    SetUpButton(button, objectName, caption);
    return button;
}

void SetButtonCaption(QPushButton* button, const QString& caption) {
    button->setText(caption);
    button->setAccessibleName(caption);
}

} // namespace qvc
