// How the fault modes shape what goes back on the wire: the bytes that answer
// a line, and when how many of them go out. Plain functions of their
// arguments: no I/O, no clock of their own, no Qt.
#pragma once

#include "SimOptions.h"
#include "Switcher.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace qvsim {

// A reply whose SOH is replaced has at least this much text before it, so that
// the whole 30-byte window in which a reader looks for the SOH is free of it.
inline constexpr int kNoSohWindowText = 28;

// The faults with every value in its range: no negative delay, piece, pause,
// text length or baud rate; noSohFrom at least 1; closeAfter at least -1.
Faults Bounded(Faults faults);

// ------------------------------------------------------------- replies ---

// The reply to one line, as decided when the line is handled.
struct Reply {
    std::vector<std::uint8_t> bytes;
    long cutAt = -1; // close-after: the reply stops after this many bytes
    int delayMs = 0; // reply delay: none of it goes out before
    // Nothing to write and nothing to cut: the line goes unanswered.
    bool None() const { return bytes.empty() && cutAt < 0; }
};

// What shaping keeps from line to line: the faults in force (a canned reply is
// used up, noSohFrom counts down) and the run of bare CRs.
struct ShapingState {
    Faults faults;
    int probeRun = 0;
};

// A status query's framed reply: textBeforeSoh bytes of filler, SOH, the tag,
// the payload, CR LF '#'. Without its SOH, the stand-in 0x02 takes its place,
// after at least kNoSohWindowText bytes of filler.
std::vector<std::uint8_t> StatusReply(const Answer& answer, int textBeforeSoh, bool withSoh);

// The reply to `line`, which the switcher answered with `answer`, under the
// faults in `state`, which it brings up to date. `discard`: the line came from
// a replaced client, whose replies go nowhere (a canned reply for it is used
// up all the same).
Reply ShapeReply(const Answer& answer, std::string_view line, bool discard, ShapingState& state);

// -------------------------------------------------------------- pacing ---

// The part of the faults that paces an answer's bytes on their way out.
struct Pacing {
    int chunkSize = 0;    // >0: pieces of this many bytes
    int chunkPauseMs = 0; // between pieces
    int baud = 0;         // >0: 10 bits a byte at this rate
};
Pacing PacingOf(const Faults& faults);

// An answer on its way out.
struct OutAnswer {
    std::vector<std::uint8_t> bytes;
    std::size_t sent = 0;
    std::int64_t readyAtMs = 0; // nothing more of it before (reply delay, pause between pieces)
    long cutAt = -1;            // close-after: it ends after this many bytes
};

// Baud pacing: the bytes that may be written, earned at baud / 10 bytes a
// second since atNs and capped at a short burst.
struct BaudCredit {
    double bytes = 0;
    std::int64_t atNs = 0;
};

struct PumpStep {
    enum class Kind {
        Wait,  // nothing of it may go out for waitMs
        Write, // `count` bytes from answer.sent on go out now
        Done,  // it is all out: on to the next answer
        Cut,   // close-after: it ends here, and on TCP so does the connection
    };
    Kind kind = Kind::Done;
    int waitMs = 0;
    std::size_t count = 0;
    // Write: pieces and paced bytes go out on their own, not held back with
    // the other answers to the same input.
    bool alone = false;
    bool operator==(const PumpStep&) const = default;
};

// What to do next, at time nowNs, with the first answer of a queue.
PumpStep NextStep(const OutAnswer& answer, const Pacing& pacing, std::int64_t nowNs,
                  BaudCredit& credit);

// After a Write step's bytes went out (answer.sent counts them): true when the
// answer is complete; otherwise the next piece waits for the pause.
bool AfterWrite(OutAnswer& answer, const Pacing& pacing, std::int64_t nowNs);

} // namespace qvsim
