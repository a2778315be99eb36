// Whether a widget's caption fits the room its widget leaves for it, in the font it is drawn in.
#pragma once

#include <windows.h>

#include <string>

namespace vorkel::ui {

enum class CaptionKind {
    Label,   // static text: wraps at blanks within its width
    Box,     // option button or check box: the text beside the box, on one line
    Button,  // push button: the text inside the edges, on one line
};

struct CaptionMeasure {
    SIZE text;  // what the caption takes, in pixels
    SIZE room;  // what the widget leaves for it

    bool fits() const { return text.cx <= room.cx && text.cy <= room.cy; }
};

// Measures with the font selected into dc; widget is the widget's size in pixels.
CaptionMeasure measureCaption(HDC dc, const std::wstring& text, CaptionKind kind, SIZE widget);

// The kind of a live control, from its class and style; false for controls without a caption.
bool captionKindOf(HWND control, CaptionKind& kind);

}  // namespace vorkel::ui
