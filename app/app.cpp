// Start-up of velmo.
#include "app.h"

#include <QAccessible>
#include <QLibraryInfo>
#include <QTranslator>

#include "main_dialog.h"

// The message boxes are captioned with the application name, which Qt takes from the
// program file's name: "velmo".
CvelmoApp::CvelmoApp(int& argc, char** argv) : QApplication(argc, argv) {
    QAccessible::installFactory(DialogAccessibleFactory);
    // Wayland compositors match a window to its desktop entry, and so to its icon, by
    // this name.
    setDesktopFileName(QStringLiteral(VELMO_APP_ID));

    // The window speaks Chinese whatever the user's locale, and so do the texts Qt adds to
    // it: the fields' context menus, the message boxes' buttons. Without Qt's translations
    // installed they stay English.
    auto* qtTexts = new QTranslator(this);
    if (qtTexts->load(QStringLiteral("qtbase_zh_CN"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        installTranslator(qtTexts);
    }
}

int CvelmoApp::InitInstance() {
    CvelmoDlg dialog;
    setWindowIcon(dialog.windowIcon());
    dialog.exec();
    return 0;
}
