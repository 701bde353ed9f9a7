#include "SequencingPage.h"

#include "ui/common/Colours.h"
#include "ui/common/ControlNames.h"

#include <QApplication>
#include <QCheckBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <functional>

namespace qvc {

namespace {

const QString kPageCaption = QStringLiteral("Sequencing");
const QString kBoxCaption = QStringLiteral("Preset Sequence ");
const QString kPresetHeading = QStringLiteral("Preset #");
const QString kDelayHeading = QStringLiteral("Delay (sec)");
const QString kRowCaption = QStringLiteral("Seq %1");
const QString kEnableCaption = QStringLiteral("On");
const QString kStartCaption = QStringLiteral("Start");
const QString kStopCaption = QStringLiteral("Stop");
const QString kDelayStart = QStringLiteral("3");
const QString kLampName = QStringLiteral("Sequence lamp");
constexpr int kPresetMaxLength = 2;
constexpr int kDelayMaxLength = 4;

// The timer before the first Start; Start always sets the row's delay.
constexpr int kStartInterval = 500;
// How soon a step that found the link at work looks again.
constexpr int kExchangeWaitMs = 20;

constexpr int kLampSize = 16;
constexpr int kSpacing = 6;

// A row's edit. It reports when the operator leaves it for another control
// of the window, after its own focus handling, so that an edit given the
// focus back shows its cursor again. A menu opening, another window taking
// over or the edit being disabled is no leaving.
class RowEdit : public QLineEdit {
  public:
    RowEdit(const QString& text, QWidget* parent) : QLineEdit(text, parent) {}

    std::function<void()> left;

  protected:
    void focusOutEvent(QFocusEvent* event) override {
        QLineEdit::focusOutEvent(event);
        const Qt::FocusReason reason = event->reason();
        const QWidget* now = QApplication::focusWidget();
        if (left && isEnabled() && reason != Qt::ActiveWindowFocusReason &&
            reason != Qt::PopupFocusReason && reason != Qt::MenuBarFocusReason && now != nullptr &&
            now != this && now->window() == window()) {
            left();
        }
    }
};

// Wide enough for the column heading and a few digits.
int EditWidth(const QWidget* w, const QString& heading) {
    const QFontMetrics metrics = w->fontMetrics();
    return std::max(metrics.horizontalAdvance(heading),
                    metrics.horizontalAdvance(QStringLiteral("00000"))) +
           ScaledPixels(w, 12);
}

} // namespace

SequencingPage::SequencingPage(PageContext context, QWidget* parent)
    : Page(std::move(context), QStringLiteral("SequencingTabSheet"), kPageCaption, parent),
      sequencer_(ctx_.presets) {
    BuildControls();
    HighlightRow(-1);
    SetLamp(false);

    timer_ = new QTimer(this);
    timer_->setObjectName(QStringLiteral("PresetSeqTimer"));
    timer_->setSingleShot(true);
    timer_->setInterval(kStartInterval);
    connect(timer_, &QTimer::timeout, this, [this] { PresetSeqTimerTick(); });

    for (int r = 0; r < kSequenceRows; ++r) {
        const Row& row = rows_[static_cast<std::size_t>(r)];
        connect(row.enable, &QCheckBox::toggled, this,
                [this, r](bool ticked) { PresetSeqEnableCheckBoxClick(r, ticked); });
        static_cast<RowEdit*>(row.preset)->left = [this, r] {
            ValidateEdit(rows_[static_cast<std::size_t>(r)].preset, Sequencer::Field::PresetNumber);
        };
        static_cast<RowEdit*>(row.delay)->left = [this, r] {
            ValidateEdit(rows_[static_cast<std::size_t>(r)].delay, Sequencer::Field::Delay);
        };
    }
    connect(startButton_, &QPushButton::clicked, this, [this] { StartSequence(); });
    connect(stopButton_, &QPushButton::clicked, this, [this] { StopSequence(); });
}

// ---------------------------------------------------------------------------
// Layout

void SequencingPage::BuildControls() {
    auto* box = new QGroupBox(kBoxCaption, this);
    NameControl(box, QStringLiteral("PresetSeqParamGroupBox"), kBoxCaption);
    const int spacing = ScaledPixels(this, kSpacing);

    // The row names stand outside the box of row controls, which a run
    // disables; both grids share their row heights, so the rows line up.
    activeBox_ = new QWidget(box);
    NameControl(activeBox_, QStringLiteral("PresetSequenceActiveBox"));
    auto* inner = new QGridLayout(activeBox_);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->setSpacing(spacing);
    auto* presetHeading = new QLabel(kPresetHeading, activeBox_);
    NameControl(presetHeading, QStringLiteral("Label133"), kPresetHeading);
    auto* delayHeading = new QLabel(kDelayHeading, activeBox_);
    NameControl(delayHeading, QStringLiteral("Label134"), kDelayHeading);
    inner->addWidget(presetHeading, 0, 1);
    inner->addWidget(delayHeading, 0, 2);

    auto* outer = new QGridLayout(box);
    outer->setVerticalSpacing(spacing);
    outer->setHorizontalSpacing(ScaledPixels(this, 10));
    outer->addWidget(activeBox_, 0, 1, kSequenceRows + 1, 1);

    const int presetWidth = EditWidth(this, kPresetHeading);
    const int delayWidth = EditWidth(this, kDelayHeading);
    for (int r = 0; r < kSequenceRows; ++r) {
        BuildRow(r, *box, *outer, *inner, presetWidth, delayWidth);
    }

    // One height for every row of both grids.
    painter_.PaintCaption(rows_[0].name, painter_.Face());
    rows_[0].name->ensurePolished();
    const int rowHeight =
        std::max({rows_[0].name->sizeHint().height(), rows_[0].preset->sizeHint().height(),
                  rows_[0].enable->sizeHint().height()});
    const int headingHeight = presetHeading->sizeHint().height();
    presetHeading->setFixedHeight(headingHeight);
    delayHeading->setFixedHeight(headingHeight);
    outer->setRowMinimumHeight(0, headingHeight);
    for (const Row& row : rows_) {
        for (QWidget* w : {static_cast<QWidget*>(row.name), static_cast<QWidget*>(row.enable),
                           static_cast<QWidget*>(row.preset), static_cast<QWidget*>(row.delay)}) {
            w->setFixedHeight(rowHeight);
        }
    }

    startButton_ = ActionButton(QStringLiteral("PresetSeqStartButton"), kStartCaption, box);
    stopButton_ = ActionButton(QStringLiteral("PresetSeqStopButton"), kStopCaption, box);
    for (QPushButton* b : {startButton_, stopButton_}) {
        painter_.PaintButton(b, painter_.Face());
        // Reached with Tab; a click leaves the focus in the edit, so that
        // Start checks a wrong edit once, not also for leaving it.
        b->setFocusPolicy(Qt::TabFocus);
    }
    lamp_ = new QLabel(box);
    NameControl(lamp_, QStringLiteral("PresetSeqApdStatusLight"), kLampName);
    lamp_->setFixedSize(kLampSize, kLampSize);
    auto* actions = new QHBoxLayout;
    actions->setSpacing(spacing);
    actions->addWidget(startButton_);
    actions->addWidget(stopButton_);
    actions->addWidget(lamp_);
    outer->addLayout(actions, kSequenceRows + 1, 0, 1, 2);

    auto* column = new QVBoxLayout;
    column->addWidget(box);
    column->addStretch(1);
    auto* page = new QHBoxLayout(this);
    page->addLayout(column);
    page->addStretch(1);

    ChainTabOrder();
}

void SequencingPage::BuildRow(int r, QWidget& box, QGridLayout& outer, QGridLayout& inner,
                              int presetWidth, int delayWidth) {
    Row& row = rows_[static_cast<std::size_t>(r)];
    const QString caption = kRowCaption.arg(r + 1);
    row.name = new QLabel(&box);
    NameControl(row.name, Numbered("PresetSeqLabel", r + 1));
    ShowValue(row.name, caption);
    row.name->setAlignment(Qt::AlignCenter);
    outer.addWidget(row.name, r + 1, 0);

    row.enable = new QCheckBox(kEnableCaption, activeBox_);
    NameControl(row.enable, Numbered("PresetSeqEnableCheckBox", r + 1),
                caption + QLatin1Char(' ') + kEnableCaption);
    row.enable->setFocusPolicy(Qt::StrongFocus);
    row.preset = new RowEdit(QString::number(r + 1), activeBox_);
    NameControl(row.preset, Numbered("PresetSeqEdit", r + 1),
                caption + QLatin1Char(' ') + kPresetHeading);
    row.preset->setMaxLength(kPresetMaxLength);
    row.preset->setFixedWidth(presetWidth);
    row.preset->setEnabled(false);
    row.delay = new RowEdit(kDelayStart, activeBox_);
    NameControl(row.delay, Numbered("PresetDelayEdit", r + 1),
                caption + QLatin1Char(' ') + kDelayHeading);
    row.delay->setMaxLength(kDelayMaxLength);
    row.delay->setFixedWidth(delayWidth);
    row.delay->setEnabled(false);
    inner.addWidget(row.enable, r + 1, 0);
    inner.addWidget(row.preset, r + 1, 1);
    inner.addWidget(row.delay, r + 1, 2);
}

// Row by row, in reading order, then Start and Stop.
void SequencingPage::ChainTabOrder() {
    QWidget* previous = nullptr;
    for (const Row& row : rows_) {
        for (QWidget* w : {static_cast<QWidget*>(row.enable), static_cast<QWidget*>(row.preset),
                           static_cast<QWidget*>(row.delay)}) {
            if (previous != nullptr) {
                setTabOrder(previous, w);
            }
            previous = w;
        }
    }
    setTabOrder(previous, startButton_);
    setTabOrder(startButton_, stopButton_);
}

void SequencingPage::HighlightRow(int r) {
    for (int i = 0; i < kSequenceRows; ++i) {
        painter_.PaintCaption(rows_[static_cast<std::size_t>(i)].name,
                              i == r ? colour::kCommitted : painter_.Face());
    }
}

void SequencingPage::SetLamp(bool lit) {
    painter_.PaintLamp(lamp_, lit ? colour::kLampLit : colour::kLampUnlit);
}

// ---------------------------------------------------------------------------
// The row edits

void SequencingPage::PresetSeqEnableCheckBoxClick(int r, bool ticked) {
    const Row& row = rows_[static_cast<std::size_t>(r)];
    row.preset->setEnabled(ticked);
    row.delay->setEnabled(ticked);
}

bool SequencingPage::ValidateEdit(QLineEdit* edit, Sequencer::Field field) {
    if (refusing_) {
        return true;
    }
    const std::string text = edit->text().toStdString();
    const EditCheck check =
        field == Sequencer::Field::Delay ? CheckDelayText(text) : CheckPresetText(text);
    if (!check.Passed()) {
        ShowRefusal(QString::fromStdString(check.message), edit);
    }
    return check.Passed();
}

void SequencingPage::ShowRefusal(const QString& message, QLineEdit* edit) {
    const QScopedValueRollback<bool> refusing(refusing_, true);
    ctx_.prompts.Message(message);
    if (edit != nullptr) {
        edit->setFocus(Qt::OtherFocusReason);
    }
}

// ---------------------------------------------------------------------------
// The run

void SequencingPage::StartSequence() {
    SequenceEntries entries;
    for (int r = 0; r < kSequenceRows; ++r) {
        const Row& row = rows_[static_cast<std::size_t>(r)];
        entries[static_cast<std::size_t>(r)] = {row.enable->isChecked(),
                                                row.preset->text().toStdString(),
                                                row.delay->text().toStdString()};
    }
    const Sequencer::StartResult start = sequencer_.Start(entries);
    if (!start.started) {
        QLineEdit* edit = nullptr;
        if (start.row >= 0) {
            const Row& row = rows_[static_cast<std::size_t>(start.row)];
            edit = start.field == Sequencer::Field::Delay ? row.delay : row.preset;
        }
        ShowRefusal(QString::fromStdString(start.message), edit);
        return;
    }
    timer_->stop();
    activeBox_->setEnabled(false);
    HighlightRow(start.row);
    SetLamp(true);
    emit stateChanged();
    Send(start.commands);
    Arm(start.intervalMs);
}

void SequencingPage::StopSequence() {
    timer_->stop();
    sequencer_.Stop();
    SetLamp(false);
    activeBox_->setEnabled(true);
    // The row names keep their colours: the last running row stays lime.
}

void SequencingPage::PresetSeqTimerTick() {
    if (sequencer_.State() != Sequencer::Run::Running) {
        return;
    }
    if (ctx_.exchangeInProgress && ctx_.exchangeInProgress()) {
        timer_->start(kExchangeWaitMs);
        return;
    }
    BusyScope busy(ctx_.link);
    const Sequencer::StepResult step = sequencer_.Step();
    if (!step.recalled) { // one row: its preset stays until Stop
        return;
    }
    HighlightRow(sequencer_.CurrentRow());
    emit stateChanged();
    Send(step.commands);
    // Counted from the end of the recall.
    Arm(step.intervalMs);
}

void SequencingPage::Arm(int delayMs) {
    const auto interval = static_cast<long long>(delayMs) * secondMs_ / 1000;
    timer_->start(static_cast<int>(std::max(interval, 1LL)));
}

} // namespace qvc
