// A stand-in for the tracking program: a DDE server of application "Orbitron", topic
// "Tracking", item "TrackingData", answering requests with one-line records as CF_TEXT.
// It can also misbehave on purpose, for the station's fault tests. Run with --help for usage.

// clang-format off
#include <windows.h>
#include <ddeml.h>
// clang-format on

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "station/exception_barrier.h"
#include "tools/win/ddeml_handles.h"
#include "win/handles.h"
#include "win/text_conversion.h"

namespace {

using vorkel::win::DdeInstance;
using vorkel::win::DdeString;
using vorkel::win::makeDdeString;

constexpr wchar_t kUsage[] =
    L"tracking_simulator [options]  serves Orbitron|Tracking!TrackingData over DDE\n"
    L"Records (one of):\n"
    L"  --record TEXT      a fixed record; \\r \\n \\t \\\\ and \\xHH stand for bytes\n"
    L"  --repeat N         serve the fixed record N times over as one record\n"
    L"  --script FILE      one record per line of FILE (CR LF is added to each)\n"
    L"  --pass NAME        a generated satellite pass (the default, as AO-7); NAME is one of\n"
    L"                     the element-set names below, blanks and all (quote it), or any\n"
    L"                     other name without blanks\n"
    L"  --padded           send the pass's name padded with blanks to 24 columns, as the\n"
    L"                     element files hold it\n"
    L"  --random N         N random bytes, new ones for every request\n"
    L"  --raw              send the bytes alone; normally a NUL ends them, as in CF_TEXT\n"
    L"Pace of --script and --pass:\n"
    L"  --advance request  next record on every request (the default)\n"
    L"  --advance second   next record every second\n"
    L"  --speed X          pass seconds per step (default 1)\n"
    L"  --max-el DEG       highest elevation of the pass (default 62)\n"
    L"Faults:\n"
    L"  --refuse           refuse every request\n"
    L"  --delay MS         answer every request MS milliseconds late\n"
    L"  --delay-only N     delay only request number N\n"
    L"  --hang-after N     answer N requests, then none at all (0: never answer)\n"
    L"  --quit-after N     end the program after answering N requests\n"
    L"Other:\n"
    L"  --seconds N        end the program after N seconds\n"
    L"  --log FILE         log every request with a time stamp in milliseconds\n"
    L"  --log-records      also log each answer's record (escaped, at most 200 bytes)\n"
    L"  --ready-event NAME set the named event once the server is registered\n"
    L"Element-set names for --pass (downlink/uplink in MHz; other names: 145.95/435.1):\n";

constexpr wchar_t kWindowClass[] = L"VorkelTrackingSimulator";
constexpr UINT_PTR kSecondsTimer = 1;

// Names as the common element files give them, with their frequencies; a frequency the user
// set none for is sent as 0, as the tracking program does.
struct Satellite {
    const char* name;
    double downlinkHz;
    double uplinkHz;
};
constexpr Satellite kSatellites[] = {
    {"NOAA 15", 137.62e6, 0},
    {"NOAA 18", 137.9125e6, 0},
    {"NOAA 19", 137.1e6, 0},
    {"METEOR-M 2", 137.1e6, 0},
    {"METEOR-M2 3", 137.9e6, 0},
    {"OSCAR 7 (AO-7)", 145.95e6, 435.1e6},
    {"SAUDISAT 1C (SO-50)", 436.795e6, 145.85e6},
    {"JAS-2 (FO-29)", 435.85e6, 145.95e6},
    {"FUNCUBE-1 (AO-73)", 145.935e6, 435.14e6},
    {"ISS (ZARYA)", 145.8e6, 145.2e6},
};
constexpr Satellite kOtherSatellite = {nullptr, 145.95e6, 435.1e6};
constexpr std::size_t kElementNameColumns = 24;

const Satellite& satelliteNamed(const std::string& name) {
    for (const Satellite& satellite : kSatellites) {
        if (name == satellite.name) {
            return satellite;
        }
    }
    return kOtherSatellite;
}

enum class Source { Fixed, Script, Pass, Random };
enum class Advance { Request, Second };

struct Options {
    Source source = Source::Pass;
    std::string record;
    unsigned long repeat = 1;
    std::wstring scriptPath;
    std::string passName = "AO-7";
    unsigned long randomBytes = 0;
    Advance advance = Advance::Request;
    double speed = 1.0;
    double maxElevation = 62.0;
    bool raw = false;
    bool padded = false;
    bool logRecords = false;
    bool refuse = false;
    unsigned long delayMs = 0;
    unsigned long delayOnly = 0;
    std::optional<unsigned long> hangAfter;
    unsigned long quitAfter = 0;
    unsigned long seconds = 0;
    std::wstring logPath;
    std::wstring readyEvent;
};

std::optional<unsigned> hexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') {
        return unsigned(c - L'0');
    }
    if (c >= L'a' && c <= L'f') {
        return unsigned(c - L'a' + 10);
    }
    if (c >= L'A' && c <= L'F') {
        return unsigned(c - L'A' + 10);
    }
    return std::nullopt;
}

// The record's text goes out in the ANSI code page; escapes give raw bytes, NULs included.
std::optional<std::string> unescapeRecord(std::wstring_view text) {
    std::string bytes;
    std::wstring plain;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != L'\\') {
            plain += text[i];
            continue;
        }
        bytes += vorkel::win::narrowFromWide(plain, CP_ACP);
        plain.clear();
        if (++i == text.size()) {
            return std::nullopt;
        }
        switch (text[i]) {
            case L'r':
                bytes += '\r';
                break;
            case L'n':
                bytes += '\n';
                break;
            case L't':
                bytes += '\t';
                break;
            case L'\\':
                bytes += '\\';
                break;
            case L'x': {
                const auto high = i + 1 < text.size() ? hexDigit(text[i + 1]) : std::nullopt;
                const auto low = i + 2 < text.size() ? hexDigit(text[i + 2]) : std::nullopt;
                if (!high || !low) {
                    return std::nullopt;
                }
                bytes += static_cast<char>(*high * 16 + *low);
                i += 2;
                break;
            }
            default:
                return std::nullopt;
        }
    }
    return bytes + vorkel::win::narrowFromWide(plain, CP_ACP);
}

std::optional<unsigned long> wholeNumber(const wchar_t* text) {
    wchar_t* end = nullptr;
    errno = 0;
    const unsigned long value = std::wcstoul(text, &end, 10);
    if (end == text || *end != L'\0' || errno != 0 || text[0] == L'-') {
        return std::nullopt;
    }
    return value;
}

std::optional<double> realNumber(const wchar_t* text) {
    wchar_t* end = nullptr;
    const double value = std::wcstod(text, &end);
    if (end == text || *end != L'\0' || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

std::optional<Options> parseOptions(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view option = argv[i];
        if (option == L"--refuse" || option == L"--raw" || option == L"--log-records" ||
            option == L"--padded") {
            (option == L"--raw"      ? options.raw
             : option == L"--refuse" ? options.refuse
             : option == L"--padded" ? options.padded
                                     : options.logRecords) = true;
            continue;
        }
        if (i + 1 >= argc) {
            return std::nullopt;
        }
        const wchar_t* value = argv[++i];
        auto number = [&](auto& target) {
            const auto parsed = wholeNumber(value);
            if (parsed) {
                target = *parsed;
            }
            return parsed.has_value();
        };
        bool ok = true;
        if (option == L"--record") {
            const auto record = unescapeRecord(value);
            ok = record.has_value();
            options.source = Source::Fixed;
            options.record = record.value_or("");
        } else if (option == L"--repeat") {
            ok = number(options.repeat);
        } else if (option == L"--script") {
            options.source = Source::Script;
            options.scriptPath = value;
        } else if (option == L"--pass") {
            options.source = Source::Pass;
            options.passName = vorkel::win::narrowFromWide(value, CP_ACP);
            ok = !options.passName.empty() && (options.passName.find(' ') == std::string::npos ||
                                               satelliteNamed(options.passName).name != nullptr);
        } else if (option == L"--random") {
            options.source = Source::Random;
            ok = number(options.randomBytes);
        } else if (option == L"--advance") {
            ok = std::wstring_view(value) == L"request" || std::wstring_view(value) == L"second";
            options.advance =
                std::wstring_view(value) == L"second" ? Advance::Second : Advance::Request;
        } else if (option == L"--speed") {
            const auto speed = realNumber(value);
            ok = speed && *speed > 0;
            options.speed = speed.value_or(1.0);
        } else if (option == L"--max-el") {
            const auto elevation = realNumber(value);
            ok = elevation && *elevation > 0 && *elevation <= 90;
            options.maxElevation = elevation.value_or(62.0);
        } else if (option == L"--delay") {
            ok = number(options.delayMs);
        } else if (option == L"--delay-only") {
            ok = number(options.delayOnly);
        } else if (option == L"--hang-after") {
            unsigned long count = 0;
            ok = number(count);
            options.hangAfter = count;
        } else if (option == L"--quit-after") {
            ok = number(options.quitAfter);
        } else if (option == L"--seconds") {
            // SetTimer counts milliseconds in 32 bits.
            ok = number(options.seconds) && options.seconds <= 2'000'000;
        } else if (option == L"--log") {
            options.logPath = value;
        } else if (option == L"--ready-event") {
            options.readyEvent = value;
        } else {
            ok = false;
        }
        if (!ok) {
            return std::nullopt;
        }
    }
    return options;
}

// A circular orbit 800 km up passing the station; the Earth does not turn under it, which
// matters little over one pass. Angles in degrees, frequencies as heard on the ground.
class PassModel {
  public:
    PassModel(double maxElevation, const Satellite& satellite)
        : downlinkHz_(satellite.downlinkHz), uplinkHz_(satellite.uplinkHz) {
        // Central angle between station and satellite at closest approach, for that maximum.
        double low = 0.0;
        double high = 0.5;
        for (int i = 0; i < 60; ++i) {
            const double middle = (low + high) / 2;
            (elevationAt(middle, 0.0) > maxElevation ? low : high) = middle;
        }
        closest_ = low;
        // Half the pass: from a little below the horizon to the highest point.
        double before = 0.0;
        double after = 3.0 / rate_;
        for (int i = 0; i < 60; ++i) {
            const double middle = (before + after) / 2;
            (elevationAt(closest_, middle) > -3.0 ? before : after) = middle;
        }
        halfPass_ = before;
    }

    struct Point {
        double azimuth;
        double elevation;
        double downlinkHz;
        double uplinkHz;
    };

    // Seconds since the pass began; passes repeat one after the other.
    Point at(double seconds) const {
        const double t = std::fmod(seconds, 2 * halfPass_) - halfPass_;
        const double rangeRate = (range(closest_, t + 0.5) - range(closest_, t - 0.5)) * 1000.0;
        const double shift = rangeRate / kLightSpeed;
        return {azimuthAt(closest_, t), elevationAt(closest_, t), downlinkHz_ * (1.0 - shift),
                uplinkHz_ * (1.0 + shift)};
    }

  private:
    static constexpr double kEarthRadius = 6371.0;  // km
    static constexpr double kOrbitRadius = kEarthRadius + 800.0;
    static constexpr double kLightSpeed = 299792458.0;
    static constexpr double kDegrees = 180.0 / 3.14159265358979323846;

    struct Vector {
        double x, y, z;
    };
    static double dot(Vector a, Vector b) { return a.x * b.x + a.y * b.y + a.z * b.z; }

    // Station at (cos b, 0, sin b) on a unit sphere, orbit in the x-y plane, so that the
    // satellite comes nearest at t = 0 moving towards +y: local north is (-sin b, 0, cos b)
    // and east is +y.
    Vector offset(double closest, double t) const {
        const double angle = rate_ * t;
        return {kOrbitRadius * std::cos(angle) - kEarthRadius * std::cos(closest),
                kOrbitRadius * std::sin(angle), -kEarthRadius * std::sin(closest)};
    }
    double range(double closest, double t) const {
        const Vector d = offset(closest, t);
        return std::sqrt(dot(d, d));
    }
    double elevationAt(double closest, double t) const {
        const Vector up{std::cos(closest), 0.0, std::sin(closest)};
        return std::asin(dot(offset(closest, t), up) / range(closest, t)) * kDegrees;
    }
    double azimuthAt(double closest, double t) const {
        const Vector north{-std::sin(closest), 0.0, std::cos(closest)};
        const Vector east{0.0, 1.0, 0.0};
        const Vector d = offset(closest, t);
        const double azimuth = std::atan2(dot(d, east), dot(d, north)) * kDegrees + kHeading;
        return std::fmod(azimuth + 720.0, 360.0);
    }

    static constexpr double kHeading = 25.0;  // turns the track away from due west-east
    double downlinkHz_;
    double uplinkHz_;
    double rate_ = std::sqrt(398600.4418 / (kOrbitRadius * kOrbitRadius * kOrbitRadius));
    double closest_ = 0.0;
    double halfPass_ = 600.0;
};

// Bytes as one log word: printable ASCII as is, the rest as \xHH; cut after 200 bytes.
std::string escaped(const std::string& bytes) {
    constexpr std::size_t kShown = 200;
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < kShown; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        if (byte >= 0x20 && byte < 0x7F && byte != '\\' && byte != '"') {
            out += static_cast<char>(byte);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", byte);
            out += hex;
        }
    }
    return bytes.size() > kShown ? out + "..." : out;
}

std::string passRecord(std::string name, bool padded, const PassModel::Point& point) {
    if (padded && name.size() < kElementNameColumns) {
        name.resize(kElementNameColumns, ' ');
    }
    // One decimal, and 359.96 must come out as 0.0 rather than 360.0.
    double azimuth = std::round(point.azimuth * 10.0) / 10.0;
    if (azimuth >= 360.0) {
        azimuth -= 360.0;
    }
    char text[128];
    std::snprintf(text, sizeof text, " AZ%.1f EL%.1f DN%.0f UP%.0f\r\n", azimuth, point.elevation,
                  std::round(point.downlinkHz), std::round(point.uplinkHz));
    return "SN" + name + text;
}

class Simulator {
  public:
    Simulator(Options options, std::vector<std::string> script)
        : options_(std::move(options)),
          script_(std::move(script)),
          pass_(options_.maxElevation, satelliteNamed(options_.passName)),
          random_(std::random_device{}()) {
        QueryPerformanceFrequency(&frequency_);
        QueryPerformanceCounter(&start_);
    }

    bool openLog() {
        if (options_.logPath.empty()) {
            return true;
        }
        log_.reset(_wfopen(options_.logPath.c_str(), L"w"));
        return log_.valid();
    }

    void log(const char* format, auto... values) {
        if (!log_) {
            return;
        }
        std::fprintf(log_.get(), "%.3f ", elapsedSeconds() * 1000.0);
        std::fprintf(log_.get(), format, values...);
        std::fputc('\n', log_.get());
        // Each line at once: tests read the log while we run, and a crash keeps what was said.
        std::fflush(log_.get());
    }

    HDDEDATA request(DWORD instance, HSZ item, UINT format) {
        const unsigned long number = ++requests_;
        const double received = unixSeconds();
        if (format != CF_TEXT) {
            log("request %lu refused format %u", number, format);
            return nullptr;
        }
        if (options_.refuse) {
            log("request %lu refused", number);
            return nullptr;
        }
        if (options_.hangAfter && number > *options_.hangAfter) {
            log("request %lu unanswered", number);
            return CBR_BLOCK;
        }
        const bool late = options_.delayOnly == 0 || options_.delayOnly == number;
        if (options_.delayMs > 0 && late) {
            Sleep(options_.delayMs);
        }
        std::string record = nextRecord(number);
        if (!options_.raw) {
            record += '\0';
        }
        const HDDEDATA data = DdeCreateDataHandle(
            instance, reinterpret_cast<LPBYTE>(const_cast<char*>(record.data())),
            static_cast<DWORD>(record.size()), 0, item, CF_TEXT, 0);
        // The wall-clock time of arrival lets the tests pair a request with what the station
        // then sent to the rotor controller, whose simulator logs the same clock.
        if (options_.logRecords) {
            log("request %lu answered %zu bytes received %.6f record \"%s\"", number, record.size(),
                received, escaped(record).c_str());
        } else {
            log("request %lu answered %zu bytes received %.6f", number, record.size(), received);
        }
        if (options_.quitAfter != 0 && number >= options_.quitAfter) {
            // The answer is posted before our window sees the quit, so it still arrives.
            log("quitting after %lu requests", number);
            PostQuitMessage(0);
        }
        return data;
    }

    static double unixSeconds() {
        FILETIME now;
        GetSystemTimePreciseAsFileTime(&now);
        const ULONGLONG ticks = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;
        constexpr ULONGLONG kUnixEpoch = 116444736000000000ULL;  // 1970 in 100 ns since 1601
        return double(ticks - kUnixEpoch) / 1e7;
    }

    double elapsedSeconds() const {
        LARGE_INTEGER now;
        QueryPerformanceCounter(&now);
        return double(now.QuadPart - start_.QuadPart) / double(frequency_.QuadPart);
    }

    const Options& options() const { return options_; }

  private:
    std::string nextRecord(unsigned long number) {
        const double step =
            options_.advance == Advance::Second ? std::floor(elapsedSeconds()) : double(number - 1);
        switch (options_.source) {
            case Source::Fixed: {
                std::string record;
                record.reserve(options_.record.size() * options_.repeat);
                for (unsigned long i = 0; i < options_.repeat; ++i) {
                    record += options_.record;
                }
                return record;
            }
            case Source::Script:
                return script_.empty() ? std::string()
                                       : script_[static_cast<std::size_t>(step) % script_.size()];
            case Source::Random: {
                std::string bytes(options_.randomBytes, '\0');
                std::uniform_int_distribution<int> byte(0, 255);
                for (char& c : bytes) {
                    c = static_cast<char>(byte(random_));
                }
                return bytes;
            }
            case Source::Pass:
                break;
        }
        return passRecord(options_.passName, options_.padded, pass_.at(step * options_.speed));
    }

    Options options_;
    std::vector<std::string> script_;
    PassModel pass_;
    std::mt19937 random_;
    vorkel::win::UniqueCFile log_;
    LARGE_INTEGER frequency_{};
    LARGE_INTEGER start_{};
    unsigned long requests_ = 0;
};

// DDEML's callback has no context argument; the program has exactly one server.
Simulator* simulator = nullptr;
DWORD ddeInstance = 0;
HSZ applicationName = nullptr;
HSZ topicName = nullptr;
HSZ itemName = nullptr;

HDDEDATA CALLBACK serverCallback(UINT type, UINT format, HCONV, HSZ topic, HSZ second, HDDEDATA,
                                 ULONG_PTR, ULONG_PTR) noexcept {
    // No exception may go back into DDEML: a transaction that throws is refused.
    return vorkel::withoutExceptions(
        [&]() -> HDDEDATA {
            switch (type) {
                case XTYP_CONNECT: {
                    const bool ours = DdeCmpStringHandles(topic, topicName) == 0 &&
                                      DdeCmpStringHandles(second, applicationName) == 0;
                    simulator->log("connect %s", ours ? "accepted" : "declined");
                    return reinterpret_cast<HDDEDATA>(static_cast<INT_PTR>(ours ? TRUE : FALSE));
                }
                case XTYP_REQUEST:
                    if (DdeCmpStringHandles(topic, topicName) != 0 ||
                        DdeCmpStringHandles(second, itemName) != 0) {
                        simulator->log("request for another item refused");
                        return nullptr;
                    }
                    return simulator->request(ddeInstance, itemName, format);
                case XTYP_DISCONNECT:
                    simulator->log("disconnect");
                    return nullptr;
                default:
                    return nullptr;
            }
        },
        []() -> HDDEDATA { return nullptr; });
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kSecondsTimer) {
                simulator->log("time is up");
                DestroyWindow(window);
            }
            return 0;
        case WM_CLOSE:
            DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

std::optional<std::vector<std::string>> readScript(const std::wstring& path) {
    const vorkel::win::UniqueCFile file(_wfopen(path.c_str(), L"rb"));
    if (!file) {
        return std::nullopt;
    }
    std::string content;
    char buffer[4096];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        content.append(buffer, got);
    }
    std::vector<std::string> lines;
    std::size_t begin = 0;
    while (begin < content.size()) {
        std::size_t end = content.find('\n', begin);
        if (end == std::string::npos) {
            end = content.size();
        }
        std::string line = content.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line + "\r\n");
        begin = end + 1;
    }
    return lines;
}

int usage(const wchar_t* problem) {
    std::fwprintf(stderr, L"tracking_simulator: %ls\n\n%ls", problem, kUsage);
    return 2;
}

int run(int argc, wchar_t** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::wstring_view(argv[i]) == L"--help") {
            std::fwprintf(stdout, L"%ls", kUsage);
            for (const Satellite& satellite : kSatellites) {
                std::fwprintf(stdout, L"  %-22ls %9.4f/%.4f\n",
                              vorkel::win::wideFromUtf8(satellite.name).c_str(),
                              satellite.downlinkHz / 1e6, satellite.uplinkHz / 1e6);
            }
            return 0;
        }
    }
    const std::optional<Options> options = parseOptions(argc, argv);
    if (!options) {
        return usage(L"bad options");
    }
    std::vector<std::string> script;
    if (options->source == Source::Script) {
        auto lines = readScript(options->scriptPath);
        if (!lines) {
            return usage(L"cannot read the script file");
        }
        script = std::move(*lines);
    }

    Simulator state(*options, std::move(script));
    if (!state.openLog()) {
        return usage(L"cannot write the log file");
    }
    simulator = &state;

    const HINSTANCE module = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = module;
    windowClass.lpszClassName = kWindowClass;
    if (RegisterClassW(&windowClass) == 0) {
        state.log("cannot register the window class: error %lu", GetLastError());
        return 1;
    }
    // Hidden, but top-level, so that WM_CLOSE (taskkill without /f) reaches it.
    HWND window = CreateWindowW(kWindowClass, L"Tracking simulator", WS_OVERLAPPED, 0, 0, 0, 0,
                                nullptr, nullptr, module, nullptr);
    if (window == nullptr) {
        window = CreateWindowW(kWindowClass, L"Tracking simulator", 0, 0, 0, 0, 0, HWND_MESSAGE,
                               nullptr, module, nullptr);
    }
    if (window == nullptr) {
        state.log("cannot create the window: error %lu", GetLastError());
        return 1;
    }
    if (options->seconds != 0) {
        SetTimer(window, kSecondsTimer, static_cast<UINT>(options->seconds * 1000), nullptr);
    }

    int status = 0;
    {
        DWORD id = 0;
        const UINT error =
            DdeInitializeW(&id, serverCallback,
                           APPCLASS_STANDARD | CBF_FAIL_ADVISES | CBF_FAIL_EXECUTES |
                               CBF_FAIL_POKES | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS,
                           0);
        if (error != DMLERR_NO_ERROR) {
            state.log("DdeInitialize failed: DDE error %u", error);
            return 1;
        }
        const DdeInstance instance(id);
        ddeInstance = id;
        const DdeString application = makeDdeString(id, L"Orbitron");
        const DdeString topic = makeDdeString(id, L"Tracking");
        const DdeString item = makeDdeString(id, L"TrackingData");
        applicationName = application.get().handle;
        topicName = topic.get().handle;
        itemName = item.get().handle;
        if (!application || !topic || !item ||
            DdeNameService(id, applicationName, nullptr, DNS_REGISTER) == nullptr) {
            state.log("cannot register the DDE name: DDE error %u", DdeGetLastError(id));
            return 1;
        }
        state.log("ready pid %lu", GetCurrentProcessId());
        if (!options->readyEvent.empty()) {
            const vorkel::win::UniqueKernelHandle ready(
                OpenEventW(EVENT_MODIFY_STATE, FALSE, options->readyEvent.c_str()));
            if (!ready || !SetEvent(ready.get())) {
                state.log("cannot set the ready event: error %lu", GetLastError());
            }
        }

        MSG message;
        BOOL got;
        while ((got = GetMessageW(&message, nullptr, 0, 0)) != 0) {
            if (got == -1) {
                status = 1;
                break;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        DdeNameService(id, applicationName, nullptr, DNS_UNREGISTER);
        // The string handles and then the instance go here, which ends every conversation.
    }
    if (IsWindow(window)) {
        DestroyWindow(window);
    }
    state.log("exit");
    simulator = nullptr;
    return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        return run(argc, argv);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tracking_simulator: %s\n", e.what());
        return 1;
    }
}
