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

// Holds BusyFlag for a handler and clears it however the handler ends, so an
// error escaping the handler cannot leave the window locked.
class BusyScope {
  public:
    explicit BusyScope(LinkState& state) : state_(state) { state_.BusyFlag = 1; }
    ~BusyScope() { state_.BusyFlag = 0; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    LinkState& state_;
};

} // namespace qvc
