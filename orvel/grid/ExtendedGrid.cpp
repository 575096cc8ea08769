// TExtendedGrid, its in-place editor with the drop-down button, and the pick list.
#include "orvel/grid/ExtendedGrid.h"

#include "orvel/host/controls/Forms.h"
#include "orvel/host/core/Platform.h"

#include <algorithm>

namespace orvel {

// ---- TPopupListbox
// -------------------------------------------------------------------------------

TPopupListbox::TPopupListbox(TComponent* AOwner) : TCustomListBox(AOwner) {}

void TPopupListbox::CreateParams(TCreateParams& Params) {
    TCustomListBox::CreateParams(Params);
    Params.Style |= WS_BORDER;
    Params.ExStyle = WS_EX_TOOLWINDOW;
    Params.WindowClass.style = CS_SAVEBITS;
}

// A window of the screen's own, drawn as focused without taking the focus from the editor.
void TPopupListbox::CreateWnd() {
    TCustomListBox::CreateWnd();
    SetParent(Handle(), 0);
    DefWindowProc(Handle(), WM_SETFOCUS, 0, 0);
}

// Typed characters select the first entry that begins with what was typed; a pause starts over.
void TPopupListbox::KeyPress(char& Key) {
    auto code = static_cast<unsigned char>(Key);
    if (code == 8 || code == 27) {
        FSearchText.clear();
    } else if (code >= 32) {
        uint32_t now = GetTickCount();
        if (now - FSearchTickCount > SearchPause) FSearchText.clear();
        FSearchTickCount = now;
        if (FSearchText.size() < MaxSearchLength) FSearchText += Key;
        SendMessage(Handle(), LB_SELECTSTRING, 0xFFFF,
                    reinterpret_cast<LPARAM>(FSearchText.c_str()));
        Key = 0;
    }
    TCustomListBox::KeyPress(Key);
}

void TPopupListbox::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    TCustomListBox::MouseUp(Button, Shift, X, Y);
    if (auto* editor = dynamic_cast<TExtGridInplaceEdit*>(Owner()))
        editor->ClosePickList(X >= 0 && X < Width() && Y >= 0 && Y < Height());
}

// ---- TExtGridInplaceEdit
// -------------------------------------------------------------------------

TExtGridInplaceEdit::TExtGridInplaceEdit(TComponent* AOwner)
    : TInplaceEdit(AOwner), FButtonWidth(GetSystemMetrics(SM_CXVSCROLL)) {}

TExtGridInplaceEdit::~TExtGridInplaceEdit() = default;

TExtendedGrid* TExtGridInplaceEdit::ExtGrid() const {
    return dynamic_cast<TExtendedGrid*>(Grid());
}

void TExtGridInplaceEdit::Notification(TComponent* AComponent, TOperation Operation) {
    TInplaceEdit::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && AComponent == FPickList) {
        FPickList = nullptr;
        FActiveList = nullptr;
        FListVisible = false;
    }
}

TRect TExtGridInplaceEdit::ButtonRect() const {
    return {Width() - FButtonWidth, 0, Width(), Height()};
}

bool TExtGridInplaceEdit::InButton(int X, int Y) const {
    return ButtonRect().Contains({X, Y});
}

// ---- the edit style ----

void TExtGridInplaceEdit::UpdateContents() {
    TEditStyle style = esSimple;
    if (TExtendedGrid* grid = ExtGrid(); grid && grid->GetButtonStyle() == cbsAuto &&
                                         grid->GetValuesList()->Count() > 0 && !grid->GetReadOnly())
        style = esPickList;
    ApplyEditStyle(style);
    TInplaceEdit::UpdateContents();
}

void TExtGridInplaceEdit::ApplyEditStyle(TEditStyle Value) {
    if (Value != FEditStyle) {
        FEditStyle = Value;
        if (Value == esPickList) {
            if (!FPickList) {
                FPickList = new TPopupListbox(this);
                FPickList->SetVisible(false);
                FPickList->SetParent(this);
                FPickList->OnMouseUp =
                    TMouseEvent::Bind<&TExtGridInplaceEdit::PickListMouseUp>(this);
                FPickList->SetIntegralHeight(true);
                FPickList->SetItemHeight(11);
            }
            FActiveList = FPickList;
        } else {
            FActiveList = nullptr;
        }
        Invalidate();
    }
    // Applied at every placement: the grid's ReadOnly may have changed meanwhile, and a
    // pick-list cell is chosen, never typed into.
    TExtendedGrid* grid = ExtGrid();
    SetReadOnly((grid && grid->GetReadOnly()) || FEditStyle == esPickList);
}

// The text stays left of the button.
void TExtGridInplaceEdit::BoundsChanged() {
    TRect r{2, 2, Width() - 2, Height()};
    if (FEditStyle != esSimple) r.Right -= FButtonWidth;
    Perform(EM_SETRECTNP, 0, reinterpret_cast<LPARAM>(&r));
    Perform(EM_SCROLLCARET, 0, 0);
}

// ---- opening and closing the list ----

void TExtGridInplaceEdit::ShowPickList() {
    TExtendedGrid* grid = ExtGrid();
    if (FListVisible || !FActiveList || !grid) return;
    FActiveList->SetWidth(Width());
    FPickList->SetColor(Color());
    FPickList->SetFont(Font());
    FPickList->SetItems(grid->GetValuesList());

    int rows = std::min(FPickList->Items()->Count(), grid->GetDropDownRows());
    FPickList->SetHeight(rows * FPickList->ItemHeight() + 4);

    int widest = 0;
    TCanvas* canvas = FPickList->Canvas();
    canvas->Font()->Assign(FPickList->Font());
    for (int i = 0; i < FPickList->Items()->Count(); ++i)
        widest = std::max(widest, canvas->TextWidth(FPickList->Items()->Get(i)));
    int nonClient = FPickList->Width() - FPickList->ClientWidth();
    FPickList->SetWidth(std::max(widest + 2 + nonClient, Width()));

    std::string current = grid->Cells(grid->Col(), grid->Row());
    FPickList->SetItemIndex(current.empty() ? -1 : FPickList->Items()->IndexOf(current));

    TPoint p = Parent() ? Parent()->ClientToScreen({Left(), Top()}) : TPoint{Left(), Top()};
    int y = p.Y + Height();
    if (y + FActiveList->Height() > Screen().Height()) y = p.Y - FActiveList->Height();
    SetWindowPos(FActiveList->Handle(), HWND_TOP, p.X, y, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    FListVisible = true;
    Invalidate();
    if (CanFocus() && !Focused()) SetFocus();
}

void TExtGridInplaceEdit::ClosePickList(bool Accept) {
    if (!FListVisible) return;
    if (HWND capture = GetCapture()) SendMessage(capture, WM_CANCELMODE, 0, 0);
    int index = FPickList ? FPickList->ItemIndex() : -1;
    bool chosen = FActiveList && FActiveList == FPickList && index != -1;
    std::string value = chosen ? FPickList->Items()->Get(index) : std::string();
    if (FActiveList && FActiveList->HandleAllocated())
        SetWindowPos(FActiveList->Handle(), 0, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
    FListVisible = false;
    Invalidate();
    TExtendedGrid* grid = ExtGrid();
    if (Accept && chosen && grid && EditCanModify()) {
        int col = grid->Col(), row = grid->Row();
        grid->SetCells(col, row, value);
        grid->SelectValue(col, row, index);
    }
}

// ---- keys ----

void TExtGridInplaceEdit::HandleListKeys(uint16_t& Key, TShiftState Shift) {
    switch (Key) {
    case VK_RETURN:
    case VK_ESCAPE:
        if (FListVisible && !Shift.Contains(ssAlt)) {
            ClosePickList(Key == VK_RETURN);
            Key = 0;
        }
        break;
    case VK_UP:
    case VK_DOWN:
        if (Shift.Contains(ssAlt)) {
            if (FListVisible)
                ClosePickList(true);
            else
                ShowPickList();
            Key = 0;
        }
        break;
    default:
        break;
    }
}

void TExtGridInplaceEdit::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_CHAR:
        if (FEditStyle == esPickList) {
            auto key = static_cast<uint16_t>(LoWord(Message.WParam));
            HandleListKeys(key, KeyDataToShiftState(Message.LParam));
            Message.WParam = key;
            // Keys the list takes (arrows, pages, letters) go to it while it is open.
            if (key != 0 && FListVisible && FActiveList) {
                Message.Result =
                    SendMessage(FActiveList->Handle(), Message.Msg, Message.WParam, Message.LParam);
                return;
            }
        }
        break;
    case CM_CANCELMODE: {
        auto* sender = reinterpret_cast<TControl*>(Message.LParam);
        if (sender != this && sender != FActiveList) ClosePickList(false);
        return;
    }
    case WM_CANCELMODE:
        EndButtonTracking();
        break;
    case WM_KILLFOCUS:
        TInplaceEdit::WndProc(Message);
        ClosePickList(false);
        return;
    case WM_LBUTTONDBLCLK:
        if (FEditStyle != esSimple &&
            InButton(LoWordSigned(Message.LParam), HiWordSigned(Message.LParam)))
            return;
        break;
    case WM_SETCURSOR:
        if (FEditStyle != esSimple) {
            TPoint p;
            GetCursorPos(p);
            p = ScreenToClient(p);
            if (InButton(p.X, p.Y)) {
                SetCursor(LoadCursor(0, IDC_ARROW));
                Message.Result = 1;
                return;
            }
        }
        break;
    default:
        break;
    }
    TInplaceEdit::WndProc(Message);
}

// ---- the mouse on the button ----

void TExtGridInplaceEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (Button == mbLeft && FEditStyle != esSimple && InButton(X, Y)) {
        if (FListVisible) {
            ClosePickList(false);
        } else {
            SetMouseCapture(true);
            FTracking = true;
            UpdateButtonPressed(X, Y);
            if (FActiveList) ShowPickList();
        }
    }
    TInplaceEdit::MouseDown(Button, Shift, X, Y);
}

void TExtGridInplaceEdit::MouseMove(TShiftState Shift, int X, int Y) {
    if (FTracking) {
        UpdateButtonPressed(X, Y);
        if (FListVisible && FActiveList) {
            // Dragging from the button into the list goes on as a selection there.
            TPoint p = FActiveList->ScreenToClient(ClientToScreen({X, Y}));
            if (FActiveList->ClientRect().Contains(p)) {
                EndButtonTracking();
                SendMessage(FActiveList->Handle(), WM_LBUTTONDOWN, 0, MakeLParam(p.X, p.Y));
                return;
            }
        }
    }
    TInplaceEdit::MouseMove(Shift, X, Y);
}

void TExtGridInplaceEdit::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    EndButtonTracking();
    TInplaceEdit::MouseUp(Button, Shift, X, Y);
}

void TExtGridInplaceEdit::UpdateButtonPressed(int X, int Y) {
    TRect r{ClientWidth() - FButtonWidth, 0, ClientWidth(), ClientHeight()};
    bool pressed = r.Contains({X, Y});
    if (pressed == FPressed) return;
    FPressed = pressed;
    if (HandleAllocated())
        InvalidateRect(Handle(), &r, false);
    else
        Invalidate();
}

void TExtGridInplaceEdit::EndButtonTracking() {
    if (!FTracking) return;
    UpdateButtonPressed(-1, -1);
    FTracking = false;
    SetMouseCapture(false);
}

void TExtGridInplaceEdit::PickListMouseUp(TObject*, TMouseButton Button, TShiftState, int X,
                                          int Y) {
    if (Button == mbLeft && FActiveList) ClosePickList(FActiveList->ClientRect().Contains({X, Y}));
}

// ---- painting ----

// The button is the system's combo-box arrow, drawn before the text, which is kept off it.
void TExtGridInplaceEdit::PaintWindow(HDC DC) {
    if (FEditStyle != esSimple) {
        TRect r = ButtonRect();
        UINT state = FPressed ? DFCS_FLAT | DFCS_PUSHED : 0;
        DrawFrameControl(DC, r, DFC_SCROLL, DFCS_SCROLLCOMBOBOX | state);
        ExcludeClipRect(DC, r.Left, r.Top, r.Right, r.Bottom);
    }
    TInplaceEdit::PaintWindow(DC);
}

// ---- TExtendedGrid
// -------------------------------------------------------------------------------

TExtendedGrid::TExtendedGrid(TComponent* AOwner) : TStringGrid(AOwner) {}

TExtendedGrid::~TExtendedGrid() = default;

TInplaceEdit* TExtendedGrid::CreateEditor() {
    return new TExtGridInplaceEdit(this);
}

TStrings* TExtendedGrid::GetValuesList() const {
    if (!FValuesList) FValuesList = std::make_unique<TStringList>();
    return FValuesList.get();
}

void TExtendedGrid::SetValuesList(TStrings* Value) {
    if (!Value) {
        FValuesList.reset();
        return;
    }
    GetValuesList()->Assign(Value);
}

void TExtendedGrid::SetValColumn(int Value) {
    if (Value >= 0 && Value < ColCount()) FValuesColumn = Value;
}

TColumnButtonStyle TExtendedGrid::GetButtonStyle() const {
    return Col() == FValuesColumn ? cbsAuto : cbsNone;
}

void TExtendedGrid::EditButtonClick() {
    if (OnEditButtonClick) OnEditButtonClick(this);
}

void TExtendedGrid::SelectValue(int ACol, int ARow, int AValueIndex) {
    if (FOnSelectValue) FOnSelectValue(this, ACol, ARow, AValueIndex);
    SetEditText(ACol, ARow, GetValuesList()->Get(AValueIndex));
}

void TExtendedGrid::SetEditText(int ACol, int ARow, const std::string& Value) {
    TStringGrid::SetEditText(ACol, ARow, Value);
}

void TExtendedGrid::ClearSelection() {
    if (TInplaceEdit* editor = InplaceEditor()) editor->SetSelStart(editor->TextLength());
}

// ---- published properties
// ------------------------------------------------------------------------

const TClassInfo& TExtendedGrid::StaticClassInfo() {
    using T = TExtendedGrid;
    static const TClassInfo info =
        TClassBuilder<T>("TExtendedGrid", &TStringGrid::StaticClassInfo())
            .Object("ValuesList", "TStrings", &T::GetValuesList, &T::SetValuesList)
            .Property("ValuesColumn", &T::GetValuesColumn, &T::SetValColumn)
            .Property("DropDownRows", &T::GetDropDownRows, &T::SetDropDownRows, Variant(5))
            .Property("ReadOnly", &T::GetReadOnly, &T::SetReadOnly, Variant(false))
            .Enum("ButtonStyle", "TColumnButtonStyle", {"cbsAuto", "cbsEllipsis", "cbsNone"},
                  &T::GetButtonStyle, nullptr)
            .Event("OnSelectValue", "TSelectValueEvent", &T::GetOnSelectValue, &T::SetOnSelectValue)
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
