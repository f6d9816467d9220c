// crashthreads: a program linked with the crash reporter and its thread wrapper whose plain
// threads end in the way its one argument names; the mode table test runs it as a child.
#include "crashreport/logic/VostExcept.h"

#include <QCoreApplication>

#include <cstdio>
#include <stdexcept>
#include <string>

#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

namespace CrashThreads {

__attribute__((noinline)) void Throw(const char* message)
{
    throw std::runtime_error(message); // MARK: throw
}

} // namespace CrashThreads

int main(int argc, char** argv)
{
    using namespace CrashThreads;
    const rlimit noCore{0, 0};
    setrlimit(RLIMIT_CORE, &noCore);
    const std::string mode = argc > 1 ? argv[1] : "";
    CrashReportSettings.BugReportFile = "/dev/null";
    QCoreApplication app(argc, argv);
    InitCrashReporter();
    DeclareConsoleProcess(true);

    pthread_t thread{};
    if (mode == "throw-pthread") {
        pthread_create(
            &thread, nullptr, [](void*) -> void* { Throw("thrown in a thread"); return nullptr; }, nullptr);
    } else if (mode == "cancel-pthread") {
        pthread_create(
            &thread, nullptr, [](void*) -> void* { for (;;) pause(); }, nullptr);
        pthread_cancel(thread);
    } else if (mode == "exit-pthread") {
        pthread_create(
            &thread, nullptr, [](void*) -> void* { pthread_exit(nullptr); }, nullptr);
    } else {
        std::fprintf(stderr, "crashthreads: unknown mode '%s'\n", mode.c_str());
        return 64;
    }
    pthread_join(thread, nullptr);
    std::printf("continued\n");
    DoneCrashReporter();
    return 0;
}
