// Tests of the settings store, the settings singleton and the site configuration.
#include "core/uSettings.h"

#include "core/uCodePage.h"
#include "core/uOptionSource.h"
#include "formats/uConvertBase.h"
#include "model/uModel.h"
#include "support/CoreTestHooks.h"
#include "support/OptionSupport.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

void WriteText(const QString& fileName, const QByteArray& text)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QFile f(fileName);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
}

QByteArray ReadText(const QString& fileName)
{
    QFile f(fileName);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Store : public CleanSettingsTest {};

TEST_F(Store, CaseInsensitiveBackslashSectionsAndTolerantParsing)
{
    WriteText(Settings.StoreFile(), "junk before any section\n[Exporters\\GenAsc]\r\n0=1\r\nno equals sign\n=empty key\n"
                                    "[exporters\\genasc]\n1= 7 \n[Other]\nKey=a=b\n");
    TSettingsStore store(Settings.StoreFile());
    EXPECT_TRUE(store.ReadBool(QStringLiteral("EXPORTERS\\genasc"), QStringLiteral("0"), false));
    EXPECT_EQ(store.ReadInteger(QStringLiteral("Exporters\\genasc"), QStringLiteral("1"), 0), 7) << "sections merge";
    EXPECT_EQ(store.ReadString(QStringLiteral("other"), QStringLiteral("KEY"), QString()), QStringLiteral("a=b"));
    EXPECT_EQ(store.ReadInteger(QStringLiteral("other"), QStringLiteral("key"), 42), 42) << "not a number: default";
    EXPECT_EQ(store.ReadSections(), (QStringList{QStringLiteral("Exporters\\GenAsc"), QStringLiteral("Other")}));
    EXPECT_FALSE(store.ValueExists(QStringLiteral("Exporters\\GenAsc"), QStringLiteral("no equals sign")));
}

TEST_F(Store, ValuesNeverBreakLinesAndKeysAreChecked)
{
    {
        TSettingsStore store(Settings.StoreFile());
        store.WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("line1\r\nline2\n[Injected]"));
        EXPECT_THROW(store.WriteString(QStringLiteral("S"), QStringLiteral("a=b"), QString()), EAssertionFailed);
    }
    TSettingsStore reread(Settings.StoreFile());
    EXPECT_EQ(reread.ReadSections(), QStringList{QStringLiteral("S")});
    EXPECT_EQ(reread.ReadString(QStringLiteral("S"), QStringLiteral("k"), QString()), QStringLiteral("line1  line2 [Injected]"));
}

TEST_F(Store, TwoStoreObjectsKeepEachOthersWrites)
{
    TSettingsStore a(Settings.StoreFile());
    TSettingsStore b(Settings.StoreFile());
    a.WriteString(QStringLiteral("S"), QStringLiteral("a"), QStringLiteral("1"));
    b.WriteString(QStringLiteral("S"), QStringLiteral("b"), QStringLiteral("2"));
    b.BeginUpdate();
    b.WriteString(QStringLiteral("T"), QStringLiteral("c"), QStringLiteral("3"));
    a.WriteString(QStringLiteral("T"), QStringLiteral("d"), QStringLiteral("4"));
    b.EndUpdate();
    TSettingsStore c(Settings.StoreFile());
    EXPECT_EQ(c.ReadString(QStringLiteral("S"), QStringLiteral("a"), QString()), QStringLiteral("1"));
    EXPECT_EQ(c.ReadString(QStringLiteral("S"), QStringLiteral("b"), QString()), QStringLiteral("2"));
    EXPECT_EQ(c.ReadString(QStringLiteral("T"), QStringLiteral("c"), QString()), QStringLiteral("3"));
    EXPECT_EQ(c.ReadString(QStringLiteral("T"), QStringLiteral("d"), QString()), QStringLiteral("4"));
}

TEST_F(Store, UnwritableStoreRaisesAndKeepsTheFile)
{
    WriteText(Settings.StoreFile(), "[S]\nk=old\n");
    const QString dir = QFileInfo(Settings.StoreFile()).absolutePath();
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (QFileInfo(dir).isWritable()) {
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        GTEST_SKIP() << "running as a user that ignores permissions";
    }
    {
        TSettingsStore store(Settings.StoreFile());
        EXPECT_THROW(store.WriteString(QStringLiteral("S"), QStringLiteral("k"), QStringLiteral("new")), EStoreError);
    }
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(ReadText(Settings.StoreFile()), QByteArray("[S]\nk=old\n"));
}

TEST_F(Store, UnwritableFolderDuringSettingsSaveIsReportedNotRaised)
{
    // A store path below a plain file cannot be created at all.
    WriteText(Settings.Path() + QStringLiteral("/blocker"), "x");
    qputenv("XDG_CONFIG_HOME", (Settings.Path() + QStringLiteral("/blocker")).toLocal8Bit());
    GetSettings().Precision = 6;
    const QString error = FinalizeSettings();
    EXPECT_FALSE(error.isEmpty());
}

TEST_F(Store, SectionListsStopAtGapsAndHonourUnique)
{
    WriteText(Settings.StoreFile(), "[L]\n0=a\n1=B\n2=b\n4=after gap\n");
    TSettingsStore store(Settings.StoreFile());
    QStringList plain, unique;
    ReadSectionList(store, QStringLiteral("L"), plain, false);
    ReadSectionList(store, QStringLiteral("L"), unique, true);
    EXPECT_EQ(plain, (QStringList{QStringLiteral("a"), QStringLiteral("B"), QStringLiteral("b")}));
    EXPECT_EQ(unique, (QStringList{QStringLiteral("a"), QStringLiteral("B")}));
    WriteSectionList(store, QStringLiteral("L"), {QStringLiteral("x")});
    EXPECT_EQ(store.ReadSection(QStringLiteral("L")), QStringList{QStringLiteral("0")});
}

TEST(SafeStringList, NamesWithEqualSigns)
{
    TSafeStringList l;
    l.AddNameValue(QStringLiteral("/a=b/c.ov2"), QStringLiteral("ttov2"));
    EXPECT_EQ(l.Lines[0], QStringLiteral("/a%3Db/c.ov2=ttov2"));
    EXPECT_EQ(l.GetName(0), QStringLiteral("/a=b/c.ov2"));
    EXPECT_EQ(l.GetValue(QStringLiteral("/A=B/C.OV2")), QStringLiteral("ttov2"));
    l.InsertNameValue(0, QStringLiteral("x"), QString());
    EXPECT_EQ(l.IndexOfName(QStringLiteral("/a=b/c.ov2")), 1);
    EXPECT_EQ(l.IndexOfName(QStringLiteral("nope")), -1);
}

class Settings_ : public CleanSettingsTest {};

TEST_F(Settings_, DefaultsSaveToTheGoldenText)
{
    GetSettings().Save();
    const QByteArray expected = ReadText(QStringLiteral(TARVELL_TEST_DATA "/settings/default-save.ini"));
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(ReadText(Settings.StoreFile()).toStdString(), expected.toStdString());
}

TEST_F(Settings_, CraftedStoreLoadsWithClampsAndListRules)
{
    const QString sites = BuiltInSites().join(QChar('\n'));
    QByteArray text = "[Settings]\nPrecision=2\nSiteManagerItemsView=9\nAutoUpdateDelay=0\nLanguage=1031\n"
                      "InitialDir=/home/u\n[MRU]\n";
    for (int i = 0; i < 10; ++i)
        text += QByteArray::number(i) + "=/f" + QByteArray::number(i) + (i == 0 ? ".ov2" : ".asc=genasc") + "\n";
    text += "[Sites]\n0=http://mine.example/list.xml\n1=" + BuiltInSites()[3].toUtf8() + "\n2=" + OldMakerSiteList().toUtf8()
          + "\n3=" + BuiltInSites()[0].toUtf8() + "\n";
    text += "[HiddenSites]\n0=http://mine.example/list.xml\n1=" + BuiltInSites()[5].toUtf8() + "\n";
    text += "[DefaultFormats]\n0=.csv=miomapcsv\n";
    WriteText(Settings.StoreFile(), text);

    TSettings& s = GetSettings();
    EXPECT_EQ(s.Precision, 4);
    EXPECT_EQ(s.SiteManagerItemsView, 3);
    EXPECT_EQ(s.AutoUpdateDelay, 5);
    EXPECT_EQ(s.Language, 1031);
    EXPECT_EQ(s.InitialDir, QStringLiteral("/home/u"));
    ASSERT_EQ(s.MRU.Count(), 5) << "ten stored, five loaded";
    EXPECT_EQ(s.MRU.Lines[0], QStringLiteral("/f0.ov2=")) << "a line without = gets an empty format";
    EXPECT_EQ(s.MRU.GetValueAt(1), QStringLiteral("genasc"));
    ASSERT_EQ(s.Sites.size(), 13);
    EXPECT_EQ(s.Sites.mid(0, 12), BuiltInSites()) << "built-in first, in built-in order";
    EXPECT_EQ(s.Sites[12], QStringLiteral("http://mine.example/list.xml"));
    EXPECT_EQ(s.HiddenSites, QStringList{BuiltInSites()[5]}) << "only built-in lists can be hidden";
    EXPECT_EQ(s.GetVisibleSites().size(), 12);
    EXPECT_EQ(s.DefaultFormats, QStringList{QStringLiteral(".csv=miomapcsv")});

    for (int i = 0; i < 5; ++i)
        s.AddToMRU(QStringLiteral("/n%1").arg(i), QString());
    EXPECT_EQ(s.MRU.Count(), 8);
    s.AddToMRU(QStringLiteral("/f0.ov2"), QStringLiteral("ttov2"));
    EXPECT_EQ(s.MRU.Lines[0], QStringLiteral("/f0.ov2=ttov2"));
    EXPECT_EQ(s.MRU.Count(), 8);
    EXPECT_EQ(s.MRU.IndexOfName(QStringLiteral("/f0.ov2")), 0) << "moved, not duplicated";

    s.Save();
    TSettingsStore store(Settings.StoreFile());
    EXPECT_EQ(store.ReadInteger(QStringLiteral("Settings"), QStringLiteral("Precision"), 0), 4) << "clamped value written back";
    ResetSettingsForTests();
    EXPECT_EQ(GetSettings().MRU.Count(), 5) << "eight saved, five after a restart";
}

TEST_F(Settings_, BoundsAreNotSavedWhileArrangedByAPlugin)
{
    TSettings& s = GetSettings();
    s.Left = 10;
    s.Save();
    s.Left = 99;
    s.UserBounds = false;
    s.Save();
    TSettingsStore store(Settings.StoreFile());
    EXPECT_EQ(store.ReadInteger(QStringLiteral("Settings"), QStringLiteral("Left"), 0), 10);
}

TEST_F(Settings_, MruNamesWithEqualSignsRoundTrip)
{
    GetSettings().AddToMRU(QStringLiteral("/tmp/a=b.ov2"), QStringLiteral("ttov2"));
    GetSettings().Save();
    EXPECT_TRUE(ReadText(Settings.StoreFile()).contains("0=/tmp/a%3Db.ov2=ttov2"));
    ResetSettingsForTests();
    EXPECT_EQ(GetSettings().MRU.GetName(0), QStringLiteral("/tmp/a=b.ov2"));
}

// Every name comes back exactly from the settings file, whatever escapes it seems to hold, and a
// line break stays inside its entry.
TEST_F(Settings_, MruNamesRoundTripExactly)
{
    const char* const names[] = {
        "/tmp/a%3Db.gpx", "/tmp/a=b.gpx", "/tmp/a%25b.gpx", "/tmp/a%2525b.gpx", "/tmp/100%.gpx", "/tmp/%",
        "/tmp/%%3D%=.gpx", "/tmp/a%3db.gpx", "/tmp/a%0Ab.gpx", "/tmp/a%0Db.gpx", "/tmp/A&B.gpx", "/tmp/a\nb.gpx",
        "/tmp/a\rb.gpx", "/tmp/a\r\nb=%0A.gpx", "/tmp/Z\xc3\xbcrich \xc3\x9f \xe6\x9d\xb1%3D.gpx",
        "MOBILE://\\My Documents\\a%3Db.ov2", "/tmp/a%7Cb|c.gpx",
    };
    for (const char* raw : names) {
        const QString name = QString::fromUtf8(raw);
        SCOPED_TRACE(raw);
        ResetSettingsForTests();
        QFile::remove(Settings.StoreFile());
        GetSettings().AddToMRU(name, QStringLiteral("gpx"));
        GetSettings().AddToMRU(QStringLiteral("/tmp/plain.gpx"), QString());
        ASSERT_EQ(GetSettings().MRU.GetName(1), name);
        EXPECT_EQ(GetSettings().MRU.IndexOfName(name), 1);
        GetSettings().Save();
        const TSettingsStore store(Settings.StoreFile());
        EXPECT_EQ(store.ReadSection(QStringLiteral("MRU")).size(), 3) << "two entries and the marker";
        ResetSettingsForTests();
        const TSafeStringList& mru = GetSettings().MRU;
        ASSERT_EQ(mru.Count(), 2);
        EXPECT_EQ(mru.GetName(0), QStringLiteral("/tmp/plain.gpx"));
        EXPECT_EQ(mru.GetName(1), name);
        EXPECT_EQ(mru.GetValueAt(1), QStringLiteral("gpx"));
        // Opened again: still one entry.
        GetSettings().AddToMRU(name, QStringLiteral("gpx"));
        EXPECT_EQ(mru.Count(), 2);
        EXPECT_EQ(mru.GetName(0), name);
    }
}

// Entries written before names were fully escaped read as they always did: "%3D" alone stood
// for "=", any other "%" was the file's own. Names without "%", "=" or line breaks are stored as
// before.
TEST_F(Settings_, MruEntriesOfOlderVersionsReadAsBefore)
{
    WriteText(Settings.StoreFile(),
        "[MRU]\n0=/tmp/a%3Db.gpx=gpx\n1=/tmp/a%25b.gpx=\n2=/tmp/x%0Ay.gpx\n3=/tmp/p%3D%3D%.gpx=ttov2\n"
        "4=/tmp/plain.gpx=gpx\n");
    const QStringList expected = { QStringLiteral("/tmp/a=b.gpx"), QStringLiteral("/tmp/a%25b.gpx"),
        QStringLiteral("/tmp/x%0Ay.gpx"), QStringLiteral("/tmp/p==%.gpx"), QStringLiteral("/tmp/plain.gpx") };
    const auto names = [] {
        QStringList out;
        for (int i = 0; i < GetSettings().MRU.Count(); ++i)
            out << GetSettings().MRU.GetName(i);
        return out;
    };
    EXPECT_EQ(names(), expected);
    EXPECT_EQ(GetSettings().MRU.GetValueAt(3), QStringLiteral("ttov2"));
    EXPECT_EQ(GetSettings().MRU.GetValueAt(2), QString());
    GetSettings().Save();
    const TSettingsStore store(Settings.StoreFile());
    EXPECT_EQ(store.ReadString(QStringLiteral("MRU"), QStringLiteral("4"), QString()), QStringLiteral("/tmp/plain.gpx=gpx"));
    EXPECT_EQ(store.ReadString(QStringLiteral("MRU"), QStringLiteral("0"), QString()), QStringLiteral("/tmp/a%3Db.gpx=gpx"));
    ResetSettingsForTests();
    EXPECT_EQ(names(), expected) << "the same names after the store was rewritten";
}

// Recent files hold absolute, cleaned local paths; an entry is replaced by the same location only:
// local paths compare exactly (two files on Linux), device paths case-insensitively.
TEST_F(Settings_, RecentFilesCompareLocationsByTheirKind)
{
    struct TCase {
        const char* First;
        const char* Second;
        std::vector<const char*> Expected; // newest first
    };
    const QString here = QDir::currentPath();
    const TCase cases[] = {
        { "/a/X.ov2", "/a/x.ov2", { "/a/x.ov2", "/a/X.ov2" } },
        { "/a/x.ov2", "/a/x.ov2", { "/a/x.ov2" } },
        { "MOBILE://\\My Documents\\X.ov2", "mobile://\\my documents\\x.OV2", { "mobile://\\my documents\\x.OV2" } },
        { "MOBILE://\\X.ov2", "/X.ov2", { "/X.ov2", "MOBILE://\\X.ov2" } },
        { "/a/b/../x.ov2", "FILE:///a/./x.ov2", { "/a/x.ov2" } },
        { "rel/x.ov2", "rel/y.ov2", { "@/rel/y.ov2", "@/rel/x.ov2" } },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.First) + " then " + c.Second);
        TSettings& s = GetSettings();
        s.MRU.Clear();
        s.AddToMRU(QString::fromLatin1(c.First), QStringLiteral("ttov2"));
        s.AddToMRU(QString::fromLatin1(c.Second), QStringLiteral("ttov2"));
        ASSERT_EQ(s.MRU.Count(), int(c.Expected.size()));
        for (int i = 0; i < s.MRU.Count(); ++i)
            EXPECT_EQ(s.MRU.GetName(i), QString::fromLatin1(c.Expected[size_t(i)]).replace(QChar('@'), here));
    }
}

TEST_F(Settings_, PortableModeFollowsTheMarker)
{
    const QString exe = Settings.Path() + QStringLiteral("/bin/tarvell");
    WriteText(exe, "");
    SetExecutablePathOverride(exe);
    ResetPortableCache();
    EXPECT_FALSE(IsPortable());
    EXPECT_EQ(SettingsStoreFileName(), Settings.StoreFile());

    WriteText(Settings.Path() + QStringLiteral("/bin/portable.ini"), "anything");
    EXPECT_FALSE(IsPortable()) << "tested once per process";
    ResetPortableCache();
    EXPECT_TRUE(IsPortable());
    EXPECT_EQ(SettingsStoreFileName(), Settings.Path() + QStringLiteral("/bin/tarvell.ini"));
    GetSettings().Precision = 6;
    GetSettings().Save();
    EXPECT_TRUE(QFileInfo::exists(Settings.Path() + QStringLiteral("/bin/tarvell.ini")));
    EXPECT_FALSE(QFileInfo::exists(Settings.StoreFile()));

    QFile::remove(Settings.Path() + QStringLiteral("/bin/portable.ini"));
    ResetPortableCache();
    ResetSettingsForTests();
    EXPECT_EQ(GetSettings().Precision, 5) << "back to the user store, nothing copied";
    SetExecutablePathOverride(QString());
    ResetPortableCache();
}

TEST_F(Settings_, SitePasswords)
{
    const QString site = QStringLiteral("C:\\Sites\\local.xml");
    EXPECT_EQ(SiteConfigSection(site), QStringLiteral("SiteConfigs\\C:/Sites/local.xml"));
    EXPECT_EQ(ReadSitePassword(site), QString());
    WriteSitePassword(site, QStringLiteral("p@ss&+=?#"));
    EXPECT_EQ(ReadSitePassword(site), QStringLiteral("p@ss&+=?#"));
    const QString stored = ReadSiteConfig(site, QStringLiteral("Password.v2"));
    EXPECT_EQ(stored.size(), 18);
    EXPECT_EQ(stored, stored.toUpper());

    const QString legacySite = QStringLiteral("http://old.example/x.xml");
    WriteSiteConfig(legacySite, QStringLiteral("Password"), AnsiToUnicode(ScrambleText("abc", SitePasswordKey)));
    EXPECT_EQ(ReadSitePassword(legacySite), QStringLiteral("abc"));

    for (const char* corrupt : {"ABC", "ZZ", "0G"}) {
        WriteSiteConfig(site, QStringLiteral("Password.v2"), QString::fromLatin1(corrupt));
        EXPECT_EQ(ReadSitePassword(site), QString()) << corrupt;
    }
    WriteSiteConfig(site, QStringLiteral("Username"), QStringLiteral("me"));
    EXPECT_EQ(ReadSiteConfig(site, QStringLiteral("Username")), QStringLiteral("me"));
}

} // namespace

// The converters' options and the model's rounding come from the settings store unless a source
// is handed in: a converter's option lands in its section of the store file and is read back at
// once, the precision is the settings' field.
TEST_F(Store, ConverterOptionsLiveInTheSettingsStore)
{
    const std::unique_ptr<TConvertToBase> asc = TConvertToBase::CreateConverter(QStringLiteral("asc"), QStringLiteral("genasc"));
    EXPECT_EQ(&ActiveOptionSource(), &SettingsOptionSource());
    EXPECT_FALSE(asc->ReadBoolOption(0));
    asc->WriteIntegerOption(1, 3);
    asc->WriteBoolOption(0, true);
    const auto store = CreateSettingsStore();
    EXPECT_EQ(store->ReadInteger(QStringLiteral("Exporters\\genasc"), QStringLiteral("1"), 0), 3);
    EXPECT_EQ(store->ReadInteger(QStringLiteral("Exporters\\genasc"), QStringLiteral("0"), 0), 1);
    GetSettings().Precision = 6;
    EXPECT_EQ(asc->Precision(), 6);
    EXPECT_EQ(CoordinatePrecision(), 6);
    asc->WriteBoolOption(0, false);
    EXPECT_EQ(asc->Precision(), 3);
    EXPECT_TRUE(ReadText(Settings.StoreFile()).contains("[Exporters\\genasc]"));
}

// A source handed in replaces the store for the options and the precision and leaves it untouched.
TEST_F(Store, HandedInSourceKeepsTheStoreOut)
{
    const std::unique_ptr<TConvertToBase> asc = TConvertToBase::CreateConverter(QStringLiteral("asc"), QStringLiteral("genasc"));
    {
        const TMemoryOptions options;
        options.Source.WriteInteger(QStringLiteral("Exporters\\genasc"), QStringLiteral("1"), 4);
        EXPECT_EQ(asc->Precision(), 4);
        asc->WriteBoolOption(0, true);
        EXPECT_EQ(asc->Precision(), 5);
        EXPECT_EQ(CoordinatePrecision(), 5);
    }
    EXPECT_EQ(&ActiveOptionSource(), &SettingsOptionSource());
    EXPECT_FALSE(asc->ReadBoolOption(0));
    EXPECT_FALSE(QFileInfo::exists(Settings.StoreFile()));
}
