#include "SerialPortMap.h"

#include <QSerialPortInfo>
#include <QtGlobal>
#include <algorithm>

namespace qvc {

namespace {

constexpr const char* kEnvironmentNames[4] = {"QVCONTROL_COM1", "QVCONTROL_COM2", "QVCONTROL_COM3",
                                              "QVCONTROL_COM4"};

bool IsUsbAdapter(const QSerialPortInfo& info) {
    return info.hasVendorIdentifier() || info.portName().startsWith(QLatin1String("ttyUSB")) ||
           info.portName().startsWith(QLatin1String("ttyACM"));
}

} // namespace

// When any QVCONTROL_COMn is set, the environment names all four ports (an
// unset one has no device) and the system's list is never read; otherwise
// the list decides, each time it is asked.
SerialPortMap SerialPortMap::FromSystem() {
    std::array<QString, 4> paths;
    bool fromEnvironment = false;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (qEnvironmentVariableIsSet(kEnvironmentNames[i])) {
            paths[i] = qEnvironmentVariable(kEnvironmentNames[i]);
            fromEnvironment = true;
        }
    }
    if (fromEnvironment) {
        return SerialPortMap(paths);
    }
    return SerialPortMap(paths, &SystemPorts);
}

QStringList SerialPortMap::SystemPorts() {
    QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    std::stable_sort(infos.begin(), infos.end(),
                     [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
                         return IsUsbAdapter(a) && !IsUsbAdapter(b);
                     });
    QStringList paths;
    for (const QSerialPortInfo& info : std::as_const(infos)) {
        paths << info.systemLocation();
    }
    return paths;
}

QString SerialPortMap::DevicePath(int n) const {
    if (n < 1 || n > static_cast<int>(fixed_.size())) {
        return {};
    }
    const auto index = static_cast<std::size_t>(n - 1);
    if (!fixed_[index].isEmpty() || !list_) {
        return fixed_[index];
    }
    QStringList listed = list_();
    listed.removeIf([this](const QString& path) {
        return std::find(fixed_.begin(), fixed_.end(), path) != fixed_.end();
    });
    // This number's place among the numbers without a fixed device.
    const auto place =
        std::count_if(fixed_.begin(), fixed_.begin() + static_cast<std::ptrdiff_t>(index),
                      [](const QString& path) { return path.isEmpty(); });
    return place < listed.size() ? listed[static_cast<qsizetype>(place)] : QString();
}

} // namespace qvc
