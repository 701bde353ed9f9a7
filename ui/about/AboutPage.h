// The "About" page: product name, version texts, logo, ownership notice, the
// serial terminal view and the "RS-232" box with the five line lamps and the
// port number. It shows the firmware version from the state and follows the
// link's reports of the port number, the line lamps and the received bytes.
#pragma once

#include "ui/common/Page.h"

class QLabel;

class QGroupBox;

namespace qvc {

class StatusLamp;
class TerminalView;

class AboutPage : public Page {
    Q_OBJECT
  public:
    explicit AboutPage(PageContext context, QWidget* parent = nullptr);

    // FirmwareVersionLabel (the status block's firmware text).
    void RefreshFromState() override;

    void SetComNumberText(const QString& text); // ComNumberLabel
    void SetLineLamps(const LineLamps& lamps);
    void TerminalReceived(const QByteArray& bytes);

    QLabel* FirmwareVersionLabel() const { return firmwareVersionLabel_; }

  private:
    QGroupBox* BuildLampBox();
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
