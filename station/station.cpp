// The station's whole behaviour: prepare at start-up, track once a second, stop on demand.
#include "station/station.h"

#include <array>

#include "core/number_text.h"
#include "core/pointing.h"
#include "core/tracking_record.h"
#include "station/exception_barrier.h"

namespace vorkel {
namespace {

constexpr int kRotorPortNumber = 1;
constexpr wchar_t kRotorLineSettings[] = L"9600,n,8,1";
constexpr wchar_t kTrackingTopic[] = L"Orbitron|Tracking";
constexpr wchar_t kTrackingItem[] = L"TrackingData";
constexpr unsigned kTickPeriodMs = 1000;

// Set for as long as the scope lasts, however it is left.
class ScopedFlag {
  public:
    explicit ScopedFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~ScopedFlag() { flag_ = false; }
    ScopedFlag(const ScopedFlag&) = delete;
    ScopedFlag& operator=(const ScopedFlag&) = delete;

  private:
    bool& flag_;
};

}  // namespace

Station::Station(StationView& view, TrackingLink& link, RotorPort& port, TickTimer& timer)
    : view_(view), link_(link), port_(port), timer_(timer) {}

void Station::startStation() {
    view_.moveToScreenTop();
    // A failure skips the remaining preparations but never the locking of the displays. Once
    // the timer runs, the ticks show it (a missing tracking program, say); a failure before
    // that leaves the station without ticks and shows nothing, but only the station's own
    // constants (port number, line settings, names, period) can make those steps fail.
    (void)withoutExceptions([this] { return prepare(); });
    for (Frame frame : {Frame::Frame1, Frame::Frame2, Frame::Frame3}) {
        view_.disableFrame(frame);
    }
}

Status Station::prepare() {
    if (Status s = port_.configure(kRotorPortNumber, kRotorLineSettings); !s.ok()) {
        return s;
    }
    for (Surface surface : {Surface::Form1, Surface::Opt_normal, Surface::Opt_invertido,
                            Surface::chk_update, Surface::Label1}) {
        view_.setBackground(surface, kStationGreen);
    }
    if (Status s = link_.setTopic(kTrackingTopic); !s.ok()) {
        return s;
    }
    if (Status s = link_.setItem(kTrackingItem); !s.ok()) {
        return s;
    }
    if (Status s = timer_.setPeriod(kTickPeriodMs); !s.ok()) {
        return s;
    }
    return link_.openManual();
}

void Station::enter(Entry entry) {
    if (entry == Entry::SessionEnd) {
        endStation();  // never waits: the process may not live to see the running entry end
        return;
    }
    if (running_) {
        // Deferred until the running entry has ended; a tick meanwhile is dropped.
        stopsDeferred_ += entry == Entry::Stop ? 1 : 0;
        switchDeferred_ = switchDeferred_ || entry == Entry::SendSwitched;
        closeDeferred_ = closeDeferred_ || entry == Entry::Close;
        return;
    }
    bool closing = entry == Entry::Close;
    {
        const ScopedFlag running(running_);
        run(entry);
        while (stopsDeferred_ > 0 || switchDeferred_) {
            if (stopsDeferred_ > 0) {
                --stopsDeferred_;
                run(Entry::Stop);
            } else {
                switchDeferred_ = false;
                run(Entry::SendSwitched);
            }
        }
        if (closeDeferred_ && !closing) {
            closeDeferred_ = false;
            closing = true;
            run(Entry::Close);
        }
    }
    if (closing) {
        view_.closeWindow();  // last: the window may go as soon as this returns
    }
}

void Station::run(Entry entry) {
    // Whatever throws is one more failure: the deferred entries and the close still run.
    (void)withoutExceptions([this, entry] {
        runUnguarded(entry);
        return Status::success();
    });
}

void Station::runUnguarded(Entry entry) {
    switch (entry) {
        case Entry::Tick:
            runTrackingTick();
            break;
        case Entry::Stop:
            stopRotor();
            break;
        case Entry::SendSwitched:
            sendingSwitched();
            break;
        case Entry::Close:
        case Entry::SessionEnd:
            endStation();
            break;
    }
}

void Station::runTrackingTick() {
    if (ended_) {
        return;
    }
    // The display of the outcome is inside the barrier too: a throw there must not leave the
    // tick half shown.
    (void)withoutExceptions([this] {
        view_.raiseTopmost();
        const Status outcome = withoutExceptions([this] { return trackOnce(); });
        if (!view_.sendTicked()) {
            (void)releasePort();  // switched off meanwhile, whatever became of the tick
        }
        if (outcome.ok()) {
            view_.showFailure({});
        } else {
            showError(outcome);
        }
        return Status::success();
    });
}

Status Station::trackOnce() {
    std::wstring record;
    if (Status s = link_.request(record); !s.ok()) {
        return s;
    }
    view_.setFieldText(Field::Label1, record);
    const ParsedRecord parsed = parseTrackingRecord(view_.fieldText(Field::Label1));
    const TrackingRecord& r = parsed.record;
    // Each value is shown as soon as it is cut, so a record that breaks late still updates the
    // fields before the break.
    const std::array<std::pair<Field, const std::wstring*>, 5> values = {{
        {Field::txt_nombre, &r.name},
        {Field::txt_azi, &r.azimuth},
        {Field::txt_ele, &r.elevation},
        {Field::txt_down, &r.downlink},
        {Field::txt_up, &r.uplink},
    }};
    for (int k = 0; k < parsed.fieldsCut; ++k) {
        view_.setFieldText(values[k].first, *values[k].second);
        if (values[k].first == Field::txt_ele) {
            const auto elevation = numberFromText(view_.fieldText(Field::txt_ele));
            if (!elevation) {
                return Status::failure("reading", "the elevation", "out of range");
            }
            view_.setTextColour(Field::txt_ele, *elevation >= 0 ? kBlack : kRed);
        }
    }
    if (parsed.failed) {
        return Status::failure("cutting", "the tracking record", "a value is missing");
    }

    // The window is the station's state: later steps read back what the displays now hold.
    const auto mirror =
        mirrorPosition(view_.fieldText(Field::txt_azi), view_.fieldText(Field::txt_ele));
    if (!mirror) {
        return Status::failure("mirroring", "the position", "out of range");
    }
    view_.setFieldText(Field::txt_iazi, mirror->azimuth);
    view_.setFieldText(Field::txt_iele, mirror->elevation);

    if (!view_.sendTicked()) {
        return Status::success();
    }
    const bool normal = view_.normalSelected();
    const auto command = pointCommand(view_.fieldText(normal ? Field::txt_azi : Field::txt_iazi),
                                      view_.fieldText(normal ? Field::txt_ele : Field::txt_iele));
    if (!command) {
        return Status::failure("making", "the point command", "position out of range");
    }
    return sendToRotor(*command);
}

void Station::stopRotor() {
    if (ended_) {
        return;
    }
    (void)withoutExceptions([this] {
        const Status sent = withoutExceptions([this] {
            const Status written = sendToRotor(stopCommand());
            // Sending goes off with Stop, so the port is free again whether or not the command
            // went; it is closed only once the command has left.
            const Status released = releasePort();
            return written.ok() ? released : written;
        });
        if (!sent.ok()) {
            // The rotor may still be turning: sending stays on so the operator sees nothing
            // changed.
            showError(sent);
            return Status::success();
        }
        view_.untickSend();
        return Status::success();
    });
}

void Station::sendingSwitched() {
    if (!view_.sendTicked()) {
        (void)releasePort();
    }
}

void Station::endStation() {
    ended_ = true;
    (void)releasePort();
}

// The port is held from the first command after sending is switched on until sending goes off
// or a command fails: many controllers reset whenever the port is opened, and would take no
// command at all if it were opened for each one.
Status Station::sendToRotor(const std::wstring& command) {
    if (ended_) {
        // The session ended while this tick waited for the tracking program: the port stays
        // closed, whatever the tick was about to send.
        return Status::success();
    }
    if (!port_.isOpen()) {
        if (Status s = port_.open(); !s.ok()) {
            return s;
        }
    }
    const Status written = port_.write(command);
    if (!written.ok()) {
        // Opened afresh by the next command: an adapter that was pulled out and put back is
        // found again, and a port left in a failed state would refuse every later command. The
        // failed write left nothing queued.
        port_.close();
    }
    return written;
}

// What was written is on the line before the port is let go: a close straight after a write may
// drop the bytes still queued in the driver.
Status Station::releasePort() {
    if (!port_.isOpen()) {
        return Status::success();
    }
    const Status drained = port_.drain();
    port_.close();
    return drained;
}

void Station::showError(const Status& failure) {
    view_.setFieldText(Field::Label1, kErrorMessage);
    view_.setRawTextBold(!view_.rawTextBold());
    view_.showFailure(failure.text().empty() ? std::string("failed") : failure.text());
}

}  // namespace vorkel
