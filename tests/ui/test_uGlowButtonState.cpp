// The glow button's colours, behaviour, colour choice and sizes without a widget.
#include "ui/uGlowButtonState.h"

#include <QGuiApplication>
#include <QPalette>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Records what the logic asks of its widget.
class TFakeHost : public TGlowButtonHost {
public:
    void Invalidate() override { ++Paints; }
    void Repaint() override { ++Paints; }
    void StartFadeTimer() override { TimerRunning = true; }
    void StopFadeTimer() override { TimerRunning = false; }
    void FireMouseEnter() override { Events.push_back("enter"); }
    void FireMouseLeave() override { Events.push_back("leave"); }
    void FireDropDown() override { Events.push_back("dropdown"); }
    bool HasDropDownMenu() const override { return Menu; }
    void PopupMenu() override { Events.push_back("menu"); }
    bool CursorOverButton() const override { return CursorOver; }
    void BroadcastGroup() override
    {
        if (Broadcast)
            Broadcast();
    }
    bool ActionCheckedLinked() const override { return false; }
    bool HasAction() const override { return false; }
    void Click() override { ++Clicks; }

    int Paints = 0;
    int Clicks = 0;
    bool TimerRunning = false;
    bool Menu = false;
    bool CursorOver = true;
    std::vector<std::string> Events;
    std::function<void()> Broadcast;
};

constexpr int W = 100, H = 41;

struct TButton {
    TFakeHost Host;
    TGlowButtonLogic Logic { Host };
};

} // namespace

// --- colours --------------------------------------------------------------------------------

TEST(GlowShade, AppearanceDefaultsFollowFromTheShadingRule)
{
    const TGlowButtonAppearance a;
    struct TCase {
        TColor Base, Shaded, Expected;
        int R, G, B;
    };
    // Down and checked: the hot colours less 10 % red and green; disabled: normal less 5 %.
    const TCase cases[] = {
        { a.Hot.Color, a.Down.Color, 0xF5D8CA, -10, -10, 0 }, // red 225 x 0.9 = 202.5 -> 202 (to even)
        { a.Hot.ColorTo, a.Down.ColorTo, 0xF9BDA0, -10, -10, 0 },
        { a.Hot.ColorMirror, a.Down.ColorMirror, 0xF5B49C, -10, -10, 0 },
        { a.Hot.ColorMirrorTo, a.Down.ColorMirrorTo, 0xFFDFDC, -10, -10, 0 },
        { a.Hot.Color, a.Checked.Color, 0xF5D8CA, -10, -10, 0 },
        { a.Hot.ColorTo, a.Checked.ColorTo, 0xF9BDA0, -10, -10, 0 },
        { a.Hot.ColorMirror, a.Checked.ColorMirror, 0xF5B49C, -10, -10, 0 },
        { a.Hot.ColorMirrorTo, a.Checked.ColorMirrorTo, 0xFFDFDC, -10, -10, 0 },
        { a.Normal.Color, a.Disabled.Color, 0xF2F2F2, -5, -5, -5 },
        { a.Normal.ColorTo, a.Disabled.ColorTo, 0xF2F2F2, -5, -5, -5 },
        { a.Normal.ColorMirror, a.Disabled.ColorMirror, 0xB6B6B6, -5, -5, -5 },
        { a.Normal.ColorMirrorTo, a.Disabled.ColorMirrorTo, 0xF2F2F2, -5, -5, -5 },
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(ShadeColor(c.Base, c.R, c.G, c.B), c.Expected) << std::hex << c.Base;
        EXPECT_EQ(c.Shaded, c.Expected) << std::hex << c.Base;
    }
    EXPECT_EQ(a.Down.BorderColor, 0x800000u);
    EXPECT_EQ(a.Checked.BorderColor, 0xFF0000u);
    EXPECT_EQ(a.Disabled.BorderColor, 0x808080u);
    EXPECT_EQ(a.Checked.GradientMirror, TGDIPGradient::ggVertical);
    EXPECT_EQ(a.Disabled.Gradient, TGDIPGradient::ggRadial);
}

TEST(GlowShade, ChannelsOfZeroAndHalves)
{
    struct TCase {
        TColor Color;
        int Percent;
        TColor Expected;
    };
    const TCase cases[] = {
        { 0x000000, 10, 0x0A0A0A }, // a zero channel becomes the percentage
        { 0x000000, 0, 0x000000 },
        { 0x000000, -10, 0x000000 },
        { 0x0000FF, 20, 0x1414FF }, // positive percentages leave other channels alone
        { 0x0000EB, -10, 0x0000D4 }, // 235 x 0.9 = 211.5 -> 212 (to even)
        { 0x0000E1, -10, 0x0000CA }, // 225 x 0.9 = 202.5 -> 202 (to even)
        { 0x808080, -100, 0x000000 },
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ShadeColor(c.Color, c.Percent), c.Expected) << std::hex << c.Color << " " << std::dec << c.Percent;
}

TEST(GlowShade, BlendColors)
{
    struct TCase {
        TColor A, B;
        int Percent;
        TColor Expected;
    };
    const TCase cases[] = {
        { 0x0000FF, 0xFF0000, 100, 0x0000FF },
        { 0x0000FF, 0xFF0000, 150, 0x0000FF },
        { 0x0000FF, 0xFF0000, 0, 0xFF0000 },
        { 0x0000FF, 0xFF0000, -20, 0xFF0000 },
        { 0x0000FF, 0xFF0000, 20, 0xCC0033 }, // 0.2 x 255 = 51, 0.8 x 255 = 204
        { 0xFFFFFF, 0x000000, 50, 0x808080 }, // 127.5 -> 128 (to even)
        { 0x010101, 0x000000, 50, 0x000000 }, // 0.5 -> 0
        { 0x030303, 0x000000, 50, 0x020202 }, // 1.5 -> 2
    };
    for (const TCase& c : cases)
        EXPECT_EQ(BlendColors(c.A, c.B, c.Percent), c.Expected) << c.Percent;
}

TEST(GlowShade, PresetsSetTheirColourSchemes)
{
    TGlowButtonAppearance a;
    ASSERT_TRUE(a.ApplyStylePreset(3));
    EXPECT_EQ(a.Normal.ColorTo, 0xC9D1D5u);
    EXPECT_EQ(a.Normal.BorderColor, 0x000000u);
    EXPECT_EQ(a.Hot.Color, 0xEBFDFFu);
    EXPECT_EQ(a.Down.ColorMirror, 0x0E72F1u);
    EXPECT_EQ(a.Checked.BorderColor, 0xFF0000u); // kept: only 4, 5 and 9 give their own
    EXPECT_EQ(a.Hot.Gradient, TGDIPGradient::ggVertical);

    TGlowButtonAppearance b;
    ASSERT_TRUE(b.ApplyStylePreset(9));
    EXPECT_EQ(b.Checked.BorderColor, 0x45667Bu);
    EXPECT_EQ(b.Normal.ColorMirror, 0xEEEAE7u);

    TGlowButtonAppearance c;
    ASSERT_TRUE(c.ApplyStylePreset(6));
    EXPECT_EQ(c.Hot.BorderColor, clHighlight);
    EXPECT_EQ(c.Down.ColorMirrorTo, 0xB59284u);
    EXPECT_EQ(c.Checked.BorderColor, 0x000000u);

    for (int other : { 8, 10, -1 }) {
        TGlowButtonAppearance d;
        EXPECT_FALSE(d.ApplyStylePreset(other));
        EXPECT_EQ(d, TGlowButtonAppearance());
    }
}

// --- fades, hit tests, presses ----------------------------------------------------------------

TEST(GlowFade, FiveTicksToFullThenStopped)
{
    TButton b;
    b.Logic.MouseEnter();
    EXPECT_EQ(b.Host.Events, (std::vector<std::string> { "enter" }));
    EXPECT_TRUE(b.Host.TimerRunning);
    std::vector<int> steps;
    while (b.Logic.FadeTick())
        steps.push_back(b.Logic.HotFade);
    steps.push_back(b.Logic.HotFade);
    EXPECT_EQ(steps, (std::vector<int> { 20, 40, 60, 80, 100 }));
    EXPECT_FALSE(b.Host.TimerRunning);
    EXPECT_EQ(b.Logic.FadeKind, TFadeKind::None);

    // A leave starts from 100, wherever the hot fade was.
    b.Logic.HotFade = 40;
    b.Logic.MouseLeave();
    EXPECT_EQ(b.Logic.HotFade, 100);
    EXPECT_FALSE(b.Logic.Hot);
    steps.clear();
    while (b.Logic.FadeTick())
        steps.push_back(b.Logic.HotFade);
    steps.push_back(b.Logic.HotFade);
    EXPECT_EQ(steps, (std::vector<int> { 80, 60, 40, 20, 0 }));
    EXPECT_FALSE(b.Host.TimerRunning);
}

TEST(GlowHit, DropDownPartEdges)
{
    TButton b;
    b.Logic.DropDownButton = true;
    struct TCase {
        TDropDownPosition Position;
        int X, Y;
        bool Press, Hover;
    };
    const TCase cases[] = {
        { TDropDownPosition::dpRight, W - 13, 20, false, false },
        { TDropDownPosition::dpRight, W - 12, 20, true, false },
        { TDropDownPosition::dpRight, W - 11, 20, true, true },
        { TDropDownPosition::dpBottom, W - 5, H - 13, false, false },
        { TDropDownPosition::dpBottom, 10, H - 12, true, false },
        { TDropDownPosition::dpBottom, 10, H - 11, true, true },
    };
    for (const TCase& c : cases) {
        b.Logic.DropDownPosition = c.Position;
        EXPECT_EQ(b.Logic.DropDownPressHit(c.X, c.Y, W, H), c.Press) << c.X << "," << c.Y;
        EXPECT_EQ(b.Logic.DropDownHoverHit(c.X, c.Y, W, H), c.Hover) << c.X << "," << c.Y;
    }
    // Inside is half-open both ways.
    EXPECT_TRUE(TGlowButtonLogic::Inside(0, 0, W, H));
    EXPECT_TRUE(TGlowButtonLogic::Inside(W - 1, H - 1, W, H));
    EXPECT_FALSE(TGlowButtonLogic::Inside(10, H, W, H));
    EXPECT_FALSE(TGlowButtonLogic::Inside(W, 10, W, H));
    EXPECT_FALSE(TGlowButtonLogic::Inside(-1, 10, W, H));
}

TEST(GlowPress, InsideOutAndBack)
{
    struct TCase {
        const char* Name;
        std::vector<std::pair<int, int>> Moves; // after the press at (50, 20)
        std::pair<int, int> Release;
        int Clicks;
    };
    const TCase cases[] = {
        { "inside", { { 60, 25 } }, { 60, 25 }, 1 },
        { "out", { { 60, H + 5 } }, { 60, H + 5 }, 0 },
        { "one pixel below", {}, { 50, H }, 0 },
        { "out and back", { { 150, 20 }, { 40, 20 } }, { 40, 20 }, 1 },
    };
    for (const TCase& c : cases) {
        TButton b;
        b.Logic.MouseEnter();
        b.Logic.MouseDown(50, 20, W, H);
        EXPECT_EQ(b.Logic.State, gsPressed) << c.Name;
        EXPECT_TRUE(b.Logic.Armed) << c.Name;
        for (const auto& [x, y] : c.Moves)
            b.Logic.MouseMove(x, y, W, H);
        b.Logic.MouseUp(c.Release.first, c.Release.second, W, H);
        EXPECT_EQ(b.Host.Clicks, c.Clicks) << c.Name;
        EXPECT_EQ(b.Logic.State, gsNormal) << c.Name;
        EXPECT_FALSE(b.Logic.LeftDown) << c.Name;
    }
}

TEST(GlowPress, LeavingWhileHeldInterruptsThePressAndReturningResumesIt)
{
    TButton b;
    b.Logic.MouseEnter();
    b.Logic.MouseDown(50, 20, W, H);
    b.Logic.MouseMove(150, 20, W, H);
    EXPECT_EQ(b.Host.Events, (std::vector<std::string> { "enter", "leave" }));
    EXPECT_FALSE(b.Logic.Pressing);
    EXPECT_TRUE(b.Logic.InterruptedPress);
    EXPECT_EQ(b.Logic.State, gsNormal);
    b.Logic.MouseMove(40, 20, W, H);
    EXPECT_EQ(b.Host.Events.back(), "enter");
    EXPECT_TRUE(b.Logic.Pressing);
    EXPECT_EQ(b.Logic.State, gsPressed);
}

TEST(GlowPress, DropDownPartOfASplitButtonOpensTheMenu)
{
    TButton b;
    b.Logic.DropDownButton = true;
    b.Host.Menu = true;
    b.Host.CursorOver = false;
    b.Logic.MouseEnter();
    b.Logic.MouseDown(W - 5, 20, W, H);
    EXPECT_EQ(b.Host.Events, (std::vector<std::string> { "enter", "dropdown", "menu" }));
    EXPECT_FALSE(b.Logic.Armed);
    EXPECT_FALSE(b.Logic.MouseEntered); // the menu closed with the cursor elsewhere
    b.Logic.MouseUp(W - 5, 20, W, H);
    EXPECT_EQ(b.Host.Clicks, 0);

    // A face press of the same button is an ordinary press; without a split any press drops down.
    TButton face;
    face.Logic.DropDownButton = true;
    face.Logic.MouseDown(W - 13, 20, W, H);
    EXPECT_TRUE(face.Logic.Armed);
    TButton whole;
    whole.Logic.DropDownButton = true;
    whole.Logic.DropDownSplit = false;
    whole.Logic.MouseDown(10, 20, W, H);
    EXPECT_EQ(whole.Host.Events, (std::vector<std::string> { "dropdown" }));
}

// --- Down and groups ------------------------------------------------------------------------

TEST(GlowDown, WhichButtonsCanBeDown)
{
    TButton plain;
    plain.Logic.SetDown(true);
    EXPECT_FALSE(plain.Logic.Down());

    TButton check;
    check.Logic.Style = TAdvButtonStyle::bsCheck;
    check.Logic.SetDown(true);
    EXPECT_TRUE(check.Logic.Down());
    EXPECT_EQ(check.Logic.State, gsPressed);
    // A press toggles it; a release outside takes the toggle back.
    check.Logic.MouseDown(10, 10, W, H);
    EXPECT_FALSE(check.Logic.Down());
    check.Logic.MouseUp(10, H + 3, W, H);
    EXPECT_TRUE(check.Logic.Down());

    TButton grouped;
    grouped.Logic.SetGroupIndex(1);
    grouped.Logic.SetDown(true);
    EXPECT_TRUE(grouped.Logic.Down());
    EXPECT_EQ(grouped.Logic.State, gsDown);
    grouped.Logic.SetDown(false); // AllowAllUp is off
    EXPECT_TRUE(grouped.Logic.Down());
    grouped.Logic.SetAllowAllUp(true);
    grouped.Logic.SetDown(false);
    EXPECT_FALSE(grouped.Logic.Down());
}

TEST(GlowDown, GroupedButtonsReleaseEachOther)
{
    TButton a, b, other;
    for (TButton* x : { &a, &b, &other }) {
        x->Host.Broadcast = [x, &a, &b, &other] {
            for (TButton* y : { &a, &b, &other })
                y->Logic.ReceiveGroupNotice(x->Logic.GroupIndex(), x->Logic);
        };
    }
    a.Logic.SetGroupIndex(1);
    b.Logic.SetGroupIndex(1);
    other.Logic.SetGroupIndex(2);
    other.Logic.SetDown(true);
    a.Logic.SetDown(true);
    EXPECT_TRUE(a.Logic.Down());

    // A click on b (press and release inside) makes it down and a up; the other group stays.
    b.Logic.SetAllowAllUp(true);
    EXPECT_TRUE(a.Logic.AllowAllUp()); // copied from the sender
    b.Logic.MouseDown(10, 10, W, H);
    b.Logic.MouseUp(10, 10, W, H);
    EXPECT_TRUE(b.Logic.Down());
    EXPECT_FALSE(a.Logic.Down());
    EXPECT_EQ(a.Logic.State, gsNormal);
    EXPECT_TRUE(other.Logic.Down());
    EXPECT_EQ(b.Host.Clicks, 1);
}

// --- the colours of a paint -----------------------------------------------------------------

TEST(GlowColours, ChoiceFollowsStateStyleHotFadeFocusAndPosition)
{
    const TGlowButtonAppearance a;
    struct TCase {
        const char* Name;
        std::function<void(TGlowColorInputs&)> Set;
        TGlowColorSet Expected;
        bool Highlighted;
    };
    TGlowColorSet fadingIn = BlendSets(a.Hot, a.Normal, 40);
    TGlowColorSet pressFade = BlendSets(a.Down, a.Hot, 60);
    TGlowColorSet borderless = a.Down;
    borderless.BorderColor = a.Normal.BorderColor;
    const TCase cases[] = {
        { "normal", [](TGlowColorInputs&) {}, a.Normal, false },
        { "hot", [](TGlowColorInputs& i) { i.Hot = true; }, a.Hot, true },
        { "pressed", [](TGlowColorInputs& i) { i.State = gsPressed; }, a.Down, true },
        { "down in a group", [](TGlowColorInputs& i) { i.State = gsDown; i.Grouped = true; i.Down = true; }, a.Checked, false },
        { "checked", [](TGlowColorInputs& i) { i.State = gsPressed; i.Style = TAdvButtonStyle::bsCheck; i.Down = true; }, a.Checked, false },
        { "disabled", [](TGlowColorInputs& i) { i.Enabled = false; i.State = gsDisabled; }, a.Disabled, false },
        { "hot fade at 40 %", [](TGlowColorInputs& i) { i.Hot = true; i.FadeTimerRunning = true; i.HotFade = 40; }, fadingIn, true },
        { "press fade at 60 %", [](TGlowColorInputs& i) { i.State = gsPressed; i.Pressing = true; i.FadeTimerRunning = true; i.PressFade = 60; }, pressFade, true },
        { "transparent: no hot fade", [](TGlowColorInputs& i) { i.Hot = true; i.Transparent = true; i.FadeTimerRunning = true; i.HotFade = 40; }, a.Hot, true },
        { "focused, hot focus", [](TGlowColorInputs& i) { i.Focused = true; i.FocusType = TFocusType::ftHot; }, a.Hot, true },
        { "focused, border focus", [](TGlowColorInputs& i) { i.Focused = true; }, a.Normal, false },
        { "middle of a bar, pressed", [](TGlowColorInputs& i) { i.State = gsPressed; i.LeftDown = true; i.Position = TButtonPosition::bpMiddle; }, borderless, true },
    };
    for (const TCase& c : cases) {
        TGlowColorInputs in;
        c.Set(in);
        const TGlowColorChoice choice = ChooseGlowColors(a, in);
        EXPECT_EQ(choice.Set, c.Expected) << c.Name;
        EXPECT_EQ(choice.Highlighted, c.Highlighted) << c.Name;
    }
    TGlowColorInputs focused;
    focused.Focused = true;
    focused.FocusType = TFocusType::ftHotBorder;
    EXPECT_TRUE(ChooseGlowColors(a, focused).FocusBorder);
    focused.FocusType = TFocusType::ftHot;
    EXPECT_FALSE(ChooseGlowColors(a, focused).FocusBorder);
    // Without ShowDisabled a disabled button keeps its normal look.
    TGlowColorInputs hidden;
    hidden.Enabled = false;
    hidden.State = gsDisabled;
    hidden.ShowDisabled = false;
    EXPECT_EQ(ChooseGlowColors(a, hidden).Set, a.Normal);
}

TEST(GlowColours, BackgroundTransparency)
{
    EXPECT_TRUE(GlowBackgroundTransparent(true, false, false, false, gsNormal));
    EXPECT_FALSE(GlowBackgroundTransparent(true, false, true, false, gsNormal));
    EXPECT_FALSE(GlowBackgroundTransparent(true, false, false, true, gsNormal));
    EXPECT_FALSE(GlowBackgroundTransparent(true, false, false, false, gsPressed));
    EXPECT_TRUE(GlowBackgroundTransparent(false, true, true, false, gsNormal));
    EXPECT_FALSE(GlowBackgroundTransparent(false, true, true, false, gsPressed));
    EXPECT_FALSE(GlowBackgroundTransparent(false, false, false, false, gsNormal));
}

// --- sizes ----------------------------------------------------------------------------------

TEST(GlowSize, AutoSizeArithmetic)
{
    struct TCase {
        TGlowSizeInputs In;
        QSize Expected;
    };
    const TCase cases[] = {
        { { 60, 20, 2, 2, 2, false, TDropDownPosition::dpRight }, QSize(6 + 60 + 4 + 2, 4 + 20 + 4) },
        { { 60, 20, 3, 5, 1, false, TDropDownPosition::dpRight }, QSize(9 + 60 + 10 + 2, 6 + 20 + 2) },
        { { 60, 20, 2, 2, 2, true, TDropDownPosition::dpRight }, QSize(72 + 13, 28) },
        { { 60, 20, 2, 2, 2, true, TDropDownPosition::dpBottom }, QSize(72, 28 + 13) },
        { { 0, 0, 2, 2, 2, false, TDropDownPosition::dpRight }, QSize(12, 8) },
    };
    for (const TCase& c : cases)
        EXPECT_EQ(GlowAutoSize(c.In), c.Expected);
}

TEST(GlowSize, SizeStatesSaveAndRestoreTheLayout)
{
    TGlowSizeStates states;
    TButtonLayout layout = TButtonLayout::blGlyphTop;
    TDropDownPosition position = TDropDownPosition::dpBottom;
    EXPECT_EQ(states.Current(), TButtonSizeState::bsLarge);
    // Going small with AutoSize forces the left layout and the right drop-down part.
    EXPECT_TRUE(states.SetMax(TButtonSizeState::bsLabel, true, layout, position));
    EXPECT_EQ(states.Current(), TButtonSizeState::bsLabel);
    EXPECT_EQ(layout, TButtonLayout::blGlyphLeft);
    EXPECT_EQ(position, TDropDownPosition::dpRight);
    // The same maximum again changes nothing; a minimum above the current state raises it.
    EXPECT_FALSE(states.SetMax(TButtonSizeState::bsLabel, true, layout, position));
    EXPECT_FALSE(states.SetMin(TButtonSizeState::bsLabel, true, layout, position));
    EXPECT_TRUE(states.SetMin(TButtonSizeState::bsLarge, true, layout, position));
    EXPECT_EQ(states.Current(), TButtonSizeState::bsLarge);
    EXPECT_EQ(layout, TButtonLayout::blGlyphTop);
    EXPECT_EQ(position, TDropDownPosition::dpBottom);
    // Without AutoSize the layout stays as it is.
    TGlowSizeStates plain;
    TButtonLayout kept = TButtonLayout::blGlyphRight;
    EXPECT_TRUE(plain.SetMax(TButtonSizeState::bsGlyph, false, kept, position));
    EXPECT_EQ(kept, TButtonLayout::blGlyphRight);
}
