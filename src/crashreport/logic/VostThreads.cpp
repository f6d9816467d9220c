// The process's threads for the crash reporter: list, name table, titles, states and contexts.
#include "crashreport/logic/VostThreads.h"

#include "crashreport/logic/VostMapFile.h"
#include "crashreport/logic/VostMemory.h"
#include "crashreport/logic/VostStrings.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include <dirent.h>
#include <fcntl.h>
#include <linux/futex.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <ucontext.h>
#include <unistd.h>

namespace {

// Reports read the table with a short wait: a thread that died holding it must not stop them.
constexpr std::chrono::milliseconds ReportLockTimeout{50};

struct TNameTable {
    TListMutex Mutex;
    std::vector<TThreadNameEntry> Entries; // newest first
};

TNameTable& NameTable()
{
    static TNameTable* table = new TNameTable; // outlives every thread that may still name itself at exit
    return *table;
}

bool ThreadAlive(pid_t threadId)
{
    return syscall(SYS_tgkill, getpid(), threadId, 0) == 0 || errno != ESRCH;
}

std::string ReadSmallFile(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    char buffer[512];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0 || text.size() > 65536)
            break;
        text.append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    return text;
}

std::string TaskPath(pid_t threadId, const char* file)
{
    return "/proc/self/task/" + std::to_string(threadId) + "/" + file;
}

std::string KernelNameOf(pid_t threadId)
{
    std::string name = ReadSmallFile(TaskPath(threadId, "comm"));
    while (!name.empty() && (name.back() == '\n' || name.back() == '\r'))
        name.pop_back();
    return name;
}

void SetKernelName(pid_t threadId, const std::string& name)
{
    // The main thread's kernel name is the process's name in every system tool.
    if (name.empty() || name == "-" || threadId == MainThreadId())
        return;
    const std::string shortName = name.substr(0, 15);
    if (threadId == CurrentThreadId()) {
        pthread_setname_np(pthread_self(), shortName.c_str());
        return;
    }
    const int fd = open(TaskPath(threadId, "comm").c_str(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        [[maybe_unused]] const ssize_t written = write(fd, shortName.data(), shortName.size());
        close(fd);
    }
}

// The capture of another thread's registers: one at a time, answered by the target's handler.
enum : int { CaptureIdle, CaptureWaiting, CaptureFilling, CaptureDone };
struct TCaptureState {
    std::atomic<int> Phase{CaptureIdle};
    std::atomic<pid_t> Target{0};
    TThreadContext Context;
};
TCaptureState Capture;
std::mutex CaptureMutex;
std::once_flag CaptureInstalled;

void CaptureHandler(int, siginfo_t*, void* raw)
{
    const int savedErrno = errno;
    if (static_cast<pid_t>(syscall(SYS_gettid)) == Capture.Target.load()) {
        int expected = CaptureWaiting;
        if (Capture.Phase.compare_exchange_strong(expected, CaptureFilling)) {
            const auto* context = static_cast<const ucontext_t*>(raw);
            Capture.Context.InstructionPointer = static_cast<uintptr_t>(context->uc_mcontext.gregs[REG_RIP]);
            Capture.Context.StackPointer = static_cast<uintptr_t>(context->uc_mcontext.gregs[REG_RSP]);
            Capture.Context.FramePointer = static_cast<uintptr_t>(context->uc_mcontext.gregs[REG_RBP]);
            Capture.Context.FromSignal = true;
            Capture.Phase.store(CaptureDone);
            syscall(SYS_futex, reinterpret_cast<int*>(&Capture.Phase), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
        }
    }
    errno = savedErrno;
}

// How many times the time-out a runnable thread that does not block the signal gets.
constexpr int CaptureExtension = 20;

} // namespace

bool CanTakeSignal(pid_t threadId, int signal)
{
    const std::string status = ReadSmallFile(TaskPath(threadId, "status"));
    const size_t state = status.find("\nState:");
    const size_t blocked = status.find("\nSigBlk:");
    if (state == std::string::npos || blocked == std::string::npos)
        return false;
    const size_t letter = status.find_first_not_of(" \t", state + 7);
    // Stopped, traced, in an uninterruptible wait or dead: no handler runs soon.
    if (letter == std::string::npos || std::string_view("TtDZX").find(status[letter]) != std::string_view::npos)
        return false;
    const size_t digits = status.find_first_not_of(" \t", blocked + 8);
    uint64_t mask = 0;
    if (digits == std::string::npos
        || std::from_chars(status.data() + digits, status.data() + status.size(), mask, 16).ec != std::errc())
        return false;
    return signal >= 1 && signal <= 64 && !(mask & (uint64_t(1) << (signal - 1)));
}

pid_t CurrentThreadId()
{
    return static_cast<pid_t>(syscall(SYS_gettid));
}

pid_t MainThreadId()
{
    return getpid();
}

std::vector<pid_t> GetThreadList()
{
    std::vector<pid_t> ids;
    DIR* dir = opendir("/proc/self/task");
    if (!dir)
        return { CurrentThreadId() };
    while (const dirent* e = readdir(dir)) {
        pid_t id = 0;
        const char* end = e->d_name + strlen(e->d_name);
        const auto r = std::from_chars(e->d_name, end, id);
        if (r.ec == std::errc() && r.ptr == end && id > 0)
            ids.push_back(id);
    }
    closedir(dir);
    std::sort(ids.begin(), ids.end());
    return ids;
}

void SetThreadNameEntry(pid_t threadId, const std::string& name, pid_t creatorThreadId, uintptr_t creatorAddress,
                        const std::string& className)
{
    if (threadId == 0)
        threadId = CurrentThreadId();
    TNameTable& table = NameTable();
    {
        const std::lock_guard lock(table.Mutex);
        TThreadNameEntry entry;
        entry.ThreadId = threadId;
        const auto old = std::find_if(table.Entries.begin(), table.Entries.end(),
                                      [&](const TThreadNameEntry& e) { return e.ThreadId == threadId; });
        if (old != table.Entries.end()) {
            entry = *old;
            table.Entries.erase(old);
        }
        if (!name.empty() || creatorThreadId || creatorAddress) {
            if (!name.empty())
                entry.Name = name;
            if (!className.empty())
                entry.ClassName = className;
            if (creatorThreadId || creatorAddress) {
                entry.CreatorThreadId = creatorThreadId;
                entry.CreatorAddress = creatorAddress;
            }
            table.Entries.insert(table.Entries.begin(), entry);
        }
        // Threads that ended without removing their entry (killed ones) go one at a time.
        for (auto e = table.Entries.begin(); e != table.Entries.end(); ++e)
            if (e->ThreadId != threadId && !ThreadAlive(e->ThreadId)) {
                table.Entries.erase(e);
                break;
            }
    }
    if (!name.empty())
        SetKernelName(threadId, name);
}

void SetThreadName(pid_t threadId, const std::string& name)
{
    SetThreadNameEntry(threadId, name, 0, 0, {});
}

void SetThreadStackEntry(uintptr_t stackTop, uintptr_t stackSize)
{
    TNameTable& table = NameTable();
    const std::lock_guard lock(table.Mutex);
    for (TThreadNameEntry& e : table.Entries)
        if (e.ThreadId == CurrentThreadId()) {
            e.StackTop = stackTop;
            e.StackSize = stackSize;
        }
}

void RemoveThreadName(pid_t threadId)
{
    SetThreadNameEntry(threadId, {}, 0, 0, {});
}

bool GetThreadNameEntry(pid_t threadId, TThreadNameEntry& entry)
{
    TNameTable& table = NameTable();
    TListLock lock(table.Mutex, ReportLockTimeout);
    if (!lock)
        return false;
    for (const TThreadNameEntry& e : table.Entries)
        if (e.ThreadId == threadId) {
            entry = e;
            return true;
        }
    return false;
}

void ClearThreadNames()
{
    TNameTable& table = NameTable();
    const std::lock_guard lock(table.Mutex);
    table.Entries.clear();
}

TThreadNameScope::TThreadNameScope(const std::string& name)
    : FThread(CurrentThreadId())
{
    {
        TNameTable& table = NameTable();
        const std::lock_guard lock(table.Mutex);
        for (const TThreadNameEntry& e : table.Entries)
            if (e.ThreadId == FThread) {
                FPrevious = e;
                FHadEntry = true;
                break;
            }
    }
    SetThreadName(FThread, name);
}

TThreadNameScope::~TThreadNameScope()
{
    TNameTable& table = NameTable();
    const std::lock_guard lock(table.Mutex);
    std::erase_if(table.Entries, [&](const TThreadNameEntry& e) { return e.ThreadId == FThread; });
    if (FHadEntry)
        table.Entries.insert(table.Entries.begin(), FPrevious);
}

std::string ComposeThreadTitle(pid_t threadId, const TThreadNameEntry* entry, const std::string& kernelName,
                               const std::string& programKernelName, bool forceShow)
{
    const std::string id = HexTextPadded(static_cast<uint32_t>(threadId), 0, ' ');
    if (entry && entry->Name == "-" && !forceShow)
        return {};
    if (entry && !entry->Name.empty())
        return entry->Name + " (" + id + ")";
    if (!entry && !kernelName.empty() && kernelName != programKernelName)
        return kernelName + " (" + id + ")";
    std::string title = "thread " + id;
    if (entry && !entry->ClassName.empty())
        title += " (" + entry->ClassName + ")";
    return title;
}

TThreadTitle GetThreadTitle(pid_t threadId, bool forceShow)
{
    TThreadTitle result;
    TNameTable& table = NameTable();
    TThreadNameEntry entry;
    bool found = false;
    {
        TListLock lock(table.Mutex, ReportLockTimeout);
        if (!lock) {
            result.Title = "thread " + HexTextPadded(static_cast<uint32_t>(threadId), 0, ' ');
            return result;
        }
        for (const TThreadNameEntry& e : table.Entries)
            if (e.ThreadId == threadId) {
                entry = e;
                found = true;
                break;
            }
    }
    std::string kernelName, programName;
    if (!found) {
        kernelName = KernelNameOf(threadId);
        programName = KernelNameOf(MainThreadId());
    }
    result.Title = ComposeThreadTitle(threadId, found ? &entry : nullptr, kernelName, programName, forceShow);
    if (found) {
        result.CreatorAddress = entry.CreatorAddress;
        result.CreatorThreadId = entry.CreatorThreadId;
    }
    return result;
}

bool ThreadCreatedByOwnCode(pid_t threadId)
{
    TThreadNameEntry entry;
    if (!GetThreadNameEntry(threadId, entry) || !entry.CreatorAddress)
        return false;
    return DebugInfoForAddress(entry.CreatorAddress) != nullptr;
}

bool ParseThreadStat(const std::string& text, TThreadState& state)
{
    const size_t open = text.find('(');
    const size_t close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos || close < open)
        return false;
    state.KernelName = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 1));
    std::vector<std::string> fields;
    for (std::string f; rest >> f && fields.size() < 17;)
        fields.push_back(f);
    // state is the third field of the file, nice the nineteenth.
    if (fields.size() < 17 || fields[0].size() != 1)
        return false;
    state.State = fields[0][0];
    state.Suspended = state.State == 'T' || state.State == 't';
    int nice = 0;
    const std::string& n = fields[16];
    if (std::from_chars(n.data(), n.data() + n.size(), nice).ec != std::errc())
        return false;
    state.Priority = nice;
    state.Exists = true;
    return true;
}

TThreadState QueryThreadState(pid_t threadId)
{
    TThreadState state;
    ParseThreadStat(ReadSmallFile(TaskPath(threadId, "stat")), state);
    return state;
}

bool ParseSyscallText(const std::string& text, TThreadContext& context)
{
    std::istringstream in(text);
    std::vector<std::string> fields;
    for (std::string f; in >> f;)
        fields.push_back(f);
    if (fields.size() < 3 || fields[0] == "running")
        return false;
    auto hex = [](const std::string& f, uintptr_t& value) {
        if (f.size() < 3 || f[0] != '0' || (f[1] != 'x' && f[1] != 'X'))
            return false;
        return std::from_chars(f.data() + 2, f.data() + f.size(), value, 16).ec == std::errc();
    };
    uintptr_t sp = 0, pc = 0;
    if (!hex(fields[fields.size() - 2], sp) || !hex(fields.back(), pc) || !sp)
        return false;
    context = {};
    context.StackPointer = sp;
    context.InstructionPointer = pc;
    return true;
}

int CaptureSignal()
{
    return SIGRTMIN + 4;
}

void InstallCaptureHandler()
{
    std::call_once(CaptureInstalled, [] {
        struct sigaction action {};
        action.sa_sigaction = &CaptureHandler;
        action.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
        sigemptyset(&action.sa_mask);
        sigaction(CaptureSignal(), &action, nullptr);
    });
}

__attribute__((noinline)) bool CaptureThreadContext(pid_t threadId, TThreadContext& context, int timeoutMs)
{
    context = {};
    if (threadId == CurrentThreadId()) {
        context.InstructionPointer = reinterpret_cast<uintptr_t>(__builtin_return_address(0));
        context.FramePointer = *static_cast<const uintptr_t*>(__builtin_frame_address(0));
        context.StackPointer = reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) + 2 * sizeof(void*);
        context.FromSignal = true;
        return true;
    }
    InstallCaptureHandler();
    {
        const std::lock_guard lock(CaptureMutex);
        Capture.Target.store(threadId);
        Capture.Phase.store(CaptureWaiting);
        if (syscall(SYS_tgkill, getpid(), threadId, CaptureSignal()) == 0) {
            auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
            bool extended = false;
            for (;;) {
                const int phase = Capture.Phase.load();
                if (phase == CaptureDone)
                    break;
                auto left = deadline - std::chrono::steady_clock::now();
                // A busy machine may not have run the thread yet: when it can take the signal,
                // its answer is sure to come and worth more than /proc's registers.
                if (left <= std::chrono::nanoseconds::zero() && phase == CaptureWaiting && !extended
                    && CanTakeSignal(threadId, CaptureSignal())) {
                    extended = true;
                    deadline += std::chrono::milliseconds(timeoutMs) * (CaptureExtension - 1);
                    left = deadline - std::chrono::steady_clock::now();
                }
                if (left <= std::chrono::nanoseconds::zero() && phase == CaptureWaiting)
                    break;
                const auto ns = std::max<int64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(left).count(), 100000);
                timespec wait { static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000) };
                syscall(SYS_futex, reinterpret_cast<int*>(&Capture.Phase), FUTEX_WAIT_PRIVATE, phase, &wait, nullptr, 0);
            }
        }
        int expected = CaptureWaiting;
        const bool answered = !Capture.Phase.compare_exchange_strong(expected, CaptureIdle);
        if (answered) {
            while (Capture.Phase.load() != CaptureDone) // the handler is copying four words
                sched_yield();
            context = Capture.Context;
        }
        Capture.Target.store(0);
        Capture.Phase.store(CaptureIdle);
        if (answered)
            return true;
    }
    return ParseSyscallText(ReadSmallFile(TaskPath(threadId, "syscall")), context);
}
