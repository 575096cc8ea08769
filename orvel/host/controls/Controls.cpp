// The control base: geometry, mouse and keyboard dispatch, focus, window handles, painting and
// the drag-and-drop machinery.
#include "orvel/host/controls/Controls.h"

#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/Menus.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"

#include <algorithm>
#include <cstdlib>

namespace orvel {

namespace {

TShiftState gKeyboardShift;

std::vector<TWinControl*>& TopLevelList() {
    static std::vector<TWinControl*> windows;
    return windows;
}

TPoint MessagePoint(const TMessage& m) {
    return {LoWordSigned(m.LParam), HiWordSigned(m.LParam)};
}

// The buttons and keys a mouse message reports, with Alt from the keyboard.
TShiftState MouseShift(WPARAM keys) {
    TShiftState s;
    if (keys & MK_SHIFT) s.Include(ssShift);
    if (keys & MK_CONTROL) s.Include(ssCtrl);
    if (keys & MK_LBUTTON) s.Include(ssLeft);
    if (keys & MK_RBUTTON) s.Include(ssRight);
    if (keys & MK_MBUTTON) s.Include(ssMiddle);
    if (gKeyboardShift.Contains(ssAlt)) s.Include(ssAlt);
    return s;
}

TShiftState KeyShift(LPARAM keyData) {
    TShiftState s = gKeyboardShift;
    if (keyData & KF_ALTDOWN_LPARAM) s.Include(ssAlt);
    return s;
}

HCURSOR gShownCursor = IDC_ARROW;

bool IsMouseMessage(UINT msg) {
    return msg >= WM_MOUSEMOVE && msg <= WM_MBUTTONUP;
}

TControl* DeepestControlAt(TWinControl* window, const TPoint& screen, bool allowDisabled) {
    TPoint p = window->ScreenToClient(screen);
    if (!window->ClientRect().Contains(p)) return window;
    TControl* child = window->ControlAtPos(p, allowDisabled);
    if (!child) return window;
    if (auto* w = dynamic_cast<TWinControl*>(child))
        return DeepestControlAt(w, screen, allowDisabled);
    return child;
}

} // namespace

// --- Mouse and keyboard state -------------------------------------------------------------

TMouse& Mouse() {
    static TMouse mouse;
    return mouse;
}

void TMouse::SetCaptureControl(TControl* control) {
    FCaptureControl = control;
    TWinControl* window = nullptr;
    if (control) {
        window = dynamic_cast<TWinControl*>(control);
        if (!window) window = control->Parent();
    }
    Application().SetCaptureHandle(window && window->HandleAllocated() ? window->Handle() : 0);
}

int TMouse::DragThreshold() const {
    return GetSystemMetrics(SM_CXDRAG);
}

TShiftState KeyboardShiftState() {
    return gKeyboardShift;
}

void SetKeyboardShiftState(TShiftState state) {
    gKeyboardShift = state;
}

TShiftState KeyDataToShiftState(LPARAM KeyData) {
    return KeyShift(KeyData);
}

const std::vector<TWinControl*>& TopLevelWindows() {
    return TopLevelList();
}

TWinControl* FindControl(HWND Handle) {
    return dynamic_cast<TWinControl*>(Application().FindTarget(Handle));
}

TWinControl* FocusedControl() {
    return FindControl(Application().Focus());
}

TControl* FindDragTarget(const TPoint& Pos, bool AllowDisabled) {
    const auto& windows = TopLevelList();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        TWinControl* w = *it;
        if (!w->Visible() || (!AllowDisabled && !w->Enabled())) continue;
        if (!w->BoundsRect().Contains(Pos)) continue;
        return DeepestControlAt(w, Pos, AllowDisabled);
    }
    return nullptr;
}

TControl* DragControl() {
    TDragManager& dm = TDragManager::Instance();
    return dm.Started() ? dm.Source() : nullptr;
}

void CancelDrag() {
    TDragManager::Instance().Cancel();
}

// --- TControl -----------------------------------------------------------------------------

TControl::TControl(TComponent* AOwner)
    : TComponent(AOwner),
      FFont(std::make_unique<TFont>()), FControlStyle{csCaptureMouse, csClickEvents, csSetCaption,
                                                      csDoubleClicks} {}

TControl::~TControl() {
    TDragManager::Instance().ControlDestroying(this);
    if (Mouse().CaptureControl() == this) Mouse().SetCaptureControl(nullptr);
    if (FParent) FParent->RemoveControl(this);
}

TComponent* TControl::GetParentComponent() const {
    return FParent;
}

void TControl::SetParentComponent(TComponent* AParent) {
    auto* parent = dynamic_cast<TWinControl*>(AParent);
    if (AParent && !parent)
        throw EInvalidOperation("A control's parent must be a windowed control");
    SetParent(parent);
}

void TControl::SetParent(TWinControl* AParent) {
    if (AParent == FParent) return;
    if (AParent) {
        const TControl* self = this;
        for (const TControl* p = AParent; p; p = p->Parent())
            if (p == self) throw EInvalidOperation("A control cannot be placed inside itself");
    }
    if (FParent) FParent->RemoveControl(this);
    if (AParent) AParent->InsertControl(this);
}

void TControl::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    AWidth = std::max(0, AWidth);
    AHeight = std::max(0, AHeight);
    if (ALeft == FLeft && ATop == FTop && AWidth == FWidth && AHeight == FHeight) return;
    FLeft = ALeft;
    FTop = ATop;
    FWidth = AWidth;
    FHeight = AHeight;
    if (auto* self = dynamic_cast<TWinControl*>(this); self && self->HandleAllocated())
        Perform(WM_WINDOWPOSCHANGED, 0, 0);
    Invalidate();
}

TRect TControl::ClientRect() const {
    return {0, 0, FWidth, FHeight};
}

TPoint TControl::ClientOrigin() const {
    if (!FParent) return {FLeft, FTop};
    TPoint p = FParent->ClientOrigin();
    return {p.X + FLeft, p.Y + FTop};
}

TPoint TControl::ClientToScreen(const TPoint& p) const {
    TPoint o = ClientOrigin();
    return {o.X + p.X, o.Y + p.Y};
}

TPoint TControl::ScreenToClient(const TPoint& p) const {
    TPoint o = ClientOrigin();
    return {p.X - o.X, p.Y - o.Y};
}

void TControl::SetVisible(bool value) {
    if (value == FVisible) return;
    FVisible = value;
    Perform(CM_VISIBLECHANGED, value ? 1 : 0, 0);
    Invalidate();
    if (FParent) FParent->Invalidate();
}

void TControl::SetEnabled(bool value) {
    if (value == FEnabled) return;
    FEnabled = value;
    Perform(CM_ENABLEDCHANGED, 0, 0);
    Invalidate();
}

bool TControl::IsVisibleOnScreen() const {
    for (const TControl* c = this; c; c = c->FParent)
        if (!c->FVisible) return false;
    return true;
}

bool TControl::IsEnabledWithParents() const {
    for (const TControl* c = this; c; c = c->FParent)
        if (!c->FEnabled) return false;
    return true;
}

void TControl::SetText(const std::string& value) {
    if (value == FText) return;
    FText = value;
    Perform(CM_TEXTCHANGED, 0, 0);
    Invalidate();
}

void TControl::SetColor(TColor value) {
    if (value == FColor) return;
    FColor = value;
    FParentColor = false;
    Invalidate();
}

void TControl::SetFont(TFont* value) {
    if (!value || value == FFont.get()) return;
    FFont->Assign(value);
    FParentFont = false;
    Perform(CM_FONTCHANGED, 0, 0);
    Invalidate();
}

void TControl::SetCtl3D(bool value) {
    if (value == FCtl3D) return;
    FCtl3D = value;
    FParentCtl3D = false;
    Invalidate();
}

void TControl::SetPopupMenu(TPopupMenu* value) {
    if (value == FPopupMenu) return;
    if (FPopupMenu) RemoveFreeNotification(FPopupMenu);
    FPopupMenu = value;
    if (value) FreeNotification(value);
}

void TControl::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent && AComponent == FPopupMenu)
        FPopupMenu = nullptr;
}

void TControl::Loaded() {
    TComponent::Loaded();
}

void TControl::Invalidate() {
    FInvalidated = true;
    FComposeNeeded = true;
    ++FInvalidateCount;
}

void TControl::Update() {
    if (!FInvalidated || !CanPaintNow()) return;
    FInvalidated = false;
    ++FPaintCount;
    Perform(WM_PAINT, 0, 0);
}

void TControl::Repaint() {
    Invalidate();
    Update();
}

bool TControl::CanPaintNow() const {
    return FParent && FParent->HandleAllocated() && IsVisibleOnScreen();
}

LRESULT TControl::Perform(UINT Msg, WPARAM WParam, LPARAM LParam) {
    TMessage m{Msg, WParam, LParam, 0};
    WndProc(m);
    return m.Result;
}

void TControl::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_LBUTTONDOWN:
        WMButtonDown(Message, mbLeft, false);
        break;
    case WM_LBUTTONDBLCLK:
        WMButtonDown(Message, mbLeft, true);
        break;
    case WM_RBUTTONDOWN:
        WMButtonDown(Message, mbRight, false);
        break;
    case WM_RBUTTONDBLCLK:
        WMButtonDown(Message, mbRight, true);
        break;
    case WM_MBUTTONDOWN:
        WMButtonDown(Message, mbMiddle, false);
        break;
    case WM_LBUTTONUP:
        WMButtonUp(Message, mbLeft);
        break;
    case WM_RBUTTONUP:
        WMButtonUp(Message, mbRight);
        break;
    case WM_MBUTTONUP:
        WMButtonUp(Message, mbMiddle);
        break;
    case WM_MOUSEMOVE:
        WMMouseMove(Message);
        break;
    case WM_PAINT:
        WMPaint(Message);
        break;
    default:
        DefaultHandler(Message);
        break;
    }
}

void TControl::DefaultHandler(TMessage& Message) {
    switch (Message.Msg) {
    case WM_SETTEXT:
        SetText(Message.LParam ? reinterpret_cast<const char*>(Message.LParam) : "");
        Message.Result = 1;
        break;
    case WM_GETTEXTLENGTH:
        Message.Result = static_cast<LRESULT>(FText.size());
        break;
    case WM_GETTEXT: {
        // Copies at most WParam - 1 bytes and a closing NUL; answers the bytes copied.
        auto* buffer = reinterpret_cast<char*>(Message.LParam);
        if (!buffer || Message.WParam == 0) break;
        std::size_t n = std::min<std::size_t>(FText.size(), Message.WParam - 1);
        FText.copy(buffer, n);
        buffer[n] = '\0';
        Message.Result = static_cast<LRESULT>(n);
        break;
    }
    case WM_SETCURSOR:
        SetCursor(CursorHandle(FCursor == crDefault ? crArrow : FCursor));
        Message.Result = 1;
        break;
    default:
        break;
    }
}

bool TControl::MouseCapture() const {
    return Mouse().CaptureControl() == this;
}

void TControl::SetMouseCapture(bool value) {
    if (value == MouseCapture()) return;
    Mouse().SetCaptureControl(value ? this : nullptr);
}

void TControl::SendCancelMode() {
    if (TWinControl* focused = FocusedControl())
        focused->Perform(CM_CANCELMODE, 0, reinterpret_cast<LPARAM>(this));
}

TWinControl* TControl::MessageWindow() const {
    return FParent;
}

void TControl::ReleaseOwnCapture() {
    if (Mouse().CaptureControl() == this) Mouse().SetCaptureControl(nullptr);
}

void TControl::WMButtonDown(TMessage& Message, TMouseButton Button, bool DoubleClick) {
    if (!IsEnabledWithParents() || !IsVisibleOnScreen()) return;
    SendCancelMode();
    TPoint p = MessagePoint(Message);
    Mouse().SetCursorPos(ClientToScreen(p));
    TShiftState shift = MouseShift(Message.WParam);
    if (DoubleClick) shift.Include(ssDouble);
    // A click gives a window the focus before the window reacts to it.
    if (auto* self = dynamic_cast<TWinControl*>(this); self && Button != mbMiddle &&
                                                       self->TakesFocusOnClick() &&
                                                       self->CanFocus() && !self->Focused())
        self->SetFocus();
    if (Button == mbLeft) {
        if (FControlStyle.Contains(csCaptureMouse)) Mouse().SetCaptureControl(this);
        // The second press of a double click makes no second click.
        if (FControlStyle.Contains(csClickEvents) && !DoubleClick) FControlState.Include(csClicked);
        FControlState.Include(csLButtonDown);
    }
    DefaultMouseDown(Button, shift, p.X, p.Y, DoubleClick);
    if (DoubleClick && Button == mbLeft && FControlStyle.Contains(csDoubleClicks)) DblClick();
    if (Button == mbLeft && FDragMode == dmAutomatic && !IsDesigning() &&
        !TDragManager::Instance().Active())
        BeginDrag(false);
    MouseDown(Button, shift, p.X, p.Y);
}

void TControl::WMButtonUp(TMessage& Message, TMouseButton Button) {
    TPoint p = MessagePoint(Message);
    Mouse().SetCursorPos(ClientToScreen(p));
    TShiftState shift = MouseShift(Message.WParam);
    bool clicked = false;
    if (Button == mbLeft) {
        clicked = FControlState.Contains(csClicked) && ClientRect().Contains(p);
        FControlState.Exclude(csClicked);
        FControlState.Exclude(csLButtonDown);
        ReleaseOwnCapture();
    }
    if (!IsEnabledWithParents()) return;
    DefaultMouseUp(Button, shift, p.X, p.Y);
    if (clicked) Click();
    MouseUp(Button, shift, p.X, p.Y);
    if (Button == mbRight) DoContextPopup(p);
}

void TControl::WMMouseMove(TMessage& Message) {
    if (!IsEnabledWithParents()) return;
    TPoint p = MessagePoint(Message);
    Mouse().SetCursorPos(ClientToScreen(p));
    MouseMove(MouseShift(Message.WParam), p.X, p.Y);
}

void TControl::Click() {
    if (OnClick) OnClick(this);
}

void TControl::DblClick() {
    if (OnDblClick) OnDblClick(this);
}

void TControl::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) OnMouseDown(this, Button, Shift, X, Y);
}

void TControl::MouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) OnMouseMove(this, Shift, X, Y);
}

void TControl::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) OnMouseUp(this, Button, Shift, X, Y);
}

void TControl::DefaultMouseDown(TMouseButton, TShiftState, int, int, bool) {}

void TControl::DefaultMouseUp(TMouseButton, TShiftState, int, int) {}

void TControl::DoContextPopup(const TPoint& ClientPos) {
    TPopupMenu* menu = nullptr;
    for (TControl* c = this; c && !menu; c = c->FParent)
        menu = c->FPopupMenu;
    if (!menu || !menu->AutoPopup()) return;
    menu->SetPopupComponent(this);
    TPoint s = ClientToScreen(ClientPos);
    menu->Popup(s.X, s.Y);
}

void TControl::WMPaint(TMessage& Message) {
    PaintWindow(static_cast<HDC>(Message.WParam));
}

void TControl::PaintWindow(HDC) {}

void TControl::BeginDrag(bool Immediate, int Threshold) {
    TDragManager& dm = TDragManager::Instance();
    if (dm.Active()) return;
    dm.Begin(this, Immediate, Threshold < 0 ? Mouse().DragThreshold() : Threshold);
}

void TControl::EndDrag(bool Drop) {
    TDragManager& dm = TDragManager::Instance();
    if (dm.Source() != this) return;
    if (Drop && dm.Started())
        dm.MouseUp(Mouse().CursorPos());
    else
        dm.Cancel();
}

bool TControl::Dragging() const {
    TDragManager& dm = TDragManager::Instance();
    return dm.Started() && dm.Source() == this;
}

void TControl::DoStartDrag(TDragObject*& DragObject) {
    if (OnStartDrag) OnStartDrag(this, DragObject);
}

void TControl::DragOver(TObject* Source, int X, int Y, TDragState State, bool& Accept) {
    Accept = false;
    if (OnDragOver) {
        Accept = true;
        OnDragOver(this, Source, X, Y, State, Accept);
    }
}

void TControl::DragDrop(TObject* Source, int X, int Y) {
    if (OnDragDrop) OnDragDrop(this, Source, X, Y);
}

void TControl::DoEndDrag(TObject* Target, int X, int Y) {
    if (OnEndDrag) OnEndDrag(this, Target, X, Y);
}

void TControl::DragCanceled() {}

void TControl::DragOverFeedback(TDragState, int, int, bool) {}

// --- TWinControl --------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* AOwner) : TControl(AOwner) {}

TWinControl::~TWinControl() {
    TDragManager::Instance().ControlDestroying(this);
    if (TCustomForm* form = GetParentForm(this)) form->ControlLeaving(this);
    DestroyHandle();
    // The children stay alive (their owner frees them); they only lose their parent.
    for (TControl* c : FControls)
        c->FParent = nullptr;
    FControls.clear();
    if (Parent()) Parent()->RemoveControl(this);
}

HWND TWinControl::Handle() {
    HandleNeeded();
    return FHandle;
}

void TWinControl::HandleNeeded() {
    if (FHandle) return;
    if (Parent()) Parent()->HandleNeeded();
    if (!FHandle) CreateHandle();
}

void TWinControl::CreateHandle() {
    FControlState.Include(csCreating);
    try {
        CreateWnd();
    } catch (...) {
        FControlState.Exclude(csCreating);
        throw;
    }
    FControlState.Exclude(csCreating);
    std::vector<TControl*> children = FControls;
    for (TControl* c : children)
        if (auto* w = dynamic_cast<TWinControl*>(c); w && !w->FHandle && w->Parent() == this)
            w->CreateHandle();
}

void TWinControl::CreateWnd() {
    TCreateParams params;
    CreateParams(params);
    FWindowParams = params;
    FHandle = Application().AllocateHandle(this);
    if (!Parent()) TopLevelList().push_back(this);
    Application().SendMessage(FHandle, WM_CREATE, 0, 0);
}

void TWinControl::CreateParams(TCreateParams& Params) {
    Params = TCreateParams{};
    Params.Caption = Text();
    TWinControl* parent = Parent();
    Params.Style = parent ? WS_CHILD | WS_CLIPSIBLINGS : WS_POPUP;
    if (Visible()) Params.Style |= WS_VISIBLE;
    if (FTabStop) Params.Style |= WS_TABSTOP;
    if (FBorderStyle == bsSingle) {
        if (Ctl3D())
            Params.ExStyle |= WS_EX_CLIENTEDGE;
        else
            Params.Style |= WS_BORDER;
    }
    Params.X = Left();
    Params.Y = Top();
    Params.Width = Width();
    Params.Height = Height();
    Params.WndParent = parent && parent->HandleAllocated() ? parent->FHandle : 0;
    Params.WindowClass.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    Params.WinClassName = ClassName();
}

void TWinControl::RecreateWnd() {
    if (!FHandle) return;
    DestroyHandle();
    HandleNeeded();
}

void TWinControl::DestroyHandle() {
    if (!FHandle) return;
    for (TControl* c : FControls)
        if (auto* w = dynamic_cast<TWinControl*>(c)) w->DestroyHandle();
    FControlState.Include(csDestroyingHandle);
    DestroyWnd();
    FControlState.Exclude(csDestroyingHandle);
}

void TWinControl::DestroyWnd() {
    HWND handle = FHandle;
    if (!handle) return;
    Application().SendMessage(handle, WM_DESTROY, 0, 0);
    auto& tops = TopLevelList();
    tops.erase(std::remove(tops.begin(), tops.end(), this), tops.end());
    if (Mouse().CaptureControl() == this) Mouse().SetCaptureControl(nullptr);
    Application().DeallocateHandle(handle);
    FHandle = 0;
    FDetached = false;
}

void TWinControl::SetParent(TWinControl* AParent) {
    if (AParent == Parent()) return;
    // The window belongs to its parent window: it is made again in the new parent.
    DestroyHandle();
    TControl::SetParent(AParent);
    if (AParent && AParent->HandleAllocated()) HandleNeeded();
}

TControl* TWinControl::Controls(int Index) const {
    if (Index < 0 || Index >= ControlCount())
        RaiseRes<EListError>(SListIndexError, {static_cast<long long>(Index)});
    return FControls[static_cast<std::size_t>(Index)];
}

void TWinControl::InsertControl(TControl* AControl) {
    FControls.push_back(AControl);
    AControl->FParent = this;
    Invalidate();
}

void TWinControl::RemoveControl(TControl* AControl) {
    auto it = std::find(FControls.begin(), FControls.end(), AControl);
    if (it == FControls.end()) return;
    if (TCustomForm* form = GetParentForm(this)) form->ControlLeaving(AControl);
    FControls.erase(it);
    AControl->FParent = nullptr;
    Invalidate();
}

bool TWinControl::ContainsControl(const TControl* AControl) const {
    for (const TControl* c = AControl; c; c = c->Parent())
        if (c == this) return true;
    return false;
}

TControl* TWinControl::ControlAtPos(const TPoint& Pos, bool AllowDisabled) const {
    for (auto it = FControls.rbegin(); it != FControls.rend(); ++it) {
        TControl* c = *it;
        if (!c->Visible() || (!AllowDisabled && !c->Enabled())) continue;
        if (auto* w = dynamic_cast<TWinControl*>(c); w && w->FDetached) continue;
        if (c->BoundsRect().Contains(Pos)) return c;
    }
    return nullptr;
}

bool TWinControl::CanFocus() const {
    return IsVisibleOnScreen() && IsEnabledWithParents();
}

bool TWinControl::Focused() const {
    return FHandle != 0 && Application().Focus() == FHandle;
}

// Moves the keyboard focus here: the control losing it is told first (CM_EXIT), and an
// exception from its exit handling leaves the focus where it was.
void TWinControl::SetFocus() {
    if (!CanFocus()) throw EInvalidOperation("Cannot focus a disabled or invisible window");
    HandleNeeded();
    TWinControl* from = FocusedControl();
    if (from && from != this) {
        Application().SendMessage(from->FHandle, CM_EXIT, 0, 0);
        // The exit handling may have given the focus to yet another control: that stands.
        TWinControl* now = FocusedControl();
        if (now && now != from) return;
    }
    TCustomForm* form = GetParentForm(this);
    if (form && form != this) form->FActiveControl = this;
    if (from == this || !FHandle) return;
    // The windows hear of the move as well: the old one loses the focus to this one.
    HWND old = from ? from->FHandle : 0;
    if (old) Application().SendMessage(old, WM_KILLFOCUS, FHandle, 0);
    if (!FHandle) return; // the handling destroyed this window
    Application().SetFocusHandle(FHandle);
    Application().SendMessage(FHandle, WM_SETFOCUS, Application().IsWindow(old) ? old : 0, 0);
    if (FHandle && Application().Focus() == FHandle)
        Application().SendMessage(FHandle, CM_ENTER, 0, 0);
}

void TWinControl::SetBorderStyle(TBorderStyle value) {
    if (value == FBorderStyle) return;
    FBorderStyle = value;
    Invalidate();
}

int TWinControl::BorderWidth() const {
    if (FBorderStyle == bsNone) return 0;
    return Ctl3D() ? 2 : 1;
}

TRect TWinControl::ClientRect() const {
    int b = BorderWidth();
    int w = Width() - 2 * b;
    int h = Height() - 2 * b;
    if (VertScrollBarVisible()) w -= GetSystemMetrics(SM_CXVSCROLL);
    if (HorzScrollBarVisible()) h -= GetSystemMetrics(SM_CYHSCROLL);
    return {0, 0, std::max(0, w), std::max(0, h)};
}

TPoint TWinControl::ClientOrigin() const {
    TPoint p = FDetached ? TPoint{Left(), Top()} : TControl::ClientOrigin();
    int b = BorderWidth();
    return {p.X + b, p.Y + b};
}

TScrollBarState TWinControl::ScrollBarState(TScrollBarKind Kind) const {
    TScrollBarState state;
    state.Visible = Kind == sbVertical ? VertScrollBarVisible() : HorzScrollBarVisible();
    return state;
}

bool TWinControl::CanPaintNow() const {
    return FHandle != 0 && !FRedrawDisabled && IsVisibleOnScreen();
}

TWinControl* TWinControl::MessageWindow() const {
    return const_cast<TWinControl*>(this);
}

void TWinControl::DispatchWindowMessage(TMessage& Message) {
    WndProc(Message);
}

void TWinControl::WndProc(TMessage& Message) {
    // What changes the look without an Invalidate (focus, keys, buttons) still shows on the form.
    switch (Message.Msg) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        MarkForComposition();
        break;
    default:
        break;
    }
    if (IsMouseMessage(Message.Msg)) {
        if (HandleDragMouse(Message) || RouteMouseToChild(Message)) return;
        TControl::WndProc(Message);
        return;
    }
    switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        WMKeyDown(Message);
        return;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        WMKeyUp(Message);
        return;
    case WM_CHAR:
        WMChar(Message);
        return;
    case WM_SYSCHAR:
        WMSysChar(Message);
        return;
    case WM_CANCELMODE:
        // Whatever the mouse was doing in this window ends: the capture goes, no click follows.
        if (Mouse().CaptureControl() == this) Mouse().SetCaptureControl(nullptr);
        FControlState.Exclude(csLButtonDown);
        FControlState.Exclude(csClicked);
        return;
    case CM_ENTER:
        CMEnter(Message);
        return;
    case CM_EXIT:
        CMExit(Message);
        return;
    case WM_SETREDRAW:
        FRedrawDisabled = Message.WParam == 0;
        return;
    default:
        TControl::WndProc(Message);
    }
}

// While a drag is pending or under way, the mouse messages of the source's window feed it.
bool TWinControl::HandleDragMouse(TMessage& Message) {
    TDragManager& dm = TDragManager::Instance();
    if (!dm.Active() || dm.Source()->MessageWindow() != this) return false;
    if (Message.Msg != WM_MOUSEMOVE && Message.Msg != WM_LBUTTONUP) return false;
    TPoint screen = ClientToScreen(MessagePoint(Message));
    Mouse().SetCursorPos(screen);
    if (Message.Msg == WM_MOUSEMOVE) return dm.MouseMove(screen);
    if (!dm.Started()) {
        dm.MouseUp(screen); // a pending drag that never started: an ordinary release follows
        return false;
    }
    TControl* source = dm.Source();
    source->FControlState.Exclude(csLButtonDown);
    source->FControlState.Exclude(csClicked);
    dm.MouseUp(screen);
    return true;
}

// Mouse messages over a child without a window (or captured by it) go to that child, in its
// own coordinates.
bool TWinControl::RouteMouseToChild(TMessage& Message) {
    TPoint p = MessagePoint(Message);
    TControl* target = nullptr;
    TControl* capture = Mouse().CaptureControl();
    if (capture && capture != this) {
        if (capture->Parent() == this && !dynamic_cast<TWinControl*>(capture)) target = capture;
    } else if (!capture) {
        TControl* child = ControlAtPos(p, false);
        if (child && !dynamic_cast<TWinControl*>(child)) target = child;
    }
    if (!target) return false;
    TMessage copy = Message;
    copy.LParam = MakeLParam(p.X - target->Left(), p.Y - target->Top());
    target->WndProc(copy);
    Message.Result = copy.Result;
    return true;
}

void TWinControl::WMKeyDown(TMessage& Message) {
    if (!IsEnabledWithParents()) return;
    uint16_t key = LoWord(Message.WParam);
    TShiftState shift = KeyShift(Message.LParam);
    TDragManager& dm = TDragManager::Instance();
    if (dm.Active() && key == VK_ESCAPE) {
        bool started = dm.Started();
        dm.Cancel();
        if (started) return;
    } else if (dm.Started()) {
        return; // other keys do nothing while a drag is under way
    }
    KeyDown(key, shift);
    if (key == 0) return;
    DefaultKeyDown(key, shift);
    if (key == VK_TAB && !shift.Contains(ssCtrl) && !shift.Contains(ssAlt)) {
        if (TCustomForm* form = GetParentForm(this))
            form->SelectNext(this, !shift.Contains(ssShift));
    } else if ((key == VK_RETURN || key == VK_ESCAPE) && !shift.Contains(ssAlt)) {
        if (TCustomForm* form = GetParentForm(this)) form->DialogKey(key, shift);
    }
}

void TWinControl::WMSysChar(TMessage& Message) {
    if (!IsEnabledWithParents()) return;
    char ch = static_cast<char>(Message.WParam & 0xFF);
    if (TCustomForm* form = GetParentForm(this); form && form->DialogChar(ch)) return;
    WMChar(Message);
}

void TWinControl::WMKeyUp(TMessage& Message) {
    if (!IsEnabledWithParents()) return;
    uint16_t key = LoWord(Message.WParam);
    KeyUp(key, KeyShift(Message.LParam));
}

void TWinControl::WMChar(TMessage& Message) {
    if (!IsEnabledWithParents()) return;
    char ch = static_cast<char>(Message.WParam & 0xFF);
    KeyPress(ch);
    if (ch != 0) DefaultKeyPress(ch);
    Message.WParam = static_cast<unsigned char>(ch);
}

void TWinControl::DoEnter() {
    if (OnEnter) OnEnter(this);
}

void TWinControl::DoExit() {
    if (OnExit) OnExit(this);
}

void TWinControl::CMEnter(TMessage&) {
    DoEnter();
}

void TWinControl::CMExit(TMessage&) {
    DoExit();
}

void TWinControl::KeyDown(uint16_t& Key, TShiftState Shift) {
    if (OnKeyDown) OnKeyDown(this, Key, Shift);
}

void TWinControl::KeyUp(uint16_t& Key, TShiftState Shift) {
    if (OnKeyUp) OnKeyUp(this, Key, Shift);
}

void TWinControl::KeyPress(char& Key) {
    if (OnKeyPress) OnKeyPress(this, Key);
}

void TWinControl::DefaultKeyDown(uint16_t&, TShiftState) {}

void TWinControl::DefaultKeyPress(char&) {}

// --- Controls that paint on a canvas --------------------------------------------------------

namespace {

// The canvas a control paints on: the canvas of the device context a WM_PAINT message carries
// (a repeating panel painting a copy), else the control's own surface sized to its client area.
class TPaintTarget {
public:
    TPaintTarget(const TControl& control, std::unique_ptr<TBitmap>& surface,
                 std::unique_ptr<TCanvas>& canvas)
        : FControl(control), FSurface(surface), FCanvas(canvas) {}

    TCanvas* Own() {
        if (!FSurface) FSurface = std::make_unique<TBitmap>();
        if (!FCanvas) {
            FCanvas = std::make_unique<TCanvas>(FSurface.get());
            FCanvas->Font()->Assign(FControl.Font());
        }
        return FCanvas.get();
    }

    // Paints with paint() on the canvas of dc (nothing for an unknown one) or on the surface.
    template <class Paint> void Run(HDC dc, TCanvas*& current, Paint&& paint) {
        if (dc) {
            TCanvas* target = CanvasFromHandle(dc);
            if (!target) return;
            current = target;
            try {
                paint();
            } catch (...) {
                current = nullptr;
                throw;
            }
            current = nullptr;
            return;
        }
        TRect r = FControl.ClientRect();
        TCanvas* own = Own();
        if (FSurface->Width() != r.Width() || FSurface->Height() != r.Height())
            FSurface->SetSize(r.Width(), r.Height());
        own->Font()->Assign(FControl.Font());
        paint();
    }

private:
    const TControl& FControl;
    std::unique_ptr<TBitmap>& FSurface;
    std::unique_ptr<TCanvas>& FCanvas;
};

} // namespace

TCustomControl::TCustomControl(TComponent* AOwner) : TWinControl(AOwner) {}

TCustomControl::~TCustomControl() = default;

TCanvas* TCustomControl::Canvas() {
    if (FPaintCanvas) return FPaintCanvas;
    return TPaintTarget(*this, FSurface, FCanvas).Own();
}

HDC TCustomControl::OwnSurfaceDC() {
    TCanvas* own = TPaintTarget(*this, FSurface, FCanvas).Own();
    TRect r = ClientRect();
    if (FSurface->Width() != r.Width() || FSurface->Height() != r.Height())
        FSurface->SetSize(r.Width(), r.Height());
    own->Font()->Assign(Font());
    own->ResetClip();
    own->SetWindowOrg({0, 0});
    return own->Handle();
}

void TCustomControl::PaintWindow(HDC DC) {
    TPaintTarget(*this, FSurface, FCanvas).Run(DC, FPaintCanvas, [this] { Paint(); });
}

TGraphicControl::TGraphicControl(TComponent* AOwner) : TControl(AOwner) {}

TGraphicControl::~TGraphicControl() = default;

TCanvas* TGraphicControl::Canvas() {
    if (FPaintCanvas) return FPaintCanvas;
    return TPaintTarget(*this, FSurface, FCanvas).Own();
}

void TGraphicControl::PaintWindow(HDC DC) {
    TPaintTarget(*this, FSurface, FCanvas).Run(DC, FPaintCanvas, [this] { Paint(); });
}

// --- Drag and drop ------------------------------------------------------------------------

TDragManager& TDragManager::Instance() {
    static TDragManager manager;
    return manager;
}

TObject* TDragManager::SourceObject() const {
    if (FDragObject) return FDragObject;
    return FSource;
}

void TDragManager::Begin(TControl* Source, bool Immediate, int Threshold) {
    Reset();
    FSource = Source;
    FThreshold = Threshold;
    FStartPos = FLastPos = Mouse().CursorPos();
    Mouse().SetCaptureControl(Source);
    if (Immediate) Start();
}

void TDragManager::Start() {
    FStarted = true;
    FSource->FControlState.Exclude(csClicked); // a drag is not a click
    TDragObject* object = nullptr;
    FSource->DoStartDrag(object);
    if (!FSource) return; // the handler destroyed the control
    FDragObject = object;
    MoveOver(FLastPos);
}

void TDragManager::Reset() {
    if (FSource && Mouse().CaptureControl() == FSource) Mouse().SetCaptureControl(nullptr);
    FSource = nullptr;
    FDragObject = nullptr;
    FTarget = nullptr;
    FAccepted = false;
    FStarted = false;
}

bool TDragManager::MouseMove(const TPoint& Pos) {
    if (!FSource) return false;
    FLastPos = Pos;
    if (!FStarted) {
        if (std::abs(Pos.X - FStartPos.X) <= FThreshold &&
            std::abs(Pos.Y - FStartPos.Y) <= FThreshold)
            return false;
        Start();
        return true;
    }
    MoveOver(Pos);
    return true;
}

bool TDragManager::MouseUp(const TPoint& Pos) {
    if (!FSource) return false;
    if (!FStarted) {
        Reset();
        return false;
    }
    Finish(true, Pos);
    return true;
}

void TDragManager::Cancel() {
    if (!FSource) return;
    if (!FStarted) {
        Reset();
        return;
    }
    Finish(false, FLastPos);
}

void TDragManager::MoveOver(const TPoint& Pos) {
    TControl* target = FindDragTarget(Pos, false);
    if (target != FTarget) {
        if (TControl* old = FTarget) {
            FTarget = nullptr;
            FAccepted = false;
            AskTarget(old, Pos, dsDragLeave);
        }
        if (!FSource) return;
        FTarget = target;
        FAccepted = target && AskTarget(target, Pos, dsDragEnter);
    } else if (target) {
        FAccepted = AskTarget(target, Pos, dsDragMove);
    }
}

bool TDragManager::AskTarget(TControl* Target, const TPoint& Pos, TDragState State) {
    TPoint p = Target->ScreenToClient(Pos);
    bool accept = false;
    Target->DragOver(SourceObject(), p.X, p.Y, State, accept);
    if (State == dsDragLeave) accept = false;
    // The handler may have ended the drag or destroyed the target.
    if (!FSource || (State != dsDragLeave && FTarget != Target)) return false;
    Target->DragOverFeedback(State, p.X, p.Y, accept);
    return accept;
}

// Ends a started drag: an accepted drop reaches the target (DragDrop); otherwise the target
// hears the drag leave and the source DragCanceled. The source's DoEndDrag comes last, with
// the target and the point in the target's coordinates, or with no target and the point in its
// own coordinates.
void TDragManager::Finish(bool Drop, const TPoint& Pos) {
    if (Drop && !(Pos == FLastPos)) {
        FLastPos = Pos;
        MoveOver(Pos);
        if (!FSource) return;
    }
    TControl* source = FSource;
    TControl* target = FTarget;
    bool accepted = Drop && FAccepted && target;
    TObject* sourceObject = SourceObject();
    TPoint point = (accepted ? target : source)->ScreenToClient(Pos);
    // The drag is over before any handler runs, so a handler may start another one.
    Reset();
    FEndSource = source;
    FEndTarget = target;
    // Forgotten however the handlers end, errors included.
    struct TEndGuard {
        TDragManager& Manager;
        ~TEndGuard() {
            Manager.FEndSource = nullptr;
            Manager.FEndTarget = nullptr;
        }
    } guard{*this};
    if (target) {
        TPoint tp = target->ScreenToClient(Pos);
        if (accepted) {
            target->DragDrop(sourceObject, tp.X, tp.Y);
        } else {
            bool ignored = false;
            target->DragOver(sourceObject, tp.X, tp.Y, dsDragLeave, ignored);
        }
        if (FEndTarget) FEndTarget->DragOverFeedback(dsDragLeave, tp.X, tp.Y, false);
    }
    if (FEndSource && !accepted) FEndSource->DragCanceled();
    if (FEndSource) FEndSource->DoEndDrag(accepted ? FEndTarget : nullptr, point.X, point.Y);
}

void TDragManager::ControlDestroying(TControl* Control) {
    if (Control == FSource) Reset();
    if (Control == FTarget) {
        FTarget = nullptr;
        FAccepted = false;
    }
    if (Control == FEndSource) FEndSource = nullptr;
    if (Control == FEndTarget) FEndTarget = nullptr;
}

// --- Published properties -----------------------------------------------------------------

const TClassInfo& TControl::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TControl>("TControl", &TComponent::StaticClassInfo())
            .Property("Left", &TControl::Left, &TControl::SetLeft)
            .Property("Top", &TControl::Top, &TControl::SetTop)
            .Property("Width", &TControl::Width, &TControl::SetWidth)
            .Property("Height", &TControl::Height, &TControl::SetHeight)
            .Property("Cursor", &TControl::Cursor,
                      static_cast<void (TControl::*)(TCursor)>(&TControl::SetCursor),
                      Variant(crDefault))
            .Property("Hint", &TControl::Hint, &TControl::SetHint, Variant(""))
            .Build();
    return info;
}

const TClassInfo& TControl::HostProperties() {
    static const TClassInfo info =
        TClassBuilder<TControl>("TControl properties", nullptr)
            .Enum("Align", "TAlign",
                  {"alNone", "alTop", "alBottom", "alLeft", "alRight", "alClient"},
                  &TControl::Align, &TControl::SetAlign, std::optional<TAlign>(alNone))
            .Property("Caption", &TControl::Caption, &TControl::SetCaption)
            .Property("Color", &TControl::Color, &TControl::SetColor, Variant(clWindow))
            .Property("Ctl3D", &TControl::Ctl3D, &TControl::SetCtl3D, Variant(true))
            .Property("DragCursor", &TControl::DragCursor, &TControl::SetDragCursor,
                      Variant(crDrag))
            .Enum("DragMode", "TDragMode", {"dmManual", "dmAutomatic"}, &TControl::DragMode,
                  &TControl::SetDragMode, std::optional<TDragMode>(dmManual))
            .Property("Enabled", &TControl::Enabled, &TControl::SetEnabled, Variant(true))
            .Object("Font", "TFont", &TControl::Font, &TControl::SetFont)
            .Property("ParentColor", &TControl::ParentColor, &TControl::SetParentColor,
                      Variant(false))
            .Property("ParentCtl3D", &TControl::ParentCtl3D, &TControl::SetParentCtl3D,
                      Variant(true))
            .Property("ParentFont", &TControl::ParentFont, &TControl::SetParentFont, Variant(true))
            .Property("ParentShowHint", &TControl::ParentShowHint, &TControl::SetParentShowHint,
                      Variant(true))
            .Object("PopupMenu", "TPopupMenu", &TControl::PopupMenu, &TControl::SetPopupMenu)
            .Property("ShowHint", &TControl::ShowHint, &TControl::SetShowHint, Variant(false))
            .Property("Visible", &TControl::Visible, &TControl::SetVisible, Variant(true))
            .Event("OnClick", "TNotifyEvent", &TControl::OnClick)
            .Event("OnDblClick", "TNotifyEvent", &TControl::OnDblClick)
            .Event("OnDragDrop", "TDragDropEvent", &TControl::OnDragDrop)
            .Event("OnDragOver", "TDragOverEvent", &TControl::OnDragOver)
            .Event("OnEndDrag", "TEndDragEvent", &TControl::OnEndDrag)
            .Event("OnMouseDown", "TMouseEvent", &TControl::OnMouseDown)
            .Event("OnMouseMove", "TMouseMoveEvent", &TControl::OnMouseMove)
            .Event("OnMouseUp", "TMouseEvent", &TControl::OnMouseUp)
            .Event("OnStartDrag", "TStartDragEvent", &TControl::OnStartDrag)
            .Build();
    return info;
}

const TClassInfo& TWinControl::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TWinControl>("TWinControl", &TControl::StaticClassInfo()).Build();
    return info;
}

const TClassInfo& TWinControl::HostProperties() {
    static const TClassInfo info =
        TClassBuilder<TWinControl>("TWinControl properties", &TControl::HostProperties())
            .Enum("BorderStyle", "TBorderStyle", {"bsNone", "bsSingle"}, &TWinControl::BorderStyle,
                  &TWinControl::SetBorderStyle)
            .Property("TabOrder", &TWinControl::TabOrder, &TWinControl::SetTabOrder, Variant(-1))
            .Property("TabStop", &TWinControl::TabStop, &TWinControl::SetTabStop, Variant(false))
            .Event("OnEnter", "TNotifyEvent", &TWinControl::OnEnter)
            .Event("OnExit", "TNotifyEvent", &TWinControl::OnExit)
            .Event("OnKeyDown", "TKeyEvent", &TWinControl::OnKeyDown)
            .Event("OnKeyPress", "TKeyPressEvent", &TWinControl::OnKeyPress)
            .Event("OnKeyUp", "TKeyEvent", &TWinControl::OnKeyUp)
            .Build();
    return info;
}

// --- Host window routines -------------------------------------------------------------------

HCURSOR TControl::SetCursor(HCURSOR Cursor) {
    return orvel::SetCursor(Cursor);
}

HWND TWinControl::SetFocus(HWND hWnd) {
    return orvel::SetFocus(hWnd);
}

HWND TWinControl::SetParent(HWND hWndChild, HWND hWndNewParent) {
    return orvel::SetParent(hWndChild, hWndNewParent);
}

HWND SetParent(HWND hWndChild, HWND hWndNewParent) {
    TWinControl* child = FindControl(hWndChild);
    if (!child) return 0;
    TWinControl* parent = child->Parent();
    HWND previous = child->FDetached || !parent ? 0 : parent->FHandle;
    auto& tops = TopLevelList();
    if (hWndNewParent == 0) {
        if (!parent || child->FDetached) return previous;
        // The window keeps its place on the screen and becomes a window of its own there.
        TPoint screen = child->ClientToScreen({0, 0});
        int b = child->BorderWidth();
        child->FDetached = true;
        child->SetBounds(screen.X - b, screen.Y - b, child->Width(), child->Height());
        tops.push_back(child);
        return previous;
    }
    if (!parent || parent->FHandle != hWndNewParent) return 0; // only back to its own parent
    if (child->FDetached) {
        // Back inside its parent, at the same place on the screen.
        TPoint inParent = parent->ScreenToClient({child->Left(), child->Top()});
        child->FDetached = false;
        tops.erase(std::remove(tops.begin(), tops.end(), child), tops.end());
        child->SetBounds(inParent.X, inParent.Y, child->Width(), child->Height());
    }
    return previous;
}

bool SetWindowPos(HWND hWnd, HWND hWndInsertAfter, int X, int Y, int cx, int cy, UINT uFlags) {
    TWinControl* w = FindControl(hWnd);
    if (!w) return false;
    int left = (uFlags & SWP_NOMOVE) ? w->Left() : X;
    int top = (uFlags & SWP_NOMOVE) ? w->Top() : Y;
    int width = (uFlags & SWP_NOSIZE) ? w->Width() : cx;
    int height = (uFlags & SWP_NOSIZE) ? w->Height() : cy;
    w->SetBounds(left, top, width, height);
    if (!(uFlags & SWP_NOZORDER) && Application().IsWindow(hWnd)) {
        // The order of the screen's windows (top-level and detached ones; the last is on top).
        // A child window keeps its place among its siblings.
        auto& tops = TopLevelList();
        auto it = std::find(tops.begin(), tops.end(), w);
        if (it != tops.end()) {
            tops.erase(it);
            if (hWndInsertAfter == HWND_BOTTOM)
                tops.insert(tops.begin(), w);
            else
                tops.push_back(w);
        }
    }
    if (uFlags & SWP_SHOWWINDOW) w->SetVisible(true);
    if (uFlags & SWP_HIDEWINDOW) w->SetVisible(false);
    return true;
}

HWND GetWindow(HWND hWnd, UINT uCmd) {
    TWinControl* w = FindControl(hWnd);
    if (!w) return 0;
    auto windowOf = [](TControl* c) -> TWinControl* {
        auto* child = dynamic_cast<TWinControl*>(c);
        return child && child->HandleAllocated() && !child->IsDetachedWindow() ? child : nullptr;
    };
    switch (uCmd) {
    case GW_CHILD:
        for (int i = 0; i < w->ControlCount(); ++i)
            if (TWinControl* child = windowOf(w->Controls(i))) return child->Handle();
        return 0;
    case GW_HWNDNEXT: {
        TWinControl* parent = w->IsDetachedWindow() ? nullptr : w->Parent();
        if (!parent) return 0;
        bool passed = false;
        for (int i = 0; i < parent->ControlCount(); ++i) {
            if (parent->Controls(i) == w) {
                passed = true;
                continue;
            }
            if (TWinControl* next = windowOf(parent->Controls(i)); next && passed)
                return next->Handle();
        }
        return 0;
    }
    case GW_OWNER:
        return w->IsDetachedWindow() && w->Parent() && w->Parent()->HandleAllocated()
                   ? w->Parent()->Handle()
                   : 0;
    default:
        return 0;
    }
}

bool IsWindowVisible(HWND hWnd) {
    TWinControl* w = FindControl(hWnd);
    return w && w->IsVisibleOnScreen();
}

bool GetClientRect(HWND hWnd, TRect& Rect) {
    TWinControl* w = FindControl(hWnd);
    if (!w) return false;
    Rect = w->ClientRect();
    return true;
}

bool GetWindowRect(HWND hWnd, TRect& Rect) {
    TWinControl* w = FindControl(hWnd);
    if (!w) return false;
    TPoint origin = w->ClientToScreen({0, 0});
    int b = w->BorderWidth();
    Rect = Bounds(origin.X - b, origin.Y - b, w->Width(), w->Height());
    return true;
}

int MapWindowPoints(HWND hWndFrom, HWND hWndTo, TPoint* Points, int Count) {
    TWinControl* from = hWndFrom ? FindControl(hWndFrom) : nullptr;
    TWinControl* to = hWndTo ? FindControl(hWndTo) : nullptr;
    if ((hWndFrom && !from) || (hWndTo && !to)) return 0;
    TPoint a = from ? from->ClientToScreen({0, 0}) : TPoint{};
    TPoint b = to ? to->ClientToScreen({0, 0}) : TPoint{};
    int dx = a.X - b.X, dy = a.Y - b.Y;
    for (int i = 0; i < Count; ++i) {
        Points[i].X += dx;
        Points[i].Y += dy;
    }
    return static_cast<int>(MakeLParam(dx, dy));
}

int MapWindowPoints(HWND hWndFrom, HWND hWndTo, TRect& Rect) {
    TPoint corners[2] = {Rect.TopLeft(), Rect.BottomRight()};
    int result = MapWindowPoints(hWndFrom, hWndTo, corners, 2);
    Rect = {corners[0].X, corners[0].Y, corners[1].X, corners[1].Y};
    return result;
}

int32_t GetWindowLong(HWND hWnd, int nIndex) {
    TWinControl* w = FindControl(hWnd);
    if (!w) return 0;
    const TCreateParams& params = w->WindowParams();
    switch (nIndex) {
    case GWL_STYLE: {
        uint32_t style = params.Style & ~static_cast<uint32_t>(WS_VISIBLE);
        if (w->Visible()) style |= WS_VISIBLE;
        return static_cast<int32_t>(style);
    }
    case GWL_EXSTYLE:
        return static_cast<int32_t>(params.ExStyle);
    default:
        return 0;
    }
}

uint32_t GetClassLong(HWND hWnd, int nIndex) {
    TWinControl* w = FindControl(hWnd);
    if (!w || nIndex != GCL_STYLE) return 0;
    return w->WindowParams().WindowClass.style;
}

HWND SetFocus(HWND hWnd) {
    HWND previous = Application().Focus();
    if (TWinControl* w = FindControl(hWnd)) w->SetFocus();
    return previous;
}

HWND GetFocus() {
    return Application().Focus();
}

HWND SetCapture(HWND hWnd) {
    HWND previous = Application().Capture();
    if (TWinControl* w = FindControl(hWnd)) Mouse().SetCaptureControl(w);
    return previous;
}

HWND GetCapture() {
    return Application().Capture();
}

bool ReleaseCapture() {
    Mouse().SetCaptureControl(nullptr);
    return true;
}

bool InvalidateRect(HWND hWnd, const TRect*, bool) {
    TWinControl* w = FindControl(hWnd);
    if (!w) return false;
    w->Invalidate();
    return true;
}

bool GetCursorPos(TPoint& Point) {
    Point = Mouse().CursorPos();
    return true;
}

HCURSOR LoadCursor(uintptr_t, int CursorName) {
    return static_cast<HCURSOR>(static_cast<uint32_t>(CursorName));
}

HCURSOR SetCursor(HCURSOR Cursor) {
    HCURSOR previous = gShownCursor;
    gShownCursor = Cursor;
    return previous;
}

HCURSOR GetCursor() {
    return gShownCursor;
}

HCURSOR CursorHandle(TCursor Cursor) {
    switch (Cursor) {
    case crDefault:
    case crArrow:
        return IDC_ARROW;
    case crIBeam:
        return IDC_IBEAM;
    default:
        return static_cast<HCURSOR>(static_cast<uint32_t>(Cursor));
    }
}

LRESULT DefWindowProc(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    TWinControl* w = FindControl(hWnd);
    if (!w) return 0;
    TMessage m{Msg, wParam, lParam, 0};
    w->DefaultHandler(m);
    return m.Result;
}

} // namespace orvel
