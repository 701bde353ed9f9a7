// The "Crosspoint Grid" window: every route of the switcher at a glance, one
// row per shown output and one column per input. A cell shows the output's
// committed route to that input in lime and a temporary one in red, marked
// "V", "A" or "VA" for the signals it carries.
//
// An output whose signal is taken temporarily to no input shows it beside
// its row ("--V" on red), as that route has no column.
//
// The window routes only through the "A / V Switching" page: a cell click is
// the page's input click and output click, in the page's switching mode and
// under its group rule, and Take and Cancel are the page's. It shows the state
// again whenever the page does (SwitchingPage::routingShown), so the two never
// disagree; while the window is closed it does no work.
#pragma once

#include "ui/common/FlatPainter.h"
#include "ui/common/Page.h"

#include <QAbstractButton>
#include <QWidget>
#include <vector>

class QGridLayout;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace qvc {

class SwitchingPage;

// What one cell shows: which signals of its output are committed and which
// are temporarily routed to its input.
struct CrosspointView {
    bool committedVideo = false;
    bool committedAudio = false;
    bool temporaryVideo = false;
    bool temporaryAudio = false;
    bool operator==(const CrosspointView&) const = default;
};

// A button-like cell: reached with Tab, pressed with Space or a click. The
// arrow keys, Enter and Escape go to the window.
class CrosspointCell : public QAbstractButton {
    Q_OBJECT
  public:
    CrosspointCell(int output, int input, QWidget* parent);

    int Output() const { return output_; }
    int Input() const { return input_; }
    const CrosspointView& View() const { return view_; }
    // Shows `view`; `name` is the cell's accessible name and tooltip.
    void Show(const CrosspointView& view, const QString& name);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    int output_;
    int input_;
    CrosspointView view_;
    FlatPainter painter_;
};

class CrosspointGridWindow : public QWidget {
    Q_OBJECT
  public:
    CrosspointGridWindow(const PageContext& context, SwitchingPage& page,
                         QWidget* parent = nullptr);

    // Rebuilds the grid when the model's sizes changed, then shows the
    // routes, mutes, labels, the selected input and the live preset.
    void RefreshFromState();

    // Cell of output `output` and input `input` (0-based); null outside the grid.
    CrosspointCell* Cell(int output, int input) const;

  protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void Rebuild(int outputs, int inputs);
    void ShowHeaders();
    void ShowCells();
    void ShowLivePreset();
    // Moves the keyboard focus from `from` by rows and columns, past the
    // cells the group rule closes; stays when no cell lies that way.
    void MoveFocus(const CrosspointCell* from, int rows, int columns);
    // "Output 3 (PROJ)", "input 5 (CAM)".
    QString OutputName(int o) const;
    QString InputName(int k) const;

    PageContext ctx_;
    SwitchingPage& page_;
    FlatPainter painter_;

    QVBoxLayout* layout_ = nullptr;
    QWidget* gridArea_ = nullptr;
    QGridLayout* gridLayout_ = nullptr;
    int outputs_ = 0;
    int inputs_ = 0;
    std::vector<QLabel*> inputHeaders_;
    std::vector<QLabel*> outputHeaders_;
    std::vector<QLabel*> muteMarks_;
    std::vector<QLabel*> noInputMarks_;
    std::vector<CrosspointCell*> cells_; // row by row
    QLabel* livePresetLabel_ = nullptr;
    QPushButton* takeButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
};

} // namespace qvc
