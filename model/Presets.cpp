#include "Presets.h"

#include "protocol/Commands.h"

#include <algorithm>

namespace qvc {

namespace {
constexpr int kConfirmFlag = 1; // RPRST: the previewed preset is taken
constexpr int kDirectFlag = 0;  // RPRST: recalled without a preview
} // namespace

Commands Presets::StorePreset(int p) {
    if (p < 0 || p >= kPresetCount) {
        return {};
    }
    auto& table = state_.presets;
    for (int n = 0; n < kPresetCount; ++n) {
        table.lastStored(n) = 0;
    }
    const auto& routes = state_.outputs.bytes;
    std::copy(routes.begin(), routes.end(), table.routeImage(p).begin());
    state_.presetGroups.images[static_cast<std::size_t>(p)] = state_.groups;
    table.stored(p) = 1;
    table.lastStored(p) = 1;
    selectedPreset_ = p;
    Commands lines = switching_.Take();
    lines.push_back(cmd::Prst(p));
    panel_ = PresetPanelState::Idle;
    return lines;
}

Commands Presets::RecallPreset(int p, RecallMode mode) {
    if (p < 0 || p >= kPresetCount) {
        return {};
    }
    auto& out = state_.outputs;
    if (!recallPending_) {
        for (int o = 0; o < switching_.ShownOutputs(); ++o) {
            const auto slot = static_cast<std::size_t>(o);
            state_.prevOutputs.videoInput(o) = out.videoInput(o);
            state_.prevOutputs.audioInput(o) = out.audioInput(o);
            backup_.videoTaken[slot] = out.videoTaken(o);
            backup_.audioTaken[slot] = out.audioTaken(o);
            backup_.muted[slot] = out.muted(o);
        }
        backup_.groups = state_.groups;
    }
    const auto image = state_.presets.routeImage(p);
    std::copy(image.begin(), image.end(), out.bytes.begin());
    state_.groups = state_.presetGroups.images[static_cast<std::size_t>(p)];
    if (mode == RecallMode::Preview) {
        selectedPreset_ = p;
        recallPending_ = true;
        for (int o = 0; o < switching_.ShownOutputs(); ++o) {
            out.videoTaken(o) = 0;
            out.audioTaken(o) = 0;
        }
        return {};
    }
    recallPending_ = false;
    Commands lines{cmd::Rprst(p, kDirectFlag)};
    switching_.CommitPending();
    return lines;
}

Commands Presets::ConfirmRecall() {
    panel_ = PresetPanelState::Idle;
    if (!recallPending_) {
        return {};
    }
    Commands lines{cmd::Rprst(selectedPreset_, kConfirmFlag)};
    switching_.CommitPending();
    recallPending_ = false;
    return lines;
}

bool Presets::CancelRecall() {
    panel_ = PresetPanelState::Idle;
    if (!recallPending_) {
        return false;
    }
    auto& out = state_.outputs;
    const auto& prev = state_.prevOutputs;
    for (int o = 0; o < switching_.ShownOutputs(); ++o) {
        const auto slot = static_cast<std::size_t>(o);
        if (out.videoTaken(o) == 0) {
            out.videoInput(o) = prev.videoInput(o);
            out.videoTaken(o) = backup_.videoTaken[slot];
        }
        if (out.audioTaken(o) == 0) {
            out.audioInput(o) = prev.audioInput(o);
            out.audioTaken(o) = backup_.audioTaken[slot];
        }
        out.muted(o) = backup_.muted[slot];
    }
    state_.groups = backup_.groups;
    recallPending_ = false;
    return true;
}

bool Presets::PresetIsStored(int n) const {
    return n >= 1 && n <= kPresetCount && state_.presets.stored(n - 1) != 0;
}

int LivePreset(const DeviceState& state) {
    const OutputStatusTable& out = state.outputs;
    const PrevOutputStatusTable& prev = state.prevOutputs;
    const int shown = std::min(state.ShownOutputs(), static_cast<int>(kMaxOutputs));
    for (int p = 0; p < kPresetCount; ++p) {
        if (state.presets.stored(p) == 0) {
            continue;
        }
        OutputStatusTable image;
        std::copy(state.presets.routeImage(p).begin(), state.presets.routeImage(p).end(),
                  image.bytes.begin());
        bool live = true;
        for (int o = 0; o < shown && live; ++o) {
            const int video = out.videoTaken(o) != 0 ? out.videoInput(o) : prev.videoInput(o);
            const int audio = out.audioTaken(o) != 0 ? out.audioInput(o) : prev.audioInput(o);
            live = image.videoInput(o) == video && image.audioInput(o) == audio;
        }
        if (live) {
            return p + 1;
        }
    }
    return 0;
}

} // namespace qvc
