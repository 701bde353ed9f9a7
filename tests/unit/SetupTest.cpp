// The system settings: each setting's line and the status bytes it leaves,
// what the RGB delay text comes to, and the selector item a status value shows.
#include "model/Setup.h"

#include <gtest/gtest.h>

namespace qvc {
namespace {

using Verdict = RgbDelayEntry::Verdict;

TEST(SetupTest, SettingsSendTheirLineAndStoreTheValue) {
    DeviceState state;
    qvc::Setup setup(state); // qualified: gtest's Test has a member named Setup
    state.status.bytes[0] = 7;
    EXPECT_EQ(setup.SetFrontPanelLock(false), Commands{"FPLOCK 0"});
    EXPECT_EQ(state.status.bytes[0], 0);
    EXPECT_EQ(setup.SetFrontPanelLock(true), Commands{"FPLOCK 1"});
    EXPECT_EQ(state.status.bytes[0], 1);
    EXPECT_EQ(setup.SetVideoSwitchSource(2), Commands{"SWITCH 2"});
    EXPECT_TRUE(setup.SetVideoSwitchSource(4).empty());
    EXPECT_TRUE(setup.SetVideoSwitchSource(-1).empty());
    EXPECT_EQ(state.status.bytes[4], 2);
    EXPECT_TRUE(setup.SetRGBDelay(4001).empty());
    const auto before = state.status.bytes;
    EXPECT_EQ(qvc::Setup::Reset(false), Commands{Command("RESETQV R", CommandKind::ResetWait)});
    EXPECT_EQ(qvc::Setup::Reset(true), Commands{Command("RESETQV F", CommandKind::ResetWait)});
    EXPECT_EQ(state.status.bytes, before);
}

TEST(SetupTest, RgbDelayTextComesToALineOrARefusal) {
    const struct {
        const char* text;
        Verdict verdict;
        Commands sent;
    } cases[] = {
        {"0", Verdict::Accepted, {"FDLY 0"}},      {"4000", Verdict::Accepted, {"FDLY 4000"}},
        {"+12", Verdict::Accepted, {"FDLY 12"}},   {"0250", Verdict::Accepted, {"FDLY 250"}},
        {"4001", Verdict::OutOfLimits, {}},        {"-1", Verdict::OutOfLimits, {}},
        {"99999999999", Verdict::OutOfLimits, {}}, {"abc", Verdict::NotAnInteger, {}},
        {"", Verdict::NotAnInteger, {}},           {"-", Verdict::NotAnInteger, {}},
        {" 12", Verdict::NotAnInteger, {}},        {"0x10", Verdict::NotAnInteger, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        DeviceState state;
        state.status.SetRGBDelay(77);
        const RgbDelayEntry entry = ReadRgbDelay(c.text);
        EXPECT_EQ(entry.verdict, c.verdict);
        const Commands sent = entry.verdict == Verdict::Accepted
                                  ? qvc::Setup(state).SetRGBDelay(entry.delay)
                                  : Commands{};
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(state.status.RGBDelay(), sent.empty() ? 77 : entry.delay);
    }
}

TEST(SetupTest, SwitchSourceReadAsASignedByteSelectsAnItemOrNone) {
    const std::pair<std::uint8_t, int> cases[] = {{0, 0},   {3, 3},    {4, 3},   {5, 3},
                                                  {127, 3}, {128, -1}, {255, -1}};
    for (const auto& [stored, item] : cases) {
        EXPECT_EQ(SwitchSourceItem(static_cast<std::int8_t>(stored)), item) << int{stored};
    }
}

} // namespace
} // namespace qvc
