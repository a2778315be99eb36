// The faces every widget's text is drawn in: "MS Sans Serif" wherever the system has it, as the
// fixed layout was made for its widths; elsewhere the nearest sans-serif face that fits. A size
// the face cannot be drawn at, as a bitmap face lacks most sizes at a high DPI, is drawn in the
// nearest face that can.
#pragma once

#include <windows.h>

#include "ui/gdi.h"

namespace vorkel::ui {

inline constexpr wchar_t kDesignFace[] = L"MS Sans Serif";

// Chosen once, on first use, at the process's DPI.
const WidgetFaces& widgetFaces();

// The choice. The face: the design face where it is realized as itself. Otherwise, of the
// sans-serif faces present, the one whose caption widths come closest to the design widths of
// the windows' tables while every caption fits its widget; if none fits them all, the one that
// overflows least. Then, for each size of the tables that this face is drawn more than a pixel
// away from, the design face's own outlines ("Microsoft Sans Serif") if the system has them,
// else the closest of those faces by the same measure that is drawn at that size.
WidgetFaces chooseWidgetFaces(HDC dc, int dpi);

}  // namespace vorkel::ui
