// Start-up, the one-second tracking cycle and the Stop button, over the station's interfaces.
#pragma once

#include "station/rotor_port.h"
#include "station/station_view.h"
#include "station/tick_timer.h"
#include "station/tracking_link.h"

namespace vorkel {

inline constexpr wchar_t kErrorMessage[] = L"Un error ha ocurrido...";

// What comes to the station from its window and the system.
enum class Entry {
    Tick,          // the timer's
    Stop,          // the Stop button
    SendSwitched,  // the send switch was clicked
    Close,         // the window is to close
    SessionEnd,    // the system's session ends: the process may be ended at any moment after
};

class Station {
  public:
    Station(StationView& view, TrackingLink& link, RotorPort& port, TickTimer& timer);

    // Once, as the main window loads, before it is shown.
    void startStation();

    // The one way in. A tick waits for the tracking program inside a message loop that delivers
    // further entries meanwhile; none runs inside another. What comes while one runs waits
    // until it has ended: a tick is dropped, each Stop runs once, the switch is read again, and
    // a close runs last. The end of the session alone does not wait: sending ends at once, the
    // port is released, and whatever runs meanwhile sends nothing more.
    void enter(Entry entry);

  private:
    void run(Entry entry);
    void runUnguarded(Entry entry);
    void runTrackingTick();
    void stopRotor();
    void sendingSwitched();
    // The station is ending (its window closes, or the system's session ends): the port is
    // released and nothing more is sent.
    void endStation();

    Status prepare();
    Status trackOnce();
    Status sendToRotor(const std::wstring& command);
    Status releasePort();
    void showError(const Status& failure);

    StationView& view_;
    TrackingLink& link_;
    RotorPort& port_;
    TickTimer& timer_;

    bool running_ = false;
    // What came while an entry ran.
    int stopsDeferred_ = 0;
    bool switchDeferred_ = false;
    bool closeDeferred_ = false;
    bool ended_ = false;
};

}  // namespace vorkel
