#include "tests/tracking_link/simulator_process.h"

#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace vorkel::testing {

namespace {

constexpr DWORD kStartTimeoutMs = 20000;

std::wstring environment(const wchar_t* name) {
    wchar_t buffer[MAX_PATH * 2];
    const DWORD length = GetEnvironmentVariableW(name, buffer, MAX_PATH * 2);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(buffer, length) : std::wstring();
}

struct CloseRequest {
    DWORD processId;
    int windows;
};

BOOL CALLBACK closeWindowsOf(HWND window, LPARAM context) {
    auto* request = reinterpret_cast<CloseRequest*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    wchar_t className[64] = {};
    GetClassNameW(window, className, 64);
    if (owner == request->processId && std::wstring_view(className) == L"VorkelTrackingSimulator") {
        PostMessageW(window, WM_CLOSE, 0, 0);
        ++request->windows;
    }
    return TRUE;
}

}  // namespace

SimulatorProcess::SimulatorProcess(const std::wstring& arguments) {
    static int serial = 0;
    const std::wstring program = environment(L"VORKEL_TRACKING_SIMULATOR");
    if (program.empty()) {
        problem_ = "VORKEL_TRACKING_SIMULATOR is not set";
        return;
    }
    const std::wstring tag =
        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    logPath_ = std::wstring(temp) + L"vorkel-simulator-" + tag + L".log";
    const std::wstring eventName = L"Local\\vorkel-simulator-ready-" + tag;
    const KernelHandle ready(CreateEventW(nullptr, TRUE, FALSE, eventName.c_str()));
    if (!ready) {
        problem_ = "cannot make the ready event";
        return;
    }

    std::wstring commandLine = L"\"" + program + L"\" --log \"" + logPath_ + L"\" --ready-event " +
                               eventName + L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        nullptr, &startup, &info)) {
        problem_ = "cannot start the simulator: error " + std::to_string(GetLastError());
        return;
    }
    CloseHandle(info.hThread);
    process_.reset(info.hProcess);
    processId_ = info.dwProcessId;

    const HANDLE waitFor[] = {ready.get(), process_.get()};
    const DWORD result = win::pumpMessagesUntil(2, waitFor, kStartTimeoutMs);
    if (result == WAIT_OBJECT_0) {
        started_ = true;
    } else if (result == WAIT_OBJECT_0 + 1) {
        problem_ = "the simulator ended at once; its log: " + log();
    } else {
        problem_ = "the simulator did not get ready in time";
    }
}

SimulatorProcess::~SimulatorProcess() {
    if (process_ && !exited() && !close(3000)) {
        kill();
    }
    if (!logPath_.empty()) {
        DeleteFileW(logPath_.c_str());
    }
}

std::string SimulatorProcess::log() const {
    std::string content;
    std::FILE* file = _wfopen(logPath_.c_str(), L"rb");
    if (file == nullptr) {
        return content;
    }
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        content.append(buffer, got);
    }
    std::fclose(file);
    return content;
}

int SimulatorProcess::requestsLogged() const {
    const std::string text = log();
    int count = 0;
    for (std::size_t at = text.find(" request "); at != std::string::npos;
         at = text.find(" request ", at + 1)) {
        ++count;
    }
    return count;
}

bool SimulatorProcess::close(DWORD milliseconds) {
    if (!process_) {
        return true;
    }
    CloseRequest request{processId_, 0};
    EnumWindows(closeWindowsOf, reinterpret_cast<LPARAM>(&request));
    return request.windows > 0 && exited(milliseconds);
}

void SimulatorProcess::kill() {
    if (process_) {
        TerminateProcess(process_.get(), 9);
        exited(5000);
    }
}

bool SimulatorProcess::exited(DWORD milliseconds) const {
    if (!process_) {
        return true;
    }
    const HANDLE handle = process_.get();
    return win::pumpMessagesUntil(1, &handle, milliseconds) == WAIT_OBJECT_0;
}

}  // namespace vorkel::testing
