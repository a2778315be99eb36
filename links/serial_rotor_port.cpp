// The rotor port on the Windows serial API: configured once, then opened and set up completely,
// written any number of times, and closed.
#include "links/serial_rotor_port.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "links/windows_failure.h"
#include "win/text_conversion.h"

namespace vorkel {

namespace {

// Time allowed per byte, as a multiple of the time the byte takes on the line: a write that
// has not finished by then is not going to.
constexpr DWORD kWriteSlack = 2;
// Added to every write, for the driver's own latency.
constexpr DWORD kWriteBaseMilliseconds = 100;
// How often drain() looks at the driver's output queue.
constexpr DWORD kDrainPollMs = 2;

BYTE dcbParity(Parity parity) {
    switch (parity) {
        case Parity::odd:
            return ODDPARITY;
        case Parity::even:
            return EVENPARITY;
        case Parity::mark:
            return MARKPARITY;
        case Parity::space:
            return SPACEPARITY;
        case Parity::none:
            break;
    }
    return NOPARITY;
}

BYTE dcbStopBits(StopBits stopBits) {
    switch (stopBits) {
        case StopBits::onePointFive:
            return ONE5STOPBITS;
        case StopBits::two:
            return TWOSTOPBITS;
        case StopBits::one:
            break;
    }
    return ONESTOPBIT;
}

// Milliseconds one character takes on the line, rounded up: start bit, data bits, parity bit
// and, to be safe, two stop bits.
DWORD characterMilliseconds(const LineSettings& settings) {
    const unsigned long bits = 1ul + static_cast<unsigned long>(settings.dataBits) +
                               (settings.parity == Parity::none ? 0ul : 1ul) + 2ul;
    const unsigned long long micro =
        (bits * 1'000'000ull + settings.baudRate - 1) / settings.baudRate;
    return static_cast<DWORD>(std::max<unsigned long long>(1, (micro + 999) / 1000));
}

DWORD writeMilliseconds(const LineSettings& settings, std::size_t bytes) {
    const unsigned long long total =
        kWriteBaseMilliseconds +
        static_cast<unsigned long long>(kWriteSlack) * characterMilliseconds(settings) * bytes;
    return static_cast<DWORD>(std::min<unsigned long long>(total, MAXDWORD - 1));
}

}  // namespace

Status SerialRotorPort::configure(int portNumber, const std::wstring& settings) {
    close();
    devicePath_.clear();
    settings_.reset();
    if (portNumber < 1 || portNumber > 255) {
        return Status::failure("configuring", "port " + std::to_string(portNumber),
                               "port numbers go from 1 to 255");
    }
    const std::wstring path = L"\\\\.\\COM" + std::to_wstring(portNumber);
    LineSettings parsed;
    if (Status parse = parseLineSettings(settings, parsed); !parse.ok()) {
        return Status::failure("configuring", win::utf8FromWide(path), parse.text());
    }
    devicePath_ = path;
    settings_ = parsed;
    return Status::success();
}

Status SerialRotorPort::open() {
    close();
    if (!settings_) {
        return Status::failure("opening", "the rotor port", "it has not been configured");
    }
    // Share mode 0: for as long as the port is held, no other program may write into the line.
    file_.reset(CreateFileW(devicePath_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                            OPEN_EXISTING, 0, nullptr));
    if (!file_) {
        return windowsFailure("opening", devicePath_, GetLastError());
    }
    Status status = setUpLine();
    if (!status.ok()) {
        close();
    }
    lastWriteAllowedMs_ = writeMilliseconds(*settings_, 0);
    return status;
}

// Every setting is made here, none inherited: the program that used the port last may have
// left flow control or character replacement on, which would hold or alter our commands.
Status SerialRotorPort::setUpLine() {
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(file_.get(), &dcb)) {
        return windowsFailure("reading the line settings of", devicePath_, GetLastError());
    }
    const LineSettings& settings = *settings_;
    dcb.DCBlength = sizeof dcb;
    dcb.BaudRate = settings.baudRate;
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity == Parity::none ? FALSE : TRUE;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    // The controller may take its power or readiness from DTR and RTS.
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fAbortOnError = FALSE;
    dcb.fDummy2 = 0;
    dcb.wReserved = 0;
    // XonLim and XoffLim stay as the driver reported them: with flow control off they are not
    // used, and a driver refuses limits beyond its own buffer size.
    dcb.ByteSize = static_cast<BYTE>(settings.dataBits);
    dcb.Parity = dcbParity(settings.parity);
    dcb.StopBits = dcbStopBits(settings.stopBits);
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = 0;
    dcb.EofChar = 0;
    dcb.EvtChar = 0;
    dcb.wReserved1 = 0;
    if (!SetCommState(file_.get(), &dcb)) {
        return windowsFailure("setting the line settings of", devicePath_, GetLastError());
    }

    // Reads return at once (nothing is read); a write gets twice the time its bytes take.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = kWriteSlack * characterMilliseconds(settings);
    // Together, writeMilliseconds() of the bytes.
    timeouts.WriteTotalTimeoutConstant = kWriteBaseMilliseconds;
    if (!SetCommTimeouts(file_.get(), &timeouts)) {
        return windowsFailure("setting the time limits of", devicePath_, GetLastError());
    }

    // Only what came in is thrown away. Bytes still going out are earlier commands queued
    // behind a controller that reads slowly: purging them would lose them silently, or cut one
    // that is half on its way. A failed write clears its own remains (see write()).
    if (!PurgeComm(file_.get(), PURGE_RXABORT | PURGE_RXCLEAR)) {
        return windowsFailure("clearing the input buffer of", devicePath_, GetLastError());
    }
    return Status::success();
}

Status SerialRotorPort::write(const std::wstring& text) {
    if (!file_) {
        return Status::failure("writing to", win::utf8FromWide(objectName()), "it is not open");
    }
    std::string bytes;
    bytes.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto code = static_cast<unsigned>(text[i]);
        if (code > 0x7F) {
            char why[96];
            std::snprintf(why, sizeof why,
                          "U+%04X at position %zu is not a 7-bit character; nothing was sent", code,
                          i + 1);
            return Status::failure("writing to", win::utf8FromWide(devicePath_), why);
        }
        bytes += static_cast<char>(code);
    }

    // The controller's answers are never read; while the port is held they would pile up and
    // overrun the driver's buffer, so each command drops them. Losing them costs nothing.
    PurgeComm(file_.get(), PURGE_RXCLEAR);

    // A driver may take the bytes in parts; each part must make progress, and all of them
    // together get no more time than one write of the whole text would.
    // GetTickCount wraps every 49.7 days; the unsigned difference of two readings does not care.
    const DWORD start = GetTickCount();
    const DWORD allowed = writeMilliseconds(*settings_, bytes.size());
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - sent, 65536));
        DWORD written = 0;
        const BOOL ok = WriteFile(file_.get(), bytes.data() + sent, chunk, &written, nullptr);
        const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
        sent += std::min<DWORD>(written, chunk);
        if (!ok || written == 0 || (sent < bytes.size() && GetTickCount() - start > allowed)) {
            // Whatever is still queued is a broken command: it must not go out later.
            PurgeComm(file_.get(), PURGE_TXABORT | PURGE_TXCLEAR);
            // A write that merely ran out of time is no Windows error, and says so in words.
            const std::string why =
                (ok ? "the line took no more within " + std::to_string(allowed) + " ms"
                    : win::windowsErrorText(error)) +
                " (" + std::to_string(sent) + " of " + std::to_string(bytes.size()) +
                " bytes sent)";
            return Status::failure("writing to", win::utf8FromWide(devicePath_), why);
        }
    }
    // No flush: FlushFileBuffers heeds no write time-out, so a driver waiting for its device
    // would hold the window for as long as that lasts, and one that cannot flush would fail
    // every command. The next command queues behind this one; drain() waits where it must.
    lastWriteAllowedMs_ = allowed;
    return Status::success();
}

Status SerialRotorPort::drain() {
    if (!file_) {
        return Status::failure("draining", win::utf8FromWide(objectName()), "it is not open");
    }
    // Polled, never waited on: only the driver's count of queued bytes is bounded by nothing
    // but our own deadline.
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD errors = 0;
        COMSTAT state{};
        if (!ClearCommError(file_.get(), &errors, &state)) {
            const DWORD error = GetLastError();
            PurgeComm(file_.get(), PURGE_TXABORT | PURGE_TXCLEAR);
            return windowsFailure("draining", devicePath_, error);
        }
        if (state.cbOutQue == 0) {
            return Status::success();
        }
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= lastWriteAllowedMs_) {
            // Left queued, the rest would go out whenever the line moves again, and cut.
            PurgeComm(file_.get(), PURGE_TXABORT | PURGE_TXCLEAR);
            return Status::failure("draining", win::utf8FromWide(devicePath_),
                                   "the line took no more within " +
                                       std::to_string(lastWriteAllowedMs_) + " ms (" +
                                       std::to_string(state.cbOutQue) + " bytes left unsent)");
        }
        Sleep(std::min<DWORD>(kDrainPollMs, lastWriteAllowedMs_ - elapsed));
    }
}

std::wstring SerialRotorPort::objectName() const {
    return devicePath_.empty() ? std::wstring(L"the rotor port") : devicePath_;
}

void SerialRotorPort::close() {
    file_.reset();
}

}  // namespace vorkel
