#include "SimPeer.h"

#include <gtest/gtest.h>

namespace qvc::test {

LinkTimings ShortTimings() {
    LinkTimings t;
    t.tickMs = 5;
    t.probeTicks = 10;
    t.commandTicks = 80;
    t.resetTicks = 810;
    t.replyTimerMs = 1500;
    t.tcpReadMs = 700;
    t.tcpPauseMs = 5;
    return t;
}

SimPeer::SimPeer(const SimSpec& spec) {
    qvsim::SimOptions options;
    options.model = spec.model;
    options.demo = spec.demo;
    options.tcp = spec.tcp;
    options.tcpPort = spec.tcpPort;
    if (spec.pty) {
        options.ptyPath = dir_.filePath(QStringLiteral("com")).toStdString();
    }
    sim_ = std::make_unique<qvsim::SimThread>(options);
    std::string error;
    EXPECT_TRUE(sim_->Start(&error)) << "simulator did not start: " << error;
}

std::vector<std::string> SimPeer::Lines(std::size_t n) {
    sim_->WaitForLines(n, 5000);
    return sim_->ReceivedLines();
}

Lines ReadBackLines() {
    return {"MINFOQV",     "AINFOQV",     "OINFOQV",     "OPINFOQV",   "PINFOQV",     "GINFOQV",
            "PGINFOQV 0",  "PGINFOQV 1",  "PGINFOQV 2",  "PGINFOQV 3", "PGINFOQV 4",  "PGINFOQV 5",
            "PGINFOQV 6",  "PGINFOQV 7",  "PGINFOQV 8",  "PGINFOQV 9", "PGINFOQV 10", "PGINFOQV 11",
            "PGINFOQV 12", "PGINFOQV 13", "PGINFOQV 14", "PGINFOQV 15"};
}

Lines Join(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace qvc::test
