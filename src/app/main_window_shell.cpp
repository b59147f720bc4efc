// Hiding to the tray, restoring and the global hot key.
#include "app/main_window.h"

namespace sb::app {

void frmStashbook::connectShell() {}

void frmStashbook::Tray_Icon_Add() {}

void frmStashbook::mnu_File_Restore_or_Hide_Click()
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
}

void frmStashbook::Register_Hot_Key() {}

} // namespace sb::app
