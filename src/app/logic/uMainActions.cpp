// The command table of the main and child windows, its enabled rules and the close decision.
#include "app/logic/uMainActions.h"

#include <QtGlobal>

#include <algorithm>
#include <numeric>

namespace {

using A = TAction;
using R = TActionRule;
using W = TActionWindow;

constexpr TActionDef Table[] = {
    { A::acFileNew, W::Main, "acFileNew", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&New"), "Ctrl+N", R::Always, 0, 0, false },
    { A::acFileOpen, W::Main, "acFileOpen", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Open"), "Ctrl+O", R::Always, 0, 1, false },
    { A::acFileAppend, W::Main, "acFileAppend", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "A&ppend"), "", R::FileOpen, 0, 38, false },
    { A::acFileRemote, W::Main, "acFileRemote", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Open Remote..."), "Ctrl+D", R::Always, 0, 2, false },
    { A::acFileSave, W::Main, "acFileSave", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Save"), "Ctrl+S", R::FileOpen, 0, 3, false },
    { A::acFileSaveAs, W::Main, "acFileSaveAs", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Save &As..."), "", R::FileOpen, 0, 4, false },
    { A::acFileSaveRemote, W::Main, "acFileSaveRemote", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Save Remote..."), "", R::FileOpen, 0, 5, false },
    { A::acFileClose, W::Main, "acFileClose", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Close File"), "Ctrl+F4", R::FileOpen, 0, 34, false },
    { A::acFileReconnect, W::Main, "acFileReconnect", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Reconnect"), "", R::DeviceConnected, 0, 35, false },
    { A::acHide, W::Main, "acHide", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Hide In Tray"), "", R::Always, 0, 19, false },
    { A::acFileExit, W::Main, "acFileExit", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "E&xit"), "Alt+F4", R::Always, 0, 20, false },
    { A::acMru1, W::Main, "acMru1", "", "", R::Mru, 0, -1, false },
    { A::acMru2, W::Main, "acMru2", "", "", R::Mru, 1, -1, false },
    { A::acMru3, W::Main, "acMru3", "", "", R::Mru, 2, -1, false },
    { A::acMru4, W::Main, "acMru4", "", "", R::Mru, 3, -1, false },
    { A::acMru5, W::Main, "acMru5", "", "", R::Mru, 4, -1, false },
    { A::acMru6, W::Main, "acMru6", "", "", R::Mru, 5, -1, false },
    { A::acMru7, W::Main, "acMru7", "", "", R::Mru, 6, -1, false },
    { A::acMru8, W::Main, "acMru8", "", "", R::Mru, 7, -1, false },
    { A::acMru9, W::Main, "acMru9", "", "", R::Mru, 8, -1, false },
    { A::acEditCopy, W::Main, "acEditCopy", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Copy"), "Ctrl+C", R::ListFocus, 0, 7, false },
    { A::acCopyText, W::Main, "acCopyText", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Copy as text"), "", R::ListFocus, 0, 39, false },
    { A::acEditCut, W::Main, "acEditCut", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Cut"), "Ctrl+X", R::ListFocus, 0, 6, false },
    { A::acEditPaste, W::Main, "acEditPaste", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Paste"), "Ctrl+V", R::ListFocus, 0, 8, false },
    { A::acEditDelete, W::Main, "acEditDelete", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Delete"), "Del", R::ListFocus, 0, 22, false },
    { A::acEditInsert, W::Main, "acEditInsert", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Insert"), "Ins", R::ListFocus, 0, 23, false },
    { A::acEditSelectAll, W::Main, "acEditSelectAll", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Select &All"), "Ctrl+A", R::FileOpen, 0, 24, false },
    { A::acInvertSelection, W::Main, "acInvertSelection", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "I&nvert Selection"), "Ctrl+I", R::FileOpen, 0, 25, false },
    { A::acFind, W::Main, "acFind", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Find"), "Ctrl+F", R::FileOpen, 0, 9, false },
    { A::acFindNext, W::Main, "acFindNext", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Find &Next"), "F3", R::FindNext, 0, 10, false },
    { A::acFindDups, W::Main, "acFindDups", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Find Duplicates..."), "F4", R::FileOpen, 0, 26, false },
    { A::acCalc, W::Main, "acCalc", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Coordinates Calculator..."), "", R::Always, 0, 18, false },
    { A::actToolsBatchConvert, W::Main, "actToolsBatchConvert", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Batch Convert..."), "", R::Always, 0, 27, false },
    { A::actPrefs, W::Main, "actPrefs", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Preferences..."), "", R::Always, 0, 28, false },
    { A::acAutoUpdateWizard, W::Main, "acAutoUpdateWizard", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate Wizard..."), "", R::Always, 0, 11, false },
    { A::acAutoUpdateManager, W::Main, "acAutoUpdateManager", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate Manager..."), "F8", R::Always, 0, 12, false },
    { A::acAutoUpdateNow, W::Main, "acAutoUpdateNow", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate All..."), "F9", R::AutoUpdateNow, 0, ImageAutoUpdateAll, false },
    { A::acAutoUpdateToolbar, W::Main, "acAutoUpdateToolbar", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate All..."), "", R::AutoUpdateToolbar, 0, ImageAutoUpdateAll, false },
    { A::acAutoUpdatePopParent, W::Main, "acAutoUpdatePopParent", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate &Profile"), "", R::ProfileParent, 0, -1, false },
    { A::acAutoUpdateProfile1, W::Main, "acAutoUpdateProfile1", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 0, -1, false },
    { A::acAutoUpdateProfile2, W::Main, "acAutoUpdateProfile2", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 1, -1, false },
    { A::acAutoUpdateProfile3, W::Main, "acAutoUpdateProfile3", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 2, -1, false },
    { A::acAutoUpdateProfile4, W::Main, "acAutoUpdateProfile4", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 3, -1, false },
    { A::acAutoUpdateProfile5, W::Main, "acAutoUpdateProfile5", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 4, -1, false },
    { A::acAutoUpdateProfile6, W::Main, "acAutoUpdateProfile6", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 5, -1, false },
    { A::acAutoUpdateProfile7, W::Main, "acAutoUpdateProfile7", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 6, -1, false },
    { A::acAutoUpdateProfile8, W::Main, "acAutoUpdateProfile8", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 7, -1, false },
    { A::acAutoUpdateProfile9, W::Main, "acAutoUpdateProfile9", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 8, -1, false },
    { A::acAutoUpdateProfile10, W::Main, "acAutoUpdateProfile10", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "AutoUpdate %1"), "", R::Profile, 9, -1, false },
    { A::acGotoSiteStatus, W::Main, "acGotoSiteStatus", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Go to the Sites Status Page..."), "", R::Always, 0, 45, false },
    { A::acWindowCascade, W::Main, "acWindowCascade", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Cascade"), "", R::FileOpen, 0, 16, false },
    { A::acWindowTileHorizontal, W::Main, "acWindowTileHorizontal", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Tile &Horizontally"), "", R::FileOpen, 0, 14, false },
    { A::acWindowTileVertical, W::Main, "acWindowTileVertical", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Tile &Vertically"), "", R::FileOpen, 0, 15, false },
    { A::WindowMinimizeAll2, W::Main, "WindowMinimizeAll2", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Minimize All"), "", R::FileOpen, 0, 41, false },
    { A::WindowArrange1, W::Main, "WindowArrange1", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&Arrange All"), "", R::FileOpen, 0, 56, false },
    { A::acWindowNext, W::Main, "acWindowNext", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Next Window"), "Ctrl+F6", R::MultipleChildren, 0, 17, false },
    { A::Action4, W::Main, "Action4", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Check for Tarvell updates..."), "", R::Always, 0, 40, false },
    { A::acCheckEveryWeek, W::Main, "acCheckEveryWeek", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Check every week"), "", R::CheckEveryWeek, 0, ImageCheckWeekOff, true },
    { A::Action7, W::Main, "Action7", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Go to Tarvell Page..."), "", R::Always, 0, 29, false },
    { A::Action8, W::Main, "Action8", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Online Tarvell FAQ..."), "", R::Always, 0, 30, false },
    { A::Action5, W::Main, "Action5", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Goto Tarvell forum..."), "", R::Always, 0, 31, false },
    { A::acSysInfo, W::Main, "acSysInfo", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "System Info..."), "", R::Always, 0, 32, false },
    { A::acAbout, W::Main, "acAbout", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "&About..."), "", R::Always, 0, 33, false },
    { A::Tarvell1, W::Main, "Tarvell1", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Tarvell..."), "", R::Always, 0, -1, false },
    { A::Exit1, W::Main, "Exit1", QT_TRANSLATE_NOOP("TfmTarvellMainForm", "Exit"), "", R::Always, 0, -1, false },
    { A::acInsert, W::Child, "acInsert", QT_TRANSLATE_NOOP("TMDIChild", "Insert"), "Ins", R::Always, 0, 23, false },
    { A::acDelete, W::Child, "acDelete", QT_TRANSLATE_NOOP("TMDIChild", "Delete"), "Del", R::ChildDelete, 0, 22, false },
    { A::acRenameSelected, W::Child, "acRenameSelected", QT_TRANSLATE_NOOP("TMDIChild", "Rename Selected"), "", R::ChildMultiSelect, 0, -1, false },
    { A::acCommit, W::Child, "acCommit", QT_TRANSLATE_NOOP("TMDIChild", "Commit to a site..."), "", R::ChildSingleSelect, 0, -1, false },
    { A::acOpenMap, W::Child, "acOpenMap", QT_TRANSLATE_NOOP("TMDIChild", "Show map pane"), "", R::Always, 0, 46, true },
    { A::acCloseMap, W::Child, "acCloseMap", QT_TRANSLATE_NOOP("TMDIChild", "Close map pane"), "", R::Always, 0, -1, false },
    { A::acPluginGoto, W::Child, "acPluginGoto", QT_TRANSLATE_NOOP("TMDIChild", "Show"), "", R::NotBuilt, 0, -1, false },
    { A::acPluginAdd, W::Child, "acPluginAdd", QT_TRANSLATE_NOOP("TMDIChild", "Add"), "", R::NotBuilt, 0, -1, false },
    { A::actShowIn, W::Child, "actShowIn", QT_TRANSLATE_NOOP("TMDIChild", "Show in"), "", R::NotBuilt, 0, -1, false },
    { A::actAddTo, W::Child, "actAddTo", QT_TRANSLATE_NOOP("TMDIChild", "Add to"), "", R::NotBuilt, 0, -1, false },
};

static_assert(std::size(Table) == ActionCount, "one row per command");

constexpr bool InEnumOrder()
{
    for (size_t i = 0; i < std::size(Table); ++i)
        if (size_t(Table[i].Id) != i)
            return false;
    return true;
}
static_assert(InEnumOrder(), "rows in the order of TAction");

} // namespace

std::span<const TActionDef> ActionTable()
{
    return Table;
}

const TActionDef& ActionDef(TAction id)
{
    return Table[size_t(id)];
}

std::vector<TAction> ActionsOf(TActionWindow window)
{
    std::vector<TAction> actions;
    for (const TActionDef& def : Table)
        if (def.Window == window)
            actions.push_back(def.Id);
    return actions;
}

TActionLook EvaluateAction(const TActionDef& action, const TActionState& state)
{
    TActionLook look;
    const int profiles = std::max(1, int(state.ProfileItems.size()));
    auto itemsOf = [&](int profile) {
        return profile >= 0 && profile < int(state.ProfileItems.size()) ? state.ProfileItems[size_t(profile)] : 0;
    };
    switch (action.Rule) {
    case TActionRule::Always:
        break;
    case TActionRule::NotBuilt:
        look.Enabled = false;
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
        look.Enabled = !state.UpdateRunning
            && std::accumulate(state.ProfileItems.begin(), state.ProfileItems.end(), 0) > 0;
        break;
    case TActionRule::AutoUpdateToolbar:
        if (profiles > 1) {
            look.Image = ImageAutoUpdateAllDrop;
        } else {
            look.Enabled = itemsOf(0) > 0;
            look.Image = ImageAutoUpdateAll;
        }
        look.Enabled = look.Enabled && !state.UpdateRunning;
        break;
    case TActionRule::ProfileParent:
        look.Visible = profiles > 1;
        break;
    case TActionRule::Profile:
        look.Visible = action.Tag < profiles;
        look.Enabled = look.Visible && itemsOf(action.Tag) > 0 && !state.UpdateRunning;
        break;
    case TActionRule::MultipleChildren:
        look.Enabled = state.ChildCount > 1;
        break;
    case TActionRule::CheckEveryWeek:
        look.Checked = state.CheckEveryWeek;
        look.Image = state.CheckEveryWeek ? ImageCheckWeekOn : ImageCheckWeekOff;
        break;
    case TActionRule::ChildDelete:
        look.Enabled = !state.EditActive && state.SelectedCount > 0 && !state.EditingCaption;
        break;
    case TActionRule::ChildMultiSelect:
        look.Enabled = state.SelectedCount > 1;
        break;
    case TActionRule::ChildSingleSelect:
        look.Enabled = state.SelectedCount == 1;
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
