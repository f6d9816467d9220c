// The crash reporter's core: its settings record, the one entry every exception and freeze goes
// through, the handling thread that does the per-exception work, the handler registry and the
// start and end of the reporter.
#pragma once

#include "crashreport/logic/VostStackTrace.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <typeinfo>
#include <vector>

#include <sys/types.h>

// A text of the settings record with a fixed capacity in bytes; longer texts are cut. Kept in the
// record itself, so that the emergency paths of a damaged process can read it without allocating.
template <size_t Capacity>
class TShortText {
public:
    TShortText() = default;
    TShortText(std::string_view text) { Assign(text); }
    TShortText(const char* text) { Assign(text); }
    TShortText& operator=(std::string_view text)
    {
        Assign(text);
        return *this;
    }
    TShortText& operator=(const char* text)
    {
        Assign(text);
        return *this;
    }
    TShortText& operator=(const std::string& text)
    {
        Assign(text);
        return *this;
    }
    std::string_view View() const { return std::string_view(FText, FLength); }
    std::string Str() const { return std::string(View()); }
    const char* CStr() const { return FText; }
    bool Empty() const { return FLength == 0; }
    size_t Length() const { return FLength; }
    static constexpr size_t MaxLength = Capacity;

private:
    void Assign(std::string_view text)
    {
        FLength = std::min(text.size(), Capacity);
        std::memcpy(FText, text.data(), FLength);
        FText[FLength] = 0;
    }
    char FText[Capacity + 1] = {};
    size_t FLength = 0;
};

class ReportedException;

// The reporter's configuration: one global record, CrashReportSettings. "%appname%" in a text is
// replaced by the executable's file name. The texts of the box (title, texts, captions) are the
// untranslated sources; the box translates them in the context "VostExcept" when it shows them.
struct TCrashReportSettings {
    uint32_t ReporterMainThreadId = 0; // 0: found at start-up
    bool ShowBox = true;
    bool PauseOtherThreads = false;
    bool AutoSave = false;
    bool AutoMail = false;
    bool CopyReportToClipboard = false;
    bool AutoContinue = false;
    uint32_t AutoRestart = 0; // 0 never, 1 always, n > 1: when the last ten exceptions fell within n s
    uint32_t AutoClose = 0;
    uint32_t AutoActionDelay = 60; // s
    std::string MailFrom;
    TShortText<75> MailAddress = "bugreport-%appname%@orvik.example";
    TShortText<50> MailSubject = "%appname% bug report";
    bool MailAttachReportFile = true;
    bool MailAttachTempCopy = false;
    uint32_t ScreenShotMode = 0;
    bool MailDirect = false;
    bool MailViaServer = false;
    bool MailViaMapi = true;
    bool MailViaShell = true;
    TShortText<50> SmtpServer;
    uint32_t SmtpPort = 25;
    TShortText<50> SmtpAccount;
    // Never written into a report: reports pass MaskSecrets before anyone sees them.
    TShortText<75> SmtpPassword;
    std::string MailExtraAttachments; // "|" separated
    TShortText<200> MailSentText;
    TShortText<200> MailFailedText;
    TShortText<255> BugReportFile = "bugreport.txt";
    uint32_t BugReportFileMaxSize = 50000;
    TShortText<100> BoxTitle = "%appname%";
    TShortText<255> ErrorText;
    TShortText<255> FrozenText;
    TShortText<30> MailButtonCaption;
    TShortText<30> SaveButtonCaption;
    TShortText<30> PrintButtonCaption;
    TShortText<30> ShowButtonCaption;
    TShortText<30> ContinueButtonCaption;
    TShortText<30> RestartButtonCaption;
    TShortText<30> CloseButtonCaption;
    uint32_t DefaultButton = 3; // action code of the focused button
    bool ShowReportAtOnce = false;
    bool ListAllThreads = true;
    bool ListModules = true;
    bool ListHardware = true;
    bool StackTraceOptions[3] = {false, false, false};
    bool DisAsmOption = false;
    uint32_t DisAsmLines = 5;
    bool ListCommandLine = true;
    bool OwnerDrawnButtons = true;
    bool ConsoleOutput = true;
    bool ResetFpuAfterException = false;
    bool StackTraceOption4 = false;
    std::string NoReportClasses; // comma separated
    bool WebMode = false;
    // Builds the web variant of the box (report, html).
    std::function<void(const std::string& bugReport, std::string& html)> WebPageProc;
    // Takes a screen shot (size code, picture bytes).
    std::function<void(uint32_t sizeCode, std::string& screenShot)> ScreenShotProc;
    // Disassembles the crashing function (code address, exception address, option, lines).
    std::function<std::string(uintptr_t codeAddress, uintptr_t exceptAddress, bool option, uint32_t lines)> DisAsmProc;
    bool CatchExceptions = true;
    uint32_t FreezeTimeout = 0; // ms; 0 = no watchdog
    const std::string* VersionVariable = nullptr;
    bool HookRuntime = true;

    TCrashReportSettings();
};
extern TCrashReportSettings CrashReportSettings;

// The size code ScreenShotProc gets for a ScreenShotMode.
uint32_t ScreenShotSizeCode(uint32_t screenShotMode);
// The executable's file name (for "%appname%"), unless the program gave its own name.
std::string ReporterAppName();
// The name "%appname%" stands for from now on (a program whose title differs from its file name).
void SetReporterAppName(std::string_view name);
// text with "%appname%" replaced.
std::string ExpandAppName(std::string_view text);

// ---------------------------------------------------------------------------------------------
// The exception object

// What the reporter knows of one exception: the object that reaches the handlers and the report.
// Made from a C++ exception (its class, message, RTTI chain and the exception itself) or from a
// fatal signal (a class derived from the signal and its code, named after the system exceptions:
// EAccessViolation, EStackOverflow, ... all derived from EExternal by name).
class ReportedException {
public:
    ReportedException() = default;
    ReportedException(std::string className, std::string message, std::vector<std::string> classChain = {});
    // From a C++ exception: class name (demangled), message (what() of a std::exception, else the
    // class name), the chain of its RTTI classes and the throw record, when there is one.
    static ReportedException FromException(const std::exception_ptr& exception);
    // The exception in flight in the calling thread; an empty object when there is none.
    static ReportedException FromCurrentException();

    std::string ClassName;
    std::string Message;
    // ClassName first, then its base classes (breadth first through the Itanium RTTI, ClassChain);
    // the reporter's own classes carry their chain by name.
    std::vector<std::string> ClassChain;
    std::exception_ptr Exception;
    // The thrown object (the key of the throw records); nullptr for reporter-made exceptions.
    const void* ThrownObject = nullptr;
    // Where the program threw it and the raw stack then, from the throw record; 0 / empty without one.
    uintptr_t ThrowAddress = 0;
    std::vector<TRawStackItem> ThrowStack;
    // For exceptions made from a signal: the signal, its code and the fault address.
    int Signal = 0;
    int SignalCode = 0;
    uintptr_t FaultAddress = 0;

    // True when name is the class or one of its bases (exact comparison).
    bool IsClass(std::string_view name) const;
    bool Empty() const { return ClassName.empty(); }
};

// ---------------------------------------------------------------------------------------------
// Signals

// The facts of a fatal signal that decide its class and text.
struct TSignalFacts {
    int Signal = 0;
    int Code = 0;              // si_code
    uintptr_t FaultAddress = 0; // si_addr
    uintptr_t InstructionPointer = 0;
    bool WriteAccess = false; // bit 1 of the page-fault error code
    bool InGuardPage = false; // the fault address lies in the guard area of the thread's stack
    pid_t SenderPid = 0;      // for si_code <= 0
    bool SentBySelf = false;  // the sender is the own process
    // The module of the instruction pointer ("" when none).
    std::string ModuleName;
};
// Class, chain and message of a fatal signal.
ReportedException ClassifySignal(const TSignalFacts& facts);
// "SIGSEGV", or "signal 42".
std::string SignalName(int signal);

// ---------------------------------------------------------------------------------------------
// Requests and the entry

// One request on the handling thread's pipe: the fields of the 40-byte record of the original at
// pointer size, written and read as raw bytes. Packet-mode pipe: a short record is dropped whole.
struct TExceptionRequest {
    uint64_t Event = 0; // the waiter's completion record; 0 in the all-zero stop record
    uint32_t ThreadId = 0;
    uint8_t Frozen = 0;
    uint8_t Padding1[3] = {};
    uint64_t ExceptObject = 0; // ReportedException*, or 0
    uint64_t ExceptAddr = 0;
    uint8_t CanContinue = 0;
    uint8_t Padding2[7] = {};
    uint64_t StackPointer = 0;
    uint64_t FramePointer = 0;
    uint64_t WebOutput = 0; // std::string*, or 0
    // The prepared context: for a signal its slot (siginfo and registers), or 0.
    uint64_t BcbInfo = 0;
};
static_assert(sizeof(TExceptionRequest) == 72, "the request record is 72 bytes");
constexpr size_t ExceptionRequestSize = sizeof(TExceptionRequest);

// The single entry: hands the exception to the handling thread and returns when it has been
// handled completely (close and restart may end the process first). A missing object is taken
// from the exception in flight. stackPointer/framePointer 0: the caller's own. The main thread
// keeps its event loop running while it waits (and re-posts an exit that arrives meanwhile).
void HandleExceptionCore(bool frozen, ReportedException* exceptObject, uintptr_t exceptAddr, bool canContinue,
                         uintptr_t stackPointer = 0, uintptr_t framePointer = 0, std::string* webOutput = nullptr,
                         const void* bcbInfo = nullptr);
// HandleExceptionCore for the exception in flight (inside a catch block).
void ReportCurrentException(bool canContinue);

// ---------------------------------------------------------------------------------------------
// The handler registry

// Phase handler (kind 0).
using TCrashHandlerProc = void (*)(bool frozen, const ReportedException* exceptObject, uintptr_t exceptAddr,
                                   uint32_t crashedThreadId, std::string& bugReport, std::string& screenShot,
                                   bool& canContinue, bool& handled);
// Action handler (kind 1). Actions: 0 mail, 1 save, 2 print, 3 show, 4 continue, 5 restart, 6 close.
using TCrashActionProc = void (*)(uint8_t action, bool frozen, const ReportedException* exceptObject, uintptr_t exceptAddr,
                                  uint32_t crashedThreadId, std::string& bugReport, std::string& screenShot, bool& handled);
// Handled-exception handler (kind 2).
using TCrashHandledProc = void (*)(const ReportedException* exceptObject, uintptr_t exceptAddr, const std::string& bugReport,
                                   uint32_t threadId);
enum TCrashAction : uint8_t { caMail = 0, caSave = 1, caPrint = 2, caShow = 3, caContinue = 4, caRestart = 5, caClose = 6 };
// Sync modes: 0 handling thread; 1 main thread; 2 main thread, or the handling thread when the
// main thread does not answer.
enum TSyncMode : uint8_t { smHandlingThread = 0, smMainThread = 1, smMainThreadOrHandling = 2 };

// One round of handler calls.
struct TFireHandlersParams {
    uint8_t Kind = 0; // 0 phase, 1 action, 2 handled-exception handlers
    uint8_t Phase = 0;
    uint8_t Action = 0;
    bool Frozen = false;
    const ReportedException* ExceptObject = nullptr;
    uintptr_t ExceptAddr = 0;
    uint32_t CrashedThreadId = 0;
    std::string BugReport;
    std::string ScreenShot;
    bool CanContinue = false;
    bool Handled = false;
    bool InMainThread = false;
    bool MainThreadFailed = false;
};

// Six lists, a procedure and a method list per kind. Registration takes the lock; a round works
// on copies taken under it (registration may reallocate the lists).
class TCrashHandlerRegistry {
public:
    template <typename Proc>
    struct TProcEntry {
        uint8_t SyncMode = 0;
        uint8_t Phase = 0;
        Proc Handler = nullptr;
    };
    template <typename Proc>
    struct TMethodEntry {
        uint8_t SyncMode = 0;
        uint8_t Phase = 0;
        // The method: called with the object first.
        std::function<std::remove_pointer_t<Proc>> Code;
        const void* Data = nullptr; // identifies the object (update or remove by it)
    };
    // Registers or updates (sync mode and phase) a procedure.
    void AddPhaseHandler(TCrashHandlerProc handler, uint8_t syncMode, uint8_t phase);
    void AddActionHandler(TCrashActionProc handler, uint8_t syncMode);
    void AddHandledHandler(TCrashHandledProc handler, uint8_t syncMode);
    void AddPhaseMethod(std::function<std::remove_pointer_t<TCrashHandlerProc>> code, const void* data, uint8_t syncMode,
                        uint8_t phase);
    void AddActionMethod(std::function<std::remove_pointer_t<TCrashActionProc>> code, const void* data, uint8_t syncMode);
    void AddHandledMethod(std::function<std::remove_pointer_t<TCrashHandledProc>> code, const void* data, uint8_t syncMode);
    void RemoveProc(const void* handler);
    void RemoveMethods(const void* data);
    void Clear();

    // Whether any list of the kind has an entry.
    bool HasKind(uint8_t kind) const;
    // Whether any entry of any kind wants the main thread for this phase (phase ignored for kinds
    // 1 and 2).
    bool WantsMainThread(uint8_t phase) const;
    // One round in the calling thread with the Part's matching rules; each call under a catch-all.
    void CallMatchingHandlers(TFireHandlersParams& params) const;

private:
    struct TLists {
        std::vector<TProcEntry<TCrashHandlerProc>> PhaseProcs;
        std::vector<TMethodEntry<TCrashHandlerProc>> PhaseMethods;
        std::vector<TProcEntry<TCrashActionProc>> ActionProcs;
        std::vector<TMethodEntry<TCrashActionProc>> ActionMethods;
        std::vector<TProcEntry<TCrashHandledProc>> HandledProcs;
        std::vector<TMethodEntry<TCrashHandledProc>> HandledMethods;
    };
    TLists Copy() const;
    mutable std::mutex FLock;
    TLists FLists;
};
// The registry the reporter uses.
TCrashHandlerRegistry& CrashHandlers();

// Registers or updates a phase handler in CrashHandlers().
void AddCrashHandler(TCrashHandlerProc handler, uint8_t syncMode, uint8_t phase);

// One round of handler calls of a kind, reaching the main thread through its dispatcher when an
// entry wants it (a 1500 ms probe first, then no limit). Used by the handling thread and the box.
void RunCrashHandlers(uint8_t kind, uint8_t phase, uint8_t action, bool frozen, const ReportedException* exceptObject,
                      uintptr_t exceptAddr, uint32_t crashedThreadId, std::string& bugReport, std::string& screenShot,
                      bool& canContinue, bool& handled);

// The auto rule of AutoClose and AutoRestart for value n over the history (newest first, seconds).
bool AutoRuleHolds(uint32_t n, const uint64_t (&history)[10], uint64_t now);
// The exception time-stamp history (newest first), seconds since 1601-01-01 UTC.
void GetExceptionHistory(uint64_t (&history)[10]);
void SetExceptionHistory(const uint64_t (&history)[10]);
// Whether the rule holds now against the current history.
bool AutoCloseRuleHolds();
bool AutoRestartRuleHolds();
// The history's clock (seconds since 1601-01-01 UTC); tests install a fake, nullptr restores.
void SetCrashClock(uint64_t (*clock)());

// Whether a class is in NoReportClasses (case-insensitive, the list normalised first).
bool IsNoReportClass(const ReportedException& object, std::string_view noReportClasses);
// Replaces the SMTP password (and its account's "user:password" pairs) in a report by "********".
void MaskSecrets(std::string& report);

// ---------------------------------------------------------------------------------------------
// The steps other units supply

// What the report builder gets.
struct TComposeRequest {
    bool Frozen = false;
    const ReportedException* ExceptObject = nullptr;
    uintptr_t ExceptAddr = 0;
    uint32_t CrashedThreadId = 0;
    uintptr_t StackPointer = 0;
    uintptr_t FramePointer = 0;
    bool Showing = false;
    const void* BcbInfo = nullptr;
    // Where the tracing progress goes while showing (nil: no window); the clock for tests.
    TTraceProgressSink* ProgressSink = nullptr;
    std::function<uint32_t()> ProgressClock;
};
// What the presenter (the box, or the console output) gets.
struct TPresentRequest {
    bool Frozen = false;
    const ReportedException* ExceptObject = nullptr;
    uintptr_t ExceptAddr = 0;
    bool CanContinue = false;
    std::string ScreenShot;
    std::string BugReport;
};
// The steps of the per-exception work that live in other units; an empty one takes the default:
// the minimal report builder, the console output, no save and no mail, close = exit code 1,
// restart = close.
struct TCrashSteps {
    std::function<void(const TComposeRequest& request, std::string& report)> Compose;
    std::function<void(const TPresentRequest& request)> Present;
    // true when saved.
    std::function<bool(const std::string& report)> Save;
    // true when sent (automatic mode).
    std::function<bool(const std::string& report, const std::string& screenShot)> Mail;
    std::function<void()> Close;
    std::function<void()> Restart;
};
void SetCrashSteps(const TCrashSteps& steps);
TCrashSteps GetCrashSteps();

// The minimal report: class and message lines, the address, and the faulting thread's stack.
void ComposeMinimalReport(const TComposeRequest& request, std::string& report);
// The console output of the box: the text (FrozenText or ErrorText with the message, "%LF%" as
// CR LF) and, when the report may be shown, a line end and the report, on standard output.
std::string ConsoleOutputText(const TPresentRequest& request);
void PresentOnConsole(const TPresentRequest& request);
// Whether the process counts as a console one: declared so, no display, or offscreen.
bool IsConsoleProcess();
void DeclareConsoleProcess(bool console);
// The exception's message as the box shows it: control characters removed, "Unknown" when empty.
std::string ExceptionMessageText(const ReportedException* object);
std::string ExceptionClassText(const ReportedException* object);

// Before the program ends from the handling thread (the box's close or restart): each request
// still waiting (a thread that crashed at the same moment) gets its report appended to the report
// file as the automatic save appends it, without a box or further actions. Elsewhere nothing.
void SaveWaitingReports();

// The handling thread beats this while it works; the composer calls it between long steps.
void CrashReporterHeartbeat();
// A waiter whose handling thread stalled this long before the box is up writes a minimal report
// and ends the process by its signal (default 10 s).
void SetDeadlockGuardTimeout(std::chrono::milliseconds timeout);
// Where minimal and emergency reports are appended (besides standard error); default the report
// file in the data folder (UpdateMinimalReportFile), an absolute path only.
void SetMinimalReportFile(const std::string& path);

// ---------------------------------------------------------------------------------------------
// Start and end

// Installs the hooks as the settings say (signal handlers with an alternate stack, terminate
// handler), starts the handling thread and registers the main thread's handler caller. Call in
// the main thread, first thing; the main thread is the calling thread unless set.
void InitCrashReporter();
// Restores the previous handlers and stops the handling thread (at most 500 ms).
void DoneCrashReporter();
bool CrashReporterActive();
// The handling thread and its pipe, with the main thread's handler caller when called in the main
// thread; InitCrashReporter and DoneCrashReporter call them. Stop waits at most 500 ms.
bool StartExceptionThread();
void StopExceptionThread();
// The handling thread's id; 0 before start.
pid_t ExceptionThreadId();

// Gives the calling thread an alternate signal stack (InstallAlternateStack) and its crash slot;
// the thread wrapper's start hook, and InitCrashReporter for the main thread. Idempotent.
void PrepareThreadForCrashes();
// Frees the slot; the thread wrapper's end hook (the wrapper removes the stack itself).
void ReleaseThreadCrashSlot();
