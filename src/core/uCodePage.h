// The system ANSI code page: the one codec between POI texts (8-bit) and Unicode.
#pragma once

#include <QString>

#include <string>
#include <string_view>

// The Windows code page of the user's locale language (1250, 1251, 1252, 1253, 1254 or 1257);
// TARVELL_CODEPAGE ("1251" or "cp1251") overrides it. Decided once per process.
int SystemAnsiCodePage();
// Forgets the cached choice (tests change the environment).
void ResetSystemAnsiCodePage();
// The code page a locale name ("de_DE.UTF-8", "ru", "C") stands for.
int CodePageForLocaleName(const QString& localeName);

// Every byte maps to a distinct character and back, so 8-bit texts survive any round trip.
// Characters the code page cannot hold become "?".
QString AnsiToUnicode(std::string_view text, int codePage);
std::string UnicodeToAnsi(const QString& text, int codePage);
inline QString AnsiToUnicode(std::string_view text) { return AnsiToUnicode(text, SystemAnsiCodePage()); }
inline std::string UnicodeToAnsi(const QString& text) { return UnicodeToAnsi(text, SystemAnsiCodePage()); }
