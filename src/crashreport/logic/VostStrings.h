// The crash reporter's own byte-string, number-text and list routines: they build reports without
// the class library's formatting, which may be what failed. Strings are UTF-8 bytes; positions
// are 1-based unless a routine says otherwise; nothing throws for a missing match.
#pragma once

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

using TCharSet = std::bitset<256>;
TCharSet MakeCharSet(std::string_view bytes);
// Bytes 0 to 32, blank included.
const TCharSet& WhiteSpace();

// Removes white space at both ends.
void TrimText(std::string& text);
std::string TrimTextCopy(std::string_view text);
// Deletes every byte in the set; true when something was deleted.
bool RemoveChars(std::string& text, const TCharSet& set);
// Replaces the first (or every) occurrence of old by replacement; a replacement is never searched
// again. True when old occurred.
bool ReplaceSub(std::string& text, std::string_view old, std::string_view replacement, bool ignoreCase, bool replaceAll);
bool ReplaceCase(std::string& text, std::string_view old, std::string_view replacement, bool replaceAll);
bool ReplaceNoCase(std::string& text, std::string_view old, std::string_view replacement, bool replaceAll);
// A copy with count bytes deleted at index.
std::string DeleteCopy(std::string_view text, int index, int count);
// Keeps count bytes from index.
void KeepRange(std::string& text, int index, int count);
// The last count bytes.
std::string RightPart(std::string_view text, int count);

// Case folding is ASCII only: folding bytes above 127 would break UTF-8 sequences.
char UpperChar(char c);
std::string UpperText(std::string_view text);
char LowerChar(char c);
bool SameTextNoCase(std::string_view a, std::string_view b);
// Difference of the first differing lower-cased bytes, else the difference of the lengths.
int32_t CompareNoCase(std::string_view a, std::string_view b);

// Position of sub starting within from..to (backwards when from > to: the last occurrence wins);
// 0 when not found or when from or to is 0.
int FindSub(std::string_view sub, std::string_view text, int from, int to);
int FindSubNoCase(std::string_view sub, std::string_view text, int from, int to);
// Length up to the terminating zero.
size_t BufferLength(const char* buffer);
// The engine of the searches, with 0-based offsets: a length of 0 means up to the terminating
// zero. -1 when there is no match, sub or buffer is missing or empty, or the buffer is shorter
// than sub. Searches forwards when from <= to, else backwards.
ptrdiff_t FindInBuffer(const char* sub, const char* buffer, size_t subLength, ptrdiff_t from, ptrdiff_t to, bool ignoreCase,
                       size_t bufferLength);
// True when text begins with sub (case-insensitive); an empty sub always does.
bool StartsWithNoCase(std::string_view sub, std::string_view text);
// First position from from towards to (either way) whose byte is in the set, the range clipped
// to the text; 0 when none.
int FindCharOfSet(const TCharSet& set, std::string_view text, int from, int to);
// Adds count fill bytes; at the left a digit fill goes after a leading "-".
void PadText(std::string& text, int count, bool atLeft, char fill);
// Pads to abs(width): at the left when width > 0, at the right when width < 0.
std::string PadTo(std::string_view text, int width, char fill);

std::string DecimalText(int32_t value);
std::string DecimalText64(int64_t value);
// Lower-case hexadecimal without leading zeros, the value read as unsigned.
std::string HexText(uint32_t value);
// The high half (when not zero), then the low half padded to 8 digits.
std::string HexText64(uint64_t value);
std::string DecimalTextPadded(int32_t value, int width, char fill);
std::string DecimalTextPadded64(int64_t value, int width, char fill);
// "$" and hexadecimal. A negative width or a hexadecimal fill digit pads the digits to abs(width)
// (left or right by the sign) behind the "$"; otherwise the whole is padded at the left to width + 1.
std::string HexTextPadded(uint32_t value, int width, char fill);
std::string HexTextPadded64(uint64_t value, int width, char fill);
// Addresses in reports: "$" and 16 hexadecimal digits.
std::string AddressText(uintptr_t address);
// The value of a hexadecimal digit, or -1.
int HexDigitValue(char c);
// Reads count bytes: an optional "-", then digits in base 16 or 10; no validation, no overflow check.
int32_t ParseInteger(bool hexadecimal, const char* bytes, int count);
// The user's decimal separator, read from the locale at start-up ("," when that fails).
char LocaleDecimalSeparator();
// "1023 Bytes", "1,50 KB", ... with two truncated decimals.
std::string ByteSizeText(int64_t size);
// The system's text of an errno value, line breaks removed; "Unknown error $..." without one.
std::string SystemErrorText(int code);
// Each byte becomes one 16-bit unit of the same value; optionally a terminating zero unit.
std::u16string AnsiToWideText(std::string_view text, bool addZero);
// Hides and recovers a text (the same routine both ways).
std::string UnhideText(std::string_view text);

// Lists: one string, items separated by a delimiter byte.
// Trims white space and delimiters at both ends and around each delimiter: empty items vanish.
void NormalizeList(std::string& list, char delimiter);
int ListCount(std::string_view list, char delimiter);
// The index-th item (1-based), empty when there is none.
std::string ListItem(std::string_view list, int index, char delimiter);
bool ListContainsNoCase(std::string_view list, std::string_view item, char delimiter);
