#include "Tables.h"

#include <algorithm>

namespace qvc {

OutputStatusTable OutputStatusTable::Initial() {
    OutputStatusTable t;
    for (int o = 0; o < kMaxOutputs; ++o) {
        t.videoInput(o) = NoInput;
        t.audioInput(o) = NoInput;
        t.videoTaken(o) = 1;
        t.audioTaken(o) = 1;
        t.muted(o) = 0;
    }
    return t;
}

PrevOutputStatusTable PrevOutputStatusTable::Initial() {
    PrevOutputStatusTable t;
    t.bytes.fill(NoInput);
    return t;
}

AudioLevelTable AudioLevelTable::Initial() {
    AudioLevelTable t;
    t.bytes.fill(kStartLevel);
    return t;
}

GroupTable GroupTable::Initial() {
    GroupTable t; // counts and trailer 0
    std::fill_n(t.bytes.begin() + kInputMember, 16 * 16, NoGroup);
    std::fill_n(t.bytes.begin() + kOutputGroup, 16, NoGroup);
    return t;
}

bool LoadGroupPayload(std::span<const std::uint8_t> payload, bool largeForm, GroupTable& dest) {
    if (largeForm) {
        if (payload.size() < GroupTable::kSize) {
            return false;
        }
        std::copy_n(payload.begin(), GroupTable::kSize, dest.bytes.begin());
        return true;
    }
    if (payload.size() < GroupTable::kSmallSize) {
        return false;
    }
    auto copy = [&](std::size_t from, std::size_t count, std::size_t to) {
        std::copy_n(payload.begin() + static_cast<std::ptrdiff_t>(from), count,
                    dest.bytes.begin() + static_cast<std::ptrdiff_t>(to));
    };
    copy(0, 8, GroupTable::kMemberCount);
    copy(8, 8, GroupTable::kOutputCount);
    copy(16, 8, GroupTable::kInputCount);
    for (std::size_t row = 0; row < 8; ++row) {
        copy(24 + 12 * row, 12, GroupTable::kInputMember + 16 * row);
    }
    copy(120, 8, GroupTable::kOutputGroup);
    copy(128, 2, GroupTable::kTrailer);
    return true;
}

PresetTable PresetTable::Initial() {
    PresetTable t;
    const auto route = OutputStatusTable::Initial();
    for (int p = 0; p < kPresetCount; ++p) {
        std::copy(route.bytes.begin(), route.bytes.end(), t.routeImage(p).begin());
    }
    return t;
}

bool LoadPresetPayload(std::span<const std::uint8_t> payload, bool largeForm, PresetTable& dest) {
    if (largeForm) {
        if (payload.size() < PresetTable::kSize) {
            return false;
        }
        std::copy_n(payload.begin(), PresetTable::kSize, dest.bytes.begin());
        return true;
    }
    if (payload.size() < PresetTable::kSmallSize) {
        return false;
    }
    for (std::size_t p = 0; p < kPresetCount; ++p) {
        const auto record =
            payload.subspan(PresetTable::kSmallRecord * p, PresetTable::kSmallRecord);
        const auto out = dest.bytes.begin() + static_cast<std::ptrdiff_t>(PresetTable::kRecord * p);
        std::copy_n(record.begin(), 42, out);                                 // flags, slots 1..8
        std::copy_n(record.begin() + 42, 12, out + PresetTable::kInputBytes); // inputs 1..12
    }
    return true;
}

PresetGroupTable PresetGroupTable::Initial() {
    PresetGroupTable t;
    t.images.fill(GroupTable::Initial());
    return t;
}

bool LoadPresetGroupPayload(int n, std::span<const std::uint8_t> payload, bool largeForm,
                            PresetGroupTable& dest) {
    if (n < 0 || n >= kPresetCount) {
        return false;
    }
    return LoadGroupPayload(payload, largeForm, dest.images[static_cast<std::size_t>(n)]);
}

int PresetIsStored(const PresetTable& table, int n) {
    if (n < 1 || n > kPresetCount) {
        return 0;
    }
    return table.stored(n - 1) != 0 ? 1 : 0;
}

namespace {

template <std::size_t N>
bool CopyLeading(std::span<const std::uint8_t> payload, std::size_t count,
                 std::array<std::uint8_t, N>& dest) {
    if (count > N || payload.size() < count) {
        return false;
    }
    std::copy_n(payload.begin(), count, dest.begin());
    return true;
}

} // namespace

bool LoadAudioPayload(std::span<const std::uint8_t> payload, int inputCount,
                      AudioLevelTable& dest) {
    return CopyLeading(payload, static_cast<std::size_t>(inputCount), dest.bytes);
}

bool LoadOutputStatusPayload(std::span<const std::uint8_t> payload, int outputSlots,
                             OutputStatusTable& dest) {
    return CopyLeading(payload, OutputStatusTable::kRecord * static_cast<std::size_t>(outputSlots),
                       dest.bytes);
}

bool LoadPrevOutputStatusPayload(std::span<const std::uint8_t> payload, int outputSlots,
                                 PrevOutputStatusTable& dest) {
    return CopyLeading(payload,
                       PrevOutputStatusTable::kRecord * static_cast<std::size_t>(outputSlots),
                       dest.bytes);
}

} // namespace qvc
