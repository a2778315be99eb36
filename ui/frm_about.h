// The about box, frmAbout: one at a time, modeless, without owner.
#pragma once

namespace vorkel::ui {

inline constexpr wchar_t kAboutBoxClass[] = L"VorkelFrmAbout";

// Opens the about box, or shows the open one again and brings it forward.
void showAboutBox() noexcept;
// Closes and discards the about box, if one is open; the next showAboutBox makes a fresh one.
void closeAboutBox() noexcept;

}  // namespace vorkel::ui
