// One exchange on the wire, as the wire log shows it: what went out on which
// link, and how the switcher answered. The link builds these only while the
// wire log is wanted (DeviceLink::SetWireLogging).
#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QString>

namespace qvc {

enum class WireKind { Command, Query };

enum class WireOutcome {
    Prompt,  // the switcher's prompt came back
    Reply,   // a complete status reply (or, for a command, bytes without a prompt)
    Sent,    // written without a wait (IPCONFIG on TCP)
    Timeout, // nothing, or nothing complete, within the wait
    Failure, // the port failed or the connection closed
};

struct WireExchange {
    qint64 atMs = 0; // when the line went out, in ms since the link was made
    QString link;    // "RS-232 COM3", "Ethernet 192.168.1.50"
    QByteArray line; // as written, with its CR
    WireKind kind = WireKind::Command;
    WireOutcome outcome = WireOutcome::Prompt;
    qint64 replyBytes = 0; // the bytes of the reply, for Reply
    qint64 durationMs = 0;
};

// The line with CR shown as \r, LF as \n and other control bytes as \xNN.
QString WireLineText(const QByteArray& line);
QString WireKindText(WireKind kind);          // "command", "query"
QString WireOutcomeText(const WireExchange& e); // "prompt", "reply of 25 bytes", ...
// One exchange as a line of text: time, link, line, kind, outcome and
// duration, separated by tabs, without a line end.
QString WireExchangeText(const WireExchange& e);

} // namespace qvc

Q_DECLARE_METATYPE(qvc::WireExchange)
