// The desktop map application window over a recording layer: the calls, their order and data;
// the production layer says the application is missing.
#include "core/uGeneral.h"
#include "core/uSettings.h"
#include "maps/fMapPointEmbed.h"
#include "model/uModel.h"
#include "support/QtWarningGuard.h"

#include <QRegularExpression>
#include <QtTest>

namespace {

// Keeps the application's data sets as names and records every call.
class TRecordingLayer : public TMapPointLayer {
public:
    QStringList Calls;
    QStringList Sets;
    QString FailOn;
    int Pushpins = 0;

    void Call(const QString& text)
    {
        Calls << text;
        if (!FailOn.isEmpty() && text.startsWith(FailOn))
            throw ETarvellError(QStringLiteral("call failed"));
    }
    void CreateObject(const QString& progId) override { Call(QStringLiteral("CreateObject ") + progId); }
    void DoVerb(int verb) override { Call(QStringLiteral("DoVerb %1").arg(verb)); }
    void AttachMap() override { Call(QStringLiteral("AttachMap")); }
    void SetupMap() override { Call(QStringLiteral("SetupMap")); }
    void GoTo(double lat, double lon, double altitude) override
    {
        Call(QStringLiteral("GoTo %1 %2 %3").arg(lat).arg(lon).arg(altitude));
    }
    int DataSetCount() override { return int(Sets.size()); }
    QString DataSetName(int index) override { return Sets.value(index - 1); }
    void DeleteDataSet(int index) override
    {
        Call(QStringLiteral("DeleteDataSet %1").arg(index));
        Sets.removeAt(index - 1);
    }
    int AddPushpinSet(const QString& name) override
    {
        Call(QStringLiteral("AddPushpinSet ") + name);
        Sets << name;
        return int(Sets.size());
    }
    int AddPushpin(double lat, double lon, double altitude, const QString& name) override
    {
        Call(QStringLiteral("AddPushpin %1 %2 %3 %4").arg(lat).arg(lon).arg(altitude).arg(name));
        return ++Pushpins;
    }
    void SetHighlighted(int pushpin, bool value) override { Call(QStringLiteral("SetHighlighted %1 %2").arg(pushpin).arg(value)); }
    void SetSymbol(int pushpin, int symbol) override { Call(QStringLiteral("SetSymbol %1 %2").arg(pushpin).arg(symbol)); }
    void MoveToDataSet(int pushpin, int set) override { Call(QStringLiteral("MoveToDataSet %1 %2").arg(pushpin).arg(set)); }
    void DeactivateMap() override { Call(QStringLiteral("DeactivateMap")); }
    void CloseObject() override { Call(QStringLiteral("CloseObject")); }
};

QStringList Starting(const QStringList& calls, const QString& prefix)
{
    QStringList result;
    for (const QString& call : calls)
        if (call.startsWith(prefix))
            result << call;
    return result;
}

} // namespace

class TestMapPointEmbed : public QObject {
    Q_OBJECT
private:
    TEntries FSource;
    TRecordingLayer* FLayer = nullptr;

    std::unique_ptr<TfmMapPointEmbed> Window(int entries, int current)
    {
        auto map = std::make_unique<TfmMapPointEmbed>(FSource);
        for (int i = 0; i < entries; ++i)
            map->Entries().AddEntry(&FSource[i], false);
        map->CurrentIndex = current;
        return map;
    }

    void InstallFake()
    {
        SetMapPointLayerFactory([this] {
            auto layer = std::make_unique<TRecordingLayer>();
            FLayer = layer.get();
            return layer;
        });
    }

private slots:
    void initTestCase()
    {
        // Entry i at longitude i, latitude i + 1.
        for (int i = 0; i < 200; ++i)
            FSource.Add("P" + std::to_string(i), "", i, i + 1);
        InstallFake();
    }
    void cleanupTestCase() { SetMapPointLayerFactory(nullptr); }

    void activationAndDeactivationOrder()
    {
        GetSettings().MapPointVersion = QStringLiteral("MapPoint.Map.EU.9");
        auto map = Window(0, -1);
        map->FormActivate();
        map->FormDeactivate();
        QCOMPARE(FLayer->Calls,
            QStringList({ "CreateObject MapPoint.Map.EU.9", "DoVerb 1", "AttachMap", "SetupMap", "DeactivateMap", "CloseObject" }));
        // Not active: nothing to deactivate or show.
        map->FormDeactivate();
        map->ShowEntries();
        QCOMPARE(FLayer->Calls.size(), 6);
    }

    // 150 entries: pushpins for the first 100; the current one highlighted only among them.
    void pushpins_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("current");
        QTest::addColumn<int>("pushpins");
        QTest::addColumn<int>("highlighted"); // pushpin number, 0 = none
        QTest::newRow("current among the first 100") << 150 << 40 << 100 << 41;
        QTest::newRow("current beyond them") << 150 << 120 << 100 << 0;
        QTest::newRow("no current entry") << 3 << -1 << 3 << 0;
        QTest::newRow("no entries") << 0 << -1 << 0 << 0;
    }
    void pushpins()
    {
        QFETCH(int, entries);
        QFETCH(int, current);
        QFETCH(int, pushpins);
        QFETCH(int, highlighted);
        auto map = Window(entries, current);
        map->FormActivate();
        FLayer->Calls.clear();
        map->ShowEntries();
        const QStringList calls = FLayer->Calls;
        QCOMPARE(Starting(calls, QStringLiteral("AddPushpin ")).size(), pushpins);
        QCOMPARE(Starting(calls, QStringLiteral("MoveToDataSet")).size(), pushpins);
        QCOMPARE(Starting(calls, QStringLiteral("SetSymbol")).size(), pushpins);
        QCOMPARE(Starting(calls, QStringLiteral("SetSymbol ")).filter(QRegularExpression(QStringLiteral(" 11$"))).size(),
            highlighted ? 1 : 0);
        if (highlighted) {
            QCOMPARE(Starting(calls, QStringLiteral("SetHighlighted")), QStringList({ QStringLiteral("SetHighlighted %1 1").arg(highlighted) }));
            QVERIFY(calls.contains(QStringLiteral("SetSymbol %1 11").arg(highlighted)));
        } else {
            QCOMPARE(Starting(calls, QStringLiteral("SetHighlighted")), QStringList());
        }
        if (pushpins > 0) {
            // Each pushpin: at altitude 0 with the description, then symbol, then into the set.
            const int first = int(calls.indexOf(QStringLiteral("AddPushpin 1 0 0 P0")));
            QVERIFY(first >= 0);
            QCOMPARE(calls[first + 1], QStringLiteral("SetSymbol 1 %1").arg(current == 0 ? 11 : 9));
            QCOMPARE(calls[first + 2], QStringLiteral("MoveToDataSet 1 1"));
        }
        // Centring first, on the current entry only.
        QCOMPARE(calls.first().startsWith(QStringLiteral("GoTo")), current >= 0 && current < entries);
    }

    // Showing twice leaves one "Tarvell" set: the first one of that name is deleted first.
    void oneTarvellSet()
    {
        auto map = Window(2, 0);
        map->FormActivate();
        FLayer->Sets = { "Shops", "Tarvell", "Fuel", "Tarvell" };
        map->ShowEntries();
        QCOMPARE(FLayer->Sets, QStringList({ "Shops", "Fuel", "Tarvell", "Tarvell" }));
        QCOMPARE(Starting(FLayer->Calls, QStringLiteral("DeleteDataSet")), QStringList({ "DeleteDataSet 2" }));
        FLayer->Sets = { "Shops" };
        map->ShowEntries();
        map->ShowEntries();
        QCOMPARE(FLayer->Sets, QStringList({ "Shops", "Tarvell" }));
    }

    // Altitude 10 on the first centring after each activation, 0 afterwards.
    void firstCentringAltitude()
    {
        auto map = Window(3, 1);
        map->FormActivate();
        map->ShowCurrentEntry();
        map->ShowCurrentEntry();
        map->ShowEntries();
        map->FormDeactivate();
        map->FormActivate();
        map->ShowEntries();
        QCOMPARE(Starting(FLayer->Calls, QStringLiteral("GoTo")),
            QStringList({ "GoTo 2 1 10", "GoTo 2 1 0", "GoTo 2 1 0", "GoTo 2 1 10" }));
    }

    // A failing call ends the operation with its error.
    void failingCallsPropagate_data()
    {
        QTest::addColumn<QString>("failOn");
        QTest::addColumn<bool>("duringActivation");
        QTest::newRow("creating the object") << "CreateObject" << true;
        QTest::newRow("the verb") << "DoVerb" << true;
        QTest::newRow("adding a pushpin") << "AddPushpin" << false;
    }
    void failingCallsPropagate()
    {
        QFETCH(QString, failOn);
        QFETCH(bool, duringActivation);
        auto map = Window(3, 1);
        FLayer->FailOn = failOn;
        try {
            map->FormActivate();
            QVERIFY(!duringActivation);
            map->ShowEntries();
            QFAIL("no error");
        } catch (const EUserError& e) {
            // Creating the object is the one failure worded for the user.
            QCOMPARE(failOn, QStringLiteral("CreateObject"));
            QVERIFY(e.Message().startsWith(QStringLiteral("MapPoint application or version not found")));
        } catch (const ETarvellError& e) {
            QCOMPARE(e.Message(), QStringLiteral("call failed"));
        }
        QCOMPARE(FLayer->Calls.last().startsWith(failOn), true);
    }

    // Without a back end (the production layer) activation gives the set-up message.
    void productionLayerSaysTheApplicationIsMissing()
    {
        SetMapPointLayerFactory(nullptr);
        TfmMapPointEmbed map(FSource);
        try {
            map.FormActivate();
            QFAIL("no error");
        } catch (const EUserError& e) {
            QCOMPARE(e.Message(), QStringLiteral("MapPoint application or version not found. Setup your MapPoint version in "
                                                 "the General tab section of the preferences dialog"));
        }
        map.FormDeactivate();
        InstallFake();
    }
};

TARVELL_QTEST_MAIN(TestMapPointEmbed)
#include "tst_fMapPointEmbed.moc"
