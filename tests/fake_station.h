// Fakes of the window, the tracking link, the rotor port and the timer that write every call into
// one shared journal, so tests can assert the order of effects across all of them.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "station/rotor_port.h"
#include "station/station_view.h"
#include "station/tick_timer.h"
#include "station/tracking_link.h"

namespace vorkel::testing {

using Journal = std::vector<std::string>;

std::string narrow(const std::wstring& text);

class FakeView : public StationView {
  public:
    explicit FakeView(Journal& journal);

    std::wstring fieldText(Field field) const override;
    void setFieldText(Field field, const std::wstring& text) override;
    void setTextColour(Field field, Colour colour) override;
    bool rawTextBold() const override { return bold; }
    void setRawTextBold(bool value) override;
    bool sendTicked() const override { return ticked; }
    void untickSend() override;
    bool normalSelected() const override { return normal; }
    void raiseTopmost() override;
    void moveToScreenTop() override;
    void setBackground(Surface surface, Colour colour) override;
    void disableFrame(Frame frame) override;
    void showFailure(const std::string& reason) override;
    void closeWindow() override;

    std::map<Field, std::wstring> texts;
    Colour elevationColour = kBlack;
    bool bold = false;
    bool ticked = false;
    bool normal = true;
    bool failureShown = false;
    std::string failureReason;
    // The failure display throws this many more times (no memory for the title, say).
    int failureDisplayThrows = 0;

  private:
    Journal& journal_;
};

class FakeLink : public TrackingLink {
  public:
    explicit FakeLink(Journal& journal);

    Status setTopic(const std::wstring& applicationAndTopic) override;
    Status setItem(const std::wstring& item) override;
    Status openManual() override;
    Status request(std::wstring& record) override;

    // Each request takes the next reply; an empty queue is a failure.
    std::deque<std::wstring> replies;
    bool openFails = false;
    // Runs inside request, as the DDE link's wait delivers messages meanwhile.
    std::function<void()> duringRequest;

  private:
    Journal& journal_;
};

class FakePort : public RotorPort {
  public:
    explicit FakePort(Journal& journal);

    Status configure(int portNumber, const std::wstring& settings) override;
    Status open() override;
    Status write(const std::wstring& text) override;
    Status drain() override;
    void close() override;

    bool configureFails = false;
    bool openFails = false;
    bool writeFails = false;
    bool drainFails = false;
    bool isOpen() const override { return open_; }
    std::vector<std::string> written;

  private:
    Journal& journal_;
    bool open_ = false;
};

class FakeTimer : public TickTimer {
  public:
    explicit FakeTimer(Journal& journal);
    Status setPeriod(unsigned milliseconds) override;
    unsigned period = 0;

  private:
    Journal& journal_;
};

}  // namespace vorkel::testing
