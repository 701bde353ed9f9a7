// A quorvel-ctl command line read against the table of operations: which
// operation it names and its arguments, or the usage error, before anything
// is opened.
#pragma once

#include "session/Operations.h"

#include <QString>
#include <QStringList>

namespace qvc::ctl {

// A command line that cannot run: the message, and nothing is sent.
struct UsageError {
    QString text;
};

struct ParsedCommand {
    const session::Operation* operation = nullptr;
    session::Args args;
};

// Reads `command` and the arguments after it (throws UsageError).
ParsedCommand ParseCommand(const QString& command, const QStringList& args);

// A whole number in [low, high], or a usage error naming `what`.
int Number(const QString& text, int low, int high, const QString& what);

// The help of the program and of one command word, from the table.
QString ProgramHelp();
// Empty for a word that is not a command.
QString CommandHelp(const QString& command);

} // namespace qvc::ctl
