// The main window's handlers of copying to the clipboard, and the lists' menus.
#include "app/main_window.h"

namespace sb::app {

void frmStashbook::connectCopying() {}

} // namespace sb::app
