// The thread wrapper: creator, alternate signal stack, per-thread preparation and catch-all.
#include "crashreport/logic/VostThreadWrap.h"

#include "crashreport/logic/VostCppSupport.h"
#include "crashreport/logic/VostStackTrace.h"
#include "crashreport/logic/VostThreads.h"

#include <QThread>

#include <cxxabi.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <link.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <typeinfo>

namespace {

std::mutex HooksMutex;
TThreadHooks Hooks;
std::atomic<bool> HooksActive{false};

TThreadHooks CurrentHooks()
{
    const std::lock_guard lock(HooksMutex);
    return Hooks;
}

struct TAlternateStack {
    void* Mapping = nullptr;
    size_t Size = 0;
};
thread_local TAlternateStack OwnAlternateStack;

size_t PageSize()
{
    const long size = sysconf(_SC_PAGESIZE);
    return size > 0 ? static_cast<size_t>(size) : 4096;
}

// The address range of a function, from its dynamic symbol.
struct TCodeRange {
    uintptr_t Start = 0, End = 0;
    bool Holds(uintptr_t address) const { return address >= Start && address < End; }
};

TCodeRange FunctionRange(void* function)
{
    TCodeRange range;
    Dl_info info {};
    void* entry = nullptr;
    if (function && dladdr1(function, &info, &entry, RTLD_DL_SYMENT) && entry && info.dli_saddr) {
        const auto* symbol = static_cast<const ElfW(Sym)*>(entry);
        range.Start = reinterpret_cast<uintptr_t>(info.dli_saddr);
        range.End = range.Start + std::max<ElfW(Xword)>(symbol->st_size, 1);
    }
    return range;
}

const TCodeRange& QThreadStartRange()
{
    // QThread::start(Priority) is exported by Qt Core; it is the only caller of the thread start
    // there that the creator search must look past.
    static const TCodeRange range = FunctionRange(dlsym(RTLD_DEFAULT, "_ZN7QThread5startENS_8PriorityE"));
    return range;
}

bool InSystemLibrary(uintptr_t address)
{
    Dl_info info {};
    if (!dladdr(reinterpret_cast<void*>(address), &info) || !info.dli_fname)
        return false;
    const char* slash = strrchr(info.dli_fname, '/');
    const char* name = slash ? slash + 1 : info.dli_fname;
    return strncmp(name, "libc.so", 7) == 0 || strncmp(name, "libstdc++.so", 12) == 0 || strncmp(name, "libgcc_s.so", 11) == 0;
}

// Ends a wrapped thread's bookkeeping on every way out, pthread_exit's unwinding included.
struct TThreadEnd {
    void (*Ending)();
    pid_t Self;
    ~TThreadEnd()
    {
        if (Ending)
            Ending();
        RemoveThreadName(Self);
        RemoveAlternateStack();
    }
};

} // namespace

bool InstallAlternateStack()
{
    stack_t current {};
    if (sigaltstack(nullptr, &current) == 0 && !(current.ss_flags & SS_DISABLE) && current.ss_size >= AlternateStackSize)
        return true;
    const size_t page = PageSize();
    const size_t size = AlternateStackSize + page;
    void* mapping = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
    if (mapping == MAP_FAILED)
        return false;
    // A guard page below: an overflow of the handler's stack faults instead of writing elsewhere.
    mprotect(mapping, page, PROT_NONE);
    stack_t stack {};
    stack.ss_sp = static_cast<char*>(mapping) + page;
    stack.ss_size = AlternateStackSize;
    if (sigaltstack(&stack, nullptr) != 0) {
        munmap(mapping, size);
        return false;
    }
    if (OwnAlternateStack.Mapping)
        munmap(OwnAlternateStack.Mapping, OwnAlternateStack.Size);
    OwnAlternateStack = { mapping, size };
    return true;
}

void RemoveAlternateStack()
{
    if (!OwnAlternateStack.Mapping)
        return;
    stack_t current {};
    if (sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_ONSTACK))
        return; // never pull the stack away under a running handler
    const char* ours = static_cast<const char*>(OwnAlternateStack.Mapping) + PageSize();
    if (!(current.ss_flags & SS_DISABLE) && current.ss_sp == ours) {
        stack_t off {};
        off.ss_flags = SS_DISABLE;
        sigaltstack(&off, nullptr);
    }
    munmap(OwnAlternateStack.Mapping, OwnAlternateStack.Size);
    OwnAlternateStack = {};
}

void SetThreadHooks(const TThreadHooks& hooks)
{
    const std::lock_guard lock(HooksMutex);
    Hooks = hooks;
    HooksActive.store(true);
}

void ClearThreadHooks()
{
    const std::lock_guard lock(HooksMutex);
    Hooks = {};
    HooksActive.store(false);
}

bool ThreadHooksActive()
{
    return HooksActive.load();
}

uintptr_t CreatorAddressOf(void* const* frames, int count)
{
    const TCodeRange& qthreadStart = QThreadStartRange();
    for (int i = 0; i < count; ++i) {
        const uintptr_t address = reinterpret_cast<uintptr_t>(frames[i]);
        if (!address || qthreadStart.Holds(address - 1) || InSystemLibrary(address - 1))
            continue;
        return address;
    }
    return 0;
}

std::string ThreadClassOf(uintptr_t callerAddress, void* argument)
{
    if (!argument || !callerAddress || !QThreadStartRange().Holds(callerAddress - 1))
        return {};
    // Called from QThread::start, the argument is the started QThread, fully constructed.
    try {
        return DemangledTypeName(typeid(*static_cast<QThread*>(argument)).name());
    } catch (...) {
        return {};
    }
}

__attribute__((noinline)) TWrappedStart* PrepareWrappedStart(void* (*start)(void*), void* argument)
{
    if (!ThreadHooksActive() || !start)
        return nullptr;
    auto* record = new (std::nothrow) TWrappedStart;
    if (!record)
        return nullptr;
    try {
        record->Start = start;
        record->Argument = argument;
        record->Origin.CreatorThreadId = CurrentThreadId();
        // frames[0] lies here, frames[1] in the interposed thread start, frames[2] in its caller.
        void* frames[32];
        const int count = backtrace(frames, 32);
        if (count > 2) {
            record->Origin.CreatorAddress = CreatorAddressOf(frames + 2, count - 2);
            record->Origin.ClassName = ThreadClassOf(reinterpret_cast<uintptr_t>(frames[2]), argument);
        }
    } catch (...) {
    }
    return record;
}

extern "C" void* VostWrappedThreadStart(void* raw)
{
    std::unique_ptr<TWrappedStart> record(static_cast<TWrappedStart*>(raw));
    void* (*start)(void*) = record->Start;
    void* argument = record->Argument;
    const pid_t self = CurrentThreadId();
    InstallAlternateStack();
    const TThreadHooks hooks = CurrentHooks();
    try {
        SetThreadNameEntry(self, {}, record->Origin.CreatorThreadId, record->Origin.CreatorAddress, record->Origin.ClassName);
        uintptr_t size = 0;
        const uintptr_t top = CurrentStackTop(&size);
        SetThreadStackEntry(top, size);
    } catch (...) {
    }
    record.reset();
    if (hooks.ThreadStarted)
        hooks.ThreadStarted();
    TThreadEnd end { hooks.ThreadEnding, self };
    // The body of a std::thread must not end by an exception: the standard has it terminate, and
    // the terminate handler reports it (not continuable).
    Dl_info startInfo {};
    if (dladdr(reinterpret_cast<void*>(start), &startInfo) && startInfo.dli_fname && std::strstr(startInfo.dli_fname, "libstdc++"))
        return start(argument);
    try {
        return start(argument);
    } catch (abi::__forced_unwind&) {
        throw; // pthread_exit and cancellation unwind through here and must go on
    } catch (...) {
        if (hooks.UncaughtInThread) {
            try {
                hooks.UncaughtInThread(std::current_exception());
            } catch (...) {
            }
        }
    }
    return nullptr;
}
