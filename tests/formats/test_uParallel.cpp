// Conversions on several threads: the same bytes, entries, errors and progress as on one; errors
// of a worker reach the caller.
#include "core/uStream.h"
#include "core/uXmlStream.h"
#include "formats/uConvertBase.h"
#include "formats/uGpx.h"
#include "formats/uParallel.h"
#include "formats/uTomTom.h"
#include "model/uModel.h"
#include "support/OptionSupport.h"
#include "support/TextFormatSupport.h"
#include "support/TestSupport.h"

#include <charconv>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <random>
#include <stdexcept>
#include <thread>

namespace {

// Sets the thread count of conversions for one scope.
class TThreads {
public:
    explicit TThreads(int count)
    {
        if (const char* old = std::getenv("TARVELL_THREADS"))
            FOld = old;
        setenv("TARVELL_THREADS", std::to_string(count).c_str(), 1);
    }
    ~TThreads()
    {
        if (FOld.empty())
            unsetenv("TARVELL_THREADS");
        else
            setenv("TARVELL_THREADS", FOld.c_str(), 1);
    }
    TThreads(const TThreads&) = delete;
    TThreads& operator=(const TThreads&) = delete;

private:
    std::string FOld;
};

constexpr int ManyThreads = 8;

// Every field of every entry, so that two reads compare as a whole.
std::string Dump(const TEntries& entries)
{
    std::string out;
    for (int i = 0; i < entries.Count(); ++i) {
        const TEntry& e = entries[i];
        char coords[160];
        std::snprintf(coords, sizeof coords, "%d:%d:%d:%.17g:%d/%d:%d:%d:%.17g:%d/%d%d/", e.GetLonDeg(), e.GetLonMin(), e.GetLonSec(),
                      e.LonRemainder(), e.GetLonWest(), e.GetLatDeg(), e.GetLatMin(), e.GetLatSec(), e.LatRemainder(), e.GetLatSouth(),
                      e.GetFlag(), e.Changed());
        out += coords;
        out += e.GetDescription();
        out += '|';
        out += e.GetExtra();
        out += '\n';
    }
    return out;
}

struct TRead {
    std::string Entries;
    QString Error;
    std::vector<int> Progress;
    int Count = 0;
    bool Changed = false;
    uint64_t Position = 0;  // of the stream after the read

    bool operator==(const TRead&) const = default;
};

// Reads bytes with importer i into a list holding one entry already (so that the departure mark
// and what is kept after an error show).
TRead ReadWith(int threads, int importer, const std::string& bytes)
{
    const TThreads scope(threads);
    TEntries entries;
    entries.Add("before", "", 1, 2);
    entries.ResetChanged();
    TRead read;
    const std::unique_ptr<TConvertFromBase> reader = TConvertFromBase::CreateConverterAt(importer);
    reader->OnProgress = [&](int p) { read.Progress.push_back(p); };
    TMemoryStream stream(bytes);
    read.Error = MessageOf([&] { reader->Convert(entries, stream); });
    read.Position = stream.Position();
    read.Entries = Dump(entries);
    read.Count = entries.Count();
    read.Changed = entries.Changed();
    return read;
}

std::string WriteWith(int threads, int exporter, TEntries& entries)
{
    const TThreads scope(threads);
    const std::unique_ptr<TConvertToBase> writer = TConvertToBase::CreateConverterAt(exporter);
    TMemoryStream stream;
    const QString error = MessageOf([&] { writer->Convert(entries, stream); });
    return error.toStdString() + "\n" + stream.Data();
}

void ExpectSameReads(const std::string& bytes, const QString& extension, const std::string& what)
{
    for (int i = 0; i < TConvertFromBase::FormatCount(); ++i) {
        if (!TConvertFromBase::HandlesExtension(i, extension))
            continue;
        const TRead one = ReadWith(1, i, bytes);
        const TRead many = ReadWith(ManyThreads, i, bytes);
        EXPECT_EQ(one.Error, many.Error) << what << " with " << TConvertFromBase::FormatIDAt(i).toStdString();
        EXPECT_EQ(one.Progress, many.Progress) << what;
        EXPECT_TRUE(one.Entries == many.Entries) << what << " with " << TConvertFromBase::FormatIDAt(i).toStdString();
        EXPECT_EQ(one.Changed, many.Changed) << what;
    }
}

void SetGpxOptions(bool useDesc, bool retainExtra)
{
    TConvertFromGpx importer;
    importer.WriteBoolOption(0, useDesc);
    importer.WriteBoolOption(1, retainExtra);
}

// count POIs over the whole world; some names are long, some hold 8-bit characters, some
// positions repeat (ties of the ov2 writer's sorts), some carry a waypoint's extra markup.
void FillWorld(TEntries& entries, int count)
{
    std::mt19937 random(33);
    for (int i = 0; i < count; ++i) {
        std::string name = "POI " + std::to_string(i);
        if (i % 7 == 0)
            name += " with a longer name than sixteen";
        if (i % 11 == 0)
            name += " caf\xE9 & <bar>";
        const double lon = i % 13 == 0 ? 4.5 : double(int(random() % 36000000) - 18000000) / 100000.0;
        const double lat = i % 13 == 0 ? 52.25 : double(int(random() % 18000000) - 9000000) / 100000.0;
        const std::string extra = i % 101 == 0 ? "<wpt lat=\"0\" lon=\"0\"><ele>" + std::to_string(i) + "</ele><name>x</name></wpt>" : "";
        entries.Add(i % 17 == 0 ? "Same name" : name, extra, lon, lat);
    }
}

// A GPX of count waypoints in the shape other programs write.
// Number text as files carry it, whatever the test's locale.
std::string PlainNumber(double value)
{
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6).ptr;
    return std::string(text, end);
}

std::string WorldGpx(int count, const std::function<std::string(int)>& between = nullptr)
{
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<gpx version=\"1.0\" creator=\"test\" "
                      "xmlns=\"http://www.topografix.com/GPX/1/0\" xmlns:x=\"http://example.org/x\">\n"
                      "<time>2025-06-01T12:00:00Z</time>\n<bounds minlat=\"-90\" minlon=\"-180\" maxlat=\"90\" maxlon=\"180\"/>\n";
    for (int i = 0; i < count; ++i) {
        if (between)
            out += between(i);
        const std::string name = "POI " + std::to_string(i) + " Cafe";
        out += "  <wpt lat=\"" + PlainNumber(double(i % 1800) / 10 - 90) + "\" lon=\"" + PlainNumber(double(i % 3600) / 10 - 180) +
               "\">\n    <name>" + name + "</name>\n    <cmt>" + name + "</cmt>\n    <desc>" + name + "</desc>\n  </wpt>\n";
    }
    return out + "</gpx>\n";
}

class Parallel : public MemoryOptionsTest {};

} // namespace

TEST(ParallelRun, EveryTaskRunsAndTheLowestFailingTaskRaisesInTheCaller)
{
    for (const int threads : {1, ManyThreads}) {
        const TThreads scope(threads);
        std::vector<std::atomic<int>> runs(100);
        const auto run = [&](size_t i) {
            ++runs[i];
            if (i == 37 || i == 80)
                throw EUserError(QString::number(i));
            if (i == 90)
                throw std::runtime_error("not ours");
        };
        EXPECT_EQ(MessageOf([&] { RunParallel(runs.size(), run); }), QStringLiteral("37")) << threads;
        for (const std::atomic<int>& r : runs)
            EXPECT_EQ(r.load(), 1);
        EXPECT_THROW(RunParallel(10, [](size_t i) {
                         if (i == 9)
                             throw std::runtime_error("not ours");
                     }),
                     std::runtime_error);
    }
}

TEST(ParallelRun, ThreadCountComesFromTheEnvironment)
{
    {
        const TThreads scope(3);
        EXPECT_EQ(ConversionThreads(), 3);
    }
    for (const char* bad : {"0", "-2", "many", ""}) {
        setenv("TARVELL_THREADS", bad, 1);
        EXPECT_GE(ConversionThreads(), 1) << bad;
    }
    unsetenv("TARVELL_THREADS");
}

// Every fixture read by every importer of its extension, then written by every exporter.
TEST_F(Parallel, EveryFixtureConvertsAsOnOneThread)
{
    SetGpxOptions(true, true);
    QDirIterator files(QStringLiteral(TARVELL_TEST_DATA), QDir::Files, QDirIterator::Subdirectories);
    int read = 0;
    while (files.hasNext()) {
        const QFileInfo file(files.next());
        const std::string bytes = ReadFixture(QDir(QStringLiteral(TARVELL_TEST_DATA)).relativeFilePath(file.filePath()));
        if (TConvertFromBase::CountForExtension(file.suffix()) == 0)
            continue;
        ++read;
        ExpectSameReads(bytes, file.suffix(), file.fileName().toStdString());
        for (int i = 0; i < TConvertFromBase::FormatCount(); ++i) {
            if (!TConvertFromBase::HandlesExtension(i, file.suffix()))
                continue;
            TEntries entries;
            {
                const TThreads scope(1);
                TMemoryStream stream(bytes);
                MessageOf([&] { TConvertFromBase::CreateConverterAt(i)->Convert(entries, stream); });
            }
            for (int k = 0; k < TConvertToBase::FormatCount(); ++k)
                EXPECT_EQ(WriteWith(1, k, entries), WriteWith(ManyThreads, k, entries))
                    << file.fileName().toStdString() << " written as " << TConvertToBase::FormatIDAt(k).toStdString();
        }
    }
    EXPECT_GT(read, 10);
}

// A hundred thousand POIs written by every exporter and read back by every importer of its
// extension, with every option of the GPX reader.
TEST_F(Parallel, AGeneratedListConvertsAsOnOneThread)
{
    TEntries entries;
    FillWorld(entries, 100000);
    for (int k = 0; k < TConvertToBase::FormatCount(); ++k) {
        const std::string one = WriteWith(1, k, entries);
        const std::string many = WriteWith(ManyThreads, k, entries);
        const std::string id = TConvertToBase::FormatIDAt(k).toStdString();
        ASSERT_EQ(one.size(), many.size()) << id;
        EXPECT_TRUE(one == many) << id;
        if (!one.starts_with("<no error>\n"))
            continue;
        const std::string bytes = one.substr(11);
        const QString extension = TConvertToBase::Extension(k).mid(1);
        if (extension == QLatin1String("gpx")) {
            for (const bool useDesc : {false, true})
                for (const bool retain : {false, true}) {
                    SetGpxOptions(useDesc, retain);
                    ExpectSameReads(bytes, extension, id);
                }
        } else {
            ExpectSameReads(bytes, extension, id);
        }
    }
}

// The GPX writer's parts are copied into place a few at a time, one a thread, and the ov2 tree
// is sorted, split and written on threads once it holds more than 131072 POIs (with the index
// inside the sort keys for POIs in a small area, beside them for POIs all over the world, and
// runs of equal positions shared by threads): thread counts that leave a last wave short (six
// parts on 4 and 5 threads) or one part a wave, and a stream that already holds bytes, write
// what one thread writes.
TEST_F(Parallel, WritersCopyTheirPartsAsOneThreadDoes)
{
    TEntries world, big, local;
    FillWorld(world, 100000);
    world[7].SetExtra("<wpt lat=\"1\" lon=\"2\"><ele>3</ele><name>x</name></wpt>");
    world[90000].SetDescription("  ");
    FillWorld(big, 200000);
    std::mt19937 random(5);
    for (int i = 0; i < 200000; ++i)
        local.Add(i % 3 ? "POI " + std::to_string(i % 1000) : std::string("Same"), "", 4 + int(random() % 200) / 10000.0,
                  52 + int(random() % 150) / 10000.0);
    const struct {
        const char* Name;
        TEntries& List;
        QString Format;
    } cases[] = {
        {"100000 worldwide", world, QStringLiteral("gengpx")},
        {"100000 worldwide", world, QStringLiteral("ttov2")},
        {"200000 worldwide", big, QStringLiteral("ttov2")},
        {"200000 in a small area", local, QStringLiteral("ttov2")},
    };
    for (const auto& c : cases) {
        const int k = TConvertToBase::IndexOfFormatID(c.Format);
        ASSERT_GE(k, 0);
        const std::string one = WriteWith(1, k, c.List);
        ASSERT_TRUE(one.starts_with("<no error>\n")) << one.substr(0, 200);
        for (const int threads : {2, 4, 5, ManyThreads})
            EXPECT_TRUE(WriteWith(threads, k, c.List) == one) << c.Name << " " << c.Format.toStdString() << " on " << threads;
        for (const int threads : {1, ManyThreads}) {
            const TThreads scope(threads);
            TMemoryStream stream(std::string("before"));
            stream.Seek(stream.Size());
            TConvertToBase::CreateConverterAt(k)->Convert(c.List, stream);
            EXPECT_TRUE(stream.Data() == "before" + one.substr(11)) << c.Name << " " << c.Format.toStdString() << " on " << threads;
        }
    }
}

// Cuts between waypoints are only guesses: one inside a comment, a CDATA section or a deeper
// element, or a document that is not well-formed, reads exactly as the one parse reads it.
TEST_F(Parallel, GpxReadInPiecesReadsAsTheWholeDocument)
{
    const std::string fakes = [] {
        std::string out;
        for (int i = 0; i < 40000; ++i)
            out += ">\n  <wpt lat=\"9\" lon=\"9\"><name>fake</name></wpt";
        return out;
    }();
    const int count = 30000;
    const int third = count * 2 / 3;
    struct TCase {
        const char* What;
        std::function<std::string(int)> Between;
        const char* Error;
        int Kept;  // entries after the read, the one before included
    };
    const TCase cases[] = {
        {"plain", nullptr, "<no error>", count + 1},
        {"document type", nullptr, "Invalid xml: ", 1},
        {"comment", [&](int i) { return i == count / 2 ? "<!--" + fakes + "-->" : std::string(); }, "<no error>", count + 1},
        {"processing instruction", [&](int i) { return i == count / 2 ? "<?pi " + fakes + "?>" : std::string(); }, "<no error>", count + 1},
        {"CDATA", [&](int i) { return i == count / 2 ? "<wpt lat=\"1\" lon=\"1\"><x:e><![CDATA[" + fakes + "]]></x:e></wpt>" : std::string(); },
         "<no error>", count + 2},
        {"deeper element",
         [&](int i) {
             return i == count / 2 ? "<wpt lat=\"1\" lon=\"1\"><extensions>" + std::string(fakes).replace(0, 1, "") + "></extensions></wpt>"
                                   : std::string();
         },
         "<no error>", count + 2},
        {"attribute", [&](int i) { return i == count / 2 ? "<wpt lat=\"1\" lon=\"1\" note=\"" + fakes + "\"/>" : std::string(); }, "Invalid xml: ",
         1},
        {"missing lat", [&](int i) { return i == third ? "<wpt lon=\"1\"/>" : std::string(); }, "Invalid entry found in GPX format", third + 1},
        {"bad number", [&](int i) { return i == third ? "<wpt lat=\"x\" lon=\"1\"/>" : std::string(); }, "'x' is not a valid floating point value",
         third + 1},
        {"mismatched tag", [&](int i) { return i == third ? "<wpt lat=\"1\" lon=\"1\"></name>" : std::string(); }, "Invalid xml: ", 1},
        {"undefined entity", [&](int i) { return i == third ? "<wpt lat=\"1\" lon=\"1\"><name>&nbsp;</name></wpt>" : std::string(); },
         "Invalid xml: ", 1},
        {"duplicate attribute", [&](int i) { return i == third ? "<wpt lat=\"1\" lon=\"1\" lat=\"2\"/>" : std::string(); }, "Invalid xml: ", 1},
        {"bad character", [&](int i) { return i == count - 2 ? "<wpt lat=\"1\" lon=\"1\"><name>\x01</name></wpt>" : std::string(); },
         "Invalid xml: ", 1},
        {"bare ampersand", [&](int i) { return i == count - 1 ? "<wpt lat=\"1\" lon=\"1\"><name>a & b</name></wpt>" : std::string(); },
         "Invalid xml: ", 1},
        {"track point error", [&](int i) {
             return i == third ? "<trk><trkseg><trkpt lat=\"1\" lon=\"1\"/><trkpt lat=\"1\"/><trkpt lat=\"2\" lon=\"2\"/></trkseg></trk>" : std::string();
         },
         "Invalid entry found in GPX format", count + 2},
    };
    const int gpx = TConvertFromBase::IndexOf(QStringLiteral(".gpx"), QStringLiteral("gengpx"));
    ASSERT_GE(gpx, 0);
    for (const bool retain : {false, true}) {
        SetGpxOptions(false, retain);
        for (const TCase& c : cases) {
            std::string bytes = WorldGpx(count, c.Between);
            if (std::string_view(c.What) == "document type")
                bytes.insert(bytes.find("<gpx"), "<!DOCTYPE gpx>");
            ASSERT_GT(bytes.size(), size_t(3) << 20);
            const TRead one = ReadWith(1, gpx, bytes);
            const TRead many = ReadWith(ManyThreads, gpx, bytes);
            EXPECT_TRUE(one.Error.startsWith(QLatin1String(c.Error))) << c.What << ": " << one.Error.left(200).toStdString();
            EXPECT_EQ(one.Error, many.Error) << c.What;
            EXPECT_EQ(one.Progress, many.Progress) << c.What;
            EXPECT_EQ(one.Count, c.Kept) << c.What;
            EXPECT_TRUE(one.Entries == many.Entries) << c.What;
            if (std::string_view(c.Error) == "<no error>") {
                ASSERT_FALSE(many.Progress.empty());
                EXPECT_TRUE(std::is_sorted(many.Progress.begin(), many.Progress.end())) << c.What;
                EXPECT_LE(many.Progress.front(), 1);
                EXPECT_EQ(many.Progress.back(), 99) << c.What;
            }
        }
    }
}

namespace {

// The start of every record of an ov2 file.
std::vector<size_t> Ov2Records(const std::string& bytes)
{
    std::vector<size_t> starts;
    for (size_t at = 0; at < bytes.size();) {
        starts.push_back(at);
        const auto type = uint8_t(bytes[at]);
        at += type == 1 || type == 100 ? 21 : DecodeLE<uint32_t>(bytes.data() + at + 1);
    }
    return starts;
}

std::string Ov2Poi(uint8_t type, const std::string& texts)
{
    std::string record(13, '\0');
    record[0] = char(type);
    EncodeLE<int32_t>(record.data() + 1, int32_t(13 + texts.size() + 1));
    EncodeLE<int32_t>(record.data() + 5, 490000);
    EncodeLE<int32_t>(record.data() + 9, -5250000);
    return record + texts + '\0';
}

} // namespace

// A big ov2 file is read in parts between record bounds found first: damage anywhere, in the
// bounds or in the texts, early or late, gives the one-thread read's entries, progress, error
// and stream position.
TEST_F(Parallel, Ov2ReadInPartsReadsAsOneThread)
{
    TEntries world;
    FillWorld(world, 60000);
    TConvertToOv2 writer;
    const int ov2 = TConvertFromBase::IndexOf(QStringLiteral(".ov2"), QStringLiteral("ttov2"));
    for (const bool tree : {true, false}) {
        writer.WriteBoolOption(0, tree);
        const std::string clean = WriteWith(1, TConvertToBase::IndexOfFormatID(QStringLiteral("ttov2")), world).substr(11);
        ASSERT_GT(clean.size(), size_t(1) << 20);
        const std::vector<size_t> records = Ov2Records(clean);
        // The first POI record at or after a share of the file.
        const auto poiAt = [&](double share) {
            for (const size_t at : records)
                if (at >= size_t(double(clean.size()) * share) && clean[at] == 2)
                    return at;
            return records.back();
        };
        struct TCase {
            const char* What;
            std::function<void(std::string&, size_t)> Damage;
            bool Fails;
        };
        const TCase cases[] = {
            {"clean", [](std::string&, size_t) {}, false},
            {"unknown type", [](std::string& b, size_t at) { b[at] = 4; }, true},
            {"length one too long", [](std::string& b, size_t at) { EncodeLE<int32_t>(b.data() + at + 1, DecodeLE<int32_t>(b.data() + at + 1) + 1); }, true},
            {"length one too short", [](std::string& b, size_t at) { EncodeLE<int32_t>(b.data() + at + 1, DecodeLE<int32_t>(b.data() + at + 1) - 1); }, true},
            {"length past the end", [](std::string& b, size_t at) { EncodeLE<int32_t>(b.data() + at + 1, INT32_MAX); }, true},
            {"negative length", [](std::string& b, size_t at) { EncodeLE<int32_t>(b.data() + at + 1, -5); }, true},
            {"zero inside the text", [](std::string& b, size_t at) { b[at + 13] = '\0'; }, true},
            {"other records", [](std::string& b, size_t at) {
                 b.insert(at, Ov2Poi(3, std::string("three\0a\0b", 9)) + Ov2Poi(0, "deleted") + std::string("\x64\x15\0\0\0", 5) + std::string(16, '\0'));
             }, false},
            {"type 3 missing a text", [](std::string& b, size_t at) { b.insert(at, Ov2Poi(3, std::string("three\0a", 7))); }, true},
            {"skipper cut short at the end", [](std::string& b, size_t) { b += std::string("\x01\x15\0\0\0\0\0", 7); }, false},
            {"record head cut short at the end", [](std::string& b, size_t) { b += std::string("\x02\x20\0\0\0\0\0", 7); }, true},
        };
        for (const TCase& c : cases) {
            for (const double share : {0.01, 0.4, 0.97}) {
                std::string bytes = clean;
                c.Damage(bytes, poiAt(share));
                const std::string what = std::string(c.What) + (tree ? " (tree) at " : " (flat) at ") + std::to_string(share);
                const TRead one = ReadWith(1, ov2, bytes);
                const TRead many = ReadWith(ManyThreads, ov2, bytes);
                EXPECT_EQ(one.Error, c.Fails ? QStringLiteral("Invalid ov2 file") : QStringLiteral("<no error>")) << what;
                EXPECT_EQ(one.Error, many.Error) << what;
                EXPECT_EQ(one.Progress, many.Progress) << what;
                EXPECT_EQ(one.Position, many.Position) << what;
                EXPECT_EQ(one.Count, many.Count) << what;
                EXPECT_TRUE(one.Entries == many.Entries) << what;
                EXPECT_EQ(one.Changed, many.Changed) << what;
                // Damage at the end keeps every POI of the file.
                if (c.Fails && !std::string_view(c.What).ends_with("at the end"))
                    EXPECT_LT(one.Count, world.Count() + 1) << what;
                else
                    EXPECT_GE(one.Count, world.Count() + 1) << what;
            }
        }
    }
}

namespace {

// Tells which threads ask for options or the precision, and how often.
class TWatchedOptionSource final : public IOptionSource {
public:
    bool ReadBool(const QString& section, const QString& key, bool fallback) const override
    {
        Seen();
        return FValues.ReadBool(section, key, fallback);
    }
    int ReadInteger(const QString& section, const QString& key, int fallback) const override
    {
        Seen();
        return FValues.ReadInteger(section, key, fallback);
    }
    void WriteBool(const QString& section, const QString& key, bool value) const override { FValues.WriteBool(section, key, value); }
    void WriteInteger(const QString& section, const QString& key, int value) const override { FValues.WriteInteger(section, key, value); }
    int Precision() const override
    {
        Seen();
        ++Precisions;
        return FValues.Precision();
    }
    std::unique_ptr<IOptionSection> OpenSection(const QString& section) const override
    {
        Seen();
        ++Sections;
        return IOptionSource::OpenSection(section);
    }

    const std::thread::id Owner = std::this_thread::get_id();
    mutable std::atomic<int> Strangers{0}, Precisions{0}, Sections{0};

private:
    void Seen() const
    {
        if (std::this_thread::get_id() != Owner)
            ++Strangers;
    }
    TMemoryOptionSource FValues;
};

} // namespace

// Each conversion reads its options and the precision once, on the caller's thread, and hands
// them to its threads.
TEST_F(Parallel, ConversionThreadsNeverReadTheSettings)
{
    TEntries world;
    FillWorld(world, 60000);
    TWatchedOptionSource watched;
    UseOptionSource(&watched);
    const TThreads scope(ManyThreads);
    const std::pair<QString, QString> formats[] = {{QStringLiteral(".ov2"), QStringLiteral("ttov2")},
                                                   {QStringLiteral(".gpx"), QStringLiteral("gengpx")}};
    for (const auto& format : formats) {
        const std::string id = format.second.toStdString();
        for (const bool retain : {false, true}) {
            TConvertFromGpx().WriteBoolOption(1, retain);
            watched.Precisions = 0;
            watched.Sections = 0;
            TMemoryStream stream;
            world.SaveToStream(stream, format.first, format.second);
            EXPECT_EQ(watched.Precisions, 1) << id << " written";
            EXPECT_LE(watched.Sections, 1) << id << " written";
            ASSERT_GT(stream.Size(), uint64_t(1) << 20) << id;
            watched.Precisions = 0;
            watched.Sections = 0;
            TEntries back;
            stream.Seek(0);
            back.LoadFromStream(stream, format.first, format.second, false);
            EXPECT_EQ(back.Count(), world.Count()) << id;
            EXPECT_EQ(watched.Precisions, 1) << id << " read";
            EXPECT_LE(watched.Sections, 1) << id << " read";
        }
    }
    UseOptionSource(&Options.Source);
    EXPECT_EQ(watched.Strangers, 0);
}

// Whatever stands before the root (the declaration, comments, processing instructions, white
// space, of any length), the document is cut into pieces, the pieces read as the whole does, and
// the read is the one-thread read; comments and processing instructions inside the points go
// into their extra data on every thread. A document type is never cut.
TEST_F(Parallel, GpxPrologsOfAnyKindAreCutIntoPieces)
{
    const std::string longComment = "<!--" + std::string(3 << 20, 'c') + "-->";
    std::string manyItems;
    for (int i = 0; i < 20000; ++i)
        manyItems += i % 2 ? "<?p " + std::to_string(i) + "?>\n" : "<!-- " + std::to_string(i) + " -->\n";
    struct TCase {
        const char* What;
        std::string Prolog;
        bool Cut;
    };
    const TCase cases[] = {
        {"nothing", "", true},
        {"comment", "<!-- made by hand -->\n", true},
        {"empty comment", "<!---->", true},
        {"processing instruction", "<?xml-stylesheet href=\"a.xsl\"?>", true},
        {"markup in a comment", "<!-- <gpx> <wpt lat=\"1\" lon=\"2\"/> ?> - -->\r\n\t ", true},
        {"mixed", "\n<?a?><!--b-->  <?c d?>\n<!--e-->\n", true},
        {"long comment", longComment, true},
        {"many comments and instructions", manyItems, true},
        {"document type", "<!-- x --><!DOCTYPE gpx>", false},
    };
    const int gpx = TConvertFromBase::IndexOf(QStringLiteral(".gpx"), QStringLiteral("gengpx"));
    ASSERT_GE(gpx, 0);
    std::string world;
    {
        const std::string plain = WorldGpx(30000);
        size_t from = 0;
        for (size_t at; (at = plain.find("</desc>", from)) != std::string::npos; from = at + 7)
            world.append(plain, from, at + 7 - from) += "<?p d?><!--c-->";
        world.append(plain, from);
    }
    for (const TCase& c : cases) {
        std::string bytes = world;
        bytes.insert(bytes.find("<gpx"), c.Prolog);
        const TXmlPieces split(bytes, "gpx", "wpt", 8);
        EXPECT_EQ(split.Count(), c.Cut ? 8u : 0u) << c.What;
        for (size_t i = 0; i < split.Count(); ++i)
            EXPECT_TRUE(split.Parse(i, nullptr)) << c.What << " piece " << i;
        for (const bool retain : {false, true}) {
            SetGpxOptions(false, retain);
            const TRead one = ReadWith(1, gpx, bytes);
            const TRead many = ReadWith(ManyThreads, gpx, bytes);
            EXPECT_EQ(one.Count, c.Cut ? 30001 : 1) << c.What;
            EXPECT_EQ(one.Error, many.Error) << c.What;
            EXPECT_EQ(one.Progress, many.Progress) << c.What;
            EXPECT_TRUE(one.Entries == many.Entries) << c.What;
            if (retain && c.Cut) {
                EXPECT_NE(one.Entries.find("<cmt>POI 7 Cafe</cmt><desc>POI 7 Cafe</desc><?p d?><!--c--></wpt>"), std::string::npos) << c.What;
            }
        }
    }
}
