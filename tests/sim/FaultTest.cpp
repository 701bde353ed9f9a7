// Fault modes, set through the library at run time or as options at start.
#include "SimTestSupport.h"

#include <algorithm>
#include <gtest/gtest.h>

using namespace qvsimtest;
using Clock = std::chrono::steady_clock;

namespace {

const Bytes kStatusBlock = {0,   0,   0, 0, 0, 0,   0,   0, '2', '.',
                            '0', '4', 0, 0, 3, 192, 168, 1, 50,  1};

class Faults : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(peer.client); }
    TcpPeer peer{TcpOptions(3)};
    WireClient& c = *peer.client;
};

TEST_F(Faults, SilentAnswersNothingButStillApplies) {
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.silent = true; });
    c.SendRaw("\rMINFOQV\rALVL 2 10\r");
    ASSERT_TRUE(peer.sim->WaitForLines(3, kWaitMs));
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.silent = false; });
    // Had anything been answered while silent, it would come before this prompt.
    c.Send("");
    EXPECT_EQ(c.Read(1), Bytes{'#'});
    EXPECT_EQ(c.Query("AINFOQV", 16)[1], 10);
}

TEST(FaultOptions, SilentFromTheStart) {
    qvsim::SimOptions o = TcpOptions(3);
    o.faults.silent = true;
    TcpPeer peer(o);
    ASSERT_TRUE(peer.client);
    peer.client->Send("");
    peer.client->Send("MINFOQV");
    ASSERT_TRUE(peer.sim->WaitForLines(2, kWaitMs));
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.silent = false; });
    EXPECT_EQ(peer.client->Query("MINFOQV", 20), kStatusBlock);
}

TEST_F(Faults, NoPromptLeavesOnlyWriteCommandsUnanswered) {
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.noPrompt = true; });
    c.Send("OMUTE 1 1");
    c.Send("NONSENSE");
    c.Send(""); // a probe is still answered, and first
    EXPECT_EQ(c.Read(1), Bytes{'#'});
    EXPECT_EQ(c.Query("MINFOQV", 20), kStatusBlock);
    EXPECT_EQ(peer.sim->State().outputs[0].muted, 1);
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.noPrompt = false; });
    c.Command("OMUTE 1 0");
}

TEST_F(Faults, ReplyDelayHoldsEveryAnswer) {
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.replyDelayMs = 150; });
    auto start = Clock::now();
    c.Send("");
    EXPECT_EQ(c.Read(1), Bytes{'#'});
    EXPECT_GE(ElapsedMs(start), 150);
    start = Clock::now();
    EXPECT_EQ(c.Query("MINFOQV", 20), kStatusBlock);
    EXPECT_GE(ElapsedMs(start), 150);
}

TEST_F(Faults, ChunksArriveInPiecesWithPauses) {
    c.Command("RTEMP 1 2 3");
    peer.sim->ChangeFaults([](qvsim::Faults& f) {
        f.chunkSize = 16;
        f.chunkPauseMs = 30;
    });
    const auto start = Clock::now();
    const Bytes outputs = c.Query("OINFOQV", 80); // 85 bytes: 6 pieces, 5 pauses
    EXPECT_GE(ElapsedMs(start), 5 * 30);
    EXPECT_EQ(outputs, Cat({Bytes{1, 2, 0, 0, 0}, Repeat(kFreeEntry, 15)}));
    const auto& sizes = c.LastReadSizes();
    EXPECT_GE(sizes.size(), 2u);
    EXPECT_LE(*std::min_element(sizes.begin(), sizes.end()), 16u);
}

TEST_F(Faults, TextBeforeSoh) {
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.textBeforeSoh = 29; });
    c.Send("MINFOQV");
    const Bytes reply = c.Read(29 + 25);
    ASSERT_EQ(reply.size(), 54u);
    for (std::size_t i = 0; i < 29; ++i) {
        EXPECT_TRUE(reply[i] >= 0x20 && reply[i] < 0x7F && reply[i] != '#') << i;
    }
    EXPECT_EQ(reply[29], 0x01);
    EXPECT_EQ(Bytes(reply.begin() + 31, reply.begin() + 51), kStatusBlock);
    EXPECT_EQ(Bytes(reply.end() - 3, reply.end()), (Bytes{0x0D, 0x0A, '#'}));

    // A huge N makes an oversized reply.
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.textBeforeSoh = 6000; });
    c.Send("MINFOQV");
    const Bytes big = c.Read(6000 + 25);
    ASSERT_EQ(big.size(), 6025u);
    EXPECT_EQ(std::count(big.begin(), big.begin() + 6000, '#'), 0);
    EXPECT_EQ(std::count(big.begin(), big.begin() + 6000, 0x01), 0);
    EXPECT_EQ(big[6000], 0x01);
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.textBeforeSoh = 0; });
    EXPECT_EQ(c.Query("MINFOQV", 20), kStatusBlock);
}

TEST(FaultNoSoh, FromTheFourthPresetGroupQueryOn) {
    TcpPeer peer(TcpOptions(3));
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    // Group images whose first payload bytes are 0x01 (one member, one output).
    c.Command("GADD 1 1 101");
    for (int p = 1; p <= 5; ++p) {
        c.Command("PRST " + std::to_string(p));
    }
    Bytes image = EmptyGroupsLarge();
    image[0] = 1;   // memberCount of group 1
    image[16] = 1;  // outputCount of group 1
    image[304] = 0; // output 1 in group 1
    peer.sim->ChangeFaults([](qvsim::Faults& f) {
        f.noSohQuery = "PGINFOQV";
        f.noSohFrom = 4;
    });
    for (int n = 0; n < 3; ++n) {
        EXPECT_EQ(c.Query("PGINFOQV " + std::to_string(n), 322), image);
    }
    for (int n = 3; n < 5; ++n) {
        c.Send("PGINFOQV " + std::to_string(n));
        const Bytes reply = c.Read(28 + 5 + 322);
        ASSERT_EQ(reply.size(), 355u);
        EXPECT_EQ(std::count(reply.begin(), reply.begin() + 30, 0x01), 0)
            << "SOH found in the search window";
        EXPECT_EQ(Bytes(reply.begin() + 30, reply.end() - 3), image);
        EXPECT_EQ(Bytes(reply.end() - 3, reply.end()), (Bytes{0x0D, 0x0A, '#'}));
    }
    EXPECT_EQ(c.Query("MINFOQV", 20).size(), 20u); // other queries are untouched
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.noSohQuery = ""; });
    EXPECT_EQ(c.Query("PGINFOQV 5", 322).size(), 322u);
}

TEST(FaultNoSoh, OptionMarksEveryReplyToTheQuery) {
    qvsim::SimOptions o = TcpOptions(3);
    o.faults.noSohQuery = "MINFOQV";
    TcpPeer peer(o);
    ASSERT_TRUE(peer.client);
    peer.client->Send("MINFOQV");
    const Bytes reply = peer.client->Read(28 + 25);
    ASSERT_EQ(reply.size(), 53u);
    EXPECT_EQ(std::count(reply.begin(), reply.begin() + 30, 0x01), 0);
    EXPECT_EQ(Bytes(reply.begin() + 30, reply.begin() + 50), kStatusBlock);
}

TEST_F(Faults, CloseAfterOnTcpCutsTheReplyAndTheConnection) {
    c.Command("RTEMP 1 2 3");
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.closeAfter = 10; });
    c.Command("TAKE 1"); // prompts are not cut
    c.Send("OINFOQV");
    const Bytes head = c.Read(10);
    ASSERT_EQ(head.size(), 10u);
    EXPECT_EQ(head[0], 0x01);
    EXPECT_EQ(Bytes(head.begin() + 2, head.end()), (Bytes{1, 2, 1, 1, 0, 252, 252, 1}));
    EXPECT_TRUE(c.WaitForEof());

    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.closeAfter = -1; });
    auto again = WireClient::Tcp(peer.sim->TcpPort());
    ASSERT_TRUE(again);
    EXPECT_EQ(again->Query("MINFOQV", 20), kStatusBlock);
}

TEST_F(Faults, SecondProbeOnly) {
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.secondProbeOnly = true; });
    c.Send("");
    ASSERT_TRUE(peer.sim->WaitForLines(1, kWaitMs));
    c.Send("");
    EXPECT_EQ(c.Read(1), Bytes{'#'});
    c.Command("TAKE 1"); // ends the run of probes
    c.SendRaw("\r\r\r");
    EXPECT_EQ(c.Read(2), (Bytes{'#', '#'}));
    EXPECT_EQ(c.Query("MINFOQV", 20), kStatusBlock); // no third '#' in between
}

TEST_F(Faults, BaudPacesOutput) {
    peer.sim->ChangeFaults([](qvsim::Faults& f) { f.baud = 1200; }); // 120 bytes per second
    const auto start = Clock::now();
    EXPECT_EQ(c.Query("MINFOQV", 20), kStatusBlock); // 25 bytes
    const long ms = ElapsedMs(start);
    EXPECT_GE(ms, 24 * 1000 / 120 - 10);
    EXPECT_LT(ms, kWaitMs);
}

TEST_F(Faults, CannedReplyReplacesTheNextAnswerOnly) {
    peer.sim->ChangeFaults([](qvsim::Faults& f) {
        f.canned["MINFOQV"] = {'x', 0x01, '#'};
        f.canned["OMUTE"] = {'o', 'k', '#'};
    });
    c.Send("MINFOQV");
    EXPECT_EQ(c.Read(3), (Bytes{'x', 0x01, '#'}));
    c.Send("OMUTE 2 1");
    EXPECT_EQ(c.Read(3), (Bytes{'o', 'k', '#'}));
    EXPECT_EQ(peer.sim->State().outputs[1].muted, 1); // still applied
    EXPECT_EQ(c.Query("MINFOQV", 20), kStatusBlock);
    c.Command("OMUTE 2 0");
}

} // namespace
