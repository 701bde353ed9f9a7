// The "Sequencing" page run by the operator: the lines, the lime row, the
// lamp and the delays (a second lasts kSecondMs here), the edit messages and
// the focus, a step held back by an exchange at work, and a step during a
// preview on the panel.
#include "PanelFixture.h"

namespace qvc::test {
namespace {

class SequencingTest : public PanelFixture {
  protected:
    void SetUp() override {
        StoredPreset(3, 6);
        StoredPreset(4, 2);
        StoredPreset(7, 9);
        Build();
        Click("PresetsRecallButton"); // the panel lies over this page too
        window->findChild<QTabWidget*>()->setCurrentWidget(sequencing);
    }
    // Ticks row r and types the preset and the delay into it.
    void FillRow(int r, const char* preset, const char* delay) {
        Click("PresetSeqEnableCheckBox", r);
        Type(Get<QLineEdit>("PresetSeqEdit", r), preset);
        Type(Get<QLineEdit>("PresetDelayEdit", r), delay);
    }
    void Type(QLineEdit* edit, const char* text) {
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    // The lime rows, the lamp (lit: red) and whether the rows can be edited.
    std::string Shown() {
        std::string shown;
        for (int r = 1; r <= kSequenceRows; ++r) {
            shown += ShownColour(Get("PresetSeqLabel", r)) == kLime ? std::to_string(r) : "";
        }
        shown += ShownCentre(Get("PresetSeqApdStatusLight")) == kRed ? " lit" : " unlit";
        return shown + (Get("PresetSequenceActiveBox")->isEnabled() ? " open" : " closed");
    }
    QTimer* Timer() { return sequencing->findChild<QTimer*>(QStringLiteral("PresetSeqTimer")); }
};

TEST_F(SequencingTest, TwoRowsAlternateUntilStopAndTheLastRowStaysLime) {
    FillRow(2, "4", "3");
    FillRow(5, "7", "10");
    EXPECT_EQ(Shown(), " unlit open");

    Click("PresetSeqStartButton");
    EXPECT_EQ(Sent(), (Lines{"RPRST 4 0"}));
    EXPECT_EQ(Shown(), "2 lit closed");
    EXPECT_EQ(Timer()->interval(), 3 * kSecondMs);
    EXPECT_EQ(NextLines(), (Lines{"RPRST 7 0"}));
    EXPECT_EQ(Shown(), "5 lit closed");
    EXPECT_EQ(Timer()->interval(), 10 * kSecondMs);
    EXPECT_EQ(Output1(), "9 " + kLime.toStdString()); // the switching page follows

    Click("PresetSeqStopButton");
    EXPECT_FALSE(Timer()->isActive());
    EXPECT_EQ(Shown(), "5 unlit open");
}

TEST_F(SequencingTest, OneRowIsHeldUntilStop) {
    FillRow(6, "3", "3");
    Click("PresetSeqStartButton");
    EXPECT_EQ(Sent(), (Lines{"RPRST 3 0"}));
    ASSERT_TRUE(WaitFor([this] { return !Timer()->isActive(); }));
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Shown(), "6 lit closed");
}

// A wrong edit keeps the focus, also when the next one is wrong as well;
// Start names an empty preset and sends nothing.
TEST_F(SequencingTest, MessagesPutTheFocusBack) {
    FillRow(1, "0", "2");
    auto* preset = Get<QLineEdit>("PresetSeqEdit", 1);
    preset->setFocus();
    prompts.ExpectMessage(QStringLiteral("Error! Preset number out of limits (1-16)"));
    QTest::keyClick(preset, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), preset);

    Type(preset, "9");
    prompts.ExpectMessage(QStringLiteral("Error! Delay number out of limits (3-9999)"));
    QTest::keyClick(preset, Qt::Key_Tab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Get("PresetDelayEdit", 1));

    Type(Get<QLineEdit>("PresetDelayEdit", 1), "abc");
    prompts.ExpectMessage(QStringLiteral("Error! 'abc' is not a valid Delay number."));
    Click("PresetSeqStartButton");
    Type(Get<QLineEdit>("PresetDelayEdit", 1), "3");
    prompts.ExpectMessage(
        QStringLiteral("Error! Preset #'9' is currently empty. Select a different Preset number"));
    preset->setFocus();
    Click("PresetSeqStartButton");
    EXPECT_EQ(QApplication::focusWidget(), preset);
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(Shown(), " unlit open");
    prompts.VerifyAllUsed();
}

TEST_F(SequencingTest, AStepWaitsForTheExchangeAtWorkAndDoesNotPileUp) {
    FillRow(2, "4", "3");
    FillRow(5, "7", "10");
    Click("PresetSeqStartButton");
    exchangeBusy = true;
    const int asked = exchangeAsks;
    ASSERT_TRUE(WaitFor([&] { return exchangeAsks >= asked + 10; })); // steps fell due
    EXPECT_EQ(Sent(), (Lines{"RPRST 4 0"}));

    exchangeBusy = false;
    EXPECT_EQ(NextLines(), (Lines{"RPRST 7 0"}));
    EXPECT_EQ(Timer()->interval(), 10 * kSecondMs); // its row's delay, not a catch-up
    EXPECT_TRUE(Sent().empty());
}

// A step replaces a preview on the panel: it stays in Recalling, but Confirm
// has no preview left to send.
TEST_F(SequencingTest, AStepReplacesAPreview) {
    Click("PresetButton", 3);
    FillRow(1, "4", "3");
    Click("PresetSeqStartButton");
    EXPECT_EQ(Sent(), (Lines{"RPRST 4 0"}));
    EXPECT_TRUE(Get("PresetRecallCancelButton")->isEnabled());
    EXPECT_FALSE(Get("PresetRecallConfirmButton")->isEnabled());
    EXPECT_EQ(Output1(), "2 " + kLime.toStdString());
}

} // namespace
} // namespace qvc::test
