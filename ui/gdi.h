// Owners for the GDI objects the windows create: fonts and brushes.
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

// A widget's typeface: "MS Sans Serif" at a size in points, regular or bold.
struct FontSpec {
    int centipoints = 825;  // 8.25 pt
    bool bold = false;

    bool operator<(const FontSpec& other) const {
        return std::pair(centipoints, bold) < std::pair(other.centipoints, other.bold);
    }
};

// Creates each font once per window and keeps it for the window's life.
class FontCache {
  public:
    explicit FontCache(int dpi) : dpi_(dpi) {}
    HFONT get(FontSpec spec);

  private:
    int dpi_;
    std::map<FontSpec, UniqueFont> fonts_;
};

}  // namespace vorkel::ui
