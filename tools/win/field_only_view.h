// A window stand-in for programs that exercise the tracking link alone: only the text fields
// matter to the link, so every other operation does nothing.
#pragma once

#include <string>

#include "station/station_view.h"

namespace vorkel::testing {

class FieldOnlyView : public StationView {
  public:
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
    void showFailure(const std::string&) override {}
};

}  // namespace vorkel::testing
