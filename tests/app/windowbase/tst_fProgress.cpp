// The progress and confirmation dialogs and the dialog base class's placement.
#include "AppTestSupport.h"

#include "app/windowbase/fConfirmDialog.h"
#include "app/windowbase/fProgress.h"
#include "core/uGeneral.h"
#include "support/QtWarningGuard.h"

#include <QApplication>
#include <QCheckBox>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QtTest>

namespace {

// Counts the paints a widget receives.
struct TPaintCounter : QObject {
    int Count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++Count;
        return false;
    }
};

} // namespace

class TestProgress : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestHome(); }

    void samePositionDoesNotRepaint()
    {
        TfmProgress dialog;
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCoreApplication::processEvents();
        TPaintCounter paints;
        dialog.installEventFilter(&paints);
        // Painted at once, without an event loop.
        dialog.SetPosition(10);
        const int painted = paints.Count;
        QVERIFY(painted > 0);
        dialog.SetPosition(10);
        QCOMPARE(paints.Count, painted);
        dialog.SetPositionFloat(42.9);
        QCOMPARE(dialog.Position(), 42);
        QVERIFY(paints.Count > painted);
        QCOMPARE(dialog.size(), QSize(292, 101));
    }

    void autoCloseAtHundredWhileStillRunning()
    {
        TfmProgress dialog;
        dialog.AutoClose = true;
        bool finished = false;
        dialog.OnExecute = [&](TfmProgress& self) {
            self.SetPosition(100);
            QVERIFY(!self.isVisible() || self.result() == QDialog::Accepted);
            finished = true;
        };
        QElapsedTimer clock;
        clock.start();
        dialog.ShowModal();
        QVERIFY(finished);
        QVERIFY(!dialog.isVisible());
        QVERIFY(clock.elapsed() >= 450); // the work starts 500 ms after showing
    }

    void failureReachesTheCaller()
    {
        TfmProgress dialog;
        dialog.OnExecute = [](TfmProgress&) { throw EUserError("Unable to download x"); };
        QVERIFY_THROWS_EXCEPTION(EUserError, dialog.ShowModal());
        QVERIFY(!dialog.isVisible());
    }

    void downloadProgressAndCancel()
    {
        TfmProgress dialog;
        dialog.show();
        dialog.SetPosition(30);
        bool cancel = true;
        dialog.DownloadProgress(500, 0, cancel); // size unknown: bar stays
        QCOMPARE(dialog.Position(), 30);
        QCOMPARE(cancel, false);
        dialog.findChild<QPushButton*>("Button1")->click();
        dialog.DownloadProgress(250, 1000, cancel);
        QCOMPARE(dialog.Position(), 25);
        QCOMPARE(cancel, true);
        dialog.hide();
        dialog.show(); // a new show starts uncancelled
        QCOMPARE(dialog.Cancelled, false);
    }

    // Escape is the Cancel button at every moment. Before the work starts it is due at once and
    // sees the cancel; during the work the dialog stays until the work has ended; with no work
    // left it closes.
    void escapeIsCancelAtEveryMoment_data()
    {
        QTest::addColumn<int>("pressAtMs");
        QTest::newRow("before the work starts") << 50;
        QTest::newRow("during the work") << 700;
    }
    void escapeIsCancelAtEveryMoment()
    {
        QFETCH(int, pressAtMs);
        TfmProgress dialog;
        dialog.AutoClose = true;
        bool ran = false;
        bool cancelledAtStart = false;
        bool shownAfterCancel = false;
        QElapsedTimer clock;
        dialog.OnExecute = [&](TfmProgress& self) {
            ran = true;
            cancelledAtStart = self.Cancelled;
            // Polls as a download does, for at most 5 s.
            QElapsedTimer working;
            working.start();
            while (!self.Cancelled && working.elapsed() < 5000) {
                bool cancel = false;
                self.DownloadProgress(0, 0, cancel);
            }
            shownAfterCancel = self.isVisible();
        };
        QTimer::singleShot(pressAtMs, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
        clock.start();
        dialog.ShowModal();
        QVERIFY(ran);
        QVERIFY(dialog.Cancelled);
        QCOMPARE(cancelledAtStart, pressAtMs < 500);
        QVERIFY2(shownAfterCancel, "the dialog waits for its work");
        QVERIFY(!dialog.isVisible());
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        if (pressAtMs < 500)
            QVERIFY2(clock.elapsed() < 450, "cancelled work is due at once");
    }

    void escapeClosesADialogWithoutWork()
    {
        TfmProgress dialog;
        QTimer::singleShot(700, &dialog, [&] { QTest::keyClick(&dialog, Qt::Key_Escape); });
        dialog.ShowModal();
        QVERIFY(dialog.Cancelled);
        QVERIFY(!dialog.isVisible());
    }

    void confirmAnswers_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<bool>("always");
        QTest::addColumn<int>("answer");
        QTest::newRow("yes") << "buYes" << false << ConfirmYes;
        QTest::newRow("no") << "buNo" << false << ConfirmNo;
        QTest::newRow("cancel") << "buCancel" << false << ConfirmCancel;
        QTest::newRow("yes to all") << "buYesToAll" << false << ConfirmYesToAll;
        QTest::newRow("always yes to all") << "buYesToAll" << true << ConfirmAlwaysYesToAll;
        QTest::newRow("close button") << "" << false << ConfirmCancel;
    }
    void confirmAnswers()
    {
        QFETCH(QString, button);
        QFETCH(bool, always);
        QFETCH(int, answer);
        TfmConfirmDialog dialog;
        dialog.SetMessage("Overwrite \"a.ov2\"?");
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Confirm..."));
        QVERIFY(dialog.findChild<QPushButton*>("buYes")->isDefault());
        dialog.findChild<QCheckBox*>("cbAlways")->setChecked(always);
        QTimer::singleShot(0, &dialog, [&] {
            if (button.isEmpty())
                dialog.close();
            else
                dialog.findChild<QPushButton*>(button)->click();
        });
        dialog.exec();
        QCOMPARE(dialog.Answer(), answer);
    }

    void confirmGoesThroughThePrompt()
    {
        TScriptedPrompt prompt;
        prompt.ConfirmAnswers = { ConfirmAlwaysYesToAll };
        QCOMPARE(ConfirmDialog("Overwrite?"), ConfirmAlwaysYesToAll);
    }

    void firstPositionOnlyForDefaultPlacement()
    {
        TTarvellModalForm placed;
        placed.Position = TFormPosition::poDefault;
        TTarvellModalForm::CreateAt(placed, 33, 44);
        placed.resize(100, 80);
        placed.show();
        QCOMPARE(placed.pos(), QPoint(33, 44));
        TTarvellModalForm centred;
        centred.Position = TFormPosition::poScreenCenter;
        TTarvellModalForm::CreateAt(centred, 33, 44);
        centred.resize(100, 80);
        centred.show();
        const QPoint centre = centred.screen()->availableGeometry().center();
        QVERIFY((centred.frameGeometry().center() - centre).manhattanLength() <= 2);
        QVERIFY(!centred.windowIcon().isNull());
    }

    void noPopupParentGoesWithItsOwner()
    {
        auto* owner = new QWidget;
        QPointer<TTarvellModalForm> dialog = new TTarvellModalForm(owner, TTarvellModalForm::NoPopupParent {});
        QCOMPARE(dialog->parentWidget(), nullptr);
        QCOMPARE(dialog->Owner(), owner);
        delete owner;
        QTRY_VERIFY(dialog.isNull());
    }
};

TARVELL_QTEST_MAIN(TestProgress)
#include "tst_fProgress.moc"
