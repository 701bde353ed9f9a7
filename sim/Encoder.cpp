#include "Encoder.h"

namespace qvsim {

namespace {

void PutEntry(std::vector<std::uint8_t>& out, const OutputEntry& e) {
    out.push_back(e.videoInput);
    out.push_back(e.audioInput);
    out.push_back(e.videoTaken);
    out.push_back(e.audioTaken);
    out.push_back(e.muted);
}

} // namespace

std::vector<std::uint8_t> EncodeStatusBlock(const SimState& s) {
    std::vector<std::uint8_t> b(kStatusBlockSize, 0);
    b[0] = s.settings.frontPanelLock;
    b[4] = static_cast<std::uint8_t>(s.settings.videoSwitchSource);
    b[5] = static_cast<std::uint8_t>(s.settings.viDelay);
    const auto delay = static_cast<std::uint16_t>(s.settings.rgbDelay);
    b[6] = static_cast<std::uint8_t>(delay & 0xFF);
    b[7] = static_cast<std::uint8_t>(delay >> 8);
    // Firmware text in bytes 8..13, NUL-terminated when shorter than 6.
    for (std::size_t i = 0; i < 6 && i < s.firmware.size(); ++i) {
        b[8 + i] = static_cast<std::uint8_t>(s.firmware[i]);
    }
    b[14] = static_cast<std::uint8_t>(s.modelCode);
    for (std::size_t i = 0; i < 4; ++i) {
        b[15 + i] = s.settings.ip[i];
    }
    b[19] = s.audioPresent ? 1 : 0;
    return b;
}

std::vector<std::uint8_t> EncodeLevels(const SimState& s) {
    const auto n = static_cast<std::size_t>(s.InputCount());
    return {s.levels.begin(), s.levels.begin() + static_cast<std::ptrdiff_t>(n)};
}

std::vector<std::uint8_t> EncodeOutputs(const SimState& s) {
    std::vector<std::uint8_t> out;
    for (int o = 0; o < s.OutputSlots(); ++o) {
        PutEntry(out, s.outputs[static_cast<std::size_t>(o)]);
    }
    return out;
}

std::vector<std::uint8_t> EncodeCommitted(const SimState& s) {
    std::vector<std::uint8_t> out;
    for (int o = 0; o < s.OutputSlots(); ++o) {
        out.push_back(s.committed[static_cast<std::size_t>(o)].videoInput);
        out.push_back(s.committed[static_cast<std::size_t>(o)].audioInput);
    }
    return out;
}

std::vector<std::uint8_t> EncodePresets(const SimState& s) {
    const bool large = s.LargeForm();
    const std::size_t slotCount = large ? 16 : 8;
    const std::size_t inputs = large ? 16 : 12;
    std::vector<std::uint8_t> out;
    out.reserve(16 * (large ? kPresetLargeRecord : kPresetSmallRecord));
    for (const PresetRecord& p : s.presets) {
        out.push_back(p.stored);
        out.push_back(p.lastStored);
        for (std::size_t o = 0; o < slotCount; ++o) {
            PutEntry(out, p.routes[o]);
        }
        for (std::size_t i = 0; i < inputs; ++i) {
            out.push_back(p.inputBytes[i]);
        }
    }
    return out;
}

std::vector<std::uint8_t> EncodeGroups(const GroupTable& g, bool large) {
    const std::size_t groups = large ? 16 : 8;
    const std::size_t inputs = large ? 16 : 12;
    std::vector<std::uint8_t> out;
    out.reserve(large ? kGroupLargeSize : kGroupSmallSize);
    for (const auto* counts : {&g.memberCount, &g.outputCount, &g.inputCount}) {
        for (std::size_t k = 0; k < groups; ++k) {
            out.push_back(static_cast<std::uint8_t>((*counts)[k]));
        }
    }
    for (std::size_t row = 0; row < groups; ++row) {
        for (std::size_t k = 0; k < inputs; ++k) {
            out.push_back(g.inputMember[row][k]);
        }
    }
    for (std::size_t o = 0; o < groups; ++o) {
        out.push_back(g.outputGroup[o]);
    }
    out.push_back(g.trailer[0]);
    out.push_back(g.trailer[1]);
    return out;
}

std::vector<std::uint8_t> FrameReply(const std::vector<std::uint8_t>& textBefore,
                                     std::uint8_t sohByte, std::uint8_t tag,
                                     const std::vector<std::uint8_t>& payload) {
    std::vector<std::uint8_t> out;
    out.reserve(textBefore.size() + payload.size() + 5);
    out.insert(out.end(), textBefore.begin(), textBefore.end());
    out.push_back(sohByte);
    out.push_back(tag);
    out.insert(out.end(), payload.begin(), payload.end());
    out.push_back(kCr);
    out.push_back(kLf);
    out.push_back(kPrompt);
    return out;
}

std::vector<std::uint8_t> FillerText(std::size_t n) {
    static constexpr char kPattern[] = "QV STATUS 0123456789 ";
    constexpr std::size_t kLen = sizeof(kPattern) - 1;
    std::vector<std::uint8_t> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = static_cast<std::uint8_t>(kPattern[i % kLen]);
    }
    return out;
}

} // namespace qvsim
