// The audio scale on any integer: level to dB, dB to slider position, the
// spin steps and the level operations.
//
// Input: integers (a level, a dB value, an input number, a direction).
#include "FuzzCheck.h"
#include "model/Audio.h"
#include "model/DeviceState.h"

#include <climits>
#include <cstddef>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>

namespace {

using namespace qvc;

bool OnScale(int position) {
    return position >= kMinLevel && position <= kMaxLevel;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const int level = input.ConsumeIntegral<int>();
    const int db = input.ConsumeIntegral<int>();
    const int i = input.ConsumeIntegral<int>();
    const bool up = input.ConsumeBool();
    const auto model = input.ConsumeIntegral<std::uint8_t>();

    const int levelDb = LevelToDb(level);
    (void)LevelToDbText(level);
    if (OnScale(level)) {
        QVC_FUZZ_CHECK(levelDb >= kMinDb && levelDb <= kMaxDb);
    }
    QVC_FUZZ_CHECK(OnScale(LevelOnScale(level)));

    // Any int has a position on the slider, and a larger one is never left of
    // a smaller one.
    const int position = DbToPosition(db);
    QVC_FUZZ_CHECK(OnScale(position));
    if (db < INT_MAX) {
        QVC_FUZZ_CHECK(position <= DbToPosition(db + 1));
    }
    // On the scale, a step's positions read as the new whole dB.
    if (db >= kMinDb && db <= kMaxDb) {
        QVC_FUZZ_CHECK(LevelToDb(position + (db > 0 ? 1 : 0)) == db);
    }
    const auto steps = SpinPositions(db, up);
    for (const int step : steps) {
        QVC_FUZZ_CHECK(OnScale(step));
    }
    if (!steps.empty()) {
        QVC_FUZZ_CHECK(LevelToDb(steps.back()) == (up ? db + 1 : db - 1));
    }

    // The operations store a level on the scale, and only for the model's inputs.
    DeviceState state;
    state.model.ApplyModelCode(model);
    const auto before = state.levels;
    const Commands set = SetAudioLevel(state, i, level);
    const Commands spin = SpinAudioLevel(state, i, LevelToDb(LevelOnScale(level)), up);
    if (i < 0 || i >= state.model.InputCount) {
        QVC_FUZZ_CHECK(set.empty() && spin.empty());
        QVC_FUZZ_CHECK(state.levels.bytes == before.bytes);
    } else {
        QVC_FUZZ_CHECK(set.size() == 1);
        QVC_FUZZ_CHECK(spin.size() <= 2);
        QVC_FUZZ_CHECK(OnScale(state.levels.level(i)));
    }
    return 0;
}
