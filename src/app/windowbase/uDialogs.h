// The window half of the general routines: message boxes captioned with the application title,
// the one question interface every prompt goes through, the command guard and a few window helpers.
#pragma once

#include "core/uGeneral.h"

#include <QCoreApplication>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QAbstractItemModel;
class QAction;
class QMenu;
class QPixmap;
class QToolBar;
class QToolButton;
class QWidget;
class TdmMain;
struct TActionDef;

// Texts of this unit outside a window class.
class TDialogTexts {
    Q_DECLARE_TR_FUNCTIONS(uDialogs)
};


// Button results, as the system message box returns them.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

// Box types: the low nibble chooses the buttons, the next one the icon.
inline constexpr unsigned MB_OK = 0x00;
inline constexpr unsigned MB_OKCANCEL = 0x01;
inline constexpr unsigned MB_YESNOCANCEL = 0x03;
inline constexpr unsigned MB_YESNO = 0x04;
inline constexpr unsigned MB_ICONSTOP = 0x10;
inline constexpr unsigned MB_ICONQUESTION = 0x20;
inline constexpr unsigned MB_ICONEXCLAMATION = 0x30;
inline constexpr unsigned MB_ICONINFORMATION = 0x40;

// Message dialog kinds and buttons of MessageDlgWithCheckBox.
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
enum TMsgDlgButton : unsigned { mbYes = 1, mbNo = 2, mbOK = 4, mbCancel = 8 };

// What an open-file question asks and answers. FilterIndex counts from 1, as the filter strings do.
struct TOpenFileRequest {
    QString Title;
    QString InitialDir;
    QStringList NameFilters;
    int FilterIndex = 1;
    QString DefaultSuffix;
    bool Multiple = false;
    // Save dialogs: the default extension (no dot) of each filter, followed as the filter changes.
    QStringList FilterSuffixes;
    // answers
    QStringList Files;
};

// Every question the program puts to the user. The program installs the dialog implementation;
// tests install scripted answers.
class TPrompt {
public:
    virtual ~TPrompt() = default;
    // A message box of the given type; returns IDOK, IDCANCEL, IDYES or IDNO.
    virtual int MessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type) = 0;
    // A message box with a check box whose state is read from and written back to ticked.
    virtual int MessageDlgWithCheckBox(
        const QString& text, bool& ticked, TMsgDlgType type, const QString& checkCaption, unsigned buttons)
        = 0;
    // A one-line text question; false when cancelled (value then stays as it was).
    virtual bool InputQuery(QWidget* owner, const QString& title, const QString& prompt, QString& value) = 0;
    // An open-file dialog; false when cancelled.
    virtual bool OpenFileDialog(QWidget* owner, TOpenFileRequest& request) = 0;
    // The four-way overwrite question; returns 0 Yes, 1 No, 2 Cancel, 3 Yes to All, 4 always.
    virtual int Confirm(const QString& message) = 0;
    // A save-file dialog asking before it overwrites; false when cancelled. Files[0] and
    // FilterIndex are the answers.
    virtual bool SaveFileDialog(QWidget* owner, TOpenFileRequest& request);
};

// The installed prompt (the real dialogs unless a test installed another).
TPrompt& GetPrompt();
// Installs prompt (not owned); nullptr restores the real dialogs.
void SetPrompt(TPrompt* prompt);

// Real dialogs: QMessageBox, QInputDialog, QFileDialog.
class TDialogPrompt : public TPrompt {
    Q_DECLARE_TR_FUNCTIONS(uDialogs)
public:
    int MessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type) override;
    int MessageDlgWithCheckBox(
        const QString& text, bool& ticked, TMsgDlgType type, const QString& checkCaption, unsigned buttons) override;
    bool InputQuery(QWidget* owner, const QString& title, const QString& prompt, QString& value) override;
    bool OpenFileDialog(QWidget* owner, TOpenFileRequest& request) override;
    int Confirm(const QString& message) override;
    bool SaveFileDialog(QWidget* owner, TOpenFileRequest& request) override;
};

// The owner of a box asked for form: the form when it is visible and active, else the active
// window, else none.
QWidget* MessageBoxOwner(QWidget* form);

int MsgBoxOwned(QWidget* form, const QString& text, const QString& caption, unsigned type);
int AskYesNo(QWidget* owner, const QString& text);
bool YesNo(const QString& text);
int AskYesNoCancel(QWidget* owner, const QString& text);
void ShowInfo(QWidget* owner, const QString& text);
void ShowWarning(QWidget* owner, const QString& text);
// checkCaption empty: the standard "don't show again" caption.
int MessageDlgWithCheckBox(
    const QString& text, bool& ticked, TMsgDlgType type, const QString& checkCaption, unsigned buttons);
int AskYesNoWithCheckBox(const QString& text, bool& ticked, const QString& checkCaption = QString());
bool YesNoWithCheckBox(const QString& text, bool& ticked, const QString& checkCaption = QString());

// Runs one command's body: user errors become a warning box (message and "."), any other failure
// is shown too until the crash reporter takes them. Nothing leaves a slot.
void RunCommand(QWidget* owner, const std::function<void()>& body);
// Sends what a glow button's click handler throws to the same display, owned by its window.
void InstallClickErrorDisplay();

// Opens a web page or file as the desktop does, through the installed opener; false when it
// could not be opened.
bool OpenUrl(const class QUrl& url);
// Installs the opener (tests record instead of starting a browser); an empty one restores the
// desktop's.
void SetUrlOpener(std::function<bool(const class QUrl&)> opener);
// A site's own web address is opened only when it is http:// or https:// (case-insensitive).
bool IsWebPageAddress(const QString& address);
// Opens the address (trimmed) when it is a web page; a catalogue never starts a file or program.
void OpenWebPage(const QString& address);

// A label that shows its text as the characters it is (site and file texts are never markup).
class QLabel* PlainTextLabel(QWidget* parent, bool wordWrap = false);
// The small button beside an edit that picks a file or folder for it.
class QPushButton* BrowseButton(QWidget* parent);

// The icon built from a picture (its own transparency serves as the mask).
QIcon BitmapToIcon(const QPixmap& bitmap);
// First row of column 0 whose text equals caption, case-insensitive; -1 when none.
int FindListItem(const QAbstractItemModel& items, const QString& caption);
// An action of the command table owned by owner, with its object name, shortcut (in context),
// tick and picture: the data module's tool picture of the table's index, which the action carries
// for the glow buttons linked to it. The caption comes with the window's texts, the effect with
// its handler.
QAction* CreateTableAction(QWidget* owner, const TActionDef& def, TdmMain& data, Qt::ShortcutContext context);
// Shows the tool picture index on an action made by CreateTableAction.
void SetTableActionImage(QAction* action, TdmMain& data, int image);
// The first tool button of the bar bound to action; nullptr when absent.
QToolButton* FindToolButton(QToolBar* toolBar, QAction* action);

// The save dialog of an export: asked again while the typed extension does not belong to the
// chosen writer (CheckExportFileExt); false when cancelled.
bool AskExportFileName(QWidget* owner, TOpenFileRequest& request);

// Sets each widget's text (labels, buttons, glow buttons) to its source text translated in context.
void ApplyTexts(const char* context, const std::vector<std::pair<QWidget*, const char*>>& texts);

// When fileName has an extension that differs (in lower case, with its dot) from the extension of
// writer number filterIndex - 1, says so and sets accept to false.
void CheckExportFileExt(const QString& fileName, int filterIndex, bool& accept);

// One AutoUpdate profile as the profile menus see it.
struct TProfileMenuInfo {
    QString Name;
    bool HasItems = false;
};
// Refills menu: optionally "AutoUpdate &All Profiles" (data -1), then one entry per profile (data =
// profile index; profile 0 is "&Default"); each triggers onClick. A menu left with one entry is
// cleared, the item itself then offers the choice.
void BuildAutoUpdateMenu(QMenu* menu, const std::vector<TProfileMenuInfo>& profiles, bool withAll,
    const std::function<void(QAction*)>& onClick);
