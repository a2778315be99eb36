// Drives SerialRotorPort step by step from its command line, for the Wine tests:
//   rotor_port_probe configure 1 9600,n,8,1 open write "W123 045\r" close
// Each step prints one line "<n> <step> <ms>ms: ok" or "<n> <step> <ms>ms: failed: <why>", with
// the time the step took; the caller judges.
// Steps: configure N SETTINGS | open | write TEXT | drain | close | state | sleep MS
//        | signal FILE (creates it) | wait FILE (until it exists) | hold DEVICE | release
// TEXT takes \r \n \t \\ \xHH and \uHHHH escapes.
#include <windows.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "links/serial_rotor_port.h"
#include "links/windows_failure.h"
#include "win/handles.h"
#include "win/text_conversion.h"

namespace {

using File = vorkel::win::UniqueFile;

int hexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return c - L'0';
    }
    if (c >= L'a' && c <= L'f') {
        return c - L'a' + 10;
    }
    if (c >= L'A' && c <= L'F') {
        return c - L'A' + 10;
    }
    return -1;
}

bool unescape(std::wstring_view in, std::wstring& out) {
    out.clear();
    for (std::size_t i = 0; i < in.size(); ++i) {
        if (in[i] != L'\\') {
            out += in[i];
            continue;
        }
        if (++i == in.size()) {
            return false;
        }
        std::size_t digits = 0;
        switch (in[i]) {
            case L'r':
                out += L'\r';
                continue;
            case L'n':
                out += L'\n';
                continue;
            case L't':
                out += L'\t';
                continue;
            case L'\\':
                out += L'\\';
                continue;
            case L'x':
                digits = 2;
                break;
            case L'u':
                digits = 4;
                break;
            default:
                return false;
        }
        int value = 0;
        for (std::size_t d = 0; d < digits; ++d) {
            const int h = ++i < in.size() ? hexValue(in[i]) : -1;
            if (h < 0) {
                return false;
            }
            value = value * 16 + h;
        }
        out += static_cast<wchar_t>(value);
    }
    return true;
}

DWORD stepStart = 0;  // GetTickCount(); unsigned differences make wrap-around harmless

void report(int index, std::wstring_view step, const vorkel::Status& status) {
    std::string line = std::to_string(index) + " " + vorkel::win::utf8FromWide(step) + " " +
                       std::to_string(GetTickCount() - stepStart) + "ms";
    line += status.ok() ? ": ok" : ": failed: " + status.text();
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

bool fileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

int usage(const char* why) {
    std::fprintf(stderr, "rotor_port_probe: %s\n", why);
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    vorkel::SerialRotorPort port;
    File held;
    int index = 0;
    for (int i = 1; i < argc; ++i) {
        const std::wstring step = argv[i];
        const auto argument = [&]() -> const wchar_t* {
            return i + 1 < argc ? argv[++i] : nullptr;
        };
        ++index;
        stepStart = GetTickCount();
        if (step == L"configure") {
            const wchar_t* number = argument();
            const wchar_t* settings = argument();
            if (!number || !settings) {
                return usage("configure needs a port number and settings");
            }
            report(index, step, port.configure(_wtoi(number), settings));
        } else if (step == L"open") {
            report(index, step, port.open());
        } else if (step == L"write") {
            const wchar_t* raw = argument();
            std::wstring text;
            if (!raw || !unescape(raw, text)) {
                return usage("write needs a text with valid escapes");
            }
            report(index, step, port.write(text));
        } else if (step == L"drain") {
            report(index, step, port.drain());
        } else if (step == L"close") {
            port.close();
            report(index, step, vorkel::Status::success());
        } else if (step == L"state") {
            report(index, port.isOpen() ? L"state open" : L"state closed",
                   vorkel::Status::success());
        } else if (step == L"sleep") {
            const wchar_t* ms = argument();
            if (!ms) {
                return usage("sleep needs milliseconds");
            }
            Sleep(static_cast<DWORD>(_wtoi(ms)));
            report(index, step, vorkel::Status::success());
        } else if (step == L"signal") {
            const wchar_t* path = argument();
            if (!path) {
                return usage("signal needs a file");
            }
            File file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
            report(index, step,
                   file ? vorkel::Status::success()
                        : vorkel::windowsFailure("creating", path, GetLastError()));
        } else if (step == L"wait") {
            const wchar_t* path = argument();
            if (!path) {
                return usage("wait needs a file");
            }
            while (!fileExists(path) && GetTickCount() - stepStart < 30000) {
                Sleep(10);
            }
            report(index, step,
                   fileExists(path) ? vorkel::Status::success()
                                    : vorkel::Status::failure("nothing came within 30 s"));
        } else if (step == L"hold") {
            // Another program's view of the device: plain exclusive open, nothing set up.
            const wchar_t* path = argument();
            if (!path) {
                return usage("hold needs a device");
            }
            held.reset(CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                                   nullptr));
            report(index, step,
                   held ? vorkel::Status::success()
                        : vorkel::windowsFailure("opening", path, GetLastError()));
        } else if (step == L"release") {
            held.reset();
            report(index, step, vorkel::Status::success());
        } else {
            return usage("unknown step");
        }
    }
    return 0;
}
