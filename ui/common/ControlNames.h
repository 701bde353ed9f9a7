// Every control that has a name in the window layout carries it twice: as
// objectName (tests and tools find it by that) and as accessibleDescription
// (screen readers announce it). The accessible name stays the visible caption,
// or a short phrase for a control without text; a label showing a value has
// the value as its accessible name.
#pragma once

#include <QString>

class QWidget;
class QAction;
class QLabel;

namespace qvc {

void NameControl(QWidget* widget, const QString& name, const QString& accessibleName = {});
void NameAction(QAction* action, const QString& name);

// The name of control n of a family: "InputButton3", "AudioSpinBtn3Up".
QString Numbered(const char* family, int n, const char* suffix = "");

// A label that shows a value (a routed input, a version, a level): its
// accessible name is exactly the text a sighted user reads there.
void ShowValue(QLabel* label, const QString& text);

// Window size of the layout, in pixels at 120 dots per inch, scaled to the
// screen's logical resolution.
int ScaledPixels(const QWidget* widget, int pixelsAt120Dpi);

} // namespace qvc
