// Batch conversion on temporary folders: the checks, the modes, the questions, the settings and
// that no source is ever overwritten.
#include "app/logic/uBatchConvert.h"

#include "core/uLocations.h"
#include "core/uStream.h"
#include "formats/uConvertBase.h"
#include "model/uModel.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <deque>

namespace {

int Importer(const char* extension, const char* formatID)
{
    return TConvertFromBase::IndexOf(QString::fromLatin1(extension), QString::fromLatin1(formatID));
}

int Exporter(const char* extension, const char* formatID)
{
    return TConvertToBase::IndexOf(QString::fromLatin1(extension), QString::fromLatin1(formatID));
}

void WritePois(const QString& path, const std::vector<std::string>& descriptions, const char* extension = "ov2",
    const char* formatID = "ttov2")
{
    TEntries entries;
    double lat = 52.0;
    for (const std::string& description : descriptions)
        entries.Add(description, "", 4.5, lat += 0.01);
    TMemoryStream stream;
    entries.SaveToStream(stream, QString::fromLatin1(extension), QString::fromLatin1(formatID));
    SaveBytesToFile(path, stream.Data());
}

std::vector<std::string> ReadPois(const QString& path, const char* formatID)
{
    TMemoryStream stream(LoadBytesFromFile(path));
    TEntries entries;
    entries.LoadFromStream(stream, QFileInfo(path).suffix(), QString::fromLatin1(formatID), false);
    std::vector<std::string> descriptions;
    for (int i = 0; i < entries.Count(); ++i)
        descriptions.emplace_back(entries[i].GetDescription());
    return descriptions;
}

class TScriptedQuestions : public TBatchQuestions {
public:
    std::deque<bool> AppendAnswers;
    std::deque<TOverwrite> OverwriteAnswers;
    std::deque<bool> ErrorAnswers;
    int StopBeforeFile = -1; // KeepGoing answers false before this file (0-based)
    QStringList Asked;
    std::vector<int> Done;

    bool OverwriteAppendTarget(const QString& question) override
    {
        Asked << question;
        return Take(AppendAnswers, false);
    }
    TOverwrite OverwriteTarget(const QString& question) override
    {
        Asked << question;
        return Take(OverwriteAnswers, TOverwrite::Cancel);
    }
    bool ContinueAfterError(const QString& question) override
    {
        Asked << question;
        return Take(ErrorAnswers, false);
    }
    void Progress(int done, int) override { Done.push_back(done); }
    bool KeepGoing() override { return ++FBetween != StopBeforeFile; }

private:
    template <typename T> static T Take(std::deque<T>& answers, T fallback)
    {
        if (answers.empty())
            return fallback;
        T answer = answers.front();
        answers.pop_front();
        return answer;
    }
    int FBetween = 0;
};

class BatchConvert : public CleanSettingsTest {
protected:
    QTemporaryDir Dir;
    QString Source = Dir.filePath(QStringLiteral("source"));
    QString Dest = Dir.filePath(QStringLiteral("dest"));

    void SetUp() override
    {
        QDir().mkpath(Source);
        QDir().mkpath(Dest);
    }
    QString In(const QString& name) const { return QDir(Source).filePath(name); }
    QString Out(const QString& name) const { return QDir(Dest).filePath(name); }
    // Three ov2 files in the source folder, converted to Generic Ascii one per file.
    TBatchJob ThreeOv2ToAsc()
    {
        WritePois(In(QStringLiteral("Camping.ov2")), { "Site A", "Site B" });
        WritePois(In(QStringLiteral("bakery.ov2")), { "Bread" });
        WritePois(In(QStringLiteral("Zoo.OV2")), { "Lions" });
        TBatchJob job;
        job.SourceImporter = Importer("ov2", "ttov2");
        job.SourceFolder = Source;
        job.Files = TBatchConverter::ListSource(Source, job.SourceImporter);
        job.DestExporter = Exporter("asc", "genasc");
        job.DestFolder = Dest;
        return job;
    }
    std::map<QString, QByteArray> Snapshot(const QString& folder) const
    {
        std::map<QString, QByteArray> files;
        for (const QFileInfo& info : QDir(folder).entryInfoList(QDir::Files)) {
            QFile f(info.filePath());
            EXPECT_TRUE(f.open(QIODevice::ReadOnly));
            files[info.fileName()] = f.readAll();
        }
        return files;
    }
};

} // namespace

TEST_F(BatchConvert, ListsByExtensionWithoutCaseSortedByName)
{
    WritePois(In(QStringLiteral("b.ov2")), { "x" });
    WritePois(In(QStringLiteral("B.OV2")), { "x" });
    WritePois(In(QStringLiteral("a.Ov2")), { "x" });
    WritePois(In(QStringLiteral("c.gpx")), { "x" }, "gpx", "gengpx");
    QDir().mkpath(In(QStringLiteral("folder.ov2")));
    const int ov2 = Importer("ov2", "ttov2");
    EXPECT_EQ(TBatchConverter::ListSource(Source, ov2), (QStringList { "a.Ov2", "B.OV2", "b.ov2" }));
    EXPECT_EQ(TBatchConverter::ListDest(Source, -1), (QStringList { "a.Ov2", "B.OV2", "b.ov2", "c.gpx" }));
    EXPECT_TRUE(TBatchConverter::ListSource(QString(), ov2).isEmpty());
    try {
        TBatchConverter::ListSource(Dir.filePath(QStringLiteral("gone")), ov2);
        ADD_FAILURE();
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Source directory does not exist"));
    }
    EXPECT_THROW(TBatchConverter::ListDest(Dir.filePath(QStringLiteral("gone")), 0), EUserError);
}

TEST_F(BatchConvert, ChecksInOrderWithTheirMessages)
{
    const int ov2 = Exporter("ov2", "ttov2");
    const int gpx = Exporter("gpx", "gengpx");
    const int navman = Exporter("csv", "navmancsv");
    const int garmin = Exporter("csv", "garmincsv");
    struct TCase {
        const char* Message;
        std::function<void(TBatchJob&)> Change;
    } cases[] = {
        { "No files selected", [](TBatchJob& j) { j.SelectedOnly = true; } },
        { "Source and destination types are equal", [&](TBatchJob& j) { j.DestExporter = ov2; } },
        { "Extension \".gpx\" of filename does not match selected filetype.",
            [](TBatchJob& j) { j.DestFile = QStringLiteral("/x/all.GPX"); } },
        { "Destination filename not set", [](TBatchJob& j) { j.DestMode = TBatchDestMode::Append; } },
        { "No destination type(s) selected", [](TBatchJob& j) { j.DestExporter = -1; } },
        { "Destination type conflict, you can have only one destination format per file extension (duplicate "
          "extension: .csv)",
            [&](TBatchJob& j) {
                j.DestExporter = -1;
                j.DestFormats = { gpx, navman, garmin };
            } },
        { "Destination directory does not exist", [&](TBatchJob& j) { j.DestFolder = Dir.filePath(QStringLiteral("gone")); } },
        // Bare names would land in the program's working folder.
        { "The destination all.asc is not a full path; choose its folder",
            [](TBatchJob& j) {
                j.DestMode = TBatchDestMode::Append;
                j.DestFile = QStringLiteral("all.asc");
            } },
        { "The destination sub/all.asc is not a full path; choose its folder",
            [](TBatchJob& j) {
                j.DestMode = TBatchDestMode::Append;
                j.DestFile = QStringLiteral("sub/all.asc");
            } },
        { "The destination out is not a full path; choose its folder", [](TBatchJob& j) { j.DestFolder = QStringLiteral("out"); } },
        { "Destination directory does not exist", [&](TBatchJob& j) { j.DestFolder = In(QStringLiteral("Camping.ov2")); } },
        // The first failing check is the one reported.
        { "No files selected",
            [&](TBatchJob& j) {
                j.SelectedOnly = true;
                j.DestExporter = ov2;
                j.DestMode = TBatchDestMode::Append;
            } },
    };
    for (const TCase& test : cases) {
        TBatchJob job = ThreeOv2ToAsc();
        test.Change(job);
        try {
            TBatchConverter::Check(job);
            ADD_FAILURE() << test.Message;
        } catch (const EUserError& e) {
            EXPECT_EQ(e.Message(), QString::fromLatin1(test.Message));
        }
    }
    TBatchJob good = ThreeOv2ToAsc();
    good.DestFile = QStringLiteral("/x/all.ASC");
    EXPECT_NO_THROW(TBatchConverter::Check(good));
    // Appending writes one named file: the destination folder is not asked about.
    good.DestMode = TBatchDestMode::Append;
    good.DestFolder = Dir.filePath(QStringLiteral("gone"));
    EXPECT_NO_THROW(TBatchConverter::Check(good));
}

TEST_F(BatchConvert, ThreeOv2FilesToAscii)
{
    TScriptedQuestions questions;
    const TBatchResult result = TBatchConverter::Run(ThreeOv2ToAsc(), questions);
    EXPECT_EQ(result.End, TBatchResult::TEnd::Completed);
    EXPECT_EQ(result.FilesDone, 3);
    EXPECT_EQ(questions.Done, (std::vector<int> { 1, 2, 3 }));
    EXPECT_EQ(TBatchConverter::ListDest(Dest, -1), (QStringList { "bakery.asc", "Camping.asc", "Zoo.asc" }));
    EXPECT_EQ(ReadPois(Out(QStringLiteral("Camping.asc")), "genasc"), (std::vector<std::string> { "Site A", "Site B" }));
    EXPECT_TRUE(questions.Asked.isEmpty());
}

TEST_F(BatchConvert, SelectedFilesOnlyInListOrder)
{
    TBatchJob job = ThreeOv2ToAsc();
    job.SelectedOnly = true;
    job.Selected = { QStringLiteral("Zoo.OV2"), QStringLiteral("bakery.ov2") };
    EXPECT_EQ(TBatchConverter::FilesToDo(job), (QStringList { "bakery.ov2", "Zoo.OV2" }));
    TScriptedQuestions questions;
    TBatchConverter::Run(job, questions);
    EXPECT_EQ(TBatchConverter::ListDest(Dest, -1), (QStringList { "bakery.asc", "Zoo.asc" }));
}

TEST_F(BatchConvert, TwoFormatsPerFile)
{
    TBatchJob job = ThreeOv2ToAsc();
    job.DestExporter = -1;
    job.DestFormats = { Exporter("ov2", "ttov2"), Exporter("gpx", "gengpx") };
    TScriptedQuestions questions;
    TBatchConverter::Run(job, questions);
    EXPECT_EQ(TBatchConverter::ListDest(Dest, -1),
        (QStringList { "bakery.gpx", "bakery.ov2", "Camping.gpx", "Camping.ov2", "Zoo.gpx", "Zoo.ov2" }));
    EXPECT_EQ(ReadPois(Out(QStringLiteral("Zoo.gpx")), "gengpx"), (std::vector<std::string> { "Lions" }));
}

TEST_F(BatchConvert, ExistingTargetsAskYesNoCancel)
{
    WritePois(Out(QStringLiteral("bakery.asc")), { "old" }, "asc", "genasc");
    WritePois(Out(QStringLiteral("Zoo.asc")), { "old" }, "asc", "genasc");
    {
        TScriptedQuestions questions;
        questions.OverwriteAnswers = { TBatchQuestions::TOverwrite::No, TBatchQuestions::TOverwrite::Yes };
        EXPECT_EQ(TBatchConverter::Run(ThreeOv2ToAsc(), questions).End, TBatchResult::TEnd::Completed);
        EXPECT_EQ(questions.Asked,
            (QStringList { QStringLiteral("File %1 already exists. Do you want to overwrite?").arg(Out(QStringLiteral("bakery.asc"))),
                QStringLiteral("File %1 already exists. Do you want to overwrite?").arg(Out(QStringLiteral("Zoo.asc"))) }));
        EXPECT_EQ(ReadPois(Out(QStringLiteral("bakery.asc")), "genasc"), (std::vector<std::string> { "old" }));
        EXPECT_EQ(ReadPois(Out(QStringLiteral("Zoo.asc")), "genasc"), (std::vector<std::string> { "Lions" }));
    }
    QFile::remove(Out(QStringLiteral("Camping.asc")));
    TScriptedQuestions cancel;
    cancel.OverwriteAnswers = { TBatchQuestions::TOverwrite::Cancel };
    EXPECT_EQ(TBatchConverter::Run(ThreeOv2ToAsc(), cancel).End, TBatchResult::TEnd::Stopped);
    EXPECT_EQ(cancel.Asked.size(), 1);
    EXPECT_FALSE(QFileInfo::exists(Out(QStringLiteral("Camping.asc")))) << "a cancel ends before the next file";
}

TEST_F(BatchConvert, AppendWithFileNamesPrefixedOnce)
{
    TBatchJob job = ThreeOv2ToAsc();
    job.DestMode = TBatchDestMode::Append;
    job.DestFile = Out(QStringLiteral("all.asc"));
    job.AddFileNames = true;
    job.OpenAfterAppend = true;
    TScriptedQuestions questions;
    const TBatchResult result = TBatchConverter::Run(job, questions);
    // Written as named, not "all.asc.asc".
    EXPECT_EQ(TBatchConverter::ListDest(Dest, -1), QStringList { "all.asc" });
    EXPECT_EQ(ReadPois(job.DestFile, "genasc"),
        (std::vector<std::string> { "bakery - Bread", "Camping - Site A", "Camping - Site B", "Zoo - Lions" }));
    EXPECT_EQ(result.OpenPath, job.DestFile);
    EXPECT_EQ(result.OpenFormatID, QStringLiteral("genasc"));

    // A name without extension gets the format's; an existing file is asked about once.
    job.DestFile = Out(QStringLiteral("all"));
    job.AddFileNames = false;
    TScriptedQuestions again;
    again.AppendAnswers = { true };
    TBatchConverter::Run(job, again);
    EXPECT_EQ(again.Asked, QStringList { QStringLiteral("File %1 already exists. Do you want to overwrite?").arg(Out(QStringLiteral("all.asc"))) });
    EXPECT_EQ(ReadPois(Out(QStringLiteral("all.asc")), "genasc"), (std::vector<std::string> { "Bread", "Site A", "Site B", "Lions" }));

    TScriptedQuestions refuse;
    refuse.AppendAnswers = { false };
    const auto before = Snapshot(Dest);
    EXPECT_EQ(TBatchConverter::Run(job, refuse).End, TBatchResult::TEnd::Stopped);
    EXPECT_EQ(Snapshot(Dest), before);
}

TEST_F(BatchConvert, AFailedFileAnsweredYesIsSkipped)
{
    TBatchJob job = ThreeOv2ToAsc();
    // A readable record, then one whose length runs past the end: the reader fails after one POI.
    std::string bytes = LoadBytesFromFile(In(QStringLiteral("Camping.ov2")));
    bytes += std::string("\x02\xff\x00\x00\x00\x01\x02", 7);
    SaveBytesToFile(In(QStringLiteral("Camping.ov2")), bytes);
    {
        TScriptedQuestions questions;
        questions.ErrorAnswers = { true };
        job.DestMode = TBatchDestMode::Append;
        job.DestFile = Out(QStringLiteral("all.asc"));
        const TBatchResult result = TBatchConverter::Run(job, questions);
        EXPECT_EQ(result.FilesDone, 2);
        ASSERT_EQ(questions.Asked.size(), 1);
        EXPECT_TRUE(questions.Asked[0].startsWith(QStringLiteral("An error occured during conversion:\n\n")));
        EXPECT_TRUE(questions.Asked[0].endsWith(QStringLiteral("\n\nDo you want to continue the conversion?")));
        EXPECT_EQ(questions.Done, (std::vector<int> { 1, 2 }));
        // Nothing of the failed file under the next file's name.
        EXPECT_EQ(ReadPois(job.DestFile, "genasc"), (std::vector<std::string> { "Bread", "Lions" }));
    }
    {
        TScriptedQuestions questions;
        questions.ErrorAnswers = { false };
        job.DestMode = TBatchDestMode::Multiple;
        EXPECT_EQ(TBatchConverter::Run(job, questions).End, TBatchResult::TEnd::Stopped);
        EXPECT_EQ(TBatchConverter::ListDest(Dest, Exporter("asc", "genasc")), (QStringList { "all.asc", "bakery.asc" }));
    }
    // Every file failing: nothing was converted.
    TBatchJob broken = ThreeOv2ToAsc();
    broken.SelectedOnly = true;
    broken.Selected = { QStringLiteral("Camping.ov2") };
    SaveBytesToFile(In(QStringLiteral("Camping.ov2")), bytes);
    TScriptedQuestions questions;
    questions.ErrorAnswers = { true };
    try {
        TBatchConverter::Run(broken, questions);
        ADD_FAILURE();
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No source files selected"));
    }
}

TEST_F(BatchConvert, AStopBetweenFilesEndsAfterTheCurrentOne)
{
    TScriptedQuestions questions;
    questions.StopBeforeFile = 2;
    EXPECT_EQ(TBatchConverter::Run(ThreeOv2ToAsc(), questions).End, TBatchResult::TEnd::Stopped);
    EXPECT_EQ(TBatchConverter::ListDest(Dest, -1), (QStringList { "bakery.asc", "Camping.asc" }));
}

TEST_F(BatchConvert, NoTargetIsEverASourceFile)
{
    WritePois(In(QStringLiteral("shops.csv")), { "Shop" }, "csv", "dstcsv");
    struct TCase {
        const char* Name;
        std::function<void(TBatchJob&)> Change;
    } cases[] = {
        { "the source format ticked in multiple mode, into the source folder",
            [&](TBatchJob& j) {
                j.DestFolder = Source;
                j.DestExporter = -1;
                j.DestFormats = { Exporter("ov2", "ttov2"), Exporter("gpx", "gengpx") };
            } },
        { "csv to another csv format in the same folder",
            [&](TBatchJob& j) {
                j.SourceImporter = Importer("csv", "dstcsv");
                j.Files = TBatchConverter::ListSource(Source, j.SourceImporter);
                j.DestExporter = Exporter("csv", "navmancsv");
                j.DestFolder = Source + QStringLiteral("/./");
            } },
        { "Append onto a source",
            [&](TBatchJob& j) {
                j.DestMode = TBatchDestMode::Append;
                j.DestExporter = Exporter("ov2", "ttov2");
                j.DestFile = In(QStringLiteral("Zoo.OV2"));
                j.SelectedOnly = true;
                j.Selected = { QStringLiteral("bakery.ov2") };
            } },
        { "Append onto a source through a link",
            [&](TBatchJob& j) {
                QFile::link(In(QStringLiteral("Camping.ov2")), Out(QStringLiteral("link.ov2")));
                j.DestMode = TBatchDestMode::Append;
                j.DestExporter = Exporter("ov2", "ttov2");
                j.DestFile = Out(QStringLiteral("link.ov2"));
            } },
    };
    for (const TCase& test : cases) {
        TBatchJob job = ThreeOv2ToAsc();
        test.Change(job);
        const auto sources = Snapshot(Source);
        TScriptedQuestions questions;
        questions.AppendAnswers = { true, true };
        questions.OverwriteAnswers = { TBatchQuestions::TOverwrite::Yes, TBatchQuestions::TOverwrite::Yes };
        EXPECT_THROW(TBatchConverter::Run(job, questions), EUserError) << test.Name;
        EXPECT_EQ(Snapshot(Source), sources) << test.Name;
        EXPECT_TRUE(questions.Asked.isEmpty()) << test.Name;
    }
}

TEST_F(BatchConvert, SettingsRoundTrip)
{
    TSettings settings;
    // A new store: the application folder and the default destination format, ticked too.
    TBatchSettings loaded = TBatchSettings::Load(settings);
    EXPECT_EQ(loaded.SourceFolder, GetAppDir());
    EXPECT_EQ(loaded.DestFolder, GetAppDir());
    EXPECT_EQ(loaded.DestExporter, Exporter("ov2", "ttov2"));
    EXPECT_EQ(loaded.DestFormats, std::vector<int> { Exporter("ov2", "ttov2") });

    TBatchSettings chosen;
    chosen.SourceFolder = Source;
    chosen.DestFolder = Dest;
    chosen.DestExporter = -1;
    chosen.DestFormats = { Exporter("gpx", "gengpx"), Exporter("kml", "genkml") };
    chosen.Save(settings);
    EXPECT_EQ(settings.BatchConvertDestFormatID, QStringLiteral("*"));
    EXPECT_EQ(settings.BatchConvertDestFormatIDs, QStringLiteral(";gengpx;genkml"));
    loaded = TBatchSettings::Load(settings);
    EXPECT_EQ(loaded.SourceFolder, Source);
    EXPECT_EQ(loaded.DestFolder, Dest);
    EXPECT_EQ(loaded.DestExporter, -1);
    EXPECT_EQ(loaded.DestFormats, chosen.DestFormats);

    settings.BatchConvertDestFormatID = QStringLiteral("gengpx");
    settings.BatchConvertSource = Dir.filePath(QStringLiteral("removed since"));
    loaded = TBatchSettings::Load(settings);
    EXPECT_EQ(loaded.DestExporter, Exporter("gpx", "gengpx"));
    EXPECT_EQ(loaded.SourceFolder, GetAppDir());
    settings.BatchConvertDestFormatID = QStringLiteral("nosuchformat");
    EXPECT_EQ(TBatchSettings::Load(settings).DestExporter, 0);
}
