// The status queries of a read-back, in the order they are sent, and the
// payload length each one expects for the switcher's model.
#pragma once

#include "SystemStatus.h"

#include <optional>
#include <string>
#include <string_view>

namespace qvc {

enum class StatusQuery { Minfoqv, Ainfoqv, Oinfoqv, Opinfoqv, Pinfoqv, Ginfoqv, Pginfoqv };

// The query line (for Pginfoqv, with `presetGroup` 0..15).
std::string QueryLine(StatusQuery q, int presetGroup = 0);

// ExpectedLength of the payload: MINFOQV 20, AINFOQV InputCount, OINFOQV
// OutputSlots x 5, OPINFOQV OutputSlots x 2, PINFOQV 864/1568, GINFOQV and
// PGINFOQV 130/322 (the small sizes for model codes 0 and 1).
int ExpectedLength(StatusQuery q, const DeviceModel& model, std::uint8_t modelCode);

// A status query line as the switcher takes it: the query's word alone, or
// PGINFOQV with one preset group 0..15, separated by blanks. Anything else
// (another word, a wrong argument) the switcher answers with its prompt, as
// a command; nullopt then.
struct ParsedQuery {
    StatusQuery query;
    int presetGroup = 0;
};
std::optional<ParsedQuery> ParseQueryLine(std::string_view line);

// Whether a group/preset payload is copied in its large form (OutputSlots 16).
inline bool LargePayloadForm(const DeviceModel& model) {
    return model.OutputSlots == 16;
}

} // namespace qvc
