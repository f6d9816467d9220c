// The freeze watchdog and the pause of message loops.
#include "crashreport/logic/VostWatchdog.h"

#include "crashreport/logic/VostThreads.h"
#include "crashreport/logic/VostTools.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QPointer>

#include <atomic>
#include <future>
#include <memory>

TFreezeWatchdog::TFreezeWatchdog(uint32_t freezeTimeoutMs, TEnvironment environment)
    : FBaseInterval(std::max<uint32_t>(freezeTimeoutMs / 10, 1))
    , FEnvironment(std::move(environment))
    , FInterval(FBaseInterval)
{
}

void TFreezeWatchdog::Step()
{
    uint32_t interval = 0;
    {
        std::unique_lock lock(FMutex);
        FResumed.wait(lock, [&] { return FPauseCount < 0 || FStopping; });
        if (FStopping)
            return;
        interval = FInterval;
    }
    if (FEnvironment.Ping)
        FEnvironment.Ping();
    if (FEnvironment.Sleep)
        FEnvironment.Sleep(std::chrono::milliseconds(interval));
    bool report = false;
    {
        const std::lock_guard lock(FMutex);
        // A pause that began during the sleep is an exception being handled: no miss.
        if (FStopping || FPauseCount >= 0)
            return;
        // An answer to any earlier ping counts too, as the main thread is alive.
        if (FAnswered) {
            FAnswered = false;
            FMisses = 0;
            FInterval = FBaseInterval;
        } else if (++FMisses >= FreezeMissLimit) {
            report = true;
        }
    }
    if (!report)
        return;
    if (FEnvironment.ReportFrozen)
        FEnvironment.ReportFrozen();
    const std::lock_guard lock(FMutex);
    FMisses = 0;
    FInterval = FInterval + FInterval / 2;
}

void TFreezeWatchdog::Run()
{
    while (!Stopping())
        Step();
}

void TFreezeWatchdog::Stop()
{
    {
        const std::lock_guard lock(FMutex);
        FStopping = true;
    }
    FResumed.notify_all();
}

bool TFreezeWatchdog::Stopping() const
{
    const std::lock_guard lock(FMutex);
    return FStopping;
}

void TFreezeWatchdog::Answer()
{
    const std::lock_guard lock(FMutex);
    FAnswered = true;
}

void TFreezeWatchdog::Pause(bool pause)
{
    {
        const std::lock_guard lock(FMutex);
        if (pause)
            ++FPauseCount;
        else if (FPauseCount >= 0)
            --FPauseCount;
        FMisses = 0;
    }
    FResumed.notify_all();
}

void TFreezeWatchdog::ResetMisses()
{
    const std::lock_guard lock(FMutex);
    FMisses = 0;
}

uint32_t TFreezeWatchdog::Interval() const
{
    const std::lock_guard lock(FMutex);
    return FInterval;
}

uint32_t TFreezeWatchdog::Misses() const
{
    const std::lock_guard lock(FMutex);
    return FMisses;
}

bool TFreezeWatchdog::Paused() const
{
    const std::lock_guard lock(FMutex);
    return FPauseCount >= 0;
}

namespace {

struct TProcessWatchdog {
    std::unique_ptr<TFreezeWatchdog> Watchdog;
    std::thread Thread;
    std::atomic<pid_t> ThreadId{0};
    uint32_t PingMessage = 0;
    TMessageDispatcher* MainDispatcher = nullptr;
    // Wakes the watchdog's sleep when it is stopped.
    std::mutex SleepMutex;
    std::condition_variable SleepWake;
    bool SleepStop = false;
};

std::mutex WatchdogMutex; // one watchdog per process
TProcessWatchdog* Current = nullptr;

constexpr intptr_t PingAnswer = 777;

// Runs in the main thread: wParam 0 is the watchdog's ping; otherwise wParam is a dispatcher
// that gets message lParam with 777, 777 (the freeze box asks so whether the program recovered).
void PingProc(void*, TMessageDispatcher*, uint32_t, uintptr_t wParam, intptr_t lParam, intptr_t& result)
{
    if (wParam == 0) {
        const std::lock_guard lock(WatchdogMutex);
        if (Current && Current->Watchdog)
            Current->Watchdog->Answer();
    } else {
        PostHandlerMessage(reinterpret_cast<TMessageDispatcher*>(wParam), static_cast<uint32_t>(lParam), PingAnswer, PingAnswer);
    }
    result = PingAnswer;
}

void PostBlockingEvent(QObject* target, bool isMainThread)
{
    if (!target)
        return;
    QMetaObject::invokeMethod(
        target, [isMainThread] { ProcessPauseControl().PauseHere(CurrentThreadId(), isMainThread); }, Qt::QueuedConnection);
}

QObject* MainThreadTarget()
{
    if (TMessageDispatcher* d = HandlerWindowOf(MainThreadId()))
        return d;
    return QCoreApplication::instance();
}

} // namespace

void StartWatchdog(uint32_t freezeTimeoutMs, std::function<void()> reportFrozen)
{
    if (freezeTimeoutMs == 0)
        return;
    const std::lock_guard lock(WatchdogMutex);
    if (Current)
        return;
    auto* w = new TProcessWatchdog;
    w->MainDispatcher = HandlerWindowOf(0);
    w->PingMessage = AddMessageHandler({ &PingProc, nullptr }, 0, 0);
    TFreezeWatchdog::TEnvironment environment;
    environment.Ping = [w] { PostHandlerMessage(w->MainDispatcher, w->PingMessage, 0, 0); };
    environment.Sleep = [w](std::chrono::milliseconds interval) {
        std::unique_lock sleepLock(w->SleepMutex);
        w->SleepWake.wait_for(sleepLock, interval, [w] { return w->SleepStop; });
    };
    environment.ReportFrozen = std::move(reportFrozen);
    w->Watchdog = std::make_unique<TFreezeWatchdog>(freezeTimeoutMs, std::move(environment));
    Current = w;
    std::promise<void> named;
    w->Thread = std::thread([w, &named] {
        w->ThreadId.store(CurrentThreadId());
        SetThreadName(0, "-");
        named.set_value();
        w->Watchdog->Run();
    });
    named.get_future().wait();
}

void StopWatchdog()
{
    TProcessWatchdog* w = nullptr;
    {
        const std::lock_guard lock(WatchdogMutex);
        w = Current;
        if (!w)
            return;
    }
    {
        const std::lock_guard sleepLock(w->SleepMutex);
        w->SleepStop = true;
    }
    w->SleepWake.notify_all();
    w->Watchdog->Stop();
    if (w->Thread.joinable())
        w->Thread.join();
    RemoveMessageHandler({ &PingProc, nullptr }, w->PingMessage, 0);
    RemoveThreadName(w->ThreadId.load());
    {
        const std::lock_guard lock(WatchdogMutex);
        Current = nullptr;
    }
    delete w;
}

void PauseWatchdog(bool pause)
{
    const std::lock_guard lock(WatchdogMutex);
    if (!Current || CurrentThreadId() == Current->ThreadId.load())
        return;
    Current->Watchdog->Pause(pause);
}

bool WatchdogPaused()
{
    const std::lock_guard lock(WatchdogMutex);
    return Current && Current->Watchdog->Paused();
}

void ResetWatchdogMisses()
{
    const std::lock_guard lock(WatchdogMutex);
    if (Current)
        Current->Watchdog->ResetMisses();
}

pid_t WatchdogThreadId()
{
    const std::lock_guard lock(WatchdogMutex);
    return Current ? Current->ThreadId.load() : 0;
}

bool WatchdogRunning()
{
    const std::lock_guard lock(WatchdogMutex);
    return Current != nullptr;
}

void TPauseControl::Pause(const std::set<pid_t>& others)
{
    const std::lock_guard lock(FMutex);
    FUsed = true;
    FPauseList = others;
    FMainHeld = true;
    FOthersHeld = true;
}

void TPauseControl::Resume()
{
    {
        const std::lock_guard lock(FMutex);
        FMainHeld = false;
        FOthersHeld = false;
    }
    FChanged.notify_all();
}

void TPauseControl::PauseHere(pid_t self, bool isMainThread)
{
    std::unique_lock lock(FMutex);
    if (!FUsed)
        return;
    if (isMainThread)
        FChanged.wait(lock, [&] { return !FMainHeld; });
    else if (FPauseList.count(self))
        FChanged.wait(lock, [&] { return !FOthersHeld; });
}

bool TPauseControl::ReleaseMainThread()
{
    bool held = false;
    {
        const std::lock_guard lock(FMutex);
        held = FMainHeld;
        FMainHeld = false;
    }
    if (held)
        FChanged.notify_all();
    return held;
}

void TPauseControl::HoldMainThread()
{
    const std::lock_guard lock(FMutex);
    FUsed = true;
    FMainHeld = true;
}

bool TPauseControl::MainHeld() const
{
    const std::lock_guard lock(FMutex);
    return FMainHeld;
}

bool TPauseControl::OthersHeld() const
{
    const std::lock_guard lock(FMutex);
    return FOthersHeld;
}

TPauseControl& ProcessPauseControl()
{
    static TPauseControl* control = new TPauseControl; // paused threads may still wait at exit
    return *control;
}

void PauseMessageLoops(bool pause)
{
    TPauseControl& control = ProcessPauseControl();
    if (!pause) {
        control.Resume();
        return;
    }
    const pid_t self = CurrentThreadId(), main = MainThreadId(), watchdog = WatchdogThreadId();
    std::set<pid_t> others;
    std::vector<TMessageDispatcher*> targets;
    for (const pid_t id : GetThreadList()) {
        if (id == self || id == main || id == watchdog)
            continue;
        TMessageDispatcher* dispatcher = HandlerWindowOf(id);
        if (dispatcher && ThreadCreatedByOwnCode(id)) {
            others.insert(id);
            targets.push_back(dispatcher);
        }
    }
    control.Pause(others);
    if (self != main)
        PostBlockingEvent(MainThreadTarget(), true);
    for (TMessageDispatcher* d : targets)
        PostBlockingEvent(d, false);
}

bool ReleaseMainThread()
{
    return ProcessPauseControl().ReleaseMainThread();
}

void HoldMainThread()
{
    ProcessPauseControl().HoldMainThread();
    if (CurrentThreadId() != MainThreadId())
        PostBlockingEvent(MainThreadTarget(), true);
}
