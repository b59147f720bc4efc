// The main window's handlers of account editing: adding, changing and removing accounts.
#include "app/main_window.h"

namespace sb::app {

void frmStashbook::connectAccountEditing() {}

} // namespace sb::app
