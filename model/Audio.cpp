#include "Audio.h"

#include <algorithm>

namespace qvc {

int LevelToDb(int level) {
    if (level == kMinLevel) {
        return kMinDb;
    }
    if (level == kMaxLevel) {
        return kMaxDb;
    }
    // The conversion to int truncates toward zero, as the read-out does.
    return static_cast<int>(level * kDbPerLevel - 74.0);
}

std::string LevelToDbText(int level) {
    return std::to_string(LevelToDb(level));
}

int DbToPosition(int db) {
    // In double: db - kMinDb overflows an int near INT_MAX.
    const double position = (static_cast<double>(db) - kMinDb) * kLevelPerDb;
    // Whole dB outside -74..20 have no position; keep the slider's range.
    return static_cast<int>(std::clamp(position, 0.0, static_cast<double>(kMaxLevel)));
}

std::vector<int> SpinPositions(int shownDb, bool up) {
    if (up ? (shownDb < kMinDb || shownDb >= kMaxDb) : (shownDb <= kMinDb || shownDb > kMaxDb)) {
        return {};
    }
    const int db = up ? shownDb + 1 : shownDb - 1;
    const int first = DbToPosition(db);
    if (db <= 0) {
        return {first};
    }
    return {first, std::min(first + 1, kMaxLevel)};
}

int LevelOnScale(int level) {
    return std::clamp(level, kMinLevel, kMaxLevel);
}

namespace {

// One of the model's inputs.
bool IsModelInput(const DeviceState& state, int i) {
    return i >= 0 && i < std::clamp(state.Inputs(), 0, kMaxInputs);
}

} // namespace

Commands SetAudioLevel(DeviceState& state, int i, int level) {
    if (!IsModelInput(state, i)) {
        return {};
    }
    const int stored = LevelOnScale(level);
    state.levels.level(i) = static_cast<std::uint8_t>(stored);
    return {cmd::Alvl(i, stored)};
}

Commands SpinAudioLevel(DeviceState& state, int i, int shownDb, bool up) {
    if (!IsModelInput(state, i)) {
        return {};
    }
    Commands lines;
    for (const int position : SpinPositions(shownDb, up)) {
        // The slider shows levels above the scale at its right end.
        if (position != LevelOnScale(state.levels.level(i))) {
            const Commands step = SetAudioLevel(state, i, position);
            lines.insert(lines.end(), step.begin(), step.end());
        }
    }
    return lines;
}

} // namespace qvc
