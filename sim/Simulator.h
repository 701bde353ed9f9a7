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

    void SetSilent(bool on);
    void SetNoPrompt(bool on);
    void SetReplyDelay(int ms);
    void SetChunk(int size, int pauseMs = 2); // size 0: whole answers
    void SetTextBeforeSoh(int n);
    // The reply to `query` (e.g. "PGINFOQV") has its SOH replaced by 0x02 from
    // the fromOccurrence-th such query on, counted from this call; "" turns it
    // off. To keep the whole 30-byte search window free of SOH, a reply so
    // marked has at least 28 bytes of text before the replaced byte.
    void SetNoSoh(const std::string& query, int fromOccurrence = 1);
    // Every status reply stops after `bytes` bytes (-1: off). On TCP the
    // connection is then closed; on the pty the rest of that reply is dropped.
    // Prompts are not affected.
    void SetCloseAfter(int bytes);
    void SetSecondProbeOnly(bool on);
    void SetBaud(int baud); // 0: no pacing
    SimFaults Faults() const;
    // The next answer to a line whose first word is `word` ("" for a probe) is
    // exactly `bytes` (replacing the '#' or the framed reply); the line is
    // still applied. Reply delay, chunks, baud and close-after still apply.
    void SetCannedReply(const std::string& word, std::vector<std::uint8_t> bytes);

    SimState State() const;
    // Replaces the state with a demo set-up: routes, a mute, levels, two
    // groups, three presets. It also becomes the state RESETQV R returns to.
    void SeedDemo();

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

    void SetSilent(bool on) { sim_->SetSilent(on); }
    void SetNoPrompt(bool on) { sim_->SetNoPrompt(on); }
    void SetReplyDelay(int ms) { sim_->SetReplyDelay(ms); }
    void SetChunk(int size, int pauseMs = 2) { sim_->SetChunk(size, pauseMs); }
    void SetTextBeforeSoh(int n) { sim_->SetTextBeforeSoh(n); }
    void SetNoSoh(const std::string& query, int fromOccurrence = 1) {
        sim_->SetNoSoh(query, fromOccurrence);
    }
    void SetCloseAfter(int bytes) { sim_->SetCloseAfter(bytes); }
    void SetSecondProbeOnly(bool on) { sim_->SetSecondProbeOnly(on); }
    void SetBaud(int baud) { sim_->SetBaud(baud); }
    void SetCannedReply(const std::string& word, std::vector<std::uint8_t> bytes) {
        sim_->SetCannedReply(word, std::move(bytes));
    }

    SimState State() const { return sim_->State(); }
    void SeedDemo() { sim_->SeedDemo(); }

  private:
    std::unique_ptr<QThread> thread_;
    Simulator* sim_ = nullptr; // lives on thread_
};

} // namespace qvsim
