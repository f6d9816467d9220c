// The glow button: an owner-drawn push button with a two-part gradient face that fades into its
// hot colours, an image and a caption with notes; also a check button, a member of a group of
// buttons, or a button with a drop-down menu. And its drawing on any painter.
#pragma once

#include "ui/AdvHintInfo.h"
#include "ui/GDIPicture.h"
#include "ui/PngImageList.h"
#include "ui/uGlowButtonState.h"

#include <QAction>
#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QStringList>
#include <QTimer>

#include <exception>
#include <functional>

enum class TBorderStyle { bsNone, bsSingle };

// Modal results a button gives its dialog (the dialog's exec() returns it).
inline constexpr int mrNone = 0;
inline constexpr int mrOk = 1;
inline constexpr int mrCancel = 2;
inline constexpr int mrAbort = 3;
inline constexpr int mrRetry = 4;
inline constexpr int mrIgnore = 5;
inline constexpr int mrYes = 6;
inline constexpr int mrNo = 7;

// "Segoe UI" when installed, else "Tahoma", else the platform's general font: a scalable font the
// anti-aliased text path can use.
QString GlowButtonFontName();

// An action that names its picture by index in an image list; glow buttons linked to it show it.
class TImageAction : public QAction {
    Q_OBJECT
public:
    explicit TImageAction(QObject* parent = nullptr);
    TImageAction(const QString& text, int imageIndex, TPngImageList* images, QObject* parent = nullptr);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    TPngImageList* Images() const { return FImages; }
    void SetImages(TPngImageList* images);

private:
    int FImageIndex = -1;
    QPointer<TPngImageList> FImages;
};

// Everything one paint of a glow button needs.
struct TGlowDrawInput {
    QRect Client;
    TGlowColorSet Colors;
    bool Highlighted = false;
    QString Caption;
    QFont Font;
    TColor FontColor = clBlack;
    QStringList Notes;
    QFont NotesFont;
    TColor NotesColor = clBlack;
    const TPngImageList* Images = nullptr;
    int ImageIndex = -1;
    bool ImagesEnabled = true;
    TGDIPPicture* Picture = nullptr;
    QImage Glyph; // ignored below 2 x 2
    QSize ForcedImageSize; // empty: the image's own size
    TButtonLayout Layout = TButtonLayout::blGlyphLeft;
    int Spacing = 2;
    bool WordWrap = true;
    StringTrimming Trimming = StringTrimmingNone;
    TAntiAlias AntiAlias = TAntiAlias::aaClearType;
    bool Rounded = true;
    bool BorderSingle = true;
    TButtonPosition Position = TButtonPosition::bpStandalone;
    bool MouseEntered = false;
    bool BackgroundTransparent = false;
    bool FocusOutline = false;
    bool DropDownButton = false;
    bool DropDownSplit = true;
    TDropDownPosition DropDownPosition = TDropDownPosition::dpRight;
    TDropDownDirection DropDownDirection = TDropDownDirection::ddDown;
    int DropDownHighlight = 0; // 0 none, 1 face, 2 part
    bool Enabled = true;
    TColor DisabledTextColor = clGray;
    bool Measuring = false;
};

// Paints one glow button (or, when measuring, only measures); returns the content size.
QSize DrawGlowButton(QPainter& canvas, const TGlowDrawInput& in);
// One half of the face: upper from ColorTo to Color, lower from ColorMirror to ColorMirrorTo.
void FillGlowHalf(QPainter& canvas, TGPGraphics& graphics, const QRect& rect, bool upper, TGDIPGradient gradient,
    TColor colorA, TColor colorB);
// The closed outline from (left, top) to (right - 1, bottom - 1), corners of radius.
void DrawGlowBorder(TGPGraphics& graphics, TColor color, const QRect& rect, int radius, bool dotted = false);
// A 5 x 3 arrow at point pointing down (or 3 x 5 pointing right), with white highlight pixels.
void DrawDropDownArrow(QPainter& canvas, QPoint point, TColor color, bool down, TColor highlight = clWhite);
// The pixels of that arrow (arrow colour first, then the highlight).
std::vector<QPoint> DropDownArrowPixels(QPoint point, bool down, bool highlight);

class TAdvCustomGlowButton : public QPushButton, private TGlowButtonHost {
    Q_OBJECT
public:
    explicit TAdvCustomGlowButton(QWidget* parent = nullptr);
    ~TAdvCustomGlowButton() override;

    // Copies the published properties of another glow button (not its events).
    void Assign(const TAdvCustomGlowButton* source);

    QString Caption() const { return text(); }
    void SetCaption(const QString& caption);
    bool ShowCaption() const { return FShowCaption; }
    void SetShowCaption(bool value);
    bool ParentFont() const { return !testAttribute(Qt::WA_SetFont); }
    const QStringList& Notes() const { return FNotes; }
    void SetNotes(const QStringList& notes);
    const QFont& NotesFont() const { return FNotesFont; }
    void SetNotesFont(const QFont& font);

    TPngImageList* Images() const { return FImages; }
    void SetImages(TPngImageList* images);
    TPngImageList* HotImages() const { return FHotImages; }
    void SetHotImages(TPngImageList* images);
    TPngImageList* DisabledImages() const { return FDisabledImages; }
    void SetDisabledImages(TPngImageList* images);
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int index);
    TGDIPPicture& Picture() { return FPicture; }
    void SetPicture(const TGDIPPicture* picture) { FPicture.Assign(picture); }
    TGDIPPicture& HotPicture() { return FHotPicture; }
    void SetHotPicture(const TGDIPPicture* picture) { FHotPicture.Assign(picture); }
    TGDIPPicture& DisabledPicture() { return FDisabledPicture; }
    void SetDisabledPicture(const TGDIPPicture* picture) { FDisabledPicture.Assign(picture); }

    const TGlowButtonAppearance& Appearance() const { return FAppearance; }
    void SetAppearance(const TGlowButtonAppearance& appearance);
    // One of the preset colour schemes; any other number only repaints.
    void ApplyStylePreset(int preset);

    TButtonLayout Layout() const { return FLayout; }
    void SetLayout(TButtonLayout layout);
    int Spacing() const { return FSpacing; }
    void SetSpacing(int value);
    int MarginHorz() const { return FMarginHorz; }
    void SetMarginHorz(int value);
    int MarginVert() const { return FMarginVert; }
    void SetMarginVert(int value);
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value);
    StringTrimming Trimming() const { return FTrimming; }
    void SetTrimming(StringTrimming value);
    TAntiAlias AntiAlias() const { return FAntiAlias; }
    void SetAntiAlias(TAntiAlias value);
    bool Rounded() const { return FRounded; }
    void SetRounded(bool value);
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    TButtonPosition Position() const { return FPosition; }
    void SetPosition(TButtonPosition value);
    bool ShowDisabled() const { return FShowDisabled; }
    void SetShowDisabled(bool value);
    bool AutoSize() const { return FAutoSize; }
    void SetAutoSize(bool value);

    TAdvButtonStyle Style() const { return FLogic.Style; }
    void SetStyle(TAdvButtonStyle style) { FLogic.Style = style; }
    bool Down() const { return FLogic.Down(); }
    void SetDown(bool value) { FLogic.SetDown(value); }
    int GroupIndex() const { return FLogic.GroupIndex(); }
    void SetGroupIndex(int value) { FLogic.SetGroupIndex(value); }
    bool AllowAllUp() const { return FLogic.AllowAllUp(); }
    void SetAllowAllUp(bool value) { FLogic.SetAllowAllUp(value); }

    bool DropDownButton() const { return FLogic.DropDownButton; }
    void SetDropDownButton(bool value);
    bool DropDownSplit() const { return FLogic.DropDownSplit; }
    void SetDropDownSplit(bool value);
    TDropDownPosition DropDownPosition() const { return FLogic.DropDownPosition; }
    void SetDropDownPosition(TDropDownPosition value);
    TDropDownDirection DropDownDirection() const { return FDropDownDirection; }
    void SetDropDownDirection(TDropDownDirection value);
    QMenu* DropDownMenu() const { return FDropDownMenu; }
    void SetDropDownMenu(QMenu* menu) { FDropDownMenu = menu; }

    TButtonSizeState MaxButtonSizeState() const { return FSizeStates.Max(); }
    void SetMaxButtonSizeState(TButtonSizeState value);
    TButtonSizeState MinButtonSizeState() const { return FSizeStates.Min(); }
    void SetMinButtonSizeState(TButtonSizeState value);
    TButtonSizeState ButtonSizeState() const { return FSizeStates.Current(); }

    // Enter clicks the default button of a dialog (Qt's own default-button handling).
    bool Default() const { return isDefault(); }
    void SetDefault(bool value) { setDefault(value); }

    TAdvHintInfo& OfficeHint() { return FOfficeHint; }
    void SetOfficeHint(const TAdvHintInfo* hint) { FOfficeHint.Assign(hint); }

    // Links the button to the action (caption, enabled, visible, checked, hint and, for a
    // TImageAction, its picture); a click triggers it. nullptr unlinks.
    void SetAction(QAction* action);
    QAction* Action() const { return FAction; }

    QString Version() const;
    static constexpr unsigned GetVersionNr() { return 0x01080100; }

    // Clicks as a mouse click would: the handler (or the action), then the dialog's modal result.
    void Click() override;
    // Measures the content and resizes an auto-sized button; repaints any other.
    void UpdateSize();
    QSize sizeHint() const override;

    // Plain properties.
    bool Transparent = false; // takes effect at the next paint
    bool TransparentAll = false;
    TColor TextColorDisabled = clGray;
    TFocusType FocusType = TFocusType::ftBorder;
    QString ShortCutHint;
    TShortCutHintPos ShortCutHintPos = TShortCutHintPos::shpTop;
    bool RepeatClick = false;
    int InitRepeatPause = 400; // ms
    int RepeatPause = 100; // ms
    bool Cancel = false; // Escape in its dialog clicks it
    int ModalResult = mrNone;
    bool DoubleBuffered = true;

    // Events (each receives the button).
    std::function<void(TAdvCustomGlowButton*)> OnClick;
    std::function<void(TAdvCustomGlowButton*)> OnDropDown;
    std::function<void(TAdvCustomGlowButton*)> OnMouseEnter;
    std::function<void(TAdvCustomGlowButton*)> OnMouseLeave;
    // Draw state: 0 normal, 1 hot, 2 down.
    std::function<void(TAdvCustomGlowButton*, QPainter&, int drawState, const QRect&)> OnDrawButton;

    // The first enabled, visible glow button of window with Cancel set, clicked; false when none.
    static bool ClickCancelButton(QWidget* window);
    // Where an exception of a click handler goes (the program's command error display); without a
    // handler it is logged.
    static void SetClickErrorHandler(std::function<void(QWidget* button, std::exception_ptr error)> handler);

protected:
    // Called after each paint; draws nothing here.
    virtual void AfterDraw(QPainter&) { }
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    friend class TGlowButtonTestAccess;
    // TGlowButtonHost
    void Invalidate() override { update(); }
    void Repaint() override { update(); }
    void StartFadeTimer() override;
    void StopFadeTimer() override;
    void FireMouseEnter() override;
    void FireMouseLeave() override;
    void FireDropDown() override;
    bool HasDropDownMenu() const override { return FDropDownMenu != nullptr; }
    void PopupMenu() override;
    bool CursorOverButton() const override;
    void BroadcastGroup() override;
    bool ActionCheckedLinked() const override;
    bool HasAction() const override { return FAction != nullptr; }

    TGlowDrawInput DrawInput(bool measuring);
    void HandleClicked();
    void RepeatTick();
    void ActionChanged();
    void SizeStateChanged();

    TGlowButtonLogic FLogic { *this };
    TGlowSizeStates FSizeStates;
    TGlowButtonAppearance FAppearance;
    bool FShowCaption = true;
    QStringList FNotes;
    QFont FNotesFont;
    QPointer<TPngImageList> FImages;
    QPointer<TPngImageList> FHotImages;
    QPointer<TPngImageList> FDisabledImages;
    int FImageIndex = -1;
    TGDIPPicture FPicture;
    TGDIPPicture FHotPicture;
    TGDIPPicture FDisabledPicture;
    TButtonLayout FLayout = TButtonLayout::blGlyphLeft;
    int FSpacing = 2;
    int FMarginHorz = 2;
    int FMarginVert = 2;
    bool FWordWrap = true;
    StringTrimming FTrimming = StringTrimmingNone;
    TAntiAlias FAntiAlias = TAntiAlias::aaClearType;
    bool FRounded = true;
    TBorderStyle FBorderStyle = TBorderStyle::bsSingle;
    TButtonPosition FPosition = TButtonPosition::bpStandalone;
    bool FShowDisabled = true;
    bool FAutoSize = false;
    TDropDownDirection FDropDownDirection = TDropDownDirection::ddDown;
    QPointer<QMenu> FDropDownMenu;
    TAdvHintInfo FOfficeHint;
    QPointer<QAction> FAction;
    QMetaObject::Connection FActionChanged;
    QTimer FFadeTimer;
    QTimer FRepeatTimer;
    QSize FHintSize { 100, 41 };
};

// The glow button as the forms place it.
class TAdvGlowButton : public TAdvCustomGlowButton {
    Q_OBJECT
public:
    using TAdvCustomGlowButton::TAdvCustomGlowButton;
};
