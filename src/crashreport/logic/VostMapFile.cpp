// Debug-information reader: the embedded container, TD32 information, map text, ".vost" and
// ".jdbg" files; lookups; the per-process cache. Every count, offset and length read from these
// sources is checked against the bytes that remain before it is used.
#include "crashreport/logic/VostMapFile.h"

#include "crashreport/logic/VostCrypt.h"
#include "crashreport/logic/VostStrings.h"
#include "crashreport/logic/VostTools.h"
#include "crashreport/logic/VostZip.h"

#include <algorithm>
#include <cstring>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::string_view Marker = "VostDbgMark-14";
constexpr size_t MaxDebugFileSize = size_t(256) << 20;

// Little-endian reads over the bytes that remain; a read past the end fails and reads nothing.
class TCursor {
public:
    explicit TCursor(std::string_view data, size_t position = 0)
        : FData(data)
        , FPos(std::min(position, data.size()))
    {
    }
    size_t Remaining() const { return FData.size() - FPos; }
    size_t Position() const { return FPos; }
    bool U8(uint8_t& v) { return Raw(&v, 1); }
    bool U16(uint16_t& v) { return Raw(&v, 2); }
    bool U32(uint32_t& v) { return Raw(&v, 4); }
    bool Bytes(size_t n, std::string_view& out)
    {
        if (n > Remaining())
            return false;
        out = FData.substr(FPos, n);
        FPos += n;
        return true;
    }
    // One signed byte, or 0x80 followed by an i32.
    bool Packed(int32_t& v)
    {
        uint8_t b;
        if (!U8(b))
            return false;
        if (b != 0x80) {
            v = int8_t(b);
            return true;
        }
        uint32_t w;
        if (!U32(w))
            return false;
        v = int32_t(w);
        return true;
    }
    // A length byte and that many bytes; fewer bytes left end the data.
    bool PackedString(std::string& out)
    {
        uint8_t n;
        if (!U8(n))
            return false;
        std::string_view bytes;
        if (!Bytes(n, bytes)) {
            out.clear();
            FPos = FData.size();
            return false;
        }
        out.assign(bytes);
        return true;
    }

private:
    bool Raw(void* v, size_t n)
    {
        if (n > Remaining())
            return false;
        std::memcpy(v, FData.data() + FPos, n);
        FPos += n;
        return true;
    }
    std::string_view FData;
    size_t FPos;
};

uint32_t Le32At(std::string_view data, size_t at)
{
    uint32_t v = 0;
    if (at <= data.size() && data.size() - at >= 4)
        std::memcpy(&v, data.data() + at, 4);
    return v;
}

uint16_t Le16At(std::string_view data, size_t at)
{
    uint16_t v = 0;
    if (at <= data.size() && data.size() - at >= 2)
        std::memcpy(&v, data.data() + at, 2);
    return v;
}

bool ParseHexField(std::string_view line, size_t at, size_t digits, uint32_t& value)
{
    if (at > line.size() || line.size() - at < digits)
        return false;
    value = 0;
    for (size_t i = at; i < at + digits; ++i) {
        const int d = HexDigitValue(line[i]);
        if (d < 0)
            return false;
        value = value << 4 | uint32_t(d);
    }
    return true;
}

bool ParseDecimalField(std::string_view text, int32_t& value)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.empty() || text.size() > 10)
        return false;
    int64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v > INT32_MAX)
        return false;
    value = int32_t(v);
    return true;
}

char At(std::string_view line, size_t i) { return i < line.size() ? line[i] : '\0'; }

std::string WithoutPath(std::string_view name)
{
    const size_t slash = name.find_last_of("/\\");
    return std::string(slash == std::string_view::npos ? name : name.substr(slash + 1));
}

// The path without the extension of its file name ("a.b/prog" stays whole).
std::string WithoutExtension(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return path;
    return path.substr(0, dot);
}

bool ReadWholeFile(const std::string& path, std::string& bytes, size_t maxSize = MaxDebugFileSize)
{
    bytes.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info{};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0 && uint64_t(info.st_size) <= maxSize;
    if (ok) {
        bytes.resize(size_t(info.st_size));
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ok = done == bytes.size();
    }
    ::close(fd);
    if (!ok)
        bytes.clear();
    return ok;
}

bool FileDay(const std::string& path, int64_t& day)
{
    struct stat info{};
    if (stat(path.c_str(), &info) != 0)
        return false;
    day = int64_t(info.st_mtim.tv_sec) / 86400;
    return true;
}

bool SegmentBefore(const TSegmentEntry& a, const TSegmentEntry& b)
{
    if (a.IsCode != b.IsCode)
        return a.IsCode;
    if (a.Start != b.Start)
        return a.Start < b.Start;
    return a.Size > b.Size;
}

bool EndsWithNoCase(std::string_view text, std::string_view tail)
{
    return text.size() >= tail.size() && SameTextNoCase(text.substr(text.size() - tail.size()), tail);
}

} // namespace

// ---------------------------------------------------------------------------------------------

TMapFile::TMapFile(const TMapLayout& layout)
    : FLayout(layout)
{
}

TMapFile::TMapFile(const TModuleInfo* module, const std::string& path)
{
    FModuleFileName = path;
    FDebugFileBaseName = path;
    if (module) {
        FModuleHandle = module->Base;
        FLayout = {module->CodeStart, module->CodeEnd, module->DataStart, module->DataEnd};
        const std::string embedded = ResourceText(path, DebugInfoSection);
        if (!embedded.empty() && LoadContainer(embedded)) {
            FValid = true;
            if (FSource == TDebugSource::None)
                FSource = TDebugSource::Embedded;
        }
    }
    if (!FValid)
        FValid = ReadTd32File() || ReadFilesBeside();
    SortLines();
}

// ---------------------------------------------------------------------------------------------
// Table rules

void TMapFile::AddSegment(uintptr_t start, uint64_t size, std::string name, bool isCode, bool addBase, bool extendPrevious,
                          bool insertInOrder)
{
    if (EndsWithNoCase(name, ".pas") || EndsWithNoCase(name, ".dpr"))
        name.resize(name.size() - 4);
    if (addBase)
        start += BaseOf(isCode);
    ptrdiff_t& last = FLastSegment[isCode ? 1 : 0];
    if (extendPrevious && last >= 0 && size_t(last) < FSegments.size()) {
        TSegmentEntry& previous = FSegments[size_t(last)];
        if (previous.Name == name && previous.Start <= start && start - previous.Start <= previous.Size + 2) {
            // Never shrinks: a piece inside the previous one leaves it as it is.
            previous.Size = std::max<uint64_t>(previous.Size, start + size - previous.Start);
            return;
        }
    }
    TSegmentEntry entry{true, isCode, start, size, std::move(name), false};
    size_t at = FSegments.size();
    if (insertInOrder) {
        at = size_t(std::upper_bound(FSegments.begin(), FSegments.end(), entry, SegmentBefore) - FSegments.begin());
        ptrdiff_t& other = FLastSegment[isCode ? 0 : 1];
        if (other >= ptrdiff_t(at))
            ++other;
    }
    FSegments.insert(FSegments.begin() + ptrdiff_t(at), std::move(entry));
    last = ptrdiff_t(at);
}

void TMapFile::AddPublic(std::string name, uintptr_t address, bool isCode, bool mayCreateSegment)
{
    if (name.size() >= 6 && name[0] == '@' && name[1] == '$' && name[2] == 'x' && name[4] == '$')
        return;
    std::string unit;
    UnmangleName(name, unit);
    address += BaseOf(isCode);
    const TSegmentEntry covering = SegmentAt(isCode, address);
    if (covering.Valid) {
        if (name == covering.Name)
            name = "initialization";
        else if (!unit.empty() && !SameTextNoCase(unit, covering.Name))
            name = unit + "." + name;
    }
    FPublics.push_back({true, isCode, std::move(name), address});
    if (!mayCreateSegment)
        return;
    const ptrdiff_t last = FLastSegment[isCode ? 1 : 0];
    if (last >= 0 && size_t(last) < FSegments.size()) {
        TSegmentEntry& segment = FSegments[size_t(last)];
        if (segment.Start + segment.Size < address) {
            uintptr_t end = address;
            if (size_t(last) + 1 < FSegments.size() && FSegments[size_t(last) + 1].IsCode == isCode)
                end = std::min(end, FSegments[size_t(last) + 1].Start);
            if (end > segment.Start)
                segment.Size = end - segment.Start;
        }
    }
    if (!covering.Valid && !unit.empty() && (last < 0 || size_t(last) >= FSegments.size() || FSegments[size_t(last)].Name != unit))
        AddSegment(address, 1, unit, isCode, false, true, true);
}

void TMapFile::SortSegments()
{
    std::stable_sort(FSegments.begin(), FSegments.end(), SegmentBefore);
    FLastSegment[0] = FLastSegment[1] = -1;
}

void TMapFile::SortPublics()
{
    std::stable_sort(FPublics.begin(), FPublics.end(), [](const TPublicEntry& a, const TPublicEntry& b) { return a.Address < b.Address; });
}

void TMapFile::SortLines()
{
    std::stable_sort(FLines.begin(), FLines.end(), [](const TLineEntry& a, const TLineEntry& b) { return a.Address < b.Address; });
}

void TMapFile::MergeSegments(bool touchingOnly)
{
    if (FSegments.size() < 2)
        return;
    std::vector<TSegmentEntry> out;
    out.reserve(FSegments.size());
    TSegmentEntry current = std::move(FSegments[0]);
    for (size_t j = 1; j < FSegments.size(); ++j) {
        TSegmentEntry& next = FSegments[j];
        if (current.Size == 0 || current.Start == next.Start) {
            current = std::move(next);
            continue;
        }
        if (current.IsCode == next.IsCode && (!touchingOnly || current.Start + current.Size >= next.Start)) {
            current.Size = next.Start - current.Start;
            if (SameTextNoCase(current.Name, next.Name)) {
                current.Size += next.Size;
                continue;
            }
        }
        out.push_back(std::move(current));
        current = std::move(next);
    }
    out.push_back(std::move(current));
    FSegments = std::move(out);
    FLastSegment[0] = FLastSegment[1] = -1;
}

// ---------------------------------------------------------------------------------------------
// Lookups

TSegmentEntry TMapFile::SegmentAt(bool isCode, uintptr_t address) const
{
    // The entries of one class are one sorted run.
    auto first = std::partition_point(FSegments.begin(), FSegments.end(), [&](const TSegmentEntry& s) { return s.IsCode && !isCode; });
    auto end = std::partition_point(first, FSegments.end(), [&](const TSegmentEntry& s) { return s.IsCode == isCode; });
    auto it = std::upper_bound(first, end, address, [](uintptr_t a, const TSegmentEntry& s) { return a < s.Start; });
    // Nested entries (a longer one at the same or an earlier start) are looked at a few back.
    for (int steps = 0; it != first && steps < 8; ++steps) {
        --it;
        if (address - it->Start < it->Size)
            return *it;
    }
    return {};
}

TPublicEntry TMapFile::PublicAt(uintptr_t address) const
{
    auto it = std::upper_bound(FPublics.begin(), FPublics.end(), address, [](uintptr_t a, const TPublicEntry& p) { return a < p.Address; });
    if (it == FPublics.begin())
        return {};
    if (it == FPublics.end() && FLayout.TopOfCode != 0 && address >= FLayout.TopOfCode)
        return {};
    return *(it - 1);
}

uintptr_t TMapFile::PublicAddressByName(bool isCode, std::string_view unit, bool caseSensitive, std::string_view name) const
{
    auto search = [&](std::string_view unitName) -> uintptr_t {
        for (const TSegmentEntry& segment : FSegments) {
            if (segment.IsCode != isCode || !SameTextNoCase(segment.Name, unitName))
                continue;
            for (const TPublicEntry& p : FPublics)
                if (p.IsCode == isCode && p.Address >= segment.Start && p.Address - segment.Start <= segment.Size &&
                    (caseSensitive ? p.Name == name : SameTextNoCase(p.Name, name)))
                    return p.Address;
        }
        return 0;
    };
    if (const uintptr_t found = search(unit))
        return found;
    if (unit.find('.') != std::string_view::npos)
        return 0;
    for (const char* extension : {".cpp", ".h", ".c"})
        if (const uintptr_t found = search(std::string(unit) + extension))
            return found;
    return 0;
}

int32_t TMapFile::LineAt(uintptr_t address, uintptr_t& next) const
{
    if (FLines.empty()) {
        const TSegmentEntry segment = SegmentAt(true, address);
        return segment.Valid && segment.HasLines ? -1 : 0;
    }
    next = address + 1;
    auto it = std::upper_bound(FLines.begin(), FLines.end(), address, [](uintptr_t a, const TLineEntry& l) { return a < l.Address; });
    if (it == FLines.begin())
        return 0;
    if (it == FLines.end() && FLayout.TopOfCode != 0 && address >= FLayout.TopOfCode)
        return 0;
    const TLineEntry& entry = *(it - 1);
    const TSegmentEntry segment = SegmentAt(true, address);
    if (!segment.Valid || entry.Address < segment.Start || entry.Address - segment.Start > segment.Size)
        return 0;
    if (it != FLines.end())
        next = it->Address;
    return entry.Line;
}

// ---------------------------------------------------------------------------------------------
// Map text

bool TMapFile::LoadMapText(std::string_view text)
{
    enum class TBlock { None, SegmentClasses, Segments, Publics, Lines };
    TBlock block = TBlock::None;
    bool blockStarted = false; // a block's lines follow its heading after any empty lines
    bool firstLineOfBlock = true;
    uint32_t dataSegment = 2, codeOffset = 0;
    auto finishBlock = [&] {
        if (block == TBlock::Segments)
            SortSegments();
        block = TBlock::None;
        blockStarted = false;
    };
    while (!text.empty()) {
        const size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
            line.remove_prefix(1);

        if (line.find("Start         Length     Name                   Class") != std::string_view::npos) {
            finishBlock();
            block = TBlock::SegmentClasses;
            blockStarted = true;
            continue;
        }
        if (line.find("Detailed map of segments") != std::string_view::npos) {
            finishBlock();
            block = TBlock::Segments;
            continue;
        }
        if (line.find("Publics by Value") != std::string_view::npos) {
            finishBlock();
            block = TBlock::Publics;
            continue;
        }
        if (const size_t at = line.find("Line numbers for "); at != std::string_view::npos) {
            finishBlock();
            const size_t open = line.find('(', 17);
            if (open != std::string_view::npos && line.find(')', open) != std::string_view::npos) {
                block = TBlock::Lines;
                firstLineOfBlock = true;
            }
            continue;
        }
        if (line.find("Program entry point at ") != std::string_view::npos) {
            finishBlock();
            uint32_t entry;
            if (line.size() >= 35 && At(line, 27) == ':' && ParseHexField(line, 28, 8, entry))
                FEntryPoint = FLayout.BaseOfCode + entry;
            continue;
        }
        if (line.empty()) {
            if (blockStarted)
                finishBlock();
            continue;
        }
        if (block == TBlock::None)
            continue;
        blockStarted = true;
        switch (block) {
        case TBlock::SegmentClasses: {
            uint32_t value;
            if (line.find(".text") != std::string_view::npos && At(line, 4) == ':' && At(line, 13) == ' ' && At(line, 22) == 'H' &&
                ParseHexField(line, 14, 8, value))
                codeOffset = uint32_t((uint64_t(value) + 4095) / 4096 * 4096);
            if (line.find(".data") != std::string_view::npos) {
                int32_t d = 0;
                if (!ParseDecimalField(line.substr(0, 4), d) || d < 2 || d > 9)
                    d = 2;
                dataSegment = uint32_t(d);
            }
            break;
        }
        case TBlock::Segments: {
            if (line.size() <= 72 || At(line, 4) != ':' || At(line, 13) != ' ' || At(line, 22) != ' ' || line.substr(23, 2) != "C=")
                break;
            uint32_t s, start, size;
            if (!ParseHexField(line, 0, 4, s) || !ParseHexField(line, 5, 8, start) || !ParseHexField(line, 14, 8, size))
                break;
            if (s < 1 || s > dataSegment)
                break;
            std::string_view rest = line.substr(0, line.rfind(' '));
            while (!rest.empty() && rest.back() == ' ')
                rest.remove_suffix(1);
            const size_t nameAt = rest.find_last_of("=\\|");
            const std::string name(nameAt == std::string_view::npos ? rest : rest.substr(nameAt + 1));
            if (s > 1 && s < dataSegment)
                start += codeOffset;
            AddSegment(start, size, name, s < dataSegment, true, false, false);
            break;
        }
        case TBlock::Publics: {
            if (line.size() <= 13 || At(line, 4) != ':')
                break;
            std::string_view rest = line;
            if (rest.back() == ')') {
                const size_t open = rest.rfind('(');
                if (open != std::string_view::npos)
                    rest = rest.substr(0, open);
            }
            while (!rest.empty() && rest.back() == ' ')
                rest.remove_suffix(1);
            const size_t blank = rest.rfind(' ');
            if (blank == std::string_view::npos || blank + 1 < 12 || blank + 1 >= rest.size())
                break;
            uint32_t s, address;
            if (!ParseHexField(line, 0, 4, s) || !ParseHexField(line, 5, 8, address) || s < 1 || s > dataSegment)
                break;
            if (s > 1 && s < dataSegment)
                address += codeOffset;
            AddPublic(std::string(rest.substr(blank + 1)), address, s < dataSegment, false);
            break;
        }
        case TBlock::Lines: {
            size_t at = 0;
            for (;;) {
                while (at < line.size() && line[at] == ' ')
                    ++at;
                const size_t colon = line.find(':', at);
                if (colon == std::string_view::npos || line.size() - colon - 1 < 8 || colon < at + 5 || line[colon - 5] != ' ')
                    break;
                uint32_t s, offset;
                int32_t number;
                if (!ParseHexField(line, colon - 4, 4, s) || !ParseHexField(line, colon + 1, 8, offset) ||
                    !ParseDecimalField(line.substr(at, colon - 5 - at), number))
                    break;
                at = colon + 9;
                if (s == 0 || s >= dataSegment)
                    continue;
                const uintptr_t address = FLayout.BaseOfCode + offset + (s >= 2 ? codeOffset : 0);
                if (!firstLineOfBlock && !FLines.empty() && address <= FLines.back().Address)
                    continue;
                FLines.push_back({number, address});
            }
            firstLineOfBlock = false;
            break;
        }
        case TBlock::None:
            break;
        }
    }
    finishBlock();
    SortPublics();
    FSource = TDebugSource::MapText;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Compact form and container

bool TMapFile::LoadCompactForm(std::string_view payload)
{
    const bool minimal = !FMinimalInfoStamp.empty();
    TCursor in(payload);
    uint32_t count;
    // Segments: start, size, then a name or (minimal) a lines flag: at least 9 bytes each.
    if (!in.U32(count) || count > in.Remaining() / 9)
        return false;
    std::vector<TSegmentEntry> segments;
    segments.reserve(count);
    for (uint32_t i = 0; i < count; ++i) {
        uint32_t start, size;
        TSegmentEntry s{true, true, 0, 0, {}, false};
        if (!in.U32(start) || !in.U32(size))
            return false;
        s.Start = FLayout.BaseOfCode + start;
        s.Size = size;
        if (minimal) {
            uint8_t hasLines;
            if (!in.U8(hasLines))
                return false;
            s.Name = "segment%" + DecimalText(int32_t(i));
            s.HasLines = hasLines != 0;
        } else if (!in.PackedString(s.Name)) {
            return false;
        }
        segments.push_back(std::move(s));
    }
    // Publics: a name (minimal: none) and a packed address step: at least 1 byte each.
    if (!in.U32(count) || count > in.Remaining())
        return false;
    std::vector<TPublicEntry> publics;
    publics.reserve(count);
    uintptr_t address = 0;
    for (uint32_t i = 0; i < count; ++i) {
        TPublicEntry p{true, true, {}, 0};
        if (minimal)
            p.Name = "public%" + DecimalText(int32_t(i));
        else if (!in.PackedString(p.Name))
            return false;
        if (i == 0) {
            uint32_t first;
            if (!in.U32(first))
                return false;
            address = FLayout.BaseOfCode + first;
        } else {
            int32_t step;
            if (!in.Packed(step))
                return false;
            address += uintptr_t(intptr_t(step));
        }
        p.Address = address;
        publics.push_back(std::move(p));
    }
    if (!in.U32(count) || (count > 0 && count - 1 > (in.Remaining() < 8 ? 0 : (in.Remaining() - 8) / 2)))
        return false;
    std::vector<TLineEntry> lines;
    lines.reserve(count);
    if (count > 0) {
        uint32_t line, first;
        if (!in.U32(line) || !in.U32(first))
            return false;
        TLineEntry entry{int32_t(line), FLayout.BaseOfCode + first};
        lines.push_back(entry);
        for (uint32_t i = 1; i < count; ++i) {
            int32_t lineStep, addressStep;
            if (!in.Packed(lineStep) || !in.Packed(addressStep))
                return false;
            entry.Line = int32_t(uint32_t(entry.Line) + uint32_t(lineStep));
            entry.Address += uintptr_t(intptr_t(addressStep));
            lines.push_back(entry);
        }
    }
    if (in.Remaining() == 4) {
        uint32_t entry;
        in.U32(entry);
        FEntryPoint = FLayout.BaseOfCode + entry;
    }
    for (TSegmentEntry& s : segments)
        FSegments.push_back(std::move(s));
    for (TPublicEntry& p : publics)
        FPublics.push_back(std::move(p));
    FLines.insert(FLines.end(), lines.begin(), lines.end());
    SortSegments();
    SortPublics();
    return true;
}

std::string DebugPayloadKey(uint32_t payloadLength)
{
    std::string block(8, '\0');
    const uint32_t words[2] = {payloadLength, payloadLength ^ 0x56535431u};
    std::memcpy(block.data(), words, sizeof words);
    EncryptWords(block, "Tarvell debug information");
    return block;
}

std::string MinimalInfoStampOf(std::string_view container)
{
    return HexTextPadded(uint32_t(container.size()), 8, '0') + ", " + HexTextPadded(Le32At(container, 22), 8, '0') + ", " +
           HexTextPadded(Le32At(container, 26), 8, '0');
}

bool TMapFile::LoadContainer(std::string_view bytes)
{
    if (bytes.size() < 23 || bytes.substr(0, Marker.size()) != Marker)
        return false;
    const uint32_t version = Le32At(bytes, 18);
    if (version != 2 && version != 3)
        return false;
    const size_t header = version == 3 ? 34 : 22;
    if (bytes.size() < header)
        return false;
    if (!FMinimalInfoStamp.empty() && MinimalInfoStampOf(bytes) != FMinimalInfoStamp)
        return false;
    // The flags word exists in version 3 headers only.
    const uint32_t flags = version == 3 ? Le32At(bytes, 30) : 0;
    if (flags & 1) {
        if (FMinimalInfoStamp.empty()) {
            FMinimalInfoStamp = ResourceText(FModuleFileName, MinimalInfoSection);
            if (FMinimalInfoStamp.size() != 31)
                FMinimalInfoStamp.clear();
            if (!FMinimalInfoStamp.empty()) {
                FMinimalSearch = true;
                const bool beside = ReadFilesBeside();
                FMinimalSearch = false;
                if (beside)
                    return true;
            }
        }
    } else {
        FMinimalInfoStamp.clear();
    }
    const uint32_t length = Le32At(bytes, 14);
    if (length <= bytes.size() - header) {
        std::string payload(bytes.substr(header, length));
        DecryptWords(payload, DebugPayloadKey(length));
        const std::string compact = InflateText(payload);
        if (!compact.empty())
            LoadCompactForm(compact);
    }
    return true;
}

std::string WriteCompactForm(const TMapFile& map, bool minimalNames)
{
    std::string out;
    auto u8 = [&](uint8_t v) { out += char(v); };
    auto u32 = [&](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    auto packed = [&](int64_t v) {
        if (v >= -127 && v <= 127) {
            u8(uint8_t(int8_t(v)));
        } else {
            u8(0x80);
            u32(uint32_t(int32_t(v)));
        }
    };
    auto packedString = [&](const std::string& s) {
        const size_t n = std::min<size_t>(s.size(), 255);
        u8(uint8_t(n));
        out.append(s, 0, n);
    };
    const uintptr_t base = map.Layout().BaseOfCode;
    std::vector<const TSegmentEntry*> segments;
    for (const TSegmentEntry& s : map.Segments())
        if (s.IsCode)
            segments.push_back(&s);
    u32(uint32_t(segments.size()));
    for (const TSegmentEntry* s : segments) {
        u32(uint32_t(s->Start - base));
        u32(uint32_t(s->Size));
        if (minimalNames) {
            bool hasLines = false;
            for (const TLineEntry& l : map.Lines())
                if (l.Address >= s->Start && l.Address - s->Start < s->Size) {
                    hasLines = true;
                    break;
                }
            u8(hasLines ? 1 : 0);
        } else {
            packedString(s->Name);
        }
    }
    std::vector<const TPublicEntry*> publics;
    for (const TPublicEntry& p : map.Publics())
        if (p.IsCode)
            publics.push_back(&p);
    u32(uint32_t(publics.size()));
    uintptr_t previous = 0;
    for (size_t i = 0; i < publics.size(); ++i) {
        if (!minimalNames)
            packedString(publics[i]->Name);
        if (i == 0)
            u32(uint32_t(publics[i]->Address - base));
        else
            packed(int64_t(publics[i]->Address - previous));
        previous = publics[i]->Address;
    }
    const std::vector<TLineEntry>& lines = map.Lines();
    u32(uint32_t(lines.size()));
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i == 0) {
            u32(uint32_t(lines[0].Line));
            u32(uint32_t(lines[0].Address - base));
        } else {
            packed(int64_t(lines[i].Line) - lines[i - 1].Line);
            packed(int64_t(lines[i].Address) - int64_t(lines[i - 1].Address));
        }
    }
    if (map.EntryPoint() >= base && map.EntryPoint() != 0)
        u32(uint32_t(map.EntryPoint() - base));
    return out;
}

std::string MakeDebugContainer(std::string_view compactForm, uint32_t version, uint32_t stampA, uint32_t stampB, uint32_t flags)
{
    std::string payload = DeflateText(compactForm);
    EncryptWords(payload, DebugPayloadKey(uint32_t(payload.size())));
    std::string out(Marker);
    auto u32 = [&](uint32_t v) { out.append(reinterpret_cast<const char*>(&v), 4); };
    u32(uint32_t(payload.size()));
    u32(version);
    if (version == 3) {
        u32(stampA);
        u32(stampB);
        u32(flags);
    }
    return out + payload;
}

// ---------------------------------------------------------------------------------------------
// TD32

bool TMapFile::LoadTd32(std::string_view block)
{
    if (block.size() < 8 || (block.substr(0, 4) != "FB09" && block.substr(0, 4) != "FB0A"))
        return false;
    struct TSubsection {
        uint16_t Kind;
        std::string_view Data;
    };
    std::vector<TSubsection> subsections;
    std::set<uint32_t> visited;
    for (uint32_t directory = Le32At(block, 4); directory != 0 && visited.insert(directory).second && visited.size() <= 1024;) {
        TCursor in(block, directory);
        uint16_t headerSize, entrySize;
        uint32_t count, next;
        if (directory >= block.size() || !in.U16(headerSize) || !in.U16(entrySize) || !in.U32(count) || !in.U32(next))
            break;
        if (entrySize < 12 || headerSize < 12 || headerSize > block.size() - directory)
            break;
        const size_t entries = directory + headerSize;
        if (count > (block.size() - entries) / entrySize)
            break;
        for (uint32_t i = 0; i < count; ++i) {
            const size_t at = entries + size_t(i) * entrySize;
            const uint16_t kind = Le16At(block, at);
            const uint32_t offset = Le32At(block, at + 4), size = Le32At(block, at + 8);
            if (offset <= block.size() && size <= block.size() - offset)
                subsections.push_back({kind, block.substr(offset, size)});
        }
        directory = next;
    }

    std::vector<std::string> names;
    for (const TSubsection& s : subsections) {
        if (s.Kind != 0x130)
            continue;
        TCursor in(s.Data);
        uint32_t count;
        if (!in.U32(count))
            break;
        for (uint32_t i = 0; i < count && in.Remaining() >= 2; ++i) {
            uint8_t length;
            std::string_view text, zero;
            if (!in.U8(length) || !in.Bytes(length, text) || !in.Bytes(1, zero))
                break;
            names.emplace_back(text);
        }
        break;
    }
    auto name = [&](uint32_t index) { return index >= 1 && index <= names.size() ? names[index - 1] : std::string(); };

    for (const TSubsection& s : subsections) {
        if (s.Kind != 0x120)
            continue;
        const uint16_t count = Le16At(s.Data, 4);
        if (s.Data.size() < 28 || count > (s.Data.size() - 28) / 12)
            continue;
        const std::string moduleName = WithoutPath(name(Le32At(s.Data, 8)));
        bool dataSeen = false;
        for (uint16_t i = 0; i < count; ++i) {
            const size_t at = 28 + size_t(i) * 12;
            const bool isCode = Le16At(s.Data, at + 2) & 1;
            const uint32_t offset = Le32At(s.Data, at + 4), size = Le32At(s.Data, at + 8);
            if (size == 0 || (!isCode && dataSeen))
                continue;
            dataSeen = dataSeen || !isCode;
            AddSegment(offset, size, moduleName, isCode, true, true, false);
        }
    }

    for (const TSubsection& s : subsections) {
        if (s.Kind != 0x127)
            continue;
        const std::string_view data = s.Data;
        const uint16_t files = Le16At(data, 0);
        if (data.size() < 4 || files > (data.size() - 4) / 4)
            continue;
        for (uint16_t f = 0; f < files; ++f) {
            const uint32_t entry = Le32At(data, 4 + size_t(f) * 4);
            if (entry > data.size() || data.size() - entry < 6)
                continue;
            const uint16_t blocks = Le16At(data, entry);
            const std::string sourceName = WithoutPath(name(Le32At(data, entry + 2)));
            if (blocks > (data.size() - entry - 6) / 4)
                continue;
            for (uint16_t b = 0; b < blocks; ++b) {
                const uint32_t at = Le32At(data, entry + 6 + size_t(b) * 4);
                if (at > data.size() || data.size() - at < 4)
                    continue;
                const uint16_t segment = Le16At(data, at), pairs = Le16At(data, at + 2);
                if (segment < 1 || segment > 2 || pairs == 0 || pairs > (data.size() - at - 4) / 6)
                    continue;
                uintptr_t low = UINTPTR_MAX, high = 0;
                for (uint16_t p = 0; p < pairs; ++p) {
                    const uintptr_t address = FLayout.BaseOfCode + Le32At(data, at + 4 + size_t(p) * 4);
                    const uint16_t line = Le16At(data, at + 4 + size_t(pairs) * 4 + size_t(p) * 2);
                    FLines.push_back({int32_t(line), address});
                    low = std::min(low, address);
                    high = std::max(high, address);
                }
                AddSegment(low, uint64_t(high - low) + 1, sourceName, true, false, true, false);
            }
        }
    }
    SortSegments();
    MergeSegments(true);

    auto walk = [&](std::string_view data, size_t first) {
        size_t at = first;
        while (at <= data.size() && data.size() - at >= 4) {
            const uint16_t length = Le16At(data, at);
            if (length == 0 || size_t(length) + 2 > data.size() - at)
                break;
            const std::string_view record = data.substr(at, size_t(length) + 2);
            const uint16_t kind = Le16At(record, 2);
            auto add = [&](size_t nameAt, size_t offsetAt, bool isCode) {
                if (record.size() < std::max(nameAt, offsetAt) + 4)
                    return;
                const uint32_t index = Le32At(record, nameAt);
                if (index != 0)
                    AddPublic(name(index), Le32At(record, offsetAt), isCode, true);
            };
            if (kind == 0x0204 || kind == 0x0205)
                add(40, 28, true);
            else if (kind == 0x0201 || kind == 0x0202)
                add(16, 4, false);
            else if (kind == 0x0020)
                add(12, 20, true);
            else if (kind == 0x0021)
                add(12, 20, false);
            at += size_t(length) + 2;
        }
    };
    bool global = false;
    for (const TSubsection& s : subsections)
        if (s.Kind == 0x129) {
            global = true;
            walk(s.Data, 32);
        }
    if (!global)
        for (const TSubsection& s : subsections)
            if (s.Kind == 0x125)
                walk(s.Data, 4);
    SortPublics();
    SortSegments();
    MergeSegments(false);
    FSource = TDebugSource::Td32;
    return true;
}

bool TMapFile::ReadTd32File()
{
    if (FDebugFileBaseName.empty())
        return false;
    const std::string base = WithoutExtension(FDebugFileBaseName);
    std::string path = base + ".tds";
    struct stat info{};
    if (stat(path.c_str(), &info) == 0) {
        int64_t tdsDay, mapDay;
        if (FileDay(path, tdsDay) && FileDay(base + ".map", mapDay) && tdsDay < mapDay)
            return false;
    } else {
        path = FDebugFileBaseName;
    }
    // Only a file that starts with the signature is read whole (the module itself usually is none).
    char signature[4] = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool signed_ = ::pread(fd, signature, 4, 0) == 4 &&
                         (std::memcmp(signature, "FB09", 4) == 0 || std::memcmp(signature, "FB0A", 4) == 0);
    ::close(fd);
    std::string bytes;
    return signed_ && ReadWholeFile(path, bytes) && LoadTd32(bytes);
}

// ---------------------------------------------------------------------------------------------
// .jdbg

namespace {

// 7 bits a byte, least significant first; false at the end of the data or past 5 bytes.
bool ReadVarint(std::string_view data, size_t& at, uint32_t& value)
{
    value = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        if (at >= data.size())
            return false;
        const uint8_t b = uint8_t(data[at++]);
        value |= uint32_t(b & 0x7F) << shift;
        if (!(b & 0x80))
            return true;
    }
    return false;
}

constexpr uint32_t ListEnd = 2147483647;

std::string JdbgName(std::string_view data, uint32_t table, uint32_t k)
{
    if (k == 0)
        return {};
    const uint64_t at = uint64_t(table) + k - 1;
    if (at >= data.size())
        return {};
    size_t p = size_t(at);
    std::string out;
    if (uint8_t(data[p]) == 1) {
        for (++p; p < data.size() && data[p] != 0 && out.size() < 255; ++p) {
            const uint8_t b = uint8_t(data[p]);
            out += char(b == 0xAA ? b : b ^ 0xAA);
        }
        return out;
    }
    if (uint8_t(data[p]) == 2) {
        out += '@';
        ++p;
    }
    auto appendCode = [&](uint8_t code) {
        if (code == 0 || out.size() >= 255)
            return false;
        if (code <= 10)
            out += char('0' + code - 1);
        else if (code <= 36)
            out += char('A' + code - 11);
        else if (code <= 62)
            out += char('a' + code - 37);
        else
            out += '_';
        return true;
    };
    while (p < data.size()) {
        const uint8_t b0 = uint8_t(data[p]);
        const uint8_t b1 = p + 1 < data.size() ? uint8_t(data[p + 1]) : 0;
        const uint8_t b2 = p + 2 < data.size() ? uint8_t(data[p + 2]) : 0;
        p += 3;
        const uint8_t codes[4] = {uint8_t(b0 & 63), uint8_t(((b1 << 2) & 63) | (b0 >> 6)), uint8_t(((b2 << 4) & 63) | (b1 >> 4)),
                                  uint8_t(b2 >> 2)};
        for (uint8_t c : codes)
            if (!appendCode(c))
                return out;
    }
    return out;
}

} // namespace

bool TMapFile::LoadJdbg(std::string_view data)
{
    if (data.size() < 35 || data.size() % 4 != 0 || data.substr(0, 4) != "JDBG" || uint8_t(data[4]) != 1)
        return false;
    if (data[33] != 0) {
        const uint32_t stored = Le32At(data, 29);
        uint32_t sum = 0;
        for (size_t i = 0; i < data.size(); i += 4)
            sum += Le32At(data, i);
        sum -= stored;
        if (((sum >> 8) | (sum << 24)) != stored)
            return false;
    }
    const uint32_t units = Le32At(data, 9), symbols = Le32At(data, 13), lines = Le32At(data, 17), names = Le32At(data, 21);

    size_t at = units;
    uint32_t address = 0, nameOffset = 0, a, n;
    while (ReadVarint(data, at, a) && a != ListEnd && ReadVarint(data, at, n) && n != ListEnd) {
        address += a;
        nameOffset += n;
        AddSegment(FLayout.BaseOfCode + address, 1, WithoutPath(JdbgName(data, names, nameOffset)), true, false, false, false);
    }
    SortSegments();
    MergeSegments(false);
    if (FLayout.TopOfCode != 0) {
        auto last = std::find_if(FSegments.rbegin(), FSegments.rend(), [](const TSegmentEntry& s) { return s.IsCode; });
        if (last != FSegments.rend() && last->Start < FLayout.TopOfCode)
            last->Size = FLayout.TopOfCode - last->Start;
    }

    at = symbols;
    address = 0;
    uint32_t first = 0, second = 0, f, s;
    while (ReadVarint(data, at, a) && a != ListEnd && ReadVarint(data, at, f) && f != ListEnd && ReadVarint(data, at, s) &&
           s != ListEnd) {
        address += a;
        first += f;
        second += s;
        std::string name = JdbgName(data, names, first);
        if (int32_t(second) > 0)
            name += "." + JdbgName(data, names, second);
        AddPublic(std::move(name), address, true, false);
    }
    SortPublics();

    at = lines;
    address = 0;
    uint32_t line = 0, l;
    while (ReadVarint(data, at, a) && a != ListEnd && ReadVarint(data, at, l) && l != ListEnd) {
        address += a;
        line += l;
        FLines.push_back({int32_t(line), FLayout.BaseOfCode + address});
    }
    FSource = TDebugSource::Jdbg;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Files beside the module

bool TMapFile::ReadFilesBeside()
{
    if (FDebugFileBaseName.empty())
        return false;
    const std::string base = WithoutExtension(FDebugFileBaseName);
    std::string bytes;
    if (!FMinimalSearch && ReadWholeFile(base + ".map", bytes)) {
        LoadMapText(bytes);
        return true;
    }
    if (ReadWholeFile(base + ".vost", bytes) && LoadContainer(bytes)) {
        FSource = TDebugSource::VostFile;
        return true;
    }
    if (FMinimalSearch)
        return false;
    return ReadWholeFile(base + ".jdbg", bytes) && LoadJdbg(bytes);
}

// ---------------------------------------------------------------------------------------------
// The cache and the lookups

namespace {

struct TCacheEntry {
    uintptr_t Base;
    TFileIdentity Identity;
    int64_t ModifiedNs;
    int64_t Size;
    std::shared_ptr<const TMapFile> Map;
    // The snapshot scope in which the file's stamp was last compared (0: none).
    uint64_t CheckedInScope = 0;
};

TListMutex& CacheMutex()
{
    static TListMutex mutex;
    return mutex;
}

std::vector<TCacheEntry>& Cache()
{
    static std::vector<TCacheEntry> cache;
    return cache;
}

void FileStamp(const std::string& path, int64_t& modifiedNs, int64_t& size)
{
    struct stat info{};
    if (stat(path.c_str(), &info) != 0) {
        modifiedNs = size = -1;
        return;
    }
    modifiedNs = int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    size = int64_t(info.st_size);
}

// The module's first mapping is still the same file: otherwise the module is gone.
bool StillMapped(const TMemorySnapshot& snapshot, const TCacheEntry& entry)
{
    const TMemoryRegion* region = snapshot.RegionAt(entry.Base);
    return region && region->Start == entry.Base && region->FileOffset == 0 && region->Device == entry.Identity.Device &&
           region->Inode == entry.Identity.Inode;
}

std::shared_ptr<const TMapFile> Invalid() { return std::make_shared<const TMapFile>(); }

} // namespace

std::shared_ptr<const TMapFile> DebugInfoForAddress(uintptr_t address, const TMemorySnapshot* snapshot)
{
    try {
        std::shared_ptr<const TMemorySnapshot> own;
        if (!snapshot) {
            own = TakeMemorySnapshot();
            snapshot = own.get();
        }
        TModuleInfo module;
        if (!(address == 0 ? FindProgramModule(*snapshot, module) : FindModule(*snapshot, address, module)))
            return Invalid();
        // Within one report a module's file is compared with its stamp once.
        const uint64_t scope = TSnapshotScope::Current();
        if (scope) {
            TListLock lock(CacheMutex());
            if (lock)
                for (const TCacheEntry& entry : Cache())
                    if (entry.CheckedInScope == scope && entry.Base == module.Base && entry.Identity == module.Identity
                        && StillMapped(*snapshot, entry))
                        return entry.Map;
        }
        int64_t modified, size;
        FileStamp(module.FileName, modified, size);
        TListLock lock(CacheMutex());
        if (!lock)
            return std::make_shared<const TMapFile>(&module, module.FileName);
        std::vector<TCacheEntry>& cache = Cache();
        for (size_t i = 0; i < cache.size();) {
            TCacheEntry& entry = cache[i];
            const bool same = entry.Base == module.Base && entry.Identity == module.Identity;
            if (!StillMapped(*snapshot, entry) || (same && (entry.ModifiedNs != modified || entry.Size != size))) {
                entry = std::move(cache.back());
                cache.pop_back();
                continue;
            }
            if (same) {
                entry.CheckedInScope = scope;
                return entry.Map;
            }
            ++i;
        }
        auto map = std::make_shared<const TMapFile>(&module, module.FileName);
        // A module without debug information is remembered too: asking again would read its file again.
        cache.push_back({module.Base, module.Identity, modified, size, map, scope});
        return map;
    } catch (...) {
        return Invalid();
    }
}

void ClearDebugInfoCache()
{
    TListLock lock(CacheMutex());
    if (lock)
        Cache().clear();
}

bool DescribeAddress(uintptr_t address, std::string& moduleFileName, std::string& unitName, std::string& publicName,
                     uintptr_t& publicAddress, int32_t& line)
{
    if (address == 0)
        return false;
    const std::shared_ptr<const TMapFile> map = DebugInfoForAddress(address);
    if (!map->Valid())
        return false;
    moduleFileName = map->ModuleFileName();
    unitName = map->SegmentAt(true, address).Name;
    const TPublicEntry p = map->PublicAt(address);
    publicName = p.Name;
    publicAddress = p.Address;
    uintptr_t next = 0;
    line = std::max(0, map->LineAt(address, next));
    return true;
}

std::string ProcNameAt(uintptr_t address)
{
    const std::shared_ptr<const TMapFile> map = DebugInfoForAddress(address);
    const TPublicEntry p = map->PublicAt(address);
    if (!p.Valid || p.Address != address)
        return {};
    const std::string unit = map->SegmentAt(true, address).Name;
    std::string name = unit.empty() ? p.Name : unit + "." + p.Name;
    if (name.find('%') != std::string::npos)
        name += " (" + WithoutPath(map->ModuleFileName()) + ")";
    return name;
}

void LineNumberAt(uintptr_t address, int32_t& line, uintptr_t& rangeStart, uintptr_t& rangeEnd)
{
    if (address == 0 || (line != 0 && rangeStart <= address && address < rangeEnd))
        return;
    const std::shared_ptr<const TMapFile> map = DebugInfoForAddress(address);
    line = std::max(0, map->LineAt(address, rangeEnd));
    rangeStart = address;
}

TProcNameAtProc ProcNameAtProc = &ProcNameAt;
TLineNumberAtProc LineNumberAtProc = &LineNumberAt;

namespace {
// Our own module's information is read at start-up, before anything can have gone wrong.
[[maybe_unused]] const bool OwnDebugInfoLoaded = (DebugInfoForAddress(0), true);
} // namespace
