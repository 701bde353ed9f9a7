// What quorvel-sim is started with: the switcher's model and identity, the
// transports, the fault modes and the limits on misbehaving clients; and the
// command line that gives them. No Qt here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace qvsim {

// The fault modes and the output pacing: one value, given at start
// (SimOptions::faults) and changed at run time as a whole (Simulator::SetFaults,
// Simulator::ChangeFaults). They change only what goes back on the wire: every
// received line is still recorded and applied to the state.
struct Faults {
    bool silent = false;          // never answer anything
    bool noPrompt = false;        // write commands (and malformed lines) get no '#'
    int replyDelayMs = 0;         // wait before each answer
    int chunkSize = 0;            // >0: write answers in pieces of this many bytes
    int chunkPauseMs = 2;         // pause between pieces
    int textBeforeSoh = 0;        // printable bytes (no '#', no SOH) before the SOH
    std::string noSohQuery{};     // query word whose reply loses its SOH ("" = none)
    int noSohFrom = 1;            // ... from this occurrence of the word on (1 = all)
    int closeAfter = -1;          // >=0: a status reply stops after this many bytes
    bool secondProbeOnly = false; // of each run of bare CRs, ignore the first
    int baud = 0;                 // >0: pace output like a serial line (10 bits/byte)
    // The next answer to a line whose first word is the key ("" for a probe) is
    // exactly these bytes, in place of the '#' or the framed reply; the line is
    // still applied, and reply delay, pieces, baud and close-after still apply.
    std::map<std::string, std::vector<std::uint8_t>> canned{};
    bool operator==(const Faults&) const = default;
};
// The simulator keeps the faults in force up to date as lines are answered: a
// canned reply is used once and then removed, and every reply to noSohQuery
// that keeps its SOH counts noSohFrom down by one, so that noSohFrom always
// counts from now ("the 4th from now on" becomes "the 3rd from now on").

struct SimOptions {
    int model = 3;                       // model code 0..3
    bool audio = true;                   // false: --no-audio
    std::optional<std::string> firmware; // at most 6 characters; unset: default text
    std::array<std::uint8_t, 4> ip{192, 168, 1, 50};
    bool tcp = false;
    std::string tcpAddress = "127.0.0.1";
    std::uint16_t tcpPort = 0; // 0: an ephemeral port
    std::string ptyPath;       // non-empty: create a pty and a symlink here
    bool demo = false;
    std::string logFile; // non-empty: append every received line here
    Faults faults;
    // A client whose unsent answers exceed backlogLimit bytes is not read from
    // until they are back within it; one that stays over it for backlogGraceMs
    // is dropped (TCP) or loses everything in flight both ways (pty).
    std::size_t backlogLimit = std::size_t{1} << 20;
    int backlogGraceMs = 10000;
};

inline constexpr const char* kDefaultFirmware = "2.04";
inline constexpr const char* kDemoFirmware = "2.17D";

struct ParseOutcome {
    enum class Kind { Run, Help, Error };
    Kind kind = Kind::Run;
    SimOptions options;  // valid when kind == Run
    std::string message; // help text (Help) or one-line error (Error)
    int ExitCode() const { return kind == Kind::Error ? 2 : 0; }
};

// Parses the command line (argv[0] is the program name).
ParseOutcome ParseOptions(int argc, const char* const* argv);
std::string HelpText();

} // namespace qvsim
