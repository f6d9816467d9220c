// The wrapper around every thread the program starts: who created it, an alternate signal stack,
// the reporter's per-thread preparation and a catch-all around the thread's body.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <string>

#include <sys/types.h>

// Size of each thread's alternate signal stack: the fault handler must run after a stack overflow.
constexpr size_t AlternateStackSize = 64 * 1024;

// Gives the calling thread an alternate signal stack of AlternateStackSize (with a guard page
// below it) unless it has one of that size already; false when none could be set up.
bool InstallAlternateStack();
// Removes and frees the stack InstallAlternateStack set up for the calling thread.
void RemoveAlternateStack();

// What the reporter plugs into the wrapper. Each may be nullptr.
struct TThreadHooks {
    // Runs first in every new thread (after its alternate stack), e.g. to allocate the thread's
    // pre-allocated slot of the signal handler.
    void (*ThreadStarted)() = nullptr;
    // Runs last in every wrapped thread, also after the catch-all.
    void (*ThreadEnding)() = nullptr;
    // An exception left the thread's body: report it as continuable; the thread then ends.
    void (*UncaughtInThread)(std::exception_ptr exception) = nullptr;
};
// Wrapping is on while hooks are set; new threads then go through the wrapper.
void SetThreadHooks(const TThreadHooks& hooks);
void ClearThreadHooks();
bool ThreadHooksActive();

// What the wrapper records about a new thread.
struct TThreadOrigin {
    pid_t CreatorThreadId = 0;
    uintptr_t CreatorAddress = 0; // the first return address outside the system's thread start
    std::string ClassName;        // the QThread subclass, when the thread runs one
};

// Runs in the creating thread: the return addresses of the caller's stack (innermost first,
// frames[0] = the caller of pthread_create) are searched for the first one that lies outside
// libc, libstdc++ and QThread::start.
uintptr_t CreatorAddressOf(void* const* frames, int count);
// The C++ class of the QThread behind a thread start, or empty when the thread start was not
// called from QThread::start (callerAddress: the return address into the caller).
std::string ThreadClassOf(uintptr_t callerAddress, void* argument);

// The start routine and argument of a wrapped thread, on the heap until the thread runs.
struct TWrappedStart {
    void* (*Start)(void*) = nullptr;
    void* Argument = nullptr;
    TThreadOrigin Origin;
};
// Fills a start record in the creating thread; nullptr when wrapping is off or memory ran out.
TWrappedStart* PrepareWrappedStart(void* (*start)(void*), void* argument);
// The start routine that runs a prepared record in the new thread (it frees the record).
extern "C" void* VostWrappedThreadStart(void* record);
