// The folder pickers' rules: the navigator maps beside the device tree, and the local targets.
#include "app/logic/uFolderPickers.h"

#include "core/uGeneral.h"
#include "core/uRapi.h"
#include "support/TFakeDevice.h"
#include "support/TestSupport.h"

#include <QDir>

namespace {

QString S(const char* text) { return QString::fromUtf8(text); }

class MobileFolderMaps : public TFakeDeviceTest {};

TEST_F(MobileFolderMaps, OtherFirstThenEveryMapAndTheEntryOfAPath)
{
    PutFile(S(".registry.ini"), "[HKEY_CURRENT_USER\\Software\\TomTom\\TomTom Navigator\\Maps]\n"
                                "Benelux=\\SD Card\\Benelux-map\n");
    QDir(RootPath()).mkpath(S("SD Card/Benelux-map"));
    PutFile(S("Program Files/Navigator/CurrentMap.dat"), QByteArray("\x01\x02\x03\x04\\Maps\\Italy\\\0", 17));
    TMobileFolderMaps maps;
    maps.Fill();
    EXPECT_EQ(maps.Entries(), (QStringList { S("[Other]"), S("Benelux"), S("Benelux-map"), S("Italy") }))
        << "a map in the registry and on a card is listed twice";
    EXPECT_EQ(maps.PathOfEntry(0), QString());
    EXPECT_EQ(maps.PathOfEntry(2), S("\\SD Card\\Benelux-map"));
    EXPECT_EQ(maps.PathOfEntry(3), S("\\Maps\\Italy\\"));
    EXPECT_EQ(maps.PathOfEntry(4), QString());

    const std::pair<const char*, int> entries[] = {
        { "SD Card\\Benelux-map", 1 },
        { "sd card\\BENELUX-MAP", 1 },
        { "Maps\\Italy", 3 },
        { "SD Card", 0 },
        { "", 0 },
    };
    for (const auto& [path, entry] : entries)
        EXPECT_EQ(maps.EntryOfPath(S(path)), entry) << path;

    EXPECT_EQ(MessageOf([] { TMobileFolderMaps::CheckPath(QString()); }), S("No map or folder specified"));
    EXPECT_THROW(TMobileFolderMaps::CheckPath(QString()), EUserError);
    EXPECT_NO_THROW(TMobileFolderMaps::CheckPath(S("SD Card")));
}

TEST(BrowseFolder, OnlyExistingAbsoluteFoldersCanBeChosen)
{
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(S("a"));
    QFile file(dir.filePath(S("f.txt")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_TRUE(IsSelectableFolder(S("/")));
    EXPECT_TRUE(IsSelectableFolder(dir.filePath(S("a"))));
    EXPECT_FALSE(IsSelectableFolder(S("*"))) << "the virtual top";
    EXPECT_FALSE(IsSelectableFolder(QString()));
    EXPECT_FALSE(IsSelectableFolder(dir.filePath(S("f.txt"))));
    EXPECT_FALSE(IsSelectableFolder(dir.filePath(S("missing"))));
    EXPECT_FALSE(IsSelectableFolder(S("a"))) << "relative";
    EXPECT_FALSE(IsSelectableFolder(S("C:\\"))) << "a drive path is no local folder";
}

} // namespace
