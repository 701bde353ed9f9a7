// What every part of the link works with. Each reference outlives the link.
#pragma once

#include "LinkHost.h"
#include "LinkState.h"
#include "LinkTimings.h"
#include "Prompts.h"

#include <QObject>

namespace qvc {

struct LinkContext {
    QObject& owner; // receives the events of the parts' timers, port and socket
    LinkState& state;
    LinkHost& host;
    Prompts& prompts;
    const LinkTimings& timings;
};

} // namespace qvc
