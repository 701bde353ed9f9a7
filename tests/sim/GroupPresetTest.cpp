// Group commands with their invariants, and presets with their group images.
#include "SimTestSupport.h"

#include <gtest/gtest.h>

using namespace qvsimtest;

namespace {

// Byte offsets in the 322-byte group table.
constexpr std::size_t kMemberCount = 0;
constexpr std::size_t kOutputCount = 16;
constexpr std::size_t kInputCount = 32;
constexpr std::size_t kInputMember = 48; // + 16 * group + input
constexpr std::size_t kOutputGroup = 304;

class Groups : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(peer.client); }
    Bytes Table() {
        Bytes t = c.Query("GINFOQV", 322);
        EXPECT_EQ(GroupInvariantError(t), "");
        return t;
    }
    TcpPeer peer{TcpOptions(3)};
    WireClient& c = *peer.client;
};

TEST_F(Groups, AddingAnOutputThenAnInput) {
    c.Command("GADD 1 3 101");
    c.Command("GADD 1 101 4");
    Bytes expected = EmptyGroupsLarge();
    expected[kMemberCount + 0] = 2;
    expected[kOutputCount + 0] = 1;
    expected[kInputCount + 0] = 1;
    expected[kInputMember + 0 * 16 + 3] = 0;
    expected[kOutputGroup + 2] = 0;
    EXPECT_EQ(Table(), expected);

    c.Command("GDEL 1 101 4");
    expected[kMemberCount + 0] = 1;
    expected[kInputCount + 0] = 0;
    expected[kInputMember + 3] = 252;
    EXPECT_EQ(Table(), expected);
}

TEST_F(Groups, InputsNeedAnOutputFirstAndOutputsStayInOneGroup) {
    c.Command("GADD 2 101 5"); // group 2 has no output yet: refused
    EXPECT_EQ(Table(), EmptyGroupsLarge());
    c.Command("GADD 1 3 101");
    c.Command("GADD 2 3 101"); // output 3 already belongs to group 1
    c.Command("GADD 1 3 101"); // adding it again changes nothing
    Bytes expected = EmptyGroupsLarge();
    expected[kMemberCount + 0] = 1;
    expected[kOutputCount + 0] = 1;
    expected[kOutputGroup + 2] = 0;
    EXPECT_EQ(Table(), expected);
}

TEST_F(Groups, RemovingTheLastOutputRemovesTheGroup) {
    c.Command("GADD 1 3 101");
    c.Command("GADD 1 5 101");
    c.Command("GADD 1 101 4");
    c.Command("GDEL 1 5 101");
    Bytes t = Table();
    EXPECT_EQ(t[kMemberCount], 2);
    EXPECT_EQ(t[kOutputCount], 1);
    EXPECT_EQ(t[kOutputGroup + 4], 252);
    c.Command("GDEL 1 3 101");
    EXPECT_EQ(Table(), EmptyGroupsLarge());
}

TEST_F(Groups, AnInputMayBelongToSeveralGroups) {
    c.Command("GADD 1 3 101");
    c.Command("GADD 2 6 101");
    c.Command("GADD 1 101 4");
    c.Command("GADD 2 101 4");
    c.Command("GCLEAR 1");
    Bytes expected = EmptyGroupsLarge();
    expected[kMemberCount + 1] = 2;
    expected[kOutputCount + 1] = 1;
    expected[kInputCount + 1] = 1;
    expected[kInputMember + 1 * 16 + 3] = 1;
    expected[kOutputGroup + 5] = 1;
    EXPECT_EQ(Table(), expected);
    c.Command("GADD 16 16 101");
    c.Command("GADD 16 101 16");
    c.Command("GCLEAR 201");
    EXPECT_EQ(Table(), EmptyGroupsLarge());
}

TEST(GroupsSmall, TwelveInputModelUsesTheSmallForm) {
    TcpPeer peer(TcpOptions(1));
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    c.Command("GADD 2 2 101");
    c.Command("GADD 2 8 12");  // output and input in one line
    c.Command("GADD 9 1 101"); // only 8 groups on a 12 x 8 switcher
    Bytes expected = EmptyGroupsSmall();
    expected[1] = 3;                // memberCount of group 2
    expected[9] = 2;                // outputCount of group 2
    expected[17] = 1;               // inputCount of group 2
    expected[24 + 12 * 1 + 11] = 1; // inputMember[group 2][input 12]
    expected[120 + 1] = 1;          // outputGroup of output 2
    expected[120 + 7] = 1;          // outputGroup of output 8
    EXPECT_EQ(c.Query("GINFOQV", 130), expected);
}

class Presets : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(peer.client); }
    TcpPeer peer{TcpOptions(3)};
    WireClient& c = *peer.client;
};

TEST_F(Presets, StoreAndRecallRoutesMutesAndGroups) {
    c.Command("RTEMP 1 2 3");
    c.Command("RTEMP 16 16 16");
    c.Command("TAKE 1");
    c.Command("RTEMP 2 9 9"); // temporary: PRST stores the committed routes
    c.Command("OMUTE 16 1");
    c.Command("ALVL 1 77");
    c.Command("GADD 3 1 101");
    c.Command("GADD 3 101 2");
    c.Command("PRST 3");
    c.Command("PRST 5");

    const Bytes presets = c.Query("PINFOQV", 1568);
    ASSERT_EQ(presets.size(), 1568u);
    const Bytes stored = Cat({Bytes{1, 1}, Bytes{1, 2, 1, 1, 0}, Repeat(kFreeEntry, 14),
                              Bytes{15, 15, 1, 1, 1}, Bytes{77}, Bytes(15, 200)});
    Bytes third(presets.begin() + 2 * 98, presets.begin() + 3 * 98);
    Bytes fifth(presets.begin() + 4 * 98, presets.begin() + 5 * 98);
    EXPECT_EQ(fifth, stored);
    third[1] = 1; // preset 3 was stored before preset 5 took the lastStored mark
    EXPECT_EQ(third, stored);
    EXPECT_EQ(presets[2 * 98 + 1], 0);
    EXPECT_EQ(Bytes(presets.begin(), presets.begin() + 98),
              Cat({Bytes{0, 0}, Repeat(kFreeEntry, 16), Bytes(16, 0)}));

    Bytes groups = EmptyGroupsLarge();
    groups[2] = 2;
    groups[16 + 2] = 1;
    groups[32 + 2] = 1;
    groups[48 + 2 * 16 + 1] = 2;
    groups[304 + 0] = 2;
    EXPECT_EQ(c.Query("PGINFOQV 2", 322), groups);
    EXPECT_EQ(c.Query("PGINFOQV 4", 322), groups);
    EXPECT_EQ(c.Query("PGINFOQV 3", 322), EmptyGroupsLarge());

    // Clear everything, then recall preset 3.
    c.Command("CLEAR");
    c.Command("GCLEAR 201");
    c.Command("RPRST 7 1"); // an empty preset changes nothing
    EXPECT_EQ(c.Query("OINFOQV", 80), Repeat(kFreeEntry, 16));
    c.Command("RPRST 3 1");
    EXPECT_EQ(c.Query("OINFOQV", 80),
              Cat({Bytes{1, 2, 1, 1, 0}, Repeat(kFreeEntry, 14), Bytes{15, 15, 1, 1, 1}}));
    EXPECT_EQ(c.Query("OPINFOQV", 32), Cat({Bytes{1, 2}, Bytes(28, 252), Bytes{15, 15}}));
    EXPECT_EQ(c.Query("GINFOQV", 322), groups);
}

TEST_F(Presets, RecallReplacesTemporaryRoutes) {
    c.Command("RTEMP 1 4 4");
    c.Command("TAKE 1");
    c.Command("PRST 1");
    c.Command("RTEMP 1 6 6");
    c.Command("RPRST 1 0");
    EXPECT_EQ(c.Query("OINFOQV", 80), Cat({Bytes{3, 3, 1, 1, 0}, Repeat(kFreeEntry, 15)}));
    c.Command("TAKE 0"); // nothing temporary is left to drop
    EXPECT_EQ(c.Query("OINFOQV", 80), Cat({Bytes{3, 3, 1, 1, 0}, Repeat(kFreeEntry, 15)}));
}

TEST(PresetsSmall, SmallRecordsAndGroupImages) {
    TcpPeer peer(TcpOptions(0)); // 12 x 4
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    c.Command("RTEMP 4 12 1");
    c.Command("TAKE 1");
    c.Command("ALVL 12 3");
    c.Command("GADD 4 4 101");
    c.Command("PRST 16");
    const Bytes presets = c.Query("PINFOQV", 864);
    ASSERT_EQ(presets.size(), 864u);
    EXPECT_EQ(Bytes(presets.begin() + 15 * 54, presets.end()),
              Cat({Bytes{1, 1}, Repeat(kFreeEntry, 3), Bytes{11, 0, 1, 1, 0}, Repeat(kFreeEntry, 4),
                   Bytes(11, 200), Bytes{3}}));
    EXPECT_EQ(Bytes(presets.begin(), presets.begin() + 15 * 54),
              Repeat(Cat({Bytes{0, 0}, Repeat(kFreeEntry, 8), Bytes(12, 0)}), 15));
    Bytes groups = EmptyGroupsSmall();
    groups[3] = 1;       // memberCount of group 4
    groups[8 + 3] = 1;   // outputCount of group 4
    groups[120 + 3] = 3; // outputGroup of output 4
    EXPECT_EQ(c.Query("PGINFOQV 15", 130), groups);
}

TEST(Demo, SeedsRoutesMuteLevelsGroupsAndPresets) {
    qvsim::SimOptions o = TcpOptions(3);
    o.demo = true;
    TcpPeer peer(o);
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    const Bytes status = c.Query("MINFOQV", 20);
    EXPECT_EQ(Bytes(status.begin() + 8, status.begin() + 14), (Bytes{'2', '.', '1', '7', 'D', 0}));

    const Bytes outputs = c.Query("OINFOQV", 80);
    int routed = 0;
    int muted = 0;
    for (int o2 = 0; o2 < 16; ++o2) {
        routed += outputs[5 * o2] != 252 ? 1 : 0;
        muted += outputs[5 * o2 + 4] != 0 ? 1 : 0;
        EXPECT_EQ(outputs[5 * o2 + 2], 1); // all committed
        EXPECT_EQ(outputs[5 * o2 + 3], 1);
    }
    EXPECT_GE(routed, 4);
    EXPECT_EQ(muted, 1);

    const Bytes levels = c.Query("AINFOQV", 16);
    EXPECT_NE(levels, Bytes(16, levels[0]));

    const Bytes groups = c.Query("GINFOQV", 322);
    EXPECT_EQ(GroupInvariantError(groups), "");
    int existing = 0;
    int withInputs = 0;
    for (int g = 0; g < 16; ++g) {
        existing += groups[kOutputCount + g] > 0 ? 1 : 0;
        withInputs += groups[kInputCount + g] > 0 ? 1 : 0;
    }
    EXPECT_EQ(existing, 2);
    EXPECT_EQ(withInputs, 1);

    const Bytes presets = c.Query("PINFOQV", 1568);
    int stored = 0;
    int lastStored = 0;
    for (int p = 0; p < 16; ++p) {
        stored += presets[98 * p] != 0 ? 1 : 0;
        lastStored += presets[98 * p + 1] != 0 ? 1 : 0;
        EXPECT_EQ(GroupInvariantError(c.Query("PGINFOQV " + std::to_string(p), 322)), "");
    }
    EXPECT_EQ(stored, 3);
    EXPECT_EQ(lastStored, 1);
    // The stored presets carry group images.
    EXPECT_NE(c.Query("PGINFOQV 0", 322), EmptyGroupsLarge());
}

TEST(Demo, SeedDemoAtRunTimeWorksOnTheSmallestModel) {
    TcpPeer peer(TcpOptions(0));
    ASSERT_TRUE(peer.client);
    peer.sim->SeedDemo();
    const qvsim::SimState s = peer.sim->State();
    EXPECT_EQ(s.firmware, "2.17D");
    for (int o = 0; o < 4; ++o) {
        EXPECT_EQ(s.outputs[o].videoInput, s.committed[o].videoInput);
        EXPECT_TRUE(s.outputs[o].videoInput == 252 || s.outputs[o].videoInput < 12);
    }
    for (int o = 4; o < 16; ++o) {
        EXPECT_EQ(s.outputs[o], qvsim::OutputEntry{});
    }
    Bytes groupsSmall = peer.client->Query("GINFOQV", 130);
    ASSERT_EQ(groupsSmall.size(), 130u);
    EXPECT_NE(groupsSmall, EmptyGroupsSmall());
}

} // namespace
