// The configuration image: the 832-byte memory image that a configuration
// file is a plain dump of. It carries the routing, the audio levels, the
// grouping and the four label tables; no header, no version, no checksum.
//
//   offset  size  content
//        0     1  reserved
//        1    80  OutputStatusTable (16 records of 5 bytes)
//       81    16  AudioLevelTable
//       97   322  GroupTable (large form)
//      419     5  reserved
//      424   102  input labels:  17 slots of 6 bytes, slot 0 reserved
//      526   102  output labels: likewise
//      628   102  group labels:  likewise
//      730   102  preset labels: likewise (slot 16 ends at byte 831)
//
// Reserved bytes and the bytes after a label's terminator are never written
// by this program: they keep what the last loaded file held.
#pragma once

#include "model/DeviceState.h"
#include "model/Labels.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace qvc {

struct ConfigImage {
    static constexpr std::size_t kSize = 832;
    static constexpr std::size_t kRoutingOffset = 1;
    static constexpr std::size_t kLevelsOffset = 81;
    static constexpr std::size_t kGroupsOffset = 97;
    static constexpr std::size_t kInputLabels = 424;
    static constexpr std::size_t kOutputLabels = 526;
    static constexpr std::size_t kGroupLabels = 628;
    static constexpr std::size_t kPresetLabels = 730;
    static constexpr std::size_t kLabelTableSize = 102; // 17 slots of 6 bytes

    std::array<std::uint8_t, kSize> bytes{}; // zero-filled at creation
};

static_assert(ConfigImage::kRoutingOffset + OutputStatusTable::kSize == ConfigImage::kLevelsOffset);
static_assert(ConfigImage::kLevelsOffset + AudioLevelTable::kSize == ConfigImage::kGroupsOffset);
static_assert(ConfigImage::kPresetLabels + ConfigImage::kLabelTableSize == ConfigImage::kSize);

// One 6-byte label slot. A label of 0..6 bytes is stored as typed; a label
// shorter than 6 is followed by one zero byte, and nothing after that zero is
// written. Reading takes the bytes up to the first zero or the end of the
// slot, never beyond.
struct LabelSlot {
    static constexpr std::size_t kSize = 6;

    static std::string Read(std::span<const std::uint8_t, kSize> slot);
    // Labels longer than 6 bytes are cut to their first 6.
    static void Write(std::span<std::uint8_t, kSize> slot, std::string_view label);
};

// Offset of label slot n (1..16) of a kind: the table's base + 6n.
std::size_t LabelSlotOffset(LabelKind kind, int n);

// Label n (1..16) of a kind; numbers outside 1..16 read as empty and are not
// written (slot 0 of every table is reserved).
std::string ReadLabel(const ConfigImage& image, LabelKind kind, int n);
void WriteLabel(ConfigImage& image, LabelKind kind, int n, std::string_view label);

// Writes input labels 1..inputCount, output labels 1..outputCount and all 16
// group and preset labels into their slots; every other slot keeps its bytes.
void PackLabels(ConfigImage& image, const LabelTables& labels, int inputCount, int outputCount);
// All 16 labels of every table, as a load applies them.
LabelTables UnpackLabels(const ConfigImage& image);

// GroupTable, OutputStatusTable and AudioLevelTable into their sections.
void PackTables(ConfigImage& image, const DeviceState& state);

// The apply steps of a load: each copies one section over its table.
void UnpackGroupTable(const ConfigImage& image, GroupTable& groups);                // 322 at 97
void UnpackOutputStatusTable(const ConfigImage& image, OutputStatusTable& outputs); // 80 at 1
void UnpackAudioLevelTable(const ConfigImage& image, AudioLevelTable& levels);      // 16 at 81
// All three; nothing else in `state` changes.
void UnpackTables(const ConfigImage& image, DeviceState& state);

} // namespace qvc
