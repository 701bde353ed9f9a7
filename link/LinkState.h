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

    // A link is up: write commands have somewhere to go.
    bool LinkUp() const { return SerialConnected || EthernetConnected; }
};

// The one way BusyFlag is written: a scope sets it and gives back the value
// it found however the scope ends, so an error escaping a handler cannot
// leave the window locked, and an inner scope does not end an outer one.
class BusyScope {
  public:
    explicit BusyScope(LinkState& state) : state_(state), saved_(state.BusyFlag) {
        state_.BusyFlag = 1;
    }
    ~BusyScope() { state_.BusyFlag = saved_; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

  private:
    LinkState& state_;
    int saved_;
};

// Holds RefreshingFlag while pages are filled from stored state, so that the
// change handlers this fires send nothing; gives back the value it found.
class RefreshScope {
  public:
    explicit RefreshScope(LinkState& state) : state_(state), saved_(state.RefreshingFlag) {
        state_.RefreshingFlag = true;
    }
    ~RefreshScope() { state_.RefreshingFlag = saved_; }
    RefreshScope(const RefreshScope&) = delete;
    RefreshScope& operator=(const RefreshScope&) = delete;

  private:
    LinkState& state_;
    bool saved_;
};

} // namespace qvc
