#include "Sequencer.h"

#include <charconv>
#include <optional>

namespace qvc {

namespace {

constexpr int kMsPerSecond = 1000;

// Messages; the edit's text stands between the quote marks.
const char* const kNoSequenceText = "Error! No Preset Sequence enabled.";
const char* const kNotAPresetText[] = {"Error! '", "' is not a valid Preset number."};
const char* const kNotADelayText[] = {"Error! '", "' is not a valid Delay number."};
const char* const kPresetLimitsText = "Error! Preset number out of limits (";
const char* const kDelayLimitsText = "Error! Delay number out of limits (";
const char* const kEmptyPresetText[] = {"Error! Preset #'",
                                        "' is currently empty. Select a different Preset number"};

enum class Parsed { Number, NotANumber, TooLarge };

// A whole decimal number, with an optional sign, between optional blanks.
Parsed ParseInteger(const std::string& text, int& value) {
    std::size_t begin = text.find_first_not_of(" \t");
    const std::size_t end = text.find_last_not_of(" \t");
    if (begin == std::string::npos) {
        return Parsed::NotANumber;
    }
    const char* first = text.data() + begin;
    const char* last = text.data() + end + 1;
    if (*first == '+' && last - first > 1 && first[1] != '-') {
        ++first;
    }
    const auto [ptr, error] = std::from_chars(first, last, value);
    if (ptr != last) {
        return Parsed::NotANumber;
    }
    if (error == std::errc::result_out_of_range) {
        return Parsed::TooLarge;
    }
    return error == std::errc() ? Parsed::Number : Parsed::NotANumber;
}

EditCheck Check(const std::string& text, int low, int high, const char* const notANumber[2],
                const char* limits) {
    EditCheck check;
    const Parsed parsed = ParseInteger(text, check.value);
    if (parsed == Parsed::NotANumber) {
        check.message = std::string(notANumber[0]) + text + notANumber[1];
    } else if (parsed == Parsed::TooLarge || check.value < low || check.value > high) {
        check.message =
            std::string(limits) + std::to_string(low) + "-" + std::to_string(high) + ")";
    }
    return check;
}

} // namespace

EditCheck CheckPresetText(const std::string& text) {
    return Check(text, kSequenceMinPreset, kSequenceMaxPreset, kNotAPresetText, kPresetLimitsText);
}

EditCheck CheckDelayText(const std::string& text) {
    return Check(text, kSequenceMinDelay, kSequenceMaxDelay, kNotADelayText, kDelayLimitsText);
}

Sequencer::StartResult Sequencer::Start(const SequenceEntries& rows) {
    StartResult result;
    bool anyTicked = false;
    for (const SequenceRowEntry& row : rows) {
        anyTicked = anyTicked || row.ticked;
    }
    if (!anyTicked) {
        result.message = kNoSequenceText;
        return result;
    }
    // The new run is built aside and replaces the old one only when every
    // ticked row passed, so a refused Start leaves a running sequence whole.
    auto table = table_;
    int enabled = 0;
    std::optional<int> firstRow;
    for (int r = 0; r < kSequenceRows; ++r) {
        const SequenceRowEntry& entry = rows[static_cast<std::size_t>(r)];
        SequenceRow& row = table[static_cast<std::size_t>(r)];
        if (!entry.ticked) {
            row.presetNumber = 0;
            continue;
        }
        result.row = r;
        const EditCheck preset = CheckPresetText(entry.presetText);
        if (!preset.Passed()) {
            result.field = Field::PresetNumber;
            result.message = preset.message;
            return result;
        }
        const EditCheck delay = CheckDelayText(entry.delayText);
        if (!delay.Passed()) {
            result.field = Field::Delay;
            result.message = delay.message;
            return result;
        }
        if (!presets_.PresetIsStored(preset.value)) {
            result.field = Field::PresetNumber;
            result.message =
                std::string(kEmptyPresetText[0]) + entry.presetText + kEmptyPresetText[1];
            return result;
        }
        if (!firstRow) {
            firstRow = r;
        }
        row.presetNumber = preset.value;
        row.delayMs = delay.value * kMsPerSecond;
        ++enabled;
    }
    table_ = table;
    enabledRowCount_ = enabled;
    currentRow_ = *firstRow;
    run_ = Run::Running;
    const SequenceRow& first = table_[static_cast<std::size_t>(currentRow_)];
    result = StartResult{};
    result.started = true;
    result.row = currentRow_;
    result.commands = presets_.RecallPreset(first.presetNumber - 1, Presets::RecallMode::Direct);
    result.intervalMs = first.delayMs;
    return result;
}

Sequencer::StepResult Sequencer::Step() {
    if (run_ != Run::Running) {
        return {};
    }
    if (enabledRowCount_ == 1) {
        run_ = Run::Holding;
        return {};
    }
    // Unticked rows are skipped; a run always has a ticked row, and the
    // search ends after one round whatever the table holds.
    int row = currentRow_;
    for (int tried = 0; tried < kSequenceRows; ++tried) {
        row = (row + 1) % kSequenceRows;
        if (table_[static_cast<std::size_t>(row)].presetNumber != 0) {
            break;
        }
    }
    currentRow_ = row;
    const SequenceRow& next = table_[static_cast<std::size_t>(row)];
    StepResult result;
    result.recalled = true;
    result.commands = presets_.RecallPreset(next.presetNumber - 1, Presets::RecallMode::Direct);
    result.intervalMs = next.delayMs;
    return result;
}

} // namespace qvc
