// Shared helpers of the text-format tests: the sample list, fixtures, switches and locales.
#pragma once

#include "core/uGeneral.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "model/uModel.h"

#include <QFile>
#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <string>

// Puts "/dev" on the command line for the guard's lifetime.
class TDevSwitch {
public:
    TDevSwitch()
        : FOld(CommandLineParams())
    {
        SetCommandLineParams({ QStringLiteral("/dev") });
    }
    ~TDevSwitch() { SetCommandLineParams(FOld); }

private:
    QStringList FOld;
};

// A decimal-comma locale, for Qt and the C library, for the guard's lifetime.
class TCommaLocale {
public:
    TCommaLocale()
        : FOldQt(QLocale())
    {
        const char* old = std::setlocale(LC_ALL, nullptr);
        FOldC = old ? old : "C";
        std::setlocale(LC_ALL, "de_DE.UTF-8");
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    }
    ~TCommaLocale()
    {
        QLocale::setDefault(FOldQt);
        std::setlocale(LC_ALL, FOldC.c_str());
    }

private:
    QLocale FOldQt;
    std::string FOldC;
};

inline std::string ReadFixture(const QString& relativePath)
{
    QFile file(QStringLiteral(TARVELL_TEST_DATA "/") + relativePath);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << relativePath.toStdString();
    const QByteArray bytes = file.readAll();
    return std::string(bytes.constData(), size_t(bytes.size()));
}

// Museum (enabled, departure: flag 5), "Zoo, Artis" (flag 1), Sugarloaf (stop-over: flag 3).
inline void FillSample(TEntries& entries)
{
    entries.Add("Museum", "", 4.89123, 52.37312);
    entries.Add("Zoo, Artis", "", 4.91663, 52.36622);
    entries.Add("Sugarloaf", "", -43.15639, -22.94861).IpStopOver = true;
}

inline std::string WriteAll(TConvertToBase& writer, TEntries& entries)
{
    TMemoryStream stream;
    writer.Convert(entries, stream);
    return stream.Data();
}

inline void ReadAll(TConvertFromBase& reader, const std::string& bytes, TEntries& entries)
{
    TMemoryStream stream(bytes);
    reader.Convert(entries, stream);
}

// "description@longitude,latitude" per entry, ";"-separated, for compact comparisons.
inline std::string Summary(const TEntries& entries, int decimals = 5)
{
    std::string out;
    for (int i = 0; i < entries.Count(); ++i) {
        if (i)
            out += ';';
        out += entries[i].GetDescription() + '@' + FloatToFixed(entries[i].GetLongitude(), decimals) + ','
            + FloatToFixed(entries[i].GetLatitude(), decimals);
    }
    return out;
}

// The message of the ETarvellError that f throws, or "no error".
template <typename F> std::string ErrorOf(F&& f)
{
    try {
        f();
    } catch (const ETarvellError& e) {
        return e.Message().toStdString();
    }
    return "no error";
}
