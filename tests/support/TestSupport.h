// Shared helpers of the logic tests: a clean settings store per test, hex dumps for byte diffs.
#pragma once

#include "core/uSettings.h"
#include "support/CoreTestHooks.h"
#include "support/ErrorSupport.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Points the settings store at a fresh folder and drops the settings singleton, so a test sees
// defaults and nothing leaks into the next one.
class TCleanSettings {
public:
    TCleanSettings()
    {
        FOld = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", FDir.path().toLocal8Bit());
        ResetPortableCache();
        ResetSettingsForTests();
    }
    ~TCleanSettings()
    {
        ResetSettingsForTests();
        qputenv("XDG_CONFIG_HOME", FOld);
        ResetPortableCache();
    }
    QString Path() const { return FDir.path(); }
    QString StoreFile() const { return FDir.path() + QStringLiteral("/Orvik Software/Tarvell.ini"); }

private:
    QTemporaryDir FDir;
    QByteArray FOld;
};

// A fixture whose tests each start with a clean store.
class CleanSettingsTest : public ::testing::Test {
protected:
    TCleanSettings Settings;
};

// Hex dump, 16 bytes a line, for readable byte-for-byte failures.
inline std::string HexDump(std::string_view bytes)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i % 16 == 0)
            out += (i ? "\n" : "") + std::to_string(i) + ":";
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        out += ' ';
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}


#define EXPECT_BYTES_EQ(expected, actual) EXPECT_EQ(HexDump(expected), HexDump(actual))

// value x scale rounded to the nearest integer, ties to even, in integer arithmetic on the
// double's exact binary value: an oracle that shares no floating-point step with the writers.
inline int64_t ExactlyRounded(double value, int64_t scale)
{
    if (value == 0)
        return 0;
    int exponent = 0;
    const double fraction = std::frexp(value, &exponent);
    const auto mantissa = static_cast<int64_t>(std::ldexp(fraction, 53));
    exponent -= 53;
    const __int128 product = static_cast<__int128>(mantissa) * scale;
    if (exponent >= 0)
        return static_cast<int64_t>(product << exponent);
    const int shift = -exponent;
    if (shift > 120)
        return 0;
    __int128 quotient = product >> shift;  // floor, also for negative products
    const __int128 rest = product - (quotient << shift);
    const __int128 half = static_cast<__int128>(1) << (shift - 1);
    if (rest > half || (rest == half && (quotient & 1) != 0))
        ++quotient;
    return static_cast<int64_t>(quotient);
}
