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
    // Sends the text one byte per character and returns once the bytes have left. Fails when
    // the port is not open, on a character beyond 7 bits (nothing is sent), when the line takes
    // the bytes too slowly or with the system's error; the text then says how much was sent.
    virtual Status write(const std::wstring& text) = 0;
    // Releases the port; harmless when it is not open. Cannot fail.
    virtual void close() = 0;
    // Whether the port is open: after a successful open, until a close (a failed open leaves it
    // closed).
    virtual bool isOpen() const = 0;
};

}  // namespace vorkel
