// The command line of quorvel-control: --help, --version and the devices of
// COM1..COM4 (--com1 .. --com4 DEVICE), which take the place of the
// environment variables QVCONTROL_COM1 .. QVCONTROL_COM4.
#pragma once

#include "link/SerialPortMap.h"

#include <QString>
#include <QStringList>
#include <array>

namespace qvc {

inline constexpr const char* kProgramName = "quorvel-control";

struct CommandLine {
    enum class Kind { Run, Help, Version, Error };
    Kind kind = Kind::Run;
    std::array<QString, 4> comDevices; // --comN at [n - 1]; empty: not given
    QString text; // Help, Version: what goes to standard output; Error: the message
    int ExitCode() const { return kind == Kind::Error ? 2 : 0; }
};

// `arguments` as QCoreApplication::arguments() gives them: the first is the
// program. Needs no application object, and no display.
CommandLine ParseCommandLine(const QStringList& arguments);

// The window's port map. A device given on the command line wins over its
// QVCONTROL_COMn variable. When either names a device for any number, the
// numbers named by neither have no device, as with the variables alone;
// otherwise the system's serial ports are listed (SerialPortMap::FromSystem).
SerialPortMap PortMapFor(const CommandLine& commandLine);

} // namespace qvc
