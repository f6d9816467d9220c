// Helpers of the map tests: fixture files and temporary pictures.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <string>

inline QString MapFixture(const char* name) { return QStringLiteral(TARVELL_TEST_DATA "/maps/") + QLatin1String(name); }

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
