// Asks the tracking program for its record over and over through the station's own DDE link,
// and reports what came back and how long each round trip took. For the link's tests and its
// benchmark; run with --help for usage.

// clang-format off
#include <windows.h>
// clang-format on

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "links/dde_client.h"
#include "win/handles.h"
#include "win/message_pump.h"

namespace {

constexpr wchar_t kUsage[] =
    L"tracking_probe [options]  requests the tracking record over DDE, repeatedly\n"
    L"  --topic APP|TOPIC  default Orbitron|Tracking\n"
    L"  --item ITEM        default TrackingData\n"
    L"  --count N          number of requests (default 1)\n"
    L"  --interval MS      pause between requests, pumping messages (default 0)\n"
    L"  --out FILE         one line per request: number, ok/fail, milliseconds, text\n"
    L"  --bench            print median, 99th percentile and maximum of the round trips\n";

// Control characters and non-ASCII as escapes, so that a record stays on its line.
std::string visible(std::wstring_view text) {
    std::string result;
    for (const wchar_t c : text) {
        if (c >= 0x20 && c < 0x7F && c != L'\\') {
            result += static_cast<char>(c);
        } else if (c == L'\\') {
            result += "\\\\";
        } else if (c == L'\r') {
            result += "\\r";
        } else if (c == L'\n') {
            result += "\\n";
        } else {
            char code[16];
            std::snprintf(code, sizeof code, "\\u%04X", static_cast<unsigned>(c));
            result += code;
        }
    }
    return result;
}

double percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * double(values.size() - 1) + 0.5);
    return values[index];
}

int run(int argc, wchar_t** argv) {
    std::wstring topic = L"Orbitron|Tracking";
    std::wstring item = L"TrackingData";
    unsigned long count = 1;
    unsigned long interval = 0;
    std::wstring outPath;
    bool bench = false;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view option = argv[i];
        const bool hasValue = i + 1 < argc;
        if (option == L"--bench") {
            bench = true;
        } else if (option == L"--topic" && hasValue) {
            topic = argv[++i];
        } else if (option == L"--item" && hasValue) {
            item = argv[++i];
        } else if (option == L"--count" && hasValue) {
            count = std::wcstoul(argv[++i], nullptr, 10);
        } else if (option == L"--interval" && hasValue) {
            interval = std::wcstoul(argv[++i], nullptr, 10);
        } else if (option == L"--out" && hasValue) {
            outPath = argv[++i];
        } else {
            std::fwprintf(option == L"--help" ? stdout : stderr, L"%ls", kUsage);
            return option == L"--help" ? 0 : 2;
        }
    }
    vorkel::win::UniqueCFile out;
    if (!outPath.empty()) {
        out.reset(_wfopen(outPath.c_str(), L"w"));
        if (!out) {
            std::fprintf(stderr, "tracking_probe: cannot write the output file\n");
            return 2;
        }
    }
    auto report = [&](const std::string& line) {
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
        if (out) {
            std::fprintf(out.get(), "%s\n", line.c_str());
            std::fflush(out.get());
        }
    };

    vorkel::DdeClient link;
    for (const vorkel::Status& status : {link.setTopic(topic), link.setItem(item)}) {
        if (!status.ok()) {
            report("setup fail " + status.text());
            return 1;
        }
    }
    if (const vorkel::Status opened = link.openManual(); !opened.ok()) {
        report("open fail " + opened.text());
        return 1;
    }

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> roundTrips;
    unsigned long failures = 0;
    for (unsigned long n = 1; n <= count; ++n) {
        vorkel::win::pumpMessages(interval);
        LARGE_INTEGER before;
        LARGE_INTEGER after;
        QueryPerformanceCounter(&before);
        std::wstring record;
        const vorkel::Status status = link.request(record);
        QueryPerformanceCounter(&after);
        const double ms =
            double(after.QuadPart - before.QuadPart) * 1000.0 / double(frequency.QuadPart);
        char head[64];
        std::snprintf(head, sizeof head, "%lu %s %.3f ", n, status.ok() ? "ok" : "fail", ms);
        report(head + (status.ok() ? visible(record) : status.text()));
        if (status.ok()) {
            roundTrips.push_back(ms);
        } else {
            ++failures;
        }
    }
    if (bench && !roundTrips.empty()) {
        char summary[256];
        std::snprintf(summary, sizeof summary,
                      "round trips: %zu answered, %lu failed; median %.3f ms, 99th percentile "
                      "%.3f ms, maximum %.3f ms",
                      roundTrips.size(), failures, percentile(roundTrips, 0.5),
                      percentile(roundTrips, 0.99), percentile(roundTrips, 1.0));
        report(summary);
    }
    return failures == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tracking_probe: %s\n", e.what());
        return 1;
    }
}
