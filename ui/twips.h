// The window layouts are kept in twips (1/1440 inch) and turned into pixels at the display's DPI.
#pragma once

#include <windows.h>

namespace vorkel::ui {

inline int pixelsFromTwips(int twips, int dpi) {
    return MulDiv(twips, dpi, 1440);
}

struct TwipsRect {
    int left;
    int top;
    int width;
    int height;

    RECT toPixels(int dpi) const {
        const int x = pixelsFromTwips(left, dpi);
        const int y = pixelsFromTwips(top, dpi);
        return RECT{x, y, x + pixelsFromTwips(width, dpi), y + pixelsFromTwips(height, dpi)};
    }
};

// The DPI the process works at (system DPI; the manifest declares the program DPI-aware).
int systemDpi();

}  // namespace vorkel::ui
