// Window timer for the tracking cycle.
#include "ui/window_timer.h"

#include "links/windows_failure.h"

namespace vorkel::ui {

Status WindowTimer::setPeriod(unsigned milliseconds) {
    if (milliseconds == 0) {
        if (running_) {
            KillTimer(window_, id_);
            running_ = false;
        }
        return Status::success();
    }
    if (SetTimer(window_, id_, milliseconds, nullptr) == 0) {
        return windowsFailure("setting", L"the tick timer", GetLastError());
    }
    running_ = true;
    return Status::success();
}

}  // namespace vorkel::ui
