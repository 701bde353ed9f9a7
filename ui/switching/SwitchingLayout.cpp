// The layout of the "A / V Switching" page: the input and output grids, the
// switching mode selector with its legend, the routing buttons with the Take
// lamp, and the tab order.
#include "SwitchingPage.h"
#include "ui/common/Colours.h"
#include "ui/common/ControlNames.h"

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

// Captions.
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

void SetLegendColour(QLabel* label, const QColor& colour) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::Window, colour);
    label->setPalette(palette);
    label->setAutoFillBackground(true);
}

} // namespace

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

} // namespace qvc
