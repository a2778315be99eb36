// The about box, frmAbout: one at a time, modeless, without owner.
#pragma once

namespace vorkel::ui {

// Opens the about box, or shows the open one again.
void showAboutBox();

}  // namespace vorkel::ui
