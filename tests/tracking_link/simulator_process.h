// Runs the simulated tracking program for one test and makes sure it is gone afterwards.
#pragma once

#include <windows.h>

#include <string>

#include "win/handles.h"
#include "win/message_pump.h"

namespace vorkel::testing {

using KernelHandle = win::UniqueKernelHandle;

using win::pumpMessages;

class SimulatorProcess {
  public:
    // Starts tracking_simulator.exe (found through VORKEL_TRACKING_SIMULATOR) with the
    // arguments and waits until its DDE name is registered. Check started() afterwards.
    explicit SimulatorProcess(const std::wstring& arguments);
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess&) = delete;
    SimulatorProcess& operator=(const SimulatorProcess&) = delete;

    bool started() const { return started_; }
    const std::string& problem() const { return problem_; }
    // The simulator's request log (see --log).
    std::string log() const;
    int requestsLogged() const;
    // Asks the program to end as a user would (WM_CLOSE), then waits for it.
    bool close(DWORD milliseconds = 5000);
    // Ends the program at once, as a crash would.
    void kill();
    bool exited(DWORD milliseconds = 0) const;

  private:
    KernelHandle process_;
    DWORD processId_ = 0;
    std::wstring logPath_;
    bool started_ = false;
    std::string problem_;
};

}  // namespace vorkel::testing
