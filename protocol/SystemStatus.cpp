#include "SystemStatus.h"

#include <algorithm>
#include <cstdio>

namespace qvc {

std::int8_t SystemStatusBlock::VideoSwitchSource() const {
    return static_cast<std::int8_t>(bytes[4]);
}

std::int8_t SystemStatusBlock::VIDelay() const {
    return static_cast<std::int8_t>(bytes[5]);
}

std::int16_t SystemStatusBlock::RGBDelay() const {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(bytes[6] | (bytes[7] << 8)));
}

std::string SystemStatusBlock::FirmwareVersion() const {
    // The text ends at its NUL; a text that fills all six bytes has none, and
    // nothing beyond byte 13 belongs to it.
    const auto first = bytes.begin() + 8;
    const auto last = bytes.begin() + 14;
    return std::string(first, std::find(first, last, std::uint8_t{0}));
}

std::array<std::uint8_t, 4> SystemStatusBlock::IPAddress() const {
    return {bytes[15], bytes[16], bytes[17], bytes[18]};
}

std::string SystemStatusBlock::IPAddressText() const {
    char text[16];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", bytes[15], bytes[16], bytes[17], bytes[18]);
    return text;
}

void SystemStatusBlock::SetVideoSwitchSource(int v) {
    bytes[4] = static_cast<std::uint8_t>(v);
}

void SystemStatusBlock::SetRGBDelay(int v) {
    const auto u = static_cast<std::uint16_t>(v);
    bytes[6] = static_cast<std::uint8_t>(u & 0xFF);
    bytes[7] = static_cast<std::uint8_t>(u >> 8);
}

void SystemStatusBlock::Load(std::span<const std::uint8_t> payload) {
    if (payload.size() < kSize) {
        return;
    }
    std::copy_n(payload.begin(), kSize, bytes.begin());
}

void DeviceModel::ApplyModelCode(std::uint8_t code) {
    struct Sizes {
        int inputs, outputs, slots;
    };
    static constexpr Sizes kSizes[] = {{12, 4, 8}, {12, 8, 8}, {16, 8, 16}, {16, 16, 16}};
    if (code > 3) {
        return;
    }
    InputCount = kSizes[code].inputs;
    OutputCount = kSizes[code].outputs;
    OutputSlots = kSizes[code].slots;
}

std::string ModelSizeText(std::uint8_t code) {
    static constexpr const char* kTexts[] = {"12 x 4", "12 x 8", "16 x 8", "16 x 16"};
    return code <= 3 ? kTexts[code] : "";
}

} // namespace qvc
