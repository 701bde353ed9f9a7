// The program's mirror of the switcher: every table in the layout of the
// largest switcher, plus the sizes derived from the model code.
#pragma once

#include "protocol/SystemStatus.h"
#include "protocol/Tables.h"

namespace qvc {

struct DeviceState {
    SystemStatusBlock status;
    DeviceModel model;  // 16 x 16 until the first status block is read
    OutputStatusTable outputs = OutputStatusTable::Initial();
    PrevOutputStatusTable prevOutputs = PrevOutputStatusTable::Initial();
    AudioLevelTable levels = AudioLevelTable::Initial();
    GroupTable groups = GroupTable::Initial();
    PresetTable presets = PresetTable::Initial();
    PresetGroupTable presetGroups = PresetGroupTable::Initial();

    int ShownOutputs() const { return model.OutputCount; }
    int Inputs() const { return model.InputCount; }
    bool AudioPresent() const { return status.AudioPresent() != 0; }
};

} // namespace qvc
