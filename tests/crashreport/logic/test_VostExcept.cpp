// The reporter's core: the auto rules, the phase rules of the per-exception work, the handler
// registry's matching, the handling thread's pipe, the main thread through its dispatcher, signal
// classes, class chains and the console output.
#include "crashreport/logic/VostCppSupport.h"
#include "crashreport/logic/VostExcept.h"
#include "crashreport/logic/VostMail.h"
#include "crashreport/logic/VostSignals.h"
#include "crashreport/logic/VostThreads.h"
#include "crashreport/logic/VostTypes.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cfenv>
#include <csignal>
#include <mutex>
#include <stdexcept>
#include <thread>

#include <unistd.h>

namespace {

uint64_t FakeNow = 0;
uint64_t FakeClock() { return FakeNow; }

// What the steps and the action handlers saw.
struct TRecorder {
    std::mutex Lock;
    int Composed = 0;
    int Presented = 0;
    int Closed = 0;
    std::vector<uint8_t> Actions;
    std::string PresentedReport;
    std::vector<std::string> Calls;
    void Call(const std::string& name)
    {
        const std::lock_guard lock(Lock);
        Calls.push_back(name);
    }
};
TRecorder* Rec = nullptr;

void RecordAction(uint8_t action, bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&)
{
    Rec->Actions.push_back(action);
}

class CrashCore : public ::testing::Test {
protected:
    void SetUp() override
    {
        Rec = new TRecorder;
        CrashReportSettings = TCrashReportSettings();
        CrashHandlers().Clear();
        TCrashSteps steps;
        steps.Compose = [](const TComposeRequest& request, std::string& report) {
            ++Rec->Composed;
            report = "report of " + ExceptionClassText(request.ExceptObject);
        };
        steps.Present = [](const TPresentRequest& request) {
            ++Rec->Presented;
            Rec->PresentedReport = request.BugReport;
        };
        steps.Close = [] { ++Rec->Closed; };
        SetCrashSteps(steps);
        const uint64_t empty[10] = {};
        SetExceptionHistory(empty);
        FakeNow = 13'000'000'000ull;
        SetCrashClock(FakeClock);
        DeclareConsoleProcess(true);
        CrashHandlers().AddActionHandler(RecordAction, smHandlingThread);
    }
    void TearDown() override
    {
        StopExceptionThread();
        DoneCrashReporter();
        SetCrashSteps({});
        SetCrashClock(nullptr);
        CrashHandlers().Clear();
        CrashReportSettings = TCrashReportSettings();
        delete Rec;
        Rec = nullptr;
    }
    // Starts the handling thread only: no signal handlers in a test process.
    static void StartThreadOnly()
    {
        ASSERT_TRUE(StartExceptionThread());
        ASSERT_NE(ExceptionThreadId(), 0);
    }
    static void Raise(bool canContinue, const char* className = "EConvertError")
    {
        ReportedException e(className, "Not a number");
        HandleExceptionCore(false, &e, 0x1234, canContinue);
    }
};

// --- auto rules ---------------------------------------------------------------------------------

struct TAutoCase {
    const char* Name;
    uint32_t N;
    int Count;   // entries, newest first
    int Spacing; // seconds between entries
    bool Holds;
};

TEST(CrashAutoRule, Table)
{
    const uint64_t now = 1'000'000;
    for (const TAutoCase& c : {TAutoCase{"0 never", 0, 10, 1, false}, TAutoCase{"1 always", 1, 0, 0, true},
                               TAutoCase{"ten within 30", 30, 10, 3, true}, TAutoCase{"ten at exactly 27 s", 30, 10, 3, true},
                               TAutoCase{"nine within 30", 30, 9, 3, false}, TAutoCase{"ten over 36 s", 30, 10, 4, false},
                               TAutoCase{"ten within 60", 60, 10, 6, true}}) {
        uint64_t history[10] = {};
        for (int i = 0; i < c.Count; ++i)
            history[i] = now - uint64_t(i * c.Spacing);
        EXPECT_EQ(AutoRuleHolds(c.N, history, now), c.Holds) << c.Name;
    }
}

// AutoClose 30: the tenth exception within 30 seconds closes the program, nine do not; spread
// over more than 30 seconds, ten do not either.
TEST_F(CrashCore, AutoCloseCountsTheLastTenExceptions)
{
    CrashReportSettings.AutoClose = 30;
    for (int i = 1; i <= 10; ++i) {
        FakeNow += 3;
        Raise(true);
        EXPECT_EQ(Rec->Closed, i == 10 ? 1 : 0) << "exception " << i;
    }
    EXPECT_EQ(Rec->Actions.back(), caClose);
    EXPECT_EQ(std::count(Rec->Actions.begin(), Rec->Actions.end(), uint8_t(caContinue)), 9);

    const uint64_t empty[10] = {};
    SetExceptionHistory(empty);
    Rec->Closed = 0;
    for (int i = 1; i <= 10; ++i) {
        FakeNow += 4;
        Raise(true);
    }
    EXPECT_EQ(Rec->Closed, 0);
}

// --- phase rules --------------------------------------------------------------------------------

struct TPhaseCase {
    const char* Name;
    uint8_t Phase;
    bool CanContinue;
    int Composed, Presented, Closed;
    int Continued; // announcements of continue
};

void HandlingHandler(bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&, bool& handled)
{
    handled = true;
}

TEST_F(CrashCore, PhaseRules)
{
    for (const TPhaseCase& c : {
             // A phase-0 handler that handles it stops the report; when the exception can go on,
             // nothing else happens.
             TPhaseCase{"phase 0, continuable", 0, true, 0, 0, 0, 0},
             TPhaseCase{"phase 0, not continuable: still closed", 0, false, 0, 0, 1, 0},
             TPhaseCase{"phase 1 keeps the report from the box", 1, true, 1, 0, 0, 0},
             // Phase-2 handlers cannot suppress the actions that follow.
             TPhaseCase{"phase 2 suppresses nothing", 2, true, 1, 1, 0, 1},
         }) {
        CrashHandlers().Clear();
        CrashHandlers().AddActionHandler(RecordAction, smHandlingThread);
        AddCrashHandler(HandlingHandler, smHandlingThread, c.Phase);
        delete Rec;
        Rec = new TRecorder;
        Raise(c.CanContinue);
        EXPECT_EQ(Rec->Composed, c.Composed) << c.Name;
        EXPECT_EQ(Rec->Presented, c.Presented) << c.Name;
        EXPECT_EQ(Rec->Closed, c.Closed) << c.Name;
        EXPECT_EQ(std::count(Rec->Actions.begin(), Rec->Actions.end(), uint8_t(caContinue)), c.Continued) << c.Name;
    }
}

void RaisingHandler(bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&, bool&)
{
    Rec->Call("raising");
    throw std::runtime_error("handler failed");
}
void CountingHandler(bool, const ReportedException*, uintptr_t, uint32_t, std::string& report, std::string&, bool&, bool&)
{
    Rec->Call("counting:" + report);
}
void CountingHandler2(bool, const ReportedException*, uintptr_t, uint32_t, std::string& report, std::string&, bool&, bool&)
{
    Rec->Call("counting2:" + report);
}

TEST_F(CrashCore, ARaisingHandlerDoesNotStopTheOthers)
{
    AddCrashHandler(RaisingHandler, smHandlingThread, 0);
    AddCrashHandler(CountingHandler, smHandlingThread, 0);
    Raise(true);
    EXPECT_EQ(Rec->Calls, (std::vector<std::string>{"raising", "counting:"}));
    EXPECT_EQ(Rec->Presented, 1);
}

void RaisingCanContinue(bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool& canContinue, bool&)
{
    canContinue = true;
}
void LoweringCanContinue(bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool& canContinue, bool&)
{
    canContinue = false;
}

TEST_F(CrashCore, HandlersLowerCanContinueButNeverRaiseIt)
{
    AddCrashHandler(RaisingCanContinue, smHandlingThread, 0);
    Raise(false);
    EXPECT_EQ(Rec->Closed, 1);

    CrashHandlers().Clear();
    AddCrashHandler(LoweringCanContinue, smHandlingThread, 1);
    Rec->Closed = 0;
    Raise(true);
    EXPECT_EQ(Rec->Closed, 1);
}

TEST_F(CrashCore, NoReportClassesStillRunPhasesOneAndTwo)
{
    AddCrashHandler(CountingHandler, smHandlingThread, 0);
    AddCrashHandler(CountingHandler, smHandlingThread, 1); // the same handler: its phase is updated
    AddCrashHandler(CountingHandler2, smHandlingThread, 2);
    CrashReportSettings.NoReportClasses = " EFoo ,, econverterror ";
    Raise(true);
    EXPECT_EQ(Rec->Composed, 0);
    EXPECT_EQ(Rec->Calls, (std::vector<std::string>{"counting:", "counting2:"}));
    EXPECT_EQ(Rec->Presented, 1);
    EXPECT_EQ(Rec->PresentedReport, "");

    Rec->Calls.clear();
    Raise(true, "EConvertErrorToo");
    EXPECT_EQ(Rec->Composed, 1);
    EXPECT_EQ(Rec->Calls, (std::vector<std::string>{"counting:report of EConvertErrorToo", "counting2:report of EConvertErrorToo"}));
}

void AppendingPassword(bool, const ReportedException*, uintptr_t, uint32_t, std::string& report, std::string&, bool&, bool&)
{
    report += "\r\nSmtpPassword=s3cr3t!\r\n";
}

TEST_F(CrashCore, TheSmtpPasswordNeverReachesTheBox)
{
    CrashReportSettings.SmtpPassword = "s3cr3t!";
    AddCrashHandler(AppendingPassword, smHandlingThread, 1);
    Raise(true);
    EXPECT_EQ(Rec->PresentedReport.find("s3cr3t!"), std::string::npos) << Rec->PresentedReport;
    EXPECT_NE(Rec->PresentedReport.find("SmtpPassword=********"), std::string::npos) << Rec->PresentedReport;
}

// The default floating-point environment after an exception: rounding to nearest, the x87 at
// extended precision with every exception masked (0x037F), not 0x1332, which unmasks traps.
TEST_F(CrashCore, ResetFpuLoadsTheDefaultEnvironment)
{
    CrashReportSettings.ResetFpuAfterException = true;
    std::fesetround(FE_UPWARD);
    uint16_t changed = 0x0272;
    asm volatile("fldcw %0" : : "m"(changed));
    Raise(true);
    uint16_t control = 0;
    asm volatile("fnstcw %0" : "=m"(control));
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
    EXPECT_EQ(control, 0x037F);
}

TEST_F(CrashCore, EAbortMakesNoReportAndClosesOnlyWhenItCannotContinue)
{
    for (bool canContinue : {true, false}) {
        delete Rec;
        Rec = new TRecorder;
        try {
            throw EAbort();
        } catch (...) {
            ReportCurrentException(canContinue);
        }
        EXPECT_EQ(Rec->Composed + Rec->Presented, 0);
        EXPECT_TRUE(Rec->Actions.empty());
        EXPECT_EQ(Rec->Closed, canContinue ? 0 : 1);
    }
}

// --- the handling thread ------------------------------------------------------------------------

// A record shorter than a request is dropped whole, and the next request still arrives intact.
TEST_F(CrashCore, AShortRecordIsDroppedAndTheThreadKeepsReading)
{
    StartThreadOnly();
    TExceptionRequest bogus;
    bogus.Event = 0xdeadbeef; // would be "set" by a thread that took the short record for a request
    bogus.ExceptObject = 0x10;
    ASSERT_EQ(write(VostSignalShared::RequestFd.load(), &bogus, 40), 40);
    Raise(true);
    EXPECT_EQ(Rec->Composed, 1);
    EXPECT_EQ(Rec->Presented, 1);
    EXPECT_NE(ExceptionThreadId(), 0);
}

pid_t HandlerThread = 0;
void RecordingThread(bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&, bool&)
{
    HandlerThread = CurrentThreadId();
}
pid_t FallbackThread = 0;
void RecordingFallback(bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&, bool&)
{
    FallbackThread = CurrentThreadId();
}

// A sync-mode-1 handler runs in the main thread, which keeps its loop running while it waits;
// while the main thread does not answer, only sync mode 2 runs, in the handling thread.
TEST_F(CrashCore, TheMainThreadIsReachedThroughItsDispatcher)
{
    StartThreadOnly();
    const pid_t mainThread = CurrentThreadId();
    AddCrashHandler(RecordingThread, smMainThread, 1);
    HandlerThread = 0;
    Raise(true);
    EXPECT_EQ(HandlerThread, mainThread);

    CrashHandlers().Clear();
    AddCrashHandler(RecordingThread, smMainThread, 1);
    AddCrashHandler(RecordingFallback, smMainThreadOrHandling, 1);
    HandlerThread = FallbackThread = 0;
    // The main thread blocks in join: it runs no loop.
    std::thread([] { Raise(true); }).join();
    EXPECT_EQ(HandlerThread, 0);
    EXPECT_NE(FallbackThread, 0);
    EXPECT_NE(FallbackThread, mainThread);
    EXPECT_EQ(FallbackThread, ExceptionThreadId());
}

TEST_F(CrashCore, DoneStopsTheThreadQuickly)
{
    StartThreadOnly();
    const int64_t start = MonotonicMs();
    StopExceptionThread();
    EXPECT_LT(MonotonicMs() - start, 500);
    EXPECT_EQ(ExceptionThreadId(), 0);
}

TEST_F(CrashCore, NothingStartsWithoutCatchingOrWatchdog)
{
    CrashReportSettings.CatchExceptions = false;
    CrashReportSettings.FreezeTimeout = 0;
    InitCrashReporter();
    EXPECT_EQ(ExceptionThreadId(), 0);
    EXPECT_FALSE(SignalHandlersInstalled());
    EXPECT_FALSE(CrashReporterActive());
}

// The SMTP password comes scrambled in the settings and is clear text once the reporter runs.
TEST_F(CrashCore, StartUpDeciphersTheSmtpPassword)
{
    CrashReportSettings.HookRuntime = false; // no signal handlers in a test process
    CrashReportSettings.SmtpServer = "mail.example";
    CrashReportSettings.SmtpAccount = "reporter";
    std::string scrambled = "pw-123";
    EncipherSmtpPassword(scrambled, "mail.example", "reporter");
    ASSERT_NE(scrambled, "pw-123");
    CrashReportSettings.SmtpPassword = scrambled;
    InitCrashReporter();
    EXPECT_EQ(CrashReportSettings.SmtpPassword.Str(), "pw-123");
    InitCrashReporter(); // a second start changes nothing
    EXPECT_EQ(CrashReportSettings.SmtpPassword.Str(), "pw-123");
}

// --- matching -----------------------------------------------------------------------------------

struct TMatchEntry {
    const char* Name;
    uint8_t SyncMode;
    uint8_t Phase;
};
struct TMatchRound {
    uint8_t Phase;
    bool InMainThread;
    bool MainThreadFailed;
    std::vector<std::string> Called;
};

TEST(CrashHandlerRegistry, MatchingOfPhaseEntries)
{
    const TMatchEntry entries[] = {{"thread0", 0, 0}, {"thread1", 0, 1}, {"main1", 1, 1}, {"either1", 2, 1}, {"either2", 2, 2}};
    TCrashHandlerRegistry registry;
    std::vector<std::string> called;
    for (const TMatchEntry& e : entries) {
        const std::string name = e.Name;
        registry.AddPhaseMethod([&called, name](bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&,
                                                bool&) { called.push_back(name); },
                                e.Name, e.SyncMode, e.Phase);
    }
    for (const TMatchRound& round : {TMatchRound{0, false, false, {"thread0"}}, TMatchRound{1, false, false, {"thread1"}},
                                     TMatchRound{1, true, false, {"main1", "either1"}}, TMatchRound{1, true, true, {"either1"}},
                                     TMatchRound{2, true, true, {"either2"}}, TMatchRound{2, false, false, {}}}) {
        called.clear();
        TFireHandlersParams p;
        p.Phase = round.Phase;
        p.InMainThread = round.InMainThread;
        p.MainThreadFailed = round.MainThreadFailed;
        registry.CallMatchingHandlers(p);
        EXPECT_EQ(called, round.Called) << int(round.Phase) << round.InMainThread << round.MainThreadFailed;
    }
}

TEST(CrashHandlerRegistry, MethodsComeFirstAndAHandledRoundStops)
{
    TCrashHandlerRegistry registry;
    std::vector<std::string> called;
    registry.AddPhaseHandler(HandlingHandler, 0, 0);
    registry.AddPhaseMethod([&](bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&, bool&) {
        called.push_back("method");
    },
                            &called, 0, 0);
    TFireHandlersParams p;
    registry.CallMatchingHandlers(p);
    EXPECT_EQ(called, std::vector<std::string>{"method"});
    EXPECT_TRUE(p.Handled);
    // A second round of a handled exception calls nobody of kind 0.
    registry.CallMatchingHandlers(p);
    EXPECT_EQ(called.size(), 1u);
}

// Registration while another thread runs rounds: rounds work on copies taken under the lock.
TEST(CrashHandlerRegistry, RoundsSurviveRegistrationsMeanwhile)
{
    TCrashHandlerRegistry registry;
    std::atomic<bool> stop{false};
    std::atomic<int> calls{0};
    std::thread rounds([&] {
        while (!stop.load()) {
            TFireHandlersParams p;
            registry.CallMatchingHandlers(p);
        }
    });
    for (int i = 0; i < 2000; ++i)
        registry.AddPhaseMethod([&](bool, const ReportedException*, uintptr_t, uint32_t, std::string&, std::string&, bool&, bool&) {
            calls.fetch_add(1);
        },
                                reinterpret_cast<const void*>(uintptr_t(i + 1)), 0, 0);
    stop.store(true);
    rounds.join();
    TFireHandlersParams p;
    registry.CallMatchingHandlers(p);
    EXPECT_GE(calls.load(), 2000);
}

// --- classes --------------------------------------------------------------------------------------

struct TSignalCase {
    int Signal, Code;
    bool Write, Guard, Self;
    const char* Module;
    const char* ClassName;
    const char* Message;
    const char* Base;
};

TEST(CrashSignals, ClassAndText)
{
    for (const TSignalCase& c : {
             TSignalCase{SIGSEGV, SEGV_MAPERR, false, false, false, "tarvell", "EAccessViolation",
                         "Access violation at address $0000000000401000 in module 'tarvell'. Read of address $0000000000000010",
                         "EExternal"},
             TSignalCase{SIGSEGV, SEGV_ACCERR, true, false, false, "tarvell", "EAccessViolation",
                         "Access violation at address $0000000000401000 in module 'tarvell'. Write of address $0000000000000010",
                         "EExternal"},
             TSignalCase{SIGSEGV, SEGV_MAPERR, false, false, false, "", "EAccessViolation", "Access Violation", "EExternal"},
             TSignalCase{SIGSEGV, SEGV_MAPERR, true, true, false, "tarvell", "EStackOverflow", "Stack overflow", "EExternal"},
             TSignalCase{SIGFPE, FPE_INTDIV, false, false, false, "", "EDivByZero", "Division by zero", "EIntError"},
             TSignalCase{SIGFPE, FPE_INTOVF, false, false, false, "", "EIntOverflow", "Integer overflow", "EIntError"},
             TSignalCase{SIGFPE, FPE_FLTDIV, false, false, false, "", "EZeroDivide", "Floating point division by zero", "EMathError"},
             TSignalCase{SIGFPE, FPE_FLTOVF, false, false, false, "", "EOverflow", "Floating point overflow", "EMathError"},
             TSignalCase{SIGFPE, FPE_FLTUND, false, false, false, "", "EUnderflow", "Floating point underflow", "EMathError"},
             TSignalCase{SIGFPE, FPE_FLTINV, false, false, false, "", "EInvalidOp", "Invalid floating point operation", "EMathError"},
             TSignalCase{SIGILL, ILL_PRVOPC, false, false, false, "", "EPrivilege", "Privileged instruction", "EExternal"},
             TSignalCase{SIGILL, ILL_ILLOPN, false, false, false, "", "EExternalException", "Illegal instruction", "EExternal"},
             TSignalCase{SIGABRT, SI_TKILL, false, false, true, "", "BcbTermination", "Abnormal program termination", "VostException"},
             // Sent by another process: no fault, no fault address, never an access violation.
             TSignalCase{SIGSEGV, SI_USER, false, false, false, "tarvell", "EExternalSignal", "External signal SIGSEGV from process 4321",
                         "EExternal"},
             TSignalCase{SIGABRT, SI_USER, false, false, false, "", "EExternalSignal", "External signal SIGABRT from process 4321",
                         "EExternal"},
         }) {
        TSignalFacts facts;
        facts.Signal = c.Signal;
        facts.Code = c.Code;
        facts.FaultAddress = 0x10;
        facts.InstructionPointer = 0x401000;
        facts.WriteAccess = c.Write;
        facts.InGuardPage = c.Guard;
        facts.SentBySelf = c.Self;
        facts.SenderPid = 4321;
        facts.ModuleName = c.Module;
        const ReportedException e = ClassifySignal(facts);
        EXPECT_EQ(e.ClassName, c.ClassName) << c.Message;
        EXPECT_EQ(e.Message, c.Message);
        EXPECT_TRUE(e.IsClass(c.Base)) << c.ClassName;
        EXPECT_EQ(e.Signal, c.Signal);
    }
}

// One table names the signals for the report and for the signal handler's minimal report.
TEST(CrashSignals, OneTableOfNames)
{
    const std::pair<int, const char*> named[] = {
        {SIGSEGV, "SIGSEGV"}, {SIGBUS, "SIGBUS"}, {SIGFPE, "SIGFPE"}, {SIGILL, "SIGILL"},
        {SIGABRT, "SIGABRT"}, {SIGTRAP, "SIGTRAP"}, {SIGSYS, "SIGSYS"},
    };
    for (const auto& [signal, name] : named) {
        ASSERT_NE(SignalText(signal), nullptr) << name;
        EXPECT_STREQ(SignalText(signal), name);
        EXPECT_EQ(SignalName(signal), name);
    }
    EXPECT_EQ(SignalText(SIGUSR1), nullptr);
    EXPECT_EQ(SignalName(42), "signal 42");
}

struct TBase : std::runtime_error {
    TBase()
        : std::runtime_error("base")
    {
    }
};
struct TMiddle : TBase {};
struct TMixin {
    virtual ~TMixin() = default;
};
struct TLeaf : TMiddle, TMixin {};

TEST(CrashClasses, ChainThroughTheRtti)
{
    EXPECT_EQ(ClassChain(&typeid(TLeaf)),
              (std::vector<std::string>{"(anonymous namespace)::TLeaf", "(anonymous namespace)::TMiddle", "(anonymous namespace)::TMixin",
                                        "(anonymous namespace)::TBase", "std::runtime_error", "std::exception"}));

    ReportedException e;
    try {
        throw TLeaf();
    } catch (...) {
        e = ReportedException::FromCurrentException();
    }
    EXPECT_EQ(e.ClassName, "(anonymous namespace)::TLeaf");
    EXPECT_EQ(e.Message, "base");
    EXPECT_TRUE(e.IsClass("std::runtime_error"));
    EXPECT_TRUE(e.IsClass("(anonymous namespace)::TMixin"));
    EXPECT_FALSE(e.IsClass("std::logic_error"));
    EXPECT_NE(e.ThrownObject, nullptr);

    try {
        throw 42;
    } catch (...) {
        e = ReportedException::FromCurrentException();
    }
    EXPECT_EQ(e.ClassName, "int");
    EXPECT_EQ(e.Message, "int");
    EXPECT_TRUE(ReportedException::FromCurrentException().Empty());
}

TEST(CrashConsole, OutputText)
{
    const TCrashReportSettings saved = CrashReportSettings;
    ReportedException e("EConvertError", "'x' is not\r\na number");
    TPresentRequest request;
    request.ExceptObject = &e;
    request.BugReport = "the report";
    EXPECT_EQ(ConsoleOutputText(request), "An error occurred in the application:\r\n\r\n'x' is nota number\r\nthe report\r\n");
    CrashReportSettings.ShowButtonCaption = "";
    EXPECT_EQ(ConsoleOutputText(request), "An error occurred in the application:\r\n\r\n'x' is nota number\r\n");
    CrashReportSettings.ShowReportAtOnce = true;
    request.Frozen = true;
    EXPECT_EQ(ConsoleOutputText(request), "The application seems to be frozen.\r\nthe report\r\n");
    CrashReportSettings = saved;
}

TEST(CrashSettings, TextsAreCutToTheirCapacity)
{
    TCrashReportSettings s;
    s.MailSubject = std::string(80, 'x');
    EXPECT_EQ(s.MailSubject.Length(), 50u);
    EXPECT_EQ(s.MailSubject.CStr()[50], 0);
    EXPECT_EQ(ExpandAppName(s.BoxTitle.View()), ReporterAppName());
    EXPECT_EQ(ScreenShotSizeCode(51200), 2u);
    EXPECT_EQ(ScreenShotSizeCode(5), 0u);
}

} // namespace
