// The main window: the station's face, and the StationView the station logic works through.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "station/station_view.h"
#include "ui/focus_memory.h"
#include "ui/form1_layout.h"
#include "ui/gdi.h"

namespace vorkel::ui {

class Form1 final : public StationView {
  public:
    static bool registerClass(HINSTANCE instance);

    Form1();
    ~Form1() override;
    Form1(const Form1&) = delete;
    Form1& operator=(const Form1&) = delete;

    // Creates the window and its widgets, prepares the station and shows the window.
    bool open(HINSTANCE instance, int showCommand);

    std::wstring fieldText(Field field) const override;
    void setFieldText(Field field, const std::wstring& text) override;
    void setTextColour(Field field, Colour colour) override;
    bool rawTextBold() const override { return label1Bold_; }
    void setRawTextBold(bool bold) override;
    bool sendTicked() const override;
    void untickSend() override;
    bool normalSelected() const override;
    void raiseTopmost() override;
    void moveToScreenTop() override;
    void setBackground(Surface surface, Colour colour) override;
    void disableFrame(Frame frame) override;
    void showFailure(const std::string& reason) override;

  private:
    struct Running;

    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void createWidgets(HINSTANCE instance);
    void createWidget(HINSTANCE instance, const form1::Widget& w);
    LRESULT colourFor(HDC dc, HWND control, UINT message, WPARAM wParam, LPARAM lParam);
    void eraseBackground(HDC dc);
    // Runs one piece of station logic; a close that arrives meanwhile waits until it returns.
    template <typename Call>
    void runStation(Call call);
    HWND control(form1::ControlId id) const;

    HWND hwnd_ = nullptr;
    int dpi_ = 96;
    std::unique_ptr<FontCache> fonts_;
    std::map<form1::ControlId, HWND> controls_;
    std::map<form1::ControlId, Colour> textColours_;
    std::map<form1::ControlId, std::pair<Colour, UniqueBrush>> backgrounds_;
    FocusMemory focus_;
    bool label1Bold_ = false;
    bool failureShown_ = false;
    std::string failureReason_;
    int stationDepth_ = 0;
    bool closePending_ = false;
    std::unique_ptr<Running> running_;
};

}  // namespace vorkel::ui
