// vorkelDDE: follows the tracking program over DDE and points the rotor on COM1.
#include <windows.h>

#include "ui/form1.h"
#include "ui/top_level_windows.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    if (!vorkel::ui::Form1::registerClass(instance)) {
        return 1;
    }
    vorkel::ui::Form1 form;
    if (!form.open(showCommand)) {
        return 1;
    }
    // The one loop of the program; it ends when the last window has closed.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!vorkel::ui::handleDialogKeys(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}
