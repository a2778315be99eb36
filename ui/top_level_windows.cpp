// Bookkeeping of the open top-level windows.
#include "ui/top_level_windows.h"

#include <algorithm>
#include <vector>

namespace vorkel::ui {
namespace {

std::vector<HWND>& openWindows() {
    static std::vector<HWND> windows;
    return windows;
}

}  // namespace

void topLevelWindowOpened(HWND window) {
    openWindows().push_back(window);
}

void topLevelWindowClosed(HWND window) {
    auto& windows = openWindows();
    windows.erase(std::remove(windows.begin(), windows.end(), window), windows.end());
    if (windows.empty()) {
        PostQuitMessage(0);
    }
}

void handleQueuedMessage(MSG& message) {
    for (HWND window : openWindows()) {
        if ((message.hwnd == window || IsChild(window, message.hwnd)) &&
            IsDialogMessageW(window, &message)) {
            return;
        }
    }
    win::translateAndDispatch(message);
}

}  // namespace vorkel::ui
