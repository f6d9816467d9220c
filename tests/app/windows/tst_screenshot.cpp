// A picture of the main window on a real X server, kept as a build artefact.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "app/windows/uLanguageMenu.h"
#include "core/uSettings.h"
#include "formats/uFormats.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QSet>
#include <QtTest>

class TestScreenshot : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestHome(); }

    void mainWindowPicture() { Picture(QStringLiteral("main-window.png"), QStringLiteral("Ready")); }

    // The same window in German, the language file beside the executable applied as at start-up.
    void mainWindowPictureInGerman()
    {
        QLocUtils().AppFileName = QStringLiteral(TARVELL_EXE);
        QLocUtils().LibraryFolder = QFileInfo(QStringLiteral(TARVELL_EXE)).absolutePath();
        GetSettings().Language = 1031;
        SetStartupLanguage();
        QCOMPARE(QLocUtils().GetActiveLanguageInfo().LanguageId, 1031);
        Picture(QStringLiteral("main-window-de.png"), QStringLiteral("Bereit"));
        QLocUtils().RestoreNativeLanguage();
        GetSettings().Language = 9;
    }

private:
    void Picture(const QString& fileName, const QString& hint)
    {
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.setGeometry(20, 20, 860, 600);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        for (const char* name : { "/home/u/amsterdam.ov2", "/home/u/zwolle.gpx" }) {
            TMDIChild* child = form.NewChild();
            child->Document().FileName = QString::fromLatin1(name);
            form.ShowChild(child);
            child->Refresh();
        }
        form.Action(TAction::acWindowTileVertical)->trigger();
        TMainFormTestAccess(form).StatusPanel(0)->setText(hint);
        TMainFormTestAccess(form).StatusPanel(2)->setText(QStringLiteral("0 items"));
        // The File menu opened over the window, as a user sees it.
        QMenu* file = form.menuBar()->actions().first()->menu();
        form.menuBar()->setActiveAction(form.menuBar()->actions().first());
        QTRY_VERIFY(file->isVisible());
        QTest::qWait(300);
        const QRect area = form.frameGeometry().united(file->geometry()).adjusted(-4, -4, 4, 4);
        const QPixmap shot = form.screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
        file->hide();
        QDir().mkpath(QStringLiteral(TARVELL_ARTIFACTS));
        const QString path = QStringLiteral(TARVELL_ARTIFACTS "/") + fileName;
        QVERIFY(shot.save(path));
        // A blank or single-colour picture means nothing was drawn.
        const QImage image = shot.toImage();
        QSet<QRgb> colours;
        for (int y = 0; y < image.height(); y += 3)
            for (int x = 0; x < image.width(); x += 3)
                colours.insert(image.pixel(x, y));
        QVERIFY2(colours.size() > 50, qPrintable(QString::number(colours.size())));
        qInfo("saved %s", qPrintable(path));
    }

private slots:
    void childWindowPicture()
    {
        RegisterAllFormats();
        TdmMain data;
        GetSettings().ChildrenMaximized = true;
        TfmTarvellMainForm form(data);
        form.setGeometry(20, 20, 860, 600);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        form.OpenFile(nullptr, QStringLiteral(TARVELL_TEST_DATA "/dstcsv/museum.csv"), false, QString());
        TMDIChild* child = form.ActiveChild();
        QVERIFY(child);
        QVERIFY(child->parentWidget()->isMaximized());
        child->SelectOnly(1);
        QVERIFY(!TMDIChildTestAccess(*child).edDescription()->text().isEmpty());
        QTest::qWait(300);
        const QPixmap shot = form.screen()->grabWindow(0, form.frameGeometry().x(), form.frameGeometry().y(),
            form.frameGeometry().width(), form.frameGeometry().height());
        QDir().mkpath(QStringLiteral(TARVELL_ARTIFACTS));
        const QString path = QStringLiteral(TARVELL_ARTIFACTS "/child-window.png");
        QVERIFY(shot.save(path));
        child->Entries().ResetChanged();
        qInfo("saved %s", qPrintable(path));
    }
};

TARVELL_QTEST_MAIN(TestScreenshot)
#include "tst_screenshot.moc"
