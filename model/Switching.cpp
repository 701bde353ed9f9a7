#include "Switching.h"

#include "protocol/Commands.h"

#include <algorithm>

namespace qvc {

namespace {

// The RTEMP arguments for the layer a mode leaves alone and for "no input".
constexpr int kRtempUnchanged = cmd::kUnchanged;
constexpr int kRtempNone = cmd::kNoInput;

} // namespace

bool Switching::IsInput(int n) const {
    const int count = std::clamp(state_.model.InputCount, 0, kMaxInputs);
    return n >= 0 && n < count;
}

int Switching::GroupOf(int o) const {
    if (o < 0 || o >= kMaxOutputs) {
        return -1;
    }
    // A group byte outside 0..15 (NoGroup, or anything else a switcher or a
    // loaded file may hold) counts as no group; it is never used as an index.
    const int g = state_.groups.outputGroup(o);
    return g < kMaxGroups ? g : -1;
}

bool Switching::IsShownOutput(int o) const {
    return o >= 0 && o < ShownOutputs();
}

int Switching::ShownOutputs() const {
    return std::clamp(state_.model.OutputCount, 0, kMaxOutputs);
}

void Switching::SelectInput(int n) {
    if (!IsInput(n)) {
        return;
    }
    selectedInput_ = (n == selectedInput_) ? NoInput : n;
}

bool Switching::OutputEnabledFor(int o, int n) const {
    if (o < 0 || o >= kMaxOutputs) {
        return false;
    }
    const int g = GroupOf(o);
    if (g < 0) {
        return true;
    }
    if (state_.groups.inputCount(g) <= 0) {
        return true;
    }
    return n >= 0 && n < kMaxInputs && state_.groups.inputMember(g, n) == g;
}

Commands Switching::ToggleOutput(int o, AvMode mode) {
    // A selection made before the model shrank is no input of this switcher.
    if (!IsInput(selectedInput_) || !IsShownOutput(o)) {
        return {};
    }
    const int s = selectedInput_;
    auto& out = state_.outputs;
    const auto& prev = state_.prevOutputs;
    const int v = out.videoInput(o);
    const int a = out.audioInput(o);
    const int pv = prev.videoInput(o);
    const int pa = prev.audioInput(o);
    const auto input = static_cast<std::uint8_t>(s);

    switch (mode) {
    case AvMode::AudioVideo:
        if (v != s && a != s) {
            out.videoInput(o) = input;
            out.audioInput(o) = input;
            if (!(pv == s && pa == s)) {
                out.videoTaken(o) = 0;
                out.audioTaken(o) = 0;
            }
            return {cmd::Rtemp(o, s, s)};
        }
        if (v != pv || a != pa) {
            out.videoInput(o) = static_cast<std::uint8_t>(pv);
            out.audioInput(o) = static_cast<std::uint8_t>(pa);
            out.videoTaken(o) = 1;
            out.audioTaken(o) = 1;
            return Revert();
        }
        out.videoInput(o) = NoInput;
        out.audioInput(o) = NoInput;
        out.videoTaken(o) = 0;
        out.audioTaken(o) = 0;
        return {cmd::Rtemp(o, kRtempNone, kRtempNone)};

    case AvMode::VideoOnly:
        if (v != s) {
            out.videoInput(o) = input;
            if (pv != s) {
                out.videoTaken(o) = 0;
            }
            return {cmd::Rtemp(o, s, kRtempUnchanged)};
        }
        if (v != pv) {
            out.videoInput(o) = static_cast<std::uint8_t>(pv);
            out.videoTaken(o) = 1;
            return Revert();
        }
        out.videoInput(o) = NoInput;
        out.videoTaken(o) = 0;
        return {cmd::Rtemp(o, kRtempNone, kRtempUnchanged)};

    case AvMode::AudioOnly:
        if (a != s) {
            out.audioInput(o) = input;
            if (pa != s) {
                out.audioTaken(o) = 0;
            }
            return {cmd::Rtemp(o, kRtempUnchanged, s)};
        }
        if (a != pa) {
            out.audioInput(o) = static_cast<std::uint8_t>(pa);
            out.audioTaken(o) = 1;
            return Revert();
        }
        out.audioInput(o) = NoInput;
        out.audioTaken(o) = 0;
        return {cmd::Rtemp(o, kRtempUnchanged, kRtempNone)};
    }
    return {};
}

Commands Switching::RouteOutput(int o, int k, AvMode mode) {
    if (!IsShownOutput(o) || (k != NoInput && !IsInput(k))) {
        return {};
    }
    auto& out = state_.outputs;
    const auto& prev = state_.prevOutputs;
    const auto input = static_cast<std::uint8_t>(k);
    const bool video = mode != AvMode::AudioOnly && out.videoInput(o) != input;
    const bool audio = mode != AvMode::VideoOnly && out.audioInput(o) != input;
    if (!video && !audio) {
        return {};
    }
    const int line = k == NoInput ? kRtempNone : k;
    const bool videoLayer = mode != AvMode::AudioOnly;
    const bool audioLayer = mode != AvMode::VideoOnly;
    if (videoLayer) {
        out.videoInput(o) = input;
        out.videoTaken(o) = prev.videoInput(o) == input ? out.videoTaken(o) : 0;
    }
    if (audioLayer) {
        out.audioInput(o) = input;
        out.audioTaken(o) = prev.audioInput(o) == input ? out.audioTaken(o) : 0;
    }
    return {cmd::Rtemp(o, videoLayer ? line : kRtempUnchanged, audioLayer ? line : kRtempUnchanged)};
}

// "TAKE 0" drops every temporary route on the switcher, not only the one
// reverted here; the routes that are still temporary in the table are sent
// again, so that the switcher shows what the window shows.
Commands Switching::Revert() const {
    Commands lines{cmd::Take(false)};
    const auto& out = state_.outputs;
    const auto wire = [](int input) { return input == NoInput ? kRtempNone : input; };
    for (int o = 0; o < ShownOutputs(); ++o) {
        const bool video = out.videoTaken(o) == 0;
        const bool audio = out.audioTaken(o) == 0;
        if (video || audio) {
            lines.push_back(cmd::Rtemp(o, video ? wire(out.videoInput(o)) : kRtempUnchanged,
                                       audio ? wire(out.audioInput(o)) : kRtempUnchanged));
        }
    }
    return lines;
}

Commands Switching::PropagateToGroup(int o, AvMode mode) {
    if (!IsShownOutput(o)) {
        return {};
    }
    const int g = GroupOf(o);
    if (g < 0) {
        return {};
    }
    Commands lines;
    for (int i = 0; i < ShownOutputs(); ++i) {
        if (i != o && GroupOf(i) == g) {
            for (auto& line : ToggleOutput(i, mode)) {
                lines.push_back(std::move(line));
            }
        }
    }
    return lines;
}

Commands Switching::Take() {
    Commands lines{cmd::Take(true)};
    CommitPending();
    return lines;
}

void Switching::CommitPending() {
    auto& out = state_.outputs;
    auto& prev = state_.prevOutputs;
    for (int o = 0; o < ShownOutputs(); ++o) {
        if (out.videoTaken(o) == 0) {
            prev.videoInput(o) = out.videoInput(o);
            out.videoTaken(o) = 1;
        }
        if (out.audioTaken(o) == 0) {
            prev.audioInput(o) = out.audioInput(o);
            out.audioTaken(o) = 1;
        }
    }
}

Commands Switching::CancelPending() {
    selectedInput_ = NoInput;
    auto& out = state_.outputs;
    const auto& prev = state_.prevOutputs;
    bool reverted = false;
    for (int o = 0; o < ShownOutputs(); ++o) {
        if (out.videoTaken(o) == 0) {
            out.videoInput(o) = prev.videoInput(o);
            out.videoTaken(o) = 1;
            reverted = true;
        }
        if (out.audioTaken(o) == 0) {
            out.audioInput(o) = prev.audioInput(o);
            out.audioTaken(o) = 1;
            reverted = true;
        }
    }
    if (!reverted) {
        return {};
    }
    return {cmd::Take(false)};
}

Commands Switching::ClearAllRouting() {
    Commands lines{cmd::Clear()};
    auto& out = state_.outputs;
    auto& prev = state_.prevOutputs;
    for (int o = 0; o < ShownOutputs(); ++o) {
        out.videoInput(o) = NoInput;
        out.audioInput(o) = NoInput;
        prev.videoInput(o) = NoInput;
        prev.audioInput(o) = NoInput;
        out.videoTaken(o) = 1;
        out.audioTaken(o) = 1;
        out.muted(o) = 0;
    }
    return lines;
}

Commands Switching::SetOutputMute(int o, bool ticked) {
    if (!IsShownOutput(o)) {
        return {};
    }
    const std::uint8_t muted = ticked ? 1 : 0;
    state_.outputs.muted(o) = muted;
    return {cmd::Omute(o, muted)};
}

namespace {
CaptionColour CaptionColourOf(int input, int taken, bool present) {
    if (input == NoInput || !present) {
        return taken == 1 ? CaptionColour::Face : CaptionColour::Temporary;
    }
    return taken == 0 ? CaptionColour::Temporary : CaptionColour::Committed;
}
} // namespace

CaptionColour Switching::VideoCaptionColour(int o) const {
    const auto& out = state_.outputs;
    return CaptionColourOf(out.videoInput(o), out.videoTaken(o), true);
}

CaptionColour Switching::AudioCaptionColour(int o) const {
    const auto& out = state_.outputs;
    return CaptionColourOf(out.audioInput(o), out.audioTaken(o), state_.AudioPresent());
}

int Switching::CommittedVideo(int o) const {
    if (o < 0 || o >= kMaxOutputs) {
        return NoInput;
    }
    const auto& out = state_.outputs;
    return out.videoTaken(o) != 0 ? out.videoInput(o) : state_.prevOutputs.videoInput(o);
}

int Switching::CommittedAudio(int o) const {
    if (o < 0 || o >= kMaxOutputs || !state_.AudioPresent()) {
        return NoInput;
    }
    const auto& out = state_.outputs;
    return out.audioTaken(o) != 0 ? out.audioInput(o) : state_.prevOutputs.audioInput(o);
}

int Switching::TemporaryVideo(int o) const {
    if (o < 0 || o >= kMaxOutputs) {
        return NoInput;
    }
    const auto& out = state_.outputs;
    return out.videoTaken(o) == 0 ? out.videoInput(o) : NoInput;
}

int Switching::TemporaryAudio(int o) const {
    if (o < 0 || o >= kMaxOutputs || !state_.AudioPresent()) {
        return NoInput;
    }
    const auto& out = state_.outputs;
    return out.audioTaken(o) == 0 ? out.audioInput(o) : NoInput;
}

RouteColour Switching::ColourFor(int k, int o) const {
    if (k == NoInput || o < 0 || o >= kMaxOutputs) {
        return RouteColour::Face;
    }
    const bool video = state_.outputs.videoInput(o) == k;
    const bool audio = state_.outputs.audioInput(o) == k;
    if (video && audio) {
        return RouteColour::AudioVideo;
    }
    if (video) {
        return RouteColour::VideoOnly;
    }
    if (audio) {
        return RouteColour::AudioOnly;
    }
    return RouteColour::Face;
}

} // namespace qvc
