#include "CrosspointGridWindow.h"

#include "model/Presets.h"
#include "ui/common/Colours.h"
#include "ui/common/ControlNames.h"
#include "ui/switching/SwitchingPage.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>

namespace qvc {

namespace {

// Captions and texts.
const QString kWindowTitle = QStringLiteral("Crosspoint Grid");
const QString kTakeCaption = QStringLiteral("Take");
const QString kCancelCaption = QStringLiteral("Cancel");
const QString kMutedMark = QStringLiteral("Muted");
const QString kNoInputMark = QStringLiteral("--");
const QString kNoInputName = QStringLiteral("temporarily no ");
const QString kNoPresetLive = QStringLiteral("No preset live");
const QString kLivePreset = QStringLiteral("Live preset: %1");
const QString kOutputName = QStringLiteral("Output %1");
const QString kInputName = QStringLiteral("input %1");
const QString kMutedSuffix = QStringLiteral(", muted");
const QString kSelectedSuffix = QStringLiteral(", selected");
const QString kCommitted = QStringLiteral("committed ");
const QString kTemporary = QStringLiteral("temporary ");

// Object names.
const QString kWindowObject = QStringLiteral("CrosspointGridWindow");
const QString kCellObject = QStringLiteral("CrosspointCell_%1_%2");
const QString kInputHeaderObject = QStringLiteral("GridInputHeader%1");
const QString kOutputHeaderObject = QStringLiteral("GridOutputHeader%1");
const QString kMuteMarkObject = QStringLiteral("GridMuteMark%1");
const QString kNoInputMarkObject = QStringLiteral("GridNoInputMark%1");
const QString kLivePresetObject = QStringLiteral("GridLivePresetLabel");
const QString kTakeObject = QStringLiteral("GridTakeButton");
const QString kCancelObject = QStringLiteral("GridCancelButton");

// Sizes at 120 dpi.
constexpr int kCellWidth = 40;
constexpr int kCellHeight = 30;
constexpr int kSpacing = 2;

// Grid columns: the output headers, the mute marks and the no-input marks,
// then one per input.
constexpr int kFirstCellColumn = 3;

// "V", "A" or "VA": the signals a route carries.
QString Mark(bool video, bool audio) {
    QString mark;
    if (video) {
        mark += QLatin1Char('V');
    }
    if (audio) {
        mark += QLatin1Char('A');
    }
    return mark;
}

QString SignalWords(bool video, bool audio) {
    if (video && audio) {
        return QStringLiteral("video and audio");
    }
    return video ? QStringLiteral("video") : QStringLiteral("audio");
}

// "committed video and audio, temporary video"; empty for no route.
QString RouteWords(const CrosspointView& v) {
    QStringList parts;
    if (v.committedVideo || v.committedAudio) {
        parts << kCommitted + SignalWords(v.committedVideo, v.committedAudio);
    }
    if (v.temporaryVideo || v.temporaryAudio) {
        parts << kTemporary + SignalWords(v.temporaryVideo, v.temporaryAudio);
    }
    return parts.join(QStringLiteral(", "));
}

// "Output 3 (PROJ)": the number, then the label unless it is empty.
QString Named(const QString& pattern, int n, const std::string& label) {
    QString name = pattern.arg(n);
    if (!label.empty()) {
        name += QStringLiteral(" (%1)").arg(QString::fromLatin1(label));
    }
    return name;
}

bool IsMoveKey(int key) {
    return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down;
}

bool IsWindowKey(int key) {
    return IsMoveKey(key) || key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}

} // namespace

// ---------------------------------------------------------------------------
// CrosspointCell

CrosspointCell::CrosspointCell(int output, int input, QWidget* parent)
    : QAbstractButton(parent), output_(output), input_(input) {
    setObjectName(kCellObject.arg(output + 1).arg(input + 1));
    setFocusPolicy(Qt::StrongFocus);
    QFont bold = font();
    bold.setBold(true);
    setFont(bold);
}

QSize CrosspointCell::sizeHint() const {
    return {ScaledPixels(this, kCellWidth), ScaledPixels(this, kCellHeight)};
}

void CrosspointCell::Show(const CrosspointView& view, const QString& name) {
    if (!(view == view_)) {
        view_ = view;
        update();
    }
    setText(Mark(view.committedVideo || view.temporaryVideo,
                 view.committedAudio || view.temporaryAudio));
    setAccessibleName(name);
    setToolTip(name);
}

void CrosspointCell::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QRect all = rect();
    p.fillRect(all, painter_.Face());
    if (!isEnabled()) { // the group rule closes this input to the output
        p.fillRect(all, QBrush(palette().color(QPalette::Mid), Qt::BDiagPattern));
    }

    const bool committed = view_.committedVideo || view_.committedAudio;
    const bool temporary = view_.temporaryVideo || view_.temporaryAudio;
    // Both: the committed route on the left half, the temporary on the right.
    QRect committedArea = all;
    QRect temporaryArea = all;
    if (committed && temporary) {
        committedArea.setRight(all.center().x());
        temporaryArea.setLeft(all.center().x() + 1);
    }
    p.setPen(Qt::black); // on lime and on red alike
    if (committed) {
        p.fillRect(committedArea, colour::kCommitted);
        p.drawText(committedArea, Qt::AlignCenter,
                   Mark(view_.committedVideo, view_.committedAudio));
    }
    if (temporary) {
        p.fillRect(temporaryArea, colour::kTemporary);
        p.drawText(temporaryArea, Qt::AlignCenter,
                   Mark(view_.temporaryVideo, view_.temporaryAudio));
    }
    if (isDown()) {
        p.fillRect(all, QColor(0, 0, 0, 48));
    }

    p.setPen(palette().color(QPalette::Dark));
    p.setBrush(Qt::NoBrush);
    p.drawRect(all.adjusted(0, 0, -1, -1));
    if (hasFocus()) {
        const int width = std::max(2, ScaledPixels(this, 2));
        QPen pen(palette().color(QPalette::Highlight), width);
        pen.setJoinStyle(Qt::MiterJoin);
        p.setPen(pen);
        const int inset = width / 2 + 1;
        p.drawRect(all.adjusted(inset, inset, -inset - 1, -inset - 1));
    }
}

void CrosspointCell::keyPressEvent(QKeyEvent* event) {
    if (IsWindowKey(event->key())) {
        event->ignore(); // the window moves, takes and cancels
        return;
    }
    QAbstractButton::keyPressEvent(event);
}

// ---------------------------------------------------------------------------
// CrosspointGridWindow

CrosspointGridWindow::CrosspointGridWindow(const PageContext& context, SwitchingPage& page,
                                           QWidget* parent)
    : QWidget(parent, Qt::Window), ctx_(context), page_(page) {
    NameControl(this, kWindowObject, kWindowTitle);
    setWindowTitle(kWindowTitle);

    layout_ = new QVBoxLayout(this);
    layout_->setSizeConstraint(QLayout::SetFixedSize); // the window follows the grid
    auto* bottom = new QHBoxLayout;
    livePresetLabel_ = new QLabel(this);
    NameControl(livePresetLabel_, kLivePresetObject);
    bottom->addWidget(livePresetLabel_, 1);
    takeButton_ = ActionButton(kTakeObject, kTakeCaption, this);
    cancelButton_ = ActionButton(kCancelObject, kCancelCaption, this);
    painter_.PaintButton(takeButton_, painter_.Face());
    painter_.PaintButton(cancelButton_, painter_.Face());
    bottom->addWidget(takeButton_);
    bottom->addWidget(cancelButton_);
    layout_->addLayout(bottom);

    connect(takeButton_, &QPushButton::clicked, &page_, &SwitchingPage::ClickTake);
    connect(cancelButton_, &QPushButton::clicked, &page_, &SwitchingPage::ClickCancel);
    // Closed, the window does no work; it catches up when shown.
    connect(&page_, &SwitchingPage::routingShown, this, [this] {
        if (isVisible()) {
            RefreshFromState();
        }
    });
    RefreshFromState();
}

CrosspointCell* CrosspointGridWindow::Cell(int output, int input) const {
    if (output < 0 || output >= outputs_ || input < 0 || input >= inputs_) {
        return nullptr;
    }
    return cells_[static_cast<std::size_t>(output * inputs_ + input)];
}

QString CrosspointGridWindow::OutputName(int o) const {
    return Named(kOutputName, o + 1, ctx_.labels.Label(LabelKind::Output, o + 1));
}

QString CrosspointGridWindow::InputName(int k) const {
    return Named(kInputName, k + 1, ctx_.labels.Label(LabelKind::Input, k + 1));
}

void CrosspointGridWindow::RefreshFromState() {
    const int outputs = std::clamp(ctx_.state.ShownOutputs(), 0, static_cast<int>(kMaxOutputs));
    const int inputs = std::clamp(ctx_.state.Inputs(), 0, static_cast<int>(kMaxInputs));
    if (gridArea_ == nullptr || outputs != outputs_ || inputs != inputs_) {
        Rebuild(outputs, inputs);
    }
    ShowHeaders();
    ShowCells();
    ShowLivePreset();
}

void CrosspointGridWindow::Rebuild(int outputs, int inputs) {
    // The focused cell keeps the focus where the new grid has it.
    int focusOutput = -1;
    int focusInput = -1;
    if (const auto* focused = qobject_cast<CrosspointCell*>(QApplication::focusWidget());
        focused != nullptr && isAncestorOf(focused)) {
        focusOutput = focused->Output();
        focusInput = focused->Input();
    }
    delete gridArea_;
    inputHeaders_.clear();
    outputHeaders_.clear();
    muteMarks_.clear();
    noInputMarks_.clear();
    cells_.clear();
    outputs_ = outputs;
    inputs_ = inputs;

    gridArea_ = new QWidget(this);
    auto* grid = new QGridLayout(gridArea_);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(ScaledPixels(this, kSpacing));
    for (int k = 0; k < inputs; ++k) {
        auto* header = new QLabel(gridArea_);
        header->setObjectName(kInputHeaderObject.arg(k + 1));
        header->setAlignment(Qt::AlignHCenter | Qt::AlignBottom);
        header->setAutoFillBackground(true);
        grid->addWidget(header, 0, kFirstCellColumn + k);
        inputHeaders_.push_back(header);
    }
    for (int o = 0; o < outputs; ++o) {
        auto* header = new QLabel(gridArea_);
        header->setObjectName(kOutputHeaderObject.arg(o + 1));
        header->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        header->setContentsMargins(0, 0, ScaledPixels(this, 6), 0);
        grid->addWidget(header, 1 + o, 0);
        outputHeaders_.push_back(header);
        auto* mute = new QLabel(gridArea_);
        mute->setObjectName(kMuteMarkObject.arg(o + 1));
        QFont bold = mute->font();
        bold.setBold(true);
        mute->setFont(bold);
        mute->setAlignment(Qt::AlignCenter);
        painter_.PaintCaption(mute, colour::kSilver);
        grid->addWidget(mute, 1 + o, 1);
        muteMarks_.push_back(mute);
        auto* none = new QLabel(gridArea_);
        none->setObjectName(kNoInputMarkObject.arg(o + 1));
        none->setFont(bold);
        none->setAlignment(Qt::AlignCenter);
        painter_.PaintCaption(none, colour::kTemporary);
        grid->addWidget(none, 1 + o, 2);
        noInputMarks_.push_back(none);
        for (int k = 0; k < inputs; ++k) {
            auto* cell = new CrosspointCell(o, k, gridArea_);
            grid->addWidget(cell, 1 + o, kFirstCellColumn + k);
            connect(cell, &QAbstractButton::clicked, this,
                    [this, o, k] { page_.ClickRoute(o, k); });
            cells_.push_back(cell);
        }
    }
    // The marks come and go; their columns keep their width.
    QFont bold = gridArea_->font();
    bold.setBold(true);
    const QFontMetrics metrics(bold);
    const int pad = ScaledPixels(this, 8);
    grid->setColumnMinimumWidth(1, metrics.horizontalAdvance(kMutedMark) + 2 * pad);
    grid->setColumnMinimumWidth(2, metrics.horizontalAdvance(kNoInputMark + QStringLiteral("VA")) +
                                       2 * pad);
    gridLayout_ = grid;
    layout_->insertWidget(0, gridArea_);
    gridArea_->show(); // also when the window is on screen already

    // Tab goes row by row through the cells, then to Take and Cancel.
    QWidget* previous = nullptr;
    for (CrosspointCell* cell : cells_) {
        if (previous != nullptr) {
            setTabOrder(previous, cell);
        }
        previous = cell;
    }
    if (previous != nullptr) {
        setTabOrder(previous, takeButton_);
    }
    setTabOrder(takeButton_, cancelButton_);

    if (CrosspointCell* cell = Cell(focusOutput, focusInput)) {
        cell->setFocus(Qt::OtherFocusReason);
    }
}

void CrosspointGridWindow::ShowHeaders() {
    const int selected = ctx_.switching.SelectedInput();
    for (int k = 0; k < inputs_; ++k) {
        QLabel* header = inputHeaders_[static_cast<std::size_t>(k)];
        const std::string& label = ctx_.labels.Label(LabelKind::Input, k + 1);
        QString text = QString::number(k + 1);
        if (!label.empty() && QString::fromLatin1(label) != text) {
            text += QLatin1Char('\n') + QString::fromLatin1(label);
        }
        header->setText(text);
        // The selected input is yellow, as its button on the switching page.
        QString name = InputName(k);
        name[0] = name[0].toUpper();
        painter_.PaintCaption(header, k == selected ? colour::kSelected : painter_.Face());
        header->setAccessibleName(k == selected ? name + kSelectedSuffix : name);
    }
    // Every input column as wide as the widest header, so the grid stays even.
    int width = Cell(0, 0) != nullptr ? Cell(0, 0)->sizeHint().width() : 0;
    for (const QLabel* header : inputHeaders_) {
        width = std::max(width, header->sizeHint().width());
    }
    for (int k = 0; k < inputs_; ++k) {
        gridLayout_->setColumnMinimumWidth(kFirstCellColumn + k, width);
    }
    const bool audio = ctx_.state.AudioPresent();
    for (int o = 0; o < outputs_; ++o) {
        const std::string& label = ctx_.labels.Label(LabelKind::Output, o + 1);
        QString text = QString::number(o + 1);
        if (!label.empty() && QString::fromLatin1(label) != text) {
            text += QLatin1Char(' ') + QString::fromLatin1(label);
        }
        const bool muted = audio && ctx_.state.outputs.muted(o) != 0;
        QLabel* header = outputHeaders_[static_cast<std::size_t>(o)];
        header->setText(text);
        header->setAccessibleName(muted ? OutputName(o) + kMutedSuffix : OutputName(o));
        QLabel* mute = muteMarks_[static_cast<std::size_t>(o)];
        ShowValue(mute, muted ? kMutedMark : QString());
        mute->setVisible(muted);

        // A temporary route to no input (shown red on the page as "--").
        const Switching& sw = ctx_.switching;
        const bool video =
            sw.VideoCaptionColour(o) == CaptionColour::Temporary && sw.TemporaryVideo(o) == NoInput;
        const bool audioNone = sw.AudioCaptionColour(o) == CaptionColour::Temporary &&
                               sw.TemporaryAudio(o) == NoInput && audio;
        QLabel* none = noInputMarks_[static_cast<std::size_t>(o)];
        const bool any = video || audioNone;
        none->setText(any ? kNoInputMark + Mark(video, audioNone) : QString());
        none->setAccessibleName(any ? kNoInputName + SignalWords(video, audioNone) : QString());
        none->setToolTip(none->accessibleName());
        none->setVisible(any);
    }
}

void CrosspointGridWindow::ShowCells() {
    const Switching& sw = ctx_.switching;
    for (int o = 0; o < outputs_; ++o) {
        const int committedVideo = sw.CommittedVideo(o);
        const int committedAudio = sw.CommittedAudio(o);
        const int temporaryVideo = sw.TemporaryVideo(o);
        const int temporaryAudio = sw.TemporaryAudio(o);
        const QString output = OutputName(o);
        for (int k = 0; k < inputs_; ++k) {
            const CrosspointView view{committedVideo == k, committedAudio == k, temporaryVideo == k,
                                      temporaryAudio == k};
            QString name = output + QStringLiteral(", ") + InputName(k);
            const QString route = RouteWords(view);
            if (!route.isEmpty()) {
                name += QStringLiteral(": ") + route;
            }
            CrosspointCell* cell = Cell(o, k);
            cell->Show(view, name);
            // The group rule: the page's output button for this input.
            cell->setEnabled(sw.OutputEnabledFor(o, k));
        }
    }
}

void CrosspointGridWindow::ShowLivePreset() {
    const int live = LivePreset(ctx_.state);
    ShowValue(livePresetLabel_,
              live == 0 ? kNoPresetLive
                        : Named(kLivePreset, live, ctx_.labels.Label(LabelKind::Preset, live)));
}

void CrosspointGridWindow::MoveFocus(const CrosspointCell* from, int rows, int columns) {
    int o = from->Output() + rows;
    int k = from->Input() + columns;
    for (CrosspointCell* cell = Cell(o, k); cell != nullptr; cell = Cell(o, k)) {
        if (cell->isEnabled()) {
            cell->setFocus(Qt::OtherFocusReason);
            return;
        }
        o += rows;
        k += columns;
    }
}

void CrosspointGridWindow::showEvent(QShowEvent* event) {
    RefreshFromState(); // what changed while the window was closed
    QWidget::showEvent(event);
    if (focusWidget() == nullptr && !cells_.empty()) {
        for (CrosspointCell* cell : cells_) {
            if (cell->isEnabled()) {
                cell->setFocus(Qt::OtherFocusReason);
                break;
            }
        }
    }
}

void CrosspointGridWindow::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key == Qt::Key_Escape) {
        page_.ClickCancel();
        return;
    }
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // On a button Enter presses it; anywhere else it takes.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget())) {
            button->click();
        } else {
            page_.ClickTake();
        }
        return;
    }
    if (IsMoveKey(key)) {
        if (const auto* cell = qobject_cast<CrosspointCell*>(focusWidget())) {
            const int rows = key == Qt::Key_Up ? -1 : key == Qt::Key_Down ? 1 : 0;
            const int columns = key == Qt::Key_Left ? -1 : key == Qt::Key_Right ? 1 : 0;
            MoveFocus(cell, rows, columns);
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

} // namespace qvc
