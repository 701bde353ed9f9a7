// The system status block, the model sizes it gives, and the reply framing.
#include "model/DeviceState.h"
#include "protocol/Framing.h"
#include "protocol/SystemStatus.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <vector>

namespace qvc {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A 16 x 8 switcher, panel locked, switch source 3, RGB delay 4000 ms,
// firmware "3.01", 192.168.1.200, audio present.
const Bytes kBlock = {0x01, 0xAA, 0xBB, 0xCC, 0x03, 0x80, 0xA0, 0x0F, '3',  '.',
                      '0',  '1',  0x00, 0x00, 0x02, 0xC0, 0xA8, 0x01, 0xC8, 0x01};

SystemStatusBlock Block(const Bytes& bytes) {
    SystemStatusBlock block;
    block.Load(bytes);
    return block;
}

TEST(SystemStatusBlock, FieldsOfABlock) {
    const auto block = Block(kBlock);
    EXPECT_EQ(block.FrontPanelLock(), 1);
    EXPECT_EQ(block.VideoSwitchSource(), 3);
    EXPECT_EQ(block.VIDelay(), -128);
    EXPECT_EQ(block.RGBDelay(), 4000);
    EXPECT_EQ(block.FirmwareVersion(), "3.01");
    EXPECT_EQ(block.ModelCode(), 2);
    EXPECT_EQ(block.IPAddress(), (std::array<std::uint8_t, 4>{192, 168, 1, 200}));
    EXPECT_EQ(block.IPAddressText(), "192.168.1.200");
    EXPECT_EQ(block.AudioPresent(), 1);
}

TEST(SystemStatusBlock, SignedFieldsAndHighAddressBytes) {
    Bytes bytes = kBlock;
    bytes[4] = 0xFF; // switch source -1: no item selected
    bytes[6] = 0xFF; // RGB delay 0xFFFF reads -1
    bytes[7] = 0xFF;
    bytes[15] = 255;
    bytes[16] = 255;
    bytes[17] = 0;
    bytes[18] = 128;
    const auto block = Block(bytes);
    EXPECT_EQ(block.VideoSwitchSource(), -1);
    EXPECT_EQ(block.RGBDelay(), -1);
    EXPECT_EQ(block.IPAddressText(), "255.255.0.128");
}

TEST(SystemStatusBlock, FirmwareWithoutNulEndsAtByte13) {
    Bytes bytes = kBlock;
    const Bytes text = {'V', '1', '2', '.', '3', '4'};
    std::copy(text.begin(), text.end(), bytes.begin() + 8);
    // Byte 14 (the model code 2) must not be read as part of the text.
    EXPECT_EQ(Block(bytes).FirmwareVersion(), "V12.34");
    bytes[8] = 0x00;
    EXPECT_EQ(Block(bytes).FirmwareVersion(), "");
}

TEST(SystemStatusBlock, ShortPayloadChangesNothing) {
    SystemStatusBlock block = Block(kBlock);
    block.Load(Bytes(19, 0x00));
    EXPECT_EQ(Bytes(block.bytes.begin(), block.bytes.end()), kBlock);
    // A longer payload: only its first 20 bytes count.
    Bytes longer(25, 0x07);
    block.Load(longer);
    EXPECT_EQ(Bytes(block.bytes.begin(), block.bytes.end()), Bytes(20, 0x07));
}

TEST(SystemStatusBlock, SettersWriteTheirBytes) {
    SystemStatusBlock block;
    block.SetFrontPanelLock(1);
    block.SetVideoSwitchSource(2);
    block.SetRGBDelay(4000);
    EXPECT_EQ(block.bytes[0], 0x01);
    EXPECT_EQ(block.bytes[4], 0x02);
    EXPECT_EQ(block.bytes[6], 0xA0);
    EXPECT_EQ(block.bytes[7], 0x0F);
    block.SetRGBDelay(-1);
    EXPECT_EQ(block.bytes[6], 0xFF);
    EXPECT_EQ(block.bytes[7], 0xFF);
}

TEST(DeviceModel, CountsForEveryModelCode) {
    struct Row {
        std::uint8_t code;
        int inputs, outputs, slots;
        const char* size;
    };
    const Row rows[] = {{0, 12, 4, 8, "12 x 4"},
                        {1, 12, 8, 8, "12 x 8"},
                        {2, 16, 8, 16, "16 x 8"},
                        {3, 16, 16, 16, "16 x 16"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.code));
        DeviceModel model;
        model.ApplyModelCode(row.code);
        EXPECT_EQ(model.InputCount, row.inputs);
        EXPECT_EQ(model.OutputCount, row.outputs);
        EXPECT_EQ(model.OutputSlots, row.slots);
        EXPECT_EQ(ModelSizeText(row.code), row.size);
    }
}

TEST(DeviceModel, UnknownCodeLeavesTheCountsAsTheyWere) {
    DeviceModel model;
    EXPECT_EQ(model.InputCount, 16);
    EXPECT_EQ(model.OutputCount, 16);
    EXPECT_EQ(model.OutputSlots, 16);
    model.ApplyModelCode(0);
    model.ApplyModelCode(7);
    EXPECT_EQ(model.InputCount, 12);
    EXPECT_EQ(model.OutputCount, 4);
    EXPECT_EQ(model.OutputSlots, 8);
    model.ApplyModelCode(4);
    model.ApplyModelCode(255);
    EXPECT_EQ(model.OutputCount, 4);
    EXPECT_EQ(ModelSizeText(7), "");
}

TEST(DeviceState, StatusPayloadSetsTheModel) {
    DeviceState state;
    ASSERT_TRUE(state.LoadStatusPayload(kBlock));
    EXPECT_EQ(state.status.bytes[14], 2);
    EXPECT_EQ(state.Inputs(), 16);
    EXPECT_EQ(state.ShownOutputs(), 8);
    EXPECT_EQ(state.model.OutputSlots, 16);
    EXPECT_TRUE(state.AudioPresent());

    Bytes unknown = kBlock;
    unknown[14] = 7;
    unknown[19] = 0;
    ASSERT_TRUE(state.LoadStatusPayload(unknown));
    EXPECT_EQ(state.ShownOutputs(), 8);
    EXPECT_FALSE(state.AudioPresent());

    // A block cut short changes nothing.
    const Bytes shortBlock(kBlock.begin(), kBlock.begin() + 19);
    EXPECT_FALSE(state.LoadStatusPayload(shortBlock));
    EXPECT_EQ(state.status.bytes[19], 0);
    EXPECT_EQ(state.status.bytes[14], 7);
}

TEST(Framing, SohIsSearchedInTheFirstThirtyBytes) {
    Bytes reply(40, 'x');
    reply[0] = kSoh;
    EXPECT_EQ(FindSoh(reply), 0u);

    reply.assign(40, 'x');
    reply[29] = kSoh;
    EXPECT_EQ(FindSoh(reply), 29u);
    EXPECT_EQ(PayloadStart(29), 31u);

    reply.assign(40, 'x');
    reply[30] = kSoh;
    EXPECT_EQ(FindSoh(reply), std::nullopt);

    // The first SOH counts, also when a payload holds more.
    reply.assign(40, 'x');
    reply[3] = kSoh;
    reply[10] = kSoh;
    EXPECT_EQ(FindSoh(reply), 3u);

    EXPECT_EQ(FindSoh(Bytes{}), std::nullopt);
    EXPECT_EQ(FindSoh(Bytes{'#'}), std::nullopt);
}

TEST(Framing, PayloadStartsTwoBytesAfterTheSoh) {
    // "OK" text, SOH at 29, one uninterpreted byte, a 3-byte payload, CR LF '#'.
    Bytes reply(27, ' ');
    reply.insert(reply.end(), {'O', 'K', 0x01, 0x7E, 0x0A, 0x0B, 0x0C, 0x0D, 0x0A, '#'});
    const auto payload = ExtractPayload(reply, 3);
    ASSERT_TRUE(payload.has_value());
    EXPECT_EQ(Bytes(payload->begin(), payload->end()), (Bytes{0x0A, 0x0B, 0x0C}));

    // Too short to hold the payload, or no SOH in the window.
    EXPECT_EQ(ExtractPayload(reply, 9), std::nullopt);
    Bytes late(30, ' ');
    late.insert(late.end(), {0x01, 0x00, 0x0A, 0x0B, 0x0C});
    EXPECT_EQ(ExtractPayload(late, 3), std::nullopt);
    const auto empty = ExtractPayload(Bytes{0x01, 0x00}, 0);
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->empty());
    EXPECT_EQ(ExtractPayload(Bytes{0x01}, 0), std::nullopt);
    EXPECT_EQ(ExtractPayload(Bytes{0x01, 0x00}, 1), std::nullopt);
}

} // namespace
} // namespace qvc
