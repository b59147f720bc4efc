// The main window's browsing handlers: selecting a site, the three linked
// account lists and the GO buttons.
#include "app/main_window.h"

namespace sb::app {

void frmStashbook::connectBrowsing() {}

} // namespace sb::app
