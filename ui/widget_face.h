// The face every widget's text is drawn in: "MS Sans Serif" wherever the system has it, as the
// fixed layout was made for its widths; elsewhere the nearest sans-serif face that fits.
#pragma once

#include <windows.h>

#include <string>

namespace vorkel::ui {

inline constexpr wchar_t kDesignFace[] = L"MS Sans Serif";

// Chosen once, on first use, at the process's DPI.
const std::wstring& widgetFace();

// The choice: the design face where it is realized as itself. Otherwise, of the sans-serif
// faces present, the one whose caption widths come closest to the design widths of the windows'
// tables while every caption fits its widget; if none fits them all, the one that overflows
// least.
std::wstring chooseWidgetFace(HDC dc, int dpi);

}  // namespace vorkel::ui
