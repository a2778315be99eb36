// Whatever a tracking program answers, and however much of it was read, the link takes from it
// the record and nothing else: the bytes before the first NUL (all of them without one), only
// when they fit the limit and were read whole, and always when they do and were.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "core/record_bytes.h"

namespace {

void require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        return 0;
    }
    // The first byte chooses the limit: small ones, so that both sides of it are reached
    // often, the station's own, or none at all.
    const std::size_t limit = data[0] < 200   ? data[0]
                              : data[0] < 255 ? vorkel::kMaxRecordBytes
                                              : SIZE_MAX;
    const std::string_view answer(reinterpret_cast<const char*>(data + 2), size - 2);

    const std::size_t toRead = vorkel::bytesToRead(answer.size(), limit);
    require(toRead <= answer.size());
    require(toRead == answer.size() || toRead == limit + 1);

    // The second byte: an odd one makes the copy come out short, as a failing copy would.
    std::size_t copied = toRead;
    if (data[1] % 2 == 1 && toRead > 0) {
        copied = (data[1] / 2) % toRead;
    }
    const std::string_view received = answer.substr(0, copied);
    const auto record = vorkel::recordText(received, answer.size(), limit);

    const std::string_view truth = answer.substr(0, answer.find('\0'));
    if (record) {
        require(*record == truth);
        require(record->size() <= limit);
        require(record->data() == received.data());
    } else if (copied == toRead) {
        require(truth.size() > limit);
    }
    return 0;
}
