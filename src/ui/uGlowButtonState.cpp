// The glow button's behaviour without its widget.
#include "ui/uGlowButtonState.h"

#include <algorithm>

namespace {

// n / 100 rounded to the nearest integer, halves to even (n >= 0).
int RoundHundredths(int n)
{
    const int q = n / 100, r = n % 100;
    return r > 50 || (r == 50 && (q & 1)) ? q + 1 : q;
}

int ShadeChannel(int channel, int percent)
{
    if (channel == 0)
        return percent >= 0 ? std::min(percent, 255) : 0;
    return std::clamp(RoundHundredths(channel * std::min(percent + 100, 100)), 0, 255);
}

int BlendChannel(int a, int b, int percent)
{
    return RoundHundredths(percent * a + (100 - percent) * b);
}

TGlowColorSet MakeSet(TColor color, TColor colorTo, TColor mirror, TColor mirrorTo, TColor border,
    TGDIPGradient gradient, TGDIPGradient gradientMirror)
{
    return TGlowColorSet { color, colorTo, mirror, mirrorTo, border, gradient, gradientMirror };
}

TGlowColorSet Shaded(const TGlowColorSet& set, int r, int g, int b, TColor border, TGDIPGradient gradient,
    TGDIPGradient gradientMirror)
{
    return MakeSet(ShadeColor(set.Color, r, g, b), ShadeColor(set.ColorTo, r, g, b), ShadeColor(set.ColorMirror, r, g, b),
        ShadeColor(set.ColorMirrorTo, r, g, b), border, gradient, gradientMirror);
}

constexpr auto ggRadial = TGDIPGradient::ggRadial;
constexpr auto ggVertical = TGDIPGradient::ggVertical;

} // namespace

TColor ShadeColor(TColor color, int percentR, int percentG, int percentB)
{
    const TColor rgb = ColorToRGB(color);
    return RGB(ShadeChannel(GetRValue(rgb), percentR), ShadeChannel(GetGValue(rgb), percentG),
        ShadeChannel(GetBValue(rgb), percentB));
}

TColor BlendColors(TColor a, TColor b, int percent)
{
    const TColor ca = ColorToRGB(a), cb = ColorToRGB(b);
    if (percent >= 100)
        return ca;
    if (percent <= 0)
        return cb;
    return RGB(BlendChannel(GetRValue(ca), GetRValue(cb), percent), BlendChannel(GetGValue(ca), GetGValue(cb), percent),
        BlendChannel(GetBValue(ca), GetBValue(cb), percent));
}

TGlowColorSet BlendSets(const TGlowColorSet& a, const TGlowColorSet& b, int percent, bool withBorder)
{
    TGlowColorSet result = a;
    result.Color = BlendColors(a.Color, b.Color, percent);
    result.ColorTo = BlendColors(a.ColorTo, b.ColorTo, percent);
    result.ColorMirror = BlendColors(a.ColorMirror, b.ColorMirror, percent);
    result.ColorMirrorTo = BlendColors(a.ColorMirrorTo, b.ColorMirrorTo, percent);
    if (withBorder)
        result.BorderColor = BlendColors(a.BorderColor, b.BorderColor, percent);
    return result;
}

// --- appearance -----------------------------------------------------------------------------

TGlowButtonAppearance::TGlowButtonAppearance()
{
    Normal = MakeSet(0xFFFFFF, 0xFFFFFF, 0xC0C0C0, 0xFFFFFF, 0xC0C0C0, ggVertical, ggVertical);
    Hot = MakeSet(0xF5F0E1, 0xF9D2B2, 0xF5C8AD, 0xFFF8F4, 0xFF0000, ggRadial, ggRadial);
    Down = Shaded(Hot, -10, -10, 0, 0x800000, ggRadial, ggRadial);
    Checked = Shaded(Hot, -10, -10, 0, 0xFF0000, ggRadial, ggVertical);
    Disabled = Shaded(Normal, -5, -5, -5, 0x808080, ggRadial, ggRadial);
}

bool TGlowButtonAppearance::ApplyStylePreset(int preset)
{
    struct TNormalPreset {
        int Number;
        TColor Color, ColorTo, Mirror, MirrorTo, Border;
    };
    static constexpr TNormalPreset Presets[] = {
        { 0, 0xEEDBC8, 0xF6DDC9, 0xEDD4C0, 0xF7E1D0, 0xE0B99B },
        { 1, 0xEDD4C0, 0xE6D8D8, 0xEDD4C0, 0xC8B2B3, 0x927476 },
        { 2, 0xCFF0EA, 0xCFF0EA, 0xCFF0EA, 0x8CC0B1, 0x8CC0B1 },
        { 3, 0xFFFFFF, 0xC9D1D5, 0xFFFFFF, 0xC9D1D5, 0x000000 },
        { 4, 0xEEDBC8, 0xF6DDC9, 0xEDD4C0, 0xF7E1D0, 0xE0B99B },
        { 5, 0xDFDED6, 0xE4E2DB, 0xD7D5CE, 0xE7E5E0, 0xC0BCB2 },
        { 6, 0xFFFFFF, 0xB9D8DC, 0xB9D8DC, 0xB9D8DC, 0xB9D8DC },
        { 7, 0xFFFFFF, 0xDFEDF0, 0xDFEDF0, 0xDFEDF0, 0x99A8AC },
        { 9, 0xF3F3F1, 0xF5F5F3, 0xEEEAE7, 0xF8F7F6, 0xCCCAC9 },
    };
    const auto found = std::find_if(std::begin(Presets), std::end(Presets), [&](const TNormalPreset& p) { return p.Number == preset; });
    if (found == std::end(Presets))
        return false;
    if (preset == 6) {
        Hot = MakeSet(0xEFD3C6, 0xEFD3C6, 0xEFD3C6, 0xEFD3C6, clHighlight, ggVertical, ggVertical);
        Down = MakeSet(0xB59284, 0xB59284, 0xB59284, 0xB59284, clHighlight, ggVertical, ggVertical);
        Checked = MakeSet(0xB9D8DC, 0xB9D8DC, 0xB9D8DC, 0xB9D8DC, 0x000000, ggVertical, ggVertical);
    } else {
        // The warm hot, down and checked colours; 4, 5 and 9 also give the checked border.
        Hot = MakeSet(0xEBFDFF, 0xACECFF, 0x59DAFF, 0xA4E9FF, 0x99CEDB, ggVertical, ggVertical);
        Down = MakeSet(0x76AFF1, 0x4190F3, 0x0E72F1, 0x4C9FFD, 0x45667B, ggVertical, ggVertical);
        const TColor checkedBorder = preset == 4 || preset == 5 || preset == 9 ? TColor(0x45667B) : Checked.BorderColor;
        Checked = MakeSet(0xB5DBFB, 0x78C7FE, 0x9FEBFD, 0x56B4FE, checkedBorder, ggVertical, ggVertical);
    }
    Normal = MakeSet(found->Color, found->ColorTo, found->Mirror, found->MirrorTo, found->Border, ggVertical, ggVertical);
    return true;
}

// --- behaviour ------------------------------------------------------------------------------

void TGlowButtonLogic::StartFade()
{
    if (FadeTimerRunning)
        return;
    FadeTimerRunning = true;
    FHost.StartFadeTimer();
}

bool TGlowButtonLogic::DropDownPressHit(int x, int y, int width, int height) const
{
    return DropDownPosition == TDropDownPosition::dpRight ? x > width - DropDownPartSize : y > height - DropDownPartSize;
}

bool TGlowButtonLogic::DropDownHoverHit(int x, int y, int width, int height) const
{
    return DropDownButton
        && (DropDownPosition == TDropDownPosition::dpRight ? x > width - DropDownHoverSize : y > height - DropDownHoverSize);
}

void TGlowButtonLogic::SetGroupIndex(int value)
{
    FGroupIndex = value;
    FHost.BroadcastGroup();
}

void TGlowButtonLogic::SetAllowAllUp(bool value)
{
    FAllowAllUp = value;
    FHost.BroadcastGroup();
}

void TGlowButtonLogic::SetDown(bool value)
{
    if (FGroupIndex == 0 && Style != TAdvButtonStyle::bsCheck)
        return;
    if (Style == TAdvButtonStyle::bsCheck) {
        FDown = value;
        State = value ? gsPressed : gsNormal;
        FHost.Repaint();
        return;
    }
    if (value == FDown || (FDown && !FAllowAllUp))
        return;
    FDown = value;
    if (value) {
        if (State == gsNormal)
            FHost.Invalidate();
        State = gsDown;
        FHost.BroadcastGroup();
    } else {
        State = gsNormal;
        FHost.Repaint();
    }
}

bool TGlowButtonLogic::ReceiveGroupNotice(int groupIndex, const TGlowButtonLogic& sender)
{
    if (&sender == this || FGroupIndex == 0 || groupIndex != FGroupIndex)
        return false;
    if (FDown && sender.Down()) {
        FDown = false;
        State = gsNormal;
        FHost.Invalidate();
    }
    FAllowAllUp = sender.AllowAllUp();
    return true;
}

void TGlowButtonLogic::MouseEnter()
{
    if (MouseEntered)
        return;
    FHost.FireMouseEnter();
    Hot = true;
    if (InterruptedPress)
        Pressing = true;
    const bool pressFadeRuns = FadeTimerRunning && FadeKind == TFadeKind::Press;
    StartFade();
    if (!Pressing && !pressFadeRuns) {
        FadeStepValue = FadeStep;
        FadeKind = TFadeKind::Hot;
    }
    FHost.Invalidate();
    MouseInside = true;
    MouseEntered = true;
}

void TGlowButtonLogic::MouseLeave()
{
    if (!MouseEntered)
        return;
    FHost.FireMouseLeave();
    MouseEntered = MouseInside = Hot = OverDropDown = false;
    FHost.Repaint();
    if (Pressing && LeftDown) {
        Pressing = false;
        InterruptedPress = true;
    } else {
        Pressing = false;
        HotFade = 100;
    }
    FadeStepValue = -FadeStep;
    FadeKind = TFadeKind::Hot;
    FHost.Invalidate();
    StartFade();
}

bool TGlowButtonLogic::FadeTick()
{
    if (FadeKind == TFadeKind::None) {
        FadeTimerRunning = false;
        FHost.StopFadeTimer();
        return false;
    }
    int& percent = FadeKind == TFadeKind::Hot ? HotFade : PressFade;
    percent += FadeStepValue;
    bool ended = false;
    if (FadeStepValue > 0 && percent >= 100) {
        percent = 100;
        ended = true;
    } else if (FadeStepValue < 0 && percent <= 0) {
        percent = 0;
        ended = true;
        if (FadeKind == TFadeKind::Press) {
            Pressing = false;
            InterruptedPress = false;
        }
    }
    FHost.Invalidate();
    if (!ended)
        return true;
    FadeKind = TFadeKind::None;
    FadeTimerRunning = false;
    FHost.StopFadeTimer();
    return false;
}

void TGlowButtonLogic::MouseDown(int x, int y, int width, int height)
{
    Pressing = true;
    LeftDown = true;
    StartFade();
    FadeStepValue = FadeStep;
    FadeKind = TFadeKind::Press;
    const bool grouped = FGroupIndex != 0;
    const bool check = Style == TAdvButtonStyle::bsCheck;
    const bool partHit = DropDownButton && DropDownPressHit(x, y, width, height);
    const bool facePress = !(DropDownButton && DropDownSplit && partHit)
        && !(DropDownButton && !DropDownSplit && !check && !grouped);
    if (!facePress) {
        DropDownPress();
        return;
    }
    if (check)
        SetDown(!FDown);
    if (!FDown) {
        State = gsPressed;
        FHost.Invalidate();
    }
    if (check) {
        State = gsPressed;
        FHost.Repaint();
    }
    Armed = true;
}

void TGlowButtonLogic::DropDownPress()
{
    MouseInside = false;
    FHost.FireDropDown();
    if (!FHost.HasDropDownMenu())
        return;
    Pressing = false;
    Hot = false;
    DroppedDown = true;
    MouseEntered = true;
    FHost.Repaint();
    FHost.PopupMenu();
    DroppedDown = false;
    // The menu took the release of the button.
    LeftDown = false;
    if (!FHost.CursorOverButton())
        MouseEntered = MouseInside = Hot = OverDropDown = false;
    FHost.Repaint();
}

void TGlowButtonLogic::MouseMove(int x, int y, int width, int height)
{
    const bool over = DropDownHoverHit(x, y, width, height);
    if (over != OverDropDown) {
        OverDropDown = over;
        FHost.Invalidate();
    }
    // No leave or enter notice arrives while the button holds the mouse: the move tells.
    const bool inside = Inside(x, y, width, height);
    if (!inside && MouseEntered)
        MouseLeave();
    else if (inside && !MouseEntered)
        MouseEnter();
    if (Armed) {
        uint8_t state;
        if (FDown)
            state = Style == TAdvButtonStyle::bsCheck ? gsPressed : gsDown;
        else
            state = inside ? gsPressed : gsNormal;
        if (state != State) {
            State = state;
            FHost.Invalidate();
        }
    }
}

void TGlowButtonLogic::MouseUp(int x, int y, int width, int height)
{
    FadeStepValue = -FadeStep;
    FadeKind = TFadeKind::Press;
    LeftDown = false;
    InterruptedPress = false;
    StartFade();
    if (!Armed) {
        FHost.Invalidate();
        return;
    }
    Armed = false;
    const bool inside = Inside(x, y, width, height);
    const bool check = Style == TAdvButtonStyle::bsCheck;
    bool clicked = false;
    if (FGroupIndex != 0) {
        if (FHost.HasAction() && FHost.ActionCheckedLinked())
            return;
        if (inside) {
            SetDown(!FDown);
            if (FDown)
                FHost.Repaint();
        } else if (FDown) {
            State = gsDown;
            FHost.Repaint();
        }
    } else {
        State = gsNormal;
        MouseInside = false;
        if (check) {
            if (FHost.HasAction()) {
                if (inside) {
                    FHost.Click();
                    clicked = true;
                }
                if (FHost.ActionCheckedLinked())
                    return;
            }
            // A release outside takes back the press's toggle.
            if (!inside)
                SetDown(!FDown);
            FHost.Repaint();
        }
        if (inside && State != gsPressed && State != gsDown)
            FHost.Invalidate();
    }
    if (inside && !MouseEntered)
        MouseEnter();
    if (inside && !clicked)
        FHost.Click();
    if (check || FGroupIndex != 0)
        FHost.Repaint();
    FHost.Invalidate();
}

void TGlowButtonLogic::KeyDown()
{
    Pressing = true;
    State = gsPressed;
    FHost.Repaint();
}

void TGlowButtonLogic::KeyUp()
{
    Pressing = false;
    State = FDown && FGroupIndex != 0 ? gsDown : gsNormal;
    FHost.Repaint();
}

void TGlowButtonLogic::DropDownKey()
{
    if (!FHost.HasDropDownMenu())
        return;
    State = gsPressed;
    FHost.FireDropDown();
    FHost.PopupMenu();
    State = gsNormal;
    FHost.Repaint();
}

void TGlowButtonLogic::PrepareState(bool enabled)
{
    if (!enabled) {
        State = gsDisabled;
        Armed = false;
        return;
    }
    if (State == gsDisabled)
        State = FDown && FGroupIndex != 0 ? gsDown : gsNormal;
    if (Style == TAdvButtonStyle::bsCheck && FDown)
        State = gsPressed;
}

int TGlowButtonLogic::DropDownHighlight() const
{
    if (!DropDownButton)
        return 0;
    if (OverDropDown)
        return 2;
    return MouseInside || LeftDown ? 1 : 0;
}

// --- colours of a paint ---------------------------------------------------------------------

TGlowColorChoice ChooseGlowColors(const TGlowButtonAppearance& a, const TGlowColorInputs& in)
{
    TGlowColorChoice choice;
    const bool check = in.Style == TAdvButtonStyle::bsCheck;
    const bool checkDown = check && in.Down;
    if ((in.Enabled && in.State != gsDisabled) || !in.ShowDisabled) {
        if (in.State == gsPressed && !check) {
            choice.Set = a.Down;
            choice.Highlighted = true;
        } else if (in.State == gsDown || (in.State == gsPressed && check)) {
            choice.Set = a.Checked;
            if (in.FadeTimerRunning && (in.MouseInside || (!check && (!in.Grouped || in.State == gsPressed))))
                choice.Set = BlendSets(a.Down, a.Checked, in.PressFade);
        } else if (in.Hot) {
            choice.Set = a.Hot;
            choice.Highlighted = true;
        } else {
            choice.Set = a.Normal;
        }
        if (in.FadeTimerRunning) {
            if (!in.Pressing && !in.Transparent && in.State != gsDown && !checkDown)
                choice.Set = BlendSets(a.Hot, a.Normal, in.HotFade);
            else if (check && in.Pressing)
                choice.Set = BlendSets(a.Down, a.Checked, in.PressFade, false);
            else if (in.Pressing && in.State != gsDown)
                choice.Set = BlendSets(a.Down, a.Hot, in.PressFade);
        }
    } else {
        choice.Set = a.Disabled;
    }
    if (in.Position != TButtonPosition::bpStandalone && in.LeftDown)
        choice.Set.BorderColor = a.Normal.BorderColor;
    if (in.State == gsDisabled && in.ShowDisabled)
        choice.Set = a.Disabled;
    const bool hotFocus = in.FocusType == TFocusType::ftHot || in.FocusType == TFocusType::ftHotBorder;
    if (in.Focused && hotFocus && !in.Pressing) {
        choice.Set = a.Hot;
        choice.Highlighted = true;
    }
    choice.FocusBorder = in.Focused && (in.FocusType == TFocusType::ftBorder || in.FocusType == TFocusType::ftHotBorder);
    return choice;
}

bool GlowBackgroundTransparent(bool transparent, bool transparentAll, bool mouseEntered, bool focusedHot, uint8_t state)
{
    if (transparentAll)
        return state != gsPressed;
    return transparent && !mouseEntered && !focusedHot && state != gsPressed;
}

QSize GlowAutoSize(const TGlowSizeInputs& in)
{
    int width = in.Spacing * 3 + in.ContentWidth + in.MarginHorz * 2 + 2;
    int height = in.Spacing * 2 + in.ContentHeight + in.MarginVert * 2;
    if (in.DropDownButton) {
        if (in.DropDownPosition == TDropDownPosition::dpBottom)
            height += DropDownPartSize;
        else
            width += DropDownPartSize;
    }
    return QSize(width, height);
}

// --- size states ----------------------------------------------------------------------------

bool TGlowSizeStates::SetCurrent(TButtonSizeState value, bool autoSize, TButtonLayout& layout, TDropDownPosition& position)
{
    if (value == FCurrent)
        return false;
    if (FCurrent == TButtonSizeState::bsLarge) {
        FSavedLayout = layout;
        FSavedPosition = position;
    }
    FCurrent = value;
    if (autoSize) {
        if (value == TButtonSizeState::bsLarge) {
            layout = FSavedLayout;
            position = FSavedPosition;
        } else {
            layout = TButtonLayout::blGlyphLeft;
            position = TDropDownPosition::dpRight;
        }
    }
    return true;
}

bool TGlowSizeStates::SetMax(TButtonSizeState value, bool autoSize, TButtonLayout& layout, TDropDownPosition& position)
{
    if (value == FMax)
        return false;
    FMax = value;
    return SetCurrent(value, autoSize, layout, position);
}

bool TGlowSizeStates::SetMin(TButtonSizeState value, bool autoSize, TButtonLayout& layout, TDropDownPosition& position)
{
    if (value == FMin)
        return false;
    FMin = value;
    return FCurrent < value && SetCurrent(value, autoSize, layout, position);
}
