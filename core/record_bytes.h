// The text part of a tracking record as it arrives: plain bytes, no Windows needed, so that it
// can be tested and fuzzed anywhere.
#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace vorkel {

// Far longer than any real record (about 50 bytes), short enough that the parser and the label
// are never handed a flood.
inline constexpr std::size_t kMaxRecordBytes = 4096;

// How much of an answer of `size` bytes must be read to judge it: one byte past the limit
// tells a record that ends at the limit from one that goes on. (Compared without adding to
// the limit, which may be the largest size there is.)
constexpr std::size_t bytesToRead(std::size_t size, std::size_t limit = kMaxRecordBytes) {
    return size <= limit ? size : limit + 1;
}

// The record is what precedes the first NUL (clipboard text ends with one and senders may put
// anything after it). `received` holds the first bytesToRead() bytes of the answer, `size`
// how long the whole answer was. Empty when the record is longer than the limit.
std::optional<std::string_view> recordText(std::string_view received, std::size_t size,
                                           std::size_t limit = kMaxRecordBytes);

}  // namespace vorkel
