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
#include <memory>
#include <string>
#include <vector>

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

// The percentages the reader reports while it reads bytes into entries.
inline std::vector<int> ProgressOf(TConvertFromBase& reader, const std::string& bytes, TEntries& entries)
{
    std::vector<int> calls;
    reader.OnProgress = [&](int p) { calls.push_back(p); };
    ReadAll(reader, bytes, entries);
    reader.OnProgress = nullptr;
    return calls;
}

// A new instance of the program's importer with that format ID.
inline std::unique_ptr<TConvertFromBase> ImporterFor(const char* formatID)
{
    const QString id = QString::fromLatin1(formatID);
    for (int i = 0; i < TConvertFromBase::FormatCount(); ++i)
        if (TConvertFromBase::FormatIDAt(i) == id)
            return TConvertFromBase::CreateConverterAt(i);
    ADD_FAILURE() << "no importer " << formatID;
    return nullptr;
}

// "description@longitude,latitude" per entry, ";"-separated, for compact comparisons.
inline std::string Summary(const TEntries& entries, int decimals = 5)
{
    std::string out;
    for (int i = 0; i < entries.Count(); ++i) {
        if (i)
            out += ';';
        out += std::string(entries[i].GetDescription()) + '@' + FloatToFixed(entries[i].GetLongitude(), decimals) + ','
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

// One malformed input: the importer's message, and how many entries it kept.
struct TBadInput {
    const char* FormatID;
    const char* Text;
    const char* Message;
    int KeptCount;
};

inline void ExpectBadInputs(std::initializer_list<TBadInput> cases)
{
    for (const TBadInput& c : cases) {
        SCOPED_TRACE(std::string(c.FormatID) + ": " + c.Text);
        TEntries read;
        auto reader = ImporterFor(c.FormatID);
        ASSERT_TRUE(reader);
        EXPECT_EQ(ErrorOf([&] { ReadAll(*reader, c.Text, read); }), c.Message);
        EXPECT_EQ(read.Count(), c.KeptCount);
    }
}
