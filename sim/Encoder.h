// The switcher's own writer of every status payload and of the reply frame.
#pragma once

#include "SimState.h"

#include <cstdint>
#include <vector>

namespace qvsim {

inline constexpr std::uint8_t kSoh = 0x01;
inline constexpr std::uint8_t kSohStandIn = 0x02; // replaces SOH in a "no SOH" reply
inline constexpr std::uint8_t kCr = 0x0D;
inline constexpr std::uint8_t kLf = 0x0A;
inline constexpr std::uint8_t kPrompt = '#';

inline constexpr std::size_t kStatusBlockSize = 20;
inline constexpr std::size_t kGroupLargeSize = 322;
inline constexpr std::size_t kGroupSmallSize = 130;
inline constexpr std::size_t kPresetLargeRecord = 98;
inline constexpr std::size_t kPresetSmallRecord = 54;

// MINFOQV: the 20-byte system status block.
std::vector<std::uint8_t> EncodeStatusBlock(const SimState& s);
// AINFOQV: one level byte per input of the model.
std::vector<std::uint8_t> EncodeLevels(const SimState& s);
// OINFOQV: 5 bytes per output slot.
std::vector<std::uint8_t> EncodeOutputs(const SimState& s);
// OPINFOQV: 2 bytes per output slot.
std::vector<std::uint8_t> EncodeCommitted(const SimState& s);
// PINFOQV: 16 records of 98 (large) or 54 (small) bytes.
std::vector<std::uint8_t> EncodePresets(const SimState& s);
// GINFOQV and PGINFOQV n: 322 (large) or 130 (small) bytes.
std::vector<std::uint8_t> EncodeGroups(const GroupTable& g, bool large);

// text, SOH (or its stand-in), tag, payload, CR, LF, '#'.
std::vector<std::uint8_t> FrameReply(const std::vector<std::uint8_t>& textBefore,
                                     std::uint8_t sohByte, std::uint8_t tag,
                                     const std::vector<std::uint8_t>& payload);

// n bytes of printable filler without '#' (and of course without SOH).
std::vector<std::uint8_t> FillerText(std::size_t n);

} // namespace qvsim
