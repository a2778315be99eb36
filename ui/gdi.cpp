// Fonts for the windows' widgets.
#include "ui/gdi.h"

#include "ui/twips.h"

namespace vorkel::ui {

UniqueFont makeFont(const std::wstring& face, FontSpec spec, int dpi) {
    LOGFONTW lf{};
    // Negative: the size of the characters, not of the cell, as point sizes mean.
    lf.lfHeight = -MulDiv(spec.centipoints, dpi, 7200);
    lf.lfWeight = spec.bold ? FW_BOLD : FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    lstrcpynW(lf.lfFaceName, face.c_str(), LF_FACESIZE);
    return UniqueFont(CreateFontIndirectW(&lf));
}

std::wstring realizedFace(HDC dc, HFONT font) {
    Selection selected(dc, font);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc, LF_FACESIZE, face);
    return face;
}

HFONT FontCache::get(FontSpec spec) {
    auto found = fonts_.find(spec);
    if (found == fonts_.end()) {
        found = fonts_.emplace(spec, makeFont(face_, spec, dpi_)).first;
    }
    return found->second.get();
}

int systemDpi() {
    WindowDc screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

}  // namespace vorkel::ui
