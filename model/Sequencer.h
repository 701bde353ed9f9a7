// The preset sequencer: up to eight rows, each a stored preset held for its
// own delay, recalled one after the other in row order for as long as the run
// lasts. Every step recalls its preset at once (the direct recall of Presets,
// "RPRST p 0"); the switcher knows nothing of the sequence.
//
// This is the stepping alone: Start and Step return the lines to send and the
// time until the next step. The timer that calls Step lives in the page.
#pragma once

#include "Presets.h"
#include "protocol/Commands.h"

#include <array>
#include <string>

namespace qvc {

inline constexpr int kSequenceRows = 8;
inline constexpr int kSequenceMinPreset = 1;
inline constexpr int kSequenceMaxPreset = kPresetCount;
inline constexpr int kSequenceMinDelay = 3; // seconds
inline constexpr int kSequenceMaxDelay = 9999;

// One row as the operator filled it in: ticked or not, and the texts of its
// two edits.
struct SequenceRowEntry {
    bool ticked = false;
    std::string presetText;
    std::string delayText;
};
using SequenceEntries = std::array<SequenceRowEntry, kSequenceRows>;

// One row of the run: the 1-based preset (0 for a row left out) and its
// delay in milliseconds.
struct SequenceRow {
    int presetNumber = 0;
    int delayMs = 0;
};

// The check of one edit's text: the number it holds, or the message that
// refuses it.
struct EditCheck {
    int value = 0;
    std::string message; // empty when the text passed
    bool Passed() const { return message.empty(); }
};
// A preset number, 1 to 16.
EditCheck CheckPresetText(const std::string& text);
// A delay in seconds, 3 to 9999.
EditCheck CheckDelayText(const std::string& text);

class Sequencer {
  public:
    explicit Sequencer(Presets& presets) : presets_(presets) {}

    // Stopped; Running (a step follows each delay); Holding (a run of one
    // row: its preset stays until Stop).
    enum class Run { Stopped, Running, Holding };
    enum class Field { PresetNumber, Delay };

    struct StartResult {
        bool started = false;
        // Why Start refused: the message, and the edit that caused it (row
        // 0-based; -1 when no row was ticked).
        std::string message;
        int row = -1;
        Field field = Field::PresetNumber;
        // The first row's recall and the time until the next step.
        Commands commands;
        int intervalMs = 0;
    };
    // Checks every ticked row in row order and stops at the first that
    // fails. When all pass, the rows become the run (a run already going
    // starts again from the first ticked row) and the first ticked row's
    // preset is recalled. A refused Start changes nothing, also not a run
    // that is going.
    StartResult Start(const SequenceEntries& rows);

    struct StepResult {
        // False when nothing was recalled: the run holds its one row, or
        // there is no run. The timer then stays off.
        bool recalled = false;
        Commands commands;
        int intervalMs = 0;
    };
    // The next ticked row after the current one, from row 8 back to row 1:
    // its preset is recalled and held for its delay.
    StepResult Step();
    void Stop() { run_ = Run::Stopped; }

    Run State() const { return run_; }
    // 0-based row recalled last.
    int CurrentRow() const { return currentRow_; }
    int EnabledRowCount() const { return enabledRowCount_; }
    const std::array<SequenceRow, kSequenceRows>& Table() const { return table_; }

  private:
    Presets& presets_;
    std::array<SequenceRow, kSequenceRows> table_{};
    int enabledRowCount_ = 0;
    int currentRow_ = 0;
    Run run_ = Run::Stopped;
};

} // namespace qvc
