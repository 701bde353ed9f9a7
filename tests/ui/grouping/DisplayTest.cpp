// What the page shows: the adaptation to each switcher size after a
// read-back, the labels, names for assistive technology, the keyboard
// order, and pictures of the page.
#include "PageFixture.h"

#include <QTabWidget>

namespace qvc::test {
namespace {

using DisplayTest = PageFixture;

TEST_F(DisplayTest, ReadBackAdaptsToEachModel) {
    for (const auto& [code, outputs, inputs] :
         {std::tuple{0, 4, 12}, {1, 8, 12}, {2, 8, 16}, {3, 16, 16}}) {
        SCOPED_TRACE(code);
        SetModel(3);
        Build();
        SelectGroup(2);
        Click(InputButton(1)); // the hint, which the read-back takes away
        SetModel(code);
        Seed(1, {2}, {12});
        Seed(3, {1});
        state.groups.setMemberCount(3, 1); // group 4: a count without members
        Refresh();

        EXPECT_EQ(page->GroupItemCount(), outputs);
        EXPECT_EQ(page->SelectedGroup(), 0);
        EXPECT_FALSE(OutputFirst()->isVisible());
        for (int n = 1; n <= 16; ++n) {
            SCOPED_TRACE(n);
            EXPECT_EQ(GroupItem(n)->isVisible(), n <= outputs);
            EXPECT_EQ(GroupItem(n)->text(), n <= outputs ? QStringLiteral("Group %1").arg(n)
                                                         : QStringLiteral("Group %1 (%1)").arg(n));
            EXPECT_EQ(ExistBox(n)->isEnabled(), n <= outputs);
            EXPECT_EQ(ExistBox(n)->isChecked(), n == 1 || n == 3 || n == 4);
            // Output 1 is group 3's, so group 1 cannot take it.
            EXPECT_EQ(OutputButton(n)->isEnabled(), n <= outputs && n != 1);
            EXPECT_EQ(InputButton(n)->isEnabled(), n <= inputs);
        }
        EXPECT_EQ(ShownColour(OutputButton(2)), kYellow.toStdString());
        EXPECT_EQ(ShownColour(InputButton(12)), kYellow.toStdString());
        EXPECT_TRUE(Sent().empty());
    }
}

// Labels as the labeling page leaves them, also on the names read out.
TEST_F(DisplayTest, LabelsShowOnButtonsBoxesAndSelectorItems) {
    SetModel(1); // 12 x 8: a selector of 8 items
    Build();
    labels.inputs[2] = "CAM 3";
    labels.outputs[15] = "PROJ";
    labels.groups[0] = "Lobby";
    labels.groups[2] = "";
    labels.groups[11] = "Caf\xE9"; // 8-bit text, shown as Latin-1
    page->ApplyLabels();
    const auto expectShown = [this](const char* object, const QString& text) {
        auto* w = Get<QAbstractButton>(QString::fromLatin1(object));
        EXPECT_EQ(w->text(), text) << object;
        EXPECT_EQ(w->accessibleName(), text) << object;
    };
    expectShown("GroupInputButton3", "CAM 3");
    expectShown("GroupOutputButton16", "PROJ");
    expectShown("GroupExistCheckBox1", "Group 1 (Lobby)");
    expectShown("GroupExistCheckBox3", "Group 3 ()");
    expectShown("GroupExistCheckBox12", QStringLiteral("Group 12 (Caf\u00E9)"));
    expectShown("GroupingRadioGroupItem0", "Group 1 (Lobby)");
    expectShown("GroupingRadioGroupItem11", "Group 12"); // beyond the 8 items
    // A read-back rebuilds the items without labels; the boxes keep theirs.
    Refresh();
    expectShown("GroupingRadioGroupItem0", "Group 1");
    expectShown("GroupExistCheckBox1", "Group 1 (Lobby)");

    // A loaded configuration: labels first, then the grouping, shown from
    // group 1 on the items as they are.
    page->ApplyLabels();
    SelectGroup(3);
    Seed(1, {2});
    page->ShowLoadedConfiguration();
    expectShown("GroupingRadioGroupItem0", "Group 1 (Lobby)");
    EXPECT_EQ(page->SelectedGroup(), 0);
    EXPECT_TRUE(ExistBox(1)->isChecked());
    EXPECT_EQ(ShownColour(OutputButton(2)), kYellow.toStdString());
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
        expectNames(Named("GroupInputButton", n), QString::number(n));
        expectNames(Named("GroupOutputButton", n), QString::number(n));
        expectNames(Named("GroupExistCheckBox", n), QStringLiteral("Group %1 (%1)").arg(n));
        expectNames(Named("GroupingRadioGroupItem", n - 1), QStringLiteral("Group %1 (%1)").arg(n));
    }
    expectNames("GroupingRadioGroup", "Group");
    expectNames("GroupBox21", "Existing Groups");
    expectNames("OutputFirstLabel", "NEED TO SELECT OUTPUT FIRST");
    expectNames("GroupingRemoveButton", "Remove Group");
    expectNames("GroupingRemoveAllButton", "Remove All Group");
    EXPECT_EQ(page->objectName(), QStringLiteral("GroupingTabSheet"));
    EXPECT_EQ(page->Caption(), QStringLiteral("Grouping"));
    EXPECT_EQ(Get<QTabWidget>("GroupingInputPageControl")->tabText(0), "Input 1 - 16");
    EXPECT_EQ(Get<QTabWidget>("GroupingOutputPageControl")->tabText(0), "Output 1 - 16");
}

TEST_F(DisplayTest, KeyboardReachesEveryControlInPageOrder) {
    Seed(2, {4});
    Build();
    // Tab reaches the selected group's item; the arrow keys pick the others.
    QStringList expected{"GroupingRadioGroupItem0"};
    for (const char* family : {"GroupInputButton", "GroupOutputButton", "GroupExistCheckBox"}) {
        for (int n = 1; n <= 16; ++n) {
            expected << Named(family, n);
        }
    }
    expected << "GroupingRemoveButton"
             << "GroupingRemoveAllButton";
    QStringList chain;
    for (QWidget* w = GroupItem(1); chain.size() < expected.size();) {
        chain << w->objectName();
        do {
            w = w->nextInFocusChain();
        } while (w != GroupItem(1) && (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisible()));
    }
    EXPECT_EQ(chain.join(' ').toStdString(), expected.join(' ').toStdString());

    GroupItem(1)->setFocus();
    QTest::keyClick(GroupItem(1), Qt::Key_Down);
    EXPECT_EQ(page->SelectedGroup(), 1);
    EXPECT_EQ(ShownColour(OutputButton(4)), kYellow.toStdString());
    QTest::keyClick(OutputButton(5), Qt::Key_Space);
    EXPECT_EQ(Sent(), Lines{"GADD 2 5 101"});
}

// Pictures under the build folder, for a look without a display: members
// of a labelled group, the hint in aqua, a 12 x 4 switcher.
TEST_F(DisplayTest, RendersPictures) {
    Seed(1, {1, 2}, {3});
    Seed(2, {5, 6, 7}, {1, 2});
    Seed(5, {12});
    labels.groups[1] = "Stage";
    Build();
    page->ApplyLabels();
    const auto save = [this](const char* name) {
        QApplication::processEvents(); // the layout settles first
        const QPixmap picture = page->grab();
        const QString path = QStringLiteral(QT_TESTCASE_BUILDDIR "/grouping_page%1@%2x.png")
                                 .arg(QString::fromLatin1(name))
                                 .arg(picture.devicePixelRatio());
        EXPECT_TRUE(picture.save(path)) << path.toStdString();
    };
    SelectGroup(2);
    Click(InputButton(4));
    EXPECT_EQ(Sent(), Lines{"GADD 2 101 4"});
    save("");
    SelectGroup(3);
    Click(InputButton(9));
    EXPECT_EQ(ShownColour(OutputFirst()), "#00ffff");
    save("_hint");
    SetModel(0);
    Refresh();
    save("_12x4");
}

} // namespace
} // namespace qvc::test
