// The debug information of one loaded module: units, functions and lines from the embedded
// container, TD32 information or the files beside the module; lookups by address and name; a
// process-wide cache of the objects.
#pragma once

#include "crashreport/logic/VostMemory.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

struct TSegmentEntry {
    bool Valid = false;
    bool IsCode = false;
    uintptr_t Start = 0;
    uint64_t Size = 0;
    std::string Name;
    bool HasLines = false; // only the minimal-names compact form sets it
};

struct TPublicEntry {
    bool Valid = false;
    bool IsCode = false;
    std::string Name;
    uintptr_t Address = 0;
};

struct TLineEntry {
    int32_t Line = 0;
    uintptr_t Address = 0;
    bool operator==(const TLineEntry&) const = default;
};

// Where the tables came from.
enum class TDebugSource { None, Embedded, Td32, MapText, VostFile, Jdbg };

// The module's ranges the tables are read against; 0 = unknown.
struct TMapLayout {
    uintptr_t BaseOfCode = 0, TopOfCode = 0;
    uintptr_t BaseOfData = 0, TopOfData = 0;
};

// The names of the sections of our own that carry the debug information and, for the
// minimal-names mode, the stamp of the full information kept elsewhere.
constexpr std::string_view DebugInfoSection = ".vost.except";
constexpr std::string_view MinimalInfoSection = ".vost.mindebug";

class TMapFile {
public:
    // Empty and invalid; fill it with the Load routines (tests, the map tool).
    explicit TMapFile(const TMapLayout& layout = {});
    // Reads the first source that works: for a loaded module the embedded container, then TD32,
    // then the files beside it; without a module TD32 and the files beside path.
    TMapFile(const TModuleInfo* module, const std::string& path);

    bool Valid() const { return FValid; }
    TDebugSource Source() const { return FSource; }
    const std::vector<TSegmentEntry>& Segments() const { return FSegments; }
    const std::vector<TPublicEntry>& Publics() const { return FPublics; }
    const std::vector<TLineEntry>& Lines() const { return FLines; }
    const TMapLayout& Layout() const { return FLayout; }
    uintptr_t EntryPoint() const { return FEntryPoint; }
    uintptr_t ModuleHandle() const { return FModuleHandle; }
    const std::string& ModuleFileName() const { return FModuleFileName; }
    const std::string& MinimalInfoStamp() const { return FMinimalInfoStamp; }

    TSegmentEntry SegmentAt(bool isCode, uintptr_t address) const;
    TPublicEntry PublicAt(uintptr_t address) const;
    // 0 when not found; a unit without "." is tried with ".cpp", ".h" and ".c" appended too.
    uintptr_t PublicAddressByName(bool isCode, std::string_view unit, bool caseSensitive, std::string_view name) const;
    // The line at address (0 none, -1 for a unit with lines in a minimal-names table) and the
    // address of the next line entry in next.
    int32_t LineAt(uintptr_t address, uintptr_t& next) const;

    // The readers; each returns whether the source counts as read (see the sources' rules).
    bool LoadMapText(std::string_view text);
    bool LoadContainer(std::string_view bytes);
    bool LoadCompactForm(std::string_view payload);
    bool LoadTd32(std::string_view block);
    bool LoadJdbg(std::string_view bytes);
    // Minimal-names mode: the stamp a container must match.
    void SetMinimalInfoStamp(std::string stamp) { FMinimalInfoStamp = std::move(stamp); }
    // Sorts the lines by address (the readers leave them in file order).
    void SortLines();

private:
    void AddSegment(uintptr_t start, uint64_t size, std::string name, bool isCode, bool addBase, bool extendPrevious,
                    bool insertInOrder);
    void AddPublic(std::string name, uintptr_t address, bool isCode, bool mayCreateSegment);
    void SortSegments();
    void SortPublics();
    void MergeSegments(bool touchingOnly);
    bool ReadFilesBeside();
    bool ReadTd32File();
    uintptr_t BaseOf(bool isCode) const { return isCode ? FLayout.BaseOfCode : FLayout.BaseOfData; }

    TMapLayout FLayout;
    std::vector<TSegmentEntry> FSegments;
    std::vector<TPublicEntry> FPublics;
    std::vector<TLineEntry> FLines;
    ptrdiff_t FLastSegment[2] = {-1, -1}; // per class (data, code): the last segment added
    uintptr_t FEntryPoint = 0;
    uintptr_t FModuleHandle = 0;
    bool FValid = false;
    TDebugSource FSource = TDebugSource::None;
    std::string FModuleFileName;
    std::string FDebugFileBaseName;
    std::string FMinimalInfoStamp;
    bool FMinimalSearch = false;
};

// The compact form of the code segments, publics and lines of map (addresses relative to its
// base of code), as the container's payload holds it before compression.
std::string WriteCompactForm(const TMapFile& map, bool minimalNames = false);
// The container around a compact form: compressed, then enciphered under the key derived from
// the payload length. Version 3 adds the two stamp words and the flags.
std::string MakeDebugContainer(std::string_view compactForm, uint32_t version = 2, uint32_t stampA = 0, uint32_t stampB = 0,
                               uint32_t flags = 0);
// "$" and 8 hexadecimal digits of the container's length and its two stamp words, joined by ", ".
std::string MinimalInfoStampOf(std::string_view container);
// The cipher key of a payload of that length.
std::string DebugPayloadKey(uint32_t payloadLength);

// The debug information of the module holding address (0 = the program itself), from the cache
// or read now. Never nullptr; an object that is not Valid() when the address resolves to no
// module or nothing could be read. Cached objects are keyed by the module's base and file and are
// dropped when that mapping is gone or the file has changed.
std::shared_ptr<const TMapFile> DebugInfoForAddress(uintptr_t address, const TMemorySnapshot* snapshot = nullptr);
// Module file, unit, function (name and start) and line of address; false when it resolves to
// nothing.
bool DescribeAddress(uintptr_t address, std::string& moduleFileName, std::string& unitName, std::string& publicName,
                     uintptr_t& publicAddress, int32_t& line);
// "unit.function" when a function starts exactly at address, else empty.
std::string ProcNameAt(uintptr_t address);
// Keeps the caller's one-range cache: looks up only outside [rangeStart, rangeEnd) or with line 0.
void LineNumberAt(uintptr_t address, int32_t& line, uintptr_t& rangeStart, uintptr_t& rangeEnd);
// The two lookups as the report composer reaches them.
using TProcNameAtProc = std::string (*)(uintptr_t);
using TLineNumberAtProc = void (*)(uintptr_t, int32_t&, uintptr_t&, uintptr_t&);
extern TProcNameAtProc ProcNameAtProc;
extern TLineNumberAtProc LineNumberAtProc;
// Empties the cache (tests; the end of the process).
void ClearDebugInfoCache();
