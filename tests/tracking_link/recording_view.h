// A window stand-in that keeps every text the link writes, in order.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "station/station_view.h"

namespace vorkel::testing {

class RecordingView final : public StationView {
  public:
    std::vector<std::pair<Field, std::wstring>> writes;

    std::wstring label() const { return writes.empty() ? std::wstring() : writes.back().second; }

    std::wstring fieldText(Field field) const override {
        for (auto it = writes.rbegin(); it != writes.rend(); ++it) {
            if (it->first == field) {
                return it->second;
            }
        }
        return {};
    }
    void setFieldText(Field field, const std::wstring& text) override {
        writes.emplace_back(field, text);
    }
    void setTextColour(Field, Colour) override {}
    bool rawTextBold() const override { return false; }
    void setRawTextBold(bool) override {}
    bool sendTicked() const override { return false; }
    void untickSend() override {}
    bool normalSelected() const override { return true; }
    void raiseTopmost() override {}
    void moveToScreenTop() override {}
    void setBackground(Surface, Colour) override {}
    void disableFrame(Frame) override {}
    void showFailure(bool) override {}
};

}  // namespace vorkel::testing
