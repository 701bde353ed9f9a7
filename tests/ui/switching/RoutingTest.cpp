// The operator's routing paths on the page: input and output clicks in the
// three modes, group propagation, Take, Cancel and Clear All Routing, with
// the exact lines sent and what the page shows afterwards.
#include "PageFixture.h"

#include <QSignalSpy>

namespace qvc::test {
namespace {

using RoutingTest = PageFixture;

TEST_F(RoutingTest, OutputClickWithoutSelectedInputChangesNothing) {
    Committed(2, 5, 5);
    Grouped(2, 1);
    Grouped(3, 1);
    Build();
    const auto before = state.outputs.bytes;

    ClickOutput(2);
    ClickOutput(3);

    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(state.outputs.bytes, before);
    ExpectButton(OutputButton(2), Face());
    ExpectButton(OutputButton(3), Face());
    ExpectVideo(2, "5", kLime);
    ExpectVideo(3, "--", Face());
    EXPECT_EQ(link.BusyFlag, 0);
}

TEST_F(RoutingTest, SecondClickOnSelectedInputDropsItAndKeepsOutputColours) {
    Committed(1, 3, 3);
    Committed(2, 3, kNone);
    Grouped(5, 2, {1}); // output 5 only takes input 1
    Build();

    ClickInput(3);
    EXPECT_EQ(switching.SelectedInput(), 2);
    ExpectButton(InputButton(3), kYellow);
    ExpectButton(OutputButton(1), kAqua);
    ExpectButton(OutputButton(2), TooltipBase());
    EXPECT_FALSE(OutputButton(5)->isEnabled());

    ClickInput(3);
    EXPECT_EQ(switching.SelectedInput(), NoInput);
    for (int n = 1; n <= 16; ++n) {
        ExpectButton(InputButton(n), Face());
    }
    ExpectButton(OutputButton(1), kAqua);
    ExpectButton(OutputButton(2), TooltipBase());
    EXPECT_FALSE(OutputButton(5)->isEnabled()); // still computed for input 3
    EXPECT_TRUE(OutputButton(4)->isEnabled());
    EXPECT_TRUE(Sent().empty());
}

TEST_F(RoutingTest, AudioVideoClicksRouteRevertAndRouteAgain) {
    Committed(2, 5, 5);
    Build();
    ClickInput(1);

    // The page shows the temporary route before the line goes out.
    QString captionWhenSent;
    onSend = [&](const Commands&) { captionWhenSent = ShownColour(VideoLabel(2)); };
    ClickOutput(2);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 2 1 1"}));
    EXPECT_EQ(captionWhenSent.toStdString(), kRed.toStdString());
    ExpectVideo(2, "1", kRed);
    ExpectAudio(2, "1", kRed);
    ExpectButton(OutputButton(2), kAqua);

    ClickOutput(2);
    EXPECT_EQ(Sent(), (Lines{"TAKE 0"}));
    ExpectVideo(2, "5", kLime);
    ExpectAudio(2, "5", kLime);
    ExpectButton(OutputButton(2), Face());

    ClickOutput(2);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 2 1 1"}));
    ExpectVideo(2, "1", kRed);
}

TEST_F(RoutingTest, AudioVideoClickOnSplitRouteDisconnectsBoth) {
    Committed(2, 1, 4);
    Build();
    ClickInput(1);
    ExpectButton(OutputButton(2), TooltipBase());

    ClickOutput(2);

    EXPECT_EQ(Sent(), (Lines{"RTEMP 2 0 0"}));
    ExpectVideo(2, "--", kRed);
    ExpectAudio(2, "--", kRed);
    ExpectButton(OutputButton(2), Face());
}

TEST_F(RoutingTest, ModeIsReadAtEachOutputClick) {
    Committed(2, 1, 4);
    Build();
    ClickInput(1);

    ChooseMode(2);               // Audio Only
    EXPECT_TRUE(Sent().empty()); // changing the mode sends nothing
    ClickOutput(2);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 2 101 1"}));
    ExpectButton(OutputButton(2), kAqua);
    ExpectVideo(2, "1", kLime);
    ExpectAudio(2, "1", kRed);

    ChooseMode(0); // Audio/Video
    ClickOutput(2);
    EXPECT_EQ(Sent(), (Lines{"TAKE 0"}));
    ExpectButton(OutputButton(2), TooltipBase());
    ExpectVideo(2, "1", kLime);
    ExpectAudio(2, "4", kLime);
}

TEST_F(RoutingTest, RoutingTheCommittedRouteAgainStaysTemporaryUntilTake) {
    Committed(3, 1, 1);
    Build();
    ClickInput(1);

    ClickOutput(3);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 3 0 0"}));
    ExpectVideo(3, "--", kRed);
    ClickOutput(3);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 3 1 1"}));
    ExpectVideo(3, "1", kRed);
    ExpectAudio(3, "1", kRed);
    ExpectButton(OutputButton(3), kAqua);

    Click("TakeButton");
    EXPECT_EQ(Sent(), (Lines{"TAKE 1"}));
    ExpectVideo(3, "1", kLime);
    ExpectAudio(3, "1", kLime);
    ExpectButton(InputButton(1), kYellow); // Take keeps the selection and colours
    ExpectButton(OutputButton(3), kAqua);
}

TEST_F(RoutingTest, SingleSignalModesLeaveTheOtherSignalAlone) {
    Committed(1, kNone, 7);
    Build();
    ClickInput(3);

    ChooseMode(1); // Video Only
    ClickOutput(1);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 1 3 101"}));
    EXPECT_EQ(state.outputs.audioInput(0), 6);
    EXPECT_EQ(state.outputs.audioTaken(0), 1);
    ExpectVideo(1, "3", kRed);
    ExpectAudio(1, "7", kLime);
    ExpectButton(OutputButton(1), TooltipBase());

    ChooseMode(2); // Audio Only
    ClickOutput(1);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 1 101 3"}));
    EXPECT_EQ(state.outputs.videoInput(0), 2);
    EXPECT_EQ(state.outputs.videoTaken(0), 0);
    ExpectVideo(1, "3", kRed);
    ExpectAudio(1, "3", kRed);
    ExpectButton(OutputButton(1), kAqua);

    // Audio Only again on a route carrying input 3 as audio: back to 7. The
    // switcher drops every temporary route on "TAKE 0" and is given the
    // temporary video again.
    ClickOutput(1);
    EXPECT_EQ(Sent(), (Lines{"TAKE 0", "RTEMP 1 3 101"}));
    ExpectAudio(1, "7", kLime);
    ExpectVideo(1, "3", kRed); // the temporary video stays
    ExpectButton(OutputButton(1), TooltipBase());
}

TEST_F(RoutingTest, RevertingOneOutputKeepsTheOthersTemporary) {
    Committed(1, 5, 5);
    Build();
    ClickInput(2);
    ClickOutput(1);
    ClickOutput(2);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 1 2 2", "RTEMP 2 2 2"}));

    ClickOutput(1);
    EXPECT_EQ(Sent(), (Lines{"TAKE 0", "RTEMP 2 2 2"}));
    ExpectVideo(1, "5", kLime);
    ExpectVideo(2, "2", kRed);
    ExpectAudio(2, "2", kRed);
    EXPECT_EQ(state.outputs.videoTaken(1), 0);
}

TEST_F(RoutingTest, ClickRepeatsOnTheOtherOutputsOfTheGroup) {
    // Group 1: outputs 1, 3 and 4. Output 1 already carries input 2 as a
    // temporary route over its committed input 5, so it reverts.
    Committed(1, 5, 5);
    Grouped(1, 1);
    Grouped(3, 1);
    Grouped(4, 1);
    Build();
    ClickInput(2);
    ChooseMode(1);
    ClickOutput(1);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 1 2 101", "RTEMP 3 2 101", "RTEMP 4 2 101"}));

    ChooseMode(0);
    // Every member is on screen before the group's lines go out.
    QStringList shownWhenSent;
    onSend = [&](const Commands&) {
        shownWhenSent.clear();
        for (int n : {1, 3, 4}) {
            shownWhenSent << VideoLabel(n)->text() + " " + ShownColour(VideoLabel(n));
        }
    };
    ClickOutput(3);
    // Each revert gives the switcher the members still temporary again.
    EXPECT_EQ(Sent(), (Lines{"TAKE 0", "RTEMP 1 2 101", "RTEMP 4 2 101", "TAKE 0", "RTEMP 4 2 101",
                             "TAKE 0"}));
    EXPECT_EQ(shownWhenSent, (QStringList{"5 " + kLime, "-- " + Face(), "-- " + Face()}));

    ClickOutput(4);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 4 2 2", "RTEMP 1 2 2", "RTEMP 3 2 2"}));
    for (int n : {1, 3, 4}) {
        ExpectVideo(n, "2", kRed);
        ExpectAudio(n, "2", kRed);
        ExpectButton(OutputButton(n), kAqua);
    }
    ExpectVideo(2, "--", Face()); // not a member
}

TEST_F(RoutingTest, GroupInputsDecideWhichOutputsAnInputMayReach) {
    Grouped(1, 1, {1, 2});
    Grouped(2, 1, {1, 2});
    Grouped(3, 2); // a group without inputs takes any input
    Build();

    ClickInput(3);
    EXPECT_FALSE(OutputButton(1)->isEnabled());
    EXPECT_FALSE(OutputButton(2)->isEnabled());
    EXPECT_TRUE(OutputButton(3)->isEnabled());
    EXPECT_TRUE(OutputButton(4)->isEnabled());

    ClickInput(2);
    EXPECT_TRUE(OutputButton(1)->isEnabled());
    EXPECT_TRUE(OutputButton(2)->isEnabled());

    // Disabled by the rule, enabled again by Clear All Routing.
    ClickInput(3);
    ASSERT_FALSE(OutputButton(1)->isEnabled());
    Click("ClearAllRoutingButton");
    EXPECT_TRUE(OutputButton(1)->isEnabled());
    EXPECT_TRUE(OutputButton(2)->isEnabled());
}

TEST_F(RoutingTest, TakeLightsTheLampWhileTheLineGoesOut) {
    Committed(1, 2, 2);
    Build();
    EXPECT_EQ(ShownCentre(TakeLamp()).toStdString(), kLampGreen.toStdString());
    ClickInput(4);
    ClickOutput(1);
    ClickOutput(2);
    Sent();

    QString lampWhenSent;
    QString captionWhenSent;
    onSend = [&](const Commands&) {
        lampWhenSent = ShownCentre(TakeLamp());
        captionWhenSent = ShownColour(VideoLabel(2));
    };
    Click("TakeButton");

    EXPECT_EQ(Sent(), (Lines{"TAKE 1"}));
    EXPECT_EQ(lampWhenSent.toStdString(), kRed.toStdString());
    EXPECT_EQ(captionWhenSent.toStdString(), kLime.toStdString());
    EXPECT_EQ(ShownCentre(TakeLamp()).toStdString(), kLampGreen.toStdString());
    ExpectVideo(1, "4", kLime);
    ExpectVideo(2, "4", kLime);
    EXPECT_EQ(state.prevOutputs.videoInput(1), 3);

    // Nothing temporary: Take still sends, Cancel sends nothing.
    onSend = nullptr;
    Click("TakeButton");
    EXPECT_EQ(Sent(), (Lines{"TAKE 1"}));
    Click("CancelTakeButton");
    EXPECT_TRUE(Sent().empty());
}

TEST_F(RoutingTest, CancelRestoresCommittedRoutesAndDropsTheSelection) {
    Committed(1, 2, 3);
    Build();
    ClickInput(6);
    ClickOutput(1);
    ClickOutput(2);
    Sent();

    Click("CancelTakeButton");

    EXPECT_EQ(Sent(), (Lines{"TAKE 0"}));
    EXPECT_EQ(switching.SelectedInput(), NoInput);
    ExpectVideo(1, "2", kLime);
    ExpectAudio(1, "3", kLime);
    ExpectVideo(2, "--", Face());
    ExpectAudio(2, "--", Face());
    for (int n = 1; n <= 16; ++n) {
        ExpectButton(InputButton(n), Face());
        ExpectButton(OutputButton(n), Face());
    }
    // A further output click has no input to route.
    ClickOutput(1);
    EXPECT_TRUE(Sent().empty());
}

TEST_F(RoutingTest, ClearAllRoutingCancelsThenClearsAndUnmutes) {
    Committed(1, 2, 2);
    Committed(3, 4, 5);
    state.outputs.muted(3) = 1;
    Build();
    link.RefreshingFlag = true;
    page->RefreshFromState();
    link.RefreshingFlag = false;
    ASSERT_TRUE(MuteBox(4)->isChecked());
    ClickInput(7);
    ClickOutput(2);
    Sent();

    Click("ClearAllRoutingButton");

    EXPECT_EQ(Sent(), (Lines{"TAKE 0", "CLEAR"}));
    for (int n = 1; n <= 16; ++n) {
        ExpectVideo(n, "--", Face());
        ExpectAudio(n, "--", Face());
        EXPECT_FALSE(MuteBox(n)->isChecked()) << n;
        ExpectButton(OutputButton(n), Face());
        ExpectButton(InputButton(n), Face());
    }
    EXPECT_EQ(state.outputs.muted(3), 0);
    EXPECT_EQ(state.prevOutputs.videoInput(2), NoInput);
    EXPECT_EQ(switching.SelectedInput(), NoInput);
    EXPECT_EQ(link.BusyFlag, 0);

    // Nothing temporary: "CLEAR" alone.
    Click("ClearAllRoutingButton");
    EXPECT_EQ(Sent(), (Lines{"CLEAR"}));
}

TEST_F(RoutingTest, SmallModelKeepsSlotsBeyondItsOutputs) {
    SetModel(0); // 12 x 4, eight slots in its replies
    Committed(5, 9, 9);
    Committed(6, 3, 3);
    state.outputs.videoInput(5) = 7; // slot 6: temporary, as a reply may hold it
    state.outputs.videoTaken(5) = 0;
    Build();
    const auto outerSlots = std::vector<std::uint8_t>(state.outputs.bytes.begin() + 20,
                                                      state.outputs.bytes.begin() + 40);
    const auto prevSlots = std::vector<std::uint8_t>(state.prevOutputs.bytes.begin() + 8,
                                                     state.prevOutputs.bytes.begin() + 16);
    ClickInput(1);
    ClickOutput(4);
    Sent();

    Click("TakeButton");
    ClickOutput(4);
    Click("CancelTakeButton");
    Click("ClearAllRoutingButton");

    EXPECT_EQ(Sent(), (Lines{"TAKE 1", "RTEMP 4 0 0", "TAKE 0", "CLEAR"}));
    EXPECT_EQ(std::vector<std::uint8_t>(state.outputs.bytes.begin() + 20,
                                        state.outputs.bytes.begin() + 40),
              outerSlots);
    EXPECT_EQ(std::vector<std::uint8_t>(state.prevOutputs.bytes.begin() + 8,
                                        state.prevOutputs.bytes.begin() + 16),
              prevSlots);
    EXPECT_FALSE(OutputButton(5)->isEnabled());
}

TEST_F(RoutingTest, HandlersReturnAtOnceWhileBusy) {
    Committed(1, 2, 2);
    Build();
    ClickInput(1);
    ClickOutput(2);
    Sent();

    link.BusyFlag = 1;
    ClickInput(5);
    EXPECT_EQ(switching.SelectedInput(), 0);
    ExpectButton(InputButton(5), Face());
    ClickOutput(3);
    Click("ClearAllRoutingButton");
    EXPECT_TRUE(Sent().empty());
    ExpectVideo(3, "--", Face());
    ExpectVideo(2, "1", kRed);

    // Take and Cancel do not look at the flag.
    Click("TakeButton");
    EXPECT_EQ(Sent(), (Lines{"TAKE 1"}));
    ClickOutput(1);
    EXPECT_TRUE(Sent().empty());
    link.BusyFlag = 0;
    ClickOutput(1);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 1 1 1"}));
    link.BusyFlag = 1;
    Click("CancelTakeButton");
    EXPECT_EQ(Sent(), (Lines{"TAKE 0"}));
    EXPECT_EQ(link.BusyFlag, 1); // left as the owner set it
}

TEST_F(RoutingTest, HandlersHoldBusyFlagWhileTheySend) {
    Build();
    std::vector<int> busyWhenSent;
    onSend = [&](const Commands&) { busyWhenSent.push_back(link.BusyFlag); };
    ClickInput(2);
    ClickOutput(1);
    Click(MuteBox(1));
    Click("ClearAllRoutingButton");
    EXPECT_EQ(Sent(), (Lines{"RTEMP 1 2 2", "OMUTE 1 1", "TAKE 0", "CLEAR"}));
    EXPECT_EQ(busyWhenSent, (std::vector<int>{1, 1, 1, 1}));
    EXPECT_EQ(link.BusyFlag, 0);
}

TEST_F(RoutingTest, MuteBoxesSendAtOnceUnlessAFlagIsSet) {
    Build();
    ClickInput(1);
    ClickOutput(2); // a temporary route does not hold mutes back
    Sent();

    Click(MuteBox(4));
    EXPECT_EQ(Sent(), (Lines{"OMUTE 4 1"}));
    EXPECT_EQ(state.outputs.muted(3), 1);
    Click(MuteBox(4));
    EXPECT_EQ(Sent(), (Lines{"OMUTE 4 0"}));
    EXPECT_EQ(state.outputs.muted(3), 0);

    link.BusyFlag = 1;
    Click(MuteBox(4));
    link.BusyFlag = 0;
    link.RefreshingFlag = true;
    Click(MuteBox(5));
    link.RefreshingFlag = false;
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(state.outputs.muted(3), 0);
    EXPECT_EQ(state.outputs.muted(4), 0);

    // Cancel leaves mutes alone.
    Click(MuteBox(6));
    Click("CancelTakeButton");
    EXPECT_EQ(Sent(), (Lines{"OMUTE 6 1", "TAKE 0"}));
    EXPECT_TRUE(MuteBox(6)->isChecked());
}

TEST_F(RoutingTest, RefreshTickingBoxesSendsNothingUnderTheFlags) {
    Build();
    state.outputs.muted(3) = 1;
    state.outputs.muted(7) = 2;
    link.RefreshingFlag = true;
    page->RefreshFromState();
    link.RefreshingFlag = false;
    EXPECT_TRUE(MuteBox(4)->isChecked());
    EXPECT_TRUE(MuteBox(8)->isChecked());

    state.outputs.muted(3) = 0;
    link.BusyFlag = 1;
    page->RefreshFromState();
    link.BusyFlag = 0;
    EXPECT_FALSE(MuteBox(4)->isChecked());
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(state.outputs.muted(7), 2);
}

TEST_F(RoutingTest, PresetPreviewIsConfirmedByTakeAndCancelledByCancelAndClear) {
    Committed(1, 2, 2);
    // Presets 3 and 5 hold output 1 on inputs 4 and 6.
    for (const auto& [preset, input] : {std::pair{2, 3}, std::pair{4, 5}}) {
        auto image = state.presets.routeImage(preset);
        std::copy(state.outputs.bytes.begin(), state.outputs.bytes.end(), image.begin());
        image[0] = image[1] = static_cast<std::uint8_t>(input);
        state.presets.stored(preset) = 1;
    }
    Build();
    QString lampWhenSent;
    onSend = [&](const Commands&) { lampWhenSent = ShownCentre(TakeLamp()); };

    presets.RecallPreset(2, Presets::RecallMode::Preview);
    page->RefreshFromState();
    ExpectVideo(1, "4", kRed);
    Click("TakeButton"); // confirms the preview instead of a take
    EXPECT_EQ(Sent(), (Lines{"RPRST 3 1"}));
    EXPECT_EQ(lampWhenSent.toStdString(), kRed.toStdString());
    EXPECT_EQ(ShownCentre(TakeLamp()).toStdString(), kLampGreen.toStdString());
    ExpectVideo(1, "4", kLime);
    EXPECT_FALSE(presets.RecallPending());

    presets.RecallPreset(4, Presets::RecallMode::Preview);
    page->RefreshFromState();
    ExpectVideo(1, "6", kRed);
    Click("CancelTakeButton"); // the preview goes; the switcher never had it
    EXPECT_TRUE(Sent().empty());
    ExpectVideo(1, "4", kLime);
    EXPECT_FALSE(presets.RecallPending());

    presets.RecallPreset(4, Presets::RecallMode::Preview);
    page->RefreshFromState();
    Click("ClearAllRoutingButton"); // cancels the preview, then clears
    EXPECT_EQ(Sent(), (Lines{"CLEAR"}));
    EXPECT_FALSE(presets.RecallPending());
    ExpectVideo(1, "--", Face());
}

TEST_F(RoutingTest, KeyboardPressesButtonsAndReadButtonAsksForARead) {
    Build();
    QTest::keyClick(InputButton(3), Qt::Key_Space);
    EXPECT_EQ(switching.SelectedInput(), 2);
    QTest::keyClick(OutputButton(2), Qt::Key_Return);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 2 3 3"}));
    QTest::keyClick(OutputButton(2), Qt::Key_Enter);
    EXPECT_EQ(Sent(), (Lines{"TAKE 0"}));
    QTest::keyClick(MuteBox(2), Qt::Key_Space);
    EXPECT_EQ(Sent(), (Lines{"OMUTE 2 1"}));

    QSignalSpy reads(page.get(), &SwitchingPage::readRequested);
    Click("UpdateStatus");
    EXPECT_EQ(reads.count(), 1);
    EXPECT_TRUE(Sent().empty());
}

} // namespace
} // namespace qvc::test
