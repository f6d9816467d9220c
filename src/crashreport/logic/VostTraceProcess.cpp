// The trace export.
#include "crashreport/logic/VostTraceProcess.h"

#include "crashreport/logic/VostBugReport.h"
#include "crashreport/logic/VostThreads.h"

#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::mutex& ClipboardMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::function<void(const std::string&)>& ClipboardProc()
{
    static std::function<void(const std::string&)> proc;
    return proc;
}

std::string ComposeTrace()
{
    TComposeRequest request;
    request.Frozen = true;
    request.CrashedThreadId = static_cast<uint32_t>(CurrentThreadId());
    std::string report;
    ComposeBugReport(request, report);
    return report;
}

} // namespace

void SetTraceClipboardProc(std::function<void(const std::string& report)> proc)
{
    const std::lock_guard lock(ClipboardMutex());
    ClipboardProc() = std::move(proc);
}

int32_t TraceProcessInto(const char* mappingName, int32_t bufferSize)
{
    try {
        // "-": the reporter's own work gets no section; the caller keeps its name afterwards.
        const TThreadNameScope unnamed("-");
        if (bufferSize < 1) {
            const std::string report = ComposeTrace();
            std::function<void(const std::string&)> proc;
            {
                const std::lock_guard lock(ClipboardMutex());
                proc = ClipboardProc();
            }
            if (proc)
                proc(report);
            return 0;
        }
        // Only the tool's own mapping: never one we would create, nor another user's.
        const int fd = ::shm_open(mappingName, O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0);
        if (fd < 0)
            return -1;
        struct stat info { };
        if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid() || info.st_size < 1) {
            ::close(fd);
            return -1;
        }
        const size_t size = static_cast<size_t>(info.st_size);
        void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        ::close(fd);
        if (view == MAP_FAILED)
            return -1;
        const std::string report = ComposeTrace();
        const size_t room = std::min(static_cast<size_t>(bufferSize), size) - 1;
        const size_t count = std::min(room, report.size());
        std::memcpy(view, report.data(), count);
        static_cast<char*>(view)[count] = '\0';
        ::munmap(view, size);
        return 0;
    } catch (...) {
        return -1;
    }
}

extern "C" __attribute__((visibility("default"), used)) int32_t VostTraceProcess(int32_t bufferSize)
{
    TraceProcessInto(TraceMappingName, bufferSize);
    return 0;
}
