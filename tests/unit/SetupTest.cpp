// The system settings: the lines each setting sends and the status bytes it
// leaves, what the RGB delay text comes to, and which selector item a
// status value shows.
#include "model/Setup.h"

#include <gtest/gtest.h>

namespace qvc {
namespace {

using Verdict = RgbDelayEntry::Verdict;

class SetupTest : public ::testing::Test {
  protected:
    DeviceState state;
    qvc::Setup setup{state}; // qualified: gtest's Test has a member named Setup
};

TEST_F(SetupTest, LockoutSendsTheTickAndStoresIt) {
    state.status.bytes[0] = 7; // any nonzero value reads as locked
    EXPECT_EQ(setup.SetFrontPanelLock(false), Commands{"FPLOCK 0"});
    EXPECT_EQ(state.status.bytes[0], 0);
    EXPECT_EQ(setup.SetFrontPanelLock(true), Commands{"FPLOCK 1"});
    EXPECT_EQ(state.status.bytes[0], 1);
    // The same tick again is sent again.
    EXPECT_EQ(setup.SetFrontPanelLock(true), Commands{"FPLOCK 1"});
}

TEST_F(SetupTest, SwitchSourceSendsItemsZeroToThreeOnly) {
    EXPECT_EQ(setup.SetVideoSwitchSource(2), Commands{"SWITCH 2"});
    EXPECT_EQ(state.status.bytes[4], 2);
    EXPECT_EQ(setup.SetVideoSwitchSource(0), Commands{"SWITCH 0"});
    EXPECT_EQ(setup.SetVideoSwitchSource(3), Commands{"SWITCH 3"});
    EXPECT_EQ(state.status.bytes[4], 3);
    for (int item : {-1, 4, 255}) {
        EXPECT_TRUE(setup.SetVideoSwitchSource(item).empty()) << item;
        EXPECT_EQ(state.status.bytes[4], 3) << item;
    }
}

TEST_F(SetupTest, RgbDelayTextComesToALineOrARefusal) {
    struct Case {
        const char* text;
        Verdict verdict;
        Commands sent;
        std::uint8_t low, high; // status bytes 6 and 7 afterwards
    };
    const Case cases[] = {
        {"0", Verdict::Accepted, {"FDLY 0"}, 0x00, 0x00},
        {"4000", Verdict::Accepted, {"FDLY 4000"}, 0xA0, 0x0F},
        {"+12", Verdict::Accepted, {"FDLY 12"}, 0x0C, 0x00},
        {"-0", Verdict::Accepted, {"FDLY 0"}, 0x00, 0x00},
        {"0250", Verdict::Accepted, {"FDLY 250"}, 0xFA, 0x00},
        {"4001", Verdict::OutOfLimits, {}, 0x34, 0x12},
        {"-1", Verdict::OutOfLimits, {}, 0x34, 0x12},
        {"99999999999999999999", Verdict::OutOfLimits, {}, 0x34, 0x12},
        {"abc", Verdict::NotAnInteger, {}, 0x34, 0x12},
        {"", Verdict::NotAnInteger, {}, 0x34, 0x12},
        {"-", Verdict::NotAnInteger, {}, 0x34, 0x12},
        {" 12", Verdict::NotAnInteger, {}, 0x34, 0x12},
        {"12 ", Verdict::NotAnInteger, {}, 0x34, 0x12},
        {"1e3", Verdict::NotAnInteger, {}, 0x34, 0x12},
        {"0x10", Verdict::NotAnInteger, {}, 0x34, 0x12},
        {"--5", Verdict::NotAnInteger, {}, 0x34, 0x12},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        state.status.bytes[6] = 0x34;
        state.status.bytes[7] = 0x12;
        const RgbDelayEntry entry = ReadRgbDelay(c.text);
        EXPECT_EQ(entry.verdict, c.verdict);
        // What leaving the edit sends: only an accepted delay goes out.
        const Commands sent =
            entry.verdict == Verdict::Accepted ? setup.SetRGBDelay(entry.delay) : Commands{};
        EXPECT_EQ(sent, c.sent);
        EXPECT_EQ(state.status.bytes[6], c.low);
        EXPECT_EQ(state.status.bytes[7], c.high);
    }
}

TEST_F(SetupTest, RgbDelayOutsideTheLimitsIsNeverSent) {
    state.status.SetRGBDelay(100);
    for (int delay : {-1, 4001, 65535}) {
        EXPECT_TRUE(setup.SetRGBDelay(delay).empty()) << delay;
    }
    EXPECT_EQ(state.status.RGBDelay(), 100);
}

TEST_F(SetupTest, ResetsCarryTheLongWaitAndLeaveTheState) {
    state.status.bytes = {1, 0, 0, 0, 2, 0, 0xA0, 0x0F};
    const auto before = state.status.bytes;
    EXPECT_EQ(qvc::Setup::Reset(false), Commands{Command("RESETQV R", CommandKind::ResetWait)});
    EXPECT_EQ(qvc::Setup::Reset(true), Commands{Command("RESETQV F", CommandKind::ResetWait)});
    EXPECT_EQ(state.status.bytes, before);
}

TEST(SwitchSourceItem, SignedByteSelectsAnItemOrNone) {
    const struct {
        std::uint8_t stored;
        int item;
    } cases[] = {{0, 0}, {1, 1},   {2, 2},    {3, 3},    {4, 3},
                 {5, 3}, {127, 3}, {128, -1}, {254, -1}, {255, -1}};
    for (const auto& c : cases) {
        EXPECT_EQ(SwitchSourceItem(static_cast<std::int8_t>(c.stored)), c.item) << int{c.stored};
    }
}

} // namespace
} // namespace qvc
