// The names of inputs, outputs, groups and presets. They live only in the
// program (and in configuration files); every page shows them from here.
#pragma once

#include <array>
#include <string>

namespace qvc {

enum class LabelKind { Input, Output, Group, Preset };
inline constexpr int kLabelsPerKind = 16;

// The four label lists; element n-1 holds label n. Labels are 8-bit text of
// up to six bytes.
using LabelTable = std::array<std::string, kLabelsPerKind>;
struct LabelTables {
    LabelTable inputs;
    LabelTable outputs;
    LabelTable groups;
    LabelTable presets;

    LabelTable& Of(LabelKind kind);
    const LabelTable& Of(LabelKind kind) const;
    // Label n (1..16) of a kind; empty for numbers outside 1..16.
    const std::string& Label(LabelKind kind, int n) const;

    bool operator==(const LabelTables&) const = default;
};

// "1" .. "16" in every table.
LabelTables DefaultLabels();

} // namespace qvc
