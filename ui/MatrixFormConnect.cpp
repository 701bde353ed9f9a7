// The user's side of the connection: the start-up question, the "Serial
// Port" menu and the RS-232/Ethernet selector of the Setup page.
#include "MatrixForm.h"
#include "SetupPage.h"
#include "link/IpAddress.h"

#include <QAction>

namespace qvc {

namespace {
const QString kStartTitle =
    QStringLiteral("Norvak Dellby - QV Control :Establish COM port communication with Quorvel");
const QString kStartQuestion =
    QStringLiteral("\tDo you want to connect to Quorvel via the serial port?\n\n"
                   "   \tSerial Port Connection - Click Yes\n"
                   "   \tEthernet connection - Click No then go to Setup Tab\n"
                   "   \tRS-485 - Not available\n"
                   "   \tNo Connection - Click No");
const QString kConnectLaterText =
    QStringLiteral("To connect later:\n\n"
                   "      \tSerial port - go to 'Serial Port->Connect to Quorvel' menu item\n"
                   "      \tEthernet - go to Setup Tab, enter IP Address and choose Ethernet\n"
                   "      \tOr refer to Quorvel manual for help with QV Control connections");
const QString kSearchFailedText = QStringLiteral(
    "\tSerial Port Connection Failed.\n\n"
    "      \t1) Please check RS-232 cable.\n"
    "      \t2) Make sure COM port is not in use.\n"
    "      \t3) Make sure Quorvel boot-up initialization has been completed.\n"
    "      \t4) Go to 'Serial Port->Connect to Quorvel' menu item to connect later.");
const QString kPortFailedText = QStringLiteral(
    "\tSerial Port Connection Failed.\n\n"
    "      \t1) Please check COM port selection and RS-232 cable.\n"
    "      \t2) Make sure COM port is not in use.\n"
    "      \t3) Make sure Quorvel boot-up initialization has been completed.\n"
    "      \t4) Go to 'Serial Port->Connect to Quorvel' menu item to connect later.");
const QString kCheckingText = QStringLiteral("Checking COM port communication. Please wait....");
const QString kToSerialTitle =
    QStringLiteral("Norvak Dellby - QV Control :Establish Serial communication with Quorvel");
const QString kToSerialQuestion = QStringLiteral(
    "QV Control is currently connected to the Quorvel via the Ethernet. Do you want to "
    "disconnect the Ethernet connection and try the Serial connection?");
const QString kToEthernetTitle =
    QStringLiteral("Norvak Dellby - QV Control :Establish Ethernet communication with Quorvel");
const QString kToEthernetQuestion = QStringLiteral(
    "QV Control is currently connected to the Quorvel via the serial ports. Do you want to "
    "disconnect the serial port connection and try the Ethernet connection?");
const QString kSilentAddressText =
    QStringLiteral("Error: Unable to connect to Quorvel with given IP Address");
const std::string kProbeLine; // a bare CR
constexpr int kSearchAll = 0;
} // namespace

void TMatrixForm::FormShow() {
    // RefreshingFlag was set when the window was first shown.
    if (prompts_.YesNo(kStartTitle, kStartQuestion)) {
        SearchAllClick();
    } else {
        prompts_.Message(kConnectLaterText);
    }
}

void TMatrixForm::SearchAllClick() {
    link_->SetHardwareFlowControl();
    if (link_->SearchPorts(kSearchAll) < 0) {
        prompts_.Message(kSearchFailedText);
        link_->SetSerialConnected(false);
        searchForQuorvel1_->setEnabled(true);
        disconnectSerialCommunication1_->setEnabled(false);
        return;
    }
    ShowInfo(kCheckingText);
    link_->SetSerialConnected(true);
    link_->AwaitPrompt(kProbeLine);
    HideInfo();
    readfromQuorvels1_->setEnabled(true);
    searchForQuorvel1_->setEnabled(false);
    disconnectSerialCommunication1_->setEnabled(true);
    ReadfromQuorvels1Click();
    linkState_.BusyFlag = 0;
}

QAction* TMatrixForm::PortItem(int n) const {
    return (n >= 2 && n <= 4) ? comItems_[static_cast<std::size_t>(n - 1)] : comItems_[0];
}

void TMatrixForm::KeepCheckMark(QAction* item) {
    // A checkable menu item toggles its mark before its handler runs; the
    // marks of these items change only where a handler says so.
    item->setChecked(!item->isChecked());
}

void TMatrixForm::ComPortClick(int n) {
    PortItem(link_->CurrentPortNumber())->setChecked(false);
    if (link_->SearchPorts(n) < 0) {
        prompts_.Message(kPortFailedText);
        link_->SetSerialConnected(false);
        searchForQuorvel1_->setEnabled(true);
        disconnectSerialCommunication1_->setEnabled(false);
        return;
    }
    link_->SetSerialConnected(true);
    link_->AwaitPrompt(kProbeLine);
    readfromQuorvels1_->setEnabled(true);
    searchForQuorvel1_->setEnabled(false);
    disconnectSerialCommunication1_->setEnabled(true);
    ReadfromQuorvels1Click();
    linkState_.BusyFlag = 0;
    PortItem(link_->CurrentPortNumber())->setChecked(true);
}

void TMatrixForm::LineSpeedClick(QAction* item, int baud) {
    KeepCheckMark(item);
    link_->SetBaudRate(baud);
}

void TMatrixForm::DisconnectSerialCommunication1Click() {
    link_->CloseSerialPort();
    link_->SetSerialConnected(false);
    readfromQuorvels1_->setEnabled(false);
    searchForQuorvel1_->setEnabled(true);
    disconnectSerialCommunication1_->setEnabled(false);
}

// Runs for every change of the selection, the user's and the code's own
// returns to the previous item alike; ModeRevertGuard absorbs the one call
// that a return to "Ethernet" causes.
void TMatrixForm::SerialModeRadioGroupClick() {
    if (setupPage_->LinkMode() == SetupPage::kEthernet) {
        SelectEthernet();
    } else if (setupPage_->LinkMode() == SetupPage::kRs232) {
        SelectRs232();
    }
}

void TMatrixForm::RevertLinkMode(int mode) {
    setupPage_->FocusLinkBox();
    setupPage_->SelectLinkMode(mode);
}

void TMatrixForm::SelectRs232() {
    if (link_->TcpActive()) {
        if (!prompts_.YesNo(kToSerialTitle, kToSerialQuestion)) {
            modeRevertGuard_ = true;
            RevertLinkMode(SetupPage::kEthernet);
            return;
        }
        linkState_.EthernetConnected = false;
        SearchAllClick();
        if (linkState_.SerialConnected) {
            link_->TcpClose();
            return;
        }
        linkState_.EthernetConnected = true;
        modeRevertGuard_ = true;
        RevertLinkMode(SetupPage::kEthernet);
        return;
    }
    if (!linkState_.SerialConnected) {
        SearchAllClick();
    }
}

void TMatrixForm::SelectEthernet() {
    if (linkState_.SerialConnected && !prompts_.YesNo(kToEthernetTitle, kToEthernetQuestion)) {
        RevertLinkMode(SetupPage::kRs232);
        return;
    }
    if (link_->TcpActive() && modeRevertGuard_) {
        modeRevertGuard_ = false;
        return;
    }
    if (link_->TcpActive()) {
        link_->TcpClose();
    }
    const QString refusal = CheckConnectAddress(setupPage_->IpAddressText());
    if (!refusal.isEmpty()) {
        // An empty or unreadable address: the selection stays "Ethernet".
        prompts_.Message(refusal);
        return;
    }
    setupPage_->SetIpAddressText(NormaliseIpAddress(setupPage_->IpAddressText()));
    switch (link_->TcpConnect(setupPage_->IpAddressText())) {
    case DeviceLink::TcpOutcome::Probed:
        DisconnectSerialCommunication1Click();
        readfromQuorvels1_->setEnabled(true);
        searchForQuorvel1_->setEnabled(false);
        ReadfromQuorvels1Click();
        break;
    case DeviceLink::TcpOutcome::Silent:
        prompts_.Message(kSilentAddressText);
        RevertLinkMode(SetupPage::kRs232);
        break;
    case DeviceLink::TcpOutcome::NotConnected:
        RevertLinkMode(SetupPage::kRs232);
        break;
    }
    SetHourglass(false);
}

void TMatrixForm::IPAddressButtonClick() {
    if (!UpdateIpAddress(*link_, prompts_, setupPage_->IpAddressText())) {
        return;
    }
    if (linkState_.EthernetConnected) {
        SerialModeRadioGroupClick();
    }
}

} // namespace qvc
