// quorvel-ctl: the switcher from scripts. One command per run, over the same
// link and model code as the window, with the same waits and checks; where
// the window would show a message, the client prints it on standard error
// and fails instead.
#pragma once

#include "link/LinkTimings.h"

#include <QStringList>
#include <ostream>

namespace qvc::ctl {

// Exit codes.
inline constexpr int kDone = 0;
inline constexpr int kSwitcherFailed = 1; // no acknowledgement, or a reply not read
inline constexpr int kUsage = 2;          // bad arguments; nothing was sent
inline constexpr int kNoLink = 3;         // no link could be opened

struct Environment {
    LinkTimings timings = LinkTimings::Production();
    quint16 defaultTcpPort = 23;
};

// Runs one command line (the arguments after the program name) and returns
// its exit code. Output goes to `out`, messages to `err`.
int Run(const QStringList& args, std::ostream& out, std::ostream& err, const Environment& env = {});

} // namespace qvc::ctl
