// Routing, take, clear, mutes, levels, settings and resets as seen in the replies.
#include "SimTestSupport.h"

#include <gtest/gtest.h>

using namespace qvsimtest;

namespace {

// The 5-byte OINFOQV record of 1-based output o.
Bytes Entry(const Bytes& outputs, int o) {
    return {outputs.begin() + 5 * (o - 1), outputs.begin() + 5 * o};
}
// The 2-byte OPINFOQV record of 1-based output o.
Bytes Committed(const Bytes& committed, int o) {
    return {committed.begin() + 2 * (o - 1), committed.begin() + 2 * o};
}

class Routing : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(peer.client); }
    Bytes Outputs() { return peer.client->Query("OINFOQV", 80); }
    Bytes CommittedRoutes() { return peer.client->Query("OPINFOQV", 32); }
    TcpPeer peer{TcpOptions(3)};
    WireClient& c = *peer.client;
};

TEST_F(Routing, TemporaryRoutesStayApartUntilTakeOne) {
    c.Command("RTEMP 2 5 5");
    c.Command("RTEMP 16 16 1");
    Bytes outputs = Outputs();
    EXPECT_EQ(Entry(outputs, 2), (Bytes{4, 4, 0, 0, 0}));
    EXPECT_EQ(Entry(outputs, 16), (Bytes{15, 0, 0, 0, 0}));
    EXPECT_EQ(Entry(outputs, 1), kFreeEntry);
    EXPECT_EQ(CommittedRoutes(), Bytes(32, 252));

    c.Command("TAKE 1");
    outputs = Outputs();
    EXPECT_EQ(Entry(outputs, 2), (Bytes{4, 4, 1, 1, 0}));
    EXPECT_EQ(Entry(outputs, 16), (Bytes{15, 0, 1, 1, 0}));
    const Bytes committed = CommittedRoutes();
    EXPECT_EQ(Committed(committed, 2), (Bytes{4, 4}));
    EXPECT_EQ(Committed(committed, 16), (Bytes{15, 0}));
    EXPECT_EQ(Committed(committed, 1), (Bytes{252, 252}));
    const qvsim::SimState s = peer.sim->State();
    EXPECT_EQ(s.committed[1], (qvsim::CommittedRoute{4, 4}));
}

TEST_F(Routing, TakeZeroReturnsToTheCommittedRoutes) {
    c.Command("RTEMP 2 5 5");
    c.Command("TAKE 1");
    c.Command("RTEMP 2 1 101"); // video only; audio keeps input 5
    c.Command("RTEMP 3 101 9"); // audio only on an unrouted output
    Bytes outputs = Outputs();
    EXPECT_EQ(Entry(outputs, 2), (Bytes{0, 4, 0, 1, 0}));
    EXPECT_EQ(Entry(outputs, 3), (Bytes{252, 8, 1, 0, 0}));
    EXPECT_EQ(Committed(CommittedRoutes(), 2), (Bytes{4, 4}));

    c.Command("TAKE 0");
    outputs = Outputs();
    EXPECT_EQ(Entry(outputs, 2), (Bytes{4, 4, 1, 1, 0}));
    EXPECT_EQ(Entry(outputs, 3), kFreeEntry);
    EXPECT_EQ(Committed(CommittedRoutes(), 3), (Bytes{252, 252}));
}

TEST_F(Routing, InputZeroDisconnectsALayerAsATemporaryRoute) {
    c.Command("RTEMP 4 3 7");
    c.Command("TAKE 1");
    c.Command("RTEMP 4 0 101");
    EXPECT_EQ(Entry(Outputs(), 4), (Bytes{252, 6, 0, 1, 0}));
    c.Command("RTEMP 4 101 0");
    EXPECT_EQ(Entry(Outputs(), 4), (Bytes{252, 252, 0, 0, 0}));
    EXPECT_EQ(Committed(CommittedRoutes(), 4), (Bytes{2, 6}));
    c.Command("TAKE 1");
    EXPECT_EQ(Entry(Outputs(), 4), kFreeEntry);
    EXPECT_EQ(Committed(CommittedRoutes(), 4), (Bytes{252, 252}));
}

TEST_F(Routing, ClearDisconnectsEverythingAndUnmutes) {
    c.Command("RTEMP 1 1 1");
    c.Command("RTEMP 9 2 3");
    c.Command("TAKE 1");
    c.Command("RTEMP 5 4 4"); // still temporary at CLEAR
    c.Command("OMUTE 9 1");
    c.Command("OMUTE 16 1");
    c.Command("CLEAR");
    EXPECT_EQ(Outputs(), Repeat(kFreeEntry, 16));
    EXPECT_EQ(CommittedRoutes(), Bytes(32, 252));
    // Nothing temporary is left for TAKE 1 to commit.
    c.Command("TAKE 1");
    EXPECT_EQ(Outputs(), Repeat(kFreeEntry, 16));
}

TEST_F(Routing, MutesAndLevelsAreReported) {
    c.Command("OMUTE 4 1");
    c.Command("RTEMP 4 2 2"); // a mute is no temporary route and survives TAKE 0
    c.Command("TAKE 0");
    EXPECT_EQ(Entry(Outputs(), 4), (Bytes{252, 252, 1, 1, 1}));
    c.Command("OMUTE 4 0");
    EXPECT_EQ(Entry(Outputs(), 4), kFreeEntry);

    c.Command("ALVL 1 0");
    c.Command("ALVL 3 201");
    c.Command("ALVL 16 252");
    EXPECT_EQ(c.Query("AINFOQV", 16), (Bytes{0, 200, 201, 200, 200, 200, 200, 200, 200, 200, 200,
                                             200, 200, 200, 200, 252}));
}

TEST(RoutingLimits, SmallModelRefusesOutputsAndInputsItLacks) {
    TcpPeer peer(TcpOptions(0)); // 12 x 4, 8 slots in replies
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    c.Command("RTEMP 5 1 1");  // output 5 does not exist
    c.Command("RTEMP 1 13 1"); // input 13 does not exist
    c.Command("ALVL 13 10");
    c.Command("OMUTE 5 1");
    c.Command("RTEMP 4 12 12");
    c.Command("TAKE 1");
    c.Command("ALVL 12 17");
    EXPECT_EQ(c.Query("OINFOQV", 40),
              Cat({Repeat(kFreeEntry, 3), Bytes{11, 11, 1, 1, 0}, Repeat(kFreeEntry, 4)}));
    EXPECT_EQ(c.Query("OPINFOQV", 16), Cat({Bytes(6, 252), Bytes{11, 11}, Bytes(8, 252)}));
    EXPECT_EQ(c.Query("AINFOQV", 12), Cat({Bytes(11, 200), Bytes{17}}));
}

TEST(Resets, ResetRestoresSavedSettingsAndDropsTemporaryRoutes) {
    qvsim::SimOptions o = TcpOptions(2);
    o.ip = {10, 1, 2, 3};
    TcpPeer peer(o);
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    c.Command("RTEMP 1 2 2");
    c.Command("TAKE 1");
    c.Command("RTEMP 2 3 3");
    c.Command("FPLOCK 1");
    c.Command("SWITCH 2");
    c.Command("FDLY 100");
    c.Command("IPCONFIG 192 168 7 7");
    c.Command("ALVL 2 50");
    c.Command("RESETQV R");
    EXPECT_EQ(c.Query("MINFOQV", 20),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, '2', '.', '0', '4', 0, 0, 2, 10, 1, 2, 3, 1}));
    const Bytes outputs = c.Query("OINFOQV", 80);
    EXPECT_EQ(Entry(outputs, 1), (Bytes{1, 1, 1, 1, 0}));
    EXPECT_EQ(Entry(outputs, 2), kFreeEntry);
    EXPECT_EQ(c.Query("AINFOQV", 16)[1], 50);
}

TEST(Resets, FactoryResetClearsEverything) {
    qvsim::SimOptions o = TcpOptions(3);
    o.demo = true;
    o.ip = {10, 9, 8, 7};
    TcpPeer peer(o);
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    c.Command("IPCONFIG 1 2 3 4");
    c.Command("FPLOCK 1");
    c.Command("RESETQV F");
    // The firmware and the model stay; the address returns to the factory one.
    EXPECT_EQ(c.Query("MINFOQV", 20),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, '2', '.', '1', '7', 'D', 0, 3, 10, 9, 8, 7, 1}));
    EXPECT_EQ(c.Query("OINFOQV", 80), Repeat(kFreeEntry, 16));
    EXPECT_EQ(c.Query("OPINFOQV", 32), Bytes(32, 252));
    EXPECT_EQ(c.Query("AINFOQV", 16), Bytes(16, 200));
    EXPECT_EQ(c.Query("GINFOQV", 322), EmptyGroupsLarge());
    EXPECT_EQ(c.Query("PGINFOQV 0", 322), EmptyGroupsLarge());
    EXPECT_EQ(c.Query("PINFOQV", 1568),
              Repeat(Cat({Bytes{0, 0}, Repeat(kFreeEntry, 16), Bytes(16, 0)}), 16));
}

} // namespace
