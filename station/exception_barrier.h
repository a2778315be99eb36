// The one barrier that keeps exceptions out of window procedures, DDE callbacks and the
// station's handlers: none of them may let one through to the system, and a throw (no memory
// for a text, say) is one more failure, after which the program goes on.
#pragma once

#include "station/status.h"

namespace vorkel {

// step's result, or onException's when step throws. onException must not throw itself.
template <typename Step, typename OnException>
auto withoutExceptions(Step&& step, OnException&& onException) noexcept -> decltype(step()) {
    try {
        return step();
    } catch (...) {
        return onException();
    }
}

// For steps that report their failures as a Status: a throw is the failure "out of memory",
// whose text fits in the string itself, without allocating.
template <typename Step>
Status withoutExceptions(Step&& step) noexcept {
    return withoutExceptions(step, [] { return Status::failure("out of memory"); });
}

}  // namespace vorkel
