// Shared helpers of the window tests: a private settings home, scripted answers for every
// question and a child window that records what the main window asks of it.
#pragma once

#include "app/windowbase/uDialogs.h"
#include "app/windows/fAutoUpdateManager.h"
#include "app/windows/fMDIChild.h"
#include "app/windows/fMain.h"
#include "app/windows/fStartup.h"
#include "app/windows/fStatus.h"
#include "core/uSettings.h"
#include "crashreport/logic/VostExcept.h"
#include "sites/uSite.h"
#include "sites/uUpdateItems.h"
#include "support/CoreTestHooks.h"
#include "support/ErrorSupport.h"

#include <QDir>
#include <QFile>
#include <QPixmap>

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QGuiApplication>
#include <QTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>
#include <QtTest>

#include <deque>
#include <string>
#include <utility>
#include <vector>

// Points the settings store and the socket folder at fresh folders for the whole test program and
// names the application as the program does.
inline QTemporaryDir& TestHome()
{
    static QTemporaryDir home;
    static const bool once = [] {
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/config")).toLocal8Bit());
        qputenv("XDG_DATA_HOME", (home.path() + QStringLiteral("/data")).toLocal8Bit());
        qputenv("TMPDIR", home.path().toLocal8Bit());
        qputenv("TARVELL_CODEPAGE", "1252");
        ResetPortableCache();
        QCoreApplication::setApplicationName(QStringLiteral("Tarvell"));
        QGuiApplication::setApplicationDisplayName(QStringLiteral("Tarvell"));
        QGuiApplication::setQuitOnLastWindowClosed(false);
        return true;
    }();
    (void)once;
    return home;
}

// Clicks a row of a child's POI list as the user does, with the given keys held.
inline void ClickRow(TMDIChild* child, int row, Qt::KeyboardModifiers keys = Qt::NoModifier)
{
    QAbstractItemView* list = child->findChild<QAbstractItemView*>(QStringLiteral("ListView1"));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, keys, list->visualRect(list->model()->index(row, 0)).center());
}

// A fresh settings store, settings object, site registry and profiles for one test.
inline void ResetSitesAndSettings()
{
    QFile::remove(SettingsStoreFileName());
    ResetSettingsForTests();
    ClearSites();
    ClearAutoUpdateProfiles();
    LoadAutoUpdateProfiles();
}

// Runs the AutoUpdate windows' updates at once and counts them.
class TRecordingSiteManagerHost : public TSiteManagerHost {
public:
    int Runs = 0;
    QList<int> Clicks;
    void RunUpdate(const std::function<void()>& body) override
    {
        ++Runs;
        body();
    }
    void AutoUpdateProfileClick(QAction* item) override { Clicks << item->data().toInt(); }
};

// Takes over the crash reporter for a test: every exception that reaches it is recorded (class
// and message) and handled there, so no report is composed or shown.
class TReporterRecorder {
public:
    TReporterRecorder()
    {
        Records().clear();
        CrashHandlers().AddPhaseHandler(&Record, smHandlingThread, 0);
    }
    ~TReporterRecorder() { CrashHandlers().RemoveProc(reinterpret_cast<const void*>(&Record)); }
    TReporterRecorder(const TReporterRecorder&) = delete;
    TReporterRecorder& operator=(const TReporterRecorder&) = delete;
    static std::vector<std::pair<std::string, std::string>>& Records()
    {
        static std::vector<std::pair<std::string, std::string>> records;
        return records;
    }

private:
    static void Record(bool, const ReportedException* object, uintptr_t, uint32_t, std::string&, std::string&, bool&, bool& handled)
    {
        Records().emplace_back(object ? object->ClassName : std::string(), object ? object->Message : std::string());
        handled = true;
    }
};

// Answers questions from a script and records every box.
class TScriptedPrompt : public TPrompt {
public:
    struct TBox {
        QWidget* Owner;
        QString Text;
        QString Caption;
        unsigned Type;
    };
    std::vector<TBox> Boxes;
    std::deque<int> Answers; // message box answers; IDOK when empty
    std::deque<QString> InputAnswers; // InputQuery answers; a null string cancels
    std::deque<int> ConfirmAnswers;
    QStringList CheckCaptions;
    int InputCount = 0;

    TScriptedPrompt() { SetPrompt(this); }
    ~TScriptedPrompt() override { SetPrompt(nullptr); }

    int MessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type) override
    {
        Boxes.push_back({ owner, text, caption, type });
        return Next(Answers, IDOK);
    }
    int MessageDlgWithCheckBox(
        const QString& text, bool& ticked, TMsgDlgType, const QString& checkCaption, unsigned) override
    {
        Boxes.push_back({ nullptr, text, ApplicationTitle(), 0 });
        CheckCaptions << checkCaption;
        ticked = !ticked;
        return Next(Answers, IDYES);
    }
    bool InputQuery(QWidget*, const QString&, const QString&, QString& value) override
    {
        ++InputCount;
        const QString answer = InputAnswers.empty() ? QString() : InputAnswers.front();
        if (!InputAnswers.empty())
            InputAnswers.pop_front();
        if (answer.isNull())
            return false;
        value = answer;
        return true;
    }
    bool OpenFileDialog(QWidget*, TOpenFileRequest&) override { return false; }
    int Confirm(const QString&) override { return Next(ConfirmAnswers, 2); }
    // Save dialog answers: file name and filter index; none cancels.
    std::deque<std::pair<QString, int>> SaveAnswers;
    std::vector<TOpenFileRequest> SaveRequests;
    bool SaveFileDialog(QWidget*, TOpenFileRequest& request) override
    {
        SaveRequests.push_back(request);
        if (SaveAnswers.empty())
            return false;
        request.Files = QStringList { SaveAnswers.front().first };
        request.FilterIndex = SaveAnswers.front().second;
        SaveAnswers.pop_front();
        return true;
    }

private:
    static int Next(std::deque<int>& queue, int fallback)
    {
        if (queue.empty())
            return fallback;
        const int v = queue.front();
        queue.pop_front();
        return v;
    }
};

// What the main window keeps to itself, for the tests.
class TMainFormTestAccess {
public:
    explicit TMainFormTestAccess(TfmTarvellMainForm& form)
        : F(form)
    {
    }
    QTimer& Timer1() { return F.FTimer1; }
    QTimer& Timer2() { return F.FTimer2; }
    QTimer& TiAutoUpdate() { return F.FTiAutoUpdate; }
    const TCloseFlags& CloseFlags() const { return F.FFlags; }
    bool SilentUpdate() const { return F.FSilentUpdate; }
    // As a dropped or forwarded file: the child showing path, else the open routine.
    void OpenOrShow(const QString& path) { F.OpenOrShow(path, QString()); }
    // Hide In Tray on a desktop with or without a notification area.
    void HideInTray(bool trayAvailable) { F.HideInTray(trayAvailable); }
    // What the open routine sees of the window.
    TOpenHost& OpenHost() { return F; }
    QMdiArea* MdiArea() const { return F.MdiArea(); }
    TfmTarvellStartup* StartupScreen() const { return F.StartupScreen(); }
    TfmSiteManager* SiteManager() const { return F.SiteManager(); }
    QToolBar* ToolBar1() const { return F.ToolBar1(); }
    QLabel* StatusPanel(int index) const { return F.StatusPanel(index); }
    QSystemTrayIcon* TrayIcon() const { return F.TrayIcon(); }
    QMenu* PopupMenu1() const { return F.PopupMenu1(); }
    QMenu* PmAutoUpdate() const { return F.PmAutoUpdate(); }
    QMenu* Language1() const { return F.Language1(); }
    const QString& SearchText() const { return F.SearchText(); }
    bool UpdateRunning() const { return F.UpdateRunning(); }

private:
    TfmTarvellMainForm& F;
};

// The child window's widgets, for the tests.
class TMDIChildTestAccess {
public:
    explicit TMDIChildTestAccess(TMDIChild& child)
        : C(child)
    {
    }
    TEntriesView* ListView1() const { return C.ListView1; }
    QLineEdit* edDescription() const { return C.edDescription; }
    QLineEdit* edLatDeg() const { return C.edLatDeg; }
    QLineEdit* edLatMin() const { return C.edLatMin; }
    QLineEdit* edLatSec() const { return C.edLatSec; }
    QLineEdit* edLonDeg() const { return C.edLonDeg; }
    QLineEdit* edLonMin() const { return C.edLonMin; }
    QLineEdit* edLonSec() const { return C.edLonSec; }
    QLineEdit* edLatitude() const { return C.edLatitude; }
    QLineEdit* edLongitude() const { return C.edLongitude; }
    QPushButton* buLatSign() const { return C.buLatSign; }
    QPushButton* buLonSign() const { return C.buLonSign; }
    QToolBar* ToolBar2() const { return C.ToolBar2; }
    QMenu* PopupActionBarEx1() const { return C.PopupActionBarEx1; }
    QWidget* paMaps() const { return C.paMaps; }
    QSplitter* spMap() const { return C.spMap; }
    QWidget* paMapForm() const { return C.paMapForm; }
    QTabBar* tsMaps() const { return C.tsMaps; }
    QMenu* miShowIn() const { return C.miShowIn; }
    QMenu* miAddTo() const { return C.miAddTo; }
    bool BulkSelecting() const { return C.BulkSelecting; }
    bool KeySelectPending() const { return C.KeySelectPending; }

private:
    TMDIChild& C;
};

// The start-up screen's actions and widgets, for the tests.
class TStartupTestAccess {
public:
    explicit TStartupTestAccess(TfmTarvellStartup& screen)
        : S(screen)
    {
    }
    QAction* acNew() const { return S.acNew; }
    QAction* acWizard() const { return S.acWizard; }
    QAction* acAutoUpdateManager() const { return S.acAutoUpdateManager; }
    QAction* acAutoUpdateNow() const { return S.acAutoUpdateNow; }
    TAdvGlowButton* buNew() const { return S.buNew; }
    TAdvGlowButton* buWizard() const { return S.buWizard; }
    TAdvGlowButton* buAutoUpdateManager() const { return S.buAutoUpdateManager; }
    TAdvGlowButton* buAutoUpdateNow() const { return S.buAutoUpdateNow; }
    QCheckBox* cbDontShow() const { return S.cbDontShow; }
    QMenu* pmAutoUpdate() const { return S.pmAutoUpdate; }
    QLabel* Label1() const { return S.Label1; }

private:
    TfmTarvellStartup& S;
};

// Runs action once the next modal window (an update run's status window) is up, then closes that
// window; counts the windows so handled.
class TModalCloser : public QObject {
public:
    std::function<void(QWidget* modal)> During;
    int Closed = 0;
    QStringList Titles;

    TModalCloser()
    {
        FTimer.setInterval(5);
        QObject::connect(&FTimer, &QTimer::timeout, this, [this] { Poll(); });
        FTimer.start();
    }

private:
    void Poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (!modal || modal == FLast)
            return;
        FLast = modal;
        if (During)
            std::exchange(During, nullptr)(modal);
        Titles << modal->windowTitle();
        ++Closed;
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        FLast = nullptr;
    }
    QTimer FTimer;
    QWidget* FLast = nullptr;
};

// Runs action once on the next modal dialog that comes up; the dialog stays open unless the
// action closes it (accepting it, for instance).
class TOnNextModal : public QObject {
public:
    explicit TOnNextModal(std::function<void(QDialog*)> action)
        : FAction(std::move(action))
    {
        FTimer.setInterval(5);
        QObject::connect(&FTimer, &QTimer::timeout, this, [this] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (!dialog || !dialog->isVisible())
                return;
            FTimer.stop();
            Ran = true;
            FAction(dialog);
        });
        FTimer.start();
    }
    bool Ran = false;

private:
    std::function<void(QDialog*)> FAction;
    QTimer FTimer;
};

// Profiles as the tests name them: "" is the default profile; each count is its number of items,
// all of one site that nobody serves.
inline void SetProfiles(std::initializer_list<std::pair<const char*, int>> profiles)
{
    ClearAutoUpdateProfiles();
    LoadAutoUpdateProfiles();
    for (const auto& [name, items] : profiles) {
        TUpdateItems& profile
            = *name ? AddAutoUpdateProfile(QString::fromLatin1(name)) : GetAutoUpdateProfile(0);
        for (int i = 0; i < items; ++i) {
            auto item = std::make_unique<TUpdateItem>();
            item->Site = QStringLiteral("http://127.0.0.1:9/sites.xml");
            item->Description = QStringLiteral("%1 item %2").arg(QLatin1String(name)).arg(i);
            item->Target = QStringLiteral("FILE:///nonexistent/%1%2.ov2").arg(QLatin1String(name)).arg(i);
            profile.Add(std::move(item));
        }
    }
}

// Row count of each update run's status window, closed before its run starts.
struct TRunRecorder : TModalCloser {
    std::vector<int> Rows;
    std::function<void(QWidget*)> Inside;
    TRunRecorder()
    {
        During = [this](QWidget* modal) { Record(modal); };
    }
    void Record(QWidget* modal)
    {
        auto* status = qobject_cast<TfmStatus*>(modal);
        Rows.push_back(status ? status->Run().RowCount() : -1);
        if (Inside)
            std::exchange(Inside, nullptr)(modal);
        During = [this](QWidget* next) { Record(next); };
    }
};

#ifdef TARVELL_ARTIFACTS
// Keeps a window's picture as build/artifacts/<name> when the test runs on a real X server.
inline bool SaveArtifactPicture(const QPixmap& shot, const QString& name)
{
    if (shot.isNull())
        return false;
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    QDir().mkpath(QStringLiteral(TARVELL_ARTIFACTS));
    return shot.save(QStringLiteral(TARVELL_ARTIFACTS "/") + name);
}
#endif
