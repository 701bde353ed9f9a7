// The audio level scale: level 0..252 (slider position) against whole dB.
#pragma once

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
// trunc((d + 74) x 2.68085...) for a whole dB value d.
int DbToPosition(int db);
// Slider positions one spin click sets in turn, from the read-out `shownDb`:
// empty when the click does nothing; the second (one more, at most 252) is
// added when the new value is above 0 dB.
std::vector<int> SpinPositions(int shownDb, bool up);

} // namespace qvc
