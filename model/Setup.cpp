#include "Setup.h"

namespace qvc {

int SwitchSourceItem(std::int8_t source) {
    if (source < 0) {
        return kNoSwitchSourceItem;
    }
    return source < kSwitchSourceItems ? source : kSwitchSourceItems - 1;
}

RgbDelayEntry ReadRgbDelay(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return {};
    }
    // Digits beyond the limits keep the magnitude just above them: a long
    // run of digits is still a whole number, only out of limits.
    constexpr int kBeyond = kMaxRgbDelay + 1;
    int magnitude = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return {};
        }
        magnitude = magnitude >= kBeyond ? kBeyond : magnitude * 10 + (c - '0');
    }
    const int value = negative ? -magnitude : magnitude;
    if (value < kMinRgbDelay || value > kMaxRgbDelay) {
        return {RgbDelayEntry::Verdict::OutOfLimits, 0};
    }
    return {RgbDelayEntry::Verdict::Accepted, value};
}

Commands Setup::SetFrontPanelLock(bool ticked) {
    state_.status.SetFrontPanelLock(ticked ? 1 : 0);
    return {cmd::Fplock(ticked)};
}

Commands Setup::SetVideoSwitchSource(int item) {
    if (item < 0 || item >= kSwitchSourceItems) {
        return {};
    }
    state_.status.SetVideoSwitchSource(item);
    return {cmd::Switch(item)};
}

Commands Setup::SetRGBDelay(int delay) {
    if (delay < kMinRgbDelay || delay > kMaxRgbDelay) {
        return {};
    }
    state_.status.SetRGBDelay(delay);
    return {cmd::Fdly(delay)};
}

Commands Setup::Reset(bool factory) {
    return {cmd::ResetCommand(factory)};
}

} // namespace qvc
