#include "AboutPage.h"

#include "TerminalView.h"
#include "ui/common/ControlNames.h"
#include "ui/common/LogoWidget.h"
#include "ui/common/StatusLamp.h"
#include "ui/common/Version.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace qvc {

namespace {
const QString kTitleText = QStringLiteral("Quorvel Control GUI");
const QString kGuiVersionCaption = QStringLiteral("GUI Version :");
const QString kFirmwareVersionCaption = QStringLiteral("Firmware Version :");
const QString kNotAvailable = QStringLiteral("N/A");
const QString kOwnershipNotice = QStringLiteral(
    "Quorvel Control and the Quorvel name and logo are the property of Norvak Dellby, LLC. "
    "This program is licensed for use with Quorvel matrix switchers only; copying or "
    "distributing it without the written permission of Norvak Dellby, LLC is not permitted.");
const QString kRs232Caption = QStringLiteral("RS-232");
const QString kComCaption = QStringLiteral("COM:");
const QString kNoComNumber = QStringLiteral("None");
const QString kTerminalCaption = QStringLiteral("Serial terminal");
const QString kPageCaption = QStringLiteral("About");

struct LampSpec {
    const char* caption;
    const char* name; // object name of the lamp
};
// Left to right, as on the switcher's rear panel.
constexpr LampSpec kLamps[] = {{"TXD", "ApdStatusLight5"},
                               {"RXD", "ApdStatusLight4"},
                               {"DCD", "ApdStatusLight3"},
                               {"DSR", "ApdStatusLight6"},
                               {"CTS", "ApdStatusLight2"}};
} // namespace

AboutPage::AboutPage(PageContext context, QWidget* parent)
    : Page(std::move(context), QStringLiteral("AboutTabSheet"), kPageCaption, parent) {
    auto* logo = new LogoWidget(this);
    NameControl(logo, QStringLiteral("Image1"), QStringLiteral("Quorvel logo"));

    auto* title = new QLabel(kTitleText, this);
    NameControl(title, QStringLiteral("Label82"));
    title->setAlignment(Qt::AlignCenter);
    QFont titleFont = title->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.8);
    titleFont.setBold(true);
    title->setFont(titleFont);

    auto* guiCaption = new QLabel(kGuiVersionCaption, this);
    NameControl(guiCaption, QStringLiteral("Label83"));
    version1Label_ = new QLabel(this);
    NameControl(version1Label_, QStringLiteral("Version1Label"));
    ShowValue(version1Label_, QString::fromLatin1(kGuiVersion));
    auto* firmwareCaption = new QLabel(kFirmwareVersionCaption, this);
    NameControl(firmwareCaption, QStringLiteral("Label111"));
    firmwareVersionLabel_ = new QLabel(this);
    NameControl(firmwareVersionLabel_, QStringLiteral("FirmwareVersionLabel"));
    ShowValue(firmwareVersionLabel_, kNotAvailable);
    guiCaption->setBuddy(version1Label_);
    firmwareCaption->setBuddy(firmwareVersionLabel_);

    auto* versions = new QGridLayout;
    versions->addWidget(guiCaption, 0, 0, Qt::AlignRight);
    versions->addWidget(version1Label_, 0, 1);
    versions->addWidget(firmwareCaption, 1, 0, Qt::AlignRight);
    versions->addWidget(firmwareVersionLabel_, 1, 1);
    versions->setColumnStretch(1, 1);
    versions->setHorizontalSpacing(ScaledPixels(this, 10));

    auto* heading = new QVBoxLayout;
    heading->addStretch(1);
    heading->addWidget(title);
    heading->addSpacing(ScaledPixels(this, 12));
    auto* versionRow = new QHBoxLayout;
    versionRow->addStretch(1);
    versionRow->addLayout(versions);
    versionRow->addStretch(1);
    heading->addLayout(versionRow);
    heading->addStretch(1);

    auto* top = new QHBoxLayout;
    top->addWidget(logo, 0, Qt::AlignTop | Qt::AlignLeft);
    top->addLayout(heading, 1);
    top->addSpacing(logo->sizeHint().width());

    auto* notice = new QLabel(kOwnershipNotice, this);
    NameControl(notice, QStringLiteral("Label103"));
    notice->setWordWrap(true);
    notice->setAlignment(Qt::AlignCenter);

    terminal_ = new TerminalView(this);
    NameControl(terminal_, QStringLiteral("AdTerminal1"), kTerminalCaption);
    auto* terminalCaption = new QLabel(kTerminalCaption + QLatin1Char(':'), this);
    terminalCaption->setObjectName(QStringLiteral("TerminalCaptionLabel"));
    terminalCaption->setBuddy(terminal_);

    QGroupBox* rs232 = BuildLampBox();

    auto* page = new QVBoxLayout(this);
    const int margin = ScaledPixels(this, 12);
    page->setContentsMargins(margin, margin, margin, margin);
    page->addLayout(top);
    page->addWidget(notice);
    page->addSpacing(ScaledPixels(this, 6));
    page->addWidget(terminalCaption);
    page->addWidget(terminal_);
    page->addWidget(rs232);
    page->addStretch(1);

    if (LinkEvents* events = ctx_.linkEvents) {
        connect(events, &LinkEvents::comNumberText, this, &AboutPage::SetComNumberText);
        connect(events, &LinkEvents::lineLamps, this, &AboutPage::SetLineLamps);
        connect(events, &LinkEvents::terminalReceived, this, &AboutPage::TerminalReceived);
    }
}

// "RS-232": the five line lamps and the COM number.
QGroupBox* AboutPage::BuildLampBox() {
    auto* rs232 = new QGroupBox(kRs232Caption, this);
    NameControl(rs232, QStringLiteral("RS232GroupBox"));
    auto* lampRow = new QHBoxLayout(rs232);
    lampRow->setSpacing(ScaledPixels(this, 6));
    StatusLamp** lampFields[] = {&txd_, &rxd_, &dcd_, &dsr_, &cts_};
    int index = 0;
    for (const LampSpec& spec : kLamps) {
        auto* lamp = new StatusLamp(rs232);
        const QString caption = QString::fromLatin1(spec.caption);
        NameControl(lamp, QString::fromLatin1(spec.name), caption + QStringLiteral(" lamp"));
        auto* label = new QLabel(caption, rs232);
        label->setBuddy(lamp);
        lampRow->addWidget(lamp);
        lampRow->addWidget(label);
        lampRow->addSpacing(ScaledPixels(this, 10));
        *lampFields[index++] = lamp;
    }
    lampRow->addSpacing(ScaledPixels(this, 10));
    auto* comCaption = new QLabel(kComCaption, rs232);
    comNumberLabel_ = new QLabel(rs232);
    NameControl(comNumberLabel_, QStringLiteral("ComNumberLabel"));
    ShowValue(comNumberLabel_, kNoComNumber);
    comCaption->setBuddy(comNumberLabel_);
    lampRow->addWidget(comCaption);
    lampRow->addWidget(comNumberLabel_);
    lampRow->addStretch(1);
    return rs232;
}

void AboutPage::RefreshFromState() {
    ShowValue(firmwareVersionLabel_,
              QString::fromLatin1(ctx_.state.status.FirmwareVersion().c_str()));
}

void AboutPage::SetComNumberText(const QString& text) {
    ShowValue(comNumberLabel_, text);
}

void AboutPage::SetLineLamps(const LineLamps& lamps) {
    txd_->SetLit(lamps.txd);
    rxd_->SetLit(lamps.rxd);
    dcd_->SetLit(lamps.dcd);
    dsr_->SetLit(lamps.dsr);
    cts_->SetLit(lamps.cts);
}

void AboutPage::TerminalReceived(const QByteArray& bytes) {
    terminal_->Feed(bytes);
}

} // namespace qvc
