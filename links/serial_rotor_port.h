// The rotor controller's serial line, through the Windows serial API.
#pragma once

#include <optional>
#include <string>

#include "links/line_settings.h"
#include "station/rotor_port.h"
#include "win/handles.h"

namespace vorkel {

class SerialRotorPort : public RotorPort {
  public:
    SerialRotorPort() = default;

    // Port numbers 1 to 255; the settings text as parseLineSettings takes it. A failed
    // configure leaves the port unconfigured, so that open fails rather than guess.
    Status configure(int portNumber, const std::wstring& settings) override;
    // Opens the port exclusively and sets it up completely, or leaves it closed.
    Status open() override;
    // Characters above 0x7F are refused before anything is sent.
    Status write(const std::wstring& text) override;
    void close() override;

    bool isOpen() const { return file_.valid(); }
    // "\\.\COM1" once configured.
    const std::wstring& devicePath() const { return devicePath_; }

  private:
    Status setUpLine();
    std::wstring objectName() const;

    std::wstring devicePath_;
    std::optional<LineSettings> settings_;
    win::UniqueFile file_;
};

}  // namespace vorkel
