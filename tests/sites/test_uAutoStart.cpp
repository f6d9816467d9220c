// Automatic update on device connection: the command line, its registrations in the settings
// store, the request they make, the connection rule over injected looks at the root, and the
// watcher's looks off the calling thread.
#include "sites/uAutoStart.h"
#include "sites/uDeviceConnectWatcher.h"

#include "core/uSettings.h"
#include "core/uSettingsStore.h"
#include "sites/uUpdateItems.h"
#include "support/CoreTestHooks.h"
#include "support/TestSupport.h"

#include "sites/SiteTestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace {

QString Q(const char* text)
{
    return QString::fromUtf8(text);
}

TEST(AutoStartCommandLine, FlaggedProfilesInOrder)
{
    const QString program = Q("/opt/my programs/tarvell");
    const QString head = Q("\"/opt/my programs/tarvell\" \"/tray\" \"/update\" \"/silent\"");
    struct TCase {
        const char* Name;
        std::vector<TProfileFlag> Profiles;
        QString CommandLine;
        QStringList LeftOut;
    } cases[] = {
        { "none flagged", { { "", false }, { "Car", false } }, QString(), {} },
        { "the default profile", { { "", true }, { "Car", false } }, head + Q(" \"/prof:\""), {} },
        { "two in profile order", { { "", false }, { "Car", true }, { "Bike tour", true } },
            head + Q(" \"/prof:Car\" \"/prof:Bike tour\""), {} },
        { "a name with a quote is left out", { { "", true }, { "My \"best\"", true } }, head + Q(" \"/prof:\""),
            { Q("My \"best\"") } },
        { "only unquotable names", { { "a\"b", true } }, QString(), { Q("a\"b") } },
    };
    for (const TCase& c : cases) {
        const TAutoStartCommand command = BuildAutoStartCommandLine(program, c.Profiles);
        EXPECT_EQ(command.CommandLine, c.CommandLine) << c.Name;
        EXPECT_EQ(command.LeftOut, c.LeftOut) << c.Name;
    }
}

class AutoStartRegistration : public CleanSettingsTest {
protected:
    AutoStartRegistration()
    {
        SetExecutablePathOverride(Q("/usr/lib/tarvell/tarvell"));
        Car = &AddAutoUpdateProfile(Q("Car"));
    }
    ~AutoStartRegistration() override { SetExecutablePathOverride(QString()); }
    static QString Stored(TConnectKind kind)
    {
        const auto store = CreateSettingsStore();
        return store->ValueExists(Q("AutoStart"), AutoStartValueName(kind))
            ? store->ReadString(Q("AutoStart"), AutoStartValueName(kind), QString())
            : Q("<none>");
    }

    TSiteTestHome Home;
    TUpdateItems* Car = nullptr;
};

TEST_F(AutoStartRegistration, WrittenReplacedAndDeleted)
{
    const QString head = Q("\"/usr/lib/tarvell/tarvell\" \"/tray\" \"/update\" \"/silent\"");
    EXPECT_TRUE(WriteActiveSyncRegistration(true).isEmpty());
    EXPECT_EQ(Stored(TConnectKind::ActiveSync), Q("<none>")) << "no profile flagged: nothing to register";

    GetAutoUpdateProfile(0).AutoUpdateActiveSync = true;
    WriteActiveSyncRegistration(true);
    EXPECT_EQ(Stored(TConnectKind::ActiveSync), head + Q(" \"/prof:\""));
    EXPECT_EQ(Stored(TConnectKind::USB), Q("<none>")) << "each kind has its own flags";

    Car->AutoUpdateActiveSync = true;
    Car->AutoUpdateUSB = true;
    WriteActiveSyncRegistration(true);
    WriteAutoPlayRegistration(true);
    EXPECT_EQ(Stored(TConnectKind::ActiveSync), head + Q(" \"/prof:\" \"/prof:Car\""));
    EXPECT_EQ(Stored(TConnectKind::USB), head + Q(" \"/prof:Car\""));

    WriteActiveSyncRegistration(false);
    EXPECT_EQ(Stored(TConnectKind::ActiveSync), Q("<none>")) << "the box unticked removes it";
    EXPECT_EQ(Stored(TConnectKind::USB), head + Q(" \"/prof:Car\""));

    // A deleted profile leaves no name behind that a connection would not find.
    GetSettings().AutoUpdateActiveSync = true;
    GetSettings().AutoUpdateUSB = true;
    DeleteAutoUpdateProfile(1);
    RewriteAutoStartRegistrations();
    EXPECT_EQ(Stored(TConnectKind::ActiveSync), head + Q(" \"/prof:\""));
    EXPECT_EQ(Stored(TConnectKind::USB), Q("<none>"));
}

TEST_F(AutoStartRegistration, AStoredNameWithAQuoteLoadsAndIsLeftOut)
{
    EXPECT_EQ(MessageOf([] { AddAutoUpdateProfile(Q("My \"best\"")); }), Q("Invalid profile name \"My \"best\"\""));
    {
        const auto store = CreateSettingsStore();
        store->WriteBool(Q("AutoUpdateItems.My \"best\""), Q("AutoUpdateUSB"), true);
    }
    LoadAutoUpdateProfiles();
    ASSERT_TRUE(AutoUpdateProfileExists(Q("My \"best\"")));
    EXPECT_EQ(WriteAutoPlayRegistration(true), QStringList { Q("My \"best\"") });
    EXPECT_EQ(Stored(TConnectKind::USB), Q("<none>"));
    EXPECT_EQ(LeftOutProfilesWarning({ Q("My \"best\""), Q("x\"") }),
        Q("The profiles \"My \"best\"\", \"x\"\" are not updated on device connection: a profile name with a double "
          "quote cannot be passed on. Rename the profiles to include them."));
}

TEST_F(AutoStartRegistration, AStoreThatCannotBeWrittenSaysWhichFile)
{
    GetAutoUpdateProfile(0).AutoUpdateUSB = true;
    // A folder where the file should be: the store can be read but never replaced.
    QDir().mkpath(Settings.StoreFile());
    EXPECT_EQ(MessageOf([] { WriteAutoPlayRegistration(true); }),
        Q("Could not store the automatic start registration. To toggle the \"Update on connect\" option, the settings "
          "file %1 must be writable")
            .arg(Settings.StoreFile()));
    EXPECT_THROW(WriteAutoPlayRegistration(false), EUserError);
}

TEST_F(AutoStartRegistration, OneRequestForBothKindsEachProfileOnce)
{
    EXPECT_FALSE(AutoStartRequest({ TConnectKind::ActiveSync, TConnectKind::USB })) << "nothing registered";
    AddAutoUpdateProfile(Q("Bike"));
    GetAutoUpdateProfile(0).AutoUpdateActiveSync = true;
    Car->AutoUpdateActiveSync = true;
    Car->AutoUpdateUSB = true;
    GetAutoUpdateProfile(2).AutoUpdateUSB = true;
    WriteActiveSyncRegistration(true);
    WriteAutoPlayRegistration(true);
    const std::optional<TAutoStartRequest> both = AutoStartRequest({ TConnectKind::ActiveSync, TConnectKind::USB });
    ASSERT_TRUE(both);
    EXPECT_TRUE(both->Silent);
    EXPECT_EQ(both->ProfileSwitches, (QStringList { Q("/prof:"), Q("/prof:Car"), Q("/prof:Bike") }));
    // A connection fires both kinds: one request for the poll.
    TDeviceConnectPoller poller;
    EXPECT_FALSE(poller.Feed(Q("/media/Device"), TRootState()));
    const std::optional<TAutoStartRequest> connected = poller.Feed(Q("/media/Device"), TRootState { true, 3, 1 });
    ASSERT_TRUE(connected);
    EXPECT_EQ(*connected, *both);
    const std::optional<TAutoStartRequest> usb = AutoStartRequest({ TConnectKind::USB });
    ASSERT_TRUE(usb);
    EXPECT_EQ(usb->ProfileSwitches, (QStringList { Q("/prof:Car"), Q("/prof:Bike") }));

    // A registration edited by hand to name no profile updates them all.
    CreateSettingsStore()->WriteString(Q("AutoStart"), Q("USB"), Q("\"/x/tarvell\" \"/tray\" \"/update\""));
    const std::optional<TAutoStartRequest> all = AutoStartRequest({ TConnectKind::ActiveSync, TConnectKind::USB });
    ASSERT_TRUE(all);
    EXPECT_FALSE(all->Silent) << "silent only when every registration is";
    EXPECT_TRUE(all->ProfileSwitches.isEmpty());
}

// --- the connection rule ----------------------------------------------------------------------

TEST(DeviceConnectRule, AppearMountVanishAndReturn)
{
    const TRootState missing;
    const TRootState folder { true, 1, 0 };
    const TRootState mounted { true, 7, 2 }; // a volume mounted at /media/stick over the root
    const TRootState otherVolume { true, 8, 2 };
    const QString root = Q("/media/stick/Device");
    struct TStep {
        QString Root;
        TRootState State;
        bool Starts;
    } steps[] = {
        { root, folder, false }, // there at start
        { root, folder, false }, // stays
        { root, missing, false }, // vanishes
        { root, missing, false },
        { root, folder, true }, // returns
        { root, folder, false },
        { root, mounted, true }, // the volume holding it is mounted
        { root, mounted, false },
        { root, otherVolume, true }, // another volume in its place
        { root, folder, false }, // unmounted: the folder below shows again
        { Q("/other"), missing, false }, // the setting changed: a new start
        { Q("/other"), folder, true },
        { QString(), missing, false },
        { QString(), missing, false },
    };
    TDeviceConnectPoller poller;
    int asked = 0;
    poller.Registrations = [&asked] {
        ++asked;
        return std::optional<TAutoStartRequest>(TAutoStartRequest { true, { Q("/prof:Car") } });
    };
    int n = 0;
    for (const TStep& step : steps) {
        const std::optional<TAutoStartRequest> request = poller.Feed(step.Root, step.State);
        EXPECT_EQ(bool(request), step.Starts) << "step " << n;
        if (request) {
            EXPECT_EQ(request->ProfileSwitches, QStringList { Q("/prof:Car") });
        }
        ++n;
    }
    EXPECT_EQ(asked, 4) << "the registrations are read at each connection, once";

    TDeviceConnectPoller unregistered;
    unregistered.Registrations = [] { return std::optional<TAutoStartRequest>(); };
    unregistered.Feed(root, missing);
    EXPECT_FALSE(unregistered.Feed(root, folder)) << "a connection without registrations starts nothing";
}

TEST(DeviceConnectRule, LookingAtARealFolder)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(Q("Device"));
    EXPECT_FALSE(ProbeDeviceRoot(root).IsFolder);
    EXPECT_FALSE(ProbeDeviceRoot(QString()).IsFolder);
    SaveBytesToFile(root, "a file");
    EXPECT_FALSE(ProbeDeviceRoot(root).IsFolder) << "a file is no device";
    QFile::remove(root);
    ASSERT_TRUE(QDir().mkpath(root));
    const TRootState state = ProbeDeviceRoot(root);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(root).constData(), &st), 0);
    EXPECT_TRUE(state.IsFolder);
    EXPECT_EQ(state.Device, uint64_t(st.st_dev));
    EXPECT_LT(state.MountDepth, int(root.count(QChar('/')))) << "the folder itself is no mount point";
    EXPECT_EQ(ProbeDeviceRoot(Q("/")).MountDepth, 0);
}

// --- the watcher ------------------------------------------------------------------------------

bool WaitFor(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    return done();
}

TEST(DeviceConnectWatcher, AHangingLookNeverBlocksAndIsNotRepeated)
{
    std::mutex lock;
    std::condition_variable released;
    bool release = false;
    std::atomic<int> looks = 0;
    auto watcher = std::make_unique<TDeviceConnectWatcher>();
    watcher->RootSource = [] { return Q("/dead/mount/Device"); };
    watcher->Probe = [&](const QString&) {
        ++looks;
        std::unique_lock guard(lock);
        released.wait(guard, [&] { return release; });
        return TRootState { true, 1, 0 };
    };
    std::vector<TAutoStartRequest> requests;
    watcher->Poller.Registrations = [] { return std::optional<TAutoStartRequest>(TAutoStartRequest { true, {} }); };
    watcher->OnConnect = [&](const TAutoStartRequest& r) { requests.push_back(r); };

    QElapsedTimer clock;
    clock.start();
    watcher->Start(10);
    EXPECT_LT(clock.elapsed(), 1000) << "the look runs off this thread";
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(looks, 1) << "polls wait for the look under way";
    EXPECT_TRUE(watcher->Looking());
    {
        std::lock_guard guard(lock);
        release = true;
    }
    released.notify_all();
    EXPECT_TRUE(WaitFor([&] { return looks >= 3; }));
    EXPECT_TRUE(requests.empty()) << "a folder there from the first look on is no connection";
    watcher.reset();
    WaitFor([] { return false; }, 50);
}

TEST(DeviceConnectWatcher, AFolderThatAppearsIsAConnection)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(Q("Device"));
    TDeviceConnectWatcher watcher;
    watcher.RootSource = [root] { return root; };
    int connections = 0;
    watcher.Poller.Registrations = [] { return std::optional<TAutoStartRequest>(TAutoStartRequest { true, {} }); };
    watcher.OnConnect = [&](const TAutoStartRequest&) { ++connections; };
    watcher.Start(20);
    EXPECT_TRUE(WaitFor([&] { return !watcher.Looking(); }));
    WaitFor([] { return false; }, 100);
    EXPECT_EQ(connections, 0);
    QDir().mkpath(root);
    EXPECT_TRUE(WaitFor([&] { return connections == 1; }));
    WaitFor([] { return false; }, 150);
    EXPECT_EQ(connections, 1) << "a folder that stays is one connection";
    QDir(root).removeRecursively();
    WaitFor([] { return false; }, 150);
    QDir().mkpath(root);
    EXPECT_TRUE(WaitFor([&] { return connections == 2; }));
    watcher.Stop();
    EXPECT_FALSE(watcher.Active());
}

} // namespace
