// One open line to a peer: the pty master, or a TCP client's socket. It cuts
// what the peer sends into lines, has the simulator answer each, and writes
// the answers out as the faults pace them; a peer that does not read them is
// held off and, if it stays behind, dropped. Clients are served on plain
// descriptors so that a client that shuts down its sending side still gets its
// answers.
#pragma once

#include "FaultShaping.h"

#include <QObject>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

class QSocketNotifier;
class QTimer;

namespace qvsim {

class Pty;

class Connection : public QObject {
  public:
    // What a connection needs of the simulator; called on the connection's thread.
    class Host {
      public:
        // The reply to one complete line; `overflow`: the line was too long and
        // is answered as malformed; `discard`: the connection was replaced and
        // the reply goes nowhere.
        virtual Reply ReplyTo(const std::string& line, bool overflow, bool discard) = 0;
        // The pacing in force now.
        virtual Pacing CurrentPacing() const = 0;
        // A TCP client cut by close-after is no longer the one served; it
        // closes once its last bytes are out.
        virtual void Retired(Connection& c) = 0;
        // The connection has ended; the host lets go of it (and deletes it
        // later: the caller may still be working on it).
        virtual void Ended(Connection& c) = 0;

      protected:
        ~Host() = default;
    };

    // How far a peer may fall behind: over `limit` unsent bytes it is not read
    // from; over it for `graceMs` it is dropped (TCP) or loses what is in
    // flight both ways (pty).
    struct Limits {
        std::size_t limit = 0;
        int graceMs = 0;
    };

    // `pty`: the pseudo-terminal whose master `fd` is; nullptr for a TCP
    // client's socket, which the connection closes when it ends.
    Connection(Host& host, int fd, Pty* pty, Limits limits, QObject* parent);
    ~Connection() override;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // A new client took this one's place. What this one sent before still
    // counts (a client that sends a line and reconnects at once must not lose
    // it), but its answers would go nowhere, and only a bounded part is read,
    // so that the new client is answered at once even after a flood. Ends it.
    void Replace();
    // Ends the connection at once; `reset`: the peer learns it without
    // reading what it left unread.
    void Kill(bool reset = false);

  private:
    bool IsTcp() const { return pty_ == nullptr; }
    bool Serving() const { return !dead_ && !closing_; }
    bool Flushed() const { return pendingAt_ >= pending_.size(); }
    std::size_t Backlog() const { return queued_ + pending_.size() - pendingAt_; }

    // reading
    void Read();
    void ReadEnded(bool endOfInput);
    void HandleInput();
    void HandleLine(const std::string& line, bool overflow);
    // writing
    void Queue(Reply reply);
    void PopAnswer();
    void DropAnswers();
    void Pump();
    bool Write(const std::uint8_t* data, std::size_t n, bool now);
    bool Flush();
    void Release();
    // holding off and ending
    void Settle();
    bool FinishCut();
    bool WithinLimit();
    void Pause();
    void Resume();
    void Overrun();
    void Cut();
    void Close();

    Host& host_;
    const int fd_; // a TCP client's socket is ours to close; the pty master is Pty's
    Pty* const pty_;
    const Limits limits_;
    QSocketNotifier* readable_ = nullptr;
    QSocketNotifier* writable_ = nullptr;
    QTimer* pumpTimer_ = nullptr; // the next answer is due (reply delay, chunk pause, baud)
    QTimer* overTimer_ = nullptr; // runs while the backlog is over the limit (or a cut waits)

    bool dead_ = false;       // ended; deleted once back in the event loop
    bool paused_ = false;     // not read from: too many answers unsent
    bool holding_ = false;    // answers to a chunk of input go out together
    bool inputEnded_ = false; // the client shut down its sending side
    bool closing_ = false;    // cut: what was written goes out, then it closes
    bool discard_ = false;    // replaced: its last lines are applied, not answered

    std::string inbox_;       // bytes read and not handled yet (while paused)
    std::size_t inboxAt_ = 0; // ... from this index on
    std::string line_;        // the line being received
    bool overflow_ = false;
    std::deque<OutAnswer> out_;         // answers not written yet
    std::size_t queued_ = 0;            // their unwritten bytes and kAnswerOverhead each
    std::vector<std::uint8_t> pending_; // written bytes the descriptor did not take yet
    std::size_t pendingAt_ = 0;         // ... from this index on
    BaudCredit credit_;
};

} // namespace qvsim
