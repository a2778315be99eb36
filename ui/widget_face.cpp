// Picks the widgets' face by measuring every window's captions in each candidate face.
#include "ui/widget_face.h"

#include <cstdlib>
#include <limits>
#include <set>
#include <vector>

#include "ui/caption_fit.h"
#include "ui/gdi.h"
#include "ui/twips.h"
#include "ui/widget_table.h"

namespace vorkel::ui {
namespace {

struct Caption {
    std::wstring text;
    CaptionKind kind;
    TwipsRect place;
    FontSpec font;
    int designWidth;
};

// Every caption of every window's table: the texts that must fit, with the widths they were
// designed at.
std::vector<Caption> captions() {
    std::vector<Caption> all;
    for (const auto table : widgetTables()) {
        for (const Widget& w : table) {
            if ((w.flags & kRunTimeText) != 0) {
                continue;
            }
            if (w.kind == WidgetKind::Label) {
                all.push_back({w.text, CaptionKind::Label, w.place, w.font, w.designWidth});
            } else if (w.kind == WidgetKind::Option || w.kind == WidgetKind::Check) {
                all.push_back({w.text, CaptionKind::Box, w.place, w.font, w.designWidth});
            } else if (w.kind == WidgetKind::Button) {
                all.push_back({w.text, CaptionKind::Button, w.place, w.font, w.designWidth});
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
        const CaptionMeasure m = measureCaption(
            dc, c.text, c.kind, SIZE{place.right - place.left, place.bottom - place.top});
        s.overflow += std::max(0L, m.text.cx - m.room.cx) + std::max(0L, m.text.cy - m.room.cy);
        if (c.designWidth > 0) {
            SIZE line{};
            GetTextExtentPoint32W(dc, c.text.c_str(), static_cast<int>(c.text.size()), &line);
            s.distance += std::labs(line.cx - MulDiv(c.designWidth, dpi, 96));
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
