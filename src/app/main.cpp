#include "app/clipboard_hold.h"
#include "app/command_line.h"
#include "app/main_window.h"
#include "app/platform.h"
#include "app/single_instance.h"

#include <QApplication>
#include <QFileInfo>

int main(int argc, char* argv[])
{
    // Help, the version and a refused command line need no display: they are
    // answered before the application object connects to one.
    sb::app::nameProgram();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const sb::app::CommandLine line = sb::app::readCommandLine(arguments);
    if (line.action != sb::app::CommandLine::Action::Run)
        return sb::app::printCommandLineOutcome(line);
    if (line.hold != sb::app::CommandLine::Hold::None)
        return sb::app::holdClipboard(argc, argv, line.hold == sb::app::CommandLine::Hold::Password,
                                      std::chrono::seconds(line.clipboardSeconds));
    // A second start for the same folder hands over to the first and ends,
    // without a display (`stashbook --toggle` bound to a key ends at once).
    sb::app::SingleInstance instance(line.dataDir);
    const auto request = line.toggle ? sb::app::SingleInstance::Request::Toggle
                                     : sb::app::SingleInstance::Request::BringBack;
    if (instance.handOver(request))
        return 0;
    const std::jthread fonts = sb::app::platform::prepareFonts();
    QApplication app(argc, argv);
    const sb::app::SingleInstance::Claim claim = instance.claim(request);
    if (claim == sb::app::SingleInstance::Claim::Forwarded)
        return 0;
    if (claim == sb::app::SingleInstance::Claim::Failed)
        qWarning("Stashbook: starting without the one-program-per-folder check: %s",
                 qUtf8Printable(instance.error()));
    // The window hides rather than closes, and a message box may be the only
    // window shown: the program ends through its exit item alone.
    QApplication::setQuitOnLastWindowClosed(false);

    sb::app::Environment environment{QFileInfo(line.dataDir).filesystemFilePath()};
    environment.clipboardDelay = std::chrono::seconds(line.clipboardSeconds);
    sb::app::frmStashbook window{environment};
    QObject::connect(&instance, &sb::app::SingleInstance::bringBackRequested, &window,
                     &sb::app::frmStashbook::Bring_Back);
    QObject::connect(&instance, &sb::app::SingleInstance::toggleRequested, &window,
                     &sb::app::frmStashbook::mnu_File_Restore_or_Hide_Click);
    window.Start_Up();
    window.Wait_For_Hot_Key();
    return 0;
}
