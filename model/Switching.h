// Crosspoint routing with temporary routes, take and cancel, mutes and the
// colouring of output buttons for the selected input.
//
// Every operation changes the DeviceState first and returns the command lines
// to send, in order; the caller refreshes the window and then sends them.
// All numbers are 0-based. Loops over outputs cover the shown outputs only.
#pragma once

#include "DeviceState.h"
#include "protocol/Commands.h"

namespace qvc {

enum class AvMode { AudioVideo = 0, VideoOnly = 1, AudioOnly = 2 };

// How an output's route uses an input: the legend colour of its button.
enum class RouteColour { Face, AudioVideo, VideoOnly, AudioOnly };

// How an output's caption shows one layer: red for a temporary route (also a
// temporary disconnection), lime for a route committed to an input, the face
// colour for one committed to no input.
enum class CaptionColour { Face, Temporary, Committed };

class Switching {
  public:
    explicit Switching(DeviceState& state) : state_(state) {}

    // The picked input, or NoInput.
    int SelectedInput() const { return selectedInput_; }

    // Picks input n, or drops the selection when n is already picked. An
    // input beyond the model's inputs is refused.
    void SelectInput(int n);
    // Whether output o's button is enabled after a click on input n: o is in
    // no group, or n is one of its group's inputs, or its group has none.
    bool OutputEnabledFor(int o, int n) const;

    // Routes, reverts or disconnects output o for the selected input. A
    // revert sends "TAKE 0", which drops every temporary route on the
    // switcher, followed by the RTEMP of each output still temporary here.
    Commands ToggleOutput(int o, AvMode mode);
    // Output o's signals of `mode` temporarily to input k (NoInput: to no
    // input): "RTEMP o+1 v a", a layer the mode leaves alone unchanged.
    // Unlike ToggleOutput it never reverts or disconnects: an output that
    // already shows k needs no line.
    Commands RouteOutput(int o, int k, AvMode mode);
    // ToggleOutput on every other shown output of o's group, ascending.
    Commands PropagateToGroup(int o, AvMode mode);
    Commands Take(); // "TAKE 1", then CommitPending
    void CommitPending();
    // Drops the selection and reverts temporary signals; "TAKE 0" if any.
    Commands CancelPending();
    // "CLEAR"; every shown output disconnected, committed and unmuted.
    Commands ClearAllRouting();
    // Stores the box's tick in `muted` (1 or 0); "OMUTE o+1 m". Shown outputs only.
    Commands SetOutputMute(int o, bool ticked);

    // Colouring rule for input k and output o (Face for NoInput).
    RouteColour ColourFor(int k, int o) const;
    // The caption colours of output o's video and audio: a layer the
    // switcher lacks (audio without audio present) shows as no input.
    CaptionColour VideoCaptionColour(int o) const;
    CaptionColour AudioCaptionColour(int o) const;

    // The input output o's video (audio) is committed to, or NoInput: a
    // temporary route counts as what it replaces. Audio is NoInput on a
    // switcher without audio.
    int CommittedVideo(int o) const;
    int CommittedAudio(int o) const;
    // The input of output o's temporary video (audio) route, or NoInput when
    // the layer is committed or temporarily disconnected.
    int TemporaryVideo(int o) const;
    int TemporaryAudio(int o) const;

    // The number of outputs the loops cover: the model's OutputCount.
    int ShownOutputs() const;
    // The group of output o (0..15), or -1 when it belongs to none. Group
    // bytes outside 0..15 count as none.
    int GroupOf(int o) const;

  private:
    bool IsShownOutput(int o) const;
    // One of the model's inputs.
    bool IsInput(int n) const;
    // "TAKE 0", then the temporary routes of the shown outputs again.
    Commands Revert() const;

    DeviceState& state_;
    int selectedInput_ = NoInput;
};

} // namespace qvc
