// The configuration image: label slots, label tables and the table sections.
#include "config/ConfigImage.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace qvc {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr std::uint8_t kOld = 0xEE; // bytes an image held before

Bytes Slice(const ConfigImage& image, std::size_t from, std::size_t count) {
    return Bytes(image.bytes.begin() + static_cast<std::ptrdiff_t>(from),
                 image.bytes.begin() + static_cast<std::ptrdiff_t>(from + count));
}

ConfigImage Filled(std::uint8_t value) {
    ConfigImage image;
    image.bytes.fill(value);
    return image;
}

TEST(LabelSlot, WriteStoresTheLabelAndOneTerminatorOnly) {
    std::array<std::uint8_t, 6> slot;
    slot.fill(kOld);
    LabelSlot::Write(slot, "AB");
    EXPECT_EQ(slot, (std::array<std::uint8_t, 6>{'A', 'B', 0, kOld, kOld, kOld}));

    LabelSlot::Write(slot, "Cam 12");
    EXPECT_EQ(slot, (std::array<std::uint8_t, 6>{'C', 'a', 'm', ' ', '1', '2'}));

    slot.fill(kOld);
    LabelSlot::Write(slot, "");
    EXPECT_EQ(slot, (std::array<std::uint8_t, 6>{0, kOld, kOld, kOld, kOld, kOld}));

    LabelSlot::Write(slot, "Projector"); // cut to six
    EXPECT_EQ(slot, (std::array<std::uint8_t, 6>{'P', 'r', 'o', 'j', 'e', 'c'}));

    LabelSlot::Write(slot, "\xE9t\xE9"); // 8-bit text as typed
    EXPECT_EQ(slot, (std::array<std::uint8_t, 6>{0xE9, 't', 0xE9, 0, 'e', 'c'}));
}

TEST(LabelSlot, ReadStopsAtTheTerminatorOrTheEndOfTheSlot) {
    const std::array<std::uint8_t, 6> shortLabel = {'A', 'B', 0, 'Z', 'Z', 'Z'};
    EXPECT_EQ(LabelSlot::Read(shortLabel), "AB");
    const std::array<std::uint8_t, 6> empty = {0, 'Z', 'Z', 'Z', 'Z', 'Z'};
    EXPECT_EQ(LabelSlot::Read(empty), "");
    // Six characters and no terminator: the next slot is not read.
    const std::array<std::uint8_t, 12> twoSlots = {'L', 'O', 'B', 'B', 'Y', '1',
                                                   'X', 'Y', 0,   0,   0,   0};
    EXPECT_EQ(LabelSlot::Read(std::span<const std::uint8_t, 6>(twoSlots.data(), 6)), "LOBBY1");
}

TEST(ConfigImage, LabelSlotsLieAtTheirOffsets) {
    EXPECT_EQ(LabelSlotOffset(LabelKind::Input, 1), 430u);
    EXPECT_EQ(LabelSlotOffset(LabelKind::Input, 16), 520u);
    EXPECT_EQ(LabelSlotOffset(LabelKind::Output, 1), 532u);
    EXPECT_EQ(LabelSlotOffset(LabelKind::Group, 1), 634u);
    EXPECT_EQ(LabelSlotOffset(LabelKind::Preset, 1), 736u);
    EXPECT_EQ(LabelSlotOffset(LabelKind::Preset, 16), 826u);

    ConfigImage image = Filled(kOld);
    WriteLabel(image, LabelKind::Input, 1, "In 1");
    WriteLabel(image, LabelKind::Output, 16, "Out16");
    WriteLabel(image, LabelKind::Group, 3, "G3");
    WriteLabel(image, LabelKind::Preset, 16, "PRESET");
    Bytes expected(832, kOld);
    const auto put = [&](std::size_t at, Bytes bytes) {
        std::copy(bytes.begin(), bytes.end(), expected.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put(430, {'I', 'n', ' ', '1', 0});
    put(622, {'O', 'u', 't', '1', '6', 0});
    put(646, {'G', '3', 0});
    put(826, {'P', 'R', 'E', 'S', 'E', 'T'}); // ends at byte 831
    EXPECT_EQ(Bytes(image.bytes.begin(), image.bytes.end()), expected);

    EXPECT_EQ(ReadLabel(image, LabelKind::Preset, 16), "PRESET");
    EXPECT_EQ(ReadLabel(image, LabelKind::Output, 16), "Out16");
    EXPECT_EQ(ReadLabel(image, LabelKind::Group, 3), "G3");
}

TEST(ConfigImage, ReservedSlotZeroAndNumbersBeyondSixteenAreNeverWritten) {
    ConfigImage image = Filled(kOld);
    for (auto kind : {LabelKind::Input, LabelKind::Output, LabelKind::Group, LabelKind::Preset}) {
        WriteLabel(image, kind, 0, "zero");
        WriteLabel(image, kind, 17, "beyond");
        WriteLabel(image, kind, -1, "minus");
        EXPECT_EQ(ReadLabel(image, kind, 0), "");
        EXPECT_EQ(ReadLabel(image, kind, 17), "");
    }
    EXPECT_EQ(Bytes(image.bytes.begin(), image.bytes.end()), Bytes(832, kOld));
}

TEST(ConfigImage, SixCharacterLabelDoesNotLeakIntoTheNextSlot) {
    ConfigImage image;
    WriteLabel(image, LabelKind::Input, 4, "ABCDEF");
    WriteLabel(image, LabelKind::Input, 5, "xy");
    WriteLabel(image, LabelKind::Group, 16, "GROUPS"); // followed by preset slot 0
    WriteLabel(image, LabelKind::Preset, 1, "p1");
    EXPECT_EQ(ReadLabel(image, LabelKind::Input, 4), "ABCDEF");
    EXPECT_EQ(ReadLabel(image, LabelKind::Input, 5), "xy");
    EXPECT_EQ(ReadLabel(image, LabelKind::Group, 16), "GROUPS");
    EXPECT_EQ(Slice(image, 448, 12), (Bytes{'A', 'B', 'C', 'D', 'E', 'F', 'x', 'y', 0, 0, 0, 0}));
}

TEST(PackLabels, DefaultsIntoAFreshImage) {
    ConfigImage image = Filled(kOld);
    PackLabels(image, DefaultLabels(), 16, 16);
    for (std::size_t base : {424u, 526u, 628u, 730u}) {
        SCOPED_TRACE(base);
        EXPECT_EQ(Slice(image, base, 6), Bytes(6, kOld)); // slot 0 reserved
        EXPECT_EQ(Slice(image, base + 6, 6), (Bytes{'1', 0, kOld, kOld, kOld, kOld}));
        EXPECT_EQ(Slice(image, base + 54, 6), (Bytes{'9', 0, kOld, kOld, kOld, kOld}));
        EXPECT_EQ(Slice(image, base + 60, 6), (Bytes{'1', '0', 0, kOld, kOld, kOld}));
        EXPECT_EQ(Slice(image, base + 96, 6), (Bytes{'1', '6', 0, kOld, kOld, kOld}));
    }
    EXPECT_EQ(Slice(image, 0, 424), Bytes(424, kOld));
}

TEST(PackLabels, TwelveByFourWritesInputs1To12AndOutputs1To4Only) {
    ConfigImage image;
    PackLabels(image, DefaultLabels(), 16, 16);
    LabelTables labels;
    for (int n = 1; n <= 16; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        labels.inputs[i] = "in" + std::to_string(n);
        labels.outputs[i] = "out" + std::to_string(n);
        labels.groups[i] = "grp" + std::to_string(n);
        labels.presets[i] = "pre" + std::to_string(n);
    }
    PackLabels(image, labels, 12, 4);
    EXPECT_EQ(ReadLabel(image, LabelKind::Input, 12), "in12");
    EXPECT_EQ(ReadLabel(image, LabelKind::Input, 13), "13");
    EXPECT_EQ(ReadLabel(image, LabelKind::Input, 16), "16");
    EXPECT_EQ(ReadLabel(image, LabelKind::Output, 4), "out4");
    EXPECT_EQ(ReadLabel(image, LabelKind::Output, 5), "5");
    EXPECT_EQ(ReadLabel(image, LabelKind::Output, 16), "16");
    EXPECT_EQ(ReadLabel(image, LabelKind::Group, 16), "grp16");
    EXPECT_EQ(ReadLabel(image, LabelKind::Preset, 16), "pre16");
    // Input slot 13 holds "13", its terminator and the zeros it was created with.
    EXPECT_EQ(Slice(image, 424 + 6 * 13, 6), (Bytes{'1', '3', 0, 0, 0, 0}));

    const LabelTables back = UnpackLabels(image);
    EXPECT_EQ(back.inputs[0], "in1");
    EXPECT_EQ(back.inputs[12], "13");
    EXPECT_EQ(back.outputs[3], "out4");
    EXPECT_EQ(back.outputs[4], "5");
    EXPECT_EQ(back.groups, labels.groups);
    EXPECT_EQ(back.presets, labels.presets);
}

TEST(ConfigTables, PackCopiesRoutingLevelsAndGroupingToTheirSections) {
    DeviceState state;
    for (std::size_t i = 0; i < 80; ++i) {
        state.outputs.bytes[i] = static_cast<std::uint8_t>(i + 1);
    }
    for (std::size_t i = 0; i < 16; ++i) {
        state.levels.bytes[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    for (std::size_t i = 0; i < 322; ++i) {
        state.groups.bytes[i] = static_cast<std::uint8_t>(i % 200);
    }
    state.prevOutputs.bytes.fill(0x33);
    ConfigImage image = Filled(kOld);
    PackTables(image, state);

    EXPECT_EQ(image.bytes[0], kOld);
    EXPECT_EQ(Slice(image, 1, 5), (Bytes{1, 2, 3, 4, 5}));
    EXPECT_EQ(image.bytes[80], 80);
    EXPECT_EQ(Slice(image, 81, 16), (Bytes{0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6, 0xA7, 0xA8,
                                           0xA9, 0xAA, 0xAB, 0xAC, 0xAD, 0xAE, 0xAF}));
    EXPECT_EQ(image.bytes[97], 0);
    EXPECT_EQ(image.bytes[97 + 199], 199);
    EXPECT_EQ(image.bytes[97 + 200], 0);
    EXPECT_EQ(image.bytes[418], 121);
    EXPECT_EQ(Slice(image, 419, 832 - 419), Bytes(832 - 419, kOld));
}

TEST(ConfigTables, UnpackCopiesTheSectionsAndNothingElse) {
    ConfigImage image;
    for (std::size_t i = 0; i < 832; ++i) {
        image.bytes[i] = static_cast<std::uint8_t>(i * 3);
    }
    DeviceState state;
    UnpackTables(image, state);
    EXPECT_EQ(state.outputs.bytes[0], 3);    // image byte 1
    EXPECT_EQ(state.outputs.bytes[79], 240); // image byte 80
    EXPECT_EQ(state.levels.bytes[0], 243);   // image byte 81
    EXPECT_EQ(state.levels.bytes[15], 32);   // image byte 96: 288 mod 256
    EXPECT_EQ(state.groups.bytes[0], 35);    // image byte 97: 291 mod 256
    EXPECT_EQ(state.groups.bytes[321], 230); // image byte 418: 1254 mod 256
    DeviceState fresh;
    EXPECT_EQ(state.prevOutputs.bytes, fresh.prevOutputs.bytes);
    EXPECT_EQ(state.presets.bytes, fresh.presets.bytes);
    EXPECT_EQ(state.status.bytes, fresh.status.bytes);
}

TEST(ConfigTables, AllZeroImageGivesEmptyLabelsAndZeroTables) {
    const ConfigImage image;
    DeviceState state;
    UnpackOutputStatusTable(image, state.outputs);
    UnpackAudioLevelTable(image, state.levels);
    UnpackGroupTable(image, state.groups);
    EXPECT_EQ(state.outputs.bytes, (std::array<std::uint8_t, 80>{}));
    EXPECT_EQ(state.levels.bytes, (std::array<std::uint8_t, 16>{}));
    EXPECT_EQ(state.groups.bytes, (std::array<std::uint8_t, 322>{}));
    const LabelTables labels = UnpackLabels(image);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(labels.inputs[static_cast<std::size_t>(i)], "");
        EXPECT_EQ(labels.presets[static_cast<std::size_t>(i)], "");
    }
}

} // namespace
} // namespace qvc
