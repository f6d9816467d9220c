// Byte-string, number-text and list routines of the crash reporter.
#include "crashreport/logic/VostStrings.h"

#include <algorithm>
#include <array>
#include <cstring>

#include <langinfo.h>
#include <locale.h>

namespace {

constexpr std::array<unsigned char, 256> MakeLowerTable()
{
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 256; ++i)
        table[size_t(i)] = (i >= 'A' && i <= 'Z') ? (unsigned char)(i + 32) : (unsigned char)i;
    return table;
}
constexpr std::array<unsigned char, 256> LowerTable = MakeLowerTable();

// Bytes that are no digit count as 0: ParseInteger does not validate.
constexpr std::array<unsigned char, 256> MakeDigitTable()
{
    std::array<unsigned char, 256> table{};
    for (int i = 0; i < 10; ++i)
        table[size_t('0' + i)] = (unsigned char)i;
    for (int i = 0; i < 6; ++i) {
        table[size_t('A' + i)] = (unsigned char)(10 + i);
        table[size_t('a' + i)] = (unsigned char)(10 + i);
    }
    return table;
}
constexpr std::array<unsigned char, 256> DigitTable = MakeDigitTable();

unsigned char Lower(char c) { return LowerTable[(unsigned char)c]; }

char ReadDecimalSeparator()
{
    locale_t locale = newlocale(LC_NUMERIC_MASK, "", locale_t(0));
    if (locale == locale_t(0))
        return ',';
    const char* radix = nl_langinfo_l(RADIXCHAR, locale);
    // A separator outside ASCII cannot be one byte of a report.
    const char separator = (radix && radix[0] > 0 && radix[0] < 127 && radix[1] == 0) ? radix[0] : ',';
    freelocale(locale);
    return separator;
}

const char DecimalSeparator = ReadDecimalSeparator();

bool IsHexDigit(char c) { return HexDigitValue(c) >= 0; }

// Glibc's strerror_r or the XSI one, whichever the headers give.
[[maybe_unused]] const char* ErrorResult(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* ErrorResult(const char* result, const char*) { return result; }

constexpr char HideKey = 0x5A;

} // namespace

TCharSet MakeCharSet(std::string_view bytes)
{
    TCharSet set;
    for (char c : bytes)
        set.set((unsigned char)c);
    return set;
}

const TCharSet& WhiteSpace()
{
    static const TCharSet set = [] {
        TCharSet s;
        for (int i = 0; i <= 32; ++i)
            s.set(size_t(i));
        return s;
    }();
    return set;
}

void TrimText(std::string& text)
{
    const TCharSet& white = WhiteSpace();
    size_t end = text.size();
    while (end > 0 && white[(unsigned char)text[end - 1]])
        --end;
    size_t start = 0;
    while (start < end && white[(unsigned char)text[start]])
        ++start;
    text = text.substr(start, end - start);
}

std::string TrimTextCopy(std::string_view text)
{
    std::string copy(text);
    TrimText(copy);
    return copy;
}

bool RemoveChars(std::string& text, const TCharSet& set)
{
    const size_t before = text.size();
    text.erase(std::remove_if(text.begin(), text.end(), [&](char c) { return set[(unsigned char)c]; }), text.end());
    return text.size() != before;
}

bool ReplaceSub(std::string& text, std::string_view old, std::string_view replacement, bool ignoreCase, bool replaceAll)
{
    if (old.empty() || text.size() < old.size())
        return false;
    std::string out;
    size_t at = 0;
    bool found = false;
    while (at + old.size() <= text.size()) {
        const ptrdiff_t hit = FindInBuffer(old.data(), text.data() + at, old.size(), 0, ptrdiff_t(text.size() - at - old.size()),
                                           ignoreCase, text.size() - at);
        if (hit < 0)
            break;
        found = true;
        out.append(text, at, size_t(hit));
        out.append(replacement);
        at += size_t(hit) + old.size();
        if (!replaceAll)
            break;
    }
    if (!found)
        return false;
    out.append(text, at, std::string::npos);
    text = std::move(out);
    return true;
}

bool ReplaceCase(std::string& text, std::string_view old, std::string_view replacement, bool replaceAll)
{
    return ReplaceSub(text, old, replacement, false, replaceAll);
}

bool ReplaceNoCase(std::string& text, std::string_view old, std::string_view replacement, bool replaceAll)
{
    return ReplaceSub(text, old, replacement, true, replaceAll);
}

std::string DeleteCopy(std::string_view text, int index, int count)
{
    std::string copy(text);
    if (index < 1 || count <= 0 || size_t(index) > copy.size())
        return copy;
    copy.erase(size_t(index - 1), size_t(count));
    return copy;
}

void KeepRange(std::string& text, int index, int count)
{
    if (index < 1)
        index = 1;
    if (count <= 0 || size_t(index) > text.size()) {
        text.clear();
        return;
    }
    text = text.substr(size_t(index - 1), size_t(count));
}

std::string RightPart(std::string_view text, int count)
{
    if (count <= 0)
        return {};
    if (size_t(count) >= text.size())
        return std::string(text);
    return std::string(text.substr(text.size() - size_t(count)));
}

char UpperChar(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }

std::string UpperText(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = UpperChar(c);
    return out;
}

char LowerChar(char c) { return char(Lower(c)); }

bool SameTextNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return false;
    return true;
}

int32_t CompareNoCase(std::string_view a, std::string_view b)
{
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i)
        if (Lower(a[i]) != Lower(b[i]))
            return int32_t(Lower(a[i])) - int32_t(Lower(b[i]));
    return int32_t(int64_t(a.size()) - int64_t(b.size()));
}

size_t BufferLength(const char* buffer) { return buffer ? std::strlen(buffer) : 0; }

ptrdiff_t FindInBuffer(const char* sub, const char* buffer, size_t subLength, ptrdiff_t from, ptrdiff_t to, bool ignoreCase,
                       size_t bufferLength)
{
    if (!sub || !buffer)
        return -1;
    if (subLength == 0)
        subLength = BufferLength(sub);
    if (bufferLength == 0)
        bufferLength = BufferLength(buffer);
    if (subLength == 0 || bufferLength == 0 || bufferLength < subLength)
        return -1;
    const ptrdiff_t last = ptrdiff_t(bufferLength - subLength);
    auto matches = [&](ptrdiff_t at) {
        if (ignoreCase) {
            for (size_t i = 0; i < subLength; ++i)
                if (Lower(buffer[size_t(at) + i]) != Lower(sub[i]))
                    return false;
            return true;
        }
        return std::memcmp(buffer + at, sub, subLength) == 0;
    };
    if (from <= to) {
        for (ptrdiff_t at = std::max<ptrdiff_t>(from, 0); at <= std::min(to, last); ++at)
            if (matches(at))
                return at;
    } else {
        for (ptrdiff_t at = std::min(from, last); at >= std::max<ptrdiff_t>(to, 0); --at)
            if (matches(at))
                return at;
    }
    return -1;
}

namespace {
int FindSubImpl(std::string_view sub, std::string_view text, int from, int to, bool ignoreCase)
{
    if (from == 0 || to == 0 || sub.empty() || text.empty())
        return 0;
    const ptrdiff_t at = FindInBuffer(sub.data(), text.data(), sub.size(), from - 1, to - 1, ignoreCase, text.size());
    return at < 0 ? 0 : int(at + 1);
}
} // namespace

int FindSub(std::string_view sub, std::string_view text, int from, int to) { return FindSubImpl(sub, text, from, to, false); }

int FindSubNoCase(std::string_view sub, std::string_view text, int from, int to) { return FindSubImpl(sub, text, from, to, true); }

bool StartsWithNoCase(std::string_view sub, std::string_view text)
{
    return sub.size() <= text.size() && SameTextNoCase(sub, text.substr(0, sub.size()));
}

int FindCharOfSet(const TCharSet& set, std::string_view text, int from, int to)
{
    if (text.empty())
        return 0;
    const int size = int(std::min<size_t>(text.size(), size_t(INT32_MAX)));
    from = std::clamp(from, 1, size);
    to = std::clamp(to, 1, size);
    const int step = from <= to ? 1 : -1;
    for (int i = from;; i += step) {
        if (set[(unsigned char)text[size_t(i - 1)]])
            return i;
        if (i == to)
            return 0;
    }
}

void PadText(std::string& text, int count, bool atLeft, char fill)
{
    if (count <= 0)
        return;
    if (!atLeft) {
        text.append(size_t(count), fill);
        return;
    }
    const size_t at = (fill >= '0' && fill <= '9' && !text.empty() && text[0] == '-') ? 1 : 0;
    text.insert(at, size_t(count), fill);
}

std::string PadTo(std::string_view text, int width, char fill)
{
    std::string out(text);
    const int64_t target = width < 0 ? -int64_t(width) : int64_t(width);
    if (target > int64_t(out.size()))
        PadText(out, int(target - int64_t(out.size())), width > 0, fill);
    return out;
}

std::string DecimalText64(int64_t value)
{
    char digits[24];
    size_t n = 0;
    uint64_t magnitude = value < 0 ? uint64_t(0) - uint64_t(value) : uint64_t(value);
    do {
        digits[n++] = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    std::string out = value < 0 ? "-" : "";
    while (n)
        out += digits[--n];
    return out;
}

std::string DecimalText(int32_t value) { return DecimalText64(value); }

std::string HexText(uint32_t value)
{
    static constexpr char Digits[] = "0123456789abcdef";
    char digits[8];
    size_t n = 0;
    do {
        digits[n++] = Digits[value & 15];
        value >>= 4;
    } while (value);
    std::string out;
    while (n)
        out += digits[--n];
    return out;
}

std::string HexText64(uint64_t value)
{
    const uint32_t high = uint32_t(value >> 32);
    const uint32_t low = uint32_t(value);
    if (high == 0)
        return HexText(low);
    return HexText(high) + PadTo(HexText(low), 8, '0');
}

std::string DecimalTextPadded(int32_t value, int width, char fill) { return PadTo(DecimalText(value), width, fill); }

std::string DecimalTextPadded64(int64_t value, int width, char fill) { return PadTo(DecimalText64(value), width, fill); }

namespace {
std::string HexPadded(const std::string& digits, int width, char fill)
{
    if (width < 0 || IsHexDigit(fill))
        return "$" + PadTo(digits, width, fill);
    return PadTo("$" + digits, width + 1, fill);
}
} // namespace

std::string HexTextPadded(uint32_t value, int width, char fill) { return HexPadded(HexText(value), width, fill); }

std::string HexTextPadded64(uint64_t value, int width, char fill) { return HexPadded(HexText64(value), width, fill); }

std::string AddressText(uintptr_t address) { return HexTextPadded64(address, 16, '0'); }

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int32_t ParseInteger(bool hexadecimal, const char* bytes, int count)
{
    if (!bytes || count <= 0)
        return 0;
    int i = 0;
    bool negative = false;
    if (bytes[0] == '-') {
        negative = true;
        i = 1;
    }
    const uint32_t base = hexadecimal ? 16 : 10;
    uint32_t value = 0;
    for (; i < count; ++i)
        value = value * base + DigitTable[(unsigned char)bytes[i]];
    return int32_t(negative ? uint32_t(0) - value : value);
}

char LocaleDecimalSeparator() { return DecimalSeparator; }

std::string ByteSizeText(int64_t size)
{
    const uint64_t bytes = size < 0 ? uint64_t(0) - uint64_t(size) : uint64_t(size);
    constexpr uint64_t K = 1024;
    uint64_t hundredths;
    const char* unit;
    if (bytes < K)
        return DecimalText64(int64_t(bytes)) + " Bytes";
    if (bytes < K * K) {
        hundredths = bytes * 100 / K;
        unit = " KB";
    } else if (bytes < K * K * K) {
        hundredths = (bytes / K) * 100 / K;
        unit = " MB";
    } else {
        hundredths = (bytes / K / K) * 100 / K;
        unit = " GB";
    }
    std::string digits = DecimalText64(int64_t(hundredths));
    digits.insert(digits.size() - 2, 1, LocaleDecimalSeparator());
    return digits + unit;
}

std::string SystemErrorText(int code)
{
    char buffer[256] = {};
    // Glibc answers every number with a text, in the user's language; a number without a name
    // has no text of its own and gets ours, with the number in hexadecimal.
    const char* text = strerrorname_np(code) ? ErrorResult(strerror_r(code, buffer, sizeof buffer), buffer) : nullptr;
    std::string out = text ? text : "";
    if (out.empty())
        return "Unknown error " + HexTextPadded(uint32_t(code), 1, '0');
    std::replace(out.begin(), out.end(), '\r', ' ');
    out.erase(std::remove(out.begin(), out.end(), '\n'), out.end());
    return out;
}

std::u16string AnsiToWideText(std::string_view text, bool addZero)
{
    std::u16string out;
    out.reserve(text.size() + 1);
    for (char c : text)
        out += char16_t((unsigned char)c);
    if (addZero)
        out += char16_t(0);
    return out;
}

std::string UnhideText(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        c = char(c ^ HideKey);
    return out;
}

void NormalizeList(std::string& list, char delimiter)
{
    std::string out;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(delimiter, start);
        if (end == std::string::npos)
            end = list.size();
        const std::string item = TrimTextCopy(std::string_view(list).substr(start, end - start));
        if (!item.empty()) {
            if (!out.empty())
                out += delimiter;
            out += item;
        }
        start = end + 1;
    }
    list = std::move(out);
}

int ListCount(std::string_view list, char delimiter)
{
    if (list.empty())
        return 0;
    return 1 + int(std::count(list.begin(), list.end(), delimiter));
}

std::string ListItem(std::string_view list, int index, char delimiter)
{
    if (index < 1 || list.empty())
        return {};
    size_t start = 0;
    for (int i = 1; i < index; ++i) {
        const size_t next = list.find(delimiter, start);
        if (next == std::string_view::npos)
            return {};
        start = next + 1;
    }
    const size_t end = list.find(delimiter, start);
    return std::string(list.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start));
}

bool ListContainsNoCase(std::string_view list, std::string_view item, char delimiter)
{
    if (list.empty())
        return false;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(delimiter, start);
        if (end == std::string_view::npos)
            end = list.size();
        if (SameTextNoCase(list.substr(start, end - start), item))
            return true;
        start = end + 1;
    }
    return false;
}
