// The "Labeling" page: the 64 label edits of inputs, outputs, groups and
// presets, each with its caption, in four page controls of one tab each, and
// a reset button for each kind.
//
// What is typed goes into the label table at once (a save takes it from
// there); the other pages show a label when its edit is left, when its kind
// is reset, or when a configuration is loaded. Enter moves along one ring
// over all 64 edits. No command is ever sent for a label.
#pragma once

#include "ui/common/Page.h"

#include <array>

class QLabel;
class QLineEdit;
class QPushButton;
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
    // The edits show the label table (after a load or a reset).
    void ApplyLabels() override;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    struct Row {
        QLabel* caption = nullptr;
        QLineEdit* edit = nullptr;
    };
    QWidget* BuildKind(LabelKind kind);
    void EnableRow(LabelKind kind, int n, bool enabled);
    // The edit's text into the table, as Latin-1 bytes.
    void Store(LabelKind kind, int n);
    // The Enter key: to the next enabled edit of the ring.
    void FocusNext(LabelKind kind, int n);
    void ResetClick(LabelKind kind);

    std::array<std::array<Row, kLabelsPerKind>, 4> rows_{};
    std::array<QPushButton*, 4> resetButtons_{};
};

} // namespace qvc
