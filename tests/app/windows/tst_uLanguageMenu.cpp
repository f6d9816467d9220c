// The language menu, the language applied at start-up, the restart in another language and a
// sweep for texts that bypass translation.
#include "AppTestSupport.h"

#include "app/windowbase/dMain.h"
#include "app/windowbase/fConfirmDialog.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fAutoUpdateManager.h"
#include "app/windows/fAutoUpdateWizard.h"
#include "app/windows/fMain.h"
#include "app/windowbase/fProgress.h"
#include "app/windows/uLanguageMenu.h"
#include "core/uSettings.h"
#include "support/CoreTestHooks.h"
#include "support/QtWarningGuard.h"

#include <QAbstractButton>
#include <QAction>
#include <QActionGroup>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QtTest>

namespace {

// Every marked text of the pseudo translation starts with this.
const QString PseudoMark = QStringLiteral("@@");

// A main window whose restart starts nothing: the executable named is not there.
struct TRestartFixture {
    QTemporaryDir Dir;
    TdmMain Data;
    std::unique_ptr<TfmTarvellMainForm> Form;
    TRestartFixture()
    {
        SetExecutablePathOverride(Dir.filePath(QStringLiteral("not-started")));
        Form = std::make_unique<TfmTarvellMainForm>(Data);
    }
    ~TRestartFixture()
    {
        Form.reset();
        SetExecutablePathOverride(QString());
    }
    // The close for the restart happened, with the language stored.
    bool Restarted(int lcid) const { return !Form->isVisible() && GetSettings().Language == lcid; }
    QAction* LanguageItem(const QString& caption) const
    {
        for (QAction* item : TMainFormTestAccess(*Form).Language1()->actions())
            if (item->text() == caption)
                return item;
        return nullptr;
    }
    QStringList LanguageItems() const
    {
        QStringList items;
        for (QAction* item : TMainFormTestAccess(*Form).Language1()->actions())
            items << item->text() + (item->isChecked() ? QStringLiteral("*") : QString());
        return items;
    }
};

// The visible texts of a window: title, menus and their items, labels, buttons, group boxes.
void CollectTexts(QWidget* window, QStringList& texts, const QSet<QObject*>& exempt)
{
    texts << window->windowTitle();
    QList<QAction*> actions;
    if (auto* main = qobject_cast<QMainWindow*>(window))
        for (QAction* menu : main->menuBar()->actions())
            actions << menu;
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        texts << menu->title();
        actions << menu->actions();
    }
    for (QAction* action : actions)
        if (!action->isSeparator() && action->isVisible() && !exempt.contains(action))
            texts << action->text();
    for (QLabel* label : window->findChildren<QLabel*>())
        if (!exempt.contains(label))
            texts << label->text();
    for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
        if (!exempt.contains(button))
            texts << button->text();
    for (QGroupBox* box : window->findChildren<QGroupBox*>())
        texts << box->title();
}

// A language file without a string table (the menu and the checks never read it).
void WriteLanguage(const QString& path, uint16_t lcid, const QString& name, uint32_t version = ExeResourceVersion)
{
    TDLLInfoItem item;
    item.LanguageId = lcid;
    item.ResourceVersion = version;
    item.AnsiName = item.WideName = name;
    WriteLanguageFile(path, item, QByteArray());
}

} // namespace

class TestLanguageMenu : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { TestHome(); }
    void init()
    {
        QFile::remove(SettingsStoreFileName());
        ResetSettingsForTests();
        QLocUtils().AppFileName = QStringLiteral(TARVELL_EXE);
        QLocUtils().LibraryFolder = QFileInfo(QStringLiteral(TARVELL_EXE)).absolutePath();
        QLocUtils().RestoreNativeLanguage();
    }
    void cleanup() { QLocUtils().RestoreNativeLanguage(); }

    void germanAppliedAtStartUp()
    {
        TScriptedPrompt prompt;
        const QLocale numbers;
        GetSettings().Language = 1031;
        SetStartupLanguage();
        QVERIFY(prompt.Boxes.empty());
        QCOMPARE(QLocUtils().GetActiveLanguageInfo().LanguageId, 1031);
        TRestartFixture f;
        QCOMPARE(f.Form->menuBar()->actions().first()->text(), QStringLiteral("&Datei"));
        QCOMPARE(f.Form->Action(TAction::acFileNew)->text(), QStringLiteral("&Neu"));
        QCOMPARE(TMainFormTestAccess(*f.Form).Language1()->title(), QStringLiteral("&Sprache"));
        QCOMPARE(f.LanguageItems(), (QStringList { "English", "Deutsch*" }));
        // Qt's own texts (the buttons of every question box) follow the language too.
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), QStringLiteral("&Ja"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Abbrechen"));
        // Number text keeps its locale whatever the language.
        QCOMPARE(QLocale(), numbers);
        QCOMPARE(GetSettings().Language, 1031);
    }

    void missingPreferredLanguageFallsBackToEnglish()
    {
        QTemporaryDir empty;
        QLocUtils().AppFileName = empty.filePath(QStringLiteral("tarvell"));
        QLocUtils().LibraryFolder = empty.path();
        for (int language : { 1036, 999, 70000, -3 }) {
            TScriptedPrompt prompt;
            GetSettings().Language = language;
            SetStartupLanguage();
            QCOMPARE(int(prompt.Boxes.size()), 1);
            QCOMPARE(prompt.Boxes[0].Text, QStringLiteral("Preferred language not found, defaulting to English..."));
            QCOMPARE(GetSettings().Language, 9);
            QCOMPARE(QLocUtils().GetActiveLanguageInfo().LanguageId, 9);
        }
        // A file of another version is reported the same way, not raised.
        WriteLanguage(
            empty.filePath(QStringLiteral("tarvell.deu")), 1031, QStringLiteral("Deutsch"), ExeResourceVersion - 1);
        TScriptedPrompt prompt;
        GetSettings().Language = 1031;
        SetStartupLanguage();
        QCOMPARE(int(prompt.Boxes.size()), 1);
        QCOMPARE(GetSettings().Language, 9);
    }

    void menuChecksActiveAndClickRemembersTheLanguage()
    {
        TScriptedPrompt prompt;
        TRestartFixture f;
        QCOMPARE(f.LanguageItems(), (QStringList { "English*", "Deutsch" }));
        // The checked item does nothing.
        f.Form->show();
        f.LanguageItem("English")->trigger();
        QVERIFY(f.Form->isVisible());
        QVERIFY(f.LanguageItem("English")->isChecked());
        // The menu is rebuilt before the close: the LCID taken at the click still counts.
        QAction* german = f.LanguageItem("Deutsch");
        QVERIFY(!german->isChecked());
        german->trigger();
        QVERIFY(f.Restarted(1031));
        QVERIFY(prompt.Boxes.empty());
    }

    void menuWithoutLanguageFilesAndWithABadOne()
    {
        QTemporaryDir folder;
        QLocUtils().AppFileName = folder.filePath(QStringLiteral("tarvell"));
        QLocUtils().LibraryFolder = folder.path();
        {
            TRestartFixture f;
            QCOMPARE(f.LanguageItems(), QStringList { "English*" });
        }
        WriteLanguage(folder.filePath(QStringLiteral("tarvell.fra")), 1036, QStringLiteral("Fran\u00e7ais"),
            ExeResourceVersion - 1);
        WriteLanguage(folder.filePath(QStringLiteral("tarvell.eng")), 2057, QString());
        WriteLanguage(folder.filePath(QStringLiteral("tarvell.xx")), 999, QString());
        TScriptedPrompt prompt;
        TRestartFixture f;
        // Without a name the table names it; an LCID outside the table still gets a caption.
        QCOMPARE(f.LanguageItems(),
            (QStringList { "English*", "English (United Kingdom)", "Fran\u00e7ais", "Language 999" }));
        f.Form->show();
        f.LanguageItem(QStringLiteral("Fran\u00e7ais"))->trigger();
        QCOMPARE(int(prompt.Boxes.size()), 1);
        QVERIFY2(
            prompt.Boxes[0].Text.contains("is not synhronized with executable."), qPrintable(prompt.Boxes[0].Text));
        QCOMPARE(GetSettings().Language, 9);
        QVERIFY(f.Form->isVisible());
    }

    void restartStoresTheLanguageBeforeTheNewCopyStarts()
    {
        QTemporaryDir dir;
        const QString marker = dir.filePath(QStringLiteral("started"));
        const QString script = dir.filePath(QStringLiteral("tarvell"));
        // The stand-in program records the setting it finds when it starts.
        QFile file(script);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("#!/bin/sh\ngrep -h '^Language=' \"%1\" > \"%2\"\n")
                       .arg(SettingsStoreFileName(), marker)
                       .toLocal8Bit());
        file.close();
        file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        SetExecutablePathOverride(script);
        QVERIFY(RestartInLanguage(1031));
        SetExecutablePathOverride(QString());
        QCOMPARE(GetSettings().Language, 1031);
        QTRY_VERIFY(QFileInfo(marker).size() > 0);
        QFile started(marker);
        QVERIFY(started.open(QIODevice::ReadOnly));
        QCOMPARE(started.readAll().trimmed(), QByteArray("Language=1031"));
    }

    // The language items are radio items (checkable, in one exclusive group): one mark, on the
    // language in use; a click moves it only when the language is switched at once (mode 0).
    void languageItemsAreRadioItems_data()
    {
        QTest::addColumn<int>("active");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("click");
        QTest::addColumn<QStringList>("marksAfter");
        QTest::newRow("marked English, restart mode") << 9 << 1 << "English" << QStringList { "English*", "Deutsch" };
        QTest::newRow("other, restart mode: mark waits for the restart")
            << 9 << 1 << "Deutsch" << QStringList { "English*", "Deutsch" };
        QTest::newRow("other, switch mode") << 9 << 0 << "Deutsch" << QStringList { "English", "Deutsch*" };
        QTest::newRow("back to English, switch mode") << 1031 << 0 << "English" << QStringList { "English*", "Deutsch" };
        QTest::newRow("marked German, switch mode") << 1031 << 0 << "Deutsch" << QStringList { "English", "Deutsch*" };
    }
    void languageItemsAreRadioItems()
    {
        QFETCH(int, active);
        QFETCH(int, mode);
        QFETCH(QString, click);
        QFETCH(QStringList, marksAfter);
        TScriptedPrompt prompt;
        GetSettings().Language = active;
        SetStartupLanguage();
        QMenu menu;
        PopulateLanguageMenu(QLocUtils(), &menu, 1, mode);
        auto marks = [&menu] {
            QStringList items;
            for (QAction* item : menu.actions())
                items << item->text() + (item->isChecked() ? QStringLiteral("*") : QString());
            return items;
        };
        for (QAction* item : menu.actions()) {
            QVERIFY(item->isCheckable());
            QVERIFY(item->actionGroup() && item->actionGroup()->isExclusive());
        }
        QCOMPARE(marks().filter(QStringLiteral("*")).size(), 1);
        for (QAction* item : menu.actions())
            if (item->text() == click)
                item->trigger();
        QCOMPARE(marks(), marksAfter);
        QVERIFY(prompt.Boxes.empty());
    }

    void switchModeZeroInstallsAndChecks()
    {
        QMenu menu;
        PopulateLanguageMenu(QLocUtils(), &menu, 1, 0);
        QAction* german = menu.actions().value(1);
        QVERIFY(german);
        german->trigger();
        QVERIFY(german->isChecked());
        QVERIFY(!menu.actions().first()->isChecked());
        QCOMPARE(QCoreApplication::translate("TfmTarvellMainForm", "&File"), QStringLiteral("&Datei"));
        menu.actions().first()->trigger();
        QCOMPARE(QCoreApplication::translate("TfmTarvellMainForm", "&File"), QStringLiteral("&File"));
    }

    void noTextBypassesTranslation()
    {
        QLocUtils().AppFileName = QStringLiteral(TARVELL_PSEUDO_DIR "/tarvell");
        QLocUtils().LibraryFolder = QStringLiteral(TARVELL_PSEUDO_DIR);
        TScriptedPrompt prompt;
        GetSettings().Language = 1033;
        SetStartupLanguage();
        QVERIFY(prompt.Boxes.empty());
        QCOMPARE(QLocUtils().GetActiveLanguageInfo().LanguageId, 1033);

        TRestartFixture f;
        TMDIChild* child = f.Form->NewChild();
        TfmProgress progress;
        TfmConfirmDialog confirm;
        // Language names are written in their own language; the title is the product's name.
        QSet<QObject*> exempt;
        for (QAction* item : TMainFormTestAccess(*f.Form).Language1()->actions())
            exempt << item;
        // Qt's own window menu of a child frame.
        for (QAction* item : qobject_cast<QMdiSubWindow*>(child->parentWidget())->systemMenu()->actions())
            exempt << item;
        QStringList texts;
        CollectTexts(f.Form.get(), texts, exempt);
        CollectTexts(child, texts, exempt);
        CollectTexts(&progress, texts, exempt);
        CollectTexts(&confirm, texts, exempt);
        // The AutoUpdate windows, their pages all built.
        TfmSiteManager manager(nullptr, f.Data, nullptr);
        TfmAutoUpdateWizard wizard(nullptr, f.Data, nullptr);
        CollectTexts(&manager, texts, exempt);
        CollectTexts(&wizard, texts, exempt);
        // The profile menu as the AutoUpdate button drops it down.
        QMenu profiles;
        BuildAutoUpdateMenu(
            &profiles, { { QString(), true }, { QStringLiteral("@@Home"), true } }, true, [](QAction*) {});
        // Frame and name both translated ("AutoUpdate %1" around "&All Profiles", "Default").
        for (QAction* item : profiles.actions())
            texts << (item->text().count(PseudoMark) == 2 ? item->text() : QStringLiteral("(name) ") + item->text());
        texts.removeAll(ApplicationTitle());
        QStringList bypassed;
        for (const QString& text : texts)
            if (!text.trimmed().isEmpty() && !text.startsWith(PseudoMark))
                bypassed << text;
        QVERIFY2(bypassed.isEmpty(), qPrintable(bypassed.join(QStringLiteral(" | "))));
        QVERIFY(texts.size() > 60);
    }
};

TARVELL_QTEST_MAIN(TestLanguageMenu)
#include "tst_uLanguageMenu.moc"
