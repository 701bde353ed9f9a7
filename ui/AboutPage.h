// The "About" page: product name, version texts, logo, ownership notice, the
// serial terminal view and the "RS-232" box with the five line lamps and the
// port number.
#pragma once

#include "link/LinkHost.h"

#include <QWidget>

class QLabel;

namespace qvc {

class StatusLamp;
class TerminalView;

class AboutPage : public QWidget {
    Q_OBJECT
  public:
    explicit AboutPage(QWidget* parent = nullptr);

    void SetVersionText(const QString& text);         // Version1Label
    void SetFirmwareVersionText(const QString& text); // FirmwareVersionLabel
    void SetComNumberText(const QString& text);       // ComNumberLabel
    void SetLineLamps(const LineLamps& lamps);
    void TerminalReceived(const QByteArray& bytes);

    QLabel* FirmwareVersionLabel() const { return firmwareVersionLabel_; }

  private:
    QLabel* version1Label_ = nullptr;
    QLabel* firmwareVersionLabel_ = nullptr;
    QLabel* comNumberLabel_ = nullptr;
    StatusLamp* txd_ = nullptr;
    StatusLamp* rxd_ = nullptr;
    StatusLamp* dcd_ = nullptr;
    StatusLamp* dsr_ = nullptr;
    StatusLamp* cts_ = nullptr;
    TerminalView* terminal_ = nullptr;
};

} // namespace qvc
