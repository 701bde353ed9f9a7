// The fault shaping on its own, without I/O: the bytes that answer a line
// under each fault mode, and when how many of them go out (on a clock that
// jumps to the end of every wait).
#include "FaultShaping.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using qvsim::Answer;
using qvsim::Faults;
using qvsim::Query;
using Kind = qvsim::Answer::Kind;
using Bytes = std::vector<std::uint8_t>;

Bytes B(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

// An OINFOQV answer with a two-byte payload: its frame is SOH '2' AA 01 CR LF '#'.
const Answer kStatus{Kind::Status, Query::Oinfoqv, {0xAA, 0x01}};
const Answer kPrompt{Kind::Prompt, Query::Minfoqv, {}};
const Answer kMalformed{Kind::Malformed, Query::Minfoqv, {}};
const Answer kProbe{Kind::Probe, Query::Minfoqv, {}};

const Faults kCanned{.canned = {{"TAKE", B("x")}}};
const Faults kSilentCanned{.silent = true, .canned = {{"TAKE", B("x")}}};
const Faults kCannedTwo{.canned = {{"OMUTE", B("ok#")}, {"TAKE", B("no")}}};
const Faults kCannedWithDelayAndCut{
    .replyDelayMs = 20, .closeAfter = 1, .canned = {{"OINFOQV", B("x")}}};

// The tag, payload and end of kStatus's frame, and the whole frame.
const std::string kTail = "2\xAA\x01\r\n#";
const std::string kFrame = "\x01" + kTail;

struct ReplyCase {
    const char* name;
    Faults faults;
    Answer answer;
    std::string line;
    std::string bytes;
    long cutAt = -1;
    int delayMs = 0;
    std::size_t cannedLeft = 0; // canned replies not used yet
    bool discard = false;       // the line came from a replaced client
};
void PrintTo(const ReplyCase& c, std::ostream* os) {
    *os << c.name;
}

const ReplyCase kReplyCases[] = {
    {"WriteCommandIsPrompted", {}, kPrompt, "TAKE 1", "#"},
    {"MalformedLineIsPrompted", {}, kMalformed, "NONSENSE", "#"},
    {"ProbeIsPrompted", {}, kProbe, "", "#"},
    {"NoPromptLeavesWriteCommandUnanswered", {.noPrompt = true}, kPrompt, "TAKE 1", ""},
    {"NoPromptLeavesMalformedLineUnanswered", {.noPrompt = true}, kMalformed, "X", ""},
    {"NoPromptStillAnswersProbe", {.noPrompt = true}, kProbe, "", "#"},
    {"StatusQueryIsFramed", {}, kStatus, "OINFOQV", kFrame},
    {"TextBeforeSoh", {.textBeforeSoh = 3}, kStatus, "OINFOQV", "QV " + kFrame},
    {"NoSohStandInAfter28BytesOfText",
     {.noSohQuery = "OINFOQV"},
     kStatus,
     "OINFOQV",
     "QV STATUS 0123456789 QV STAT\x02" + kTail},
    {"NoSohKeepsLongerText",
     {.textBeforeSoh = 30, .noSohQuery = "OINFOQV"},
     kStatus,
     "OINFOQV",
     "QV STATUS 0123456789 QV STATUS\x02" + kTail},
    {"NoSohMarksOnlyItsOwnQuery", {.noSohQuery = "MINFOQV"}, kStatus, "OINFOQV", kFrame},
    {"CloseAfterCutsAStatusReply", {.closeAfter = 4}, kStatus, "OINFOQV", kFrame, 4},
    {"CloseAfterLeavesPromptsWhole", {.closeAfter = 4}, kPrompt, "TAKE 1", "#"},
    {"ReplyDelay", {.replyDelayMs = 150}, kPrompt, "TAKE 1", "#", -1, 150},
    {"SilentAnswersNothing", {.silent = true, .closeAfter = 4}, kStatus, "OINFOQV", ""},
    {"ReplacedClientGetsNothing", {.closeAfter = 4}, kStatus, "OINFOQV", "", -1, 0, 0, true},
    {"CannedReplyWithDelayAndCut", kCannedWithDelayAndCut, kStatus, "OINFOQV", "x", 1, 20},
    {"CannedReplyByTheFirstWord", kCannedTwo, kPrompt, "  OMUTE 2 1", "ok#", -1, 0, 1},
    {"CannedReplyToAProbe", {.canned = {{"", B("hi")}}}, kProbe, "", "hi"},
    {"EmptyCannedReplyIsNoAnswer", {.canned = {{"TAKE", {}}}}, kPrompt, "TAKE 1", ""},
    {"SilentKeepsACannedReply", kSilentCanned, kPrompt, "TAKE 1", "", -1, 0, 1},
    {"ReplacedClientUsesUpACannedReply", kCanned, kPrompt, "TAKE 1", "", -1, 0, 0, true},
};

class ShapeReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ShapeReply, BytesCutAndDelay) {
    const ReplyCase& c = GetParam();
    qvsim::ShapingState state{c.faults};
    const qvsim::Reply reply = qvsim::ShapeReply(c.answer, c.line, c.discard, state);
    EXPECT_EQ(reply.bytes, B(c.bytes));
    EXPECT_EQ(reply.cutAt, c.cutAt);
    EXPECT_EQ(reply.delayMs, c.delayMs);
    EXPECT_EQ(state.faults.canned.size(), c.cannedLeft);
}

INSTANTIATE_TEST_SUITE_P(FaultShaping, ShapeReply, ::testing::ValuesIn(kReplyCases),
                         [](const auto& param) { return std::string(param.param.name); });

// ------------------------------------------------------- line after line ---

// One reply in short: "-" none, "soh" a frame with its SOH, "nosoh" one with
// the stand-in after 28 bytes of text, else the bytes themselves.
std::string Brief(const qvsim::Reply& r) {
    if (r.bytes.empty()) {
        return "-";
    }
    if (r.bytes.front() == 0x01) {
        return "soh";
    }
    if (r.bytes.size() > 28 && r.bytes[28] == 0x02) {
        return "nosoh";
    }
    return std::string(r.bytes.begin(), r.bytes.end());
}

// The switcher's answer to a line: a probe, a status query or a write command.
Answer AnswerTo(const std::string& line) {
    if (line.empty()) {
        return kProbe;
    }
    return line.find("INFOQV") != std::string::npos ? Answer{Kind::Status, Query::Minfoqv, {}}
                                                    : kPrompt;
}

struct SequenceCase {
    const char* name;
    Faults faults;
    std::vector<std::string> lines;
    std::string replies;
    int noSohFromAfter;
};
void PrintTo(const SequenceCase& c, std::ostream* os) {
    *os << c.name;
}

const SequenceCase kSequenceCases[] = {
    {"NoSohFromTheFourthReplyToTheQueryOn",
     {.noSohQuery = "PGINFOQV", .noSohFrom = 4},
     {"PGINFOQV 0", "PGINFOQV 1", "MINFOQV", "PGINFOQV 2", "PGINFOQV 3", "PGINFOQV 4"},
     "soh soh soh soh nosoh nosoh",
     1},
    {"NoSohCountsRepliesThatWereNotSent",
     {.silent = true, .noSohQuery = "OINFOQV", .noSohFrom = 4},
     {"OINFOQV", "OINFOQV"},
     "- -",
     2},
    {"SecondProbeOnlyInEveryRunOfProbes",
     {.secondProbeOnly = true},
     {"", "", "", "TAKE 1", "", ""},
     "- # # # - #",
     1},
    {"CannedReplyIsUsedOnce",
     {.canned = {{"MINFOQV", B("x")}}},
     {"MINFOQV", "MINFOQV"},
     "x soh",
     1},
};

class ShapeReplies : public ::testing::TestWithParam<SequenceCase> {};

TEST_P(ShapeReplies, LineAfterLine) {
    const SequenceCase& c = GetParam();
    qvsim::ShapingState state{c.faults};
    std::string replies;
    for (const std::string& line : c.lines) {
        if (!replies.empty()) {
            replies += ' ';
        }
        replies += Brief(qvsim::ShapeReply(AnswerTo(line), line, false, state));
    }
    EXPECT_EQ(replies, c.replies);
    EXPECT_EQ(state.faults.noSohFrom, c.noSohFromAfter);
}

INSTANTIATE_TEST_SUITE_P(FaultShaping, ShapeReplies, ::testing::ValuesIn(kSequenceCases),
                         [](const auto& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------- pacing ---

struct PacingCase {
    const char* name;
    std::size_t size; // bytes of the answer
    long cutAt;
    int delayMs;
    qvsim::Pacing pacing;
    // Each write as "ms:bytes" ("!" when it goes out on its own), then how
    // the answer ended and when.
    std::string timeline;
};
void PrintTo(const PacingCase& c, std::ostream* os) {
    *os << c.name;
}

const PacingCase kPacingCases[] = {
    {"WholeAtOnce", 25, -1, 0, {}, "0:25 done@0"},
    {"ReplyDelay", 25, -1, 150, {}, "150:25 done@150"},
    {"PiecesWithPauses", 50, -1, 0, {16, 30, 0}, "0:16! 30:16! 60:16! 90:2! done@90"},
    {"PiecesWithoutPause", 20, -1, 0, {7, 0, 0}, "0:7! 0:7! 0:6! done@0"},
    {"CloseAfter", 25, 10, 0, {}, "0:10 cut@0"},
    // The pause after the last piece before the cut still comes first.
    {"CloseAfterInPieces", 25, 10, 0, {4, 1, 0}, "0:4! 1:4! 2:2! cut@3"},
    {"CloseAfterAtTheLastByte", 25, 25, 0, {}, "0:25 cut@0"},
    {"CloseAfterBeyondTheReply", 25, 30, 0, {}, "0:25 done@0"},
    {"CloseAfterNothing", 25, 0, 5, {}, "cut@5"},
    // 120 bytes a second, at most one at a time: one every 8.3 ms, waits rounded up.
    {"Baud1200", 3, -1, 0, {0, 0, 1200}, "9:1! 18:1! 27:1! done@27"},
    // 5760 bytes a second: 5.76 a millisecond, the fraction carried over.
    {"Baud57600", 25, -1, 0, {0, 0, 57600}, "1:5! 2:6! 3:6! 4:6! 5:2! done@5"},
    // After a delay the credit is capped at 5 ms worth (28.8 bytes).
    {"BaudBurstAfterADelay", 40, -1, 100, {0, 0, 57600}, "100:28! 101:6! 102:6! done@102"},
    // 960 bytes a second, burst 4.8: the pause earns the next piece's credit.
    {"BaudAndPieces", 12, -1, 0, {10, 5, 9600}, "2:1! 7:4! 12:4! 17:3! done@17"},
};

// Drives one answer through NextStep and AfterWrite as a connection does.
std::string Timeline(const PacingCase& c) {
    constexpr std::int64_t kNsPerMs = 1'000'000;
    qvsim::OutAnswer answer{Bytes(c.size, 'x'), 0, c.delayMs, c.cutAt};
    qvsim::BaudCredit credit{0, 0};
    std::int64_t nowNs = 0;
    std::string out;
    const auto add = [&](const std::string& event) {
        if (!out.empty()) {
            out += ' ';
        }
        out += event;
    };
    for (int step = 0; step < 1000; ++step) {
        const qvsim::PumpStep s = qvsim::NextStep(answer, c.pacing, nowNs, credit);
        const std::string at = std::to_string(nowNs / kNsPerMs);
        switch (s.kind) {
        case qvsim::PumpStep::Kind::Wait:
            nowNs += s.waitMs * kNsPerMs;
            continue;
        case qvsim::PumpStep::Kind::Done:
            add("done@" + at);
            return out;
        case qvsim::PumpStep::Kind::Cut:
            add("cut@" + at);
            return out;
        case qvsim::PumpStep::Kind::Write:
            add(at + ":" + std::to_string(s.count) + (s.alone ? "!" : ""));
            answer.sent += s.count;
            if (qvsim::AfterWrite(answer, c.pacing, nowNs)) {
                add("done@" + at);
                return out;
            }
        }
    }
    return out + " (no end)";
}

class Pacing : public ::testing::TestWithParam<PacingCase> {};

TEST_P(Pacing, WritesAndTheirTimes) {
    EXPECT_EQ(Timeline(GetParam()), GetParam().timeline);
}

INSTANTIATE_TEST_SUITE_P(FaultShaping, Pacing, ::testing::ValuesIn(kPacingCases),
                         [](const auto& param) { return std::string(param.param.name); });

// ---------------------------------------------------------------- ranges ---

struct BoundCase {
    const char* name;
    Faults given;
    Faults bounded;
};
void PrintTo(const BoundCase& c, std::ostream* os) {
    *os << c.name;
}

const BoundCase kBoundCases[] = {
    {"InRangeUnchanged",
     {.replyDelayMs = 5, .chunkSize = 3, .chunkPauseMs = 0, .noSohFrom = 2, .closeAfter = 0},
     {.replyDelayMs = 5, .chunkSize = 3, .chunkPauseMs = 0, .noSohFrom = 2, .closeAfter = 0}},
    {"BelowRangeRaised",
     {.replyDelayMs = -5,
      .chunkSize = -3,
      .chunkPauseMs = -1,
      .textBeforeSoh = -7,
      .noSohFrom = 0,
      .closeAfter = -9,
      .baud = -1200},
     {.replyDelayMs = 0,
      .chunkSize = 0,
      .chunkPauseMs = 0,
      .textBeforeSoh = 0,
      .noSohFrom = 1,
      .closeAfter = -1,
      .baud = 0}},
};

class Bounded : public ::testing::TestWithParam<BoundCase> {};

TEST_P(Bounded, EveryValueInItsRange) {
    EXPECT_EQ(qvsim::Bounded(GetParam().given), GetParam().bounded);
}

INSTANTIATE_TEST_SUITE_P(FaultShaping, Bounded, ::testing::ValuesIn(kBoundCases),
                         [](const auto& param) { return std::string(param.param.name); });

} // namespace
