// What a write command does to the switcher, as the switcher does it: the
// inverse of the operations that build the lines. A client that forwards
// lines it did not make (another controller's) keeps its mirror with this.
#pragma once

#include "model/DeviceState.h"

#include <string_view>

namespace qvc {

enum class LineEffect {
    Applied,      // the state now holds what the switcher holds after the line
    None,         // not a write command, or arguments the switcher refuses: nothing changes
    ReadBackNeeded, // RESETQV: the switcher returns to settings the mirror does not know
};

// `line` without its CR, as a controller sends it ("RTEMP 3 5 101").
LineEffect ApplyWriteLine(DeviceState& state, std::string_view line);

} // namespace qvc
