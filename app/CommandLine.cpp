#include "CommandLine.h"

#include "ui/common/Version.h"

#include <QCommandLineParser>
#include <QtGlobal>
#include <algorithm>
#include <string_view>

namespace qvc {

// The package takes its version from CMake's project(); the program shows its own.
static_assert(std::string_view(QVC_PROJECT_VERSION) == kGuiVersion,
              "the version in CMakeLists.txt and in ui/common/Version.h differ");

namespace {

QByteArray EnvironmentName(std::size_t index) {
    return QByteArrayLiteral("QVCONTROL_COM") + QByteArray::number(static_cast<int>(index) + 1);
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Controls a Quorvel audio/video matrix switcher over RS-232 (COM1 to COM4) or TCP."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Displays this help."));
    parser.addOption(help);
    const QCommandLineOption version = parser.addVersionOption();
    std::array<QCommandLineOption, 4> com{
        QCommandLineOption(QStringLiteral("com1")), QCommandLineOption(QStringLiteral("com2")),
        QCommandLineOption(QStringLiteral("com3")), QCommandLineOption(QStringLiteral("com4"))};
    for (std::size_t i = 0; i < com.size(); ++i) {
        com[i].setValueName(QStringLiteral("device"));
        com[i].setDescription(
            QStringLiteral("Serial device of COM%1, in place of QVCONTROL_COM%1.").arg(i + 1));
        parser.addOption(com[i]);
    }

    CommandLine result;
    const auto fail = [&result](const QString& message) {
        result.kind = CommandLine::Kind::Error;
        result.text = message;
        return result;
    };
    if (!parser.parse(arguments)) {
        return fail(parser.errorText());
    }
    if (!parser.positionalArguments().isEmpty()) {
        return fail(
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().front()));
    }
    if (parser.isSet(help)) {
        result.kind = CommandLine::Kind::Help;
        result.text = parser.helpText();
        return result;
    }
    if (parser.isSet(version)) {
        result.kind = CommandLine::Kind::Version;
        result.text =
            QStringLiteral("%1 %2\n").arg(QLatin1String(kProgramName), QLatin1String(kGuiVersion));
        return result;
    }
    for (std::size_t i = 0; i < com.size(); ++i) {
        if (parser.isSet(com[i])) {
            const QString device = parser.value(com[i]);
            if (device.isEmpty()) {
                return fail(QStringLiteral("Empty device after '--com%1'.").arg(i + 1));
            }
            result.comDevices[i] = device;
        }
    }
    return result;
}

SerialPortMap PortMapFor(const CommandLine& commandLine) {
    const std::array<QString, 4>& given = commandLine.comDevices;
    if (std::all_of(given.begin(), given.end(), [](const QString& d) { return d.isEmpty(); })) {
        return SerialPortMap::FromSystem();
    }
    std::array<QString, 4> paths;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        paths[i] =
            given[i].isEmpty() ? qEnvironmentVariable(EnvironmentName(i).constData()) : given[i];
    }
    return SerialPortMap(paths);
}

} // namespace qvc
