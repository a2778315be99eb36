// The station's tracking link over a transport: names and opening pass through, and only a
// record that arrived replaces Label1.
#include "links/label_link.h"

#include <gtest/gtest.h>

#include "fake_station.h"

namespace vorkel::testing {
namespace {

TEST(LabelLink, PassesNamesAndOpeningThrough) {
    Journal journal;
    FakeView view(journal);
    FakeTransport transport(journal);
    transport.openFails = true;
    LabelLink link(transport, view);
    (void)link.setTopic(L"Orbitron|Tracking");
    (void)link.setItem(L"TrackingData");
    const Status opened = link.openManual();
    EXPECT_EQ(opened.text(), "no tracking program");
    EXPECT_EQ(journal, (Journal{"topic Orbitron|Tracking", "item TrackingData", "open link"}));
}

TEST(LabelLink, OnlyARecordThatArrivedReplacesLabel1) {
    Journal journal;
    FakeView view(journal);
    FakeTransport transport(journal);
    LabelLink link(transport, view);
    view.setFieldText(Field::Label1, L"Un error ha ocurrido...");
    journal.clear();

    const Status failed = link.request();
    EXPECT_EQ(failed.text(), "no answer");
    EXPECT_EQ(view.fieldText(Field::Label1), L"Un error ha ocurrido...");

    const std::wstring record = L"SNAO-7 AZ1.0 EL2.0 DN1 UP2\r\n";
    transport.replies.push_back(record);
    EXPECT_TRUE(link.request().ok());
    EXPECT_EQ(view.fieldText(Field::Label1), record);
    EXPECT_EQ(journal, (Journal{"request", "request", "Label1=SNAO-7 AZ1.0 EL2.0 DN1 UP2\r\n"}));
}

}  // namespace
}  // namespace vorkel::testing
