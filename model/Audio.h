// The audio level scale: level 0..252 (slider position) against whole dB,
// and the operations that set an input's level.
#pragma once

#include "DeviceState.h"
#include "protocol/Commands.h"

#include <string>
#include <vector>

namespace qvc {

inline constexpr double kDbPerLevel = 0.37301587301;
inline constexpr double kLevelPerDb = 2.6808510638719963883;
inline constexpr int kMinLevel = 0;
inline constexpr int kMaxLevel = 252;
inline constexpr int kMinDb = -74;
inline constexpr int kMaxDb = 20;

// Whole dB of a level, truncated toward zero (0 -> -74, 252 -> 20).
int LevelToDb(int level);
std::string LevelToDbText(int level);
// trunc((d + 74) x 2.68085...) for a whole dB value d; any other int is held
// to the slider's range 0..252.
int DbToPosition(int db);
// Slider positions one spin click sets in turn, from the read-out `shownDb`:
// empty when the click does nothing; the second (one more, at most 252) is
// added when the new value is above 0 dB.
std::vector<int> SpinPositions(int shownDb, bool up);

// A level held in the table as the slider shows it: values above the scale
// (a reply may hold any byte) at its right end.
int LevelOnScale(int level);

// Stores `level` (held to 0..252) as the level of input i (0-based) and
// returns "ALVL i+1 level". Nothing for an input beyond the model's inputs.
Commands SetAudioLevel(DeviceState& state, int i, int level);
// One spin click on input i whose read-out shows `shownDb`: each position of
// SpinPositions in turn that differs from the level held before it is
// stored and sent, so a step to a positive dB value can send two lines.
// Nothing when the click does nothing.
Commands SpinAudioLevel(DeviceState& state, int i, int shownDb, bool up);

} // namespace qvc
