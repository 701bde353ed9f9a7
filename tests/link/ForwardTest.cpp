// DeviceLink::Forward, the raw path of the bridge's switcher port, on both
// links: a command's answer up to its prompt, a status query's framed reply
// up to the '#' after the payload (a '#' inside the payload does not end it),
// text before the SOH kept, nothing from a silent switcher, and no message.
#include "LinkFixture.h"
#include "protocol/Framing.h"

#include <gtest/gtest.h>

namespace qvc::test {
namespace {

QByteArray Q(const Bytes& b) {
    return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
}

class ForwardTest : public LinkFixture, public ::testing::WithParamInterface<bool> {
  protected:
    ForwardTest() : LinkFixture(GetParam() ? SimSpec{.tcp = true} : SimSpec{.pty = true}) {}
    void Connect() {
        if (GetParam()) {
            ConnectTcp();
        } else {
            ConnectSerial();
        }
    }
};

TEST_P(ForwardTest, ACommandGetsItsPromptAndAQueryItsFramedReply) {
    Connect();
    EXPECT_EQ(link->Forward("RTEMP 2 5 5", DeviceLink::kCommandAnswer), "#");
    EXPECT_EQ(link->Forward("", DeviceLink::kCommandAnswer), "#"); // a probe
    // The status block, its payload holding no '#'; then one that does.
    EXPECT_EQ(link->Forward("MINFOQV", 20), Q(Framed(kDemoStatusBlock)));
    const Bytes payload = Cat({B("##"), Bytes(14, 7), B("\r\n#\x01")});
    peer->SetCannedReply("AINFOQV", Framed(payload));
    EXPECT_EQ(link->Forward("AINFOQV", static_cast<int>(payload.size())), Q(Framed(payload)));
    // Text before the SOH is part of the answer; pieces are joined.
    peer->SetTextBeforeSoh(5);
    peer->SetChunk(7);
    const QByteArray levels = link->Forward("AINFOQV", 16);
    EXPECT_EQ(levels.size(), 5 + 2 + 16 + 3);
    EXPECT_EQ(levels.indexOf('\x01'), 5);
    EXPECT_TRUE(levels.endsWith("\r\n#"));
    EXPECT_EQ(peer.Lines(5), (Lines{"RTEMP 2 5 5", "", "MINFOQV", "AINFOQV", "AINFOQV"}));
    EXPECT_TRUE(prompts.Records().empty());
}

TEST_P(ForwardTest, ASilentSwitcherGivesNothingAndNoMessage) {
    Connect();
    peer->SetSilent(true);
    EXPECT_EQ(link->Forward("TAKE 1", DeviceLink::kCommandAnswer), "");
    EXPECT_EQ(link->Forward("MINFOQV", 20), "");
    EXPECT_TRUE(prompts.Records().empty());
    peer->SetSilent(false);
    EXPECT_EQ(link->Forward("TAKE 0", DeviceLink::kCommandAnswer), "#");
}

INSTANTIATE_TEST_SUITE_P(, ForwardTest, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& p) {
                             return p.param ? "Tcp" : "Serial";
                         });

} // namespace
} // namespace qvc::test
