#include "MatrixForm.h"

#include "AboutDialog.h"
#include "AboutPage.h"
#include "ControlNames.h"
#include "InfoForm.h"
#include "LabelPage.h"
#include "SetupPage.h"
#include "ui/switching/SwitchingPage.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHBoxLayout>
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
constexpr int kPresetPanelWidth = 176;
constexpr int kPresetPanelMargin = 6;

// Pages, in tab order.
const QString kControlCaption = QStringLiteral("A / V Switching");
const QString kAudioCaption = QStringLiteral("Audio Controls");
const QString kLabelCaption = QStringLiteral("Labeling");
const QString kGroupingCaption = QStringLiteral("Grouping");
const QString kSequencingCaption = QStringLiteral("Sequencing");
const QString kSetupCaption = QStringLiteral("Setup");
const QString kAboutCaption = QStringLiteral("About");
const QString kPresetsCaption = QStringLiteral("Preset Save/Recall");
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
const QString kAboutItem = QStringLiteral("&About");

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
} // namespace

TMatrixForm::TMatrixForm(Prompts& prompts, SerialPortMap ports, LinkTimings timings,
                         quint16 tcpPort, AboutPresenter* about, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                              Qt::WindowCloseButtonHint),
      prompts_(prompts), about_(about) {
    // 1. No handler acts while the window is being built.
    linkState_.BusyFlag = 1;
    // 2. SerialPortOpen, EthernetConnecting and EthernetConnected start clear
    //    (LinkState's defaults).
    NameControl(this, QStringLiteral("MatrixForm"));
    setWindowTitle(kStartCaption);
    if (about_ == nullptr) {
        ownAbout_ = std::make_unique<ModalAboutPresenter>();
        about_ = ownAbout_.get();
    }

    BuildPages();
    BuildMenus(ports);
    auto* statusBar = new QStatusBar(this);
    NameControl(statusBar, QStringLiteral("MainStatusBar"), QStringLiteral("Status"));
    statusBar->setSizeGripEnabled(false);
    setStatusBar(statusBar);

    // 3. Version texts of the About dialog and the About page.
    aboutDialog_ = new LMDAboutDlg(this);
    aboutDialog_->SetVersion(kVersionPrefix + QString::fromLatin1(kGuiVersion));
    aboutPage_->SetVersionText(QString::fromLatin1(kGuiVersion));
    // 4. "A / V Switching" is the active page; the page-change handling only
    //    follows later changes.
    mainPageControl_->setCurrentIndex(0);
    connect(mainPageControl_, &QTabWidget::currentChanged, this,
            &TMatrixForm::MainPageControlChange);
    // 5. to 8.: RecallPending clear, 16 inputs and 16 outputs, every route
    //    "no input" and committed, every level 200: the start values of the
    //    members.
    // 9. The label section of the configuration image gets the default labels.
    PackLabels(config_, DefaultLabels(), state_.Inputs(), state_.ShownOutputs());
    // 10. SelectedInput (in Switching) and SelectedPreset are 252.
    // 11. InitGrouping and InitPresets: the group and preset tables start
    //     with their initial values.

    link_ = std::make_unique<DeviceLink>(linkState_, *this, prompts_, std::move(ports), timings,
                                         tcpPort);

    FixWindowSize();
    // 12. Handlers may act from now on.
    linkState_.BusyFlag = 0;
}

TMatrixForm::~TMatrixForm() {
    // The link reports to this window while it shuts down; end it first, then
    // the pages that refer to the state members.
    link_.reset();
    delete takeCentralWidget();
}

void TMatrixForm::BuildPages() {
    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("MatrixFormClientArea"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    mainPageControl_ = new QTabWidget(central);
    NameControl(mainPageControl_, QStringLiteral("MainPageControl"), QStringLiteral("Pages"));
    mainPageControl_->setDocumentMode(false);
    layout->addWidget(mainPageControl_);
    setCentralWidget(central);

    // The switching and sequencing pages leave the right-hand strip free for
    // the preset panel that lies over it.
    const int reserved = ScaledPixels(this, kPresetPanelWidth + 2 * kPresetPanelMargin);
    controlTabSheet_ = new QWidget(mainPageControl_);
    controlTabSheet_->setObjectName(QStringLiteral("ControlTabSheetArea"));
    switchingPage_ = new SwitchingPage(
        state_, linkState_, switching_, [this](const Commands& lines) { SendLines(lines); },
        controlTabSheet_);
    auto* controlLayout = new QHBoxLayout(controlTabSheet_);
    controlLayout->setContentsMargins(0, 0, reserved, 0);
    controlLayout->addWidget(switchingPage_);
    connect(switchingPage_, &SwitchingPage::windowTitleRequested, this, &QWidget::setWindowTitle);
    connect(switchingPage_, &SwitchingPage::readRequested, this,
            &TMatrixForm::ReadfromQuorvels1Click);

    auto* audioTabSheet = new QWidget(mainPageControl_);
    NameControl(audioTabSheet, QStringLiteral("AudioTabSheet"), kAudioCaption);
    labelPage_ = new LabelPage(mainPageControl_);
    auto* groupingTabSheet = new QWidget(mainPageControl_);
    NameControl(groupingTabSheet, QStringLiteral("GroupingTabSheet"), kGroupingCaption);
    sequencingTabSheet_ = new QWidget(mainPageControl_);
    NameControl(sequencingTabSheet_, QStringLiteral("SequencingTabSheet"), kSequencingCaption);
    setupPage_ = new SetupPage(mainPageControl_);
    aboutPage_ = new AboutPage(mainPageControl_);

    mainPageControl_->addTab(controlTabSheet_, kControlCaption);
    mainPageControl_->addTab(audioTabSheet, kAudioCaption);
    mainPageControl_->addTab(labelPage_, kLabelCaption);
    mainPageControl_->addTab(groupingTabSheet, kGroupingCaption);
    mainPageControl_->addTab(sequencingTabSheet_, kSequencingCaption);
    mainPageControl_->addTab(setupPage_, kSetupCaption);
    mainPageControl_->addTab(aboutPage_, kAboutCaption);

    presetsGroupBox_ = new QGroupBox(kPresetsCaption, central);
    NameControl(presetsGroupBox_, QStringLiteral("PresetsGroupBox"));

    connect(setupPage_, &SetupPage::linkModeSelected, this,
            &TMatrixForm::SerialModeRadioGroupClick);
    connect(setupPage_, &SetupPage::ipAddressButtonClicked, this,
            &TMatrixForm::IPAddressButtonClick);
}

void TMatrixForm::BuildMenus(const SerialPortMap& ports) {
    QMenuBar* bar = menuBar();
    NameControl(bar, QStringLiteral("MainMenu1"), QStringLiteral("Menu"));
    auto item = [this](QMenu* menu, const QString& text, const char* name) {
        auto* action = new QAction(text, this);
        NameAction(action, QString::fromLatin1(name));
        menu->addAction(action);
        return action;
    };
    auto separator = [this](QMenu* menu, const char* name) {
        QAction* action = menu->addSeparator();
        action->setParent(this);
        NameAction(action, QString::fromLatin1(name));
    };
    auto submenu = [](QMenu* parent, const QString& title, const char* name) {
        QMenu* menu = parent->addMenu(title);
        NameControl(menu, QString::fromLatin1(name), title);
        menu->menuAction()->setObjectName(QString::fromLatin1(name));
        return menu;
    };

    // "File"
    fileMenu_ = bar->addMenu(kFileMenu);
    NameControl(fileMenu_, QStringLiteral("File1"), QStringLiteral("File"));
    fileMenu_->menuAction()->setObjectName(QStringLiteral("File1"));
    item(fileMenu_, kOpenConfigurationItem, "OpenConfigurationFile1");
    item(fileMenu_, kSaveConfigurationItem, "SaveConfigurationtoFile1");
    separator(fileMenu_, "N1");
    QAction* exit = item(fileMenu_, kExitItem, "Exit1");
    connect(exit, &QAction::triggered, this, &TMatrixForm::Exit1Click);

    // "Serial Port"
    serialMenu_ = bar->addMenu(kSerialMenu);
    NameControl(serialMenu_, QStringLiteral("Search1"), QStringLiteral("Serial Port"));
    serialMenu_->menuAction()->setObjectName(QStringLiteral("Search1"));
    QMenu* openCom = submenu(serialMenu_, kOpenComMenu, "COM1");
    openCom->setToolTipsVisible(true);
    static constexpr const char* kComNames[] = {"COM11", "COM21", "COM31", "COM41"};
    for (int n = 1; n <= 4; ++n) {
        QAction* com = item(openCom, kComItem.arg(n), kComNames[n - 1]);
        com->setCheckable(true);
        const QString device = ports.DevicePath(n);
        com->setToolTip(device.isEmpty() ? kNoDeviceTip : device);
        connect(com, &QAction::triggered, this, [this, com, n] {
            KeepCheckMark(com); // the marks are set by the handler alone
            ComPortClick(n);
        });
        comItems_[static_cast<std::size_t>(n - 1)] = com;
    }
    comItems_[0]->setChecked(true);
    openCom->setDefaultAction(comItems_[0]);

    QMenu* settings = submenu(serialMenu_, kSettingsMenu, "SettingsAdvusersonly1");
    settings->menuAction()->setEnabled(false);
    QMenu* baud = submenu(settings, kBaudMenu, "Baud1");
    QAction* defaults = item(baud, kDefaultItem, "Defaultvalues1");
    defaults->setCheckable(true);
    defaults->setChecked(true);
    connect(defaults, &QAction::triggered, this, [this, defaults] { KeepCheckMark(defaults); });
    separator(baud, "N3");
    for (const SpeedSpec& speed : kSpeeds) {
        QAction* a = item(baud, QString::number(speed.baud), speed.name);
        a->setCheckable(true);
        const int rate = speed.baud;
        connect(a, &QAction::triggered, this, [this, a, rate] { LineSpeedClick(a, rate); });
    }
    QMenu* parity = submenu(settings, kParityMenu, "Parity1");
    for (const auto& p : kParities) {
        QAction* a = item(parity, QString::fromLatin1(p[1]), p[0]);
        a->setCheckable(true);
        a->setChecked(parity->actions().size() == 1);
        connect(a, &QAction::triggered, this, [this, a] { KeepCheckMark(a); });
    }

    searchForQuorvel1_ = item(serialMenu_, kConnectItem, "SearchForQuorvel1");
    connect(searchForQuorvel1_, &QAction::triggered, this, &TMatrixForm::SearchAllClick);
    readfromQuorvels1_ = item(serialMenu_, kReadItem, "ReadfromQuorvels1");
    readfromQuorvels1_->setEnabled(false);
    connect(readfromQuorvels1_, &QAction::triggered, this, &TMatrixForm::ReadfromQuorvels1Click);
    separator(serialMenu_, "N2");
    disconnectSerialCommunication1_ =
        item(serialMenu_, kDisconnectItem, "DisconnectSerialCommunication1");
    connect(disconnectSerialCommunication1_, &QAction::triggered, this,
            &TMatrixForm::DisconnectSerialCommunication1Click);

    // "About": a menu bar item without sub-items.
    auto* about = new QAction(kAboutItem, this);
    NameAction(about, QStringLiteral("About1"));
    bar->addAction(about);
    connect(about, &QAction::triggered, this, &TMatrixForm::About1Click);
}

void TMatrixForm::FixWindowSize() {
    const int width = ScaledPixels(this, kClientWidth);
    const int height = ScaledPixels(this, kClientHeight) + menuBar()->sizeHint().height();
    setFixedSize(width, height);
}

void TMatrixForm::PlacePresetPanel() {
    if (presetsGroupBox_ == nullptr) {
        return;
    }
    const QRect pages = mainPageControl_->geometry();
    const int margin = ScaledPixels(this, kPresetPanelMargin);
    const int width = ScaledPixels(this, kPresetPanelWidth);
    const int top = pages.top() + mainPageControl_->tabBar()->height() + 2 * margin;
    presetsGroupBox_->setGeometry(pages.right() - width - 2 * margin, top, width,
                                  pages.bottom() - top - 2 * margin);
    presetsGroupBox_->raise();
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
    // From the first showing until the first successful read-back, no page
    // sends a command.
    linkState_.RefreshingFlag = true;
    QMetaObject::invokeMethod(this, &TMatrixForm::FormShow, Qt::QueuedConnection);
}

void TMatrixForm::MainPageControlChange(int index) {
    QWidget* page = mainPageControl_->widget(index);
    if (page == controlTabSheet_) {
        presetsGroupBox_->show();
        switchingPage_->CancelPending();
    } else if (page == sequencingTabSheet_) {
        presetsGroupBox_->show();
    } else {
        presetsGroupBox_->hide();
    }
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
    HideInfo();
    event->accept();
}

void TMatrixForm::SendLines(const Commands& lines) {
    link_->SendCommands(lines);
}

// --- LinkHost ---------------------------------------------------------------

void TMatrixForm::SetStatusText(const QString& text) {
    if (text.isEmpty()) {
        statusBar()->clearMessage();
    } else {
        statusBar()->showMessage(text);
    }
}

void TMatrixForm::SetPageControlEnabled(bool enabled) {
    mainPageControl_->setEnabled(enabled);
}

void TMatrixForm::SetHourglass(bool on) {
    if (on == hourglass_) {
        return;
    }
    hourglass_ = on;
    if (on) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

void TMatrixForm::SetComNumberText(const QString& text) {
    aboutPage_->SetComNumberText(text);
}
void TMatrixForm::SetLineLamps(const LineLamps& lamps) {
    aboutPage_->SetLineLamps(lamps);
}
void TMatrixForm::TerminalReceived(const QByteArray& bytes) {
    aboutPage_->TerminalReceived(bytes);
}

void TMatrixForm::ShowInfo(const QString& text) {
    if (infoForm_ != nullptr) {
        infoForm_->SetInfoText(text);
        infoForm_->Popup();
    }
}

void TMatrixForm::SetInfoProgress(const QString& text) {
    if (infoForm_ != nullptr) {
        infoForm_->SetProgressText(text);
        infoForm_->RepaintNow();
    }
}

void TMatrixForm::HideInfo() {
    if (infoForm_ != nullptr) {
        infoForm_->hide();
    }
}

} // namespace qvc
