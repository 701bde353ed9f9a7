// What the page shows for a given state: captions and their colours, the
// adaptation to each switcher size, the audio-present flag, exact colours
// on screen under more than one style, names for assistive technology,
// keyboard order and the room the page leaves for the preset panel.
#include "PageFixture.h"

#include <QAbstractButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>

namespace qvc::test {
namespace {

using DisplayTest = PageFixture;

QString TitleOf(QSignalSpy& spy) {
    return spy.isEmpty() ? QString() : spy.takeLast().at(0).toString();
}

TEST_F(DisplayTest, CaptionsShowInputNumbersAndTheirState) {
    Build();
    auto& out = state.outputs;
    out.videoInput(0) = 2; // temporary, then committed
    out.videoTaken(0) = 0;
    out.videoInput(1) = NoInput; // temporary disconnection
    out.videoTaken(1) = 0;
    out.videoInput(2) = 200; // any value but 252 is an input
    out.audioInput(2) = 15;
    out.videoTaken(3) = 2; // no input, taken neither 0 nor 1
    out.audioTaken(3) = 2;
    out.audioInput(4) = 0;
    out.audioTaken(4) = 2; // an input, taken not 0
    page->RefreshFromState();
    ExpectVideo(1, "3", kRed);
    ExpectVideo(2, "--", kRed);
    ExpectVideo(3, "201", kLime);
    ExpectAudio(3, "16", kLime);
    ExpectVideo(4, "--", kRed);
    ExpectAudio(4, "--", kRed);
    ExpectAudio(5, "1", kLime);

    out.videoTaken(0) = 1;
    out.videoTaken(1) = 1;
    page->ShowCommittedRoutes();
    ExpectVideo(1, "3", kLime);
    ExpectVideo(2, "--", Face());

    // Committed routes are shown by their colours alone: the captions keep
    // their numbers until the next refresh.
    out.videoInput(0) = 8;
    out.videoTaken(0) = 0;
    page->ShowCommittedRoutes();
    ExpectVideo(1, "3", kRed);
    page->ShowLoadedConfiguration();
    ExpectVideo(1, "9", kRed);
}

TEST_F(DisplayTest, RefreshRoutingAdaptsToEachModel) {
    struct Case {
        int code;
        const char* title;
        int outputs;
        int inputs;
    };
    const Case cases[] = {
        {0, "Norvak Dellby LLC :- Quorvel  Control (12 x 4)", 4, 12},
        {1, "Norvak Dellby LLC :- Quorvel  Control (12 x 8)", 8, 12},
        {2, "Norvak Dellby LLC :- Quorvel  Control (16 x 8)", 8, 16},
        {3, "Norvak Dellby LLC :- Quorvel  Control (16 x 16)", 16, 16},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.code);
        SetModel(3);
        state.outputs = OutputStatusTable::Initial();
        for (int o = 0; o < 16; ++o) {
            Committed(o + 1, o + 1, 16 - o);
            state.outputs.muted(o) = 1;
        }
        page.reset();
        Build();
        link.RefreshingFlag = true;
        page->RefreshFromState();
        // The switcher shrinks; what it no longer has keeps its captions.
        SetModel(c.code);
        for (int o = 0; o < 16; ++o) {
            Committed(o + 1, kNone, kNone);
            state.outputs.muted(o) = 0;
        }
        QSignalSpy titles(page.get(), &SwitchingPage::windowTitleRequested);
        page->RefreshFromState();
        link.RefreshingFlag = false;

        ASSERT_EQ(titles.count(), 1);
        EXPECT_EQ(TitleOf(titles).toStdString(), c.title);
        for (int n = 1; n <= 16; ++n) {
            SCOPED_TRACE(n);
            const bool shown = n <= c.outputs;
            EXPECT_EQ(OutputButton(n)->isEnabled(), shown);
            EXPECT_EQ(VideoLabel(n)->isEnabled(), shown);
            EXPECT_EQ(AudioLabel(n)->isEnabled(), shown);
            EXPECT_EQ(MuteBox(n)->isEnabled(), shown);
            if (shown) {
                ExpectVideo(n, "--", Face());
                EXPECT_FALSE(MuteBox(n)->isChecked());
            } else {
                ExpectVideo(n, std::to_string(n).c_str(), kLime);
                ExpectAudio(n, std::to_string(17 - n).c_str(), kLime);
                EXPECT_TRUE(MuteBox(n)->isChecked());
            }
            EXPECT_EQ(InputButton(n)->isEnabled(), n <= c.inputs);
        }
        EXPECT_TRUE(Sent().empty());
    }
}

TEST_F(DisplayTest, UnknownModelCodeLeavesTitleAndSizes) {
    SetModel(1);
    Build();
    SetModel(7);
    QSignalSpy titles(page.get(), &SwitchingPage::windowTitleRequested);
    page->RefreshFromState();
    EXPECT_EQ(titles.count(), 0);
    EXPECT_TRUE(OutputButton(8)->isEnabled());
    EXPECT_FALSE(OutputButton(9)->isEnabled());
    EXPECT_FALSE(InputButton(13)->isEnabled());
}

TEST_F(DisplayTest, BeforeAnyStatusBlockClearAllRoutingKeepsTitleAndAudio) {
    // Nothing read yet: the status block is all zero, which must not pass
    // for a 12 x 4 switcher without audio.
    state = DeviceState{};
    state.outputs.muted(3) = 1;
    Build();
    QSignalSpy titles(page.get(), &SwitchingPage::windowTitleRequested);
    Click("ClearAllRoutingButton");

    EXPECT_EQ(titles.count(), 0);
    EXPECT_EQ(Sent(), std::vector<std::string>{"CLEAR"});
    for (int n = 1; n <= 16; ++n) {
        SCOPED_TRACE(n);
        EXPECT_TRUE(OutputButton(n)->isEnabled());
        EXPECT_TRUE(AudioLabel(n)->isEnabled());
        EXPECT_TRUE(MuteBox(n)->isEnabled());
        EXPECT_FALSE(MuteBox(n)->isChecked());
        ExpectAudio(n, "--", Face());
    }
}

TEST_F(DisplayTest, WithoutAudioTheAudioSideIsBlankAndDisabled) {
    SetModel(2, 0);
    Committed(1, 3, 4);
    Committed(2, 5, 6);
    state.outputs.audioTaken(1) = 0; // a temporary audio signal stays red
    state.outputs.muted(0) = 1;
    state.outputs.muted(1) = 2;
    Build();
    link.RefreshingFlag = true;
    MuteBox(1)->setChecked(true); // a tick from before, cleared by the refresh
    page->RefreshFromState();
    link.RefreshingFlag = false;

    ExpectVideo(1, "3", kLime);
    ExpectAudio(1, "--", Face());
    ExpectAudio(2, "--", kRed);
    for (int n = 1; n <= 8; ++n) {
        EXPECT_FALSE(AudioLabel(n)->isEnabled()) << n;
        EXPECT_FALSE(MuteBox(n)->isEnabled()) << n;
        EXPECT_FALSE(MuteBox(n)->isChecked()) << n;
        EXPECT_TRUE(VideoLabel(n)->isEnabled()) << n;
    }
    EXPECT_TRUE(Sent().empty());

    // With audio, "muted" 2 ticks the box like 1.
    state.status.bytes[19] = 1;
    link.RefreshingFlag = true;
    page->RefreshFromState();
    link.RefreshingFlag = false;
    EXPECT_TRUE(MuteBox(1)->isChecked());
    EXPECT_TRUE(MuteBox(2)->isChecked());
    EXPECT_TRUE(MuteBox(2)->isEnabled());
    ExpectAudio(1, "4", kLime);
    ExpectAudio(2, "6", kRed);
}

TEST_F(DisplayTest, ColourOutputsForInputPaintsShownOutputsOnly) {
    SetModel(1);
    Committed(1, 2, 2);
    Committed(2, 2, 3);
    Committed(3, 3, 2);
    Committed(12, 2, 2); // beyond the 8 shown outputs
    Build();

    ClickInput(2);
    ExpectButton(OutputButton(1), kAqua);
    ExpectButton(OutputButton(2), TooltipBase());
    ExpectButton(OutputButton(3), kBlue);
    ExpectButton(OutputButton(4), Face());
    ExpectButton(OutputButton(12), Face());

    ClickInput(2); // dropped: the outputs keep their colours
    ExpectButton(OutputButton(1), kAqua);
    EXPECT_TRUE(Sent().empty());
}

// Exact colours on screen under each style: no gradient on a coloured
// button or caption, and face buttons drawn the same way as coloured ones.
TEST_F(DisplayTest, ColoursAreExactUnderEveryStyle) {
    const QString defaultStyle = QApplication::style()->name();
    QStringList styles{QStringLiteral("Fusion")};
    for (const QString& key : QStringList{defaultStyle} + QStyleFactory::keys()) {
        if (!styles.contains(key, Qt::CaseInsensitive)) {
            styles << key;
        }
    }
    for (const QString& style : styles) {
        SCOPED_TRACE(style.toStdString());
        page.reset();
        QApplication::setStyle(QStyleFactory::create(style));
        state = DeviceState{};
        SetModel(3);
        switching.CancelPending();
        Committed(1, 2, 2);
        Committed(2, 4, 2);
        Committed(3, 5, 5);
        Build();

        ClickInput(2);
        ClickOutput(3);
        ASSERT_EQ(Sent(), (Lines{"RTEMP 3 2 2"}));
        ExpectButton(InputButton(2), kYellow);
        ExpectButton(InputButton(1), Face());
        ExpectButton(OutputButton(1), kAqua);
        ExpectButton(OutputButton(2), kBlue);
        ExpectButton(OutputButton(3), kAqua);
        ExpectButton(OutputButton(4), Face());
        ExpectVideo(3, "2", kRed);
        ExpectVideo(1, "2", kLime);
        ExpectVideo(4, "--", Face());
        EXPECT_EQ(ShownCentre(Get<QLabel>("AudioVideoColorLabel")).toStdString(),
                  kAqua.toStdString());
        EXPECT_EQ(ShownCentre(Get<QLabel>("VideoOnlyColorLabel")).toStdString(),
                  TooltipBase().toStdString());
        EXPECT_EQ(ShownCentre(Get<QLabel>("AudioOnlyColorLabel")).toStdString(),
                  kBlue.toStdString());
        EXPECT_EQ(ShownCentre(TakeLamp()).toStdString(), kLampGreen.toStdString());
    }
    page.reset();
    QApplication::setStyle(QStyleFactory::create(defaultStyle));
}

TEST_F(DisplayTest, ControlsCarryTheirNames) {
    Build();
    const auto expectNames = [&](const QString& object, const QString& accessible) {
        QWidget* w = Get<QWidget>(object);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->accessibleDescription(), object);
        EXPECT_EQ(w->accessibleName().toStdString(), accessible.toStdString());
    };
    for (int n = 1; n <= 16; ++n) {
        expectNames(Named("InputButton", n), QString::number(n));
        expectNames(Named("OutputButton", n), QString::number(n));
        // A caption showing a routed input is read out as that input.
        expectNames(Named("VideoLabel", n), QStringLiteral("--"));
        expectNames(Named("AudioLabel", n), QStringLiteral("--"));
        expectNames(Named("OutputMuteCheckBox", n), QStringLiteral("Mute"));
        EXPECT_EQ(VideoLabel(n)->text(), QStringLiteral("--"));
        EXPECT_EQ(AudioLabel(n)->text(), QStringLiteral("--"));
        EXPECT_EQ(MuteBox(n)->text(), QStringLiteral("Mute"));
    }
    expectNames("TakeButton", "Take");
    expectNames("CancelTakeButton", "Cancel");
    expectNames("ClearAllRoutingButton", "Clear All Routing");
    expectNames("UpdateStatus", "Read from Quorvel");
    expectNames("ApdStatusLight1", "Take lamp");
    expectNames("AVInputRadioGroup",
                Get<QWidget>("AVInputRadioGroup")->property("title").toString());
    expectNames("AudioVideoColorLabel", "Audio/Video colour");
    expectNames("VideoOnlyColorLabel", "Video Only colour");
    expectNames("AudioOnlyColorLabel", "Audio Only colour");
    const char* modes[] = {"Audio/Video", "Video Only", "Audio Only"};
    for (int item = 0; item < 3; ++item) {
        auto* radio = Get<QAbstractButton>(Named("AVInputRadioGroupItem", item));
        EXPECT_EQ(radio->text().toStdString(), modes[item]);
        EXPECT_EQ(radio->isChecked(), item == 0);
    }

    // Captions set later (the input and output labels) rename the buttons.
    labels.inputs[2] = "CAM 3";
    labels.outputs[15] = "PROJ";
    page->ApplyLabels();
    expectNames("InputButton3", "CAM 3");
    expectNames("OutputButton16", "PROJ");
    EXPECT_EQ(InputButton(3)->text(), QStringLiteral("CAM 3"));
}

TEST_F(DisplayTest, TabOrderRunsAlongThePage) {
    Build();
    QStringList expected;
    for (int n = 1; n <= 16; ++n) {
        expected << Named("InputButton", n);
    }
    for (int n = 1; n <= 16; ++n) {
        expected << Named("OutputButton", n) << Named("OutputMuteCheckBox", n);
    }
    expected << "AVInputRadioGroupItem0"
             << "AVInputRadioGroupItem1"
             << "AVInputRadioGroupItem2"
             << "TakeButton"
             << "CancelTakeButton"
             << "ClearAllRoutingButton"
             << "UpdateStatus";

    QStringList chain;
    QWidget* w = InputButton(1);
    while (w != nullptr && chain.size() < expected.size()) {
        chain << w->objectName();
        do {
            w = w->nextInFocusChain();
        } while (w != InputButton(1) && w->focusPolicy() == Qt::NoFocus);
    }
    EXPECT_EQ(chain, expected);
    for (const QString& name : expected) {
        EXPECT_TRUE(Get<QWidget>(name)->focusPolicy() & Qt::TabFocus) << name.toStdString();
    }
}

// In the 904-pixel window the preset panel covers the page's right edge:
// in a wide page every control stays in the left part, and in the strip
// the window leaves beside the panel everything fits, each control at least
// at its preferred size.
TEST_F(DisplayTest, LayoutLeavesRoomForThePresetPanel) {
    Build();
    constexpr int kPresetPanelRoom = 180;
    const struct {
        int width;
        int height;
        int rightLimit;
    } sizes[] = {{880, 690, 880 - kPresetPanelRoom}, {712, 690, 712}};
    EXPECT_LE(page->minimumSizeHint().width(), 712);
    EXPECT_LE(page->minimumSizeHint().height(), 690);
    for (const auto& size : sizes) {
        SCOPED_TRACE(size.width);
        page->resize(size.width, size.height);
        QTest::qWait(0);
        int checked = 0;
        for (QWidget* w : page->findChildren<QWidget*>()) {
            if (w->accessibleDescription().isEmpty()) {
                continue;
            }
            ++checked;
            const std::string name = w->objectName().toStdString();
            const QRect r(w->mapTo(page.get(), QPoint(0, 0)), w->size());
            EXPECT_LE(r.right(), size.rightLimit) << name;
            EXPECT_LE(r.bottom(), size.height) << name;
            EXPECT_GE(w->width(), w->minimumSizeHint().width()) << name;
            EXPECT_GE(w->height(), w->minimumSizeHint().height()) << name;
        }
        EXPECT_GE(checked, 16 * 5 + 10);
    }
}

} // namespace
} // namespace qvc::test

namespace qvc::test {
namespace {

// Renders a busy page to a picture under the build folder, for a look
// without a display: committed, temporary and muted outputs, a selected
// input and its coloured outputs.
TEST_F(DisplayTest, RendersAPicture) {
    Committed(1, 1, 1);
    Committed(2, 3, 3);
    Committed(3, 1, 4);
    Committed(5, 7, 7);
    Committed(6, 2, 2);
    Committed(9, 12, 12);
    Committed(12, 16, 16);
    state.outputs.muted(4) = 1;
    state.outputs.muted(10) = 1;
    Build();
    page->resize(890, 690);
    link.RefreshingFlag = true;
    page->RefreshFromState();
    link.RefreshingFlag = false;
    ClickInput(1);
    ClickOutput(4);
    ChooseMode(1);
    ClickOutput(6);
    ChooseMode(0);
    ASSERT_EQ(Sent(), (Lines{"RTEMP 4 1 1", "RTEMP 6 1 101"}));

    const QPixmap picture = page->grab();
    const QString path = QStringLiteral(QT_TESTCASE_BUILDDIR "/switching_page@%1x.png")
                             .arg(picture.devicePixelRatio());
    ASSERT_TRUE(picture.save(path)) << path.toStdString();
    EXPECT_EQ(ShownColour(VideoLabel(4)).toStdString(), kRed.toStdString());

    // A smaller switcher without audio: rows 9 to 16 and inputs 13 to 16 off.
    SetModel(1, 0);
    link.RefreshingFlag = true;
    page->RefreshFromState();
    link.RefreshingFlag = false;
    const QPixmap small = page->grab();
    ASSERT_TRUE(small.save(QStringLiteral(QT_TESTCASE_BUILDDIR "/switching_page_12x8@%1x.png")
                               .arg(small.devicePixelRatio())));
    EXPECT_FALSE(OutputButton(9)->isEnabled());
}

} // namespace
} // namespace qvc::test
