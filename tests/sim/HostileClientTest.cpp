// A simulator left running for days: what it keeps of the lines it received,
// and clients that flood it, never read, half-close or are replaced.
#include "SimTestSupport.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace qvsimtest;

namespace {

const Bytes kStatusBlock = {0,   0,   0, 0, 0, 0,   0,   0, '2', '.',
                            '0', '4', 0, 0, 3, 192, 168, 1, 50,  1};
const Bytes kStatusReply = Cat({Bytes{0x01, '0'}, kStatusBlock, Bytes{0x0D, 0x0A, '#'}});

// In these tests a client may leave 64 KiB of answers unread, and its socket
// buffers are small: a few hundred kilobytes show the limit at work.
constexpr std::size_t kTestBacklog = 64 * 1024;
constexpr int kSmallBuffers = 8 * 1024;
constexpr int kStalledMs = 300; // a send that takes nothing for this long has stalled
constexpr int kNoDropMs = 60000;

std::string Lines(const std::string& line, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) {
        out += line;
        out += '\r';
    }
    return out;
}

enum class Transport { Tcp, Pty };

void PrintTo(Transport t, std::ostream* os) {
    *os << (t == Transport::Tcp ? "Tcp" : "Pty");
}

// A simulator with the test backlog limit and one client on either transport.
struct Peer {
    Peer(Transport transport, int graceMs) {
        qvsim::SimOptions o = TcpOptions(3);
        o.backlogLimit = kTestBacklog;
        o.backlogGraceMs = graceMs;
        if (transport == Transport::Pty) {
            o.tcp = false;
            o.ptyPath = dir.filePath("qv-serial").toStdString();
        }
        sim = std::make_unique<qvsim::SimThread>(o);
        std::string error;
        if (!sim->Start(&error)) {
            ADD_FAILURE() << "simulator did not start: " << error;
            return;
        }
        client = transport == Transport::Tcp ? WireClient::Tcp(sim->TcpPort(), kSmallBuffers)
                                             : WireClient::Pty(o.ptyPath);
    }
    QTemporaryDir dir;
    std::unique_ptr<qvsim::SimThread> sim;
    std::unique_ptr<WireClient> client;
};

TEST(History, KeepsOnlyTheMostRecentLinesButCountsThemAll) {
    TcpPeer peer(TcpOptions(3));
    ASSERT_TRUE(peer.client);
    const std::size_t total = qvsim::kKeptLines + 100;
    std::vector<std::string> sent;
    std::string burst;
    for (std::size_t i = 0; i < total; ++i) {
        sent.push_back(std::string("X").append(std::to_string(i))); // malformed: answered '#'
        burst += sent.back();
        burst += '\r';
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
    peer.sim->ChangeFaults([&](qvsim::Faults& f) {
        f.replyDelayMs = t.replyDelayMs;
        f.chunkSize = t.chunk;
        f.chunkPauseMs = 10;
    });
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
                      HalfCloseCase{"CommandsOnly", "OMUTE 1 1\rTAKE 1\r", 50, 0, Bytes{'#', '#'}}),
    [](const auto& param) { return std::string(param.param.name); });

// A client that sends and never reads is no longer read from once its unsent
// answers pass the limit; when it reads again, it gets every answer.
class NotReading : public ::testing::TestWithParam<Transport> {};

TEST_P(NotReading, IsNotReadFromUntilItCatchesUpAndLosesNothing) {
    Peer peer(GetParam(), kNoDropMs);
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    const std::string flood = Lines("MINFOQV", 64 * 1024); // 512 KiB
    const std::size_t sent = c.SendWhileTaken(flood, kStalledMs);
    ASSERT_LT(sent, flood.size()) << "the simulator read everything";

    const std::size_t lines = sent / 8;
    const Bytes answers = c.Read(lines * kStatusReply.size());
    ASSERT_EQ(answers.size(), lines * kStatusReply.size());
    std::size_t whole = 0;
    for (auto at = answers.begin(); at != answers.end(); at += kStatusReply.size()) {
        whole += std::equal(kStatusReply.begin(), kStatusReply.end(), at) ? 1 : 0;
    }
    EXPECT_EQ(whole, lines);
    c.SendRaw(flood.substr(sent, 8 - sent % 8)); // ends the line cut short
    EXPECT_EQ(c.Read(kStatusReply.size()), kStatusReply);
    c.Command("");
    EXPECT_TRUE(peer.sim->WaitForLines(lines + 2, 0));
}

INSTANTIATE_TEST_SUITE_P(Transports, NotReading, ::testing::Values(Transport::Tcp, Transport::Pty),
                         [](const auto& param) {
                             return param.param == Transport::Tcp ? "Tcp" : "Pty";
                         });

TEST(Backlog, TcpClientThatStaysOverTheLimitIsDropped) {
    Peer peer(Transport::Tcp, 100);
    ASSERT_TRUE(peer.client);
    peer.client->SendWhileTaken(Lines("PINFOQV", 64 * 1024), kStalledMs);
    EXPECT_TRUE(peer.client->WaitForHangUp());
    auto next = WireClient::Tcp(peer.sim->TcpPort());
    ASSERT_TRUE(next);
    EXPECT_EQ(next->Query("MINFOQV", 20), kStatusBlock);
}

// Close-after cuts a 400 KiB reply at 300 KiB; the client never reads the
// last bytes that are to go out before the connection closes.
TEST(Backlog, CutClientThatDoesNotReadItsLastBytesIsDropped) {
    Peer peer(Transport::Tcp, 100);
    ASSERT_TRUE(peer.client);
    peer.sim->ChangeFaults([](qvsim::Faults& f) {
        f.textBeforeSoh = 400 * 1024;
        f.closeAfter = 300 * 1024;
    });
    peer.client->Send("MINFOQV");
    EXPECT_TRUE(peer.client->WaitForHangUp());
}

TEST(Backlog, PtyThatStaysOverTheLimitLosesWhatIsInFlight) {
    Peer peer(Transport::Pty, 100);
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    const std::size_t sent = 256; // 400 KB of answers
    c.SendRaw(Lines("PINFOQV", sent));
    ASSERT_TRUE(c.WaitForData());
    ASSERT_TRUE(WaitUntil([&] { return c.Unread() == 0; }));
    EXPECT_FALSE(peer.sim->WaitForLines(sent, 0)) << "every line was answered";
    c.Command("");
    EXPECT_EQ(c.Query("MINFOQV", 20), kStatusBlock);
}

// A new client replaces one with a backlog of lines and answers: it is
// answered before that backlog is worked through, of which only a bounded
// part is applied.
TEST(Backlog, NewClientIsAnsweredBeforeTheOldClientsBacklog) {
    Peer peer(Transport::Tcp, kNoDropMs);
    ASSERT_TRUE(peer.client);
    const std::size_t lines =
        peer.client->SendWhileTaken(Lines("PINFOQV", 64 * 1024), kStalledMs) / 8;
    auto next = WireClient::Tcp(peer.sim->TcpPort());
    ASSERT_TRUE(next);
    EXPECT_EQ(next->Query("MINFOQV", 20), kStatusBlock);
    EXPECT_FALSE(peer.sim->WaitForLines(lines / 2, 0)) << "of " << lines << " lines";
}

} // namespace
