// Shared helpers of the logic tests: a clean settings store per test, hex dumps for byte diffs.
#pragma once

#include "core/uSettings.h"

#include <QByteArray>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <string>

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
inline std::string HexDump(const std::string& bytes)
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

// The message of the project error f raises, or "<no error>".
inline QString MessageOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ETarvellError& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

#define EXPECT_BYTES_EQ(expected, actual) EXPECT_EQ(HexDump(expected), HexDump(actual))
