// TMatrixForm: the main window. It owns the link state, the device state,
// the configuration image, the device link and every page, and it is the
// link's host (status bar, page control, hourglass, About page lamps and
// terminal, pop-up).
//
// Its handlers keep the names of the window layout: FormShow, SearchAllClick,
// COM11Click .. COM41Click, DisconnectSerialCommunication1Click,
// SerialModeRadioGroupClick, IPAddressButtonClick, ReadfromQuorvels1Click,
// FormCloseQuery. The connection workflow lives in MatrixFormConnect.cpp, the
// read action and the page refreshes in MatrixFormRead.cpp.
#pragma once

#include "config/ConfigImage.h"
#include "link/DeviceLink.h"
#include "link/LinkHost.h"
#include "link/LinkState.h"
#include "link/LinkTimings.h"
#include "link/Prompts.h"
#include "link/SerialPortMap.h"
#include "model/DeviceState.h"
#include "model/Switching.h"

#include <QMainWindow>
#include <array>
#include <memory>

class QAction;
class QGroupBox;
class QMenu;
class QTabWidget;

namespace qvc {

class AboutPage;
class AboutPresenter;
class LMDAboutDlg;
class LabelPage;
class SetupPage;
class SwitchingPage;
class TInfoForm;

class TMatrixForm : public QMainWindow, public LinkHost {
    Q_OBJECT
  public:
    // The version of this program, as the About texts show it.
    static constexpr const char* kGuiVersion = "3.01";

    // `tcpPort` is 23 for the switcher; `about` shows the About dialog (null:
    // modally). The pop-up is attached after creation (AttachInfoForm).
    TMatrixForm(Prompts& prompts, SerialPortMap ports,
                LinkTimings timings = LinkTimings::Production(), quint16 tcpPort = 23,
                AboutPresenter* about = nullptr, QWidget* parent = nullptr);
    ~TMatrixForm() override;

    void AttachInfoForm(TInfoForm* info) { infoForm_ = info; }

    const LinkState& Flags() const { return linkState_; }
    const DeviceState& State() const { return state_; }
    DeviceLink& Link() { return *link_; }

    // --- LinkHost ---------------------------------------------------------
    void SetStatusText(const QString& text) override;
    void SetPageControlEnabled(bool enabled) override;
    void SetHourglass(bool on) override;
    bool HourglassShown() const override { return hourglass_; }
    void SetComNumberText(const QString& text) override;
    void SetLineLamps(const LineLamps& lamps) override;
    void TerminalReceived(const QByteArray& bytes) override;
    void ShowInfo(const QString& text) override;
    void SetInfoProgress(const QString& text) override;
    void HideInfo() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

  private:
    // Building (MatrixForm.cpp).
    void BuildMenus(const SerialPortMap& ports);
    void BuildPages();
    void FixWindowSize();
    void PlacePresetPanel();

    // Shell (MatrixForm.cpp).
    void MainPageControlChange(int index);
    void Exit1Click();
    void About1Click();
    bool FormCloseQuery();

    // Connection workflow (MatrixFormConnect.cpp).
    void FormShow();
    void SearchAllClick();
    void ComPortClick(int n); // COM11Click .. COM41Click
    void LineSpeedClick(QAction* item, int baud);
    void KeepCheckMark(QAction* item); // items without an action of their own
    void DisconnectSerialCommunication1Click();
    void SerialModeRadioGroupClick();
    void SelectRs232(); // linkModeSelected for 0
    void SelectEthernet();
    void RevertLinkMode(int mode); // focus to GroupBox24, select `mode` again
    void IPAddressButtonClick();
    QAction* PortItem(int n) const; // COM1 item for any number other than 2..4

    // Read action and refreshes (MatrixFormRead.cpp).
    void ReadfromQuorvels1Click();
    void RefreshFromState();
    void AdaptToModel();
    void RefreshSetupPage();
    void SendLines(const Commands& lines);

    Prompts& prompts_;
    AboutPresenter* about_;
    std::unique_ptr<AboutPresenter> ownAbout_;

    // The state the window owns for the whole run.
    LinkState linkState_;
    DeviceState state_;
    ConfigImage config_;
    Switching switching_{state_};
    bool recallPending_ = false; // RecallPending: presets are not wired yet
    int selectedPreset_ = NoInput;
    bool modeRevertGuard_ = false; // ModeRevertGuard
    bool shownOnce_ = false;
    bool hourglass_ = false;

    std::unique_ptr<DeviceLink> link_;
    TInfoForm* infoForm_ = nullptr;

    // Controls.
    QTabWidget* mainPageControl_ = nullptr;
    SwitchingPage* switchingPage_ = nullptr;
    QWidget* controlTabSheet_ = nullptr;
    QWidget* sequencingTabSheet_ = nullptr;
    LabelPage* labelPage_ = nullptr;
    SetupPage* setupPage_ = nullptr;
    AboutPage* aboutPage_ = nullptr;
    QGroupBox* presetsGroupBox_ = nullptr;
    LMDAboutDlg* aboutDialog_ = nullptr;

    QMenu* fileMenu_ = nullptr;
    QMenu* serialMenu_ = nullptr;
    std::array<QAction*, 4> comItems_{}; // COM11, COM21, COM31, COM41
    QAction* searchForQuorvel1_ = nullptr;
    QAction* readfromQuorvels1_ = nullptr;
    QAction* disconnectSerialCommunication1_ = nullptr;
};

} // namespace qvc
