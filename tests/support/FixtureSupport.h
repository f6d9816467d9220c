// Helpers of the format tests: fixture files and one-call reads and writes through a converter.
#pragma once

#include "core/uGeneral.h"
#include "core/uStream.h"
#include "model/uModel.h"

#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <string>

// The bytes of tests/data/<folder>/<name>; an empty text (and a failure) when it is missing.
inline std::string Fixture(const QString& folder, const QString& name)
{
    QFile file(QStringLiteral(TARVELL_TEST_DATA "/") + folder + QChar('/') + name);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "missing fixture " << file.fileName().toStdString();
        return {};
    }
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// Appends what the importer reads from bytes to entries.
template <typename TImporter>
void ReadInto(const std::string& bytes, TEntries& entries)
{
    TMemoryStream stream(bytes);
    TImporter importer;
    importer.Convert(entries, stream);
}

template <typename TExporter>
std::string WriteAll(TEntries& entries)
{
    TMemoryStream stream;
    TExporter exporter;
    exporter.Convert(entries, stream);
    return stream.TakeData();
}

// Reads a damaged file: the importer must raise EUserError with message and keep the first
// kept entries. name labels the case in failures.
template <typename TImporter>
void ExpectDamaged(const std::string& name, const std::string& bytes, const QString& message, int kept)
{
    TEntries entries;
    try {
        ReadInto<TImporter>(bytes, entries);
        ADD_FAILURE() << name << ": no error";
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Message(), message) << name;
    }
    EXPECT_EQ(entries.Count(), kept) << name;
}
