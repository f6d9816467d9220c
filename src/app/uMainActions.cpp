// The main window's command table, its enabled rules and the close decision.
#include "app/uMainActions.h"

#include <QtGlobal>

#include <algorithm>
#include <numeric>

namespace {

#define CAP(text) QT_TRANSLATE_NOOP("TfmTarvellMainForm", text)

using R = TActionRule;

const TActionDef Table[] = {
    { "acFileNew", CAP("&New"), "Ctrl+N", R::Always, 0, 0 },
    { "acFileOpen", CAP("&Open"), "Ctrl+O", R::Always, 0, 1 },
    { "acFileAppend", CAP("A&ppend"), "", R::FileOpen, 0, 38 },
    { "acFileRemote", CAP("Open Remote..."), "Ctrl+D", R::Always, 0, 2 },
    { "acFileSave", CAP("&Save"), "Ctrl+S", R::FileOpen, 0, 3 },
    { "acFileSaveAs", CAP("Save &As..."), "", R::FileOpen, 0, 4 },
    { "acFileSaveRemote", CAP("Save Remote..."), "", R::FileOpen, 0, 5 },
    { "acFileClose", CAP("&Close File"), "Ctrl+F4", R::FileOpen, 0, 34 },
    { "acFileReconnect", CAP("Reconnect"), "", R::DeviceConnected, 0, 35 },
    { "acHide", CAP("&Hide In Tray"), "", R::Always, 0, 19 },
    { "acFileExit", CAP("E&xit"), "Alt+F4", R::Always, 0, 20 },
    { "acMru1", "", "", R::Mru, 0, -1 },
    { "acMru2", "", "", R::Mru, 1, -1 },
    { "acMru3", "", "", R::Mru, 2, -1 },
    { "acMru4", "", "", R::Mru, 3, -1 },
    { "acMru5", "", "", R::Mru, 4, -1 },
    { "acMru6", "", "", R::Mru, 5, -1 },
    { "acMru7", "", "", R::Mru, 6, -1 },
    { "acMru8", "", "", R::Mru, 7, -1 },
    { "acMru9", "", "", R::Mru, 8, -1 },
    { "acEditCopy", CAP("Copy"), "Ctrl+C", R::ListFocus, 0, 7 },
    { "acCopyText", CAP("Copy as text"), "", R::ListFocus, 0, 39 },
    { "acEditCut", CAP("Cut"), "Ctrl+X", R::ListFocus, 0, 6 },
    { "acEditPaste", CAP("Paste"), "Ctrl+V", R::ListFocus, 0, 8 },
    { "acEditDelete", CAP("&Delete"), "Del", R::ListFocus, 0, 22 },
    { "acEditInsert", CAP("&Insert"), "Ins", R::ListFocus, 0, 23 },
    { "acEditSelectAll", CAP("Select &All"), "Ctrl+A", R::FileOpen, 0, 24 },
    { "acInvertSelection", CAP("I&nvert Selection"), "Ctrl+I", R::FileOpen, 0, 25 },
    { "acFind", CAP("&Find"), "Ctrl+F", R::FileOpen, 0, 9 },
    { "acFindNext", CAP("Find &Next"), "F3", R::FindNext, 0, 10 },
    { "acFindDups", CAP("Find Duplicates..."), "F4", R::FileOpen, 0, 26 },
    { "acCalc", CAP("Coordinates Calculator..."), "", R::Always, 0, 18 },
    { "actToolsBatchConvert", CAP("Batch Convert..."), "", R::Always, 0, 27 },
    { "actPrefs", CAP("Preferences..."), "", R::Always, 0, 28 },
    { "acAutoUpdateWizard", CAP("AutoUpdate Wizard..."), "", R::Always, 0, 11 },
    { "acAutoUpdateManager", CAP("AutoUpdate Manager..."), "F8", R::Always, 0, 12 },
    { "acAutoUpdateNow", CAP("AutoUpdate All..."), "F9", R::AutoUpdateNow, 0, ImageAutoUpdateAll },
    { "acAutoUpdateToolbar", CAP("AutoUpdate All..."), "", R::AutoUpdateToolbar, 0, ImageAutoUpdateAll },
    { "acAutoUpdatePopParent", CAP("AutoUpdate &Profile"), "", R::ProfileParent, 0, -1 },
    { "acAutoUpdateProfile1", CAP("AutoUpdate %1"), "", R::Profile, 0, -1 },
    { "acAutoUpdateProfile2", CAP("AutoUpdate %1"), "", R::Profile, 1, -1 },
    { "acAutoUpdateProfile3", CAP("AutoUpdate %1"), "", R::Profile, 2, -1 },
    { "acAutoUpdateProfile4", CAP("AutoUpdate %1"), "", R::Profile, 3, -1 },
    { "acAutoUpdateProfile5", CAP("AutoUpdate %1"), "", R::Profile, 4, -1 },
    { "acAutoUpdateProfile6", CAP("AutoUpdate %1"), "", R::Profile, 5, -1 },
    { "acAutoUpdateProfile7", CAP("AutoUpdate %1"), "", R::Profile, 6, -1 },
    { "acAutoUpdateProfile8", CAP("AutoUpdate %1"), "", R::Profile, 7, -1 },
    { "acAutoUpdateProfile9", CAP("AutoUpdate %1"), "", R::Profile, 8, -1 },
    { "acAutoUpdateProfile10", CAP("AutoUpdate %1"), "", R::Profile, 9, -1 },
    { "acGotoSiteStatus", CAP("Go to the Sites Status Page..."), "", R::Always, 0, 45 },
    { "acWindowCascade", CAP("&Cascade"), "", R::FileOpen, 0, 16 },
    { "acWindowTileHorizontal", CAP("Tile &Horizontally"), "", R::FileOpen, 0, 14 },
    { "acWindowTileVertical", CAP("Tile &Vertically"), "", R::FileOpen, 0, 15 },
    { "WindowMinimizeAll2", CAP("&Minimize All"), "", R::FileOpen, 0, 41 },
    { "WindowArrange1", CAP("&Arrange All"), "", R::FileOpen, 0, 56 },
    { "acWindowNext", CAP("Next Window"), "Ctrl+F6", R::MultipleChildren, 0, 17 },
    { "Action4", CAP("Check for Tarvell updates..."), "", R::Always, 0, 40 },
    { "acCheckEveryWeek", CAP("Check every week"), "", R::CheckEveryWeek, 0, ImageCheckWeekOff },
    { "Action7", CAP("Go to Tarvell Page..."), "", R::Always, 0, 29 },
    { "Action8", CAP("Online Tarvell FAQ..."), "", R::Always, 0, 30 },
    { "Action5", CAP("Goto Tarvell forum..."), "", R::Always, 0, 31 },
    { "acSysInfo", CAP("System Info..."), "", R::Always, 0, 32 },
    { "acAbout", CAP("&About..."), "", R::Always, 0, 33 },
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
