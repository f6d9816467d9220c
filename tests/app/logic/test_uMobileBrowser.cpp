// The device file browser's rules and the device folder tree on a temporary device root, with the
// fault-injecting device.
#include "app/logic/uMobileBrowser.h"

#include "core/uGeneral.h"
#include "core/uRapi.h"
#include "formats/uConvertBase.h"
#include "support/TFakeDevice.h"
#include "support/TestSupport.h"

namespace {

QString S(const char* text) { return QString::fromUtf8(text); }

std::vector<std::pair<QString, bool>> Listed(const TMobileBrowser& browser)
{
    std::vector<std::pair<QString, bool>> items;
    for (const TDeviceListItem& item : browser.Items())
        items.emplace_back(item.Name, item.IsFolder);
    return items;
}

const TMobileBrowser::TAskYesNo Never = [](const QString& text) {
    ADD_FAILURE() << "unexpected question: " << text.toStdString();
    return false;
};

class MobileBrowser : public TFakeDeviceTest {
protected:
    void SetUp() override
    {
        TFakeDeviceTest::SetUp();
        ConnectDevice();
    }
    // The writer row of an extension.
    static int Writer(const char* extension) { return TConvertToBase::IndexOf(S(extension), QString()); }
    static int Reader(const char* extension) { return TConvertFromBase::IndexOf(S(extension), QString()); }
};

TEST_F(MobileBrowser, ListsFoldersAndReadableFilesInDeviceOrder)
{
    PutFile(S("My Documents/b.OV2"), "x");
    PutFile(S("My Documents/a.gpx"), "x");
    PutFile(S("My Documents/notes.txt.bak"), "x");
    PutFile(S("My Documents/picture.bmp"), "x");
    PutFile(S("My Documents/Zoo/c.ov2"), "x");
    PutFile(S("My Documents/pois/readme.doc"), "x");
    PutFile(S("My Documents/pois/deeper/d.ov2"), "x");
    // Legal in Linux names, but "folder + name" would address another file.
    PutFile(S("My Documents/x\\y.ov2"), "x");
    PutFile(S("My Documents/line\nbreak.ov2"), "x");
    TMobileBrowser browser(false);
    browser.List(S("\\my documents"));
    EXPECT_EQ(browser.CurrentDir(), S("\\my documents\\"));
    EXPECT_EQ(Listed(browser),
        (std::vector<std::pair<QString, bool>> { { S("a.gpx"), false }, { S("b.OV2"), false }, { S("pois"), true },
            { S("Zoo"), true } }));
    EXPECT_EQ(browser.Items()[0].Image(), BrowserImageFile);
    EXPECT_EQ(browser.Items()[2].Image(), BrowserImageFolder);

    browser.List(S("\\My Documents\\pois\\"));
    EXPECT_EQ(Listed(browser), (std::vector<std::pair<QString, bool>> { { S("deeper"), true } }))
        << "a folder of unknown types shows only its sub-folders";

    browser.List(S("\\My Documents\\pois\\..\\..\\.."));
    EXPECT_EQ(browser.CurrentDir(), S("\\"));
    browser.List(S("\\gone"));
    EXPECT_TRUE(browser.Items().empty()) << "a folder the device cannot list shows empty";
    EXPECT_EQ(browser.CurrentDir(), S("\\gone\\"));
}

TEST_F(MobileBrowser, PlacesAreDeviceDocumentsAndEveryMap)
{
    PutFile(S(".registry.ini"), "[HKEY_CURRENT_USER\\Software\\TomTom\\TomTom Navigator\\Maps]\n"
                                "Europe=\\SD Card\\Europe-map\n");
    QDir(RootPath()).mkpath(S("SD Card/Europe-map"));
    TMobileBrowser browser(true);
    browser.FillPlaces();
    const std::vector<TDevicePlace>& places = browser.Places();
    ASSERT_EQ(places.size(), 4u);
    const std::tuple<QString, QString, int> expected[] = {
        { S("\\"), S("My Device"), BrowserImageDevice },
        { S("\\My Documents"), S("My Documents"), BrowserImageFolder },
        { S("\\SD Card\\Europe-map"), S("Europe"), BrowserImageMap },
        { S("\\SD Card\\Europe-map"), S("Europe-map"), BrowserImageMap },
    };
    for (size_t i = 0; i < places.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(places[i].Path, std::get<0>(expected[i]));
        EXPECT_EQ(places[i].Name, std::get<1>(expected[i]));
        EXPECT_EQ(places[i].Image, std::get<2>(expected[i]));
    }
    EXPECT_EQ(browser.PlaceOf(S("\\")), 0);
    EXPECT_EQ(browser.PlaceOf(S("\\my documents\\")), 1);
    EXPECT_EQ(browser.PlaceOf(S("\\SD CARD\\europe-MAP\\")), 2) << "the first of a map found twice";
    EXPECT_EQ(browser.PlaceOf(S("\\SD Card\\")), -1);
}

TEST_F(MobileBrowser, OpenEntersTypedFoldersAndNeverLeavesTheRoot)
{
    PutFile(S("My Documents/Sub/a.ov2"), "x");
    TMobileBrowser browser(false);
    browser.List(S("\\My Documents\\"));
    EXPECT_EQ(browser.Open(S("sub"), Never), TMobileBrowser::TOpenResult::Entered);
    EXPECT_EQ(browser.CurrentDir(), S("\\My Documents\\sub\\"));
    EXPECT_EQ(Listed(browser), (std::vector<std::pair<QString, bool>> { { S("a.ov2"), false } }));
    EXPECT_EQ(browser.Open(S("..\\..\\..\\.."), Never), TMobileBrowser::TOpenResult::Entered);
    EXPECT_EQ(browser.CurrentDir(), S("\\"));

    // Open mode makes no existence test.
    EXPECT_EQ(browser.Open(S("My Documents\\.\\Sub\\..\\none.ov2"), Never), TMobileBrowser::TOpenResult::Accepted);
    EXPECT_EQ(browser.FileName, S("\\My Documents\\none.ov2"));
    EXPECT_EQ(browser.Open(S("..\\a.ov2"), Never), TMobileBrowser::TOpenResult::Accepted);
    EXPECT_EQ(browser.FileName, S("\\a.ov2")) << "\"..\" at the root stays at the root";
}

TEST_F(MobileBrowser, SaveModeChecksTheExtensionAndAsksBeforeReplacing)
{
    PutFile(S("pois/old.ov2"), "old");
    TMobileBrowser browser(true);
    browser.FormatIndex = Writer(".ov2");
    ASSERT_GE(browser.FormatIndex, 0);
    browser.List(S("\\pois\\"));

    EXPECT_EQ(browser.Open(S("new"), Never), TMobileBrowser::TOpenResult::Accepted);
    EXPECT_EQ(browser.FileName, S("\\pois\\new.ov2")) << "no extension: the writer's";
    EXPECT_EQ(browser.Open(S("NEW.OV2"), Never), TMobileBrowser::TOpenResult::Accepted);
    EXPECT_EQ(browser.FileName, S("\\pois\\NEW.ov2"));
    EXPECT_EQ(MessageOf([&] { browser.Open(S("new.GPX"), Never); }),
        S("Extension \".GPX\" of filename does not match selected filetype."));
    EXPECT_THROW(browser.Open(S("new.gpx"), Never), EUserError);

    for (const bool answer : { false, true }) {
        SCOPED_TRACE(answer);
        browser.FileName.clear();
        QStringList asked;
        const auto result = browser.Open(S("Old"), [&](const QString& text) {
            asked << text;
            return answer;
        });
        EXPECT_EQ(asked, QStringList { S("Remote file \\pois\\Old.ov2 already exists. Do you want to overwrite it?") });
        EXPECT_EQ(result, answer ? TMobileBrowser::TOpenResult::Accepted : TMobileBrowser::TOpenResult::Stayed);
        EXPECT_EQ(browser.FileName, answer ? S("\\pois\\Old.ov2") : QString());
    }
    EXPECT_EQ(GetFile(S("pois/old.ov2")), QByteArray("old")) << "the browser only chooses";

    browser.FormatIndex = -1;
    EXPECT_EQ(browser.Open(S("free.gpx"), Never), TMobileBrowser::TOpenResult::Accepted)
        << "without a chosen writer the extension decides later";
}

TEST_F(MobileBrowser, DirectoryUpAndFormatChange)
{
    const std::pair<const char*, const char*> ups[] = {
        { "\\a\\", "\\" },
        { "\\a", "\\" },
        { "\\", "\\" },
        { "\\a\\b\\", "\\a" },
        { "", "" },
    };
    for (const auto& [folder, parent] : ups)
        EXPECT_EQ(TMobileBrowser::ParentDir(S(folder)), S(parent)) << folder;

    TMobileBrowser save(true);
    save.FormatIndex = Writer(".gpx");
    EXPECT_EQ(save.WithFormatExtension(S("museum.ov2")), S("museum.gpx"));
    EXPECT_EQ(save.WithFormatExtension(S("museum")), S("museum.gpx"));
    EXPECT_EQ(save.WithFormatExtension(QString()), QString());
    save.FormatIndex = -1;
    EXPECT_EQ(save.WithFormatExtension(S("museum.ov2")), S("museum.ov2"));
}

TEST_F(MobileBrowser, PresetFormatAndTheReaderHandedToTheOpen)
{
    TMobileBrowser open(false);
    open.SetFileName(S("\\My Documents\\x.GPX"));
    EXPECT_EQ(open.FormatIndex, Reader(".gpx"));
    open.SetFileName(S("\\My Documents\\"));
    EXPECT_EQ(open.FormatIndex, -1);
    open.SetFileName(S("\\x.unknown"));
    EXPECT_EQ(open.FormatIndex, -1);

    // A preset reader is handed on only for a file of its own extension.
    open.SetFileName(S("\\x.gpx"));
    open.FileName = S("\\cameras.ov2");
    EXPECT_EQ(open.OpenFormatID(), QString());
    open.FileName = S("\\other.gpx");
    EXPECT_EQ(open.OpenFormatID(), TConvertFromBase::FormatIDAt(Reader(".gpx")));

    TMobileBrowser save(true);
    save.SetFileName(S("\\a.ov2"));
    EXPECT_EQ(save.FormatIndex, Writer(".ov2"));
    EXPECT_EQ(save.FormatNames().size(), TConvertToBase::FormatCount());
    EXPECT_EQ(open.FormatNames().size(), TConvertFromBase::FormatCount());
}

TEST_F(MobileBrowser, DeleteRemovesTheFileThenTheItemAndOptionallyItsSideFiles)
{
    for (const char* name : { "a.ov2", "a.bmp", "a.inf", "a.ov2.bmp", "b.ov2", "b.bmp", "b.inf" })
        PutFile(S("pois/") + S(name), "x");
    TMobileBrowser browser(false);
    browser.List(S("\\pois"));
    ASSERT_EQ(Listed(browser), (std::vector<std::pair<QString, bool>> { { S("a.ov2"), false }, { S("b.ov2"), false } }));

    browser.Delete(0, true);
    EXPECT_EQ(Listed(browser), (std::vector<std::pair<QString, bool>> { { S("b.ov2"), false } }));
    for (const char* gone : { "a.ov2", "a.bmp", "a.inf" })
        EXPECT_EQ(GetFile(S("pois/") + S(gone)), QByteArray("<missing>")) << gone;
    EXPECT_EQ(GetFile(S("pois/a.ov2.bmp")), QByteArray("x")) << "the extension is replaced, not added to";

    browser.Delete(0, false);
    EXPECT_TRUE(browser.Items().empty());
    EXPECT_EQ(GetFile(S("pois/b.bmp")), QByteArray("x"));
    EXPECT_EQ(GetFile(S("pois/b.inf")), QByteArray("x"));

    PutFile(S("pois/c.ov2"), "x");
    browser.List(S("\\pois"));
    QFile::remove(RootPath() + S("/pois/c.ov2"));
    EXPECT_EQ(MessageOf([&] { browser.Delete(0, true); }), S("Could not delete remote file \\pois\\c.ov2"));
    EXPECT_THROW(browser.Delete(0, true), EUserError) << "a plain message, not a crash report";
    EXPECT_EQ(browser.Items().size(), 1u) << "the item stays while the file could not be deleted";
}

// An unplugged device is never a missing file or an empty folder: it raises the device message,
// leaves what was listed and typed as it was, and the next connection reads again.
TEST_F(MobileBrowser, UnpluggedDeviceRaisesAndKeepsTheState)
{
    PutFile(S("pois/old.ov2"), "old");
    TMobileBrowser browser(true);
    browser.FormatIndex = Writer(".ov2");
    browser.List(S("\\pois\\"));

    Fake->Unplugged = true;
    EXPECT_THROW(browser.List(S("\\")), EInitRapi) << "before a listing";
    EXPECT_EQ(browser.CurrentDir(), S("\\pois\\"));
    EXPECT_EQ(browser.Items().size(), 1u);
    EXPECT_THROW(browser.Open(S("old"), Never), EInitRapi) << "between listing and Open: never saved unasked";
    EXPECT_TRUE(browser.FileName.isEmpty());
    EXPECT_THROW(browser.Delete(0, true), EInitRapi);
    EXPECT_THROW(browser.FillPlaces(), EInitRapi);

    // Back: the next action connects again, whichever it is.
    Fake->Unplugged = false;
    browser.List(S("\\pois\\"));
    EXPECT_EQ(browser.Items().size(), 1u);
    Fake->Unplugged = true;
    EXPECT_THROW(browser.Open(S("old"), Never), EInitRapi);
    Fake->Unplugged = false;
    int asked = 0;
    EXPECT_EQ(browser.Open(S("old"),
                  [&](const QString&) {
                      ++asked;
                      return true;
                  }),
        TMobileBrowser::TOpenResult::Accepted);
    EXPECT_EQ(asked, 1);
}

class DeviceFolderTree : public MobileBrowser {};

TEST_F(DeviceFolderTree, PathsFindAndLazyReads)
{
    QDir root(RootPath());
    root.mkpath(S("SD Card/Europe-map/sub"));
    root.mkpath(S("My Documents"));
    PutFile(S("SD Card/file.ov2"), "not a folder");
    root.mkpath(S("bad\\name"));
    TDeviceFolderTree tree;
    tree.FillRoot();
    ASSERT_EQ(tree.Root().Children.size(), 2u);
    EXPECT_EQ(tree.Root().Children[0]->Name, S("My Documents"));
    EXPECT_EQ(tree.Root().Children[1]->Name, S("SD Card"));
    EXPECT_FALSE(tree.Root().Children[1]->Read);

    const int before = Fake->FindAllCalls;
    TDeviceFolderTree::TNode* map = tree.Find(S("\\sd card\\EUROPE-MAP\\"));
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(TDeviceFolderTree::PathOf(map), S("SD Card\\Europe-map"));
    EXPECT_EQ(tree.Find(S("SD Card\\Europe-map")), map) << "with or without the leading \"\\\"";
    EXPECT_EQ(Fake->FindAllCalls, before + 1) << "SD Card read once, Europe-map not at all";
    EXPECT_EQ(tree.Find(S("SD Card\\file.ov2")), nullptr);
    EXPECT_EQ(tree.Find(QString()), nullptr);
    EXPECT_EQ(tree.Find(S("\\")), nullptr);

    EXPECT_TRUE(tree.Expand(*map));
    EXPECT_TRUE(tree.Expand(*map));
    EXPECT_EQ(Fake->FindAllCalls, before + 2) << "expanding twice reads once";
    EXPECT_FALSE(tree.Expand(*map->Children[0])) << "a leaf has no children once read";

    tree.CacheDirs = false;
    tree.Expand(*map);
    tree.Expand(*map);
    EXPECT_EQ(Fake->FindAllCalls, before + 5);
}

TEST_F(DeviceFolderTree, ExpansionDuringAnUnplugRetriesNextTime)
{
    QDir(RootPath()).mkpath(S("a/b"));
    TDeviceFolderTree tree;
    tree.FillRoot();
    TDeviceFolderTree::TNode& a = *tree.Root().Children[0];
    Fake->Unplugged = true;
    EXPECT_THROW(tree.Expand(a), EInitRapi);
    EXPECT_FALSE(a.Read) << "a failure is never kept as \"no sub-folders\"";
    // Back: the expansion itself connects again.
    Fake->Unplugged = false;
    EXPECT_TRUE(tree.Expand(a));
    EXPECT_EQ(a.Children[0]->Name, S("b"));
}

} // namespace
