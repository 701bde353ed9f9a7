#include "Framing.h"

#include <algorithm>

namespace qvc {

std::optional<std::size_t> FindSoh(std::span<const std::uint8_t> reply) {
    const auto window = reply.first(std::min(reply.size(), kSohWindow));
    const auto it = std::find(window.begin(), window.end(), kSoh);
    if (it == window.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(it - window.begin());
}

std::optional<std::span<const std::uint8_t>> ExtractPayload(std::span<const std::uint8_t> reply,
                                                            std::size_t length) {
    const auto soh = FindSoh(reply);
    if (!soh) {
        return std::nullopt;
    }
    const std::size_t start = PayloadStart(*soh);
    if (start > reply.size() || reply.size() - start < length) {
        return std::nullopt;
    }
    return reply.subspan(start, length);
}

} // namespace qvc
