// The about box is not built yet: "Acerca De" does nothing for now.
#include "ui/about_box.h"

namespace vorkel::ui {

void showAboutBox() {}

}  // namespace vorkel::ui
