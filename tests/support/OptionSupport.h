// An option source kept in memory, handed in for the time of a test, so that readers, writers
// and the model's rounding are tested without a settings store.
#pragma once

#include "core/uOptionSource.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

class TMemoryOptionSource final : public IOptionSource {
public:
    bool ReadBool(const QString& section, const QString& key, bool fallback) const override
    {
        return ReadInteger(section, key, fallback) != 0;
    }
    int ReadInteger(const QString& section, const QString& key, int fallback) const override
    {
        const auto found = FValues.find({section, key});
        return found == FValues.end() ? fallback : found->second;
    }
    void WriteBool(const QString& section, const QString& key, bool value) const override
    {
        FValues[{section, key}] = value ? 1 : 0;
    }
    void WriteInteger(const QString& section, const QString& key, int value) const override
    {
        FValues[{section, key}] = value;
    }
    int Precision() const override { return FPrecision; }
    void SetPrecision(int value) { FPrecision = value; }

private:
    // Written through a const source as the settings store is.
    mutable std::map<std::pair<QString, QString>, int> FValues;
    int FPrecision = 5;
};

// Hands a fresh in-memory source to the process while it lives: every option at its default and
// the precision 5, as a clean settings store gives them.
class TMemoryOptions {
public:
    TMemoryOptions() { UseOptionSource(&Source); }
    ~TMemoryOptions() { UseOptionSource(nullptr); }
    TMemoryOptions(const TMemoryOptions&) = delete;
    TMemoryOptions& operator=(const TMemoryOptions&) = delete;

    TMemoryOptionSource Source;
};

// A fixture whose tests each start with fresh options.
class MemoryOptionsTest : public ::testing::Test {
protected:
    TMemoryOptions Options;
};
