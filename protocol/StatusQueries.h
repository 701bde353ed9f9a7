// The status queries of a read-back, in the order they are sent, and the
// payload length each one expects for the switcher's model.
#pragma once

#include "SystemStatus.h"

#include <string>

namespace qvc {

enum class StatusQuery { Minfoqv, Ainfoqv, Oinfoqv, Opinfoqv, Pinfoqv, Ginfoqv, Pginfoqv };

// The query line (for Pginfoqv, with `presetGroup` 0..15).
std::string QueryLine(StatusQuery q, int presetGroup = 0);

// ExpectedLength of the payload: MINFOQV 20, AINFOQV InputCount, OINFOQV
// OutputSlots x 5, OPINFOQV OutputSlots x 2, PINFOQV 864/1568, GINFOQV and
// PGINFOQV 130/322 (the small sizes for model codes 0 and 1).
int ExpectedLength(StatusQuery q, const DeviceModel& model, std::uint8_t modelCode);

// Whether a group/preset payload is copied in its large form (OutputSlots 16).
inline bool LargePayloadForm(const DeviceModel& model) {
    return model.OutputSlots == 16;
}

} // namespace qvc
