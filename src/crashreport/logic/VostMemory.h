// Safe reads of the process's own memory, the map of its regions and the modules loaded in it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// One line of /proc/self/maps.
struct TMemoryRegion {
    uintptr_t Start = 0;
    uintptr_t End = 0; // one past the last byte
    bool Readable = false;
    bool Writable = false;
    bool Executable = false;
    bool Shared = false;
    uint64_t FileOffset = 0;
    uint64_t Device = 0; // major << 32 | minor; 0 for anonymous memory
    uint64_t Inode = 0;
    std::string Path; // empty for anonymous memory; "[stack]", "[vdso]" ... for special regions
};

// The readable memory map at one moment: one parse of /proc/self/maps. Regions are in ascending
// order and never overlap; readable runs are adjacent readable regions merged.
class TMemorySnapshot {
public:
    TMemorySnapshot() = default;
    // Parses maps text; lines that do not parse are skipped.
    static TMemorySnapshot FromMapsText(std::string_view text);
    const std::vector<TMemoryRegion>& Regions() const { return FRegions; }
    // The region holding address, or nullptr.
    const TMemoryRegion* RegionAt(uintptr_t address) const;
    // For a stack pointer that lies in no region (an overflowed stack that grows down, past its
    // mapping into the gap the system keeps beneath it): the readable, writable region just above
    // it, when it starts within StackGapLimit; else nullptr.
    const TMemoryRegion* StackRegionAbove(uintptr_t stackPointer) const;
    static constexpr uintptr_t StackGapLimit = 1024 * 1024 + 65536;
    // True when every byte of [address, address + count) lies in readable memory.
    bool IsReadable(uintptr_t address, size_t count) const;
    // The readable run holding address: [start, end); false when the address is not readable.
    bool ReadableRunAt(uintptr_t address, uintptr_t& start, uintptr_t& end) const;

private:
    std::vector<TMemoryRegion> FRegions;
    struct TRun {
        uintptr_t Start, End;
    };
    std::vector<TRun> FReadableRuns;
};

// Reads /proc/self/maps now. An unreadable map gives an empty snapshot. Inside a
// TSnapshotScope of the calling thread: the scope's snapshot.
std::shared_ptr<const TMemorySnapshot> TakeMemorySnapshot();

// How many times /proc/self/maps was read (tests: what a throw or a report costs).
uint32_t MemoryMapReads();

// One report reads the memory map, the module headers and the module files' stamps once, not
// once per thread and per address: while a scope lives, TakeMemorySnapshot in its thread gives
// the snapshot taken at its start, and ListModules and FindModule of that snapshot use one list
// of modules. Scopes nest; the outermost one counts.
class TSnapshotScope {
public:
    TSnapshotScope();
    ~TSnapshotScope();
    TSnapshotScope(const TSnapshotScope&) = delete;
    TSnapshotScope& operator=(const TSnapshotScope&) = delete;
    // A number of the calling thread's outermost scope, unique in the process; 0 outside scopes.
    static uint64_t Current();
    struct TState;

private:
    TState* FState = nullptr; // only in the outermost scope
};

// Copies count bytes from source into destination: all or nothing, never a signal. With a
// snapshot the source range must be readable there; a nil source or a count of 0 fails.
bool SafeRead(uintptr_t source, void* destination, size_t count, const TMemorySnapshot* snapshot = nullptr);

// Reads a value of a trivially copyable type; false when it cannot be read whole.
template <typename T>
bool SafeReadValue(uintptr_t source, T& value, const TMemorySnapshot* snapshot = nullptr)
{
    return SafeRead(source, &value, sizeof(T), snapshot);
}

// Reads a zero-terminated text of at most maxLength bytes; false when no terminator was found
// within readable memory and the limit.
bool SafeReadText(uintptr_t source, std::string& text, size_t maxLength, const TMemorySnapshot* snapshot = nullptr);

// The two ways SafeRead reads: process_vm_readv on ourselves, and pread of /proc/self/mem where the
// first is refused (ENOSYS, EPERM). Both all or nothing. Exposed so each can be tested alone.
namespace VostMemoryDetail {
enum class TVmReadResult { Done, Failed, Refused };
TVmReadResult ReadWithVmReadv(uintptr_t source, void* destination, size_t count);
bool ReadWithProcMem(uintptr_t source, void* destination, size_t count);
} // namespace VostMemoryDetail

// Which file a module was loaded from: device, inode and the path of its mapping.
struct TFileIdentity {
    uint64_t Device = 0;
    uint64_t Inode = 0;
    bool operator==(const TFileIdentity&) const = default;
};

// One loaded ELF module: a file mapping whose first bytes are an ELF header.
struct TModuleInfo {
    uintptr_t Base = 0;     // lowest address the file is mapped at (its ELF header)
    uintptr_t End = 0;      // one past the highest mapping of the file
    uintptr_t LoadBias = 0; // added to the file's virtual addresses
    uintptr_t CodeStart = 0, CodeEnd = 0; // the executable PT_LOAD, end exclusive
    uintptr_t DataStart = 0, DataEnd = 0; // the writable PT_LOAD (with its zero-filled part)
    uintptr_t EntryPoint = 0;             // 0 when the module has none
    TFileIdentity Identity;
    std::string FileName; // full path of the mapped file
    // Two records name the same module when base and file agree: a file replaced at the same base
    // is another module.
    bool SameModule(const TModuleInfo& other) const { return Base == other.Base && Identity == other.Identity; }
    bool HoldsCode(uintptr_t address) const { return address >= CodeStart && address < CodeEnd; }
    bool Holds(uintptr_t address) const { return address >= Base && address < End; }
};

// Every ELF module of the snapshot, in ascending base order.
std::vector<TModuleInfo> ListModules(const TMemorySnapshot& snapshot);
// The module holding address (any of its mappings); false when none does.
bool FindModule(const TMemorySnapshot& snapshot, uintptr_t address, TModuleInfo& module);
// The module of the running program (the main executable).
bool FindProgramModule(const TMemorySnapshot& snapshot, TModuleInfo& module);

// The reporter's shared lists are guarded by timed mutexes: the crash path must not wait forever
// for a thread that died holding one.
using TListMutex = std::timed_mutex;
constexpr std::chrono::milliseconds ListLockTimeout{500};
// Locks with the time-out; test owns() before touching the list.
class TListLock {
public:
    explicit TListLock(TListMutex& mutex, std::chrono::milliseconds timeout = ListLockTimeout)
        : FLock(mutex, timeout)
    {
    }
    bool owns() const { return FLock.owns_lock(); }
    explicit operator bool() const { return owns(); }

private:
    std::unique_lock<TListMutex> FLock;
};
