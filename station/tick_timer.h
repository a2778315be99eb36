// The periodic timer that drives the tracking cycle.
#pragma once

#include "station/status.h"

namespace vorkel {

class TickTimer {
  public:
    virtual ~TickTimer() = default;

    // A period of 0 stops the ticks; any other value ticks every that many milliseconds.
    // Fails, with the system's error, when the timer cannot be set; stopping cannot fail.
    virtual Status setPeriod(unsigned milliseconds) = 0;
};

}  // namespace vorkel
