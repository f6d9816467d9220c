// The update engine: names, URLs, stamps, and whole items against a loopback HTTP server and a
// folder device. Tests of the HttpUpdate suite carry the "http" label.
#include "sites/uAutoUpdate.h"

#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "core/uXmlDocument.h"
#include "formats/uConvertBase.h"
#include "model/uModel.h"
#include "sites/uSite.h"
#include "sites/uUpdateItems.h"
#include "sites/uUpdateRun.h"
#include "support/CoreTestHooks.h"
#include "support/TFakeDevice.h"
#include "support/TestSupport.h"

#include "sites/SiteTestSupport.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace {

std::string Fixture(const char* path)
{
    return LoadBytesFromFile(QStringLiteral(TARVELL_TEST_DATA "/") + QLatin1String(path));
}

// --- names and URLs ---------------------------------------------------------------------------

TEST(FileNameSanitiser, Table)
{
    const std::pair<QString, QString> cases[] = {
        { QStringLiteral("Fuel"), QStringLiteral("Fuel") },
        { QStringLiteral("a\\b/c:d*e?f\"g<h>i|j=k"), QStringLiteral("a_b_c_d_e_f_g_h_i_j_k") },
        { QStringLiteral("tab\there\x01"), QStringLiteral("tab_here_") },
        { QString(), QStringLiteral("_") },
        { QStringLiteral("."), QStringLiteral("_") },
        { QStringLiteral(".."), QStringLiteral("_") },
        { QStringLiteral("../../etc/passwd"), QStringLiteral(".._.._etc_passwd") },
        { QStringLiteral("name. . "), QStringLiteral("name") },
        { QStringLiteral("Bob's Café"), QStringLiteral("Bob's Café") },
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(SanitizeFileNamePart(in), out) << in.toStdString();
    // The cap counts UTF-8 bytes and never splits a character.
    EXPECT_EQ(SanitizeFileNamePart(QString(300, QChar('x'))).size(), 120);
    EXPECT_EQ(SanitizeFileNamePart(QString(100, QChar(0xE9)), 11), QString(5, QChar(0xE9)));
    EXPECT_EQ(SanitizeFileNamePart(QStringLiteral("ab\U0001F600"), 5), QStringLiteral("ab"));
}

// Texts that clean to one name still name files of their own; clean texts keep today's names.
TEST(FileNameSanitiser, UniqueNames)
{
    const QString long1 = QString(130, QChar('x')) + QStringLiteral("1");
    const QString long2 = QString(130, QChar('x')) + QStringLiteral("2");
    const QStringList texts
        = { QStringLiteral("a/b"), QStringLiteral("a_b"), QStringLiteral("a:b"), QStringLiteral("."),
              QStringLiteral(".."), QStringLiteral("_"), QString(), QStringLiteral("name"), QStringLiteral("name."),
              QStringLiteral("name "), long1, long2, QStringLiteral("a_b~0123abcd"), QStringLiteral("a_b~0123abcz") };
    QStringList names;
    for (const QString& text : texts) {
        const QString name = UniqueFileNamePart(text);
        EXPECT_FALSE(names.contains(name)) << text.toStdString() << " -> " << name.toStdString();
        EXPECT_EQ(SanitizeFileNamePart(name, 200), name) << "still a safe name: " << name.toStdString();
        EXPECT_LE(name.toUtf8().size(), 129);
        names << name;
    }
    for (const char* clean : { "Fuel", "a_b", "_", "Bob's Café", "a_b~0123abcz" })
        EXPECT_EQ(UniqueFileNamePart(QString::fromUtf8(clean)), QString::fromUtf8(clean));
    EXPECT_EQ(UniqueFileNamePart(QStringLiteral("a/b")), UniqueFileNamePart(QStringLiteral("a/b"))) << "stable";
    EXPECT_TRUE(UniqueFileNamePart(QStringLiteral("a/b")).startsWith(QStringLiteral("a_b~")));
}

class CacheNames : public CleanSettingsTest { };

TEST_F(CacheNames, FolderAndFileStayInsideTheCache)
{
    const QString folder = CacheFolder(QStringLiteral("http://pois.example/tarvell/site.xml"));
    EXPECT_EQ(folder, GetDataDir() + QStringLiteral("download/pois.example_tarvell_site"));
    EXPECT_EQ(CacheFileName(QStringLiteral("http://pois.example/tarvell/site.xml"), QStringLiteral("Fuel"),
                  QStringLiteral("ttov2"), QStringLiteral(".ov2")),
        folder + QStringLiteral("/Fuel.ttov2.ov2"));
    const QString hostile = CacheFileName(QStringLiteral("http://pois.example/site.xml"), QStringLiteral("../../x"),
        QStringLiteral("../y"), QStringLiteral("./z"));
    EXPECT_EQ(QFileInfo(hostile).absolutePath(), CacheFolder(QStringLiteral("http://pois.example/site.xml")));
}

TEST(UrlParameters, EverythingOutsideTheUnreservedIsEncoded)
{
    EXPECT_EQ(EncodeUrlParam(QStringLiteral("Fish & Chips")), QStringLiteral("Fish%20%26%20Chips"));
    EXPECT_EQ(EncodeUrlParam(QStringLiteral("a&b+c=d?e#f%g/h")), QStringLiteral("a%26b%2Bc%3Dd%3Fe%23f%25g%2Fh"));
    EXPECT_EQ(EncodeUrlParam(QStringLiteral("A-z.0_9~")), QStringLiteral("A-z.0_9~"));
    EXPECT_EQ(EncodeUrlParam(QStringLiteral("Café")), QStringLiteral("Caf%E9"));
}

TEST(UrlPlaceholders, AreMatchedCaseInsensitively)
{
    EXPECT_EQ(ExpandUrlPlaceholders(QStringLiteral("/x?u=%username%&p=%PASSWORD%&v=%AppVer%&n=%appname%&u2=%Username%"),
                  QStringLiteral("me@x"), QStringLiteral("p w")),
        QStringLiteral("/x?u=me%40x&p=p%20w&v=%1&n=Tarvell&u2=me%40x")
            .arg(QStringLiteral("%1.%2.%3.%4")
                     .arg(ProgramVersionNumbers().Major)
                     .arg(ProgramVersionNumbers().Minor)
                     .arg(ProgramVersionNumbers().Release)
                     .arg(ProgramVersionNumbers().Build)));
}

TEST(SiteUrls, RelativeUrlsGainSchemeAndHost)
{
    EXPECT_EQ(ResolveSiteUrl(QStringLiteral("/p/f.ov2"), QStringLiteral("https://u:pw@pois.example:8080/a/site.xml")),
        QStringLiteral("https://u:pw@pois.example:8080/p/f.ov2"));
    EXPECT_EQ(ResolveSiteUrl(QStringLiteral("/p"), QStringLiteral("http://host")), QStringLiteral("http://host/p"));
    EXPECT_EQ(ResolveSiteUrl(QStringLiteral("http://other/x"), QStringLiteral("http://host/s.xml")),
        QStringLiteral("http://other/x"));
    EXPECT_EQ(ResolveSiteUrl(QStringLiteral("p/x"), QStringLiteral("nothing")), QStringLiteral("p/x"));
    // The message never shows credentials.
    EXPECT_EQ(MessageOf([] { ResolveSiteUrl(QStringLiteral("/p"), QStringLiteral("user:secret@host/x?k=key")); }),
        QStringLiteral("Invalid url host/x"));
}

TEST(NewerTime, TenMillisecondsTolerance)
{
    const QDateTime t(QDate(2020, 1, 2), QTime(3, 4, 5, 100));
    EXPECT_FALSE(IsNewerTime(t.addMSecs(10), t));
    EXPECT_TRUE(IsNewerTime(t.addMSecs(11), t));
    EXPECT_FALSE(IsNewerTime(t, t.addMSecs(100)));
    EXPECT_TRUE(IsNewerTime(t, QDateTime()));
    EXPECT_FALSE(IsNewerTime(QDateTime(), t));
}

TEST(LastModified, ReadByPosition)
{
    EXPECT_EQ(
        ParseLastModified(QStringLiteral("20081231 235958\r\n")), QDateTime(QDate(2008, 12, 31), QTime(23, 59, 58)));
    EXPECT_EQ(
        ParseLastModified(QStringLiteral("20081231T235958xyz")), QDateTime(QDate(2008, 12, 31), QTime(23, 59, 58)));
    for (const char* bad : { "", "2008", "20081331 235958", "2008123a 235958", "<html>not a date</html>" })
        EXPECT_THROW(ParseLastModified(QString::fromLatin1(bad)), EConvertError) << bad;
}

TEST(PoiFormat, SplitsAndFallsBackToTheRegistry)
{
    struct TCase {
        const char* Format;
        const char* Url;
        const char* Extension;
        const char* FormatID;
    } cases[] = {
        { "asc.navioasc", "", ".asc", "navioasc" },
        { "asc", "", ".asc", "genasc" },
        { "", "http://x/a.csv?k=1.2", ".csv", "dstcsv" },
        { "", "http://x/a.unknown", nullptr, nullptr },
    };
    for (const TCase& c : cases) {
        QString ext, id;
        SplitPoiFormat(QString::fromLatin1(c.Format), QString::fromLatin1(c.Url), ext, id);
        if (!c.Extension) {
            // No reader: the registry's first reader stands in.
            EXPECT_EQ(ext, TConvertFromBase::Extension(0));
            EXPECT_EQ(id, TConvertFromBase::FormatIDAt(0));
            continue;
        }
        EXPECT_EQ(ext, QString::fromLatin1(c.Extension)) << c.Format << c.Url;
        EXPECT_EQ(id, QString::fromLatin1(c.FormatID)) << c.Format << c.Url;
    }
}

class Targets : public TFakeDeviceTest {
protected:
    TCleanSettings Settings;
    QTemporaryDir Local;
};

TEST_F(Targets, FormsAndStamps)
{
    EXPECT_EQ(MessageOf([] { TargetFileExists(QStringLiteral("/plain/path.asc")); }),
        QStringLiteral("Invalid target filename"));
    EXPECT_EQ(MessageOf([] { TargetFileExists(QStringLiteral("FILE://relative/path.asc")); }),
        QStringLiteral("Invalid target filename"));
    const QString file = Local.path() + QStringLiteral("/c.asc");
    EXPECT_FALSE(TargetFileExists(QStringLiteral("FILE://") + file));
    EXPECT_FALSE(ReadCacheStamp(QStringLiteral("FILE://") + file).isValid());
    SaveBytesToFile(file, "x");
    EXPECT_FALSE(ReadCacheStamp(QStringLiteral("FILE://") + file).isValid());
    const QDateTime t(QDate(2021, 2, 3), QTime(4, 5, 6, 789));
    WriteCacheStamp(QStringLiteral("FILE://") + file, t);
    EXPECT_EQ(ReadCacheStamp(QStringLiteral("FILE://") + file), t);
    // A short stamp reads as "never", on the PC as on the device.
    SaveBytesToFile(Local.path() + QStringLiteral("/c.inf"), "abc");
    EXPECT_FALSE(ReadCacheStamp(QStringLiteral("FILE://") + file).isValid());

    PutFile(QStringLiteral("d.asc"), "x");
    EXPECT_TRUE(TargetFileExists(QStringLiteral("MOBILE://\\D.ASC")));
    WriteCacheStamp(QStringLiteral("MOBILE://\\d.asc"), t);
    EXPECT_EQ(GetFile(QStringLiteral("d.inf")).size(), 8);
    EXPECT_EQ(ReadCacheStamp(QStringLiteral("MOBILE://\\d.asc")), t);
    PutFile(QStringLiteral("d.inf"), "abc");
    EXPECT_FALSE(ReadCacheStamp(QStringLiteral("MOBILE://\\d.asc")).isValid());
    Fake->Unplugged = true;
    EXPECT_THROW(TargetFileExists(QStringLiteral("MOBILE://\\d.asc")), EInitRapi);
}

// --- what the engine is given -----------------------------------------------------------------

// Every reading is one second later, so each change of an item's dates shows.
class TFakeClock : public TClock {
public:
    mutable QDateTime Time = QDateTime(QDate(2024, 5, 1), QTime(12, 0));
    QDateTime Now() const override
    {
        Time = Time.addSecs(1);
        return Time;
    }
};

class TFakeQuestion : public TOverwriteQuestion {
public:
    std::deque<TOverwriteAnswer> Answers;
    QStringList Asked;
    TOverwriteAnswer Ask(const QString& message) override
    {
        Asked.append(message);
        if (Answers.empty())
            return TOverwriteAnswer::Yes;
        const TOverwriteAnswer a = Answers.front();
        Answers.pop_front();
        return a;
    }
};

class TFakeCatalogues : public TSiteCatalogues {
public:
    std::map<QString, std::unique_ptr<TXmlDocument>> Documents;
    void Set(const QString& site, const QString& xml)
    {
        auto doc = std::make_unique<TXmlDocument>();
        EXPECT_TRUE(doc->LoadXml(xml));
        Documents[site.toLower()] = std::move(doc);
    }
    const TXmlDocument& Catalogue(const QString& site) override { return *Documents.at(site.toLower()); }
};

// --- the shared "nothing was lost" check --------------------------------------------------------

struct TFileState {
    bool Exists = false;
    std::string Bytes;
    ino_t Inode = 0;
    bool operator==(const TFileState&) const = default;
};

TFileState StateOf(const QString& path)
{
    TFileState s;
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return s;
    s.Exists = true;
    s.Inode = st.st_ino;
    s.Bytes = LoadBytesFromFile(path);
    return s;
}

std::map<QString, TFileState> FolderState(const QString& folder)
{
    std::map<QString, TFileState> files;
    const QFileInfoList list = QDir(folder).entryInfoList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QFileInfo& f : list)
        files[f.fileName()] = StateOf(f.filePath());
    return files;
}

std::string Convert(
    const std::string& bytes, const QString& fromExt, const QString& fromID, const QString& toExt, const QString& toID)
{
    TMemoryStream stream(bytes);
    TEntries entries;
    entries.LoadFromStream(stream, fromExt, fromID, false);
    TMemoryStream out;
    entries.SaveToStream(out, toExt, toID);
    return out.Data();
}

class HttpUpdate : public ::testing::Test {
protected:
    HttpUpdate()
    {
        auto device = std::make_unique<TFakeDevice>(DeviceRoot.path());
        Device = device.get();
        SetDeviceBackend(std::move(device));
        SetDeviceClock(DeviceTime.Clock());
        Site = Server.Base() + QStringLiteral("/site.xml");
        V1 = Fixture("genasc/museum.asc");
        V2 = "; second version\r\n1.5, 2.5, \"Pier\"\r\n";
        Server.Set("/fuel.asc", TAnswer().WithBody(V1));
        Server.Set("/lm", TAnswer().WithBody("20240101 120000"));
        NewRun();
    }
    ~HttpUpdate() override
    {
        SetAtomicFileFaultHook({});
        SetDeviceBackend(nullptr);
        SetDeviceClock({});
        DownloadLimits() = TDownloadLimits();
    }

    void NewRun()
    {
        Engine = std::make_unique<TAutoUpdate>(Clock);
        Engine->OverwriteQuestion = &Question;
        AskOverwrite = true;
    }

    // A catalogue with one POI element per (description, children) pair.
    void Catalogue(
        const QString& site, const std::vector<std::pair<QString, QString>>& pois, const QString& extra = QString())
    {
        QString xml = QStringLiteral("<pois><onerror>/err?m=%ErrorMsg%&amp;d=%Description%</onerror>") + extra;
        for (const auto& [description, children] : pois) {
            QString escaped = description;
            escaped.replace(QChar('&'), QStringLiteral("&amp;")).replace(QChar('<'), QStringLiteral("&lt;"));
            xml += QStringLiteral("<poi><description>%1</description><format>%2.%3</format>%4</poi>")
                       .arg(escaped, PoiExt.mid(1), PoiFormatID, children);
        }
        Catalogues.Set(site, xml + QStringLiteral("</pois>"));
    }
    void Catalogue(const QString& children) { Catalogue(Site, { { QStringLiteral("Fuel"), children } }); }

    TUpdateItem& AddItem(
        const QString& target, const QString& description = QStringLiteral("Fuel"), const QString& site = QString())
    {
        auto item = std::make_unique<TUpdateItem>();
        item->Target = target.startsWith(QStringLiteral("MOBILE://"))
            ? target
            : QStringLiteral("FILE://") + Targets.path() + QChar('/') + target;
        item->Site = site.isEmpty() ? Site : site;
        item->Description = description;
        item->FormatID = QStringLiteral("genasc");
        TUpdateItem& ref = *item;
        GetAutoUpdateProfile(0).Add(std::move(item));
        return ref;
    }
    QString TargetPath(const QString& name) const { return Targets.path() + QChar('/') + name; }
    QString CacheOf(const TUpdateItem& item) const
    {
        return CacheFileName(item.Site, item.Description, PoiFormatID, PoiExt);
    }

    // Runs one item; the error text, or "" on success.
    QString Run(TUpdateItem& item, bool* result = nullptr, const TDownloadProgressEvent& progress = {})
    {
        try {
            const bool r = Engine->Execute(item, AskOverwrite, Catalogues, progress);
            if (result)
                *result = r;
            return QString();
        } catch (const ETarvellError& e) {
            return e.Message();
        }
    }

    QString LocalOf(const QString& target) const
    {
        if (IsMobilePath(target))
            return DeviceRoot.path() + StripMobilePrefix(target).replace(QChar('\\'), QChar('/'));
        return StripFilePrefix(target);
    }

    struct TSnapshot {
        std::map<const TUpdateItem*, QDateTime> LastUpdate;
        std::map<QString, TFileState> Files; // targets, their bitmaps, cache files and stamps
        std::map<QString, std::map<QString, TFileState>> Folders;
        std::vector<QStringList> ProfileTargets;
    };

    std::vector<TUpdateItem*> AllItems() const
    {
        std::vector<TUpdateItem*> items;
        for (int p = 0; p < AutoUpdateProfileCount(); ++p)
            for (int i = 0; i < GetAutoUpdateProfile(p).Count(); ++i)
                items.push_back(&GetAutoUpdateProfile(p).GetItem(i));
        return items;
    }

    TSnapshot Snapshot() const
    {
        TSnapshot s;
        for (TUpdateItem* item : AllItems()) {
            s.LastUpdate[item] = item->LastUpdate;
            for (const QString& path :
                { LocalOf(item->Target), LocalOf(ChangeLocationExtension(item->Target, QStringLiteral(".bmp"))), CacheOf(*item),
                    ChangeLocationExtension(CacheOf(*item), QStringLiteral(".inf")) }) {
                s.Files[path] = StateOf(path);
                s.Folders[QFileInfo(path).absolutePath()] = FolderState(QFileInfo(path).absolutePath());
            }
        }
        for (int p = 0; p < AutoUpdateProfileCount(); ++p) {
            QStringList targets;
            for (int i = 0; i < GetAutoUpdateProfile(p).Count(); ++i)
                targets.append(GetAutoUpdateProfile(p).GetItem(i).Target);
            s.ProfileTargets.push_back(targets);
        }
        return s;
    }

    // After every scenario: what was not updated kept its bytes and inode, what was written is
    // the exporter's output and took the old file's place in one rename, cache file and stamp
    // changed together, no temporary file remains, an existing bitmap beside a target was not
    // replaced, and the profiles (in memory and stored) lost and doubled nothing.
    void ExpectNothingLost(const TSnapshot& before)
    {
        for (TUpdateItem* item : AllItems()) {
            const QString target = LocalOf(item->Target);
            const TFileState now = StateOf(target);
            const TFileState& was = before.Files.at(target);
            const bool written = item->LastUpdate != before.LastUpdate.at(item);
            if (!written) {
                EXPECT_EQ(now, was) << "target changed without an update: " << target.toStdString();
            } else {
                ASSERT_TRUE(now.Exists) << target.toStdString();
                EXPECT_BYTES_EQ(Convert(LoadBytesFromFile(CacheOf(*item)), PoiExt, PoiFormatID,
                                    QFileInfo(target).suffix(), item->FormatID),
                    now.Bytes);
                if (was.Exists && !IsMobilePath(item->Target)) {
                    EXPECT_NE(now.Inode, was.Inode) << "target rewritten in place: " << target.toStdString();
                }
            }
            const QString bitmap = LocalOf(ChangeLocationExtension(item->Target, QStringLiteral(".bmp")));
            if (before.Files.at(bitmap).Exists) {
                EXPECT_EQ(StateOf(bitmap), before.Files.at(bitmap)) << "bitmap replaced: " << bitmap.toStdString();
            }
            const QString cache = CacheOf(*item);
            const QString stamp = ChangeLocationExtension(cache, QStringLiteral(".inf"));
            EXPECT_EQ(StateOf(cache) == before.Files.at(cache), StateOf(stamp) == before.Files.at(stamp))
                << "cache file and stamp out of step: " << cache.toStdString();
        }
        for (const auto& [folder, files] : before.Folders) {
            for (const auto& [name, state] : FolderState(folder)) {
                (void)state;
                const bool known = files.count(name) > 0 || name.endsWith(QStringLiteral(".asc"))
                    || name.endsWith(QStringLiteral(".inf")) || name.endsWith(QStringLiteral(".ov2"))
                    || name.endsWith(QStringLiteral(".itn")) || name.endsWith(QStringLiteral(".bmp"))
                    || name == QLatin1String(".registry.ini");
                EXPECT_TRUE(known) << "left behind: " << (folder + QChar('/') + name).toStdString();
            }
        }
        ASSERT_EQ(int(before.ProfileTargets.size()), AutoUpdateProfileCount());
        for (int p = 0; p < AutoUpdateProfileCount(); ++p) {
            TUpdateItems& profile = GetAutoUpdateProfile(p);
            QStringList targets, lines;
            for (int i = 0; i < profile.Count(); ++i) {
                targets.append(profile.GetItem(i).Target);
                lines.append(profile.GetItem(i).FormatLine());
            }
            EXPECT_EQ(targets, before.ProfileTargets[size_t(p)]);
            EXPECT_FALSE(profile.HasDuplicateTarget());
            auto stored = TUpdateItems::Create();
            stored->ProfileName = profile.ProfileName;
            stored->Load();
            QStringList storedLines;
            for (int i = 0; i < stored->Count(); ++i)
                storedLines.append(stored->GetItem(i).FormatLine());
            EXPECT_EQ(storedLines, lines);
        }
    }

    // Runs the item and checks that nothing was lost; returns the error text ("" on success).
    QString Scenario(TUpdateItem& item, bool* result = nullptr, const TDownloadProgressEvent& progress = {})
    {
        const TSnapshot before = Snapshot();
        const QString error = Run(item, result, progress);
        ExpectNothingLost(before);
        return error;
    }

    QString Hint() const
    {
        return QStringLiteral("\r\rPlease check your connection and your username/password if you are downloading from "
                              "a site which requires "
                              "registration");
    }
    // What the reader says of the garbage file.
    static QString GarbageError()
    {
        return MessageOf([] {
            Convert("north, south, \"x\"\r\n", QStringLiteral(".asc"), QStringLiteral("genasc"), QStringLiteral(".asc"),
                QString());
        });
    }
    QString Unable(const std::string& path) const
    {
        return QStringLiteral("Unable to download ") + Server.Base() + QString::fromStdString(path);
    }

    // The format the site offers its POI files in.
    QString PoiExt = QStringLiteral(".asc");
    QString PoiFormatID = QStringLiteral("genasc");
    TCleanSettings Settings;
    TSiteTestHome Home;
    QTemporaryDir Targets;
    QTemporaryDir DeviceRoot;
    TFakeDevice* Device = nullptr;
    TVirtualClock DeviceTime;
    TLoopbackServer Server;
    QString Site;
    std::string V1, V2;
    TFakeClock Clock;
    TFakeQuestion Question;
    TFakeCatalogues Catalogues;
    std::unique_ptr<TAutoUpdate> Engine;
    bool AskOverwrite = true;
};

TEST_F(HttpUpdate, FirstDownloadThenUnchangedThenChanged)
{
    Catalogue(QStringLiteral("<url>/fuel.asc</url><lastmodified>/lm</lastmodified>"));
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    std::vector<std::pair<double, QString>> steps;
    Engine->OnProgress
        = [&steps](double percentage, const QString& message) { steps.emplace_back(percentage, message); };
    bool result = false;
    EXPECT_EQ(Scenario(item, &result), QString());
    EXPECT_TRUE(result);
    const std::vector<std::pair<double, QString>> expected = { { 20, QStringLiteral("Checking for new version...") },
        { 30, QString() }, { 30, QStringLiteral("Downloading or getting cached version...") }, { 50, QString() },
        { 60, QStringLiteral("Saving new version...") }, { 70, QStringLiteral("Saving new version...") },
        { 80, QString() }, { 90, QStringLiteral("Saving image...") }, { 100, QStringLiteral("Finishing...") } };
    EXPECT_EQ(steps, expected);
    EXPECT_EQ(LoadBytesFromFile(CacheOf(item)), V1);
    EXPECT_EQ(ReadCacheStamp(QStringLiteral("FILE://") + CacheOf(item)), QDateTime(QDate(2024, 1, 1), QTime(12, 0)));
    EXPECT_LT(item.LastChecked, item.LastUpdate);
    EXPECT_EQ(item.LastUpdate, Clock.Time);
    EXPECT_TRUE(Question.Asked.isEmpty()); // no target yet

    // Unchanged: no request for the POI file; the target is installed again from the cache.
    NewRun();
    Clock.Time = Clock.Time.addSecs(60);
    Server.Set("/fuel.asc", TAnswer().WithBody(V2));
    EXPECT_EQ(Scenario(item, &result), QString());
    EXPECT_FALSE(result);
    EXPECT_EQ(Server.Count("/fuel.asc"), 1);
    EXPECT_EQ(Question.Asked.size(), 1);

    // One second newer: downloaded.
    NewRun();
    Clock.Time = Clock.Time.addSecs(60);
    Server.Set("/lm", TAnswer().WithBody("20240101 120001"));
    EXPECT_EQ(Scenario(item, &result), QString());
    EXPECT_TRUE(result);
    EXPECT_EQ(Server.Count("/fuel.asc"), 2);
    EXPECT_EQ(LoadBytesFromFile(CacheOf(item)), V2);
}

TEST_F(HttpUpdate, TenMillisecondsIsNotNewerElevenIs)
{
    Catalogue(QStringLiteral("<url>/fuel.asc</url><lastmodified>/lm</lastmodified>"));
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    ASSERT_EQ(Run(item), QString());
    const QDateTime remote(QDate(2024, 1, 1), QTime(12, 0));
    for (const auto& [behind, downloads] : { std::pair { 10, false }, std::pair { 11, true } }) {
        WriteCacheStamp(QStringLiteral("FILE://") + CacheOf(item), remote.addMSecs(-behind));
        NewRun();
        const int before = Server.Count("/fuel.asc");
        bool result = false;
        EXPECT_EQ(Scenario(item, &result), QString());
        EXPECT_EQ(result, downloads) << behind;
        EXPECT_EQ(Server.Count("/fuel.asc") - before, downloads ? 1 : 0) << behind;
    }
}

TEST_F(HttpUpdate, WithoutLastModifiedTheCacheRevalidates)
{
    Server.Set("/fuel.asc", TAnswer().WithBody(V1).WithETag("\"e1\""));
    Catalogue(QStringLiteral("<url>/fuel.asc</url>"));
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    bool result = false;
    EXPECT_EQ(Scenario(item, &result), QString());
    EXPECT_TRUE(result);
    NewRun();
    EXPECT_EQ(Scenario(item, &result), QString());
    // 304: the kept file is no newer than the stamp.
    EXPECT_FALSE(result);
    EXPECT_EQ(Server.NotModified, 1);
    EXPECT_EQ(LoadBytesFromFile(CacheOf(item)), V1);
}

TEST_F(HttpUpdate, FailuresAreDecoratedAndReportedToTheSite)
{
    Server.Set("/err", TAnswer().WithBody("noted"));
    struct TCase {
        QString Children;
        std::function<void()> Arrange;
        QString Error;
    };
    const std::vector<TCase> cases = {
        { QStringLiteral("<url>/missing.asc</url>"), [] {},
            QStringLiteral("Cannot download \"Fuel\" because the following error: \r\r%1 while downloading item.")
                    .arg(Unable("/missing.asc"))
                + Hint() },
        { QStringLiteral("<url>/fuel.asc</url><lastmodified>/lm500</lastmodified>"),
            [this] { Server.Set("/lm500", TAnswer().WithStatus(500)); },
            QStringLiteral("Cannot download \"Fuel\" because the following error: \r\r%1 while checking for newer "
                           "version of this poi file.")
                    .arg(Unable("/lm500"))
                + Hint() },
        { QStringLiteral("<url>/fuel.asc</url><query>/q500</query>"),
            [this] { Server.Set("/q500", TAnswer().WithStatus(500)); },
            QStringLiteral("Cannot download \"Fuel\" because the following error: \r\r%1 while querying item.")
                    .arg(Unable("/q500"))
                + Hint() },
        { QStringLiteral("<url>/cut.asc</url>"),
            [this] { Server.Set("/cut.asc", TAnswer().WithBody(V1).WithCutShort(true)); },
            QStringLiteral("Cannot download \"Fuel\" because the following error: \r\r%1 while downloading item.")
                    .arg(Unable("/cut.asc"))
                + Hint() },
        { QStringLiteral("<url>/page.asc</url>"),
            [this] { Server.Set("/page.asc", TAnswer().WithBody("<!DOCTYPE html><html><body>Login</body></html>")); },
            QStringLiteral("Cannot download \"Fuel\" because the following error: \r\rThe site sent a web page instead "
                           "of the POI file while "
                           "downloading item.")
                + Hint() },
        { QStringLiteral("<url>/garbage.asc</url>"),
            [this] { Server.Set("/garbage.asc", TAnswer().WithBody("north, south, \"x\"\r\n")); },
            QStringLiteral("Cannot download \"Fuel\" because the following error: \r\r%1 while downloading item.")
                    .arg(GarbageError())
                + Hint() },
        { QStringLiteral("<url>/fuel.asc</url><query>/q</query>"),
            [this] { Server.Set("/q", TAnswer().WithBody(" Not subscribed \r\n")); },
            QStringLiteral("Cannot download \"Fuel\" because the following error: \r\rFollowing error occured: Not "
                           "subscribed while querying item.") },
        { QStringLiteral("<url>/fuel.asc</url>"),
            [this] {
                Catalogue(Site, { { QStringLiteral("Other"), QStringLiteral("<url>/fuel.asc</url>") } });
            },
            QStringLiteral("AutoUpdate item \"Fuel\" does not (or no longer) exist in the downloaded site's index. "
                           "Please remove it from the \"All "
                           "Items\" tab in the AutoUpdate Manager") },
        { QString(), [] {},
            QStringLiteral(
                "Downloaded information invalid, please try again or use the Update button next to the sites list") },
    };
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    TUpdateItem& other = AddItem(QStringLiteral("other.asc"), QStringLiteral("Other"));
    SaveBytesToFile(TargetPath(QStringLiteral("fuel.asc")), "old target\r\n");
    for (const TCase& c : cases) {
        Catalogue(Site,
            { { QStringLiteral("Fuel"), c.Children },
                { QStringLiteral("Other"), QStringLiteral("<url>/fuel.asc</url>") } },
            c.Children.contains(QStringLiteral("/q<")) ? QStringLiteral("<queryerrormode> 1 </queryerrormode>")
                                                       : QString());
        c.Arrange();
        NewRun();
        EXPECT_EQ(Scenario(item), c.Error);
        // Another item of the same site is not affected.
        if (c.Children.contains(QStringLiteral("<url>"))) {
            EXPECT_EQ(Scenario(other), QString());
        }
    }
    EXPECT_EQ(LoadBytesFromFile(TargetPath(QStringLiteral("fuel.asc"))), "old target\r\n");
    // The error URL heard of the download failures, with the message encoded.
    const std::vector<std::string> log = Server.Log();
    const std::string expected
        = "/err?m=Cannot%20download%20%22Fuel%22%20because%20the%20following%20error%3A%20%0D%0DUnable%20to%20download";
    EXPECT_TRUE(std::any_of(log.begin(), log.end(),
        [&](const std::string& r) { return r.rfind(expected, 0) == 0 && r.find("&d=Fuel") != std::string::npos; }));
}

TEST_F(HttpUpdate, AGarbageAnswerIsRetriedNextRun)
{
    Server.Set("/fuel.asc", TAnswer().WithBody("<html><body>maintenance</body></html>"));
    Catalogue(QStringLiteral("<url>/fuel.asc</url><lastmodified>/lm</lastmodified>"));
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    EXPECT_NE(Scenario(item), QString());
    EXPECT_FALSE(QFileInfo::exists(CacheOf(item)));
    Server.Set("/fuel.asc", TAnswer().WithBody(V1));
    NewRun();
    bool result = false;
    EXPECT_EQ(Scenario(item, &result), QString());
    EXPECT_TRUE(result);
    EXPECT_EQ(Server.Count("/fuel.asc"), 2);
}

TEST_F(HttpUpdate, RelativeUrlWithPlaceholdersAndAHostilePassword)
{
    WriteSiteConfig(Site, QStringLiteral("Username"), QStringLiteral("Fish & Chips"));
    WriteSitePassword(Site, QStringLiteral("a&b+c=d?e#f"));
    const TFileVersionNumbers v = ProgramVersionNumbers();
    Server.Set("/get",
        TAnswer().WithBody(V1).WithParams({ { "u", "Fish & Chips" }, { "p", "a&b+c=d?e#f" },
            { "v", QStringLiteral("%1.%2.%3.%4").arg(v.Major).arg(v.Minor).arg(v.Release).arg(v.Build).toStdString() },
            { "n", "Tarvell" } }));
    Server.Set("/ok", TAnswer().WithParams({ { "d", "Fuel" }, { "u", "Fish & Chips" } }));
    Catalogue(QStringLiteral("<url>/get?u=%username%&amp;p=%Password%&amp;v=%AppVer%&amp;n=%APPNAME%</url><onsuccess>/"
                             "ok?d=%Description%&amp;u=%Username%</onsuccess>"));
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    EXPECT_EQ(Scenario(item), QString());
    EXPECT_EQ(Server.Count("/get"), 1);
    EXPECT_EQ(Server.Count("/ok"), 1);
    EXPECT_EQ(LoadBytesFromFile(CacheOf(item)), V1);
    // A failure names the address without its query, so no credentials reach the message.
    Server.Set("/get", TAnswer().WithStatus(403));
    QFile::remove(ChangeLocationExtension(CacheOf(item), QStringLiteral(".inf")));
    NewRun();
    const QString error = Scenario(item);
    EXPECT_TRUE(error.contains(Unable("/get") + QStringLiteral(" while downloading item"))) << error.toStdString();
    EXPECT_FALSE(error.contains(QStringLiteral("Chips")) || error.contains(QStringLiteral("a%26b"))
        || error.contains(QStringLiteral("a&b")));
}

TEST_F(HttpUpdate, TwoItemsShareOneDownload)
{
    Catalogue(QStringLiteral("<url>/fuel.asc</url><lastmodified>/lm</lastmodified>"));
    TUpdateItem& a = AddItem(QStringLiteral("a.asc"));
    TUpdateItem& b = AddItem(QStringLiteral("b.asc"));
    bool result = false;
    EXPECT_EQ(Scenario(a, &result), QString());
    EXPECT_TRUE(result);
    EXPECT_EQ(Scenario(b, &result), QString());
    EXPECT_FALSE(result);
    EXPECT_EQ(Server.Count("/fuel.asc"), 1);
    EXPECT_EQ(Server.Count("/lm"), 2);
    EXPECT_TRUE(b.LastUpdate.isValid());
    EXPECT_FALSE(b.LastChecked.isValid()); // its cache file was handled by a
}

TEST_F(HttpUpdate, ConvertsToEachTargetsFormat)
{
    PoiExt = QStringLiteral(".ov2");
    PoiFormatID = QStringLiteral("ttov2");
    const std::string ov2 = Convert(
        V1, QStringLiteral(".asc"), QStringLiteral("genasc"), QStringLiteral(".ov2"), QStringLiteral("ttov2"));
    Server.Set("/fuel.ov2", TAnswer().WithBody(ov2));
    Catalogue(QStringLiteral("<url>/fuel.ov2</url><lastmodified>/lm</lastmodified>"));
    TUpdateItem& asc = AddItem(QStringLiteral("fuel.asc"));
    TUpdateItem& itn = AddItem(QStringLiteral("fuel.itn"));
    itn.FormatID = QStringLiteral("ttitn");
    TUpdateItem& same = AddItem(QStringLiteral("fuel.ov2"));
    same.FormatID.clear();
    for (TUpdateItem* item : { &asc, &itn, &same })
        EXPECT_EQ(Scenario(*item), QString());
    EXPECT_EQ(LoadBytesFromFile(CacheOf(asc)), ov2);
    EXPECT_TRUE(CacheOf(asc).endsWith(QStringLiteral("/Fuel.ttov2.ov2")));
    EXPECT_EQ(LoadBytesFromFile(TargetPath(QStringLiteral("fuel.ov2"))), ov2);
    EXPECT_EQ(Server.Count("/fuel.ov2"), 1);
}

TEST_F(HttpUpdate, ItemsOfInterleavedSitesUseTheirOwnCatalogue)
{
    const QString other = Server.Base() + QStringLiteral("/other/site.xml");
    Server.Set("/other.asc", TAnswer().WithBody(V2));
    Catalogue(QStringLiteral("<url>/fuel.asc</url>"));
    Catalogue(other, { { QStringLiteral("Fuel"), QStringLiteral("<url>/other.asc</url>") } });
    TUpdateItem& a1 = AddItem(QStringLiteral("a1.asc"));
    TUpdateItem& b1 = AddItem(QStringLiteral("b1.asc"), QStringLiteral("Fuel"), other);
    TUpdateItem& a2 = AddItem(QStringLiteral("a2.asc"));
    for (TUpdateItem* item : { &a1, &b1, &a2 })
        EXPECT_EQ(Scenario(*item), QString());
    EXPECT_EQ(LoadBytesFromFile(CacheOf(b1)), V2);
    EXPECT_EQ(LoadBytesFromFile(CacheOf(a2)), V1);
    EXPECT_NE(CacheOf(a1), CacheOf(b1));
}

TEST_F(HttpUpdate, EveryOverwriteAnswer)
{
    Catalogue(QStringLiteral("<url>/fuel.asc</url><lastmodified>/lm</lastmodified>"));
    TUpdateItem& a = AddItem(QStringLiteral("a.asc"));
    TUpdateItem& b = AddItem(QStringLiteral("b.asc"));
    for (const char* name : { "a.asc", "b.asc" })
        SaveBytesToFile(TargetPath(QLatin1String(name)), "old\r\n");
    struct TCase {
        TOverwriteAnswer Answer;
        bool Written;
        bool AsksB; // whether the second item is still asked
        bool Cancelled;
    } cases[] = {
        { TOverwriteAnswer::Yes, true, true, false },
        { TOverwriteAnswer::No, false, true, false },
        { TOverwriteAnswer::Cancel, false, false, true },
        { TOverwriteAnswer::YesToAll, true, false, false },
        { TOverwriteAnswer::YesToAllAlways, true, false, false },
    };
    for (const TCase& c : cases) {
        GetSettings().AlwaysOverwrite = false;
        NewRun();
        Question.Asked.clear();
        Question.Answers = { c.Answer, TOverwriteAnswer::No };
        Clock.Time = Clock.Time.addSecs(1);
        const QDateTime before = a.LastUpdate;
        EXPECT_EQ(Scenario(a), QString());
        EXPECT_EQ(a.LastUpdate != before, c.Written) << int(c.Answer);
        ASSERT_EQ(Question.Asked.size(), 1);
        EXPECT_EQ(Question.Asked[0],
            QStringLiteral(
                "Downloaded up-to-date POI succesfully, are you sure you want to overwrite the existing one (%1)?")
                .arg(a.Target));
        EXPECT_EQ(Engine->CancelRequested(), c.Cancelled);
        const int requests = int(Server.Log().size());
        EXPECT_EQ(Scenario(b), QString());
        EXPECT_EQ(Question.Asked.size(), c.AsksB ? 2 : 1) << int(c.Answer);
        if (c.Cancelled) {
            EXPECT_EQ(int(Server.Log().size()), requests) << "a cancelled run goes on";
        }
        EXPECT_EQ(GetSettings().AlwaysOverwrite, c.Answer == TOverwriteAnswer::YesToAllAlways);
    }
    // Silent, and the setting, never ask.
    for (bool silent : { true, false }) {
        NewRun();
        Question.Asked.clear();
        Engine->Silent = silent;
        GetSettings().AlwaysOverwrite = !silent;
        Clock.Time = Clock.Time.addSecs(1);
        const QDateTime before = a.LastUpdate;
        EXPECT_EQ(Scenario(a), QString());
        EXPECT_NE(a.LastUpdate, before);
        EXPECT_TRUE(Question.Asked.isEmpty());
    }
}

TEST_F(HttpUpdate, ImagesGoBesideTheTargetButNeverReplaceOne)
{
    Server.Set("/fuel.bmp", TAnswer().WithBody("BM-new"));
    Catalogue(QStringLiteral("<url>/fuel.asc</url><image>/fuel.bmp</image>"));
    TUpdateItem& a = AddItem(QStringLiteral("a.asc"));
    TUpdateItem& b = AddItem(QStringLiteral("b.asc"));
    SaveBytesToFile(TargetPath(QStringLiteral("b.bmp")), "BM-mine");
    EXPECT_EQ(Scenario(a), QString());
    EXPECT_EQ(Scenario(b), QString());
    EXPECT_EQ(LoadBytesFromFile(ChangeLocationExtension(CacheOf(a), QStringLiteral(".bmp"))), "BM-new");
    EXPECT_EQ(LoadBytesFromFile(TargetPath(QStringLiteral("a.bmp"))), "BM-new");
    EXPECT_EQ(LoadBytesFromFile(TargetPath(QStringLiteral("b.bmp"))), "BM-mine");
    EXPECT_EQ(Server.Count("/fuel.bmp"), 1);
    // A failing image fails the item, named as the image.
    NewRun();
    QFile::remove(ChangeLocationExtension(CacheOf(a), QStringLiteral(".bmp")));
    Server.Set("/fuel.bmp", TAnswer().WithStatus(404));
    EXPECT_EQ(Scenario(a),
        QStringLiteral("Cannot download \"Fuel image\" because the following error: \r\r%1.").arg(Unable("/fuel.bmp"))
            + Hint());
}

TEST_F(HttpUpdate, DeviceTargetSurvivesAShortWriteAndADisconnect)
{
    Catalogue(QStringLiteral("<url>/fuel.asc</url><lastmodified>/lm</lastmodified>"));
    TUpdateItem& item = AddItem(QStringLiteral("MOBILE://\\fuel.asc"));
    EXPECT_EQ(Scenario(item), QString());
    EXPECT_TRUE(QFileInfo::exists(DeviceRoot.path() + QStringLiteral("/fuel.asc")));
    Server.Set("/lm", TAnswer().WithBody("20240202 120000"));
    Server.Set("/fuel.asc", TAnswer().WithBody(V2));
    NewRun();
    Device->WriteShortBy = 1;
    Clock.Time = Clock.Time.addSecs(1);
    EXPECT_EQ(Scenario(item), QStringLiteral("Could not create remote file \\fuel.asc"));
    Device->WriteShortBy = 0;
    Device->Unplugged = true;
    NewRun();
    EXPECT_EQ(Scenario(item), EInitRapi().Message());
}

TEST_F(HttpUpdate, CancelFromProgressStopsTheDownloadAndTheRun)
{
    Catalogue(QStringLiteral("<url>/fuel.asc</url><lastmodified>/lm</lastmodified>"));
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    const TDownloadProgressEvent cancel = [](uint64_t, uint64_t, TUrlDownloadStatus, const QString& text, bool& c) {
        c = text.endsWith(QStringLiteral("/fuel.asc"));
    };
    EXPECT_EQ(Scenario(item, nullptr, cancel),
        QStringLiteral("Cannot download \"Fuel\" because the following error: \r\r%1 while downloading item.")
                .arg(Unable("/fuel.asc"))
            + Hint());
    // The last-modified check runs with the same progress, so it can be cancelled too.
    NewRun();
    const TDownloadProgressEvent cancelAll
        = [](uint64_t, uint64_t, TUrlDownloadStatus, const QString&, bool& c) { c = true; };
    EXPECT_EQ(Scenario(item, nullptr, cancelAll),
        QStringLiteral("Cannot download \"Fuel\" because the following error: \r\r%1 while checking for newer "
                       "version of this poi file.")
                .arg(Unable("/lm"))
            + Hint());
    // The status window's Cancel: the engine's cancel request stops the download under way and
    // every later item.
    NewRun();
    const TDownloadProgressEvent viaEngine
        = [this](uint64_t, uint64_t, TUrlDownloadStatus, const QString&, bool&) { Engine->Cancel(); };
    EXPECT_NE(Scenario(item, nullptr, viaEngine), QString());
    const size_t requests = Server.Log().size();
    bool result = true;
    EXPECT_EQ(Scenario(item, &result), QString());
    EXPECT_FALSE(result);
    EXPECT_EQ(Server.Log().size(), requests);
}

TEST_F(HttpUpdate, AStalledServerTimesOut)
{
    DownloadLimits().LowSpeedTime = 1;
    Server.Set("/stall.asc", TAnswer().WithStall(true));
    Catalogue(QStringLiteral("<url>/stall.asc</url><lastmodified>/lm</lastmodified>"));
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    EXPECT_EQ(Scenario(item),
        QStringLiteral("Cannot download \"Fuel\" because the following error: \r\r%1 while downloading item.")
                .arg(Unable("/stall.asc"))
            + Hint());
}

TEST_F(HttpUpdate, RedirectsOnlyToTheWeb)
{
    const QString local = Targets.path() + QStringLiteral("/secret.asc");
    SaveBytesToFile(local, V2);
    Server.Set("/moved.asc", TAnswer().WithRedirect("/fuel.asc"));
    Server.Set("/tofile.asc", TAnswer().WithRedirect("file://" + local.toStdString()));
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    Catalogue(QStringLiteral("<url>/moved.asc</url>"));
    EXPECT_EQ(Scenario(item), QString());
    EXPECT_EQ(LoadBytesFromFile(CacheOf(item)), V1);
    NewRun();
    QFile::remove(CacheOf(item));
    QFile::remove(ChangeLocationExtension(CacheOf(item), QStringLiteral(".inf")));
    Catalogue(QStringLiteral("<url>/tofile.asc</url>"));
    EXPECT_NE(Scenario(item), QString());
    // A web catalogue cannot point at local files; a local one can.
    NewRun();
    Catalogue(QStringLiteral("<url>FILE://%1</url>").arg(local));
    EXPECT_EQ(Scenario(item), QStringLiteral("Invalid url FILE://%1").arg(local));
    const QString localSite = QStringLiteral("FILE://") + Targets.path() + QStringLiteral("/site.xml");
    Catalogue(localSite, { { QStringLiteral("Fuel"), QStringLiteral("<url>FILE://%1</url>").arg(local) } });
    TUpdateItem& fromFile = AddItem(QStringLiteral("local.asc"), QStringLiteral("Fuel"), localSite);
    EXPECT_EQ(Scenario(fromFile), QString());
    EXPECT_EQ(LoadBytesFromFile(CacheOf(fromFile)), V2);
    // A local site's relative error URL cannot be resolved; the failure is still the one shown.
    NewRun();
    Catalogue(
        localSite, { { QStringLiteral("Fuel"), QStringLiteral("<url>FILE://%1/gone.asc</url>").arg(Targets.path()) } });
    EXPECT_TRUE(Scenario(fromFile).startsWith(
        QStringLiteral("Cannot download \"Fuel\" because the following error: \r\rCannot open file")));
}

TEST_F(HttpUpdate, HostileDescriptionsStayInsideTheCache)
{
    const QString hostile = QStringLiteral("../../Bob's \"best\" <fuel>*?:=..");
    Catalogue(Site, { { hostile, QStringLiteral("<url>/fuel.asc</url>") } });
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"), hostile);
    EXPECT_EQ(Scenario(item), QString());
    EXPECT_EQ(QFileInfo(CacheOf(item)).absolutePath(), CacheFolder(Site));
    EXPECT_EQ(LoadBytesFromFile(CacheOf(item)), V1);
    EXPECT_EQ(item.Description, hostile);
}

// Two POIs whose names clean alike each get their own file, run after run.
TEST_F(HttpUpdate, NearEqualNamesEachGetTheirOwnPois)
{
    Server.Set("/a.asc", TAnswer().WithBody(V1));
    Server.Set("/b.asc", TAnswer().WithBody(V2));
    const QString a = QStringLiteral("Cams A/B");
    const QString b = QStringLiteral("Cams A_B");
    Catalogue(Site,
        { { a, QStringLiteral("<url>/a.asc</url><lastmodified>/lm</lastmodified>") },
            { b, QStringLiteral("<url>/b.asc</url><lastmodified>/lm</lastmodified>") } });
    TUpdateItem& first = AddItem(QStringLiteral("a.asc"), a);
    TUpdateItem& second = AddItem(QStringLiteral("b.asc"), b);
    EXPECT_NE(CacheOf(first), CacheOf(second));
    for (int run = 0; run < 2; ++run) {
        NewRun();
        bool result = false;
        EXPECT_EQ(Scenario(first, &result), QString());
        EXPECT_EQ(result, run == 0);
        EXPECT_EQ(Scenario(second, &result), QString());
        EXPECT_EQ(result, run == 0) << "the second name is not 'already up to date' from the first one's file";
        EXPECT_EQ(LoadBytesFromFile(CacheOf(first)), V1);
        EXPECT_EQ(LoadBytesFromFile(CacheOf(second)), V2);
        EXPECT_EQ(LoadBytesFromFile(TargetPath(QStringLiteral("a.asc"))),
            Convert(V1, PoiExt, PoiFormatID, PoiExt, QStringLiteral("genasc")));
        EXPECT_EQ(LoadBytesFromFile(TargetPath(QStringLiteral("b.asc"))),
            Convert(V2, PoiExt, PoiFormatID, PoiExt, QStringLiteral("genasc")));
    }
    EXPECT_EQ(Server.Count("/a.asc"), 1);
    EXPECT_EQ(Server.Count("/b.asc"), 1);
}

// A 200 answer without bytes is refused and keeps what the target holds; a file that lists no
// POIs is an answer like any other.
TEST_F(HttpUpdate, AnEmptyAnswerKeepsTheTarget)
{
    for (const char* children : { "<url>/fuel.asc</url><lastmodified>/lm</lastmodified>", "<url>/fuel.asc</url>" }) {
        Server.Set("/fuel.asc", TAnswer().WithBody(V1));
        Server.Set("/lm", TAnswer().WithBody("20240101 120000"));
        Catalogue(QLatin1String(children));
        GetAutoUpdateProfile(0).Clear();
        TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
        QFile::remove(CacheOf(item));
        QFile::remove(ChangeLocationExtension(CacheOf(item), QStringLiteral(".inf")));
        NewRun();
        ASSERT_EQ(Scenario(item), QString()) << children;
        const std::string installed = LoadBytesFromFile(TargetPath(QStringLiteral("fuel.asc")));
        ASSERT_FALSE(Convert(installed, PoiExt, PoiFormatID, PoiExt, PoiFormatID).empty());

        Server.Set("/fuel.asc", TAnswer().WithBody(""));
        Server.Set("/lm", TAnswer().WithBody("20240101 120001"));
        // Newer on the site's clock for the revalidating path too.
        QFile::remove(ChangeLocationExtension(CacheOf(item), QStringLiteral(".inf")));
        NewRun();
        EXPECT_EQ(Scenario(item),
            QStringLiteral("Cannot download \"Fuel\" because the following error: \r\rThe site sent an empty answer "
                           "instead of the POI file while downloading item.")
                + Hint())
            << children;
        EXPECT_EQ(LoadBytesFromFile(TargetPath(QStringLiteral("fuel.asc"))), installed) << children;
        EXPECT_EQ(LoadBytesFromFile(CacheOf(item)), V1) << children;

        const std::string noPois = "; nothing listed today\r\n";
        Server.Set("/fuel.asc", TAnswer().WithBody(noPois));
        Server.Set("/lm", TAnswer().WithBody("20240101 120002"));
        NewRun();
        bool result = false;
        EXPECT_EQ(Scenario(item, &result), QString()) << children;
        EXPECT_TRUE(result);
        EXPECT_EQ(LoadBytesFromFile(TargetPath(QStringLiteral("fuel.asc"))),
            Convert(noPois, PoiExt, PoiFormatID, PoiExt, QStringLiteral("genasc")));
    }
}

TEST_F(HttpUpdate, TheCachedCatalogueSurvivesABadFetch)
{
    const std::string good
        = "<pois><poi><description>Fuel</description><format>asc.genasc</format><url>/fuel.asc</url></poi></pois>";
    Server.Set("/site.xml", TAnswer().WithBody(good));
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    TRunCatalogues run;
    run.Fetch(Site);
    const TSnapshot before = Snapshot();
    ASSERT_NO_THROW(Engine->Execute(item, AskOverwrite, run, {}));
    ExpectNothingLost(before);
    EXPECT_EQ(LoadBytesFromFile(LocationToLocalFile(Site)), good);
    // An item is checked against what its site's row fetched, never fetched on its own.
    TRunCatalogues none;
    NewRun();
    EXPECT_EQ(MessageOf([&] { Engine->Execute(item, AskOverwrite, none, {}); }),
        QStringLiteral("Unable to download associated site xml"));
    EXPECT_EQ(Server.Count("/site.xml"), 1);
    for (TAnswer bad : { TAnswer().WithBody("<html><body>Down for maintenance"), TAnswer().WithStatus(500),
             TAnswer().WithBody(good.substr(0, 20)).WithCutShort(true) }) {
        Server.Set("/site.xml", TAnswer().WithBody(good));
        run.Fetch(Site);
        Server.Set("/site.xml", bad);
        // A failed fetch drops the run's copy; the local copy stays as it was.
        EXPECT_THROW(run.Fetch(Site), ETarvellError);
        EXPECT_EQ(MessageOf([&] { run.Catalogue(Site); }), QStringLiteral("Unable to download associated site xml"));
        EXPECT_EQ(LoadBytesFromFile(LocationToLocalFile(Site)), good);
    }
    ClearSites();
    EXPECT_EQ(GetSite(Site).Countries.Count(), 1);
    ClearSites();
}

TEST_F(HttpUpdate, ACorruptStampMeansDownloadAgain)
{
    Catalogue(QStringLiteral("<url>/fuel.asc</url><lastmodified>/lm</lastmodified>"));
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    ASSERT_EQ(Run(item), QString());
    SaveBytesToFile(ChangeLocationExtension(CacheOf(item), QStringLiteral(".inf")), "abc");
    NewRun();
    bool result = false;
    EXPECT_EQ(Scenario(item, &result), QString());
    EXPECT_TRUE(result);
    EXPECT_EQ(Server.Count("/fuel.asc"), 2);
}

TEST_F(HttpUpdate, AFailedStampPutsTheOldCacheFileBack)
{
    Catalogue(QStringLiteral("<url>/fuel.asc</url><lastmodified>/lm</lastmodified>"));
    TUpdateItem& item = AddItem(QStringLiteral("fuel.asc"));
    ASSERT_EQ(Run(item), QString());
    Server.Set("/lm", TAnswer().WithBody("20240301 120000"));
    Server.Set("/fuel.asc", TAnswer().WithBody(V2));
    SetAtomicFileFaultHook([](const QString& fileName) {
        if (fileName.endsWith(QStringLiteral(".inf")))
            throw EInOutError(QStringLiteral("killed"));
    });
    NewRun();
    EXPECT_NE(Scenario(item), QString());
    SetAtomicFileFaultHook({});
    EXPECT_EQ(LoadBytesFromFile(CacheOf(item)), V1);
}

} // namespace
