// Framing, payload sizes of every query on every model, and the contents of
// the replies of a switcher fresh from start-up.
#include "SimTestSupport.h"

#include <gtest/gtest.h>

using namespace qvsimtest;

namespace {

struct ModelSizes {
    int model;
    std::size_t inputs, outputsPayload, committedPayload, presets, groups;
};

class ModelSizesTest : public ::testing::TestWithParam<ModelSizes> {};

TEST_P(ModelSizesTest, EveryQueryHasTheModelsPayloadLength) {
    const ModelSizes m = GetParam();
    TcpPeer peer(TcpOptions(m.model));
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;

    const Bytes status = c.Query("MINFOQV", 20);
    ASSERT_EQ(status.size(), 20u);
    EXPECT_EQ(status[14], m.model);
    EXPECT_EQ(c.Query("AINFOQV", m.inputs).size(), m.inputs);
    EXPECT_EQ(c.Query("OINFOQV", m.outputsPayload).size(), m.outputsPayload);
    EXPECT_EQ(c.Query("OPINFOQV", m.committedPayload).size(), m.committedPayload);
    EXPECT_EQ(c.Query("PINFOQV", m.presets).size(), m.presets);
    EXPECT_EQ(c.Query("GINFOQV", m.groups).size(), m.groups);
    for (int n = 0; n < 16; ++n) {
        EXPECT_EQ(c.Query("PGINFOQV " + std::to_string(n), m.groups).size(), m.groups);
    }
    // Nothing more follows the last reply: the next probe's '#' comes next.
    c.Send("");
    EXPECT_EQ(c.Read(1), Bytes{'#'});
}

INSTANTIATE_TEST_SUITE_P(AllModels, ModelSizesTest,
                         ::testing::Values(ModelSizes{0, 12, 40, 16, 864, 130},
                                           ModelSizes{1, 12, 40, 16, 864, 130},
                                           ModelSizes{2, 16, 80, 32, 1568, 322},
                                           ModelSizes{3, 16, 80, 32, 1568, 322}));

TEST(Framing, ProbesAndLinesAcrossReadsAndStrayLineFeeds) {
    TcpPeer peer(TcpOptions());
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    c.SendRaw("\r");
    EXPECT_EQ(c.Read(1), Bytes{'#'});
    c.SendRaw("\n\r"); // a lone LF is ignored
    EXPECT_EQ(c.Read(1), Bytes{'#'});
    c.SendRaw("RTEMP 2 ");
    ASSERT_TRUE(peer.sim->WaitForLines(2, kWaitMs));
    c.SendRaw("5 7\r\n");
    EXPECT_EQ(c.Read(1), Bytes{'#'});
    c.SendRaw("\r\r");
    EXPECT_EQ(c.Read(2), (Bytes{'#', '#'}));
    EXPECT_EQ(peer.sim->ReceivedLines(), (std::vector<std::string>{"", "", "RTEMP 2 5 7", "", ""}));
    const Bytes outputs = c.Query("OINFOQV", 80);
    ASSERT_EQ(outputs.size(), 80u);
    EXPECT_EQ(Bytes(outputs.begin() + 5, outputs.begin() + 10), (Bytes{4, 6, 0, 0, 0}));
}

TEST(Framing, StatusBlockByteByByte) {
    qvsim::SimOptions o = TcpOptions(1);
    o.firmware = "V1.2a";
    o.ip = {10, 0, 0, 7};
    o.audio = false;
    TcpPeer peer(o);
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    EXPECT_EQ(c.Query("MINFOQV", 20),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 'V', '1', '.', '2', 'a', 0, 1, 10, 0, 0, 7, 0}));

    c.Command("FPLOCK 1");
    c.Command("SWITCH 3");
    c.Command("FDLY 4000");
    c.Command("IPCONFIG 172 16 254 1");
    EXPECT_EQ(c.Query("MINFOQV", 20), (Bytes{1,   0,   0,   0, 3, 0,   0xA0, 0x0F, 'V', '1',
                                             '.', '2', 'a', 0, 1, 172, 16,   254,  1,   0}));
    c.Command("FDLY 258");
    c.Command("FPLOCK 0");
    c.Command("SWITCH 1");
    EXPECT_EQ(c.Query("MINFOQV", 20), (Bytes{0,   0,   0,   0, 1, 0,   0x02, 0x01, 'V', '1',
                                             '.', '2', 'a', 0, 1, 172, 16,   254,  1,   0}));
}

TEST(Framing, StatusBlockDefaultsAndSixCharacterFirmware) {
    TcpPeer plain(TcpOptions());
    ASSERT_TRUE(plain.client);
    EXPECT_EQ(plain.client->Query("MINFOQV", 20),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, '2', '.', '0', '4', 0, 0, 3, 192, 168, 1, 50, 1}));

    qvsim::SimOptions o = TcpOptions(2);
    o.firmware = "ABCDEF"; // fills bytes 8..13, no NUL
    TcpPeer full(o);
    ASSERT_TRUE(full.client);
    EXPECT_EQ(full.client->Query("MINFOQV", 20),
              (Bytes{0, 0, 0, 0, 0, 0, 0, 0, 'A', 'B', 'C', 'D', 'E', 'F', 2, 192, 168, 1, 50, 1}));
}

TEST(Framing, FreshSmallModelReportsStartValues) {
    TcpPeer peer(TcpOptions(0));
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    EXPECT_EQ(c.Query("AINFOQV", 12), Bytes(12, 200));
    EXPECT_EQ(c.Query("OINFOQV", 40), Repeat(kFreeEntry, 8));
    EXPECT_EQ(c.Query("OPINFOQV", 16), Bytes(16, 252));
    EXPECT_EQ(c.Query("GINFOQV", 130), EmptyGroupsSmall());
    EXPECT_EQ(c.Query("PGINFOQV 15", 130), EmptyGroupsSmall());
    // 16 empty preset records of 54 bytes: stored, lastStored, 8 entries, 12 input bytes.
    EXPECT_EQ(c.Query("PINFOQV", 864),
              Repeat(Cat({Bytes{0, 0}, Repeat(kFreeEntry, 8), Bytes(12, 0)}), 16));
}

TEST(Framing, FreshLargeModelReportsStartValues) {
    TcpPeer peer(TcpOptions(3));
    ASSERT_TRUE(peer.client);
    WireClient& c = *peer.client;
    EXPECT_EQ(c.Query("AINFOQV", 16), Bytes(16, 200));
    EXPECT_EQ(c.Query("OINFOQV", 80), Repeat(kFreeEntry, 16));
    EXPECT_EQ(c.Query("OPINFOQV", 32), Bytes(32, 252));
    EXPECT_EQ(c.Query("GINFOQV", 322), EmptyGroupsLarge());
    EXPECT_EQ(c.Query("PGINFOQV 0", 322), EmptyGroupsLarge());
    EXPECT_EQ(c.Query("PINFOQV", 1568),
              Repeat(Cat({Bytes{0, 0}, Repeat(kFreeEntry, 16), Bytes(16, 0)}), 16));
}

} // namespace
