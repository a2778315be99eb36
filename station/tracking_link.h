// The conversation with the tracking program that publishes the tracking record.
#pragma once

#include <string>

#include "station/status.h"

namespace vorkel {

class TrackingLink {
  public:
    virtual ~TrackingLink() = default;

    // "Orbitron|Tracking": application and topic, split at the bar.
    virtual Status setTopic(const std::wstring& applicationAndTopic) = 0;
    virtual Status setItem(const std::wstring& item) = 0;
    // Opens the conversation once; fails when the tracking program does not answer.
    virtual Status openManual() = 0;
    // Asks for the item once and, on an answer, replaces the text of Label1 with it.
    virtual Status request() = 0;
};

}  // namespace vorkel
