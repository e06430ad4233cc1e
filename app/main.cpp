// The program's start and end.

#include "ConnectionControl.h"
#include "DialUpUnit.h"
#include "Forms.h"
#include "RasService.h"
#include "SignalExit.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    // The lookup table Language already exists: the main window's unit creates it first.
    TApplication::SetPixelsPerInch96();
    TApplication::PreferX11();
    QApplication application(argc, argv);
    QApplication::setWindowIcon(ApplicationIcon());
    // The window is only ever shown modally, and closing it never ends the program.
    QApplication::setQuitOnLastWindowClosed(false);
    TApplication::SetTitle(QString());
    // Logging out, shutting down, kill and Ctrl+C take the way out that Exit takes.
    TSignalExit signalExit;

    const auto service = ras::CreatePlatformRasService();
    SetRasService(service.get());
    {
        TDialUpFrm DialUpFrm;
        signalExit.SetHandler([&DialUpFrm] { DialUpFrm.E1Click(); });
        // The window is shown next: its update page's browser starts up meanwhile.
        DialUpFrm.WebBrowser2->Prestart();
        DialUpFrm.AddTrayIcon();
        DialUpFrm.ShowModal();
        TApplication::Run();
        signalExit.SetHandler({});
    }
    SetRasService(nullptr);
    return 0;
}
