// The switcher simulator as a test's peer, the short link waits the tests use
// against it, and the lines every read-back sends it.
#pragma once

#include "link/LinkTimings.h"

#include <QString>
#include <QTemporaryDir>
#include <Simulator.h>
#include <memory>
#include <string>
#include <vector>

namespace qvc::test {

using Lines = std::vector<std::string>;

// Tick 5 ms with the production tick counts: probe 50 ms, command 400 ms.
LinkTimings ShortTimings();

struct SimSpec {
    int model = 3;
    bool demo = true;
    bool tcp = false; // listen on an ephemeral loopback port
    bool pty = false; // open a pseudo-terminal
    quint16 tcpPort = 0; // with tcp: 0 for an ephemeral port
};

// A simulator on its own thread; a failed start fails the test.
class SimPeer {
  public:
    explicit SimPeer(const SimSpec& spec);

    qvsim::SimThread& operator*() { return *sim_; }
    qvsim::SimThread* operator->() { return sim_.get(); }
    const qvsim::SimThread& Thread() const { return *sim_; }
    QString PtyPath() const { return QString::fromStdString(sim_->PtyPath()); }
    // Received lines, waiting until at least `n` arrived (generous limit).
    std::vector<std::string> Lines(std::size_t n);

  private:
    QTemporaryDir dir_;
    std::unique_ptr<qvsim::SimThread> sim_;
};

// The 22 status queries of a read-back, as the switcher receives them.
Lines ReadBackLines();
// `a` followed by `b`.
Lines Join(Lines a, const Lines& b);

} // namespace qvc::test
