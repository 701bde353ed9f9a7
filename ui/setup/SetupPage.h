// The "Setup" page. At the top the link controls: the link-mode selector
// SerialModeRadioGroup ("RS-232" 0, "Ethernet" 1) and the "Ethernet
// Configuration" box with IPAddrEdit, both in GroupBox24, and the "Update IP
// Address" button; the connection workflow drives them.
//
// Below them the switcher's system settings, each sent as soon as it
// changes: "Front Panel Lockout", the "Video Switch Source" selector, the RGB
// delay edit (sent when the edit loses the focus), and the two reset
// buttons, which ask first and hold the link while the switcher restarts.
// The settings go out only while a link is up and no refresh runs.
#pragma once

#include "model/Setup.h"
#include "ui/common/LinkModeControls.h"
#include "ui/common/Page.h"

#include <array>

class QButtonGroup;
class QCheckBox;
class QFrame;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qvc {

class SetupPage : public Page, public LinkModeControls {
    Q_OBJECT
  public:
    explicit SetupPage(PageContext context, QWidget* parent = nullptr);

    // RefreshSetupPage.
    void RefreshFromState() override;
    // A configuration file holds no system settings and no address: the page
    // keeps what it shows, the address the operator typed included.
    void ShowLoadedConfiguration() override {}
    // Shows the status block: the lockout tick, the switch source, the RGB
    // delay and the switcher's address in IPAddrEdit.
    void RefreshSetupPage();

    int LinkMode() const override; // the selected item, -1 for none
    // Selects an item from code; like a user's click, this raises
    // linkModeSelected when the selection changes.
    void SelectLinkMode(int mode) override;
    void FocusLinkBox() override; // keyboard focus to GroupBox24

    QString IpAddressText() const override;
    void SetIpAddressText(const QString& text) override;

  signals:
    // The selected item changed (by the user or by code) to `mode`.
    void linkModeSelected(int mode);
    void ipAddressButtonClicked();

  private:
    // Handlers of the setting controls; they run for the code's changes too.
    void FrontPanelLockCheckBoxClick(bool ticked);
    void VideoSwitchSourceRadioGroupClick(int item);
    void RGBDelayEditExit();
    void RGBDelayEditKeyPress(); // Enter
    void ResetButtonClick() { ResetSwitcher(false); }
    void FactoryResetButtonClick() { ResetSwitcher(true); }
    void ResetSwitcher(bool factory);

    // A link is up and no refresh runs: the settings may go out.
    bool SettingsMayBeSent() const;
    // Selects item 0..3, or none for -1.
    void SelectSwitchSource(int item);

    QGroupBox* BuildLinkBox();
    QGroupBox* BuildSwitchSource();
    QLayout* BuildRgbDelayRow();
    QLayout* BuildResetButtons();
    void ChainTabOrder();

    Setup setup_;

    QGroupBox* groupBox24_ = nullptr;
    QButtonGroup* modeGroup_ = nullptr;
    QRadioButton* rs232_ = nullptr;
    QRadioButton* ethernet_ = nullptr;
    QLineEdit* ipAddrEdit_ = nullptr;
    QPushButton* ipAddressButton_ = nullptr;

    QCheckBox* frontPanelLockCheckBox_ = nullptr;
    QFrame* button5_ = nullptr; // the separator bar
    QGroupBox* videoSwitchSourceRadioGroup_ = nullptr;
    QButtonGroup* switchSourceGroup_ = nullptr;
    std::array<QRadioButton*, kSwitchSourceItems> switchSourceItems_{};
    QLineEdit* rgbDelayEdit_ = nullptr;
    QPushButton* resetButton_ = nullptr;
    QPushButton* factoryResetButton_ = nullptr;
};

} // namespace qvc
