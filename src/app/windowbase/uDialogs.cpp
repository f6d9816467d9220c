// Message boxes, the question interface and the window helpers.
#include "app/windowbase/uDialogs.h"

#include "app/logic/uExcept.h"
#include "crashreport/logic/VostExcept.h"

#include "app/windowbase/dMain.h"
#include "app/windowbase/fConfirmDialog.h"
#include "app/logic/uMainActions.h"
#include "core/uGeneral.h"
#include "formats/uConvertBase.h"
#include "ui/AdvGlowButton.h"
#include "ui/uIcons.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QInputDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPixmap>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

namespace {

// Room a title bar takes besides the title: the window's icon and its buttons.
constexpr int TitleBarButtonsWidth = 140;

TPrompt*& InstalledPrompt()
{
    static TPrompt* prompt = nullptr;
    return prompt;
}

QMessageBox::Icon IconOfType(unsigned type)
{
    switch (type & 0xF0) {
    case MB_ICONSTOP:
        return QMessageBox::Critical;
    case MB_ICONQUESTION:
        return QMessageBox::Question;
    case MB_ICONEXCLAMATION:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int ResultOf(QMessageBox::StandardButton button)
{
    switch (button) {
    case QMessageBox::Yes:
        return IDYES;
    case QMessageBox::No:
        return IDNO;
    case QMessageBox::Ok:
        return IDOK;
    default:
        return IDCANCEL;
    }
}

} // namespace

TPrompt& GetPrompt()
{
    static TDialogPrompt dialogs;
    TPrompt* installed = InstalledPrompt();
    return installed ? *installed : dialogs;
}

void SetPrompt(TPrompt* prompt)
{
    InstalledPrompt() = prompt;
}

int TDialogPrompt::MessageBox(QWidget* owner, const QString& text, const QString& caption, unsigned type)
{
    QMessageBox box(IconOfType(type), caption, text, QMessageBox::NoButton, owner);
    // Messages carry site texts and file names: never read as markup.
    box.setTextFormat(Qt::PlainText);
    switch (type & 0x0F) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        break;
    default:
        box.setStandardButtons(QMessageBox::Ok);
        break;
    }
    const int answer = box.exec();
    // Escape on a Yes/No box closes it without a button: that is No, as the system box answers.
    if ((type & 0x0F) == MB_YESNO && answer != QMessageBox::Yes)
        return IDNO;
    return ResultOf(QMessageBox::StandardButton(answer));
}

int TDialogPrompt::MessageDlgWithCheckBox(
    const QString& text, bool& ticked, TMsgDlgType type, const QString& checkCaption, unsigned buttons)
{
    static const QMessageBox::Icon icons[] = { QMessageBox::Warning, QMessageBox::Critical, QMessageBox::Information,
        QMessageBox::Question, QMessageBox::NoIcon };
    QMessageBox box(icons[int(type)], ApplicationTitle(), text, QMessageBox::NoButton, QApplication::activeWindow());
    box.setTextFormat(Qt::PlainText);
    QMessageBox::StandardButtons standard;
    if (buttons & mbYes)
        standard |= QMessageBox::Yes;
    if (buttons & mbNo)
        standard |= QMessageBox::No;
    if (buttons & mbOK)
        standard |= QMessageBox::Ok;
    if (buttons & mbCancel)
        standard |= QMessageBox::Cancel;
    box.setStandardButtons(standard);
    auto* check = new QCheckBox(checkCaption, &box);
    check->setChecked(ticked);
    box.setCheckBox(check);
    const int answer = box.exec();
    ticked = check->isChecked();
    return ResultOf(QMessageBox::StandardButton(answer));
}

bool TDialogPrompt::InputQuery(QWidget* owner, const QString& title, const QString& prompt, QString& value)
{
    QInputDialog dialog(owner);
    dialog.setWindowTitle(title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(value);
    // The prompt may carry a POI's text: shown as the characters it is.
    for (QLabel* label : dialog.findChildren<QLabel*>())
        label->setTextFormat(Qt::PlainText);
    // The window manager cuts a title wider than the window; the buttons of its bar need room too.
    QFont titleFont = dialog.font();
    titleFont.setBold(true);
    const int titleWidth = QFontMetrics(titleFont).horizontalAdvance(title);
    // The dialog's layout sets its minimum size: the edit's minimum width makes it that wide.
    if (auto* edit = dialog.findChild<QLineEdit*>()) {
        const QMargins margins = dialog.layout() ? dialog.layout()->contentsMargins() : QMargins();
        edit->setMinimumWidth(titleWidth + TitleBarButtonsWidth - margins.left() - margins.right());
    }
    if (dialog.exec() != QDialog::Accepted)
        return false;
    value = dialog.textValue();
    return true;
}

bool TDialogPrompt::OpenFileDialog(QWidget* owner, TOpenFileRequest& request)
{
    QFileDialog dialog(owner, request.Title, request.InitialDir);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(request.Multiple ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
    dialog.setNameFilters(request.NameFilters);
    if (request.FilterIndex >= 1 && request.FilterIndex <= request.NameFilters.size())
        dialog.selectNameFilter(request.NameFilters[request.FilterIndex - 1]);
    dialog.setDefaultSuffix(request.DefaultSuffix);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    request.Files = dialog.selectedFiles();
    request.FilterIndex = int(request.NameFilters.indexOf(dialog.selectedNameFilter())) + 1;
    return true;
}

bool TPrompt::SaveFileDialog(QWidget*, TOpenFileRequest&) { return false; }

bool TDialogPrompt::SaveFileDialog(QWidget* owner, TOpenFileRequest& request)
{
    QFileDialog dialog(owner, request.Title, request.InitialDir);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(request.NameFilters);
    auto suffixFor = [&request](int index) {
        return index >= 1 && index <= request.FilterSuffixes.size() ? request.FilterSuffixes[index - 1]
                                                                    : request.DefaultSuffix;
    };
    if (request.FilterIndex >= 1 && request.FilterIndex <= request.NameFilters.size())
        dialog.selectNameFilter(request.NameFilters[request.FilterIndex - 1]);
    dialog.setDefaultSuffix(suffixFor(request.FilterIndex));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&](const QString& filter) {
        dialog.setDefaultSuffix(suffixFor(int(request.NameFilters.indexOf(filter)) + 1));
    });
    if (!request.Files.isEmpty())
        dialog.selectFile(request.Files.first());
    if (dialog.exec() != QDialog::Accepted)
        return false;
    request.Files = dialog.selectedFiles();
    request.FilterIndex = int(request.NameFilters.indexOf(dialog.selectedNameFilter())) + 1;
    return true;
}

int TDialogPrompt::Confirm(const QString& message)
{
    return RunConfirmDialog(message);
}

QWidget* MessageBoxOwner(QWidget* form)
{
    if (form && form->isVisible() && form->isActiveWindow())
        return form;
    return QApplication::activeWindow();
}

int MsgBoxOwned(QWidget* form, const QString& text, const QString& caption, unsigned type)
{
    return GetPrompt().MessageBox(MessageBoxOwner(form), text, caption, type);
}

int AskYesNo(QWidget* owner, const QString& text)
{
    return MsgBoxOwned(owner, text, ApplicationTitle(), MB_YESNO | MB_ICONQUESTION);
}

bool YesNo(const QString& text)
{
    return AskYesNo(nullptr, text) == IDYES;
}

int AskYesNoCancel(QWidget* owner, const QString& text)
{
    return MsgBoxOwned(owner, text, ApplicationTitle(), MB_YESNOCANCEL | MB_ICONQUESTION);
}

void ShowInfo(QWidget* owner, const QString& text)
{
    MsgBoxOwned(owner, text, ApplicationTitle(), MB_OK | MB_ICONINFORMATION);
}

void ShowWarning(QWidget* owner, const QString& text)
{
    MsgBoxOwned(owner, text, ApplicationTitle(), MB_OK | MB_ICONEXCLAMATION);
}

int MessageDlgWithCheckBox(
    const QString& text, bool& ticked, TMsgDlgType type, const QString& checkCaption, unsigned buttons)
{
    const QString caption = checkCaption.isEmpty() ? TDialogTexts::tr("Deze melding niet meer tonen") : checkCaption;
    return GetPrompt().MessageDlgWithCheckBox(text, ticked, type, caption, buttons);
}

int AskYesNoWithCheckBox(const QString& text, bool& ticked, const QString& checkCaption)
{
    return MessageDlgWithCheckBox(text, ticked, TMsgDlgType::mtConfirmation, checkCaption, mbYes | mbNo);
}

bool YesNoWithCheckBox(const QString& text, bool& ticked, const QString& checkCaption)
{
    return AskYesNoWithCheckBox(text, ticked, checkCaption) == IDYES;
}

void RunCommand(QWidget* owner, const std::function<void()>& body)
{
    try {
        body();
    } catch (...) {
        // User errors are the user's to act on; everything else is a fault for the reporter, after
        // which the program goes on.
        ReportedException exception = ReportedException::FromCurrentException();
        if (IsUserErrorException(&exception))
            ShowWarning(owner, UserErrorText(&exception));
        else
            HandleExceptionCore(false, &exception, exception.ThrowAddress, true);
    }
}

void InstallClickErrorDisplay()
{
    TAdvCustomGlowButton::SetClickErrorHandler([](QWidget* button, std::exception_ptr error) {
        RunCommand(button ? button->window() : nullptr, [&] { std::rethrow_exception(error); });
    });
}

namespace {

std::function<bool(const QUrl&)>& UrlOpener()
{
    static std::function<bool(const QUrl&)> opener;
    return opener;
}

} // namespace

bool OpenUrl(const QUrl& url)
{
    if (const auto& opener = UrlOpener())
        return opener(url);
    return QDesktopServices::openUrl(url);
}

void SetUrlOpener(std::function<bool(const QUrl&)> opener)
{
    UrlOpener() = std::move(opener);
}

bool IsWebPageAddress(const QString& address)
{
    const QUrl url(address.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() && (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

void OpenWebPage(const QString& address)
{
    if (IsWebPageAddress(address))
        OpenUrl(QUrl(address.trimmed()));
}

QLabel* PlainTextLabel(QWidget* parent, bool wordWrap)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(wordWrap);
    return label;
}

QPushButton* BrowseButton(QWidget* parent)
{
    auto* button = new QPushButton(parent);
    button->setIcon(BundledIcon(QStringLiteral("document-open")));
    return button;
}

QIcon BitmapToIcon(const QPixmap& bitmap)
{
    return QIcon(bitmap);
}

int FindListItem(const QAbstractItemModel& items, const QString& caption)
{
    for (int row = 0; row < items.rowCount(); ++row)
        if (items.data(items.index(row, 0)).toString().compare(caption, Qt::CaseInsensitive) == 0)
            return row;
    return -1;
}

QAction* CreateTableAction(QWidget* owner, const TActionDef& def, TdmMain& data, Qt::ShortcutContext context)
{
    auto* action = new TImageAction(owner);
    action->setObjectName(QLatin1String(def.Name));
    if (*def.Shortcut) {
        action->setShortcut(QKeySequence(QString::fromLatin1(def.Shortcut)));
        action->setShortcutContext(context);
    }
    action->SetImages(&data.NormalImages);
    SetTableActionImage(action, data, def.Image);
    action->setCheckable(def.Checkable);
    return action;
}

void SetTableActionImage(QAction* action, TdmMain& data, int image)
{
    action->setIcon(data.ToolIcon(image));
    if (auto* imageAction = qobject_cast<TImageAction*>(action))
        imageAction->SetImageIndex(image);
}

QToolButton* FindToolButton(QToolBar* toolBar, QAction* action)
{
    if (!toolBar || !action)
        return nullptr;
    return qobject_cast<QToolButton*>(toolBar->widgetForAction(action));
}

void CheckExportFileExt(const QString& fileName, int filterIndex, bool& accept)
{
    const QString suffix = QFileInfo(fileName).suffix();
    if (suffix.isEmpty())
        return;
    const QString extension = QChar('.') + suffix.toLower();
    const QString wanted = TConvertToBase::Extension(filterIndex - 1).toLower(); // with its dot
    if (extension != wanted) {
        ShowWarning(nullptr,
            TDialogTexts::tr("Extension \"%1\" of filename does not match selected filetype.")
                .arg(QChar('.') + suffix));
        accept = false;
    }
}

bool AskExportFileName(QWidget* owner, TOpenFileRequest& request)
{
    for (;;) {
        if (!GetPrompt().SaveFileDialog(owner, request) || request.Files.isEmpty())
            return false;
        bool accept = true;
        CheckExportFileExt(request.Files.first(), request.FilterIndex, accept);
        if (accept)
            return true;
    }
}

void ApplyTexts(const char* context, const std::vector<std::pair<QWidget*, const char*>>& texts)
{
    for (const auto& [widget, text] : texts) {
        const QString translated = QCoreApplication::translate(context, text);
        if (auto* label = qobject_cast<QLabel*>(widget))
            label->setText(translated);
        else if (auto* glow = qobject_cast<TAdvCustomGlowButton*>(widget))
            glow->SetCaption(translated);
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            button->setText(translated);
    }
}

void BuildAutoUpdateMenu(QMenu* menu, const std::vector<TProfileMenuInfo>& profiles, bool withAll,
    const std::function<void(QAction*)>& onClick)
{
    menu->clear();
    auto add = [&](const QString& name, int tag, bool enabled) {
        QAction* item = menu->addAction(TDialogTexts::tr("AutoUpdate %1").arg(name));
        item->setData(tag);
        item->setEnabled(enabled);
        QObject::connect(item, &QAction::triggered, menu, [onClick, item] { onClick(item); });
    };
    if (withAll) {
        bool any = false;
        for (const TProfileMenuInfo& p : profiles)
            any = any || p.HasItems;
        add(TDialogTexts::tr("&All Profiles"), -1, any);
    }
    for (size_t i = 0; i < profiles.size(); ++i)
        add(QChar('&') + (i == 0 ? TDialogTexts::tr("Default") : profiles[i].Name), int(i), profiles[i].HasItems);
    if (menu->actions().size() == 1)
        menu->clear();
}
