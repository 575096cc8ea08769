// The combo box with its edit box and list as child windows: selection and text, dropping the
// list down, the user's keys and clicks, the notifications it sends itself, and the combo-box
// window messages.
#include "orvel/host/controls/ControlPaint.h"
#include "orvel/host/controls/StdCtrls.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/FlagGuard.h"
#include "orvel/host/core/Platform.h"
#include "orvel/host/core/SysUtils.h"

#include <algorithm>

namespace orvel {

namespace {

bool StartsWithText(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && SameText(text.substr(0, prefix.size()), prefix);
}

const char* MessageText(LPARAM l) {
    return l ? reinterpret_cast<const char*>(l) : "";
}

} // namespace

// --- The child windows ------------------------------------------------------------------------

TComboBoxEdit::TComboBoxEdit(TCustomComboBox& Combo) : TCustomEdit(nullptr), FCombo(Combo) {
    SetTabStop(false);
    SetBorderStyle(bsNone);
    SetAutoSelect(false);
}

void TComboBoxEdit::WndProc(TMessage& Message) {
    if (FCombo.FChildrenGone || !HandleAllocated()) {
        TCustomEdit::WndProc(Message);
        return;
    }
    FCombo.ComboWndProc(Message, Handle());
}

void TComboBoxEdit::Change() {
    TCustomEdit::Change();
    if (ChangingByUser()) FCombo.EditTextChanged();
}

TComboBoxList::TComboBoxList(TCustomComboBox& Combo) : TCustomControl(nullptr), FCombo(Combo) {
    TControlStyle style = ControlStyle();
    style.Exclude(csClickEvents);
    SetControlStyle(style);
    SetColor(clWindow);
}

void TComboBoxList::WndProc(TMessage& Message) {
    if (FCombo.FChildrenGone || !HandleAllocated()) {
        TCustomControl::WndProc(Message);
        return;
    }
    FCombo.ComboWndProc(Message, Handle());
}

int TComboBoxList::VisibleRowCount() const {
    return std::max(1, ClientHeight() / FCombo.ItemHeight());
}

TScrollBarState TComboBoxList::ScrollBarState(TScrollBarKind Kind) const {
    TScrollBarState state = TCustomControl::ScrollBarState(Kind);
    if (Kind != sbVertical) return state;
    state.Max = FCombo.Items()->Count() - 1;
    state.Page = VisibleRowCount();
    state.Position = FTopIndex;
    return state;
}

bool TComboBoxList::VertScrollBarVisible() const {
    return FCombo.Items()->Count() * FCombo.ItemHeight() > Height() - 2 * BorderWidth();
}

void TComboBoxList::SetTopIndex(int value) {
    value = std::clamp(value, 0, std::max(0, FCombo.Items()->Count() - VisibleRowCount()));
    if (value == FTopIndex) return;
    FTopIndex = value;
    Invalidate();
}

void TComboBoxList::MakeVisible(int Index) {
    if (Index < 0) return;
    int rows = VisibleRowCount();
    if (Index < FTopIndex)
        SetTopIndex(Index);
    else if (Index >= FTopIndex + rows)
        SetTopIndex(Index - rows + 1);
}

int TComboBoxList::ItemAtPos(const TPoint& Pos) const {
    if (!ClientRect().Contains(Pos)) return -1;
    int index = FTopIndex + Pos.Y / FCombo.ItemHeight();
    return index < FCombo.Items()->Count() ? index : -1;
}

TRect TComboBoxList::ItemRect(int Index) const {
    int h = FCombo.ItemHeight();
    return Bounds(0, (Index - FTopIndex) * h, ClientWidth(), h);
}

void TComboBoxList::DefaultMouseDown(TMouseButton Button, TShiftState, int X, int Y, bool) {
    if (Button == mbLeft && FCombo.Style() == csSimple) FCombo.SelectByUser(ItemAtPos({X, Y}));
}

void TComboBoxList::DefaultMouseUp(TMouseButton Button, TShiftState, int X, int Y) {
    if (Button != mbLeft || FCombo.Style() == csSimple) return;
    int index = ItemAtPos({X, Y});
    if (index >= 0) FCombo.ListItemChosen(index);
}

void TComboBoxList::Paint() {
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
    int rows = VisibleRowCount() + 1;
    for (int i = FTopIndex; i < FCombo.Items()->Count() && i < FTopIndex + rows; ++i) {
        TOwnerDrawState state;
        if (i == FCombo.ItemIndex()) state.Include(odSelected);
        TRect r = ItemRect(i);
        // The combo draws its entries (owner-draw styles through OnDrawItem) on this canvas.
        // It draws where this list's canvas draws: same target, origin and clip (a form's
        // surface places the list with the window origin and clips it to the list).
        TCanvas* comboCanvas = FCombo.Canvas();
        TBitmap* target = comboCanvas->Bitmap();
        TPoint origin = comboCanvas->WindowOrg();
        auto restore = [&] {
            comboCanvas->SetBitmap(target);
            comboCanvas->SetWindowOrg(origin);
        };
        comboCanvas->SetBitmap(canvas->Bitmap());
        comboCanvas->SetWindowOrg(canvas->WindowOrg());
        comboCanvas->IntersectClipRect(canvas->ClipRect());
        try {
            FCombo.DrawItem(i, r, state);
        } catch (...) {
            restore();
            throw;
        }
        restore();
    }
}

// --- TCustomComboBox --------------------------------------------------------------------------

TCustomComboBox::TCustomComboBox(TComponent* AOwner)
    : TCustomControl(AOwner),
      FItems(std::make_unique<TListControlItems>(static_cast<TListItemsOwner&>(*this))) {
    TControlStyle style = ControlStyle();
    style.Exclude(csClickEvents); // Click comes with the user's selections
    SetControlStyle(style);
    SetTabStop(true);
    SetBorderStyle(bsSingle);
    BuildChildren();
    SetBounds(0, 0, 145, 24);
}

TCustomComboBox::~TCustomComboBox() {
    // The children go first, without passing their last messages through ComboWndProc.
    FChildrenGone = true;
    FEdit.reset();
    FList.reset();
}

void TCustomComboBox::BuildChildren() {
    if (IsEditStyle() && !FEdit) {
        FEdit.reset(new TComboBoxEdit(*this));
        FEdit->SetMaxLength(FMaxLength);
        FEdit->SetParent(this);
    } else if (!IsEditStyle() && FEdit) {
        FEdit.reset();
    }
    if (!FList) {
        FList.reset(new TComboBoxList(*this));
        FList->SetParent(this);
    }
    bool simple = FStyle == csSimple;
    FList->SetVisible(simple);
    FList->SetBorderStyle(simple ? bsNone : bsSingle);
    FList->SetCtl3D(simple);
    LayoutChildren();
}

int TCustomComboBox::EditHeight() const {
    return FItemHeight + 4;
}

void TCustomComboBox::LayoutChildren() {
    TRect client = ClientRect();
    int button = FStyle == csSimple ? 0 : GetSystemMetrics(SM_CXVSCROLL);
    if (FEdit) {
        int height = FStyle == csSimple ? std::min(EditHeight(), client.Height()) : client.Height();
        FEdit->SetBounds(0, 0, std::max(0, client.Width() - button), height);
    }
    if (FList && FStyle == csSimple) {
        int top = FEdit ? FEdit->Height() : 0;
        FList->SetBounds(0, top, client.Width(), std::max(0, client.Height() - top));
    }
}

void TCustomComboBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    LayoutChildren();
}

void TCustomComboBox::SetStyle(TComboBoxStyle Value) {
    if (Value == FStyle) return;
    bool hadWindow = HandleAllocated();
    if (hadWindow) DestroyHandle();
    FDroppedDown = false;
    FStyle = Value;
    BuildChildren();
    ShowSelection();
    if (hadWindow) HandleNeeded();
    Invalidate();
}

void TCustomComboBox::CreateWnd() {
    TCustomControl::CreateWnd();
    // The children's windows exist as soon as the combo's does.
    if (FEdit) FEdit->HandleNeeded();
    FList->HandleNeeded();
    FDroppedDown = false;
    if (FStyle != csSimple) {
        FList->SetVisible(false);
        orvel::SetParent(FList->Handle(), 0);
    }
}

void TCustomComboBox::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    static const uint32_t styles[] = {CBS_DROPDOWN, CBS_SIMPLE, CBS_DROPDOWNLIST,
                                      CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED,
                                      CBS_DROPDOWNLIST | CBS_OWNERDRAWVARIABLE};
    Params.Style |= styles[FStyle] | WS_VSCROLL | CBS_HASSTRINGS | CBS_AUTOHSCROLL;
    if (Sorted()) Params.Style |= CBS_SORT;
}

void TCustomComboBox::SetItems(TStrings* value) {
    if (value) FItems->Assign(value);
}

bool TCustomComboBox::Sorted() const {
    return FItems->Sorted();
}

void TCustomComboBox::SetSorted(bool value) {
    FItems->SetSorted(value);
}

void TCustomComboBox::SetItemHeight(int value) {
    value = std::max(1, value);
    if (value == FItemHeight) return;
    FItemHeight = value;
    LayoutChildren();
    Invalidate();
}

int TCustomComboBox::MaxLength() const {
    return FMaxLength;
}

void TCustomComboBox::SetMaxLength(int value) {
    FMaxLength = std::max(0, value);
    if (FEdit) FEdit->SetMaxLength(FMaxLength);
}

void TCustomComboBox::SetItemIndex(int value) {
    if (value < -1 || value >= FItems->Count()) value = -1;
    FItemIndex = value;
    ShowSelection();
    if (FList) FList->MakeVisible(value);
    Invalidate();
}

void TCustomComboBox::SetDroppedDown(bool value) {
    if (FStyle == csSimple) return;
    SendMessage(Handle(), CB_SHOWDROPDOWN, value ? 1 : 0, 0);
}

int TCustomComboBox::SelStart() const {
    return FEdit ? FEdit->SelStart() : 0;
}

void TCustomComboBox::SetSelStart(int value) {
    if (FEdit) FEdit->SetSelStart(value);
}

int TCustomComboBox::SelLength() const {
    return FEdit ? FEdit->SelLength() : 0;
}

void TCustomComboBox::SetSelLength(int value) {
    if (FEdit) FEdit->SetSelLength(value);
}

std::string TCustomComboBox::SelText() const {
    return FEdit ? FEdit->SelText() : std::string();
}

void TCustomComboBox::SelectAll() {
    if (FEdit) FEdit->SelectAll();
}

HWND TCustomComboBox::EditHandle() const {
    return FEdit && FEdit->HandleAllocated() ? FEdit->Handle() : 0;
}

HWND TCustomComboBox::ListHandle() const {
    return FList && FList->HandleAllocated() ? FList->Handle() : 0;
}

TCustomEdit* TCustomComboBox::EditBox() const {
    return FEdit.get();
}

TRect TCustomComboBox::ButtonRect() const {
    if (FStyle == csSimple) return TRect{};
    TRect client = ClientRect();
    return {client.Right - GetSystemMetrics(SM_CXVSCROLL), 0, client.Right, client.Bottom};
}

// --- Selection and text ---

int TCustomComboBox::FindExact(const std::string& Value) const {
    for (int i = 0; i < FItems->Count(); ++i)
        if (FItems->Get(i) == Value) return i;
    return -1;
}

int TCustomComboBox::FindPrefix(const std::string& Prefix, int After) const {
    int count = FItems->Count();
    for (int k = 1; k <= count; ++k) {
        int i = (After + k) % count;
        if (i < 0) i += count;
        if (StartsWithText(FItems->Get(i), Prefix)) return i;
    }
    return -1;
}

// Shows text as the combo's own: the control's Text and the edit box's text, without a
// notification.
void TCustomComboBox::SyncText(const std::string& Value) {
    TFlagGuard guard(FSyncing); // the shown text changes as the combo's own, not a program's
    TControl::SetText(Value);
    if (FEdit && FEdit->Text() != Value) FEdit->SetText(Value);
}

// The selected entry's text is shown (no entry: the empty text).
void TCustomComboBox::ShowSelection() {
    SyncText(FItemIndex >= 0 ? FItems->Get(FItemIndex) : std::string());
    if (FEdit && Focused()) FEdit->SelectAll();
    if (FList) FList->Invalidate();
}

// A program's text: the first entry with exactly that text is selected.
void TCustomComboBox::ApplyText(const std::string& Value) {
    FItemIndex = FindExact(Value);
    if (IsEditStyle())
        SyncText(Value);
    else
        SyncText(FItemIndex >= 0 ? FItems->Get(FItemIndex) : std::string());
    if (FList) FList->MakeVisible(FItemIndex);
    Invalidate();
}

void TCustomComboBox::SelectByUser(int Index) {
    if (Index < 0 || Index >= FItems->Count()) return;
    bool changed = Index != FItemIndex || Text() != FItems->Get(Index);
    FItemIndex = Index;
    ShowSelection();
    if (FList) FList->MakeVisible(Index);
    Invalidate();
    if (changed) Notify(CBN_SELCHANGE);
}

void TCustomComboBox::EditTextChanged() {
    FItemIndex = -1; // typed text is only text
    SyncText(FEdit->Text());
    if (FList) FList->Invalidate();
    Notify(CBN_EDITCHANGE);
}

void TCustomComboBox::ListItemChosen(int Index) {
    SetDroppedDown(false);
    SelectByUser(Index);
}

// --- Notifications ---

void TCustomComboBox::Notify(unsigned Code) {
    if (HandleAllocated()) {
        SendMessage(Handle(), WM_COMMAND, MakeWParam(0, Code), static_cast<LPARAM>(Handle()));
        return;
    }
    TMessage m{WM_COMMAND, MakeWParam(0, Code), 0, 0};
    WndProc(m);
}

void TCustomComboBox::CommandNotified(unsigned Code) {
    switch (Code) {
    case CBN_SELCHANGE:
        Click();
        Change();
        break;
    case CBN_EDITCHANGE:
        Change();
        break;
    case CBN_DROPDOWN:
        DropDown();
        break;
    case CBN_CLOSEUP:
        CloseUp();
        break;
    default:
        break;
    }
}

void TCustomComboBox::Change() {
    if (OnChange) OnChange(this);
}

void TCustomComboBox::DropDown() {
    if (OnDropDown) OnDropDown(this);
}

void TCustomComboBox::CloseUp() {
    if (OnCloseUp) OnCloseUp(this);
}

// --- The drop-down list ---

void TCustomComboBox::ShowList() {
    if (FDroppedDown || FStyle == csSimple || !HandleAllocated()) return;
    Notify(CBN_DROPDOWN);
    if (!HandleAllocated() || !ListHandle()) return; // the handler destroyed the window
    int rows = std::clamp(FItems->Count(), 1, FDropDownCount);
    int border = FList->BorderWidth();
    int height = rows * FItemHeight + 2 * border;
    TRect combo;
    GetWindowRect(Handle(), combo);
    int y = combo.Bottom;
    if (y + height > Screen().Height()) y = combo.Top - height;
    FDroppedDown = true;
    SetWindowPos(ListHandle(), HWND_TOP, combo.Left, y, combo.Width(), height,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // The list was scrolled while it had no height (a selection made while closed): at its
    // shown height it starts no later than the first entry that still fills every row.
    FList->SetTopIndex(FList->TopIndex());
    FList->MakeVisible(FItemIndex);
    Invalidate();
}

void TCustomComboBox::HideList() {
    if (!FDroppedDown) return;
    FDroppedDown = false;
    if (HWND list = ListHandle())
        SetWindowPos(list, 0, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    Invalidate();
    Notify(CBN_CLOSEUP);
}

// --- Messages ---

void TCustomComboBox::ComboWndProc(TMessage& Message, HWND ComboWnd) {
    if ((Message.Msg == WM_LBUTTONDOWN || Message.Msg == WM_LBUTTONDBLCLK) && !IsDesigning() &&
        !Focused() && CanFocus())
        SetFocus();
    if (FEdit && ComboWnd == EditHandle())
        FEdit->EditWndProc(Message);
    else if (FList && ComboWnd == ListHandle())
        FList->ListWndProc(Message);
}

void TCustomComboBox::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_COMMAND:
        CommandNotified(HiWord(Message.WParam));
        return;
    case CM_TEXTCHANGED:
        if (!FSyncing) ApplyText(Text());
        break;
    case CM_CANCELMODE: {
        // A press elsewhere closes the list; presses on the combo and its children do not.
        auto* sender = reinterpret_cast<TControl*>(Message.LParam);
        if (FDroppedDown && sender != this && sender != FEdit.get() && sender != FList.get())
            SetDroppedDown(false);
        break;
    }
    case WM_KILLFOCUS:
        if (FDroppedDown) SetDroppedDown(false);
        break;
    case CM_FONTCHANGED:
        if (FEdit) FEdit->SetFont(Font());
        if (FList) FList->SetFont(Font());
        break;
    default:
        break;
    }
    TCustomControl::WndProc(Message);
}

void TCustomComboBox::DefaultHandler(TMessage& Message) {
    const int count = FItems->Count();
    const auto index = static_cast<int>(static_cast<intptr_t>(Message.WParam));
    auto valid = [count](int i) { return i >= 0 && i < count; };
    switch (Message.Msg) {
    case CB_ADDSTRING:
        Message.Result = FItems->Add(MessageText(Message.LParam));
        break;
    case CB_INSERTSTRING:
        if (index == -1 || FItems->Sorted()) {
            Message.Result = FItems->Add(MessageText(Message.LParam));
        } else if (index >= 0 && index <= count) {
            FItems->Insert(index, MessageText(Message.LParam));
            Message.Result = index;
        } else {
            Message.Result = CB_ERR;
        }
        break;
    case CB_DELETESTRING:
        if (!valid(index)) {
            Message.Result = CB_ERR;
            break;
        }
        FItems->Delete(index);
        Message.Result = FItems->Count();
        break;
    case CB_RESETCONTENT:
        FItems->Clear();
        break;
    case CB_GETCOUNT:
        Message.Result = count;
        break;
    case CB_GETCURSEL:
        Message.Result = FItemIndex;
        break;
    case CB_SETCURSEL:
        SetItemIndex(valid(index) ? index : -1);
        Message.Result = valid(index) ? index : CB_ERR;
        break;
    case CB_FINDSTRING:
    case CB_FINDSTRINGEXACT:
    case CB_SELECTSTRING: {
        int after = valid(index) && Message.WParam != 0xFFFF ? index : -1;
        std::string text = MessageText(Message.LParam);
        int found = -1;
        for (int k = 1; k <= count && found < 0; ++k) {
            int i = (after + k) % count;
            bool match = Message.Msg == CB_FINDSTRINGEXACT ? SameText(FItems->Get(i), text)
                                                           : StartsWithText(FItems->Get(i), text);
            if (match) found = i;
        }
        if (Message.Msg == CB_SELECTSTRING && found >= 0) SetItemIndex(found);
        Message.Result = found >= 0 ? found : CB_ERR;
        break;
    }
    case CB_SHOWDROPDOWN:
        if (Message.WParam)
            ShowList();
        else
            HideList();
        Message.Result = 1;
        break;
    case CB_GETDROPPEDSTATE:
        Message.Result = FDroppedDown ? 1 : 0;
        break;
    case CB_SETITEMHEIGHT:
        SetItemHeight(static_cast<int>(Message.LParam));
        break;
    case CB_GETITEMHEIGHT:
        Message.Result = FItemHeight;
        break;
    case CB_GETEDITSEL:
        Message.Result = MakeLParam(SelStart(), SelStart() + SelLength());
        break;
    case CB_SETEDITSEL:
        if (FEdit) {
            int start = LoWordSigned(Message.LParam), end = HiWordSigned(Message.LParam);
            SendMessage(EditHandle(), EM_SETSEL, static_cast<WPARAM>(static_cast<intptr_t>(start)),
                        end);
        }
        Message.Result = FEdit ? 1 : CB_ERR;
        break;
    default:
        TCustomControl::DefaultHandler(Message);
    }
}

// --- The user's keys and clicks ---

void TCustomComboBox::DefaultMouseDown(TMouseButton Button, TShiftState, int, int, bool) {
    if (Button != mbLeft || FStyle == csSimple) return;
    SetDroppedDown(!FDroppedDown);
}

void TCustomComboBox::DefaultKeyDown(uint16_t& Key, TShiftState Shift) {
    bool alt = Shift.Contains(ssAlt);
    if (Key == VK_F4 || (alt && (Key == VK_DOWN || Key == VK_UP))) {
        SetDroppedDown(!FDroppedDown);
        Key = 0;
        return;
    }
    if (FDroppedDown && (Key == VK_RETURN || Key == VK_ESCAPE)) {
        SetDroppedDown(false);
        Key = 0;
        return;
    }
    int count = FItems->Count();
    int page = std::max(1, FDropDownCount - 1);
    switch (Key) {
    case VK_UP:
        if (count > 0) SelectByUser(std::max(0, FItemIndex - 1));
        break;
    case VK_DOWN:
        if (count > 0) SelectByUser(std::min(count - 1, FItemIndex + 1));
        break;
    case VK_PRIOR:
        if (count > 0) SelectByUser(std::max(0, FItemIndex - page));
        break;
    case VK_NEXT:
        if (count > 0) SelectByUser(std::min(count - 1, std::max(0, FItemIndex) + page));
        break;
    case VK_HOME:
    case VK_END:
        if (FEdit) {
            SendMessage(EditHandle(), WM_KEYDOWN, Key, 0);
        } else if (count > 0) {
            SelectByUser(Key == VK_HOME ? 0 : count - 1);
        }
        break;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_DELETE:
    case VK_INSERT:
        if (!FEdit) return;
        SendMessage(EditHandle(), WM_KEYDOWN, Key, 0);
        break;
    default:
        return;
    }
    Key = 0;
}

void TCustomComboBox::DefaultKeyPress(char& Key) {
    if (Key == '\r' || Key == 27 || Key == '\t') return;
    if (FEdit) {
        if (HWND edit = EditHandle())
            SendMessage(edit, WM_CHAR, static_cast<unsigned char>(Key), 0);
        Key = 0;
        return;
    }
    if (static_cast<unsigned char>(Key) < 32) return;
    int found = FindPrefix(std::string(1, Key), FItemIndex);
    Key = 0;
    if (found >= 0) SelectByUser(found);
}

// --- Changes of the entries ---

void TCustomComboBox::ItemInserted(int Index) {
    if (FItemIndex >= Index) ++FItemIndex;
    if (FList) FList->Invalidate();
}

void TCustomComboBox::ItemDeleted(int Index) {
    if (FItemIndex == Index) {
        FItemIndex = -1;
        if (!IsEditStyle()) SyncText("");
    } else if (FItemIndex > Index) {
        --FItemIndex;
    }
    if (FList) FList->SetTopIndex(FList->TopIndex());
    Invalidate();
}

void TCustomComboBox::ItemsCleared() {
    FItemIndex = -1;
    SyncText("");
    if (FList) FList->SetTopIndex(0);
    Invalidate();
}

void TCustomComboBox::ItemChanged(int Index) {
    if (Index == FItemIndex && !IsEditStyle()) SyncText(FItems->Get(Index));
    if (FList) FList->Invalidate();
}

void TCustomComboBox::ItemsReordered(const std::vector<int>& OldToNew) {
    if (FItemIndex >= 0 && FItemIndex < static_cast<int>(OldToNew.size()))
        FItemIndex = OldToNew[static_cast<std::size_t>(FItemIndex)];
    if (FList) FList->Invalidate();
}

// --- Painting ---

void TCustomComboBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    if ((FStyle == csOwnerDrawFixed || FStyle == csOwnerDrawVariable) && OnDrawItem) {
        OnDrawItem(this, Index, Rect, State);
        return;
    }
    TCanvas* canvas = Canvas();
    bool selected = State.Contains(odSelected);
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(selected ? clHighlight : Color());
    canvas->FillRect(Rect);
    canvas->Font()->Assign(Font());
    if (selected) canvas->Font()->SetColor(clHighlightText);
    std::string text = FItems->Get(Index);
    canvas->TextRect(Rect, Rect.Left + 2, Rect.Top + (Rect.Height() - canvas->TextHeight(text)) / 2,
                     text);
}

void TCustomComboBox::Paint() {
    TCanvas* canvas = Canvas();
    TRect client = ClientRect();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(client);
    if (!IsEditStyle() && FItemIndex >= 0) {
        TRect r{0, 0, ButtonRect().Left, client.Bottom};
        TOwnerDrawState state;
        if (Focused()) state.Include(odSelected);
        if (Focused()) state.Include(odFocused);
        DrawItem(FItemIndex, r, state);
        if (Focused()) {
            InflateRect(r, -1, -1);
            PaintFocusRect(*canvas, r);
        }
    }
    if (FStyle != csSimple) {
        UINT state = DFCS_SCROLLCOMBOBOX;
        if (FDroppedDown) state |= DFCS_PUSHED;
        if (!IsEnabledWithParents()) state |= DFCS_INACTIVE;
        canvas->DrawFrameControl(ButtonRect(), DFC_SCROLL, state);
    }
}

// --- Published properties ---

const TClassInfo& TCustomComboBox::HostProperties() {
    using T = TCustomComboBox;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomComboBox properties", &TWinControl::HostProperties())
            .Enum("Style", "TComboBoxStyle",
                  {"csDropDown", "csSimple", "csDropDownList", "csOwnerDrawFixed",
                   "csOwnerDrawVariable"},
                  &T::Style, &T::SetStyle, std::optional<TComboBoxStyle>(csDropDown))
            .Property("DropDownCount", &T::DropDownCount, &T::SetDropDownCount, Variant(8))
            .Property("ItemHeight", &T::ItemHeight, &T::SetItemHeight, Variant(16))
            .Object("Items", "TStrings", &T::Items, &T::SetItems)
            .Property("MaxLength", &T::MaxLength, &T::SetMaxLength, Variant(0))
            .Property("Sorted", &T::Sorted, &T::SetSorted, Variant(false))
            .Property("TabStop", MemberOf<T>(&TWinControl::TabStop),
                      MemberOf<T>(&TWinControl::SetTabStop), Variant(true))
            .Property("Text", MemberOf<T>(&TControl::Text), MemberOf<T>(&TControl::SetText))
            .Event("OnChange", "TNotifyEvent", &T::OnChange)
            .Event("OnCloseUp", "TNotifyEvent", &T::OnCloseUp)
            .Event("OnDrawItem", "TDrawItemEvent", &T::OnDrawItem)
            .Event("OnDropDown", "TNotifyEvent", &T::OnDropDown)
            .Event("OnMeasureItem", "TMeasureItemEvent", &T::OnMeasureItem)
            .Build();
    return info;
}

const TClassInfo& TComboBox::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TComboBox>("TComboBox", &TWinControl::StaticClassInfo())
            .Republish(
                TCustomComboBox::HostProperties(),
                {"Style",         "Color",         "Ctl3D",       "DragMode",   "DragCursor",
                 "DropDownCount", "Enabled",       "Font",        "ItemHeight", "Items",
                 "MaxLength",     "ParentColor",   "ParentCtl3D", "ParentFont", "ParentShowHint",
                 "PopupMenu",     "ShowHint",      "Sorted",      "TabOrder",   "TabStop",
                 "Text",          "Visible",       "OnChange",    "OnClick",    "OnCloseUp",
                 "OnDblClick",    "OnDragDrop",    "OnDragOver",  "OnDrawItem", "OnDropDown",
                 "OnEndDrag",     "OnEnter",       "OnExit",      "OnKeyDown",  "OnKeyPress",
                 "OnKeyUp",       "OnMeasureItem", "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
