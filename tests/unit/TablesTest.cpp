// Start values of the state tables and the copies of reply payloads into
// them, in both the small and the large wire forms.
#include "protocol/Tables.h"

#include <gtest/gtest.h>
#include <initializer_list>
#include <vector>

namespace qvc {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Literal pieces joined into one byte vector.
Bytes Join(std::initializer_list<Bytes> pieces) {
    Bytes out;
    for (const auto& piece : pieces) {
        out.insert(out.end(), piece.begin(), piece.end());
    }
    return out;
}

Bytes Fill(std::size_t count, std::uint8_t value) {
    return Bytes(count, value);
}

template <std::size_t N> Bytes AsBytes(const std::array<std::uint8_t, N>& a) {
    return Bytes(a.begin(), a.end());
}

constexpr std::uint8_t kOld = 0x5A; // what a table held before a copy

TEST(StartValues, RoutingLevelsAndGrouping) {
    const Bytes entry = {0xFC, 0xFC, 0x01, 0x01, 0x00};
    Bytes routes;
    for (int o = 0; o < 16; ++o) {
        routes.insert(routes.end(), entry.begin(), entry.end());
    }
    EXPECT_EQ(AsBytes(OutputStatusTable::Initial().bytes), routes);
    EXPECT_EQ(AsBytes(PrevOutputStatusTable::Initial().bytes), Fill(32, 0xFC));
    EXPECT_EQ(AsBytes(AudioLevelTable::Initial().bytes), Fill(16, 200));

    const Bytes groups = Join({Fill(48, 0x00), Fill(256, 0xFC), Fill(16, 0xFC), Fill(2, 0x00)});
    EXPECT_EQ(AsBytes(GroupTable::Initial().bytes), groups);
}

TEST(StartValues, PresetsAreEmptyWithEmptyRoutesAndNoGroups) {
    const auto presets = PresetTable::Initial();
    const Bytes entry = {0xFC, 0xFC, 0x01, 0x01, 0x00};
    Bytes record = {0x00, 0x00};
    for (int o = 0; o < 16; ++o) {
        record.insert(record.end(), entry.begin(), entry.end());
    }
    record.insert(record.end(), 16, 0x00);
    ASSERT_EQ(record.size(), 98u);
    for (int p = 0; p < 16; ++p) {
        const Bytes actual(presets.bytes.begin() + 98 * p, presets.bytes.begin() + 98 * (p + 1));
        EXPECT_EQ(actual, record) << "preset " << p + 1;
        EXPECT_EQ(PresetIsStored(presets, p + 1), 0);
    }
    const Bytes groups = Join({Fill(48, 0x00), Fill(272, 0xFC), Fill(2, 0x00)});
    for (const auto& image : PresetGroupTable::Initial().images) {
        EXPECT_EQ(AsBytes(image.bytes), groups);
    }
}

// Small GINFOQV payload: group 1 holds output 2 and input 12, trailer 12 34.
Bytes SmallGroupPayload() {
    return Join({
        {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // memberCount, groups 1..8
        {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // outputCount
        {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, // inputCount
        {0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0x00}, // row 1
        Fill(7 * 12, 0xFC),                                                       // rows 2..8
        {0xFC, 0x00, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC}, // outputGroup, outputs 1..8
        {0x12, 0x34},                                     // trailer
    });
}

TEST(GroupPayload, SmallFormFillsOnlyWhatItCarries) {
    const Bytes payload = SmallGroupPayload();
    ASSERT_EQ(payload.size(), 130u);
    GroupTable table;
    table.bytes.fill(kOld);
    ASSERT_TRUE(LoadGroupPayload(payload, false, table));

    const Bytes row1 = Join({Fill(11, 0xFC), {0x00}, Fill(4, kOld)});
    const Bytes otherRow = Join({Fill(12, 0xFC), Fill(4, kOld)});
    Bytes expected = Join({
        {0x02, 0, 0, 0, 0, 0, 0, 0},
        Fill(8, kOld), // memberCount: groups 9..16 kept
        {0x01, 0, 0, 0, 0, 0, 0, 0},
        Fill(8, kOld), // outputCount
        {0x01, 0, 0, 0, 0, 0, 0, 0},
        Fill(8, kOld), // inputCount
        row1,
    });
    for (int row = 1; row < 8; ++row) {
        expected.insert(expected.end(), otherRow.begin(), otherRow.end());
    }
    expected = Join({expected,
                     Fill(8 * 16, kOld),                               // rows of groups 9..16
                     {0xFC, 0x00, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC, 0xFC}, // outputs 1..8
                     Fill(8, kOld),                                    // outputs 9..16
                     {0x12, 0x34}});
    ASSERT_EQ(expected.size(), 322u);
    EXPECT_EQ(AsBytes(table.bytes), expected);

    // Output 2 and input 12 are members of group 1.
    EXPECT_EQ(table.outputGroup(1), 0);
    EXPECT_EQ(table.inputMember(0, 11), 0);
    EXPECT_EQ(table.memberCount(0), 2);
    EXPECT_EQ(table.outputCount(0), 1);
    EXPECT_EQ(table.inputCount(0), 1);
}

TEST(GroupPayload, LargeFormIsCopiedWhole) {
    Bytes payload(322);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    payload[16 + 4] = 0xFF;            // outputCount of group 5: -1, a signed byte
    payload[304 + 15] = 0x0E;          // output 16 in group 15
    payload[48 + 16 * 15 + 15] = 0x0F; // input 16 in group 16
    GroupTable table = GroupTable::Initial();
    ASSERT_TRUE(LoadGroupPayload(payload, true, table));
    EXPECT_EQ(AsBytes(table.bytes), payload);
    EXPECT_EQ(table.outputCount(4), -1);
    EXPECT_EQ(table.outputGroup(15), 14);
    EXPECT_EQ(table.inputMember(15, 15), 15);
}

TEST(GroupPayload, ShortPayloadIsRefusedAndChangesNothing) {
    GroupTable table;
    table.bytes.fill(kOld);
    EXPECT_FALSE(LoadGroupPayload(Fill(321, 0x00), true, table));
    EXPECT_FALSE(LoadGroupPayload(Fill(129, 0x00), false, table));
    EXPECT_EQ(AsBytes(table.bytes), Fill(322, kOld));

    PresetGroupTable images = PresetGroupTable::Initial();
    EXPECT_FALSE(LoadPresetGroupPayload(16, SmallGroupPayload(), false, images));
    EXPECT_FALSE(LoadPresetGroupPayload(-1, SmallGroupPayload(), false, images));
}

TEST(PresetGroupPayload, FillsImageNOnly) {
    PresetGroupTable images = PresetGroupTable::Initial();
    ASSERT_TRUE(LoadPresetGroupPayload(3, SmallGroupPayload(), false, images));
    const auto& image = images.images[3];
    EXPECT_EQ(image.outputGroup(1), 0);
    EXPECT_EQ(image.inputMember(0, 11), 0);
    EXPECT_EQ(image.bytes[320], 0x12);
    EXPECT_EQ(image.bytes[321], 0x34);
    // Bytes the small form does not carry keep the start values.
    EXPECT_EQ(image.outputGroup(8), 0xFC);
    EXPECT_EQ(image.inputMember(0, 12), 0xFC);
    EXPECT_EQ(image.memberCount(8), 0);
    for (int n : {0, 2, 4, 15}) {
        EXPECT_EQ(AsBytes(images.images[static_cast<std::size_t>(n)].bytes),
                  AsBytes(GroupTable::Initial().bytes));
    }
}

// One small PINFOQV record: stored, lastStored, 8 route entries, 12 inputs.
Bytes SmallPresetRecord(std::uint8_t stored, std::uint8_t tag) {
    Bytes record = {stored, 0x01};
    for (std::uint8_t slot = 0; slot < 8; ++slot) {
        record.insert(record.end(), {slot, static_cast<std::uint8_t>(slot + 1), 0x01, 0x00, tag});
    }
    for (std::uint8_t input = 0; input < 12; ++input) {
        record.push_back(static_cast<std::uint8_t>(0xB0 + input));
    }
    return record;
}

TEST(PresetPayload, SmallFormCopiesSlots1To8AndInputs1To12) {
    Bytes payload;
    for (int p = 0; p < 16; ++p) {
        const Bytes record =
            SmallPresetRecord(p == 1 ? 0x02 : 0x00, static_cast<std::uint8_t>(0x40 + p));
        payload.insert(payload.end(), record.begin(), record.end());
    }
    ASSERT_EQ(payload.size(), 864u);
    PresetTable table;
    table.bytes.fill(kOld);
    ASSERT_TRUE(LoadPresetPayload(payload, false, table));

    // Preset 2, written out: flags, slots 1..8, slots 9..16 kept, inputs 1..12,
    // inputs 13..16 kept.
    const Bytes expected2 = Join({
        {0x02, 0x01},
        {0, 1, 1, 0, 0x41, 1, 2, 1, 0, 0x41, 2, 3, 1, 0, 0x41, 3, 4, 1, 0, 0x41,
         4, 5, 1, 0, 0x41, 5, 6, 1, 0, 0x41, 6, 7, 1, 0, 0x41, 7, 8, 1, 0, 0x41},
        Fill(40, kOld),
        {0xB0, 0xB1, 0xB2, 0xB3, 0xB4, 0xB5, 0xB6, 0xB7, 0xB8, 0xB9, 0xBA, 0xBB},
        Fill(4, kOld),
    });
    ASSERT_EQ(expected2.size(), 98u);
    EXPECT_EQ(Bytes(table.bytes.begin() + 98, table.bytes.begin() + 196), expected2);

    // Every record lands at 98 x p: its mute byte of slot 1 carries the tag.
    for (int p = 0; p < 16; ++p) {
        EXPECT_EQ(table.bytes[98 * p + 2 + 4], 0x40 + p) << "preset " << p + 1;
        EXPECT_EQ(table.bytes[98 * p + 42], kOld);
        EXPECT_EQ(table.bytes[98 * p + 97], kOld);
    }
    EXPECT_EQ(PresetIsStored(table, 2), 1); // stored byte 2 counts as stored
    EXPECT_EQ(PresetIsStored(table, 1), 0);
    EXPECT_EQ(PresetIsStored(table, 16), 0);
}

TEST(PresetPayload, LargeFormIsCopiedWhole) {
    Bytes payload(1568);
    for (std::size_t i = 0; i < payload.size(); ++i) {
        payload[i] = static_cast<std::uint8_t>(i % 253);
    }
    payload[98 * 15] = 0x01; // preset 16 stored
    payload[98 * 3] = 0x00;  // preset 4 empty
    PresetTable table = PresetTable::Initial();
    ASSERT_TRUE(LoadPresetPayload(payload, true, table));
    EXPECT_EQ(AsBytes(table.bytes), payload);
    EXPECT_EQ(PresetIsStored(table, 16), 1);
    EXPECT_EQ(PresetIsStored(table, 4), 0);
    EXPECT_EQ(table.routeImage(1)[0], payload[98 + 2]);
    EXPECT_EQ(table.routeImage(1)[79], payload[98 + 81]);
}

TEST(PresetPayload, ShortPayloadOrBadNumberChangesNothing) {
    PresetTable table;
    table.bytes.fill(kOld);
    EXPECT_FALSE(LoadPresetPayload(Fill(1567, 0x01), true, table));
    EXPECT_FALSE(LoadPresetPayload(Fill(863, 0x01), false, table));
    EXPECT_EQ(AsBytes(table.bytes), Fill(1568, kOld));
    EXPECT_EQ(PresetIsStored(table, 0), 0);
    EXPECT_EQ(PresetIsStored(table, 17), 0);
    EXPECT_EQ(PresetIsStored(table, 1), 1); // 0x5A is non-zero
}

TEST(RoutingPayloads, TwelveByFourFillsEightSlotsAndKeepsTheRest) {
    Bytes payload;
    for (std::uint8_t slot = 0; slot < 8; ++slot) {
        payload.insert(payload.end(), {slot, 0xFC, 0x00, 0x01, 0x02});
    }
    OutputStatusTable outputs = OutputStatusTable::Initial();
    ASSERT_TRUE(LoadOutputStatusPayload(payload, 8, outputs));
    const Bytes expected = Join(
        {{0, 0xFC, 0, 1, 2, 1, 0xFC, 0, 1, 2, 2, 0xFC, 0, 1, 2, 3, 0xFC, 0, 1, 2,
          4, 0xFC, 0, 1, 2, 5, 0xFC, 0, 1, 2, 6, 0xFC, 0, 1, 2, 7, 0xFC, 0, 1, 2},
         {0xFC, 0xFC, 1, 1, 0, 0xFC, 0xFC, 1, 1, 0, 0xFC, 0xFC, 1, 1, 0, 0xFC, 0xFC, 1, 1, 0,
          0xFC, 0xFC, 1, 1, 0, 0xFC, 0xFC, 1, 1, 0, 0xFC, 0xFC, 1, 1, 0, 0xFC, 0xFC, 1, 1, 0}});
    EXPECT_EQ(AsBytes(outputs.bytes), expected);
    EXPECT_EQ(outputs.videoInput(7), 7);
    EXPECT_EQ(outputs.muted(7), 2);

    PrevOutputStatusTable prev = PrevOutputStatusTable::Initial();
    const Bytes prevPayload = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    ASSERT_TRUE(LoadPrevOutputStatusPayload(prevPayload, 8, prev));
    EXPECT_EQ(AsBytes(prev.bytes), Join({prevPayload, Fill(16, 0xFC)}));
    EXPECT_EQ(prev.audioInput(7), 15);

    AudioLevelTable levels = AudioLevelTable::Initial();
    const Bytes levelPayload = {0, 1, 2, 3, 252, 251, 250, 100, 101, 102, 103, 7};
    ASSERT_TRUE(LoadAudioPayload(levelPayload, 12, levels));
    EXPECT_EQ(AsBytes(levels.bytes), Join({levelPayload, Fill(4, 200)}));
}

TEST(RoutingPayloads, ShortPayloadsAreRefused) {
    OutputStatusTable outputs = OutputStatusTable::Initial();
    EXPECT_FALSE(LoadOutputStatusPayload(Fill(79, 0), 16, outputs));
    EXPECT_FALSE(LoadOutputStatusPayload(Fill(200, 0), 17, outputs));
    EXPECT_EQ(AsBytes(outputs.bytes), AsBytes(OutputStatusTable::Initial().bytes));
    PrevOutputStatusTable prev = PrevOutputStatusTable::Initial();
    EXPECT_FALSE(LoadPrevOutputStatusPayload(Fill(15, 0), 8, prev));
    EXPECT_EQ(AsBytes(prev.bytes), Fill(32, 0xFC));
    AudioLevelTable levels = AudioLevelTable::Initial();
    EXPECT_FALSE(LoadAudioPayload(Fill(11, 0), 12, levels));
    EXPECT_FALSE(LoadAudioPayload(Fill(20, 0), -1, levels));
    EXPECT_EQ(AsBytes(levels.bytes), Fill(16, 200));
}

} // namespace
} // namespace qvc
