// The about box inside its own process, where fonts, colours, focus and the program's end can
// be read directly. Needs a display: test_about_box.py runs it in a Wine session.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "ui/form1_layout.h"
#include "ui/frm_about.h"
#include "ui/frm_about_layout.h"
#include "ui/gdi.h"
#include "ui/top_level_windows.h"
#include "ui/twips.h"
#include "ui/widget_face.h"

namespace vorkel::ui {
namespace {

using frm_about::ControlId;

// The about boxes of this process (other programs of the Wine session are no concern).
std::vector<HWND> openBoxes() {
    std::vector<HWND> boxes;
    for (HWND w = FindWindowExW(nullptr, nullptr, kAboutBoxClass, nullptr); w;
         w = FindWindowExW(nullptr, w, kAboutBoxClass, nullptr)) {
        DWORD process = 0;
        GetWindowThreadProcessId(w, &process);
        if (process == GetCurrentProcessId()) {
            boxes.push_back(w);
        }
    }
    return boxes;
}

HWND theBox() {
    const auto boxes = openBoxes();
    return boxes.size() == 1 ? boxes.front() : nullptr;
}

std::wstring textOf(HWND window) {
    wchar_t buffer[512];
    return std::wstring(buffer, static_cast<std::size_t>(GetWindowTextW(window, buffer, 512)));
}

// What a font comes out as on the screen: the height of its characters in pixels (the cell
// less its internal leading, which is what a size in points measures) and the face drawn.
struct Drawn {
    int pixels;
    std::wstring face;
};

Drawn drawn(HFONT font) {
    win::WindowDc screen(nullptr);
    win::Selection selected(screen.get(), font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen.get(), &metrics);
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(screen.get(), LF_FACESIZE, face);
    return {static_cast<int>(metrics.tmHeight - metrics.tmInternalLeading), face};
}

bool quitPosted() {
    MSG message;
    bool quit = false;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = true;
        } else {
            DispatchMessageW(&message);
        }
    }
    return quit;
}

// A key as the message loop gets it: for the focused widget, through the loop's own step.
void typeKey(WPARAM key) {
    MSG message{GetFocus(), WM_KEYDOWN, key, 1, static_cast<DWORD>(GetMessageTime()), {}};
    handleQueuedMessage(message);
}

// A plain window standing in for the main window, so that closing the box alone never ends
// the "program".
class AboutBoxTest : public testing::Test {
  protected:
    void SetUp() override {
        standIn_ = CreateWindowExW(0, L"STATIC", L"stand-in", WS_POPUP, 0, 0, 10, 10, nullptr,
                                   nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(standIn_, nullptr);
        topLevelWindowOpened(standIn_);
    }
    void TearDown() override {
        closeAboutBox();
        if (standIn_) {
            DestroyWindow(standIn_);
            topLevelWindowClosed(standIn_);
        }
        quitPosted();
    }

    HWND openOne() {
        showAboutBox();
        HWND box = theBox();
        EXPECT_NE(box, nullptr);
        return box;
    }

    HWND standIn_ = nullptr;
};

TEST_F(AboutBoxTest, OneBoxAtATimeAndAFreshOneAfterEachWayOfClosing) {
    HWND first = openOne();
    showAboutBox();  // a second "Acerca De" shows the same box
    EXPECT_EQ(openBoxes(), std::vector<HWND>{first});

    const auto ok = [](HWND box) {
        SendMessageW(GetDlgItem(box, frm_about::kCmdOk), BM_CLICK, 0, 0);
    };
    const auto enter = [](HWND) { typeKey(VK_RETURN); };
    const auto esc = [](HWND) { typeKey(VK_ESCAPE); };
    const auto closeButton = [](HWND box) { SendMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); };
    for (const auto& close : {+ok, +enter, +esc, +closeButton}) {
        HWND box = theBox();
        ASSERT_NE(box, nullptr);
        close(box);
        EXPECT_TRUE(openBoxes().empty());
        EXPECT_FALSE(IsWindow(box));
        closeAboutBox();  // nothing left to close: no harm
        HWND fresh = openOne();
        ASSERT_NE(fresh, nullptr);
        EXPECT_EQ(GetFocus(), GetDlgItem(fresh, frm_about::kCmdOk));
        // Written out, not read from the layout table: a wrong table shows here too.
        const std::pair<int, std::wstring> texts[] = {
            {frm_about::kCmdOk, L"OK"},
            {frm_about::kLblTitle, L"Driver DDE VORKEL"},
            {frm_about::kLblVersion, L"Version 0.9b"},
            {frm_about::kLblDescription,
             L"Programa cliente de  DDE  para el control de  rotores Yaesu y compatible con el "
             L"hardware Fox Delta y LVB tracker."},
            {frm_about::kLblDisclaimer, L"Versión en desarrollo..."},
        };
        for (const auto& [id, text] : texts) {
            EXPECT_EQ(textOf(GetDlgItem(fresh, id)), text) << "in a fresh box";
        }
    }
    EXPECT_FALSE(quitPosted()) << "the stand-in main window is still open";
}

// The box as it must come out, worked out by hand from the layout's twips: 15 twips to the
// pixel at 96 DPI, 10 at 144, halves rounded up (MulDiv). Written out rather than converted, so
// that a wrong table or a wrong conversion shows.
struct Expected {
    int dpi;
    SIZE client;
    POINT screen;  // the client area's top-left corner
    struct Place {
        ControlId id;
        RECT rect;  // in the client area; the picture box's right and bottom follow its picture
    } places[6];
    int regularHeight;  // 8.25 pt, as LOGFONT's (negative) lfHeight
    int titleHeight;    // 12 pt
    // The face the title is drawn in where Wine's "MS Sans Serif" has its size (at 96 DPI);
    // none where it has not, and whichever face draws the size takes it.
    const wchar_t* titleFace;
};

constexpr Expected kExpected[] = {
    {96,
     {343, 141},
     {156, 129},
     {{frm_about::kCmdOk, {232, 112, 316, 135}},
      {frm_about::kPicIcon, {8, 16, 0, 0}},
      {frm_about::kLblDescription, {70, 56, 329, 102}},
      {frm_about::kLblDisclaimer, {8, 112, 209, 135}},
      {frm_about::kLblTitle, {70, 16, 329, 40}},
      {frm_about::kLblVersion, {70, 40, 329, 55}}},
     -11,
     -16,
     L"MS Sans Serif"},
    {144,
     {515, 212},
     {234, 194},
     {{frm_about::kCmdOk, {348, 168, 474, 203}},
      {frm_about::kPicIcon, {12, 24, 0, 0}},
      {frm_about::kLblDescription, {105, 84, 494, 153}},
      {frm_about::kLblDisclaimer, {12, 168, 314, 203}},
      {frm_about::kLblTitle, {105, 24, 494, 60}},
      {frm_about::kLblVersion, {105, 60, 494, 83}}},
     -17,
     -24,
     nullptr},
};

// The figures for the DPI the process works at; the driver checks which one it was.
const Expected* expectedAt(int dpi) {
    std::printf("[ about box at %d DPI ]\n", dpi);
    for (const Expected& e : kExpected) {
        if (e.dpi == dpi) {
            return &e;
        }
    }
    return nullptr;
}

TEST_F(AboutBoxTest, PlacesWidgetsWhereTheLayoutSaysAndThePictureBoxFitsItsPicture) {
    HWND box = openOne();
    const Expected* expected = expectedAt(systemDpi());
    ASSERT_NE(expected, nullptr) << "no figures worked out for " << systemDpi() << " DPI";
    RECT client{};
    GetClientRect(box, &client);
    EXPECT_EQ(client.right, expected->client.cx);
    EXPECT_EQ(client.bottom, expected->client.cy);
    POINT origin{0, 0};
    ClientToScreen(box, &origin);
    EXPECT_EQ(origin.x, expected->screen.x);
    EXPECT_EQ(origin.y, expected->screen.y);

    const LONG_PTR style = GetWindowLongPtrW(box, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU) << "close button";
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_FALSE(GetWindowLongPtrW(box, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindow(box, GW_OWNER), nullptr);

    for (const auto& [id, rect] : expected->places) {
        HWND child = GetDlgItem(box, id);
        ASSERT_NE(child, nullptr) << id;
        RECT place{};
        GetWindowRect(child, &place);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&place), 2);
        EXPECT_EQ(place.left, rect.left) << id;
        EXPECT_EQ(place.top, rect.top) << id;
        if (id != frm_about::kPicIcon) {
            EXPECT_EQ(place.right, rect.right) << id;
            EXPECT_EQ(place.bottom, rect.bottom) << id;
        }
    }
    // 47 x 50 pixels of picture inside a 2-pixel sunken border, at any DPI.
    HWND picture = GetDlgItem(box, frm_about::kPicIcon);
    RECT inside{};
    GetClientRect(picture, &inside);
    EXPECT_EQ(inside.right, 47);
    EXPECT_EQ(inside.bottom, 50);
    RECT outside{};
    GetWindowRect(picture, &outside);
    EXPECT_EQ(outside.right - outside.left, 51);
    EXPECT_EQ(outside.bottom - outside.top, 54);
    EXPECT_TRUE(GetWindowLongPtrW(picture, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    EXPECT_NE(SendMessageW(picture, STM_GETIMAGE, IMAGE_BITMAP, 0), 0) << "picture resource";
}

TEST_F(AboutBoxTest, FontsAndColoursAreThoseOfTheDesign) {
    HWND box = openOne();
    const Expected* expected = expectedAt(systemDpi());
    ASSERT_NE(expected, nullptr) << "no figures worked out for " << systemDpi() << " DPI";
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    for (const Widget& w : frm_about::widgets()) {
        HWND child = GetDlgItem(box, w.id);
        if (w.kind == WidgetKind::Picture) {
            continue;  // no text, and an image static keeps no font
        }
        const HFONT handle = reinterpret_cast<HFONT>(SendMessageW(child, WM_GETFONT, 0, 0));
        LOGFONTW font{};
        ASSERT_NE(GetObjectW(handle, sizeof font, &font), 0) << w.name;
        // The captions' size is one that "MS Sans Serif" has at every DPI: kept in it.
        const std::wstring face = drawn(handle).face;
        if (w.id != frm_about::kLblTitle) {
            EXPECT_EQ(face, L"MS Sans Serif") << w.name;
        } else if (expected->titleFace) {
            EXPECT_EQ(face, expected->titleFace) << w.name;
        }
        EXPECT_EQ(font.lfHeight,
                  w.id == frm_about::kLblTitle ? expected->titleHeight : expected->regularHeight)
            << w.name;
        EXPECT_EQ(font.lfWeight, FW_NORMAL) << w.name;

        const LRESULT brush =
            SendMessageW(box, w.kind == WidgetKind::Button ? WM_CTLCOLORBTN : WM_CTLCOLORSTATIC,
                         reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(child));
        EXPECT_EQ(brush, reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE))) << w.name;
        EXPECT_EQ(GetBkColor(dc), GetSysColor(COLOR_BTNFACE)) << w.name;
        const COLORREF text = GetTextColor(dc);
        switch (w.id) {
            case frm_about::kLblTitle:
                EXPECT_EQ(text, RGB(0, 0, 255));
                break;
            case frm_about::kLblDescription:
            case frm_about::kLblDisclaimer:
                EXPECT_EQ(text, RGB(0, 0, 0)) << w.name;
                break;
            default:
                EXPECT_EQ(text, GetSysColor(COLOR_BTNTEXT)) << w.name;
        }
    }
    DeleteDC(dc);
}

// Every size of both windows comes out at the DPI's own pixel size, give or take the pixel a
// bitmap face's whole-point sizes round to, and so the sizes keep the layout's order: the
// position values largest, then the about box's title, the satellite's name, the rest. The
// about box's fonts are read from its widgets; the main window's are made as it makes them.
TEST_F(AboutBoxTest, FontsOfBothWindowsAreDrawnAtTheirSizesInTheLayoutsOrder) {
    const int dpi = systemDpi();
    std::printf("[ widget fonts at %d DPI ]\n", dpi);
    std::map<int, Drawn> bySize;  // by centipoints
    const auto note = [&](const Widget& w, HFONT font) {
        const Drawn d = drawn(font);
        const auto [seen, added] = bySize.emplace(w.font.centipoints, d);
        EXPECT_EQ(seen->second.pixels, d.pixels) << w.name << ": one size, one height";
    };
    HWND box = openOne();
    for (const Widget& w : frm_about::widgets()) {
        if (w.kind != WidgetKind::Picture) {
            note(w, reinterpret_cast<HFONT>(SendMessageW(GetDlgItem(box, w.id), WM_GETFONT, 0, 0)));
        }
    }
    FontCache mainWindowFonts(widgetFaces(), dpi);
    for (const Widget& w : form1::widgets()) {
        note(w, mainWindowFonts.get(w.font));
    }
    ASSERT_EQ(bySize.size(), 4u) << "8.25, 9.75, 12 and 13.5 pt";
    int smaller = 0;
    for (const auto& [centipoints, d] : bySize) {
        const int asked = MulDiv(centipoints, dpi, 7200);
        std::printf("[ %5.2f pt: %d px asked, %d px drawn in %ls ]\n", centipoints / 100.0, asked,
                    d.pixels, d.face.c_str());
        EXPECT_LE(std::abs(d.pixels - asked), 1) << centipoints << " centipoints in " << d.face;
        EXPECT_GT(d.pixels, smaller) << centipoints << " centipoints: larger than the size below";
        smaller = d.pixels;
    }
}

TEST_F(AboutBoxTest, TabGoesFromOkToThePictureAndEnterMeansOkWhereverTheFocusIs) {
    HWND box = openOne();
    HWND ok = GetDlgItem(box, frm_about::kCmdOk);
    HWND picture = GetDlgItem(box, frm_about::kPicIcon);
    EXPECT_EQ(GetFocus(), ok);
    typeKey(VK_TAB);
    EXPECT_EQ(GetFocus(), picture) << "labels take no focus";
    typeKey(VK_TAB);
    EXPECT_EQ(GetFocus(), ok);
    typeKey(VK_TAB);
    EXPECT_EQ(SendMessageW(box, DM_GETDEFID, 0, 0), MAKELRESULT(IDOK, DC_HASDEFID));
    // Focus on the picture: Enter reaches the box through its default button id.
    typeKey(VK_RETURN);
    EXPECT_TRUE(openBoxes().empty());
}

TEST_F(AboutBoxTest, FocusComesBackToItsWidgetWhenTheBoxIsActivatedAgain) {
    HWND box = openOne();
    typeKey(VK_TAB);
    ASSERT_EQ(GetFocus(), GetDlgItem(box, frm_about::kPicIcon));
    SetActiveWindow(standIn_);
    EXPECT_NE(GetFocus(), GetDlgItem(box, frm_about::kPicIcon));
    showAboutBox();  // "Acerca De" again brings the same box forward
    EXPECT_EQ(theBox(), box);
    SetActiveWindow(box);
    EXPECT_EQ(GetFocus(), GetDlgItem(box, frm_about::kPicIcon));
}

TEST_F(AboutBoxTest, TheProgramEndsWithWhicheverWindowClosesLast) {
    openOne();
    closeAboutBox();
    EXPECT_FALSE(quitPosted()) << "main window still open";

    openOne();
    DestroyWindow(standIn_);  // the main window closes first
    topLevelWindowClosed(standIn_);
    standIn_ = nullptr;
    EXPECT_FALSE(quitPosted()) << "the about box is still open";
    closeAboutBox();
    EXPECT_TRUE(quitPosted()) << "the about box was the last window";
}

}  // namespace
}  // namespace vorkel::ui
