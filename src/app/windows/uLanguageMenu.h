// The window side of the interface languages: the radio items of a language menu, the language
// applied at start-up and the restart in another language.
#pragma once

#include "lang/uQLocUtils.h"

#include <QCoreApplication>

#include <functional>

class QAction;
class QMenu;

struct TLanguageMenuEvents {
    // Before an item is added; setting skip drops it.
    std::function<void(const TDLLInfoItem&, QAction*, bool& skip)> OnLanguageItemAdd;
    // After a choice; setting restart (switch mode 1) ends the program and starts it again.
    std::function<void(QAction*, const TDLLInfoItem&, bool& restart)> OnLanguageSelected;
};

class TLanguageTexts {
    Q_DECLARE_TR_FUNCTIONS(LocUtils)
};

// Fills menu with one radio item per language (data = the entry's index, group groupIndex), the
// active one checked. "Error populating menu" when the language folder is missing.
void PopulateLanguageMenu(
    TQLocUtils& utils, QMenu* menu, int groupIndex, int switchMode, const TLanguageMenuEvents& events = {});
// The items' click: the checked item does nothing; a language file that fails its check is a
// warning box.
void LanguageMenuItemClick(TQLocUtils& utils, QAction* item, const TLanguageMenuEvents& events);

// The "Language" setting applied before the first window: 9 is the executable's own texts; a
// language that cannot be applied is reported, and the setting becomes 9.
void ApplyLanguageSetting(TQLocUtils& utils);
void SetStartupLanguage();

// Starts the executable again (the caller ends this process).
bool StartProgramAgain(const QStringList& parameters);
// Stores lcid in "Language", writes the settings and starts the executable again without
// parameters. The caller has closed the single-instance server and ends this process.
bool RestartInLanguage(int lcid);
