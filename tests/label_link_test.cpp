// The station's tracking link over a transport: names and opening pass through, and only a
// record that arrived replaces Label1.
#include "links/label_link.h"

#include <gtest/gtest.h>

#include "fake_station.h"

namespace vorkel::testing {
namespace {

class ScriptedTransport final : public RecordTransport {
  public:
    explicit ScriptedTransport(Journal& journal) : journal_(journal) {}
    Status setTopic(const std::wstring& topic) override {
        journal_.push_back("topic " + narrow(topic));
        return Status::success();
    }
    Status setItem(const std::wstring& item) override {
        journal_.push_back("item " + narrow(item));
        return Status::success();
    }
    Status openManual() override {
        journal_.push_back("open");
        return Status::failure("no tracking program");
    }
    Status request(std::wstring& record) override {
        journal_.push_back("request");
        if (answer.empty()) {
            return Status::failure("no answer in time");
        }
        record = answer;
        return Status::success();
    }
    std::wstring answer;

  private:
    Journal& journal_;
};

TEST(LabelLink, PassesNamesAndOpeningThrough) {
    Journal journal;
    FakeView view(journal);
    ScriptedTransport transport(journal);
    LabelLink link(transport, view);
    EXPECT_TRUE(link.setTopic(L"Orbitron|Tracking").ok());
    EXPECT_TRUE(link.setItem(L"TrackingData").ok());
    const Status opened = link.openManual();
    EXPECT_EQ(opened.text(), "no tracking program");
    EXPECT_EQ(journal, (Journal{"topic Orbitron|Tracking", "item TrackingData", "open"}));
}

TEST(LabelLink, OnlyARecordThatArrivedReplacesLabel1) {
    Journal journal;
    FakeView view(journal);
    ScriptedTransport transport(journal);
    LabelLink link(transport, view);
    view.setFieldText(Field::Label1, L"Un error ha ocurrido...");
    journal.clear();

    const Status failed = link.request();
    EXPECT_EQ(failed.text(), "no answer in time");
    EXPECT_EQ(view.fieldText(Field::Label1), L"Un error ha ocurrido...");

    transport.answer = L"SNAO-7 AZ1.0 EL2.0 DN1 UP2\r\n";
    EXPECT_TRUE(link.request().ok());
    EXPECT_EQ(view.fieldText(Field::Label1), transport.answer);
    EXPECT_EQ(journal, (Journal{"request", "request", "Label1=SNAO-7 AZ1.0 EL2.0 DN1 UP2\r\n"}));
}

}  // namespace
}  // namespace vorkel::testing
