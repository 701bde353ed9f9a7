// The "A / V Switching" page: 16 input and 16 output buttons, the caption
// labels and mute boxes of each output, the Audio/Video selector with its
// colour legend, Take with its lamp, Cancel, Clear All Routing and
// "Read from Quorvel".
//
// (Interface agreed with the main window; the page's internals are its own.)
#pragma once

#include "link/LinkState.h"
#include "model/DeviceState.h"
#include "model/Switching.h"

#include <QColor>
#include <QWidget>
#include <array>
#include <functional>

class QButtonGroup;
class QCheckBox;
class QLabel;
class QPushButton;

namespace qvc {

class SwitchingPage : public QWidget {
    Q_OBJECT
  public:
    // `send` hands command lines to the device link, in order.
    using CommandSink = std::function<void(const Commands&)>;

    SwitchingPage(DeviceState& state, LinkState& link, Switching& switching, CommandSink send,
                  QWidget* parent = nullptr);

    // Captions and caption colours of output o (also as two halves).
    void RefreshOutputRow(int o);
    void RefreshOutputCaptions(int o);
    void RefreshOutputColours(int o);
    // Window title (through windowTitleRequested), every shown row, mute
    // boxes, enabling of output and input controls.
    void RefreshRouting();
    // Colours every shown output button for input k (nothing for NoInput).
    void ColourOutputsForInput(int k);
    // Withdraws temporary routes and the selection; sends "TAKE 0" if needed.
    void CancelPending();

    // The preset recall of the preset panel: while `pending` answers true,
    // Take runs `confirm` instead of committing the routes, and Cancel (and
    // Clear All Routing, before it clears) runs `cancel`. Unset hooks count
    // as "no recall pending".
    void SetRecallHooks(std::function<bool()> pending, std::function<void()> confirm,
                        std::function<void()> cancel);

    // Button captions (the input and output labels); the accessible name
    // follows the caption. Numbers are 0-based; others are ignored.
    void SetInputCaption(int i, const QString& caption);
    void SetOutputCaption(int o, const QString& caption);

    // The item of AVInputRadioGroup, as the next output click reads it.
    AvMode CurrentAvMode() const;

    // The colours the page paints with, read from the platform at
    // construction (face) and from the legend labels (mode colours).
    QColor FaceColour() const { return faceColour_; }
    QColor LegendColour(RouteColour colour) const;

  signals:
    void windowTitleRequested(const QString& title);
    void readRequested(); // the "Read from Quorvel" button

  private:
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
    void Send(const Commands& lines);
    bool RecallPending() const;

    int ShownOutputs() const;
    int ShownInputs() const;

    DeviceState& state_;
    LinkState& link_;
    Switching& switching_;
    CommandSink send_;
    QColor faceColour_;
    QColor faceTextColour_;

    std::function<bool()> recallPending_;
    std::function<void()> recallConfirm_;
    std::function<void()> recallCancel_;

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
