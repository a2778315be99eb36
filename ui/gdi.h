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

// The height of a size's characters in pixels at a DPI: what a font of that size asks for.
int pixelsOf(FontSpec spec, int dpi);

UniqueFont makeFont(const std::wstring& face, FontSpec spec, int dpi);

// The face a font is realized in: what the system drew it with, not what was asked for.
std::wstring realizedFace(HDC dc, HFONT font);

// The height in pixels a font's characters are realized at: a face that lacks the size asked
// for is drawn at one it has.
int realizedPixels(HDC dc, HFONT font);

// The faces the widgets' texts are drawn in: one face, and another for each size that face
// cannot be drawn at.
struct WidgetFaces {
    std::wstring face;
    std::map<int, std::wstring> bySize;  // by centipoints, regular and bold alike

    const std::wstring& faceFor(FontSpec spec) const {
        const auto found = bySize.find(spec.centipoints);
        return found == bySize.end() ? face : found->second;
    }
};

// Creates each font once per window, in its size's face, and keeps it for the window's life.
class FontCache {
  public:
    FontCache(WidgetFaces faces, int dpi) : faces_(std::move(faces)), dpi_(dpi) {}
    HFONT get(FontSpec spec);

  private:
    WidgetFaces faces_;
    int dpi_;
    std::map<FontSpec, UniqueFont> fonts_;
};

}  // namespace vorkel::ui
