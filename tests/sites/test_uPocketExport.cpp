// The export of AutoUpdate items to the handheld program on a folder device: the file's bytes,
// the registry values, and failures that leave the device untouched.
#include "sites/uPocketExport.h"

#include "core/uLocations.h"
#include "core/uRapi.h"
#include "core/uSettings.h"
#include "core/uSettingsStore.h"
#include "formats/uConvertBase.h"
#include "sites/uSite.h"
#include "sites/uUpdateItems.h"
#include "support/TFakeDevice.h"
#include "support/TestSupport.h"

#include "sites/SiteTestSupport.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

std::string Fixture(const char* path)
{
    return LoadBytesFromFile(QStringLiteral(TARVELL_TEST_DATA "/") + QLatin1String(path));
}

const char* const SiteA = "http://a.example/site.xml";
const char* const SiteB = "http://b.example/site.xml";

const char* const CatalogueA = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><pois><queryerrormode>1</queryerrormode>"
                               "<poi><description>Fuel \xe2\x82\xac</description><url>/fuel.asc?k=1&amp;x=2</url>"
                               "<query>/q?d=%Description%</query><lastmodified>/lm</lastmodified>"
                               "<authorization>registered</authorization><format>asc.genasc</format></poi>"
                               "<poi><description>Cameras</description><url>/cameras.ov2</url></poi>"
                               "<poi><description>No url</description><format>ov2.ttov2</format></poi></pois>";
const char* const CatalogueB = "<pois><poi><description>Museum</description><url>http://b.example/m.asc</url>"
                               "<format>asc.genasc</format></poi></pois>";

class PocketExport : public TFakeDeviceTest {
protected:
    void SetUp() override
    {
        TFakeDeviceTest::SetUp();
        Cache(SiteA, CatalogueA);
        Cache(SiteB, CatalogueB);
        WriteSiteConfig(QLatin1String(SiteA), QStringLiteral("Username"), QStringLiteral("joe"));
        WriteSitePassword(QLatin1String(SiteA), QStringLiteral("s\u20accret"));
        QDir(RootPath()).mkpath(QStringLiteral("Program Files/PocketTarvell"));
    }
    void TearDown() override
    {
        ClearSites();
        TFakeDeviceTest::TearDown();
    }
    static void Cache(const char* site, const char* catalogue)
    {
        const QString file = LocationToLocalFile(QLatin1String(site));
        QDir().mkpath(QFileInfo(file).absolutePath());
        SaveBytesToFile(file, catalogue);
    }
    TUpdateItem& Add(const char* site, const char* description, const char* target, const char* formatID)
    {
        auto item = std::make_unique<TUpdateItem>();
        item->Site = QLatin1String(site);
        item->Description = QString::fromUtf8(description);
        item->Target = QString::fromUtf8(target);
        item->FormatID = QLatin1String(formatID);
        TUpdateItem& ref = *item;
        Owner->Add(std::move(item));
        Selection->Add(&ref);
        return ref;
    }
    // The device's registry values of a site.
    QStringList Registry(const char* site) const
    {
        const TSettingsStore store(RootPath() + QStringLiteral("/.registry.ini"));
        const QString section = QStringLiteral("HKEY_CURRENT_USER\\") + PocketCredentialsKey(QLatin1String(site));
        QStringList values;
        for (const QString& key : store.ReadSection(section))
            values << key + QChar('=') + store.ReadString(section, key, QString());
        return values;
    }
    bool DeviceUntouched() const
    {
        return !QFileInfo::exists(RootPath() + QStringLiteral("/.registry.ini"))
            && QDir(RootPath() + QStringLiteral("/Program Files/PocketTarvell")).isEmpty();
    }

    TCleanSettings Settings;
    TSiteTestHome Home;
    std::unique_ptr<TUpdateItems> Owner = TUpdateItems::Create();
    std::unique_ptr<TUpdateItems> Selection = TUpdateItems::CreateView();
};

TEST_F(PocketExport, SettingsFileAndCredentialsOncePerSite)
{
    Add(SiteB, "Museum", "MOBILE://\\My Documents\\Museum.asc", "genasc");
    Add(SiteA, "Fuel \xe2\x82\xac", "MOBILE://\\Storage Card\\Fuel.asc", "genasc");
    Add(SiteA, "Fuel \xe2\x82\xac", "FILE:///home/u/fuel.asc", "genasc");
    Add(SiteA, "Cameras", "mobile://\\Cameras.ov2", "ttov2");

    const TPocketExport prepared = PreparePocketExport(*Selection);
    EXPECT_EQ(prepared.Count, 3);
    ASSERT_EQ(prepared.Credentials.size(), 1u) << "two items of site A, and site B has no user name";
    EXPECT_EQ(prepared.Credentials[0].PasswordV2, ScrambledPasswordText(QStringLiteral("s\u20accret")));

    ExportToPocketTarvell(*Selection, QString());
    const std::string written = LoadBytesFromFile(RootPath() + QStringLiteral("/Program Files/PocketTarvell/settings.xml"));
    EXPECT_BYTES_EQ(Fixture("sites/pocket-settings.xml"), written);
    EXPECT_EQ(Registry(SiteA),
        (QStringList { QStringLiteral("Username=joe"),
            QStringLiteral("Password.v2=") + ScrambledPasswordText(QStringLiteral("s\u20accret")) }));
    EXPECT_TRUE(Registry(SiteB).isEmpty());
    EXPECT_EQ(Selection->GetItem(0).Description, QStringLiteral("Museum")) << "the selection keeps its order";
}

TEST_F(PocketExport, TheAlternateFolderWins)
{
    QDir(RootPath()).mkpath(QStringLiteral("Storage Card/PT"));
    Add(SiteB, "Museum", "MOBILE://\\Museum.asc", "genasc");
    ExportToPocketTarvell(*Selection, QStringLiteral("storage card\\pt\\"));
    EXPECT_TRUE(QFileInfo::exists(RootPath() + QStringLiteral("/Storage Card/PT/settings.xml")));
    EXPECT_EQ(PocketSettingsLocation(QStringLiteral("x")), QStringLiteral("MOBILE://\\x\\settings.xml"));
    EXPECT_EQ(PocketSettingsLocation(QStringLiteral("\\x\\")), QStringLiteral("MOBILE://\\x\\settings.xml"));
}

TEST_F(PocketExport, FailuresWriteNothing)
{
    const QString hint = QStringLiteral("Make sure you have installed Pocket Tarvell, it is installed either to the "
                                        "default directory, or to an alternate install directory (as setup in Settings "
                                        "tab of the AutoUpdate Manager)");
    struct TCase {
        const char* Name;
        std::function<void()> Arrange;
        QString Message;
    };
    const TCase cases[] = {
        { "only local targets", [this] { Add(SiteA, "Cameras", "FILE:///tmp/c.ov2", "ttov2"); },
            QStringLiteral("No items in the selection configured with a Mobile Device as their target, please check the "
                           "destination of the AutoUpdate items") },
        { "format differs from the site's",
            [this] {
                Add(SiteB, "Museum", "MOBILE://\\Museum.asc", "genasc");
                Add(SiteA, "Fuel \xe2\x82\xac", "MOBILE://\\Fuel.ov2", "ttov2");
            },
            QStringLiteral("At this moment PocketTarvell cannot convert between poi file formats, therefore the format "
                           "of item Fuel \u20ac must match the format in which the site offers this poi (which is "
                           "%1).\r\rPlease review your settings and try again.")
                .arg([] {
                    QString name;
                    TConvertFromBase::DescriptionOf(QStringLiteral(".asc"), QStringLiteral("genasc"), name);
                    return name;
                }()) },
        { "no url", [this] { Add(SiteA, "No url", "MOBILE://\\n.ov2", "ttov2"); },
            QStringLiteral("Downloaded information invalid, please try again or use the Update button next to the sites "
                           "list") },
        { "missing folder",
            [this] {
                QDir(RootPath() + QStringLiteral("/Program Files/PocketTarvell")).removeRecursively();
                Add(SiteA, "Cameras", "MOBILE://\\c.ov2", "ttov2");
            },
            QStringLiteral("The Pocket Tarvell directory does not exist on the mobile device.\r") + hint },
        { "user name too long",
            [this] {
                WriteSiteConfig(QLatin1String(SiteA), QStringLiteral("Username"), QString(256, QChar('u')));
                Add(SiteA, "Cameras", "MOBILE://\\c.ov2", "ttov2");
            },
            QStringLiteral("Cannot write remote registry value Username") },
        { "password too long",
            [this] {
                WriteSitePassword(QLatin1String(SiteA), QString(128, QChar('p')));
                Add(SiteA, "Cameras", "MOBILE://\\c.ov2", "ttov2");
            },
            QStringLiteral("Cannot write remote registry value Password.v2") },
        { "device gone",
            [this] {
                Fake->Unplugged = true;
                Add(SiteA, "Cameras", "MOBILE://\\c.ov2", "ttov2");
            },
            EInitRapi().Message() + QStringLiteral("\r") + hint },
    };
    for (const TCase& c : cases) {
        SetUp();
        c.Arrange();
        EXPECT_EQ(MessageOf([&] { ExportToPocketTarvell(*Selection, QString()); }), c.Message) << c.Name;
        Fake->Unplugged = false;
        EXPECT_TRUE(DeviceUntouched()) << c.Name;
        TearDown();
        Selection = TUpdateItems::CreateView();
        Owner = TUpdateItems::Create();
    }
}

// A value the device registry does not take is a device error the user is told of, and the file
// comes only after the credentials.
TEST_F(PocketExport, CredentialsGoFirstAndTheirFailureIsADeviceError)
{
    const QString file = RootPath() + QStringLiteral("/Program Files/PocketTarvell/settings.xml");
    Add(SiteA, "Cameras", "MOBILE://\\c.ov2", "ttov2");
    const auto expectDeviceError = [&](const QString& message) {
        try {
            ExportToPocketTarvell(*Selection, QString());
            ADD_FAILURE() << "no error";
        } catch (const EDeviceError& e) {
            EXPECT_EQ(e.Message(), message);
        }
        EXPECT_FALSE(QFileInfo::exists(file)) << "no file without its credentials";
    };
    Fake->SetValueStatus = 112; // ERROR_DISK_FULL
    expectDeviceError(QStringLiteral("Cannot write remote registry value Username"));
    Fake->SetValueStatus = 0;
    WriteSiteConfig(QLatin1String(SiteA), QStringLiteral("Username"), QString(300, QChar('u')));
    expectDeviceError(QStringLiteral("Cannot write remote registry value Username"));

    // The file cannot be written: the credentials are already there.
    WriteSiteConfig(QLatin1String(SiteA), QStringLiteral("Username"), QStringLiteral("joe"));
    QDir().mkpath(file);
    EXPECT_TRUE(MessageOf([&] {
        ExportToPocketTarvell(*Selection, QString());
    }).endsWith(QStringLiteral("AutoUpdate Manager)")));
    EXPECT_EQ(Registry(SiteA).value(0), QStringLiteral("Username=joe"));
}

TEST_F(PocketExport, ExactlyTheLongestValuesPass)
{
    WriteSiteConfig(QLatin1String(SiteA), QStringLiteral("Username"), QString(255, QChar('u')));
    WriteSitePassword(QLatin1String(SiteA), QString(127, QChar('p')));
    Add(SiteA, "Cameras", "MOBILE://\\c.ov2", "ttov2");
    ExportToPocketTarvell(*Selection, QString());
    EXPECT_EQ(Registry(SiteA).value(0), QStringLiteral("Username=") + QString(255, QChar('u')));
    EXPECT_EQ(Registry(SiteA).value(1).size(), qsizetype(QStringLiteral("Password.v2=").size() + 254));
}

} // namespace
