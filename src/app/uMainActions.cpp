// The main window's command table, its enabled rules and the close decision.
#include "app/uMainActions.h"

#include <QtGlobal>

#include <algorithm>
#include <numeric>

namespace {


using R = TActionRule;

const TActionDef Table[] = {
    { "acFileNew", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&New"), "Ctrl+N", R::Always, 0, 0 },
    { "acFileOpen", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Open"), "Ctrl+O", R::Always, 0, 1 },
    { "acFileAppend", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "A&ppend"), "", R::FileOpen, 0, 38 },
    { "acFileRemote", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Open Remote..."), "Ctrl+D", R::Always, 0, 2 },
    { "acFileSave", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Save"), "Ctrl+S", R::FileOpen, 0, 3 },
    { "acFileSaveAs", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Save &As..."), "", R::FileOpen, 0, 4 },
    { "acFileSaveRemote", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Save Remote..."), "", R::FileOpen, 0, 5 },
    { "acFileClose", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Close File"), "Ctrl+F4", R::FileOpen, 0, 34 },
    { "acFileReconnect", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Reconnect"), "", R::DeviceConnected, 0, 35 },
    { "acHide", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Hide In Tray"), "", R::Always, 0, 19 },
    { "acFileExit", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "E&xit"), "Alt+F4", R::Always, 0, 20 },
    { "acMru1", "", "", R::Mru, 0, -1 },
    { "acMru2", "", "", R::Mru, 1, -1 },
    { "acMru3", "", "", R::Mru, 2, -1 },
    { "acMru4", "", "", R::Mru, 3, -1 },
    { "acMru5", "", "", R::Mru, 4, -1 },
    { "acMru6", "", "", R::Mru, 5, -1 },
    { "acMru7", "", "", R::Mru, 6, -1 },
    { "acMru8", "", "", R::Mru, 7, -1 },
    { "acMru9", "", "", R::Mru, 8, -1 },
    { "acEditCopy", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Copy"), "Ctrl+C", R::ListFocus, 0, 7 },
    { "acCopyText", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Copy as text"), "", R::ListFocus, 0, 39 },
    { "acEditCut", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Cut"), "Ctrl+X", R::ListFocus, 0, 6 },
    { "acEditPaste", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Paste"), "Ctrl+V", R::ListFocus, 0, 8 },
    { "acEditDelete", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Delete"), "Del", R::ListFocus, 0, 22 },
    { "acEditInsert", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Insert"), "Ins", R::ListFocus, 0, 23 },
    { "acEditSelectAll", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Select &All"), "Ctrl+A", R::FileOpen, 0, 24 },
    { "acInvertSelection", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "I&nvert Selection"), "Ctrl+I", R::FileOpen, 0, 25 },
    { "acFind", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Find"), "Ctrl+F", R::FileOpen, 0, 9 },
    { "acFindNext", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Find &Next"), "F3", R::FindNext, 0, 10 },
    { "acFindDups", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Find Duplicates..."), "F4", R::FileOpen, 0, 26 },
    { "acCalc", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Coordinates Calculator..."), "", R::Always, 0, 18 },
    { "actToolsBatchConvert", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Batch Convert..."), "", R::Always, 0, 27 },
    { "actPrefs", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Preferences..."), "", R::Always, 0, 28 },
    { "acAutoUpdateWizard", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate Wizard..."), "", R::Always, 0, 11 },
    { "acAutoUpdateManager", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate Manager..."), "F8", R::Always, 0, 12 },
    { "acAutoUpdateNow", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate All..."), "F9", R::AutoUpdateNow, 0, ImageAutoUpdateAll },
    { "acAutoUpdateToolbar", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate All..."), "", R::AutoUpdateToolbar, 0, ImageAutoUpdateAll },
    { "acAutoUpdatePopParent", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate &Profile"), "", R::ProfileParent, 0, -1 },
    { "acAutoUpdateProfile1", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 0, -1 },
    { "acAutoUpdateProfile2", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 1, -1 },
    { "acAutoUpdateProfile3", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 2, -1 },
    { "acAutoUpdateProfile4", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 3, -1 },
    { "acAutoUpdateProfile5", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 4, -1 },
    { "acAutoUpdateProfile6", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 5, -1 },
    { "acAutoUpdateProfile7", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 6, -1 },
    { "acAutoUpdateProfile8", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 7, -1 },
    { "acAutoUpdateProfile9", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 8, -1 },
    { "acAutoUpdateProfile10", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 9, -1 },
    { "acGotoSiteStatus", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Go to the Sites Status Page..."), "", R::Always, 0, 45 },
    { "acWindowCascade", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Cascade"), "", R::FileOpen, 0, 16 },
    { "acWindowTileHorizontal", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Tile &Horizontally"), "", R::FileOpen, 0, 14 },
    { "acWindowTileVertical", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Tile &Vertically"), "", R::FileOpen, 0, 15 },
    { "WindowMinimizeAll2", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Minimize All"), "", R::FileOpen, 0, 41 },
    { "WindowArrange1", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Arrange All"), "", R::FileOpen, 0, 56 },
    { "acWindowNext", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Next Window"), "Ctrl+F6", R::MultipleChildren, 0, 17 },
    { "Action4", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Check for Tarvell updates..."), "", R::Always, 0, 40 },
    { "acCheckEveryWeek", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Check every week"), "", R::CheckEveryWeek, 0, ImageCheckWeekOff },
    { "Action7", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Go to Tarvell Page..."), "", R::Always, 0, 29 },
    { "Action8", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Online Tarvell FAQ..."), "", R::Always, 0, 30 },
    { "Action5", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Goto Tarvell forum..."), "", R::Always, 0, 31 },
    { "acSysInfo", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "System Info..."), "", R::Always, 0, 32 },
    { "acAbout", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&About..."), "", R::Always, 0, 33 },
};

#undef CAP

} // namespace

std::span<const TActionDef> MainActionTable()
{
    return Table;
}

const TActionDef* FindMainAction(const QString& name)
{
    for (const TActionDef& def : Table)
        if (name == QLatin1String(def.Name))
            return &def;
    return nullptr;
}

TActionLook EvaluateAction(const TActionDef& action, const TMainActionState& state)
{
    TActionLook look;
    const int profiles = std::max(1, int(state.ProfileItems.size()));
    auto itemsOf = [&](int profile) {
        return profile >= 0 && profile < int(state.ProfileItems.size()) ? state.ProfileItems[size_t(profile)] : 0;
    };
    switch (action.Rule) {
    case TActionRule::Always:
        break;
    case TActionRule::FileOpen:
        look.Enabled = state.ChildCount > 0;
        break;
    case TActionRule::ListFocus:
        look.Enabled = state.ChildCount > 0 && state.ListHasFocus;
        break;
    case TActionRule::DeviceConnected:
        look.Enabled = state.DeviceConnected;
        break;
    case TActionRule::FindNext:
        look.Enabled = state.ChildCount > 0 && !state.SearchTextEmpty;
        break;
    case TActionRule::Mru:
        look.Visible = action.Tag < state.MruCount;
        break;
    case TActionRule::AutoUpdateNow:
        look.Enabled = std::accumulate(state.ProfileItems.begin(), state.ProfileItems.end(), 0) > 0;
        break;
    case TActionRule::AutoUpdateToolbar:
        if (profiles > 1) {
            look.Image = ImageAutoUpdateAllDrop;
        } else {
            look.Enabled = itemsOf(0) > 0;
            look.Image = ImageAutoUpdateAll;
        }
        break;
    case TActionRule::ProfileParent:
        look.Visible = profiles > 1;
        break;
    case TActionRule::Profile:
        look.Visible = action.Tag < profiles;
        look.Enabled = look.Visible && itemsOf(action.Tag) > 0;
        break;
    case TActionRule::MultipleChildren:
        look.Enabled = state.ChildCount > 1;
        break;
    case TActionRule::CheckEveryWeek:
        look.Checked = state.CheckEveryWeek;
        look.Image = state.CheckEveryWeek ? ImageCheckWeekOn : ImageCheckWeekOff;
        break;
    }
    return look;
}

TCloseOutcome DecideClose(TCloseFlags& flags, bool childrenClosed, int* restartLanguage)
{
    if (!childrenClosed) {
        // A refused close must not leave the flags armed: a later Hide In Tray would end the
        // program, a later close button would restart it.
        flags = TCloseFlags();
        return TCloseOutcome::Refused;
    }
    if (!flags.HidingInTray)
        flags.Exiting = true;
    TCloseOutcome outcome = TCloseOutcome::Hide;
    if (flags.Exiting) {
        outcome = TCloseOutcome::Exit;
        if (flags.LanguageIndex != -1) {
            outcome = TCloseOutcome::Restart;
            if (restartLanguage)
                *restartLanguage = flags.LanguageIndex;
        }
    }
    // Exiting stays set for an exit: the window is going away and later closes must not hide.
    flags.HidingInTray = false;
    flags.LanguageIndex = -1;
    return outcome;
}
