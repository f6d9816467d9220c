// The main window's command table and its enabled rules as pure functions of a state snapshot,
// and the decision a close request of the main window comes to.
#pragma once

#include <QString>

#include <span>
#include <vector>

// Why an action is enabled or visible.
enum class TActionRule {
    Always,
    FileOpen, // at least one child window
    ListFocus, // a child exists and its list has the focus, not editing a caption
    DeviceConnected, // a device connection is open
    FindNext, // a child exists and the search text is not empty
    Mru, // visible when the tag < number of recent files
    AutoUpdateNow, // any AutoUpdate item in any profile
    AutoUpdateToolbar,
    ProfileParent, // visible with more than one profile
    Profile, // visible when tag < profiles, enabled when that profile has items
    MultipleChildren,
    CheckEveryWeek, // always; ticked as the setting, its picture follows the tick
};

// One command of the main window. Caption and shortcut are untranslated (context
// "TfmTarvellMainForm"); Image is the index in the data module's tool images, -1 for none.
struct TActionDef {
    const char* Name;
    const char* Caption;
    const char* Shortcut;
    TActionRule Rule;
    int Tag;
    int Image;
};

std::span<const TActionDef> MainActionTable();
const TActionDef* FindMainAction(const QString& name);

// What the enabled rules look at.
struct TMainActionState {
    int ChildCount = 0;
    bool ListHasFocus = false;
    bool DeviceConnected = false;
    bool SearchTextEmpty = true;
    int MruCount = 0;
    // Items of each AutoUpdate profile, profile 0 being the default one; never empty.
    std::vector<int> ProfileItems { 0 };
    bool CheckEveryWeek = true;
};

struct TActionLook {
    bool Enabled = true;
    bool Visible = true;
    bool Checked = false;
    int Image = -1; // -1: the table's picture
    bool operator==(const TActionLook&) const = default;
};

TActionLook EvaluateAction(const TActionDef& action, const TMainActionState& state);

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
