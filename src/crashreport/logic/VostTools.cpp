// System services of the crash reporter: version, files, dispatchers, ELF readers, names.
#include "crashreport/logic/VostTools.h"

#include "crashreport/logic/VostStrings.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>

#include <algorithm>
#include <cstring>
#include <cxxabi.h>
#include <mutex>

#include <dlfcn.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

namespace {

pid_t CurrentThreadId() { return pid_t(syscall(SYS_gettid)); }

// Upper bounds against hostile tables.
constexpr uint64_t MaxSymbolCount = 1u << 20;
constexpr uint64_t MaxStringTable = 64u << 20;
constexpr size_t MaxSymbolName = 4096;

std::string NameAt(const std::string& table, uint64_t offset)
{
    if (offset >= table.size())
        return {};
    const char* start = table.data() + offset;
    const size_t limit = std::min<size_t>(table.size() - size_t(offset), MaxSymbolName);
    const void* zero = std::memchr(start, 0, limit);
    return zero ? std::string(start, size_t(static_cast<const char*>(zero) - start)) : std::string();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// System version

std::string OsReleaseValue(std::string_view osRelease, std::string_view key)
{
    while (!osRelease.empty()) {
        const size_t eol = osRelease.find('\n');
        std::string_view line = osRelease.substr(0, eol);
        osRelease.remove_prefix(eol == std::string_view::npos ? osRelease.size() : eol + 1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);
        if (line.empty() || line.front() == '#' || line.size() <= key.size() || line.substr(0, key.size()) != key ||
            line[key.size()] != '=')
            continue;
        std::string_view value = line.substr(key.size() + 1);
        while (!value.empty() && (value.back() == ' ' || value.back() == '\t' || value.back() == '\r'))
            value.remove_suffix(1);
        std::string out;
        if (!value.empty() && (value.front() == '"' || value.front() == '\'')) {
            const char quote = value.front();
            for (size_t i = 1; i < value.size() && value[i] != quote; ++i) {
                if (quote == '"' && value[i] == '\\' && i + 1 < value.size())
                    ++i;
                out += value[i];
            }
        } else {
            out.assign(value);
        }
        return out;
    }
    return {};
}

TOS MakeOsVersion(std::string_view kernelName, std::string_view release, std::string_view machine, std::string_view osRelease)
{
    TOS os;
    os.KernelName = kernelName;
    os.Release = release;
    os.Machine = machine;
    int* numbers[] = {&os.Major, &os.Minor, &os.Build};
    size_t at = 0;
    for (int* number : numbers) {
        int64_t value = 0;
        size_t digits = 0;
        while (at < release.size() && release[at] >= '0' && release[at] <= '9' && digits < 9) {
            value = value * 10 + (release[at++] - '0');
            ++digits;
        }
        if (digits == 0)
            break;
        *number = int(value);
        if (at >= release.size() || release[at] != '.')
            break;
        ++at;
    }
    os.DistributionId = OsReleaseValue(osRelease, "ID");
    os.DistributionVersion = OsReleaseValue(osRelease, "VERSION_ID");
    os.Description = OsReleaseValue(osRelease, "PRETTY_NAME");
    if (os.Description.empty()) {
        os.Description = OsReleaseValue(osRelease, "NAME");
        const std::string version = OsReleaseValue(osRelease, "VERSION");
        if (!os.Description.empty() && !version.empty())
            os.Description += " " + version;
    }
    if (os.Description.empty())
        os.Description = os.KernelName.empty() ? "Linux" : os.KernelName;
    return os;
}

TOS QueryOsVersion()
{
    static const TOS os = [] {
        utsname names{};
        uname(&names);
        std::string text;
        for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
            const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                continue;
            char buffer[4096];
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            ::close(fd);
            if (n > 0) {
                text.assign(buffer, size_t(n));
                break;
            }
        }
        return MakeOsVersion(names.sysname, names.release, names.machine, text);
    }();
    return os;
}

// ---------------------------------------------------------------------------------------------
// File versions

uint64_t SoNameVersion(std::string_view name)
{
    const size_t slash = name.rfind('/');
    if (slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    const size_t so = name.find(".so.");
    if (so == std::string_view::npos)
        return 0;
    name.remove_prefix(so + 4);
    uint64_t version = 0;
    for (int part = 0; part < 4; ++part) {
        uint64_t value = 0;
        size_t digits = 0;
        while (!name.empty() && name.front() >= '0' && name.front() <= '9') {
            value = value * 10 + uint64_t(name.front() - '0');
            name.remove_prefix(1);
            if (++digits > 5 || value > 0xFFFF)
                return 0;
        }
        if (digits == 0)
            return part == 0 ? 0 : version;
        version |= value << (48 - 16 * part);
        if (name.empty() || name.front() != '.')
            return version;
        name.remove_prefix(1);
    }
    return version;
}

uint64_t ReadFileVersion(const std::string& fileName)
{
    const TElfFile file = TElfFile::Open(fileName);
    if (const TElfFile::TSection* section = file.Valid() ? file.FindSection(".tarvell_version") : nullptr) {
        const std::string bytes = file.SectionBytes(*section, 64);
        static constexpr char Magic[16] = {'T', 'A', 'R', 'V', 'E', 'L', 'L', '-', 'V', 'E', 'R', 'S', 'I', 'O', 'N', 0};
        if (bytes.size() >= 32 && std::memcmp(bytes.data(), Magic, 16) == 0) {
            uint32_t numbers[4];
            std::memcpy(numbers, bytes.data() + 16, sizeof numbers);
            uint64_t version = 0;
            for (int i = 0; i < 4; ++i)
                version |= uint64_t(numbers[i] & 0xFFFF) << (48 - 16 * i);
            return version;
        }
    }
    if (const uint64_t version = SoNameVersion(fileName))
        return version;
    return file.Valid() ? SoNameVersion(file.SoName()) : 0;
}

std::string FileVersionText(uint64_t version)
{
    return DecimalText64(int64_t(version >> 48)) + "." + DecimalText64(int64_t((version >> 32) & 0xFFFF)) + "." +
           DecimalText64(int64_t((version >> 16) & 0xFFFF)) + "." + DecimalText64(int64_t(version & 0xFFFF));
}

// ---------------------------------------------------------------------------------------------
// Message dispatchers

namespace {

struct TReply {
    QSemaphore Done;
    intptr_t Result = 0;
};

class TDispatchEvent : public QEvent {
public:
    static QEvent::Type EventType()
    {
        static const QEvent::Type type = QEvent::Type(QEvent::registerEventType());
        return type;
    }
    TDispatchEvent(uint32_t message, uintptr_t wParam, intptr_t lParam, std::shared_ptr<TReply> reply)
        : QEvent(EventType())
        , Message(message)
        , WParam(wParam)
        , LParam(lParam)
        , Reply(std::move(reply))
    {
    }
    uint32_t Message;
    uintptr_t WParam;
    intptr_t LParam;
    std::shared_ptr<TReply> Reply;
};

struct THandlerEntry {
    uint32_t Message;
    TMessageHandler Handler;
};

struct TRegistryEntry {
    pid_t ThreadId;
    TMessageDispatcher* Dispatcher;
    std::vector<THandlerEntry> Handlers;
};

std::mutex RegistryMutex;
std::vector<TRegistryEntry>& Registry()
{
    static std::vector<TRegistryEntry> registry;
    return registry;
}

TRegistryEntry* EntryOf(pid_t threadId)
{
    for (TRegistryEntry& entry : Registry())
        if (entry.ThreadId == threadId)
            return &entry;
    return nullptr;
}

} // namespace

intptr_t TMessageDispatcher::Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    std::vector<TMessageHandler> handlers;
    {
        const std::lock_guard lock(RegistryMutex);
        if (TRegistryEntry* entry = EntryOf(FThreadId); entry && entry->Dispatcher == this)
            for (const THandlerEntry& h : entry->Handlers)
                if (h.Message == message)
                    handlers.push_back(h.Handler);
    }
    intptr_t result = 0;
    for (const TMessageHandler& handler : handlers)
        handler.Proc(handler.Object, this, message, wParam, lParam, result);
    return result;
}

bool TMessageDispatcher::event(QEvent* event)
{
    if (event->type() != TDispatchEvent::EventType())
        return QObject::event(event);
    auto* dispatch = static_cast<TDispatchEvent*>(event);
    const intptr_t result = Dispatch(dispatch->Message, dispatch->WParam, dispatch->LParam);
    if (dispatch->Reply) {
        dispatch->Reply->Result = result;
        dispatch->Reply->Done.release();
    }
    return true;
}

TMessageDispatcher* HandlerWindowOf(pid_t threadId)
{
    const pid_t self = CurrentThreadId();
    if (threadId == 0)
        threadId = self;
    const std::lock_guard lock(RegistryMutex);
    if (TRegistryEntry* entry = EntryOf(threadId))
        return entry->Dispatcher;
    if (threadId != self)
        return nullptr;
    auto* dispatcher = new TMessageDispatcher(threadId);
    Registry().push_back({threadId, dispatcher, {}});
    return dispatcher;
}

uint32_t AddMessageHandler(TMessageHandler handler, uint32_t message, pid_t threadId)
{
    if (!handler.Proc || !HandlerWindowOf(threadId))
        return 0;
    const std::lock_guard lock(RegistryMutex);
    TRegistryEntry* entry = EntryOf(threadId == 0 ? CurrentThreadId() : threadId);
    if (!entry)
        return 0;
    auto used = [&](uint32_t number) {
        return std::any_of(entry->Handlers.begin(), entry->Handlers.end(), [&](const THandlerEntry& h) { return h.Message == number; });
    };
    if (message == 0) {
        message = FirstUserMessage;
        while (used(message))
            ++message;
    }
    for (const THandlerEntry& h : entry->Handlers)
        if (h.Message == message && h.Handler == handler)
            return 0;
    entry->Handlers.push_back({message, handler});
    return message;
}

void RemoveMessageHandler(TMessageHandler handler, uint32_t message, pid_t threadId)
{
    const pid_t self = CurrentThreadId();
    if (threadId == 0)
        threadId = self;
    TMessageDispatcher* orphan = nullptr;
    {
        const std::lock_guard lock(RegistryMutex);
        TRegistryEntry* entry = EntryOf(threadId);
        if (!entry)
            return;
        auto& handlers = entry->Handlers;
        for (size_t i = 0; i < handlers.size();) {
            if (handlers[i].Handler == handler && (message == 0 || handlers[i].Message == message)) {
                handlers[i] = handlers.back();
                handlers.pop_back();
            } else {
                ++i;
            }
        }
        if (!handlers.empty())
            return;
        orphan = entry->Dispatcher;
        *entry = Registry().back();
        Registry().pop_back();
    }
    // Only the owning thread deletes its dispatcher directly; others leave it to that thread's loop.
    if (threadId == self)
        delete orphan;
    else
        orphan->deleteLater();
}

bool PostHandlerMessage(TMessageDispatcher* dispatcher, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (!dispatcher)
        return false;
    QCoreApplication::postEvent(dispatcher, new TDispatchEvent(message, wParam, lParam, nullptr));
    return true;
}

bool SendHandlerMessageTimeout(TMessageDispatcher* dispatcher, uint32_t message, uintptr_t wParam, intptr_t lParam,
                               std::chrono::milliseconds timeout, intptr_t* result)
{
    if (!dispatcher)
        return false;
    if (dispatcher->ThreadId() == CurrentThreadId()) {
        const intptr_t value = dispatcher->Dispatch(message, wParam, lParam);
        if (result)
            *result = value;
        return true;
    }
    auto reply = std::make_shared<TReply>();
    QCoreApplication::postEvent(dispatcher, new TDispatchEvent(message, wParam, lParam, reply));
    if (!reply->Done.tryAcquire(1, int(std::min<int64_t>(timeout.count(), INT32_MAX))))
        return false;
    if (result)
        *result = reply->Result;
    return true;
}

bool ModuleOfAddress(uintptr_t address, uintptr_t& moduleBase, std::string& fileName)
{
    const auto snapshot = TakeMemorySnapshot();
    TModuleInfo module;
    if (!FindModule(*snapshot, address, module) || module.FileName.empty())
        return false;
    moduleBase = module.Base;
    fileName = module.FileName;
    return true;
}

// ---------------------------------------------------------------------------------------------
// ELF files

TElfFile TElfFile::Open(const std::string& path)
{
    TElfFile file;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return file;
    file.FFile = std::shared_ptr<int>(new int(fd), [](int* p) {
        ::close(*p);
        delete p;
    });
    struct stat info{};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        return file;
    file.FSize = uint64_t(info.st_size);
    file.Parse();
    return file;
}

TElfFile TElfFile::FromBytes(std::string bytes)
{
    TElfFile file;
    file.FBytes = std::move(bytes);
    file.FSize = file.FBytes.size();
    file.Parse();
    return file;
}

bool TElfFile::Read(uint64_t offset, void* destination, size_t count) const
{
    if (offset > FSize || count > FSize - offset)
        return false;
    if (!FFile) {
        std::memcpy(destination, FBytes.data() + offset, count);
        return true;
    }
    size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(*FFile, static_cast<char*>(destination) + done, count - done, off_t(offset + done));
        if (n <= 0)
            return false;
        done += size_t(n);
    }
    return true;
}

void TElfFile::Parse()
{
    Elf64_Ehdr header;
    if (!Read(0, &header, sizeof header))
        return;
    if (std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 || header.e_ident[EI_CLASS] != ELFCLASS64 ||
        header.e_ident[EI_DATA] != ELFDATA2LSB)
        return;
    FEntry = header.e_entry;
    if (header.e_shentsize != sizeof(Elf64_Shdr) || header.e_shnum == 0 || header.e_shstrndx >= header.e_shnum)
        return;
    std::vector<Elf64_Shdr> raw(header.e_shnum);
    if (!Read(header.e_shoff, raw.data(), raw.size() * sizeof(Elf64_Shdr)))
        return;
    const Elf64_Shdr& namesHeader = raw[header.e_shstrndx];
    if (namesHeader.sh_size > MaxStringTable || namesHeader.sh_offset > FSize || namesHeader.sh_size > FSize - namesHeader.sh_offset)
        return;
    std::string names(size_t(namesHeader.sh_size), '\0');
    if (!Read(namesHeader.sh_offset, names.data(), names.size()))
        return;
    FSections.reserve(raw.size());
    for (const Elf64_Shdr& s : raw)
        FSections.push_back({NameAt(names, s.sh_name), s.sh_type, s.sh_flags, s.sh_addr, s.sh_offset, s.sh_size, s.sh_link});
    FValid = true;
}

const TElfFile::TSection* TElfFile::FindSection(std::string_view name) const
{
    for (const TSection& section : FSections)
        if (section.Name == name)
            return &section;
    return nullptr;
}

std::string TElfFile::SectionBytes(const TSection& section, uint64_t maxSize) const
{
    if (section.Type == SHT_NOBITS || section.Size > maxSize || section.Offset > FSize || section.Size > FSize - section.Offset)
        return {};
    std::string bytes(size_t(section.Size), '\0');
    if (!Read(section.Offset, bytes.data(), bytes.size()))
        return {};
    return bytes;
}

std::vector<TElfSymbol> TElfFile::Symbols(uint32_t sectionType, uintptr_t loadBias) const
{
    std::vector<TElfSymbol> symbols;
    for (const TSection& section : FSections) {
        if (section.Type != sectionType)
            continue;
        if (section.Link >= FSections.size() || section.Size / sizeof(Elf64_Sym) > MaxSymbolCount)
            return symbols;
        const std::string table = SectionBytes(section, MaxSymbolCount * sizeof(Elf64_Sym));
        const std::string strings = SectionBytes(FSections[section.Link], MaxStringTable);
        const size_t count = table.size() / sizeof(Elf64_Sym);
        symbols.reserve(count);
        for (size_t i = 1; i < count; ++i) {
            Elf64_Sym sym;
            std::memcpy(&sym, table.data() + i * sizeof sym, sizeof sym);
            if (sym.st_shndx == SHN_UNDEF || sym.st_value == 0)
                continue;
            symbols.push_back({NameAt(strings, sym.st_name), loadBias + uintptr_t(sym.st_value), sym.st_size,
                               uint8_t(ELF64_ST_TYPE(sym.st_info)), uint8_t(ELF64_ST_BIND(sym.st_info))});
        }
        break;
    }
    return symbols;
}

std::string TElfFile::SoName() const
{
    const TSection* dynamic = FindSection(".dynamic");
    if (!dynamic || dynamic->Link >= FSections.size())
        return {};
    const std::string entries = SectionBytes(*dynamic, 1 << 20);
    const std::string strings = SectionBytes(FSections[dynamic->Link], MaxStringTable);
    for (size_t at = 0; at + sizeof(Elf64_Dyn) <= entries.size(); at += sizeof(Elf64_Dyn)) {
        Elf64_Dyn entry;
        std::memcpy(&entry, entries.data() + at, sizeof entry);
        if (entry.d_tag == DT_NULL)
            break;
        if (entry.d_tag == DT_SONAME)
            return NameAt(strings, entry.d_un.d_val);
    }
    return {};
}

std::string ResourceText(const std::string& moduleFile, std::string_view sectionName)
{
    const TElfFile file = TElfFile::Open(moduleFile);
    const TElfFile::TSection* section = file.Valid() ? file.FindSection(sectionName) : nullptr;
    if (!section || (section->Flags & SHF_ALLOC))
        return {};
    return file.SectionBytes(*section, MaxStringTable);
}

// ---------------------------------------------------------------------------------------------
// Loaded images

namespace {

// DT_* pointers are relocated in place by the loader in most modules, but not in all (the vDSO,
// read-only dynamic sections): a value below the module's base is still a file address.
uintptr_t DynamicPointer(const TModuleInfo& module, uint64_t value)
{
    return (module.LoadBias != 0 && value < module.Base) ? module.LoadBias + uintptr_t(value) : uintptr_t(value);
}

// The number of .dynsym entries from the GNU hash table: one past the highest chained index.
uint64_t GnuHashSymbolCount(uintptr_t table, const TMemorySnapshot* snapshot)
{
    uint32_t head[4];
    if (!SafeRead(table, head, sizeof head, snapshot))
        return 0;
    const uint32_t buckets = head[0], offset = head[1], bloomWords = head[2];
    if (buckets == 0 || buckets > MaxSymbolCount || bloomWords > MaxSymbolCount)
        return 0;
    const uintptr_t bucketTable = table + 16 + uintptr_t(bloomWords) * 8;
    // Allocate only for tables that are there: their last entry must be readable.
    uint32_t probe;
    if (!SafeReadValue(bucketTable + uintptr_t(buckets - 1) * 4, probe, snapshot))
        return 0;
    std::vector<uint32_t> bucket(buckets);
    if (!SafeRead(bucketTable, bucket.data(), bucket.size() * 4, snapshot))
        return 0;
    uint32_t highest = 0;
    for (uint32_t b : bucket)
        highest = std::max(highest, b);
    if (highest < offset)
        return offset;
    const uintptr_t chains = bucketTable + uintptr_t(buckets) * 4;
    for (uint64_t index = highest; index < MaxSymbolCount; ++index) {
        uint32_t chain;
        if (!SafeReadValue(chains + uintptr_t(index - offset) * 4, chain, snapshot))
            return 0;
        if (chain & 1)
            return index + 1;
    }
    return 0;
}

} // namespace

std::vector<TElfSymbol> ElfDynamicSymbols(const TModuleInfo& module, const TMemorySnapshot* snapshot)
{
    std::vector<TElfSymbol> symbols;
    Elf64_Ehdr header;
    if (!SafeReadValue(module.Base, header, snapshot) || std::memcmp(header.e_ident, ELFMAG, SELFMAG) != 0 ||
        header.e_phentsize != sizeof(Elf64_Phdr) || header.e_phnum == 0 || header.e_phnum > 256)
        return symbols;
    std::vector<Elf64_Phdr> programHeaders(header.e_phnum);
    if (!SafeRead(module.Base + uintptr_t(header.e_phoff), programHeaders.data(), programHeaders.size() * sizeof(Elf64_Phdr), snapshot))
        return symbols;
    uintptr_t dynamic = 0;
    size_t dynamicCount = 0;
    for (const Elf64_Phdr& ph : programHeaders)
        if (ph.p_type == PT_DYNAMIC) {
            dynamic = module.LoadBias + uintptr_t(ph.p_vaddr);
            dynamicCount = size_t(std::min<uint64_t>(ph.p_memsz / sizeof(Elf64_Dyn), 1024));
        }
    uintptr_t symtab = 0, strtab = 0, gnuHash = 0, hash = 0;
    uint64_t strsz = 0;
    for (size_t i = 0; i < dynamicCount; ++i) {
        Elf64_Dyn entry;
        if (!SafeReadValue(dynamic + i * sizeof entry, entry, snapshot) || entry.d_tag == DT_NULL)
            break;
        switch (entry.d_tag) {
        case DT_SYMTAB:
            symtab = DynamicPointer(module, entry.d_un.d_ptr);
            break;
        case DT_STRTAB:
            strtab = DynamicPointer(module, entry.d_un.d_ptr);
            break;
        case DT_STRSZ:
            strsz = entry.d_un.d_val;
            break;
        case DT_GNU_HASH:
            gnuHash = DynamicPointer(module, entry.d_un.d_ptr);
            break;
        case DT_HASH:
            hash = DynamicPointer(module, entry.d_un.d_ptr);
            break;
        default:
            break;
        }
    }
    if (!symtab || !strtab || strsz == 0 || strsz > MaxStringTable)
        return symbols;
    uint64_t count = 0;
    uint32_t hashHead[2];
    if (hash && SafeRead(hash, hashHead, sizeof hashHead, snapshot))
        count = hashHead[1];
    else if (gnuHash)
        count = GnuHashSymbolCount(gnuHash, snapshot);
    if (count == 0 || count > MaxSymbolCount)
        return symbols;
    Elf64_Sym lastSymbol;
    char lastString;
    if (!SafeReadValue(symtab + uintptr_t(count - 1) * sizeof(Elf64_Sym), lastSymbol, snapshot) ||
        !SafeReadValue(strtab + uintptr_t(strsz - 1), lastString, snapshot))
        return symbols;
    std::vector<Elf64_Sym> table(static_cast<size_t>(count));
    std::string strings(size_t(strsz), '\0');
    if (!SafeRead(symtab, table.data(), table.size() * sizeof(Elf64_Sym), snapshot) ||
        !SafeRead(strtab, strings.data(), strings.size(), snapshot))
        return symbols;
    for (size_t i = 1; i < table.size(); ++i) {
        const Elf64_Sym& sym = table[i];
        if (sym.st_shndx == SHN_UNDEF || sym.st_value == 0)
            continue;
        symbols.push_back({NameAt(strings, sym.st_name), module.LoadBias + uintptr_t(sym.st_value), sym.st_size,
                           uint8_t(ELF64_ST_TYPE(sym.st_info)), uint8_t(ELF64_ST_BIND(sym.st_info))});
    }
    return symbols;
}

uintptr_t ElfSymbolAddress(const TModuleInfo& module, std::string_view name, bool fromFile, const TMemorySnapshot* snapshot)
{
    if (name.empty())
        return 0;
    const std::vector<TElfSymbol> symbols =
        fromFile ? TElfFile::Open(module.FileName).Symbols(SHT_SYMTAB, module.LoadBias) : ElfDynamicSymbols(module, snapshot);
    for (const TElfSymbol& symbol : symbols)
        if (symbol.Name == name && symbol.Type != STT_SECTION && symbol.Type != STT_FILE)
            return symbol.Address;
    void* handle = dlopen(module.FileName.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!handle)
        return 0;
    const std::string text(name);
    void* address = dlsym(handle, text.c_str());
    dlclose(handle);
    return uintptr_t(address);
}

bool ElfSymbolAt(const TModuleInfo& module, uintptr_t address, bool covering, TElfSymbol& symbol, const TMemorySnapshot* snapshot)
{
    const TElfSymbol* best = nullptr;
    const std::vector<TElfSymbol> symbols = ElfDynamicSymbols(module, snapshot);
    for (const TElfSymbol& s : symbols) {
        if (s.Type != STT_FUNC && s.Type != STT_OBJECT && s.Type != STT_GNU_IFUNC && s.Type != STT_NOTYPE)
            continue;
        if (s.Address == address) {
            if (!best || best->Address != address || (best->Size == 0 && s.Size != 0))
                best = &s;
            continue;
        }
        if (!covering || s.Address > address)
            continue;
        if (s.Size != 0 && !s.Covers(address))
            continue;
        // Without a covering range, the highest symbol below the address in the code range.
        if (s.Size == 0 && !(module.HoldsCode(address) && module.HoldsCode(s.Address)))
            continue;
        if (!best || (best->Address != address && s.Address > best->Address))
            best = &s;
    }
    if (!best)
        return false;
    symbol = *best;
    return true;
}

std::string ElfSymbolName(const TModuleInfo& module, uintptr_t address, bool unmangle, const TMemorySnapshot* snapshot)
{
    TElfSymbol symbol;
    if (!ElfSymbolAt(module, address, false, symbol, snapshot))
        return {};
    std::string name = symbol.Name;
    if (unmangle) {
        std::string unit;
        if (UnmangleName(name, unit) && !unit.empty())
            name = unit + "." + name;
    }
    return name;
}

// ---------------------------------------------------------------------------------------------
// Names

namespace {

bool IsIdentifierChar(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; }

// Length of the operator spelling that follows "operator" at text[at], or 0 for a named one
// (new, delete, a conversion), whose words run up to the parameter list.
size_t OperatorSymbolLength(std::string_view text, size_t at)
{
    static constexpr std::string_view Symbols[] = {"()", "[]", "->*", "->", "<=>", "<<=", ">>=", "<<", ">>", "<=", ">=", "==", "!=",
                                                    "&&", "||",  "++", "--",  "+=",  "-=",  "*=", "/=", "%=", "&=", "|=", "^=",
                                                    "<",  ">",   "+",  "-",   "*",   "/",   "%",  "&",  "|",  "^",  "!",  "~",
                                                    "=",  ","};
    for (std::string_view s : Symbols)
        if (text.substr(at, s.size()) == s)
            return s.size();
    return 0;
}

// Marks the characters of operator names, so that "<", ">" and "(" in them do not nest.
std::vector<bool> OperatorMask(std::string_view text)
{
    std::vector<bool> mask(text.size(), false);
    constexpr std::string_view Word = "operator";
    for (size_t at = text.find(Word); at != std::string_view::npos; at = text.find(Word, at + 1)) {
        if (at > 0 && IsIdentifierChar(text[at - 1]))
            continue;
        size_t end = at + Word.size();
        if (end < text.size() && IsIdentifierChar(text[end]))
            continue;
        if (const size_t n = OperatorSymbolLength(text, end)) {
            end += n;
        } else {
            // new, delete, new[], a conversion or a literal: up to a parameter list or the end.
            int depth = 0;
            while (end < text.size()) {
                const char c = text[end];
                if (c == '<')
                    ++depth;
                else if (c == '>')
                    --depth;
                else if (c == '(' && depth <= 0)
                    break;
                ++end;
            }
        }
        for (size_t i = at; i < end; ++i)
            mask[i] = true;
        at = end - 1;
    }
    return mask;
}

} // namespace

std::string RenderDemangledName(std::string_view demangled)
{
    // Special symbols keep their kind in front: "vtable for Foo" -> "vtable_for_Foo".
    static constexpr std::string_view Kinds[] = {"construction vtable for ", "vtable for ", "VTT for ", "typeinfo name for ",
                                                  "typeinfo for ", "guard variable for ", "TLS init function for ",
                                                  "TLS wrapper function for ", "transaction clone for ", "non-virtual thunk to ",
                                                  "virtual thunk to ", "covariant return thunk to "};
    for (std::string_view kind : Kinds)
        if (demangled.substr(0, kind.size()) == kind) {
            std::string prefix(kind);
            std::replace(prefix.begin(), prefix.end(), ' ', '_');
            return prefix + RenderDemangledName(demangled.substr(kind.size()));
        }
    std::string text(demangled);
    // Clone suffixes, innermost last: "f(int) [clone .isra.0] [clone .cold]".
    std::string suffix;
    for (;;) {
        const size_t at = text.rfind(" [clone ");
        if (at == std::string::npos || text.back() != ']')
            break;
        suffix = text.substr(at + 8, text.size() - at - 9) + suffix;
        text.resize(at);
    }
    // Trailing qualifiers of a member function, then its parameter list.
    const std::vector<bool> mask = OperatorMask(text);
    size_t end = text.size();
    for (bool trimmed = true; trimmed;) {
        trimmed = false;
        for (std::string_view q : {" const", " volatile", " &&", " &", " noexcept"})
            if (end >= q.size() && std::string_view(text).substr(end - q.size(), q.size()) == q) {
                end -= q.size();
                trimmed = true;
            }
    }
    if (end > 0 && text[end - 1] == ')' && !mask[end - 1]) {
        int depth = 0;
        for (size_t i = end; i-- > 0;) {
            if (mask[i])
                continue;
            if (text[i] == ')')
                ++depth;
            else if (text[i] == '(' && --depth == 0) {
                end = i;
                break;
            }
        }
    }
    text.resize(end);
    // The return type: everything up to the last blank outside brackets and operator names.
    {
        const std::vector<bool> nameMask = OperatorMask(text);
        int depth = 0;
        size_t start = 0;
        for (size_t i = 0; i < text.size(); ++i) {
            if (nameMask[i])
                continue;
            const char c = text[i];
            if (c == '<' || c == '(' || c == '[' || c == '{')
                ++depth;
            else if (c == '>' || c == ')' || c == ']' || c == '}')
                --depth;
            else if (c == ' ' && depth == 0)
                start = i + 1;
        }
        text.erase(0, start);
    }
    std::string out;
    out.reserve(text.size() + suffix.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == ':' && i + 1 < text.size() && text[i + 1] == ':') {
            out += '.';
            ++i;
        } else if (c == '(') {
            out += '{';
        } else if (c == ')') {
            out += '}';
        } else if (c == ' ') {
            if (!out.empty() && IsIdentifierChar(out.back()) && i + 1 < text.size() && IsIdentifierChar(text[i + 1]))
                out += '_';
        } else {
            out += c;
        }
    }
    out += suffix;
    return out.empty() ? std::string("?") : out;
}

bool DemangleSymbol(std::string_view mangled, std::string& rendered)
{
    if (mangled.size() < 3 || mangled.substr(0, 2) != "_Z")
        return false;
    const std::string name(mangled);
    int status = 0;
    char* text = abi::__cxa_demangle(name.c_str(), nullptr, nullptr, &status);
    if (status != 0 || !text) {
        std::free(text);
        return false;
    }
    rendered = RenderDemangledName(text);
    std::free(text);
    return true;
}

bool UnmangleName(std::string& name, std::string& unit)
{
    unit.clear();
    if (std::string rendered; DemangleSymbol(name, rendered)) {
        name = std::move(rendered);
        return true;
    }
    ReplaceCase(name, "::", ".", true);
    if (name.empty() || name[0] != '@')
        return false;
    std::string templateSuffix;
    if (name.size() > 1 && name[1] == '%') {
        const size_t at = name.rfind("%@");
        if (at != std::string::npos && at > 0)
            templateSuffix = "." + name.substr(at + 2);
    }
    size_t scan = 2;
    if (name.size() >= 7 && name.compare(0, 3, "@_$") == 0) {
        const size_t dollar = name.find('$', 4);
        const size_t at = dollar == std::string::npos ? std::string::npos : name.find('@', dollar + 1);
        if (at != std::string::npos)
            scan = at;
    }
    size_t unitEnd = std::string::npos;
    bool cut = false, destructor = false;
    for (size_t i = scan; i < name.size(); ++i) {
        if (name[i] == '$') {
            destructor = i + 1 < name.size() && name[i + 1] == 'd';
            name = name.substr(0, i) + templateSuffix;
            cut = true;
            break;
        }
        if (name[i] == '@') {
            name[i] = '.';
            if (unitEnd == std::string::npos)
                unitEnd = i;
        }
    }
    bool unitRemoved = false;
    if (unitEnd != std::string::npos && unitEnd >= 1) {
        const std::string found = name.substr(1, unitEnd - 1);
        if (name.size() > found.size() + 2) {
            name.erase(0, found.size() + 2);
            unit = found;
            unitRemoved = true;
        }
    }
    if (cut && !unitRemoved && !name.empty() && name[0] == '@')
        name.erase(0, 1);
    if (!name.empty() && name[0] == '%')
        name.erase(0, 1);
    else if (!name.empty() && name[0] == '.')
        name[0] = '@';
    if (!name.empty() && name.back() == '.')
        name += destructor ? "Destroy" : "Create";
    TrimText(name);
    if (!name.empty() && name.back() == '.')
        name += '?';
    return true;
}

uint32_t TickCount()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint32_t(uint64_t(now.tv_sec) * 1000 + uint64_t(now.tv_nsec) / 1000000);
}

uint32_t TicksBetween(uint32_t start, uint32_t now) { return now >= start ? now - start : UINT32_MAX - start + now; }

uint32_t TicksSince(uint32_t start) { return TicksBetween(start, TickCount()); }
