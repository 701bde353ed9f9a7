#include "SwitchingPage.h"

#include "protocol/SystemStatus.h"
#include "ui/common/Colours.h"
#include "ui/common/ControlNames.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QToolTip>
#include <QVBoxLayout>
#include <algorithm>

namespace qvc {

namespace {

// Window title after a read-back, by model size; two spaces before "Control".
const char* const kWindowTitle = "Norvak Dellby LLC :- Quorvel  Control (%1)";

// Captions.
const char* const kPageName = "A / V Switching";
const char* const kNoInputCaption = "--";
const char* const kMuteCaption = "Mute";
const char* const kTakeCaption = "Take";
const char* const kCancelCaption = "Cancel";
const char* const kClearAllRoutingCaption = "Clear All Routing";
const char* const kUpdateStatusCaption = "Read from Quorvel";
const char* const kAvModeCaptions[] = {"Audio/Video", "Video Only", "Audio Only"};

// Frames and row headers of the page.
const char* const kInputsTitle = "Inputs";
const char* const kOutputsTitle = "Outputs";
const char* const kModeTitle = "Switching mode";
const char* const kActionsTitle = "Routing";
const char* const kInputRowHeader = "Input";
const char* const kOutputRowHeader = "Output";
const char* const kVideoRowHeader = "Video";
const char* const kAudioRowHeader = "Audio";

// Accessible names of the controls without a caption of their own.
const char* const kTakeLampName = "Take lamp";
const char* const kAvModeLegendNames[] = {"Audio/Video colour", "Video Only colour",
                                          "Audio Only colour"};

// Object names of the control families (number appended, from 1).
const char* const kInputButtonName = "InputButton";
const char* const kOutputButtonName = "OutputButton";
const char* const kVideoLabelObject = "VideoLabel";
const char* const kAudioLabelObject = "AudioLabel";
const char* const kMuteBoxObject = "OutputMuteCheckBox";
const char* const kAvModeItemObject = "AVInputRadioGroupItem";

constexpr int kLampSize = 16;
constexpr int kLegendWidth = 36;
constexpr int kLegendHeight = 16;
// The page leaves room on its right for the preset panel of the window.
constexpr int kContentMaxWidth = 700;
constexpr int kColumnsPerBank = 8;
constexpr int kGridSpacing = 6;

// The header column of the input and output grids: one width for both,
// so input and output buttons line up.
int HeaderWidth(const QWidget* w) {
    int width = 0;
    for (const char* text : {kInputRowHeader, kOutputRowHeader, kVideoRowHeader, kAudioRowHeader}) {
        width = std::max(width, w->fontMetrics().horizontalAdvance(QString::fromLatin1(text)));
    }
    return width + 4;
}

QLabel* RowHeader(const char* text, QWidget* parent) {
    auto* header = new QLabel(QString::fromLatin1(text), parent);
    header->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return header;
}

QString Numbered(const char* family, int n) {
    return QString::fromLatin1(family) + QString::number(n);
}

void SetLegendColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colour);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
}

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
// Layout

void SwitchingPage::BuildControls() {
    auto* content = new QWidget(this);
    content->setMaximumWidth(kContentMaxWidth);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    column->addWidget(BuildInputs());
    column->addWidget(BuildOutputs());

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(10);
    bottom->addWidget(BuildModeSelector());
    bottom->addWidget(BuildActions(), 1);
    column->addLayout(bottom);
    column->addStretch(1);

    auto* page = new QHBoxLayout(this);
    page->addWidget(content, 1);
    page->addStretch(0);
    ChainTabOrder();
}

QWidget* SwitchingPage::BuildInputs() {
    auto* box = new QGroupBox(QString::fromLatin1(kInputsTitle), this);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(kGridSpacing);
    grid->setVerticalSpacing(kGridSpacing);
    grid->setColumnMinimumWidth(0, HeaderWidth(this));
    grid->addWidget(RowHeader(kInputRowHeader, box), 0, 0);
    for (int i = 0; i < kMaxInputs; ++i) {
        auto* button = MatrixButton(QString::fromLatin1(kInputButtonName), i + 1, box);
        grid->addWidget(button, i / kColumnsPerBank, 1 + i % kColumnsPerBank);
        inputButtons_[i] = button;
    }
    for (int c = 1; c <= kColumnsPerBank; ++c) {
        grid->setColumnStretch(c, 1);
    }
    return box;
}

QWidget* SwitchingPage::BuildOutputs() {
    auto* box = new QGroupBox(QString::fromLatin1(kOutputsTitle), this);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(kGridSpacing);
    grid->setVerticalSpacing(4);
    grid->setColumnMinimumWidth(0, HeaderWidth(this));

    const int banks = kMaxOutputs / kColumnsPerBank;
    constexpr int kRowsPerBank = 4; // button, video, audio, mute
    for (int bank = 0; bank < banks; ++bank) {
        const int top = bank * (kRowsPerBank + 1);
        if (bank > 0) {
            auto* rule = new QFrame(box);
            rule->setFrameShape(QFrame::HLine);
            rule->setFrameShadow(QFrame::Sunken);
            grid->addWidget(rule, top - 1, 0, 1, kColumnsPerBank + 1);
        }
        const char* headers[] = {kOutputRowHeader, kVideoRowHeader, kAudioRowHeader};
        for (int r = 0; r < 3; ++r) {
            grid->addWidget(RowHeader(headers[r], box), top + r, 0);
        }
        for (int c = 0; c < kColumnsPerBank; ++c) {
            const int o = bank * kColumnsPerBank + c;
            auto* button = MatrixButton(QString::fromLatin1(kOutputButtonName), o + 1, box);
            grid->addWidget(button, top, c + 1);
            outputButtons_[o] = button;

            auto* video = new QLabel(box);
            NameControl(video, Numbered(kVideoLabelObject, o + 1));
            ShowValue(video, QString::fromLatin1(kNoInputCaption));
            video->setAlignment(Qt::AlignCenter);
            grid->addWidget(video, top + 1, c + 1);
            videoLabels_[o] = video;

            auto* audio = new QLabel(box);
            NameControl(audio, Numbered(kAudioLabelObject, o + 1));
            ShowValue(audio, QString::fromLatin1(kNoInputCaption));
            audio->setAlignment(Qt::AlignCenter);
            grid->addWidget(audio, top + 2, c + 1);
            audioLabels_[o] = audio;

            auto* mute = new QCheckBox(QString::fromLatin1(kMuteCaption), box);
            NameControl(mute, Numbered(kMuteBoxObject, o + 1), QString::fromLatin1(kMuteCaption));
            mute->setFocusPolicy(Qt::StrongFocus);
            grid->addWidget(mute, top + 3, c + 1, Qt::AlignHCenter);
            muteBoxes_[o] = mute;
        }
    }
    for (int c = 1; c <= kColumnsPerBank; ++c) {
        grid->setColumnStretch(c, 1);
    }
    return box;
}

QWidget* SwitchingPage::BuildModeSelector() {
    auto* box = new QGroupBox(QString::fromLatin1(kModeTitle), this);
    NameControl(box, QStringLiteral("AVInputRadioGroup"), QString::fromLatin1(kModeTitle));
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(12);
    avModeGroup_ = new QButtonGroup(box);
    avModeGroup_->setExclusive(true);

    audioVideoColorLabel_ = new QLabel(box);
    videoOnlyColorLabel_ = new QLabel(box);
    audioOnlyColorLabel_ = new QLabel(box);
    QLabel* legends[] = {audioVideoColorLabel_, videoOnlyColorLabel_, audioOnlyColorLabel_};
    const char* legendObjects[] = {"AudioVideoColorLabel", "VideoOnlyColorLabel",
                                   "AudioOnlyColorLabel"};
    SetLegendColour(audioVideoColorLabel_, colour::kAudioVideo);
    SetLegendColour(videoOnlyColorLabel_, QToolTip::palette().color(QPalette::ToolTipBase));
    SetLegendColour(audioOnlyColorLabel_, colour::kAudioOnly);

    for (int item = 0; item < 3; ++item) {
        const QString caption = QString::fromLatin1(kAvModeCaptions[item]);
        auto* radio = new QRadioButton(caption, box);
        NameControl(radio, Numbered(kAvModeItemObject, item), caption);
        avModeGroup_->addButton(radio, item);
        grid->addWidget(radio, item, 0);

        QLabel* legend = legends[item];
        NameControl(legend, QString::fromLatin1(legendObjects[item]),
                    QString::fromLatin1(kAvModeLegendNames[item]));
        legend->setFrameStyle(QFrame::Box | QFrame::Plain);
        legend->setMinimumSize(kLegendWidth, kLegendHeight);
        legend->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        grid->addWidget(legend, item, 1);
    }
    avModeGroup_->button(static_cast<int>(AvMode::AudioVideo))->setChecked(true);
    return box;
}

QWidget* SwitchingPage::BuildActions() {
    auto* box = new QGroupBox(QString::fromLatin1(kActionsTitle), this);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(8);

    auto makeButton = [box](const char* objectName, const char* caption) {
        return ActionButton(QString::fromLatin1(objectName), QString::fromLatin1(caption), box);
    };
    takeButton_ = makeButton("TakeButton", kTakeCaption);
    cancelTakeButton_ = makeButton("CancelTakeButton", kCancelCaption);
    clearAllRoutingButton_ = makeButton("ClearAllRoutingButton", kClearAllRoutingCaption);
    updateStatusButton_ = makeButton("UpdateStatus", kUpdateStatusCaption);

    takeLamp_ = new QLabel(box);
    NameControl(takeLamp_, QStringLiteral("ApdStatusLight1"), QString::fromLatin1(kTakeLampName));
    takeLamp_->setFixedSize(kLampSize, kLampSize);

    auto* take = new QHBoxLayout;
    take->setSpacing(6);
    take->addWidget(takeButton_, 1);
    take->addWidget(takeLamp_);
    grid->addLayout(take, 0, 0);
    grid->addWidget(cancelTakeButton_, 0, 1);
    grid->addWidget(clearAllRoutingButton_, 1, 0);
    grid->addWidget(updateStatusButton_, 1, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(2, 1);
    return box;
}

void SwitchingPage::ChainTabOrder() {
    std::vector<QWidget*> order;
    for (auto* b : inputButtons_) {
        order.push_back(b);
    }
    for (int o = 0; o < kMaxOutputs; ++o) {
        order.push_back(outputButtons_[o]);
        order.push_back(muteBoxes_[o]);
    }
    for (auto* radio : avModeGroup_->buttons()) {
        order.push_back(radio);
    }
    order.push_back(takeButton_);
    order.push_back(cancelTakeButton_);
    order.push_back(clearAllRoutingButton_);
    order.push_back(updateStatusButton_);
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
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
    const auto& out = state_.outputs;
    // Red: temporary (also a temporary disconnection); lime: committed to an
    // input; face: committed to no input.
    QColor audio;
    if (out.audioInput(o) == NoInput || !state_.AudioPresent()) {
        audio = out.audioTaken(o) == 1 ? painter_.Face() : colour::kTemporary;
    } else {
        audio = out.audioTaken(o) == 0 ? colour::kTemporary : colour::kCommitted;
    }
    QColor video;
    if (out.videoInput(o) == NoInput) {
        video = out.videoTaken(o) == 1 ? painter_.Face() : colour::kTemporary;
    } else {
        video = out.videoTaken(o) == 0 ? colour::kTemporary : colour::kCommitted;
    }
    PaintCaption(audioLabels_[o], audio);
    PaintCaption(videoLabels_[o], video);
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

void SwitchingPage::SetInputCaption(int i, const QString& caption) {
    if (i < 0 || i >= kMaxInputs) {
        return;
    }
    SetButtonCaption(inputButtons_[i], caption);
}

void SwitchingPage::SetOutputCaption(int o, const QString& caption) {
    if (o < 0 || o >= kMaxOutputs) {
        return;
    }
    SetButtonCaption(outputButtons_[o], caption);
}

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
        Send(lines);
    }
    SetTakeLamp(false);
}

void SwitchingPage::ShowCommittedRoutes() {
    for (int o = 0; o < ShownOutputs(); ++o) {
        RefreshOutputColours(o);
    }
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
}

void SwitchingPage::ApplyLabels() {
    for (int i = 0; i < kMaxInputs; ++i) {
        SetInputCaption(i, QString::fromLatin1(ctx_.labels.Label(LabelKind::Input, i + 1)));
    }
    for (int o = 0; o < kMaxOutputs; ++o) {
        SetOutputCaption(o, QString::fromLatin1(ctx_.labels.Label(LabelKind::Output, o + 1)));
    }
}

void SwitchingPage::OutputMuteCheckBoxClick(int o, bool ticked) {
    if (link_.BusyFlag != 0 || link_.RefreshingFlag) {
        return;
    }
    BusyScope busy(link_);
    Send(switching_.SetOutputMute(o, ticked));
}

} // namespace qvc
