// Helpers of the binary-format tests, over the shared format-test helpers: fixtures by folder,
// reads and writes through a converter class, damaged-file checks.
#pragma once

#include "support/TextFormatSupport.h"

#include <string>

// The bytes of tests/data/<folder>/<name>.
inline std::string Fixture(const QString& folder, const QString& name) { return ReadFixture(folder + QChar('/') + name); }

// Appends what the importer reads from bytes to entries.
template <typename TImporter>
void ReadInto(const std::string& bytes, TEntries& entries)
{
    TImporter importer;
    ReadAll(importer, bytes, entries);
}

template <typename TExporter>
std::string WriteAll(TEntries& entries)
{
    TExporter exporter;
    return WriteAll(exporter, entries);
}

// Reads a damaged file: the importer must fail with message and keep the first kept entries.
// name labels the case in failures.
template <typename TImporter>
void ExpectDamaged(const std::string& name, const std::string& bytes, const QString& message, int kept)
{
    TEntries entries;
    EXPECT_EQ(ErrorOf([&] { ReadInto<TImporter>(bytes, entries); }), message.toStdString()) << name;
    EXPECT_EQ(entries.Count(), kept) << name;
}
