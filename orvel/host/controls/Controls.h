// The control base of the headless widget set. TControl holds what every control has (parent,
// bounds in pixels, visibility, mouse handling, drag and drop, popup menu, repaint counting);
// TWinControl adds the window handle, child controls, message dispatch, keyboard input and focus;
// TCustomControl and TGraphicControl paint on a canvas. No native window exists: a handle is an
// entry of the application's window table, and a screen position is the sum of the positions of
// a control and its parents, a parentless control's Left and Top being screen coordinates.
#pragma once

#include "orvel/host/controls/Graphics.h"
#include "orvel/host/core/Application.h"
#include "orvel/host/core/Component.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/Messages.h"
#include "orvel/host/core/Sets.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/core/Types.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orvel {

class TControl;
class TWinControl;
class TPopupMenu;
class TCustomForm;
class TFormComposer;

enum TMouseButton { mbLeft, mbRight, mbMiddle };

enum TShiftStateMember { ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble };
using TShiftState = TSet<TShiftStateMember, 7>;

enum TDragMode { dmManual, dmAutomatic };
enum TDragState { dsDragEnter, dsDragLeave, dsDragMove };
enum TAlign { alNone, alTop, alBottom, alLeft, alRight, alClient };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
// Controls use bsNone and bsSingle; forms use all of them.
enum TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
using TBorderStyle = TFormBorderStyle;

using TCursor = int32_t;
inline constexpr TCursor crDefault = 0;
inline constexpr TCursor crNone = -1;
inline constexpr TCursor crArrow = -2;
inline constexpr TCursor crCross = -3;
inline constexpr TCursor crIBeam = -4;
inline constexpr TCursor crHourGlass = -11;
inline constexpr TCursor crDrag = -12;
inline constexpr TCursor crNoDrop = -13;

// What a control is doing at the moment.
enum TControlStateMember {
    csLButtonDown,
    csClicked,
    csPalette,
    csReadingState,
    csAlignmentNeeded,
    csFocusing,
    csCreating,
    csPaintCopy, // being painted as a copy inside a repeating panel, from another record
    csCustomPaint,
    csDestroyingHandle,
    csDocking,
};
using TControlState = TSet<TControlStateMember, 11>;

// What a control is able to do.
enum TControlStyleMember {
    csAcceptsControls,
    csCaptureMouse,
    csDesignInteractive,
    csClickEvents,
    csFramed,
    csSetCaption,
    csOpaque,
    csDoubleClicks,
    csFixedWidth,
    csFixedHeight,
    csNoDesignVisible,
    csReplicatable, // may be painted as a copy inside a repeating panel
    csNoStdEvents,
    csDisplayDragImage,
    csReflector,
    csActionClient,
    csMenuEvents,
};
using TControlStyle = TSet<TControlStyleMember, 17>;

// An application's own object standing for a drag (OnStartDrag may supply one); when none is
// supplied the dragged control itself is the drag source that targets see. The object is the
// application's: it must live until OnEndDrag.
class TDragObject : public TObject {};

using TMouseEvent =
    TEvent<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TEvent<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = TEvent<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = TEvent<void(TObject* Sender, char& Key)>;
using TDragOverEvent =
    TEvent<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = TEvent<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TStartDragEvent = TEvent<void(TObject* Sender, TDragObject*& DragObject)>;
using TEndDragEvent = TEvent<void(TObject* Sender, TObject* Target, int X, int Y)>;

// The mouse as the host knows it: where the cursor is (screen pixels) and which control has
// captured it. Input sources (a front end, the test driver) move the cursor before they send a
// mouse message.
class TMouse {
public:
    TPoint CursorPos() const { return FCursorPos; }
    void SetCursorPos(const TPoint& p) { FCursorPos = p; }
    // The control that receives the mouse messages while a button is held (possibly a control
    // without a window, reached through its parent's window).
    TControl* CaptureControl() const { return FCaptureControl; }
    void SetCaptureControl(TControl* control);
    // Pixels the mouse must travel with the button held before a pending drag starts.
    int DragThreshold() const;

private:
    friend class TControl;
    TPoint FCursorPos;
    TControl* FCaptureControl = nullptr;
};
TMouse& Mouse();

// The modifier keys held down, as the keyboard reports them (set by the input source).
TShiftState KeyboardShiftState();
void SetKeyboardShiftState(TShiftState state);
// The modifier keys of a key message: the keyboard's, with Alt taken from the key data (bit 29).
TShiftState KeyDataToShiftState(LPARAM KeyData);

// What a window is made with: CreateWnd asks the control (CreateParams) and keeps the answer,
// which GetWindowLong and GetClassLong report. Style bits describe the window; the headless
// frame and geometry still come from the control's properties.
struct TWndClass {
    UINT style = 0;
};
struct TCreateParams {
    std::string Caption;
    uint32_t Style = 0;
    uint32_t ExStyle = 0;
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
    HWND WndParent = 0;
    TWndClass WindowClass;
    std::string WinClassName;
};

// A cursor shape: the identifier of a standard cursor (IDC_ARROW, IDC_IBEAM, ...).
using HCURSOR = uintptr_t;

// Host window routines the controls' members reach as static members (see below).
HWND SetParent(HWND hWndChild, HWND hWndNewParent);
HCURSOR SetCursor(HCURSOR Cursor);

class TControl : public TComponent {
    ORVEL_PUBLISHED(TControl)
public:
    explicit TControl(TComponent* AOwner);
    ~TControl() override;

    // Parent. A control is shown inside its parent; the parent does not own it (the owner does).
    TWinControl* Parent() const { return FParent; }
    virtual void SetParent(TWinControl* AParent);
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* AParent) override;

    // Geometry in pixels: bounds in the parent's client coordinates (screen coordinates for a
    // control without parent); the client area in the control's own coordinates.
    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    void SetLeft(int value) { SetBounds(value, FTop, FWidth, FHeight); }
    void SetTop(int value) { SetBounds(FLeft, value, FWidth, FHeight); }
    void SetWidth(int value) { SetBounds(FLeft, FTop, value, FHeight); }
    void SetHeight(int value) { SetBounds(FLeft, FTop, FWidth, value); }
    // Negative sizes are taken as 0.
    virtual void SetBounds(int ALeft, int ATop, int AWidth, int AHeight);
    TRect BoundsRect() const { return Bounds(FLeft, FTop, FWidth, FHeight); }
    virtual TRect ClientRect() const;
    int ClientWidth() const { return ClientRect().Width(); }
    int ClientHeight() const { return ClientRect().Height(); }
    // The screen position of the client area's top-left corner.
    virtual TPoint ClientOrigin() const;
    TPoint ClientToScreen(const TPoint& p) const;
    TPoint ScreenToClient(const TPoint& p) const;

    bool Visible() const { return FVisible; }
    virtual void SetVisible(bool value);
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }
    bool Enabled() const { return FEnabled; }
    virtual void SetEnabled(bool value);
    // Visible with every parent visible; Enabled with every parent enabled.
    bool IsVisibleOnScreen() const;
    bool IsEnabledWithParents() const;

    const std::string& Caption() const { return FText; }
    void SetCaption(const std::string& value) { SetText(value); }
    const std::string& Text() const { return FText; }
    void SetText(const std::string& value);
    const std::string& Hint() const { return FHint; }
    void SetHint(const std::string& value) { FHint = value; }
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value) { FShowHint = value; }
    bool ParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool value) { FParentShowHint = value; }

    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    bool ParentColor() const { return FParentColor; }
    void SetParentColor(bool value) { FParentColor = value; }
    TFont* Font() const { return FFont.get(); }
    void SetFont(TFont* value); // copies the font
    bool ParentFont() const { return FParentFont; }
    void SetParentFont(bool value) { FParentFont = value; }
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool value);
    bool ParentCtl3D() const { return FParentCtl3D; }
    void SetParentCtl3D(bool value) { FParentCtl3D = value; }
    // Stored for form files and front ends; the headless controls do not lay themselves out.
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign value) { FAlign = value; }
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value) { FCursor = value; }
    // The host routine of the same name (a cursor handle, not the Cursor property), so that
    // SetCursor(LoadCursor(0, IDC_ARROW)) in a control's member shows the arrow.
    static HCURSOR SetCursor(HCURSOR Cursor);
    TCursor DragCursor() const { return FDragCursor; }
    void SetDragCursor(TCursor value) { FDragCursor = value; }
    TDragMode DragMode() const { return FDragMode; }
    virtual void SetDragMode(TDragMode value) { FDragMode = value; }

    // The menu a right click pops up (at the release point). The reference is cleared when the
    // menu is destroyed.
    TPopupMenu* PopupMenu() const { return FPopupMenu; }
    virtual void SetPopupMenu(TPopupMenu* value);

    TControlState ControlState() const { return FControlState; }
    void SetControlState(TControlState value) { FControlState = value; }
    TControlStyle ControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle value) { FControlStyle = value; }

    // Repainting, counted so that tests see it. Invalidate marks the control for repainting
    // (InvalidateCount counts the marks); Update paints a marked control at once when it is
    // shown on screen (PaintCount counts the paints); Repaint does both.
    virtual void Invalidate();
    void Update();
    void Repaint();
    int InvalidateCount() const { return FInvalidateCount; }
    int PaintCount() const { return FPaintCount; }
    bool NeedsPaint() const { return FInvalidated; }
    // Whether the control's pixels on its form's surface are out of date: set by Invalidate and
    // by what changes a control's look without invalidating it (the focus coming or going, a
    // key, a mouse button), cleared when the form composes it (TCustomForm::PaintInvalid).
    bool NeedsComposition() const { return FComposeNeeded; }
    void MarkForComposition() { FComposeNeeded = true; }

    // Handles a message sent to this control; descendants override to add their own messages
    // and call the inherited handling for the others.
    virtual void WndProc(TMessage& Message);
    LRESULT Perform(UINT Msg, WPARAM WParam, LPARAM LParam);
    // The window's own handling of a message no handler of the control took: what the window
    // class does by itself (an edit box stores WM_SETTEXT, a list box answers LB_GETCOUNT). The
    // base answers WM_SETTEXT (LParam: the text, a NUL-terminated string), WM_GETTEXTLENGTH and
    // WM_GETTEXT (WParam: buffer size, LParam: buffer).
    virtual void DefaultHandler(TMessage& Message);

    // Whether this control holds the mouse capture; setting it captures or releases the mouse.
    bool MouseCapture() const;
    void SetMouseCapture(bool value);

    // Drag and drop. BeginDrag starts a drag from this control at once, or (not Immediate) when
    // the mouse has moved Threshold pixels (-1: the system's drag threshold) with the button held.
    // EndDrag ends the drag from this control, dropping at the cursor or cancelling.
    void BeginDrag(bool Immediate, int Threshold = -1);
    void EndDrag(bool Drop);
    bool Dragging() const;
    // The picture that follows the mouse while this control is dragged, and the point of it the
    // mouse holds; false when the control has none.
    virtual bool GetDragImage(TBitmap& /*image*/, TPoint& /*hotSpot*/) { return false; }

    void Notification(TComponent* AComponent, TOperation Operation) override;
    void Loaded() override;

    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseMoveEvent OnMouseMove;
    TMouseEvent OnMouseUp;
    TDragOverEvent OnDragOver;
    TDragDropEvent OnDragDrop;
    TStartDragEvent OnStartDrag;
    TEndDragEvent OnEndDrag;

    // Properties every control has but only some classes publish; published classes list the
    // ones they show with TClassBuilder::Republish.
    static const TClassInfo& HostProperties();

protected:
    friend class TWinControl;
    friend class TDragManager;
    friend class TFormComposer;

    virtual void Click();
    virtual void DblClick();
    virtual void MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void MouseMove(TShiftState Shift, int X, int Y);
    virtual void MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    // The control's own reaction to a press or release, before the mouse events (a tree selects
    // the node under the point). Empty here.
    virtual void DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y,
                                  bool DoubleClick);
    virtual void DefaultMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);

    // Drag and drop hooks; each base version raises the matching event. DragOver answers false
    // unless an OnDragOver handler accepts.
    virtual void DoStartDrag(TDragObject*& DragObject);
    virtual void DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept);
    virtual void DragDrop(TObject* Source, int X, int Y);
    virtual void DoEndDrag(TObject* Target, int X, int Y);
    virtual void DragCanceled();
    // Shows (or removes, for dsDragLeave) the control's own feedback of a drag over it, after
    // DragOver has answered. Empty here; a tree highlights its drop target.
    virtual void DragOverFeedback(TDragState State, int X, int Y, bool Accept);

    // Painting: a WM_PAINT message (sent by Update, or by a repeating panel with its device
    // context) reaches WMPaint, which calls PaintWindow with the device context (0: the
    // control's own surface).
    virtual void WMPaint(TMessage& Message);
    virtual void PaintWindow(HDC DC);
    virtual bool CanPaintNow() const;

    // Shows the popup menu of this control or, when it has none, of the nearest parent with one.
    virtual void DoContextPopup(const TPoint& ClientPos);
    // The windowed control whose handle receives this control's messages (itself or a parent).
    virtual TWinControl* MessageWindow() const;

    // A mouse press here first asks the focused control to end what it is tracking
    // (CM_CANCELMODE with this control as LParam, the sender).
    void SendCancelMode();

private:
    void WMButtonDown(TMessage& Message, TMouseButton Button, bool DoubleClick);
    void WMButtonUp(TMessage& Message, TMouseButton Button);
    void WMMouseMove(TMessage& Message);
    void ReleaseOwnCapture();

    TWinControl* FParent = nullptr;
    int FLeft = 0;
    int FTop = 0;
    int FWidth = 0;
    int FHeight = 0;
    bool FVisible = true;
    bool FEnabled = true;
    bool FShowHint = false;
    bool FParentShowHint = true;
    bool FParentColor = false;
    bool FParentFont = true;
    bool FCtl3D = true;
    bool FParentCtl3D = true;
    bool FInvalidated = false;
    std::string FText;
    std::string FHint;
    TColor FColor = clWindow;
    std::unique_ptr<TFont> FFont;
    TAlign FAlign = alNone;
    TCursor FCursor = crDefault;
    TCursor FDragCursor = crDrag;
    TDragMode FDragMode = dmManual;
    TPopupMenu* FPopupMenu = nullptr;
    TControlState FControlState;
    TControlStyle FControlStyle;
    int FInvalidateCount = 0;
    int FPaintCount = 0;
    bool FComposeNeeded = true;
    TRect FComposedRect; // where the form's surface last showed the control (form coordinates)
};

// The two scroll bars of a control, and what one shows: the range Min..Max of scroll positions,
// the Page of units in view at once and the Position of the first unit in view (units as the
// control counts them: rows, columns or pixels).
enum TScrollBarKind { sbHorizontal, sbVertical };
struct TScrollBarState {
    bool Visible = false;
    int Min = 0;
    int Max = 0;
    int Page = 1;
    int Position = 0;
};

class TWinControl : public TControl, public TWindowTarget {
    ORVEL_PUBLISHED(TWinControl)
public:
    explicit TWinControl(TComponent* AOwner);
    ~TWinControl() override;

    // The window handle, created on first use (the parent's first).
    HWND Handle();
    bool HandleAllocated() const { return FHandle != 0; }
    void HandleNeeded();
    // Destroys the window of this control and of its children; messages still queued for them
    // are dropped. HandleNeeded creates a new one (with a new handle value).
    void DestroyHandle();
    // Destroys the window and, when it had one, makes it again (a style that changes the
    // window's make-up).
    void RecreateWnd();

    int ControlCount() const { return static_cast<int>(FControls.size()); }
    TControl* Controls(int Index) const;
    void InsertControl(TControl* AControl);
    void RemoveControl(TControl* AControl);
    // Whether AControl is this control or lies inside it.
    bool ContainsControl(const TControl* AControl) const;
    // The child control whose bounds hold Pos (client coordinates), the topmost (last inserted)
    // first; invisible children never, disabled ones only when AllowDisabled.
    TControl* ControlAtPos(const TPoint& Pos, bool AllowDisabled) const;

    // Focus: one control at a time has it. Moving it sends CM_EXIT to the control that loses it
    // (DoExit) and CM_ENTER to the one that gains it (DoEnter). SetFocus raises
    // EInvalidOperation for a control that is invisible or disabled.
    bool CanFocus() const;
    bool Focused() const;
    virtual void SetFocus();
    // The host routine of the same name, reachable unqualified from a control's members.
    static HWND SetFocus(HWND hWnd);
    bool TabStop() const { return FTabStop; }
    void SetTabStop(bool value) { FTabStop = value; }
    int TabOrder() const { return FTabOrder; }
    void SetTabOrder(int value) { FTabOrder = value; }

    // The frame around the client area: bsSingle draws a sunken (Ctl3D) or flat edge.
    TBorderStyle BorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle value);
    // Width of the frame on each side in pixels.
    virtual int BorderWidth() const;
    // The bounds without the frame and without the scroll bars that are shown.
    TRect ClientRect() const override;
    TPoint ClientOrigin() const override;
    // Paints this control and its visible children, whole, into canvas with the control's
    // top-left at (x, y) (for offscreen pictures of one control): the frame and scroll bars,
    // then the client area through WM_PAINT with the canvas's device context (window origin at
    // the client's top-left, clipped to it), children over parents in z-order, clipped to their
    // parents; dropped-down pop-ups of the children last. The paint counters do not change.
    void PaintTo(TCanvas& canvas, int x, int y);
    // The state of a scroll bar, for painting it. The base answers whether the bar is shown
    // with a thumb that fills the track; scrolling controls override it with their positions.
    virtual TScrollBarState ScrollBarState(TScrollBarKind Kind) const;

    void DispatchWindowMessage(TMessage& Message) override;
    void WndProc(TMessage& Message) override;
    void SetParent(TWinControl* AParent) override;
    // The host routine of the same name, reachable unqualified from a control's members:
    // SetParent(Handle(), 0) makes the window a top-level window of the screen.
    static HWND SetParent(HWND hWndChild, HWND hWndNewParent);

    // A window made a top-level window of the screen (SetParent(Handle, 0)) while the control
    // keeps its parent: a pop-up such as a drop-down list. Its Left and Top are screen
    // coordinates, its parent's window neither clips nor hit-tests it, and a click never gives it
    // the focus. Recreating the window makes it a child again.
    bool IsDetachedWindow() const { return FDetached; }
    // The window as CreateWnd made it (empty before the first window exists).
    const TCreateParams& WindowParams() const { return FWindowParams; }

    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    TKeyEvent OnKeyDown;
    TKeyPressEvent OnKeyPress;
    TKeyEvent OnKeyUp;

    static const TClassInfo& HostProperties();

protected:
    friend class TControl;
    friend class TCustomForm;
    friend class TDragManager;

    // Window life: CreateWnd asks CreateParams, allocates the handle and sends WM_CREATE;
    // DestroyWnd sends WM_DESTROY and releases it. Overrides call the inherited version first
    // (CreateWnd) or last (DestroyWnd).
    virtual void CreateWnd();
    virtual void DestroyWnd();
    // Describes the window to create: a child (WS_CHILD, the parent's handle) or a pop-up,
    // visible, with a tab stop, a frame for bsSingle (WS_EX_CLIENTEDGE with Ctl3D, else
    // WS_BORDER), the class styles CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS and the class name.
    virtual void CreateParams(TCreateParams& Params);

    virtual void DoEnter();
    virtual void DoExit();
    virtual void CMEnter(TMessage& Message);
    virtual void CMExit(TMessage& Message);
    virtual void KeyDown(uint16_t& Key, TShiftState Shift);
    virtual void KeyUp(uint16_t& Key, TShiftState Shift);
    virtual void KeyPress(char& Key);
    // The control's own reaction to a key that the key events left in place (a tree moves its
    // selection). Empty here.
    virtual void DefaultKeyDown(uint16_t& Key, TShiftState Shift);
    virtual void DefaultKeyPress(char& Key);

    // Scroll bars that take room from the client area; none here.
    virtual bool VertScrollBarVisible() const { return false; }
    virtual bool HorzScrollBarVisible() const { return false; }
    bool CanPaintNow() const override;
    TWinControl* MessageWindow() const override;
    // Asks the window for a focus move: with a click, the window takes the focus when it can
    // (a detached pop-up window never does).
    virtual bool TakesFocusOnClick() const { return !FDetached; }
    // Enter and Escape that the focused control left unhandled reach its form
    // (TCustomForm::DialogKey); Alt with a character reaches the form as an accelerator.
    void WMSysChar(TMessage& Message);

private:
    friend HWND orvel::SetParent(HWND hWndChild, HWND hWndNewParent);
    void CreateHandle();
    void WMKeyDown(TMessage& Message);
    void WMKeyUp(TMessage& Message);
    void WMChar(TMessage& Message);
    bool RouteMouseToChild(TMessage& Message);
    bool HandleDragMouse(TMessage& Message);

    HWND FHandle = 0;
    std::vector<TControl*> FControls;
    bool FTabStop = false;
    int FTabOrder = -1;
    bool FRedrawDisabled = false;
    bool FDetached = false;
    TBorderStyle FBorderStyle = bsNone;
    TCreateParams FWindowParams;
};

// A windowed control that paints itself on a canvas: an offscreen bitmap of its client size, or
// the canvas of the device context a WM_PAINT message carries.
class TCustomControl : public TWinControl {
public:
    explicit TCustomControl(TComponent* AOwner);
    ~TCustomControl() override;
    TCanvas* Canvas();

protected:
    virtual void Paint() {}
    void PaintWindow(HDC DC) override;
    // The device context of the control's own surface, sized to the client area, with the
    // control's font, no clipping and the origin at 0,0: for controls whose PaintWindow draws
    // on a device context whatever the WM_PAINT message carried.
    HDC OwnSurfaceDC();

private:
    std::unique_ptr<TBitmap> FSurface;
    std::unique_ptr<TCanvas> FCanvas;
    TCanvas* FPaintCanvas = nullptr; // the device context's canvas while painting on it
};

// A control without a window of its own (a label, a bevel): its parent's window receives its
// mouse messages and passes them on.
class TGraphicControl : public TControl {
public:
    explicit TGraphicControl(TComponent* AOwner);
    ~TGraphicControl() override;
    TCanvas* Canvas();

protected:
    virtual void Paint() {}
    void PaintWindow(HDC DC) override;

private:
    std::unique_ptr<TBitmap> FSurface;
    std::unique_ptr<TCanvas> FCanvas;
    TCanvas* FPaintCanvas = nullptr; // the device context's canvas while painting on it
};

// The one drag in progress (a drag starts from one control and ends at one drop).
class TDragManager {
public:
    static TDragManager& Instance();

    bool Active() const { return FSource != nullptr; } // pending or started
    bool Started() const { return FSource && FStarted; }
    TControl* Source() const { return FSource; }
    // The control under the cursor that last answered DragOver, and whether it accepted.
    TControl* Target() const { return FTarget; }
    bool Accepted() const { return FAccepted; }

    void Begin(TControl* Source, bool Immediate, int Threshold);
    // The cursor moved to Pos (screen): starts a pending drag beyond the threshold, or moves the
    // drag over the control under the cursor. Answers whether the move belonged to the drag.
    bool MouseMove(const TPoint& Pos);
    // The button was released at Pos: drops a started drag (answer true), forgets a pending one.
    bool MouseUp(const TPoint& Pos);
    // Ends a started drag without a drop (Escape): DragCanceled, then DoEndDrag with no target.
    void Cancel();
    // A control is being destroyed: the drag forgets it (a drag from it ends silently).
    void ControlDestroying(TControl* Control);

private:
    void Start();
    void Reset();
    void MoveOver(const TPoint& Pos);
    bool AskTarget(TControl* Target, const TPoint& Pos, TDragState State);
    void Finish(bool Drop, const TPoint& Pos);
    TObject* SourceObject() const;

    TControl* FSource = nullptr;
    TDragObject* FDragObject = nullptr;
    TControl* FTarget = nullptr;
    bool FAccepted = false;
    bool FStarted = false;
    int FThreshold = 0;
    TPoint FStartPos;
    TPoint FLastPos;
    // The source and target of a drag that is ending, while their handlers run (cleared when
    // one of them is destroyed meanwhile).
    TControl* FEndSource = nullptr;
    TControl* FEndTarget = nullptr;
};

// The control a drag would drop on at a screen point: the deepest visible (and, unless
// AllowDisabled, enabled) control whose bounds hold it, searched from the most recently created
// top-level window.
TControl* FindDragTarget(const TPoint& Pos, bool AllowDisabled);
// The control being dragged, or none.
TControl* DragControl();
// Ends the drag in progress without a drop.
void CancelDrag();
// The windowed control of a handle, or none.
TWinControl* FindControl(HWND Handle);
// The control with the keyboard focus, or none.
TWinControl* FocusedControl();
// The windowed controls without parent that have a handle, oldest first.
const std::vector<TWinControl*>& TopLevelWindows();

// --- Host window routines over handles ----------------------------------------------------
// SetCursor, SetFocus and SetParent are also static members of the controls, so that a
// control's members reach them unqualified despite the members of the same names.

// Makes a window a top-level window of the screen (hWndNewParent 0) or a child of its control's
// parent window again (that parent's handle); answers the previous parent window, 0 on failure.
HWND SetParent(HWND hWndChild, HWND hWndNewParent);
// Moves, sizes, shows or hides a window and places it in the window order (HWND_TOP: first).
// SWP_NOMOVE and SWP_NOSIZE keep position and size; SWP_SHOWWINDOW and SWP_HIDEWINDOW change
// the visibility; no call ever moves the focus (SWP_NOACTIVATE is implied).
bool SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags);
// The first child window (GW_CHILD; detached windows are not children), the next window of the
// same parent (GW_HWNDNEXT) or the parent of a detached window (GW_OWNER); 0 when there is none.
HWND GetWindow(HWND hWnd, UINT uCmd);
bool IsWindowVisible(HWND hWnd);
bool GetClientRect(HWND hWnd, TRect& Rect);
bool GetWindowRect(HWND hWnd, TRect& Rect); // in screen coordinates
// Converts points between the client coordinates of two windows (0: the screen).
int MapWindowPoints(HWND hWndFrom, HWND hWndTo, TPoint* Points, int Count);
int MapWindowPoints(HWND hWndFrom, HWND hWndTo, TRect& Rect);
int32_t GetWindowLong(HWND hWnd, int nIndex); // GWL_STYLE (WS_VISIBLE as shown now), GWL_EXSTYLE
uint32_t GetClassLong(HWND hWnd, int nIndex); // GCL_STYLE
// The keyboard focus: moving it runs the controls' exit and enter handling (TWinControl::SetFocus).
HWND SetFocus(HWND hWnd);
HWND GetFocus();
// The mouse capture by window.
HWND SetCapture(HWND hWnd);
HWND GetCapture();
bool ReleaseCapture();
// Marks a window (or a part of it) for repainting.
bool InvalidateRect(HWND hWnd, const TRect* Rect, bool Erase);
// The cursor position in screen coordinates.
bool GetCursorPos(TPoint& Point);
// Cursor shapes: LoadCursor answers the standard cursor of an identifier; SetCursor shows one
// and answers the one shown before; GetCursor answers the one shown. A window shows its
// cursor when it receives WM_SETCURSOR (TWinControl shows its Cursor, an arrow by default).
HCURSOR LoadCursor(uintptr_t hInstance, int CursorName);
HCURSOR SetCursor(HCURSOR Cursor);
HCURSOR GetCursor();
// The standard cursor a control's Cursor property stands for.
HCURSOR CursorHandle(TCursor Cursor);
// Hands a message straight to the window's own handling (DefaultHandler), past its control.
LRESULT DefWindowProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam);

} // namespace orvel
