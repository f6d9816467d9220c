// The failures of crashtest. No inlining, so that each shows as its own frame; the MARK comment
// sits on the line that fails.
#include "uCrashFunctions.h"

#include "core/uGeneral.h"
#include "crashreport/logic/VostTypes.h"

#include <cstdlib>
#include <stdexcept>

namespace CrashFunctions {

namespace {
volatile int* volatile NullPointer = nullptr;
volatile int Zero = 0;
volatile int Sink = 0;
} // namespace

__attribute__((noinline)) void NullRead()
{
    Sink = *NullPointer; // MARK: null-read
    Sink = Sink + 1;
}

__attribute__((noinline)) void NullWrite()
{
    *NullPointer = 42; // MARK: null-write
    Sink = Sink + 1;
}

__attribute__((noinline)) void DivideByZero()
{
    Sink = Sink / Zero; // MARK: div-zero
    Sink = Sink + 1;
}

__attribute__((noinline)) void Abort()
{
    std::abort(); // MARK: abort
}

__attribute__((noinline)) void StackOverflow()
{
    volatile char buffer[256];
    buffer[0] = char(Sink);
    // Sink never goes negative; the test keeps the compiler from calling the recursion endless.
    if (Sink >= 0)
        StackOverflow(); // MARK: stack-overflow
    Sink = Sink + buffer[0];
}

__attribute__((noinline)) void ThrowRuntimeError(const char* message)
{
    throw std::runtime_error(message); // MARK: throw
}

__attribute__((noinline)) void ThrowUserError()
{
    throw EUserError(QStringLiteral("The file name is missing")); // MARK: user-error
}

__attribute__((noinline)) void ThrowAbort()
{
    throw EAbort(); // MARK: eabort
}

__attribute__((noinline)) void CrashInHandler()
{
    Sink = *NullPointer; // MARK: handler-crash
    Sink = Sink + 1;
}

} // namespace CrashFunctions
