// Message boxes, the question interface, the command guard and the window helpers.
#include "AppTestSupport.h"

#include "app/windowbase/uDialogs.h"
#include "core/uLocations.h"
#include "core/uSettingsStore.h"
#include "app/windowbase/uTarvellForm.h"
#include "core/uGeneral.h"
#include "formats/uConvertBase.h"
#include "ui/AdvGlowButton.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QStringListModel>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>

namespace {

class TDummyExporter : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("ttov2"); }
    void Convert(TEntries&, TMemoryStream&) override { }
};
class TDummyGpxExporter : public TConvertToBase {
public:
    QString FormatID() const override { return QStringLiteral("gengpx"); }
    void Convert(TEntries&, TMemoryStream&) override { }
};

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestHome(); }

    void boxesCarryTitleTypeAndAnswer()
    {
        TScriptedPrompt prompt;
        prompt.Answers = { IDYES, IDNO, IDCANCEL, IDYES };
        QCOMPARE(AskYesNo(nullptr, "Overwrite?"), IDYES);
        QCOMPARE(YesNo("Really?"), false);
        QCOMPARE(AskYesNoCancel(nullptr, "Save?"), IDCANCEL);
        ShowInfo(nullptr, "Done");
        ShowWarning(nullptr, "Careful");
        const std::vector<unsigned> types { 0x24, 0x24, 0x23, 0x40, 0x30 };
        QCOMPARE(prompt.Boxes.size(), types.size());
        for (size_t i = 0; i < types.size(); ++i) {
            QCOMPARE(prompt.Boxes[i].Type, types[i]);
            QCOMPARE(prompt.Boxes[i].Caption, QStringLiteral("Tarvell"));
        }
        QCOMPARE(prompt.Boxes[2].Text, QStringLiteral("Save?"));
    }

    void ownerIsTheActiveFormUnlessHidden()
    {
        QWidget active;
        active.show();
        active.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&active));
        QWidget hidden;
        QCOMPARE(MessageBoxOwner(&hidden), &active);
        QCOMPARE(MessageBoxOwner(&active), &active);
        QWidget inactive;
        inactive.show();
        QCOMPARE(MessageBoxOwner(&inactive), QApplication::activeWindow());
        QCOMPARE(MessageBoxOwner(nullptr), QApplication::activeWindow());
        TScriptedPrompt prompt;
        ShowInfo(&hidden, "x");
        QCOMPARE(prompt.Boxes[0].Owner, QApplication::activeWindow());
    }

    void checkBoxDialog()
    {
        TScriptedPrompt prompt;
        prompt.Answers = { IDYES, IDNO };
        bool ticked = false;
        QVERIFY(YesNoWithCheckBox("Go on?", ticked));
        QCOMPARE(ticked, true); // the scripted user ticked it
        QVERIFY(!YesNoWithCheckBox("Go on?", ticked, "Always"));
        QCOMPARE(prompt.CheckCaptions, (QStringList { "Deze melding niet meer tonen", "Always" }));
    }

    // Site texts reach the real boxes: markup in them is shown as the characters it is.
    void realBoxesShowPlainText()
    {
        const QString text = QStringLiteral("<b>Fuel</b> &amp; <a href='x'>link</a>");
        QStringList shown;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            shown << box->text();
            box->done(QMessageBox::Yes);
        });
        TDialogPrompt dialogs;
        QCOMPARE(dialogs.MessageBox(nullptr, text, QStringLiteral("Tarvell"), MB_YESNO), IDYES);
        bool ticked = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            shown << box->text();
            box->done(QMessageBox::No);
        });
        QCOMPARE(dialogs.MessageDlgWithCheckBox(text, ticked, TMsgDlgType::mtConfirmation, QStringLiteral("c"), mbYes | mbNo),
            IDNO);
        QCOMPARE(shown, QStringList({ text, text }));
    }

    // The Find box and the other text questions: a POI text in the prompt stays plain, the whole
    // title fits, typing and Return answer, Escape cancels.
    void inputQueryShowsPlainTextAndItsWholeTitle()
    {
        const QString title = QStringLiteral("Find items in every list of this window");
        const QString prompt = QStringLiteral("<b>Zoo</b> &amp;");
        bool checked = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QCOMPARE(dialog->windowTitle(), title);
            auto* label = dialog->findChild<QLabel*>();
            QVERIFY(label);
            QCOMPARE(label->textFormat(), Qt::PlainText);
            QCOMPARE(label->text(), prompt);
            QFont bold = dialog->font();
            bold.setBold(true);
            const int titleWidth = QFontMetrics(bold).horizontalAdvance(title);
            auto* edit = dialog->findChild<QLineEdit*>();
            if (!edit || dialog->width() < titleWidth + 100) {
                dialog->reject();
                QFAIL(qPrintable(QStringLiteral("width %1 for a title of %2").arg(dialog->width()).arg(titleWidth)));
            }
            QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(edit, QStringLiteral("Zoo"));
            checked = true;
            QTest::keyClick(edit, Qt::Key_Return);
        });
        TDialogPrompt dialogs;
        QString value = QStringLiteral("old");
        QVERIFY(dialogs.InputQuery(nullptr, title, prompt, value));
        QVERIFY(checked);
        QCOMPARE(value, QStringLiteral("Zoo"));
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            QTest::keyClick(dialog->findChild<QLineEdit*>(), Qt::Key_Escape);
        });
        QVERIFY(!dialogs.InputQuery(nullptr, title, prompt, value));
        QCOMPARE(value, QStringLiteral("Zoo"));
    }

    void webPageAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("opened");
        QTest::newRow("http") << "http://pois.example/info" << true;
        QTest::newRow("https, blanks") << "  HTTPS://pois.example/a?b=1 " << true;
        QTest::newRow("file") << "file:///etc/passwd" << false;
        QTest::newRow("program") << "/usr/bin/xterm" << false;
        QTest::newRow("javascript") << "javascript:alert(1)" << false;
        QTest::newRow("no host") << "http://" << false;
        QTest::newRow("empty") << "" << false;
    }

    void webPageAddresses()
    {
        QFETCH(QString, address);
        QFETCH(bool, opened);
        QCOMPARE(IsWebPageAddress(address), opened);
    }

    // User errors become warnings with one final "."; every other exception goes to the crash
    // reporter and the program goes on.
    void commandGuardShowsErrors()
    {
        TScriptedPrompt prompt;
        TReporterRecorder reporter;
        RunCommand(nullptr, [] { throw EUserError("No search string entered"); });
        RunCommand(nullptr, [] { throw EUserError("The file is read-only."); });
        RunCommand(nullptr, [] { throw EInOutError("Cannot create file /x"); });
        RunCommand(nullptr, [] { throw EStoreError("Unable to write the settings file /ro/Tarvell.ini: denied"); });
        RunCommand(nullptr, [] { throw EConvertError("'x' is not a valid integer value"); });
        RunCommand(nullptr, [] { throw std::runtime_error("boom"); });
        RunCommand(nullptr, [] {});
        QCOMPARE(prompt.Boxes.size(), size_t(4));
        QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("No search string entered."));
        QCOMPARE(prompt.Boxes[0].Type, 0x30u);
        QCOMPARE(prompt.Boxes[1].Text, QStringLiteral("The file is read-only."));
        QCOMPARE(prompt.Boxes[2].Text, QStringLiteral("Cannot create file /x."));
        QCOMPARE(prompt.Boxes[3].Text, QStringLiteral("Unable to write the settings file /ro/Tarvell.ini: denied."));
        const auto& reported = TReporterRecorder::Records();
        QCOMPARE(reported.size(), size_t(2));
        QCOMPARE(reported[0].first, std::string("EConvertError"));
        QCOMPARE(reported[0].second, std::string("'x' is not a valid integer value"));
        QCOMPARE(reported[1].first, std::string("std::runtime_error"));
        QCOMPARE(reported[1].second, std::string("boom"));
    }

    // A glow button's click that throws reaches the command display like any command.
    void clickErrorsGoToTheCommandDisplay()
    {
        TScriptedPrompt prompt;
        InstallClickErrorDisplay();
        TAdvGlowButton button;
        button.OnClick = [](TAdvCustomGlowButton*) { throw EUserError("No site selected"); };
        button.Click();
        TAdvCustomGlowButton::SetClickErrorHandler(nullptr);
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("No site selected."));
    }

    // Escape in a dialog clicks its Cancel glow button (its handler, then its modal result);
    // without an enabled one, and when the window is closed, the dialog is rejected unclicked.
    void escapeClicksTheCancelGlowButton_data()
    {
        QTest::addColumn<QString>("way");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("clicks");
        QTest::newRow("Escape") << "escape" << true << 2 << 1;
        QTest::newRow("Escape, Cancel disabled") << "escape" << false << 0 << 0;
        QTest::newRow("window closed") << "close" << true << 0 << 0;
    }
    void escapeClicksTheCancelGlowButton()
    {
        QFETCH(QString, way);
        QFETCH(bool, enabled);
        QFETCH(int, result);
        QFETCH(int, clicks);
        TTarvellModalForm dialog;
        auto* cancel = new TAdvGlowButton(&dialog);
        cancel->SetCaption(QStringLiteral("Cancel"));
        cancel->Cancel = true;
        cancel->ModalResult = mrCancel;
        cancel->setEnabled(enabled);
        int clicked = 0;
        cancel->OnClick = [&](TAdvCustomGlowButton*) { ++clicked; };
        QTimer::singleShot(0, &dialog, [&] {
            if (way == QLatin1String("escape"))
                QTest::keyClick(&dialog, Qt::Key_Escape);
            else
                dialog.close();
        });
        QTimer::singleShot(3000, &dialog, [&] { dialog.done(99); });
        QCOMPARE(dialog.exec(), result);
        QCOMPARE(clicked, clicks);
    }

    void exportExtensionCheck_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("filter");
        QTest::addColumn<bool>("accept");
        QTest::newRow("no extension") << "/home/u/pois" << 1 << true;
        QTest::newRow("same") << "/home/u/pois.ov2" << 1 << true;
        QTest::newRow("case differs") << "/home/u/pois.OV2" << 1 << true;
        QTest::newRow("other writer") << "/home/u/pois.gpx" << 2 << true;
        QTest::newRow("mismatch") << "/home/u/pois.gpx" << 1 << false;
        QTest::newRow("dot in folder") << "/home/u.v/pois" << 2 << true;
    }
    void exportExtensionCheck()
    {
        QFETCH(QString, name);
        QFETCH(int, filter);
        QFETCH(bool, accept);
        TConvertToBase::RegisterFormat<TDummyExporter>("TomTom", "ov2");
        TConvertToBase::RegisterFormat<TDummyGpxExporter>("GPX", "gpx");
        TScriptedPrompt prompt;
        bool ok = true;
        CheckExportFileExt(name, filter, ok);
        QCOMPARE(ok, accept);
        QCOMPARE(prompt.Boxes.size(), size_t(accept ? 0 : 1));
        if (!accept)
            QCOMPARE(prompt.Boxes[0].Text,
                QStringLiteral("Extension \".gpx\" of filename does not match selected filetype."));
        TConvertToBase::UnregisterFormat<TDummyExporter>();
        TConvertToBase::UnregisterFormat<TDummyGpxExporter>();
    }

    void autoUpdateMenu()
    {
        QMenu menu;
        QList<int> clicked;
        auto onClick = [&](QAction* item) { clicked << item->data().toInt(); };
        BuildAutoUpdateMenu(&menu, { { "Default", true } }, false, onClick);
        QVERIFY(menu.actions().isEmpty()); // a single choice is the item itself
        BuildAutoUpdateMenu(&menu, { { "Default", false }, { "Car", true } }, true, onClick);
        QStringList texts;
        for (QAction* a : menu.actions())
            texts << a->text() + QString::number(a->data().toInt()) + (a->isEnabled() ? "+" : "-");
        QCOMPARE(texts, (QStringList { "AutoUpdate &All Profiles-1+", "AutoUpdate &Default0-", "AutoUpdate &Car1+" }));
        menu.actions()[2]->trigger();
        QCOMPARE(clicked, QList<int> { 1 });
        BuildAutoUpdateMenu(&menu, { { "Default", false } }, true, onClick);
        QCOMPARE(menu.actions().size(), 2);
        QVERIFY(!menu.actions()[0]->isEnabled());
    }

    void listAndToolButtonLookUps()
    {
        QStringListModel model({ "Amsterdam", "Zwolle", "zwolle" });
        QCOMPARE(FindListItem(model, "ZWOLLE"), 1);
        QCOMPARE(FindListItem(model, "Utrecht"), -1);
        QToolBar bar;
        QAction first("a"), second("b"), absent("c");
        bar.addAction(&first);
        bar.addAction(&second);
        QToolButton* button = FindToolButton(&bar, &second);
        QVERIFY(button);
        QCOMPARE(button->defaultAction(), &second);
        QCOMPARE(FindToolButton(&bar, &absent), nullptr);
        QPixmap picture(16, 16);
        picture.fill(Qt::red);
        QVERIFY(!BitmapToIcon(picture).isNull());
    }
};

TARVELL_QTEST_MAIN(TestDialogs)
#include "tst_uDialogs.moc"
