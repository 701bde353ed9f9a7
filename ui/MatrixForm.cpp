#include "MatrixForm.h"

#include "AboutDialog.h"
#include "ConfigFileController.h"
#include "ConnectionWorkflow.h"
#include "InfoForm.h"
#include "MenuState.h"
#include "PageList.h"
#include "about/AboutPage.h"
#include "audio/AudioPage.h"
#include "grid/CrosspointGridWindow.h"
#include "grouping/GroupingPage.h"
#include "labeling/LabelPage.h"
#include "presets/PresetPanel.h"
#include "sequencing/SequencingPage.h"
#include "setup/SetupPage.h"
#include "switching/SwitchingPage.h"
#include "ui/common/ControlNames.h"
#include "wirelog/WireLogWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qvc {

namespace {
// Window frame.
const QString kStartCaption = QStringLiteral("Norvak Dellby, LLC :- Quorvel Control (12 x 8)");
constexpr int kClientWidth = 904; // at 120 dpi
constexpr int kClientHeight = 760;

const QString kVersionPrefix = QStringLiteral("Version ");

// Menus.
const QString kFileMenu = QStringLiteral("&File");
const QString kOpenConfigurationItem = QStringLiteral("Open Configuration File");
const QString kSaveConfigurationItem = QStringLiteral("Save Configuration to File");
const QString kExitItem = QStringLiteral("Exit");
const QString kSerialMenu = QStringLiteral("&Serial Port");
const QString kOpenComMenu = QStringLiteral("Open COM");
const QString kComItem = QStringLiteral("COM%1");
const QString kNoDeviceTip = QStringLiteral("No serial device");
const QString kSettingsMenu = QStringLiteral("Settings (Adv users only)");
const QString kBaudMenu = QStringLiteral("Baud");
const QString kDefaultItem = QStringLiteral("Default");
const QString kParityMenu = QStringLiteral("Parity");
const QString kConnectItem = QStringLiteral("Connect to Quorvel");
const QString kReadItem = QStringLiteral("Read from Quorvel");
const QString kDisconnectItem = QStringLiteral("Disconnect Serial Communication");
const QString kViewMenu = QStringLiteral("&View");
const QString kCrosspointGridItem = QStringLiteral("Crosspoint Grid");
const QString kWireLogItem = QStringLiteral("Wire Log");
const QString kAboutItem = QStringLiteral("&About");

// The link at a glance, on the right of the status bar.
const QString kLinkStyle = QStringLiteral("QLabel { padding: 0px 6px; }");
const QString kLostStyle =
    QStringLiteral("QLabel { padding: 0px 6px; background-color: #d00000; color: white; }");

// Exit confirmation.
const QString kConfirmExitTitle = QStringLiteral("Norvak Dellby - QV Control :Confirm Exit");
const QString kConfirmExitText = QStringLiteral("Are you sure you want to exit this application?");

struct SpeedSpec {
    const char* name;
    int baud;
};
constexpr SpeedSpec kSpeeds[] = {{"N192001", 19200}, {"N384001", 38400}, {"N576001", 57600}};
constexpr const char* kParities[][2] = {
    {"None1", "None"}, {"Odd1", "Odd"}, {"Even1", "Even"}, {"Mark1", "Mark"}, {"Space1", "Space"}};
// A checkable menu item toggles its mark before its handler runs; the marks
// of these items change only where a handler says so.
void KeepCheckMark(QAction* item) {
    item->setChecked(!item->isChecked());
}
} // namespace

TMatrixForm::TMatrixForm(Prompts& prompts, SerialPortMap ports, LinkTimings timings,
                         quint16 tcpPort, AboutPresenter* about, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      prompts_(prompts), about_(about) {
    // No handler acts while the window is being built. SerialPortOpen,
    // EthernetConnecting and EthernetConnected start clear, every table
    // starts with its start values, SelectedInput and SelectedPreset are 252.
    BusyScope building(linkState_);
    NameControl(this, QStringLiteral("MatrixForm"));
    setWindowTitle(kStartCaption);
    if (about_ == nullptr) {
        ownAbout_ = std::make_unique<ModalAboutPresenter>();
        about_ = ownAbout_.get();
    }
    // The label section of the configuration image gets the default labels.
    PackLabels(config_, labels_, state_.Inputs(), state_.ShownOutputs());

    link_ = std::make_unique<DeviceLink>(linkState_, events_, prompts_, ports, timings, tcpPort);
    PageContext context{state_,   linkState_, [this](const Commands& c) { link_->SendCommands(c); },
                        prompts_, labels_,    switching_,
                        presets_, &events_};
    context.exchangeInProgress = [this] { return linkState_.BusyFlag != 0 || link_->InExchange(); };
    BuildPages(context);
    menus_ = std::make_unique<MenuState>(BuildMenus(ports));
    menus_->Started();
    connect(pages_, &PageList::linkHeld, this, [this](bool held) { menus_->SetLinkHeld(held); });
    auto* statusBar = new QStatusBar(this);
    NameControl(statusBar, QStringLiteral("MainStatusBar"), QStringLiteral("Status"));
    statusBar->setSizeGripEnabled(false);
    setStatusBar(statusBar);
    BuildLinkStateLabel(statusBar);

    connection_ = std::make_unique<ConnectionWorkflow>(ConnectionWorkflow::Parts{
        prompts_, *link_, linkState_, events_, state_, presets_, *menus_, *pages_, *setupPage_});
    connect(setupPage_, &SetupPage::linkModeSelected, connection_.get(),
            &ConnectionWorkflow::SerialModeRadioGroupClick);
    connect(setupPage_, &SetupPage::ipAddressButtonClicked, connection_.get(),
            &ConnectionWorkflow::IPAddressButtonClick);
    configFiles_ = std::make_unique<ConfigFileController>(
        ConfigFileController::Parts{prompts_, config_, state_, labels_, linkState_, events_,
                                    *pages_, [this] { connection_->EndStartupHold(); }});
    ConnectLinkEvents();

    aboutDialog_ = new LMDAboutDlg(this);
    aboutDialog_->SetVersion(kVersionPrefix + QString::fromLatin1(kGuiVersion));
    FixWindowSize();
}

TMatrixForm::~TMatrixForm() {
    // The link reports to this window while it shuts down; end it first, then
    // the pages that refer to the state members.
    delete gridWindow_.data(); // it follows the switching page
    delete wireLog_;
    configFiles_.reset();
    connection_.reset();
    link_.reset();
    delete takeCentralWidget();
}

void TMatrixForm::BuildPages(const PageContext& context) {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("MatrixFormClientArea"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    mainPageControl_ = new QTabWidget(central);
    NameControl(mainPageControl_, QStringLiteral("MainPageControl"), QStringLiteral("Pages"));
    layout->addWidget(mainPageControl_);
    setCentralWidget(central);

    pages_ = new PageList(*mainPageControl_, linkState_, this);
    // The pages, in tab order.
    switchingPage_ = pages_->Add(new SwitchingPage(context));
    pageContext_.emplace(context);
    pages_->Add(new AudioPage(context));
    pages_->Add(new LabelPage(context));
    pages_->Add(new GroupingPage(context));
    pages_->Add(new SequencingPage(context));
    setupPage_ = pages_->Add(new SetupPage(context)); // also the connection's controls
    pages_->Add(new AboutPage(context));

    presetPanel_ = new PresetPanel(context, central);
    pages_->SetPresetPanel(presetPanel_);
    // "A / V Switching" is the active page.
    mainPageControl_->setCurrentIndex(0);
    connect(pages_, &PageList::windowTitleRequested, this, &QWidget::setWindowTitle);
}

void TMatrixForm::ConnectLinkEvents() {
    connect(&events_, &LinkEvents::statusText, this, [this](const QString& text) {
        if (text.isEmpty()) {
            statusBar()->clearMessage();
        } else {
            statusBar()->showMessage(text);
        }
    });
    connect(&events_, &LinkEvents::pageControlEnabled, this, &TMatrixForm::SetPagesEnabled);
    connect(&events_, &LinkEvents::hourglassChanged, this, &TMatrixForm::SetHourglass);
    connect(&events_, &LinkEvents::linkText, this, &TMatrixForm::ShowLinkText);
}

// A permanent field on the right of the status bar; the message area on its
// left stays the link's.
void TMatrixForm::BuildLinkStateLabel(QStatusBar* bar) {
    linkStateLabel_ = new QLabel(bar);
    linkStateLabel_->setObjectName(QStringLiteral("LinkStateLabel"));
    linkStateLabel_->setAccessibleDescription(QStringLiteral("LinkStateLabel"));
    linkStateLabel_->setAutoFillBackground(true);
    bar->addPermanentWidget(linkStateLabel_);
    ShowLinkText(link_->LinkText(), link_->LinkLost());
}

void TMatrixForm::ShowLinkText(const QString& text, bool lost) {
    ShowValue(linkStateLabel_, text);
    linkStateLabel_->setStyleSheet(lost ? kLostStyle : kLinkStyle);
}

void TMatrixForm::WireLog1Click() {
    if (wireLog_ == nullptr) {
        wireLog_ = new WireLogWindow(events_, *link_, prompts_, this);
    }
    wireLog_->show();
    wireLog_->raise();
    wireLog_->activateWindow();
}

void TMatrixForm::SetPagesEnabled(bool enabled) {
    // Disabling the pages takes the keyboard focus from the control that had
    // it (a slider being moved by its arrow keys, say); it goes back to that
    // control when the exchange is over, so the next key reaches it again.
    if (!enabled) {
        QWidget* focus = QApplication::focusWidget();
        if (focus != nullptr && mainPageControl_->isAncestorOf(focus)) {
            focusBeforeExchange_ = focus;
        }
        mainPageControl_->setEnabled(false);
        return;
    }
    mainPageControl_->setEnabled(true);
    if (focusBeforeExchange_ && focusBeforeExchange_->isEnabled() &&
        focusBeforeExchange_->isVisible()) {
        focusBeforeExchange_->setFocus(Qt::OtherFocusReason);
    }
    focusBeforeExchange_ = nullptr;
}

void TMatrixForm::AttachInfoForm(TInfoForm* info) {
    infoForm_ = info;
    connect(&events_, &LinkEvents::infoShown, info, [info](const QString& text) {
        info->SetInfoText(text);
        info->Popup();
    });
    connect(&events_, &LinkEvents::infoProgress, info, [info](const QString& text) {
        info->SetProgressText(text);
        info->RepaintNow();
    });
    connect(&events_, &LinkEvents::infoHidden, info, &QWidget::hide);
}

void TMatrixForm::SetHourglass(bool on) {
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

namespace {

// A named menu item, a named separator and a named submenu of `menu`.
QAction* Item(QObject* owner, QMenu* menu, const QString& text, const char* name) {
    auto* action = new QAction(text, owner);
    NameAction(action, QString::fromLatin1(name));
    menu->addAction(action);
    return action;
}
void Separator(QObject* owner, QMenu* menu, const char* name) {
    QAction* action = menu->addSeparator();
    action->setParent(owner);
    NameAction(action, QString::fromLatin1(name));
}
QMenu* Submenu(QMenu* parent, const QString& title, const char* name) {
    QMenu* menu = parent->addMenu(title);
    NameControl(menu, QString::fromLatin1(name), title);
    menu->menuAction()->setObjectName(QString::fromLatin1(name));
    return menu;
}

} // namespace

// "Settings (Adv. users only)": the baud rates and parities, greyed out.
void TMatrixForm::BuildSerialSettings(QMenu* serial) {
    QMenu* settings = Submenu(serial, kSettingsMenu, "SettingsAdvusersonly1");
    settings->menuAction()->setEnabled(false);
    QMenu* baud = Submenu(settings, kBaudMenu, "Baud1");
    QAction* defaults = Item(this, baud, kDefaultItem, "Defaultvalues1");
    defaults->setCheckable(true);
    defaults->setChecked(true);
    connect(defaults, &QAction::triggered, this, [this, defaults] { KeepCheckMark(defaults); });
    Separator(this, baud, "N3");
    for (const SpeedSpec& speed : kSpeeds) {
        QAction* a = Item(this, baud, QString::number(speed.baud), speed.name);
        a->setCheckable(true);
        const int rate = speed.baud;
        connect(a, &QAction::triggered, this, [this, a, rate] {
            KeepCheckMark(a);
            link_->SetBaudRate(rate);
        });
    }
    QMenu* parity = Submenu(settings, kParityMenu, "Parity1");
    for (const auto& p : kParities) {
        QAction* a = Item(this, parity, QString::fromLatin1(p[1]), p[0]);
        a->setCheckable(true);
        a->setChecked(parity->actions().size() == 1);
        connect(a, &QAction::triggered, this, [this, a] { KeepCheckMark(a); });
    }
}

MenuItems TMatrixForm::BuildMenus(const SerialPortMap& ports) {
    MenuItems items;
    QMenuBar* bar = menuBar();
    NameControl(bar, QStringLiteral("MainMenu1"), QStringLiteral("Menu"));
    const auto item = [this](QMenu* menu, const QString& text, const char* name) {
        return Item(this, menu, text, name);
    };
    const auto separator = [this](QMenu* menu, const char* name) { Separator(this, menu, name); };

    // "File"
    QMenu* file = bar->addMenu(kFileMenu);
    items.file = file;
    NameControl(file, QStringLiteral("File1"), QStringLiteral("File"));
    file->menuAction()->setObjectName(QStringLiteral("File1"));
    items.openConfiguration = item(file, kOpenConfigurationItem, "OpenConfigurationFile1");
    connect(items.openConfiguration, &QAction::triggered, this,
            [this] { configFiles_->OpenConfigurationFile1Click(); });
    items.saveConfiguration = item(file, kSaveConfigurationItem, "SaveConfigurationtoFile1");
    connect(items.saveConfiguration, &QAction::triggered, this,
            [this] { configFiles_->SaveConfigurationtoFile1Click(); });
    separator(file, "N1");
    QAction* exit = item(file, kExitItem, "Exit1");
    connect(exit, &QAction::triggered, this, &TMatrixForm::Exit1Click);

    // "Serial Port"
    QMenu* serial = bar->addMenu(kSerialMenu);
    items.serialPort = serial;
    NameControl(serial, QStringLiteral("Search1"), QStringLiteral("Serial Port"));
    serial->menuAction()->setObjectName(QStringLiteral("Search1"));
    QMenu* openCom = Submenu(serial, kOpenComMenu, "COM1");
    openCom->setToolTipsVisible(true);
    static constexpr const char* kComNames[] = {"COM11", "COM21", "COM31", "COM41"};
    for (int n = 1; n <= 4; ++n) {
        QAction* com = item(openCom, kComItem.arg(n), kComNames[n - 1]);
        com->setCheckable(true);
        connect(com, &QAction::triggered, this, [this, com, n] {
            KeepCheckMark(com); // the marks are set by the handler alone
            connection_->ComPortClick(n);
        });
        items.com[static_cast<std::size_t>(n - 1)] = com;
    }
    items.com[0]->setChecked(true);
    openCom->setDefaultAction(items.com[0]);
    // The tooltips name the devices as the system lists them now: an adapter
    // plugged in after the start shows up the next time the menu opens.
    const auto showDevices = [ports, coms = items.com] {
        for (int n = 1; n <= 4; ++n) {
            const QString device = ports.DevicePath(n);
            coms[static_cast<std::size_t>(n - 1)]->setToolTip(device.isEmpty() ? kNoDeviceTip
                                                                               : device);
        }
    };
    showDevices();
    connect(openCom, &QMenu::aboutToShow, this, showDevices);

    BuildSerialSettings(serial);

    items.connect = item(serial, kConnectItem, "SearchForQuorvel1");
    connect(items.connect, &QAction::triggered, this, [this] { connection_->SearchAllClick(); });
    items.read = item(serial, kReadItem, "ReadfromQuorvels1");
    connect(items.read, &QAction::triggered, this,
            [this] { connection_->ReadfromQuorvels1Click(); });
    separator(serial, "N2");
    items.disconnect = item(serial, kDisconnectItem, "DisconnectSerialCommunication1");
    connect(items.disconnect, &QAction::triggered, this,
            [this] { connection_->DisconnectSerialCommunication1Click(); });

    BuildViewMenu(bar);

    // "About": a menu bar item without sub-items.
    auto* about = new QAction(kAboutItem, this);
    NameAction(about, QStringLiteral("About1"));
    bar->addAction(about);
    connect(about, &QAction::triggered, this, &TMatrixForm::About1Click);
    return items;
}

// "View": windows beside the pages.
QMenu* TMatrixForm::BuildViewMenu(QMenuBar* bar) {
    QMenu* view = bar->addMenu(kViewMenu);
    NameControl(view, QStringLiteral("View1"), QStringLiteral("View"));
    view->menuAction()->setObjectName(QStringLiteral("View1"));
    QAction* grid = Item(this, view, kCrosspointGridItem, "CrosspointGrid1");
    grid->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    connect(grid, &QAction::triggered, this, &TMatrixForm::ShowCrosspointGrid);
    QAction* wireLog = Item(this, view, kWireLogItem, "WireLog1");
    connect(wireLog, &QAction::triggered, this, &TMatrixForm::WireLog1Click);
    return view;
}

void TMatrixForm::ShowCrosspointGrid() {
    if (gridWindow_ == nullptr) {
        gridWindow_ = new CrosspointGridWindow(*pageContext_, *switchingPage_, this);
    }
    gridWindow_->show();
    gridWindow_->raise();
    gridWindow_->activateWindow();
}

void TMatrixForm::FixWindowSize() {
    const int width = ScaledPixels(this, kClientWidth);
    const int height = ScaledPixels(this, kClientHeight) + menuBar()->sizeHint().height();
    setFixedSize(width, height);
}

void TMatrixForm::PlacePresetPanel() {
    if (presetPanel_ != nullptr) {
        presetPanel_->PlaceOver(mainPageControl_->geometry(), mainPageControl_->tabBar()->height());
    }
}

void TMatrixForm::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    PlacePresetPanel();
}

bool TMatrixForm::event(QEvent* event) {
    // Menu items carry no status tips; their hover must not wipe the status
    // line the link writes.
    if (event->type() == QEvent::StatusTip) {
        return true;
    }
    return QMainWindow::event(event);
}

void TMatrixForm::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    PlacePresetPanel();
    if (shownOnce_) {
        return;
    }
    shownOnce_ = true;
    if (const QScreen* s = screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(s->availableGeometry().center());
        move(frame.topLeft());
    }
    connection_->HoldUntilFirstRead();
    QMetaObject::invokeMethod(
        this, [this] { connection_->FormShow(); }, Qt::QueuedConnection);
}

void TMatrixForm::Exit1Click() {
    close();
}

void TMatrixForm::About1Click() {
    about_->Present(*aboutDialog_);
}

bool TMatrixForm::FormCloseQuery() {
    return prompts_.YesNo(kConfirmExitTitle, kConfirmExitText);
}

void TMatrixForm::closeEvent(QCloseEvent* event) {
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    if (link_->TcpActive()) {
        link_->TcpClose();
    }
    events_.HideInfo();
    if (gridWindow_ != nullptr) {
        gridWindow_->close();
    }
    if (wireLog_ != nullptr) {
        wireLog_->close();
    }
    event->accept();
}

} // namespace qvc
