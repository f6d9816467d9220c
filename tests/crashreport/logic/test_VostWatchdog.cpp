// The freeze watchdog with a fake sleeper, the process's watchdog on a real dispatcher, and the
// pause of other threads.
#include "crashreport/logic/VostExcept.h"
#include "crashreport/logic/VostSignals.h"
#include "crashreport/logic/VostThreads.h"
#include "crashreport/logic/VostTools.h"
#include "crashreport/logic/VostWatchdog.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

// Records every sleep; the main thread answers the pings of the rounds listed as answered.
struct TFakeMain {
    std::vector<uint32_t> Sleeps;
    int Reports = 0;
    std::function<bool(size_t round)> Answers = [](size_t) { return false; };
    std::function<void(size_t round)> DuringSleep = [](size_t) {};
    TFreezeWatchdog* Watchdog = nullptr;

    TFreezeWatchdog::TEnvironment Environment()
    {
        TFreezeWatchdog::TEnvironment e;
        e.Ping = [this] {
            if (Answers(Sleeps.size()))
                Watchdog->Answer();
        };
        e.Sleep = [this](std::chrono::milliseconds ms) {
            const size_t round = Sleeps.size();
            Sleeps.push_back(static_cast<uint32_t>(ms.count()));
            DuringSleep(round);
        };
        e.ReportFrozen = [this] { ++Reports; };
        return e;
    }
};

} // namespace

TEST(Watchdog, PingsEveryTenthAndLengthensAfterAReport)
{
    TFakeMain main;
    // Frozen for 25 rounds, then answering again.
    main.Answers = [](size_t round) { return round >= 25; };
    TFreezeWatchdog w(5000, main.Environment());
    main.Watchdog = &w;
    std::vector<int> reportsAfter;
    for (int i = 0; i < 28; ++i) {
        w.Step();
        reportsAfter.push_back(main.Reports);
    }
    std::vector<uint32_t> expected;
    expected.insert(expected.end(), 10, 500);  // ten misses: report
    expected.insert(expected.end(), 10, 750);  // still frozen: another report
    expected.insert(expected.end(), 6, 1125);  // the main thread answers during the sixth
    expected.insert(expected.end(), 2, 500);
    EXPECT_EQ(main.Sleeps, expected);
    EXPECT_EQ(reportsAfter[8], 0);
    EXPECT_EQ(reportsAfter[9], 1);
    EXPECT_EQ(reportsAfter[18], 1);
    EXPECT_EQ(reportsAfter[19], 2);
    EXPECT_EQ(main.Reports, 2);
    EXPECT_EQ(w.Misses(), 0u);
}

TEST(Watchdog, AnOccasionalAnswerKeepsItQuiet)
{
    TFakeMain main;
    main.Answers = [](size_t round) { return round % 9 == 8; };
    TFreezeWatchdog w(1000, main.Environment());
    main.Watchdog = &w;
    for (int i = 0; i < 60; ++i)
        w.Step();
    EXPECT_EQ(main.Reports, 0);
    EXPECT_EQ(w.Interval(), 100u);
}

TEST(Watchdog, NoMissesWhilePaused)
{
    TFakeMain main;
    TFreezeWatchdog w(5000, main.Environment());
    main.Watchdog = &w;
    // An exception's handling begins during round 3 and ends (nested) during round 4 of a
    // separate sequence; the watchdog waits while paused.
    for (int i = 0; i < 9; ++i)
        w.Step();
    EXPECT_EQ(w.Misses(), 9u);
    w.Pause(true);
    EXPECT_EQ(w.Misses(), 0u);
    w.Pause(true);
    std::atomic<bool> stepped { false };
    std::thread stepper([&] {
        w.Step();
        stepped = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(stepped) << "a paused watchdog pings nobody";
    w.Pause(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_FALSE(stepped) << "pauses nest";
    w.Pause(false);
    stepper.join();
    EXPECT_EQ(main.Reports, 0);
    EXPECT_EQ(w.Misses(), 1u);

    // A pause that begins while the watchdog sleeps: that round counts no miss.
    main.DuringSleep = [&](size_t round) {
        if (round == main.Sleeps.size() - 1 && round % 2 == 0)
            w.Pause(true);
    };
    for (int i = 0; i < 30; ++i) {
        w.Step();
        if (w.Paused()) {
            EXPECT_EQ(w.Misses(), 0u);
            w.Pause(false);
        }
    }
    EXPECT_EQ(main.Reports, 0);
}

TEST(Watchdog, ProcessWatchdogReportsAFrozenMainThread)
{
    ASSERT_EQ(CurrentThreadId(), MainThreadId());
    std::atomic<int> reports { 0 };
    std::atomic<pid_t> reporter { 0 };
    StartWatchdog(100, [&] {
        reporter = CurrentThreadId();
        ++reports;
    });
    ASSERT_TRUE(WatchdogRunning());
    EXPECT_NE(WatchdogThreadId(), 0);
    TThreadNameEntry entry;
    for (int i = 0; i < 100 && !GetThreadNameEntry(WatchdogThreadId(), entry); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_EQ(entry.Name, "-");
    // A main thread that handles its events answers every ping.
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 400)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(reports.load(), 0);
    // A main thread that does not: reported from the watchdog's thread.
    timer.restart();
    while (reports.load() == 0 && timer.elapsed() < 5000)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(reports.load(), 1);
    EXPECT_EQ(reporter.load(), WatchdogThreadId());
    // Paused around an exception: no report however long.
    PauseWatchdog(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_EQ(reports.load(), 1);
    PauseWatchdog(false);
    QCoreApplication::processEvents();
    StopWatchdog();
    EXPECT_FALSE(WatchdogRunning());
}

// A signal's request, sent as the fault handler sends it: its waiter sits in the handler and
// answers no ping, so the watchdog is paused while the report and its box are up, and counts
// afresh after.
TEST(Watchdog, PausedWhileASignalIsHandled)
{
    ASSERT_EQ(CurrentThreadId(), MainThreadId());
    StartWatchdog(600000, [] {});
    TCrashSteps steps;
    bool pausedWhilePresented = false;
    bool closed = false;
    steps.Compose = [](const TComposeRequest&, std::string& report) { report = "report"; };
    steps.Present = [&](const TPresentRequest&) { pausedWhilePresented = WatchdogPaused(); };
    steps.Close = [&] { closed = true; };
    SetCrashSteps(steps);
    ASSERT_TRUE(StartExceptionThread());
    static TSignalSlot slot;
    slot.Info.si_signo = SIGSEGV;
    slot.Info.si_code = SI_USER;
    TExceptionRequest request;
    request.Event = reinterpret_cast<uintptr_t>(&slot.Event);
    request.ThreadId = uint32_t(CurrentThreadId());
    request.BcbInfo = reinterpret_cast<uintptr_t>(&slot);
    ASSERT_EQ(write(VostSignalShared::RequestFd.load(), &request, sizeof request), ssize_t(sizeof request));
    EXPECT_TRUE(WaitForEventGuarded(&slot.Event));
    StopExceptionThread();
    EXPECT_TRUE(pausedWhilePresented);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(WatchdogPaused());
    SetCrashSteps({});
    StopWatchdog();
}

TEST(PauseControl, HoldsListedThreadsAndTheMainThread)
{
    TPauseControl control;
    control.PauseHere(1, true); // never set up: returns at once
    control.Pause({ 11 });
    std::atomic<int> passed { 0 };
    std::thread listed([&] {
        control.PauseHere(11, false);
        passed += 1;
    });
    std::thread unlisted([&] {
        control.PauseHere(12, false);
        passed += 10;
    });
    std::thread mainLike([&] {
        control.PauseHere(1, true);
        passed += 100;
    });
    unlisted.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    EXPECT_EQ(passed.load(), 10);
    // Handlers in the main thread: it goes, and is held again afterwards.
    EXPECT_TRUE(control.ReleaseMainThread());
    mainLike.join();
    EXPECT_EQ(passed.load(), 110);
    EXPECT_FALSE(control.ReleaseMainThread());
    control.HoldMainThread();
    EXPECT_TRUE(control.MainHeld());
    control.Resume();
    listed.join();
    EXPECT_EQ(passed.load(), 111);
    EXPECT_FALSE(control.MainHeld());
}

TEST(PauseControl, PauseMessageLoopsHoldsOwnDispatcherThreads)
{
    // A dispatcher thread of our own code, and one whose creator is unknown (as if started by a
    // system library); the first one is held, the second runs on.
    struct TLoopThread {
        std::thread Thread;
        std::atomic<pid_t> Id { 0 };
        std::atomic<int> Ticks { 0 };
        std::atomic<bool> Stop { false };
    };
    TLoopThread own, foreign;
    auto run = [](TLoopThread* t, bool ownCode) {
        t->Thread = std::thread([t, ownCode] {
            QEventLoop loop; // gives the thread its event dispatcher
            t->Id = CurrentThreadId();
            // The wrapper would record the creator; here the test does, with an address in this
            // program (own) or none.
            SetThreadNameEntry(0, {}, MainThreadId(), ownCode ? reinterpret_cast<uintptr_t>(&ThreadCreatedByOwnCode) : 0, {});
            HandlerWindowOf(0);
            while (!t->Stop) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
                ++t->Ticks;
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    };
    run(&own, true);
    run(&foreign, false);
    while (!own.Id || !foreign.Id || !HandlerWindowOf(own.Id) || !HandlerWindowOf(foreign.Id))
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_TRUE(ThreadCreatedByOwnCode(own.Id));
    ASSERT_FALSE(ThreadCreatedByOwnCode(foreign.Id));
    std::thread handler([] { PauseMessageLoops(true); });
    handler.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    const int ownBefore = own.Ticks, foreignBefore = foreign.Ticks;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(own.Ticks.load(), ownBefore);
    EXPECT_GT(foreign.Ticks.load(), foreignBefore);
    PauseMessageLoops(false);
    // The main thread took the blocking event too; it passes now that the pause is over.
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_GT(own.Ticks.load(), ownBefore);
    own.Stop = foreign.Stop = true;
    own.Thread.join();
    foreign.Thread.join();
    RemoveThreadName(own.Id);
    RemoveThreadName(foreign.Id);
}
