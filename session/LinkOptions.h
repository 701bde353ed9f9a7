// The link options every program without a window takes: --serial DEVICE,
// --com N, --tcp ADDRESS[:PORT], or none for a search of COM1 to COM4.
#pragma once

#include "session/LinkTarget.h"

#include <QCommandLineParser>
#include <QString>

namespace qvc::session {

void AddLinkOptions(QCommandLineParser& parser);

// The target the parsed options name; false with `error` set when they are
// wrong (more than one given, a COM number or port out of range).
bool TargetFromOptions(const QCommandLineParser& parser, quint16 defaultTcpPort,
                       LinkTarget& target, QString& error);

} // namespace qvc::session
