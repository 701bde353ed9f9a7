// The user's side of the connection: the start-up question, the "Serial
// Port" menu, the RS-232/Ethernet selector and "Update IP Address" of the
// Setup page, and the read action ("Read from Quorvel").
//
// Its handlers keep the names of the window layout: FormShow, SearchAllClick,
// COM11Click .. COM41Click (ComPortClick), DisconnectSerialCommunication1Click,
// SerialModeRadioGroupClick, IPAddressButtonClick, ReadfromQuorvels1Click.
// While an exchange or a read-back is in progress, the menu handlers that
// would start another one return at once, without a message.
#pragma once

#include "link/DeviceLink.h"
#include "link/LinkEvents.h"
#include "link/LinkState.h"
#include "link/Prompts.h"
#include "model/DeviceState.h"
#include "model/Presets.h"
#include "ui/common/LinkModeControls.h"

#include <QObject>
#include <optional>

class QAction;

namespace qvc {

class MenuState;
class PageList;

class ConnectionWorkflow : public QObject {
    Q_OBJECT
  public:
    struct Parts {
        Prompts& prompts;
        DeviceLink& link;
        LinkState& linkState;
        LinkEvents& events;
        DeviceState& state;
        Presets& presets;
        MenuState& menus;
        PageList& pages;
        LinkModeControls& setup; // the Setup page's selector and address
    };
    explicit ConnectionWorkflow(Parts parts, QObject* parent = nullptr);

    // From the first showing of the window until the first successful
    // read-back (or configuration load) no page sends a command.
    void HoldUntilFirstRead();
    void EndStartupHold() { startupHold_.reset(); }

    void FormShow(); // the start-up question
    void SearchAllClick();
    void ComPortClick(int n);
    void DisconnectSerialCommunication1Click();
    void SerialModeRadioGroupClick();
    void IPAddressButtonClick();
    void ReadfromQuorvels1Click();

  private:
    // An exchange or a guarded handler is at work.
    bool Busy() const;
    void SearchAll();
    void SelectRs232();
    void SelectEthernet();
    void RevertLinkMode(int mode); // focus to GroupBox24, select `mode` again

    Parts p_;
    bool modeRevertGuard_ = false; // ModeRevertGuard
    std::optional<RefreshScope> startupHold_;
};

} // namespace qvc
