// The program's mirror of the switcher: every table in the layout of the
// largest switcher, plus the sizes derived from the model code.
#pragma once

#include "protocol/SystemStatus.h"
#include "protocol/Tables.h"

#include <cstdint>
#include <span>

namespace qvc {

struct DeviceState {
    SystemStatusBlock status;
    DeviceModel model; // 16 x 16 until the first status block is read
    OutputStatusTable outputs = OutputStatusTable::Initial();
    PrevOutputStatusTable prevOutputs = PrevOutputStatusTable::Initial();
    AudioLevelTable levels = AudioLevelTable::Initial();
    GroupTable groups = GroupTable::Initial();
    PresetTable presets = PresetTable::Initial();
    PresetGroupTable presetGroups = PresetGroupTable::Initial();

    int ShownOutputs() const { return model.OutputCount; }
    int Inputs() const { return model.InputCount; }
    // Until the first status block is read the window offers the largest
    // switcher with audio; the block's zero bytes say nothing about the model.
    bool statusRead = false;
    bool AudioPresent() const { return !statusRead || status.AudioPresent() != 0; }
    // Whether `presets` says which presets are stored: a client that read
    // nothing of them yet cannot tell an empty preset from a stored one.
    bool presetsRead = false;

    // Copy of a MINFOQV payload: its first 20 bytes into `status`, then the
    // model sizes from the model code. False, touching nothing, when the
    // payload is shorter than the block.
    bool LoadStatusPayload(std::span<const std::uint8_t> payload);
};

} // namespace qvc
