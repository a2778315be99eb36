// Owners for the GDI objects the windows create (fonts, brushes), and guards for device contexts.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>

#include "links/unique_handle.h"

namespace vorkel::ui {

template <typename T>
struct GdiObjectTraits {
    using Handle = T;
    static Handle empty() { return nullptr; }
    static void release(Handle handle) { DeleteObject(handle); }
};

using UniqueFont = win::UniqueHandle<GdiObjectTraits<HFONT>>;
using UniqueBrush = win::UniqueHandle<GdiObjectTraits<HBRUSH>>;

// Keeps a GDI object selected into a device context for one scope.
class Selection {
  public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(SelectObject(dc, object)) {}
    ~Selection() { SelectObject(dc_, old_); }
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;

  private:
    HDC dc_;
    HGDIOBJ old_;
};

// The device context of a window (of the screen for null), for one scope.
class WindowDc {
  public:
    explicit WindowDc(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDc() {
        if (dc_) {
            ReleaseDC(window_, dc_);
        }
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC get() const { return dc_; }

  private:
    HWND window_;
    HDC dc_;
};

// A widget's typeface at a size in points, regular or bold.
struct FontSpec {
    int centipoints = 825;  // 8.25 pt
    bool bold = false;

    bool operator<(const FontSpec& other) const {
        return std::pair(centipoints, bold) < std::pair(other.centipoints, other.bold);
    }
};

UniqueFont makeFont(const std::wstring& face, FontSpec spec, int dpi);

// The face a font is realized in: what the system drew it with, not what was asked for.
std::wstring realizedFace(HDC dc, HFONT font);

// Creates each font once per window, in the widgets' face, and keeps it for the window's life.
class FontCache {
  public:
    explicit FontCache(int dpi) : dpi_(dpi) {}
    HFONT get(FontSpec spec);

  private:
    int dpi_;
    std::map<FontSpec, UniqueFont> fonts_;
};

}  // namespace vorkel::ui
