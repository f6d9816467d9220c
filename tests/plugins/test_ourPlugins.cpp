// Our two plug-ins as the program loads them: the web map's address reaches xdg-open as one
// argument, and the sketch map's page is self-contained.
#include "PluginTestSupport.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QThread>

#include <clocale>
#include <gtest/gtest.h>

namespace {

QString OurPlugin(const char* path) { return QStringLiteral(TARVELL_OUR_PLUGINS "/") + QString::fromLatin1(path); }

// A fake xdg-open first on PATH that writes its arguments, one a line, to a file.
class FakeOpener {
public:
    FakeOpener()
        : FOldPath(qgetenv("PATH"))
    {
        QFile script(FDir.filePath(QStringLiteral("xdg-open")));
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.tmp\"\nmv \"$0.tmp\" \"$0.args\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", FDir.path().toLocal8Bit() + ':' + FOldPath);
    }
    ~FakeOpener() { qputenv("PATH", FOldPath); }
    // The arguments of the next call (waits for it).
    QStringList Next()
    {
        const QString args = FDir.filePath(QStringLiteral("xdg-open.args"));
        QElapsedTimer timer;
        timer.start();
        while (!QFile::exists(args) && timer.elapsed() < 10000)
            QThread::msleep(10);
        QFile file(args);
        if (!file.open(QIODevice::ReadOnly))
            return { QStringLiteral("(not called)") };
        QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        lines.removeLast();
        file.remove();
        return lines;
    }

private:
    QTemporaryDir FDir;
    QByteArray FOldPath;
};

} // namespace

struct TWebMapCase {
    const char* Name;
    const char* Zoom;
    const char* Marker;
    const char* Address; // nullptr: the default
    double Lon, Lat;
    const char* PoiName;
    const char* Expected;
};

static void PrintTo(const TWebMapCase& c, std::ostream* os) { *os << c.Name; }

class WebMap : public ::testing::TestWithParam<TWebMapCase> { };

TEST_P(WebMap, OpensTheAddress)
{
    const TWebMapCase& c = GetParam();
    TPluginFolder folder;
    folder.Copy(OurPlugin("openexternal/webmap.so"), QStringLiteral("webmap.so"));
    TPluginList list;
    LoadPlugins(list, TPluginKind::OpenExternal, folder.Options(TPluginKind::OpenExternal));
    ASSERT_EQ(list.Count(), 1) << folder.Warnings.join(QLatin1Char('\n')).toStdString();
    auto* plugin = list.ItemAs<TPluginOpenExternal>(0);
    EXPECT_EQ(plugin->GetPlugInName(), QStringLiteral("Web map"));
    EXPECT_FALSE(plugin->GetCanAddPoi());
    plugin->SetParamValue(0, QString::fromLatin1(c.Zoom));
    plugin->SetParamValue(2, QString::fromLatin1(c.Marker));
    if (c.Address)
        plugin->SetParamValue(1, QString::fromLatin1(c.Address));
    FakeOpener opener;
    // The plug-in writes numbers with "." in any locale.
    const std::string oldLocale = std::setlocale(LC_ALL, nullptr);
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    plugin->GotoPoi(c.Lon, c.Lat, c.PoiName);
    std::setlocale(LC_ALL, oldLocale.c_str());
    EXPECT_EQ(opener.Next(), QStringList({ QString::fromLatin1(c.Expected) }));
}

INSTANTIATE_TEST_SUITE_P(Table, WebMap,
    ::testing::Values(
        TWebMapCase { "Default", "16", "1", nullptr, 13.4, 52.52, "Berlin",
            "https://www.openstreetmap.org/?mlat=52.52000&mlon=13.40000#map=16/52.52000/13.40000" },
        TWebMapCase { "NegativeAndZoom", "5", "1", nullptr, -0.123456, -33.9, "x",
            "https://www.openstreetmap.org/?mlat=-33.90000&mlon=-0.12346#map=5/-33.90000/-0.12346" },
        TWebMapCase { "NoMarker", "16", "0", nullptr, 1, 2, "x", "https://www.openstreetmap.org/#map=16/2.00000/1.00000" },
        TWebMapCase { "NoMarkerKeepsOtherQuery", "16", "0", "https://m.example/?mlat=%lat%&layer=c&mlon=%lon%", 1, 2, "x",
            "https://m.example/?layer=c" },
        TWebMapCase { "ZoomOutOfRangeOrNotANumber", "abc", "1", "https://m.example/%zoom%", 1, 2, "x", "https://m.example/16" },
        TWebMapCase { "ZoomClamped", "40", "1", "https://m.example/%zoom%", 1, 2, "x", "https://m.example/19" },
        // A name with shell and address characters stays one percent-encoded argument.
        TWebMapCase { "NamePercentEncoded", "16", "1", "https://m.example/?q=%name%&at=%lat%,%lon%", 1, 2,
            "Caf\xe9 & Bar; $(touch x) 100%", "https://m.example/?q=Caf%E9%20%26%20Bar%3B%20%24%28touch%20x%29%20100%25&at=2.00000,1.00000" }),
    [](const auto& info) { return std::string(info.param.Name); });

class SketchMap : public ::testing::Test {
protected:
    void SetUp() override
    {
        Folder.Copy(OurPlugin("htmlembed/sketchmap.so"), QStringLiteral("sketchmap.so"), TPluginKind::HtmlEmbed);
        LoadPlugins(List, TPluginKind::HtmlEmbed, Folder.Options(TPluginKind::HtmlEmbed));
        ASSERT_EQ(List.Count(), 1) << Folder.Warnings.join(QLatin1Char('\n')).toStdString();
        Plugin = List.ItemAs<TPluginHtmlEmbed>(0);
    }
    QString Page(int count, const char* name = "POI")
    {
        Plugin->Init(count);
        for (int i = 0; i < count; ++i)
            Plugin->SetPoi(i, 10 + i * 0.01, 50 + i * 0.01, i == 1 ? name : "POI");
        return QString::fromLatin1(Plugin->GetHtml());
    }
    TPluginFolder Folder;
    TPluginList List;
    TPluginHtmlEmbed* Plugin = nullptr;
};

TEST_F(SketchMap, DeclaresItselfAsAMapWithZoom)
{
    EXPECT_EQ(Plugin->GetPlugInName(), QStringLiteral("Sketch map"));
    EXPECT_EQ(Plugin->Caption(), QStringLiteral("Sketch map"));
    EXPECT_EQ(Plugin->GetPlugInType(), 1);
    EXPECT_EQ(Plugin->GetParamType(0), 3);
    EXPECT_EQ(Plugin->GetMaxPois(), 1000);
}

TEST_F(SketchMap, PageHoldsEveryPoiAndMarksTheCurrentOne)
{
    for (const int count : { 0, 1, 12, 1000 }) {
        const QString page = Page(count);
        EXPECT_EQ(page.count(QStringLiteral("<circle")), count) << count;
        EXPECT_EQ(page.count(QStringLiteral("class=\"current\"")), count > 0 ? 1 : 0) << count;
    }
}

TEST_F(SketchMap, PageIsSelfContainedAndShowsMarkupAsText)
{
    const QString page = Page(3, "<script>alert(1)</script> & \"quotes\"");
    EXPECT_FALSE(page.contains(QStringLiteral("<script"), Qt::CaseInsensitive));
    EXPECT_TRUE(page.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;quotes&quot;")));
    // No address to fetch: no src, href, url(), link or import.
    EXPECT_FALSE(page.contains(QRegularExpression(QStringLiteral("\\b(src|href)\\s*="), QRegularExpression::CaseInsensitiveOption)));
    EXPECT_FALSE(page.contains(QStringLiteral("url("), Qt::CaseInsensitive));
    EXPECT_FALSE(page.contains(QStringLiteral("<link"), Qt::CaseInsensitive));
    EXPECT_FALSE(page.contains(QStringLiteral("@import"), Qt::CaseInsensitive));
}
