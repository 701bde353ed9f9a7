// The state of the link, owned by the main window.
#pragma once

namespace qvc {

struct LinkState {
    bool SerialConnected = false;
    bool EthernetConnected = false;
    bool SerialPortOpen = false;
    bool EthernetConnecting = false;
    int BusyFlag = 0; // re-entrancy guard of the window
    bool RefreshingFlag = false;
};

} // namespace qvc
