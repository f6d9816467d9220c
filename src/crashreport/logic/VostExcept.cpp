// The crash reporter's core: settings, the entry, the handling thread, the registry, start and end.
#include "crashreport/logic/VostExcept.h"

#include "crashreport/logic/VostCppSupport.h"
#include "crashreport/logic/VostMail.h"
#include "crashreport/logic/VostMemory.h"
#include "crashreport/logic/VostReportFile.h"
#include "crashreport/logic/VostSignals.h"
#include "crashreport/logic/VostStrings.h"
#include "crashreport/logic/VostThreadReport.h"
#include "crashreport/logic/VostThreadWrap.h"
#include "crashreport/logic/VostThreads.h"
#include "crashreport/logic/VostTools.h"
#include "crashreport/logic/VostWatchdog.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>

#include <cxxabi.h>

#include <algorithm>
#include <cfenv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cerrno>
#include <deque>
#include <thread>
#include <utility>

#include <fcntl.h>
#include <sys/resource.h>
#include <poll.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

TCrashReportSettings CrashReportSettings;

TCrashReportSettings::TCrashReportSettings()
{
    // Box texts: translated in the context "VostExcept" when shown.
    MailSentText = QT_TRANSLATE_NOOP("VostExcept", "The mail was sent successfully.");
    MailFailedText = QT_TRANSLATE_NOOP("VostExcept", "Sorry, sending the mail didn't work.");
    ErrorText = QT_TRANSLATE_NOOP("VostExcept", "An error occurred in the application:%LF%%LF%%exceptMsg%");
    FrozenText = QT_TRANSLATE_NOOP("VostExcept", "The application seems to be frozen.");
    SaveButtonCaption = QT_TRANSLATE_NOOP("VostExcept", "Save bug report");
    PrintButtonCaption = QT_TRANSLATE_NOOP("VostExcept", "Print");
    ShowButtonCaption = QT_TRANSLATE_NOOP("VostExcept", "Show");
    ContinueButtonCaption = QT_TRANSLATE_NOOP("VostExcept", "Continue");
    RestartButtonCaption = QT_TRANSLATE_NOOP("VostExcept", "Restart");
    CloseButtonCaption = QT_TRANSLATE_NOOP("VostExcept", "Close");
}

uint32_t ScreenShotSizeCode(uint32_t screenShotMode)
{
    switch (screenShotMode) {
    case 4: return 1;
    case 51200: return 2;
    case 102400: return 3;
    case 204800: return 4;
    case 307200: return 5;
    default: return 0;
    }
}

namespace {
TShortText<100> GivenAppName;
} // namespace

void SetReporterAppName(std::string_view name)
{
    GivenAppName = name;
}

std::string ReporterAppName()
{
    if (!GivenAppName.Empty())
        return GivenAppName.Str();
    char path[4096];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    const std::string full(path, size_t(n));
    const size_t slash = full.rfind('/');
    return slash == std::string::npos ? full : full.substr(slash + 1);
}

std::string ExpandAppName(std::string_view text)
{
    std::string result(text);
    ReplaceNoCase(result, "%appname%", ReporterAppName(), true);
    return result;
}

// ---------------------------------------------------------------------------------------------
// The exception object

ReportedException::ReportedException(std::string className, std::string message, std::vector<std::string> classChain)
    : ClassName(std::move(className))
    , Message(std::move(message))
    , ClassChain(std::move(classChain))
{
    if (ClassChain.empty() || ClassChain.front() != ClassName)
        ClassChain.insert(ClassChain.begin(), ClassName);
}

bool ReportedException::IsClass(std::string_view name) const
{
    return std::find(ClassChain.begin(), ClassChain.end(), name) != ClassChain.end();
}

ReportedException ReportedException::FromException(const std::exception_ptr& exception)
{
    ReportedException e;
    if (!exception)
        return e;
    e.Exception = exception;
    e.ThrownObject = ThrownObjectOf(exception);
    try {
        std::rethrow_exception(exception);
    } catch (...) {
        const std::type_info* type = abi::__cxa_current_exception_type();
        if (type && IsTypeInfoSound(type)) {
            e.ClassChain = ::ClassChain(type);
            if (!e.ClassChain.empty())
                e.ClassName = e.ClassChain.front();
        }
        try {
            throw;
        } catch (const std::exception& inner) {
            e.Message = inner.what();
        } catch (...) {
        }
    }
    if (e.ClassName.empty())
        e.ClassName = "Unknown";
    if (e.ClassChain.empty())
        e.ClassChain.push_back(e.ClassName);
    if (e.Message.empty())
        e.Message = e.ClassName;
    TThrowRecord record;
    if (e.ThrownObject && FindThrowRecord(e.ThrownObject, record)) {
        e.ThrowAddress = record.ThrowSite ? record.ThrowSite : record.ThrowAddress;
        e.ThrowStack = std::move(record.Stack);
    }
    return e;
}

ReportedException ReportedException::FromCurrentException()
{
    return FromException(std::current_exception());
}

// ---------------------------------------------------------------------------------------------
// Signals

std::string SignalName(int signal)
{
    if (const char* name = SignalText(signal))
        return name;
    return "signal " + std::to_string(signal);
}

namespace {

// The message of a signal in the program's language, as C++ exceptions of the program carry
// theirs ("%1", "%2"... replaced by the arguments).
std::string SignalMessage(const char* source, std::initializer_list<std::string> arguments = {})
{
    const QString text = QCoreApplication::instance() ? QCoreApplication::translate("VostExcept", source) : QString::fromUtf8(source);
    // In one step: a module name holding "%2" must stay as it is.
    std::vector<QString> a;
    for (const std::string& argument : arguments)
        a.push_back(QString::fromStdString(argument));
    switch (a.size()) {
    case 1: return text.arg(a[0]).toStdString();
    case 2: return text.arg(a[0], a[1]).toStdString();
    case 3: return text.arg(a[0], a[1], a[2]).toStdString();
    default: return text.toStdString();
    }
}

} // namespace

ReportedException ClassifySignal(const TSignalFacts& facts)
{
    auto external = [](const char* name, std::string message, std::vector<std::string> bases = {}) {
        std::vector<std::string> chain{name};
        chain.insert(chain.end(), bases.begin(), bases.end());
        chain.push_back("EExternal");
        chain.push_back("Exception");
        return ReportedException(name, std::move(message), std::move(chain));
    };
    ReportedException e;
    if (facts.Code <= 0 && !(facts.Signal == SIGABRT && facts.SentBySelf)) {
        // Sent by kill() or sigqueue(): there is no fault and no fault address.
        e = external("EExternalSignal", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "External signal %1 from process %2"),
                                                      { SignalName(facts.Signal), std::to_string(facts.SenderPid) }));
    } else {
        switch (facts.Signal) {
        case SIGSEGV:
        case SIGBUS:
            if (facts.Signal == SIGSEGV && facts.InGuardPage) {
                e = external("EStackOverflow", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Stack overflow")));
            } else if (!facts.ModuleName.empty()) {
                const std::initializer_list<std::string> where
                    = { AddressText(facts.InstructionPointer), facts.ModuleName, AddressText(facts.FaultAddress) };
                e = external("EAccessViolation",
                    facts.WriteAccess
                        ? SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Access violation at address %1 in module '%2'. Write of address %3"), where)
                        : SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Access violation at address %1 in module '%2'. Read of address %3"), where));
            } else {
                e = external("EAccessViolation", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Access Violation")));
            }
            break;
        case SIGFPE:
            switch (facts.Code) {
            case FPE_INTDIV: e = external("EDivByZero", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Division by zero")), {"EIntError"}); break;
            case FPE_INTOVF: e = external("EIntOverflow", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Integer overflow")), {"EIntError"}); break;
            case FPE_FLTDIV: e = external("EZeroDivide", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Floating point division by zero")), {"EMathError"}); break;
            case FPE_FLTOVF: e = external("EOverflow", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Floating point overflow")), {"EMathError"}); break;
            case FPE_FLTUND: e = external("EUnderflow", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Floating point underflow")), {"EMathError"}); break;
            case FPE_FLTSUB: e = external("ERangeError", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Range check error")), {"EIntError"}); break;
            default: e = external("EInvalidOp", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Invalid floating point operation")), {"EMathError"}); break;
            }
            break;
        case SIGILL:
            if (facts.Code == ILL_PRVOPC || facts.Code == ILL_PRVREG)
                e = external("EPrivilege", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Privileged instruction")));
            else
                e = external("EExternalException", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Illegal instruction")));
            break;
        case SIGABRT:
            e = ReportedException("BcbTermination", SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "Abnormal program termination")),
                                  {"BcbTermination", "VostException", "Exception"});
            break;
        default:
            e = external("EExternalException",
                SignalMessage(QT_TRANSLATE_NOOP("VostExcept", "External exception %1"), { SignalName(facts.Signal) }));
            break;
        }
    }
    e.Signal = facts.Signal;
    e.SignalCode = facts.Code;
    e.FaultAddress = facts.FaultAddress;
    return e;
}

// ---------------------------------------------------------------------------------------------
// The registry

namespace {

// An entry already in the list (the same procedure, or a method of the same object) only gets its
// sync mode and phase replaced.
template <typename List, typename Entry>
void AddOrUpdate(List& list, Entry entry, const void* key)
{
    for (auto& existing : list) {
        const void* existingKey;
        if constexpr (requires { existing.Data; })
            existingKey = existing.Data;
        else
            existingKey = reinterpret_cast<const void*>(existing.Handler);
        if (existingKey == key) {
            existing.SyncMode = entry.SyncMode;
            existing.Phase = entry.Phase;
            return;
        }
    }
    list.push_back(std::move(entry));
}

} // namespace

void TCrashHandlerRegistry::AddPhaseHandler(TCrashHandlerProc handler, uint8_t syncMode, uint8_t phase)
{
    if (!handler)
        return;
    const std::lock_guard lock(FLock);
    AddOrUpdate(FLists.PhaseProcs, TProcEntry<TCrashHandlerProc>{syncMode, phase, handler}, reinterpret_cast<const void*>(handler));
}

void TCrashHandlerRegistry::AddActionHandler(TCrashActionProc handler, uint8_t syncMode)
{
    if (!handler)
        return;
    const std::lock_guard lock(FLock);
    AddOrUpdate(FLists.ActionProcs, TProcEntry<TCrashActionProc>{syncMode, 0, handler}, reinterpret_cast<const void*>(handler));
}

void TCrashHandlerRegistry::AddHandledHandler(TCrashHandledProc handler, uint8_t syncMode)
{
    if (!handler)
        return;
    const std::lock_guard lock(FLock);
    AddOrUpdate(FLists.HandledProcs, TProcEntry<TCrashHandledProc>{syncMode, 0, handler}, reinterpret_cast<const void*>(handler));
}

void TCrashHandlerRegistry::AddPhaseMethod(std::function<std::remove_pointer_t<TCrashHandlerProc>> code, const void* data,
                                           uint8_t syncMode, uint8_t phase)
{
    const std::lock_guard lock(FLock);
    AddOrUpdate(FLists.PhaseMethods, TMethodEntry<TCrashHandlerProc>{syncMode, phase, std::move(code), data}, data);
}

void TCrashHandlerRegistry::AddActionMethod(std::function<std::remove_pointer_t<TCrashActionProc>> code, const void* data,
                                            uint8_t syncMode)
{
    const std::lock_guard lock(FLock);
    AddOrUpdate(FLists.ActionMethods, TMethodEntry<TCrashActionProc>{syncMode, 0, std::move(code), data}, data);
}

void TCrashHandlerRegistry::AddHandledMethod(std::function<std::remove_pointer_t<TCrashHandledProc>> code, const void* data,
                                             uint8_t syncMode)
{
    const std::lock_guard lock(FLock);
    AddOrUpdate(FLists.HandledMethods, TMethodEntry<TCrashHandledProc>{syncMode, 0, std::move(code), data}, data);
}

void TCrashHandlerRegistry::RemoveProc(const void* handler)
{
    const std::lock_guard lock(FLock);
    auto drop = [&](auto& list) {
        std::erase_if(list, [&](const auto& e) { return reinterpret_cast<const void*>(e.Handler) == handler; });
    };
    drop(FLists.PhaseProcs);
    drop(FLists.ActionProcs);
    drop(FLists.HandledProcs);
}

void TCrashHandlerRegistry::RemoveMethods(const void* data)
{
    const std::lock_guard lock(FLock);
    auto drop = [&](auto& list) { std::erase_if(list, [&](const auto& e) { return e.Data == data; }); };
    drop(FLists.PhaseMethods);
    drop(FLists.ActionMethods);
    drop(FLists.HandledMethods);
}

void TCrashHandlerRegistry::Clear()
{
    const std::lock_guard lock(FLock);
    FLists = TLists();
}

TCrashHandlerRegistry::TLists TCrashHandlerRegistry::Copy() const
{
    const std::lock_guard lock(FLock);
    return FLists;
}

bool TCrashHandlerRegistry::HasKind(uint8_t kind) const
{
    const std::lock_guard lock(FLock);
    switch (kind) {
    case 0: return !FLists.PhaseProcs.empty() || !FLists.PhaseMethods.empty();
    case 1: return !FLists.ActionProcs.empty() || !FLists.ActionMethods.empty();
    case 2: return !FLists.HandledProcs.empty() || !FLists.HandledMethods.empty();
    default: return false;
    }
}

bool TCrashHandlerRegistry::WantsMainThread(uint8_t phase) const
{
    const TLists lists = Copy();
    auto any = [&](const auto& list, bool checkPhase) {
        return std::any_of(list.begin(), list.end(),
                           [&](const auto& e) { return (e.SyncMode == 1 || e.SyncMode == 2) && (!checkPhase || e.Phase == phase); });
    };
    return any(lists.PhaseProcs, true) || any(lists.PhaseMethods, true) || any(lists.ActionProcs, false) ||
           any(lists.ActionMethods, false) || any(lists.HandledProcs, false) || any(lists.HandledMethods, false);
}

void TCrashHandlerRegistry::CallMatchingHandlers(TFireHandlersParams& p) const
{
    const TLists lists = Copy();
    auto matches = [&](uint8_t syncMode, uint8_t phase, bool checkPhase) {
        return (!checkPhase || phase == p.Phase) && ((syncMode > 0) == p.InMainThread) && (!p.MainThreadFailed || syncMode == 2);
    };
    auto guarded = [](auto&& call) {
        try {
            call();
        } catch (...) {
        }
    };
    switch (p.Kind) {
    case 0:
        for (const auto& e : lists.PhaseMethods)
            if (!p.Handled && e.Code && matches(e.SyncMode, e.Phase, true))
                guarded([&] { e.Code(p.Frozen, p.ExceptObject, p.ExceptAddr, p.CrashedThreadId, p.BugReport, p.ScreenShot, p.CanContinue, p.Handled); });
        for (const auto& e : lists.PhaseProcs)
            if (!p.Handled && matches(e.SyncMode, e.Phase, true))
                guarded([&] { e.Handler(p.Frozen, p.ExceptObject, p.ExceptAddr, p.CrashedThreadId, p.BugReport, p.ScreenShot, p.CanContinue, p.Handled); });
        // Phase-2 handlers cannot suppress the actions that follow.
        if (p.Phase == 2)
            p.Handled = false;
        break;
    case 1:
        for (const auto& e : lists.ActionMethods)
            if (!p.Handled && e.Code && matches(e.SyncMode, 0, false))
                guarded([&] { e.Code(p.Action, p.Frozen, p.ExceptObject, p.ExceptAddr, p.CrashedThreadId, p.BugReport, p.ScreenShot, p.Handled); });
        for (const auto& e : lists.ActionProcs)
            if (!p.Handled && matches(e.SyncMode, 0, false))
                guarded([&] { e.Handler(p.Action, p.Frozen, p.ExceptObject, p.ExceptAddr, p.CrashedThreadId, p.BugReport, p.ScreenShot, p.Handled); });
        break;
    case 2:
        for (const auto& e : lists.HandledMethods)
            if (e.Code && matches(e.SyncMode, 0, false))
                guarded([&] { e.Code(p.ExceptObject, p.ExceptAddr, p.BugReport, p.CrashedThreadId); });
        for (const auto& e : lists.HandledProcs)
            if (matches(e.SyncMode, 0, false))
                guarded([&] { e.Handler(p.ExceptObject, p.ExceptAddr, p.BugReport, p.CrashedThreadId); });
        break;
    default:
        break;
    }
}

TCrashHandlerRegistry& CrashHandlers()
{
    static TCrashHandlerRegistry registry;
    return registry;
}

void AddCrashHandler(TCrashHandlerProc handler, uint8_t syncMode, uint8_t phase)
{
    CrashHandlers().AddPhaseHandler(handler, syncMode, phase);
}

// ---------------------------------------------------------------------------------------------
// History and rules

namespace {

std::mutex HistoryLock;
uint64_t History[10] = {};
std::atomic<uint64_t (*)()> HistoryClock{nullptr};

uint64_t SystemSeconds1601()
{
    // Seconds from 1601-01-01 to 1970-01-01.
    return uint64_t(::time(nullptr)) + 11644473600ull;
}

uint64_t NowSeconds()
{
    const auto clock = HistoryClock.load();
    return clock ? clock() : SystemSeconds1601();
}

void PushHistory()
{
    const std::lock_guard lock(HistoryLock);
    std::move_backward(History, History + 9, History + 10);
    History[0] = NowSeconds();
}

} // namespace

bool AutoRuleHolds(uint32_t n, const uint64_t (&history)[10], uint64_t now)
{
    if (n == 0)
        return false;
    if (n == 1)
        return true;
    return std::all_of(history, history + 10, [&](uint64_t t) { return t != 0 && t <= now && now - t <= n; });
}

void GetExceptionHistory(uint64_t (&history)[10])
{
    const std::lock_guard lock(HistoryLock);
    std::copy(History, History + 10, history);
}

void SetExceptionHistory(const uint64_t (&history)[10])
{
    const std::lock_guard lock(HistoryLock);
    std::copy(history, history + 10, History);
}

bool AutoCloseRuleHolds()
{
    uint64_t history[10];
    GetExceptionHistory(history);
    return AutoRuleHolds(CrashReportSettings.AutoClose, history, NowSeconds());
}

bool AutoRestartRuleHolds()
{
    uint64_t history[10];
    GetExceptionHistory(history);
    return AutoRuleHolds(CrashReportSettings.AutoRestart, history, NowSeconds());
}

void SetCrashClock(uint64_t (*clock)()) { HistoryClock.store(clock); }

bool IsNoReportClass(const ReportedException& object, std::string_view noReportClasses)
{
    std::string list(noReportClasses);
    NormalizeList(list, ',');
    return !list.empty() && ListContainsNoCase(list, object.ClassName, ',');
}

void MaskSecrets(std::string& report)
{
    const std::string password = CrashReportSettings.SmtpPassword.Str();
    if (!password.empty())
        ReplaceCase(report, password, "********", true);
}

// ---------------------------------------------------------------------------------------------
// Steps

namespace {

std::mutex StepsLock;
TCrashSteps Steps;

[[noreturn]] void DefaultClose()
{
    std::fflush(stdout);
    std::fflush(stderr);
    _exit(1);
}

std::string BoxText(std::string_view source)
{
    // The box texts are translated where a translator knows them; configured texts stay as set.
    const std::string text(source);
    return ExpandAppName(QCoreApplication::translate("VostExcept", text.c_str()).toStdString());
}

} // namespace

void SetCrashSteps(const TCrashSteps& steps)
{
    const std::lock_guard lock(StepsLock);
    Steps = steps;
}

TCrashSteps GetCrashSteps()
{
    const std::lock_guard lock(StepsLock);
    return Steps;
}

std::string ExceptionMessageText(const ReportedException* object)
{
    std::string text = object ? object->Message : std::string();
    std::erase_if(text, [](char c) { return static_cast<unsigned char>(c) < 32; });
    return text.empty() ? std::string("Unknown") : text;
}

std::string ExceptionClassText(const ReportedException* object)
{
    return object && !object->ClassName.empty() ? object->ClassName : std::string("Unknown");
}

void ComposeMinimalReport(const TComposeRequest& request, std::string& report)
{
    auto line = [&](const char* label, const std::string& value) {
        report += PadTo(label, -18, ' ') + ": " + value + "\r\n";
    };
    report.clear();
    line("executable", ReporterAppName());
    line("process id", HexTextPadded(uint32_t(getpid()), 0, ' '));
    if (!request.Frozen) {
        line("exception class", ExceptionClassText(request.ExceptObject));
        std::string message = ExceptionMessageText(request.ExceptObject);
        while (!message.empty() && (message.back() == '.' || message.back() == '!') && message.size() > 1 &&
               (message[message.size() - 2] == '.' || message[message.size() - 2] == '!'))
            message.pop_back();
        line("exception message", message + ".");
        if (request.ExceptAddr)
            line("exception address", AddressText(request.ExceptAddr));
    } else {
        line("exception message", CrashReportSettings.FrozenText.Str());
    }
    TThreadSectionsRequest sections;
    sections.Frozen = request.Frozen;
    sections.CrashedThreadId = pid_t(request.CrashedThreadId);
    sections.ExceptionAddress = request.ExceptAddr;
    sections.StackPointer = request.StackPointer;
    sections.FramePointer = request.FramePointer;
    sections.OsException = request.ExceptObject && request.ExceptObject->IsClass("EExternal");
    sections.CppTermination = request.ExceptObject && request.ExceptObject->IsClass("BcbTermination");
    if (request.ExceptObject && !request.ExceptObject->ThrowStack.empty()) {
        sections.PreCollected = &request.ExceptObject->ThrowStack;
        sections.CppTermination = true;
    }
    sections.ListAllThreads = CrashReportSettings.ListAllThreads;
    sections.HideLineless = CrashReportSettings.StackTraceOptions[0];
    sections.RelativeAddresses = CrashReportSettings.StackTraceOptions[1];
    sections.RelativeLines = CrashReportSettings.StackTraceOptions[2];
    sections.SkipChainOptimisation = CrashReportSettings.StackTraceOption4;
    sections.OmittedThreads = {ExceptionThreadId(), WatchdogThreadId()};
    CrashReporterHeartbeat();
    report += ComposeThreadSections(sections).Text;
}

std::string ConsoleOutputText(const TPresentRequest& request)
{
    const TCrashReportSettings& s = CrashReportSettings;
    std::string text = BoxText(request.Frozen ? s.FrozenText.View() : s.ErrorText.View());
    ReplaceNoCase(text, "%exceptMsg%", ExceptionMessageText(request.ExceptObject), true);
    ReplaceNoCase(text, "%LF%", "\r\n", true);
    if (s.ShowReportAtOnce || !s.ShowButtonCaption.Empty())
        text += "\r\n" + request.BugReport;
    return text + "\r\n";
}

void PresentOnConsole(const TPresentRequest& request)
{
    const std::string text = ConsoleOutputText(request);
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

namespace {
std::atomic<int> ConsoleDeclared{-1};
}

void DeclareConsoleProcess(bool console) { ConsoleDeclared.store(console ? 1 : 0); }

bool IsConsoleProcess()
{
    if (ConsoleDeclared.load() == 1)
        return true;
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal"))
        return true;
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

void CrashReporterHeartbeat() { VostSignalShared::Heartbeat.fetch_add(1); }

void SetDeadlockGuardTimeout(std::chrono::milliseconds timeout) { VostSignalShared::GuardTimeoutMs.store(timeout.count()); }

void SetMinimalReportFile(const std::string& path) { SetMinimalReportPath(path.c_str()); }

// ---------------------------------------------------------------------------------------------
// The handling thread

namespace {

std::atomic<bool> Active{false};
// Never destroyed by the end of the process: a joinable thread object would call terminate.
std::thread* HandlingThread = nullptr;
std::atomic<bool> HandlingThreadEnded{false};
int ReadFd = -1;
pid_t MainTid = 0;
uint32_t MainMessage = 0;
std::atomic<bool> MainInHandlers{false};
std::terminate_handler PreviousTerminate = nullptr;
bool Draining = false; // handling thread only
bool SavingWaiting = false; // handling thread only: requests are saved, never shown or acted on
// Requests answered while a close is pending: woken only if the close returns, since a woken
// signal waiter re-raises its signal and would kill the process before the close ends it.
std::vector<TExceptionRequest> FinishedWhileDraining; // handling thread only

constexpr QEvent::Type WakeEventType = QEvent::Type(QEvent::User + 777);
constexpr intptr_t MainAnswer = 777;

// Wakes the main thread's nested loops when their requests are done.
class TMainWaker : public QObject {
public:
    struct TWait {
        TWaitEvent* Event;
        QEventLoop* Loop;
    };
    std::vector<TWait*> Waits; // main thread only
    bool event(QEvent* e) override
    {
        if (e->type() != WakeEventType)
            return QObject::event(e);
        for (TWait* wait : Waits)
            if (wait->Event->State.load() != 0)
                wait->Loop->quit();
        return true;
    }
};
TMainWaker* MainWaker = nullptr;

void MainThreadHandlerCaller(void*, TMessageDispatcher*, uint32_t, uintptr_t wParam, intptr_t lParam, intptr_t& result)
{
    if (wParam == 0 && lParam) {
        auto* params = reinterpret_cast<TFireHandlersParams*>(lParam);
        MainInHandlers.store(true);
        try {
            CrashHandlers().CallMatchingHandlers(*params);
        } catch (...) {
        }
        MainInHandlers.store(false);
    }
    result = MainAnswer;
}

TSignalFacts FactsOfSlot(const TSignalSlot& slot)
{
    TSignalFacts facts;
    facts.Signal = slot.Info.si_signo;
    facts.Code = slot.Info.si_code;
    facts.FaultAddress = reinterpret_cast<uintptr_t>(slot.Info.si_addr);
    facts.InstructionPointer = uintptr_t(slot.Registers.gregs[REG_RIP]);
    facts.WriteAccess = (slot.Registers.gregs[REG_ERR] & 2) != 0;
    if (facts.Code <= 0) {
        facts.SenderPid = slot.Info.si_pid;
        facts.SentBySelf = slot.Info.si_pid == getpid();
        facts.FaultAddress = 0;
    }
    const auto snapshot = TakeMemorySnapshot();
    TModuleInfo module;
    if (FindModule(*snapshot, facts.InstructionPointer, module)) {
        const size_t slash = module.FileName.rfind('/');
        facts.ModuleName = slash == std::string::npos ? module.FileName : module.FileName.substr(slash + 1);
    }
    if (facts.Signal == SIGSEGV && facts.Code > 0) {
        // An overflow faults just below the stack pointer, in the guard area under the stack.
        const uintptr_t sp = uintptr_t(slot.Registers.gregs[REG_RSP]);
        const uintptr_t fault = facts.FaultAddress;
        const TMemoryRegion* stack = snapshot->RegionAt(sp);
        const TMemoryRegion* at = snapshot->RegionAt(fault);
        const bool unusable = !at || !at->Writable;
        const bool nearPointer = fault <= sp + 4096 && sp - fault <= 64 * 1024;
        const bool belowStack = stack && fault < stack->Start && stack->Start - fault <= 1024 * 1024;
        facts.InGuardPage = unusable && (nearPointer || belowStack);
    }
    return facts;
}

void Close()
{
    const TCrashSteps steps = GetCrashSteps();
    if (steps.Close)
        steps.Close();
    else
        DefaultClose();
}

void ProcessRequest(const TExceptionRequest& request);
void FinishRequest(const TExceptionRequest& request);

// A request already waiting on the pipe; false when none is (or the stop record came).
bool TakeWaitingRequest(TExceptionRequest& next)
{
    pollfd poller{ReadFd, POLLIN, 0};
    if (ReadFd < 0 || poll(&poller, 1, 0) <= 0)
        return false;
    const ssize_t n = read(ReadFd, &next, sizeof next);
    return n == ssize_t(sizeof next) && next.Event != 0;
}

// Closing after a report: requests already waiting (threads that crashed at the same moment) get
// their reports first.
void CloseAfterPending()
{
    if (Draining)
        return;
    Draining = true;
    const struct TDrainEnd {
        ~TDrainEnd() { Draining = false; }
    } drainEnd;
    // A thread that faulted at the same moment may still be on its way into the pipe.
    for (const int64_t until = MonotonicMs() + 1000;
         VostSignalShared::HandlersStarting.load() > 0 && MonotonicMs() < until;) {
        const timespec pause{0, 5 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    for (TExceptionRequest next; TakeWaitingRequest(next);)
        ProcessRequest(next);
    Close();
    Draining = false;
    std::vector<TExceptionRequest> deferred;
    deferred.swap(FinishedWhileDraining);
    for (const TExceptionRequest& request : deferred)
        FinishRequest(request);
}

void Announce(uint8_t action, bool frozen, const ReportedException* object, uintptr_t addr, uint32_t tid, std::string& report,
              std::string& screenShot, bool& handled)
{
    bool canContinue = false;
    RunCrashHandlers(1, 0, action, frozen, object, addr, tid, report, screenShot, canContinue, handled);
}

void ProcessExceptionRequest(const TExceptionRequest& request)
{
    const TCrashReportSettings& s = CrashReportSettings;
    const TCrashSteps steps = GetCrashSteps();
    const bool frozen = request.Frozen != 0;
    ReportedException* object = reinterpret_cast<ReportedException*>(request.ExceptObject);
    ReportedException signalObject;
    if (request.BcbInfo && !object) {
        signalObject = ClassifySignal(FactsOfSlot(*reinterpret_cast<const TSignalSlot*>(request.BcbInfo)));
        object = &signalObject;
    }
    const uintptr_t addr = uintptr_t(request.ExceptAddr);
    const uint32_t tid = request.ThreadId;
    const bool entryCanContinue = request.CanContinue != 0;
    // Waiting behind a report whose box ends the program: saved, never shown or acted on.
    const bool saveOnly = SavingWaiting;
    bool canContinue = entryCanContinue;
    bool handled = false;
    std::string bugReport, screenShot;
    // A handler may lower canContinue, never raise it.
    auto keepCanContinue = [&] {
        if (!entryCanContinue)
            canContinue = false;
    };

    const bool pause = !frozen && s.PauseOtherThreads;
    if (pause)
        PauseMessageLoops(true);
    PushHistory();
    CrashReporterHeartbeat();

    RunCrashHandlers(0, 0, 0, frozen, object, addr, tid, bugReport, screenShot, canContinue, handled);
    keepCanContinue();
    CrashReporterHeartbeat();

    if (!handled) {
        if (!(object && !s.NoReportClasses.empty() && IsNoReportClass(*object, s.NoReportClasses))) {
            if (s.ScreenShotMode > 0 && s.ScreenShotProc)
                s.ScreenShotProc(ScreenShotSizeCode(s.ScreenShotMode), screenShot);
            TComposeRequest compose;
            compose.Frozen = frozen;
            compose.ExceptObject = object;
            compose.ExceptAddr = addr;
            compose.CrashedThreadId = tid;
            compose.StackPointer = uintptr_t(request.StackPointer);
            compose.FramePointer = uintptr_t(request.FramePointer);
            compose.Showing = s.ShowBox && !s.WebMode && !saveOnly;
            compose.BcbInfo = reinterpret_cast<const void*>(request.BcbInfo);
            try {
                if (steps.Compose)
                    steps.Compose(compose, bugReport);
                else
                    ComposeMinimalReport(compose, bugReport);
            } catch (...) {
                bugReport += "\r\n\r\nAn exception occurred during composing the bug report.";
            }
            CrashReporterHeartbeat();
        }
    }
    if (!handled) {
        RunCrashHandlers(0, 1, 0, frozen, object, addr, tid, bugReport, screenShot, canContinue, handled);
        keepCanContinue();
        if (!handled) {
            RunCrashHandlers(0, 2, 0, frozen, object, addr, tid, bugReport, screenShot, canContinue, handled);
            keepCanContinue();
        }
    }
    MaskSecrets(bugReport);
    CrashReporterHeartbeat();

    if (!handled) {
        if (s.AutoSave || saveOnly) {
            bool saveHandled = false;
            Announce(caSave, frozen, object, addr, tid, bugReport, screenShot, saveHandled);
            CrashReporterHeartbeat();
            if (!saveHandled && steps.Save)
                steps.Save(bugReport);
            CrashReporterHeartbeat();
        }
    }
    if (!handled && !saveOnly) {
        if (s.AutoMail) {
            bool mailHandled = false;
            Announce(caMail, frozen, object, addr, tid, bugReport, screenShot, mailHandled);
            CrashReporterHeartbeat();
            if (!mailHandled && steps.Mail)
                steps.Mail(bugReport, screenShot);
            CrashReporterHeartbeat();
        }
        if (s.ShowBox) {
            if (!s.WebMode) {
                TPresentRequest present;
                present.Frozen = frozen;
                present.ExceptObject = object;
                present.ExceptAddr = addr;
                present.CanContinue = canContinue;
                present.ScreenShot = screenShot;
                present.BugReport = bugReport;
                VostSignalShared::BoxUp.store(true);
                try {
                    if (steps.Present)
                        steps.Present(present);
                    else
                        PresentOnConsole(present);
                } catch (...) {
                }
                VostSignalShared::BoxUp.store(false);
                CrashReporterHeartbeat();
            } else if (request.WebOutput) {
                *reinterpret_cast<std::string*>(request.WebOutput) = bugReport;
            }
        }
    }

    const bool boxDecided = canContinue && s.ShowBox && !s.WebMode && !(s.ConsoleOutput && IsConsoleProcess());
    if (!saveOnly && !boxDecided && !(handled && canContinue)) {
        bool actionHandled = false;
        if (AutoCloseRuleHolds() || (!canContinue && !AutoRestartRuleHolds())) {
            Announce(caClose, frozen, object, addr, tid, bugReport, screenShot, actionHandled);
            if (!actionHandled)
                CloseAfterPending();
        } else if (AutoRestartRuleHolds()) {
            Announce(caRestart, frozen, object, addr, tid, bugReport, screenShot, actionHandled);
            if (!actionHandled) {
                if (steps.Restart) {
                    SaveWaitingReports();
                    steps.Restart();
                }
                else
                    CloseAfterPending();
            }
        } else {
            Announce(caContinue, frozen, object, addr, tid, bugReport, screenShot, actionHandled);
        }
    }
    if (pause)
        PauseMessageLoops(false);
    ResetWatchdogMisses();
}

void FinishRequest(const TExceptionRequest& request)
{
    if (Draining) {
        FinishedWhileDraining.push_back(request);
        return;
    }
    // Requests saved while the program was to end, which did not end after all.
    if (!FinishedWhileDraining.empty()) {
        std::vector<TExceptionRequest> deferred;
        deferred.swap(FinishedWhileDraining);
        for (const TExceptionRequest& waiting : deferred)
            FinishRequest(waiting);
    }
    auto* event = reinterpret_cast<TWaitEvent*>(request.Event);
    const bool mainWaiter = pid_t(request.ThreadId) == MainTid;
    if (event)
        SignalWaitEvent(event);
    if (mainWaiter && MainWaker)
        QCoreApplication::postEvent(MainWaker, new QEvent(WakeEventType));
}

void ProcessRequest(const TExceptionRequest& request)
{
    RefreshMinimalReportModules();
    // A signal's waiter sits in its handler, not in the message loop: no freeze while its report
    // and box are up (a C++ exception's waiter pauses the watchdog itself).
    const bool signal = request.BcbInfo != 0;
    if (signal)
        PauseWatchdog(true);
    try {
        ProcessExceptionRequest(request);
    } catch (...) {
    }
    FinishRequest(request);
    if (signal)
        PauseWatchdog(false);
}

void ExceptionThreadProc()
{
    VostSignalShared::HandlingThreadId.store(CurrentThreadId());
    // Now, while memory is there: a first use in a report under "ulimit -v" would abort.
    PrepareThrowRecords();
    PrepareSignalStack();
    SetThreadName(0, "-");
    for (;;) {
        TExceptionRequest request;
        const ssize_t n = read(ReadFd, &request, sizeof request);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        // A short record is dropped whole; the packet pipe keeps the next one intact.
        if (n != ssize_t(sizeof request))
            continue;
        if (request.Event == 0)
            break;
        ProcessRequest(request);
    }
    RemoveThreadName(CurrentThreadId());
    ReleaseSignalStack();
    RemoveAlternateStack();
    VostSignalShared::HandlingThreadId.store(0);
    HandlingThreadEnded.store(true);
}

} // namespace

void SaveWaitingReports()
{
    if (ReadFd < 0 || SavingWaiting || CurrentThreadId() != VostSignalShared::HandlingThreadId.load())
        return;
    SavingWaiting = true;
    // Their waiters are woken only if the program goes on: a woken signal waiter would re-raise
    // its signal and end the process before the report in hand is done.
    const bool wasDraining = std::exchange(Draining, true);
    for (TExceptionRequest next; TakeWaitingRequest(next);)
        ProcessRequest(next);
    Draining = wasDraining;
    SavingWaiting = false;
}

bool StartExceptionThread()
{
    if (VostSignalShared::RequestFd.load() >= 0)
        return true;
    if (!MainTid)
        MainTid = CrashReportSettings.ReporterMainThreadId ? pid_t(CrashReportSettings.ReporterMainThreadId) : CurrentThreadId();
    int fds[2];
    // Packet mode: each write is one record, a short one never shifts the next.
    if (pipe2(fds, O_DIRECT | O_CLOEXEC) != 0)
        return false;
    ReadFd = fds[0];
    HandlingThreadEnded.store(false);
    try {
        HandlingThread = new std::thread(ExceptionThreadProc);
    } catch (...) {
        close(fds[0]);
        close(fds[1]);
        ReadFd = -1;
        return false;
    }
    // The handling thread runs at the highest priority it may have; without the right it keeps
    // the normal one.
    const auto deadline = MonotonicMs() + 1000;
    while (VostSignalShared::HandlingThreadId.load() == 0 && MonotonicMs() < deadline)
        std::this_thread::yield();
    setpriority(PRIO_PROCESS, id_t(VostSignalShared::HandlingThreadId.load()), -20);
    VostSignalShared::RequestFd.store(fds[1]);
    // The main thread's handler caller and the waker of its waiting loops live in the main thread.
    if (CurrentThreadId() == MainTid) {
        MainWaker = new TMainWaker;
        MainMessage = AddMessageHandler({MainThreadHandlerCaller, nullptr}, 0);
    }
    return true;
}

void StopExceptionThread()
{
    if (MainMessage) {
        RemoveMessageHandler({MainThreadHandlerCaller, nullptr}, MainMessage);
        MainMessage = 0;
    }
    delete MainWaker;
    MainWaker = nullptr;
    const int writeFd = VostSignalShared::RequestFd.exchange(-1);
    if (writeFd < 0)
        return;
    const TExceptionRequest stop{};
    (void)!write(writeFd, &stop, sizeof stop);
    close(writeFd);
    const int64_t deadline = MonotonicMs() + 500;
    while (!HandlingThreadEnded.load() && MonotonicMs() < deadline) {
        const timespec pause{0, 2 * 1000 * 1000};
        nanosleep(&pause, nullptr);
    }
    if (HandlingThreadEnded.load()) {
        HandlingThread->join();
        close(ReadFd);
        ReadFd = -1;
    } else {
        // Stuck in a handler: it cannot be ended safely, so it is left behind with its pipe.
        HandlingThread->detach();
    }
    delete HandlingThread;
    HandlingThread = nullptr;
}

namespace {

[[noreturn]] void TerminateHandler()
{
    static std::atomic<int> entered{0};
    if (entered.fetch_add(1) == 0) {
        try {
            ReportedException e = ReportedException::FromCurrentException();
            if (e.Empty())
                e = ReportedException("BcbTermination", "Abnormal program termination", {"BcbTermination", "VostException", "Exception"});
            HandleExceptionCore(false, &e, e.ThrowAddress, false);
        } catch (...) {
        }
    }
    // Not continuable; the default death, without our abort handler reporting it again.
    DieBySignal("minimal report: termination was not closed by the crash reporter", SIGABRT, nullptr, nullptr);
}

bool WaitInMainLoop(TWaitEvent* event)
{
    QEventLoop loop;
    TMainWaker::TWait wait{event, &loop};
    MainWaker->Waits.push_back(&wait);
    TStallWatch watch;
    bool stalled = false;
    QTimer guard;
    guard.setInterval(100);
    QObject::connect(&guard, &QTimer::timeout, &loop, [&] {
        if (event->State.load() != 0) {
            loop.quit();
        } else if (watch.Stalled()) {
            stalled = true;
            loop.quit();
        }
    });
    guard.start();
    int exitCode = 0;
    bool exited = false;
    while (event->State.load() == 0 && !stalled) {
        exitCode = loop.exec();
        if (event->State.load() == 0 && !stalled) {
            exited = true;
            break;
        }
    }
    guard.stop();
    std::erase(MainWaker->Waits, &wait);
    if (stalled)
        return false;
    if (exited) {
        // An exit of the application arrived meanwhile: it is posted again for the outer loop, and
        // the report is awaited without a loop, so that it is not cut short.
        QMetaObject::invokeMethod(QCoreApplication::instance(), [exitCode] { QCoreApplication::exit(exitCode); }, Qt::QueuedConnection);
        return WaitForEventGuarded(event);
    }
    return true;
}

} // namespace

void HandleExceptionCore(bool frozen, ReportedException* exceptObject, uintptr_t exceptAddr, bool canContinue,
                         uintptr_t stackPointer, uintptr_t framePointer, std::string* webOutput, const void* bcbInfo)
{
    try {
        const pid_t tid = CurrentThreadId();
        // The reporter's own failures are never reported.
        if (tid == VostSignalShared::HandlingThreadId.load())
            return;
        if (MainInHandlers.load() && tid == MainTid)
            return;
        ReportedException current;
        if (!exceptObject && !frozen) {
            current = ReportedException::FromCurrentException();
            if (!current.Empty())
                exceptObject = &current;
        }
        if (exceptObject && !exceptAddr)
            exceptAddr = exceptObject->ThrowAddress;
        if (exceptObject && exceptObject->IsClass("EAbort")) {
            if (!canContinue)
                Close();
            return;
        }
        if (!stackPointer)
            stackPointer = reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) - sizeof(uintptr_t);
        if (!framePointer)
            framePointer = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));

        TWaitEvent event;
        TExceptionRequest request;
        request.Event = reinterpret_cast<uintptr_t>(&event);
        request.ThreadId = uint32_t(tid);
        request.Frozen = frozen ? 1 : 0;
        request.ExceptObject = reinterpret_cast<uintptr_t>(exceptObject);
        request.ExceptAddr = exceptAddr;
        request.CanContinue = canContinue ? 1 : 0;
        request.StackPointer = stackPointer;
        request.FramePointer = framePointer;
        request.WebOutput = reinterpret_cast<uintptr_t>(webOutput);
        request.BcbInfo = reinterpret_cast<uintptr_t>(bcbInfo);

        const TCrashSteps steps = GetCrashSteps();
        const int fd = VostSignalShared::RequestFd.load();
        if (fd < 0) {
            // No handling thread: the work runs here.
            ProcessRequest(request);
        } else {
            PauseWatchdog(true);
            const ssize_t written = write(fd, &request, sizeof request);
            bool answered = true;
            if (written == ssize_t(sizeof request)) {
                const bool mainLoop = tid == MainTid && MainWaker && QCoreApplication::instance() &&
                                      QThread::currentThread() == QCoreApplication::instance()->thread();
                answered = mainLoop ? WaitInMainLoop(&event) : WaitForEventGuarded(&event);
            }
            PauseWatchdog(false);
            if (!answered)
                DieBySignal("minimal report: the crash reporter did not answer in time", 0, nullptr, nullptr);
        }
        if (CrashReportSettings.ResetFpuAfterException)
            std::fesetenv(FE_DFL_ENV);
    } catch (...) {
    }
}

void ReportCurrentException(bool canContinue)
{
    ReportedException e = ReportedException::FromCurrentException();
    HandleExceptionCore(false, e.Empty() ? nullptr : &e, e.ThrowAddress, canContinue);
}

void RunCrashHandlers(uint8_t kind, uint8_t phase, uint8_t action, bool frozen, const ReportedException* exceptObject,
                      uintptr_t exceptAddr, uint32_t crashedThreadId, std::string& bugReport, std::string& screenShot,
                      bool& canContinue, bool& handled)
{
    TCrashHandlerRegistry& registry = CrashHandlers();
    if (!registry.HasKind(kind))
        return;
    TFireHandlersParams p;
    p.Kind = kind;
    p.Phase = phase;
    p.Action = action;
    p.Frozen = frozen;
    p.ExceptObject = exceptObject;
    p.ExceptAddr = exceptAddr;
    p.CrashedThreadId = crashedThreadId;
    p.BugReport = std::move(bugReport);
    p.ScreenShot = std::move(screenShot);
    p.CanContinue = canContinue;
    p.Handled = handled;
    registry.CallMatchingHandlers(p);
    if (!p.Handled && MainMessage && registry.WantsMainThread(phase)) {
        p.InMainThread = true;
        bool answered = false;
        TMessageDispatcher* dispatcher = HandlerWindowOf(MainTid);
        if (!frozen && dispatcher) {
            const bool released = CrashReportSettings.PauseOtherThreads && ReleaseMainThread();
            intptr_t reply = 0;
            if (SendHandlerMessageTimeout(dispatcher, MainMessage, 1, 0, std::chrono::milliseconds(1500), &reply) &&
                reply == MainAnswer) {
                reply = 0;
                answered = SendHandlerMessageTimeout(dispatcher, MainMessage, 0, reinterpret_cast<intptr_t>(&p),
                                                     std::chrono::milliseconds(0x7FFFFFFE), &reply) &&
                           reply == MainAnswer;
            }
            if (released)
                HoldMainThread();
        }
        if (!answered) {
            p.MainThreadFailed = true;
            registry.CallMatchingHandlers(p);
        }
    }
    bugReport = std::move(p.BugReport);
    screenShot = std::move(p.ScreenShot);
    canContinue = p.CanContinue;
    handled = p.Handled;
}

// ---------------------------------------------------------------------------------------------
// Start and end

void PrepareThreadForCrashes() { PrepareSignalStack(); }
void ReleaseThreadCrashSlot() { ReleaseSignalStack(); }

namespace {

void ReportUncaughtInThread(std::exception_ptr exception)
{
    ReportedException e = ReportedException::FromException(exception);
    HandleExceptionCore(false, &e, e.ThrowAddress, true);
}

void ReportFrozen() { HandleExceptionCore(true, nullptr, 0, true); }

} // namespace

bool CrashReporterActive() { return Active.load(); }
pid_t ExceptionThreadId() { return VostSignalShared::HandlingThreadId.load(); }

void InitCrashReporter()
{
    if (Active.load())
        return;
    TCrashReportSettings& s = CrashReportSettings;
    if (!s.ReporterMainThreadId)
        s.ReporterMainThreadId = uint32_t(CurrentThreadId());
    MainTid = pid_t(s.ReporterMainThreadId);
    const bool hooks = s.CatchExceptions && s.HookRuntime;
    // Kept scrambled in the settings; the mail needs it in clear text. Once: a start that is
    // repeated must not decipher the clear text again.
    static TShortText<75> deciphered;
    static bool decipheredOnce = false;
    if (!s.SmtpPassword.Empty() && !(decipheredOnce && s.SmtpPassword.View() == deciphered.View())) {
        DecipherReporterPassword(s);
        deciphered = s.SmtpPassword.View();
        decipheredOnce = true;
    }
    if (!hooks && s.FreezeTimeout == 0)
        return;
    SetThreadName(MainTid, "main thread");
    RefreshMinimalReportModules();
    // Where the report file goes, never the current folder: the data folder set before.
    UpdateMinimalReportFile();
    // The helper and a restart run the executable by this path, read while it surely names it.
    ProgramFilePath();
    if (hooks) {
        PrepareSignalStack();
        InstallSignalHandlers();
        PreviousTerminate = std::set_terminate(TerminateHandler);
    }
    if (s.CatchExceptions || s.FreezeTimeout > 0) {
        StartExceptionThread();
        if (s.CatchExceptions) {
            TThreadHooks threadHooks;
            threadHooks.ThreadStarted = PrepareThreadForCrashes;
            threadHooks.ThreadEnding = ReleaseThreadCrashSlot;
            threadHooks.UncaughtInThread = ReportUncaughtInThread;
            SetThreadHooks(threadHooks);
        }
        if (s.FreezeTimeout > 0)
            StartWatchdog(s.FreezeTimeout, ReportFrozen);
    }
    Active.store(true);
}

void DoneCrashReporter()
{
    if (!Active.exchange(false))
        return;
    StopWatchdog();
    ClearThreadHooks();
    if (SignalHandlersInstalled()) {
        RestoreSignalHandlers();
        std::set_terminate(PreviousTerminate);
        PreviousTerminate = nullptr;
        ReleaseSignalStack();
        RemoveAlternateStack();
    }
    StopExceptionThread();
}
