// Fonts for the windows' widgets.
#include "ui/gdi.h"

#include <string_view>

#include "ui/twips.h"

namespace vorkel::ui {

HFONT FontCache::get(FontSpec spec) {
    auto found = fonts_.find(spec);
    if (found == fonts_.end()) {
        LOGFONTW lf{};
        // Negative: the size of the characters, not of the cell, as point sizes mean.
        lf.lfHeight = -MulDiv(spec.centipoints, dpi_, 7200);
        lf.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
        lf.lfCharSet = DEFAULT_CHARSET;
        lf.lfQuality = DEFAULT_QUALITY;
        lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;  // nearest sans-serif if it is missing
        // lf{} is all zeros, so the copied name stays NUL-terminated.
        std::wstring_view(L"MS Sans Serif").copy(lf.lfFaceName, LF_FACESIZE - 1);
        found = fonts_.emplace(spec, UniqueFont(CreateFontIndirectW(&lf))).first;
    }
    return found->second.get();
}

int systemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen) {
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

}  // namespace vorkel::ui
