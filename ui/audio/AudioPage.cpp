#include "AudioPage.h"

#include "model/Audio.h"
#include "ui/common/Colours.h"
#include "ui/common/ControlNames.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

namespace qvc {

namespace {

// Captions.
const char* const kPageName = "Audio Controls";
const char* const kSheetCaption = "Input 1 - 16";
const char* const kBoxCaption = "Input %1 (%2)";
const char* const kDbCaption = "dB";
const char* const kStartReadOut = "0";

// Accessible names of the controls without a caption of their own.
const char* const kSliderName = "Level";
const char* const kSpinName = "Level in 1 dB steps";
const char* const kUpName = "Level up";
const char* const kDownName = "Level down";

// Object names of the control families (number appended, from 1).
const char* const kBoxObject = "AudioInputGroupBox";
const char* const kSliderObject = "AudioTrackBar";
const char* const kReadOutObject = "AudioEdit";
const char* const kSpinObject = "AudioSpinBtn";
const char* const kUpSuffix = "Up";
const char* const kDownSuffix = "Down";

// Dimmed text on a silver box.
const QColor kDimmedOnSilver(0x60, 0x60, 0x60);

constexpr int kTickInterval = 32;
// A held spin half repeats its click every 200 ms, after a first pause that
// keeps an ordinary click a single step.
constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatIntervalMs = 200;
constexpr int kColumns = 4;

// The captions under a slider: "-74" under its left end, "0" under the
// 0 dB point and "20" under its right end, each centred on its level where
// the width allows.
class ScaleCaptions : public QWidget {
  public:
    ScaleCaptions(LevelSlider* slider, QWidget* parent) : QWidget(parent), slider_(slider) {
        const int levels[] = {kMinLevel, DbToPosition(0), kMaxLevel};
        for (std::size_t k = 0; k < marks_.size(); ++k) {
            marks_[k].level = levels[k];
            marks_[k].label = new QLabel(QString::fromStdString(LevelToDbText(levels[k])), this);
        }
        setMinimumHeight(marks_[0].label->sizeHint().height());
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        // The slider may take its new width after this widget.
        slider_->installEventFilter(this);
    }

    QSize sizeHint() const override {
        int width = 0;
        for (const Mark& mark : marks_) {
            width += mark.label->sizeHint().width();
        }
        return {width, marks_[0].label->sizeHint().height()};
    }

  protected:
    void resizeEvent(QResizeEvent* event) override {
        QWidget::resizeEvent(event);
        Place();
    }
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == slider_ && event->type() == QEvent::Resize) {
            Place();
        }
        return QWidget::eventFilter(watched, event);
    }

  private:
    struct Mark {
        int level = 0;
        QLabel* label = nullptr;
    };

    void Place() {
        const int offset = slider_->x() - x(); // both in the same parent
        for (const Mark& mark : marks_) {
            const QSize size = mark.label->sizeHint();
            const int centre = slider_->CentreOf(mark.level) + offset;
            const int left =
                std::clamp(centre - size.width() / 2, 0, std::max(0, width() - size.width()));
            mark.label->setGeometry(left, 0, size.width(), height());
        }
    }

    LevelSlider* slider_;
    std::array<Mark, 3> marks_{};
};

} // namespace

// ---------------------------------------------------------------------------
// The slider

LevelSlider::LevelSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(kMinLevel, kMaxLevel);
    setValue(AudioLevelTable::kStartLevel);
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(kTickInterval);
    setFocusPolicy(Qt::StrongFocus);
}

int LevelSlider::CentreOf(int level) const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = groove.width() - handle.width();
    return groove.x() +
           QStyle::sliderPositionFromValue(minimum(), maximum(), level, span, option.upsideDown) +
           handle.width() / 2;
}

// ---------------------------------------------------------------------------
// Layout

AudioPage::AudioPage(PageContext context, QWidget* parent)
    : Page(std::move(context), QStringLiteral("AudioTabSheet"), QString::fromLatin1(kPageName),
           parent),
      state_(ctx_.state), link_(ctx_.link) {
    BuildControls();
    ApplyLabels();
    AdaptToModel();
    for (int i = 0; i < kMaxInputs; ++i) {
        const InputControls& c = inputs_[i];
        // valueChanged: also when the system moves the slider.
        connect(c.slider, &QSlider::valueChanged, this,
                [this, i](int position) { AudioTrackBarChange(i, position); });
        connect(c.up, &QToolButton::clicked, this, [this, i] { AudioSpinBtnClick(i, true); });
        connect(c.down, &QToolButton::clicked, this, [this, i] { AudioSpinBtnClick(i, false); });
    }
}

void AudioPage::BuildControls() {
    auto* pageControl = new QTabWidget(this);
    NameControl(pageControl, QStringLiteral("AudioPageControl"), QString::fromLatin1(kPageName));
    auto* sheet = new QWidget(pageControl);
    NameControl(sheet, QStringLiteral("AudioInputTabSheet"), QString::fromLatin1(kSheetCaption));
    auto* grid = new QGridLayout(sheet);
    const int spacing = ScaledPixels(this, 8);
    grid->setContentsMargins(spacing, spacing, spacing, spacing);
    grid->setSpacing(spacing);
    for (int i = 0; i < kMaxInputs; ++i) {
        grid->addWidget(BuildInput(i, sheet), i / kColumns, i % kColumns);
    }
    for (int c = 0; c < kColumns; ++c) {
        grid->setColumnStretch(c, 1);
    }
    pageControl->addTab(sheet, QString::fromLatin1(kSheetCaption));

    auto* page = new QVBoxLayout(this);
    page->addWidget(pageControl);
    ChainTabOrder();
}

QGroupBox* AudioPage::BuildInput(int i, QWidget* parent) {
    const int n = i + 1;
    InputControls& c = inputs_[i];
    c.box = new QGroupBox(parent);
    NameControl(c.box, Numbered(kBoxObject, n));
    c.box->setAutoFillBackground(true);

    c.slider = new LevelSlider(c.box);
    NameControl(c.slider, Numbered(kSliderObject, n), QString::fromLatin1(kSliderName));
    auto* captions = new ScaleCaptions(c.slider, c.box);

    c.readOut = new QLabel(c.box);
    NameControl(c.readOut, Numbered(kReadOutObject, n));
    ShowValue(c.readOut, QString::fromLatin1(kStartReadOut));
    c.readOut->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    c.readOut->setBackgroundRole(QPalette::Base);
    c.readOut->setAutoFillBackground(true);
    c.readOut->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    c.readOut->setIndent(ScaledPixels(this, 4));
    // Read-only, but reached with Tab and its value can be copied.
    c.readOut->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    c.readOut->setFocusPolicy(Qt::StrongFocus);
    c.readOut->setMinimumWidth(c.readOut->fontMetrics().horizontalAdvance(QStringLiteral("-888")) +
                               ScaledPixels(this, 12));
    auto* unit = new QLabel(QString::fromLatin1(kDbCaption), c.box);
    unit->setBuddy(c.readOut);

    auto* spin = new QWidget(c.box);
    NameControl(spin, Numbered(kSpinObject, n), QString::fromLatin1(kSpinName));
    auto* halves = new QVBoxLayout(spin);
    halves->setContentsMargins(0, 0, 0, 0);
    halves->setSpacing(0);
    const int arrowSize = ScaledPixels(this, 12);
    auto makeHalf = [&](const char* suffix, const char* name, Qt::ArrowType arrow) {
        auto* button = new QToolButton(spin);
        NameControl(button, Numbered(kSpinObject, n, suffix), QString::fromLatin1(name));
        button->setArrowType(arrow);
        button->setIconSize(QSize(arrowSize, arrowSize));
        button->setAutoRepeat(true);
        button->setAutoRepeatDelay(kRepeatDelayMs);
        button->setAutoRepeatInterval(kRepeatIntervalMs);
        button->setFocusPolicy(Qt::TabFocus);
        halves->addWidget(button);
        return button;
    };
    c.up = makeHalf(kUpSuffix, kUpName, Qt::UpArrow);
    c.down = makeHalf(kDownSuffix, kDownName, Qt::DownArrow);

    auto* row = new QHBoxLayout;
    row->setSpacing(ScaledPixels(this, 6));
    row->addStretch(1);
    row->addWidget(c.readOut, 0, Qt::AlignVCenter);
    row->addWidget(unit);
    row->addSpacing(ScaledPixels(this, 4));
    row->addWidget(spin);
    row->addStretch(1);

    auto* column = new QVBoxLayout(c.box);
    column->setSpacing(0);
    column->addStretch(1);
    column->addWidget(c.slider);
    column->addWidget(captions);
    column->addSpacing(ScaledPixels(this, 6));
    column->addLayout(row);
    column->addStretch(1);
    return c.box;
}

void AudioPage::ChainTabOrder() {
    QWidget* previous = nullptr;
    for (const InputControls& c : inputs_) {
        for (QWidget* w : {static_cast<QWidget*>(c.slider), static_cast<QWidget*>(c.readOut),
                           static_cast<QWidget*>(c.up), static_cast<QWidget*>(c.down)}) {
            if (previous != nullptr) {
                setTabOrder(previous, w);
            }
            previous = w;
        }
    }
}

// ---------------------------------------------------------------------------
// Display

void AudioPage::ApplyLabels() {
    for (int i = 0; i < kMaxInputs; ++i) {
        const QString label = QString::fromLatin1(ctx_.labels.Label(LabelKind::Input, i + 1));
        inputs_[i].box->setTitle(QString::fromLatin1(kBoxCaption).arg(i + 1).arg(label));
    }
}

void AudioPage::PaintBox(QGroupBox* box, bool present) {
    const QPalette platform = QApplication::palette();
    QPalette palette = box->palette();
    palette.setColor(QPalette::Window,
                     present ? platform.color(QPalette::Button) : colour::kSilver);
    // The platform's dimmed text nearly vanishes on silver: the caption,
    // scale and read-out of a box the model lacks stay legible.
    const QColor dimmed =
        present ? platform.color(QPalette::Disabled, QPalette::WindowText) : kDimmedOnSilver;
    palette.setColor(QPalette::Disabled, QPalette::WindowText, dimmed);
    palette.setColor(QPalette::Disabled, QPalette::Text, dimmed);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, dimmed);
    box->setPalette(palette);
}

void AudioPage::AdaptToModel() {
    const bool audio = state_.AudioPresent();
    const int inputs = std::clamp(state_.Inputs(), 0, static_cast<int>(kMaxInputs));
    // Boxes of inputs the model lacks keep their slider and read-out.
    for (int i = 0; i < kMaxInputs; ++i) {
        const bool present = audio && i < inputs;
        inputs_[i].box->setEnabled(present);
        PaintBox(inputs_[i].box, present);
    }
}

void AudioPage::RefreshFromState() {
    RefreshAudioLevels();
}

void AudioPage::RefreshAudioLevels() {
    if (state_.AudioPresent()) {
        const int inputs = std::clamp(state_.Inputs(), 0, static_cast<int>(kMaxInputs));
        for (int i = 0; i < inputs; ++i) {
            ShowLevel(i, state_.levels.level(i));
        }
    }
    AdaptToModel();
}

void AudioPage::ShowLoadedConfiguration() {
    const int inputs = std::clamp(state_.Inputs(), 0, static_cast<int>(kMaxInputs));
    for (int i = 0; i < inputs; ++i) {
        ShowLevel(i, state_.levels.level(i));
    }
}

void AudioPage::ShowDb(int i, int level) {
    ShowValue(inputs_[i].readOut, QString::fromStdString(LevelToDbText(level)));
}

void AudioPage::ShowLevel(int i, int level) {
    // A level above the scale shows as the slider does, at its right end.
    const int shown = LevelOnScale(level);
    {
        const QSignalBlocker quiet(inputs_[i].slider);
        inputs_[i].slider->setValue(shown);
    }
    ShowDb(i, shown);
}

bool AudioPage::ShownDb(int i, int& db) const {
    bool ok = false;
    db = inputs_[i].readOut->text().toInt(&ok);
    return ok;
}

// ---------------------------------------------------------------------------
// Actions

void AudioPage::AudioTrackBarChange(int i, int position) {
    if (link_.BusyFlag != 0) {
        return;
    }
    BusyScope busy(link_);
    ShowDb(i, position);
    // While the page is filled from stored state, and without a link, the
    // table keeps its level: it holds only what the switcher was sent.
    if (link_.RefreshingFlag || !link_.LinkUp()) {
        return;
    }
    Send(SetAudioLevel(state_, i, position));
}

void AudioPage::AudioSpinBtnClick(int i, bool up) {
    if (link_.BusyFlag != 0) {
        return;
    }
    BusyScope busy(link_);
    int db = 0;
    if (!ShownDb(i, db)) {
        return;
    }
    const std::vector<int> positions = SpinPositions(db, up);
    if (positions.empty()) { // at the end of the scale
        return;
    }
    const Commands lines =
        link_.RefreshingFlag || !link_.LinkUp() ? Commands{} : SpinAudioLevel(state_, i, db, up);
    ShowLevel(i, positions.back());
    Send(lines);
}

} // namespace qvc
