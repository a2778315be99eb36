// The serial line to the rotor controller, opened and closed around every command.
#pragma once

#include <string>

#include "station/status.h"

namespace vorkel {

class RotorPort {
  public:
    virtual ~RotorPort() = default;

    // Records port number and line settings ("9600,n,8,1"); opens nothing.
    virtual Status configure(int portNumber, const std::wstring& settings) = 0;
    virtual Status open() = 0;
    // Sends the text one byte per character and returns once the bytes have left.
    virtual Status write(const std::wstring& text) = 0;
    // Releases the port; harmless when it is not open.
    virtual void close() = 0;
};

}  // namespace vorkel
