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
// unset one has no device); otherwise the system's list decides.
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
    QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    std::stable_sort(infos.begin(), infos.end(),
                     [](const QSerialPortInfo& a, const QSerialPortInfo& b) {
                         return IsUsbAdapter(a) && !IsUsbAdapter(b);
                     });
    for (std::size_t i = 0; i < paths.size() && i < static_cast<std::size_t>(infos.size()); ++i) {
        paths[i] = infos[static_cast<qsizetype>(i)].systemLocation();
    }
    return SerialPortMap(paths);
}

QString SerialPortMap::DevicePath(int n) const {
    if (n < 1 || n > static_cast<int>(paths_.size())) {
        return {};
    }
    return paths_[static_cast<std::size_t>(n - 1)];
}

} // namespace qvc
