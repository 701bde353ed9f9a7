// The "Sequencing" page: rows ticked and filled in by the operator, the run
// with its lines, row colours, lamp and delays (a second lasts kSecondMs
// here), a run of one row, the edit checks, and a step that falls due while
// another exchange is at work.
#include "PanelFixture.h"

namespace qvc::test {
namespace {

class SequencingTest : public PanelFixture {
  protected:
    void Build() {
        PanelFixture::Build();
        ShowSequencing();
    }
    // Ticks row r (1-based) and types the preset and the delay into it.
    void FillRow(int r, const char* preset, const char* delay) {
        Click(Get<QCheckBox>("PresetSeqEnableCheckBox", r));
        Type(Get<QLineEdit>("PresetSeqEdit", r), preset);
        Type(Get<QLineEdit>("PresetDelayEdit", r), delay);
    }
    void Type(QLineEdit* edit, const char* text) {
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    // The rows whose name is lime, 1-based.
    std::vector<int> LimeRows() {
        std::vector<int> lime;
        for (int r = 1; r <= kSequenceRows; ++r) {
            if (ShownColour(Get("PresetSeqLabel", r)) == kLime) {
                lime.push_back(r);
            }
        }
        return lime;
    }
    bool LampLit() { return ShownCentre(Get("PresetSeqApdStatusLight")) == kRed; }
    bool RowsEnabled() { return Get("PresetSequenceActiveBox")->isEnabled(); }
    QTimer* Timer() { return sequencingPage->findChild<QTimer*>(QStringLiteral("PresetSeqTimer")); }
    // Waits for the next lines.
    Lines NextLines() {
        EXPECT_TRUE(WaitFor([this] { return SentSomething(); }));
        return Sent();
    }
};

TEST_F(SequencingTest, TwoRowsAlternateUntilStopAndTheLastRowStaysLime) {
    StoredPreset(4, 1, 2);
    StoredPreset(7, 1, 9);
    Build();
    FillRow(2, "4", "3");
    FillRow(5, "7", "10");
    EXPECT_FALSE(Get("PresetSeqEdit", 1)->isEnabled());
    EXPECT_TRUE(LimeRows().empty());
    EXPECT_FALSE(LampLit());

    Click("PresetSeqStartButton");
    EXPECT_EQ(Sent(), (Lines{"RPRST 4 0"}));
    EXPECT_EQ(LimeRows(), (std::vector<int>{2}));
    EXPECT_TRUE(LampLit());
    EXPECT_FALSE(RowsEnabled());
    EXPECT_EQ(Timer()->interval(), 3 * kSecondMs);
    EXPECT_EQ(Get<QLabel>("VideoLabel1")->text().toStdString(), "2"); // the window follows

    EXPECT_EQ(NextLines(), (Lines{"RPRST 7 0"}));
    EXPECT_EQ(LimeRows(), (std::vector<int>{5}));
    EXPECT_EQ(Timer()->interval(), 10 * kSecondMs);
    EXPECT_EQ(Get<QLabel>("VideoLabel1")->text().toStdString(), "9");

    EXPECT_EQ(NextLines(), (Lines{"RPRST 4 0"}));
    EXPECT_EQ(LimeRows(), (std::vector<int>{2}));

    Click("PresetSeqStopButton");
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_FALSE(LampLit());
    EXPECT_TRUE(RowsEnabled());
    EXPECT_EQ(LimeRows(), (std::vector<int>{2}));
}

TEST_F(SequencingTest, OneRowIsRecalledOnceAndHeldUntilStop) {
    StoredPreset(2, 1, 5);
    Build();
    FillRow(6, "2", "3");

    Click("PresetSeqStartButton");
    EXPECT_EQ(Sent(), (Lines{"RPRST 2 0"}));
    ASSERT_TRUE(WaitFor([this] { return !Timer()->isActive(); }));
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(LampLit());
    EXPECT_FALSE(RowsEnabled());
    EXPECT_EQ(LimeRows(), (std::vector<int>{6}));

    Click("PresetSeqStopButton");
    EXPECT_FALSE(LampLit());
    EXPECT_TRUE(RowsEnabled());
}

TEST_F(SequencingTest, LeavingAWrongEditSaysWhyAndKeepsTheFocusThere) {
    Build();
    struct Case {
        const char* edit;
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"PresetSeqEdit", "17", "Error! Preset number out of limits (1-16)"},
        {"PresetSeqEdit", "x", "Error! 'x' is not a valid Preset number."},
        {"PresetDelayEdit", "2", "Error! Delay number out of limits (3-9999)"},
        {"PresetDelayEdit", "abc", "Error! 'abc' is not a valid Delay number."},
    };
    Click(Get<QCheckBox>("PresetSeqEnableCheckBox", 3));
    for (const Case& c : cases) {
        auto* edit = Get<QLineEdit>(c.edit, 3);
        edit->setFocus();
        Type(edit, c.text);
        prompts.ExpectMessage(QString::fromLatin1(c.message));
        QTest::keyClick(edit, Qt::Key_Tab);
        EXPECT_EQ(QApplication::focusWidget(), edit) << c.text;
        Type(edit, "4");
        QTest::keyClick(edit, Qt::Key_Tab); // passes: no message
        EXPECT_NE(QApplication::focusWidget(), edit) << c.text;
    }
    prompts.VerifyAllUsed();
}

TEST_F(SequencingTest, TwoWrongEditsDoNotPassTheFocusToEachOther) {
    Build();
    Click(Get<QCheckBox>("PresetSeqEnableCheckBox", 1));
    Type(Get<QLineEdit>("PresetSeqEdit", 1), "0");
    Type(Get<QLineEdit>("PresetDelayEdit", 1), "2");
    auto* preset = Get<QLineEdit>("PresetSeqEdit", 1);
    preset->setFocus();

    prompts.ExpectMessage(QStringLiteral("Error! Preset number out of limits (1-16)"));
    QTest::keyClick(preset, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), preset);
    prompts.VerifyAllUsed();
}

TEST_F(SequencingTest, RefusedStartShowsWhyAndSendsNothing) {
    StoredPreset(1, 1, 1);
    Build();
    prompts.ExpectMessage(QStringLiteral("Error! No Preset Sequence enabled."));
    Click("PresetSeqStartButton");

    FillRow(1, "1", "3");
    FillRow(4, "9", "3");
    prompts.ExpectMessage(
        QStringLiteral("Error! Preset #'9' is currently empty. Select a different Preset number"));
    Click("PresetSeqStartButton");
    EXPECT_EQ(QApplication::focusWidget(), Get("PresetSeqEdit", 4));
    EXPECT_TRUE(Sent().empty());
    EXPECT_FALSE(LampLit());
    EXPECT_TRUE(RowsEnabled());
    EXPECT_TRUE(LimeRows().empty());
    prompts.VerifyAllUsed();
}

TEST_F(SequencingTest, AStepWaitsForTheExchangeAtWorkAndDoesNotPileUp) {
    StoredPreset(4, 1, 2);
    StoredPreset(7, 1, 9);
    Build();
    FillRow(2, "4", "3");
    FillRow(5, "7", "10");
    Click("PresetSeqStartButton");
    EXPECT_EQ(Sent(), (Lines{"RPRST 4 0"}));

    exchangeBusy = true;
    const int asked = exchangeAsks;
    // Long enough for several steps to have fallen due.
    ASSERT_TRUE(WaitFor([&] { return exchangeAsks >= asked + 10; }));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(LimeRows(), (std::vector<int>{2}));

    exchangeBusy = false;
    EXPECT_EQ(NextLines(), (Lines{"RPRST 7 0"}));
    // One step, then the full delay of its row before the next.
    EXPECT_EQ(Timer()->interval(), 10 * kSecondMs);
    EXPECT_TRUE(Timer()->isActive());
    EXPECT_TRUE(Sent().empty());
}

// A step during a preview installs the sequence's preset; the panel stays
// in Recalling, but Confirm has no preview left to send.
TEST_F(SequencingTest, AStepReplacesAPreviewOnThePanel) {
    StoredPreset(3, 1, 6);
    StoredPreset(4, 1, 2);
    StoredPreset(7, 1, 9);
    Build();
    FillRow(2, "4", "3");
    FillRow(5, "7", "3");
    Click("PresetsRecallButton");
    ClickPreset(3);
    ASSERT_TRUE(Get("PresetRecallConfirmButton")->isEnabled());

    Click("PresetSeqStartButton");
    EXPECT_EQ(Sent(), (Lines{"RPRST 4 0"}));
    EXPECT_FALSE(presets.RecallPending());
    EXPECT_EQ(VideoCaption(1), kLime.toStdString());
    EXPECT_TRUE(Get("PresetRecallCancelButton")->isEnabled());
    EXPECT_FALSE(Get("PresetRecallConfirmButton")->isEnabled());
    EXPECT_TRUE(Get("PresetsPageControl")->isVisible());
    Click("PresetSeqStopButton");
}

} // namespace
} // namespace qvc::test
