// The tick timer as a window timer: its WM_TIMER comes through the window's own message loop.
#pragma once

#include <windows.h>

#include "station/tick_timer.h"

namespace vorkel::ui {

class WindowTimer final : public TickTimer {
  public:
    WindowTimer(HWND window, UINT_PTR id) : window_(window), id_(id) {}
    ~WindowTimer() override { setPeriod(0).ok(); }
    WindowTimer(const WindowTimer&) = delete;
    WindowTimer& operator=(const WindowTimer&) = delete;

    Status setPeriod(unsigned milliseconds) override;

  private:
    HWND window_;
    UINT_PTR id_;
    bool running_ = false;
};

}  // namespace vorkel::ui
