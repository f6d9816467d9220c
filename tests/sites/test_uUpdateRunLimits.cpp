// An update run against a hostile site: answers that never end, a gzip bomb and requests that
// are never answered. Every download of a run is capped and cancellable, a failure that is no
// download error fails only its row, and nothing refused stays in the cache. Tests of the Http
// suites carry the "http" label.
#include "sites/uUpdateRun.h"

#include "core/uLocations.h"
#include "core/uSettings.h"
#include "sites/SiteTestSupport.h"
#include "sites/uUpdateItems.h"
#include "support/HostileHttp.h"
#include "support/TestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <stdexcept>

namespace {

const char* const Museum = "; museum\r\n4.5, 51.5, \"Museum\"\r\n";

class TEventsProgress : public TUpdateRunProgress {
public:
    TUpdateRun* Run = nullptr;
    std::function<void(TUpdateRun&)> OnEvents;
    void RowChanged(int) override { }
    void RowStarted(int) override { }
    void TotalChanged() override { }
    void ProcessEvents() override
    {
        if (OnEvents)
            OnEvents(*Run);
    }
};

// Answers every question Yes, unless OnOverwrite throws.
class TYesHost : public TUpdateRunHost {
public:
    std::function<void(const QString&)> OnOverwrite;
    QStringList ContinueAsked;
    TOverwriteAnswer Ask(const QString& message) override
    {
        if (OnOverwrite)
            OnOverwrite(message);
        return TOverwriteAnswer::Yes;
    }
    bool AskContinue(const QString& message, bool&) override
    {
        ContinueAsked << message;
        return true;
    }
    void ShowWarning(const QString&) override { }
    bool StartProgram(const QString&, const QStringList&) override { return true; }
    bool OpenDocument(const QString&) override { return true; }
};

// A POI of the catalogue: its description and the elements beside it.
struct TPoiSpec {
    const char* Description;
    QString Elements;
};

class HttpRunLimits : public ::testing::Test {
protected:
    HttpRunLimits()
        : FOld(DownloadLimits())
    {
        DownloadLimits().LowSpeedTime = 30;
        Server.Set("/museum.asc", TAnswer().WithBody(Museum));
        Server.Set("/page.asc", TAnswer().WithBody("<!DOCTYPE html><html>Please log in</html>"));
        Items = TUpdateItems::CreateView();
    }
    ~HttpRunLimits() override { DownloadLimits() = FOld; }

    QString Site() const { return Server.Base() + QStringLiteral("/site.xml"); }
    void Catalogue(const std::vector<TPoiSpec>& pois)
    {
        QString xml = QStringLiteral("<pois>");
        for (const TPoiSpec& p : pois)
            xml += QStringLiteral("<poi><description>%1</description><format>asc.genasc</format>%2</poi>")
                       .arg(QLatin1String(p.Description), p.Elements);
        Server.Set("/site.xml", TAnswer().WithBody((xml + QStringLiteral("</pois>")).toStdString()));
    }
    QString TargetOf(const char* description) const
    {
        return Targets.path() + QChar('/') + QLatin1String(description) + QStringLiteral(".asc");
    }
    void Add(const char* description)
    {
        auto item = std::make_unique<TUpdateItem>();
        item->Site = Site();
        item->Description = QLatin1String(description);
        item->Target = QStringLiteral("FILE://") + TargetOf(description);
        item->FormatID = QStringLiteral("genasc");
        Items->Add(std::move(item));
    }
    std::unique_ptr<TUpdateRun> Run(bool silent)
    {
        auto run = std::make_unique<TUpdateRun>();
        Progress.Run = run.get();
        run->Progress = &Progress;
        run->Host = &Host;
        run->SetSilent(silent);
        run->SetItems(*Items);
        EXPECT_TRUE(run->Execute());
        return run;
    }
    // The bytes of the HTTP cache.
    static int64_t CacheBytes()
    {
        const QString dir
            = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Tarvell/http");
        int64_t total = 0;
        for (const QFileInfo& info : QDir(dir).entryInfoList(QDir::Files | QDir::Hidden))
            total += info.size();
        return total;
    }
    static QString Failed(const QString& message) { return QStringLiteral("Status: Failed \"%1\"").arg(message); }

    TDownloadLimits FOld;
    TCleanSettings Settings;
    TSiteTestHome Home;
    QTemporaryDir Targets;
    TLoopbackServer Server;
    THostileHttp Hostile;
    TEventsProgress Progress;
    TYesHost Host;
    std::unique_ptr<TUpdateItems> Items;
};

QString ErrorText(const QString& name, const QString& message)
{
    return QStringLiteral("Cannot download \"%1\" because the following error: \r\r%2.\r\rPlease check your connection "
                          "and your username/password if you are downloading from a site which requires registration")
        .arg(name, message);
}

} // namespace

// A POI file that never ends and a gzip bomb as POI file, as last-modified text and as image: each fails its own row with the cap's message, the next row
// is still updated, and the cache holds nothing of them.
TEST_F(HttpRunLimits, EndlessAnswersAndBombsFailTheirRowOnly)
{
    const uint64_t cap = 1024 * 1024;
    DownloadLimits().MaxPoiFileSize = cap;
    DownloadLimits().MaxImageSize = cap;
    ASSERT_EQ(DownloadLimits().MaxAnswerSize, cap);
    GetSettings().DownloadImages = true;
    const QString endless = Hostile.Url("/endless/chunked");
    const QString bomb = Hostile.Url("/bomb");
    const QString museum = Server.Base() + QStringLiteral("/museum.asc");
    Catalogue({
        { "Endless", QStringLiteral("<url>%1</url>").arg(endless) },
        { "BombFile", QStringLiteral("<url>%1</url>").arg(bomb) },
        { "BombCheck", QStringLiteral("<url>%1</url><lastmodified>%2</lastmodified>").arg(museum, bomb) },
        { "BombImage", QStringLiteral("<url>%1</url><image>%2</image>").arg(museum, bomb) },
        { "Museum", QStringLiteral("<url>/museum.asc</url>") },
    });
    for (const char* d : { "Endless", "BombFile", "BombCheck", "BombImage", "Museum" })
        Add(d);
    const auto run = Run(true);
    const auto tooLarge = [&](const QString& url) {
        return QStringLiteral("The answer of %1 is larger than %2 bytes").arg(url).arg(cap);
    };
    ASSERT_EQ(run->RowCount(), 6);
    EXPECT_EQ(run->Row(1).StatusText,
        Failed(ErrorText("Endless", tooLarge(endless) + QStringLiteral(" while downloading item"))));
    EXPECT_EQ(run->Row(2).StatusText,
        Failed(ErrorText("BombFile", tooLarge(bomb) + QStringLiteral(" while downloading item"))));
    EXPECT_EQ(run->Row(3).StatusText,
        Failed(ErrorText("BombCheck", tooLarge(bomb) + QStringLiteral(" while checking for newer version of this poi file"))));
    EXPECT_EQ(run->Row(4).StatusText, Failed(ErrorText("BombImage image", tooLarge(bomb))));
    EXPECT_EQ(run->Row(5).StatusText, QStringLiteral("Status: Updated"));
    EXPECT_EQ(run->Row(5).State, TRowState::Done);
    EXPECT_EQ(run->Failed(), 4);
    EXPECT_EQ(run->TotalText().left(18), QStringLiteral("Progress: Finished"));
    EXPECT_LT(CacheBytes(), 64 * 1024);
    for (const char* d : { "Endless", "BombFile" })
        EXPECT_FALSE(QFileInfo::exists(CacheFileName(Site(), QLatin1String(d), QStringLiteral("genasc"), QStringLiteral(".asc"))))
            << d;
    EXPECT_LT(Hostile.Sent, uint64_t(64 * 1024 * 1024));
}

// A file sent directly (with a last-modified check) that never ends fails at its cap too.
TEST_F(HttpRunLimits, EndlessDirectDownloadFailsAtItsCap)
{
    const uint64_t cap = 1024 * 1024;
    DownloadLimits().MaxPoiFileSize = cap;
    Server.Set("/lm", TAnswer().WithBody("20240101 120000"));
    const QString noLength = Hostile.Url("/endless/nolength");
    Catalogue({ { "Direct", QStringLiteral("<url>%1</url><lastmodified>/lm</lastmodified>").arg(noLength) },
        { "Museum", QStringLiteral("<url>/museum.asc</url>") } });
    Add("Direct");
    Add("Museum");
    const auto run = Run(true);
    EXPECT_EQ(run->Row(1).StatusText,
        Failed(ErrorText("Direct",
            QStringLiteral("The answer of %1 is larger than %2 bytes while downloading item").arg(noLength).arg(cap))));
    EXPECT_EQ(run->Row(2).StatusText, QStringLiteral("Status: Updated"));
    EXPECT_LT(CacheBytes(), 64 * 1024);
}

// A web page in place of the POI file is refused, and the cache does not keep it as the address's
// answer: the next run fetches it anew instead of revalidating it.
TEST_F(HttpRunLimits, ARefusedAnswerLeavesNothingInTheCache)
{
    Catalogue({ { "Page", QStringLiteral("<url>/page.asc</url>") } });
    Add("Page");
    const int64_t before = [&] {
        const auto run = Run(true);
        EXPECT_EQ(run->Row(1).State, TRowState::Failed);
        EXPECT_TRUE(run->Row(1).StatusText.contains(QStringLiteral("The site sent a web page instead of the POI file")));
        return CacheBytes();
    }();
    // Only the catalogue is cached.
    EXPECT_LT(before, 2048);
    const QString dir
        = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + QStringLiteral("/Tarvell/http");
    for (const QFileInfo& info : QDir(dir).entryInfoList(QDir::Files))
        EXPECT_FALSE(LoadBytesFromFile(info.absoluteFilePath()).find("Please log in") != std::string::npos)
            << info.fileName().toStdString();
}

// Memory that runs out and a fault fail only their own row, with a message in words; the
// question comes as after any failure and the run goes on to the next row.
TEST_F(HttpRunLimits, FailuresThatAreNoDownloadErrorFailOnlyTheirRow)
{
    Catalogue({ { "A", QStringLiteral("<url>/museum.asc</url>") }, { "B", QStringLiteral("<url>/museum.asc</url>") },
        { "C", QStringLiteral("<url>/museum.asc</url>") } });
    for (const char* d : { "A", "B", "C" }) {
        Add(d);
        SaveBytesToFile(TargetOf(d), "old");
    }
    GetSettings().AlwaysOverwrite = false;
    Host.OnOverwrite = [this](const QString& message) {
        if (message.contains(TargetOf("A")))
            throw std::bad_alloc();
        if (message.contains(TargetOf("B")))
            throw std::runtime_error("boom");
    };
    const auto run = Run(false);
    ASSERT_EQ(run->RowCount(), 4);
    EXPECT_EQ(run->Row(1).StatusText, Failed(QStringLiteral("There was not enough memory to process this item")));
    EXPECT_EQ(run->Row(2).StatusText,
        Failed(QStringLiteral("An unexpected error occurred while processing this item: boom")));
    EXPECT_EQ(run->Row(3).StatusText, QStringLiteral("Status: Updated"));
    EXPECT_EQ(run->Failed(), 2);
    EXPECT_FALSE(run->Cancelled());
    EXPECT_EQ(Host.ContinueAsked.size(), 2);
    EXPECT_EQ(LoadBytesFromFile(TargetOf("A")), "old");
    EXPECT_NE(LoadBytesFromFile(TargetOf("C")), "old");
}

// Each kind of request of an item, taken by the site and never answered: events keep flowing
// while it waits (so the Cancel button, repaints and a second start's handshake are handled),
// Cancel ends it at once, and the run ends "Cancelled" without asking whether to go on.
TEST_F(HttpRunLimits, CancelEndsEveryRequestOfAnItemAtOnce)
{
    GetSettings().DownloadImages = true;
    struct TCase {
        const char* Kind;
        const char* Elements;  // %1 is the silent address
    };
    const TCase cases[] = {
        { "query", "<url>/museum.asc</url><query>%1</query>" },
        { "last-modified", "<url>/museum.asc</url><lastmodified>%1</lastmodified>" },
        { "POI file", "<url>%1</url>" },
        { "error ping", "<url>/missing.asc</url><onerror>%1</onerror>" },
        { "image", "<url>/museum.asc</url><image>%1</image>" },
        { "success ping", "<url>/museum.asc</url><onsuccess>%1</onsuccess>" },
    };
    for (const TCase& c : cases) {
        THostileHttp silent;
        Catalogue({ { "Slow", QString::fromLatin1(c.Elements).arg(silent.Url("/silent")) },
            { "Museum", QStringLiteral("<url>/museum.asc</url>") } });
        // A fresh cache: the image of an earlier case must not be there.
        QDir(CacheFolder(Site())).removeRecursively();
        Items = TUpdateItems::CreateView();
        Add("Slow");
        Add("Museum");
        Host.ContinueAsked.clear();
        int eventsWhileWaiting = 0;
        Progress.OnEvents = [&](TUpdateRun& run) {
            if (silent.Waiting > 0 && ++eventsWhileWaiting == 3)
                run.Cancel();
        };
        QElapsedTimer clock;
        clock.start();
        const auto run = Run(false);
        EXPECT_LT(clock.elapsed(), THostileHttp::SilentMs / 2) << c.Kind;
        EXPECT_GE(eventsWhileWaiting, 3) << c.Kind;
        EXPECT_EQ(silent.Requests, 1) << c.Kind;
        EXPECT_TRUE(run->Cancelled()) << c.Kind;
        EXPECT_EQ(run->TotalText().left(19), QStringLiteral("Progress: Cancelled")) << c.Kind;
        EXPECT_TRUE(Host.ContinueAsked.isEmpty()) << c.Kind;
        EXPECT_EQ(run->Row(2).StatusText, QStringLiteral("Status: Cancelled")) << c.Kind;
        EXPECT_EQ(run->Failed(), 0) << c.Kind;
    }
}
