// The station's only way to read and change the main window.
#pragma once

#include <cstdint>
#include <string>

namespace vorkel {

// 24-bit colour laid out as 0x00BBGGRR: 0 is black, 255 is red.
using Colour = std::uint32_t;

constexpr Colour rgb(unsigned red, unsigned green, unsigned blue) {
    return Colour(red) | (Colour(green) << 8) | (Colour(blue) << 16);
}
constexpr Colour kBlack = rgb(0, 0, 0);
constexpr Colour kRed = rgb(255, 0, 0);
constexpr Colour kStationGreen = rgb(144, 166, 144);

// The seven text boxes and the raw-text label, by their names in the window.
enum class Field { Label1, txt_nombre, txt_azi, txt_ele, txt_down, txt_up, txt_iazi, txt_iele };

// What start-up colours: the window itself and four of its widgets.
enum class Surface { Form1, Opt_normal, Opt_invertido, chk_update, Label1 };

enum class Frame { Frame1, Frame2, Frame3 };

// None of these fails: the window and its widgets live as long as the station, and what the
// window system does not carry out (restacking, say) is of no consequence to the station.
class StationView {
  public:
    virtual ~StationView() = default;

    virtual std::wstring fieldText(Field field) const = 0;
    virtual void setFieldText(Field field, const std::wstring& text) = 0;
    virtual void setTextColour(Field field, Colour colour) = 0;
    virtual bool rawTextBold() const = 0;
    virtual void setRawTextBold(bool bold) = 0;
    virtual bool sendTicked() const = 0;
    virtual void untickSend() = 0;
    virtual bool normalSelected() const = 0;
    // Renews the window's place among topmost windows.
    virtual void raiseTopmost() = 0;
    virtual void moveToScreenTop() = 0;
    virtual void setBackground(Surface surface, Colour colour) = 0;
    virtual void disableFrame(Frame frame) = 0;
    // Label1 lies beneath the frames, so a failure is also shown where the operator looks:
    // in the title bar, for as long as the latest tick or Stop has failed. The reason (UTF-8,
    // e.g. "opening \\.\COM1: error 2: ...") is empty once a tick succeeds again.
    virtual void showFailure(const std::string& reason) = 0;
    // The station has ended for its window's close: the window goes, once the station has
    // returned to it.
    virtual void closeWindow() = 0;
};

}  // namespace vorkel
