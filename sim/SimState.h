// The switcher's state as plain values: what the status queries report and
// the write commands change. No Qt here.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace qvsim {

// Route fields and group fields use 252 for "none".
inline constexpr std::uint8_t kNoInput = 252;
inline constexpr std::uint8_t kNoGroup = 252;
inline constexpr int kMaxInputs = 16;
inline constexpr int kMaxOutputs = 16;
inline constexpr int kPresetCount = 16;
inline constexpr std::uint8_t kDefaultLevel = 200; // 0 dB

// One output's route as OINFOQV reports it (0-based inputs, kNoInput = none).
struct OutputEntry {
    std::uint8_t videoInput = kNoInput;
    std::uint8_t audioInput = kNoInput;
    std::uint8_t videoTaken = 1; // 0 while the video route is temporary
    std::uint8_t audioTaken = 1; // 0 while the audio route is temporary
    std::uint8_t muted = 0;
    bool operator==(const OutputEntry&) const = default;
};

// One output's committed route as OPINFOQV reports it.
struct CommittedRoute {
    std::uint8_t videoInput = kNoInput;
    std::uint8_t audioInput = kNoInput;
    bool operator==(const CommittedRoute&) const = default;
};

// The switcher's grouping (0-based groups, outputs and inputs).
struct GroupTable {
    std::array<std::int8_t, kMaxOutputs> memberCount{}; // outputCount + inputCount
    std::array<std::int8_t, kMaxOutputs> outputCount{};
    std::array<std::int8_t, kMaxOutputs> inputCount{};
    // inputMember[g][k] == g when input k belongs to group g, else kNoGroup.
    std::array<std::array<std::uint8_t, kMaxInputs>, kMaxOutputs> inputMember{};
    std::array<std::uint8_t, kMaxOutputs> outputGroup{}; // group of output o or kNoGroup
    std::array<std::uint8_t, 2> trailer{};

    GroupTable(); // no groups
    bool operator==(const GroupTable&) const = default;
};

struct PresetRecord {
    std::uint8_t stored = 0;
    std::uint8_t lastStored = 0;
    std::array<OutputEntry, kMaxOutputs> routes{};
    std::array<std::uint8_t, kMaxInputs> inputBytes{}; // audio levels at store time
    GroupTable groups;                                 // image reported by PGINFOQV
    bool operator==(const PresetRecord&) const = default;
};

struct Settings {
    std::uint8_t frontPanelLock = 0;
    std::int8_t videoSwitchSource = 0;
    std::int8_t viDelay = 0;
    std::int16_t rgbDelay = 0;
    std::array<std::uint8_t, 4> ip{192, 168, 1, 50};
    bool operator==(const Settings&) const = default;
};

// A plain copy of everything the switcher keeps. Tables are always laid out
// for the largest model; entries beyond the model keep their start values.
struct SimState {
    int modelCode = 3;
    bool audioPresent = true;
    std::string firmware;
    Settings settings;
    std::array<OutputEntry, kMaxOutputs> outputs{};      // current routes (OINFOQV)
    std::array<CommittedRoute, kMaxOutputs> committed{}; // committed routes (OPINFOQV)
    std::array<std::uint8_t, kMaxInputs> levels{};       // 0..252 per input (AINFOQV)
    GroupTable groups;
    std::array<PresetRecord, kPresetCount> presets{};

    SimState();
    int InputCount() const;  // 12, 12, 16, 16
    int OutputCount() const; // 4, 8, 8, 16
    int OutputSlots() const; // entries in replies: 8, 8, 16, 16
    bool LargeForm() const;  // group and preset replies in their large form
    bool operator==(const SimState&) const = default;
};

} // namespace qvsim
