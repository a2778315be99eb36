// The windows' fonts: what a widget asks for, and the cache that makes each once per window.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <utility>

#include "win/gdi_guards.h"
#include "win/handles.h"

namespace vorkel::ui {

using win::Selection;
using win::UniqueBrush;
using win::UniqueFont;
using win::WindowDc;

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

// Creates each font once per window, in one face, and keeps it for the window's life.
class FontCache {
  public:
    FontCache(std::wstring face, int dpi) : face_(std::move(face)), dpi_(dpi) {}
    HFONT get(FontSpec spec);

  private:
    std::wstring face_;
    int dpi_;
    std::map<FontSpec, UniqueFont> fonts_;
};

}  // namespace vorkel::ui
