// The DDE client as the tests drive it: each record a request brings is kept, in order.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "links/dde_client.h"

namespace vorkel::testing {

class RecordingClient {
  public:
    std::vector<std::wstring> records;
    DdeClient client;

    std::wstring last() const { return records.empty() ? std::wstring() : records.back(); }

    Status setTopic(const std::wstring& topic) { return client.setTopic(topic); }
    Status setItem(const std::wstring& item) { return client.setItem(item); }
    Status openManual() { return client.openManual(); }
    Status request() {
        std::wstring record;
        Status status = client.request(record);
        if (status.ok()) {
            records.push_back(std::move(record));
        }
        return status;
    }
    bool conversationOpen() const { return client.conversationOpen(); }
    int answersIgnored() const { return client.answersIgnored(); }
};

}  // namespace vorkel::testing
