#include "app/main_window.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Stashbook"));
    // The window hides rather than closes, and a message box may be the only
    // window shown: the program ends through its exit item alone.
    QApplication::setQuitOnLastWindowClosed(false);

    sb::app::frmStashbook window{sb::app::Environment{}};
    window.Start_Up();
    window.Wait_For_Hot_Key();
    return 0;
}
