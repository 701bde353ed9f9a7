#include "ConfigImage.h"

#include <algorithm>

namespace qvc {

namespace {

std::size_t LabelTableBase(LabelKind kind) {
    switch (kind) {
    case LabelKind::Input:
        return ConfigImage::kInputLabels;
    case LabelKind::Output:
        return ConfigImage::kOutputLabels;
    case LabelKind::Group:
        return ConfigImage::kGroupLabels;
    case LabelKind::Preset:
        return ConfigImage::kPresetLabels;
    }
    return ConfigImage::kInputLabels;
}

bool IsLabelNumber(int n) {
    return n >= 1 && n <= kLabelsPerKind;
}

int ClampCount(int count) {
    return std::clamp(count, 0, kLabelsPerKind);
}

template <std::size_t N>
void CopyIn(ConfigImage& image, std::size_t offset, const std::array<std::uint8_t, N>& table) {
    std::copy(table.begin(), table.end(),
              image.bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

template <std::size_t N>
void CopyOut(const ConfigImage& image, std::size_t offset, std::array<std::uint8_t, N>& table) {
    std::copy_n(image.bytes.begin() + static_cast<std::ptrdiff_t>(offset), N, table.begin());
}

} // namespace

std::string LabelSlot::Read(std::span<const std::uint8_t, kSize> slot) {
    const auto end = std::find(slot.begin(), slot.end(), std::uint8_t{0});
    return std::string(slot.begin(), end);
}

void LabelSlot::Write(std::span<std::uint8_t, kSize> slot, std::string_view label) {
    const std::size_t length = std::min(label.size(), kSize);
    std::transform(label.begin(), label.begin() + static_cast<std::ptrdiff_t>(length), slot.begin(),
                   [](char c) { return static_cast<std::uint8_t>(c); });
    if (length < kSize) {
        slot[length] = 0;
    }
}

std::size_t LabelSlotOffset(LabelKind kind, int n) {
    return LabelTableBase(kind) + LabelSlot::kSize * static_cast<std::size_t>(n);
}

std::string ReadLabel(const ConfigImage& image, LabelKind kind, int n) {
    if (!IsLabelNumber(n)) {
        return {};
    }
    return LabelSlot::Read(std::span<const std::uint8_t, LabelSlot::kSize>(
        image.bytes.data() + LabelSlotOffset(kind, n), LabelSlot::kSize));
}

void WriteLabel(ConfigImage& image, LabelKind kind, int n, std::string_view label) {
    if (!IsLabelNumber(n)) {
        return;
    }
    LabelSlot::Write(std::span<std::uint8_t, LabelSlot::kSize>(
                         image.bytes.data() + LabelSlotOffset(kind, n), LabelSlot::kSize),
                     label);
}

void PackLabels(ConfigImage& image, const LabelTables& labels, int inputCount, int outputCount) {
    const auto pack = [&](LabelKind kind, int count) {
        for (int n = 1; n <= count; ++n) {
            WriteLabel(image, kind, n, labels.Of(kind)[static_cast<std::size_t>(n - 1)]);
        }
    };
    pack(LabelKind::Input, ClampCount(inputCount));
    pack(LabelKind::Output, ClampCount(outputCount));
    pack(LabelKind::Group, kLabelsPerKind);
    pack(LabelKind::Preset, kLabelsPerKind);
}

LabelTables UnpackLabels(const ConfigImage& image) {
    LabelTables labels;
    for (auto kind : {LabelKind::Input, LabelKind::Output, LabelKind::Group, LabelKind::Preset}) {
        for (int n = 1; n <= kLabelsPerKind; ++n) {
            labels.Of(kind)[static_cast<std::size_t>(n - 1)] = ReadLabel(image, kind, n);
        }
    }
    return labels;
}

void PackTables(ConfigImage& image, const DeviceState& state) {
    CopyIn(image, ConfigImage::kGroupsOffset, state.groups.bytes);
    CopyIn(image, ConfigImage::kRoutingOffset, state.outputs.bytes);
    CopyIn(image, ConfigImage::kLevelsOffset, state.levels.bytes);
}

void UnpackGroupTable(const ConfigImage& image, GroupTable& groups) {
    CopyOut(image, ConfigImage::kGroupsOffset, groups.bytes);
}

void UnpackOutputStatusTable(const ConfigImage& image, OutputStatusTable& outputs) {
    CopyOut(image, ConfigImage::kRoutingOffset, outputs.bytes);
}

void UnpackAudioLevelTable(const ConfigImage& image, AudioLevelTable& levels) {
    CopyOut(image, ConfigImage::kLevelsOffset, levels.bytes);
}

void UnpackTables(const ConfigImage& image, DeviceState& state) {
    UnpackGroupTable(image, state.groups);
    UnpackOutputStatusTable(image, state.outputs);
    UnpackAudioLevelTable(image, state.levels);
}

} // namespace qvc
