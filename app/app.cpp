// Start-up of velmo.
#include "app.h"

#include <QAccessible>

#include "main_dialog.h"

// The message boxes are captioned with the application name, which Qt takes from the
// program file's name: "velmo".
CvelmoApp::CvelmoApp(int& argc, char** argv) : QApplication(argc, argv) {
    QAccessible::installFactory(DialogAccessibleFactory);
    // Wayland compositors match a window to its desktop entry, and so to its icon, by
    // this name.
    setDesktopFileName(QStringLiteral(VELMO_APP_ID));
}

int CvelmoApp::InitInstance() {
    CvelmoDlg dialog;
    setWindowIcon(dialog.windowIcon());
    dialog.exec();
    return 0;
}
