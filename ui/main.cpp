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
    // The program's loop; it ends when the last window has closed. Its step is also the
    // tracking link's while that waits for an answer.
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        vorkel::ui::handleQueuedMessage(message);
    }
    return 0;
}
