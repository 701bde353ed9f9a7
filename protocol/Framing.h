// Reply framing shared by every status query: up to 29 bytes of text, SOH,
// one byte the program does not interpret, the payload, then CR LF '#'.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace qvc {

inline constexpr std::uint8_t kCr = 0x0D;
inline constexpr std::uint8_t kLf = 0x0A;
inline constexpr std::uint8_t kPrompt = '#';
inline constexpr std::uint8_t kSoh = 0x01;
inline constexpr std::size_t kSohWindow = 30; // SOH must lie in bytes 0..29
inline constexpr std::size_t kReceiveBufferSize = 5200;

// Index of the first SOH among the first 30 bytes of `reply`, if any.
std::optional<std::size_t> FindSoh(std::span<const std::uint8_t> reply);

// The payload starts two bytes after the SOH.
inline constexpr std::size_t PayloadStart(std::size_t soh) {
    return soh + 2;
}

// The payload of a reply: found SOH, start at SOH + 2 and `length` bytes that
// lie entirely inside `reply`; nullopt when there is no SOH in the window or
// the reply is too short to hold the payload.
std::optional<std::span<const std::uint8_t>> ExtractPayload(std::span<const std::uint8_t> reply,
                                                            std::size_t length);

} // namespace qvc
