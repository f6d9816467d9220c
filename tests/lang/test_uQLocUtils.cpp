// Language files, their discovery and the LCID tables.
#include "lang/uQLocUtils.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace {

TDLLInfoItem Language(uint16_t lcid, const QString& name, uint32_t version = ExeResourceVersion)
{
    TDLLInfoItem item;
    item.LanguageId = lcid;
    item.ResourceVersion = version;
    item.AnsiName = item.WideName = name;
    return item;
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A folder holding a pretend executable "tarvell" and its language files.
struct TLanguageFolder {
    QTemporaryDir Dir;
    TQLocUtils Utils;
    TLanguageFolder()
    {
        Utils.AppFileName = Dir.filePath(QStringLiteral("tarvell"));
        Utils.LibraryFolder = Dir.path();
    }
    QString Path(const char* name) const { return Dir.filePath(QLatin1String(name)); }
    void Add(const char* name, const TDLLInfoItem& item) { WriteLanguageFile(Path(name), item, QByteArray("qm")); }
    QStringList Listed() const
    {
        TDLLInfoList list;
        EXPECT_TRUE(Utils.EnumLanguageDlls(&list));
        QStringList names;
        for (int i = 0; i < list.Count(); ++i) {
            const TDLLInfoItem& item = list.GetItem(i);
            names << QStringLiteral("%1:%2").arg(QFileInfo(item.LibraryFileName).fileName()).arg(item.LanguageId);
        }
        return names;
    }
};

} // namespace

TEST(LanguageDescriptor, ExecutablesOwnIs44BytesAndReadsBack)
{
    TQLocUtils utils;
    const TLanguageModule own = utils.OwnModule();
    const QByteArray exe = own.Resources.at(QString::fromLatin1(ExeDescriptorName));
    ASSERT_EQ(exe.size(), 44);
    EXPECT_EQ(exe.left(4), QByteArray("QEXE"));
    EXPECT_EQ(exe.back(), '\0');
    const TDLLInfoItem item = utils.ReadDescriptor(own, false);
    EXPECT_EQ(item.LanguageId, 9);
    EXPECT_EQ(item.ResourceVersion, 68u);
    EXPECT_EQ(item.AnsiName, "English");
    EXPECT_EQ(item.WideName, "English");
    EXPECT_EQ(item.ExtraValue, 0u);
    EXPECT_TRUE(item.LibraryFileName.isEmpty());
    EXPECT_EQ(utils.ReadDescriptor(own, true).LanguageId, 9);
}

TEST(LanguageDescriptor, FieldsAndOptionalTail)
{
    TDLLInfoItem item = Language(1031, QStringLiteral("Deutsch"));
    item.WideName = QStringLiteral("Deutsch \u00e4");
    item.ExtraValue = 0x01020304;
    QByteArray bytes = BuildDescriptor(item, LibDescriptorMagic);
    TDLLInfoItem read = ParseDescriptor(bytes, LibDescriptorMagic, "x");
    EXPECT_EQ(read.LanguageId, 1031);
    EXPECT_EQ(read.WideName, item.WideName);
    EXPECT_EQ(read.ExtraValue, 0x01020304u);
    // Ends right after the UTF-16 name, or with only the skipped bytes: extra value 0.
    const int namesEnd = 12 + 7 + 2 + 2 * 9;
    for (int end : { namesEnd, namesEnd + 4, namesEnd + 7 }) {
        read = ParseDescriptor(bytes.left(end), LibDescriptorMagic, "x");
        EXPECT_EQ(read.WideName, item.WideName) << end;
        EXPECT_EQ(read.ExtraValue, 0u) << end;
    }
    // The ANSI name stops at its first zero byte.
    bytes[12 + 4] = '\0';
    EXPECT_EQ(ParseDescriptor(bytes, LibDescriptorMagic, "x").AnsiName, "Deut");
}

TEST(LanguageDescriptor, ShortOrForeignDescriptorsAreInvalid)
{
    const QByteArray bytes = BuildDescriptor(Language(1031, QStringLiteral("Deutsch")), LibDescriptorMagic);
    const int namesEnd = 12 + 7 + 2 + 2 * 7;
    for (int end = 0; end < namesEnd; ++end)
        EXPECT_THROW(ParseDescriptor(bytes.left(end), LibDescriptorMagic, "x"), ELUInvalidResLibrary) << end;
    EXPECT_THROW(ParseDescriptor(bytes, ExeDescriptorMagic, "x"), ELUInvalidResLibrary);
    try {
        ParseDescriptor(QByteArray("LDLL"), LibDescriptorMagic, "/lang/tarvell.deu");
        FAIL();
    } catch (const ELUInvalidResLibrary& e) {
        EXPECT_EQ(e.Message(), "Invalid resource file format \"/lang/tarvell.deu\"");
    }
}

TEST(LanguageFile, ContainerRoundTripAndEveryTruncationRefused)
{
    const QByteArray file = BuildLanguageFile(Language(1043, QStringLiteral("Nederlands")), QByteArray("qm-bytes"));
    const auto resources = UnpackLanguageResources(file, "f");
    EXPECT_EQ(resources.at(QStringLiteral("QM")), QByteArray("qm-bytes"));
    EXPECT_EQ(ParseDescriptor(resources.at(QString::fromLatin1(LibDescriptorName)), LibDescriptorMagic, "f").LanguageId,
        1043);
    for (int end = 0; end < file.size(); ++end)
        EXPECT_THROW(UnpackLanguageResources(file.left(end), "f"), ELUInvalidResLibrary) << end;
    EXPECT_THROW(UnpackLanguageResources(file + "x", "f"), ELUInvalidResLibrary);
    // A length far beyond the file is refused before anything is allocated for it.
    QByteArray huge = file;
    const int firstData = 12 + 2 + 16; // header, name length, name "QLX_LIBSETTINGS_"
    huge[firstData] = char(0xFF);
    huge[firstData + 1] = char(0xFF);
    huge[firstData + 2] = char(0xFF);
    huge[firstData + 3] = char(0x7F);
    EXPECT_THROW(UnpackLanguageResources(huge, "f"), ELUInvalidResLibrary);
    EXPECT_THROW(UnpackLanguageResources(QByteArray(100, 'z'), "f"), ELUInvalidResLibrary);
}

TEST(LanguageFile, LoadingChecksFileAndVersion)
{
    TLanguageFolder f;
    f.Add("tarvell.deu", Language(1031, QStringLiteral("Deutsch")));
    f.Add("tarvell.old", Language(1031, QStringLiteral("Deutsch"), 67));
    WriteBytes(f.Path("tarvell.bad"), QByteArray("TVLF\x01\x00\x00\x00\x05", 9));
    auto module = f.Utils.LoadLanguageLibrary(f.Path("tarvell.deu"));
    ASSERT_TRUE(module);
    EXPECT_EQ(f.Utils.ReadDescriptor(*module, true).LibraryFileName, f.Path("tarvell.deu"));
    EXPECT_TRUE(f.Utils.LoadLanguageLibrary(QString())->IsOwn());
    try {
        f.Utils.LoadLanguageLibrary(f.Path("tarvell.old"));
        FAIL();
    } catch (const ELUOutOfVersion& e) {
        EXPECT_TRUE(e.Message().startsWith(
            "Resource file " + f.Path("tarvell.old") + " is not synhronized with executable.\n"));
    }
    f.Utils.ToleratesVersion = true;
    EXPECT_FALSE(f.Utils.LoadLanguageLibrary(f.Path("tarvell.old")));
    try {
        f.Utils.LoadLanguageLibrary(f.Path("tarvell.none"));
        FAIL();
    } catch (const ELULoadResLibError& e) {
        EXPECT_EQ(e.Message(), "Error loading resource file \"" + f.Path("tarvell.none") + "\"");
    }
    EXPECT_THROW(f.Utils.LoadLanguageLibrary(f.Path("tarvell.bad")), ELULoadResLibError);
    // Mode 1 only checks; a missing descriptor is refused.
    WriteBytes(f.Path("tarvell.nod"), PackLanguageResources({ { QStringLiteral("QM"), QByteArray("x") } }));
    EXPECT_THROW(f.Utils.LoadLanguageFile(f.Path("tarvell.nod")), ELUInvalidResLibrary);
    EXPECT_NO_THROW(f.Utils.LoadLanguageFile(f.Path("tarvell.deu")));
    EXPECT_EQ(f.Utils.GetActiveLanguageInfo().LanguageId, 9);
}

TEST(LanguageFile, DiscoveryOrderAndSkipping)
{
    TLanguageFolder f;
    EXPECT_EQ(f.Listed(), QStringList { ":9" }); // only the executable's own
    f.Add("tarvell.nld", Language(1043, QStringLiteral("Nederlands")));
    f.Add("tarvell.deu", Language(1031, QStringLiteral("Deutsch")));
    f.Add("tarvell.old", Language(1036, QStringLiteral("Fran\u00e7ais"), 67)); // offered; refused when chosen
    for (const char* skipped : { "tarvell.bak", "tarvell.NTV", "tarvell.exe", "tarvell.~ex", "other.fra" })
        f.Add(skipped, Language(1040, QStringLiteral("Italiano")));
    WriteBytes(f.Path("tarvell.txt"), QByteArray("not a language"));
    WriteBytes(f.Path("tarvell.empty"), QByteArray());
    QDir(f.Dir.path()).mkdir(QStringLiteral("tarvell.dir"));
    EXPECT_EQ(f.Listed(), (QStringList { ":9", "tarvell.deu:1031", "tarvell.nld:1043", "tarvell.old:1036" }));

    TDLLInfoList list;
    EXPECT_FALSE(f.Utils.EnumLanguageDlls(nullptr));
    f.Utils.LibraryFolder = f.Path("missing");
    EXPECT_FALSE(f.Utils.EnumLanguageDlls(&list));
}

TEST(LanguageFile, SetLanguageByLcidFindsTheFile)
{
    TLanguageFolder f;
    f.Utils.SwitchMode = 0;
    // The abbreviation is upper case, the file's extension lower case.
    f.Add("tarvell.deu", Language(1031, QStringLiteral("Deutsch")));
    // A name that is no abbreviation: found by its descriptor.
    f.Add("tarvell.dutch", Language(1043, QStringLiteral("Nederlands")));
    // Not a real string table: installing it must fail cleanly.
    EXPECT_THROW(f.Utils.SetLanguageByLcid(1031), ELUInvalidResLibrary);
    f.Utils.SwitchMode = 1;
    EXPECT_NO_THROW(f.Utils.SetLanguageByLcid(1031));
    EXPECT_NO_THROW(f.Utils.SetLanguageByLcid(1043));
    EXPECT_NO_THROW(f.Utils.SetLanguageByLcid(9)); // the executable's own
    EXPECT_THROW(f.Utils.SetLanguageByLcid(1036), ELULoadResLibError);
    EXPECT_THROW(f.Utils.SetLanguageByLcid(999), ELULoadResLibError);
    // A native-language file makes its LCID the executable's own.
    EXPECT_EQ(f.Utils.GetNativeLanguageId(), 9);
    f.Add("tarvell.ntv", Language(1031, QStringLiteral("Deutsch")));
    EXPECT_EQ(f.Utils.GetNativeLanguageId(), 1031);
    QFile::remove(f.Path("tarvell.deu"));
    EXPECT_NO_THROW(f.Utils.SetLanguageByLcid(1031));
}

TEST(LanguageNames, TableOfLcids)
{
    const std::vector<uint16_t> lcids = LanguageTableLcids();
    EXPECT_EQ(lcids.size(), 135u);
    EXPECT_TRUE(std::is_sorted(lcids.begin(), lcids.end()));
    EXPECT_EQ(std::set<uint16_t>(lcids.begin(), lcids.end()).size(), lcids.size());
    std::set<QString> abbrevs;
    for (uint16_t lcid : lcids) {
        EXPECT_FALSE(LanguageNameOf(lcid).isEmpty()) << lcid;
        abbrevs.insert(LocaleAbbrevName(lcid));
    }
    // Every language file of the table has its own extension.
    EXPECT_EQ(abbrevs.size(), lcids.size());
    const struct {
        uint16_t Lcid;
        const char* Name;
        const char* Abbrev;
    } cases[] = {
        { 1031, "German (Germany)", "DEU" },
        { 1033, "English (United States)", "ENU" },
        { 1043, "Dutch (Netherlands)", "NLD" },
        { 2057, "English (United Kingdom)", "ENG" },
        { 3082, "Spanish (International Sort)", "ESN" },
        { 9, "English", "EN" },
        { 7, "German", "DE" },
        { 19, "Dutch", "NL" },
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LanguageNameOf(c.Lcid), c.Name) << c.Lcid;
        EXPECT_EQ(LocaleAbbrevName(c.Lcid), c.Abbrev) << c.Lcid;
    }
}

TEST(LanguageNames, UnknownLcidGetsACaptionNotAnError)
{
    EXPECT_EQ(LanguageNameOf(999), "Language 999");
    EXPECT_EQ(LanguageNameOf(0), "Language 0");
    try {
        LocaleAbbrevName(999);
        FAIL();
    } catch (const ELocalesError& e) {
        EXPECT_EQ(e.Message(), "Can not get locale info");
    }
}

TEST(LanguageNames, ListDeleteAndBounds)
{
    TDLLInfoList list;
    list.Add(Language(9, "English"));
    list.Add(Language(1031, "Deutsch"));
    list.Delete(0);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetItem(0).LanguageId, 1031);
    EXPECT_THROW(list.GetItem(1), ELocUtilsError);
    EXPECT_THROW(list.Delete(-1), ELocUtilsError);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}
