// quorvel-sim: a stand-in for a Quorvel crosspoint switcher that behaves like
// the hardware on the wire, on a pseudo-terminal (serial) and on TCP.
//
// Wire behaviour in short:
//  - every request is one line ended by CR (a lone LF is ignored);
//  - a bare CR is a probe and is answered with the prompt '#';
//  - every write command (RTEMP, TAKE, CLEAR, OMUTE, ALVL, FPLOCK, SWITCH, FDLY,
//    IPCONFIG, RESETQV, PRST, RPRST, GADD, GDEL, GCLEAR) is applied to the state
//    and answered with '#';
//  - every status query (MINFOQV, AINFOQV, OINFOQV, OPINFOQV, PINFOQV, GINFOQV,
//    PGINFOQV n) is answered with a framed reply:
//        [text] SOH(0x01) tag payload CR LF '#'
//    where tag is '0'..'6' (the query's place in the read-back order) and the
//    payload has the model's small or large form;
//  - unknown or malformed lines (wrong word, wrong argument count, non-numeric
//    or out-of-range argument) are answered with '#' and change nothing.
//
// Fault modes only change what goes back on the wire: every received line is
// still recorded and applied to the state.
//
// Clients that misbehave (the simulator is left running for days):
//  - a client is not read from while its unsent answers exceed
//    SimOptions::backlogLimit; one that stays over it for backlogGraceMs is
//    reset (TCP) or loses what is in flight both ways (pty);
//  - a TCP client that shuts down its sending side gets its answers, then the
//    connection closes;
//  - a new TCP client replaces the old one at once: of what the old one sent
//    and was not read yet, at most 16 KiB is still applied, unanswered.
//
// Two ways to run it:
//  - `Simulator`: a QObject that works on the thread that owns it (the
//    executable runs it on the main thread);
//  - `SimThread`: runs a Simulator in a QThread of its own with its own event
//    loop; this is what tests use. Every method of SimThread may be called from
//    any thread.
#pragma once

#include "SimOptions.h"
#include "SimState.h"

#include <QObject>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QThread;

namespace qvsim {

// ReceivedLines() gives at most this many of the most recent lines.
inline constexpr std::size_t kKeptLines = 1024;

// ------------------------------------------------------------ simulator ---

class Simulator : public QObject {
    Q_OBJECT
  public:
    explicit Simulator(SimOptions options, QObject* parent = nullptr);
    ~Simulator() override;

    // Opens the transports (on the owning thread). False with a reason when a
    // transport cannot be opened or none is configured.
    bool Start(std::string* error = nullptr);
    // Closes the transports and removes the pty symlink (also done by the destructor).
    void Stop();

    quint16 TcpPort() const;        // the listening port (0 when no TCP)
    std::string TcpAddress() const; // the listening address
    std::string PtyPath() const;    // the symlink ("" when no pty)
    std::string SlavePath() const;  // the pty slave device, e.g. /dev/pts/4

    // Everything below may be called from any thread.
    // The most recent lines received since the last clear (at most kKeptLines),
    // without CR; a probe is "".
    std::vector<std::string> ReceivedLines() const;
    void ClearReceivedLines();
    // True once n lines arrived since the last clear (all are counted, also
    // those no longer kept).
    bool WaitForLines(std::size_t n, int timeoutMs) const;

    // The fault modes in force: what is left of the canned replies, noSohFrom
    // counted from now (see Faults).
    Faults CurrentFaults() const;
    // Replaces all fault modes at once. A value out of range is taken as the
    // nearest allowed one (no negative delay, piece, pause, text or baud,
    // noSohFrom at least 1, closeAfter at least -1). Answers already queued
    // keep their delay and their cut; pieces and baud apply from the next byte.
    void SetFaults(Faults faults);
    // Changes the fault modes in force in one step: `change` gets them and
    // changes what it means to; no line is handled in between. It runs under
    // the simulator's lock and must not call the simulator.
    void ChangeFaults(const std::function<void(Faults&)>& change);

    SimState State() const;
    // Replaces the state with a demo set-up: routes, a mute, levels, two
    // groups, three presets. It also becomes the state RESETQV R returns to.
    void SeedDemo();
    // A change made at the switcher itself (its front panel, or another
    // controller): `line` is handled as a received command, without an
    // answer to anyone and without a record among the received lines.
    void FrontPanel(const std::string& line);

  private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// Runs a Simulator on a thread of its own; all methods are thread-safe.
// A QCoreApplication (or QApplication) must exist: Qt delivers no events to
// other threads without one. The caller's thread need not run its event loop.
class SimThread {
  public:
    explicit SimThread(SimOptions options);
    ~SimThread(); // stops the simulator and its thread
    SimThread(const SimThread&) = delete;
    SimThread& operator=(const SimThread&) = delete;

    bool Start(std::string* error = nullptr); // blocks until listening

    quint16 TcpPort() const { return sim_->TcpPort(); }
    std::string PtyPath() const { return sim_->PtyPath(); }
    std::string SlavePath() const { return sim_->SlavePath(); }

    std::vector<std::string> ReceivedLines() const { return sim_->ReceivedLines(); }
    void ClearReceivedLines() { sim_->ClearReceivedLines(); }
    bool WaitForLines(std::size_t n, int timeoutMs) const {
        return sim_->WaitForLines(n, timeoutMs);
    }

    Faults CurrentFaults() const { return sim_->CurrentFaults(); }
    void SetFaults(Faults faults) { sim_->SetFaults(std::move(faults)); }
    void ChangeFaults(const std::function<void(Faults&)>& change) { sim_->ChangeFaults(change); }

    // Conveniences over ChangeFaults that change one fault mode and leave the
    // others as they are.
    void SetSilent(bool on) {
        ChangeFaults([&](Faults& f) { f.silent = on; });
    }
    void SetNoPrompt(bool on) {
        ChangeFaults([&](Faults& f) { f.noPrompt = on; });
    }
    void SetReplyDelay(int ms) {
        ChangeFaults([&](Faults& f) { f.replyDelayMs = ms; });
    }
    void SetChunk(int size, int pauseMs = 2) {
        ChangeFaults([&](Faults& f) {
            f.chunkSize = size;
            f.chunkPauseMs = pauseMs;
        });
    }
    void SetTextBeforeSoh(int n) {
        ChangeFaults([&](Faults& f) { f.textBeforeSoh = n; });
    }
    // From the fromOccurrence-th reply to `query` on, counted from this call.
    void SetNoSoh(const std::string& query, int fromOccurrence = 1) {
        ChangeFaults([&](Faults& f) {
            f.noSohQuery = query;
            f.noSohFrom = fromOccurrence;
        });
    }
    void SetCloseAfter(int bytes) {
        ChangeFaults([&](Faults& f) { f.closeAfter = bytes; });
    }
    void SetSecondProbeOnly(bool on) {
        ChangeFaults([&](Faults& f) { f.secondProbeOnly = on; });
    }
    void SetBaud(int baud) {
        ChangeFaults([&](Faults& f) { f.baud = baud; });
    }
    void SetCannedReply(const std::string& word, std::vector<std::uint8_t> bytes) {
        ChangeFaults([&](Faults& f) { f.canned[word] = std::move(bytes); });
    }

    SimState State() const { return sim_->State(); }
    void SeedDemo() { sim_->SeedDemo(); }
    void FrontPanel(const std::string& line) { sim_->FrontPanel(line); }

  private:
    std::unique_ptr<QThread> thread_;
    Simulator* sim_ = nullptr; // lives on thread_
};

} // namespace qvsim
