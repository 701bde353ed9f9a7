#include "PresetPanel.h"

#include "ui/common/CaptionButton.h"

#include "ui/common/ControlNames.h"

#include <QGridLayout>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qvc {

namespace {
const QString kCaption = QStringLiteral("Preset Save/Recall");
const QString kSaveCaption = QStringLiteral("Save");
const QString kRecallCaption = QStringLiteral("Recall");
const QString kCancelCaption = QStringLiteral("Cancel");
const QString kConfirmCaption = QStringLiteral("Confirm");
const QString kPresetsTabCaption = QStringLiteral("1 - 16");
const QString kPresetButtonName = QStringLiteral("PresetButton");
// The live preset's button: a tag, and its accessible name says so.
const QString kLiveTag = QStringLiteral("LIVE");
const QString kLiveSuffix = QStringLiteral(" (live)");
// The preset buttons stand in two columns: 1 to 8, then 9 to 16.
constexpr int kRowsPerColumn = 8;
constexpr int kSpacing = 6;
constexpr int kButtonGap = 4;
} // namespace

PresetPanel::PresetPanel(PageContext context, QWidget* parent)
    : QGroupBox(kCaption, parent), ctx_(std::move(context)), presets_(ctx_.presets) {
    NameControl(this, QStringLiteral("PresetsGroupBox"), kCaption);
    BuildControls();
    RefreshFromState();

    connect(saveButton_, &QPushButton::clicked, this, [this] { PresetsSaveButtonClick(); });
    connect(saveCancelButton_, &QPushButton::clicked, this,
            [this] { PresetSaveCancelButtonClick(); });
    connect(recallButton_, &QPushButton::clicked, this, [this] { PresetsRecallButtonClick(); });
    connect(recallCancelButton_, &QPushButton::clicked, this,
            [this] { PresetRecallCancelButtonClick(); });
    connect(confirmButton_, &QPushButton::clicked, this,
            [this] { PresetRecallConfirmButtonClick(); });
    for (int p = 0; p < kPresetCount; ++p) {
        connect(presetButtons_[static_cast<std::size_t>(p)], &QPushButton::clicked, this,
                [this, p] { PresetButtonClick(p); });
    }
}

void PresetPanel::BuildControls() {
    // Narrow margins: two columns of buttons with six-letter labels share
    // the panel's width.
    const int margin = ScaledPixels(this, kMargin);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(margin, margin, margin, margin);
    column->setSpacing(ScaledPixels(this, kSpacing));

    auto* actions = new QGridLayout;
    actions->setSpacing(ScaledPixels(this, kSpacing));
    auto button = [this](const char* objectName, const QString& caption) {
        QPushButton* b = ActionButton(QString::fromLatin1(objectName), caption, this);
        painter_.PaintButton(b, painter_.Face());
        return b;
    };
    saveButton_ = button("PresetsSaveButton", kSaveCaption);
    saveCancelButton_ = button("PresetSaveCancelButton", kCancelCaption);
    recallButton_ = button("PresetsRecallButton", kRecallCaption);
    recallCancelButton_ = button("PresetRecallCancelButton", kCancelCaption);
    confirmButton_ = button("PresetRecallConfirmButton", kConfirmCaption);
    actions->addWidget(saveButton_, 0, 0);
    actions->addWidget(saveCancelButton_, 0, 1);
    actions->addWidget(recallButton_, 1, 0);
    actions->addWidget(recallCancelButton_, 1, 1);
    actions->addWidget(confirmButton_, 2, 0, 1, 2);
    column->addLayout(actions);

    pageControl_ = new QTabWidget(this);
    pageControl_->setDocumentMode(true); // no frame around the buttons
    NameControl(pageControl_, QStringLiteral("PresetsPageControl"), kPresetsTabCaption);
    auto* sheet = new QWidget(pageControl_);
    auto* grid = new QGridLayout(sheet);
    grid->setContentsMargins(0, margin, 0, 0);
    grid->setHorizontalSpacing(ScaledPixels(this, kButtonGap));
    grid->setVerticalSpacing(ScaledPixels(this, kSpacing));
    for (int p = 0; p < kPresetCount; ++p) {
        QPushButton* b = MatrixButton(kPresetButtonName, p + 1, sheet);
        qobject_cast<CaptionButton*>(b)->SetTagRoom(true); // for "LIVE"
        painter_.PaintButton(b, painter_.Face());
        grid->addWidget(b, p % kRowsPerColumn, p / kRowsPerColumn);
        presetButtons_[static_cast<std::size_t>(p)] = b;
    }
    grid->setRowStretch(kRowsPerColumn, 1);
    pageControl_->addTab(sheet, kPresetsTabCaption);
    column->addWidget(pageControl_);
    column->addStretch(1);

    QWidget* previous = saveButton_;
    for (QWidget* w : {saveCancelButton_, recallButton_, recallCancelButton_, confirmButton_}) {
        setTabOrder(previous, w);
        previous = w;
    }
    for (QPushButton* b : presetButtons_) {
        setTabOrder(previous, b);
        previous = b;
    }
}

void PresetPanel::PlaceOver(const QRect& pages, int tabBarHeight) {
    const int margin = ScaledPixels(this, kMargin);
    const int width = ScaledPixels(this, kWidth);
    const int top = pages.top() + tabBarHeight + 2 * margin;
    setGeometry(pages.right() - width - 2 * margin, top, width, pages.bottom() - top - 2 * margin);
    raise();
}

void PresetPanel::RefreshFromState() {
    const PresetPanelState panel = presets_.PanelState();
    const bool saving = panel == PresetPanelState::Saving;
    const bool recalling = panel == PresetPanelState::Recalling;
    saveButton_->setEnabled(!recalling);
    saveCancelButton_->setEnabled(saving);
    recallButton_->setEnabled(!saving);
    recallCancelButton_->setEnabled(recalling);
    // Confirm sends the preview on show; there is none before the first
    // preset click, nor after a sequencer step replaced it.
    confirmButton_->setEnabled(recalling && presets_.RecallPending());
    for (int p = 0; p < kPresetCount; ++p) {
        presetButtons_[static_cast<std::size_t>(p)]->setEnabled(saving ||
                                                                presets_.PresetIsStored(p + 1));
    }
    pageControl_->setVisible(saving || recalling);
    ShowLivePreset();
}

void PresetPanel::ApplyLabels() {
    for (int p = 0; p < kPresetCount; ++p) {
        SetButtonCaption(presetButtons_[static_cast<std::size_t>(p)],
                         QString::fromLatin1(ctx_.labels.Label(LabelKind::Preset, p + 1)));
    }
    ShowLivePreset();
}

void PresetPanel::ShowLivePreset() {
    const int live = LivePreset(ctx_.state);
    for (int p = 0; p < kPresetCount; ++p) {
        auto* button = qobject_cast<CaptionButton*>(presetButtons_[static_cast<std::size_t>(p)]);
        const bool isLive = p + 1 == live;
        button->SetTag(isLive ? kLiveTag : QString());
        button->setAccessibleName(button->text() + (isLive ? kLiveSuffix : QString()));
    }
}

void PresetPanel::Finish(Changed changed, const Commands& lines) {
    RefreshFromState();
    switch (changed) {
    case Changed::PanelOnly:
        break;
    case Changed::CommittedRoutes:
        emit routesCommitted();
        break;
    case Changed::State:
        emit stateChanged();
        break;
    }
    if (!lines.empty() && ctx_.send) {
        ctx_.send(lines);
    }
}

void PresetPanel::PresetsSaveButtonClick() {
    presets_.SetPanelState(PresetPanelState::Saving);
    RefreshFromState();
}

void PresetPanel::PresetSaveCancelButtonClick() {
    presets_.SetPanelState(PresetPanelState::Idle);
    RefreshFromState();
}

void PresetPanel::PresetsRecallButtonClick() {
    presets_.SetPanelState(PresetPanelState::Recalling);
    RefreshFromState();
}

void PresetPanel::PresetRecallCancelButtonClick() {
    const bool changed = presets_.CancelRecall();
    Finish(changed ? Changed::State : Changed::PanelOnly, {});
}

void PresetPanel::PresetRecallConfirmButtonClick() {
    const Commands lines = presets_.ConfirmRecall();
    Finish(lines.empty() ? Changed::PanelOnly : Changed::CommittedRoutes, lines);
}

void PresetPanel::PresetButtonClick(int p) {
    if (ctx_.link.BusyFlag != 0) {
        return;
    }
    BusyScope busy(ctx_.link);
    switch (presets_.PanelState()) {
    case PresetPanelState::Saving:
        // The store takes the temporary routes; routing and grouping stay.
        Finish(Changed::CommittedRoutes, presets_.StorePreset(p));
        break;
    case PresetPanelState::Recalling:
        Finish(Changed::State, presets_.RecallPreset(p, Presets::RecallMode::Preview));
        break;
    case PresetPanelState::Idle: // the buttons are hidden
        break;
    }
}

} // namespace qvc
