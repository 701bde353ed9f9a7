// COM1..COM4 to serial device paths. A number has a fixed device (named by
// QVCONTROL_COMn, or handed in) or, without one, takes its device from a list
// of the system's serial ports, USB adapters first. The list is read again
// each time a path is asked for, so an adapter plugged in after start is
// found by the next search or open. A number without a device counts as not
// available.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>

namespace qvc {

class SerialPortMap {
  public:
    // The device paths of the serial ports present now, in the order in
    // which the numbers without a fixed device take them.
    using PortList = std::function<QStringList()>;

    // No device on any number.
    SerialPortMap() = default;
    // Fixed devices only; an empty path means no device.
    explicit SerialPortMap(std::array<QString, 4> paths) : fixed_(std::move(paths)) {}
    // Fixed devices first; the numbers without one take the listed ports in
    // order, leaving out the ports that a fixed number already names.
    SerialPortMap(std::array<QString, 4> fixed, PortList list)
        : fixed_(std::move(fixed)), list_(std::move(list)) {}

    // From the environment, else from the system's port list.
    static SerialPortMap FromSystem();
    // The system's serial ports as they are now, USB adapters first.
    static QStringList SystemPorts();

    // Device path of COMn (n = 1..4); empty when there is none.
    QString DevicePath(int n) const;

  private:
    std::array<QString, 4> fixed_;
    PortList list_;
};

} // namespace qvc
