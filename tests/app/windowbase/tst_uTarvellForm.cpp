// The form bases fit every window they place to the available screen area.
#include "AppTestSupport.h"

#include "app/windowbase/uTarvellForm.h"
#include "support/QtWarningGuard.h"

#include <QScreen>
#include <QtTest>

namespace {

QRect Available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

bool Inside(const QRect& frame, const QRect& area) { return area.contains(frame); }

} // namespace

class TestTarvellForm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestHome(); }

    void fitFrameToArea_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QRect>("fitted");
        // Fitted into the area 0, 30, 800 x 570.
        QTest::addRow("inside stays") << QRect(10, 40, 300, 200) << QRect(10, 40, 300, 200);
        QTest::addRow("far left and below") << QRect(-30000, 99999, 300, 200) << QRect(0, 400, 300, 200);
        QTest::addRow("wider than the area") << QRect(-30000, 99999, 32767, 200) << QRect(0, 400, 800, 200);
        QTest::addRow("larger both ways") << QRect(50, 50, 100000, 100000) << QRect(0, 30, 800, 570);
        QTest::addRow("over the right edge") << QRect(700, 40, 300, 200) << QRect(500, 40, 300, 200);
        QTest::addRow("above the area") << QRect(10, 0, 300, 200) << QRect(10, 30, 300, 200);
    }
    void fitFrameToArea()
    {
        QFETCH(QRect, frame);
        QFETCH(QRect, fitted);
        QCOMPARE(FitFrameToArea(frame, QRect(0, 30, 800, 570)), fitted);
        // No screen: left as it is.
        QCOMPARE(FitFrameToArea(frame, QRect()), frame);
    }

    // A dialog centred on an owner that lies off the screen, or placed from stored bounds, opens on
    // the screen.
    void dialogsPlacedOffTheScreenAreFitted()
    {
        TTarvellForm owner;
        owner.setGeometry(-30000, 99999, 400, 300);
        TTarvellModalForm centred(&owner);
        centred.resize(200, 100);
        centred.show();
        QVERIFY2(Inside(centred.frameGeometry(), Available()), qPrintable(QDebug::toString(centred.frameGeometry())));
        QCOMPARE(centred.size(), QSize(200, 100));

        TTarvellModalForm stored;
        stored.Position = TFormPosition::poDesigned;
        stored.setGeometry(5000, -4000, 100000, 300);
        stored.show();
        QVERIFY2(Inside(stored.frameGeometry(), Available()), qPrintable(QDebug::toString(stored.frameGeometry())));
        QCOMPARE(stored.height(), 300);

        TTarvellModalForm first;
        first.Position = TFormPosition::poDefault;
        TTarvellModalForm::CreateAt(first, -500, 20);
        first.resize(100, 80);
        first.show();
        QCOMPARE(first.pos(), QPoint(Available().left(), 20));
    }

    // Top-level forms are fitted when first shown; a child form inside another window is not.
    void formsFittedOnFirstShowOnly()
    {
        TTarvellForm window;
        window.setGeometry(-30000, 99999, 100000, 200);
        window.show();
        QVERIFY2(Inside(window.frameGeometry(), Available()), qPrintable(QDebug::toString(window.frameGeometry())));
        QWidget host;
        host.resize(300, 200);
        auto* inner = new TTarvellForm(&host, Qt::Widget);
        inner->setGeometry(-100, -100, 50, 50);
        host.show();
        QCOMPARE(inner->geometry(), QRect(-100, -100, 50, 50));
        // A maximised window is the window manager's.
        TTarvellForm maximised;
        maximised.setGeometry(-30000, 99999, 300, 200);
        maximised.setWindowState(Qt::WindowMaximized);
        const QRect before = maximised.geometry();
        FitWindowToScreen(&maximised);
        QCOMPARE(maximised.geometry(), before);
    }
};

TARVELL_QTEST_MAIN(TestTarvellForm)
#include "tst_uTarvellForm.moc"
