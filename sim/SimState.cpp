#include "SimState.h"

namespace qvsim {

GroupTable::GroupTable() {
    for (auto& row : inputMember) {
        row.fill(kNoGroup);
    }
    outputGroup.fill(kNoGroup);
}

SimState::SimState() {
    levels.fill(kDefaultLevel);
}

int SimState::InputCount() const {
    return modelCode <= 1 ? 12 : 16;
}
int SimState::OutputCount() const {
    constexpr int kOutputs[4] = {4, 8, 8, 16};
    return kOutputs[modelCode & 3];
}
int SimState::OutputSlots() const {
    return modelCode <= 1 ? 8 : 16;
}
bool SimState::LargeForm() const {
    return modelCode >= 2;
}

} // namespace qvsim
