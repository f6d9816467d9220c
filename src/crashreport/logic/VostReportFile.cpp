// The bug-report file, private temporary files, restart and close.
#include "crashreport/logic/VostReportFile.h"

#include "crashreport/logic/VostExcept.h"
#include "crashreport/logic/VostSignals.h"
#include "crashreport/logic/VostStrings.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

namespace {

std::mutex& FolderMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::string& DataFolder()
{
    static std::string folder;
    return folder;
}

std::vector<std::string>& Arguments()
{
    static std::vector<std::string> arguments;
    return arguments;
}

constexpr std::string_view ReportSeparator = "\r\n\r\n";
constexpr std::string_view ReportStartLabel = "date/time";

bool WriteAll(int fd, const char* data, size_t count)
{
    while (count > 0) {
        const ssize_t written = ::write(fd, data, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += written;
        count -= static_cast<size_t>(written);
    }
    return true;
}

bool ReadAllAt(int fd, std::string& bytes, off_t offset, size_t count)
{
    bytes.resize(count);
    size_t done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, bytes.data() + done, count - done, offset + static_cast<off_t>(done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

// Replaces path by bytes through a temporary sibling; the mode of the old file is kept.
bool ReplaceFile(const std::string& path, std::string_view bytes, mode_t mode)
{
    std::string temp = path + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::fchmod(fd, mode & 07777) == 0 && WriteAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (ok && ::rename(temp.c_str(), path.c_str()) == 0)
        return true;
    ::unlink(temp.c_str());
    return false;
}

// The offset of the first report start in the combined text (old file of oldSize bytes, then the
// new report) that leaves fewer than keepBelow bytes; the newest report's start when none does.
// tail holds the combined text from tailStart on.
uint64_t CutOffset(const std::string& tail, uint64_t tailStart, uint64_t oldSize, uint64_t newSize, uint64_t keepBelow)
{
    const uint64_t first = newSize >= keepBelow ? newSize - keepBelow + 1 : 0;
    for (uint64_t p = std::max(first, tailStart); p < oldSize; ++p) {
        const size_t at = static_cast<size_t>(p - tailStart);
        const bool afterSeparator = p == 0
            || (at >= ReportSeparator.size()
                && std::string_view(tail).substr(at - ReportSeparator.size(), ReportSeparator.size())
                    == ReportSeparator);
        if (afterSeparator && std::string_view(tail).substr(at, ReportStartLabel.size()) == ReportStartLabel)
            return p;
    }
    return oldSize;
}

// Opens and locks the file at path; retries when another writer replaced the file between our
// open and our lock, so that we never append to a file that is no longer there.
int OpenLocked(const std::string& path, struct stat& info)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0)
            return -1;
        struct stat named { };
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)
            && ::stat(path.c_str(), &named) == 0 && named.st_dev == info.st_dev && named.st_ino == info.st_ino)
            return fd;
        ::close(fd);
        if (::stat(path.c_str(), &named) == 0 && !S_ISREG(named.st_mode))
            return -1;
    }
    return -1;
}

void PutLe(std::string& bytes, uint64_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

uint64_t GetLe(std::string_view bytes, size_t offset, int size)
{
    uint64_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[offset + static_cast<size_t>(i)]);
    return value;
}

std::vector<std::string> CommandLineOfSelf()
{
    std::vector<std::string> arguments;
    const int fd = ::open("/proc/self/cmdline", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return arguments;
    std::string text;
    char buffer[4096];
    ssize_t got;
    while ((got = ::read(fd, buffer, sizeof buffer)) > 0 && text.size() < (1u << 20))
        text.append(buffer, static_cast<size_t>(got));
    ::close(fd);
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i)
        if (text[i] == '\0') {
            arguments.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    return arguments;
}

} // namespace

void SetReportDataFolder(std::string folder)
{
    {
        const std::lock_guard lock(FolderMutex());
        DataFolder() = std::move(folder);
    }
    UpdateMinimalReportFile();
}

std::string BugReportFileName()
{
    return ResolveReportPath(ExpandAppName(CrashReportSettings.BugReportFile.View()), ReportDataFolder());
}

void UpdateMinimalReportFile()
{
    SetMinimalReportPath(BugReportFileName().c_str());
}

std::string ReportDataFolder()
{
    const std::lock_guard lock(FolderMutex());
    return DataFolder();
}

bool IsAbsoluteReportPath(std::string_view path)
{
    return !path.empty() && path.front() == '/';
}

std::string ResolveReportPath(std::string_view name, std::string_view folder)
{
    if (IsAbsoluteReportPath(name) || folder.empty())
        return std::string(name);
    std::string path(folder);
    if (path.back() != '/')
        path += '/';
    return path.append(name);
}

bool CreateFolderPath(const std::string& filePath)
{
    const size_t slash = filePath.rfind('/');
    if (slash == std::string::npos)
        return false;
    std::string folder = filePath.substr(0, slash);
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty())
        return true; // the root
    struct stat info { };
    if (::stat(folder.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    // Iterative, so that the depth of a hostile path costs no stack.
    for (size_t at = folder.find('/', 1);; at = folder.find('/', at + 1)) {
        const std::string part = folder.substr(0, at);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST)
            return false;
        if (at == std::string::npos)
            break;
    }
    return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool AppendReportToFile(const std::string& path, std::string_view report, uint32_t maxSize)
{
    CreateFolderPath(path);
    struct stat info { };
    const int fd = OpenLocked(path, info);
    if (fd < 0)
        return false;
    std::string added(report);
    added += ReportSeparator;
    const uint64_t oldSize = static_cast<uint64_t>(info.st_size);
    const uint64_t newSize = oldSize + added.size();
    bool ok;
    if (maxSize == 0) {
        ok = ReplaceFile(path, added, info.st_mode);
    } else if (newSize <= maxSize) {
        ok = ::lseek(fd, 0, SEEK_END) >= 0 && WriteAll(fd, added.data(), added.size());
        if (!ok && ::ftruncate(fd, static_cast<off_t>(oldSize)) != 0)
            ok = false;
    } else {
        // Only the part that can stay is read: the last keepBelow bytes and the separator before.
        const uint64_t keepBelow = maxSize - maxSize / 4;
        const uint64_t first = newSize >= keepBelow ? newSize - keepBelow + 1 : 0;
        const uint64_t tailStart
            = first > ReportSeparator.size() ? std::min(first - ReportSeparator.size(), oldSize) : 0;
        std::string tail;
        ok = ReadAllAt(fd, tail, static_cast<off_t>(tailStart), static_cast<size_t>(oldSize - tailStart));
        if (ok) {
            tail += added;
            const uint64_t cut = CutOffset(tail, tailStart, oldSize, newSize, keepBelow);
            ok = ReplaceFile(path, std::string_view(tail).substr(static_cast<size_t>(cut - tailStart)), info.st_mode);
        }
    }
    ::close(fd);
    return ok;
}

std::string PrivateTempFolder()
{
    static std::mutex mutex;
    static std::string folder;
    const std::lock_guard lock(mutex);
    struct stat info { };
    if (!folder.empty() && ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid())
        return folder;
    const char* base = std::getenv("TMPDIR");
    std::string pattern = base && *base == '/' ? base : "/tmp";
    pattern += "/vostexcept-XXXXXX";
    folder = ::mkdtemp(pattern.data()) ? pattern : std::string();
    return folder;
}

std::string WritePrivateTempFile(std::string_view name, std::string_view bytes)
{
    const std::string folder = PrivateTempFolder();
    if (folder.empty() || name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..")
        return {};
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string path = folder + "/";
        if (attempt > 0)
            path += DecimalText(attempt) + "-";
        path += name;
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        const bool ok = WriteAll(fd, bytes.data(), bytes.size());
        if (::close(fd) == 0 && ok)
            return path;
        ::unlink(path.c_str());
        return {};
    }
    return {};
}

std::string PackRestartRecord(uint32_t oldProcessId, const TRestartHistory& history)
{
    std::string bytes;
    bytes.reserve(RestartRecordSize);
    PutLe(bytes, oldProcessId, 4);
    PutLe(bytes, 0, 4);
    for (const uint64_t stamp : history)
        PutLe(bytes, stamp, 8);
    return bytes;
}

bool UnpackRestartRecord(std::string_view bytes, uint32_t& oldProcessId, TRestartHistory& history)
{
    if (bytes.size() != RestartRecordSize)
        return false;
    oldProcessId = static_cast<uint32_t>(GetLe(bytes, 0, 4));
    for (size_t i = 0; i < history.size(); ++i)
        history[i] = GetLe(bytes, 8 + 8 * i, 8);
    return true;
}

const std::string& ProgramFilePath()
{
    static const std::string path = [] {
        char buffer[4096];
        const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
        if (length <= 0 || static_cast<size_t>(length) >= sizeof buffer || buffer[0] != '/')
            return std::string("/proc/self/exe");
        return std::string(buffer, static_cast<size_t>(length));
    }();
    return path;
}

void SaveProgramArguments(int argc, const char* const* argv)
{
    ProgramFilePath();
    Arguments().assign(argv, argv + argc);
}

const std::vector<std::string>& SavedProgramArguments()
{
    return Arguments();
}

bool StartRestartedProcess(const TRestartHistory& history)
{
    std::vector<std::string> arguments = Arguments().empty() ? CommandLineOfSelf() : Arguments();
    if (arguments.empty())
        arguments.emplace_back("tarvell");
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return false;
    const std::string record = PackRestartRecord(static_cast<uint32_t>(::getpid()), history);
    // The record fits the pipe's buffer: the new process finds it there however late it reads.
    if (!WriteAll(fds[1], record.data(), record.size()) || ::fcntl(fds[0], F_SETFD, 0) != 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        return false;
    }
    const std::string variable = std::string(RestartPipeVariable) + "=" + DecimalText(fds[0]);
    std::vector<char*> environment;
    const size_t nameLength = std::strlen(RestartPipeVariable);
    for (char** entry = environ; entry && *entry; ++entry)
        if (std::strncmp(*entry, RestartPipeVariable, nameLength) != 0 || (*entry)[nameLength] != '=')
            environment.push_back(*entry);
    environment.push_back(const_cast<char*>(variable.c_str()));
    environment.push_back(nullptr);
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t child = 0;
    const int result = ::posix_spawn(&child, ProgramFilePath().c_str(), nullptr, nullptr, argv.data(), environment.data());
    ::close(fds[0]);
    // The write end stays open until this process ends: that is the new one's signal to go on.
    return result == 0;
}

void RestartProgramWith(const TRestartHistory& history)
{
    StartRestartedProcess(history);
    ::_exit(2);
}

void CloseProgram()
{
    ::_exit(1);
}

bool ResumeAfterRestart(TRestartHistory& history)
{
    const char* value = std::getenv(RestartPipeVariable);
    if (!value)
        return false;
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(value, &end, 10);
    const bool valid = errno == 0 && end != value && *end == '\0' && number > 2 && number < 65536;
    ::unsetenv(RestartPipeVariable);
    if (!valid)
        return false;
    const int fd = static_cast<int>(number);
    struct stat info { };
    if (::fstat(fd, &info) != 0 || !S_ISFIFO(info.st_mode))
        return false;
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    std::string record;
    char buffer[256];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        // Anything beyond the record is read and dropped: only the end of file matters.
        if (record.size() < RestartRecordSize)
            record.append(buffer, std::min(static_cast<size_t>(got), RestartRecordSize - record.size()));
    }
    ::close(fd);
    uint32_t oldProcessId = 0;
    TRestartHistory received {};
    if (!UnpackRestartRecord(record, oldProcessId, received))
        return false;
    history = received;
    return true;
}
