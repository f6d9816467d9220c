// The window side of the interface languages.
#include "app/windows/uLanguageMenu.h"

#include "app/windowbase/uDialogs.h"
#include "core/uGeneral.h"
#include "core/uSettings.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QProcess>

void PopulateLanguageMenu(
    TQLocUtils& utils, QMenu* menu, int groupIndex, int switchMode, const TLanguageMenuEvents& events)
{
    utils.DllInfos.Clear();
    if (!utils.EnumLanguageDlls(&utils.DllInfos))
        throw ELocUtilsError(TLanguageTexts::tr("Error populating menu"));
    utils.SwitchMode = switchMode;
    const TDLLInfoItem active = utils.GetActiveLanguageInfo();
    QObject* owner = menu->parent() ? menu->parent() : menu;
    auto* group = new QActionGroup(owner);
    group->setObjectName(QStringLiteral("LanguageGroup%1").arg(groupIndex));
    // Radio items; optional, so that a click on the marked one reaches the handler unchanged.
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (int i = 0; i < utils.DllInfos.Count(); ++i) {
        const TDLLInfoItem& info = utils.DllInfos.GetItem(i);
        auto* item = new QAction(owner);
        item->setText(info.AnsiName.isEmpty() ? LanguageNameOf(info.LanguageId) : info.AnsiName);
        item->setCheckable(true);
        item->setData(i);
        bool skip = false;
        if (events.OnLanguageItemAdd)
            events.OnLanguageItemAdd(info, item, skip);
        if (skip) {
            delete item;
            continue;
        }
        item->setChecked(info.LanguageId == active.LanguageId);
        group->addAction(item);
        menu->addAction(item);
        QObject::connect(item, &QAction::triggered, item, [&utils, item, group, events] {
            // The click moved the mark already; the handler decides, from the marks as they were.
            const uint16_t language = utils.GetActiveLanguageInfo().LanguageId;
            for (QAction* other : group->actions()) {
                const int index = other->data().toInt();
                other->setChecked(
                    index >= 0 && index < utils.DllInfos.Count() && utils.DllInfos.GetItem(index).LanguageId == language);
            }
            LanguageMenuItemClick(utils, item, events);
        });
    }
}

void LanguageMenuItemClick(TQLocUtils& utils, QAction* item, const TLanguageMenuEvents& events)
{
    if (item->isChecked())
        return;
    const int index = item->data().toInt();
    if (index < 0 || index >= utils.DllInfos.Count())
        return;
    const TDLLInfoItem info = utils.DllInfos.GetItem(index);
    try {
        utils.LoadLanguageFile(info.LibraryFileName);
    } catch (const ELocUtilsError& e) {
        // A language file that does not fit this program is the user's to replace.
        ShowWarning(nullptr, e.Message());
        return;
    }
    if (utils.SwitchMode == 0) {
        for (QAction* other : item->actionGroup() ? item->actionGroup()->actions() : QList<QAction*> {})
            other->setChecked(false);
        item->setChecked(true);
    }
    bool restart = false;
    if (events.OnLanguageSelected)
        events.OnLanguageSelected(item, info, restart);
    if (restart && utils.SwitchMode == 1 && StartProgramAgain(utils.RestartParameters))
        QCoreApplication::quit();
}

void ApplyLanguageSetting(TQLocUtils& utils)
{
    utils.SwitchMode = 0;
    TSettings& settings = GetSettings();
    if (settings.Language == NativeLcid) {
        utils.RestoreNativeLanguage();
        return;
    }
    try {
        if (settings.Language < 0 || settings.Language > 0xFFFF)
            throw ELocUtilsError(QStringLiteral("LCID %1").arg(settings.Language));
        utils.SetLanguageByLcid(uint16_t(settings.Language));
    } catch (const std::exception&) {
        GetPrompt().MessageBox(nullptr, TLanguageTexts::tr("Preferred language not found, defaulting to English..."),
            ApplicationTitle(), MB_OK | MB_ICONSTOP);
        settings.Language = NativeLcid;
        utils.RestoreNativeLanguage();
    }
}

void SetStartupLanguage()
{
    ApplyLanguageSetting(QLocUtils());
}

bool StartProgramAgain(const QStringList& parameters)
{
    return QProcess::startDetached(ExecutablePath(), parameters);
}

bool RestartInLanguage(int lcid)
{
    GetSettings().Language = lcid;
    // The new copy reads the settings at once, so they reach the file before it starts.
    try {
        GetSettings().Save();
    } catch (const ETarvellError& e) {
        ShowWarning(nullptr, e.Message());
    }
    return StartProgramAgain({});
}
