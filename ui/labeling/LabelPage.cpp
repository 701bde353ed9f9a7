#include "LabelPage.h"

#include "ui/common/ControlNames.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>

namespace qvc {

namespace {
struct KindSpec {
    const char* noun;        // caption "Input 1" .. "Input 16"
    const char* editPrefix;  // InputLabelEdit1 ..
    const char* pageControl; // InputLabelPageControl
    const char* tabSheet;    // its only tab
    const char* tabCaption;
};
constexpr KindSpec kKinds[] = {
    {"Input", "InputLabelEdit", "InputLabelPageControl", "InputLabelTabSheet", "Input 1 - 16"},
    {"Output", "OutputLabelEdit", "OutputLabelPageControl", "OutputLabelTabSheet", "Output 1 - 16"},
    {"Group", "GroupLabelEdit", "GroupLabelPageControl", "GroupLabelTabSheet", "Group 1 - 16"},
    {"Preset", "PresetLabelEdit", "PresetLabelPageControl", "PresetLabelTabSheet", "Preset 1 - 16"},
};
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

    // Tab order: along each kind, kinds in the order input, output, group, preset.
    QWidget* previous = nullptr;
    for (const auto& kind : rows_) {
        for (const Row& row : kind) {
            if (previous != nullptr) {
                setTabOrder(previous, row.edit);
            }
            previous = row.edit;
        }
    }
}

QTabWidget* LabelPage::BuildKind(LabelKind kind) {
    const KindSpec& spec = kKinds[static_cast<int>(kind)];
    auto* pageControl = new QTabWidget(this);
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
    return pageControl;
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

} // namespace qvc
