// Safe reads of our own memory through process_vm_readv (or /proc/self/mem), the region map from
// /proc/self/maps and the ELF modules found in it.
#include "crashreport/logic/VostMemory.h"

#include "crashreport/logic/VostStrings.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>

#include <elf.h>
#include <fcntl.h>
#include <sys/auxv.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

bool ParseHex(std::string_view& text, uint64_t& value)
{
    value = 0;
    size_t i = 0;
    for (int digit; i < text.size() && i < 16 && (digit = HexDigitValue(text[i])) >= 0; ++i)
        value = value << 4 | uint64_t(digit);
    if (i == 0)
        return false;
    text.remove_prefix(i);
    return true;
}

bool ParseDecimal(std::string_view& text, uint64_t& value)
{
    value = 0;
    size_t i = 0;
    for (; i < text.size() && i < 20 && text[i] >= '0' && text[i] <= '9'; ++i)
        value = value * 10 + uint64_t(text[i] - '0');
    if (i == 0)
        return false;
    text.remove_prefix(i);
    return true;
}

bool Expect(std::string_view& text, char c)
{
    if (text.empty() || text.front() != c)
        return false;
    text.remove_prefix(1);
    return true;
}

void SkipBlanks(std::string_view& text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
}

// "start-end perms offset major:minor inode   path"
bool ParseMapsLine(std::string_view line, TMemoryRegion& region)
{
    uint64_t start, end, offset, major, minor, inode;
    if (!ParseHex(line, start) || !Expect(line, '-') || !ParseHex(line, end) || !Expect(line, ' '))
        return false;
    if (line.size() < 4 || end <= start)
        return false;
    region.Readable = line[0] == 'r';
    region.Writable = line[1] == 'w';
    region.Executable = line[2] == 'x';
    region.Shared = line[3] == 's';
    line.remove_prefix(4);
    if (!Expect(line, ' ') || !ParseHex(line, offset) || !Expect(line, ' ') || !ParseHex(line, major) || !Expect(line, ':') ||
        !ParseHex(line, minor) || !Expect(line, ' ') || !ParseDecimal(line, inode))
        return false;
    SkipBlanks(line);
    region.Start = uintptr_t(start);
    region.End = uintptr_t(end);
    region.FileOffset = offset;
    region.Device = major << 32 | minor;
    region.Inode = inode;
    region.Path.assign(line.data(), line.size());
    return true;
}

std::atomic<bool> VmReadvRefused{false};
std::atomic<int> ProcMemFile{-1};

int ProcMemDescriptor()
{
    int fd = ProcMemFile.load();
    if (fd >= 0)
        return fd;
    fd = ::open("/proc/self/mem", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    int expected = -1;
    if (!ProcMemFile.compare_exchange_strong(expected, fd)) {
        ::close(fd);
        return expected;
    }
    return fd;
}

size_t PageSize()
{
    static const size_t size = [] {
        const long value = sysconf(_SC_PAGESIZE);
        return value > 0 ? size_t(value) : size_t(4096);
    }();
    return size;
}

// Fills a module record from the ELF header mapped at region.Start; false when it is no module.
bool ReadModuleAt(const TMemorySnapshot& snapshot, const TMemoryRegion& region, TModuleInfo& module)
{
    Elf64_Ehdr header;
    if (!SafeReadValue(region.Start, header, &snapshot))
        return false;
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_ident[EI_DATA] != ELFDATA2LSB || (header.e_type != ET_EXEC && header.e_type != ET_DYN))
        return false;
    if (header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum == 0 || header.e_phnum > 256)
        return false;
    std::vector<Elf64_Phdr> headers(header.e_phnum);
    if (!SafeRead(region.Start + uintptr_t(header.e_phoff), headers.data(), headers.size() * sizeof(Elf64_Phdr), &snapshot))
        return false;
    const Elf64_Phdr* first = nullptr;
    const Elf64_Phdr* code = nullptr;
    const Elf64_Phdr* data = nullptr;
    uint64_t highest = 0;
    for (const Elf64_Phdr& ph : headers) {
        if (ph.p_type != PT_LOAD)
            continue;
        if (!first)
            first = &ph;
        if (!code && (ph.p_flags & PF_X))
            code = &ph;
        if (!data && (ph.p_flags & PF_W))
            data = &ph;
        if (ph.p_memsz > UINT64_MAX - ph.p_vaddr)
            return false;
        highest = std::max<uint64_t>(highest, ph.p_vaddr + ph.p_memsz);
    }
    if (!first || !code)
        return false;
    const uint64_t firstPage = first->p_vaddr & ~uint64_t(PageSize() - 1);
    if (firstPage > region.Start)
        return false;
    const uintptr_t bias = region.Start - uintptr_t(firstPage);
    module.Base = region.Start;
    module.LoadBias = bias;
    module.End = bias + uintptr_t((highest + PageSize() - 1) & ~uint64_t(PageSize() - 1));
    module.CodeStart = bias + uintptr_t(code->p_vaddr);
    module.CodeEnd = module.CodeStart + uintptr_t(code->p_memsz);
    if (data) {
        module.DataStart = bias + uintptr_t(data->p_vaddr);
        module.DataEnd = module.DataStart + uintptr_t(data->p_memsz);
    }
    module.EntryPoint = header.e_entry ? bias + uintptr_t(header.e_entry) : 0;
    module.Identity = {region.Device, region.Inode};
    module.FileName = region.Path;
    // A plain data mapping of an ELF file (somebody reading it) has no executable mapping of it.
    for (const TMemoryRegion& r : snapshot.Regions())
        if (r.Executable && r.Inode == region.Inode && r.Device == region.Device && r.Start >= module.Base && r.End <= module.End)
            return true;
    return false;
}

} // namespace

TMemorySnapshot TMemorySnapshot::FromMapsText(std::string_view text)
{
    TMemorySnapshot snapshot;
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        const std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        TMemoryRegion region;
        if (!ParseMapsLine(line, region))
            continue;
        if (!snapshot.FRegions.empty() && region.Start < snapshot.FRegions.back().End)
            continue; // out of order: the kernel never writes that, so the text is damaged
        if (region.Readable) {
            if (!snapshot.FReadableRuns.empty() && snapshot.FReadableRuns.back().End == region.Start)
                snapshot.FReadableRuns.back().End = region.End;
            else
                snapshot.FReadableRuns.push_back({region.Start, region.End});
        }
        snapshot.FRegions.push_back(std::move(region));
    }
    return snapshot;
}

const TMemoryRegion* TMemorySnapshot::RegionAt(uintptr_t address) const
{
    auto it = std::upper_bound(FRegions.begin(), FRegions.end(), address,
                               [](uintptr_t a, const TMemoryRegion& r) { return a < r.End; });
    if (it == FRegions.end() || address < it->Start)
        return nullptr;
    return &*it;
}

const TMemoryRegion* TMemorySnapshot::StackRegionAbove(uintptr_t stackPointer) const
{
    auto it = std::upper_bound(FRegions.begin(), FRegions.end(), stackPointer,
                               [](uintptr_t a, const TMemoryRegion& r) { return a < r.End; });
    if (it == FRegions.end() || stackPointer >= it->Start || it->Start - stackPointer > StackGapLimit || !it->Readable
        || !it->Writable)
        return nullptr;
    return &*it;
}

bool TMemorySnapshot::ReadableRunAt(uintptr_t address, uintptr_t& start, uintptr_t& end) const
{
    auto it = std::upper_bound(FReadableRuns.begin(), FReadableRuns.end(), address,
                               [](uintptr_t a, const TRun& r) { return a < r.End; });
    if (it == FReadableRuns.end() || address < it->Start)
        return false;
    start = it->Start;
    end = it->End;
    return true;
}

bool TMemorySnapshot::IsReadable(uintptr_t address, size_t count) const
{
    uintptr_t start, end;
    if (!ReadableRunAt(address, start, end))
        return false;
    return count <= end - address;
}

struct TSnapshotScope::TState {
    uint64_t Id = 0;
    std::shared_ptr<const TMemorySnapshot> Snapshot;
    bool ModulesRead = false;
    std::vector<TModuleInfo> Modules;
};

namespace {

// A plain pointer: a thread_local with a destructor would register it on first use, which can
// fail in a crashing process short of memory.
thread_local TSnapshotScope::TState* ScopeState = nullptr;
std::atomic<uint64_t> ScopeIds{0};

std::atomic<uint32_t> MapReads{0};

std::shared_ptr<const TMemorySnapshot> ReadMemorySnapshot()
{
    MapReads.fetch_add(1, std::memory_order_relaxed);
    std::string text;
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        char buffer[16384];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            text.append(buffer, size_t(n));
        }
        ::close(fd);
    }
    return std::make_shared<const TMemorySnapshot>(TMemorySnapshot::FromMapsText(text));
}

std::vector<TModuleInfo> ReadModules(const TMemorySnapshot& snapshot);

// The scope's module list when snapshot is the scope's; nullptr otherwise.
const std::vector<TModuleInfo>* ScopedModules(const TMemorySnapshot& snapshot)
{
    TSnapshotScope::TState* state = ScopeState;
    if (!state || state->Snapshot.get() != &snapshot)
        return nullptr;
    if (!state->ModulesRead) {
        state->Modules = ReadModules(snapshot);
        state->ModulesRead = true;
    }
    return &state->Modules;
}

} // namespace

TSnapshotScope::TSnapshotScope()
{
    if (ScopeState)
        return;
    auto state = std::make_unique<TState>();
    state->Id = ++ScopeIds;
    state->Snapshot = ReadMemorySnapshot();
    FState = state.release();
    ScopeState = FState;
}

TSnapshotScope::~TSnapshotScope()
{
    if (!FState)
        return;
    ScopeState = nullptr;
    delete FState;
}

uint32_t MemoryMapReads() { return MapReads.load(std::memory_order_relaxed); }

uint64_t TSnapshotScope::Current() { return ScopeState ? ScopeState->Id : 0; }

std::shared_ptr<const TMemorySnapshot> TakeMemorySnapshot()
{
    if (ScopeState)
        return ScopeState->Snapshot;
    return ReadMemorySnapshot();
}

namespace VostMemoryDetail {

TVmReadResult ReadWithVmReadv(uintptr_t source, void* destination, size_t count)
{
    const int savedErrno = errno;
    iovec local{destination, count};
    iovec remote{reinterpret_cast<void*>(source), count};
    const ssize_t n = process_vm_readv(getpid(), &local, 1, &remote, 1, 0);
    const int error = errno;
    errno = savedErrno;
    if (n >= 0 && size_t(n) == count)
        return TVmReadResult::Done;
    if (n < 0 && (error == ENOSYS || error == EPERM))
        return TVmReadResult::Refused;
    return TVmReadResult::Failed;
}

bool ReadWithProcMem(uintptr_t source, void* destination, size_t count)
{
    const int fd = ProcMemDescriptor();
    if (fd < 0 || source > uintptr_t(INT64_MAX) || count > uintptr_t(INT64_MAX) - source)
        return false;
    const int savedErrno = errno;
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(fd, static_cast<char*>(destination) + done, count - done, off_t(source + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += size_t(n);
    }
    errno = savedErrno;
    return done == count;
}

} // namespace VostMemoryDetail

bool SafeRead(uintptr_t source, void* destination, size_t count, const TMemorySnapshot* snapshot)
{
    using namespace VostMemoryDetail;
    if (source == 0 || count == 0 || !destination || count > UINTPTR_MAX - source)
        return false;
    if (snapshot && !snapshot->IsReadable(source, count))
        return false;
    if (!VmReadvRefused.load(std::memory_order_relaxed)) {
        switch (ReadWithVmReadv(source, destination, count)) {
        case TVmReadResult::Done:
            return true;
        case TVmReadResult::Failed:
            return false;
        case TVmReadResult::Refused:
            VmReadvRefused.store(true, std::memory_order_relaxed);
            break;
        }
    }
    // /proc/self/mem reads pages whatever their protection, so the map decides readability.
    if (!snapshot) {
        const std::shared_ptr<const TMemorySnapshot> now = TakeMemorySnapshot();
        if (!now->IsReadable(source, count))
            return false;
    }
    return ReadWithProcMem(source, destination, count);
}

bool SafeReadText(uintptr_t source, std::string& text, size_t maxLength, const TMemorySnapshot* snapshot)
{
    text.clear();
    char chunk[64];
    while (text.size() < maxLength) {
        // Never read across a page end in one go: the next page may be unmapped.
        const size_t toPageEnd = PageSize() - (source & (PageSize() - 1));
        const size_t n = std::min({sizeof chunk, toPageEnd, maxLength - text.size() + 1});
        if (!SafeRead(source, chunk, n, snapshot))
            return false;
        const void* zero = std::memchr(chunk, 0, n);
        if (zero) {
            text.append(chunk, size_t(static_cast<const char*>(zero) - chunk));
            return true;
        }
        text.append(chunk, n);
        source += n;
    }
    return false;
}

namespace {

std::vector<TModuleInfo> ReadModules(const TMemorySnapshot& snapshot)
{
    std::vector<TModuleInfo> modules;
    for (const TMemoryRegion& region : snapshot.Regions()) {
        if (region.FileOffset != 0 || region.Inode == 0 || !region.Readable || region.Path.empty() || region.Path[0] != '/')
            continue;
        if (!modules.empty() && region.Start < modules.back().End)
            continue;
        TModuleInfo module;
        if (ReadModuleAt(snapshot, region, module))
            modules.push_back(std::move(module));
    }
    return modules;
}

} // namespace

std::vector<TModuleInfo> ListModules(const TMemorySnapshot& snapshot)
{
    if (const std::vector<TModuleInfo>* modules = ScopedModules(snapshot))
        return *modules;
    return ReadModules(snapshot);
}

bool FindModule(const TMemorySnapshot& snapshot, uintptr_t address, TModuleInfo& module)
{
    if (const std::vector<TModuleInfo>* modules = ScopedModules(snapshot)) {
        auto it = std::upper_bound(modules->begin(), modules->end(), address,
                                   [](uintptr_t a, const TModuleInfo& m) { return a < m.Base; });
        if (it == modules->begin() || !std::prev(it)->Holds(address))
            return false;
        module = *std::prev(it);
        return true;
    }
    // Walk down from the region holding the address to the mapping of a file's first page; a
    // module spans few regions, so a short walk finds its start.
    const std::vector<TMemoryRegion>& regions = snapshot.Regions();
    const TMemoryRegion* at = snapshot.RegionAt(address);
    if (!at)
        return false;
    constexpr ptrdiff_t MaxWalk = 64;
    for (ptrdiff_t i = at - regions.data(), walked = 0; i >= 0 && walked < MaxWalk; --i, ++walked) {
        const TMemoryRegion& region = regions[size_t(i)];
        if (region.FileOffset != 0 || region.Inode == 0 || !region.Readable || region.Path.empty() || region.Path[0] != '/')
            continue;
        TModuleInfo candidate;
        if (!ReadModuleAt(snapshot, region, candidate))
            continue;
        if (!candidate.Holds(address))
            return false;
        module = std::move(candidate);
        return true;
    }
    return false;
}

bool FindProgramModule(const TMemorySnapshot& snapshot, TModuleInfo& module)
{
    const uintptr_t headers = uintptr_t(getauxval(AT_PHDR));
    return headers != 0 && FindModule(snapshot, headers, module);
}
