// The record cut out of a tracking program's answer: up to its first NUL, within its limit.
#include "core/record_bytes.h"

namespace vorkel {

std::optional<std::string_view> recordText(std::string_view received, std::size_t size,
                                           std::size_t limit) {
    const std::size_t nul = received.find('\0');
    if (nul != std::string_view::npos) {
        return nul <= limit ? std::optional(received.substr(0, nul)) : std::nullopt;
    }
    // Without a NUL, the whole answer is the record, and all of it must have been read.
    if (size > received.size() || received.size() > limit) {
        return std::nullopt;
    }
    return received;
}

}  // namespace vorkel
