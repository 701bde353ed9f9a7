// Every wait of the link in one value. Production uses the fixed values;
// tests shrink them so failure paths run in milliseconds.
#pragma once

namespace qvc {

struct LinkTimings {
    int tickMs = 55;
    int probeTicks = 10;     // 550 ms while probing a port
    int commandTicks = 80;   // 4400 ms for a command
    int resetTicks = 810;    // 44550 ms for RESETQV
    int replyTimerMs = 9000; // Timer1
    int tcpReadMs = 5000;    // each TCP read
    int tcpPauseMs = 100;    // pause before a TCP query

    static constexpr LinkTimings Production() { return {}; }
};

} // namespace qvc
