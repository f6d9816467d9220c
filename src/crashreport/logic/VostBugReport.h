// The bug report composer: the plain-text report of one exception or freeze (header lines about
// the machine, the process and the exception, thread sections, modules, hardware, disassembly).
#pragma once

#include "crashreport/logic/VostExcept.h"
#include "crashreport/logic/VostMemory.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Where the facts come from; tests point the root at a fake tree (cpuinfo, os-release, sysfs).
struct TFactSources {
    std::string Root; // prefix of /proc/cpuinfo, /etc/os-release and /sys; "" = the system
    std::string PciIds; // "" = the installed list, when there is one
    std::string UsbIds;
};

// The facts that do not change while the program runs, gathered at start-up.
struct TReportFacts {
    std::string ComputerName;
    std::string WtsClientName; // first field of SSH_CONNECTION
    std::string UserName;
    std::string OperatingSystem; // PRETTY_NAME " build " kernel release
    std::string SystemLanguage; // English name of the language of the locale
    std::string ProcessorName;
    int ProcessorCount = 0;
    std::string ExecutablePath;
    std::string ExecutableDateTime; // last-write time, "yyyy-mm-dd hh:mm" local
    std::string CommandLine; // empty without parameters
};
TReportFacts GatherReportFacts(const TFactSources& sources);
// Gathers the facts of this process once (call at start-up, after the arguments are saved);
// ReportFacts gathers them on first use otherwise. The sources also serve the hardware list.
void InitReportFacts(const TFactSources& sources = {});
const TReportFacts& ReportFacts();

// The display mode the program hands in (and keeps current); 0 x 0 until then.
void SetReportDisplayMode(int width, int height, int depth);

// The processor name ("model name", trimmed) and the real count of /proc/cpuinfo text.
void ParseCpuInfo(std::string_view text, std::string& name, int& count);

// "2 days 3 hours ": two units of a duration in whole seconds, each followed by a blank.
std::string DurationText(uint64_t seconds);
// The message as the report shows it: a trailing run of "." and "!" cut to its first character,
// then "." appended.
std::string ReportMessageText(std::string_view message);
// label padded to 18, ": ", value.
std::string HeaderLine(std::string_view label, std::string_view value);

// Everything the header shows, at the moment of the report.
struct THeaderInput {
    TReportFacts Facts;
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
    int64_t SystemUpSeconds = -1; // < 0: unknown
    uint64_t ProgramUpMilliseconds = 0;
    uint64_t MemoryAvailable = 0, MemoryTotal = 0; // bytes
    std::string DiskSpace;
    int DisplayWidth = 0, DisplayHeight = 0, DisplayDepth = 0;
    uint32_t ProcessId = 0;
    uint64_t AllocatedMemory = 0;
    bool ListCommandLine = true;
    std::string Version; // empty: left out
    bool Frozen = false;
    std::string FrozenText;
    std::string ClassName; // "" = "Unknown"
    std::string Message;
};
// The header block; its last line has no line end.
std::string ComposeReportHeader(const THeaderInput& input);

// The sum of the private anonymous writable mappings.
uint64_t AllocatedMemorySize(const TMemorySnapshot& snapshot);
// "(/) 12,50 GB", and " (mount) ..." for the executable's file system when it is another one.
std::string DiskSpaceText(const std::string& executablePath);

// The "modules:" section of the modules given (ascending base order).
std::string ModulesSection(const std::vector<TModuleInfo>& modules);

// One device of the hardware list.
struct THardwareDevice {
    std::string ClassName;
    std::string Name;
};
// The devices of the sysfs tree under root ("/sys" below it): every entry of its classes whose
// device lies outside /sys/devices/virtual, named from pci.ids or usb.ids when the lists are
// there (else by their ids), with " (driver NAME VERSION)" when the driver's module has a version.
std::vector<THardwareDevice> ListHardware(const TFactSources& sources);
// The "hardware:" section: classes and devices in ascending case-insensitive order.
std::string HardwareSection(std::vector<THardwareDevice> devices);
// The name of an id in a pci.ids / usb.ids text: "vendor" or "vendor device"; empty when absent.
std::string IdListName(std::string_view idsText, std::string_view vendor, std::string_view device);

// The whole report of one exception or freeze (the reporter's Compose step), the hardware from
// the sources given at start-up. Never throws.
void ComposeBugReport(const TComposeRequest& request, std::string& report);
// The same with the hardware list read from sources (tests).
void ComposeBugReportFrom(const TComposeRequest& request, const TFactSources& sources, std::string& report);
