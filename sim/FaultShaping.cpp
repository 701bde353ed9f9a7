#include "FaultShaping.h"

#include "Encoder.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace qvsim {

namespace {

constexpr double kBaudBurstSeconds = 0.005; // pacing may catch up at most this much
constexpr std::int64_t kNsPerMs = 1'000'000;

std::string FirstWord(std::string_view line) {
    const auto start = line.find_first_not_of(' ');
    if (start == std::string_view::npos) {
        return {};
    }
    const auto end = line.find(' ', start);
    return std::string(line.substr(start, end == std::string_view::npos ? end : end - start));
}

// Whether the reply to this line loses its SOH. A reply to the marked query
// that keeps it counts noSohFrom down, so that it keeps counting from now.
bool LosesSoh(Faults& faults, const Answer& answer, const std::string& word) {
    if (answer.kind != Answer::Kind::Status || faults.noSohQuery.empty() ||
        word != faults.noSohQuery) {
        return false;
    }
    if (faults.noSohFrom > 1) {
        --faults.noSohFrom;
        return false;
    }
    return true;
}

// The switcher's own answer under the faults: a prompt, nothing, or the reply frame.
std::vector<std::uint8_t> AnswerBytes(const Answer& answer, const Faults& faults, int probeRun,
                                      bool withSoh) {
    switch (answer.kind) {
    case Answer::Kind::Probe:
        if (faults.secondProbeOnly && probeRun == 1) {
            return {};
        }
        return {kPrompt};
    case Answer::Kind::Prompt:
    case Answer::Kind::Malformed:
        if (faults.noPrompt) {
            return {};
        }
        return {kPrompt};
    case Answer::Kind::Status:
        return StatusReply(answer, faults.textBeforeSoh, withSoh);
    }
    return {};
}

// How many bytes of the answer may go out at once: what is left of it, up to
// its cut and at most one piece.
std::size_t PieceLength(const OutAnswer& answer, int chunkSize) {
    std::size_t n = answer.bytes.size() - answer.sent;
    if (answer.cutAt >= 0) {
        n = std::min(n, static_cast<std::size_t>(answer.cutAt) - answer.sent);
    }
    if (chunkSize > 0) {
        n = std::min(n, static_cast<std::size_t>(chunkSize));
    }
    return n;
}

} // namespace

Faults Bounded(Faults faults) {
    faults.replyDelayMs = std::max(0, faults.replyDelayMs);
    faults.chunkSize = std::max(0, faults.chunkSize);
    faults.chunkPauseMs = std::max(0, faults.chunkPauseMs);
    faults.textBeforeSoh = std::max(0, faults.textBeforeSoh);
    faults.noSohFrom = std::max(1, faults.noSohFrom);
    faults.closeAfter = std::max(-1, faults.closeAfter);
    faults.baud = std::max(0, faults.baud);
    return faults;
}

std::vector<std::uint8_t> StatusReply(const Answer& answer, int textBeforeSoh, bool withSoh) {
    const int text = withSoh ? textBeforeSoh : std::max(textBeforeSoh, kNoSohWindowText);
    return FrameReply(
        FillerText(static_cast<std::size_t>(std::max(0, text))), withSoh ? kSoh : kSohStandIn,
        static_cast<std::uint8_t>('0' + static_cast<int>(answer.query)), answer.payload);
}

Reply ShapeReply(const Answer& answer, std::string_view line, bool discard, ShapingState& state) {
    Faults& faults = state.faults;
    const std::string word = FirstWord(line);
    // Both are counted whether or not anything goes back.
    state.probeRun = answer.kind == Answer::Kind::Probe ? state.probeRun + 1 : 0;
    const bool withSoh = !LosesSoh(faults, answer, word);
    Reply reply;
    if (faults.silent) {
        return reply;
    }
    if (discard) {
        faults.canned.erase(word); // it was answered, to nobody
        return reply;
    }
    if (const auto it = faults.canned.find(word); it != faults.canned.end()) {
        reply.bytes = std::move(it->second);
        faults.canned.erase(it);
    } else {
        reply.bytes = AnswerBytes(answer, faults, state.probeRun, withSoh);
    }
    if (answer.kind == Answer::Kind::Status) {
        reply.cutAt = faults.closeAfter;
    }
    reply.delayMs = faults.replyDelayMs;
    return reply;
}

Pacing PacingOf(const Faults& faults) {
    return {faults.chunkSize, faults.chunkPauseMs, faults.baud};
}

PumpStep NextStep(const OutAnswer& answer, const Pacing& pacing, std::int64_t nowNs,
                  BaudCredit& credit) {
    const std::int64_t nowMs = nowNs / kNsPerMs;
    if (nowMs < answer.readyAtMs) {
        return {PumpStep::Kind::Wait, static_cast<int>(answer.readyAtMs - nowMs)};
    }
    if (answer.cutAt >= 0 && answer.sent >= static_cast<std::size_t>(answer.cutAt)) {
        return {PumpStep::Kind::Cut};
    }
    std::size_t n = PieceLength(answer, pacing.chunkSize);
    if (pacing.baud > 0) {
        const double bytesPerSecond = pacing.baud / 10.0;
        const double burst = std::max(1.0, bytesPerSecond * kBaudBurstSeconds);
        credit.bytes = std::min(burst, credit.bytes + static_cast<double>(nowNs - credit.atNs) *
                                                          bytesPerSecond / 1e9);
        credit.atNs = nowNs;
        if (credit.bytes < 1.0) {
            const double waitMs = (1.0 - credit.bytes) * 1000.0 / bytesPerSecond;
            return {PumpStep::Kind::Wait, std::max(1, static_cast<int>(std::ceil(waitMs)))};
        }
        n = std::min(n, static_cast<std::size_t>(credit.bytes));
        credit.bytes -= static_cast<double>(n);
    }
    if (n == 0) {
        return {PumpStep::Kind::Done};
    }
    return {PumpStep::Kind::Write, 0, n, pacing.chunkSize > 0 || pacing.baud > 0};
}

bool AfterWrite(OutAnswer& answer, const Pacing& pacing, std::int64_t nowNs) {
    const bool all = answer.sent == answer.bytes.size();
    // A reply shorter than its cut is complete; one that ends right at it is cut.
    if (all && (answer.cutAt < 0 || answer.sent < static_cast<std::size_t>(answer.cutAt))) {
        return true;
    }
    if (pacing.chunkSize > 0 && pacing.chunkPauseMs > 0 && !all) {
        answer.readyAtMs = nowNs / kNsPerMs + pacing.chunkPauseMs;
    }
    return false;
}

} // namespace qvsim
