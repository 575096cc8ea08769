// The list box: entries in rows, one or many selected, scrolling, the keyboard and mouse
// selections, and the list-box window messages.
#include "orvel/host/controls/ControlPaint.h"
#include "orvel/host/controls/StdCtrls.h"

#include "orvel/host/core/Exceptions.h"
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

TCustomListBox::TCustomListBox(TComponent* AOwner)
    : TCustomControl(AOwner),
      FItems(std::make_unique<TListControlItems>(static_cast<TListItemsOwner&>(*this))) {
    TControlStyle style = ControlStyle();
    style.Exclude(csClickEvents); // Click comes with the user's selections
    SetControlStyle(style);
    SetTabStop(true);
    SetBorderStyle(bsSingle);
    SetBounds(0, 0, 121, 97);
}

TCustomListBox::~TCustomListBox() = default;

void TCustomListBox::SetItems(TStrings* value) {
    if (value) FItems->Assign(value);
}

int TCustomListBox::ItemIndex() const {
    return FItemIndex;
}

void TCustomListBox::SetItemIndex(int value) {
    if (value < -1 || value >= FItems->Count())
        RaiseRes<EListError>(SListIndexError, {static_cast<long long>(value)});
    if (FMultiSelect) {
        FItemIndex = value;
        if (value >= 0) FAnchor = value;
    } else {
        SelectOnly(value);
    }
    if (value >= 0) MakeVisible(value);
    Invalidate();
}

void TCustomListBox::SetMultiSelect(bool value) {
    if (value == FMultiSelect) return;
    FMultiSelect = value;
    for (int i = 0; i < FItems->Count(); ++i)
        FItems->SetSelected(i, value && i == FItemIndex);
    Invalidate();
}

bool TCustomListBox::Selected(int Index) const {
    if (!FMultiSelect) {
        if (Index < 0 || Index >= FItems->Count())
            RaiseRes<EListError>(SListIndexError, {static_cast<long long>(Index)});
        return Index == FItemIndex;
    }
    return FItems->Selected(Index);
}

void TCustomListBox::SetSelected(int Index, bool value) {
    if (!FMultiSelect) {
        if (value)
            SetItemIndex(Index);
        else if (Selected(Index))
            SetItemIndex(-1);
        return;
    }
    FItems->SetSelected(Index, value);
    Invalidate();
}

int TCustomListBox::SelCount() const {
    if (!FMultiSelect) return FItemIndex >= 0 ? 1 : 0;
    return FItems->SelCount();
}

void TCustomListBox::ClearSelection() {
    if (!FMultiSelect) {
        SetItemIndex(-1);
        return;
    }
    for (int i = 0; i < FItems->Count(); ++i)
        FItems->SetSelected(i, false);
    Invalidate();
}

void TCustomListBox::SelectAll() {
    if (!FMultiSelect) return;
    for (int i = 0; i < FItems->Count(); ++i)
        FItems->SetSelected(i, true);
    Invalidate();
}

bool TCustomListBox::Sorted() const {
    return FItems->Sorted();
}

void TCustomListBox::SetSorted(bool value) {
    FItems->SetSorted(value);
}

void TCustomListBox::SetStyle(TListBoxStyle value) {
    if (value == FStyle) return;
    FStyle = value;
    ApplyIntegralHeight();
    Invalidate();
}

void TCustomListBox::SetItemHeight(int value) {
    value = std::max(1, value);
    if (value == FItemHeight) return;
    FItemHeight = value;
    ApplyIntegralHeight();
    SetTopIndex(FTopIndex);
    Invalidate();
}

void TCustomListBox::SetIntegralHeight(bool value) {
    if (value == FIntegralHeight) return;
    FIntegralHeight = value;
    ApplyIntegralHeight();
}

void TCustomListBox::SetBounds(int ALeft, int ATop, int AWidth, int AHeight) {
    TCustomControl::SetBounds(ALeft, ATop, AWidth, AHeight);
    ApplyIntegralHeight();
    SetTopIndex(FTopIndex);
}

// With integral height the client area holds whole rows only.
void TCustomListBox::ApplyIntegralHeight() {
    if (!FIntegralHeight || FStyle == lbOwnerDrawVariable) return;
    int border = 2 * BorderWidth();
    int rows = std::max(0, Height() - border) / FItemHeight;
    int height = rows * FItemHeight + border;
    if (height != Height()) TCustomControl::SetBounds(Left(), Top(), Width(), height);
}

int TCustomListBox::InnerHeight() const {
    return std::max(0, Height() - 2 * BorderWidth());
}

bool TCustomListBox::VertScrollBarVisible() const {
    return FItems->Count() * FItemHeight > InnerHeight();
}

TScrollBarState TCustomListBox::ScrollBarState(TScrollBarKind Kind) const {
    TScrollBarState state = TCustomControl::ScrollBarState(Kind);
    if (Kind != sbVertical) return state;
    state.Max = FItems->Count() - 1;
    state.Page = std::max(1, VisibleRowCount());
    state.Position = FTopIndex;
    return state;
}

int TCustomListBox::VisibleRowCount() const {
    return ClientHeight() / FItemHeight;
}

int TCustomListBox::MaxTopIndex() const {
    return std::max(0, FItems->Count() - std::max(1, VisibleRowCount()));
}

void TCustomListBox::SetTopIndex(int value) {
    value = std::clamp(value, 0, MaxTopIndex());
    if (value == FTopIndex) return;
    FTopIndex = value;
    Invalidate();
}

void TCustomListBox::MakeVisible(int Index) {
    if (Index < 0) return;
    int rows = std::max(1, VisibleRowCount());
    if (Index < FTopIndex)
        SetTopIndex(Index);
    else if (Index >= FTopIndex + rows)
        SetTopIndex(Index - rows + 1);
}

int TCustomListBox::ItemAtPos(const TPoint& Pos, bool Existing) const {
    TRect client = ClientRect();
    if (Pos.X < client.Left || Pos.X >= client.Right || Pos.Y < client.Top) return -1;
    int index = FTopIndex + Pos.Y / FItemHeight;
    if (index < FItems->Count() && Pos.Y < client.Bottom) return index;
    return Existing ? -1 : FItems->Count();
}

TRect TCustomListBox::ItemRect(int Index) const {
    return Bounds(0, (Index - FTopIndex) * FItemHeight, ClientWidth(), FItemHeight);
}

// The first entry after After (wrapping round; -1: from the first) whose text begins with
// Prefix, without regard to case; -1 when none does.
int TCustomListBox::FindPrefix(const std::string& Prefix, int After) const {
    int count = FItems->Count();
    for (int k = 1; k <= count; ++k) {
        int i = (After + k) % count;
        if (i < 0) i += count;
        if (StartsWithText(FItems->Get(i), Prefix)) return i;
    }
    return -1;
}

void TCustomListBox::SelectOnly(int Index) {
    FItemIndex = Index;
    FAnchor = Index;
    Invalidate();
}

// A selection the user made with the mouse or the keyboard; it ends with Click.
void TCustomListBox::SelectByUser(int Index, TShiftState Shift, bool Toggle) {
    if (Index < 0 || Index >= FItems->Count()) return;
    if (!FMultiSelect) {
        SelectOnly(Index);
    } else if (Toggle) {
        FItems->SetSelected(Index, !FItems->Selected(Index));
        FItemIndex = FAnchor = Index;
    } else if (Shift.Contains(ssShift) && FAnchor >= 0 && FAnchor < FItems->Count()) {
        int from = std::min(FAnchor, Index), to = std::max(FAnchor, Index);
        for (int i = 0; i < FItems->Count(); ++i)
            FItems->SetSelected(i, i >= from && i <= to);
        FItemIndex = Index;
    } else {
        for (int i = 0; i < FItems->Count(); ++i)
            FItems->SetSelected(i, i == Index);
        FItemIndex = FAnchor = Index;
    }
    MakeVisible(Index);
    Invalidate();
    Click();
}

void TCustomListBox::DefaultMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y, bool) {
    if (Button != mbLeft) return;
    int index = ItemAtPos({X, Y}, true);
    if (index < 0) return;
    bool toggle = FMultiSelect && (!FExtendedSelect || Shift.Contains(ssCtrl));
    SelectByUser(index, Shift, toggle);
}

void TCustomListBox::DefaultKeyDown(uint16_t& Key, TShiftState Shift) {
    int count = FItems->Count();
    if (count == 0) return;
    int current = FItemIndex;
    int page = std::max(1, VisibleRowCount() - 1);
    int target;
    switch (Key) {
    case VK_UP:
        target = current < 0 ? 0 : current - 1;
        break;
    case VK_DOWN:
        target = current + 1;
        break;
    case VK_PRIOR:
        target = current < 0 ? 0 : current - page;
        break;
    case VK_NEXT:
        target = current < 0 ? page : current + page;
        break;
    case VK_HOME:
        target = 0;
        break;
    case VK_END:
        target = count - 1;
        break;
    case VK_SPACE:
        if (FMultiSelect && !FExtendedSelect && current >= 0) SelectByUser(current, {}, true);
        Key = 0;
        return;
    default:
        return;
    }
    Key = 0;
    target = std::clamp(target, 0, count - 1);
    if (FMultiSelect && !FExtendedSelect) {
        // Without extended selection the keys move the focus rectangle only.
        FItemIndex = target;
        MakeVisible(target);
        Invalidate();
        return;
    }
    if (target == current && !FMultiSelect) return;
    SelectByUser(target, Shift, false);
}

void TCustomListBox::DefaultKeyPress(char& Key) {
    if (static_cast<unsigned char>(Key) < 32 || FItems->Count() == 0) return;
    int index = FindPrefix(std::string(1, Key), FItemIndex);
    Key = 0;
    if (index >= 0 && index != FItemIndex) SelectByUser(index, {}, false);
}

void TCustomListBox::WndProc(TMessage& Message) {
    // Dragging with the button held moves the one selection along.
    if (Message.Msg == WM_MOUSEMOVE && ControlState().Contains(csLButtonDown) && !FMultiSelect &&
        IsEnabledWithParents()) {
        TPoint p{LoWordSigned(Message.LParam), HiWordSigned(Message.LParam)};
        int index = ItemAtPos(p, true);
        if (index >= 0 && index != FItemIndex) SelectByUser(index, {}, false);
    }
    TCustomControl::WndProc(Message);
}

void TCustomListBox::DefaultHandler(TMessage& Message) {
    const int count = FItems->Count();
    const auto index = static_cast<int>(static_cast<intptr_t>(Message.WParam));
    auto valid = [count](int i) { return i >= 0 && i < count; };
    switch (Message.Msg) {
    case LB_ADDSTRING:
        Message.Result = FItems->Add(MessageText(Message.LParam));
        break;
    case LB_INSERTSTRING:
        if (index == -1 || FItems->Sorted()) {
            Message.Result = FItems->Add(MessageText(Message.LParam));
        } else if (index >= 0 && index <= count) {
            FItems->Insert(index, MessageText(Message.LParam));
            Message.Result = index;
        } else {
            Message.Result = LB_ERR;
        }
        break;
    case LB_DELETESTRING:
        if (!valid(index)) {
            Message.Result = LB_ERR;
            break;
        }
        FItems->Delete(index);
        Message.Result = FItems->Count();
        break;
    case LB_RESETCONTENT:
        FItems->Clear();
        break;
    case LB_GETCOUNT:
        Message.Result = count;
        break;
    case LB_SETCURSEL:
        if (FMultiSelect || (index != -1 && !valid(index))) {
            Message.Result = LB_ERR;
            break;
        }
        SetItemIndex(index);
        Message.Result = index;
        break;
    case LB_GETCURSEL:
    case LB_GETCARETINDEX:
        Message.Result = FItemIndex;
        break;
    case LB_SETCARETINDEX:
        if (!valid(index)) {
            Message.Result = LB_ERR;
            break;
        }
        if (FMultiSelect)
            FItemIndex = index;
        else
            SelectOnly(index);
        MakeVisible(index);
        Invalidate();
        break;
    case LB_SELECTSTRING:
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT: {
        // WParam: the entry after which the search starts; -1 (or 0xFFFF, as older programs
        // write it) searches the whole list from the first entry.
        int after = valid(index) && Message.WParam != 0xFFFF ? index : -1;
        std::string text = MessageText(Message.LParam);
        int found = -1;
        if (count > 0) {
            if (Message.Msg == LB_FINDSTRINGEXACT) {
                for (int k = 1; k <= count && found < 0; ++k) {
                    int i = (after + k) % count;
                    if (SameText(FItems->Get(i), text)) found = i;
                }
            } else {
                found = FindPrefix(text, after);
            }
        }
        if (Message.Msg == LB_SELECTSTRING) {
            if (FMultiSelect) found = -1;
            if (found >= 0) SetItemIndex(found);
        }
        Message.Result = found >= 0 ? found : LB_ERR;
        break;
    }
    case LB_GETTOPINDEX:
        Message.Result = FTopIndex;
        break;
    case LB_SETTOPINDEX:
        if (!valid(index)) {
            Message.Result = LB_ERR;
            break;
        }
        SetTopIndex(index);
        break;
    case LB_SETSEL: {
        auto which = static_cast<int>(Message.LParam);
        if (!FMultiSelect || (which != -1 && !valid(which))) {
            Message.Result = LB_ERR;
            break;
        }
        for (int i = 0; i < count; ++i)
            if (which == -1 || i == which) FItems->SetSelected(i, Message.WParam != 0);
        Invalidate();
        break;
    }
    case LB_GETSEL:
        Message.Result = valid(index) ? (Selected(index) ? 1 : 0) : LB_ERR;
        break;
    case LB_GETSELCOUNT:
        Message.Result = FMultiSelect ? SelCount() : LB_ERR;
        break;
    case LB_SETITEMHEIGHT:
        SetItemHeight(static_cast<int>(Message.LParam));
        break;
    case LB_GETITEMHEIGHT:
        Message.Result = FItemHeight;
        break;
    case WM_SETFOCUS:
        FShowsFocus = true;
        Invalidate();
        break;
    case WM_KILLFOCUS:
        FShowsFocus = false;
        Invalidate();
        break;
    default:
        TCustomControl::DefaultHandler(Message);
    }
}

void TCustomListBox::CreateParams(TCreateParams& Params) {
    TCustomControl::CreateParams(Params);
    Params.Style |= WS_VSCROLL | LBS_NOTIFY | LBS_HASSTRINGS;
    if (FItems->Sorted()) Params.Style |= LBS_SORT;
    if (FMultiSelect) Params.Style |= FExtendedSelect ? LBS_EXTENDEDSEL : LBS_MULTIPLESEL;
    if (!FIntegralHeight) Params.Style |= LBS_NOINTEGRALHEIGHT;
    if (FStyle == lbOwnerDrawFixed) Params.Style |= LBS_OWNERDRAWFIXED;
    if (FStyle == lbOwnerDrawVariable) Params.Style |= LBS_OWNERDRAWVARIABLE;
}

// --- Changes of the entries ---

void TCustomListBox::ItemInserted(int Index) {
    if (FItemIndex >= Index) ++FItemIndex;
    if (FAnchor >= Index) ++FAnchor;
    Invalidate();
}

void TCustomListBox::ItemDeleted(int Index) {
    if (FItemIndex == Index)
        FItemIndex = -1;
    else if (FItemIndex > Index)
        --FItemIndex;
    if (FAnchor == Index)
        FAnchor = -1;
    else if (FAnchor > Index)
        --FAnchor;
    SetTopIndex(FTopIndex);
    Invalidate();
}

void TCustomListBox::ItemsCleared() {
    FItemIndex = -1;
    FAnchor = -1;
    FTopIndex = 0;
    Invalidate();
}

void TCustomListBox::ItemChanged(int) {
    Invalidate();
}

void TCustomListBox::ItemsReordered(const std::vector<int>& OldToNew) {
    auto map = [&OldToNew](int i) {
        return i >= 0 && i < static_cast<int>(OldToNew.size())
                   ? OldToNew[static_cast<std::size_t>(i)]
                   : i;
    };
    FItemIndex = map(FItemIndex);
    FAnchor = map(FAnchor);
    Invalidate();
}

// --- Painting ---

void TCustomListBox::DrawItem(int Index, const TRect& Rect, TOwnerDrawState State) {
    if (FStyle != lbStandard && OnDrawItem) {
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
    if (State.Contains(odDisabled)) canvas->Font()->SetColor(clGrayText);
    std::string text = FItems->Get(Index);
    canvas->TextRect(Rect, Rect.Left + 2, Rect.Top + (Rect.Height() - canvas->TextHeight(text)) / 2,
                     text);
}

void TCustomListBox::Paint() {
    TCanvas* canvas = Canvas();
    canvas->Brush()->SetStyle(bsSolid);
    canvas->Brush()->SetColor(Color());
    canvas->FillRect(ClientRect());
    int rows = ClientHeight() / FItemHeight + 1;
    for (int i = FTopIndex; i < FItems->Count() && i < FTopIndex + rows; ++i) {
        TOwnerDrawState state;
        if (Selected(i)) state.Include(odSelected);
        if (!IsEnabledWithParents()) state.Include(odDisabled);
        if (i == FItemIndex && FShowsFocus) state.Include(odFocused);
        TRect r = ItemRect(i);
        DrawItem(i, r, state);
        if (state.Contains(odFocused)) PaintFocusRect(*canvas, r);
    }
}

// --- Published properties ---

const TClassInfo& TCustomListBox::HostProperties() {
    using T = TCustomListBox;
    static const TClassInfo info =
        TClassBuilder<T>("TCustomListBox properties", &TWinControl::HostProperties())
            .Enum("BorderStyle", "TBorderStyle", {"bsNone", "bsSingle"},
                  MemberOf<T>(&TWinControl::BorderStyle), MemberOf<T>(&TWinControl::SetBorderStyle),
                  std::optional<TBorderStyle>(bsSingle))
            .Property("ExtendedSelect", &T::ExtendedSelect, &T::SetExtendedSelect, Variant(true))
            .Property("IntegralHeight", &T::IntegralHeight, &T::SetIntegralHeight, Variant(false))
            .Property("ItemHeight", &T::ItemHeight, &T::SetItemHeight, Variant(16))
            .Object("Items", "TStrings", &T::Items, &T::SetItems)
            .Property("MultiSelect", &T::MultiSelect, &T::SetMultiSelect, Variant(false))
            .Property("Sorted", &T::Sorted, &T::SetSorted, Variant(false))
            .Enum("Style", "TListBoxStyle",
                  {"lbStandard", "lbOwnerDrawFixed", "lbOwnerDrawVariable"}, &T::Style,
                  &T::SetStyle, std::optional<TListBoxStyle>(lbStandard))
            .Property("TabStop", MemberOf<T>(&TWinControl::TabStop),
                      MemberOf<T>(&TWinControl::SetTabStop), Variant(true))
            .Event("OnDrawItem", "TDrawItemEvent", &T::OnDrawItem)
            .Event("OnMeasureItem", "TMeasureItemEvent", &T::OnMeasureItem)
            .Build();
    return info;
}

const TClassInfo& TListBox::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TListBox>("TListBox", &TWinControl::StaticClassInfo())
            .Republish(TCustomListBox::HostProperties(),
                       {"Align",          "BorderStyle",    "Color",       "Ctl3D",
                        "DragCursor",     "DragMode",       "Enabled",     "ExtendedSelect",
                        "Font",           "IntegralHeight", "ItemHeight",  "Items",
                        "MultiSelect",    "ParentColor",    "ParentCtl3D", "ParentFont",
                        "ParentShowHint", "PopupMenu",      "ShowHint",    "Sorted",
                        "Style",          "TabOrder",       "TabStop",     "Visible",
                        "OnClick",        "OnDblClick",     "OnDragDrop",  "OnDragOver",
                        "OnDrawItem",     "OnEndDrag",      "OnEnter",     "OnExit",
                        "OnKeyDown",      "OnKeyPress",     "OnKeyUp",     "OnMeasureItem",
                        "OnMouseDown",    "OnMouseMove",    "OnMouseUp",   "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
