// The application: opens the main dialog at start and ends when it closes.
#pragma once

#include <QApplication>

class CvelmoApp : public QApplication {
  public:
    // Also tells assistive technology about the dialog's own widget classes, once for the
    // whole run, and loads Qt's own texts in Chinese.
    CvelmoApp(int& argc, char** argv);

    // Runs the main dialog until it is closed; returns the process exit code, 0. The
    // command line is ignored apart from Qt's own options.
    int InitInstance();
};
