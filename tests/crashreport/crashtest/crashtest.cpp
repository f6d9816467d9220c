// crashtest: a program linked with the crash reporter and the program's crash hook that fails in
// the way its one argument names; the mode table test runs it as a child and reads what it says.
// Environment: CRASHTEST_GUARD_MS shortens the deadlock guard; CRASHTEST_STAMP makes null-read
// write the moment of its fault to standard error; CRASHTEST_DATA_DIR is the data folder, where the
// default report file "bugreport.txt" goes.
#include "uCrashFunctions.h"

#include "app/windowbase/uDialogs.h"
#include "app/logic/uExcept.h"
#include "crashreport/logic/VostBoxHelper.h"
#include "crashreport/logic/VostBugReport.h"
#include "crashreport/logic/VostExcept.h"
#include "crashreport/windows/VostExceptBox.h"
#include "crashreport/windows/VostNotify.h"
#include "crashreport/logic/VostReportFile.h"
#include "crashreport/logic/VostThreads.h"

#include <QApplication>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <atomic>
#include <barrier>
#include <condition_variable>
#include <mutex>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <string>
#include <thread>

#include <csignal>
#include <exception>

#include <link.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {

std::atomic<bool> SlotFailed{false};

class TCrashTestApplication : public QApplication {
public:
    using QApplication::QApplication;
    bool notify(QObject* receiver, QEvent* event) override
    {
        bool failed = true;
        const bool result = VostNotify(receiver, event, [&](QObject* r, QEvent* e) {
            const bool done = QApplication::notify(r, e);
            failed = false;
            return done;
        });
        if (failed)
            SlotFailed.store(true);
        return result;
    }
};

// Answers every box on standard output, so that the test sees the warning.
class TConsolePrompt : public TPrompt {
public:
    int MessageBox(QWidget*, const QString& text, const QString&, unsigned) override
    {
        std::printf("warning: %s\n", text.toUtf8().constData());
        std::fflush(stdout);
        return IDOK;
    }
    int MessageDlgWithCheckBox(const QString&, bool&, TMsgDlgType, const QString&, unsigned) override { return IDOK; }
    bool InputQuery(QWidget*, const QString&, const QString&, QString&) override { return false; }
    bool OpenFileDialog(QWidget*, TOpenFileRequest&) override { return false; }
    int Confirm(const QString&) override { return 2; }
};

class TThrowingThread : public QThread {
protected:
    void run() override { CrashFunctions::ThrowRuntimeError("thrown in a QThread"); }
};

void CrashingPhaseHandler(bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&, bool&)
{
    CrashFunctions::CrashInHandler();
}

void BlockingPhaseHandler(bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&, bool&)
{
    for (;;)
        pause();
}

void SlowPhaseHandler(bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&, bool&)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
}

// Runs body from the event loop and ends the loop once the failure is over (timers keep firing
// in the loop that waits for the reporter meanwhile).
int InSlot(QApplication& app, void (*body)())
{
    QTimer::singleShot(0, &app, body);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &app, [] {
        if (SlotFailed.load())
            QCoreApplication::exit(0);
    });
    poll.start(20);
    QTimer::singleShot(5000, &app, [] { QCoreApplication::exit(3); });
    const int code = app.exec();
    std::printf("continued\n");
    std::fflush(stdout);
    return code;
}

// An exit that arrives while the report is made: posted again, so the loop still ends with it.
int ExitWhileReporting(QApplication& app)
{
    AddCrashHandler(SlowPhaseHandler, smHandlingThread, 0);
    QTimer::singleShot(0, &app, [] { CrashFunctions::ThrowRuntimeError("thrown before the exit"); });
    QTimer::singleShot(50, &app, [] { QCoreApplication::exit(7); });
    const int code = app.exec();
    std::printf("continued\n");
    std::fflush(stdout);
    return code;
}

void TwoThreadsCrash()
{
    std::barrier start(2);
    auto body = [&] {
        start.arrive_and_wait();
        CrashFunctions::NullRead();
    };
    std::thread first(body), second(body);
    first.join();
    second.join();
}

// The main thread stops answering for a while; the watchdog reports it, and the program goes on.
int FreezeMainThread(QApplication& app)
{
    QTimer::singleShot(0, &app, [] {
        std::this_thread::sleep_for(std::chrono::milliseconds(1800));
        QCoreApplication::exit(0);
    });
    const int code = app.exec();
    std::printf("continued\n");
    std::fflush(stdout);
    return code;
}

// A named worker blocked on a condition while the main thread crashes.
void CrashBesideANamedWorker()
{
    std::mutex lock;
    std::condition_variable changed;
    bool named = false;
    std::thread worker([&] {
        SetThreadName(0, "worker");
        std::unique_lock guard(lock);
        named = true;
        changed.notify_all();
        changed.wait(guard, [] { return false; });
    });
    {
        std::unique_lock guard(lock);
        changed.wait(guard, [&] { return named; });
    }
    // The worker told it is named while still holding the lock: let it reach its wait.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    CrashFunctions::NullRead();
    worker.join();
}

// Another process sends SIGSEGV: no fault, so no access violation.
void SignalFromAnotherProcess()
{
    const pid_t parent = getpid();
    if (fork() == 0) {
        // Late enough that the parent is out of fork(), whose locks a report would wait for.
        usleep(200 * 1000);
        kill(parent, SIGSEGV);
        _exit(0);
    }
    for (;;)
        pause();
}

// A widget that holds the mouse grab throws in an event handler: the grab is released.
int ThrowWhileGrabbing(QApplication& app)
{
    QWidget widget;
    widget.show();
    widget.grabMouse();
    std::printf("mouse grab %s\n", QWidget::mouseGrabber() == &widget ? "taken" : "missing");
    const int code = InSlot(app, [] { CrashFunctions::ThrowRuntimeError("thrown while grabbing"); });
    std::printf("mouse grab %s\n", QWidget::mouseGrabber() ? "kept" : "released");
    return code;
}

} // namespace

int main(int argc, char** argv)
{
    // The exception box's helper: this executable again, with the hidden switch.
    if (IsBoxHelperInvocation(argc, argv))
        return RunExceptionBoxHelper(argc, argv);
    // The deaths this program provokes leave no core files behind.
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const std::string mode = argc > 1 ? argv[1] : "";
    // A file-size limit, as "ulimit -f" sets it (bytes).
    if (const char* limit = std::getenv("CRASHTEST_FSIZE")) {
        const rlim_t bytes = std::strtoull(limit, nullptr, 10);
        const rlimit fileSize{bytes, bytes};
        setrlimit(RLIMIT_FSIZE, &fileSize);
    }
    if (const char* guard = std::getenv("CRASHTEST_GUARD_MS"))
        SetDeadlockGuardTimeout(std::chrono::milliseconds(std::atoi(guard)));
    CrashReportSettings.BugReportFile = "/dev/null";
    // The box's end-to-end runs: "AUTOCLOSE,DELAY,REPORTFILE".
    if (const char* box = std::getenv("CRASHTEST_BOX")) {
        const std::string value = box;
        const size_t first = value.find(','), second = value.find(',', first + 1);
        CrashReportSettings.AutoClose = uint32_t(std::atoi(value.substr(0, first).c_str()));
        CrashReportSettings.AutoActionDelay = uint32_t(std::atoi(value.substr(first + 1, second - first - 1).c_str()));
        CrashReportSettings.AutoSave = true;
        CrashReportSettings.BugReportFile = value.substr(second + 1);
    }

    if (const char* data = std::getenv("CRASHTEST_DATA_DIR")) {
        CrashReportSettings.BugReportFile = "bugreport.txt";
        SetReportDataFolder(data);
    }
    if (mode == "freeze")
        CrashReportSettings.FreezeTimeout = 1000;
    if (mode == "done-default") {
        InitCrashReporter();
        DoneCrashReporter();
        CrashFunctions::NullRead();
        return 0;
    }

    InitCrashReporter();
    InstallReportSteps();
    // A fake machine for the golden report: cpuinfo, os-release and sysfs under one folder.
    if (const char* root = std::getenv("CRASHTEST_FACTS_ROOT"))
        InitReportFacts({root, std::string(root) + "/pci.ids", std::string(root) + "/usb.ids"});
    RegisterAppExceptionHandler();
    TConsolePrompt prompt;
    SetPrompt(&prompt);
    TCrashTestApplication app(argc, argv);
    SetUserErrorDisplay({[](const QString& text) { ShowWarning(nullptr, text); }, {}, std::chrono::milliseconds(1500)});
    AppStarting.store(false);

    if (mode == "null-read") {
        // The benchmark's start: the moment of the fault on the system's monotonic clock.
        if (std::getenv("CRASHTEST_STAMP")) {
            timespec now{};
            clock_gettime(CLOCK_MONOTONIC, &now);
            std::fprintf(stderr, "fault at %lld\n", (long long)now.tv_sec * 1000000000ll + now.tv_nsec);
            std::fflush(stderr);
        }
        CrashFunctions::NullRead();
    }
    else if (mode == "null-write")
        CrashFunctions::NullWrite();
    else if (mode == "div-zero")
        CrashFunctions::DivideByZero();
    else if (mode == "abort")
        CrashFunctions::Abort();
    else if (mode == "stack-overflow")
        CrashFunctions::StackOverflow();
    else if (mode == "throw-main")
        CrashFunctions::ThrowRuntimeError("thrown in main");
    else if (mode == "throw-thread")
        std::thread([] { CrashFunctions::ThrowRuntimeError("thrown in a std::thread"); }).join();
    else if (mode == "throw-qthread") {
        TThrowingThread thread;
        thread.start();
        thread.wait();
    } else if (mode == "slot-throw")
        return InSlot(app, [] { CrashFunctions::ThrowRuntimeError("thrown in a slot"); });
    else if (mode == "user-error")
        return InSlot(app, CrashFunctions::ThrowUserError);
    else if (mode == "eabort")
        return InSlot(app, CrashFunctions::ThrowAbort);
    else if (mode == "exit-while-reporting")
        return ExitWhileReporting(app);
    else if (mode == "phase0-crash") {
        AddCrashHandler(CrashingPhaseHandler, smHandlingThread, 0);
        CrashFunctions::NullRead();
    } else if (mode == "phase0-block") {
        AddCrashHandler(BlockingPhaseHandler, smHandlingThread, 0);
        CrashFunctions::NullRead();
    } else if (mode == "loader-lock") {
        // The fault inside the loader's module walk, which holds the loader's lock; the report
        // never comes, so the minimal report after the guard time is all there is.
        AddCrashHandler(BlockingPhaseHandler, smHandlingThread, 0);
        dl_iterate_phdr([](dl_phdr_info*, size_t, void*) {
            CrashFunctions::NullRead();
            return 1;
        }, nullptr);
    } else if (mode == "two-threads")
        TwoThreadsCrash();
    else if (mode == "freeze")
        return FreezeMainThread(app);
    else if (mode == "terminate")
        std::terminate();
    else if (mode == "external")
        SignalFromAnotherProcess();
    else if (mode == "grab-throw")
        return ThrowWhileGrabbing(app);
    else if (mode == "named-worker")
        CrashBesideANamedWorker();
    else {
        std::fprintf(stderr, "crashtest: unknown mode '%s'\n", mode.c_str());
        return 64;
    }
    std::printf("survived\n");
    return 0;
}
