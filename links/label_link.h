// The station's tracking link: a transport brings the tracking record, and each one replaces the
// text of Label1, where the tracking cycle reads it. No Windows needed: built on every platform.
#pragma once

#include <string>

#include "station/station_view.h"
#include "station/tracking_link.h"

namespace vorkel {

// Where the record comes from: a conversation named and opened once, then asked once a tick.
// Every method reports its failure as a text saying what it was doing and why (DdeClient lists
// its own); nothing is retried.
class RecordTransport {
  public:
    virtual ~RecordTransport() = default;

    virtual Status setTopic(const std::wstring& applicationAndTopic) = 0;
    virtual Status setItem(const std::wstring& item) = 0;
    virtual Status openManual() = 0;
    // The record as the tracking program answered it; `record` is left alone on a failure.
    virtual Status request(std::wstring& record) = 0;
};

// Passes every failure of the transport on unchanged; a failed request leaves Label1 alone.
class LabelLink final : public TrackingLink {
  public:
    // Both must outlive the link.
    LabelLink(RecordTransport& transport, StationView& view) : transport_(transport), view_(view) {}

    Status setTopic(const std::wstring& applicationAndTopic) override {
        return transport_.setTopic(applicationAndTopic);
    }
    Status setItem(const std::wstring& item) override { return transport_.setItem(item); }
    Status openManual() override { return transport_.openManual(); }
    Status request() override {
        std::wstring record;
        if (Status s = transport_.request(record); !s.ok()) {
            return s;
        }
        view_.setFieldText(Field::Label1, record);
        return Status::success();
    }

  private:
    RecordTransport& transport_;
    StationView& view_;
};

}  // namespace vorkel
