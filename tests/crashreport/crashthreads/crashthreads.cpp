// crashthreads: a program linked with the crash reporter and its thread support that fails in the
// way its one argument names (a frozen main thread, a crash beside a named blocked worker,
// exceptions leaving thread bodies); the mode table test runs it as a child.
#include "crashreport/VostExcept.h"
#include "crashreport/VostThreads.h"

#include <QCoreApplication>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include <pthread.h>
#include <sys/resource.h>

namespace CrashThreads {

volatile int* volatile NullPointer = nullptr;
volatile int Sink = 0;
std::atomic<bool> FreezeReported{false};
std::mutex WorkerMutex;
std::condition_variable WorkerWake;
bool WorkerReady = false;

__attribute__((noinline)) void FreezeMainThread()
{
    while (!FreezeReported.load())
        std::this_thread::sleep_for(std::chrono::milliseconds(5)); // MARK: frozen
    Sink = Sink + 1;
}

__attribute__((noinline)) void WorkerWait()
{
    std::unique_lock lock(WorkerMutex);
    WorkerReady = true;
    WorkerWake.notify_all();
    WorkerWake.wait(lock, [] { return false; }); // MARK: worker-wait
}

__attribute__((noinline)) std::thread StartBlockedWorker()
{
    std::thread worker([] {
        SetThreadName(0, "TBlockedWorker");
        WorkerWait();
    }); // MARK: worker-start
    Sink = Sink + 1;
    return worker;
}

__attribute__((noinline)) void NullRead()
{
    Sink = *NullPointer; // MARK: null-read
    Sink = Sink + 1;
}

__attribute__((noinline)) void Throw(const char* message)
{
    throw std::runtime_error(message); // MARK: throw
}

class TThrowingThread : public QThread {
protected:
    void run() override { Throw("thrown in a QThread"); }
};

void MarkFreezeReported(bool frozen, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&, bool&)
{
    if (frozen)
        FreezeReported.store(true);
}

} // namespace CrashThreads

int main(int argc, char** argv)
{
    using namespace CrashThreads;
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const std::string mode = argc > 1 ? argv[1] : "";
    CrashReportSettings.BugReportFile = "/dev/null";
    if (mode == "frozen-main")
        CrashReportSettings.FreezeTimeout = 500;
    QCoreApplication app(argc, argv);
    InitCrashReporter();
    DeclareConsoleProcess(true);

    if (mode == "frozen-main") {
        AddCrashHandler(MarkFreezeReported, smHandlingThread, 2);
        QTimer::singleShot(200, &app, [] { FreezeMainThread(); QCoreApplication::exit(0); });
        QTimer::singleShot(20000, &app, [] { QCoreApplication::exit(3); });
        const int code = app.exec();
        std::printf("continued\n");
        DoneCrashReporter();
        return code;
    }
    if (mode == "named-worker") {
        std::thread worker = StartBlockedWorker();
        {
            std::unique_lock lock(WorkerMutex);
            WorkerWake.wait(lock, [] { return WorkerReady; });
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        NullRead();
        worker.detach();
    } else if (mode == "throw-qthread") {
        TThrowingThread thread;
        thread.start();
        thread.wait();
    } else if (mode == "throw-pthread") {
        pthread_t thread{};
        pthread_create(
            &thread, nullptr, [](void*) -> void* { Throw("thrown in a thread"); return nullptr; }, nullptr);
        pthread_join(thread, nullptr);
    } else {
        std::fprintf(stderr, "crashthreads: unknown mode '%s'\n", mode.c_str());
        return 64;
    }
    std::printf("continued\n");
    DoneCrashReporter();
    return 0;
}
