#include "LinkOptions.h"

#include "session/Operations.h"

namespace qvc::session {

namespace {

bool Whole(const QString& text, int low, int high, const QString& name, int& n, QString& error) {
    bool ok = false;
    n = text.toInt(&ok);
    if (!ok || n < low || n > high) {
        error = RangeErrorText(name, low, high, text);
        return false;
    }
    return true;
}

} // namespace

void AddLinkOptions(QCommandLineParser& parser) {
    parser.addOptions(
        {QCommandLineOption(QStringLiteral("serial"), QStringLiteral("Opens the serial DEVICE."),
                            QStringLiteral("DEVICE")),
         QCommandLineOption(QStringLiteral("com"),
                            QStringLiteral("Uses COMn as the program maps it "
                                           "(QVCONTROL_COM1..4, then the system's ports)."),
                            QStringLiteral("N")),
         QCommandLineOption(QStringLiteral("tcp"),
                            QStringLiteral("Connects to ADDRESS, port 23 unless :PORT is given."),
                            QStringLiteral("ADDRESS[:PORT]"))});
}

bool TargetFromOptions(const QCommandLineParser& parser, quint16 defaultTcpPort,
                       LinkTarget& target, QString& error) {
    const QString serial = QStringLiteral("serial");
    const QString com = QStringLiteral("com");
    const QString tcp = QStringLiteral("tcp");
    if (int(parser.isSet(serial)) + int(parser.isSet(com)) + int(parser.isSet(tcp)) > 1) {
        error = QStringLiteral("give at most one of --serial, --com and --tcp");
        return false;
    }
    target = LinkTarget{};
    target.tcpPort = defaultTcpPort;
    if (parser.isSet(serial)) {
        target.kind = LinkTarget::Kind::Serial;
        target.serialDevice = parser.value(serial);
    } else if (parser.isSet(com)) {
        target.kind = LinkTarget::Kind::Com;
        return Whole(parser.value(com), 1, 4, QStringLiteral("--com"), target.com, error);
    } else if (parser.isSet(tcp)) {
        target.kind = LinkTarget::Kind::Tcp;
        const QString value = parser.value(tcp);
        const qsizetype colon = value.lastIndexOf(QLatin1Char(':'));
        target.tcpAddress = colon < 0 ? value : value.left(colon);
        if (colon >= 0) {
            int port = 0;
            if (!Whole(value.mid(colon + 1), 1, 65535, QStringLiteral("PORT"), port, error)) {
                return false;
            }
            target.tcpPort = static_cast<quint16>(port);
        }
    }
    return true;
}

} // namespace qvc::session
