// The system information window: the composed text with the settings, the thread-list option
// restored whatever happens, save with CR LF lines, print, and the window from its action.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fMain.h"
#include "app/windows/fSysInfo.h"
#include "core/uLocations.h"
#include "core/uSettings.h"
#include "crashreport/logic/VostExcept.h"
#include "crashreport/windows/VostProgressPopup.h"
#include "crashreport/logic/VostThreads.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <thread>

// Test-only access to the window's widgets, which it keeps private.
class TfmSysInfoTestAccess {
public:
    explicit TfmSysInfoTestAccess(const TfmSysInfo& form) : F(form) {}
    QPlainTextEdit* Memo1() const { return F.Memo1; }
    QAction* acSave() const { return F.acSave; }
    QAction* acPrint() const { return F.acPrint; }
    QWidget* paBottom() const { return F.paBottom; }
    QPushButton* buTerug() const { return F.buTerug; }

private:
    const TfmSysInfo& F;
};

namespace {

class TFakeReportSource : public TReportSource {
public:
    bool ThreadList = true;
    bool ThreadListWhileComposing = true;
    bool Throw = false;
    QStringList Printed;
    bool ThreadListOption() const override { return ThreadList; }
    void SetThreadListOption(bool on) override { ThreadList = on; }
    QString ComposeBugReport() override
    {
        ThreadListWhileComposing = ThreadList;
        if (Throw)
            throw std::runtime_error("composer failed");
        return QStringLiteral("date/time : now\r\nthread list: %1").arg(ThreadList ? QStringLiteral("all") : QStringLiteral("own"));
    }
    void PrintReportText(const QString& text, QWidget*) override { Printed << text; }
};

} // namespace

class TestSysInfo : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestHome(); }
    void init()
    {
        ResetSettingsForTests();
        QFile::remove(SettingsStoreFileName());
        auto store = CreateSettingsStore();
        store->WriteString(QStringLiteral("Settings"), QStringLiteral("ProxyPassword"), QStringLiteral("hunter2"));
        store->WriteString(QStringLiteral("Settings"), QStringLiteral("Precision"), QStringLiteral("5"));
    }

    void composedWithoutOtherThreadsAndMaskedPasswords_data()
    {
        QTest::addColumn<bool>("option");
        QTest::newRow("option on") << true;
        QTest::newRow("option off") << false;
    }
    void composedWithoutOtherThreadsAndMaskedPasswords()
    {
        QFETCH(bool, option);
        TFakeReportSource source;
        source.ThreadList = option;
        TfmSysInfo info(source);
        const TfmSysInfoTestAccess a(info);
        QVERIFY(!source.ThreadListWhileComposing);
        QCOMPARE(source.ThreadList, option);
        const QString text = a.Memo1()->toPlainText();
        QVERIFY(text.startsWith(QStringLiteral("date/time : now\nthread list: own\n\n[Settings]\n")));
        QVERIFY(text.contains(QStringLiteral("ProxyPassword=********")));
        QVERIFY(text.contains(QStringLiteral("Precision=5")));
        QVERIFY(!text.contains(QStringLiteral("hunter2")));
    }

    void optionRestoredAfterAThrowingComposer()
    {
        TFakeReportSource source;
        source.Throw = true;
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, TfmSysInfo info(source));
        QVERIFY(source.ThreadList);
    }

    void saveWritesCrLfLinesAndPrintGetsTheText()
    {
        TScriptedPrompt prompt;
        TFakeReportSource source;
        TfmSysInfo info(source);
        const TfmSysInfoTestAccess a(info);
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("sysinfo.txt"));
        SaveBytesToFile(file, "old content");
        // Cancelled: nothing is written.
        a.acSave()->trigger();
        QCOMPARE(QString::fromStdString(LoadBytesFromFile(file)), QStringLiteral("old content"));
        QCOMPARE(prompt.SaveRequests.back().Title, QStringLiteral("Save system info..."));
        QCOMPARE(prompt.SaveRequests.back().NameFilters, QStringList { "Textfiles (*.txt)" });
        prompt.SaveAnswers = { { file, 1 } };
        a.acSave()->trigger();
        const QString saved = QString::fromStdString(LoadBytesFromFile(file));
        QVERIFY(saved.startsWith(QStringLiteral("date/time : now\r\nthread list: own\r\n\r\n[Settings]\r\n")));
        QVERIFY(saved.endsWith(QStringLiteral("\r\n")));
        QVERIFY(!saved.contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
        QCOMPARE(saved.count(QStringLiteral("\r\n")), a.Memo1()->toPlainText().count(QChar('\n')) + 1);

        a.acPrint()->trigger();
        QCOMPARE(source.Printed, QStringList { a.Memo1()->toPlainText() });
    }

    void okIsCentredAndClosesFromTheAction()
    {
        TdmMain data;
        TfmTarvellMainForm form(data);
        form.show();
        TModalCloser closer;
        bool seen = false;
        closer.During = [&](QWidget* modal) {
            auto* info = qobject_cast<TfmSysInfo*>(modal);
            QVERIFY(info);
            const TfmSysInfoTestAccess a(*info);
            seen = true;
            // The reporter's report of the running program, then the settings dump.
            QVERIFY(a.Memo1()->toPlainText().startsWith(QStringLiteral("date/time         : ")));
            QVERIFY(a.Memo1()->toPlainText().contains(QStringLiteral("\n\n[")));
            QVERIFY(a.Memo1()->toPlainText().contains(QStringLiteral("ProxyPassword=********")));
            info->resize(500, 400);
            QTRY_COMPARE(a.buTerug()->x(), (a.paBottom()->width() - a.buTerug()->width()) / 2);
            QTest::mouseClick(a.buTerug(), Qt::LeftButton);
            QVERIFY(!info->isVisible());
        };
        form.Action(TAction::acSysInfo)->trigger();
        QVERIFY(seen);
    }

    // The program's own source: the reporter's composer, and the other threads stay out even
    // when the reporter lists every thread.
    void programSourceLeavesOtherThreadsOut()
    {
        std::mutex lock;
        std::condition_variable wake;
        bool done = false;
        std::atomic<pid_t> worker {0};
        std::thread thread([&] {
            worker = CurrentThreadId();
            SetThreadName(worker, "sysinfo worker");
            std::unique_lock guard(lock);
            wake.wait(guard, [&] { return done; });
        });
        while (!worker)
            QThread::msleep(1);
        CrashReportSettings.ListAllThreads = true;
        const QString text = TfmSysInfo::ComposeText(ProgramReportSource());
        {
            const std::lock_guard guard(lock);
            done = true;
        }
        wake.notify_all();
        thread.join();
        QVERIFY(text.startsWith(QStringLiteral("date/time         : ")));
        QVERIFY(text.contains(QStringLiteral("\r\nVostExcept version: 2.7i")));
        QVERIFY2(!text.contains(QStringLiteral("sysinfo worker")), qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("thread $%1").arg(QString::number(worker.load(), 16))));
        QVERIFY(text.contains(QStringLiteral("hunter2")) == false);
        QVERIFY(CrashReportSettings.ListAllThreads);
    }

    // Composing in the GUI thread shows the tracing progress window there, and it is gone once
    // the text is composed.
    void composeShowsTheProgressPopup()
    {
        TProgressPopup* seen = nullptr;
        bool showing = false, visibleWhileComposing = false;
        const QString text = ComposeProgramReport([&](const TComposeRequest& request, std::string& report) {
            showing = request.Showing;
            seen = dynamic_cast<TProgressPopup*>(request.ProgressSink);
            QVERIFY(seen);
            QCOMPARE(request.CrashedThreadId, uint32_t(CurrentThreadId()));
            seen->Show(0);
            seen->Show(500);
            visibleWhileComposing = seen->isVisible() && seen->Percent() == 50;
            report = "date/time : now";
        });
        QCOMPARE(text, QStringLiteral("date/time : now"));
        QVERIFY(showing);
        QVERIFY(visibleWhileComposing);
        const auto popups = QApplication::topLevelWidgets();
        for (QWidget* widget : popups)
            QVERIFY(!qobject_cast<TProgressPopup*>(widget) || !widget->isVisible());
    }
};

TARVELL_QTEST_MAIN(TestSysInfo)
#include "tst_fSysInfo.moc"
