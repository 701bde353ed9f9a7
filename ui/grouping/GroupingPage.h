// The "Grouping" page: the group selector GroupingRadioGroup, the group's
// input and output buttons (yellow for members), "Existing Groups" with one
// box per group, the OutputFirstLabel hint, Remove Group and Remove All
// Group. The edits are Grouping's; the switching page reads the table at its
// next click, so no other page needs a refresh.
#pragma once

#include "model/Grouping.h"
#include "ui/common/FlatPainter.h"
#include "ui/common/Page.h"

#include <QCheckBox>
#include <array>

class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;

namespace qvc {

// A check box that shows a value: the keyboard reaches it and a screen
// reader reads its state, but neither a click nor a key changes it.
class DisplayCheckBox : public QCheckBox {
    Q_OBJECT
  public:
    using QCheckBox::QCheckBox;

  protected:
    void nextCheckState() override {}
};

class GroupingPage : public Page {
    Q_OBJECT
  public:
    explicit GroupingPage(PageContext context, QWidget* parent = nullptr);

    // --- Page ---
    // The model's sizes: one selector item and one box per shown output,
    // the buttons of the model's inputs and outputs; the selected group is
    // shown again (group 1 when the model no longer has it).
    void AdaptToModel() override;
    // RefreshGroupingPage.
    void RefreshFromState() override;
    // Input and output labels on the buttons, "Group N (label)" on box N
    // and on selector item N where the selector has one.
    void ApplyLabels() override;
    // After a loaded configuration: group 1 selected and shown, the boxes
    // ticked; the selector keeps its items and their labels.
    void ShowLoadedConfiguration() override;

    // Rebuilds the page from the group table: selector items "Group 1" ..
    // for the shown outputs (without labels), the boxes ticked for groups
    // with members, enabling for the model, then group 1 selected and shown.
    void RefreshGroupingPage();
    // Enabling and colours of the group buttons for group g.
    void ShowGroup(int g);
    // Ticks the boxes of the shown groups that exist; the others are left.
    void RefreshGroupExistence();
    // The selected item (0-based group), or -1 when none is.
    int SelectedGroup() const;
    // Items the selector holds now.
    int GroupItemCount() const { return itemCount_; }

  private:
    // Handlers of the page's controls.
    void GroupingRadioGroupClick();
    void GroupInputButtonClick(int k);
    void GroupOutputButtonClick(int o);
    void GroupingRemoveButtonClick();
    void GroupingRemoveAllButtonClick();

    QWidget* BuildSelector();
    QWidget* BuildMemberButtons(bool inputs);
    QWidget* BuildExistingGroups();
    QWidget* BuildActions();
    void ChainTabOrder();

    // Item count and enabling for the model; ticks are left.
    void ShowModelSizes();
    // Selects group 1 and shows it, once.
    void ShowFirstGroup();
    void ShowOutputFirst(bool shown);
    void SetGroupItemCaption(int g, const QString& caption);
    void Paint(QPushButton* button, bool member);

    LinkState& link_;
    Grouping grouping_;
    FlatPainter painter_;
    int itemCount_ = 0;

    QButtonGroup* selector_ = nullptr;
    std::array<QRadioButton*, kMaxGroups> groupItems_{};
    std::array<QPushButton*, kMaxInputs> inputButtons_{};
    std::array<QPushButton*, kMaxOutputs> outputButtons_{};
    std::array<DisplayCheckBox*, kMaxGroups> existBoxes_{};
    QLabel* outputFirstLabel_ = nullptr;
    QPushButton* removeButton_ = nullptr;
    QPushButton* removeAllButton_ = nullptr;
};

} // namespace qvc
