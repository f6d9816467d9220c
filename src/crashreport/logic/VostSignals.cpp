// Fatal signals: handlers on alternate stacks, slots, guarded waits and the minimal report.
#include "crashreport/logic/VostSignals.h"

#include "crashreport/logic/VostExcept.h"
#include "crashreport/logic/VostMemory.h"
#include "crashreport/logic/VostThreadWrap.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

namespace VostSignalShared {
std::atomic<int> RequestFd{-1};
std::atomic<pid_t> HandlingThreadId{0};
std::atomic<uint32_t> Heartbeat{0};
std::atomic<bool> BoxUp{false};
std::atomic<int64_t> GuardTimeoutMs{10000};
std::atomic<int> HandlersStarting{0};
} // namespace VostSignalShared

using namespace VostSignalShared;

namespace {

constexpr int FatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr int FatalSignalCount = sizeof(FatalSignals) / sizeof(FatalSignals[0]);
struct sigaction PreviousActions[FatalSignalCount];
std::atomic<bool> Installed{false};
// SIGXFSZ ignored by us: a report written past a file-size limit fails with EFBIG instead of
// killing the program with the report cut.
bool IgnoringFileSizeSignal = false;

struct TThreadCrashState {
    TSignalSlot* Slot = nullptr;
};
thread_local TThreadCrashState ThreadState;

// Threads that were never prepared (started before the reporter, or by foreign code) take one of
// these when they fault.
constexpr int PoolSize = 16;
TSignalSlot SlotPool[PoolSize];

TSignalSlot* ClaimPoolSlot()
{
    for (TSignalSlot& slot : SlotPool) {
        uint32_t expected = 0;
        if (slot.InUse.compare_exchange_strong(expected, 1))
            return &slot;
    }
    return nullptr;
}

pid_t Tid() { return pid_t(syscall(SYS_gettid)); }

long Futex(std::atomic<uint32_t>* word, int op, uint32_t value, const timespec* timeout)
{
    static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t));
    return syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), op, value, timeout, nullptr, 0);
}

// --- the module table of minimal reports -------------------------------------------------------

struct TMinimalModule {
    uintptr_t Start = 0, End = 0, Base = 0;
    char Name[64] = {};
};
constexpr int MaxMinimalModules = 256;
struct TMinimalModuleTable {
    TMinimalModule Modules[MaxMinimalModules];
    int Count = 0;
};
// Two tables: a refresh fills the one not in use and then publishes it, so a report written
// meanwhile (or after a refresh that never ended) reads a whole list.
TMinimalModuleTable MinimalTables[2];
std::atomic<const TMinimalModuleTable*> MinimalCurrent{nullptr};
std::mutex MinimalRefreshLock;
char ReportPath[4096] = {};

void CopyName(char* target, size_t capacity, const char* path)
{
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/')
            name = p + 1;
    size_t i = 0;
    for (; name[i] && i + 1 < capacity; ++i)
        target[i] = name[i];
    target[i] = 0;
}

// --- async-signal-safe output --------------------------------------------------------------------

class TRawWriter {
public:
    void Text(const char* text)
    {
        while (*text && FLength < sizeof FBuffer)
            FBuffer[FLength++] = *text++;
    }
    void Hex(uintptr_t value, int digits = 16)
    {
        char digitsText[17];
        for (int i = digits - 1; i >= 0; --i) {
            digitsText[i] = "0123456789abcdef"[value & 15];
            value >>= 4;
        }
        digitsText[digits] = 0;
        Text("$");
        Text(digitsText);
    }
    void ShortHex(uintptr_t value)
    {
        int digits = 1;
        for (uintptr_t v = value >> 4; v; v >>= 4)
            ++digits;
        Hex(value, digits);
    }
    void Decimal(long value)
    {
        char text[24];
        int i = 23;
        text[i] = 0;
        const bool negative = value < 0;
        unsigned long v = negative ? 0ul - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
        do {
            text[--i] = char('0' + v % 10);
            v /= 10;
        } while (v);
        if (negative)
            text[--i] = '-';
        Text(text + i);
    }
    void Label(const char* label)
    {
        Text(label);
        for (size_t n = std::strlen(label); n < 18; ++n)
            Text(" ");
        Text(": ");
    }
    void Line() { Text("\r\n"); }
    void Address(uintptr_t address)
    {
        Hex(address);
        const TMinimalModuleTable* table = MinimalCurrent.load(std::memory_order_acquire);
        for (int i = 0; table && i < table->Count; ++i) {
            const TMinimalModule& module = table->Modules[i];
            if (address >= module.Start && address < module.End) {
                Text(" ");
                Text(module.Name);
                Text("+");
                ShortHex(address - module.Base);
                return;
            }
        }
    }
    void WriteTo(int fd) const
    {
        size_t done = 0;
        while (done < FLength) {
            const ssize_t n = write(fd, FBuffer + done, FLength - done);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return;
            done += size_t(n);
        }
    }

private:
    char FBuffer[8192];
    size_t FLength = 0;
};

bool ReadWord(uintptr_t address, uintptr_t& value)
{
    iovec local{&value, sizeof value};
    iovec remote{reinterpret_cast<void*>(address), sizeof value};
    return syscall(SYS_process_vm_readv, getpid(), &local, 1ul, &remote, 1ul, 0ul) == long(sizeof value);
}


[[noreturn]] void RaiseDefault(int signal)
{
    struct sigaction action{};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, signal);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    syscall(SYS_tgkill, getpid(), Tid(), signal);
    _exit(128 + signal);
}

void FatalSignalHandler(int signal, siginfo_t* info, void* raw)
{
    auto* context = static_cast<ucontext_t*>(raw);
    const pid_t tid = Tid();
    // Until the request is sent: a close after another thread's report waits for it.
    HandlersStarting.fetch_add(1);
    if (tid == HandlingThreadId.load())
        DieBySignal("emergency report: a fault in the crash reporter's handling thread", signal, info, context);
    TSignalSlot* slot = ThreadState.Slot ? ThreadState.Slot : ClaimPoolSlot();
    if (!slot)
        DieBySignal("emergency report: a fault with no crash slot left", signal, info, context);
    ThreadState.Slot = slot;
    if (slot->Busy.exchange(1))
        DieBySignal("emergency report: a second fault while handling a crash", signal, info, context);
    const int fd = RequestFd.load();
    if (fd < 0)
        DieBySignal("minimal report: the crash reporter is not running", signal, info, context);

    slot->ThreadId = tid;
    slot->Info = *info;
    slot->Registers = context->uc_mcontext;
    slot->Event.State.store(0);
    TExceptionRequest request;
    request.Event = reinterpret_cast<uintptr_t>(&slot->Event);
    request.ThreadId = uint32_t(tid);
    request.ExceptAddr = uintptr_t(context->uc_mcontext.gregs[REG_RIP]);
    request.StackPointer = uintptr_t(context->uc_mcontext.gregs[REG_RSP]);
    request.FramePointer = uintptr_t(context->uc_mcontext.gregs[REG_RBP]);
    request.BcbInfo = reinterpret_cast<uintptr_t>(slot);
    ssize_t written;
    do
        written = write(fd, &request, sizeof request);
    while (written < 0 && errno == EINTR);
    HandlersStarting.fetch_sub(1);
    if (written != ssize_t(sizeof request))
        DieBySignal("minimal report: the crash reporter took no request", signal, info, context);
    if (!WaitForEventGuarded(&slot->Event))
        DieBySignal("minimal report: the crash reporter did not answer in time", signal, info, context);
    // A signal is never continued: returning would run the fault again.
    RaiseDefault(signal);
}

} // namespace

int64_t MonotonicMs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

void SignalWaitEvent(TWaitEvent* event)
{
    uint32_t expected = 0;
    if (event->State.compare_exchange_strong(expected, 1))
        Futex(&event->State, FUTEX_WAKE_PRIVATE, INT32_MAX, nullptr);
    else if (expected == 2)
        delete event;
}

TStallWatch::TStallWatch()
    : FLast(Heartbeat.load())
    , FSince(MonotonicMs())
{
}

bool TStallWatch::Stalled()
{
    const uint32_t beat = Heartbeat.load();
    const int64_t now = MonotonicMs();
    if (beat != FLast || BoxUp.load()) {
        FLast = beat;
        FSince = now;
        return false;
    }
    return now - FSince >= GuardTimeoutMs.load();
}

bool WaitForEventGuarded(TWaitEvent* event)
{
    TStallWatch watch;
    while (event->State.load() == 0) {
        const timespec slice{0, 50 * 1000 * 1000};
        Futex(&event->State, FUTEX_WAIT_PRIVATE, 0, &slice);
        if (event->State.load() != 0)
            break;
        if (watch.Stalled())
            return false;
    }
    return true;
}

void InstallSignalHandlers()
{
    if (Installed.exchange(true))
        return;
    struct sigaction action{};
    action.sa_sigaction = FatalSignalHandler;
    // No deferral: a fault inside the handler reaches it again and ends in the emergency report.
    action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_NODEFER;
    sigemptyset(&action.sa_mask);
    for (int i = 0; i < FatalSignalCount; ++i)
        sigaction(FatalSignals[i], &action, &PreviousActions[i]);
    struct sigaction fileSize{};
    if (sigaction(SIGXFSZ, nullptr, &fileSize) == 0 && !(fileSize.sa_flags & SA_SIGINFO) && fileSize.sa_handler == SIG_DFL) {
        struct sigaction ignore{};
        ignore.sa_handler = SIG_IGN;
        sigemptyset(&ignore.sa_mask);
        IgnoringFileSizeSignal = sigaction(SIGXFSZ, &ignore, nullptr) == 0;
    }
}

void RestoreSignalHandlers()
{
    if (!Installed.exchange(false))
        return;
    for (int i = 0; i < FatalSignalCount; ++i)
        sigaction(FatalSignals[i], &PreviousActions[i], nullptr);
    struct sigaction fileSize{};
    if (IgnoringFileSizeSignal && sigaction(SIGXFSZ, nullptr, &fileSize) == 0 && !(fileSize.sa_flags & SA_SIGINFO)
        && fileSize.sa_handler == SIG_IGN) {
        struct sigaction standard{};
        standard.sa_handler = SIG_DFL;
        sigemptyset(&standard.sa_mask);
        sigaction(SIGXFSZ, &standard, nullptr);
    }
    IgnoringFileSizeSignal = false;
}

bool SignalHandlersInstalled() { return Installed.load(); }

void PrepareSignalStack()
{
    InstallAlternateStack();
    if (!ThreadState.Slot)
        ThreadState.Slot = new (std::nothrow) TSignalSlot;
}

void ReleaseSignalStack()
{
    bool pooled = false;
    for (TSignalSlot& slot : SlotPool)
        pooled = pooled || ThreadState.Slot == &slot;
    if (!pooled)
        delete ThreadState.Slot;
    ThreadState.Slot = nullptr;
}

void RefreshMinimalReportModules()
{
    // From the process's mappings, never through the loader: the crashed thread may hold its lock.
    const std::unique_lock lock(MinimalRefreshLock, std::try_to_lock);
    if (!lock)
        return;
    const std::vector<TModuleInfo> modules = ListModules(*TakeMemorySnapshot());
    const TMinimalModuleTable* current = MinimalCurrent.load(std::memory_order_acquire);
    TMinimalModuleTable& spare = current == &MinimalTables[0] ? MinimalTables[1] : MinimalTables[0];
    int count = 0;
    for (const TModuleInfo& module : modules) {
        if (count >= MaxMinimalModules)
            break;
        TMinimalModule& entry = spare.Modules[count++];
        entry.Start = module.Base;
        entry.End = module.End;
        entry.Base = module.LoadBias;
        CopyName(entry.Name, sizeof entry.Name, module.FileName.c_str());
    }
    spare.Count = count;
    MinimalCurrent.store(&spare, std::memory_order_release);
}

void SetMinimalReportPath(const char* path)
{
    // A relative name would follow whatever folder is current at the crash, a cut one would name
    // another file: both go to standard error only.
    const size_t length = path ? std::strlen(path) : 0;
    if (length == 0 || path[0] != '/' || length >= sizeof ReportPath) {
        ReportPath[0] = 0;
        return;
    }
    std::memcpy(ReportPath, path, length + 1);
}

const char* SignalText(int signal)
{
    switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGFPE: return "SIGFPE";
    case SIGILL: return "SIGILL";
    case SIGABRT: return "SIGABRT";
    case SIGTRAP: return "SIGTRAP";
    case SIGSYS: return "SIGSYS";
    default: return nullptr;
    }
}

const char* MinimalReportPath() { return ReportPath; }

void WriteMinimalReport(const char* title, int signal, const siginfo_t* info, const ucontext_t* context)
{
    static TRawWriter writer; // no room on an alternate stack; one report at a time is enough
    writer = TRawWriter();
    writer.Line();
    writer.Line();
    writer.Text(title);
    writer.Line();
    if (signal) {
        writer.Label("signal");
        const char* name = SignalText(signal);
        writer.Text(name ? name : "signal");
        writer.Text(" (");
        writer.Decimal(signal);
        writer.Text(")");
        if (info) {
            writer.Text(", code ");
            writer.Decimal(info->si_code);
        }
        writer.Line();
    }
    writer.Label("process id");
    writer.ShortHex(uintptr_t(getpid()));
    writer.Line();
    writer.Label("thread id");
    writer.ShortHex(uintptr_t(Tid()));
    writer.Line();
    if (info && info->si_code > 0) {
        writer.Label("fault address");
        writer.Hex(reinterpret_cast<uintptr_t>(info->si_addr));
        writer.Line();
    }
    uintptr_t framePointer = 0;
    if (context) {
        writer.Label("instruction");
        writer.Address(uintptr_t(context->uc_mcontext.gregs[REG_RIP]));
        writer.Line();
        writer.Label("stack pointer");
        writer.Hex(uintptr_t(context->uc_mcontext.gregs[REG_RSP]));
        writer.Line();
        framePointer = uintptr_t(context->uc_mcontext.gregs[REG_RBP]);
    } else {
        framePointer = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    }
    writer.Text("return addresses:");
    for (int i = 0; i < 64 && framePointer && framePointer % sizeof(uintptr_t) == 0; ++i) {
        uintptr_t next = 0, returnAddress = 0;
        if (!ReadWord(framePointer, next) || !ReadWord(framePointer + sizeof(uintptr_t), returnAddress) || !returnAddress)
            break;
        writer.Line();
        writer.Text("  ");
        writer.Address(returnAddress);
        // The chain grows towards higher addresses; anything else is no chain.
        if (next <= framePointer)
            break;
        framePointer = next;
    }
    writer.Line();
    // Standard error first: a file past its size limit or a full disk must not cost that copy
    // too (the file write may fail, or end the process where SIGXFSZ is not ignored).
    writer.WriteTo(STDERR_FILENO);
    if (ReportPath[0]) {
        // Like every report file: never through a planted link, readable by the user alone.
        const int fd = open(ReportPath, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        struct stat info {};
        if (fd >= 0 && fstat(fd, &info) == 0 && S_ISREG(info.st_mode))
            writer.WriteTo(fd);
        if (fd >= 0)
            close(fd);
    }
}

void DieBySignal(const char* title, int signal, const siginfo_t* info, const ucontext_t* context)
{
    static std::atomic<int> dying{0};
    // Only the first dying thread writes; the others just go.
    if (dying.fetch_add(1) == 0) {
        WriteMinimalReport(title, signal, info, context);
    } else {
        const timespec pause{2, 0};
        nanosleep(&pause, nullptr);
    }
    RaiseDefault(signal ? signal : SIGABRT);
}
