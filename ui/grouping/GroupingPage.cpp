#include "GroupingPage.h"

#include "ui/common/Colours.h"
#include "ui/common/ControlNames.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <vector>

namespace qvc {

namespace {

// Captions.
const char* const kPageName = "Grouping";
const char* const kSelectorTitle = "Group";
const char* const kInputsTab = "Input 1 - 16";
const char* const kOutputsTab = "Output 1 - 16";
const char* const kExistingTitle = "Existing Groups";
const char* const kOutputFirstText = "NEED TO SELECT OUTPUT FIRST";
const char* const kRemoveCaption = "Remove Group";
const char* const kRemoveAllCaption = "Remove All Group";
// A group's caption: "Group 3", and with its label "Group 3 (Lobby)".
const char* const kGroupWord = "Group ";

// Object names of the control families (number appended, from 1; the
// selector's items from 0).
const char* const kGroupItemName = "GroupingRadioGroupItem";
const char* const kInputButtonName = "GroupInputButton";
const char* const kOutputButtonName = "GroupOutputButton";
const char* const kExistBoxName = "GroupExistCheckBox";

constexpr int kColumnsPerBank = 8; // member buttons: 1-8 over 9-16
// The selector is one column, groups 1 to 16, so that the member buttons
// beside it have room for two lines of three wide characters.
constexpr int kSelectorRows = 16;
constexpr int kExistingRows = 4; // existing groups: four columns of four
constexpr int kGridSpacing = 6;

QString GroupCaption(int n) {
    return QString::fromLatin1(kGroupWord) + QString::number(n);
}

} // namespace

GroupingPage::GroupingPage(PageContext context, QWidget* parent)
    : Page(std::move(context), QStringLiteral("GroupingTabSheet"), QString::fromLatin1(kPageName),
           parent),
      link_(ctx_.link), grouping_(ctx_.state) {
    auto* top = new QHBoxLayout;
    top->setSpacing(10);
    top->addWidget(BuildSelector(), 0, Qt::AlignTop);
    auto* members = new QVBoxLayout;
    members->setSpacing(10);
    members->addWidget(BuildMemberButtons(true));
    members->addWidget(BuildMemberButtons(false));
    outputFirstLabel_ = new QLabel(this);
    NameControl(outputFirstLabel_, QStringLiteral("OutputFirstLabel"));
    ShowValue(outputFirstLabel_, QString::fromLatin1(kOutputFirstText));
    painter_.PaintCaption(outputFirstLabel_, colour::kAudioVideo); // aqua
    // Appearing and going, the hint leaves the layout as it is.
    QSizePolicy hint = outputFirstLabel_->sizePolicy();
    hint.setRetainSizeWhenHidden(true);
    outputFirstLabel_->setSizePolicy(hint);
    outputFirstLabel_->hide();
    members->addWidget(outputFirstLabel_, 0, Qt::AlignLeft);
    members->addStretch(1);
    top->addLayout(members, 1);

    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(10);
    bottom->addWidget(BuildExistingGroups(), 1);
    bottom->addWidget(BuildActions());

    auto* column = new QVBoxLayout(this);
    column->setSpacing(10);
    column->addLayout(top);
    column->addLayout(bottom);
    column->addStretch(1);
    ChainTabOrder();

    for (auto* b : inputButtons_) {
        Paint(b, false);
    }
    for (auto* b : outputButtons_) {
        Paint(b, false);
    }
    Paint(removeButton_, false);
    Paint(removeAllButton_, false);
    // Room around the longer caption, both buttons one width.
    const int actionWidth = removeAllButton_->sizeHint().width() + ScaledPixels(this, 24);
    removeButton_->setMinimumWidth(actionWidth);
    removeAllButton_->setMinimumWidth(actionWidth);
    RefreshGroupingPage();
    ApplyLabels();

    // Every change of the selection shows the newly chosen group: a click, a
    // key, code, or a screen reader's toggle action.
    connect(selector_, &QButtonGroup::idToggled, this, [this](int, bool checked) {
        if (checked) {
            GroupingRadioGroupClick();
        }
    });
    for (int k = 0; k < kMaxInputs; ++k) {
        connect(inputButtons_[k], &QPushButton::clicked, this,
                [this, k] { GroupInputButtonClick(k); });
    }
    for (int o = 0; o < kMaxOutputs; ++o) {
        connect(outputButtons_[o], &QPushButton::clicked, this,
                [this, o] { GroupOutputButtonClick(o); });
    }
    connect(removeButton_, &QPushButton::clicked, this, [this] { GroupingRemoveButtonClick(); });
    connect(removeAllButton_, &QPushButton::clicked, this,
            [this] { GroupingRemoveAllButtonClick(); });
}

// ---------------------------------------------------------------------------
// Layout

QWidget* GroupingPage::BuildSelector() {
    const QString title = QString::fromLatin1(kSelectorTitle);
    auto* box = new QGroupBox(title, this);
    NameControl(box, QStringLiteral("GroupingRadioGroup"), title);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(4);
    selector_ = new QButtonGroup(box);
    selector_->setExclusive(true);
    for (int g = 0; g < kMaxGroups; ++g) {
        auto* item = new QRadioButton(box);
        NameControl(item, Numbered(kGroupItemName, g));
        groupItems_[g] = item;
        SetGroupItemCaption(g, GroupCaption(g + 1));
        // A smaller switcher's selector keeps its place and size.
        QSizePolicy policy = item->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        item->setSizePolicy(policy);
        selector_->addButton(item, g);
        grid->addWidget(item, g % kSelectorRows, g / kSelectorRows);
    }
    grid->setRowStretch(kSelectorRows, 1);
    return box;
}

QWidget* GroupingPage::BuildMemberButtons(bool inputs) {
    auto* tabs = new QTabWidget(this);
    NameControl(tabs, inputs ? QStringLiteral("GroupingInputPageControl")
                             : QStringLiteral("GroupingOutputPageControl"));
    auto* sheet = new QWidget(tabs);
    sheet->setObjectName(inputs ? QStringLiteral("GroupingInputTabSheet")
                                : QStringLiteral("GroupingOutputTabSheet"));
    auto* grid = new QGridLayout(sheet);
    grid->setSpacing(kGridSpacing);
    for (int n = 0; n < 16; ++n) {
        auto* button = MatrixButton(
            QString::fromLatin1(inputs ? kInputButtonName : kOutputButtonName), n + 1, sheet);
        grid->addWidget(button, n / kColumnsPerBank, n % kColumnsPerBank);
        (inputs ? inputButtons_ : outputButtons_)[n] = button;
    }
    tabs->addTab(sheet, QString::fromLatin1(inputs ? kInputsTab : kOutputsTab));
    // One tab only: the keyboard goes straight to the buttons.
    tabs->setFocusPolicy(Qt::NoFocus);
    tabs->tabBar()->setFocusPolicy(Qt::NoFocus);
    return tabs;
}

QWidget* GroupingPage::BuildExistingGroups() {
    const QString title = QString::fromLatin1(kExistingTitle);
    auto* box = new QGroupBox(title, this);
    NameControl(box, QStringLiteral("GroupBox21"), title);
    auto* grid = new QGridLayout(box);
    grid->setHorizontalSpacing(16);
    grid->setVerticalSpacing(4);
    for (int g = 0; g < kMaxGroups; ++g) {
        auto* tick = new DisplayCheckBox(box);
        NameControl(tick, Numbered(kExistBoxName, g + 1));
        tick->setFocusPolicy(Qt::StrongFocus);
        grid->addWidget(tick, g % kExistingRows, g / kExistingRows);
        existBoxes_[g] = tick;
    }
    return box;
}

QWidget* GroupingPage::BuildActions() {
    auto* actions = new QWidget(this);
    auto* column = new QVBoxLayout(actions);
    column->setContentsMargins(0, 8, 0, 0);
    column->setSpacing(8);
    removeButton_ = ActionButton(QStringLiteral("GroupingRemoveButton"),
                                 QString::fromLatin1(kRemoveCaption), actions);
    removeAllButton_ = ActionButton(QStringLiteral("GroupingRemoveAllButton"),
                                    QString::fromLatin1(kRemoveAllCaption), actions);
    column->addWidget(removeButton_);
    column->addWidget(removeAllButton_);
    column->addStretch(1);
    return actions;
}

void GroupingPage::ChainTabOrder() {
    std::vector<QWidget*> order(groupItems_.begin(), groupItems_.end());
    order.insert(order.end(), inputButtons_.begin(), inputButtons_.end());
    order.insert(order.end(), outputButtons_.begin(), outputButtons_.end());
    order.insert(order.end(), existBoxes_.begin(), existBoxes_.end());
    order.push_back(removeButton_);
    order.push_back(removeAllButton_);
    for (std::size_t i = 1; i < order.size(); ++i) {
        setTabOrder(order[i - 1], order[i]);
    }
}

// ---------------------------------------------------------------------------
// Display

void GroupingPage::Paint(QPushButton* button, bool member) {
    painter_.PaintButton(button, member ? colour::kSelected : painter_.Face());
}

void GroupingPage::SetGroupItemCaption(int g, const QString& caption) {
    groupItems_[g]->setText(caption);
    groupItems_[g]->setAccessibleName(caption);
}

void GroupingPage::ShowOutputFirst(bool shown) {
    outputFirstLabel_->setVisible(shown);
}

int GroupingPage::SelectedGroup() const {
    return selector_->checkedId();
}

void GroupingPage::ShowFirstGroup() {
    if (itemCount_ <= 0) {
        return;
    }
    {
        const QSignalBlocker quiet(selector_); // shown once, below
        groupItems_[0]->setChecked(true);
    }
    GroupingRadioGroupClick();
}

void GroupingPage::ShowModelSizes() {
    itemCount_ = grouping_.GroupCount();
    const int outputs = grouping_.OutputCount();
    for (int g = 0; g < kMaxGroups; ++g) {
        const bool shown = g < itemCount_;
        groupItems_[g]->setVisible(shown);
        existBoxes_[g]->setEnabled(shown);
        if (!shown) {
            existBoxes_[g]->setChecked(false);
        }
    }
    for (int o = 0; o < kMaxOutputs; ++o) {
        outputButtons_[o]->setEnabled(o < outputs);
    }
    const int inputs = grouping_.InputCount();
    for (int k = 0; k < kMaxInputs; ++k) {
        inputButtons_[k]->setEnabled(k < inputs);
    }
}

void GroupingPage::ShowGroup(int g) {
    if (g < 0 || g >= kMaxGroups) {
        return;
    }
    const int outputs = grouping_.OutputCount();
    for (int o = 0; o < outputs; ++o) {
        // An output of another group cannot join this one.
        outputButtons_[o]->setEnabled(grouping_.OutputAvailableFor(g, o));
        Paint(outputButtons_[o], grouping_.IsOutputMember(g, o));
    }
    for (int k = 0; k < grouping_.InputCount(); ++k) {
        Paint(inputButtons_[k], grouping_.IsInputMember(g, k));
    }
}

void GroupingPage::RefreshGroupExistence() {
    for (int g = 0; g < grouping_.GroupCount(); ++g) {
        existBoxes_[g]->setChecked(grouping_.Exists(g));
    }
}

void GroupingPage::RefreshGroupingPage() {
    ShowModelSizes();
    for (int g = 0; g < itemCount_; ++g) {
        SetGroupItemCaption(g, GroupCaption(g + 1));
        existBoxes_[g]->setChecked(grouping_.HasMembers(g));
    }
    ShowFirstGroup();
}

void GroupingPage::AdaptToModel() {
    ShowModelSizes();
    const int g = SelectedGroup();
    if (g < 0 || g >= itemCount_) {
        ShowFirstGroup();
    } else {
        ShowGroup(g);
    }
}

void GroupingPage::RefreshFromState() {
    RefreshGroupingPage();
}

void GroupingPage::ShowLoadedConfiguration() {
    ShowFirstGroup();
    RefreshGroupExistence();
}

void GroupingPage::ApplyLabels() {
    const LabelTables& labels = ctx_.labels;
    for (int n = 1; n <= kLabelsPerKind; ++n) {
        SetButtonCaption(inputButtons_[n - 1],
                         QString::fromLatin1(labels.Label(LabelKind::Input, n)));
        SetButtonCaption(outputButtons_[n - 1],
                         QString::fromLatin1(labels.Label(LabelKind::Output, n)));
        const QString caption = GroupCaption(n) + QStringLiteral(" (") +
                                QString::fromLatin1(labels.Label(LabelKind::Group, n)) +
                                QStringLiteral(")");
        existBoxes_[n - 1]->setText(caption);
        existBoxes_[n - 1]->setAccessibleName(caption);
        if (n <= itemCount_) {
            SetGroupItemCaption(n - 1, caption);
        }
    }
}

// ---------------------------------------------------------------------------
// Actions

void GroupingPage::GroupingRadioGroupClick() {
    ShowOutputFirst(false);
    ShowGroup(SelectedGroup());
}

void GroupingPage::GroupInputButtonClick(int k) {
    if (link_.BusyFlag != 0) {
        return;
    }
    BusyScope busy(link_);
    const int g = SelectedGroup();
    const InputToggle toggle = grouping_.ToggleGroupInput(g, k);
    if (toggle.needsOutput) {
        ShowOutputFirst(true);
        return;
    }
    ShowGroup(g);
    RefreshGroupExistence();
    Send(toggle.commands);
}

void GroupingPage::GroupOutputButtonClick(int o) {
    if (link_.BusyFlag != 0) {
        return;
    }
    BusyScope busy(link_);
    const int g = SelectedGroup();
    const Commands lines = grouping_.ToggleGroupOutput(g, o);
    if (grouping_.IsOutputMember(g, o)) {
        ShowOutputFirst(false);
    }
    ShowGroup(g);
    RefreshGroupExistence();
    Send(lines);
}

void GroupingPage::GroupingRemoveButtonClick() {
    if (link_.BusyFlag != 0) {
        return;
    }
    BusyScope busy(link_);
    const int g = SelectedGroup();
    const Commands lines = grouping_.RemoveGroup(g);
    ShowGroup(g);
    RefreshGroupExistence();
    Send(lines);
}

void GroupingPage::GroupingRemoveAllButtonClick() {
    if (link_.BusyFlag != 0) {
        return;
    }
    BusyScope busy(link_);
    const Commands lines = grouping_.RemoveAllGroups();
    ShowGroup(SelectedGroup());
    RefreshGroupExistence();
    Send(lines);
}

} // namespace qvc
