// The work of one conversion spread over the machine's cores.
#include "formats/uParallel.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

int ConversionThreads()
{
    if (const char* text = std::getenv("TARVELL_THREADS")) {
        char* end = nullptr;
        const long n = std::strtol(text, &end, 10);
        if (end != text && *end == '\0' && n > 0)
            return int(std::min<long>(n, 256));
    }
    // The count is read from the system's files: once is enough.
    static const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    return cores;
}

void RunParallel(size_t count, const std::function<void(size_t)>& task)
{
    const size_t threads = std::min(count, size_t(ConversionThreads()));
    std::vector<std::exception_ptr> errors(count);
    std::atomic<size_t> next{0};
    // The crash reporter reports what leaves a thread's body: every exception is caught here and
    // carried to the caller.
    const auto work = [&]() noexcept {
        for (size_t i; (i = next.fetch_add(1)) < count;) {
            try {
                task(i);
            } catch (...) {
                errors[i] = std::current_exception();
            }
        }
    };
    std::vector<std::thread> workers;
    workers.reserve(threads > 0 ? threads - 1 : 0);
    try {
        for (size_t t = 1; t < threads; ++t)
            workers.emplace_back(work);
    } catch (const std::system_error&) {
        // No more threads to be had: those started and the caller do the work.
    }
    work();
    for (std::thread& worker : workers)
        worker.join();
    for (const std::exception_ptr& error : errors)
        if (error)
            std::rethrow_exception(error);
}
