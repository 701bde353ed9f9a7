// Which menu items can be chosen, by the state of the link: one function per
// change of state, so that the items never disagree with each other.
#pragma once

#include <array>

class QAction;
class QMenu;

namespace qvc {

struct MenuItems {
    QMenu* file = nullptr;                // File1
    QMenu* serialPort = nullptr;          // Search1
    QAction* openConfiguration = nullptr; // OpenConfigurationFile1
    QAction* saveConfiguration = nullptr; // SaveConfigurationtoFile1
    QAction* connect = nullptr;           // SearchForQuorvel1
    std::array<QAction*, 4> com{};        // COM11 .. COM41
    QAction* read = nullptr;              // ReadfromQuorvels1
    QAction* disconnect = nullptr;        // DisconnectSerialCommunication1
};

class MenuState {
  public:
    explicit MenuState(MenuItems items);

    // Start: Connect and Disconnect offered, nothing to read yet.
    void Started();
    // A serial port answered: Read and Disconnect, no Connect.
    void SerialConnected();
    // A search or port choice found no switcher: Connect again, no Disconnect.
    void SerialFailed();
    // The serial port was closed by the user: Connect, nothing to read.
    void SerialDisconnected();
    // The switcher answered over Ethernet: Read, no Connect or Disconnect.
    void EthernetConnected();
    // A long exchange (a reset) holds the link: the File and Serial Port
    // menus cannot be opened until it ends.
    void SetLinkHeld(bool held);

    // The check mark of COMn (other numbers mark COM1).
    void CheckPort(int n, bool checked);

  private:
    MenuItems items_;
};

} // namespace qvc
