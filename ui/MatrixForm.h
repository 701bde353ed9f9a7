// TMatrixForm: the main window. It owns, for the whole run, the link state,
// the device state with the model objects that pages share (routing, presets,
// labels), the configuration image and the device link. It builds the frame,
// the menus and the page list, and hands the rest to its controllers: the
// connection workflow, the menu state and the pages themselves.
//
// Adding a page: one line in BuildPages.
#pragma once

#include "config/ConfigImage.h"
#include "link/DeviceLink.h"
#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/LinkTimings.h"
#include "link/Prompts.h"
#include "link/SerialPortMap.h"
#include "model/DeviceState.h"
#include "model/Labels.h"
#include "model/Presets.h"
#include "model/Switching.h"
#include "ui/common/Page.h"
#include "ui/common/Version.h"

#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <optional>

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QStatusBar;
class QTabWidget;

namespace qvc {

class AboutPresenter;
class ConfigFileController;
class ConnectionWorkflow;
class CrosspointGridWindow;
class LMDAboutDlg;
class MenuState;
class PageList;
class PresetPanel;
class SetupPage;
class SwitchingPage;
class TInfoForm;
class WireLogWindow;
struct MenuItems;
struct PageContext;

class TMatrixForm : public QMainWindow {
    Q_OBJECT
  public:
    static constexpr const char* kGuiVersion = qvc::kGuiVersion;

    // `tcpPort` is 23 for the switcher; `about` shows the About dialog (null:
    // modally). The pop-up is attached after creation (AttachInfoForm).
    TMatrixForm(Prompts& prompts, SerialPortMap ports,
                LinkTimings timings = LinkTimings::Production(), quint16 tcpPort = 23,
                AboutPresenter* about = nullptr, QWidget* parent = nullptr);
    ~TMatrixForm() override;

    // The pop-up follows the link's reports from now on.
    void AttachInfoForm(TInfoForm* info);

    const LinkState& Flags() const { return linkState_; }
    const DeviceState& State() const { return state_; }
    DeviceLink& Link() { return *link_; }
    LinkEvents& Events() { return events_; }
    // The wire log window, made the first time View > "Wire Log" is chosen.
    WireLogWindow* WireLog() { return wireLog_; }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

  private:
    void BuildPages(const PageContext& context);
    MenuItems BuildMenus(const SerialPortMap& ports);
    void BuildSerialSettings(QMenu* serial);
    // "View": the windows beside the pages.
    QMenu* BuildViewMenu(QMenuBar* bar);
    // The grid window, made at its first opening, shown and brought forward.
    void ShowCrosspointGrid();
    void BuildLinkStateLabel(QStatusBar* bar);
    void ShowLinkText(const QString& text, bool lost);
    void WireLog1Click();
    void ConnectLinkEvents();
    void FixWindowSize();
    void PlacePresetPanel();

    void Exit1Click();
    void About1Click();
    bool FormCloseQuery();
    void SetHourglass(bool on);
    // The page control, enabled or not while an exchange waits; the control
    // that had the keyboard focus gets it back afterwards.
    void SetPagesEnabled(bool enabled);

    Prompts& prompts_;
    AboutPresenter* about_;
    std::unique_ptr<AboutPresenter> ownAbout_;

    // The state the window owns for the whole run.
    LinkState linkState_;
    DeviceState state_;
    ConfigImage config_;
    LabelTables labels_ = DefaultLabels();
    Switching switching_{state_};
    Presets presets_{state_, switching_};
    bool shownOnce_ = false;

    LinkEvents events_;
    std::unique_ptr<DeviceLink> link_;
    TInfoForm* infoForm_ = nullptr;
    WireLogWindow* wireLog_ = nullptr;
    QLabel* linkStateLabel_ = nullptr;

    QTabWidget* mainPageControl_ = nullptr;
    PageList* pages_ = nullptr;
    PresetPanel* presetPanel_ = nullptr;
    QPointer<QWidget> focusBeforeExchange_;
    SetupPage* setupPage_ = nullptr;
    SwitchingPage* switchingPage_ = nullptr;
    // What the pages were built with, for the windows made later.
    std::optional<PageContext> pageContext_;
    QPointer<CrosspointGridWindow> gridWindow_;
    LMDAboutDlg* aboutDialog_ = nullptr;
    std::unique_ptr<MenuState> menus_;
    std::unique_ptr<ConnectionWorkflow> connection_;
    std::unique_ptr<ConfigFileController> configFiles_;
};

} // namespace qvc
