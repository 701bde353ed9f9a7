#include "StatusQueries.h"

#include "Commands.h"

namespace qvc {

std::string QueryLine(StatusQuery q, int presetGroup) {
    switch (q) {
    case StatusQuery::Minfoqv:
        return cmd::kMinfoqv;
    case StatusQuery::Ainfoqv:
        return cmd::kAinfoqv;
    case StatusQuery::Oinfoqv:
        return cmd::kOinfoqv;
    case StatusQuery::Opinfoqv:
        return cmd::kOpinfoqv;
    case StatusQuery::Pinfoqv:
        return cmd::kPinfoqv;
    case StatusQuery::Ginfoqv:
        return cmd::kGinfoqv;
    case StatusQuery::Pginfoqv:
        return cmd::Pginfoqv(presetGroup);
    }
    return {};
}

int ExpectedLength(StatusQuery q, const DeviceModel& model, std::uint8_t modelCode) {
    const bool compact = IsCompactModelCode(modelCode);
    switch (q) {
    case StatusQuery::Minfoqv:
        return 20;
    case StatusQuery::Ainfoqv:
        return model.InputCount;
    case StatusQuery::Oinfoqv:
        return model.OutputSlots * 5;
    case StatusQuery::Opinfoqv:
        return model.OutputSlots * 2;
    case StatusQuery::Pinfoqv:
        return compact ? 864 : 1568;
    case StatusQuery::Ginfoqv:
    case StatusQuery::Pginfoqv:
        return compact ? 130 : 322;
    }
    return 0;
}

} // namespace qvc
