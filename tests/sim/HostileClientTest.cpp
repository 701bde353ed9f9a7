// A simulator left running for days: what it keeps of the lines it received,
// and clients that flood it, never read, half-close or are replaced.
#include "SimTestSupport.h"

#include <gtest/gtest.h>

using namespace qvsimtest;

namespace {

const Bytes kStatusBlock = {0,   0,   0, 0, 0, 0,   0,   0, '2', '.',
                            '0', '4', 0, 0, 3, 192, 168, 1, 50,  1};
const Bytes kStatusReply = Cat({Bytes{0x01, '0'}, kStatusBlock, Bytes{0x0D, 0x0A, '#'}});

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

// A client that sends its request and shuts down its sending side (as
// `nc -N` does) still gets every answer, and then the connection closes.
struct HalfCloseCase {
    const char* name;
    std::string request;
    int replyDelayMs;
    int chunk;
    Bytes answer;
};

void PrintTo(const HalfCloseCase& c, std::ostream* os) {
    *os << c.name;
}

class HalfClose : public ::testing::TestWithParam<HalfCloseCase> {};

TEST_P(HalfClose, AnsweredBeforeTheConnectionCloses) {
    const HalfCloseCase& t = GetParam();
    TcpPeer peer(TcpOptions(3));
    ASSERT_TRUE(peer.client);
    peer.sim->SetReplyDelay(t.replyDelayMs);
    peer.sim->SetChunk(t.chunk, 10);
    peer.client->SendRaw(t.request);
    peer.client->ShutdownWrite();
    EXPECT_EQ(peer.client->Read(t.answer.size() + 1), t.answer);
    EXPECT_TRUE(peer.client->WaitForEof());
}

INSTANTIATE_TEST_SUITE_P(
    Requests, HalfClose,
    ::testing::Values(HalfCloseCase{"Query", "MINFOQV\r", 0, 0, kStatusReply},
                      HalfCloseCase{"DelayedQuery", "MINFOQV\r", 100, 0, kStatusReply},
                      HalfCloseCase{"ProbeAndChunkedQuery", "\rMINFOQV\r", 0, 8,
                                    Cat({Bytes{'#'}, kStatusReply})},
                      HalfCloseCase{"CommandsOnly", "OMUTE 1 1\rTAKE 1\r", 50, 0,
                                    Bytes{'#', '#'}}),
    [](const auto& param) { return std::string(param.param.name); });

} // namespace
