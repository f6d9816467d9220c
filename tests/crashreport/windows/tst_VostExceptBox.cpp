// The exception box driven as a user drives it: its buttons, Escape, the close box, the
// countdown on a fake clock, the report panel; the data a crashed process hands it; German texts.
#include "crashreport/windows/VostExceptBox.h"

#include "crashreport/logic/VostBugReport.h"
#include "support/QtWarningGuard.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTemporaryDir>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <csignal>
#include <map>
#include <utility>

namespace {

class TFakeTarget : public TBoxActionTarget {
public:
    TResult Run(TCrashAction action, const std::string& path) override
    {
        Actions.push_back(action);
        Paths.push_back(path);
        return Results.count(action) ? Results[action] : Done;
    }
    std::vector<TMailNote> TakeNotes() override { return std::exchange(Notes, {}); }
    std::vector<TMailNote> Notes;
    std::vector<TCrashAction> Actions;
    std::vector<std::string> Paths;
    std::map<TCrashAction, TResult> Results;
};

// The default configuration of the program: no mail button.
TBoxData DefaultData()
{
    TBoxData data;
    data.Title = "Tarvell";
    data.Text = "An error occurred in the application:\r\n\r\nAccess violation.";
    const char* captions[7] = { "", "Save bug report", "Print", "Show", "Continue", "Restart", "Close" };
    for (int i = 0; i < 7; ++i)
        data.Captions[i] = captions[i];
    data.DefaultButton = caShow;
    data.SaveFileName = "bugreport.txt";
    data.SaveFolder = "/data";
    data.SaveDialogTitle = "Save bug report";
    data.Report = "date/time         : 2026-12-10, 20:00:00, 1ms\r\nexception class   : EAccessViolation";
    return data;
}

QString Presence(const TExceptionBox& box)
{
    QString text;
    for (int i = 0; i < 7; ++i)
        text += box.Button(i) ? (box.Button(i)->isEnabled() ? QChar('1') : QChar('d')) : QChar('-');
    return text;
}

} // namespace

class TestExceptionBox : public QObject {
    Q_OBJECT
private slots:
    void captionsGiveButtonsAndLayout_data()
    {
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<bool>("canContinue");
        QTest::addColumn<bool>("showAtOnce");
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<bool>("stacked");
        QTest::addColumn<bool>("panel");
        const QStringList all { "", "Save bug report", "Print", "Show", "Continue", "Restart", "Close" };
        QTest::newRow("default: right group stacked") << all << true << false << "-111111" << true << true;
        QTest::newRow("with mail") << QStringList { "Mail", "Save", "Print", "Show", "Continue", "Restart", "Close" }
                                   << true << false << "1111111" << true << true;
        QTest::newRow("one right button: one row")
            << QStringList { "", "", "", "Show", "Continue", "", "" } << true << false << "---11--" << false << true;
        QTest::newRow("only the right group: one row, no panel") << QStringList { "", "", "", "", "Continue", "Restart",
            "Close" } << true << false << "----111" << false << false;
        QTest::newRow("cannot continue: continue disabled") << all << false << false << "-111d11" << true << true;
        QTest::newRow("cannot continue, nothing else: continue stays")
            << QStringList { "", "", "", "Show", "Continue", "", "" } << false << false << "---11--" << false << true;
        QTest::newRow("report at once: no show button")
            << QStringList { "", "Save bug report", "Print", "", "Continue", "Restart", "Close" } << true << true
            << "-11-111" << true << true;
    }
    void captionsGiveButtonsAndLayout()
    {
        QFETCH(QStringList, captions);
        QFETCH(bool, canContinue);
        QFETCH(bool, showAtOnce);
        QFETCH(QString, buttons);
        QFETCH(bool, stacked);
        QFETCH(bool, panel);
        TBoxData data = DefaultData();
        for (int i = 0; i < 7; ++i)
            data.Captions[i] = captions[i].toStdString();
        data.CanContinue = canContinue;
        data.ShowReportAtOnce = showAtOnce;
        TFakeTarget target;
        TExceptionBox box(data, target);
        box.show();
        QCOMPARE(Presence(box), buttons);
        QCOMPARE(box.ReportEdit() != nullptr, panel);
        QCOMPARE(box.ReportShown(), showAtOnce);
        QVERIFY(box.width() >= BoxMinWidth);
        QCOMPARE(box.windowTitle(), QStringLiteral("Tarvell"));
        QRect all;
        int columnWidth = 0;
        for (int i = caContinue; i <= caClose; ++i)
            if (box.Button(i))
                columnWidth = std::max(columnWidth, box.fontMetrics().horizontalAdvance(box.Button(i)->text()) + 35);
        for (int i = 0; i < 7; ++i) {
            TBoxButton* button = box.Button(i);
            if (!button)
                continue;
            QCOMPARE(button->height(), 22);
            // Caption plus 35; the stacked column takes the widest of its buttons.
            QCOMPARE(button->width(),
                stacked && i >= caContinue ? columnWidth : box.fontMetrics().horizontalAdvance(button->text()) + 35);
            // Inside the window, below the text, and never on another button.
            QVERIFY(button->geometry().right() < box.width() && button->x() >= 6);
            QVERIFY(!button->geometry().intersects(box.TextLabel()->geometry()));
            for (int j = 0; j < i; ++j)
                if (box.Button(j))
                    QVERIFY(!button->geometry().intersects(box.Button(j)->geometry()));
            all |= button->geometry();
        }
        const int right = all.right() + 1;
        int rightGroupEnd = 0;
        for (int i = caContinue; i <= caClose; ++i)
            if (box.Button(i))
                rightGroupEnd = std::max(rightGroupEnd, box.Button(i)->geometry().right() + 1);
        if (rightGroupEnd)
            QCOMPARE(rightGroupEnd, box.width() - 8);
        QVERIFY(right <= box.width());
        if (stacked) {
            // One column of equal width, 26 pixels apart; the left group on its last row.
            std::vector<QRect> column;
            for (int i = caContinue; i <= caClose; ++i)
                if (box.Button(i))
                    column.push_back(box.Button(i)->geometry());
            for (size_t r = 1; r < column.size(); ++r) {
                QCOMPARE(column[r].width(), column[0].width());
                QCOMPARE(column[r].x(), column[0].x());
                QCOMPARE(column[r].y() - column[r - 1].y(), 26);
            }
            for (int i = caMail; i <= caShow; ++i)
                if (box.Button(i))
                    QCOMPARE(box.Button(i)->y(), column.back().y());
        } else {
            int y = -1;
            for (int i = 0; i < 7; ++i)
                if (box.Button(i)) {
                    if (y >= 0)
                        QCOMPARE(box.Button(i)->y(), y);
                    y = box.Button(i)->y();
                }
        }
    }

    void defaultButton_data()
    {
        QTest::addColumn<bool>("closeRule");
        QTest::addColumn<bool>("restartRule");
        QTest::addColumn<bool>("autoContinue");
        QTest::addColumn<bool>("canContinue");
        QTest::addColumn<int>("expected");
        QTest::addColumn<int>("countdown");
        QTest::newRow("configured show") << false << false << false << true << int(caShow) << -1;
        QTest::newRow("close rule") << true << true << true << true << int(caClose) << int(caClose);
        QTest::newRow("restart rule") << false << true << true << true << int(caRestart) << int(caRestart);
        QTest::newRow("auto continue") << false << false << true << true << int(caContinue) << int(caContinue);
        QTest::newRow("auto continue, cannot") << false << false << true << false << int(caShow) << -1;
    }
    void defaultButton()
    {
        QFETCH(bool, closeRule);
        QFETCH(bool, restartRule);
        QFETCH(bool, autoContinue);
        QFETCH(bool, canContinue);
        QFETCH(int, expected);
        QFETCH(int, countdown);
        TBoxData data = DefaultData();
        data.CanContinue = canContinue;
        ChooseDefaultButton(data.Captions, closeRule, restartRule, autoContinue, canContinue, caShow,
            data.DefaultButton, data.CountdownButton);
        QCOMPARE(int(data.DefaultButton), expected);
        QCOMPARE(data.CountdownButton, countdown);
        data.AutoActionDelay = 0;
        TFakeTarget target;
        TExceptionBox box(data, target);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box) || true);
        QVERIFY(box.Button(expected)->isDefault());
        QCOMPARE(box.focusWidget(), box.Button(expected));
        // Enter presses the focused button.
        QTest::keyClick(box.Button(expected), Qt::Key_Space);
        QVERIFY(!target.Actions.empty());
        QCOMPARE(int(target.Actions.front()), expected);
    }

    // Escape and the window's close box both take the close-request rule.
    void closeRequest_data()
    {
        QTest::addColumn<int>("defaultButton");
        QTest::addColumn<bool>("canContinue");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<int>("final");
        const QStringList all { "", "Save bug report", "Print", "Show", "Continue", "Restart", "Close" };
        QTest::newRow("default show, can continue") << int(caShow) << true << all << int(caContinue);
        QTest::newRow("default restart") << int(caRestart) << true << all << int(caRestart);
        QTest::newRow("default close") << int(caClose) << true << all << int(caClose);
        QTest::newRow("cannot continue") << int(caShow) << false << all << int(caClose);
        QTest::newRow("cannot continue, no close")
            << int(caShow) << false << QStringList { "", "Save", "", "Show", "Continue", "Restart", "" }
            << int(caRestart);
        QTest::newRow("cannot continue, nothing offered")
            << int(caShow) << false << QStringList { "", "", "", "Show", "", "", "" } << int(caClose);
    }
    void closeRequest()
    {
        QFETCH(int, defaultButton);
        QFETCH(bool, canContinue);
        QFETCH(QStringList, captions);
        QFETCH(int, final);
        for (const bool escape : { true, false }) {
            TBoxData data = DefaultData();
            for (int i = 0; i < 7; ++i)
                data.Captions[i] = captions[i].toStdString();
            data.DefaultButton = static_cast<uint32_t>(defaultButton);
            data.CanContinue = canContinue;
            TFakeTarget target;
            TExceptionBox box(data, target);
            box.show();
            if (escape)
                QTest::keyClick(&box, Qt::Key_Escape);
            else
                box.close();
            QVERIFY(box.isHidden());
            QCOMPARE(int(box.FinalAction()), final);
            if (box.Button(final))
                QCOMPARE(target.Actions, std::vector<TCrashAction> { static_cast<TCrashAction>(final) });
        }
    }

    void showGrowsByThePanel()
    {
        TBoxData data = DefaultData();
        data.CopyReportToClipboard = true;
        TFakeTarget target;
        TExceptionBox box(data, target);
        box.show();
        const QSize before = box.size();
        QVERIFY(!box.ReportShown());
        QTest::mouseClick(box.Button(caShow), Qt::LeftButton);
        QCOMPARE(box.height(), before.height() + 403);
        QCOMPARE(box.width(), before.width());
        QVERIFY(box.ReportShown());
        QVERIFY(!box.Button(caShow));
        QVERIFY(box.ReportEdit()->isReadOnly());
        QCOMPARE(box.ReportEdit()->toPlainText(), QString::fromStdString(data.Report).replace("\r\n", "\n"));
        QCOMPARE(target.Actions, std::vector<TCrashAction> { caShow });
        QVERIFY(box.isVisible());
    }

    // A screen of 1366 x 768: the box grows to the screen's bottom, not past it, moves up when
    // it has to, and the report scrolls in the shorter panel.
    void showGrowsWithinTheScreen()
    {
        TBoxData data = DefaultData();
        for (int i = 0; i < 200; ++i)
            data.Report += "\r\nline " + std::to_string(i);
        TFakeTarget target;
        TExceptionBox box(data, target);
        const QRect area(0, 0, 1366, box.height() + 300);
        box.AvailableArea = [&] { return area; };
        box.show();
        box.move(box.x(), 150);
        QTest::mouseClick(box.Button(caShow), Qt::LeftButton);
        QVERIFY(box.ReportShown());
        QVERIFY2(area.contains(box.frameGeometry()), "the box stays on the screen");
        QCOMPARE(box.frameGeometry().bottom(), area.bottom());
        QVERIFY(box.ReportEdit()->verticalScrollBar()->maximum() > 0);
    }

    void countdownOnAFakeClock()
    {
        qint64 now = 5000;
        TBoxData data = DefaultData();
        data.AutoActionDelay = 60;
        ChooseDefaultButton(data.Captions, false, true, false, true, caShow, data.DefaultButton, data.CountdownButton);
        TFakeTarget target;
        TExceptionBox box(data, target);
        box.Clock = [&now] { return now; };
        box.show();
        QVERIFY(box.CountdownTimer()->isActive());
        TBoxButton* restart = box.Button(caRestart);
        QVERIFY(restart->isDefault());
        now += 30000;
        box.Tick();
        QVERIFY(target.Actions.empty());
        // Half the time: half the button filled.
        QVERIFY(qAbs(restart->Progress - restart->width() / 2) <= 1);
        now += 29000;
        box.Tick();
        QVERIFY(target.Actions.empty());
        now += 1500;
        box.Tick();
        QCOMPARE(target.Actions, std::vector<TCrashAction> { caRestart });
        QCOMPARE(box.FinalAction(), caRestart);
        QVERIFY(box.isHidden());
    }

    void noCountdownAtDelayZero()
    {
        TBoxData data = DefaultData();
        data.AutoActionDelay = 0;
        ChooseDefaultButton(data.Captions, false, true, false, true, caShow, data.DefaultButton, data.CountdownButton);
        TFakeTarget target;
        TExceptionBox box(data, target);
        box.show();
        QVERIFY(!box.CountdownTimer()->isActive());
        QTest::qWait(50);
        QVERIFY(target.Actions.empty());
        QVERIFY(box.isVisible());
    }

    void aClickStopsTheCountdown()
    {
        TBoxData data = DefaultData();
        ChooseDefaultButton(data.Captions, true, false, false, true, caShow, data.DefaultButton, data.CountdownButton);
        TFakeTarget target;
        TExceptionBox box(data, target);
        box.show();
        QVERIFY(box.CountdownTimer()->isActive());
        QTest::mouseClick(box.Button(caShow), Qt::LeftButton);
        QVERIFY(!box.CountdownTimer()->isActive());
        QCOMPARE(box.Button(caClose)->Progress, 0);
    }

    void save_data()
    {
        QTest::addColumn<bool>("absolute");
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("sentPath");
        QTest::addColumn<bool>("buttonStays");
        QTest::newRow("relative: dialog, saved")
            << false << "/home/u/report.txt" << int(TBoxActionTarget::Done) << "/home/u/report.txt" << true;
        QTest::newRow("relative: dialog cancelled") << false << "" << int(TBoxActionTarget::Done) << "" << true;
        QTest::newRow("absolute: no dialog, button goes")
            << true << "" << int(TBoxActionTarget::Done) << "/var/log/Tarvell.txt" << false;
        QTest::newRow("absolute: failed, button stays")
            << true << "" << int(TBoxActionTarget::Failed) << "/var/log/Tarvell.txt" << true;
    }
    void save()
    {
        QFETCH(bool, absolute);
        QFETCH(QString, chosen);
        QFETCH(int, result);
        QFETCH(QString, sentPath);
        QFETCH(bool, buttonStays);
        TBoxData data = DefaultData();
        if (absolute) {
            data.SaveFileName = "/var/log/Tarvell.txt";
            data.SaveFileAbsolute = true;
        }
        data.SaveFailedText = "Not saved to %1.";
        TFakeTarget target;
        target.Results[caSave] = static_cast<TBoxActionTarget::TResult>(result);
        TExceptionBox box(data, target);
        QStringList failures;
        box.ShowSaveFailure = [&](const QString& text) { failures << text; };
        QStringList asked;
        box.AskSavePath = [&](const QString& folder, const QString& name, const QString& title) {
            asked << folder << name << title;
            return chosen;
        };
        box.show();
        QTest::mouseClick(box.Button(caSave), Qt::LeftButton);
        QCOMPARE(asked, absolute ? QStringList() : QStringList({ "/data", "bugreport.txt", "Save bug report" }));
        if (sentPath.isEmpty())
            QVERIFY(target.Actions.empty());
        else
            QCOMPARE(target.Paths, std::vector<std::string> { sentPath.toStdString() });
        QCOMPARE(box.Button(caSave) != nullptr, buttonStays);
        // A save that failed (a full disk, a file-size limit) says so.
        QCOMPARE(failures, result == int(TBoxActionTarget::Failed) ? QStringList { "Not saved to " + sentPath + "." }
                                                                    : QStringList());
        QVERIFY(box.isVisible());
    }

    // The save dialog itself, on a file that exists: the report is appended, so the dialog takes
    // the name without asking whether to replace the file.
    void saveDialogAsksNoOverwriteQuestion()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        const QString existing = folder.path() + QStringLiteral("/bugreport.txt");
        {
            QFile file(existing);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("date/time         : earlier\r\n\r\n");
        }
        TBoxData data = DefaultData();
        data.SaveFolder = folder.path().toStdString();
        TFakeTarget target;
        TExceptionBox box(data, target);
        box.show();
        QStringList seen;
        bool optionSet = false;
        // The dialog runs its own loop; each modal window is answered as it comes up.
        QTimer answer;
        connect(&answer, &QTimer::timeout, this, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* question = qobject_cast<QMessageBox*>(modal)) {
                seen << question->text();
                question->reject();
            } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
                optionSet = dialog->testOption(QFileDialog::DontConfirmOverwrite);
                if (seen.isEmpty())
                    QTest::keyClick(dialog, Qt::Key_Return);
                else
                    dialog->reject();
            }
        });
        answer.start(50);
        QTest::mouseClick(box.Button(caSave), Qt::LeftButton);
        answer.stop();
        QVERIFY(optionSet);
        QCOMPARE(seen, QStringList());
        QCOMPARE(target.Actions, std::vector<TCrashAction> { caSave });
        QCOMPARE(target.Paths, std::vector<std::string> { existing.toStdString() });
    }

    void print_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("printed");
        QTest::newRow("printed in the helper") << int(TBoxActionTarget::Done) << true;
        QTest::newRow("a handler took it") << int(TBoxActionTarget::Handled) << false;
    }
    void print()
    {
        QFETCH(int, result);
        QFETCH(bool, printed);
        TBoxData data = DefaultData();
        TFakeTarget target;
        target.Results[caPrint] = static_cast<TBoxActionTarget::TResult>(result);
        TExceptionBox box(data, target);
        QString text;
        box.PrintText = [&text](const QString& report) {
            text = report;
            return true;
        };
        box.show();
        QTest::mouseClick(box.Button(caPrint), Qt::LeftButton);
        QCOMPARE(text, printed ? QString::fromStdString(data.Report) : QString());
        QVERIFY(box.isVisible());
    }

    void mailNotAvailableSaysSo()
    {
        TBoxData data = DefaultData();
        data.Captions[caMail] = "Mail";
        data.MailUnavailableText = "not available";
        TFakeTarget target;
        target.Results[caMail] = TBoxActionTarget::NotAvailable;
        TExceptionBox box(data, target);
        box.show();
        QString seen;
        QTimer::singleShot(0, [&seen] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* message = qobject_cast<QMessageBox*>(widget); message && message->isVisible()) {
                    seen = message->text();
                    message->accept();
                }
        });
        QTest::mouseClick(box.Button(caMail), Qt::LeftButton);
        QCOMPARE(seen, QStringLiteral("not available"));
        QVERIFY(box.isVisible());
    }

    // What mailing tells the user comes from the crashed side and is shown by the box.
    void mailOutcomeIsShown()
    {
        TBoxData data = DefaultData();
        data.Captions[caMail] = "Mail";
        TFakeTarget target;
        target.Notes = DecodeMailNotes(EncodeMailNote({ false, "Tarvell", "The mail was sent successfully." }));
        QCOMPARE(target.Notes.size(), size_t(1));
        TExceptionBox box(data, target);
        box.show();
        QString seen;
        QTimer::singleShot(0, [&seen] {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* message = qobject_cast<QMessageBox*>(widget); message && message->isVisible()) {
                    seen = message->windowTitle() + ": " + message->text();
                    message->accept();
                }
        });
        QTest::mouseClick(box.Button(caMail), Qt::LeftButton);
        QCOMPARE(seen, QStringLiteral("Tarvell: The mail was sent successfully."));
        QCOMPARE(target.Actions, std::vector<TCrashAction> { caMail });
        QVERIFY(box.isVisible());
        // Notes that do not parse are dropped, never read beyond their end.
        for (const std::string& bad :
            { std::string("E"), std::string("I\xff\xff\xff\x7f"), EncodeMailNote({ true, "a", "b" }).substr(0, 8) })
            QVERIFY(DecodeMailNotes(bad).empty());
    }

    void boxDataTravelsWhole()
    {
        TBoxData data = DefaultData();
        data.CountdownButton = caClose;
        data.Frozen = true;
        data.Report = std::string("with\0zero", 9);
        const std::string bytes = EncodeBoxData(data);
        TBoxData back;
        QVERIFY(DecodeBoxData(bytes, back));
        QCOMPARE(EncodeBoxData(back), bytes);
        // Cut or grown by one byte, or with a count beyond the bytes: refused whole.
        for (const std::string& bad :
            { bytes.substr(0, bytes.size() - 1), bytes + "x", std::string(4, '\xff') + bytes.substr(4) })
            QVERIFY(!DecodeBoxData(bad, back));
    }

    void germanTexts()
    {
        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(TARVELL_DE_QM)));
        QCoreApplication::installTranslator(&translator);
        TPresentRequest request;
        ReportedException object("EAccessViolation", "Zugriffsverletzung");
        request.ExceptObject = &object;
        request.CanContinue = true;
        request.BugReport = "date/time";
        const TBoxData data = MakeBoxData(request);
        // The texts of signals too.
        TSignalFacts facts;
        facts.Signal = SIGSEGV;
        facts.Code = SI_USER;
        facts.SenderPid = 4321;
        const std::string external = ClassifySignal(facts).Message;
        facts.Signal = SIGFPE;
        facts.Code = FPE_INTDIV;
        const std::string division = ClassifySignal(facts).Message;
        QCoreApplication::removeTranslator(&translator);
        QCOMPARE(QString::fromStdString(external), QStringLiteral("Externes Signal SIGSEGV von Prozess 4321"));
        QCOMPARE(QString::fromStdString(division), QStringLiteral("Division durch Null"));
        QCOMPARE(QString::fromStdString(data.Captions[caSave]), QStringLiteral("Fehlerbericht speichern"));
        QCOMPARE(QString::fromStdString(data.Captions[caContinue]), QStringLiteral("Fortsetzen"));
        QCOMPARE(QString::fromStdString(data.Captions[caClose]), QStringLiteral("Schließen"));
        QVERIFY(QString::fromStdString(data.Text).startsWith(
            QStringLiteral("In der Anwendung ist ein Fehler aufgetreten:")));
        QVERIFY(QString::fromStdString(data.Text).endsWith(QStringLiteral("Zugriffsverletzung.")));
        // The box's process loads Qt's own German for its save and print dialogs.
        QCOMPARE(QString::fromStdString(data.Language), QStringLiteral("de"));
        QCOMPARE(QString::fromStdString(data.SaveFailedText),
            QStringLiteral("Der Fehlerbericht konnte nicht in %1 gespeichert werden."));
        TFakeTarget target;
        TExceptionBox box(data, target);
        box.show();
        QCOMPARE(box.Button(caSave)->text(), QStringLiteral("Fehlerbericht speichern"));
    }

    // Under Xvfb: the box after Show with a real report, in English and in German.
    void pictures()
    {
        if (!qEnvironmentVariableIsSet("TARVELL_ARTIFACTS_RUN"))
            QSKIP("pictures are taken on the Xvfb run");
        for (const bool german : { false, true }) {
            QTranslator translator;
            if (german) {
                QVERIFY(translator.load(QStringLiteral(TARVELL_DE_QM)));
                QCoreApplication::installTranslator(&translator);
            }
            if (const QScreen* screen = QGuiApplication::primaryScreen())
                SetReportDisplayMode(screen->geometry().width(), screen->geometry().height(), screen->depth());
            ReportedException object(
                "EAccessViolation", "Access violation at address $0000000000401000. Read of address $0000000000000000");
            TComposeRequest compose;
            compose.ExceptObject = &object;
            TPresentRequest request;
            request.ExceptObject = &object;
            request.CanContinue = false;
            ComposeBugReport(compose, request.BugReport);
            const TBoxData data = MakeBoxData(request);
            if (german)
                QCoreApplication::removeTranslator(&translator);
            TFakeTarget target;
            TExceptionBox box(data, target);
            box.show();
            QVERIFY(QTest::qWaitForWindowExposed(&box));
            QTest::mouseClick(box.Button(caShow), Qt::LeftButton);
            QTest::qWait(200);
            QDir().mkpath(QStringLiteral(TARVELL_ARTIFACTS));
            const QString name = german ? QStringLiteral("exception-box-de.png") : QStringLiteral("exception-box.png");
            QVERIFY(box.grab().save(QStringLiteral(TARVELL_ARTIFACTS "/") + name));
            box.close();
        }
    }
};

TARVELL_QTEST_MAIN(TestExceptionBox)
#include "tst_VostExceptBox.moc"
