// Tests of device access: the folder back end through "MOBILE://" locations, the connection with
// its time-out and probe, device files, the registry and map discovery, with injected faults.
#include "core/uRapi.h"

#include "core/uDeviceFolder.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "core/uStream.h"
#include "support/CoreTestHooks.h"
#include "support/TFakeDevice.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

QString S(const char* text) { return QString::fromUtf8(text); }

const char* const ConnectMessage = "Unable to initialize connection to remote device. Please check the device is properly "
                                   "connected, ActiveSync is installed and active and that the device is ActiveSync compatible";

template <typename F>
QString MessageOf(F&& f)
{
    try {
        f();
    } catch (const ETarvellError& e) {
        return e.Message();
    }
    return S("<no exception>");
}

// The production path: no installed back end, the root from the environment or the settings.
class DeviceRoot : public CleanSettingsTest {
protected:
    void SetUp() override
    {
        FOldRoot = qgetenv("TARVELL_DEVICE_ROOT");
        qunsetenv("TARVELL_DEVICE_ROOT");
        SetDeviceBackend(nullptr);
    }
    void TearDown() override
    {
        SetDeviceBackend(nullptr);
        if (FOldRoot.isNull())
            qunsetenv("TARVELL_DEVICE_ROOT");
        else
            qputenv("TARVELL_DEVICE_ROOT", FOldRoot);
    }
    QByteArray FOldRoot;
    QTemporaryDir Root;
};

TEST_F(DeviceRoot, NoRootMeansNoRemoteApi)
{
    try {
        ConnectDevice();
        FAIL();
    } catch (const EUserError& e) {
        EXPECT_NE(dynamic_cast<const EInitRapi*>(&e), nullptr);
        EXPECT_EQ(e.Message(), S(ConnectMessage));
    }
    EXPECT_FALSE(IsDeviceConnected());
    EXPECT_THROW(DeviceFileExists(S("\\a.ov2")), EInitRapi) << "every device call binds first";
    EXPECT_THROW(LocationExists(S("MOBILE://\\a.ov2")), EInitRapi);
    EXPECT_NO_THROW(DisconnectDevice());
}

TEST_F(DeviceRoot, RootFromEnvironmentOrSetting)
{
    QDir(Root.path()).mkpath(S("My Documents"));
    GetSettings().DeviceRoot = Root.path();
    SaveTextToLocation("from setting", S("MOBILE://\\my documents\\a.txt"));
    EXPECT_TRUE(IsDeviceConnected());
    EXPECT_TRUE(QFile::exists(Root.filePath(S("My Documents/a.txt"))));

    QTemporaryDir other;
    qputenv("TARVELL_DEVICE_ROOT", other.path().toLocal8Bit());
    EXPECT_EQ(ConfiguredDeviceRoot(), other.path()) << "the environment wins";
    DisconnectDevice();
    ConnectDevice();
    EXPECT_FALSE(LocationExists(S("MOBILE://\\My Documents\\a.txt"))) << "the next connection uses the new root";

    qputenv("TARVELL_DEVICE_ROOT", Root.filePath(S("gone")).toLocal8Bit());
    DisconnectDevice();
    EXPECT_THROW(ConnectDevice(), EInitRapi) << "a root that is not there is no device";
    EXPECT_FALSE(IsDeviceConnected());
}

TEST_F(DeviceRoot, InterruptedDeviceWriteKeepsTheOldFile)
{
    qputenv("TARVELL_DEVICE_ROOT", Root.path().toLocal8Bit());
    QFile old(Root.filePath(S("a.ov2")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    SetAtomicFileFaultHook([](const QString&) { throw ETarvellError(S("killed")); });
    EXPECT_THROW(WriteDeviceFile(S("\\A.ov2"), std::string_view("new content")), ETarvellError);
    EXPECT_THROW(SaveTextToLocation("new", S("MOBILE://\\a.OV2")), ETarvellError);
    SetAtomicFileFaultHook({});
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
    EXPECT_EQ(QDir(Root.path()).entryList(QDir::Files | QDir::Hidden), QStringList{S("a.ov2")}) << "no temporary left";
}

class Device : public TFakeDeviceTest {};

TEST_F(Device, FilesThroughMobileLocationsWithMixedCase)
{
    PutFile(S("My Documents/POIs/Cameras.OV2"), QByteArray("a\nb\0c", 5));
    PutFile(S("My Documents/POIs/Empty.ov2"), QByteArray());
    ConnectDevice();
    const QString existing = S("mobile://\\my documents\\pois\\cameras.ov2");
    EXPECT_TRUE(LocationExists(existing));
    EXPECT_FALSE(LocationExists(S("MOBILE://\\My Documents\\POIs\\none.ov2")));
    EXPECT_BYTES_EQ(std::string("a\nb\0c", 5), LoadTextFromLocation(existing)) << "device text is the file's bytes";

    SaveTextToLocation("new\nline", S("MOBILE://\\MY DOCUMENTS\\Pois\\CAMERAS.ov2"));
    EXPECT_EQ(GetFile(S("My Documents/POIs/Cameras.OV2")), QByteArray("new\nline")) << "the existing file, byte for byte";
    SaveStreamToLocation(S("MOBILE://\\my documents\\pois\\New.ov2"), TMemoryStream(std::string("xyz")));
    EXPECT_EQ(GetFile(S("My Documents/POIs/New.ov2")), QByteArray("xyz")) << "a new name keeps its spelling";

    TMemoryStream stream(std::string("stale"));
    ReadDeviceFile(S("\\My Documents\\POIs\\EMPTY.OV2"), stream);
    EXPECT_EQ(stream.Size(), 0u) << "a 0-byte file is an empty stream";

    std::vector<std::pair<QString, bool>> listed;
    ListDeviceFolder(S("\\MY DOCUMENTS\\pois\\"), [&](const QString& name, bool isFolder) { listed.emplace_back(name, isFolder); });
    EXPECT_EQ(listed, (std::vector<std::pair<QString, bool>>{{S("Cameras.OV2"), false}, {S("Empty.ov2"), false}, {S("New.ov2"), false}}));
    listed.clear();
    bool created = false;
    CreateDeviceRegKey(DeviceHkeyCurrentUser, S("Software\\X"), created);
    TDeviceKey key = 0;
    ASSERT_EQ(CeRegOpenKeyEx(DeviceHkeyCurrentUser, S("Software\\X"), key), 0u);
    ASSERT_EQ(CeRegSetValueEx(key, S("v"), S("1")), 0u);
    CeRegCloseKey(key);
    ListDeviceFolder(S("\\"), [&](const QString& name, bool isFolder) { listed.emplace_back(name, isFolder); });
    EXPECT_EQ(listed, (std::vector<std::pair<QString, bool>>{{S("My Documents"), true}})) << "the registry file is not a device file";
    listed.clear();
    ListDeviceFolder(S("\\none\\"), [&](const QString& name, bool isFolder) { listed.emplace_back(name, isFolder); });
    EXPECT_TRUE(listed.empty());
    EXPECT_EQ(Fake->OpenHandles, 0);
}

// Every file on the device can be listed, read and deleted by the name the listing gives, also
// one whose name is not UTF-8 or holds a direction override; such a name is never written.
TEST_F(Device, NamesThatAreNotUtf8AreListedReadAndDeleted)
{
    const QByteArray latin1 = "caf\xE9.ov2";
    const QByteArray override = "rtl\xE2\x80\xAE" "evil.ov2";
    const QByteArray folder = QFile::encodeName(RootPath()) + "/Pois";
    ASSERT_TRUE(QDir().mkpath(RootPath() + S("/Pois")));
    for (const QByteArray& name : { latin1, override }) {
        const QByteArray path = folder + '/' + name;
        FILE* file = std::fopen(path.constData(), "wb");
        ASSERT_NE(file, nullptr);
        std::fputs(name.constData(), file);
        std::fclose(file);
    }
    ConnectDevice();
    std::vector<QString> listed;
    ListDeviceFolder(S("\\Pois\\"), [&](const QString& name, bool) { listed.push_back(name); });
    ASSERT_EQ(listed.size(), 2u);
    std::vector<QString> shown;
    for (const QString& name : listed)
        shown.push_back(VisibleDeviceName(name));
    std::sort(shown.begin(), shown.end());
    EXPECT_EQ(shown, (std::vector<QString>{S("caf\\xE9.ov2"), S("rtl\\u202Eevil.ov2")}));
    for (const QString& name : listed) {
        TMemoryStream stream;
        ReadDeviceFile(S("\\Pois\\") + name, stream);
        EXPECT_EQ(QByteArray::fromStdString(stream.Data()), DeviceNameToBytes(name));
        EXPECT_EQ(DeviceEntryAt(S("\\pois\\") + name.left(3).toUpper() + name.mid(3)), TDeviceEntry::File) << "case-insensitive as every name";
    }
    for (const QString& name : listed)
        EXPECT_TRUE(DeviceFileExists(S("\\Pois\\") + name)) << "looked up by its name, wildcards and all";
    std::vector<TDeviceFindData> found;
    ASSERT_TRUE(CeFindAllFiles(S("\\Pois\\*.OV2"), FafName, found));
    EXPECT_EQ(found.size(), 2u);
    const QString undecodable = DeviceNameFromBytes(latin1);
    EXPECT_THROW(WriteDeviceFile(S("\\Pois\\") + undecodable, std::string_view("x")), EDeviceError);
    WriteDeviceFile(S("\\Pois\\") + DeviceNameFromBytes(override), std::string_view("new"));
    EXPECT_EQ(GetFile(S("Pois/") + QString::fromUtf8(override)), QByteArray("new")) << "a UTF-8 name is written like any other";
    for (const QString& name : listed)
        EXPECT_TRUE(CeDeleteFile(S("\\Pois\\") + name));
    EXPECT_TRUE(QDir(RootPath() + S("/Pois")).isEmpty());
    EXPECT_EQ(Fake->OpenHandles, 0);
}

TEST_F(Device, PathsCannotLeaveTheRoot)
{
    PutFile(S("a.ov2"), "x");
    ConnectDevice();
    EXPECT_FALSE(DeviceFileExists(S("\\..\\") + QFileInfo(RootPath()).fileName() + S("\\a.ov2")));
    EXPECT_THROW(WriteDeviceFile(S("\\..\\escaped.ov2"), std::string_view("x")), EUserError);
    EXPECT_FALSE(QFile::exists(QFileInfo(RootPath()).absolutePath() + S("/escaped.ov2")));
    EXPECT_THROW(WriteDeviceFile(S("\\"), std::string_view("x")), EUserError);
    EXPECT_THROW(WriteDeviceFile(S("\\no folder\\a.ov2"), std::string_view("x")), EDeviceError)
        << "a folder missing on the device is the user's to create, no program fault";
}

// A link inside the root is part of the device; one that leads outside is neither listed nor
// reachable, whatever is asked through it.
TEST_F(Device, SymbolicLinksStayInsideTheRoot)
{
    QTemporaryDir outside;
    QFile secret(outside.filePath(S("secret.ov2")));
    ASSERT_TRUE(secret.open(QIODevice::WriteOnly));
    secret.write("outside");
    secret.close();
    PutFile(S("maps/inner.ov2"), "inner");
    QDir root(RootPath());
    ASSERT_TRUE(QFile::link(outside.path(), root.filePath(S("out"))));
    ASSERT_TRUE(QFile::link(outside.filePath(S("secret.ov2")), root.filePath(S("secret.ov2"))));
    ASSERT_TRUE(QFile::link(outside.filePath(S("new.ov2")), root.filePath(S("dangling.ov2"))));
    ASSERT_TRUE(QFile::link(root.filePath(S("maps")), root.filePath(S("shortcut"))));
    ConnectDevice();

    std::vector<QString> names;
    ListDeviceFolder(S("\\"), [&](const QString& name, bool) { names.push_back(name); });
    EXPECT_EQ(names, (std::vector<QString>{ S("maps"), S("shortcut") }));
    EXPECT_FALSE(DeviceFileExists(S("\\out\\secret.ov2")));
    EXPECT_EQ(DeviceEntryAt(S("\\secret.ov2")), TDeviceEntry::None);
    EXPECT_EQ(DeviceEntryAt(S("\\OUT")), TDeviceEntry::None);
    TMemoryStream stream;
    EXPECT_THROW(ReadDeviceFile(S("\\secret.ov2"), stream), EUserError);
    EXPECT_THROW(WriteDeviceFile(S("\\out\\secret.ov2"), std::string_view("x")), EUserError);
    EXPECT_THROW(WriteDeviceFile(S("\\dangling.ov2"), std::string_view("x")), EUserError);
    EXPECT_FALSE(CeDeleteFile(S("\\secret.ov2")));
    EXPECT_FALSE(CeCopyFile(S("\\secret.ov2"), S("\\copy.ov2"), false));
    EXPECT_FALSE(QFile::exists(outside.filePath(S("new.ov2"))));
    EXPECT_TRUE(QFile::exists(outside.filePath(S("secret.ov2"))));
    std::vector<TDeviceFindData> found;
    EXPECT_FALSE(CeFindAllFiles(S("\\out\\*.*"), FafName, found));

    ReadDeviceFile(S("\\Shortcut\\inner.ov2"), stream);
    EXPECT_EQ(stream.Data(), std::string("inner")) << "a link within the root is followed";
}

TEST(DeviceRootLink, RootReachedThroughALinkWorks)
{
    QTemporaryDir real, links;
    QDir(real.path()).mkpath(S("My Documents"));
    const QString root = links.filePath(S("device"));
    ASSERT_TRUE(QFile::link(real.path(), root));
    SetDeviceBackend(std::make_unique<TFolderDeviceBackend>([root] { return root; }));
    ConnectDevice();
    WriteDeviceFile(S("\\my documents\\a.ov2"), std::string_view("a"));
    EXPECT_TRUE(QFile::exists(real.filePath(S("My Documents/a.ov2"))));
    EXPECT_EQ(DeviceEntryAt(S("\\My Documents")), TDeviceEntry::Folder);
    EXPECT_EQ(DeviceEntryAt(S("\\My Documents\\A.OV2")), TDeviceEntry::File);
    SetDeviceBackend(nullptr);
}

// Only "*" and "?" are wildcards: a device name holding "[" is found as it is.
TEST_F(Device, BracketsInNamesAreNoWildcards)
{
    PutFile(S("poi[1].ov2"), "x");
    PutFile(S("poi1.ov2"), "y");
    ConnectDevice();
    EXPECT_TRUE(DeviceFileExists(S("\\POI[1].ov2")));
    EXPECT_FALSE(DeviceFileExists(S("\\poi[2].ov2")));
    EXPECT_TRUE(DeviceFileExists(S("\\poi?.ov2")));
    EXPECT_FALSE(DeviceFileExists(S("\\poi[0-9].ov2")));
    // "*" takes any run and "?" one character, a pair of surrogates counted as one.
    PutFile(S("\U0001F5FAmap.ov2"), "z");
    for (const char* pattern : { "\\*", "\\p*1*.OV2", "\\*[1]*", "\\?oi1.ov2", "\\**poi1*", "\\?map.ov2", "\\*map.*" })
        EXPECT_TRUE(DeviceFileExists(S(pattern))) << pattern;
    for (const char* pattern : { "\\poi1.ov2?", "\\??map.ov2", "\\*.ov", "\\p*x*" })
        EXPECT_FALSE(DeviceFileExists(S(pattern))) << pattern;
}

// A failed query is a missing file only while the device answers; a lost device raises EInitRapi
// and drops the connection, so that the next ConnectDevice connects afresh.
TEST_F(Device, LostDeviceIsNoMissingFile)
{
    PutFile(S("a.ov2"), "x");
    ConnectDevice();
    EXPECT_EQ(DeviceEntryAt(S("\\none.ov2")), TDeviceEntry::None);
    EXPECT_NO_THROW(RaiseIfDeviceLost());
    Fake->Unplugged = true;
    EXPECT_THROW(DeviceEntryAt(S("\\a.ov2")), EInitRapi);
    EXPECT_FALSE(IsDeviceConnected());
    EXPECT_FALSE(ListDeviceFolder(S("\\"), [](const QString&, bool) {}));
    Fake->Unplugged = false;
    ConnectDevice();
    EXPECT_EQ(DeviceEntryAt(S("\\A.OV2")), TDeviceEntry::File);
}

TEST_F(Device, ConnectTimesOutOnTheInjectedClock)
{
    Fake->NeverSignal = true;
    std::vector<bool> hourglass;
    SetHourglassHandler([&](bool busy) { hourglass.push_back(busy); });
    EXPECT_EQ(MessageOf([] { ConnectDevice(); }), S(ConnectMessage));
    SetHourglassHandler({});
    EXPECT_EQ(hourglass, (std::vector<bool>{true, false})) << "the cursor comes back on the error path";
    EXPECT_GE(Time.Now, 4000);
    EXPECT_LT(Time.Now, 4100);
    EXPECT_FALSE(IsDeviceConnected());
    EXPECT_EQ(Fake->UnInitCalls, 1) << "the half-made connection is dropped";

    Fake->NeverSignal = false;
    Fake->InitResult = 0x80004005u;
    EXPECT_THROW(ConnectDevice(), EInitRapi) << "signalled with a failure code";
    EXPECT_FALSE(IsDeviceConnected());
    Fake->InitResult = 0;
    Fake->InitExStatus = 1;
    EXPECT_THROW(ConnectDevice(), EInitRapi) << "refused at once";
    EXPECT_FALSE(IsDeviceConnected());
    Fake->InitExStatus = 0;
    ConnectDevice();
    EXPECT_TRUE(IsDeviceConnected());
}

TEST_F(Device, UnplugAfterConnectThenReconnect)
{
    ConnectDevice();
    ConnectDevice();
    EXPECT_EQ(Fake->InitExCalls, 1) << "a live connection is only probed";
    EXPECT_EQ(Fake->ProbeCalls, 1);

    Fake->Unplugged = true;
    EXPECT_THROW(ConnectDevice(), EInitRapi);
    EXPECT_FALSE(IsDeviceConnected());
    EXPECT_EQ(Fake->InitExCalls, 2) << "the failed probe started a new connection";
    EXPECT_EQ(Fake->UnInitCalls, 2);

    Fake->Unplugged = false;
    PutFile(S("a.ov2"), "back");
    TMemoryStream stream;
    ReadDeviceFile(S("\\A.OV2"), stream);
    EXPECT_EQ(stream.Data(), "back");
    EXPECT_TRUE(IsDeviceConnected());
    EXPECT_EQ(Fake->InitExCalls, 3);
}

TEST_F(Device, FailedWritesLeaveThePreviousFile)
{
    PutFile(S("Pois/a.ov2"), "previous");
    ConnectDevice();
    Fake->WriteShortBy = 1;
    EXPECT_EQ(MessageOf([] { WriteDeviceFile(S("\\pois\\A.ov2"), std::string_view("replacement")); }),
              S("Could not create remote file \\pois\\A.ov2"));
    EXPECT_THROW(SaveTextToLocation("replacement", S("MOBILE://\\Pois\\a.ov2")), EUserError) << "a full device";
    QTemporaryDir local;
    QFile source(local.filePath(S("l.ov2")));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.write("local");
    source.close();
    EXPECT_THROW(CopyFileToDevice(source.fileName(), S("\\Pois\\a.ov2")), EUserError);
    EXPECT_EQ(GetFile(S("Pois/a.ov2")), QByteArray("previous"));
    EXPECT_EQ(QDir(RootPath() + S("/Pois")).entryList(QDir::Files | QDir::Hidden), QStringList{S("a.ov2")}) << "no temporary left";
    EXPECT_EQ(Fake->OpenHandles, 0);

    Fake->WriteShortBy = 0;
    CopyFileToDevice(source.fileName(), S("\\Pois\\a.ov2"));
    EXPECT_EQ(GetFile(S("Pois/a.ov2")), QByteArray("local"));
    EXPECT_EQ(MessageOf([&] { CopyFileToDevice(local.filePath(S("none")), S("\\Pois\\a.ov2")); }),
              S("File %1 not found").arg(local.filePath(S("none"))));
}

TEST_F(Device, ReadFailures)
{
    PutFile(S("a.ov2"), "0123456789");
    TMemoryStream stream;
    EXPECT_EQ(MessageOf([&] { ReadDeviceFile(S("\\b.ov2"), stream); }), S("Could not open remote file \\b.ov2"));
    EXPECT_THROW(ReadDeviceFile(S("\\b.ov2"), stream), EUserError);
    Fake->ReadShortBy = 1;
    EXPECT_EQ(MessageOf([&] { ReadDeviceFile(S("\\a.ov2"), stream); }), S("Could not read from remote file \\a.ov2"));
    EXPECT_THROW(ReadDeviceFile(S("\\a.ov2"), stream), EUserError) << "a failing device is no program fault";
    Fake->ReadShortBy = 0;
    Fake->InvalidSize = true;
    EXPECT_EQ(MessageOf([&] { ReadDeviceFile(S("\\a.ov2"), stream); }), S("Could not read from remote file \\a.ov2"))
        << "an invalid size is a read error, not 4 GB to allocate";
    EXPECT_EQ(Fake->OpenHandles, 0) << "handles are closed on every way out";
}

TEST_F(Device, MapsFromRegistryCardsAndCurrentMap)
{
    PutFile(S(".registry.ini"), "[HKEY_CURRENT_USER\\Software\\TomTom\\TomTom Navigator\\Maps]\n"
                                "Benelux=\\SD Card\\Benelux\n"
                                "LastMap=\\SD Card\\Benelux\n"
                                "France=\\SD Card\\France-MAP\n");
    QDir root(RootPath());
    root.mkpath(S("SD Card/France-MAP"));
    root.mkpath(S("SD Card/maps"));
    root.mkpath(S("CF Card/uk-map"));
    PutFile(S("SD Card/file-map"), "a file, not a folder");
    PutFile(S("Program Files/Navigator/CurrentMap.dat"), QByteArray("\x01\x02\x03\x04\\SD Card\\France-MAP\\\0junk", 29));
    const QStringList lines{S("\\SD Card\\Benelux=Benelux"), S("\\SD Card\\France-MAP=France"),
                            S("\\SD Card\\France-MAP=France-MAP"), S("\\CF Card\\uk-map=uk-map"),
                            S("\\SD Card\\France-MAP\\=France-MAP")};
    QStringList list{S("old")};
    GetDeviceMaps(list, false);
    EXPECT_EQ(list, lines);
    GetDeviceMaps(list, true);
    EXPECT_EQ(list, (QStringList{S("Benelux"), S("France"), S("France-MAP"), S("uk-map"), S("France-MAP")}));

    root.mkpath(S("SD Card/Spain-map"));
    GetDeviceMaps(list, false);
    EXPECT_EQ(list, lines) << "found once per connection";
    DisconnectDevice();
    GetDeviceMaps(list, false);
    EXPECT_EQ(list.size(), lines.size() + 1);
}

TEST_F(Device, MapRegistryFailuresAreReportedAndNotCached)
{
    PutFile(S(".registry.ini"), "[HKEY_CURRENT_USER\\Software\\TomTom\\TomTom Navigator\\Maps]\nEurope=\\Europe\n");
    QStringList list;
    Fake->QueryInfoStatus = DeviceErrorAccessDenied;
    EXPECT_EQ(MessageOf([&] { GetDeviceMaps(list, false); }), S("Unable to determine number of values in remote registry key"));
    Fake->QueryInfoStatus = 0;
    Fake->EnumValueStatus = DeviceErrorAccessDenied;
    EXPECT_THROW(GetDeviceMaps(list, false), ETarvellError);
    Fake->EnumValueStatus = 0;
    GetDeviceMaps(list, false);
    EXPECT_EQ(list, QStringList{S("\\Europe=Europe")});
}

TEST_F(Device, RegistryKeysAndSpecialFolders)
{
    bool created = false;
    const TDeviceKey key = CreateDeviceRegKey(DeviceHkeyCurrentUser, S("Software\\Tarvell\\Sites\\a"), created);
    EXPECT_TRUE(created);
    ASSERT_EQ(CeRegSetValueEx(key, S("Username"), S("joe")), 0u);
    EXPECT_EQ(CeRegCloseKey(key), 0u);
    const TDeviceKey again = CreateDeviceRegKey(DeviceHkeyCurrentUser, S("software\\tarvell\\SITES\\A"), created);
    EXPECT_FALSE(created) << "keys are found case-insensitively";
    QString data;
    EXPECT_EQ(CeRegQueryValueEx(again, S("username"), data), 0u);
    EXPECT_EQ(data, S("joe"));
    EXPECT_EQ(CeRegQueryValueEx(again, S("none"), data), DeviceErrorFileNotFound);
    CeRegCloseKey(again);
    TDeviceKey parent = 0;
    EXPECT_EQ(CeRegOpenKeyEx(DeviceHkeyCurrentUser, S("Software\\Tarvell"), parent), 0u) << "a parent key exists";
    CeRegCloseKey(parent);
    EXPECT_EQ(CeRegOpenKeyEx(DeviceHkeyCurrentUser, S("Software\\Other"), parent), DeviceErrorFileNotFound);

    Fake->CreateKeyStatus = DeviceErrorAccessDenied;
    EXPECT_EQ(MessageOf([&] { CreateDeviceRegKey(DeviceHkeyCurrentUser, S("Software\\B"), created); }),
              S("Unable to create key in remote registry: Access is denied"));

    EXPECT_EQ(GetDeviceSpecialFolder(CsidlDrives), S("\\"));
    EXPECT_EQ(GetDeviceSpecialFolder(CsidlPersonal), S("\\My Documents"));
    EXPECT_EQ(GetDeviceSpecialFolder(CsidlProgramFiles), S("\\Program Files"));
    EXPECT_EQ(GetDeviceSpecialFolder(42), QString());
    Fake->NoSpecialFolders = true;
    EXPECT_EQ(MessageOf([] { GetDeviceSpecialFolder(CsidlDrives); }), S("CeGetSpecialFolderPath function not loaded"));
}

TEST(DeviceUnbound, ExportsThatAreMissingAnswerFailureValues)
{
    SetDeviceBackend(std::make_unique<TDeviceBackend>());
    EXPECT_EQ(CeRapiInit(), RapiUnboundStatus);
    EXPECT_EQ(CeCreateFile(S("\\a"), DeviceGenericRead, 0, DeviceOpenExisting, 0), InvalidDeviceHandle);
    EXPECT_EQ(CeGetFileAttributes(S("\\a")), InvalidFileAttributes);
    EXPECT_EQ(GetRapiError(), RapiUnboundStatus);
    EXPECT_FALSE(DeviceFileExists(S("\\a")));
    EXPECT_THROW(ConnectDevice(), EInitRapi);
    SetDeviceBackend(nullptr);
}

} // namespace
