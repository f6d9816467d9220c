// The failures crashtest provokes, one function each; the faulting line of each carries a MARK
// line that the mode table test looks up.
#pragma once

namespace CrashFunctions {
void NullRead();
void NullWrite();
void DivideByZero();
void Abort();
void StackOverflow();
void ThrowRuntimeError(const char* message);
void ThrowUserError();
void ThrowAbort();
void CrashInHandler();
} // namespace CrashFunctions
