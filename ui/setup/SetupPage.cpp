#include "SetupPage.h"

#include "ui/common/ControlNames.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace qvc {

namespace {
const QString kLinkBoxCaption = QStringLiteral("Quorvel Connection");
const QString kModeCaption = QStringLiteral("Communication Link");
const QString kRs232Caption = QStringLiteral("RS-232");
const QString kEthernetCaption = QStringLiteral("Ethernet");
const QString kEthernetBoxCaption = QStringLiteral("Ethernet Configuration");
const QString kIpCaption = QStringLiteral("IP Address");
const QString kUpdateIpCaption = QStringLiteral("Update IP Address");
const QString kPageCaption = QStringLiteral("Setup");
constexpr int kIpMaxLength = 15; // "255.255.255.255"
} // namespace

SetupPage::SetupPage(PageContext context, QWidget* parent)
    : Page(std::move(context), QStringLiteral("SetupTabSheet"), kPageCaption, parent) {
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
    const QFontMetrics metrics(ipAddrEdit_->font());
    ipAddrEdit_->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("255.255.255.255")) +
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

    auto* page = new QVBoxLayout(this);
    const int margin = ScaledPixels(this, 12);
    page->setContentsMargins(margin, margin, margin, margin);
    auto* top = new QHBoxLayout;
    top->addWidget(groupBox24_);
    top->addStretch(1);
    page->addLayout(top);
    page->addStretch(1);

    setTabOrder(rs232_, ethernet_);
    setTabOrder(ethernet_, ipAddrEdit_);
    setTabOrder(ipAddrEdit_, ipAddressButton_);

    // Connected after the start selection: only later changes are reported.
    connect(modeGroup_, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked) {
            emit linkModeSelected(id);
        }
    });
    connect(ipAddressButton_, &QPushButton::clicked, this, &SetupPage::ipAddressButtonClicked);
}

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

void SetupPage::RefreshFromState() {
    SetIpAddressText(QString::fromStdString(ctx_.state.status.IPAddressText()));
}

} // namespace qvc
