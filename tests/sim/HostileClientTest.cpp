// A simulator left running for days: what it keeps of the lines it received,
// and clients that flood it, never read, half-close or are replaced.
#include "SimTestSupport.h"

#include <gtest/gtest.h>

using namespace qvsimtest;

namespace {

TEST(History, KeepsOnlyTheMostRecentLinesButCountsThemAll) {
    TcpPeer peer(TcpOptions(3));
    ASSERT_TRUE(peer.client);
    const std::size_t total = qvsim::kKeptLines + 100;
    std::vector<std::string> sent;
    std::string burst;
    for (std::size_t i = 0; i < total; ++i) {
        sent.push_back("X" + std::to_string(i)); // malformed: answered '#'
        burst += sent.back() + "\r";
    }
    peer.client->SendRaw(burst);
    EXPECT_EQ(peer.client->Read(total), Bytes(total, '#'));
    EXPECT_TRUE(peer.sim->WaitForLines(total, 0));
    EXPECT_EQ(peer.sim->ReceivedLines(),
              std::vector<std::string>(sent.end() - qvsim::kKeptLines, sent.end()));
    peer.sim->ClearReceivedLines();
    EXPECT_FALSE(peer.sim->WaitForLines(1, 0));
    peer.client->Command("");
    EXPECT_EQ(peer.sim->ReceivedLines(), std::vector<std::string>{""});
}

} // namespace
