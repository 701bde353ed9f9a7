// The "Preset Save/Recall" panel: its buttons in Idle, Saving and Recalling,
// store and preview with the exact lines, Confirm and Cancel, and the panel
// following the switching page's Take and Cancel during a preview.
#include "PanelFixture.h"

#include <QTabWidget>

namespace qvc::test {
namespace {

class PanelTest : public PanelFixture {
  protected:
    // Enabled states of Save, its Cancel, Recall, its Cancel and Confirm,
    // and whether the preset buttons are shown.
    void ExpectPanel(const char* step, bool save, bool saveCancel, bool recall, bool recallCancel,
                     bool confirm, bool presetsShown) {
        SCOPED_TRACE(step);
        EXPECT_EQ(Get("PresetsSaveButton")->isEnabled(), save);
        EXPECT_EQ(Get("PresetSaveCancelButton")->isEnabled(), saveCancel);
        EXPECT_EQ(Get("PresetsRecallButton")->isEnabled(), recall);
        EXPECT_EQ(Get("PresetRecallCancelButton")->isEnabled(), recallCancel);
        EXPECT_EQ(Get("PresetRecallConfirmButton")->isEnabled(), confirm);
        EXPECT_EQ(Get("PresetsPageControl")->isVisible(), presetsShown);
    }
    void ExpectIdle() { ExpectPanel("Idle", true, false, true, false, false, false); }
    // The preset buttons that can be clicked, 1-based.
    std::vector<int> EnabledPresets() {
        std::vector<int> enabled;
        for (int n = 1; n <= kPresetCount; ++n) {
            if (PresetButton(n)->isEnabled()) {
                enabled.push_back(n);
            }
        }
        return enabled;
    }
};

TEST_F(PanelTest, SaveTakesThenStoresAndTheNextRecallOffersThePreset) {
    Build();
    ExpectIdle();
    Click("InputButton2");
    Click("OutputButton1");
    EXPECT_EQ(Sent(), (Lines{"RTEMP 1 2 2"}));
    EXPECT_EQ(VideoCaption(1), kRed.toStdString());

    Click("PresetsSaveButton");
    ExpectPanel("Saving", true, true, false, false, false, true);
    EXPECT_EQ(EnabledPresets().size(), 16u);

    ClickPreset(3);
    EXPECT_EQ(Sent(), (Lines{"TAKE 1", "PRST 3"}));
    ExpectIdle();
    EXPECT_EQ(VideoCaption(1), kLime.toStdString()); // the switching page shows the take

    Click("PresetsRecallButton");
    ExpectPanel("Recalling", false, false, true, true, false, true);
    EXPECT_EQ(EnabledPresets(), (std::vector<int>{3}));
}

TEST_F(PanelTest, SaveCancelAndRecallWithNothingStoredSendNothing) {
    Build();
    Click("PresetsSaveButton");
    Click("PresetSaveCancelButton");
    ExpectIdle();

    Click("PresetsRecallButton");
    EXPECT_TRUE(EnabledPresets().empty());
    Click("PresetRecallCancelButton");
    ExpectIdle();
    EXPECT_TRUE(Sent().empty());
}

TEST_F(PanelTest, PreviewSendsNothingAndConfirmRecallsAndCommits) {
    StoredPreset(5, 1, 7);
    Build();
    Click("PresetsRecallButton");
    ClickPreset(5);
    EXPECT_TRUE(Sent().empty());
    ExpectPanel("Previewing", false, false, true, true, true, true);
    EXPECT_EQ(Get<QLabel>("VideoLabel1")->text().toStdString(), "7");
    EXPECT_EQ(VideoCaption(1), kRed.toStdString());

    Click("PresetRecallConfirmButton");
    EXPECT_EQ(Sent(), (Lines{"RPRST 5 1"}));
    ExpectIdle();
    EXPECT_EQ(VideoCaption(1), kLime.toStdString());
}

TEST_F(PanelTest, TwoPreviewsThenCancelRestoreTheRoutingOnScreen) {
    Committed(1, 4);
    state.outputs.muted(1) = 1;
    StoredPreset(2, 1, 9);
    StoredPreset(7, 1, 11);
    Build();

    Click("PresetsRecallButton");
    ClickPreset(2);
    ClickPreset(7);
    EXPECT_EQ(Get<QLabel>("VideoLabel1")->text().toStdString(), "11");
    EXPECT_FALSE(Get<QCheckBox>("OutputMuteCheckBox2")->isChecked());

    Click("PresetRecallCancelButton");
    EXPECT_TRUE(Sent().empty());
    ExpectIdle();
    EXPECT_EQ(Get<QLabel>("VideoLabel1")->text().toStdString(), "4");
    EXPECT_EQ(VideoCaption(1), kLime.toStdString());
    EXPECT_TRUE(Get<QCheckBox>("OutputMuteCheckBox2")->isChecked());
}

// Take and Cancel of the switching page act on the preview, and the panel
// follows them.
TEST_F(PanelTest, SwitchingPageTakeConfirmsAndCancelWithdrawsThePreview) {
    Committed(1, 4);
    StoredPreset(4, 1, 2);
    Build();
    struct Case {
        const char* button;
        Lines sent;
        const char* input; // output 1's video caption afterwards
    };
    const Case cases[] = {{"TakeButton", {"RPRST 4 1"}, "2"}, {"CancelTakeButton", {}, "4"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        Committed(1, 4);
        switchingPage->RefreshFromState();
        Click("PresetsRecallButton");
        ClickPreset(4);
        Click(c.button);
        EXPECT_EQ(Sent(), c.sent);
        EXPECT_FALSE(presets.RecallPending());
        ExpectIdle();
        EXPECT_EQ(Get<QLabel>("VideoLabel1")->text().toStdString(), c.input);
        EXPECT_EQ(VideoCaption(1), kLime.toStdString());
    }
}

TEST_F(PanelTest, PresetClickIsIgnoredWhileAnotherHandlerWorks) {
    StoredPreset(6, 1, 3);
    Build();
    Click("PresetsRecallButton");
    {
        BusyScope busy(link);
        ClickPreset(6);
    }
    EXPECT_FALSE(presets.RecallPending());
    EXPECT_FALSE(Get("PresetRecallConfirmButton")->isEnabled());
}

TEST_F(PanelTest, PresetButtonsShowThePresetLabels) {
    Build();
    labels.presets[2] = "Cam\xE9";
    labels.presets[15] = "Stage";
    list->ApplyLabels();
    Click("PresetsSaveButton");
    EXPECT_EQ(PresetButton(3)->text(), QStringLiteral("Cam\u00E9"));
    EXPECT_EQ(PresetButton(3)->accessibleName(), QStringLiteral("Cam\u00E9"));
    EXPECT_EQ(PresetButton(16)->text(), QStringLiteral("Stage"));
    EXPECT_EQ(PresetButton(1)->text(), QStringLiteral("1"));
}

TEST_F(PanelTest, KeyboardStoresAPreset) {
    Build();
    Get("PresetsSaveButton")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    ASSERT_TRUE(Get("PresetsPageControl")->isVisible());
    for (int tab = 0; tab < 8 && QApplication::focusWidget() != PresetButton(1); ++tab) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    ASSERT_EQ(QApplication::focusWidget(), PresetButton(1));
    QTest::keyClick(PresetButton(1), Qt::Key_Return);
    EXPECT_EQ(Sent(), (Lines{"TAKE 1", "PRST 1"}));
}

} // namespace
} // namespace qvc::test
