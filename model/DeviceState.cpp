#include "DeviceState.h"

namespace qvc {

bool DeviceState::LoadStatusPayload(std::span<const std::uint8_t> payload) {
    if (payload.size() < SystemStatusBlock::kSize) {
        return false;
    }
    status.Load(payload.first(SystemStatusBlock::kSize));
    model.ApplyModelCode(status.ModelCode());
    statusRead = true;
    return true;
}

} // namespace qvc
