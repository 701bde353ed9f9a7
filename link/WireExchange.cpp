#include "WireExchange.h"

namespace qvc {

QString WireLineText(const QByteArray& line) {
    QString text;
    text.reserve(line.size() + 4);
    for (const char c : line) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            text += QLatin1String("\\r");
        } else if (c == '\n') {
            text += QLatin1String("\\n");
        } else if (c == '\\') {
            text += QLatin1String("\\\\");
        } else if (byte < 0x20 || byte >= 0x7F) {
            text += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
        } else {
            text += QLatin1Char(c);
        }
    }
    return text;
}

QString WireKindText(WireKind kind) {
    return kind == WireKind::Query ? QStringLiteral("query") : QStringLiteral("command");
}

QString WireOutcomeText(const WireExchange& e) {
    switch (e.outcome) {
    case WireOutcome::Prompt:
        return QStringLiteral("prompt");
    case WireOutcome::Reply:
        return QStringLiteral("reply of %1 bytes").arg(e.replyBytes);
    case WireOutcome::Sent:
        return QStringLiteral("sent, no wait");
    case WireOutcome::Timeout:
        return QStringLiteral("timeout");
    case WireOutcome::Failure:
        return QStringLiteral("failure");
    }
    return {};
}

QString WireExchangeText(const WireExchange& e) {
    QString text = QString::number(e.atMs);
    text += QLatin1Char('\t');
    text += e.link;
    text += QLatin1Char('\t');
    text += WireLineText(e.line);
    text += QLatin1Char('\t');
    text += WireKindText(e.kind);
    text += QLatin1Char('\t');
    text += WireOutcomeText(e);
    text += QLatin1Char('\t');
    text += QString::number(e.durationMs);
    text += QLatin1String(" ms");
    return text;
}

} // namespace qvc
