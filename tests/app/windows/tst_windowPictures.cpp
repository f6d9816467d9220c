// The windows' pictures and texts as a user sees them: every tool-bar button and every action with
// a picture shows one of our drawings (never a lettered stand-in tile), and texts fit their places
// in English and in German.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fAbout.h"
#include "app/windows/fBatchConvert.h"
#include "app/windowbase/fConfirmDialog.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "app/windows/fMobileBrowser.h"
#include "app/windows/fPluginSettings.h"
#include "app/logic/uMainActions.h"
#include "core/uRapi.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "support/CoreTestHooks.h"
#include "support/PictureCheck.h"
#include "support/QtWarningGuard.h"
#include "ui/uIcons.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollArea>
#include <QTabWidget>
#include <QToolBar>
#include <QTranslator>
#include <QTreeWidget>
#include <QtTest>

namespace {

QList<QAction*> MainTablePictures(TfmTarvellMainForm& form)
{
    QList<QAction*> required;
    for (const TAction id : ActionsOf(TActionWindow::Main))
        if (ActionDef(id).Image >= 0)
            required << form.Action(id);
    return required;
}

QList<QAction*> ChildTablePictures(TMDIChild& child)
{
    QList<QAction*> required;
    for (const TAction id : ActionsOf(TActionWindow::Child))
        if (ActionDef(id).Image >= 0)
            required << child.Action(id);
    return required;
}

} // namespace

class TestWindowPictures : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
    }
    void init() { ResetSettingsForTests(); }

    // The check itself: a lettered tile and a tool button without picture are found, our own
    // drawings pass.
    void checkFindsTilesAndMissingPictures()
    {
        QWidget window;
        auto* bar = new QToolBar(&window);
        QAction* drawn = bar->addAction(BundledIcon(QStringLiteral("document-new")), QStringLiteral("drawn"));
        drawn->setObjectName(QStringLiteral("drawn"));
        QVERIFY(TestSupport::PictureFaults(&window).isEmpty());
        const QPixmap standIn = ThemePicture("no-such-picture", QSize(16, 16));
        QAction* tile = bar->addAction(QIcon(standIn), QStringLiteral("tile"));
        tile->setObjectName(QStringLiteral("tile"));
        QAction* bare = bar->addAction(QStringLiteral("bare"));
        bare->setObjectName(QStringLiteral("bare"));
        const QStringList faults = TestSupport::PictureFaults(&window);
        QVERIFY2(faults.contains(QStringLiteral("action with a lettered tile: tile \"tile\"")), qPrintable(faults.join('\n')));
        QVERIFY2(faults.contains(QStringLiteral("tool button without picture: bare \"bare\"")), qPrintable(faults.join('\n')));
        QVERIFY(TestSupport::PictureFaults(&window, { drawn }).size() == faults.size());
        QVERIFY(BundledIcon(QStringLiteral("no-such-picture")).isNull());
    }

    // The main window with a child (tool bars, menus, tray menu, every table action with a
    // picture), the device browser, the batch conversion, the about box, the preferences and the
    // overwrite question.
    void everyWindowShowsOurPictures()
    {
        TScriptedPrompt prompt;
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        TMDIChild* child = form.NewChild();
        form.ShowChild(child);
        child->Refresh();
        form.UpdateActions();
        QList<QAction*> required = MainTablePictures(form) + ChildTablePictures(*child);
        QStringList faults = TestSupport::PictureFaults(&form, required);
        for (QAction* action : TMainFormTestAccess(form).PopupMenu1()->actions())
            if (!action->icon().isNull() && TestSupport::IsLetteredTile(action->icon()))
                faults << action->objectName();
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        for (int i = 0; i < data.NormalImages.Count(); ++i)
            QVERIFY2(!TestSupport::IsLetteredTile(QIcon(data.NormalImages.Image(i))), qPrintable(QString::number(i)));
        for (int i = 0; i < data.ListImages.Count(); ++i)
            QVERIFY2(!TestSupport::IsLetteredTile(QIcon(data.ListImages.Image(i))), qPrintable(QString::number(i)));
        child->Entries().ResetChanged();

        QTemporaryDir device;
        QDir(device.path()).mkpath(QStringLiteral("My Documents/sub"));
        QFile(device.filePath(QStringLiteral("My Documents/a.ov2"))).open(QIODevice::WriteOnly);
        qputenv("TARVELL_DEVICE_ROOT", device.path().toLocal8Bit());
        DisconnectDevice();
        ConnectDevice();
        {
            TfmMobileBrowser browser(nullptr, false);
            browser.SetFileName(QStringLiteral("\\My Documents\\"));
            browser.show();
            QList<QAction*> all = browser.findChildren<QAction*>();
            all.removeIf([](QAction* action) { return action->isSeparator() || action->objectName().isEmpty(); });
            faults = TestSupport::PictureFaults(&browser, all);
            auto* list = browser.findChild<QTreeWidget*>(QStringLiteral("ListView1"));
            QVERIFY(list && list->topLevelItemCount() == 2);
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                if (list->topLevelItem(i)->icon(0).isNull())
                    faults << list->topLevelItem(i)->text(0);
            QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        }
        DisconnectDevice();
        qunsetenv("TARVELL_DEVICE_ROOT");

        TfmBatchConvert batch;
        batch.show();
        faults = TestSupport::PictureFaults(&batch);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        TfmAbout about;
        about.show();
        faults = TestSupport::PictureFaults(&about);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        TfmPluginSettings preferences(data);
        preferences.show();
        faults = TestSupport::PictureFaults(&preferences);
        QVERIFY2(faults.isEmpty(), qPrintable(faults.join('\n')));
        TfmConfirmDialog question;
        question.show();
        const QLabel* picture = question.findChild<QLabel*>(QStringLiteral("laIcon"));
        QVERIFY(picture && !picture->pixmap().isNull());
    }

    // Texts are not cut: the about box's version line, the preferences' whole-number option
    // labels and the status bar's map coordinates, in English and in German.
    void textsFit_data()
    {
        QTest::addColumn<bool>("german");
        QTest::newRow("English") << false;
        QTest::newRow("German") << true;
    }
    void textsFit()
    {
        QFETCH(bool, german);
        QTranslator translator;
        if (german) {
            QVERIFY(translator.load(QStringLiteral(TARVELL_GERMAN_QM)));
            QCoreApplication::installTranslator(&translator);
        }
        TScriptedPrompt prompt;
        TdmMain data;
        {
            TfmAbout about;
            about.show();
            QVERIFY(QTest::qWaitForWindowExposed(&about));
            const QList<QLabel*> labels = about.findChildren<QLabel*>();
            for (const QLabel* label : labels) {
                if (!label->text().startsWith(QChar('v')))
                    continue;
                const QRect inWindow(label->mapTo(&about, QPoint(0, 0)), label->size());
                QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
                QVERIFY2(about.rect().contains(inWindow), qPrintable(label->text()));
                QVERIFY2(label->parentWidget()->rect().contains(label->geometry()), qPrintable(label->text()));
            }
        }
        {
            TfmPluginSettings preferences(data);
            preferences.show();
            QVERIFY(QTest::qWaitForWindowExposed(&preferences));
            auto* list = preferences.findChild<QTreeWidget*>(QStringLiteral("lvExport"));
            auto* box = preferences.findChild<QScrollArea*>(QStringLiteral("sbExportOptions"));
            QVERIFY(list && box);
            int integers = 0;
            for (int row = 0; row < list->topLevelItemCount(); ++row) {
                list->setCurrentItem(list->topLevelItem(row));
                const QList<QLineEdit*> edits = box->widget()->findChildren<QLineEdit*>();
                for (const QLineEdit* edit : edits) {
                    ++integers;
                    for (const QLabel* label : box->widget()->findChildren<QLabel*>()) {
                        if (label->y() != edit->y())
                            continue;
                        QVERIFY2(label->geometry().right() < edit->x(), qPrintable(label->text()));
                        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
                    }
                    QVERIFY(edit->width() >= edit->fontMetrics().horizontalAdvance(edit->text()));
                }
            }
            QVERIFY(integers > 0);
        }
        {
            TfmTarvellMainForm form(data);
            form.show();
            QLabel* panel = TMainFormTestAccess(form).StatusPanel(1);
            QVERIFY(panel->width() >= 175);
            const QLocale locale;
            panel->setText(QStringLiteral("%1 %2 (%3 %4)")
                               .arg(locale.toString(-85.123456, 'f', 6), locale.toString(-179.123456, 'f', 6))
                               .arg(-12345)
                               .arg(-23456));
            QVERIFY2(panel->width() >= panel->sizeHint().width(), qPrintable(panel->text()));
            TMainFormTestAccess(form).StatusPanel(2)->setText(
                QCoreApplication::translate("TMDIChild", "%1 items").arg(123456));
            QVERIFY(TMainFormTestAccess(form).StatusPanel(2)->width()
                >= TMainFormTestAccess(form).StatusPanel(2)->sizeHint().width());
        }
        QCoreApplication::removeTranslator(&translator);
    }
};

TARVELL_QTEST_MAIN(TestWindowPictures)
#include "tst_windowPictures.moc"
