// Thread names, titles, states, captured contexts, the thread wrapper and the thread sections,
// in a program that links the interposed thread start and throw.
#include "crashreport/logic/VostMapFile.h"
#include "crashreport/logic/VostMemory.h"
#include "crashreport/logic/VostStackTrace.h"
#include "crashreport/logic/VostStrings.h"
#include "crashreport/logic/VostThreadReport.h"
#include "crashreport/logic/VostThreadWrap.h"
#include "crashreport/logic/VostThreads.h"

#include <QThread>

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

std::string Id(pid_t id)
{
    return HexTextPadded(static_cast<uint32_t>(id), 0, ' ');
}

// The function holding a return address, by our own debug information (the program exports no
// function names).
std::string SymbolAt(uintptr_t address)
{
    std::string module, unit, name;
    uintptr_t start = 0;
    int32_t line = 0;
    if (!address || !DescribeAddress(address - 1, module, unit, name, start, line))
        return {};
    return name;
}

// A gate a worker waits at until the test opens it.
struct TGate {
    std::mutex Mutex;
    std::condition_variable Changed;
    bool Arrived = false, Open = false;
    void Arrive()
    {
        std::unique_lock lock(Mutex);
        Arrived = true;
        Changed.notify_all();
        Changed.wait(lock, [&] { return Open; });
    }
    void WaitArrived()
    {
        std::unique_lock lock(Mutex);
        Changed.wait(lock, [&] { return Arrived; });
    }
    void Release()
    {
        std::lock_guard lock(Mutex);
        Open = true;
        Changed.notify_all();
    }
};

// The reporter's hooks as the reporter installs them; the wrapper runs only while they are set.
struct THooksInstalled {
    static std::atomic<int> Uncaught;
    static std::string LastMessage;
    THooksInstalled()
    {
        TThreadHooks hooks;
        hooks.UncaughtInThread = [](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& x) {
                LastMessage = x.what();
            } catch (...) {
                LastMessage = "?";
            }
            ++Uncaught;
        };
        SetThreadHooks(hooks);
        Uncaught = 0;
        LastMessage.clear();
    }
    ~THooksInstalled() { ClearThreadHooks(); }
};
std::atomic<int> THooksInstalled::Uncaught{0};
std::string THooksInstalled::LastMessage;

} // namespace

TEST(ThreadTitles, Rules)
{
    TThreadNameEntry named { 0x1a2b, "TWorkerName", "", 0, 0 };
    TThreadNameEntry reporter { 0x1a2b, "-", "", 0, 0 };
    TThreadNameEntry classOnly { 0x1a2b, "", "TMyThread", 0x1234, 7 };
    TThreadNameEntry mainEntry { 0x99, "main thread", "", 0, 0 };
    struct TCase {
        const TThreadNameEntry* Entry;
        std::string Kernel;
        bool Force;
        std::string Expected;
    } cases[] = {
        { &named, "tarvell", false, "TWorkerName ($1a2b)" },
        { &reporter, "tarvell", false, "" },
        { &reporter, "tarvell", true, "- ($1a2b)" },
        { &classOnly, "TMyThread", false, "thread $1a2b (TMyThread)" },
        { &mainEntry, "tarvell", false, "main thread ($99)" },
        // Without an entry: the kernel name when some library named the thread.
        { nullptr, "QDBusConnection", false, "QDBusConnection ($1a2b)" },
        { nullptr, "tarvell", false, "thread $1a2b" },
        { nullptr, "", false, "thread $1a2b" },
    };
    for (const TCase& c : cases) {
        const pid_t id = c.Entry ? c.Entry->ThreadId : 0x1a2b;
        EXPECT_EQ(ComposeThreadTitle(id, c.Entry, c.Kernel, "tarvell", c.Force), c.Expected) << c.Expected;
    }
}

TEST(ThreadNames, EntryKeepsWhatIsNotGiven)
{
    ClearThreadNames();
    const pid_t self = CurrentThreadId();
    SetThreadNameEntry(self, {}, 42, 0x5000, "TFirst");
    SetThreadName(self, "renamed");
    TThreadNameEntry e;
    ASSERT_TRUE(GetThreadNameEntry(self, e));
    EXPECT_EQ(e.Name, "renamed");
    EXPECT_EQ(e.ClassName, "TFirst");
    EXPECT_EQ(e.CreatorThreadId, 42);
    EXPECT_EQ(e.CreatorAddress, 0x5000u);
    EXPECT_EQ(GetThreadTitle(self).Title, "renamed (" + Id(self) + ")");
    RemoveThreadName(self);
    EXPECT_FALSE(GetThreadNameEntry(self, e));
}

TEST(ThreadNames, EntriesOfEndedThreadsGo)
{
    ClearThreadNames();
    pid_t ended = 0;
    std::thread([&] {
        ended = CurrentThreadId();
        // Killed threads never remove their entry: simulated by naming without removing.
        SetThreadName(0, "short-lived");
    }).join();
    // A joined thread can still be signalled for a moment while the system releases it.
    for (int i = 0; i < 5000 && !(syscall(SYS_tgkill, getpid(), ended, 0) != 0 && errno == ESRCH); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    TThreadNameEntry e;
    ASSERT_TRUE(GetThreadNameEntry(ended, e));
    SetThreadName(CurrentThreadId(), "someone");
    EXPECT_FALSE(GetThreadNameEntry(ended, e));
    ClearThreadNames();
}

TEST(ThreadNames, KernelNameFollowsExceptForTheMainThread)
{
    std::string kernel;
    std::thread([&] {
        SetThreadName(0, "a-very-long-worker-name");
        char name[32] = {};
        pthread_getname_np(pthread_self(), name, sizeof name);
        kernel = name;
        RemoveThreadName(CurrentThreadId());
    }).join();
    EXPECT_EQ(kernel, "a-very-long-wor");
    char before[32] = {}, after[32] = {};
    pthread_getname_np(pthread_self(), before, sizeof before);
    SetThreadName(MainThreadId(), "main thread");
    pthread_getname_np(pthread_self(), after, sizeof after);
    EXPECT_STREQ(before, after);
    RemoveThreadName(MainThreadId());
}

TEST(ThreadState, StatAndSyscallTexts)
{
    TThreadState s;
    ASSERT_TRUE(ParseThreadStat("1234 (odd ) (name) T 1 1234 1234 0 -1 4194560 100 0 0 0 5 3 0 0 20 -5 3 0 100", s));
    EXPECT_EQ(s.KernelName, "odd ) (name");
    EXPECT_TRUE(s.Suspended);
    EXPECT_EQ(s.Priority, -5);
    ASSERT_TRUE(ParseThreadStat("99 (w) S 1 1 1 0 -1 0 0 0 0 0 0 0 0 0 20 0 1 0 1", s));
    EXPECT_FALSE(s.Suspended);
    EXPECT_EQ(s.Priority, 0);
    EXPECT_FALSE(ParseThreadStat("99 (w) S 1 2", s));
    EXPECT_FALSE(ParseThreadStat("garbage", s));

    struct TCase {
        const char* Text;
        bool Ok;
        uintptr_t Sp, Pc;
    } cases[] = {
        { "202 0x7f0 0x80 0x0 0x0 0x0 0x0 0x7ffe3c2b1e28 0x7f5fbd4a2d46\n", true, 0x7ffe3c2b1e28, 0x7f5fbd4a2d46 },
        { "-1 0x7ffe00001000 0x401000\n", true, 0x7ffe00001000, 0x401000 },
        { "running\n", false, 0, 0 },
        { "", false, 0, 0 },
        { "7 zz 0x10", false, 0, 0 },
    };
    for (const TCase& c : cases) {
        TThreadContext context;
        EXPECT_EQ(ParseSyscallText(c.Text, context), c.Ok) << c.Text;
        if (c.Ok) {
            EXPECT_EQ(context.StackPointer, c.Sp);
            EXPECT_EQ(context.InstructionPointer, c.Pc);
        }
    }
    EXPECT_TRUE(QueryThreadState(CurrentThreadId()).Exists);
    EXPECT_FALSE(QueryThreadState(0x7ffffff0).Exists);
}

TEST(ThreadList, HoldsEveryThread)
{
    TGate gate;
    pid_t worker = 0;
    std::thread t([&] {
        worker = CurrentThreadId();
        gate.Arrive();
    });
    gate.WaitArrived();
    const std::vector<pid_t> ids = GetThreadList();
    EXPECT_TRUE(std::is_sorted(ids.begin(), ids.end()));
    EXPECT_NE(std::find(ids.begin(), ids.end(), MainThreadId()), ids.end());
    EXPECT_NE(std::find(ids.begin(), ids.end(), worker), ids.end());
    gate.Release();
    t.join();
}

namespace ThreadFixture {
TGate* Gate = nullptr;
__attribute__((noinline)) void WorkerWait()
{
    Gate->Arrive();
    asm volatile("" ::: "memory");
}
__attribute__((noinline)) void* WorkerBody(void*)
{
    WorkerWait();
    asm volatile("" ::: "memory");
    return nullptr;
}
__attribute__((noinline)) pthread_t StartWorker()
{
    pthread_t thread {};
    pthread_create(&thread, nullptr, &WorkerBody, nullptr);
    asm volatile("" ::: "memory");
    return thread;
}
__attribute__((noinline)) void* BlockedBody(void*)
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, CaptureSignal());
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    Gate->Arrive();
    return nullptr;
}
} // namespace ThreadFixture

TEST(ThreadContext, CapturedBySignalAndFromProc)
{
    for (const bool blockSignal : { false, true }) {
        TGate gate;
        ThreadFixture::Gate = &gate;
        pthread_t thread {};
        pid_t worker = 0;
        std::atomic<pid_t>* workerId = new std::atomic<pid_t>(0);
        struct TArg {
            std::atomic<pid_t>* Id;
            bool Block;
        } arg { workerId, blockSignal };
        pthread_create(
            &thread, nullptr,
            [](void* a) -> void* {
                auto* p = static_cast<TArg*>(a);
                p->Id->store(CurrentThreadId());
                return p->Block ? ThreadFixture::BlockedBody(nullptr) : ThreadFixture::WorkerBody(nullptr);
            },
            &arg);
        gate.WaitArrived();
        worker = workerId->load();
        // The worker is inside its wait (or about to be): give it time to block.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(CanTakeSignal(worker, CaptureSignal()), !blockSignal);
        TThreadContext context;
        // A loaded machine may take a while to run the signalled thread.
        ASSERT_TRUE(CaptureThreadContext(worker, context, blockSignal ? 100 : 5000)) << blockSignal;
        EXPECT_EQ(context.FromSignal, !blockSignal);
        EXPECT_NE(context.StackPointer, 0u);
        EXPECT_NE(context.InstructionPointer, 0u);
        if (!blockSignal) {
            // The captured registers trace back into the worker's own functions.
            TTraceRequest r;
            r.StackPointer = context.StackPointer;
            r.FramePointer = context.FramePointer;
            r.ExceptionAddress = context.InstructionPointer;
            // The worker's own stack, not the tracing thread's.
            const auto snapshot = TakeMemorySnapshot();
            if (const TMemoryRegion* region = snapshot->RegionAt(context.StackPointer)) {
                r.StackTop = region->End;
                r.StackSize = region->End - region->Start;
            }
            const std::string trace = TraceStack(r).Text;
            EXPECT_NE(trace.find("ThreadFixture.WorkerWait"), std::string::npos) << trace;
        }
        gate.Release();
        pthread_join(thread, nullptr);
        delete workerId;
    }
}

namespace ThreadFixture {
class TTestWorker : public QThread {
public:
    TGate* Gate = nullptr;
    pid_t Id = 0;
    size_t AlternateStack = 0;

protected:
    void run() override
    {
        Id = CurrentThreadId();
        stack_t s {};
        sigaltstack(nullptr, &s);
        AlternateStack = (s.ss_flags & SS_DISABLE) ? 0 : s.ss_size;
        Gate->Arrive();
    }
};
__attribute__((noinline)) void StartQThread(TTestWorker& worker)
{
    worker.start();
    asm volatile("" ::: "memory");
}
} // namespace ThreadFixture

TEST(ThreadWrapper, RecordsCreatorAndGivesAnAlternateStack)
{
    THooksInstalled hooks;
    ClearThreadNames();
    {
        TGate gate;
        ThreadFixture::Gate = &gate;
        const pthread_t thread = ThreadFixture::StartWorker();
        gate.WaitArrived();
        // Our own entry: creator thread and the return address into StartWorker.
        TThreadNameEntry e;
        bool found = false;
        for (const pid_t id : GetThreadList())
            if (GetThreadNameEntry(id, e) && e.CreatorThreadId == CurrentThreadId()) {
                found = true;
                break;
            }
        ASSERT_TRUE(found);
        EXPECT_EQ(SymbolAt(e.CreatorAddress), "ThreadFixture.StartWorker");
        EXPECT_TRUE(e.ClassName.empty());
        EXPECT_NE(e.StackTop, 0u);
        const pid_t worker = e.ThreadId;
        gate.Release();
        pthread_join(thread, nullptr);
        EXPECT_FALSE(GetThreadNameEntry(worker, e)) << "the name goes at the thread's end";
    }
    {
        TGate gate;
        ThreadFixture::TTestWorker worker;
        worker.Gate = &gate;
        ThreadFixture::StartQThread(worker);
        gate.WaitArrived();
        TThreadNameEntry e;
        ASSERT_TRUE(GetThreadNameEntry(worker.Id, e));
        EXPECT_EQ(e.ClassName, "ThreadFixture::TTestWorker");
        EXPECT_EQ(SymbolAt(e.CreatorAddress), "ThreadFixture.StartQThread");
        EXPECT_EQ(GetThreadTitle(worker.Id).Title, "thread " + Id(worker.Id) + " (ThreadFixture::TTestWorker)");
        EXPECT_GE(worker.AlternateStack, AlternateStackSize);
        gate.Release();
        worker.wait();
    }
}

TEST(ThreadWrapper, OffWithoutHooks)
{
    ClearThreadHooks();
    ClearThreadNames();
    TGate gate;
    ThreadFixture::Gate = &gate;
    const pthread_t thread = ThreadFixture::StartWorker();
    gate.WaitArrived();
    for (const pid_t id : GetThreadList()) {
        TThreadNameEntry e;
        EXPECT_FALSE(GetThreadNameEntry(id, e)) << id;
    }
    gate.Release();
    pthread_join(thread, nullptr);
}

TEST(ThreadWrapper, CatchAllReportsAndEndsOnlyTheThread)
{
    THooksInstalled hooks;
    struct TCase {
        void* (*Body)(void*);
        void* Result;
        int Uncaught;
        const char* Message;
    } cases[] = {
        { [](void*) -> void* { throw std::runtime_error("worker failed"); }, nullptr, 1, "worker failed" },
        { [](void*) -> void* { throw 42; }, nullptr, 1, "?" },
        // pthread_exit unwinds through the wrapper and keeps its value.
        { [](void*) -> void* { pthread_exit(reinterpret_cast<void*>(7)); }, reinterpret_cast<void*>(7), 0, "" },
        { [](void*) -> void* { return reinterpret_cast<void*>(9); }, reinterpret_cast<void*>(9), 0, "" },
    };
    for (const TCase& c : cases) {
        THooksInstalled::Uncaught = 0;
        THooksInstalled::LastMessage.clear();
        pthread_t thread {};
        ASSERT_EQ(pthread_create(&thread, nullptr, c.Body, nullptr), 0);
        void* result = reinterpret_cast<void*>(1);
        pthread_join(thread, &result);
        EXPECT_EQ(result, c.Result);
        EXPECT_EQ(THooksInstalled::Uncaught.load(), c.Uncaught);
        EXPECT_EQ(THooksInstalled::LastMessage, c.Message);
    }
}

TEST(ThreadWrapper, CancellationStillWorks)
{
    THooksInstalled hooks;
    pthread_t thread {};
    pthread_create(
        &thread, nullptr,
        [](void*) -> void* {
            for (;;)
                pause();
        },
        nullptr);
    pthread_cancel(thread);
    void* result = nullptr;
    pthread_join(thread, &result);
    EXPECT_EQ(result, PTHREAD_CANCELED);
    EXPECT_EQ(THooksInstalled::Uncaught.load(), 0);
}

TEST(ThreadWrapper, CreatorAddressSkipsTheSystemThreadStart)
{
    // A frame list: two system frames, then ours.
    void* frames[] = { reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(&pthread_attr_init) + 4),
                       reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(dlsym(RTLD_DEFAULT, "_ZN7QThread5startENS_8PriorityE")) + 8),
                       reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(&ThreadFixture::StartWorker) + 5) };
    EXPECT_EQ(CreatorAddressOf(frames, 3), reinterpret_cast<uintptr_t>(frames[2]));
    EXPECT_EQ(CreatorAddressOf(frames, 2), 0u);
}

namespace ThreadFixture {
__attribute__((noinline)) void NamedWorkerWait()
{
    Gate->Arrive();
    asm volatile("" ::: "memory");
}
__attribute__((noinline)) std::thread StartNamedWorker()
{
    std::thread t([] {
        SetThreadName(0, "TBlockedWorker");
        NamedWorkerWait();
    });
    asm volatile("" ::: "memory");
    return t;
}
} // namespace ThreadFixture

TEST(ThreadSections, NamedBlockedWorkerAndReporterThreads)
{
    THooksInstalled hooks;
    ClearThreadNames();
    SetThreadName(MainThreadId(), "main thread");
    TGate gate, reporterGate;
    ThreadFixture::Gate = &gate;
    std::thread worker = ThreadFixture::StartNamedWorker();
    gate.WaitArrived();
    std::thread reporter([&] {
        SetThreadName(0, "-");
        reporterGate.Arrive();
    });
    reporterGate.WaitArrived();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    // Composed by a thread of its own, as the handling thread does, for a crash in the main thread.
    TThreadSectionsResult result;
    std::thread composer([&] {
        TThreadSectionsRequest r;
        r.CrashedThreadId = MainThreadId();
        TThreadContext mainContext;
        CaptureThreadContext(MainThreadId(), mainContext);
        r.StackPointer = mainContext.StackPointer;
        r.FramePointer = mainContext.FramePointer;
        r.ExceptionAddress = mainContext.InstructionPointer;
        r.OmittedThreads.push_back(CurrentThreadId());
        r.CaptureTimeoutMs = 5000;
        result = ComposeThreadSections(r);
    });
    composer.join();
    gate.Release();
    reporterGate.Release();
    worker.join();
    reporter.join();
    RemoveThreadName(MainThreadId());

    const std::string& text = result.Text;
    const std::string mainTitle = "\r\n\r\nmain thread (" + Id(MainThreadId()) + "):";
    EXPECT_EQ(text.find(mainTitle), 0u) << text;
    const size_t section = text.find("\r\n\r\nTBlockedWorker ($");
    ASSERT_NE(section, std::string::npos) << text;
    const size_t next = text.find("\r\n\r\n", section + 4);
    const std::string body = text.substr(section, next == std::string::npos ? std::string::npos : next - section);
    EXPECT_NE(body.find("ThreadFixture.NamedWorkerWait"), std::string::npos) << body;
    const size_t created = body.find("\r\n>> created by main thread (" + Id(MainThreadId()) + ") at:\r\n");
    ASSERT_NE(created, std::string::npos) << body;
    // The creation line names where the thread was started.
    EXPECT_NE(body.find("StartNamedWorker", created), std::string::npos) << body;
    EXPECT_EQ(text.find("- ("), std::string::npos) << "the reporter's threads have no section\n" << text;
}

TEST(ThreadSections, SectionTextRules)
{
    EXPECT_EQ(ComposeThreadSection("w ($1)", true, 5, "a\r\nb", "main thread ($2)", false, ""),
              "\r\n\r\nw ($1): <suspended> <priority:5>\r\na\r\n>> created by main thread ($2) at:\r\nb");
    EXPECT_EQ(ComposeThreadSection("w ($1)", false, 0, "", "", true, "0000000000401000 ???"),
              "\r\n\r\nw ($1):\r\n>> stack not accessible, exception location: \r\n0000000000401000 ???");
    EXPECT_EQ(ComposeThreadSection("w ($1)", false, 0, "", "", false, "x"), "\r\n\r\nw ($1):\r\n>> stack not accessible");
}
