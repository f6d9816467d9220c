// The open routine: format choice, retry with another reader, default formats, recent files.
#include "app/logic/uChildDocument.h"
#include "app/logic/uOpenFile.h"
#include "core/uGeneral.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>

#include <deque>
#include <limits>
#include <memory>

#include <sys/stat.h>

namespace {

QString Fixture(const char* path) { return QStringLiteral(TARVELL_TEST_DATA "/") + QLatin1String(path); }

// Records what the routine asks; answers the choose-format dialog from a script.
class TFakeHost : public TOpenHost {
public:
    std::vector<std::unique_ptr<TChildDocument>> Children;
    int Discarded = 0;
    std::vector<std::string> Icons;
    int Progress = 0;
    bool FailWhenLoaded = false;
    struct TChoice {
        bool Ok;
        QString Format;
        bool Default;
    };
    std::deque<TChoice> Choices;
    QStringList Offered; // "path|tried|error"

    TChildDocument* NewChildDocument() override
    {
        Children.push_back(std::make_unique<TChildDocument>());
        return Children.back().get();
    }
    void DiscardChild(TChildDocument* child) override
    {
        ++Discarded;
        std::erase_if(Children, [child](const auto& c) { return c.get() == child; });
    }
    void SetChildIcon(TChildDocument*, const std::string& bitmap) override { Icons.push_back(bitmap); }
    void ChildLoaded(TChildDocument*) override
    {
        if (FailWhenLoaded)
            throw EUserError(QStringLiteral("window failed"));
    }
    std::function<void(int)> BeginProgress() override
    {
        return [this](int) { ++Progress; };
    }
    void EndProgress() override { }
    QStringList OfferedExtensions;
    bool ChooseFormat(const QString& path, const QString& extension, const QString& tried, const QString& error,
        QString& picked, bool& useAsDefault) override
    {
        Offered << path + QChar('|') + tried + QChar('|') + error;
        OfferedExtensions << extension;
        if (Choices.empty())
            return false;
        const TChoice choice = Choices.front();
        Choices.pop_front();
        picked = choice.Format;
        useAsDefault = choice.Default;
        return choice.Ok;
    }
};

class OpenFileTest : public CleanSettingsTest {
protected:
    QTemporaryDir Dir;
    TFakeHost Host;

    QString Copy(const char* fixture, const QString& name)
    {
        const QString path = Dir.filePath(name);
        QFile::remove(path);
        EXPECT_TRUE(QFile::copy(Fixture(fixture), path));
        return path;
    }
    QString Write(const QString& name, const std::string& bytes)
    {
        const QString path = Dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes.data(), qint64(bytes.size()));
        return path;
    }
};

} // namespace

TEST_F(OpenFileTest, OpensByExtensionIntoANewChildAndRecordsTheRecentFile)
{
    const QString path = Copy("genasc/museum.asc", QStringLiteral("museum.asc"));
    TOpenFile::Open(Host, path, nullptr, false, QString());
    ASSERT_EQ(Host.Children.size(), 1u);
    const TChildDocument& child = *Host.Children[0];
    EXPECT_EQ(child.FileName, path);
    EXPECT_EQ(child.FormatID, QStringLiteral("genasc"));
    EXPECT_GT(child.Entries.Count(), 0);
    EXPECT_FALSE(child.Entries.Changed());
    EXPECT_EQ(GetSettings().MRU.GetName(0), path);
    EXPECT_EQ(GetSettings().MRU.GetValueAt(0), QString());
    EXPECT_EQ(GetSettings().InitialDir, Dir.path());
    EXPECT_TRUE(Host.Icons.empty());
}

// A relative or "FILE://" path, as a first start or a drop may name it, is opened, kept and
// remembered as the absolute, cleaned path.
TEST_F(OpenFileTest, RelativeAndFilePrefixedPathsBecomeAbsolute)
{
    const QString path = Copy("genasc/museum.asc", QStringLiteral("museum.asc"));
    QDir::setCurrent(Dir.path());
    for (const QString& given : { QStringLiteral("museum.asc"), QStringLiteral("sub/../museum.asc"),
             QStringLiteral("FILE://") + Dir.path() + QStringLiteral("/./museum.asc") }) {
        Host.Children.clear();
        TOpenFile::Open(Host, given, nullptr, false, QString());
        ASSERT_EQ(Host.Children.size(), 1u) << given.toStdString();
        EXPECT_EQ(Host.Children[0]->FileName, path);
    }
    QDir::setCurrent(QDir::rootPath());
    EXPECT_EQ(GetSettings().MRU.Count(), 1);
    EXPECT_EQ(GetSettings().MRU.GetName(0), path);
}

TEST_F(OpenFileTest, RememberedFormatIsLookedUpUnderTheLowerCaseExtension)
{
    const QString path = Copy("navioasc/museum.asc", QStringLiteral("MUSEUM.ASC"));
    GetSettings().DefaultFormats = QStringList { QStringLiteral(".asc=navioasc") };
    TOpenFile::Open(Host, path, nullptr, false, QString());
    ASSERT_EQ(Host.Children.size(), 1u);
    EXPECT_EQ(Host.Children[0]->FormatID, QStringLiteral("navioasc"));
    EXPECT_EQ(GetSettings().MRU.GetValueAt(0), QStringLiteral("navioasc"));
}

TEST_F(OpenFileTest, UnknownRememberedFormatIsIgnored)
{
    const QString path = Copy("genasc/museum.asc", QStringLiteral("museum.asc"));
    GetSettings().DefaultFormats = QStringList { QStringLiteral(".asc=nosuchformat") };
    TOpenFile::Open(Host, path, nullptr, false, QString());
    ASSERT_EQ(Host.Children.size(), 1u);
    EXPECT_EQ(GetSettings().MRU.GetValueAt(0), QString());
}

TEST_F(OpenFileTest, RememberedReaderWithoutWriterStillCounts)
{
    // A reader-only format picked as default must be used, though no writer has its ID.
    GetSettings().DefaultFormats = QStringList { QStringLiteral(".gdb=gdb") };
    EXPECT_EQ(TOpenFile::ResolveFormat(QStringLiteral(".gdb"), QString()), QStringLiteral("gdb"));
    EXPECT_EQ(TOpenFile::ResolveFormat(QStringLiteral(".gdb"), QStringLiteral("other")), QStringLiteral("other"));
}

TEST(OpenFileFilter, FilterIndexMapsToImporterRows)
{
    const int n = TConvertFromBase::FormatCount();
    EXPECT_EQ(TOpenFile::FormatAtFilterIndex(1), QString());
    EXPECT_EQ(TOpenFile::FormatAtFilterIndex(2), TConvertFromBase::FormatIDAt(0));
    EXPECT_EQ(TOpenFile::FormatAtFilterIndex(n + 1), TConvertFromBase::FormatIDAt(n - 1));
    EXPECT_EQ(TOpenFile::FormatAtFilterIndex(n + 2), QString());
}

TEST_F(OpenFileTest, FailedReaderOffersTheOthersAndTheRetryStoresTheDefault)
{
    const QString path = Write(QStringLiteral("broken.csv"), "this is no POI file\r\n\x01\x02\x03\r\n");
    Host.Choices.push_back({ true, QStringLiteral("navmancsv"), true });
    // The picked reader fails as well: the dialog comes again; then Cancel.
    EXPECT_NO_THROW(TOpenFile::Open(Host, path, nullptr, false, QStringLiteral("dstcsv")));
    ASSERT_GE(Host.Offered.size(), 1);
    EXPECT_TRUE(Host.Offered[0].startsWith(path + QStringLiteral("|dstcsv|")));
    EXPECT_EQ(Host.OfferedExtensions[0], QStringLiteral(".csv"));
    EXPECT_TRUE(Host.Children.empty());
    EXPECT_EQ(Host.Discarded, 0);
    EXPECT_TRUE(GetSettings().DefaultFormats.isEmpty()) << "stored though the picked format failed";
    EXPECT_EQ(GetSettings().MRU.Count(), 0);
}

TEST_F(OpenFileTest, RetryWithAReaderThatWorksStoresTheDefaultInLowerCase)
{
    // Navman lines, which the Destinator reader (first for csv) rejects.
    const QString path = Copy("navmancsv/museum.csv", QStringLiteral("Museum.CSV"));
    GetSettings().DefaultFormats = QStringList { QStringLiteral(".CSV=dstcsv") };
    Host.Choices.push_back({ true, QStringLiteral("navmancsv"), true });
    EXPECT_TRUE(TOpenFile::Open(Host, path, nullptr, false, QString()));
    ASSERT_EQ(Host.Offered.size(), 1);
    EXPECT_TRUE(Host.Offered[0].startsWith(path + QStringLiteral("|dstcsv|"))) << Host.Offered[0].toStdString();
    ASSERT_EQ(Host.Children.size(), 1u);
    EXPECT_EQ(Host.Children[0]->FormatID, QStringLiteral("navmancsv"));
    EXPECT_GT(Host.Children[0]->Entries.Count(), 0);
    EXPECT_EQ(GetSettings().DefaultFormats, QStringList { QStringLiteral(".csv=navmancsv") });
    // The next open of a csv file reads with the remembered reader first.
    const QString other = Copy("navmancsv/museum.csv", QStringLiteral("other.csv"));
    EXPECT_TRUE(TOpenFile::Open(Host, other, nullptr, false, QString()));
    EXPECT_EQ(Host.Offered.size(), 1);
}

// A pick kept as default that fails as well is not stored when a later pick reads the file: only
// the reader that read it may become the default, whether that pick was kept or not.
TEST_F(OpenFileTest, AFailedPickIsNeverStoredAsTheDefault)
{
    struct TCase {
        const char* Name;
        bool SecondKept;
        QStringList Stored;
    };
    const TCase cases[] = {
        { "second kept", true, { QStringLiteral(".csv=garmincsv") } },
        { "second not kept", false, {} },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        GetSettings().DefaultFormats.clear();
        Host.Children.clear();
        Host.Offered.clear();
        // Garmin lines: the Destinator and Navio readers reject them, the Garmin reader reads them.
        const QString path = Copy("garmincsv/museum.csv", QStringLiteral("garmin.csv"));
        Host.Choices = { { true, QStringLiteral("naviocsv"), true }, { true, QStringLiteral("garmincsv"), c.SecondKept } };
        EXPECT_TRUE(TOpenFile::Open(Host, path, nullptr, false, QString()));
        EXPECT_EQ(Host.Offered.size(), 2);
        ASSERT_EQ(Host.Children.size(), 1u);
        EXPECT_EQ(Host.Children[0]->FormatID, QStringLiteral("garmincsv"));
        EXPECT_EQ(GetSettings().DefaultFormats, c.Stored);
    }
}

TEST_F(OpenFileTest, CancelledChoiceOpensNothing)
{
    const QString path = Write(QStringLiteral("broken.asc"), "\x01\x02 no POIs here\r\n");
    EXPECT_FALSE(TOpenFile::Open(Host, path, nullptr, false, QString()));
    ASSERT_EQ(Host.Offered.size(), 1);
    EXPECT_TRUE(Host.Children.empty());
    EXPECT_EQ(GetSettings().MRU.Count(), 0);
}

TEST_F(OpenFileTest, OnlyParseErrorsOfSharedExtensionsOfferTheDialog)
{
    // A missing file of a shared extension: the error, no dialog.
    EXPECT_THROW(TOpenFile::Open(Host, Dir.filePath(QStringLiteral("missing.csv")), nullptr, false, QString()), ETarvellError);
    // A broken file of an extension with one reader: the error, no dialog, no window.
    const QString ov2 = Write(QStringLiteral("broken.ov2"), std::string("\x02\xff\xff\xff\x7f", 5));
    EXPECT_THROW(TOpenFile::Open(Host, ov2, nullptr, false, QString()), ETarvellError);
    EXPECT_TRUE(Host.Offered.isEmpty());
    EXPECT_TRUE(Host.Children.empty());
}

TEST_F(OpenFileTest, ChildCreatedByAFailedOpenIsDiscarded)
{
    const QString path = Copy("genasc/museum.asc", QStringLiteral("museum.asc"));
    Host.FailWhenLoaded = true;
    EXPECT_THROW(TOpenFile::Open(Host, path, nullptr, false, QString()), EUserError);
    EXPECT_EQ(Host.Discarded, 1);
    EXPECT_TRUE(Host.Children.empty());
    EXPECT_TRUE(Host.Offered.isEmpty());
}

TEST_F(OpenFileTest, AppendAddsToTheGivenChildAndKeepsItsName)
{
    const QString path = Copy("genasc/museum.asc", QStringLiteral("museum.asc"));
    TChildDocument child;
    child.FileName = QStringLiteral("/elsewhere/mine.asc");
    child.Insert();
    TOpenFile::Open(Host, path, &child, true, QString());
    EXPECT_TRUE(Host.Children.empty());
    EXPECT_GT(child.Entries.Count(), 1);
    EXPECT_EQ(child.Entries[0].GetDescription(), "New entry #1");
    EXPECT_EQ(child.FileName, QStringLiteral("/elsewhere/mine.asc"));
    EXPECT_TRUE(child.Entries.Changed());
}

TEST_F(OpenFileTest, PictureBesideALocalFileBecomesTheIcon)
{
    const QString path = Copy("genasc/museum.asc", QStringLiteral("museum.asc"));
    Write(QStringLiteral("museum.bmp"), "BMpicture");
    TOpenFile::Open(Host, path, nullptr, false, QString());
    ASSERT_EQ(Host.Icons.size(), 1u);
    EXPECT_EQ(Host.Icons[0], "BMpicture");
}

namespace {

// A bitmap file header and info header of the given size, then a few pixel bytes.
std::string BitmapHeader(int32_t width, int32_t height, uint32_t infoSize = 40)
{
    std::string bytes = "BM";
    const auto put = [&bytes](uint32_t value, int count) {
        for (int i = 0; i < count; ++i)
            bytes += char((value >> (8 * i)) & 0xFF);
    };
    put(0, 4);
    put(0, 4);
    put(14 + infoSize, 4);
    put(infoSize, 4);
    if (infoSize == 12) {
        put(uint32_t(width), 2);
        put(uint32_t(height), 2);
    } else {
        put(uint32_t(width), 4);
        put(uint32_t(height), 4);
    }
    bytes += std::string(32, '\0');
    return bytes;
}

} // namespace

TEST_F(OpenFileTest, OversizedPictureBesideAFileIsIgnored)
{
    const QString path = Copy("genasc/museum.asc", QStringLiteral("museum.asc"));
    struct TCase {
        const char* Name;
        std::string Header;
        bool Used;
    } cases[] = {
        { "1024 square", BitmapHeader(1024, 1024), true },
        { "top-down 1024", BitmapHeader(16, -1024), true },
        { "too wide", BitmapHeader(1025, 16), false },
        { "too high top-down", BitmapHeader(16, -40000), false },
        { "most negative height", BitmapHeader(16, std::numeric_limits<int32_t>::min()), false },
        { "old header too high", BitmapHeader(16, 2000, 12), false },
        { "old header 1024", BitmapHeader(1024, 16, 12), true },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Host.Icons.clear();
        Write(QStringLiteral("museum.bmp"), c.Header);
        TOpenFile::Open(Host, path, nullptr, false, QString());
        EXPECT_EQ(Host.Icons.size(), c.Used ? 1u : 0u);
    }
    // Over 4 MB (here a sparse 3 GB file, never read) is ignored, 4 MB itself is not.
    QFile picture(Dir.filePath(QStringLiteral("museum.bmp")));
    Write(QStringLiteral("museum.bmp"), BitmapHeader(64, 64));
    ASSERT_TRUE(picture.resize(4 * 1024 * 1024));
    Host.Icons.clear();
    TOpenFile::Open(Host, path, nullptr, false, QString());
    EXPECT_EQ(Host.Icons.size(), 1u);
    for (const qint64 size : { qint64(4 * 1024 * 1024 + 1), qint64(3) << 30 }) {
        ASSERT_TRUE(picture.resize(size));
        Host.Icons.clear();
        TOpenFile::Open(Host, path, nullptr, false, QString());
        EXPECT_TRUE(Host.Icons.empty()) << size;
        EXPECT_EQ(Host.Children.back()->Entries.Count(), Host.Children.front()->Entries.Count()) << "the POIs still open";
    }
    // A folder of that name is no picture.
    ASSERT_TRUE(picture.remove());
    ASSERT_TRUE(QDir(Dir.path()).mkdir(QStringLiteral("museum.bmp")));
    Host.Icons.clear();
    TOpenFile::Open(Host, path, nullptr, false, QString());
    EXPECT_TRUE(Host.Icons.empty());
}

// A pipe named as a file (forwarded by a second start, say) would wait for a writer for ever.
TEST_F(OpenFileTest, OnlyRegularFilesAreRead)
{
    const QString pipe = Dir.filePath(QStringLiteral("pipe.asc"));
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& path : { pipe, QStringLiteral("/dev/zero"), Dir.path() }) {
        SCOPED_TRACE(path.toStdString());
        try {
            TOpenFile::Open(Host, path, nullptr, false, QString());
            ADD_FAILURE() << "opened";
        } catch (const ETarvellError& e) {
            EXPECT_TRUE(e.Message().contains(path)) << e.Message().toStdString();
        }
        EXPECT_TRUE(Host.Children.empty());
    }
}

TEST_F(OpenFileTest, DeviceFilesAreReadThroughTheDeviceLayerWithoutIcon)
{
    QTemporaryDir device;
    const QByteArray old = qgetenv("TARVELL_DEVICE_ROOT");
    qputenv("TARVELL_DEVICE_ROOT", device.path().toLocal8Bit());
    ASSERT_TRUE(QFile::copy(Fixture("genasc/museum.asc"), device.filePath(QStringLiteral("museum.asc"))));
    ASSERT_TRUE(QFile::copy(Fixture("genasc/museum.asc"), device.filePath(QStringLiteral("museum.bmp"))));
    const QString initialDir = GetSettings().InitialDir;
    TOpenFile::Open(Host, QStringLiteral("MOBILE://\\museum.asc"), nullptr, false, QString());
    qputenv("TARVELL_DEVICE_ROOT", old);
    ASSERT_EQ(Host.Children.size(), 1u);
    EXPECT_GT(Host.Children[0]->Entries.Count(), 0);
    EXPECT_TRUE(Host.Icons.empty());
    EXPECT_EQ(GetSettings().InitialDir, initialDir) << "a device folder is no local starting point";
    EXPECT_EQ(GetSettings().MRU.GetName(0), QStringLiteral("MOBILE://\\museum.asc"));
}

TEST_F(OpenFileTest, RecentFilesNewestFirstAtMostEight)
{
    for (int i = 0; i < 10; ++i)
        TOpenFile::Open(Host, Copy("genasc/museum.asc", QStringLiteral("f%1.asc").arg(i)), nullptr, false, QString());
    TOpenFile::Open(Host, Dir.filePath(QStringLiteral("f5.asc")), nullptr, false, QString());
    const TSafeStringList& mru = GetSettings().MRU;
    ASSERT_EQ(mru.Count(), 8);
    EXPECT_EQ(mru.GetName(0), Dir.filePath(QStringLiteral("f5.asc")));
    EXPECT_EQ(mru.GetName(1), Dir.filePath(QStringLiteral("f9.asc")));
    EXPECT_EQ(mru.GetName(7), Dir.filePath(QStringLiteral("f2.asc")));
    EXPECT_EQ(mru.IndexOfName(Dir.filePath(QStringLiteral("f1.asc"))), -1);
    EXPECT_EQ(TOpenFile::MruCaption(0, Dir.filePath(QStringLiteral("f5.asc"))), QStringLiteral("&1 f5.asc"));
    EXPECT_EQ(TOpenFile::MruCaption(2, QStringLiteral("MOBILE://\\My Documents\\a.ov2")), QStringLiteral("&3 a.ov2 (Remote)"));
    // "&" in a name is shown, not taken for the accelerator.
    EXPECT_EQ(TOpenFile::MruCaption(1, QStringLiteral("/x/A&B.ov2")), QStringLiteral("&2 A&&B.ov2"));
    EXPECT_EQ(TOpenFile::MruCaption(3, QStringLiteral("MOBILE://\\&&.ov2")), QStringLiteral("&4 &&&&.ov2 (Remote)"));
    EXPECT_EQ(TOpenFile::MruCaption(4, QStringLiteral("/x/a\nb\r\n.ov2")), QStringLiteral("&5 a b  .ov2"));
}

TEST(OpenFileDefaults, StoredInLowerCaseReplacingAnOlderLine)
{
    QStringList lines { QStringLiteral(".asc=navioasc"), QStringLiteral(".CSV=garmincsv") };
    TOpenFile::StoreDefaultFormat(lines, QStringLiteral(".Csv"), QStringLiteral("navmancsv"));
    TOpenFile::StoreDefaultFormat(lines, QStringLiteral(".ITN"), QStringLiteral("ttitn"));
    EXPECT_EQ(lines, (QStringList { QStringLiteral(".asc=navioasc"), QStringLiteral(".csv=navmancsv"), QStringLiteral(".itn=ttitn") }));
}

TEST(OpenFileChooser, ReadersOfTheExtensionAndThePreselection)
{
    const std::vector<int> csv = TOpenFile::ReaderRows(QStringLiteral(".CSV"));
    ASSERT_EQ(csv.size(), 5u);
    EXPECT_EQ(TConvertFromBase::FormatIDAt(csv[0]), QStringLiteral("dstcsv"));
    // Destinator failed: the next reader, Navman.
    EXPECT_EQ(TConvertFromBase::FormatIDAt(csv[size_t(TOpenFile::PreselectedReader(csv, QStringLiteral("dstcsv")))]),
        QStringLiteral("navmancsv"));
    EXPECT_EQ(TOpenFile::PreselectedReader(csv, QString()), 1);
    const std::vector<int> asc = TOpenFile::ReaderRows(QStringLiteral(".asc"));
    ASSERT_EQ(asc.size(), 2u);
    EXPECT_EQ(TConvertFromBase::FormatIDAt(asc[size_t(TOpenFile::PreselectedReader(asc, QStringLiteral("navioasc")))]),
        QStringLiteral("genasc"));
    EXPECT_TRUE(TOpenFile::ReaderRows(QString()).empty());
}
