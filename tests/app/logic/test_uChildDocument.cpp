// The child window's document: editing commands, clipboard, drops and saving.
#include "app/logic/uChildDocument.h"
#include "core/uCodePage.h"
#include "core/uGeneral.h"
#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uStream.h"
#include "core/uSettings.h"
#include "formats/uConvertBase.h"
#include "support/TFakeDevice.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

void Fill(TChildDocument& doc, std::initializer_list<const char*> names)
{
    double x = 1;
    for (const char* name : names) {
        doc.Entries.Add(name, std::string(), x, 50 + x);
        x += 1;
    }
    doc.Entries.ResetChanged();
}

std::vector<std::string> Names(const TChildDocument& doc)
{
    std::vector<std::string> names;
    for (int i = 0; i < doc.Entries.Count(); ++i)
        names.emplace_back(doc.Entries[i].GetDescription());
    return names;
}

const TChildDocument::TAskYesNo Never = [](const QString&) -> bool {
    ADD_FAILURE() << "unexpected question";
    return false;
};

class ChildDocumentTest : public CleanSettingsTest {
protected:
    QTemporaryDir Dir;
    TChildDocument Doc;
};

} // namespace

// A device file's name may hide a direction override or bytes that are not UTF-8: the caption
// shows them escaped.
TEST_F(ChildDocumentTest, DeviceFileCaptionShowsHiddenCharacters)
{
    Doc.FileName = QStringLiteral("MOBILE://\\Pois\\rtl\u202Eevil.ov2");
    EXPECT_EQ(Doc.Caption(), QStringLiteral("rtl\\u202Eevil.ov2"));
    Doc.FileName = QStringLiteral("MOBILE://\\Pois\\") + DeviceNameFromBytes("caf\xE9.ov2");
    EXPECT_EQ(Doc.Caption(), QStringLiteral("caf\\xE9.ov2"));
}

TEST_F(ChildDocumentTest, CaptionAndInsert)
{
    EXPECT_EQ(Doc.Caption(), QStringLiteral("Untitled"));
    EXPECT_EQ(Doc.Insert(), 0);
    EXPECT_EQ(Doc.Insert(), 1);
    EXPECT_EQ(Names(Doc), (std::vector<std::string> { "New entry #1", "New entry #2" }));
    EXPECT_EQ(Doc.Caption(), QStringLiteral("Untitled*"));
    Doc.FileName = QStringLiteral("MOBILE://\\dir\\pois.ov2");
    Doc.Entries.ResetChanged();
    EXPECT_EQ(Doc.Caption(), QStringLiteral("pois.ov2"));
}

TEST_F(ChildDocumentTest, DeleteChoosesTheNextSelection)
{
    Fill(Doc, { "a", "b", "c", "d", "e", "f", "g", "h", "i", "j" });
    // The last three of ten: the new last item.
    EXPECT_EQ(Doc.Delete({ 9, 7, 8 }, 7), 6);
    EXPECT_EQ(Doc.Entries.Count(), 7);
    // From the middle: the remembered index stays; bad and repeated indices are ignored.
    EXPECT_EQ(Doc.Delete({ 1, 1, -3, 99 }, 1), 1);
    EXPECT_EQ(Names(Doc), (std::vector<std::string> { "a", "c", "d", "e", "f", "g" }));
    EXPECT_EQ(Doc.Delete({ 0, 1, 2, 3, 4, 5 }, 0), -1);
}

TEST_F(ChildDocumentTest, FindIsCaseInsensitiveInsideAndDoesNotWrap)
{
    Fill(Doc, { "Museum", "Zoo Artis", "Old museum", "Harbour" });
    EXPECT_EQ(Doc.Find(QStringLiteral("MUS")), 0);
    EXPECT_EQ(Doc.FindNext(QStringLiteral("mus"), 0), 2);
    EXPECT_EQ(Doc.FindNext(QStringLiteral("mus"), -1), 0);
    try {
        Doc.FindNext(QStringLiteral("mus"), 2);
        FAIL();
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No more items found"));
    }
    try {
        Doc.Find(QStringLiteral("castle"));
        FAIL();
    } catch (const EUserError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("No items found"));
    }
}

TEST_F(ChildDocumentTest, RenameAndSort)
{
    Fill(Doc, { "b", "C", "a" });
    Doc.RenameSelected({ 0, 2 }, QStringLiteral("z"));
    EXPECT_EQ(Names(Doc), (std::vector<std::string> { "z", "C", "z" }));
    Doc.RenameSelected({ 1 }, QString());
    EXPECT_EQ(Doc.Entries[1].GetDescription(), "");
    Doc.Entries[0].SetDescription("b");
    Doc.Entries[2].SetDescription("a");
    Doc.Entries[1].SetDescription("C");
    Doc.Entries.ResetChanged();
    Doc.SortByColumn(0);
    EXPECT_EQ(Names(Doc), (std::vector<std::string> { "a", "b", "C" }));
    EXPECT_TRUE(Doc.Entries.Changed());
    Doc.SortByColumn(2);
    EXPECT_EQ(Names(Doc), (std::vector<std::string> { "b", "C", "a" }));
    TChildDocument one;
    Fill(one, { "x" });
    one.SortByColumn(1);
    EXPECT_FALSE(one.Entries.Changed());
}

TEST_F(ChildDocumentTest, SaveToTakesTheNewNameOnlyAfterTheWrite)
{
    Fill(Doc, { "Museum" });
    Doc.Entries[0].SetLatitude(52.123456);
    Doc.FileName = QStringLiteral("/old/name.asc");
    Doc.FormatID = QStringLiteral("genasc");
    const QString target = Dir.filePath(QStringLiteral("out.csv"));
    // Destinator keeps 5 decimals? Whatever it keeps, a 4-decimal writer asks.
    int asked = 0;
    EXPECT_FALSE(Doc.SaveTo(target, QStringLiteral("miomapcsv"), [&](const QString& text) {
        ++asked;
        EXPECT_TRUE(text.contains(QStringLiteral("precision of 4 decimals"))) << text.toStdString();
        return false;
    }));
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(Doc.FileName, QStringLiteral("/old/name.asc"));
    EXPECT_EQ(Doc.FormatID, QStringLiteral("genasc"));
    EXPECT_TRUE(Doc.Entries.Changed());

    // An unwritable folder: the error, nothing taken.
    EXPECT_THROW(Doc.SaveTo(QStringLiteral("/nonexistent-folder/x/out.asc"), QStringLiteral("genasc"), Never), ETarvellError);
    EXPECT_EQ(Doc.FileName, QStringLiteral("/old/name.asc"));
    EXPECT_TRUE(Doc.Entries.Changed());

    ASSERT_TRUE(Doc.SaveTo(target, QStringLiteral("miomapcsv"), [](const QString&) { return true; }));
    EXPECT_EQ(Doc.FileName, target);
    EXPECT_EQ(Doc.FormatID, QStringLiteral("miomapcsv"));
    EXPECT_FALSE(Doc.Entries.Changed());
    EXPECT_EQ(GetSettings().InitialDir, Dir.path());
    EXPECT_TRUE(QFile::exists(target));
}

TEST_F(ChildDocumentTest, SaveAsDecisions)
{
    const int ov2 = TConvertToBase::IndexOfFormatID(QStringLiteral("ttov2"));
    const int asc = TConvertToBase::IndexOfFormatID(QStringLiteral("genasc"));
    EXPECT_EQ(TChildDocument::SaveAsFilterIndex(QStringLiteral("genasc"), QStringLiteral("ttov2"), 7), asc + 1);
    EXPECT_EQ(TChildDocument::SaveAsFilterIndex(QString(), QStringLiteral("ttov2"), 7), ov2 + 1);
    EXPECT_EQ(TChildDocument::SaveAsFilterIndex(QStringLiteral("gone"), QStringLiteral("gone too"), 7), 7);
    // The default extension follows the chosen writer.
    EXPECT_EQ(TChildDocument::SaveAsSuffix(asc + 1), QStringLiteral("asc"));
    EXPECT_EQ(TChildDocument::SaveAsSuffix(ov2 + 1), QStringLiteral("ov2"));

    Fill(Doc, { "Museum" });
    const QString name = Dir.filePath(QStringLiteral("saved.asc"));
    ASSERT_TRUE(Doc.SaveAsChosen(name, asc + 1, Never));
    EXPECT_EQ(Doc.FileName, QStringLiteral("FILE://") + name);
    EXPECT_EQ(Doc.FormatID, QStringLiteral("genasc"));
    EXPECT_EQ(GetSettings().LastSaveFormat, QStringLiteral("genasc"));
    EXPECT_EQ(GetSettings().MRU.GetName(0), name);
    EXPECT_EQ(GetSettings().MRU.GetValueAt(0), QStringLiteral("genasc"));
    // Save again goes to the same file in the same format.
    Doc.Insert();
    ASSERT_TRUE(Doc.SaveTo(Never));
    TChildDocument reread;
    TMemoryStream stream(LoadBytesFromFile(name));
    reread.Entries.LoadFromStream(stream, QStringLiteral(".asc"), QStringLiteral("genasc"), false);
    EXPECT_EQ(reread.Entries.Count(), 2);
}

TEST_F(ChildDocumentTest, LoadEntriesMovesTheRecordsAndTakesTheExporterFormat)
{
    TEntries source;
    source.Add(std::string(100, 'x'), std::string(), 4.5, 52.25);
    source.Add("second", std::string(), 5.5, 53.25);
    const TEntry* first = &source[0];
    Doc.LoadEntries(std::move(source), Dir.filePath(QStringLiteral("a.CSV")), QStringLiteral(".csv"), false,
        QStringLiteral("garmincsv"));
    EXPECT_EQ(Doc.FormatID, QStringLiteral("garmincsv"));
    EXPECT_EQ(Doc.Entries[0].GetDescription().size(), 100u);
    EXPECT_EQ(Doc.Entries[1].GetDescription(), "second");
    // The records themselves changed lists, in order; none was copied.
    EXPECT_EQ(&Doc.Entries[0], first);
    EXPECT_EQ(source.Count(), 0);
    EXPECT_FALSE(Doc.Entries.Changed());
    TEntries more;
    more.Add("third", std::string(), 6.5, 54.25);
    Doc.LoadEntries(std::move(more), QStringLiteral("MOBILE://\\b.ov2"), QStringLiteral(".ov2"), true, QString());
    EXPECT_EQ(Doc.Entries.Count(), 3);
    EXPECT_EQ(Doc.Entries[2].GetDescription(), "third");
    EXPECT_EQ(Doc.FileName, Dir.filePath(QStringLiteral("a.CSV")));
    EXPECT_EQ(GetSettings().InitialDir, Dir.path());
}

TEST_F(ChildDocumentTest, CopyAsTextAndDrops)
{
    Fill(Doc, { "a", "b", "c", "d" });
    EXPECT_EQ(Doc.CopyAsText({ 1 }), QStringLiteral("b\t2\t52\r\n"));
    TChildDocument other;
    Fill(other, { "x", "y" });
    // Between two windows: copies, inserted at the target.
    EXPECT_EQ(TChildDocument::DropEntries(Doc, { 0, 2, 77 }, other, 1), 1);
    EXPECT_EQ(Names(other), (std::vector<std::string> { "x", "a", "c", "y" }));
    EXPECT_EQ(Doc.Entries.Count(), 4);
    // Inside one window a move: moving down, after the target item.
    TChildDocument::DropEntries(Doc, { 0, 1 }, Doc, 2);
    EXPECT_EQ(Names(Doc), (std::vector<std::string> { "c", "a", "b", "d" }));
    TChildDocument::DropEntries(Doc, { 0 }, Doc, -1);
    EXPECT_EQ(Names(Doc), (std::vector<std::string> { "a", "b", "d", "c" }));
    // A target past the end appends.
    TChildDocument::DropEntries(Doc, { 0 }, other, 99);
    EXPECT_EQ(Names(other).back(), "a");
}

TEST_F(ChildDocumentTest, ClipboardRoundTripGivesTheSamePois)
{
    if (TConvertToBase::IndexOf(QStringLiteral(".gpx"), QString()) < 0)
        GTEST_SKIP() << "no GPX writer registered";
    Fill(Doc, { "Museum", "Zoo, Artis \"big\"", "Caf\xe9" });
    Doc.Entries[1].SetLatitude(-22.94861);
    Doc.Entries[1].SetLongitude(-43.15639);
    const QString text = Doc.CopySelectedText({ 1, 2 });
    TChildDocument other;
    Fill(other, { "kept" });
    other.PasteText(text);
    ASSERT_EQ(other.Entries.Count(), 3);
    EXPECT_EQ(Names(other), (std::vector<std::string> { "kept", "Zoo, Artis \"big\"", "Caf\xe9" }));
    EXPECT_EQ(other.Entries[1].GetLatitude(), Doc.Entries[1].GetLatitude());
    EXPECT_EQ(other.Entries[1].GetLongitude(), Doc.Entries[1].GetLongitude());
    EXPECT_THROW(other.PasteText(QStringLiteral("just some words")), ETarvellError);
}

// A move inside one list: up lands before the target item, down after it, onto one of the dragged
// rows leaves the list as it was; scattered rows land together in their order.
struct TMoveCase {
    std::vector<int> Dragged;
    int Target;
    std::vector<std::string> Expected;
};

class DropMoveTest : public ChildDocumentTest, public ::testing::WithParamInterface<TMoveCase> {};

TEST_P(DropMoveTest, LandsWhereTheRowWasDropped)
{
    Fill(Doc, { "a", "b", "c", "d", "e" });
    TChildDocument::DropEntries(Doc, GetParam().Dragged, Doc, GetParam().Target);
    EXPECT_EQ(Names(Doc), GetParam().Expected);
}

INSTANTIATE_TEST_SUITE_P(Moves, DropMoveTest,
    ::testing::Values(TMoveCase { { 1 }, 3, { "a", "c", "d", "b", "e" } }, TMoveCase { { 0 }, 4, { "b", "c", "d", "e", "a" } },
        TMoveCase { { 3 }, 1, { "a", "d", "b", "c", "e" } }, TMoveCase { { 1, 2 }, 3, { "a", "d", "b", "c", "e" } },
        TMoveCase { { 1, 2 }, 2, { "a", "b", "c", "d", "e" } }, TMoveCase { { 0, 3 }, 1, { "b", "a", "d", "c", "e" } },
        TMoveCase { { 1 }, 2, { "a", "c", "b", "d", "e" } }, TMoveCase { { 2 }, -1, { "a", "b", "d", "e", "c" } }));

// Text another program put on the clipboard is read as the characters it holds, whatever encoding
// its declaration names; characters beyond the code page are replaced as typed ones are.
struct TPasteCase {
    const char* Name;
    const char* Declaration;
    QString Description;
};

class PasteTextTest : public ChildDocumentTest, public ::testing::WithParamInterface<TPasteCase> {};

TEST_P(PasteTextTest, ReadsTheCharactersWhateverTheDeclarationSays)
{
    if (TConvertToBase::IndexOf(QStringLiteral(".gpx"), QString()) < 0)
        GTEST_SKIP() << "no GPX reader registered";
    const QString text = QString::fromLatin1(GetParam().Declaration)
        + QStringLiteral("<gpx version=\"1.1\" creator=\"other\"><wpt lat=\"48.137\" lon=\"11.575\"><name>%1</name></wpt></gpx>")
              .arg(GetParam().Description);
    Fill(Doc, { "kept" });
    Doc.PasteText(text);
    ASSERT_EQ(Doc.Entries.Count(), 2);
    EXPECT_EQ(Doc.Entries[1].GetDescription(), UnicodeToAnsi(GetParam().Description));
    EXPECT_DOUBLE_EQ(Doc.Entries[1].GetLatitude(), 48.137);
    EXPECT_DOUBLE_EQ(Doc.Entries[1].GetLongitude(), 11.575);
}

INSTANTIATE_TEST_SUITE_P(Declarations, PasteTextTest,
    ::testing::Values(TPasteCase { "utf8", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>", QStringLiteral("M\u00fcnchen") },
        TPasteCase { "latin1", "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>", QStringLiteral("M\u00fcnchen \u20ac") },
        TPasteCase { "cp1250", "<?xml version=\"1.0\" encoding=\"windows-1250\"?>", QStringLiteral("\u0141\u00f3d\u017a") },
        TPasteCase { "utf16", "<?xml version=\"1.0\" encoding=\"UTF-16\"?>", QStringLiteral("Z\u00fcrich") },
        TPasteCase { "none", "", QStringLiteral("M\u00fcnchen") }),
    [](const ::testing::TestParamInfo<TPasteCase>& info) { return std::string(info.param.Name); });

namespace {

class SaveRemoteTest : public ChildDocumentTest {
protected:
    QTemporaryDir Device;
    QByteArray OldRoot;
    void SetUp() override
    {
        OldRoot = qgetenv("TARVELL_DEVICE_ROOT");
        qputenv("TARVELL_DEVICE_ROOT", Device.path().toLocal8Bit());
        SetDeviceBackend(nullptr);
        ConnectDevice();
        Fill(Doc, { "Museum" });
    }
    void TearDown() override
    {
        DisconnectDevice();
        SetDeviceBackend(nullptr);
        qputenv("TARVELL_DEVICE_ROOT", OldRoot);
    }
    void Put(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    QByteArray Get(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
};

} // namespace

TEST_F(SaveRemoteTest, SavesWithOv2ByDefaultAndRemembersFolderAndFile)
{
    QDir(Device.path()).mkdir(QStringLiteral("My Documents"));
    const int ov2 = TConvertToBase::IndexOfFormatID(QStringLiteral("ttov2"));
    ASSERT_TRUE(Doc.SaveRemote(QStringLiteral("\\My Documents\\pois"), ov2, false, Never));
    EXPECT_TRUE(QFile::exists(Device.filePath(QStringLiteral("My Documents/pois.ov2"))));
    EXPECT_EQ(Doc.FileName, QStringLiteral("MOBILE://\\My Documents\\pois.ov2"));
    EXPECT_EQ(GetSettings().PrevRemoteDir, QStringLiteral("\\My Documents\\")) << "folder and name make a path";
    EXPECT_EQ(GetSettings().MRU.GetName(0), QStringLiteral("MOBILE://\\My Documents\\pois.ov2"));
}

TEST_F(SaveRemoteTest, PictureGoesAlongAskingBeforeItReplacesOne)
{
    const int ov2 = TConvertToBase::IndexOfFormatID(QStringLiteral("ttov2"));
    Put(Dir.filePath(QStringLiteral("local.bmp")), "local picture");
    Doc.FileName = Dir.filePath(QStringLiteral("local.ov2"));
    ASSERT_TRUE(Doc.SaveRemote(QStringLiteral("\\a.ov2"), ov2, true, Never));
    EXPECT_EQ(Get(Device.filePath(QStringLiteral("a.bmp"))), "local picture");

    Doc.FileName = Dir.filePath(QStringLiteral("local.ov2"));
    Put(Dir.filePath(QStringLiteral("local.bmp")), "newer picture");
    int asked = 0;
    ASSERT_TRUE(Doc.SaveRemote(QStringLiteral("\\a.ov2"), ov2, true, [&](const QString& text) {
        ++asked;
        EXPECT_EQ(text, QStringLiteral("Remote file \\a.bmp already exists. Do you want to overwrite it?"));
        return false;
    }));
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(Get(Device.filePath(QStringLiteral("a.bmp"))), "local picture");
}

TEST_F(SaveRemoteTest, DeviceFileSavedOntoItselfKeepsItsPicture)
{
    const int ov2 = TConvertToBase::IndexOfFormatID(QStringLiteral("ttov2"));
    Put(Device.filePath(QStringLiteral("a.bmp")), "device picture");
    Doc.FileName = QStringLiteral("MOBILE://\\A.ov2");
    ASSERT_TRUE(Doc.SaveRemote(QStringLiteral("\\a.ov2"), ov2, true, Never));
    EXPECT_EQ(Get(Device.filePath(QStringLiteral("a.bmp"))), "device picture");
    // To another name the device picture is copied.
    ASSERT_TRUE(Doc.SaveRemote(QStringLiteral("\\b.ov2"), ov2, true, Never));
    EXPECT_EQ(Get(Device.filePath(QStringLiteral("b.bmp"))), "device picture");
}

TEST_F(SaveRemoteTest, PresetNameAndWriterOfTheBrowser)
{
    Doc.FileName = QStringLiteral("MOBILE://\\Maps\\cams.gpx");
    EXPECT_EQ(Doc.RemoteSaveName(QStringLiteral("\\Other\\")), QStringLiteral("\\Maps\\cams.gpx"));
    Doc.FileName = Dir.filePath(QStringLiteral("cams.OV2"));
    EXPECT_EQ(Doc.RemoteSaveName(QStringLiteral("\\Other\\")), QStringLiteral("\\Other\\cams.OV2"));
    Doc.FileName.clear();
    EXPECT_EQ(Doc.RemoteSaveName(QStringLiteral("\\")), QStringLiteral("\\"));
    Doc.FormatID = QStringLiteral("ttov2");
    EXPECT_EQ(Doc.RemoteSaveTypeIndex(QStringLiteral("\\x.OV2")), TConvertToBase::IndexOfFormatID(QStringLiteral("ttov2")));
    EXPECT_EQ(Doc.RemoteSaveTypeIndex(QStringLiteral("\\x")), -1);
}

namespace {

class SaveRemoteFaults : public TFakeDeviceTest {
protected:
    TCleanSettings Settings;
    QTemporaryDir Dir;
    TChildDocument Doc;
};

} // namespace

// A transfer broken off leaves the device's file and its picture as they were, and nothing is
// remembered as saved.
TEST_F(SaveRemoteFaults, ShortWriteKeepsTheOldFileAndPicture)
{
    PutFile(QStringLiteral("a.ov2"), "old pois");
    PutFile(QStringLiteral("a.bmp"), "old picture");
    QFile picture(Dir.filePath(QStringLiteral("local.bmp")));
    ASSERT_TRUE(picture.open(QIODevice::WriteOnly));
    picture.write("new picture");
    picture.close();
    Fill(Doc, { "Museum" });
    Doc.FileName = Dir.filePath(QStringLiteral("local.ov2"));
    ConnectDevice();
    Fake->WriteShortBy = 1;
    const int ov2 = TConvertToBase::IndexOfFormatID(QStringLiteral("ttov2"));
    EXPECT_THROW(Doc.SaveRemote(QStringLiteral("\\a.ov2"), ov2, true, Never), ETarvellError);
    EXPECT_EQ(GetFile(QStringLiteral("a.ov2")), QByteArray("old pois"));
    EXPECT_EQ(GetFile(QStringLiteral("a.bmp")), QByteArray("old picture"));
    EXPECT_EQ(Doc.FileName, Dir.filePath(QStringLiteral("local.ov2")));
    EXPECT_EQ(GetSettings().MRU.Count(), 0);
    EXPECT_TRUE(GetSettings().PrevRemoteDir.isEmpty());
}

// Onto a full device the picture's copy fails as a plain device error, from a local source and
// from a device one: the list itself was saved and is remembered, the old picture stays as it
// was and no part of the new one is left on the device.
TEST_F(SaveRemoteFaults, PictureOntoAFullDeviceIsADeviceErrorAndLeavesNothingHalfWritten)
{
    for (const bool fromDevice : { false, true }) {
        SCOPED_TRACE(fromDevice ? "from the device" : "from a local file");
        QDir(RootPath()).removeRecursively();
        QDir().mkpath(RootPath());
        PutFile(QStringLiteral("a.bmp"), "old picture");
        const QByteArray picture(4096, 'p');
        if (fromDevice) {
            PutFile(QStringLiteral("src.bmp"), picture);
            Doc.FileName = QStringLiteral("MOBILE://\\src.ov2");
        } else {
            QFile local(Dir.filePath(QStringLiteral("local.bmp")));
            ASSERT_TRUE(local.open(QIODevice::WriteOnly));
            local.write(picture);
            local.close();
            Doc.FileName = Dir.filePath(QStringLiteral("local.ov2"));
        }
        Fill(Doc, { "Museum" });
        ConnectDevice();
        // Room for the list, not for the picture.
        Fake->SpaceLeft = 1024;
        const int ov2 = TConvertToBase::IndexOfFormatID(QStringLiteral("ttov2"));
        try {
            Doc.SaveRemote(QStringLiteral("\\a.ov2"), ov2, true, [](const QString&) { return true; });
            ADD_FAILURE() << "the copy did not fail";
        } catch (const EDeviceError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Could not create remote file \\a.bmp"));
        }
        Fake->SpaceLeft = UINT64_MAX;
        EXPECT_EQ(GetFile(QStringLiteral("a.bmp")), QByteArray("old picture"));
        EXPECT_NE(GetFile(QStringLiteral("a.ov2")), QByteArray("<missing>"));
        EXPECT_EQ(Doc.FileName, QStringLiteral("MOBILE://\\a.ov2"));
        EXPECT_FALSE(Doc.Entries.Changed());
        EXPECT_EQ(GetSettings().MRU.GetName(0), QStringLiteral("MOBILE://\\a.ov2"));
        EXPECT_EQ(GetSettings().PrevRemoteDir, QStringLiteral("\\"));
        QStringList names = QDir(RootPath()).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        EXPECT_EQ(names, (fromDevice ? QStringList { "a.bmp", "a.ov2", "src.bmp" } : QStringList { "a.bmp", "a.ov2" }))
            << qPrintable(names.join(' '));
        DisconnectDevice();
    }
}
