// The "Sequencing" page: eight rows, each a stored preset and the seconds it
// is held, taken into the run by its "On" box. Start recalls the first ticked
// row's preset and a one-shot timer steps through the ticked rows in row
// order, each step re-armed with its row's delay once its recall is done;
// the running row's name is lime. A run of one row holds its preset until
// Stop. The stepping is the model's Sequencer; the timer lives here.
//
// A step that falls due while another exchange with the switcher is at work
// waits for it to end, so the sequencer's commands and the operator's never
// meet on the link, and late steps do not pile up: there is one timer.
#pragma once

#include "model/Sequencer.h"
#include "ui/common/FlatPainter.h"
#include "ui/common/Page.h"

#include <array>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;

class QGridLayout;

namespace qvc {

class SequencingPage : public Page {
    Q_OBJECT
  public:
    explicit SequencingPage(PageContext context, QWidget* parent = nullptr);

    bool ShowsPresetPanel() const override { return true; }

    // How long a second of the rows' delays lasts, in milliseconds (1000);
    // tests shorten it.
    void SetSecondLength(int ms) { secondMs_ = ms; }

  private:
    struct Row {
        QLabel* name = nullptr;
        QCheckBox* enable = nullptr;
        QLineEdit* preset = nullptr;
        QLineEdit* delay = nullptr;
    };

    void PresetSeqEnableCheckBoxClick(int r, bool ticked);
    void StartSequence();
    void StopSequence();
    void PresetSeqTimerTick();

    void BuildControls();
    // Row r's name (in `outer`) and its box, edits and tick (in `inner`).
    void BuildRow(int r, QWidget& box, QGridLayout& outer, QGridLayout& inner, int presetWidth,
                  int delayWidth);
    void ChainTabOrder();
    // Checks the text of a row's preset or delay edit when the operator
    // leaves it; on failure the message is shown and the focus goes back
    // into the edit.
    bool ValidateEdit(QLineEdit* edit, Sequencer::Field field);
    void ShowRefusal(const QString& message, QLineEdit* edit);
    // Every row name to the face colour, then row r's (0-based) lime.
    void HighlightRow(int r);
    void SetLamp(bool lit);
    void Arm(int delayMs);

    Sequencer sequencer_;
    FlatPainter painter_;
    std::array<Row, kSequenceRows> rows_{};
    QWidget* activeBox_ = nullptr;
    QPushButton* startButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QLabel* lamp_ = nullptr;
    QTimer* timer_ = nullptr;
    int secondMs_ = 1000;
    // A refused edit is being given the focus back: leaving another edit on
    // the way is not checked, so two wrong edits cannot hand the focus to
    // each other for ever.
    bool refusing_ = false;
};

} // namespace qvc
