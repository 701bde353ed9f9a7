// The preset panel's side of the model: which step of its dialogue is open,
// the preset clicked last, and the preview of a recalled preset with the
// backup that a cancelled preview is restored from. The panel, the switching
// page ("Take" confirms and "Cancel" cancels a preview) and the read action
// all work on this one object.
#pragma once

#include "DeviceState.h"
#include "Switching.h"

#include <array>
#include <cstdint>

namespace qvc {

enum class PresetPanelState { Idle, Saving, Recalling };

class Presets {
  public:
    Presets(DeviceState& state, Switching& switching) : state_(state), switching_(switching) {}

    PresetPanelState PanelState() const { return panel_; }
    void SetPanelState(PresetPanelState panel) { panel_ = panel; }
    // 0-based preset whose button was clicked last, or NoInput (252).
    int SelectedPreset() const { return selectedPreset_; }
    // A recalled preset is shown as a preview awaiting Confirm or Cancel.
    bool RecallPending() const { return recallPending_; }

    enum class RecallMode { Preview, Direct };

    // Stores the routing (as it is, temporary routes included) and the
    // grouping in preset p, then "TAKE 1" and "PRST p+1"; the panel returns
    // to Idle.
    Commands StorePreset(int p);
    // Installs preset p's routing and grouping. A preview shows every shown
    // output as temporary and sends nothing; the first preview backs up what
    // it replaces. A direct recall (the sequencer's) sends "RPRST p+1 0" and
    // commits; it leaves the panel's state alone.
    Commands RecallPreset(int p, RecallMode mode);
    // Sends "RPRST p 1" for the selected preset and commits the preview;
    // the panel returns to Idle. Without a preview on show (none was made,
    // or a sequencer step replaced it) nothing is sent: the switcher would
    // recall a preset the window no longer shows.
    Commands ConfirmRecall();
    // Puts back what the preview replaced: the temporary routes' inputs and
    // taken marks, the mutes and the grouping. Nothing is sent, as the
    // switcher never received the preview. Without a preview there is
    // nothing of the routing to restore, and only the panel returns to Idle.
    // True when the state changed and the pages need a refresh.
    bool CancelRecall();

    // Whether preset n (1-based) holds a setting: its stored byte is not 0.
    // False for numbers outside 1..16.
    bool PresetIsStored(int n) const;

  private:
    // What a preview replaced, taken when the first preview begins.
    struct RecallBackup {
        std::array<std::uint8_t, kMaxOutputs> videoTaken{};
        std::array<std::uint8_t, kMaxOutputs> audioTaken{};
        std::array<std::uint8_t, kMaxOutputs> muted{};
        GroupTable groups = GroupTable::Initial();
    };

    DeviceState& state_;
    Switching& switching_;
    PresetPanelState panel_ = PresetPanelState::Idle;
    int selectedPreset_ = NoInput;
    bool recallPending_ = false;
    RecallBackup backup_;
};

// The live preset: the lowest stored preset (1-based) whose route image
// holds, for every shown output, the output's committed video and audio
// inputs; 0 when none does. A temporary route counts as what it replaces.
int LivePreset(const DeviceState& state);

} // namespace qvc
