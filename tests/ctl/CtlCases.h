// quorvel-ctl's test tables: each command with the exact lines it sends,
// and the usage errors with what is read before the refusal. The ctl tests
// run them against the simulator; the bridge tests run them again through
// the bridge's switcher port.
#pragma once

#include "tests/support/SimPeer.h"

#include <QStringList>
#include <vector>

namespace qvc::test {

struct LinesCase {
    QStringList args;
    Lines lines; // after the connection's probe
};

inline const std::vector<LinesCase> kCtlLineCases = {
    LinesCase{{"take"}, {"TAKE 1"}}, LinesCase{{"cancel"}, {"TAKE 0"}},
    LinesCase{{"clear"}, {"CLEAR"}},
    // Output 9 is in no group; output 1's group (outputs 1 and 2) admits input 3.
    LinesCase{{"route", "9", "5"}, {"MINFOQV", "GINFOQV", "RTEMP 9 5 5"}},
    LinesCase{{"route", "9", "5", "--video", "--take"},
              {"MINFOQV", "GINFOQV", "RTEMP 9 5 101", "TAKE 1"}},
    LinesCase{{"route", "1", "3", "--audio"},
              {"MINFOQV", "GINFOQV", "RTEMP 1 101 3", "RTEMP 2 101 3"}},
    LinesCase{{"route", "1", "3", "--no-group"}, {"MINFOQV", "GINFOQV", "RTEMP 1 3 3"}},
    // An output that already shows the input needs no line (a fresh
    // switcher routes nothing: input 0 is what every output shows).
    LinesCase{{"route", "1", "0", "--video"}, {"MINFOQV", "GINFOQV"}},
    LinesCase{{"route", "9", "0", "--take"}, {"MINFOQV", "GINFOQV", "TAKE 1"}},
    LinesCase{{"mute", "3", "on"}, {"MINFOQV", "OMUTE 3 1"}},
    LinesCase{{"level", "3", "0"}, {"MINFOQV", "ALVL 3 198"}},
    LinesCase{{"level", "16", "-74"}, {"MINFOQV", "ALVL 16 0"}},
    LinesCase{{"level", "3", "--raw", "252"}, {"MINFOQV", "ALVL 3 252"}},
    LinesCase{{"preset", "store", "3"}, {"TAKE 1", "PRST 3"}},
    LinesCase{{"preset", "recall", "5"}, {"RPRST 5 0"}},
    LinesCase{{"group", "add", "5", "--output", "9"}, {"MINFOQV", "GINFOQV", "GADD 5 9 101"}},
    LinesCase{{"group", "add", "1", "--input", "7"}, {"MINFOQV", "GINFOQV", "GADD 1 101 7"}},
    LinesCase{{"group", "del", "1", "--output", "2"}, {"MINFOQV", "GINFOQV", "GDEL 1 2 101"}},
    LinesCase{{"group", "clear", "2"}, {"MINFOQV", "GINFOQV", "GCLEAR 2"}},
    LinesCase{{"group", "clear", "all"}, {"MINFOQV", "GINFOQV", "GCLEAR 201"}},
    LinesCase{{"lock", "on"}, {"FPLOCK 1"}}, LinesCase{{"lock", "off"}, {"FPLOCK 0"}},
    LinesCase{{"switch-source", "vref-in"}, {"SWITCH 3"}},
    LinesCase{{"switch-source", "1"}, {"SWITCH 1"}},
    LinesCase{{"rgb-delay", "4000"}, {"FDLY 4000"}},
    LinesCase{{"reset", "--factory"}, {"RESETQV F"}}, LinesCase{{"reset"}, {"RESETQV R"}}};

struct UsageCase {
    int model;
    QStringList args;
    Lines lines; // what is read before the refusal; nothing is sent
};

inline const std::vector<UsageCase> kCtlUsageCases = {
    UsageCase{3, {"route", "0", "1"}, {}}, UsageCase{3, {"route", "2"}, {}},
    UsageCase{3, {"route", "2", "x"}, {}},
    UsageCase{3, {"route", "2", "3", "--video", "--audio"}, {}},
    UsageCase{3, {"level", "3", "21"}, {}}, UsageCase{3, {"level", "3", "--raw", "253"}, {}},
    UsageCase{3, {"frobnicate"}, {}}, UsageCase{3, {"lock", "maybe"}, {}},
    UsageCase{3, {"rgb-delay", "abc"}, {}}, UsageCase{3, {"rgb-delay", "4001"}, {}},
    UsageCase{3, {"group", "add", "3", "--output", "1", "--input", "1"}, {}},
    // Needs the switcher's model or groups to be refused.
    UsageCase{0, {"route", "5", "1"}, {"MINFOQV", "GINFOQV"}},
    UsageCase{3, {"route", "1", "9"}, {"MINFOQV", "GINFOQV"}},
    UsageCase{3, {"group", "add", "6", "--input", "2"}, {"MINFOQV", "GINFOQV"}},
    UsageCase{0, {"mute", "5", "on"}, {"MINFOQV"}}};

} // namespace qvc::test
