// Picks the widgets' faces by measuring every window's captions in each candidate face, and
// each size in the face chosen.
#include "ui/widget_face.h"

#include <cstdlib>
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

std::set<std::wstring> sansSerifFaces(HDC dc) {
    std::set<std::wstring> faces;
    LOGFONTW all{};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc, &all, collectSansSerif, reinterpret_cast<LPARAM>(&faces), 0);
    return faces;
}

// Nearest to the design first; of two as near, the first by name.
std::vector<std::wstring> byLikeness(HDC dc, int dpi, const std::set<std::wstring>& faces) {
    const std::vector<Caption> measured = captions();
    // A few faces at most: each goes in after those that score as well (the set gives names in
    // order).
    std::vector<Score> scores;
    std::vector<std::wstring> ranked;
    for (const std::wstring& face : faces) {
        const Score s = score(dc, face, dpi, measured);
        std::size_t at = scores.size();
        while (at > 0 && s < scores[at - 1]) {
            --at;
        }
        scores.insert(scores.begin() + static_cast<std::ptrdiff_t>(at), s);
        ranked.insert(ranked.begin() + static_cast<std::ptrdiff_t>(at), face);
    }
    return ranked;
}

// The design face's outlines: what Windows realizes it in where it substitutes them.
constexpr wchar_t kDesignOutlines[] = L"Microsoft Sans Serif";

bool realizedAs(const std::wstring& realized, const std::wstring& face) {
    return realized == face || (face == kDesignFace && realized == kDesignOutlines);
}

// Whether face is drawn in itself at the size. A bitmap face's sizes are whole points at its
// own resolution, so its 8 pt is 13 px at 120 DPI where 8.25 pt asks for 14: a pixel either way
// is still the size asked for.
bool drawnAtSize(HDC dc, const std::wstring& face, int centipoints, int dpi) {
    const FontSpec spec{centipoints, false};
    const UniqueFont font = makeFont(face, spec, dpi);
    return realizedAs(realizedFace(dc, font.get()), face) &&
           std::abs(realizedPixels(dc, font.get()) - pixelsOf(spec, dpi)) <= 1;
}

std::wstring chooseFace(HDC dc, int dpi) {
    const UniqueFont design = makeFont(kDesignFace, FontSpec{}, dpi);
    const std::wstring realized = realizedFace(dc, design.get());
    if (realizedAs(realized, kDesignFace)) {
        return kDesignFace;  // Windows, or Wine with its own fonts: the layout's own face
    }
    std::set<std::wstring> faces = sansSerifFaces(dc);
    faces.insert(realized);
    return byLikeness(dc, dpi, faces).front();
}

}  // namespace

WidgetFaces chooseWidgetFaces(HDC dc, int dpi) {
    WidgetFaces faces{chooseFace(dc, dpi), {}};
    std::set<int> sizes;
    for (const auto table : widgetTables()) {
        for (const Widget& w : table) {
            sizes.insert(w.font.centipoints);
        }
    }
    std::vector<std::wstring> ranked;  // measured only when some size needs another face
    for (const int size : sizes) {
        if (drawnAtSize(dc, faces.face, size, dpi)) {
            continue;
        }
        if (drawnAtSize(dc, kDesignOutlines, size, dpi)) {
            faces.bySize[size] = kDesignOutlines;
            continue;
        }
        if (ranked.empty()) {
            ranked = byLikeness(dc, dpi, sansSerifFaces(dc));
        }
        for (const std::wstring& face : ranked) {
            if (drawnAtSize(dc, face, size, dpi)) {
                faces.bySize[size] = face;
                break;
            }
        }
        // None: the face at the size nearest it has, as before.
    }
    return faces;
}

const WidgetFaces& widgetFaces() {
    static const WidgetFaces faces = [] {
        WindowDc screen(nullptr);
        return screen.get() ? chooseWidgetFaces(screen.get(), systemDpi())
                            : WidgetFaces{kDesignFace, {}};
    }();
    return faces;
}

}  // namespace vorkel::ui
