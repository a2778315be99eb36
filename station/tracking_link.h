// The conversation with the tracking program that publishes the tracking record.
#pragma once

#include <string>

#include "station/status.h"

namespace vorkel {

// Failures come back as a Status whose text says what was being done, with which program and
// why (Status::failure); none throws.
class TrackingLink {
  public:
    virtual ~TrackingLink() = default;

    // "Orbitron|Tracking": application and topic, split at the bar. Fails when either part is
    // missing or unusable as a DDE name.
    virtual Status setTopic(const std::wstring& applicationAndTopic) = 0;
    // Fails when the item is empty or unusable as a DDE name.
    virtual Status setItem(const std::wstring& item) = 0;
    // Opens the conversation once. Fails when no topic or item is set, when the tracking program
    // does not answer, when the conversation it once made has ended, or with the system's error.
    virtual Status openManual() = 0;
    // Asks for the item once; on an answer, record holds it, for the station to show in Label1.
    // Fails, and leaves record alone, when no conversation is open, when the tracking program
    // refuses, does not answer in time or has gone, when the answer is no record (another
    // format, too large, not text of the code page), or with the system's error.
    virtual Status request(std::wstring& record) = 0;
};

}  // namespace vorkel
