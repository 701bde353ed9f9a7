// The switcher's system settings: front-panel lockout, video switch source
// and RGB delay, and the two resets.
//
// Every setting operation stores the new value in the status block and
// returns the line that tells the switcher; the switcher's answer is not
// awaited for the store, so a refused or lost command leaves the new value
// shown until the next read-back.
#pragma once

#include "DeviceState.h"
#include "protocol/Commands.h"

#include <cstdint>
#include <string_view>

namespace qvc {

// Items of the video switch source selector: 0 "RGB Delay", 1 "CHANNEL 1
// SYNC", 2 "CHANNEL 1 VIDEO", 3 "VREF IN".
inline constexpr int kSwitchSourceItems = 4;
inline constexpr int kNoSwitchSourceItem = -1;

// The RGB delay the switcher takes, in milliseconds.
inline constexpr int kMinRgbDelay = 0;
inline constexpr int kMaxRgbDelay = 4000;

// The selector item a status value shows, the value read as a signed byte:
// 0..3 that item, 4..127 the last item, a negative value no item.
int SwitchSourceItem(std::int8_t source);

// The RGB delay edit's text read as a whole number: an optional sign and
// decimal digits, nothing else (no blanks, an empty text is no number).
struct RgbDelayEntry {
    enum class Verdict { Accepted, OutOfLimits, NotAnInteger };
    Verdict verdict = Verdict::NotAnInteger;
    int delay = 0; // the value when Accepted
};
RgbDelayEntry ReadRgbDelay(std::string_view text);

class Setup {
  public:
    explicit Setup(DeviceState& state) : state_(state) {}

    // "FPLOCK 1" for a ticked box, "FPLOCK 0" otherwise; FrontPanelLock 1 or 0.
    Commands SetFrontPanelLock(bool ticked);
    // "SWITCH n" for item n of 0..3, which becomes VideoSwitchSource; any
    // other item sends and changes nothing.
    Commands SetVideoSwitchSource(int item);
    // "FDLY d" for a delay in 0..4000, which becomes RGBDelay; any other
    // value sends and changes nothing.
    Commands SetRGBDelay(int delay);
    // "RESETQV R" (saved settings) or "RESETQV F" (factory settings), with
    // the long wait for the switcher's answer. Nothing is read back after
    // it: the state keeps what was read before.
    static Commands Reset(bool factory);

  private:
    DeviceState& state_;
};

} // namespace qvc
