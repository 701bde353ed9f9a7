// COM1..COM4 to serial device paths: QVCONTROL_COM1..QVCONTROL_COM4 name a
// device each; otherwise the first four serial ports the system lists, USB
// adapters first. A number without a device counts as not available.
#pragma once

#include <QString>
#include <array>

namespace qvc {

class SerialPortMap {
  public:
    SerialPortMap() = default;
    explicit SerialPortMap(std::array<QString, 4> paths) : paths_(std::move(paths)) {}

    // From the environment and the system's port list.
    static SerialPortMap FromSystem();

    // Device path of COMn (n = 1..4); empty when there is none.
    QString DevicePath(int n) const;

  private:
    std::array<QString, 4> paths_;
};

} // namespace qvc
