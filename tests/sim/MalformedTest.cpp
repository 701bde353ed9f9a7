// Unknown and malformed lines are answered with the prompt and change nothing.
#include "SimTestSupport.h"

#include <gtest/gtest.h>

using namespace qvsimtest;

namespace {

TEST(Malformed, AnsweredWithPromptAndChangeNothing) {
    qvsim::SimOptions o = TcpOptions(2); // 16 x 8
    o.demo = true;
    TcpPeer peer(o);
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    c.Command("RTEMP 1 9 9"); // one temporary route, so a stray TAKE would show
    const qvsim::SimState before = peer.sim->State();

    const std::vector<std::string> lines = {
        "FOO",
        "rtemp 1 1 1",
        "RTEMP 1 2",
        "RTEMP 1 2 3 4",
        "RTEMP 9 1 1", // output beyond the 8 of this model
        "RTEMP 0 1 1",
        "RTEMP 1 17 1",
        "RTEMP 1 1 -1",
        "RTEMP 1 x 1",
        "RTEMP 1 1 1x",
        "RTEMP +1 1 1",
        "RTEMP 1 102 1",
        "TAKE",
        "TAKE 2",
        "TAKE 1 1",
        "CLEAR 1",
        "OMUTE 1 2",
        "OMUTE 9 1",
        "ALVL 1 253",
        "ALVL 0 10",
        "ALVL 17 10",
        "FPLOCK 2",
        "SWITCH 4",
        "SWITCH -1",
        "FDLY 4001",
        "FDLY -1",
        "IPCONFIG 1 2 3",
        "IPCONFIG -1 168 1 50",
        "IPCONFIG 256 0 0 0",
        "RESETQV",
        "RESETQV X",
        "RESETQV R F",
        "PRST 0",
        "PRST 17",
        "PRST",
        "RPRST 1",
        "RPRST 17 1",
        "GADD 1 101 101",
        "GADD 9 1 101",
        "GADD 1 9 101",
        "GADD 1 101 17",
        "GDEL 1 0 101",
        "GCLEAR 0",
        "GCLEAR 9",
        "GCLEAR 200",
        "MINFOQV 1",
        "PGINFOQV",
        "PGINFOQV 16",
        "PGINFOQV -1",
        "PGINFOQV 1 2",
        "   ",
        "\x01\x02\x7f",
        std::string(5000, 'A'), // longer than any line the switcher takes
    };
    std::string all;
    for (const std::string& l : lines) {
        all += l + "\r";
    }
    c.SendRaw(all);
    EXPECT_EQ(c.Read(lines.size()), Bytes(lines.size(), '#'));
    EXPECT_TRUE(peer.sim->State() == before);

    // The switcher still works, and the temporary route is still there.
    c.Command("TAKE 1");
    EXPECT_EQ(peer.sim->State().committed[0], (qvsim::CommittedRoute{8, 8}));
    const std::vector<std::string> received = peer.sim->ReceivedLines();
    ASSERT_EQ(received.size(), lines.size() + 2);
    EXPECT_EQ(received[1], "FOO");
    EXPECT_EQ(received.back(), "TAKE 1");
}

} // namespace
