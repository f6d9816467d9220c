// The freeze watchdog (a thread that pings the main thread's dispatcher and reports a main
// thread that stops answering) and the pause of the other threads while an exception is handled.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include <sys/types.h>

// The watchdog's work without its thread: each Step is one round of ping, sleep and check, so
// tests drive it with a fake sleeper.
class TFreezeWatchdog {
public:
    struct TEnvironment {
        // Posts a ping to the main thread; its answer must call Answer() (from any thread).
        std::function<void()> Ping;
        std::function<void(std::chrono::milliseconds)> Sleep;
        // Reports the frozen main thread (HandleExceptionCore with frozen set); returns when handled.
        std::function<void()> ReportFrozen;
    };
    TFreezeWatchdog(uint32_t freezeTimeoutMs, TEnvironment environment);

    // Waits while paused, then pings, sleeps one interval and counts a miss unless answered.
    // Ten misses report the freeze and lengthen the interval by half; an answer resets both.
    void Step();
    // Runs Step until Stop.
    void Run();
    void Stop();
    bool Stopping() const;

    // Called by the main thread's ping handler.
    void Answer();
    // Around each exception: no misses are counted while paused. Nested pauses count.
    void Pause(bool pause);
    // Called at the end of each exception's handling.
    void ResetMisses();

    uint32_t Interval() const;
    uint32_t Misses() const;
    bool Paused() const;

private:
    const uint32_t FBaseInterval;
    TEnvironment FEnvironment;
    mutable std::mutex FMutex;
    std::condition_variable FResumed;
    uint32_t FInterval;
    uint32_t FMisses = 0;
    int FPauseCount = -1;
    bool FAnswered = false;
    bool FStopping = false;
};

// Misses before a freeze is reported.
constexpr uint32_t FreezeMissLimit = 10;

// The process's watchdog: a thread named "-" that pings the main thread's dispatcher every
// freezeTimeoutMs / 10. Called in the main thread; nothing happens for 0 or when one runs.
// reportFrozen runs in the watchdog thread.
void StartWatchdog(uint32_t freezeTimeoutMs, std::function<void()> reportFrozen);
void StopWatchdog();
// Around each exception; does nothing when no watchdog runs or the watchdog thread calls.
void PauseWatchdog(bool pause);
// Whether the process's watchdog is paused now (false without one).
bool WatchdogPaused();
void ResetWatchdogMisses();
pid_t WatchdogThreadId();
bool WatchdogRunning();

// Pausing of message loops: while an exception is handled the main thread and the dispatcher
// threads started by our own code are held in a blocking event posted to their dispatchers.
class TPauseControl {
public:
    // The threads that are to pause (besides the main thread), chosen by the caller.
    void Pause(const std::set<pid_t>& others);
    void Resume();
    // The wait of a paused thread: the main thread waits for its release, another thread only
    // when it is in the pause list. Returns at once when no pause was ever set up.
    void PauseHere(pid_t self, bool isMainThread);
    // Lets a paused main thread go; true when it was held.
    bool ReleaseMainThread();
    // Holds the main thread again (after ReleaseMainThread).
    void HoldMainThread();
    bool MainHeld() const;
    bool OthersHeld() const;

private:
    mutable std::mutex FMutex;
    std::condition_variable FChanged;
    bool FUsed = false;
    bool FMainHeld = false;
    bool FOthersHeld = false;
    std::set<pid_t> FPauseList;
};

// The process's pause: holds the main thread and every other thread that has a dispatcher and
// was created by our own code (never the calling thread, the watchdog or threads without debug
// information), by posting the blocking event to each dispatcher.
void PauseMessageLoops(bool pause);
// For the main thread while handlers are called there (see TPauseControl).
bool ReleaseMainThread();
void HoldMainThread();
TPauseControl& ProcessPauseControl();
