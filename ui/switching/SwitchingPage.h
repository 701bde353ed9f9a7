// The "A / V Switching" page: 16 input and 16 output buttons, the caption
// labels and mute boxes of each output, the Audio/Video selector with its
// colour legend, Take with its lamp, Cancel, Clear All Routing and
// "Read from Quorvel".
// While a preset preview is pending, Take confirms it and Cancel (and Clear
// All Routing, before it clears) cancels it.
#pragma once

#include "ui/common/FlatPainter.h"
#include "ui/common/Page.h"

#include <QColor>
#include <array>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;

namespace qvc {

class SwitchingPage : public Page {
    Q_OBJECT
  public:
    explicit SwitchingPage(PageContext context, QWidget* parent = nullptr);

    // --- Page ---
    // The routing display, then the output colours for the selected input.
    void RefreshFromState() override;
    void ApplyLabels() override;
    // The loaded routes on the captions; buttons and mute boxes keep showing
    // what they showed.
    void ShowLoadedConfiguration() override;
    // The caption colours of every shown output.
    void ShowCommittedRoutes() override;
    void CancelPending() override;
    void Entered() override { CancelPending(); }
    bool ShowsPresetPanel() const override { return true; }

    // What the user's clicks do, for a view that routes through this page
    // (0-based numbers): input `input` is clicked unless it is the selected
    // one already, then output `output`; each click only where the page lets
    // the user make it (an idle link, the group rule, a model's inputs).
    void ClickRoute(int output, int input);
    // A click on "Take" and on "Cancel".
    void ClickTake();
    void ClickCancel();

  signals:
    // The page shows a change of routes, selection, mutes, labels or model:
    // a view that follows the page shows the state again. Comes before the
    // change's lines are sent.
    void routingShown();

  private:
    // Captions and caption colours of output o (also as two halves).
    void RefreshOutputRow(int o);
    void RefreshOutputCaptions(int o);
    void RefreshOutputColours(int o);
    // Window title (through windowTitleRequested), every shown row, mute
    // boxes, enabling of output and input controls.
    void RefreshRouting();
    // Colours every shown output button for input k (nothing for NoInput).
    void ColourOutputsForInput(int k);
    // The item of AVInputRadioGroup, as the next output click reads it.
    AvMode CurrentAvMode() const;
    // The colour of a legend label: the colour of its switching mode.
    QColor LegendColour(RouteColour colour) const;

    // Handlers of the page's controls.
    void InputButtonClick(int n);
    void OutputButtonClick(int o);
    void TakeButtonClick();
    void CancelTakeButtonClick();
    void ClearAllRoutingButtonClick();
    void OutputMuteCheckBoxClick(int o, bool ticked);

    void BuildControls();
    QWidget* BuildInputs();
    QWidget* BuildOutputs();
    QWidget* BuildModeSelector();
    QWidget* BuildActions();
    void ChainTabOrder();

    // Shown rows, mute ticks and enabling (RefreshRouting without the title).
    void RefreshRows();
    // Colour of output o's button for input k, by the colouring rule.
    void ColourOutputButton(int k, int o);
    void SetAllButtonsToFace();
    void PaintButton(QPushButton* button, const QColor& colour);
    void PaintCaption(QLabel* label, const QColor& colour);
    void SetTakeLamp(bool lit);
    // A cancelled preview restored state that every page shows.
    void CancelRecall();

    int ShownOutputs() const;
    int ShownInputs() const;

    DeviceState& state_;
    LinkState& link_;
    Switching& switching_;
    Presets& presets_;
    FlatPainter painter_;

    std::array<QPushButton*, kMaxInputs> inputButtons_{};
    std::array<QPushButton*, kMaxOutputs> outputButtons_{};
    std::array<QLabel*, kMaxOutputs> videoLabels_{};
    std::array<QLabel*, kMaxOutputs> audioLabels_{};
    std::array<QCheckBox*, kMaxOutputs> muteBoxes_{};
    QButtonGroup* avModeGroup_ = nullptr;
    QLabel* audioVideoColorLabel_ = nullptr;
    QLabel* videoOnlyColorLabel_ = nullptr;
    QLabel* audioOnlyColorLabel_ = nullptr;
    QPushButton* takeButton_ = nullptr;
    QLabel* takeLamp_ = nullptr;
    QPushButton* cancelTakeButton_ = nullptr;
    QPushButton* clearAllRoutingButton_ = nullptr;
    QPushButton* updateStatusButton_ = nullptr;
};

} // namespace qvc
