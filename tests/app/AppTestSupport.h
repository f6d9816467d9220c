// Shared helpers of the window tests: a private settings home, scripted answers for every
// question and a child window that records what the main window asks of it.
#pragma once

#include "app/fMain.h"
#include "app/uDialogs.h"
#include "core/uSettings.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QVBoxLayout>
#include <QWidget>

#include <deque>

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

// A POI file window stand-in.
class TFakeChild : public QWidget, public TChildWindow {
public:
    QString Name;
    bool Focused = false;
    bool AgreeToClose = true;
    QStringList Calls;
    int* CloseQueries = nullptr;

    explicit TFakeChild(QString name = QString())
        : Name(std::move(name))
    {
        setLayout(new QVBoxLayout);
        layout()->addWidget(new QLineEdit(this));
        setWindowTitle(Name);
    }
    QString FileName() const override { return Name; }
    bool ListHasFocus() const override { return Focused; }
    bool CloseQuery() override
    {
        Calls << QStringLiteral("CloseQuery");
        if (CloseQueries)
            ++*CloseQueries;
        return AgreeToClose;
    }
    void Save() override { Calls << QStringLiteral("Save"); }
    void SaveAs() override { Calls << QStringLiteral("SaveAs"); }
    void SaveRemote() override { Calls << QStringLiteral("SaveRemote"); }
    void CopySelected() override { Calls << QStringLiteral("CopySelected"); }
    void CopyAsText() override { Calls << QStringLiteral("CopyAsText"); }
    void CutSelected() override { Calls << QStringLiteral("CutSelected"); }
    void Paste() override { Calls << QStringLiteral("Paste"); }
    void Delete() override { Calls << QStringLiteral("Delete"); }
    void Insert() override { Calls << QStringLiteral("Insert"); }
    void SelectAll() override { Calls << QStringLiteral("SelectAll"); }
    void InvertSelection() override { Calls << QStringLiteral("InvertSelection"); }
    void Find(const QString& text) override { Calls << QStringLiteral("Find:") + text; }
    void FindNext(const QString& text) override { Calls << QStringLiteral("FindNext:") + text; }
};
