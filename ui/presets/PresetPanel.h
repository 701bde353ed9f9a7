// The "Preset Save/Recall" panel. It lies over the right-hand edge of the
// pages that show it (ShowsPresetPanel) and works on the model's Presets,
// which the switching page and the read action share with it.
//
// The model holds the panel's dialogue (Idle, Saving, Recalling) and the
// preview; the panel shows them. "Save" opens the 16 preset buttons for a
// store, "Recall" opens the stored ones for a preview, which "Confirm" sends
// and "Cancel" withdraws. The window's page list refreshes the panel with
// the pages, so it follows changes made elsewhere (Take confirming a
// preview, a read-back cancelling it, a sequencer step).
#pragma once

#include "ui/common/FlatPainter.h"
#include "ui/common/Page.h"

#include <QGroupBox>
#include <array>

class QPushButton;
class QTabWidget;

namespace qvc {

class PresetPanel : public QGroupBox {
    Q_OBJECT
  public:
    explicit PresetPanel(PageContext context, QWidget* parent = nullptr);

    // Width of the strip the panel covers, in pixels at 120 dpi, and its
    // margin to the edges of the page area.
    static constexpr int kWidth = 176;
    static constexpr int kMargin = 6;

    // Places the panel over the right-hand strip of `pages` (the page
    // control's geometry in the parent's coordinates), below its tabs.
    void PlaceOver(const QRect& pages, int tabBarHeight);

    // Shows the model's panel state: which buttons can be clicked, whether
    // the preset buttons are shown and which of them.
    void RefreshFromState();
    // The preset labels as the captions of the preset buttons.
    void ApplyLabels();
    // Marks the live preset's button (a "LIVE" tag, " (live)" in its
    // accessible name) and unmarks the others.
    void ShowLivePreset();

  signals:
    // The panel changed state that the pages show (routing, grouping): every
    // page is refreshed from the state.
    void stateChanged();
    // A store took the temporary routes, or a confirmed recall committed
    // the preview: the pages show the committed routes, nothing else.
    void routesCommitted();

  private:
    void PresetsSaveButtonClick();
    void PresetSaveCancelButtonClick();
    void PresetsRecallButtonClick();
    void PresetRecallCancelButtonClick();
    void PresetRecallConfirmButtonClick();
    void PresetButtonClick(int p);

    void BuildControls();
    // What a step changed beyond the panel's own buttons.
    enum class Changed { PanelOnly, CommittedRoutes, State };
    // Refreshes the panel, then shows on the pages what the step changed,
    // then sends.
    void Finish(Changed changed, const Commands& lines);

    PageContext ctx_;
    Presets& presets_;
    FlatPainter painter_;

    QPushButton* saveButton_ = nullptr;
    QPushButton* saveCancelButton_ = nullptr;
    QPushButton* recallButton_ = nullptr;
    QPushButton* recallCancelButton_ = nullptr;
    QPushButton* confirmButton_ = nullptr;
    QTabWidget* pageControl_ = nullptr;
    std::array<QPushButton*, kPresetCount> presetButtons_{};
};

} // namespace qvc
