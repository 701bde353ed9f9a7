#include "ConnectionWorkflow.h"

#include "MenuState.h"
#include "PageList.h"
#include "link/IpAddress.h"
#include "link/ReadBack.h"

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
const QString kQueryingStatus = QStringLiteral("Querying Quorvel. Please wait....");
const QString kEthernetErrorText = QStringLiteral(
    "Quorvel communication error! Please check Ethernet connections and try again (%1)");
const QString kSerialErrorText = QStringLiteral(
    "Quorvel communication error! Please check Serial connections and try again (%1)");

} // namespace

ConnectionWorkflow::ConnectionWorkflow(Parts parts, QObject* parent) : QObject(parent), p_(parts) {
    connect(&p_.pages, &PageList::readRequested, this, &ConnectionWorkflow::ReadfromQuorvels1Click);
}

void ConnectionWorkflow::HoldUntilFirstRead() {
    startupHold_.emplace(p_.linkState);
}

bool ConnectionWorkflow::Busy() const {
    return p_.linkState.BusyFlag != 0 || p_.link.InExchange();
}

void ConnectionWorkflow::FormShow() {
    if (p_.prompts.YesNo(kStartTitle, kStartQuestion)) {
        SearchAllClick();
    } else {
        p_.prompts.Message(kConnectLaterText);
    }
}

void ConnectionWorkflow::SearchAllClick() {
    if (Busy()) {
        return;
    }
    p_.link.SetHardwareFlowControl();
    if (p_.link.SearchPorts(kSearchAll) < 0) {
        p_.prompts.Message(kSearchFailedText);
        p_.link.SetSerialConnected(false);
        p_.menus.SerialFailed();
        return;
    }
    p_.events.ShowInfo(kCheckingText);
    p_.link.SetSerialConnected(true);
    p_.link.AwaitPrompt(kProbeLine);
    p_.events.HideInfo();
    p_.menus.SerialConnected();
    ReadfromQuorvels1Click();
}

void ConnectionWorkflow::ComPortClick(int n) {
    if (Busy()) {
        return;
    }
    p_.menus.CheckPort(p_.link.CurrentPortNumber(), false);
    if (p_.link.SearchPorts(n) < 0) {
        p_.prompts.Message(kPortFailedText);
        p_.link.SetSerialConnected(false);
        p_.menus.SerialFailed();
        return;
    }
    p_.link.SetSerialConnected(true);
    p_.link.AwaitPrompt(kProbeLine);
    p_.menus.SerialConnected();
    ReadfromQuorvels1Click();
    p_.menus.CheckPort(p_.link.CurrentPortNumber(), true);
}

void ConnectionWorkflow::DisconnectSerialCommunication1Click() {
    if (Busy()) {
        return;
    }
    p_.link.CloseSerialPort();
    p_.link.SetSerialConnected(false);
    p_.menus.SerialDisconnected();
}

// Runs for every change of the selection, the user's and the code's own
// returns to the previous item alike; ModeRevertGuard absorbs the one call
// that a return to "Ethernet" causes.
void ConnectionWorkflow::SerialModeRadioGroupClick() {
    if (p_.setup.LinkMode() == LinkModeControls::kEthernet) {
        SelectEthernet();
    } else if (p_.setup.LinkMode() == LinkModeControls::kRs232) {
        SelectRs232();
    }
}

void ConnectionWorkflow::RevertLinkMode(int mode) {
    p_.setup.FocusLinkBox();
    p_.setup.SelectLinkMode(mode);
}

void ConnectionWorkflow::SelectRs232() {
    if (p_.link.TcpActive()) {
        if (!p_.prompts.YesNo(kToSerialTitle, kToSerialQuestion)) {
            modeRevertGuard_ = true;
            RevertLinkMode(LinkModeControls::kEthernet);
            return;
        }
        p_.linkState.EthernetConnected = false;
        SearchAllClick();
        if (p_.linkState.SerialConnected) {
            p_.link.TcpClose();
            return;
        }
        p_.linkState.EthernetConnected = true;
        p_.link.ReportLink();
        modeRevertGuard_ = true;
        RevertLinkMode(LinkModeControls::kEthernet);
        return;
    }
    if (!p_.linkState.SerialConnected) {
        SearchAllClick();
    }
}

void ConnectionWorkflow::SelectEthernet() {
    if (p_.linkState.SerialConnected && !p_.prompts.YesNo(kToEthernetTitle, kToEthernetQuestion)) {
        RevertLinkMode(LinkModeControls::kRs232);
        return;
    }
    if (p_.link.TcpActive() && modeRevertGuard_) {
        modeRevertGuard_ = false;
        return;
    }
    if (p_.link.TcpActive()) {
        p_.link.TcpClose();
    }
    const QString refusal = CheckConnectAddress(p_.setup.IpAddressText());
    if (!refusal.isEmpty()) {
        // An empty or unreadable address: the selection stays "Ethernet".
        p_.prompts.Message(refusal);
        return;
    }
    p_.setup.SetIpAddressText(NormaliseIpAddress(p_.setup.IpAddressText()));
    // The connect wait dispatches events: no page may act meanwhile, as
    // nothing it sent would reach the switcher.
    p_.events.SetPageControlEnabled(false);
    const DeviceLink::TcpOutcome outcome = p_.link.TcpConnect(p_.setup.IpAddressText());
    p_.events.SetPageControlEnabled(true);
    switch (outcome) {
    case DeviceLink::TcpOutcome::Probed:
        DisconnectSerialCommunication1Click();
        p_.menus.EthernetConnected();
        ReadfromQuorvels1Click();
        break;
    case DeviceLink::TcpOutcome::Silent:
        p_.prompts.Message(kSilentAddressText);
        RevertLinkMode(LinkModeControls::kRs232);
        break;
    case DeviceLink::TcpOutcome::NotConnected:
        RevertLinkMode(LinkModeControls::kRs232);
        break;
    }
    p_.events.SetHourglass(false);
}

void ConnectionWorkflow::IPAddressButtonClick() {
    if (!UpdateIpAddress(p_.link, p_.prompts, p_.setup.IpAddressText())) {
        return;
    }
    if (p_.linkState.EthernetConnected) {
        SerialModeRadioGroupClick();
    }
}

void ConnectionWorkflow::ReadfromQuorvels1Click() {
    if (Busy()) {
        return;
    }
    BusyScope busy(p_.linkState);
    // A preset preview awaiting confirmation is cancelled first.
    if (p_.presets.RecallPending() && p_.presets.CancelRecall()) {
        p_.pages.RefreshFromState();
    }
    p_.events.SetStatusText(kQueryingStatus);
    p_.events.SetHourglass(true);
    p_.pages.CancelPending();
    const int result = ReadBack(p_.link, p_.state, p_.events, p_.prompts);
    if (result >= 1) {
        EndStartupHold();
        RefreshScope refreshing(p_.linkState);
        p_.pages.RefreshFromState();
        p_.events.SetHourglass(false);
        p_.events.SetStatusText(QString());
        return;
    }
    const QString& text = p_.linkState.EthernetConnected ? kEthernetErrorText : kSerialErrorText;
    p_.events.SetHourglass(false);
    p_.prompts.Message(text.arg(result));
    p_.events.SetStatusText(QString());
}

} // namespace qvc
