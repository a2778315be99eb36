// The main window's icons, as the system and the window's class hold them.
#include "ui/window_icons.h"

namespace vorkel::ui {

HICON ownIcon(HWND window, WPARAM which) {
    return reinterpret_cast<HICON>(
        GetClassLongPtrW(window, which == ICON_SMALL ? GCLP_HICONSM : GCLP_HICON));
}

HICON warningIcon(WPARAM which) {
    if (which != ICON_SMALL) {
        return LoadIconW(nullptr, IDI_WARNING);
    }
    // The icon's own small image, not the big one shrunk into the title bar.
    return static_cast<HICON>(LoadImageW(nullptr, IDI_WARNING, IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_SHARED));
}

}  // namespace vorkel::ui
