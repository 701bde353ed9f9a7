// The 20-byte system status block (MINFOQV payload) and the switcher sizes
// derived from its model code.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace qvc {

struct SystemStatusBlock {
    static constexpr std::size_t kSize = 20;
    std::array<std::uint8_t, kSize> bytes{};

    std::uint8_t FrontPanelLock() const { return bytes[0]; } // byte 0
    std::int8_t VideoSwitchSource() const;                   // byte 4, signed
    std::int8_t VIDelay() const;                             // byte 5, signed
    std::int16_t RGBDelay() const;                           // bytes 6..7, LE
    std::string FirmwareVersion() const;                     // bytes 8..13, to NUL
    std::uint8_t ModelCode() const { return bytes[14]; }     // byte 14
    std::array<std::uint8_t, 4> IPAddress() const;           // bytes 15..18
    std::string IPAddressText() const;                       // "%d.%d.%d.%d"
    std::uint8_t AudioPresent() const { return bytes[19]; }  // byte 19

    void SetFrontPanelLock(std::uint8_t v) { bytes[0] = v; }
    void SetVideoSwitchSource(int v);
    void SetRGBDelay(int v);

    // Copies the first 20 bytes of `payload`. A payload shorter than the
    // block changes nothing: half a block would mix two switchers' values.
    void Load(std::span<const std::uint8_t> payload);
};

// Sizes of the switcher. 16 x 16 until the first status block is read.
struct DeviceModel {
    int InputCount = 16;  // inputs offered, and AINFOQV payload length
    int OutputCount = 16; // outputs offered and served
    int OutputSlots = 16; // output entries in the routing/group/preset replies

    // Model codes 0..3 set the three counts; any other code leaves them.
    void ApplyModelCode(std::uint8_t code);
};

// "12 x 4", "12 x 8", "16 x 8", "16 x 16"; empty for codes outside 0..3.
std::string ModelSizeText(std::uint8_t code);

// The group, preset and preset-group replies are small for codes 0 and 1.
inline bool IsCompactModelCode(std::uint8_t code) {
    return code == 0 || code == 1;
}

} // namespace qvc
