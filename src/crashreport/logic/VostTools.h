// System services of the crash reporter that must work inside a damaged process: the system
// version, file versions, per-thread message dispatchers, readers of loaded and on-disk ELF
// images, symbol-name unmangling and tick differences.
#pragma once

#include "crashreport/logic/VostMemory.h"

#include <QEvent>
#include <QObject>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <sys/types.h>

// The system's version, filled once per process.
struct TOS {
    int Major = 0, Minor = 0, Build = 0; // the kernel's release numbers
    std::string KernelName;              // "Linux"
    std::string Release;                 // the kernel's release text
    std::string Machine;                 // "x86_64"
    std::string DistributionId;          // ID of os-release
    std::string DistributionVersion;     // VERSION_ID of os-release
    std::string Description;             // PRETTY_NAME, else NAME and VERSION, else the kernel name
};
TOS QueryOsVersion();
// The record from uname's fields and the text of os-release (empty when there is none).
TOS MakeOsVersion(std::string_view kernelName, std::string_view release, std::string_view machine, std::string_view osRelease);
// The value of key in os-release text: quotes and backslash escapes removed; empty when absent.
std::string OsReleaseValue(std::string_view osRelease, std::string_view key);

// Version words of a file: major << 48 | minor << 32 | release << 16 | build. Our own files carry
// a ".tarvell_version" section; libraries give the numbers of their file name or SONAME
// ("libz.so.1.2.13"). 0 when there is none.
uint64_t ReadFileVersion(const std::string& fileName);
// The numbers that follow ".so." in a library's name; 0 when none.
uint64_t SoNameVersion(std::string_view name);
// "1.2.13.0".
std::string FileVersionText(uint64_t version);

// Message dispatchers: one QObject per thread that dispatches numbered messages to registered
// handlers. A message travels as a QEvent; "send with time-out" posts it and waits on a
// semaphore, so a thread whose loop is stuck costs the sender only the time-out.
class TMessageDispatcher;
using TMessageProc = void (*)(void* object, TMessageDispatcher* dispatcher, uint32_t message, uintptr_t wParam, intptr_t lParam,
                              intptr_t& result);
// A plain procedure (Object nullptr) or a method: the procedure with its object.
struct TMessageHandler {
    TMessageProc Proc = nullptr;
    void* Object = nullptr;
    bool operator==(const TMessageHandler&) const = default;
};
// Allocated message numbers start in the user range.
constexpr uint32_t FirstUserMessage = 1024;

class TMessageDispatcher : public QObject {
public:
    pid_t ThreadId() const { return FThreadId; }
    bool event(QEvent* event) override;
    // Calls every handler registered for message; the result starts at 0.
    intptr_t Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam);

private:
    explicit TMessageDispatcher(pid_t threadId)
        : FThreadId(threadId)
    {
    }
    pid_t FThreadId;
    friend TMessageDispatcher* HandlerWindowOf(pid_t threadId);
};

// The thread's dispatcher (0 = the calling thread); created for the calling thread when it has
// none, otherwise nullptr.
TMessageDispatcher* HandlerWindowOf(pid_t threadId = 0);
// Adds a handler to the thread's dispatcher; message 0 takes the first number from 1024 that the
// dispatcher does not use. The message number, or 0 when the handler is there already or the
// thread has no dispatcher.
uint32_t AddMessageHandler(TMessageHandler handler, uint32_t message, pid_t threadId = 0);
// Removes the matching handlers (message 0 = any); a dispatcher left without handlers goes.
void RemoveMessageHandler(TMessageHandler handler, uint32_t message, pid_t threadId = 0);
bool PostHandlerMessage(TMessageDispatcher* dispatcher, uint32_t message, uintptr_t wParam, intptr_t lParam);
// Dispatches and waits at most timeout; false when it did not happen in time. Direct on the
// dispatcher's own thread.
bool SendHandlerMessageTimeout(TMessageDispatcher* dispatcher, uint32_t message, uintptr_t wParam, intptr_t lParam,
                               std::chrono::milliseconds timeout, intptr_t* result = nullptr);

// The module holding address: its base and file name; false for memory of no module.
bool ModuleOfAddress(uintptr_t address, uintptr_t& moduleBase, std::string& fileName);

struct TElfSymbol {
    std::string Name;
    uintptr_t Address = 0; // load bias added
    uint64_t Size = 0;
    uint8_t Type = 0; // STT_FUNC, STT_OBJECT, ...
    uint8_t Bind = 0;
    bool Covers(uintptr_t address) const { return address >= Address && address - Address < std::max<uint64_t>(Size, 1); }
};

// An ELF64 file read through bounds-checked reads, from disk or from bytes.
class TElfFile {
public:
    struct TSection {
        std::string Name;
        uint32_t Type = 0;
        uint64_t Flags = 0, Address = 0, Offset = 0, Size = 0;
        uint32_t Link = 0;
    };
    static TElfFile Open(const std::string& path);
    static TElfFile FromBytes(std::string bytes);
    bool Valid() const { return FValid; }
    const std::vector<TSection>& Sections() const { return FSections; }
    const TSection* FindSection(std::string_view name) const;
    // The section's bytes; empty when it has none, lies outside the file or exceeds maxSize.
    std::string SectionBytes(const TSection& section, uint64_t maxSize) const;
    // The symbols of the first section of that type (SHT_SYMTAB or SHT_DYNSYM), bias added.
    std::vector<TElfSymbol> Symbols(uint32_t sectionType, uintptr_t loadBias) const;
    std::string SoName() const;
    uint64_t EntryPoint() const { return FEntry; }

private:
    bool Read(uint64_t offset, void* destination, size_t count) const;
    void Parse();
    std::shared_ptr<int> FFile;
    std::string FBytes;
    uint64_t FSize = 0;
    bool FValid = false;
    uint64_t FEntry = 0;
    std::vector<TSection> FSections;
};

// The symbols of a loaded module's dynamic symbol table, read from memory (DT_SYMTAB with
// DT_GNU_HASH or DT_HASH for the count); defined symbols only.
std::vector<TElfSymbol> ElfDynamicSymbols(const TModuleInfo& module, const TMemorySnapshot* snapshot = nullptr);
// The address of a defined symbol by exact name: from the loaded .dynsym, or with fromFile from
// the file's .symtab (so that changed memory does not mislead); else the system's lookup. 0 when
// nothing is found.
uintptr_t ElfSymbolAddress(const TModuleInfo& module, std::string_view name, bool fromFile, const TMemorySnapshot* snapshot = nullptr);
// The .dynsym symbol at address: exactly there, or (covering) the one whose range holds it, else
// the highest one below it inside the code range. False when none.
bool ElfSymbolAt(const TModuleInfo& module, uintptr_t address, bool covering, TElfSymbol& symbol,
                 const TMemorySnapshot* snapshot = nullptr);
// The name of the .dynsym symbol exactly at address; with unmangle in the reporter's rendering.
std::string ElfSymbolName(const TModuleInfo& module, uintptr_t address, bool unmangle, const TMemorySnapshot* snapshot = nullptr);
// The bytes of a non-allocated section of a module file ("" when absent): the reporter's
// resources, such as the embedded debug information.
std::string ResourceText(const std::string& moduleFile, std::string_view sectionName);

// Decodes a compiler-mangled name into name and unit; false when it is not mangled. Names in the
// reporter's own scheme begin with "@"; Itanium names ("_Z...") are demangled and rendered as
// RenderDemangledName says, with an empty unit.
bool UnmangleName(std::string& name, std::string& unit);
// Demangles an Itanium name and renders it; false (name unchanged) when it is none.
bool DemangleSymbol(std::string_view mangled, std::string& rendered);
// Our rule for names in maps and reports, so that every name is one token and stays distinct:
// parameters and the return type are dropped, "::" becomes ".", the remaining "(" and ")"
// become "{" and "}", a blank between two identifier characters becomes "_" and any other blank
// goes, and clone suffixes (" [clone .cold]") are appended as they are (".cold").
std::string RenderDemangledName(std::string_view demangled);

// Milliseconds of a 32-bit tick counter since start, across its wrap.
uint32_t TickCount();
uint32_t TicksSince(uint32_t start);
uint32_t TicksBetween(uint32_t start, uint32_t now);
