// The bug report composer.
#include "crashreport/logic/VostBugReport.h"

#include "crashreport/logic/VostReportFile.h"
#include "crashreport/logic/VostStrings.h"
#include "crashreport/logic/VostThreadReport.h"
#include "crashreport/logic/VostThreads.h"
#include "crashreport/logic/VostTools.h"

#include <QLocale>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <optional>

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

constexpr const char* ReporterVersion = "2.7i";
constexpr const char* CrLf = "\r\n";
// Bounds of what the hardware list reads from a tree that might be hostile or huge.
constexpr size_t MaxSmallFile = 4096;
constexpr size_t MaxIdsFile = 16u << 20;
constexpr size_t MaxDevices = 2000;

std::string ReadSmallFile(const std::string& path, size_t limit = MaxSmallFile)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return {};
    std::string text;
    char buffer[4096];
    while (text.size() < limit) {
        const ssize_t got = ::read(fd, buffer, std::min(sizeof buffer, limit - text.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(buffer, static_cast<size_t>(got));
    }
    ::close(fd);
    return text;
}

std::string FirstLine(const std::string& path)
{
    std::string text = ReadSmallFile(path, 256);
    const size_t end = text.find('\n');
    if (end != std::string::npos)
        text.resize(end);
    TrimText(text);
    return text;
}

std::string LinkTarget(const std::string& path)
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink(path.c_str(), buffer, sizeof buffer - 1);
    return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

std::string BaseName(std::string_view path)
{
    const size_t slash = path.rfind('/');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::vector<std::string> DirectoryEntries(const std::string& path)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_name[0] == '.')
            continue;
        names.emplace_back(entry->d_name);
        if (names.size() >= MaxDevices)
            break;
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

std::string TwoDigits(int value)
{
    return DecimalTextPadded(value, 2, '0');
}

std::string TimeText(const tm& time, bool withSeconds)
{
    std::string text = DecimalTextPadded(time.tm_year + 1900, 4, '0') + "-" + TwoDigits(time.tm_mon + 1) + "-"
        + TwoDigits(time.tm_mday);
    text += withSeconds ? ", " : " ";
    text += TwoDigits(time.tm_hour) + ":" + TwoDigits(time.tm_min);
    if (withSeconds)
        text += ":" + TwoDigits(time.tm_sec);
    return text;
}

std::string LanguageName()
{
    for (const char* variable : { "LC_ALL", "LC_MESSAGES", "LANG" }) {
        const char* value = std::getenv(variable);
        if (!value || !*value)
            continue;
        std::string name(value);
        if (name == "C" || name == "POSIX" || name.rfind("C.", 0) == 0)
            return {};
        name = name.substr(0, name.find_first_of(".@"));
        const QLocale locale(QString::fromStdString(name));
        if (locale.language() == QLocale::C)
            return {};
        return QLocale::languageToString(locale.language()).toStdString();
    }
    return {};
}

std::string QuotedArgument(const std::string& argument)
{
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos)
        return argument;
    std::string quoted = "\"";
    for (const char c : argument) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + "\"";
}

std::mutex& FactsMutex()
{
    static std::mutex mutex;
    return mutex;
}

std::unique_ptr<TReportFacts>& FactsSlot()
{
    static std::unique_ptr<TReportFacts> facts;
    return facts;
}

std::atomic<int> DisplayWidth { 0 }, DisplayHeight { 0 }, DisplayDepth { 0 };

TFactSources& StoredSources()
{
    static TFactSources sources;
    return sources;
}

// Read once: the lists are large and do not change while we run.
const std::string& IdsText(const std::string& given, const char* name)
{
    static std::mutex mutex;
    static std::vector<std::pair<std::string, std::string>> cache;
    const std::lock_guard lock(mutex);
    std::string path = given;
    if (path.empty())
        for (const char* folder : { "/usr/share/misc/", "/usr/share/hwdata/", "/usr/share/" })
            if (::access((std::string(folder) + name).c_str(), R_OK) == 0) {
                path = std::string(folder) + name;
                break;
            }
    for (const auto& [cachedPath, text] : cache)
        if (cachedPath == path)
            return text;
    cache.emplace_back(path, path.empty() ? std::string() : ReadSmallFile(path, MaxIdsFile));
    return cache.back().second;
}

std::string HexId(std::string value)
{
    TrimText(value);
    if (value.rfind("0x", 0) == 0)
        value.erase(0, 2);
    return std::string(TrimTextCopy(value));
}

std::string ModuleVersion(const std::string& sysRoot, const std::string& deviceFolder)
{
    const std::string module = BaseName(LinkTarget(deviceFolder + "/driver/module"));
    return module.empty() ? std::string() : FirstLine(sysRoot + "/module/" + module + "/version");
}

// The descriptive name of a class entry's device, with its driver.
std::string DeviceName(
    const TFactSources& sources, const std::string& sysRoot, const std::string& entryPath, const std::string& entry)
{
    const std::string device = entryPath + "/device";
    std::string name;
    const std::string subsystem = BaseName(LinkTarget(device + "/subsystem"));
    if (subsystem == "pci") {
        const std::string vendor = HexId(FirstLine(device + "/vendor")), id = HexId(FirstLine(device + "/device"));
        name = IdListName(IdsText(sources.PciIds, "pci.ids"), vendor, id);
        if (name.empty() && !vendor.empty())
            name = "PCI " + vendor + ":" + id;
    } else if (subsystem == "usb") {
        // An interface's ids are on its parent, the device.
        for (const std::string& folder : { device, device + "/.." }) {
            const std::string vendor = HexId(FirstLine(folder + "/idVendor")),
                              id = HexId(FirstLine(folder + "/idProduct"));
            if (vendor.empty())
                continue;
            name = IdListName(IdsText(sources.UsbIds, "usb.ids"), vendor, id);
            if (name.empty())
                name = "USB " + vendor + ":" + id;
            break;
        }
    }
    if (name.empty())
        for (const std::string& file : { device + "/model", entryPath + "/name", device + "/name" })
            if (!(name = FirstLine(file)).empty())
                break;
    if (name.empty())
        name = entry;
    else if (name != entry)
        name += " [" + entry + "]";
    const std::string driver = BaseName(LinkTarget(device + "/driver"));
    if (!driver.empty()) {
        const std::string version = ModuleVersion(sysRoot, device);
        if (!version.empty())
            name += " (driver " + driver + " " + version + ")";
    }
    return name;
}

// Since the process started, by the kernel's record of its start (field 22 of its stat line).
uint64_t ProgramUpMilliseconds()
{
    const std::string stat = ReadSmallFile("/proc/self/stat");
    const size_t close = stat.rfind(')');
    timespec boot {};
    if (close == std::string::npos || ::clock_gettime(CLOCK_BOOTTIME, &boot) != 0)
        return 0;
    // Field 3 follows ") "; the start time is field 22.
    const std::string fields = stat.substr(close + 2);
    const std::string startTicks = ListItem(fields, 20, ' ');
    const long ticksPerSecond = ::sysconf(_SC_CLK_TCK);
    if (startTicks.empty() || ticksPerSecond <= 0)
        return 0;
    const uint64_t started
        = std::strtoull(startTicks.c_str(), nullptr, 10) * 1000 / static_cast<uint64_t>(ticksPerSecond);
    const uint64_t now = static_cast<uint64_t>(boot.tv_sec) * 1000 + static_cast<uint64_t>(boot.tv_nsec) / 1000000;
    return now > started ? now - started : 0;
}

bool LessNoCase(const std::string& a, const std::string& b)
{
    const int32_t order = CompareNoCase(a, b);
    return order != 0 ? order < 0 : a < b;
}

} // namespace

void ParseCpuInfo(std::string_view text, std::string& name, int& count)
{
    name.clear();
    count = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(start, end - start);
        start = end + 1;
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos)
            continue;
        const std::string key = TrimTextCopy(line.substr(0, colon));
        if (key == "processor")
            ++count;
        else if (name.empty() && (key == "model name" || key == "Model" || key == "cpu model"))
            name = TrimTextCopy(line.substr(colon + 1));
    }
}

TReportFacts GatherReportFacts(const TFactSources& sources)
{
    TReportFacts facts;
    char host[256] = {};
    if (::gethostname(host, sizeof host - 1) == 0)
        facts.ComputerName = host;
    if (const char* ssh = std::getenv("SSH_CONNECTION"))
        facts.WtsClientName = ListItem(std::string(ssh), 1, ' ');
    if (const passwd* user = ::getpwuid(::geteuid()))
        facts.UserName = user->pw_name;
    else if (const char* name = std::getenv("USER"))
        facts.UserName = name;
    TOS os = QueryOsVersion();
    if (!sources.Root.empty())
        os = MakeOsVersion(os.KernelName, os.Release, os.Machine, ReadSmallFile(sources.Root + "/etc/os-release"));
    facts.OperatingSystem = os.Description + " build " + os.Release;
    facts.SystemLanguage = LanguageName();
    ParseCpuInfo(ReadSmallFile(sources.Root + "/proc/cpuinfo", 1u << 20), facts.ProcessorName, facts.ProcessorCount);
    facts.ExecutablePath = LinkTarget("/proc/self/exe");
    struct stat info { };
    if (!facts.ExecutablePath.empty() && ::stat(facts.ExecutablePath.c_str(), &info) == 0) {
        tm local {};
        const time_t modified = info.st_mtime;
        if (::localtime_r(&modified, &local))
            facts.ExecutableDateTime = TimeText(local, false);
    }
    const std::vector<std::string>& arguments = SavedProgramArguments();
    for (size_t i = 1; i < arguments.size(); ++i)
        facts.CommandLine += (i > 1 ? " " : "") + QuotedArgument(arguments[i]);
    if (!facts.CommandLine.empty())
        facts.CommandLine = QuotedArgument(arguments[0]) + " " + facts.CommandLine;
    return facts;
}

void InitReportFacts(const TFactSources& sources)
{
    auto facts = std::make_unique<TReportFacts>(GatherReportFacts(sources));
    const std::lock_guard lock(FactsMutex());
    FactsSlot() = std::move(facts);
    StoredSources() = sources;
}

const TReportFacts& ReportFacts()
{
    {
        const std::lock_guard lock(FactsMutex());
        if (FactsSlot())
            return *FactsSlot();
    }
    InitReportFacts();
    const std::lock_guard lock(FactsMutex());
    return *FactsSlot();
}

void SetReportDisplayMode(int width, int height, int depth)
{
    DisplayWidth = width;
    DisplayHeight = height;
    DisplayDepth = depth;
}

std::string DurationText(uint64_t seconds)
{
    struct TUnit {
        uint64_t Count;
        const char* Word;
    };
    const uint64_t days = seconds / 86400, hours = seconds / 3600 % 24, minutes = seconds / 60 % 60,
                   secs = seconds % 60;
    TUnit units[2];
    if (days > 0)
        units[0] = { days, "day" }, units[1] = { hours, "hour" };
    else if (seconds / 3600 > 0)
        units[0] = { hours, "hour" }, units[1] = { minutes, "minute" };
    else
        units[0] = { minutes, "minute" }, units[1] = { secs, "second" };
    std::string text;
    for (const TUnit& unit : units) {
        if (unit.Count == 0)
            continue;
        text += DecimalText64(static_cast<int64_t>(unit.Count)) + " " + unit.Word + (unit.Count == 1 ? " " : "s ");
    }
    return text;
}

std::string ReportMessageText(std::string_view message)
{
    size_t end = message.size();
    while (end > 0 && (message[end - 1] == '.' || message[end - 1] == '!'))
        --end;
    std::string text(message.substr(0, end));
    if (end < message.size())
        text += message[end];
    return text + ".";
}

std::string HeaderLine(std::string_view label, std::string_view value)
{
    return PadTo(label, -18, ' ') + ": " + std::string(value);
}

std::string ComposeReportHeader(const THeaderInput& input)
{
    std::vector<std::string> lines;
    const auto add
        = [&lines](std::string_view label, const std::string& value) { lines.push_back(HeaderLine(label, value)); };
    add("date/time",
        DecimalTextPadded(input.Year, 4, '0') + "-" + TwoDigits(input.Month) + "-" + TwoDigits(input.Day) + ", "
            + TwoDigits(input.Hour) + ":" + TwoDigits(input.Minute) + ":" + TwoDigits(input.Second) + ", "
            + DecimalText(input.Millisecond) + "ms");
    add("computer name", input.Facts.ComputerName);
    if (!input.Facts.WtsClientName.empty())
        add("wts client name", input.Facts.WtsClientName);
    add("user name", input.Facts.UserName);
    add("operating system", input.Facts.OperatingSystem);
    if (!input.Facts.SystemLanguage.empty())
        add("system language", input.Facts.SystemLanguage);
    if (input.SystemUpSeconds >= 0)
        add("system up time", DurationText(static_cast<uint64_t>(input.SystemUpSeconds)));
    add("program up time",
        input.ProgramUpMilliseconds < 1000
            ? DecimalText64(static_cast<int64_t>(input.ProgramUpMilliseconds)) + " milliseconds"
            : DurationText(input.ProgramUpMilliseconds / 1000));
    if (!input.Facts.ProcessorName.empty()) {
        if (input.Facts.ProcessorCount > 1)
            add("processors", DecimalText(input.Facts.ProcessorCount) + "x " + input.Facts.ProcessorName);
        else
            add("processor", input.Facts.ProcessorName);
    }
    const auto megabytes = [](uint64_t bytes) { return DecimalText64(static_cast<int64_t>((bytes + 0x80000) >> 20)); };
    add("physical memory", megabytes(input.MemoryAvailable) + "/" + megabytes(input.MemoryTotal) + " MB (free/total)");
    add("free disk space", input.DiskSpace);
    add("display mode",
        DecimalText(input.DisplayWidth) + "x" + DecimalText(input.DisplayHeight) + ", "
            + DecimalText(input.DisplayDepth) + " bit");
    add("process id", "$" + HexText(input.ProcessId));
    add("allocated memory", ByteSizeText(static_cast<int64_t>(input.AllocatedMemory)));
    if (input.ListCommandLine && !input.Facts.CommandLine.empty())
        add("command line", input.Facts.CommandLine);
    add("executable", BaseName(input.Facts.ExecutablePath));
    if (!input.Facts.ExecutableDateTime.empty())
        add("exec. date/time", input.Facts.ExecutableDateTime);
    if (!input.Version.empty())
        add("version", input.Version);
    add("VostExcept version", ReporterVersion);
    if (!input.Frozen)
        add("exception class", input.ClassName.empty() ? std::string("Unknown") : input.ClassName);
    if (input.Frozen)
        add("exception message", input.FrozenText);
    else if (input.Message != (input.ClassName.empty() ? std::string("Unknown") : input.ClassName))
        add("exception message", ReportMessageText(input.Message));
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i)
        text += (i > 0 ? CrLf : "") + lines[i];
    return text;
}

uint64_t AllocatedMemorySize(const TMemorySnapshot& snapshot)
{
    uint64_t total = 0;
    for (const TMemoryRegion& region : snapshot.Regions()) {
        const bool anonymous = region.Inode == 0
            && (region.Path.empty() || region.Path == "[heap]" || region.Path.rfind("[stack", 0) == 0);
        if (anonymous && region.Writable && !region.Shared)
            total += region.End - region.Start;
    }
    return total;
}

std::string DiskSpaceText(const std::string& executablePath)
{
    const auto freeText = [](const std::string& path) {
        struct statvfs info { };
        if (::statvfs(path.c_str(), &info) != 0)
            return std::string("?");
        return ByteSizeText(static_cast<int64_t>(static_cast<uint64_t>(info.f_bavail) * info.f_frsize));
    };
    std::string text = "(/) " + freeText("/");
    struct stat root {
    }, exe {};
    if (executablePath.empty() || ::stat("/", &root) != 0 || ::stat(executablePath.c_str(), &exe) != 0
        || exe.st_dev == root.st_dev)
        return text;
    // The executable's mount point: the highest folder of its path on the same device.
    std::string mount = executablePath.substr(0, executablePath.rfind('/'));
    for (;;) {
        const size_t slash = mount.rfind('/');
        if (slash == std::string::npos || slash == 0)
            break;
        struct stat parent { };
        if (::stat(mount.substr(0, slash).c_str(), &parent) != 0 || parent.st_dev != exe.st_dev)
            break;
        mount.resize(slash);
    }
    return text + " (" + mount + ") " + freeText(mount);
}

std::string ModulesSection(const std::vector<TModuleInfo>& modules)
{
    struct TLine {
        uintptr_t Base;
        std::string Name, Version, Folder;
    };
    std::vector<TLine> lines;
    size_t nameWidth = 0, versionWidth = 0;
    for (const TModuleInfo& module : modules) {
        const size_t slash = module.FileName.rfind('/');
        TLine line { module.Base, BaseName(module.FileName), {},
            slash == std::string::npos ? std::string() : module.FileName.substr(0, slash + 1) };
        if (const uint64_t version = ReadFileVersion(module.FileName))
            line.Version = FileVersionText(version);
        nameWidth = std::max(nameWidth, line.Name.size());
        versionWidth = std::max(versionWidth, line.Version.size());
        lines.push_back(std::move(line));
    }
    std::string text = "modules:";
    for (const TLine& line : lines) {
        text += CrLf;
        text += HexTextPadded64(line.Base, 16, '0').substr(1) + " "
            + PadTo(line.Name, -static_cast<int>(nameWidth + 1), ' ')
            + PadTo(line.Version, -static_cast<int>(versionWidth + 1), ' ') + line.Folder;
    }
    return text;
}

std::string IdListName(std::string_view idsText, std::string_view vendor, std::string_view device)
{
    if (vendor.empty())
        return {};
    std::string vendorName;
    bool inVendor = false;
    size_t start = 0;
    while (start < idsText.size()) {
        size_t end = idsText.find('\n', start);
        if (end == std::string_view::npos)
            end = idsText.size();
        const std::string_view line = idsText.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] == '#')
            continue;
        if (line[0] != '\t') {
            if (inVendor)
                break;
            if (line.size() > 6 && SameTextNoCase(line.substr(0, 4), vendor) && line[4] == ' ') {
                inVendor = true;
                vendorName = TrimTextCopy(line.substr(5));
            }
            continue;
        }
        if (inVendor && line.size() > 7 && line[1] != '\t' && SameTextNoCase(line.substr(1, 4), device)
            && line[5] == ' ')
            return vendorName + " " + TrimTextCopy(line.substr(6));
    }
    return vendorName;
}

std::vector<THardwareDevice> ListHardware(const TFactSources& sources)
{
    std::vector<THardwareDevice> devices;
    const std::string sysRoot = sources.Root + "/sys";
    for (const std::string& className : DirectoryEntries(sysRoot + "/class")) {
        const std::string classPath = sysRoot + "/class/" + className;
        for (const std::string& entry : DirectoryEntries(classPath)) {
            const std::string entryPath = classPath + "/" + entry;
            const std::string target = LinkTarget(entryPath);
            if (target.empty() || target.find("devices/virtual/") != std::string::npos)
                continue;
            devices.push_back({ className, DeviceName(sources, sysRoot, entryPath, entry) });
            if (devices.size() >= MaxDevices)
                return devices;
        }
    }
    return devices;
}

std::string HardwareSection(std::vector<THardwareDevice> devices)
{
    std::sort(devices.begin(), devices.end(), [](const THardwareDevice& a, const THardwareDevice& b) {
        if (!SameTextNoCase(a.ClassName, b.ClassName))
            return LessNoCase(a.ClassName, b.ClassName);
        return LessNoCase(a.Name, b.Name);
    });
    std::string text = "hardware:";
    for (size_t i = 0; i < devices.size(); ++i) {
        if (i == 0 || !SameTextNoCase(devices[i].ClassName, devices[i - 1].ClassName))
            text += CrLf + std::string("+ ") + devices[i].ClassName;
        text += CrLf + std::string("  - ") + devices[i].Name;
    }
    return text;
}

void ComposeBugReportFrom(const TComposeRequest& request, const TFactSources& sources, std::string& report)
{
    report.clear();
    // One memory map, one module list and one stamp check per module for the whole report.
    const TSnapshotScope scope;
    try {
        const TCrashReportSettings& settings = CrashReportSettings;
        TThreadSectionsResult sections;
        try {
            std::optional<TTraceProgress> progress;
            if (request.Showing && request.ProgressSink)
                progress.emplace(request.ProgressSink, request.ProgressClock);
            TThreadSectionsRequest threads;
            threads.Progress = progress ? &*progress : nullptr;
            threads.Frozen = request.Frozen;
            threads.CrashedThreadId = static_cast<pid_t>(request.CrashedThreadId);
            threads.ExceptionAddress = request.ExceptAddr;
            threads.StackPointer = request.StackPointer;
            threads.FramePointer = request.FramePointer;
            if (const ReportedException* object = request.ExceptObject) {
                threads.OsException = object->IsClass("EExternal");
                threads.CppTermination = object->IsClass("BcbTermination");
                if (!object->ThrowStack.empty())
                    threads.PreCollected = &object->ThrowStack;
                if (!threads.ExceptionAddress)
                    threads.ExceptionAddress = object->ThrowAddress;
            }
            threads.ListAllThreads = settings.ListAllThreads;
            threads.HideLineless = settings.StackTraceOptions[0];
            threads.RelativeAddresses = settings.StackTraceOptions[1];
            threads.RelativeLines = settings.StackTraceOptions[2];
            threads.SkipChainOptimisation = settings.StackTraceOption4;
            if (const pid_t handling = ExceptionThreadId())
                threads.OmittedThreads.push_back(handling);
            sections = ComposeThreadSections(threads);
        } catch (...) {
            sections.Text = std::string(CrLf) + CrLf + InternalErrorText("GetThreadReport");
        }
        CrashReporterHeartbeat();

        THeaderInput header;
        header.Facts = ReportFacts();
        timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        tm local {};
        ::localtime_r(&now.tv_sec, &local);
        header.Year = local.tm_year + 1900;
        header.Month = local.tm_mon + 1;
        header.Day = local.tm_mday;
        header.Hour = local.tm_hour;
        header.Minute = local.tm_min;
        header.Second = local.tm_sec;
        header.Millisecond = static_cast<int>(now.tv_nsec / 1000000);
        timespec boot {};
        if (::clock_gettime(CLOCK_BOOTTIME, &boot) == 0)
            header.SystemUpSeconds = boot.tv_sec;
        header.ProgramUpMilliseconds = ProgramUpMilliseconds();
        struct sysinfo memory { };
        if (::sysinfo(&memory) == 0) {
            header.MemoryTotal = static_cast<uint64_t>(memory.totalram) * memory.mem_unit;
            header.MemoryAvailable = static_cast<uint64_t>(memory.freeram + memory.bufferram) * memory.mem_unit;
        }
        const std::string meminfo = ReadSmallFile("/proc/meminfo");
        if (const size_t at = meminfo.find("MemAvailable:"); at != std::string::npos)
            header.MemoryAvailable
                = static_cast<uint64_t>(std::strtoull(meminfo.c_str() + at + 13, nullptr, 10)) * 1024;
        header.DiskSpace = DiskSpaceText(header.Facts.ExecutablePath);
        header.DisplayWidth = DisplayWidth;
        header.DisplayHeight = DisplayHeight;
        header.DisplayDepth = DisplayDepth;
        header.ProcessId = static_cast<uint32_t>(::getpid());
        const auto snapshot = TakeMemorySnapshot();
        header.AllocatedMemory = AllocatedMemorySize(*snapshot);
        header.ListCommandLine = settings.ListCommandLine;
        if (settings.VersionVariable)
            header.Version = *settings.VersionVariable;
        else if (const uint64_t version = ReadFileVersion(header.Facts.ExecutablePath))
            header.Version = FileVersionText(version);
        header.Frozen = request.Frozen;
        header.FrozenText = settings.FrozenText.Str();
        header.ClassName = ExceptionClassText(request.ExceptObject);
        // As the box shows it: a line break would end the line, and the mail's subject with it.
        header.Message = request.ExceptObject ? ExceptionMessageText(request.ExceptObject) : header.ClassName;
        report = ComposeReportHeader(header) + sections.Text;

        if (settings.ListModules) {
            try {
                report += std::string(CrLf) + CrLf + ModulesSection(ListModules(*snapshot));
            } catch (...) {
                report += std::string(CrLf) + CrLf + InternalErrorText("GetModuleReport");
            }
        }
        CrashReporterHeartbeat();
        if (settings.ListHardware) {
            try {
                report += std::string(CrLf) + CrLf + HardwareSection(ListHardware(sources));
            } catch (...) {
                report += std::string(CrLf) + CrLf + InternalErrorText("GetHardwareList");
            }
        }
        if (settings.DisAsmProc) {
            try {
                // From the function's entry, so that the listing shows its name and first lines.
                const uintptr_t location = sections.CrashFunctionEntry ? sections.CrashFunctionEntry
                    : sections.CrashLocation                          ? sections.CrashLocation
                                                                      : request.ExceptAddr;
                const std::string listing
                    = settings.DisAsmProc(location, request.ExceptAddr, settings.DisAsmOption, settings.DisAsmLines);
                if (!listing.empty())
                    report += std::string(CrLf) + CrLf + "disassembling:" + CrLf + listing;
            } catch (...) {
                report += std::string(CrLf) + CrLf + InternalErrorText("GetCleartextDisAsm");
            }
        }
        MaskSecrets(report);
    } catch (...) {
        report += std::string(CrLf) + CrLf + "An exception occurred during composing the bug report.";
    }
}

void ComposeBugReport(const TComposeRequest& request, std::string& report)
{
    TFactSources sources;
    {
        const std::lock_guard lock(FactsMutex());
        sources = StoredSources();
    }
    ComposeBugReportFrom(request, sources, report);
}
