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
