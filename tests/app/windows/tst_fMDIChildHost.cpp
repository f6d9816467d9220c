// The child window on a small host of the test's own, with no main window: it lists its POIs,
// keeps the host's status panels and runs its own keys.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/uChildHost.h"
#include "core/uSettings.h"
#include "formats/uFormats.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QtTest>

#include <map>

namespace {

// All a child asks of the window that holds it, and a record of what it told.
class TFakeChildHost : public TChildHost {
public:
    TdmMain& Data() const override { return FData; }
    void SetStatusText(int panel, const QString& text) override { Panels[panel] = text; }
    bool IsActiveChild(const TMDIChild*) const override { return true; }
    void TakeStrip(const QRect&) override { }
    void ReapplyBounds() override { }
    QWidget* HostWindow() override { return nullptr; }

    std::map<int, QString> Panels;

private:
    mutable TdmMain FData;
};

QRect RowRect(TMDIChild& child, int row)
{
    auto* view = TMDIChildTestAccess(child).ListView1();
    return view->visualRect(view->model()->index(row, 0));
}

} // namespace

class TestMDIChildHost : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
    }
    void init()
    {
        ResetSettingsForTests();
        QFile::remove(SettingsStoreFileName());
    }

    void childRunsOnAFakeHost()
    {
        TScriptedPrompt prompt;
        TFakeChildHost host;
        TMDIChild child(host);
        child.Entries().Add("Dam Square", "", 4.8932, 52.3731);
        child.Entries().Add("Artis Zoo", "", 4.9166, 52.3660);
        child.Entries().Add("NEMO", "", 4.9123, 52.3738);
        child.Entries().ResetChanged();
        child.resize(640, 480);
        child.show();
        QVERIFY(QTest::qWaitForWindowExposed(&child));
        child.RefreshView(true);
        QCOMPARE(host.Panels[2], QStringLiteral("3 items"));
        QCOMPARE(host.Panels[3], QString());

        // A click on the second row shows it in the edit row; Del removes it.
        auto* view = TMDIChildTestAccess(child).ListView1();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, RowRect(child, 1).center());
        QCOMPARE(TMDIChildTestAccess(child).edDescription()->text(), QStringLiteral("Artis Zoo"));
        prompt.Answers = { IDYES, IDYES };
        QTest::keyClick(view, Qt::Key_Delete);
        QCOMPARE(child.Entries().Count(), 2);
        QCOMPARE(child.Entries()[1].GetDescription(), std::string_view("NEMO"));
        QCOMPARE(host.Panels[2], QStringLiteral("2 items"));
        QCOMPARE(host.Panels[3], QStringLiteral("Changed"));

        // Ins adds a POI: the host's count follows.
        QTest::keyClick(view, Qt::Key_Insert);
        QCOMPARE(child.Entries().Count(), 3);
        QCOMPARE(host.Panels[2], QStringLiteral("3 items"));
    }
};

TARVELL_QTEST_MAIN(TestMDIChildHost)
#include "tst_fMDIChildHost.moc"
