// Start-up, the one-second tracking cycle and the Stop button, over the station's interfaces.
#pragma once

#include "station/rotor_port.h"
#include "station/station_view.h"
#include "station/tick_timer.h"
#include "station/tracking_link.h"

namespace vorkel {

inline constexpr wchar_t kErrorMessage[] = L"Un error ha ocurrido...";

class Station {
  public:
    Station(StationView& view, TrackingLink& link, RotorPort& port, TickTimer& timer);

    // Once, as the main window loads, before it is shown.
    void startStation();
    // Every timer tick.
    void runTrackingTick();
    // The Stop button.
    void stopRotor();
    // The send switch was clicked: switched off, it frees the rotor port for other programs.
    void sendingSwitched();
    // The station is ending (its window closes, or the system's session ends): the port is
    // released and nothing more is sent.
    void endStation();

  private:
    Status prepare();
    Status trackOnce();
    Status sendToRotor(const std::wstring& command);
    Status releasePort();
    void showError(const Status& failure);

    StationView& view_;
    TrackingLink& link_;
    RotorPort& port_;
    TickTimer& timer_;

    // A tick waits for the tracking program inside a message loop that can deliver further
    // ticks and button presses; they must not run inside it.
    bool tickRunning_ = false;
    // Presses of Stop that arrived during a tick: each one is a stop command of its own.
    int stopsPending_ = 0;
    bool ended_ = false;
};

}  // namespace vorkel
