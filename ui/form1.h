// The main window: the station's face, and the StationView the station logic works through.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "station/station.h"
#include "station/station_view.h"
#include "ui/base_window.h"
#include "ui/form1_layout.h"

namespace vorkel::ui {

class Form1 final : public BaseWindow<Form1>, public StationView {
  public:
    static bool registerClass(HINSTANCE instance);

    Form1();
    ~Form1() override;

    // Creates the window and its widgets, prepares the station and shows the window.
    bool open(int showCommand);

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
    void closeWindow() override;

  private:
    friend class BaseWindow<Form1>;
    struct Running;

    LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void onCreate();
    void onWindowGone() {}
    std::optional<Colour> textColourOf(int id) const;
    const std::pair<Colour, UniqueBrush>* backgroundOf(int id) const;
    void eraseBackground(HDC dc);
    void enterStation(Entry entry);

    std::map<int, Colour> textColours_;  // set at run time: the elevation's
    std::map<int, std::pair<Colour, UniqueBrush>> backgrounds_;
    bool label1Bold_ = false;
    bool failureShown_ = false;
    std::string failureReason_;
    std::unique_ptr<Running> running_;
};

}  // namespace vorkel::ui
