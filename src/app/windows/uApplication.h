// The editor's start and end: application title, tool-tip pause, data module, main window, the
// single-instance server, the message loop and the settings saved at the end.
#pragma once

#include <QApplication>

#include <functional>

class TInstanceServer;

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

// Creates the windows and runs the message loop until the program ends. server: the
// single-instance server, listening when firstCopy (this copy answers for the program).
using TRunWindows = std::function<void(TInstanceServer& server, bool firstCopy)>;

// Runs the editor until it ends: the start (language, single-instance server, profiles), then
// runWindows, then the end (server closed, settings saved); returns the exit code.
int RunTarvell(QApplication& app, const TRunWindows& runWindows);
