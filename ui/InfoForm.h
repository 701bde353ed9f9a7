// TInfoForm: the small always-on-top pop-up that asks the user to wait while
// the switcher is busy. Never modal, no buttons, no close box.
#pragma once

#include <QWidget>

class QLabel;

namespace qvc {

class TInfoForm : public QWidget {
    Q_OBJECT
  public:
    explicit TInfoForm(QWidget* parent = nullptr);

    void SetInfoText(const QString& text);     // InfoLabel
    void SetProgressText(const QString& text); // InfoProgressLabel
    QString InfoText() const;
    QString ProgressText() const;

    // Shows the pop-up on top of every window, centred on the screen, and
    // lets the event loop process the pending events once so that it is
    // painted at once.
    void Popup();
    // Repaints at once.
    void RepaintNow();

  private:
    QLabel* infoLabel_ = nullptr;
    QLabel* progressLabel_ = nullptr;
};

} // namespace qvc
