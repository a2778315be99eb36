// Fonts for the windows' widgets.
#include "ui/gdi.h"

#include "ui/twips.h"

namespace vorkel::ui {

int pixelsOf(FontSpec spec, int dpi) {
    return MulDiv(spec.centipoints, dpi, 7200);
}

UniqueFont makeFont(const std::wstring& face, FontSpec spec, int dpi) {
    LOGFONTW lf{};
    // Negative: the size of the characters, not of the cell, as point sizes mean.
    lf.lfHeight = -pixelsOf(spec, dpi);
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

int realizedPixels(HDC dc, HFONT font) {
    Selection selected(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    // The cell less its internal leading: the characters' size, as lfHeight asked for it.
    return static_cast<int>(metrics.tmHeight - metrics.tmInternalLeading);
}

HFONT FontCache::get(FontSpec spec) {
    auto found = fonts_.find(spec);
    if (found == fonts_.end()) {
        found = fonts_.emplace(spec, makeFont(faces_.faceFor(spec), spec, dpi_)).first;
    }
    return found->second.get();
}

int systemDpi() {
    WindowDc screen(nullptr);
    const int dpi = screen.get() ? GetDeviceCaps(screen.get(), LOGPIXELSY) : 96;
    return dpi > 0 ? dpi : 96;
}

}  // namespace vorkel::ui
