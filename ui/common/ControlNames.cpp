#include "ControlNames.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace qvc {

namespace {
constexpr double kLayoutDpi = 120.0;
}

void NameControl(QWidget* widget, const QString& name, const QString& accessibleName) {
    widget->setObjectName(name);
    widget->setAccessibleDescription(name);
    if (!accessibleName.isEmpty()) {
        widget->setAccessibleName(accessibleName);
    }
}

void NameAction(QAction* action, const QString& name) {
    action->setObjectName(name);
}

QString Numbered(const char* family, int n, const char* suffix) {
    return QString::fromLatin1(family) + QString::number(n) + QString::fromLatin1(suffix);
}

void ShowValue(QLabel* label, const QString& text) {
    label->setText(text);
    label->setAccessibleName(text);
}

int ScaledPixels(const QWidget* widget, int pixelsAt120Dpi) {
    const QScreen* screen = widget != nullptr ? widget->screen() : nullptr;
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const double dpi = screen != nullptr ? screen->logicalDotsPerInch() : kLayoutDpi;
    return static_cast<int>(std::lround(pixelsAt120Dpi * dpi / kLayoutDpi));
}

} // namespace qvc
