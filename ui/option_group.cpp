// The group of an option button, walked as the dialog keys walk it.
#include "ui/option_group.h"

namespace vorkel::ui {
namespace {

template <typename Visit>
void forEachOptionOfGroup(HWND option, Visit visit) {
    const HWND parent = GetParent(option);
    HWND member = option;
    do {
        if (isOptionButton(member)) {
            visit(member);
        }
        member = GetNextDlgGroupItem(parent, member, FALSE);
    } while (member != nullptr && member != option);
}

bool selected(HWND option) {
    return SendMessageW(option, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

}  // namespace

bool isOptionButton(HWND control) {
    return control != nullptr &&
           (SendMessageW(control, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) != 0;
}

HWND selectedOptionOf(HWND option) {
    HWND found = nullptr;
    forEachOptionOfGroup(option, [&](HWND member) {
        if (found == nullptr && selected(member)) {
            found = member;
        }
    });
    return found != nullptr ? found : option;
}

}  // namespace vorkel::ui
