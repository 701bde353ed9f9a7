// Test client for the simulator: talks to it through a real TCP socket or a
// real pty with plain POSIX calls, the way a serial terminal would.
#pragma once

#include "Simulator.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qvsimtest {

using Bytes = std::vector<std::uint8_t>;

inline constexpr int kWaitMs = 5000; // generous limit for every wait on the peer

class WireClient {
  public:
    // bufferBytes > 0: the socket's send and receive buffers are this small,
    // so that the kernel holds little of what the client sends or leaves unread.
    static std::unique_ptr<WireClient> Tcp(quint16 port, int bufferBytes = 0);
    static std::unique_ptr<WireClient> Pty(const std::string& path); // raw termios
    explicit WireClient(int fd) : fd_(fd) {}
    ~WireClient();
    WireClient(const WireClient&) = delete;
    WireClient& operator=(const WireClient&) = delete;

    void SendRaw(const std::string& bytes);
    void Send(const std::string& line) { SendRaw(line + "\r"); }
    // Ends the sending side (TCP half-close); reading goes on.
    void ShutdownWrite();
    // Sends as much of `bytes` as the peer takes: stops once all is sent, when
    // nothing more was taken for idleMs, or on an error. Returns the bytes sent.
    std::size_t SendWhileTaken(const std::string& bytes, int idleMs);

    // Reads until n bytes arrived, the peer closed or timeoutMs passed.
    Bytes Read(std::size_t n, int timeoutMs = kWaitMs);
    // True when the peer closes the connection within timeoutMs (no data first).
    bool WaitForEof(int timeoutMs = kWaitMs);
    // True when the peer resets or hangs up within timeoutMs; reads nothing.
    bool WaitForHangUp(int timeoutMs = kWaitMs);
    // True when there is something to read within timeoutMs; reads nothing.
    bool WaitForData(int timeoutMs = kWaitMs);
    // Bytes received and not read yet.
    std::size_t Unread() const;
    // Sizes of the individual reads done by the last Read().
    const std::vector<std::size_t>& LastReadSizes() const { return readSizes_; }

    // Sends `line` and expects exactly the prompt '#'.
    void Command(const std::string& line);
    // Sends a status query and reads its framed reply (SOH, tag, payload of
    // payloadLength bytes, CR LF '#'); framing errors are test failures.
    Bytes Query(const std::string& line, std::size_t payloadLength);

  private:
    int fd_ = -1;
    std::vector<std::size_t> readSizes_;
};

// A simulator on its own thread with a TCP client connected to it.
struct TcpPeer {
    explicit TcpPeer(qvsim::SimOptions options);
    std::unique_ptr<qvsim::SimThread> sim;
    std::unique_ptr<WireClient> client;
};

qvsim::SimOptions TcpOptions(int model = 3);

// Expected-value helpers (test side, independent of the simulator's encoder).
Bytes Repeat(const Bytes& unit, std::size_t times);
Bytes Cat(std::initializer_list<Bytes> parts);
inline const Bytes kFreeEntry = {252, 252, 1, 1, 0}; // OINFOQV record of an unrouted output
// A 322-byte group table with no groups.
Bytes EmptyGroupsLarge();
// A 130-byte group table with no groups.
Bytes EmptyGroupsSmall();
// Checks the grouping rules on a 322-byte table; returns "" or the broken rule.
std::string GroupInvariantError(const Bytes& large);

// Waits for a condition that nothing signals, looking every few milliseconds.
bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kWaitMs);

inline long ElapsedMs(std::chrono::steady_clock::time_point since) {
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now() - since)
                                 .count());
}

} // namespace qvsimtest
