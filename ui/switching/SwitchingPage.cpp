#include "SwitchingPage.h"

#include "protocol/SystemStatus.h"
#include "ui/common/Colours.h"
#include "ui/common/ControlNames.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <algorithm>

namespace qvc {

namespace {

// Window title after a read-back, by model size; two spaces before "Control".
const char* const kWindowTitle = "Norvak Dellby LLC :- Quorvel  Control (%1)";

// Captions.
const char* const kPageName = "A / V Switching";
const char* const kNoInputCaption = "--";

} // namespace

SwitchingPage::SwitchingPage(PageContext context, QWidget* parent)
    : Page(std::move(context), QStringLiteral("ControlTabSheet"), QString::fromLatin1(kPageName),
           parent),
      state_(ctx_.state), link_(ctx_.link), switching_(ctx_.switching), presets_(ctx_.presets) {
    BuildControls();
    SetAllButtonsToFace();
    SetTakeLamp(false);
    for (int o = 0; o < kMaxOutputs; ++o) {
        RefreshOutputRow(o);
    }
    // Rows and enabling for the model held now; the mute boxes are wired
    // afterwards, so this first fill sends nothing.
    RefreshRows();

    for (int i = 0; i < kMaxInputs; ++i) {
        connect(inputButtons_[i], &QPushButton::clicked, this, [this, i] { InputButtonClick(i); });
    }
    for (int o = 0; o < kMaxOutputs; ++o) {
        connect(outputButtons_[o], &QPushButton::clicked, this,
                [this, o] { OutputButtonClick(o); });
        // toggled: also when a refresh changes the tick.
        connect(muteBoxes_[o], &QCheckBox::toggled, this,
                [this, o](bool ticked) { OutputMuteCheckBoxClick(o, ticked); });
    }
    connect(takeButton_, &QPushButton::clicked, this, [this] { TakeButtonClick(); });
    connect(cancelTakeButton_, &QPushButton::clicked, this, [this] { CancelTakeButtonClick(); });
    connect(clearAllRoutingButton_, &QPushButton::clicked, this,
            [this] { ClearAllRoutingButtonClick(); });
    connect(updateStatusButton_, &QPushButton::clicked, this, [this] { emit readRequested(); });
}

// ---------------------------------------------------------------------------
// Colours

void SwitchingPage::PaintButton(QPushButton* button, const QColor& colour) {
    painter_.PaintButton(button, colour);
}

void SwitchingPage::PaintCaption(QLabel* label, const QColor& colour) {
    painter_.PaintCaption(label, colour);
}

QColor SwitchingPage::LegendColour(RouteColour colour) const {
    switch (colour) {
    case RouteColour::AudioVideo:
        return audioVideoColorLabel_->palette().color(QPalette::Window);
    case RouteColour::VideoOnly:
        return videoOnlyColorLabel_->palette().color(QPalette::Window);
    case RouteColour::AudioOnly:
        return audioOnlyColorLabel_->palette().color(QPalette::Window);
    case RouteColour::Face:
        break;
    }
    return painter_.Face();
}

void SwitchingPage::SetAllButtonsToFace() {
    for (auto* b : inputButtons_) {
        PaintButton(b, painter_.Face());
    }
    for (auto* b : outputButtons_) {
        PaintButton(b, painter_.Face());
    }
    for (auto* b : {takeButton_, cancelTakeButton_, clearAllRoutingButton_, updateStatusButton_}) {
        PaintButton(b, painter_.Face());
    }
}

void SwitchingPage::ColourOutputButton(int k, int o) {
    const QColor colour = LegendColour(switching_.ColourFor(k, o));
    PaintButton(outputButtons_[o], colour);
}

void SwitchingPage::ColourOutputsForInput(int k) {
    if (k < 0 || k >= kMaxInputs) { // NoInput, or nothing an input can be
        return;
    }
    for (int o = 0; o < ShownOutputs(); ++o) {
        ColourOutputButton(k, o);
    }
}

void SwitchingPage::SetTakeLamp(bool lit) {
    painter_.PaintLamp(takeLamp_, lit ? colour::kLampLit : colour::kLampUnlit);
    // The exchange that follows may block the event loop: show it now.
    takeLamp_->repaint();
}

// ---------------------------------------------------------------------------
// Display of the routing

int SwitchingPage::ShownOutputs() const {
    return std::clamp(state_.ShownOutputs(), 0, static_cast<int>(kMaxOutputs));
}

int SwitchingPage::ShownInputs() const {
    return std::clamp(state_.Inputs(), 0, static_cast<int>(kMaxInputs));
}

void SwitchingPage::RefreshOutputRow(int o) {
    RefreshOutputCaptions(o);
    RefreshOutputColours(o);
}

void SwitchingPage::RefreshOutputCaptions(int o) {
    if (o < 0 || o >= kMaxOutputs) {
        return;
    }
    const auto& out = state_.outputs;
    const int audio = out.audioInput(o);
    const int video = out.videoInput(o);
    ShowValue(audioLabels_[o], audio != NoInput && state_.AudioPresent()
                                   ? QString::number(audio + 1)
                                   : QString::fromLatin1(kNoInputCaption));
    ShowValue(videoLabels_[o],
              video == NoInput ? QString::fromLatin1(kNoInputCaption) : QString::number(video + 1));
}

void SwitchingPage::RefreshOutputColours(int o) {
    if (o < 0 || o >= kMaxOutputs) {
        return;
    }
    const auto colour = [this](CaptionColour c) {
        switch (c) {
        case CaptionColour::Temporary:
            return colour::kTemporary;
        case CaptionColour::Committed:
            return colour::kCommitted;
        case CaptionColour::Face:
            break;
        }
        return painter_.Face();
    };
    PaintCaption(audioLabels_[o], colour(switching_.AudioCaptionColour(o)));
    PaintCaption(videoLabels_[o], colour(switching_.VideoCaptionColour(o)));
}

void SwitchingPage::RefreshRouting() {
    // The title names the model only once the switcher has reported it.
    const std::string size = state_.statusRead ? ModelSizeText(state_.status.ModelCode()) : "";
    if (!size.empty()) {
        emit windowTitleRequested(
            QString::fromLatin1(kWindowTitle).arg(QString::fromStdString(size)));
    }
    RefreshRows();
}

void SwitchingPage::RefreshFromState() {
    RefreshRouting();
    ColourOutputsForInput(switching_.SelectedInput());
    emit routingShown();
}

void SwitchingPage::RefreshRows() {
    const bool audio = state_.AudioPresent();
    const int shown = ShownOutputs();
    for (int o = 0; o < shown; ++o) {
        RefreshOutputRow(o);
        // A changed tick runs the mute handler, which the caller's flags
        // keep from sending.
        muteBoxes_[o]->setChecked(audio && state_.outputs.muted(o) != 0);
        outputButtons_[o]->setEnabled(true);
        videoLabels_[o]->setEnabled(true);
        audioLabels_[o]->setEnabled(audio);
        muteBoxes_[o]->setEnabled(audio);
    }
    // Outputs the model lacks keep their captions, colours and ticks.
    for (int o = shown; o < kMaxOutputs; ++o) {
        outputButtons_[o]->setEnabled(false);
        videoLabels_[o]->setEnabled(false);
        audioLabels_[o]->setEnabled(false);
        muteBoxes_[o]->setEnabled(false);
    }
    const int inputs = ShownInputs();
    for (int i = 0; i < kMaxInputs; ++i) {
        inputButtons_[i]->setEnabled(i < inputs);
    }
}

// ---------------------------------------------------------------------------
// Actions

AvMode SwitchingPage::CurrentAvMode() const {
    switch (avModeGroup_->checkedId()) {
    case static_cast<int>(AvMode::VideoOnly):
        return AvMode::VideoOnly;
    case static_cast<int>(AvMode::AudioOnly):
        return AvMode::AudioOnly;
    default:
        return AvMode::AudioVideo;
    }
}

void SwitchingPage::InputButtonClick(int n) {
    if (link_.BusyFlag != 0) {
        return;
    }
    BusyScope busy(link_);
    switching_.SelectInput(n);
    const int selected = switching_.SelectedInput();
    for (int i = 0; i < kMaxInputs; ++i) {
        if (i == selected) {
            PaintButton(inputButtons_[i], colour::kSelected);
        } else {
            PaintButton(inputButtons_[i], painter_.Face());
        }
    }
    // A second click on the selected input drops it; the output buttons then
    // keep their colours.
    if (selected == n) {
        ColourOutputsForInput(n);
    }
    // Enabling by the group rule, for the clicked input also when dropped.
    for (int o = 0; o < ShownOutputs(); ++o) {
        outputButtons_[o]->setEnabled(switching_.OutputEnabledFor(o, n));
    }
    emit routingShown();
}

void SwitchingPage::OutputButtonClick(int o) {
    if (link_.BusyFlag != 0) {
        return;
    }
    BusyScope busy(link_);
    const int s = switching_.SelectedInput();
    if (s == NoInput) { // nothing to route: no colour changes, nothing sent
        return;
    }
    const AvMode mode = CurrentAvMode();
    const Commands own = switching_.ToggleOutput(o, mode);
    ColourOutputButton(s, o);
    RefreshOutputRow(o);
    emit routingShown();
    Send(own);

    const Commands group = switching_.PropagateToGroup(o, mode);
    const int g = switching_.GroupOf(o);
    if (g >= 0) {
        for (int i = 0; i < ShownOutputs(); ++i) {
            if (i != o && switching_.GroupOf(i) == g) {
                ColourOutputButton(s, i);
                RefreshOutputRow(i);
            }
        }
        emit routingShown();
    }
    Send(group);
}

void SwitchingPage::TakeButtonClick() {
    SetTakeLamp(true);
    if (presets_.RecallPending()) {
        // The preview's routes are committed and the preset panel closes;
        // the rest of the window already shows the preview.
        const Commands lines = presets_.ConfirmRecall();
        ShowCommittedRoutes();
        emit routesCommitted();
        Send(lines);
    } else {
        const Commands lines = switching_.Take();
        ShowCommittedRoutes();
        emit routesCommitted(); // the preset panel's live preset follows
        Send(lines);
    }
    SetTakeLamp(false);
}

void SwitchingPage::ShowCommittedRoutes() {
    for (int o = 0; o < ShownOutputs(); ++o) {
        RefreshOutputColours(o);
    }
    emit routingShown();
}

void SwitchingPage::CancelTakeButtonClick() {
    if (presets_.RecallPending()) {
        CancelRecall();
        return;
    }
    CancelPending();
}

void SwitchingPage::CancelPending() {
    const Commands lines = switching_.CancelPending();
    SetAllButtonsToFace();
    for (int o = 0; o < ShownOutputs(); ++o) {
        RefreshOutputRow(o);
    }
    emit routingShown();
    Send(lines);
}

void SwitchingPage::ClearAllRoutingButtonClick() {
    if (link_.BusyFlag != 0) {
        return;
    }
    if (presets_.RecallPending()) {
        CancelRecall();
    }
    BusyScope busy(link_);
    CancelPending();
    const Commands lines = switching_.ClearAllRouting();
    RefreshRouting();
    ColourOutputsForInput(switching_.SelectedInput());
    emit routingShown();
    Send(lines);
}

void SwitchingPage::CancelRecall() {
    if (presets_.CancelRecall()) {
        emit stateChanged();
    }
}

void SwitchingPage::ShowLoadedConfiguration() {
    for (int o = 0; o < ShownOutputs(); ++o) {
        RefreshOutputRow(o);
    }
    emit routingShown();
}

void SwitchingPage::ApplyLabels() {
    for (int n = 1; n <= kLabelsPerKind; ++n) {
        SetButtonCaption(inputButtons_[n - 1],
                         QString::fromLatin1(ctx_.labels.Label(LabelKind::Input, n)));
        SetButtonCaption(outputButtons_[n - 1],
                         QString::fromLatin1(ctx_.labels.Label(LabelKind::Output, n)));
    }
    emit routingShown();
}

void SwitchingPage::OutputMuteCheckBoxClick(int o, bool ticked) {
    if (link_.BusyFlag != 0 || link_.RefreshingFlag) {
        return;
    }
    BusyScope busy(link_);
    const Commands lines = switching_.SetOutputMute(o, ticked);
    emit routingShown();
    Send(lines);
}

void SwitchingPage::ClickRoute(int output, int input) {
    if (output < 0 || output >= ShownOutputs() || input < 0 || input >= ShownInputs()) {
        return;
    }
    if (switching_.SelectedInput() != input) {
        inputButtons_[static_cast<std::size_t>(input)]->click();
    }
    if (switching_.SelectedInput() == input) {
        outputButtons_[static_cast<std::size_t>(output)]->click();
    }
}

void SwitchingPage::ClickTake() {
    takeButton_->click();
}

void SwitchingPage::ClickCancel() {
    cancelTakeButton_->click();
}

} // namespace qvc
