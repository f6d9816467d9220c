// The sample's POIs on the "Sketch map" tab of a child window, drawn by the real browser on a real
// X server and kept as build/artifacts/html-map.png. The page may load nothing but local files.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "core/uSettings.h"
#include "formats/uFormats.h"
#include "maps/fMapEmbedHtml.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QScreen>
#include <QSignalSpy>
#include <QTabBar>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <QtTest>

namespace {

// Blocks and keeps every request for anything but a local file.
class TLocalOnly : public QWebEngineUrlRequestInterceptor {
public:
    QStringList Foreign;
    void interceptRequest(QWebEngineUrlRequestInfo& info) override
    {
        if (!info.requestUrl().isLocalFile()) {
            Foreign << info.requestUrl().toString();
            info.block(true);
        }
    }
};

int Pixels(const QImage& image, QRgb colour)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            count += (line[x] & 0xffffff) == (colour & 0xffffff);
    }
    return count;
}

} // namespace

class TestHtmlMapScreenshot : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
    }

    void sketchMapOfTheSample()
    {
        TLocalOnly interceptor;
        QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(&interceptor);
        ResetSettingsForTests();
        GetSettings().ShowStartupScreen = false;
        GetSettings().MapVisible = true;
        GetSettings().MapTab = QStringLiteral("Sketch map");
        GetSettings().MapPanelWidth = 560;
        TdmMain data;
        TPluginLoadOptions options;
        options.Trial = HelperProcessTrial(QStringLiteral(TARVELL_PLUGIN_TRIAL));
        options.Warn = [](const QString& message) { QFAIL(qPrintable(message)); };
        data.LoadPlugins(QStringLiteral(TARVELL_APP_DIR "/"), options);
        QCOMPARE(data.MapPlugins.Count(), 1);
        TfmTarvellMainForm form(data);
        form.setGeometry(0, 0, 1024, 740);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenFile(nullptr, QStringLiteral(TARVELL_TEST_DATA "/../../samples/amsterdam.ov2"), false, QString());
        TMDIChild* child = form.ActiveChild();
        QVERIFY(child);
        child->showMaximized();
        QCOMPARE(TMDIChildTestAccess(*child).tsMaps()->tabText(TMDIChildTestAccess(*child).tsMaps()->currentIndex()),
            QStringLiteral("Sketch map"));
        auto* browser = child->findChild<QWebEngineView*>();
        QVERIFY(browser);
        QSignalSpy loaded(browser, &QWebEngineView::loadFinished);
        child->SelectOnly(3);
        child->SelectAll();
        QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty() && loaded.last().value(0).toBool(), 30000);
        // The page's own paint follows its load.
        QTest::qWait(1500);
        const QPixmap shot = form.screen()->grabWindow(0);
        const QImage image = shot.toImage().convertToFormat(QImage::Format_RGB32);
        // Blue POIs and the one red current POI of the sketch.
        QVERIFY2(Pixels(image, qRgb(0x15, 0x65, 0xc0)) > 11 * 20, "the POIs are drawn");
        QVERIFY2(Pixels(image, qRgb(0xd3, 0x2f, 0x2f)) > 20, "the current POI is drawn");
        QVERIFY(SaveArtifactPicture(shot, QStringLiteral("html-map.png")));
        QCOMPARE(interceptor.Foreign, QStringList());
        QWebEngineProfile::defaultProfile()->setUrlRequestInterceptor(nullptr);
    }
};

TARVELL_QTEST_MAIN(TestHtmlMapScreenshot)
#include "tst_htmlMapScreenshot.moc"
