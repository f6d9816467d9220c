// The coordinates calculator in both variants and the about box, each opened from its action.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fAbout.h"
#include "app/windows/fCoordsCalculator.h"
#include "app/windows/fMain.h"
#include "core/uSettings.h"
#include "model/uModel.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrlQuery>
#include <QtTest>

// Test-only access to the dialogs' widgets, which they keep private.
class TfmCoordsCalculatorTestAccess {
public:
    explicit TfmCoordsCalculatorTestAccess(const TfmCoordsCalculator& form) : F(form) {}
    QLineEdit* edLongitude() const { return F.edLongitude; }
    QLineEdit* edLatitude() const { return F.edLatitude; }
    QLineEdit* edLonDeg() const { return F.edLonDeg; }
    QLineEdit* edLonMin() const { return F.edLonMin; }
    QLineEdit* edLatDeg() const { return F.edLatDeg; }
    QLineEdit* edLatMin() const { return F.edLatMin; }
    QLineEdit* edLatSec() const { return F.edLatSec; }
    QPushButton* buLonSign() const { return F.buLonSign; }
    QPushButton* buLatSign() const { return F.buLatSign; }
    QPushButton* buOK() const { return F.buOK; }
    QPushButton* buCancel() const { return F.buCancel; }

private:
    const TfmCoordsCalculator& F;
};

class TfmAboutTestAccess {
public:
    explicit TfmAboutTestAccess(const TfmAbout& form) : F(form) {}
    QLabel* laVersionFront() const { return F.laVersionFront; }
    QLabel* laVersionBack() const { return F.laVersionBack; }
    QPlainTextEdit* Memo1() const { return F.Memo1; }
    QAction* acDonateEuros() const { return F.acDonateEuros; }
    QAction* acDonateDollars() const { return F.acDonateDollars; }

private:
    const TfmAbout& F;
};

// Receives the addresses the about box opens.
class TUrlCatcher : public QObject {
    Q_OBJECT
public:
    QList<QUrl> Urls;
public slots:
    void Open(const QUrl& url) { Urls << url; }
};

class TestCoordsCalculator : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestHome(); }
    void init() { ResetSettingsForTests(); }

    void decimalFollowsDegreesAndBack()
    {
        TfmCoordsCalculator calculator;
        const TfmCoordsCalculatorTestAccess c(calculator);
        calculator.show();
        c.edLatitude()->setText(QStringLiteral("52.5"));
        calculator.ControlLeft(TEntryEdit::Latitude);
        QCOMPARE(c.edLatDeg()->text(), QStringLiteral("52"));
        QCOMPARE(c.edLatMin()->text(), QStringLiteral("30"));
        QCOMPARE(c.edLatSec()->text(), QStringLiteral("0"));
        QCOMPARE(c.buLatSign()->text(), QStringLiteral("N"));

        c.edLonDeg()->setText(QStringLiteral("4"));
        calculator.ControlLeft(TEntryEdit::LonDeg);
        QCOMPARE(c.edLongitude()->text(), QLocale().toString(4.0, 'f', 5));
        c.edLonMin()->setText(QStringLiteral("15"));
        calculator.ControlLeft(TEntryEdit::LonMin);
        QCOMPARE(c.edLongitude()->text(), QLocale().toString(4.25, 'f', 5));
        // The sign button toggles E and W and negates the decimal value.
        QTest::mouseClick(c.buLonSign(), Qt::LeftButton);
        QCOMPARE(c.buLonSign()->text(), QStringLiteral("W"));
        QCOMPARE(calculator.Entry().GetLongitude(), -4.25);
        QCOMPARE(c.edLongitude()->text(), QLocale().toString(-4.25, 'f', 5));
        QTest::mouseClick(c.buLonSign(), Qt::LeftButton);
        QCOMPARE(c.buLonSign()->text(), QStringLiteral("E"));
        QCOMPARE(calculator.Entry().GetLongitude(), 4.25);
    }

    // OK refuses an exact 0 in either coordinate; a value still being typed counts.
    void okRefusesZero()
    {
        TScriptedPrompt prompt;
        TfmCoordsCalculator calculator;
        const TfmCoordsCalculatorTestAccess c(calculator);
        QVERIFY(!c.buOK()->isHidden());
        QCOMPARE(c.buCancel()->text(), QStringLiteral("Cancel"));
        calculator.show();
        c.edLatitude()->setText(QStringLiteral("52.5"));
        calculator.ControlLeft(TEntryEdit::Latitude);
        QTest::mouseClick(c.buOK(), Qt::LeftButton);
        QCOMPARE(int(prompt.Boxes.size()), 1);
        QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("Please enter the longitude and latitude."));
        QVERIFY(calculator.isVisible());
        QCOMPARE(calculator.result(), 0);
        QApplication::setActiveWindow(&calculator);
        QVERIFY(QTest::qWaitForWindowActive(&calculator));
        c.edLongitude()->setFocus();
        c.edLongitude()->setText(QStringLiteral("4.25"));
        QVERIFY(c.edLongitude()->hasFocus());
        QTest::mouseClick(c.buOK(), Qt::LeftButton);
        QCOMPARE(calculator.result(), int(QDialog::Accepted));
        QCOMPARE(calculator.Entry().GetLongitude(), 4.25);
        QCOMPARE(int(prompt.Boxes.size()), 1);
    }

    void toolsVariantFromTheMainWindow()
    {
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        QAction* action = form.Action(TAction::acCalc);
        form.UpdateActions();
        QVERIFY(action->isEnabled());
        TModalCloser closer;
        bool seen = false;
        closer.During = [&](QWidget* modal) {
            auto* calculator = qobject_cast<TfmCoordsCalculator*>(modal);
            QVERIFY(calculator);
            const TfmCoordsCalculatorTestAccess c(*calculator);
            seen = true;
            QVERIFY(c.buOK()->isHidden());
            QCOMPARE(c.buCancel()->text(), QStringLiteral("Close"));
            QCOMPARE(calculator->windowTitle(), action->text());
        };
        action->trigger();
        QVERIFY(seen);
    }

    void aboutBoxFromTheMainWindow()
    {
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        TUrlCatcher catcher;
        QDesktopServices::setUrlHandler(QStringLiteral("https"), &catcher, "Open");
        TModalCloser closer;
        bool seen = false;
        closer.During = [&](QWidget* modal) {
            auto* about = qobject_cast<TfmAbout*>(modal);
            QVERIFY(about);
            const TfmAboutTestAccess a(*about);
            seen = true;
            const TFileVersionNumbers v = ProgramVersionNumbers();
            const QString version = QStringLiteral("v%1.%2.%3 build %4 - English translation by Orvik")
                                        .arg(v.Major).arg(v.Minor).arg(v.Release).arg(v.Build);
            QCOMPARE(a.laVersionFront()->text(), version);
            QCOMPARE(a.laVersionBack()->text(), version);
            QVERIFY(!a.Memo1()->toPlainText().isEmpty());
            QVERIFY(a.Memo1()->isReadOnly());
            a.acDonateEuros()->trigger();
            a.acDonateDollars()->trigger();
        };
        form.Action(TAction::acAbout)->trigger();
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QVERIFY(seen);
        QCOMPARE(catcher.Urls.size(), 2);
        for (int i = 0; i < 2; ++i) {
            const QUrl& url = catcher.Urls[i];
            QCOMPARE(url.path(), QStringLiteral("/cgi-bin/webscr"));
            const QUrlQuery query(url);
            QCOMPARE(query.queryItemValue(QStringLiteral("cmd")), QStringLiteral("_xclick"));
            QCOMPARE(query.queryItemValue(QStringLiteral("item_name")), QStringLiteral("Tarvell"));
            QVERIFY(!query.queryItemValue(QStringLiteral("business")).isEmpty());
            QCOMPARE(query.queryItemValue(QStringLiteral("currency_code")), i == 0 ? QStringLiteral("EUR") : QStringLiteral("USD"));
        }
    }
};

TARVELL_QTEST_MAIN(TestCoordsCalculator)
#include "tst_fCoordsCalculator.moc"
