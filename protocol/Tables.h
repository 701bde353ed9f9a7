// The switcher's state tables, as fixed-size byte arrays that mirror the wire,
// always laid out for the largest switcher (16 inputs, 16 output slots), and
// the loaders that copy reply payloads (small or large form) into them.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace qvc {

inline constexpr std::uint8_t NoInput = 252; // no input in a route field
inline constexpr std::uint8_t NoGroup = 252; // no group / not a member
inline constexpr int kMaxInputs = 16;
inline constexpr int kMaxOutputs = 16;
inline constexpr int kMaxGroups = 16;
inline constexpr int kPresetCount = 16;

// 16 records of 5 bytes: videoInput, audioInput, videoTaken, audioTaken, muted.
struct OutputStatusTable {
    static constexpr std::size_t kRecord = 5;
    static constexpr std::size_t kSize = kRecord * kMaxOutputs; // 80
    std::array<std::uint8_t, kSize> bytes{};

    std::uint8_t& videoInput(int o) { return bytes[kRecord * o + 0]; }
    std::uint8_t& audioInput(int o) { return bytes[kRecord * o + 1]; }
    std::uint8_t& videoTaken(int o) { return bytes[kRecord * o + 2]; }
    std::uint8_t& audioTaken(int o) { return bytes[kRecord * o + 3]; }
    std::uint8_t& muted(int o) { return bytes[kRecord * o + 4]; }
    std::uint8_t videoInput(int o) const { return bytes[kRecord * o + 0]; }
    std::uint8_t audioInput(int o) const { return bytes[kRecord * o + 1]; }
    std::uint8_t videoTaken(int o) const { return bytes[kRecord * o + 2]; }
    std::uint8_t audioTaken(int o) const { return bytes[kRecord * o + 3]; }
    std::uint8_t muted(int o) const { return bytes[kRecord * o + 4]; }

    // Start values: no input on either layer, both committed, not muted.
    static OutputStatusTable Initial();
};

// 16 records of 2 bytes: the last committed videoInput and audioInput.
struct PrevOutputStatusTable {
    static constexpr std::size_t kRecord = 2;
    static constexpr std::size_t kSize = kRecord * kMaxOutputs; // 32
    std::array<std::uint8_t, kSize> bytes{};

    std::uint8_t& videoInput(int o) { return bytes[kRecord * o + 0]; }
    std::uint8_t& audioInput(int o) { return bytes[kRecord * o + 1]; }
    std::uint8_t videoInput(int o) const { return bytes[kRecord * o + 0]; }
    std::uint8_t audioInput(int o) const { return bytes[kRecord * o + 1]; }

    static PrevOutputStatusTable Initial(); // all NoInput
};

// One level byte (0..252) per input.
struct AudioLevelTable {
    static constexpr std::size_t kSize = kMaxInputs;
    static constexpr std::uint8_t kStartLevel = 200; // 0 dB
    std::array<std::uint8_t, kSize> bytes{};

    std::uint8_t& level(int i) { return bytes[i]; }
    std::uint8_t level(int i) const { return bytes[i]; }

    static AudioLevelTable Initial(); // every input 200
};

// The grouping, 322 bytes in the large wire form. Counts are signed bytes.
struct GroupTable {
    static constexpr std::size_t kSize = 322;
    static constexpr std::size_t kMemberCount = 0;
    static constexpr std::size_t kOutputCount = 16;
    static constexpr std::size_t kInputCount = 32;
    static constexpr std::size_t kInputMember = 48; // 16 rows of 16
    static constexpr std::size_t kOutputGroup = 304;
    static constexpr std::size_t kTrailer = 320;
    static constexpr std::size_t kSmallSize = 130; // small wire form
    std::array<std::uint8_t, kSize> bytes{};

    int memberCount(int g) const { return static_cast<std::int8_t>(bytes[kMemberCount + g]); }
    int outputCount(int g) const { return static_cast<std::int8_t>(bytes[kOutputCount + g]); }
    int inputCount(int g) const { return static_cast<std::int8_t>(bytes[kInputCount + g]); }
    void setMemberCount(int g, int v) { bytes[kMemberCount + g] = static_cast<std::uint8_t>(v); }
    void setOutputCount(int g, int v) { bytes[kOutputCount + g] = static_cast<std::uint8_t>(v); }
    void setInputCount(int g, int v) { bytes[kInputCount + g] = static_cast<std::uint8_t>(v); }
    std::uint8_t& inputMember(int g, int k) { return bytes[kInputMember + 16 * g + k]; }
    std::uint8_t inputMember(int g, int k) const { return bytes[kInputMember + 16 * g + k]; }
    std::uint8_t& outputGroup(int o) { return bytes[kOutputGroup + o]; }
    std::uint8_t outputGroup(int o) const { return bytes[kOutputGroup + o]; }

    // InitGrouping's values: counts 0, every output and membership NoGroup,
    // trailer 0.
    static GroupTable Initial();
};

// Copies a GINFOQV (or PGINFOQV) payload into `dest`: the large form (322
// bytes) whole, the small form (130 bytes) by its mapping; bytes the small
// form does not carry keep their values. Returns false, touching nothing,
// when the payload is shorter than its form.
bool LoadGroupPayload(std::span<const std::uint8_t> payload, bool largeForm, GroupTable& dest);

// 16 records of 98 bytes: stored, lastStored, routeImage (80), inputBytes (16).
struct PresetTable {
    static constexpr std::size_t kRecord = 98;
    static constexpr std::size_t kSize = kRecord * kPresetCount; // 1568
    static constexpr std::size_t kSmallRecord = 54;
    static constexpr std::size_t kSmallSize = kSmallRecord * kPresetCount; // 864
    static constexpr std::size_t kRouteImage = 2;
    static constexpr std::size_t kInputBytes = 82;
    std::array<std::uint8_t, kSize> bytes{};

    std::uint8_t& stored(int p) { return bytes[kRecord * p]; }
    std::uint8_t stored(int p) const { return bytes[kRecord * p]; }
    std::uint8_t& lastStored(int p) { return bytes[kRecord * p + 1]; }
    std::uint8_t lastStored(int p) const { return bytes[kRecord * p + 1]; }
    std::span<std::uint8_t, OutputStatusTable::kSize> routeImage(int p) {
        return std::span<std::uint8_t, OutputStatusTable::kSize>(
            bytes.data() + kRecord * p + kRouteImage, OutputStatusTable::kSize);
    }
    std::span<const std::uint8_t, OutputStatusTable::kSize> routeImage(int p) const {
        return std::span<const std::uint8_t, OutputStatusTable::kSize>(
            bytes.data() + kRecord * p + kRouteImage, OutputStatusTable::kSize);
    }

    // InitPresets' values: nothing stored, every route image at the start
    // values of the OutputStatusTable, input bytes 0.
    static PresetTable Initial();
};

// Copies a PINFOQV payload: large form (1568) whole, small form (864) record
// by record (slots 1..8 and inputs 1..12). False, touching nothing, when the
// payload is shorter than its form.
bool LoadPresetPayload(std::span<const std::uint8_t> payload, bool largeForm, PresetTable& dest);

// 16 GroupTable images, preset 1 first.
struct PresetGroupTable {
    std::array<GroupTable, kPresetCount> images{};
    static PresetGroupTable Initial(); // every image GroupTable::Initial()
};

bool LoadPresetGroupPayload(int n, std::span<const std::uint8_t> payload, bool largeForm,
                            PresetGroupTable& dest);

// 1 if preset n (1-based) holds a setting (any non-zero `stored`), else 0.
int PresetIsStored(const PresetTable& table, int n);

// Byte-for-byte copies over the leading entries; the rest keep their values.
// Each returns false, touching nothing, when the payload is too short.
bool LoadAudioPayload(std::span<const std::uint8_t> payload, int inputCount, AudioLevelTable& dest);
bool LoadOutputStatusPayload(std::span<const std::uint8_t> payload, int outputSlots,
                             OutputStatusTable& dest);
bool LoadPrevOutputStatusPayload(std::span<const std::uint8_t> payload, int outputSlots,
                                 PrevOutputStatusTable& dest);

} // namespace qvc
