// The rotor controller's serial line, through the Windows serial API.
#pragma once

#include <optional>
#include <string>

#include "core/line_settings.h"
#include "station/rotor_port.h"
#include "win/handles.h"

namespace vorkel {

class SerialRotorPort : public RotorPort {
  public:
    SerialRotorPort() = default;

    // Port numbers 1 to 255; the settings text as parseLineSettings takes it. A failed
    // configure ("configuring port 0: ...", "configuring \\.\COM1: line settings ...") leaves
    // the port unconfigured, so that open fails rather than guess.
    Status configure(int portNumber, const std::wstring& settings) override;
    // Opens the port exclusively and sets it up completely, or leaves it closed. Fails when not
    // configured, or with the system's error of the step that failed ("opening \\.\COM1:
    // error 2: ...", "setting the line settings of \\.\COM1: error 87: ...").
    Status open() override;
    // Characters above 0x7F are refused before anything is sent ("writing to \\.\COM1: U+00E9
    // at position 5 is not a 7-bit character; nothing was sent"). A write that fails or runs out
    // of time throws away what is still queued and says how many bytes went out.
    Status write(const std::wstring& text) override;
    // Watches the driver's output queue (ClearCommError) until it is empty, for the time the last
    // write was allowed ("draining \\.\COM1: the line took no more within 118 ms (2 bytes left
    // unsent)").
    Status drain() override;
    void close() override;

    bool isOpen() const override { return file_.valid(); }
    // "\\.\COM1" once configured.
    const std::wstring& devicePath() const { return devicePath_; }

  private:
    Status setUpLine();
    std::wstring objectName() const;

    std::wstring devicePath_;
    std::optional<LineSettings> settings_;
    win::UniqueFile file_;
    unsigned long lastWriteAllowedMs_ = 0;
};

}  // namespace vorkel
