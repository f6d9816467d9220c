// The editor's start and end: application title, tool-tip pause, data module, main window, the
// single-instance server, the message loop and the settings saved at the end.
#pragma once

#include <QApplication>

// Tool tips stay this long (ms).
inline constexpr int HintHidePause = 7500;

// The application object: exceptions that leave an event handler go to the crash reporter.
class TTarvellApplication : public QApplication {
public:
    TTarvellApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// Sets up the application object as every window expects it (title, no quit when the last
// window closes, tool-tip pause, formats).
void InitTarvellApplication(QApplication& app);

// Runs the editor until it ends; returns the exit code.
int RunTarvell(QApplication& app);
