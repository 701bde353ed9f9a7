#include "LabelPage.h"

#include "ui/common/ControlNames.h"
#include "ui/common/FlatPainter.h"

#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

namespace qvc {

namespace {
struct KindSpec {
    const char* noun;        // caption "Input 1" .. "Input 16"
    const char* editPrefix;  // InputLabelEdit1 ..
    const char* pageControl; // InputLabelPageControl
    const char* tabSheet;    // its only tab
    const char* tabCaption;
    const char* resetName;
    const char* resetCaption;
};
constexpr KindSpec kKinds[] = {
    {"Input", "InputLabelEdit", "InputLabelPageControl", "InputLabelTabSheet", "Input 1 - 16",
     "ResetInputLabelsButton", "Reset Input Labels"},
    {"Output", "OutputLabelEdit", "OutputLabelPageControl", "OutputLabelTabSheet", "Output 1 - 16",
     "ResetOutputLabelsButton", "Reset Output Labels"},
    {"Group", "GroupLabelEdit", "GroupLabelPageControl", "GroupLabelTabSheet", "Group 1 - 16",
     "ResetGroupLabelsButton", "Reset Group Labels"},
    {"Preset", "PresetLabelEdit", "PresetLabelPageControl", "PresetLabelTabSheet", "Preset 1 - 16",
     "ResetPresetLabelsButton", "Reset Preset Labels"},
};
constexpr LabelKind kKindOrder[] = {LabelKind::Input, LabelKind::Output, LabelKind::Group,
                                    LabelKind::Preset};
const char* const kRowProperty = "qvcLabelRow"; // kind * 16 + n - 1 of an edit
constexpr int kRowsPerColumn = 8;
const QString kLabelSuffix = QStringLiteral(" label");
const QString kPageCaption = QStringLiteral("Labeling");
} // namespace

LabelPage::LabelPage(PageContext context, QWidget* parent)
    : Page(std::move(context), QStringLiteral("LabelTabSheet"), kPageCaption, parent) {
    auto* grid = new QGridLayout(this);
    const int margin = ScaledPixels(this, 10);
    grid->setContentsMargins(margin, margin, margin, margin);
    grid->setSpacing(ScaledPixels(this, 10));
    grid->addWidget(BuildKind(LabelKind::Input), 0, 0);
    grid->addWidget(BuildKind(LabelKind::Output), 0, 1);
    grid->addWidget(BuildKind(LabelKind::Group), 1, 0);
    grid->addWidget(BuildKind(LabelKind::Preset), 1, 1);
    grid->setRowStretch(2, 1);

    // Tab order: along each kind and then its reset button, kinds in the
    // order input, output, group, preset.
    QWidget* previous = nullptr;
    const auto chain = [&previous](QWidget* next) {
        if (previous != nullptr) {
            setTabOrder(previous, next);
        }
        previous = next;
    };
    for (LabelKind kind : kKindOrder) {
        for (const Row& row : rows_[static_cast<std::size_t>(kind)]) {
            chain(row.edit);
        }
        chain(resetButtons_[static_cast<std::size_t>(kind)]);
    }
}

QWidget* LabelPage::BuildKind(LabelKind kind) {
    const KindSpec& spec = kKinds[static_cast<int>(kind)];
    auto* box = new QWidget(this);
    auto* stack = new QVBoxLayout(box);
    stack->setContentsMargins(0, 0, 0, 0);
    auto* pageControl = new QTabWidget(box);
    NameControl(pageControl, QString::fromLatin1(spec.pageControl));
    auto* sheet = new QWidget(pageControl);
    NameControl(sheet, QString::fromLatin1(spec.tabSheet));
    auto* grid = new QGridLayout(sheet);
    grid->setHorizontalSpacing(ScaledPixels(this, 8));
    grid->setVerticalSpacing(ScaledPixels(this, 4));
    const QString noun = QString::fromLatin1(spec.noun);
    for (int n = 1; n <= kLabelsPerKind; ++n) {
        Row& row = rows_[static_cast<int>(kind)][n - 1];
        const QString caption = noun + QLatin1Char(' ') + QString::number(n);
        row.caption = new QLabel(caption, sheet);
        row.caption->setObjectName(noun + QStringLiteral("LabelCaption") + QString::number(n));
        row.edit = new QLineEdit(QString::number(n), sheet);
        NameControl(row.edit, QString::fromLatin1(spec.editPrefix) + QString::number(n),
                    caption + kLabelSuffix);
        row.edit->setMaxLength(kMaxLabelLength);
        row.edit->setProperty(kRowProperty, static_cast<int>(kind) * kLabelsPerKind + n - 1);
        row.edit->installEventFilter(this);
        connect(row.edit, &QLineEdit::textChanged, this, [this, kind, n] { Store(kind, n); });
        row.caption->setBuddy(row.edit);
        const QFontMetrics metrics(row.edit->font());
        row.edit->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("WWWWWW")) +
                                ScaledPixels(this, 14));
        const int column = ((n - 1) / kRowsPerColumn) * 3;
        const int line = (n - 1) % kRowsPerColumn;
        grid->addWidget(row.caption, line, column, Qt::AlignRight);
        grid->addWidget(row.edit, line, column + 1);
    }
    grid->setColumnMinimumWidth(2, ScaledPixels(this, 16));
    grid->setColumnStretch(5, 1);
    pageControl->addTab(sheet, QString::fromLatin1(spec.tabCaption));
    stack->addWidget(pageControl);

    auto* reset = ActionButton(QString::fromLatin1(spec.resetName),
                               QString::fromLatin1(spec.resetCaption), box);
    reset->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(reset, &QPushButton::clicked, this, [this, kind] { ResetClick(kind); });
    resetButtons_[static_cast<std::size_t>(kind)] = reset;
    stack->addWidget(reset, 0, Qt::AlignRight);
    return box;
}

QLineEdit* LabelPage::Edit(LabelKind kind, int n) const {
    return rows_[static_cast<int>(kind)][n - 1].edit;
}

QString LabelPage::Label(LabelKind kind, int n) const {
    return Edit(kind, n)->text();
}

void LabelPage::EnableRow(LabelKind kind, int n, bool enabled) {
    const Row& row = rows_[static_cast<int>(kind)][n - 1];
    row.caption->setEnabled(enabled);
    row.edit->setEnabled(enabled);
}

void LabelPage::AdaptToModel() {
    const int inputs = ctx_.state.Inputs();
    const int outputs = ctx_.state.ShownOutputs();
    for (int n = 1; n <= kLabelsPerKind; ++n) {
        EnableRow(LabelKind::Input, n, n <= inputs);
        EnableRow(LabelKind::Output, n, n <= outputs);
        EnableRow(LabelKind::Group, n, n <= outputs);
    }
}

void LabelPage::Store(LabelKind kind, int n) {
    ctx_.labels.Of(kind)[static_cast<std::size_t>(n - 1)] =
        Edit(kind, n)->text().toLatin1().toStdString();
}

void LabelPage::ApplyLabels() {
    for (LabelKind kind : kKindOrder) {
        for (int n = 1; n <= kLabelsPerKind; ++n) {
            const QString label = QString::fromLatin1(ctx_.labels.Label(kind, n));
            QLineEdit* edit = Edit(kind, n);
            if (edit->text() != label) {
                // The table keeps its bytes exactly; the edit only shows them.
                const QSignalBlocker quiet(edit);
                edit->setText(label);
            }
        }
    }
}

void LabelPage::ResetClick(LabelKind kind) {
    // Every label of the kind, outputs included: all 16 go back to their numbers.
    const LabelTables defaults = DefaultLabels();
    ctx_.labels.Of(kind) = defaults.Of(kind);
    emit labelsChanged();
}

void LabelPage::FocusNext(LabelKind kind, int n) {
    const int from = static_cast<int>(kind) * kLabelsPerKind + n - 1;
    constexpr int kRing = 4 * kLabelsPerKind;
    for (int step = 1; step < kRing; ++step) {
        const int to = (from + step) % kRing;
        QLineEdit* next = rows_[static_cast<std::size_t>(to / kLabelsPerKind)]
                               [static_cast<std::size_t>(to % kLabelsPerKind)]
                                   .edit;
        if (next->isEnabled()) {
            next->setFocus(Qt::TabFocusReason); // leaving this edit applies its label
            return;
        }
    }
    emit labelsChanged();
}

bool LabelPage::eventFilter(QObject* watched, QEvent* event) {
    const QVariant row = watched->property(kRowProperty);
    if (row.isValid()) {
        const auto kind = static_cast<LabelKind>(row.toInt() / kLabelsPerKind);
        const int n = row.toInt() % kLabelsPerKind + 1;
        if (event->type() == QEvent::FocusOut) {
            emit labelsChanged(); // every exit applies, changed or not
        } else if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                FocusNext(kind, n);
                return true;
            }
        }
    }
    return Page::eventFilter(watched, event);
}

} // namespace qvc
