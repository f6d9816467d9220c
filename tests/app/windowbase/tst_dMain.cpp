// The data module's pictures and plug-in lists.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "core/uSettings.h"
#include "plugins/PluginTestSupport.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QtTest>

class TestDataModule : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestHome(); }

    void imageListsAreComplete()
    {
        TdmMain data;
        QCOMPARE(dmMain(), &data);
        const std::pair<const TImageList*, int> lists[] = { { &data.NormalImages, 57 }, { &data.HotImages, 57 },
            { &data.ListImages, 10 } };
        for (const auto& [list, count] : lists) {
            QCOMPARE(list->Count(), count);
            for (int i = 0; i < count; ++i) {
                QVERIFY2(!list->Image(i).isNull(), qPrintable(QString::number(i)));
                QCOMPARE(list->Image(i).size(), list->Size());
            }
        }
        QCOMPARE(data.ListImages.Size(), QSize(16, 16));
        QCOMPARE(data.PngImageCollection1.Count(), 7);
        for (int i = 0; i < 7; ++i)
            QCOMPARE(data.PngImageCollection1.Image(i).size(), QSize(24, 24));
        QVERIFY(data.NormalImages.Image(57).isNull());
        // The drop-down and ticked variants differ from their plain pictures; hover is lighter.
        QVERIFY(data.NormalImages.Image(37).toImage() != data.NormalImages.Image(21).toImage());
        QVERIFY(data.NormalImages.Image(44).toImage() != data.NormalImages.Image(13).toImage());
        QVERIFY(data.HotImages.Image(0).toImage() != data.NormalImages.Image(0).toImage());
        QVERIFY(!data.ToolIcon(1).pixmap(QSize(24, 24), QIcon::Active).isNull());
        // The pictures come from the icon theme (installed with the other packages), not the
        // lettered stand-ins.
        QVERIFY(QIcon::hasThemeIcon(QStringLiteral("document-open")));
    }

    void defaultPlugin()
    {
        ResetSettingsForTests();
        TdmMain data;
        QCOMPARE(data.FindDefaultPlugin(), nullptr); // no plug-ins installed
        TPluginFolder folder;
        folder.Copy(QStringLiteral("external"), QStringLiteral("Mapper.so"));
        folder.Copy(QStringLiteral("external"), QStringLiteral("Viewer.so"));
        folder.Copy(QStringLiteral("html"), QStringLiteral("Sketch.so"), TPluginKind::HtmlEmbed);
        // One name in both folders would share one settings section.
        folder.Copy(QStringLiteral("html"), QStringLiteral("viewer.so"), TPluginKind::HtmlEmbed);
        data.LoadPlugins(folder.AppDir(), folder.ProgramOptions());
        QCOMPARE(data.ExternalPlugins.Count(), 2);
        QCOMPARE(data.MapPlugins.Count(), 1);
        QCOMPARE(data.MapPlugins.Items(0)->GetPlugInName(), QStringLiteral("Sketch"));
        QCOMPARE(folder.Warnings,
            QStringList({ "The plugin \"viewer.so\" has the same name \"viewer\" as the plugin \"Viewer.so\" and was left out" }));
        GetSettings().DefaultPlugin = QStringLiteral("viewer");
        QVERIFY(data.FindDefaultPlugin() == data.ExternalPlugins.Items(1));
        GetSettings().DefaultPlugin.clear();
        QCOMPARE(data.FindDefaultPlugin(), nullptr);
        GetSettings().DefaultPlugin = QStringLiteral("Sketch");
        QCOMPARE(data.FindDefaultPlugin(), nullptr);
    }

    // Refusals reach the user as warning boxes through the prompt interface.
    void refusalsAreWarningBoxes()
    {
        TdmMain data;
        TPluginFolder folder;
        folder.Copy(QStringLiteral("noauthor"), QStringLiteral("Broken.so"));
        TScriptedPrompt prompt;
        auto options = folder.ProgramOptions();
        options.Warn = nullptr;
        data.LoadPlugins(folder.AppDir(), options);
        QCOMPARE(data.ExternalPlugins.Count(), 0);
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("Invalid plugin \"Broken.so\" found in the Tarvell plugin directory"));
        QCOMPARE(prompt.Boxes[0].Type, MB_ICONEXCLAMATION);
    }
};

TARVELL_QTEST_MAIN(TestDataModule)
#include "tst_dMain.moc"
