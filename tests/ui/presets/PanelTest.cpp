// The "Preset Save/Recall" panel: its buttons in each state, store and
// preview with the exact lines, Confirm and Cancel, the panel following Take
// and Cancel of the switching page, the preset labels and the keyboard.
#include "PanelFixture.h"
#include "ui/common/CaptionButton.h"

namespace qvc::test {
namespace {

class PanelTest : public PanelFixture {
  protected:
    // Which of Save, its Cancel, Recall, its Cancel and Confirm are enabled
    // ("SCRXF": upper case enabled), and whether the preset buttons show.
    void ExpectPanel(const char* buttons, bool presetsShown) {
        const char* names[] = {"PresetsSaveButton", "PresetSaveCancelButton", "PresetsRecallButton",
                               "PresetRecallCancelButton", "PresetRecallConfirmButton"};
        std::string shown;
        for (int i = 0; i < 5; ++i) {
            shown += Get(names[i])->isEnabled() ? "SCRXF"[i] : "scrxf"[i];
        }
        EXPECT_EQ(shown, buttons);
        EXPECT_EQ(Get("PresetsPageControl")->isVisible(), presetsShown);
    }
    std::vector<int> EnabledPresets() {
        std::vector<int> enabled;
        for (int n = 1; n <= kPresetCount; ++n) {
            if (Get("PresetButton", n)->isEnabled()) {
                enabled.push_back(n);
            }
        }
        return enabled;
    }
};

TEST_F(PanelTest, SaveTakesThenStoresAndRecallOffersStoredPresetsOnly) {
    Build();
    ExpectPanel("ScRxf", false);
    Click("InputButton", 2);
    Click("OutputButton", 1);
    EXPECT_EQ(Sent(), (Lines{"RTEMP 1 2 2"}));

    Click("PresetsSaveButton");
    ExpectPanel("SCrxf", true);
    EXPECT_EQ(EnabledPresets().size(), 16u);
    Click("PresetSaveCancelButton");
    ExpectPanel("ScRxf", false);
    Click("PresetsSaveButton");
    Click("PresetButton", 3);
    EXPECT_EQ(Sent(), (Lines{"TAKE 1", "PRST 3"}));
    ExpectPanel("ScRxf", false);
    EXPECT_EQ(Output1(), "2 " + kLime.toStdString()); // the switching page shows the take

    Click("PresetsRecallButton");
    ExpectPanel("scRXf", true);
    EXPECT_EQ(EnabledPresets(), (std::vector<int>{3}));
}

// The live preset (the lowest stored one whose routes are the committed
// routes) carries the tag and " (live)" in its accessible name; it follows
// Take, store, Confirm and the labels, and not a temporary route.
TEST_F(PanelTest, TheLivePresetIsMarkedAndFollowsTheCommittedRoutes) {
    StoredPreset(2, 9);
    StoredPreset(5, 7);
    Build();
    const auto live = [this] {
        std::string marked;
        for (int n = 1; n <= kPresetCount; ++n) {
            auto* b = qobject_cast<CaptionButton*>(Get("PresetButton", n));
            if (!b->Tag().isEmpty() || b->accessibleName() != b->text()) {
                marked += b->Tag().toStdString() + ":" + b->accessibleName().toStdString() + " ";
            }
        }
        return marked;
    };
    EXPECT_EQ(live(), "");
    Click("InputButton", 9);
    Click("OutputButton", 1);
    EXPECT_EQ(live(), ""); // temporary: what it replaces counts
    Click("TakeButton");
    EXPECT_EQ(live(), "LIVE:2 (live) ");
    Click("PresetsSaveButton");
    Click("PresetButton", 4); // also holds these routes, but 2 is lower
    EXPECT_EQ(live(), "LIVE:2 (live) ");
    Click("PresetsSaveButton");
    Click("PresetButton", 1);
    EXPECT_EQ(live(), "LIVE:1 (live) ");
    Click("PresetsRecallButton");
    Click("PresetButton", 5);
    EXPECT_EQ(live(), "LIVE:1 (live) "); // a preview is not committed
    Click("PresetRecallConfirmButton");
    EXPECT_EQ(live(), "LIVE:5 (live) ");
    labels.presets[4] = "LECT";
    list->ApplyLabels();
    EXPECT_EQ(live(), "LIVE:LECT (live) ");
}

TEST_F(PanelTest, PreviewSendsNothingAndConfirmRecalls) {
    StoredPreset(5, 7);
    Build();
    Click("PresetsRecallButton");
    Click("PresetButton", 5);
    EXPECT_TRUE(Sent().empty());
    ExpectPanel("scRXF", true);
    EXPECT_EQ(Output1(), "7 " + kRed.toStdString());

    Click("PresetRecallConfirmButton");
    EXPECT_EQ(Sent(), (Lines{"RPRST 5 1"}));
    ExpectPanel("ScRxf", false);
    EXPECT_EQ(Output1(), "7 " + kLime.toStdString());
}

// Cancel on the panel, or Take and Cancel on the switching page, end the
// preview of preset 2 then 7; the panel follows.
TEST_F(PanelTest, PreviewsEndWithThePanelOrTheSwitchingPage) {
    StoredPreset(2, 9);
    StoredPreset(7, 11);
    Build();
    const struct {
        const char* button;
        Lines sent;
        std::string output1;
    } cases[] = {{"PresetRecallCancelButton", {}, "4 " + kLime.toStdString()},
                 {"CancelTakeButton", {}, "4 " + kLime.toStdString()},
                 {"TakeButton", {"RPRST 7 1"}, "11 " + kLime.toStdString()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.button);
        state.outputs.videoInput(0) = 3;
        state.outputs.muted(1) = 1;
        list->RefreshFromState();
        Click("PresetsRecallButton");
        Click("PresetButton", 2);
        Click("PresetButton", 7);
        EXPECT_FALSE(Get<QCheckBox>("OutputMuteCheckBox2")->isChecked());
        Click(c.button);
        EXPECT_EQ(Sent(), c.sent);
        ExpectPanel("ScRxf", false);
        EXPECT_EQ(Output1(), c.output1);
        EXPECT_EQ(Get<QCheckBox>("OutputMuteCheckBox2")->isChecked(), c.sent.empty());
    }
}

TEST_F(PanelTest, LabelsAndKeyboard) {
    Build();
    labels.presets[0] = "Cam\xE9";
    list->ApplyLabels();
    auto* first = Get<QPushButton>("PresetButton", 1);
    EXPECT_EQ(first->text(), QStringLiteral("Cam\u00E9"));
    EXPECT_EQ(first->accessibleName(), first->text());

    Get("PresetsSaveButton")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    for (int tab = 0; tab < 8 && QApplication::focusWidget() != first; ++tab) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    QTest::keyClick(first, Qt::Key_Return);
    EXPECT_EQ(Sent(), (Lines{"TAKE 1", "PRST 1"}));
}

} // namespace
} // namespace qvc::test
