// The operator's edits on the page: clicks on the selector, the member
// buttons and the remove buttons, with the exact lines sent and what the
// page shows afterwards.
#include "PageFixture.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QSignalSpy>
#include <functional>
#include <sstream>

namespace qvc::test {
namespace {

using EditTest = PageFixture;

TEST_F(EditTest, ClicksSendTheirLinesAndShowTheGroup) {
    const struct {
        const char* name;
        const char* clicks; // gN selects group N, iN / oN input / output N, "remove", "all"
        Lines lines;
        const char* yellow; // buttons of the shown group, "i4 o3"; the rest face
        const char* ticked; // boxes of "Existing Groups"
        bool hint;          // OutputFirstLabel shown
    } cases[] = {
        {"input before output", "g2 i5", {}, "", "", true},
        {"the hint goes with another group", "g2 i5 g1", {}, "", "", false},
        {"the hint goes with an added output", "g2 i5 o3", {"GADD 2 3 101"}, "o3", "2", false},
        {"input added and taken out",
         "o3 i4 i4 i7",
         {"GADD 1 3 101", "GADD 1 101 4", "GDEL 1 101 4", "GADD 1 101 7"},
         "i7 o3",
         "1",
         false},
        {"the last output takes the group",
         "o3 o5 i4 o5 o3",
         {"GADD 1 3 101", "GADD 1 5 101", "GADD 1 101 4", "GDEL 1 5 101", "GCLEAR 1"},
         "",
         "",
         false},
        {"remove group leaves the other",
         "o3 i4 g2 o6 i4 g1 remove g2",
         {"GADD 1 3 101", "GADD 1 101 4", "GADD 2 6 101", "GADD 2 101 4", "GCLEAR 1"},
         "i4 o6",
         "2",
         false},
        {"remove empty, remove all with none", "remove all", {"GCLEAR 201"}, "", "", false},
        {"remove all",
         "o1 g16 o16 i16 all",
         {"GADD 1 1 101", "GADD 16 16 101", "GADD 16 101 16", "GCLEAR 201"},
         "",
         "",
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        state.groups = GroupTable::Initial();
        Build();
        std::istringstream clicks(c.clicks);
        for (std::string click; clicks >> click;) {
            const int n = std::atoi(click.c_str() + 1);
            if (click == "remove" || click == "all") {
                Click(Get<QPushButton>(click == "all" ? QStringLiteral("GroupingRemoveAllButton")
                                                      : QStringLiteral("GroupingRemoveButton")));
            } else if (click[0] == 'g') {
                SelectGroup(n);
            } else {
                Click(click[0] == 'i' ? InputButton(n) : OutputButton(n));
            }
        }
        EXPECT_EQ(Sent(), c.lines);
        const std::string yellow = std::string(" ") + c.yellow + " ";
        const std::string ticked = std::string(" ") + c.ticked + " ";
        for (int n = 1; n <= 16; ++n) {
            const std::string number = std::to_string(n) + " ";
            const bool in = yellow.find(" i" + number) != std::string::npos;
            const bool out = yellow.find(" o" + number) != std::string::npos;
            EXPECT_EQ(ShownColour(InputButton(n)), in ? kYellow.toStdString() : Face()) << n;
            EXPECT_EQ(ShownColour(OutputButton(n)), out ? kYellow.toStdString() : Face()) << n;
            EXPECT_EQ(ExistBox(n)->isChecked(), ticked.find(" " + number) != std::string::npos)
                << n;
        }
        EXPECT_EQ(OutputFirst()->isVisible(), c.hint);
        EXPECT_EQ(link.BusyFlag, 0);
    }
}

// With group 1 selected an output of group 2 is disabled; selecting group 2
// enables it and shows it yellow with its input. Other pages read the table
// at their next click: nothing asks for a refresh.
TEST_F(EditTest, OutputsOfAnotherGroupAreDisabled) {
    Seed(2, {3}, {4});
    Build();
    QSignalSpy refreshRequests(page.get(), &Page::stateChanged);
    EXPECT_FALSE(OutputButton(3)->isEnabled());
    SelectGroup(2);
    EXPECT_TRUE(OutputButton(3)->isEnabled());
    EXPECT_EQ(ShownColour(OutputButton(3)), kYellow.toStdString());
    EXPECT_EQ(ShownColour(InputButton(4)), kYellow.toStdString());
    Click(OutputButton(3));
    EXPECT_EQ(Sent(), Lines{"GCLEAR 2"});
    EXPECT_EQ(ShownColour(InputButton(4)), Face());
    EXPECT_FALSE(ExistBox(2)->isChecked());
    EXPECT_EQ(refreshRequests.count(), 0);
}

// The page shows the chosen group however the selection changes: a click,
// a screen reader's (or switch access') toggle action, or code.
TEST_F(EditTest, EveryChangeOfTheSelectionShowsTheGroup) {
    Seed(2, {3}, {4});
    Build();
    Click(InputButton(5)); // group 1 has no output: the hint shows
    ASSERT_TRUE(OutputFirst()->isVisible());
    const auto showsGroup2 = [this](bool shown) {
        EXPECT_EQ(OutputButton(3)->isEnabled(), shown);
        EXPECT_EQ(ShownColour(OutputButton(3)), shown ? kYellow.toStdString() : Face());
        EXPECT_EQ(ShownColour(InputButton(4)), shown ? kYellow.toStdString() : Face());
    };
    const struct {
        const char* how;
        int group;
        std::function<void(QRadioButton*)> choose;
    } changes[] = {
        {"toggle action", 2,
         [](QRadioButton* item) {
             QAccessibleInterface* a = QAccessible::queryAccessibleInterface(item);
             ASSERT_NE(a, nullptr);
             ASSERT_NE(a->actionInterface(), nullptr);
             ASSERT_TRUE(a->actionInterface()->actionNames().contains(
                 QAccessibleActionInterface::toggleAction()));
             a->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
         }},
        {"code", 1, [](QRadioButton* item) { item->setChecked(true); }},
        {"click", 2, [this](QRadioButton*) { SelectGroup(2); }},
        {"key", 1,
         [](QRadioButton* item) {
             item->setFocus();
             QTest::keyClick(item, Qt::Key_Space);
         }},
    };
    for (const auto& c : changes) {
        SCOPED_TRACE(c.how);
        c.choose(GroupItem(c.group));
        EXPECT_EQ(page->SelectedGroup(), c.group - 1);
        showsGroup2(c.group == 2);
        EXPECT_FALSE(OutputFirst()->isVisible());
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(EditTest, ClicksWhileBusyAreDropped) {
    Seed(1, {2});
    Build();
    const GroupTable before = state.groups;
    link.BusyFlag = 1;
    for (const char* name : {"GroupInputButton1", "GroupOutputButton2", "GroupingRemoveButton",
                             "GroupingRemoveAllButton"}) {
        Click(Get<QPushButton>(QString::fromLatin1(name)));
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_EQ(state.groups.bytes, before.bytes);
    EXPECT_EQ(link.BusyFlag, 1);
}

// "Existing Groups" only shows: the keyboard reaches a box, but neither the
// space bar nor a click changes it.
TEST_F(EditTest, ExistingGroupBoxesCannotBeChanged) {
    Seed(1, {2});
    Build();
    ExistBox(1)->setFocus();
    QTest::keyClick(ExistBox(1), Qt::Key_Space);
    Click(ExistBox(1));
    Click(ExistBox(2));
    EXPECT_TRUE(ExistBox(1)->isChecked());
    EXPECT_FALSE(ExistBox(2)->isChecked());
    EXPECT_TRUE(Sent().empty());
}

} // namespace
} // namespace qvc::test
