// Every importer of the registry against damaged copies of its fixtures: cut at every offset,
// bytes flipped with a fixed seed, extreme length values written over every offset. Each case
// must end cleanly or with one of the project's errors, within a time limit, with sane entries.
#include "core/uStream.h"
#include "support/DamagedCopies.h"
#include "formats/uConvertBase.h"
#include "model/uModel.h"
#include "support/OptionSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cmath>
#include <iostream>
#include <memory>
#include <mutex>
#include <random>
#include <stdexcept>
#include <thread>

namespace {

// Generous: the sanitizer build is several times slower, and a hang never ends anyway.
constexpr auto CaseTimeLimit = std::chrono::seconds(10);
enum class TOutcome { Clean, KnownError, Unexpected, Insane, Timeout };

struct TResult {
    TOutcome Outcome = TOutcome::Clean;
    std::string Detail;
};

// The entries a reader produced must be usable: bounded in number, positions on the globe.
std::string CheckEntries(const TEntries& entries, size_t inputSize)
{
    if (size_t(entries.Count()) > inputSize)
        return "more entries than input bytes";
    for (int i = 0; i < entries.Count(); ++i) {
        const double lon = entries[i].GetLongitude();
        const double lat = entries[i].GetLatitude();
        if (!std::isfinite(lon) || !std::isfinite(lat) || std::fabs(lon) > 180 || std::fabs(lat) > 90)
            return "entry " + std::to_string(i) + " off the globe";
    }
    return {};
}

TResult RunCase(int row, const std::string& bytes)
{
    TResult result;
    TEntries entries;
    try {
        const std::unique_ptr<TConvertFromBase> importer = TConvertFromBase::CreateConverterAt(row);
        TMemoryStream stream(bytes);
        try {
            importer->Convert(entries, stream);
        } catch (const ETarvellError&) {
            result.Outcome = TOutcome::KnownError;
        }
        const std::string insane = CheckEntries(entries, bytes.size());
        if (!insane.empty())
            result = {TOutcome::Insane, insane};
    } catch (const std::exception& e) {
        result = {TOutcome::Unexpected, e.what()};
    } catch (...) {
        result = {TOutcome::Unexpected, "unknown exception"};
    }
    return result;
}

using TCase = TDamagedCopy;

// Runs the cases one after another in a worker thread and hands back each result as it comes;
// a case that overruns the limit ends the batch with a time-out, and the worker is left behind
// (it owns everything it touches).
class TBatch {
public:
    TBatch(int row, std::vector<TCase> cases, std::chrono::milliseconds limit = CaseTimeLimit)
        : FState(std::make_shared<TState>())
        , FLimit(limit)
    {
        FState->Cases = std::move(cases);
        std::thread([state = FState, row] {
            for (const TCase& c : state->Cases) {
                TResult result = RunCase(row, c.Bytes);
                const std::lock_guard lock(state->Mutex);
                state->Results.push_back(std::move(result));
                state->Ready.notify_one();
            }
        }).detach();
    }
    size_t Count() const { return FState->Cases.size(); }
    const TCase& Case(size_t i) const { return FState->Cases[i]; }
    TResult Result(size_t i)
    {
        std::unique_lock lock(FState->Mutex);
        if (!FState->Ready.wait_for(lock, FLimit, [&] { return FState->Results.size() > i; }))
            return {TOutcome::Timeout, "no result within the time limit"};
        return FState->Results[i];
    }

private:
    struct TState {
        std::vector<TCase> Cases;
        std::mutex Mutex;
        std::condition_variable Ready;
        std::vector<TResult> Results;
    };
    std::shared_ptr<TState> FState;
    std::chrono::milliseconds FLimit;
};

// The fixtures of a row: tests/data/<format ID>/ files with the row's extension, any case.
QStringList FixturesOf(int row)
{
    const QString folder = QStringLiteral(TARVELL_TEST_DATA "/") + TConvertFromBase::FormatIDAt(row);
    const QString extension = TConvertFromBase::Extension(row).mid(1);
    QStringList out;
    for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files, QDir::Name))
        if (info.suffix().compare(extension, Qt::CaseInsensitive) == 0)
            out << info.absoluteFilePath();
    return out;
}

const char* OutcomeName(TOutcome outcome)
{
    switch (outcome) {
    case TOutcome::Clean:
        return "clean end";
    case TOutcome::KnownError:
        return "project error";
    case TOutcome::Unexpected:
        return "unexpected exception";
    case TOutcome::Insane:
        return "insane entries";
    case TOutcome::Timeout:
        return "time-out";
    }
    return "?";
}

} // namespace

TEST(ReaderRobustness, EveryImporterSurvivesDamagedFixtures)
{
    ASSERT_GT(TConvertFromBase::FormatCount(), 0);
    int tested = 0;
    for (int row = 0; row < TConvertFromBase::FormatCount(); ++row) {
        const std::string id = TConvertFromBase::FormatIDAt(row).toStdString();
        const std::string label = id + " (row " + std::to_string(row) + ", " + TConvertFromBase::Extension(row).toStdString() + ")";
        const QStringList fixtures = FixturesOf(row);
        if (fixtures.isEmpty()) {
            std::cout << "[ SKIPPED  ] " << label << ": no fixtures in tests/data/" << id << "/" << std::endl;
            continue;
        }
        ++tested;
        size_t cases = 0, errors = 0;
        for (const QString& path : fixtures) {
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
            const QByteArray data = file.readAll();
            const std::string name = QFileInfo(path).fileName().toStdString();
            TBatch batch(row, DamagedCopies(std::string(data.constData(), size_t(data.size()))));
            for (size_t i = 0; i < batch.Count(); ++i) {
                const TCase& c = batch.Case(i);
                const TResult result = batch.Result(i);
                ++cases;
                if (result.Outcome == TOutcome::KnownError)
                    ++errors;
                ASSERT_TRUE(result.Outcome == TOutcome::Clean || result.Outcome == TOutcome::KnownError)
                    << label << " " << name << ", " << c.Name << ": " << OutcomeName(result.Outcome) << " " << result.Detail;
            }
        }
        std::cout << "[ READER   ] " << label << ": " << fixtures.size() << " fixtures, " << cases << " cases, " << errors
                  << " ended in a project error" << std::endl;
    }
    EXPECT_GT(tested, 0);
}

namespace {

// Readers that misbehave, to show the harness notices.
class TFakeSlowReader : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("fakeslow"); }
    void Convert(TEntries&, TMemoryStream&) override { std::this_thread::sleep_for(std::chrono::milliseconds(800)); }
};

class TFakeForeignErrorReader : public TConvertFromBase {
public:
    QString FormatID() const override { return QStringLiteral("fakeforeign"); }
    void Convert(TEntries&, TMemoryStream& stream) override
    {
        if (stream.Size() > 1)
            throw std::runtime_error("not one of ours");
    }
};

} // namespace

TEST(ReaderRobustness, HarnessCatchesHangsAndForeignExceptions)
{
    TConvertFromBase::RegisterFormat<TFakeSlowReader>(QStringLiteral("Slow"), QStringLiteral("slow"));
    TConvertFromBase::RegisterFormat<TFakeForeignErrorReader>(QStringLiteral("Foreign"), QStringLiteral("foreign"));
    const int slow = TConvertFromBase::IndexOf(QStringLiteral("slow"), QString());
    const int foreign = TConvertFromBase::IndexOf(QStringLiteral("foreign"), QString());

    TBatch hanging(slow, {{"one", "x"}}, std::chrono::milliseconds(50));
    EXPECT_EQ(hanging.Result(0).Outcome, TOutcome::Timeout);
    TBatch throwing(foreign, {{"short", "x"}, {"long", "xyz"}});
    EXPECT_EQ(throwing.Result(0).Outcome, TOutcome::Clean);
    const TResult second = throwing.Result(1);
    EXPECT_EQ(second.Outcome, TOutcome::Unexpected);
    EXPECT_EQ(second.Detail, "not one of ours");

    TConvertFromBase::UnregisterFormat<TFakeSlowReader>();
    TConvertFromBase::UnregisterFormat<TFakeForeignErrorReader>();
}

namespace {

std::string Repeat(const std::string& text, int count)
{
    std::string out;
    for (int i = 0; i < count; ++i)
        out += text;
    return out;
}

std::string Nest(const std::string& tag, int depth, const std::string& inner, bool close = true)
{
    std::string out;
    for (int i = 0; i < depth; ++i)
        out += "<" + tag + ">";
    out += inner;
    for (int i = 0; close && i < depth; ++i)
        out += "</" + tag + ">";
    return out;
}

} // namespace

// Deep nesting where the readers take a description and remove or replace nodes: every XML
// importer with every option, then the GPX list written back and copied as clipboard text.
TEST(ReaderRobustness, XmlReadersSurviveDeepNesting)
{
    const TMemoryOptions options;  // the GPX options set here go with it
    const int depth = 200000;
    const std::string point = "<wpt lat=\"1\" lon=\"2\"><desc>d</desc>";
    const std::vector<TCase> documents = {
        {"name", "<gpx>" + point + Nest("name", depth, "n") + "</wpt></gpx>"},
        {"desc", "<gpx>" + point + "<name>" + Nest("desc", depth, "x") + "</name></wpt></gpx>"},
        {"extensions", "<gpx>" + point + "<name>n</name><extensions>" + Nest("e", depth, "") + "</extensions></wpt></gpx>"},
        {"track point", "<gpx><trk><trkseg><trkpt lat=\"1\" lon=\"2\">" + Nest("name", depth, "t") + "</trkpt></trkseg></trk></gpx>"},
        {"placemark", "<kml><Placemark>" + Nest("name", depth, "k") + "<Point><coordinates>1,2</coordinates></Point></Placemark></kml>"},
        {"placemarks", "<kml>" + Nest("Placemark", depth, "<Point><coordinates>1,2</coordinates></Point>") + "</kml>"},
        // Each name holds the text of every Placemark inside it: the descriptions would add up
        // to the square of the file's size.
        {"placemarks in names", "<kml><Folder>" + Repeat("<Placemark><name>x", depth / 4) +
                                    Repeat("</name><Point><coordinates>1,2</coordinates></Point></Placemark>", depth / 4) + "</Folder></kml>"},
        {"cell", "<Workbook><Worksheet><Table><Row><Cell>" + Nest("Data", depth, "1") + "</Cell><Cell>2</Cell></Row></Table></Worksheet></Workbook>"},
        {"never closed", "<gpx>" + point + Nest("name", depth, "", false)},
    };
    const int gpxRow = TConvertFromBase::IndexOf(QStringLiteral("gpx"), QString());
    auto expectSurvives = [&](int row) {
        TBatch batch(row, documents);
        for (size_t i = 0; i < batch.Count(); ++i) {
            const TResult result = batch.Result(i);
            ASSERT_TRUE(result.Outcome == TOutcome::Clean || result.Outcome == TOutcome::KnownError)
                << TConvertFromBase::FormatIDAt(row).toStdString() << " " << batch.Case(i).Name << ": "
                << OutcomeName(result.Outcome) << " " << result.Detail;
        }
    };
    expectSurvives(TConvertFromBase::IndexOf(QStringLiteral("kml"), QString()));
    expectSurvives(TConvertFromBase::IndexOf(QStringLiteral("xml"), QString()));
    for (const bool useDesc : {false, true}) {
        for (const bool retain : {false, true}) {
            {
                const std::unique_ptr<TConvertFromBase> gpx = TConvertFromBase::CreateConverterAt(gpxRow);
                gpx->WriteBoolOption(0, useDesc);
                gpx->WriteBoolOption(1, retain);
            }
            expectSurvives(gpxRow);
            for (const TCase& c : documents) {
                TEntries entries;
                TMemoryStream in(c.Bytes);
                try {
                    entries.LoadFromStream(in, QStringLiteral("gpx"), QString(), false);
                } catch (const ETarvellError&) {
                }
                for (int i = 0; i < entries.Count(); ++i)
                    entries[i].SetDescription("replaced");
                TMemoryStream out;
                entries.SaveToStream(out, QStringLiteral("gpx"), QString());
                TEntries back;
                TMemoryStream again(out.Data());
                back.LoadFromStream(again, QStringLiteral("gpx"), QString(), false);
                EXPECT_EQ(back.Count(), entries.Count()) << c.Name;
            }
        }
    }
}
