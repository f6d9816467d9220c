// What a glow button is and does without its widget: the colour sets and their shading, the
// behaviour of mouse, keys, fades, Down and groups, the choice of colours for a paint, the size
// arithmetic and the size states. The widget feeds events in and carries out the host's requests.
#pragma once

#include "ui/AdvGDIP.h"

#include <QSize>

#include <cstdint>

enum class TAdvButtonStyle { bsButton, bsCheck };
enum class TButtonLayout {
    blGlyphLeft,
    blGlyphTop,
    blGlyphRight,
    blGlyphBottom,
    blGlyphLeftAdjusted,
    blGlyphRightAdjusted,
    blGlyphTopAdjusted,
    blGlyphBottomAdjusted,
};
enum class TDropDownPosition { dpRight, dpBottom };
enum class TDropDownDirection { ddDown, ddRight };
enum class TGDIPGradient { ggRadial, ggVertical, ggDiagonalForward, ggDiagonalBackward };
enum class TFocusType { ftBorder, ftHot, ftHotBorder, ftNone };
enum class TShortCutHintPos { shpLeft, shpTop, shpRight, shpBottom };
enum class TButtonPosition { bpStandalone, bpLeft, bpMiddle, bpRight };
// Ordered: a smaller state shows less.
enum class TButtonSizeState { bsGlyph, bsLabel, bsLarge };

// Each channel: 0 becomes percent when percent >= 0 (else stays 0); any other channel becomes
// Round(channel x min(percent + 100, 100) / 100), halves to even. System colours are resolved first.
TColor ShadeColor(TColor color, int percentR, int percentG, int percentB);
inline TColor ShadeColor(TColor color, int percent) { return ShadeColor(color, percent, percent, percent); }
// percent >= 100: a; <= 0: b; else each channel Round(p a + (1 - p) b), p = percent / 100.
TColor BlendColors(TColor a, TColor b, int percent);

// One state's colours.
struct TGlowColorSet {
    TColor Color = clWhite;
    TColor ColorTo = clWhite;
    TColor ColorMirror = clSilver;
    TColor ColorMirrorTo = clWhite;
    TColor BorderColor = clSilver;
    TGDIPGradient Gradient = TGDIPGradient::ggVertical;
    TGDIPGradient GradientMirror = TGDIPGradient::ggVertical;
    bool operator==(const TGlowColorSet&) const = default;
};
// a blended into b by percent (colours and border; the gradients of a).
TGlowColorSet BlendSets(const TGlowColorSet& a, const TGlowColorSet& b, int percent, bool withBorder = true);

// The colour sets of a button's states.
struct TGlowButtonAppearance {
    TGlowButtonAppearance();
    TGlowColorSet Normal;
    TGlowColorSet Hot;
    TGlowColorSet Down;
    TGlowColorSet Checked;
    TGlowColorSet Disabled;
    // The caption uses the system's font unless the button's font is its own.
    bool SystemFont = true;
    bool operator==(const TGlowButtonAppearance&) const = default;
    // Preset colour schemes 0-7 and 9; false (nothing changed) for any other number.
    bool ApplyStylePreset(int preset);
};

// Button states (the byte the paint reads).
enum TGlowState : uint8_t { gsNormal = 0, gsDisabled = 1, gsPressed = 2, gsDown = 4 };
// Which fade the fade timer runs.
enum class TFadeKind { Hot, Press, None };

// Drop-down part: pressed beyond 13 pixels from the edge, hovered beyond 12.
inline constexpr int DropDownPartSize = 13;
inline constexpr int DropDownHoverSize = 12;
inline constexpr int FadeInterval = 30; // ms
inline constexpr int FadeStep = 20; // percent

// What the logic asks of its widget.
class TGlowButtonHost {
public:
    virtual ~TGlowButtonHost() = default;
    virtual void Invalidate() = 0; // paint soon
    virtual void Repaint() = 0; // paint now
    virtual void StartFadeTimer() = 0; // no-op while it runs
    virtual void StopFadeTimer() = 0;
    virtual void FireMouseEnter() = 0;
    virtual void FireMouseLeave() = 0;
    virtual void FireDropDown() = 0;
    virtual bool HasDropDownMenu() const = 0;
    // Shows the drop-down menu and returns when it closes.
    virtual void PopupMenu() = 0;
    // Whether the cursor is over the button now (after a menu closed).
    virtual bool CursorOverButton() const = 0;
    // Sends the group notice to the other buttons of the parent.
    virtual void BroadcastGroup() = 0;
    // The linked action's Checked is linked to Down.
    virtual bool ActionCheckedLinked() const = 0;
    virtual bool HasAction() const = 0;
    virtual void Click() = 0;
};

// Flags, fades, hit tests, Down and groups of one button.
class TGlowButtonLogic {
public:
    explicit TGlowButtonLogic(TGlowButtonHost& host)
        : FHost(host)
    {
    }

    // Behaviour properties.
    TAdvButtonStyle Style = TAdvButtonStyle::bsButton;
    bool DropDownButton = false;
    bool DropDownSplit = true;
    TDropDownPosition DropDownPosition = TDropDownPosition::dpRight;
    int GroupIndex() const { return FGroupIndex; }
    void SetGroupIndex(int value);
    bool AllowAllUp() const { return FAllowAllUp; }
    void SetAllowAllUp(bool value);
    bool Down() const { return FDown; }
    void SetDown(bool value);

    // Run-time state.
    uint8_t State = gsNormal;
    bool Hot = false;
    bool MouseInside = false;
    bool MouseEntered = false;
    bool Pressing = false;
    bool LeftDown = false;
    bool Armed = false;
    bool OverDropDown = false;
    bool DroppedDown = false;
    bool InterruptedPress = false;
    int HotFade = 0;
    int PressFade = 0;
    int FadeStepValue = FadeStep;
    TFadeKind FadeKind = TFadeKind::None;
    bool FadeTimerRunning = false;

    // Hit tests in client coordinates of a button width x height.
    bool DropDownPressHit(int x, int y, int width, int height) const;
    bool DropDownHoverHit(int x, int y, int width, int height) const;
    static bool Inside(int x, int y, int width, int height) { return x >= 0 && x < width && y >= 0 && y < height; }

    void MouseEnter();
    void MouseLeave();
    // One tick of the fade timer; false once the fade has ended (the timer is stopped).
    bool FadeTick();
    void MouseDown(int x, int y, int width, int height);
    void MouseMove(int x, int y, int width, int height);
    void MouseUp(int x, int y, int width, int height);
    // Enter or Space pressed and released.
    void KeyDown();
    void KeyUp();
    // F4 or the accelerator of a button with a drop-down menu.
    void DropDownKey();
    // The group notice of sender; true when this button changed.
    bool ReceiveGroupNotice(int groupIndex, const TGlowButtonLogic& sender);
    // The state a paint starts from (disabled, released from disabled, a down check button).
    void PrepareState(bool enabled);
    // 0 none, 1 the drop-down part raised, 2 the drop-down part under the cursor.
    int DropDownHighlight() const;
    // 0 normal, 1 hot, 2 down, for the draw event.
    int DrawState() const { return State == gsPressed ? 2 : MouseEntered ? 1 : 0; }

private:
    void DropDownPress();
    void StartFade();
    TGlowButtonHost& FHost;
    int FGroupIndex = 0;
    bool FAllowAllUp = false;
    bool FDown = false;
};

// What the colour choice of a paint reads.
struct TGlowColorInputs {
    bool Enabled = true;
    uint8_t State = gsNormal;
    TAdvButtonStyle Style = TAdvButtonStyle::bsButton;
    bool ShowDisabled = true;
    bool Hot = false;
    bool FadeTimerRunning = false;
    int HotFade = 0;
    int PressFade = 0;
    bool Pressing = false;
    bool Transparent = false;
    bool MouseInside = false;
    bool Grouped = false;
    bool Down = false;
    TButtonPosition Position = TButtonPosition::bpStandalone;
    bool LeftDown = false;
    bool Focused = false;
    TFocusType FocusType = TFocusType::ftBorder;
};
struct TGlowColorChoice {
    TGlowColorSet Set;
    bool Highlighted = false;
    bool FocusBorder = false;
};
TGlowColorChoice ChooseGlowColors(const TGlowButtonAppearance& appearance, const TGlowColorInputs& in);

// Whether the face and border are left out: TransparentAll unless pressed; Transparent unless the
// mouse is over it, it shows the hot focus, or it is pressed.
bool GlowBackgroundTransparent(bool transparent, bool transparentAll, bool mouseEntered, bool focusedHot, uint8_t state);

// The size of an auto-sized button around its content.
struct TGlowSizeInputs {
    int ContentWidth = 0;
    int ContentHeight = 0;
    int Spacing = 2;
    int MarginHorz = 2;
    int MarginVert = 2;
    bool DropDownButton = false;
    TDropDownPosition DropDownPosition = TDropDownPosition::dpRight;
};
QSize GlowAutoSize(const TGlowSizeInputs& in);

// The size states: the current one follows the maximum and minimum; a smaller state saves the
// layout and drop-down position, which bsLarge gets back (with AutoSize).
class TGlowSizeStates {
public:
    TButtonSizeState Current() const { return FCurrent; }
    TButtonSizeState Max() const { return FMax; }
    TButtonSizeState Min() const { return FMin; }
    // Each returns true when the current state changed; layout and position are adjusted.
    bool SetMax(TButtonSizeState value, bool autoSize, TButtonLayout& layout, TDropDownPosition& position);
    bool SetMin(TButtonSizeState value, bool autoSize, TButtonLayout& layout, TDropDownPosition& position);

private:
    bool SetCurrent(TButtonSizeState value, bool autoSize, TButtonLayout& layout, TDropDownPosition& position);
    TButtonSizeState FCurrent = TButtonSizeState::bsLarge;
    TButtonSizeState FMax = TButtonSizeState::bsLarge;
    TButtonSizeState FMin = TButtonSizeState::bsGlyph;
    TButtonLayout FSavedLayout = TButtonLayout::blGlyphLeft;
    TDropDownPosition FSavedPosition = TDropDownPosition::dpRight;
};
