// The "Labeling" page: the 64 label edits of inputs, outputs, groups and
// presets, each with its caption, in four page controls of one tab each.
#pragma once

#include "ui/common/Page.h"

#include <array>

class QLabel;
class QLineEdit;
class QTabWidget;

namespace qvc {

class LabelPage : public Page {
    Q_OBJECT
  public:
    static constexpr int kMaxLabelLength = 6;

    explicit LabelPage(PageContext context, QWidget* parent = nullptr);

    // Edit n (1..16) of a kind; its text is the label.
    QLineEdit* Edit(LabelKind kind, int n) const;
    QString Label(LabelKind kind, int n) const;

    // Input edits 1..inputs and output and group edits 1..outputs enabled,
    // the others disabled, each with its caption; preset edits stay enabled.
    void AdaptToModel() override;

  private:
    struct Row {
        QLabel* caption = nullptr;
        QLineEdit* edit = nullptr;
    };
    QTabWidget* BuildKind(LabelKind kind);
    void EnableRow(LabelKind kind, int n, bool enabled);

    std::array<std::array<Row, kLabelsPerKind>, 4> rows_{};
};

} // namespace qvc
