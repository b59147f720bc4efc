// The main window's handlers of site editing: adding, changing and removing sites.
#include "app/main_window.h"

namespace sb::app {

void frmStashbook::connectSiteEditing() {}

} // namespace sb::app
