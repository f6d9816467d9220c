// Every command of the main and child windows in one table (caption, shortcut, picture, enabled
// rule), the rules as pure functions of a state snapshot, and the decision a close request of the
// main window comes to.
#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <span>
#include <vector>

// The commands. A new command is a value here, a row of the table in uMainActions.cpp (same
// order), its place in a menu or bar and its handler in the window's Execute switch.
enum class TAction {
    // main window
    acFileNew,
    acFileOpen,
    acFileAppend,
    acFileRemote,
    acFileSave,
    acFileSaveAs,
    acFileSaveRemote,
    acFileClose,
    acFileReconnect,
    acHide,
    acFileExit,
    acMru1,
    acMru2,
    acMru3,
    acMru4,
    acMru5,
    acMru6,
    acMru7,
    acMru8,
    acMru9,
    acEditCopy,
    acCopyText,
    acEditCut,
    acEditPaste,
    acEditDelete,
    acEditInsert,
    acEditSelectAll,
    acInvertSelection,
    acFind,
    acFindNext,
    acFindDups,
    acCalc,
    actToolsBatchConvert,
    actPrefs,
    acAutoUpdateWizard,
    acAutoUpdateManager,
    acAutoUpdateNow,
    acAutoUpdateToolbar,
    acAutoUpdatePopParent,
    acAutoUpdateProfile1,
    acAutoUpdateProfile2,
    acAutoUpdateProfile3,
    acAutoUpdateProfile4,
    acAutoUpdateProfile5,
    acAutoUpdateProfile6,
    acAutoUpdateProfile7,
    acAutoUpdateProfile8,
    acAutoUpdateProfile9,
    acAutoUpdateProfile10,
    acGotoSiteStatus,
    acWindowCascade,
    acWindowTileHorizontal,
    acWindowTileVertical,
    WindowMinimizeAll2,
    WindowArrange1,
    acWindowNext,
    Action4,
    acCheckEveryWeek,
    Action7,
    Action8,
    Action5,
    acSysInfo,
    acAbout,
    // the tray menu's own items
    Tarvell1,
    Exit1,
    // child window
    acInsert,
    acDelete,
    acRenameSelected,
    acCommit,
    acOpenMap,
    acCloseMap,
    acPluginGoto,
    acPluginAdd,
    actShowIn,
    actAddTo,
    Count
};
inline constexpr size_t ActionCount = size_t(TAction::Count);

// The window whose action list holds a command.
enum class TActionWindow { Main, Child };

// Why an action is enabled or visible.
enum class TActionRule {
    Always,
    // The window the command opens is not built yet: disabled until it is.
    NotBuilt,
    FileOpen, // at least one child window
    ListFocus, // a child exists and its list has the focus, not editing a caption
    DeviceConnected, // a device connection is open
    FindNext, // a child exists and the search text is not empty
    Mru, // visible when the tag < number of recent files
    AutoUpdateNow, // any AutoUpdate item in any profile, no run going on
    AutoUpdateToolbar,
    ProfileParent, // visible with more than one profile
    Profile, // visible when tag < profiles, enabled when that profile has items and no run goes on
    MultipleChildren,
    CheckEveryWeek, // always; ticked as the setting, its picture follows the tick
    ChildDelete, // no edit field active, an item selected, no caption being edited
    ChildMultiSelect, // more than one item selected
    ChildSingleSelect, // exactly one item selected
};

// One command. Caption and shortcut are untranslated (context "TfmTarvellMainForm" for the main
// window, "TMDIChild" for the child); Image is the index in the data module's tool images, -1 for
// none.
struct TActionDef {
    TAction Id;
    TActionWindow Window;
    const char* Name;
    const char* Caption;
    const char* Shortcut;
    TActionRule Rule;
    int Tag;
    int Image;
    bool Checkable;
};

std::span<const TActionDef> ActionTable();
const TActionDef& ActionDef(TAction id);
// The actions of one window, in table order.
std::vector<TAction> ActionsOf(TActionWindow window);

// The window's actions by command; entries of the other window's commands stay empty.
template <typename T> using TActionArray = std::array<T, ActionCount>;

// What the enabled rules look at.
struct TActionState {
    int ChildCount = 0;
    bool ListHasFocus = false;
    bool DeviceConnected = false;
    bool SearchTextEmpty = true;
    int MruCount = 0;
    // Items of each AutoUpdate profile, profile 0 being the default one; never empty.
    std::vector<int> ProfileItems { 0 };
    bool CheckEveryWeek = true;
    // An update run started by the main window is going on: no second one may start.
    bool UpdateRunning = false;
    // The child window's list.
    int SelectedCount = 0;
    bool EditActive = false;
    bool EditingCaption = false;
};

struct TActionLook {
    bool Enabled = true;
    bool Visible = true;
    bool Checked = false;
    int Image = -1; // -1: the table's picture
    bool operator==(const TActionLook&) const = default;
};

TActionLook EvaluateAction(const TActionDef& action, const TActionState& state);

// Pictures whose index other windows rely on.
inline constexpr int ImageCheckWeekOff = 13;
inline constexpr int ImageCheckWeekOn = 44;
inline constexpr int ImageAutoUpdateAll = 21;
inline constexpr int ImageAutoUpdateAllDrop = 37;

// The flags a close of the main window reads and resets.
struct TCloseFlags {
    bool Exiting = false;
    bool HidingInTray = false;
    // The LCID chosen for a restart, taken at the click; -1 = none.
    int LanguageIndex = -1;
};

enum class TCloseOutcome {
    Refused, // a child window refused to close; nothing else happens
    Hide, // the window hides into the tray
    Exit, // the program ends
    Restart, // the program ends and starts again in the returned language (LCID)
};

// Decides a close request after the children were asked (childrenClosed: all agreed) and resets
// the flags for the next request. restartLanguage receives the LCID for Restart.
TCloseOutcome DecideClose(TCloseFlags& flags, bool childrenClosed, int* restartLanguage = nullptr);
