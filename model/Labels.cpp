#include "Labels.h"

namespace qvc {

namespace {

template <typename Tables> auto& TableOf(Tables& tables, LabelKind kind) {
    switch (kind) {
    case LabelKind::Input:
        return tables.inputs;
    case LabelKind::Output:
        return tables.outputs;
    case LabelKind::Group:
        return tables.groups;
    case LabelKind::Preset:
        return tables.presets;
    }
    return tables.inputs;
}

} // namespace

LabelTable& LabelTables::Of(LabelKind kind) {
    return TableOf(*this, kind);
}

const LabelTable& LabelTables::Of(LabelKind kind) const {
    return TableOf(*this, kind);
}

LabelTables DefaultLabels() {
    LabelTable numbers;
    for (int n = 1; n <= kLabelsPerKind; ++n) {
        numbers[static_cast<std::size_t>(n - 1)] = std::to_string(n);
    }
    return {numbers, numbers, numbers, numbers};
}

const std::string& LabelTables::Label(LabelKind kind, int n) const {
    static const std::string kNone;
    return n >= 1 && n <= kLabelsPerKind ? Of(kind)[static_cast<std::size_t>(n - 1)] : kNone;
}

} // namespace qvc
