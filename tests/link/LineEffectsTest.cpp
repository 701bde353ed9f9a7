// The mirror a client keeps by the effects of the lines it forwards equals
// what a read-back of the simulator then finds, for random streams of write
// commands (the simulator has its own, independent handling of them).
#include "LinkFixture.h"
#include "link/ReadBack.h"
#include "model/LineEffects.h"

#include <gtest/gtest.h>
#include <random>

namespace qvc::test {
namespace {

// One write command with arguments mostly in range, now and then not.
std::string RandomLine(std::mt19937& rng, int inputs, int outputs) {
    const auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };
    const auto layer = [&] { return pick(0, 9) == 0 ? 101 : pick(0, inputs); };
    const auto member = [&](int count) { return pick(0, 3) == 0 ? 101 : pick(1, count); };
    const auto n = [](int v) { return std::to_string(v); };
    switch (pick(0, 13)) {
    case 0:
    case 1:
    case 2:
        return "RTEMP " + n(pick(1, outputs)) + " " + n(layer()) + " " + n(layer());
    case 3:
        return "TAKE " + n(pick(0, 1));
    case 4:
        return pick(0, 5) == 0 ? "CLEAR" : "TAKE 1";
    case 5:
        return "OMUTE " + n(pick(1, outputs)) + " " + n(pick(0, 1));
    case 6:
        return "ALVL " + n(pick(1, inputs + 1)) + " " + n(pick(0, 260));
    case 7:
        return "GADD " + n(pick(1, outputs)) + " " + n(member(outputs)) + " " + n(member(inputs));
    case 8:
        return "GDEL " + n(pick(1, outputs)) + " " + n(member(outputs)) + " " + n(member(inputs));
    case 9:
        return "GCLEAR " + n(pick(0, 9) == 0 ? 201 : pick(1, outputs + 1));
    case 10:
        return "PRST " + n(pick(1, 16));
    case 11:
        return "RPRST " + n(pick(1, 17)) + " " + n(pick(0, 1));
    case 12:
        return "FPLOCK " + n(pick(0, 2));
    default:
        return pick(0, 1) == 0 ? "SWITCH " + n(pick(0, 4)) : "FDLY " + n(pick(0, 4100));
    }
}

void ExpectSameTables(const DeviceState& mirror, const DeviceState& read) {
    EXPECT_EQ(mirror.status.bytes, read.status.bytes);
    EXPECT_EQ(mirror.outputs.bytes, read.outputs.bytes);
    EXPECT_EQ(mirror.prevOutputs.bytes, read.prevOutputs.bytes);
    EXPECT_EQ(mirror.levels.bytes, read.levels.bytes);
    EXPECT_EQ(mirror.groups.bytes, read.groups.bytes);
    for (int p = 0; p < kPresetCount; ++p) {
        SCOPED_TRACE("preset " + std::to_string(p + 1));
        EXPECT_EQ(mirror.presets.stored(p), read.presets.stored(p));
        EXPECT_EQ(mirror.presets.lastStored(p), read.presets.lastStored(p));
        // What a read-back brings of an image: the model's output slots.
        const std::size_t shown = 5 * static_cast<std::size_t>(read.model.OutputSlots);
        const auto a = mirror.presets.routeImage(p);
        const auto b = read.presets.routeImage(p);
        EXPECT_TRUE(std::equal(a.begin(), a.begin() + static_cast<long>(shown), b.begin()));
        EXPECT_EQ(mirror.presetGroups.images[static_cast<std::size_t>(p)].bytes,
                  read.presetGroups.images[static_cast<std::size_t>(p)].bytes);
    }
}

TEST(LineEffects, TheMirrorEqualsAReadBackAfterRandomLines) {
    for (const int model : {0, 3}) {
        for (const unsigned seed : {1u, 2u, 3u}) {
            SCOPED_TRACE("model " + std::to_string(model) + " seed " + std::to_string(seed));
            SimPeer peer({.model = model, .demo = true, .tcp = true});
            LinkState linkState;
            RecordingHost host;
            host.linkState = &linkState;
            ScriptedPrompts prompts;
            DeviceLink link(linkState, host, prompts, SerialPortMap(), ShortTimings(),
                            peer->TcpPort());
            ASSERT_EQ(link.TcpConnect("127.0.0.1"), DeviceLink::TcpOutcome::Probed);
            DeviceState mirror;
            ASSERT_EQ(ReadBack(link, mirror, host, prompts), 1);
            std::mt19937 rng(seed);
            int applied = 0;
            for (int i = 0; i < 150; ++i) {
                const std::string line = RandomLine(rng, mirror.Inputs(), mirror.ShownOutputs());
                link.SendCommand(Command(line));
                applied += ApplyWriteLine(mirror, line) == LineEffect::Applied ? 1 : 0;
            }
            EXPECT_GT(applied, 100);
            DeviceState read;
            ASSERT_EQ(ReadBack(link, read, host, prompts), 1);
            ExpectSameTables(mirror, read);
        }
    }
}

TEST(LineEffects, WhatTheSwitcherRefusesChangesNothing) {
    DeviceState state;
    state.model.ApplyModelCode(0); // 12 x 4
    const DeviceState before = state;
    for (const char* line : {"RTEMP 5 1 1", "RTEMP 1 13 1", "TAKE 2", "OMUTE 1", "ALVL 13 5",
                             "ALVL 1 253", "GADD 5 1 101", "GADD 1 101 101", "GCLEAR 200",
                             "PRST 17", "RPRST 1", "FPLOCK 2", "SWITCH 4", "FDLY 4001",
                             "IPCONFIG 1 2 3 256", "RTEMP x 1 1", "MINFOQV", "", "HELLO"}) {
        EXPECT_EQ(ApplyWriteLine(state, line), LineEffect::None) << line;
    }
    EXPECT_EQ(state.outputs.bytes, before.outputs.bytes);
    EXPECT_EQ(state.groups.bytes, before.groups.bytes);
    EXPECT_EQ(state.status.bytes, before.status.bytes);
    EXPECT_EQ(ApplyWriteLine(state, "RESETQV R"), LineEffect::ReadBackNeeded);
    EXPECT_EQ(ApplyWriteLine(state, "IPCONFIG 10 0 0 7"), LineEffect::Applied);
    EXPECT_EQ(state.status.IPAddressText(), "10.0.0.7");
}

} // namespace
} // namespace qvc::test
