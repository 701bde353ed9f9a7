// The "Setup" page. For now it carries the link controls: the link-mode
// selector SerialModeRadioGroup ("RS-232" 0, "Ethernet" 1) and the
// "Ethernet Configuration" box with IPAddrEdit, both in GroupBox24, and the
// "Update IP Address" button.
#pragma once

#include "ui/common/Page.h"

class QButtonGroup;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qvc {

class SetupPage : public Page {
    Q_OBJECT
  public:
    static constexpr int kRs232 = 0;
    static constexpr int kEthernet = 1;

    explicit SetupPage(PageContext context, QWidget* parent = nullptr);

    // IPAddrEdit shows the switcher's address.
    void RefreshFromState() override;

    int LinkMode() const; // the selected item, -1 for none
    // Selects an item from code; like a user's click, this raises
    // linkModeSelected when the selection changes.
    void SelectLinkMode(int mode);
    void FocusLinkBox(); // keyboard focus to GroupBox24

    QString IpAddressText() const;
    void SetIpAddressText(const QString& text);

  signals:
    // The selected item changed (by the user or by code) to `mode`.
    void linkModeSelected(int mode);
    void ipAddressButtonClicked();

  private:
    QGroupBox* groupBox24_ = nullptr;
    QButtonGroup* modeGroup_ = nullptr;
    QRadioButton* rs232_ = nullptr;
    QRadioButton* ethernet_ = nullptr;
    QLineEdit* ipAddrEdit_ = nullptr;
    QPushButton* ipAddressButton_ = nullptr;
};

} // namespace qvc
