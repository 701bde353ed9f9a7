// The Labeling page in the window: labels reach the controls that show them
// when an edit is left, Enter walks the ring of edits, the resets, and no
// label ever sends a line.
#include "FormRig.h"
#include "ui/common/CaptionButton.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QTest>

namespace qvc::test {
namespace {

class LabelsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        auto& sim = rig.StartSim({.tcp = true});
        sim_ = &sim;
        rig.CreateForm(&sim);
        rig.ConnectEthernet();
        sim.ClearReceivedLines();
        rig.ClickTab(QStringLiteral("Labeling"));
        // Focus moves, and edits are left, only in the active window.
        rig.Form().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&rig.Form()));
    }
    void TearDown() override {
        EXPECT_TRUE(sim_->ReceivedLines().empty()); // labels are the program's alone
    }

    QLineEdit* Edit(const char* kind, int n) {
        return rig.Find<QLineEdit>(QStringLiteral("%1LabelEdit%2").arg(QLatin1String(kind)).arg(n));
    }
    QString Caption(const QString& button) { return rig.Find<QPushButton>(button)->text(); }
    // Replaces the edit's text as a user does, then leaves it with Tab.
    void Type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    void Leave(QLineEdit* edit) { QTest::keyClick(edit, Qt::Key_Tab); }

    FormRig rig;
    qvsim::SimThread* sim_ = nullptr;
};

TEST_F(LabelsTest, ALabelReachesItsButtonWhenItsEditIsLeft) {
    Type(Edit("Input", 3), QStringLiteral("Cam A"));
    EXPECT_EQ(Caption(QStringLiteral("InputButton3")), QStringLiteral("3")); // not yet
    Leave(Edit("Input", 3));
    EXPECT_EQ(Caption(QStringLiteral("InputButton3")), QStringLiteral("Cam A"));
    EXPECT_EQ(rig.Find<QPushButton>(QStringLiteral("InputButton3"))->accessibleName(),
              QStringLiteral("Cam A"));

    Type(Edit("Output", 2), QString());
    Leave(Edit("Output", 2));
    EXPECT_EQ(Caption(QStringLiteral("OutputButton2")), QString());
}

TEST_F(LabelsTest, EachLabelReachesEveryControlThatShowsIt) {
    Type(Edit("Input", 3), QString());
    Type(Edit("Output", 2), QStringLiteral("Proj"));
    Type(Edit("Group", 1), QStringLiteral("Front"));
    Type(Edit("Preset", 4), QStringLiteral("Show"));
    Leave(Edit("Preset", 4));

    // An empty input label: empty buttons, and "Input 3 (" right before ")".
    EXPECT_EQ(Caption(QStringLiteral("InputButton3")), QString());
    EXPECT_EQ(Caption(QStringLiteral("GroupInputButton3")), QString());
    EXPECT_EQ(rig.Find<QGroupBox>(QStringLiteral("AudioInputGroupBox3"))->title(),
              QStringLiteral("Input 3 ()"));
    EXPECT_EQ(Caption(QStringLiteral("OutputButton2")), QStringLiteral("Proj"));
    EXPECT_EQ(Caption(QStringLiteral("GroupOutputButton2")), QStringLiteral("Proj"));
    EXPECT_EQ(rig.Find<QCheckBox>(QStringLiteral("GroupExistCheckBox1"))->text(),
              QStringLiteral("Group 1 (Front)"));
    EXPECT_EQ(rig.Find<QRadioButton>(QStringLiteral("GroupingRadioGroupItem0"))->text(),
              QStringLiteral("Group 1 (Front)"));
    EXPECT_EQ(Caption(QStringLiteral("PresetButton4")), QStringLiteral("Show"));
}

TEST_F(LabelsTest, AnEditTakesSixCharactersOfAnyEightBitText) {
    QLineEdit* edit = Edit("Preset", 1);
    Type(edit, QStringLiteral("Stage12"));
    EXPECT_EQ(edit->text(), QStringLiteral("Stage1")); // the seventh does not go in
    edit->selectAll();
    edit->insert(QStringLiteral("Sc\u00e8ne\u00b2")); // 8-bit characters, as a keyboard enters them
    Leave(edit);
    EXPECT_EQ(edit->text(), QStringLiteral("Sc\u00e8ne\u00b2"));
}

TEST_F(LabelsTest, EnterWalksOneRingOverAllSixtyFourEditsAndApplies) {
    const struct {
        const char* kind;
        int n;
        const char* nextKind;
        int next;
    } ring[] = {{"Input", 5, "Input", 6},
                {"Input", 16, "Output", 1},
                {"Output", 16, "Group", 1},
                {"Group", 16, "Preset", 1},
                {"Preset", 16, "Input", 1}};
    for (const auto& step : ring) {
        QLineEdit* from = Edit(step.kind, step.n);
        Type(from, QStringLiteral("L%1").arg(step.n));
        QTest::keyClick(from, Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), Edit(step.nextKind, step.next))
            << step.kind << step.n;
    }
    EXPECT_EQ(Caption(QStringLiteral("InputButton16")), QStringLiteral("L16"));
    EXPECT_EQ(Caption(QStringLiteral("OutputButton16")), QStringLiteral("L16"));
}

TEST_F(LabelsTest, EachResetPutsBackAllSixteenNumbersOfItsKind) {
    for (int n : {2, 9, 16}) {
        Type(Edit("Output", n), QStringLiteral("Out%1").arg(n));
        Type(Edit("Input", n), QStringLiteral("In%1").arg(n));
    }
    Leave(Edit("Input", 16));
    EXPECT_EQ(Caption(QStringLiteral("OutputButton9")), QStringLiteral("Out9"));

    QTest::mouseClick(rig.Find<QPushButton>(QStringLiteral("ResetOutputLabelsButton")),
                      Qt::LeftButton);
    for (int n = 1; n <= 16; ++n) {
        EXPECT_EQ(Edit("Output", n)->text(), QString::number(n)) << n;
        EXPECT_EQ(Caption(QStringLiteral("OutputButton%1").arg(n)), QString::number(n)) << n;
    }
    EXPECT_EQ(Caption(QStringLiteral("InputButton9")), QStringLiteral("In9")); // other kinds stay
    QTest::mouseClick(rig.Find<QPushButton>(QStringLiteral("ResetInputLabelsButton")),
                      Qt::LeftButton);
    EXPECT_EQ(Caption(QStringLiteral("InputButton9")), QStringLiteral("9"));
}

// Six characters of any width, with and without a blank, on every family
// of buttons that shows labels: a caption that does not fit on one line is
// shown on two, and nothing is cut off. The accessible name stays the label.
TEST_F(LabelsTest, SixCharacterLabelsFitOnTheirButtons) {
    const QStringList labels = {QStringLiteral("WWWWWW"), QStringLiteral("MMMMMM"),
                                QStringLiteral("W WWWW"), QStringLiteral("\u00C6\u00C6\u00C6 @@"),
                                QStringLiteral("CAM 12")};
    for (int n = 1; n <= labels.size(); ++n) {
        for (const char* kind : {"Input", "Output", "Preset"}) {
            Type(Edit(kind, n), labels[n - 1]);
            Leave(Edit(kind, n));
        }
    }
    const auto expectFits = [&](const QString& family) {
        for (int n = 1; n <= labels.size(); ++n) {
            auto* button = rig.Find<QPushButton>(family + QString::number(n));
            ASSERT_TRUE(button->isVisible()) << family.toStdString() << n;
            EXPECT_EQ(button->text(), labels[n - 1]);
            // The live preset's name says so as well.
            const auto* caption = qobject_cast<CaptionButton*>(button);
            const bool live = caption != nullptr && caption->Tag() == QLatin1String("LIVE");
            EXPECT_EQ(button->accessibleName(), labels[n - 1] + (live ? " (live)" : ""));
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect contents =
                button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
            const QFontMetrics metrics = button->fontMetrics();
            const QStringList lines = WrapCaption(button->text(), metrics, contents.width());
            EXPECT_LE(lines.size(), 2) << family.toStdString() << n;
            EXPECT_LE(lines.size() * metrics.height(), contents.height())
                << family.toStdString() << n;
            for (const QString& line : lines) {
                EXPECT_LE(metrics.horizontalAdvance(line), contents.width())
                    << family.toStdString() << n << " " << line.toStdString();
            }
            EXPECT_EQ(lines.join(QString()).remove(QLatin1Char(' ')),
                      QString(labels[n - 1]).remove(QLatin1Char(' ')));
        }
    };
    rig.ClickTab(QStringLiteral("Grouping"));
    expectFits(QStringLiteral("GroupInputButton"));
    expectFits(QStringLiteral("GroupOutputButton"));
    rig.ClickTab(QStringLiteral("A / V Switching"));
    expectFits(QStringLiteral("InputButton"));
    expectFits(QStringLiteral("OutputButton"));
    QTest::mouseClick(rig.Find<QPushButton>(QStringLiteral("PresetsSaveButton")), Qt::LeftButton);
    expectFits(QStringLiteral("PresetButton"));
    QTest::mouseClick(rig.Find<QPushButton>(QStringLiteral("PresetSaveCancelButton")),
                      Qt::LeftButton);
}

} // namespace
} // namespace qvc::test
