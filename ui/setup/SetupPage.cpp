#include "SetupPage.h"

#include "ui/common/ControlNames.h"
#include "ui/common/FlatPainter.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFocusEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace qvc {

namespace {
// The link controls.
const QString kLinkBoxCaption = QStringLiteral("Quorvel Connection");
const QString kModeCaption = QStringLiteral("Communication Link");
const QString kRs232Caption = QStringLiteral("RS-232");
const QString kEthernetCaption = QStringLiteral("Ethernet");
const QString kEthernetBoxCaption = QStringLiteral("Ethernet Configuration");
const QString kIpCaption = QStringLiteral("IP Address");
const QString kUpdateIpCaption = QStringLiteral("Update IP Address");
const QString kPageCaption = QStringLiteral("Setup");
constexpr int kIpMaxLength = 15; // "255.255.255.255"

// The settings.
const QString kFrontPanelLockCaption = QStringLiteral("Front Panel Lockout");
const QString kSwitchSourceCaption = QStringLiteral("Video Switch Source");
const char* const kSwitchSourceItemCaptions[kSwitchSourceItems] = {"RGB Delay", "CHANNEL 1 SYNC",
                                                                   "CHANNEL 1 VIDEO", "VREF IN"};
const QString kSwitchSourceItemObject = QStringLiteral("VideoSwitchSourceRadioGroupItem");
const QString kRgbDelayCaption = QStringLiteral("RGB Delay");
const QString kRgbDelayUnit = QStringLiteral("ms");
const QString kRgbDelayRange = QStringLiteral("Range: 0 - 4000");
const QString kRgbDelayStart = QStringLiteral("0");
constexpr int kRgbDelayMaxLength = 4; // what the operator may type
// The widest delay a status block can hold; a refresh shows it whole.
const QString kWidestDelay = QStringLiteral("-32768");
const QString kResetCaption = QStringLiteral("Reset Quorvel");
const QString kFactoryResetCaption = QStringLiteral("Factory Reset Quorvel");

// Messages.
const QString kOutOfLimitsText = QStringLiteral("Error! RGB Delay value out of limits (0-4000)");
const QString kNotAnIntegerText = QStringLiteral("'%1' is not a valid integer value");
const QString kResetTitle = QStringLiteral("QV Control - Reset Verification");
const QString kResetQuestion =
    QStringLiteral("Resetting the Quorvel will reset settings to saved values. Are you sure you "
                   "want to reset the Quorvel?");
const QString kFactoryResetQuestion =
    QStringLiteral("Resetting the Quorvel will reset settings to factory values. Are you sure "
                   "you want to factory reset the Quorvel?");
const QString kResetInProgressText = QStringLiteral("Quorvel reset in progress. Please wait....");

// The RGB delay edit. It reports when the operator leaves it for another
// control of the window (a menu opening, another window taking over, or the
// page disabled for an exchange is no leaving), and hands Enter to the page.
class RgbDelayEdit : public QLineEdit {
  public:
    using QLineEdit::QLineEdit;

    std::function<void()> left;
    std::function<void()> enterPressed;

  protected:
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        if (left && LeftForAControl(event->reason())) {
            left();
        }
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (enterPressed && (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)) {
            enterPressed();
            return;
        }
        QLineEdit::keyPressEvent(event);
    }

  private:
    bool LeftForAControl(Qt::FocusReason reason) const {
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason ||
            reason == Qt::MenuBarFocusReason || !isEnabled()) {
            return false;
        }
        const QWidget* now = QApplication::focusWidget();
        return now != nullptr && now->window() == window();
    }
};

// The File and Serial Port menus stay closed while a reset runs, however it
// ends.
class LinkHold {
  public:
    explicit LinkHold(Page& page) : page_(page) { emit page_.linkHeld(true); }
    ~LinkHold() { emit page_.linkHeld(false); }
    LinkHold(const LinkHold&) = delete;
    LinkHold& operator=(const LinkHold&) = delete;

  private:
    Page& page_;
};

// The pop-up asks the operator to wait while the switcher resets; it is
// painted before the exchange blocks and hidden however the exchange ends.
class ResetPopup {
  public:
    explicit ResetPopup(LinkEvents* events) : events_(events) {
        if (events_ == nullptr) {
            return;
        }
        events_->ShowInfo(kResetInProgressText);
        QCoreApplication::processEvents();
        // Empties the dots a read-back left there, and repaints.
        events_->SetInfoProgress(QString());
        QCoreApplication::processEvents();
    }
    ~ResetPopup() {
        if (events_ != nullptr) {
            events_->HideInfo();
        }
    }
    ResetPopup(const ResetPopup&) = delete;
    ResetPopup& operator=(const ResetPopup&) = delete;

  private:
    LinkEvents* events_;
};

int TextWidth(const QWidget* w, const QString& text) {
    return w->fontMetrics().horizontalAdvance(text);
}

} // namespace

SetupPage::SetupPage(PageContext context, QWidget* parent)
    : Page(std::move(context), QStringLiteral("SetupTabSheet"), kPageCaption, parent),
      setup_(ctx_.state) {
    auto* page = new QVBoxLayout(this);
    const int margin = ScaledPixels(this, 12);
    page->setContentsMargins(margin, margin, margin, margin);
    page->setSpacing(ScaledPixels(this, 10));

    auto* top = new QHBoxLayout;
    top->addWidget(BuildLinkBox());
    top->addStretch(1);
    page->addLayout(top);

    frontPanelLockCheckBox_ = new QCheckBox(kFrontPanelLockCaption, this);
    NameControl(frontPanelLockCheckBox_, QStringLiteral("FrontPanelLockCheckBox"),
                kFrontPanelLockCaption);
    page->addWidget(frontPanelLockCheckBox_);

    // A bar between the lockout and the lower controls; nothing to read.
    button5_ = new QFrame(this);
    NameControl(button5_, QStringLiteral("Button5"));
    button5_->setFrameShape(QFrame::HLine);
    button5_->setFrameShadow(QFrame::Sunken);
    button5_->setEnabled(false);
    page->addWidget(button5_);

    auto* source = new QVBoxLayout;
    source->setSpacing(ScaledPixels(this, 10));
    source->addWidget(BuildSwitchSource());
    source->addLayout(BuildRgbDelayRow());
    auto* lower = new QHBoxLayout;
    lower->setSpacing(ScaledPixels(this, 24));
    lower->addLayout(source);
    lower->addLayout(BuildResetButtons());
    lower->addStretch(1);
    page->addLayout(lower);
    page->addStretch(1);

    ChainTabOrder();

    // Connected after the start selections: only later changes are reported.
    connect(modeGroup_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            emit linkModeSelected(id);
        }
    });
    connect(ipAddressButton_, &QPushButton::clicked, this, &SetupPage::ipAddressButtonClicked);

    // toggled: also when a refresh changes the tick or the selection.
    connect(frontPanelLockCheckBox_, &QCheckBox::toggled, this,
            &SetupPage::FrontPanelLockCheckBoxClick);
    connect(switchSourceGroup_, &QButtonGroup::idToggled, this, [this](int item, bool checked) {
        if (checked) {
            VideoSwitchSourceRadioGroupClick(item);
        }
    });
    connect(resetButton_, &QPushButton::clicked, this, &SetupPage::ResetButtonClick);
    connect(factoryResetButton_, &QPushButton::clicked, this, &SetupPage::FactoryResetButtonClick);
}

// ---------------------------------------------------------------------------
// Layout

QGroupBox* SetupPage::BuildLinkBox() {
    groupBox24_ = new QGroupBox(kLinkBoxCaption, this);
    NameControl(groupBox24_, QStringLiteral("GroupBox24"));

    auto* modeBox = new QGroupBox(kModeCaption, groupBox24_);
    NameControl(modeBox, QStringLiteral("SerialModeRadioGroup"));
    rs232_ = new QRadioButton(kRs232Caption, modeBox);
    NameControl(rs232_, QStringLiteral("SerialModeRs232Button"));
    ethernet_ = new QRadioButton(kEthernetCaption, modeBox);
    NameControl(ethernet_, QStringLiteral("SerialModeEthernetButton"));
    modeGroup_ = new QButtonGroup(this);
    modeGroup_->setObjectName(QStringLiteral("SerialModeButtonGroup"));
    modeGroup_->addButton(rs232_, kRs232);
    modeGroup_->addButton(ethernet_, kEthernet);
    rs232_->setChecked(true);
    auto* modeLayout = new QVBoxLayout(modeBox);
    modeLayout->addWidget(rs232_);
    modeLayout->addWidget(ethernet_);
    modeLayout->addStretch(1);

    auto* ethernetBox = new QGroupBox(kEthernetBoxCaption, groupBox24_);
    NameControl(ethernetBox, QStringLiteral("EthernetConfigurationGroupBox"));
    auto* ipCaption = new QLabel(kIpCaption, ethernetBox);
    ipCaption->setObjectName(QStringLiteral("IPAddressCaptionLabel"));
    ipAddrEdit_ = new QLineEdit(ethernetBox);
    NameControl(ipAddrEdit_, QStringLiteral("IPAddrEdit"), kIpCaption);
    ipAddrEdit_->setMaxLength(kIpMaxLength);
    ipAddrEdit_->setFixedWidth(TextWidth(ipAddrEdit_, QStringLiteral("255.255.255.255")) +
                               ScaledPixels(this, 18));
    ipCaption->setBuddy(ipAddrEdit_);
    ipAddressButton_ = new QPushButton(kUpdateIpCaption, ethernetBox);
    NameControl(ipAddressButton_, QStringLiteral("IPAddressButton"));
    ipAddressButton_->setAutoDefault(true); // Enter presses it when it has the focus
    auto* ipRow = new QHBoxLayout;
    ipRow->addWidget(ipCaption);
    ipRow->addWidget(ipAddrEdit_);
    ipRow->addStretch(1);
    auto* ethernetLayout = new QVBoxLayout(ethernetBox);
    ethernetLayout->addLayout(ipRow);
    ethernetLayout->addWidget(ipAddressButton_, 0, Qt::AlignLeft);
    ethernetLayout->addStretch(1);

    auto* linkLayout = new QHBoxLayout(groupBox24_);
    linkLayout->addWidget(modeBox);
    linkLayout->addWidget(ethernetBox, 1);
    return groupBox24_;
}

QGroupBox* SetupPage::BuildSwitchSource() {
    videoSwitchSourceRadioGroup_ = new QGroupBox(kSwitchSourceCaption, this);
    NameControl(videoSwitchSourceRadioGroup_, QStringLiteral("VideoSwitchSourceRadioGroup"),
                kSwitchSourceCaption);
    switchSourceGroup_ = new QButtonGroup(videoSwitchSourceRadioGroup_);
    switchSourceGroup_->setExclusive(true);
    auto* items = new QVBoxLayout(videoSwitchSourceRadioGroup_);
    for (int item = 0; item < kSwitchSourceItems; ++item) {
        const QString caption = QString::fromLatin1(kSwitchSourceItemCaptions[item]);
        auto* radio = new QRadioButton(caption, videoSwitchSourceRadioGroup_);
        NameControl(radio, kSwitchSourceItemObject + QString::number(item), caption);
        switchSourceGroup_->addButton(radio, item);
        items->addWidget(radio);
        switchSourceItems_[static_cast<std::size_t>(item)] = radio;
    }
    switchSourceItems_[0]->setChecked(true);
    return videoSwitchSourceRadioGroup_;
}

QLayout* SetupPage::BuildRgbDelayRow() {
    auto* caption = new QLabel(kRgbDelayCaption, this);
    NameControl(caption, QStringLiteral("Label81"));
    auto* edit = new RgbDelayEdit(kRgbDelayStart, this);
    NameControl(edit, QStringLiteral("RGBDelayEdit"), kRgbDelayCaption);
    edit->setMaxLength(kRgbDelayMaxLength);
    edit->setFixedWidth(TextWidth(edit, kWidestDelay) + ScaledPixels(this, 18));
    edit->left = [this] { RGBDelayEditExit(); };
    edit->enterPressed = [this] { RGBDelayEditKeyPress(); };
    caption->setBuddy(edit);
    rgbDelayEdit_ = edit;
    auto* unit = new QLabel(kRgbDelayUnit, this);
    NameControl(unit, QStringLiteral("Label113"));
    auto* range = new QLabel(kRgbDelayRange, this);
    NameControl(range, QStringLiteral("Label132"));

    auto* row = new QHBoxLayout;
    row->setSpacing(ScaledPixels(this, 6));
    row->addWidget(caption);
    row->addWidget(edit);
    row->addWidget(unit);
    row->addSpacing(ScaledPixels(this, 18));
    row->addWidget(range);
    row->addStretch(1);
    return row;
}

QLayout* SetupPage::BuildResetButtons() {
    resetButton_ = ActionButton(QStringLiteral("ResetButton"), kResetCaption, this);
    factoryResetButton_ =
        ActionButton(QStringLiteral("FactoryResetButton"), kFactoryResetCaption, this);
    // One width for both, the wider caption's.
    const int width =
        std::max(resetButton_->sizeHint().width(), factoryResetButton_->sizeHint().width()) +
        ScaledPixels(this, 24);
    auto* column = new QVBoxLayout;
    column->setSpacing(ScaledPixels(this, 10));
    for (QPushButton* button : {resetButton_, factoryResetButton_}) {
        button->setFixedWidth(width);
        column->addWidget(button);
    }
    column->addStretch(1);
    return column;
}

void SetupPage::ChainTabOrder() {
    std::vector<QWidget*> order{rs232_, ethernet_, ipAddrEdit_, ipAddressButton_,
                                frontPanelLockCheckBox_};
    order.insert(order.end(), switchSourceItems_.begin(), switchSourceItems_.end());
    order.insert(order.end(), {rgbDelayEdit_, resetButton_, factoryResetButton_});
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

// ---------------------------------------------------------------------------
// The link controls

int SetupPage::LinkMode() const {
    return modeGroup_->checkedId();
}

void SetupPage::SelectLinkMode(int mode) {
    if (QAbstractButton* button = modeGroup_->button(mode)) {
        button->setChecked(true);
    }
}

void SetupPage::FocusLinkBox() {
    groupBox24_->setFocus(Qt::OtherFocusReason);
}

QString SetupPage::IpAddressText() const {
    return ipAddrEdit_->text();
}
void SetupPage::SetIpAddressText(const QString& text) {
    ipAddrEdit_->setText(text);
}

// ---------------------------------------------------------------------------
// The settings

void SetupPage::RefreshFromState() {
    RefreshSetupPage();
}

void SetupPage::RefreshSetupPage() {
    const SystemStatusBlock& status = ctx_.state.status;
    frontPanelLockCheckBox_->setChecked(status.FrontPanelLock() != 0);
    SelectSwitchSource(qvc::SwitchSourceItem(status.VideoSwitchSource()));
    // The operator types at most four characters, but the switcher's value
    // is shown whole, however wide.
    const QString delay = QString::number(status.RGBDelay());
    rgbDelayEdit_->setMaxLength(std::max(kRgbDelayMaxLength, static_cast<int>(delay.size())));
    rgbDelayEdit_->setText(delay);
    SetIpAddressText(QString::fromStdString(status.IPAddressText()));
}

void SetupPage::SelectSwitchSource(int item) {
    if (item >= 0 && item < kSwitchSourceItems) {
        switchSourceItems_[static_cast<std::size_t>(item)]->setChecked(true);
        return;
    }
    // No item: the exclusive group lets go of its checked button only while
    // it is not exclusive.
    if (QAbstractButton* checked = switchSourceGroup_->checkedButton()) {
        switchSourceGroup_->setExclusive(false);
        checked->setChecked(false);
        switchSourceGroup_->setExclusive(true);
    }
}

bool SetupPage::SettingsMayBeSent() const {
    const LinkState& link = ctx_.link;
    return !link.RefreshingFlag && (link.SerialConnected || link.EthernetConnected);
}

void SetupPage::FrontPanelLockCheckBoxClick(bool ticked) {
    if (!SettingsMayBeSent()) {
        return; // the box keeps the tick; the next refresh shows the switcher's
    }
    Send(setup_.SetFrontPanelLock(ticked));
}

void SetupPage::VideoSwitchSourceRadioGroupClick(int item) {
    if (!SettingsMayBeSent()) {
        return;
    }
    Send(setup_.SetVideoSwitchSource(item));
}

void SetupPage::RGBDelayEditExit() {
    const QString text = rgbDelayEdit_->text();
    const RgbDelayEntry entry = ReadRgbDelay(text.toStdString());
    switch (entry.verdict) {
    case RgbDelayEntry::Verdict::NotAnInteger:
        ctx_.prompts.Error(kNotAnIntegerText.arg(text));
        return;
    case RgbDelayEntry::Verdict::OutOfLimits:
        ctx_.prompts.Message(kOutOfLimitsText);
        rgbDelayEdit_->setFocus(Qt::OtherFocusReason);
        return;
    case RgbDelayEntry::Verdict::Accepted:
        break;
    }
    if (!SettingsMayBeSent()) {
        return;
    }
    Send(setup_.SetRGBDelay(entry.delay));
}

void SetupPage::RGBDelayEditKeyPress() {
    // Leaving the edit sends the delay.
    videoSwitchSourceRadioGroup_->setFocus(Qt::OtherFocusReason);
}

void SetupPage::ResetSwitcher(bool factory) {
    LinkState& link = ctx_.link;
    if (link.BusyFlag != 0) {
        return;
    }
    const BusyScope busy(link);
    const LinkHold held(*this);
    if (!SettingsMayBeSent()) {
        return;
    }
    if (!ctx_.prompts.YesNo(kResetTitle, factory ? kFactoryResetQuestion : kResetQuestion)) {
        return;
    }
    const ResetPopup popup(ctx_.linkEvents);
    Send(Setup::Reset(factory));
}

} // namespace qvc
