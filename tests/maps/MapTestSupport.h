// Helpers of the map tests: fixture files and temporary pictures.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <string>

inline QString MapFixture(const char* name)
{
    return QStringLiteral(TARVELL_TEST_DATA "/maps/") + QLatin1String(name);
}

inline std::string ReadFixture(const char* name)
{
    QFile file(MapFixture(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

inline void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
}

// A metafile of 200 x 100 pixels: a red rectangle over the top-left quarter, a blue triangle, a
// green ellipse over the bottom-left quarter, a 2 x 2 bitmap and a text.
std::string SampleMetafile();
