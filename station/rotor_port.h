// The serial line to the rotor controller, held open while the station sends commands.
#pragma once

#include <string>

#include "station/status.h"

namespace vorkel {

// Failures come back as a Status whose text says what was being done, to which port and why
// (Status::failure); none throws.
class RotorPort {
  public:
    virtual ~RotorPort() = default;

    // Records port number and line settings ("9600,n,8,1"); opens nothing. Fails on a port
    // number or settings no port can take, and then leaves the port unconfigured.
    virtual Status configure(int portNumber, const std::wstring& settings) = 0;
    // Opens the port and sets up its line. Fails when it has not been configured, or with the
    // system's error when the port or its settings are refused; the port is then closed.
    virtual Status open() = 0;
    // Hands the text to the driver one byte per character; they may still be queued there when
    // it returns, behind earlier ones. Fails when the port is not open, on a character beyond 7
    // bits (nothing is sent), when the driver takes the bytes too slowly or with the system's
    // error; the text then says how much was sent, and nothing of it is left queued.
    virtual Status write(const std::wstring& text) = 0;
    // Waits until the driver has sent everything written, for no longer than the last write was
    // allowed: what must be on the line before a close. Fails, throwing away what is still
    // queued, when the bytes have not left by then, or with the system's error.
    virtual Status drain() = 0;
    // Releases the port; harmless when it is not open. Cannot fail.
    virtual void close() = 0;
    // Whether the port is open: after a successful open, until a close (a failed open leaves it
    // closed).
    virtual bool isOpen() const = 0;
};

}  // namespace vorkel
