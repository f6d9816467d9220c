// The device file browser and the two folder pickers, driven as a user drives them, on a
// temporary device root with the fault-injecting device; their pictures on a real X server.
#include "AppTestSupport.h"
#include "DeviceWindowsTestAccess.h"

#include "app/windowbase/dMain.h"
#include "app/windows/fBrowseFolder.h"
#include "app/windows/fMobileBrowser.h"
#include "app/windows/fMobileFolder.h"
#include "app/windows/uTreeViewCe.h"
#include "core/uRapi.h"
#include "formats/uConvertBase.h"
#include "formats/uFormats.h"
#include "support/CoreTestHooks.h"
#include "support/TFakeDevice.h"
#include "ui/ShTrees.h"
#include "ui/ShellFixture.h"
#include "support/QtWarningGuard.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

// The pickers' widgets, for the tests: the shared ones, then each picker's own.
class TFolderPickerFormTestAccess {
public:
    explicit TFolderPickerFormTestAccess(const TFolderPickerForm& form) : F(form) {}
    QLineEdit* edPath() const { return F.edPath; }
    QLabel* laFileType() const { return F.laFileType; }
    QComboBox* coFileType() const { return F.coFileType; }

private:
    const TFolderPickerForm& F;
};

class TfmMobileFolderTestAccess : public TFolderPickerFormTestAccess {
public:
    explicit TfmMobileFolderTestAccess(const TfmMobileFolder& form) : TFolderPickerFormTestAccess(form), F(form) {}
    TTreeViewCe* TreeViewCe1() const { return F.TreeViewCe1; }
    QComboBox* coMaps() const { return F.coMaps; }

private:
    const TfmMobileFolder& F;
};

class TfmBrowseFolderTestAccess : public TFolderPickerFormTestAccess {
public:
    explicit TfmBrowseFolderTestAccess(const TfmBrowseFolder& form) : TFolderPickerFormTestAccess(form), F(form) {}
    TQuorShellTreeView* ShellTreeView() const { return F.ShellTreeView; }
    QPushButton* buOK() const { return F.buOK; }

private:
    const TfmBrowseFolder& F;
};

#include <cstdio>

namespace {

QString S(const char* text) { return QString::fromUtf8(text); }

const QString Unreachable = S("Unable to initialize connection to remote device. Please check the device is properly "
                              "connected, ActiveSync is installed and active and that the device is ActiveSync compatible.");

// The fake device on a temporary root, with a clock that only moves when the connection waits.
struct TDevice {
    QTemporaryDir Root;
    TFakeDevice* Fake = nullptr;
    TVirtualClock Time;
    TDevice()
    {
        auto fake = std::make_unique<TFakeDevice>(Root.path());
        Fake = fake.get();
        SetDeviceBackend(std::move(fake));
        SetDeviceClock(Time.Clock());
    }
    ~TDevice()
    {
        SetDeviceBackend(nullptr);
        SetDeviceClock({});
    }
    void Put(const QString& relative, const QByteArray& bytes = "x") const
    {
        const QString path = Root.path() + QChar('/') + relative;
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }
    void Folder(const QString& relative) const { QDir(Root.path()).mkpath(relative); }
    bool Has(const QString& relative) const { return QFile::exists(Root.path() + QChar('/') + relative); }
    void Map() const
    {
        Put(S(".registry.ini"), "[HKEY_CURRENT_USER\\Software\\TomTom\\TomTom Navigator\\Maps]\nEurope=\\SD Card\\Europe-map\n");
        Folder(S("SD Card/Europe-map"));
    }
};

// Answers the delete question and its check box as told (the box keeps its tick by default).
class TCheckPrompt : public TScriptedPrompt {
public:
    std::deque<bool> Ticks;
    int MessageDlgWithCheckBox(const QString& text, bool& ticked, TMsgDlgType, const QString& checkCaption,
        unsigned) override
    {
        Boxes.push_back({ nullptr, text, ApplicationTitle(), 0 });
        CheckCaptions << checkCaption;
        if (!Ticks.empty()) {
            ticked = Ticks.front();
            Ticks.pop_front();
        }
        if (Answers.empty())
            return IDYES;
        const int answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
};

bool RawFileExists(const QByteArray& path)
{
    FILE* file = std::fopen(path.constData(), "rb");
    if (file)
        std::fclose(file);
    return file != nullptr;
}

QStringList Texts(const QTreeWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(0);
    return texts;
}

QStringList Texts(const QListWidget* list)
{
    QStringList texts;
    for (int i = 0; i < list->count(); ++i)
        texts << list->item(i)->text();
    return texts;
}

QStringList Texts(const QComboBox* combo)
{
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i)
        texts << combo->itemText(i);
    return texts;
}

QTreeWidgetItem* Item(const QTreeWidget* list, const QString& text)
{
    const QList<QTreeWidgetItem*> found = list->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
    return found.isEmpty() ? nullptr : found.first();
}

void Select(QTreeWidget* list, const QString& text)
{
    QTreeWidgetItem* item = Item(list, text);
    QVERIFY2(item, qPrintable(text));
    list->setCurrentItem(item);
}

void Choose(QComboBox* combo, int index)
{
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

void SavePicture(QWidget* window, const char* name)
{
    QTest::qWait(200);
    const QPixmap shot = window->grab();
    QVERIFY(!shot.isNull());
    if (QGuiApplication::platformName() == QLatin1String("xcb")) {
        QDir().mkpath(QStringLiteral(TARVELL_ARTIFACTS));
        QVERIFY(shot.save(QStringLiteral(TARVELL_ARTIFACTS "/") + QLatin1String(name)));
    }
}

} // namespace

class TestMobileBrowser : public QObject {
    Q_OBJECT
private slots:
    void initTestCase()
    {
        TestHome();
        RegisterAllFormats();
    }
    void init() { ResetSettingsForTests(); }

    void openModeBrowsesPlacesAndFolders()
    {
        TCheckPrompt prompt;
        TDevice device;
        device.Map();
        device.Put(S("My Documents/pois/a.ov2"));
        device.Folder(S("My Documents/pois/sub"));
        device.Put(S("My Documents/readme.txt"));
        ConnectDevice();
        TfmMobileBrowser browser(nullptr, false);
        const TfmMobileBrowserTestAccess a(browser);
        browser.SetFileName(S("\\My Documents\\pois\\"));
        browser.show();
        QVERIFY(browser.Shown());
        QCOMPARE(browser.windowTitle(), S("Open Remote..."));
        QCOMPARE(a.buOpen()->text(), S("Open"));
        QVERIFY(a.coFilter()->isHidden());
        QCOMPARE(Texts(a.lvPlaces()), (QStringList { S("My Device"), S("My Documents"), S("Europe"), S("Europe-map") }));
        QCOMPARE(Texts(a.ListView1()), (QStringList { S("a.ov2"), S("sub") }));
        QCOMPARE(a.lvPlaces()->currentRow(), -1);
        QVERIFY(!a.acOpen()->isEnabled());

        browser.PlaceClicked(1);
        QCOMPARE(a.edDir()->text(), S("\\My Documents\\"));
        QCOMPARE(Texts(a.ListView1()), QStringList { S("pois") }); // readme.txt: no reader knows it
        QCOMPARE(a.lvPlaces()->currentRow(), 1);
        emit a.ListView1()->itemActivated(Item(a.ListView1(), S("pois")), 0);
        QCOMPARE(a.edDir()->text(), S("\\My Documents\\pois\\"));
        Select(a.ListView1(), S("a.ov2"));
        QCOMPARE(a.Edit1()->text(), S("a.ov2"));
        Select(a.ListView1(), S("sub"));
        QCOMPARE(a.Edit1()->text(), S("a.ov2")); // a folder is no file name

        a.actDirUp()->trigger();
        QCOMPARE(a.edDir()->text(), S("\\My Documents\\"));
        a.actDirUp()->trigger();
        QCOMPARE(a.edDir()->text(), S("\\"));
        QCOMPARE(a.lvPlaces()->currentRow(), 0);
        a.actDirUp()->trigger();
        QCOMPARE(a.edDir()->text(), S("\\"));

        // Enter in the folder field lists it and does not press Open.
        a.edDir()->setText(S("\\my documents\\POIS"));
        QTest::keyClick(a.edDir(), Qt::Key_Return);
        QVERIFY(browser.isVisible());
        QCOMPARE(Texts(a.ListView1()), (QStringList { S("a.ov2"), S("sub") }));

        // A typed folder is entered, never above the root.
        a.Edit1()->setText(S("..\\..\\..\\My Documents"));
        browser.OpenExecute();
        QVERIFY(browser.isVisible());
        QCOMPARE(a.edDir()->text(), S("\\My Documents\\"));
        QCOMPARE(a.Edit1()->text(), QString());
        a.Edit1()->setText(S("pois\\a.ov2"));
        browser.OpenExecute();
        QCOMPARE(browser.result(), int(QDialog::Accepted));
        QCOMPARE(browser.FileName(), S("\\My Documents\\pois\\a.ov2"));
        QVERIFY(prompt.Boxes.empty());
    }

    // A name with a direction override and one whose bytes are not UTF-8 are listed escaped,
    // never disguised or left out; clicked, they open and delete the files they name.
    void namesThatHideOrDoNotDecodeAreShownEscaped()
    {
        TCheckPrompt prompt;
        TDevice device;
        device.Put(S("pois/rtl\u202Eevil.ov2"), "override");
        const QByteArray latin1 = QFile::encodeName(device.Root.path()) + "/pois/caf\xE9.ov2";
        FILE* file = std::fopen(latin1.constData(), "wb");
        QVERIFY(file);
        std::fputs("latin", file);
        std::fclose(file);
        ConnectDevice();
        TfmMobileBrowser browser(nullptr, false);
        const TfmMobileBrowserTestAccess a(browser);
        browser.SetFileName(S("\\pois\\"));
        browser.show();
        browser.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&browser));
        QStringList shown = Texts(a.ListView1());
        shown.sort();
        QCOMPARE(shown, (QStringList { S("caf\\xE9.ov2"), S("rtl\\u202Eevil.ov2") }));
        auto click = [&](const QString& text) {
            QTreeWidgetItem* item = Item(a.ListView1(), text);
            QVERIFY2(item, qPrintable(text));
            QTest::mouseClick(a.ListView1()->viewport(), Qt::LeftButton, Qt::NoModifier, a.ListView1()->visualItemRect(item).center());
        };
        click(S("rtl\\u202Eevil.ov2"));
        QCOMPARE(a.Edit1()->text(), S("rtl\\u202Eevil.ov2"));
        // Deleted by its click: the question names it escaped.
        click(S("caf\\xE9.ov2"));
        QCOMPARE(a.Edit1()->text(), S("caf\\xE9.ov2"));
        prompt.Ticks = { false };
        QTest::keyClick(a.ListView1(), Qt::Key_Delete);
        QVERIFY(!prompt.Boxes.empty());
        QCOMPARE(prompt.Boxes.back().Text, S("Are you sure you want to delete remote file \\pois\\caf\\xE9.ov2?"));
        QVERIFY(!QFile::exists(QFile::decodeName(latin1)) && !RawFileExists(latin1));
        QCOMPARE(Texts(a.ListView1()), QStringList { S("rtl\\u202Eevil.ov2") });
        // Opened by its click: the file name is the real one.
        click(S("rtl\\u202Eevil.ov2"));
        QTest::mouseClick(a.buOpen(), Qt::LeftButton);
        QCOMPARE(browser.result(), int(QDialog::Accepted));
        QCOMPARE(browser.FileName(), S("\\pois\\rtl\u202Eevil.ov2"));
        QCOMPARE(prompt.Boxes.size(), size_t(1));
    }

    void saveModeChecksTypeAndAsksBeforeReplacing()
    {
        TCheckPrompt prompt;
        TDevice device;
        device.Put(S("pois/old.ov2"), "old");
        ConnectDevice();
        const int ov2 = TConvertToBase::IndexOf(S(".ov2"), QString());
        const int gpx = TConvertToBase::IndexOf(S(".gpx"), QString());
        TfmMobileBrowser browser(nullptr, true);
        const TfmMobileBrowserTestAccess a(browser);
        browser.SetFileName(S("\\pois\\old.ov2"));
        browser.show();
        QCOMPARE(browser.windowTitle(), S("Save Remote..."));
        QCOMPARE(a.buOpen()->text(), S("Save"));
        QVERIFY(a.coFilter()->isVisible());
        QCOMPARE(a.coFilter()->count(), TConvertToBase::FormatCount());
        QCOMPARE(a.coFilter()->currentIndex(), ov2);
        QCOMPARE(a.Edit1()->text(), S("old.ov2"));
        QVERIFY(a.cbExtra()->isHidden());

        Choose(a.coFilter(), gpx);
        QCOMPARE(a.Edit1()->text(), S("old.gpx"));
        Choose(a.coFilter(), ov2);
        QCOMPARE(a.Edit1()->text(), S("old.ov2"));

        prompt.Answers = { IDNO };
        browser.OpenExecute();
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text, S("Remote file \\pois\\old.ov2 already exists. Do you want to overwrite it?"));
        QVERIFY(browser.isVisible());

        a.Edit1()->setText(S("new.GPX"));
        browser.OpenExecute();
        QCOMPARE(prompt.Boxes.back().Text, S("Extension \".GPX\" of filename does not match selected filetype."));
        QVERIFY(browser.isVisible());

        a.Edit1()->setText(S("new"));
        browser.OpenExecute();
        QCOMPARE(browser.result(), int(QDialog::Accepted));
        QCOMPARE(browser.FileName(), S("\\pois\\new.ov2"));
        QCOMPARE(browser.FormatIndex(), ov2);
    }

    // An unplugged device shows its message; the dialog stays with what was typed and the folder
    // field keeps naming the folder listed. Once the device is back the next click connects again
    // (no F5 needed). No overwrite question is skipped because the device was briefly gone.
    void unpluggedDeviceKeepsTheDialog()
    {
        TCheckPrompt prompt;
        TDevice device;
        device.Put(S("pois/old.ov2"), "old");
        ConnectDevice();
        TfmMobileBrowser browser(nullptr, true);
        const TfmMobileBrowserTestAccess a(browser);
        browser.SetFileName(S("\\pois\\old.ov2"));
        browser.show();
        device.Fake->Unplugged = true;
        browser.OpenExecute();
        QCOMPARE(prompt.Boxes.size(), size_t(1));
        QCOMPARE(prompt.Boxes[0].Text, Unreachable);
        QVERIFY(browser.isVisible());
        QCOMPARE(a.Edit1()->text(), S("old.ov2"));
        QTest::mouseClick(a.lvPlaces()->viewport(), Qt::LeftButton, Qt::NoModifier,
            a.lvPlaces()->visualItemRect(a.lvPlaces()->item(0)).center());
        QCOMPARE(prompt.Boxes.size(), size_t(2));
        QCOMPARE(prompt.Boxes[1].Text, Unreachable);
        QCOMPARE(a.edDir()->text(), S("\\pois\\")); // the folder of the list still shown
        QCOMPARE(Texts(a.ListView1()), QStringList { S("old.ov2") }); // the last listing stays
        QTest::mouseClick(a.lvPlaces()->viewport(), Qt::LeftButton, Qt::NoModifier,
            a.lvPlaces()->visualItemRect(a.lvPlaces()->item(0)).center());
        QCOMPARE(prompt.Boxes.size(), size_t(3)); // still away: said again

        // Back: the next click lists the place, and going back to the folder lists it.
        device.Fake->Unplugged = false;
        QTest::mouseClick(a.lvPlaces()->viewport(), Qt::LeftButton, Qt::NoModifier,
            a.lvPlaces()->visualItemRect(a.lvPlaces()->item(0)).center());
        QCOMPARE(prompt.Boxes.size(), size_t(3));
        QCOMPARE(a.edDir()->text(), S("\\"));
        QCOMPARE(Texts(a.ListView1()), QStringList { S("pois") });
        a.edDir()->setText(S("\\pois\\"));
        QTest::keyClick(a.edDir(), Qt::Key_Return);
        QCOMPARE(prompt.Boxes.size(), size_t(3));
        QCOMPARE(Texts(a.ListView1()), QStringList { S("old.ov2") });
        prompt.Answers = { IDYES };
        browser.OpenExecute();
        QCOMPARE(prompt.Boxes.back().Text, S("Remote file \\pois\\old.ov2 already exists. Do you want to overwrite it?"));
        QCOMPARE(browser.result(), int(QDialog::Accepted));
    }

    void deleteAsksAndTakesSideFilesAlong()
    {
        TCheckPrompt prompt;
        TDevice device;
        for (const char* name : { "a.ov2", "a.bmp", "a.inf", "b.ov2", "b.bmp", "c.ov2" })
            device.Put(S("pois/") + S(name));
        ConnectDevice();
        TfmMobileBrowser browser(nullptr, false);
        const TfmMobileBrowserTestAccess a(browser);
        browser.SetFileName(S("\\pois\\"));
        browser.show();
        QVERIFY(!a.acDelete()->isEnabled());

        Select(a.ListView1(), S("a.ov2"));
        QVERIFY(a.acDelete()->isEnabled());
        a.acDelete()->trigger();
        QCOMPARE(prompt.Boxes.back().Text, S("Are you sure you want to delete remote file \\pois\\a.ov2?"));
        QCOMPARE(prompt.CheckCaptions.back(), S("Delete bmp and inf files as well"));
        QVERIFY(!device.Has(S("pois/a.ov2")) && !device.Has(S("pois/a.bmp")) && !device.Has(S("pois/a.inf")));
        QCOMPARE(Texts(a.ListView1()), (QStringList { S("b.ov2"), S("c.ov2") }));

        Select(a.ListView1(), S("b.ov2"));
        prompt.Ticks = { false };
        a.acDelete()->trigger();
        QVERIFY(!device.Has(S("pois/b.ov2")));
        QVERIFY(device.Has(S("pois/b.bmp")));

        Select(a.ListView1(), S("c.ov2"));
        prompt.Answers = { IDNO };
        a.acDelete()->trigger();
        QVERIFY(device.Has(S("pois/c.ov2")));

        QFile::remove(device.Root.filePath(S("pois/c.ov2")));
        const size_t boxes = prompt.Boxes.size();
        a.acDelete()->trigger();
        QCOMPARE(prompt.Boxes.size(), boxes + 2);
        QCOMPARE(prompt.Boxes.back().Text, S("Could not delete remote file \\pois\\c.ov2."));
        QCOMPARE(Texts(a.ListView1()), QStringList { S("c.ov2") });
    }

    // The browser's keys as the user presses them: a click on a file or a folder enables Delete,
    // Del asks (No keeps the file, Yes deletes it and empties the File field), F5 lists what came
    // since, Enter in the folder field lists that folder without pressing Open.
    void everyShortcutPressed()
    {
        TCheckPrompt prompt;
        TDevice device;
        for (const char* name : { "pois/a.ov2", "pois/b.ov2", "pois/sub/c.ov2", "other/d.ov2" })
            device.Put(S(name));
        ConnectDevice();
        TfmMobileBrowser browser(nullptr, false);
        browser.SetFileName(S("\\pois\\"));
        browser.show();
        browser.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&browser));
        auto* list = browser.findChild<QTreeWidget*>(S("ListView1"));
        auto* file = browser.findChild<QLineEdit*>(S("Edit1"));
        auto* dir = browser.findChild<QLineEdit*>(S("edDir"));
        auto* del = browser.findChild<QAction*>(S("acDelete"));
        auto* refresh = browser.findChild<QAction*>(S("actRefresh"));
        QVERIFY(list && file && dir && del && refresh);
        QCOMPARE(del->shortcut(), QKeySequence(Qt::Key_Delete));
        QCOMPARE(refresh->shortcut(), QKeySequence(Qt::Key_F5));
        auto click = [&](const QString& name) {
            QTreeWidgetItem* item = Item(list, name);
            QVERIFY2(item, qPrintable(name));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
        };
        QVERIFY(!del->isEnabled());
        struct TRow {
            const char* Clicked;
            int Answer;
            bool Gone;
        } rows[] = { { "sub", IDNO, false }, { "a.ov2", IDNO, false }, { "a.ov2", IDYES, true } };
        for (const TRow& row : rows) {
            click(S(row.Clicked));
            QVERIFY2(del->isEnabled(), row.Clicked);
            prompt.Answers = { row.Answer };
            const size_t boxes = prompt.Boxes.size();
            QTest::keyClick(list, Qt::Key_Delete);
            QCOMPARE(prompt.Boxes.size(), boxes + 1);
            QCOMPARE(device.Has(S("pois/") + S(row.Clicked)), !row.Gone);
        }
        auto sorted = [](QStringList texts) {
            texts.sort();
            return texts;
        };
        QCOMPARE(sorted(Texts(list)), (QStringList { S("b.ov2"), S("sub") }));
        QVERIFY2(file->text().isEmpty(), "the deleted name is no longer offered");
        // Del in the File field edits the field.
        click(S("b.ov2"));
        QCOMPARE(file->text(), S("b.ov2"));
        file->setFocus();
        file->setCursorPosition(0);
        const size_t boxes = prompt.Boxes.size();
        QTest::keyClick(file, Qt::Key_Delete);
        QCOMPARE(file->text(), S(".ov2"));
        QCOMPARE(prompt.Boxes.size(), boxes);
        QVERIFY(device.Has(S("pois/b.ov2")));

        device.Put(S("pois/e.ov2"));
        QTest::keyClick(list, Qt::Key_F5);
        QCOMPARE(sorted(Texts(list)), (QStringList { S("b.ov2"), S("e.ov2"), S("sub") }));

        dir->setFocus();
        dir->setText(S("\\other\\"));
        QTest::keyClick(dir, Qt::Key_Return);
        QCOMPARE(Texts(list), QStringList { S("d.ov2") });
        QVERIFY(browser.isVisible());
        QCOMPARE(prompt.Boxes.size(), boxes);
    }

    void firstShowWithoutConnectionClosesItself()
    {
        TCheckPrompt prompt;
        TDevice device;
        DisconnectDevice();
        // The broken precondition is a fault of the program: the crash reporter tells of it.
        TReporterRecorder reporter;
        TfmMobileBrowser browser(nullptr, false);
        QCOMPARE(browser.exec(), int(QDialog::Rejected));
        QVERIFY(!browser.Shown());
        QCOMPARE(prompt.Boxes.size(), size_t(0));
        QCOMPARE(TReporterRecorder::Records().size(), size_t(1));
        QCOMPARE(TReporterRecorder::Records()[0].first, std::string("EAssertionFailed"));
        QVERIFY(QString::fromStdString(TReporterRecorder::Records()[0].second).startsWith(S("InitRapi not called")));
    }

    void mobileFolderMapsAndTree()
    {
        TCheckPrompt prompt;
        TDevice device;
        device.Map();
        device.Folder(S("My Documents/sub"));
        ConnectDevice();
        TfmMobileFolder picker;
        const TfmMobileFolderTestAccess a(picker);
        QCOMPARE(picker.windowTitle(), S("Select Mobile Folder..."));
        QCOMPARE(Texts(a.coMaps()), (QStringList { S("[Other]"), S("Europe"), S("Europe-map") }));
        QCOMPARE(a.coMaps()->currentIndex(), 0);
        QCOMPARE(a.coFileType()->count(), TConvertToBase::FormatCount());
        picker.show();
        QCOMPARE(Texts(a.TreeViewCe1()), (QStringList { S("My Documents"), S("SD Card") }));
        QTreeWidgetItem* documents = a.TreeViewCe1()->topLevelItem(0);
        QCOMPARE(documents->child(0)->text(0), S("retrieving contents..."));

        Choose(a.coMaps(), 1);
        QCOMPARE(picker.GetPath(), S("SD Card\\Europe-map"));
        QCOMPARE(a.edPath()->text(), S("SD Card\\Europe-map"));
        a.TreeViewCe1()->setCurrentItem(documents);
        QCOMPARE(a.edPath()->text(), S("My Documents"));
        QCOMPARE(a.coMaps()->currentIndex(), 0);
        picker.SetPath(S("\\sd card\\europe-map\\"));
        QCOMPARE(a.coMaps()->currentIndex(), 1); // the folder of a known map selects that map

        // "[Other]" clears the selection, and OK then refuses.
        Choose(a.coMaps(), 0);
        QCOMPARE(picker.GetPath(), QString());
        picker.OKExecute();
        QCOMPARE(prompt.Boxes.back().Text, S("No map or folder specified."));
        QVERIFY(picker.isVisible());

        // Unplugged during an expansion: the message, and the dummy stays for the next try.
        device.Fake->Unplugged = true;
        documents->setExpanded(true);
        QCOMPARE(prompt.Boxes.back().Text, Unreachable);
        QVERIFY(!documents->isExpanded());
        QCOMPARE(documents->child(0)->text(0), S("retrieving contents..."));
        // Back: the next expansion connects again, the picker needs no reopening.
        device.Fake->Unplugged = false;
        documents->setExpanded(true);
        QCOMPARE(documents->childCount(), 1);
        QCOMPARE(documents->child(0)->text(0), S("sub"));
        // A folder read and found empty shows no expand mark.
        documents->child(0)->setExpanded(true);
        QCOMPARE(documents->child(0)->childCount(), 0);

        a.TreeViewCe1()->setCurrentItem(documents->child(0));
        picker.SetFileTypeVisible(false);
        QVERIFY(a.coFileType()->isHidden() && a.laFileType()->isHidden());
        picker.OKExecute();
        QCOMPARE(picker.result(), int(QDialog::Accepted));
        QCOMPARE(picker.GetPath(), S("My Documents\\sub"));
    }

    // Without caching every expansion and every path look-up reads the device again, and the
    // items shown always belong to the latest reading.
    void deviceTreeWithoutCache()
    {
        TCheckPrompt prompt;
        TDevice device;
        device.Folder(S("a/b/c"));
        device.Folder(S("a/d"));
        ConnectDevice();
        TTreeViewCe tree;
        tree.SetCacheDirs(false);
        tree.SetPath(S("a\\b\\c"));
        QCOMPARE(tree.GetPath(), S("a\\b\\c"));
        const int reads = device.Fake->FindAllCalls;
        tree.SetPath(S("\\A\\D\\"));
        QCOMPARE(tree.GetPath(), S("a\\d"));
        QTreeWidgetItem* a = tree.topLevelItem(0);
        QCOMPARE(a->childCount(), 2);
        a->setExpanded(false);
        a->setExpanded(true);
        QCOMPARE(device.Fake->FindAllCalls, reads + 2);
        QCOMPARE(a->child(0)->text(0), S("b"));
        a->child(0)->setExpanded(true);
        QCOMPARE(a->child(0)->child(0)->text(0), S("c"));
        tree.SetPath(S("a\\none"));
        QCOMPARE(tree.GetPath(), QString());
        QVERIFY(prompt.Boxes.empty());
    }

    void browseFolderSelectsOnlyFileSystemFolders()
    {
        TShellFixture fixture;
        TShellPlaces places;
        places.Home = fixture.Path();
        TfmBrowseFolder picker(nullptr, std::make_unique<TLocalShellNamespace>(places));
        const TfmBrowseFolderTestAccess a(picker);
        QCOMPARE(picker.windowTitle(), S("Select target folder..."));
        QCOMPARE(a.buOK()->text(), S("Select"));
        QCOMPARE(a.coFileType()->count(), TConvertToBase::FormatCount());
        QCOMPARE(picker.Directory(), S("*"));
        QVERIFY(!a.buOK()->isEnabled());
        picker.SetDirectory(fixture.Path(S("a")));
        QVERIFY(a.buOK()->isEnabled());
        QCOMPARE(a.edPath()->text(), fixture.Path(S("a")));
        a.ShellTreeView()->setCurrentItem(a.ShellTreeView()->TopNode());
        QCOMPARE(picker.Directory(), S("*"));
        QVERIFY(!a.buOK()->isEnabled());
        QCOMPARE(a.edPath()->text(), QString());
        picker.SetDirectory(QString());
        QVERIFY(a.buOK()->isEnabled()); // the file system's root can be chosen
        QCOMPARE(a.edPath()->text(), S("/"));

        places.FileSystem = fixture.Path(S("missing"));
        try {
            TfmBrowseFolder broken(nullptr, std::make_unique<TLocalShellNamespace>(places));
            QFAIL("no error");
        } catch (const ETarvellError& e) {
            QCOMPARE(e.Message(), S("Couldn't find folder"));
        }
    }

    // The three dialogs as a user sees them; kept as pictures on a real X server.
    void screenshots()
    {
        // The program's pictures and icon theme, as at start-up.
        TdmMain data;
        TCheckPrompt prompt;
        TDevice device;
        device.Map();
        for (const char* name : { "Cameras.ov2", "Fuel.ov2", "Museums.gpx", "Parking.asc" })
            device.Put(S("My Documents/POIs/") + S(name));
        device.Folder(S("My Documents/POIs/Archive"));
        device.Folder(S("My Documents/POIs/Holiday"));
        ConnectDevice();
        {
            TfmMobileBrowser browser(nullptr, true);
            const TfmMobileBrowserTestAccess a(browser);
            browser.SetExtraVisible(true);
            browser.SetExtraCaption(S("Copy bmp file if available"));
            browser.SetFileName(S("\\My Documents\\POIs\\Cameras.ov2"));
            browser.show();
            QVERIFY(QTest::qWaitForWindowExposed(&browser));
            QCOMPARE(a.ListView1()->topLevelItemCount(), 6);
            SavePicture(&browser, "device-browser.png");
        }
        {
            TfmMobileFolder picker;
            picker.show();
            QVERIFY(QTest::qWaitForWindowExposed(&picker));
            picker.SetPath(S("SD Card\\Europe-map"));
            SavePicture(&picker, "mobile-folder.png");
        }
        {
            TShellFixture fixture;
            TShellPlaces places;
            places.Home = fixture.Path();
            TfmBrowseFolder picker(nullptr, std::make_unique<TLocalShellNamespace>(places));
            picker.show();
            QVERIFY(QTest::qWaitForWindowExposed(&picker));
            picker.SetDirectory(fixture.Path(S("a/x")));
            SavePicture(&picker, "browse-folder.png");
        }
    }
};

TARVELL_QTEST_MAIN(TestMobileBrowser)
#include "tst_fMobileBrowser.moc"
