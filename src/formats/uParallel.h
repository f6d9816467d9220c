// The work of one conversion spread over the machine's cores.
#pragma once

#include <cstddef>
#include <functional>

// Threads a conversion may use, the caller's own included: the environment variable
// TARVELL_THREADS when it holds a positive number (1 gives the one-thread run the others must
// equal), else the machine's cores.
int ConversionThreads();

// Runs task(0) .. task(count - 1), each once, on up to ConversionThreads() threads (the caller
// works too), and returns when all have ended. Tasks must not share what they change. An
// exception never leaves a worker's body: the one of the lowest task that failed is rethrown
// here, after every task has ended, as a one-thread run would raise it first.
void RunParallel(size_t count, const std::function<void(size_t)>& task);
