// Picks the widgets' face by measuring every caption of both windows in each candidate face.
#include "ui/widget_face.h"

#include <cstdlib>
#include <limits>
#include <set>
#include <vector>

#include "ui/caption_fit.h"
#include "ui/form1_layout.h"
#include "ui/frm_about_layout.h"
#include "ui/gdi.h"
#include "ui/twips.h"

namespace vorkel::ui {
namespace {

struct Caption {
    const wchar_t* text;
    CaptionKind kind;
    TwipsRect place;
    FontSpec font;
};

// Single-line widths of the captions in "MS Sans Serif" at 96 DPI, measured under Windows'
// bitmap face (as Wine's own sserife.fon draws it): what the layout was made for.
struct DesignWidth {
    const wchar_t* text;
    int pixels;
};
// The description wraps, so its single-line width says little and it is left out.
constexpr DesignWidth kDesignWidths[] = {
    {L"Azimut", 31},
    {L"Elevación", 47},
    {L"Frec. RX", 42},
    {L"Frec. TX", 41},
    {L"Normal", 33},
    {L"Invertido", 41},
    {L"Envía datos", 58},
    {L"< < < Stop > > >", 76},
    {L"Acerca De", 51},
    {L"OK", 15},
    {L"Driver DDE VORKEL", 149},
    {L"Version 0.9b", 59},
    {L"Versión en desarrollo...", 107},
};

int designWidth(const wchar_t* text) {
    for (const DesignWidth& d : kDesignWidths) {
        if (lstrcmpW(d.text, text) == 0) {
            return d.pixels;
        }
    }
    return -1;
}

std::vector<Caption> captions() {
    std::vector<Caption> all;
    for (const auto table : {form1::widgets(), frm_about::widgets()}) {
        for (const Widget& w : table) {
            // Label1 holds the raw record: hidden beneath the frames, and of any length.
            if (w.kind == WidgetKind::Label && w.id != form1::kLabel1) {
                all.push_back({w.text, CaptionKind::Label, w.place, w.font});
            } else if (w.kind == WidgetKind::Option || w.kind == WidgetKind::Check) {
                all.push_back({w.text, CaptionKind::Box, w.place, w.font});
            } else if (w.kind == WidgetKind::Button) {
                all.push_back({w.text, CaptionKind::Button, w.place, w.font});
            }
        }
    }
    return all;
}

struct Score {
    long overflow = 0;  // pixels by which captions exceed their widgets, summed
    long distance = 0;  // pixels by which caption widths differ from the design face's

    bool operator<(const Score& other) const {
        return overflow != other.overflow ? overflow < other.overflow : distance < other.distance;
    }
};

Score score(HDC dc, const std::wstring& face, int dpi, const std::vector<Caption>& all) {
    Score s;
    for (const Caption& c : all) {
        const UniqueFont font = makeFont(face, c.font, dpi);
        Selection selected(dc, font.get());
        const RECT place = c.place.toPixels(dpi);
        const std::wstring text = c.text;
        const CaptionMeasure m = measureCaption(
            dc, text, c.kind, SIZE{place.right - place.left, place.bottom - place.top});
        s.overflow += std::max(0L, m.text.cx - m.room.cx) + std::max(0L, m.text.cy - m.room.cy);
        if (const int design = designWidth(c.text); design > 0) {
            SIZE line{};
            GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &line);
            s.distance += std::labs(line.cx - MulDiv(design, dpi, 96));
        }
    }
    return s;
}

int CALLBACK collectSansSerif(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM faces) {
    // Vertical variants ("@") are for East Asian vertical writing.
    if ((font->lfPitchAndFamily & 0xF0) == FF_SWISS && font->lfFaceName[0] != L'@') {
        reinterpret_cast<std::set<std::wstring>*>(faces)->insert(font->lfFaceName);
    }
    return 1;
}

}  // namespace

std::wstring chooseWidgetFace(HDC dc, int dpi) {
    const UniqueFont design = makeFont(kDesignFace, FontSpec{}, dpi);
    const std::wstring realized = realizedFace(dc, design.get());
    if (realized == kDesignFace || realized == L"Microsoft Sans Serif") {
        return kDesignFace;  // Windows, or Wine with its own fonts: the layout's own face
    }
    std::set<std::wstring> faces{realized};
    LOGFONTW all{};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc, &all, collectSansSerif, reinterpret_cast<LPARAM>(&faces), 0);

    const std::vector<Caption> measured = captions();
    std::wstring best = realized;
    Score bestScore{std::numeric_limits<long>::max(), 0};
    for (const std::wstring& face : faces) {
        const Score s = score(dc, face, dpi, measured);
        if (s < bestScore) {
            best = face;
            bestScore = s;
        }
    }
    return best;
}

const std::wstring& widgetFace() {
    static const std::wstring face = [] {
        WindowDc screen(nullptr);
        return screen.get() ? chooseWidgetFace(screen.get(), systemDpi()) : kDesignFace;
    }();
    return face;
}

}  // namespace vorkel::ui
