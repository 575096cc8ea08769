// TDBValueLookupCombo: the code-to-text mapping, writing the code back, edit state on every user
// action, the window-message filter, replicated painting and the palette registration.
#include "orvel/controls/ValueLookupCombo.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"
#include "orvel/host/data/DBCommon.h"
#include "orvel/host/design/DesignIntf.h"

#include <exception>

namespace orvel {

TDBValueLookupCombo::TDBValueLookupCombo(TComponent* AOwner)
    : TCustomComboBox(AOwner), FDataLink(std::make_unique<TFieldDataLink>()) {
    TControlStyle style = ControlStyle();
    style.Include(csReplicatable);
    SetControlStyle(style);
    FDataLink->SetControl(this);
    FDataLink->OnDataChange = TNotifyEvent::Bind<&TDBValueLookupCombo::DataChange>(this);
    FDataLink->OnUpdateData = TNotifyEvent::Bind<&TDBValueLookupCombo::UpdateData>(this);
    FDataLink->OnEditingChange = TNotifyEvent::Bind<&TDBValueLookupCombo::EditingChange>(this);
    FPaintControl = std::make_unique<TPaintControl>(this, "COMBOBOX");
}

TDBValueLookupCombo::~TDBValueLookupCombo() {
    FPaintControl.reset();
    FDataLink.reset();
}

void TDBValueLookupCombo::SetDataSource(TDataSource* Value) {
    TDataSource* old = FDataLink->GetDataSource();
    if (Value == old) return;
    FDataLink->SetDataSource(Value);
    if (old) RemoveFreeNotification(old);
    if (Value) FreeNotification(Value);
}

void TDBValueLookupCombo::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomComboBox::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && FDataLink && AComponent == GetDataSource())
        SetDataSource(nullptr);
}

void TDBValueLookupCombo::SetItems(TStrings* Value) {
    Items()->Assign(Value);
    DataChange(this);
}

void TDBValueLookupCombo::SetStyle(TComboBoxStyle Value) {
    if (Value == csSimple && FDataLink && FDataLink->GetDataSourceFixed())
        DatabaseError(LoadStr(SNotReplicatable));
    TCustomComboBox::SetStyle(Value);
}

void TDBValueLookupCombo::CreateWnd() {
    TCustomComboBox::CreateWnd();
    SetEditReadOnly();
}

// ---- the code-to-text mapping
// --------------------------------------------------------------------

int TDBValueLookupCombo::IndexOfCode(const Variant& Value) const {
    if (Value.IsNull()) return -1;
    try {
        return Items()->IndexOfObject(IntToObject(Value.AsInteger()));
    } catch (const std::exception&) {
        return -1; // not a whole number: no entry
    }
}

std::string TDBValueLookupCombo::LookupText(const Variant& Value) const {
    int index = IndexOfCode(Value);
    return index < 0 ? std::string() : Items()->Get(index);
}

void TDBValueLookupCombo::SetComboInt(const Variant& Value) {
    SetComboText(LookupText(Value));
}

Variant TDBValueLookupCombo::GetComboInt() const {
    if (ItemIndex() < 0) return Variant::Null();
    return Variant(ObjectToInt(Items()->GetObject(ItemIndex())));
}

std::string TDBValueLookupCombo::GetComboText() const {
    if (IsEditStyle()) return Text();
    return ItemIndex() >= 0 ? Items()->Get(ItemIndex()) : std::string();
}

void TDBValueLookupCombo::SetComboText(const std::string& Value) {
    if (Value == GetComboText()) return;
    if (Style() != csDropDown) {
        // A list without edit box would flicker through the empty selection: draw once.
        bool redrawOff = Style() != csSimple && HandleAllocated();
        if (redrawOff) SendMessage(Handle(), WM_SETREDRAW, 0, 0);
        int index = -1;
        try {
            index = Value.empty() ? -1 : Items()->IndexOf(Value);
            SetItemIndex(index);
        } catch (...) {
            if (redrawOff) {
                SendMessage(Handle(), WM_SETREDRAW, 1, 0);
                Invalidate();
            }
            throw;
        }
        if (redrawOff) {
            SendMessage(Handle(), WM_SETREDRAW, 1, 0);
            Invalidate();
        }
        if (index >= 0) return;
    }
    if (IsEditStyle()) SetText(Value);
}

// ---- the data link's events
// ----------------------------------------------------------------------

void TDBValueLookupCombo::DataChange(TObject*) {
    if (FOnDataChanged) FOnDataChanged(this);
    if (TField* field = GetField())
        SetComboInt(field->GetValue());
    else if (IsDesigning())
        SetComboText(Name());
    else
        SetComboText("");
}

void TDBValueLookupCombo::UpdateData(TObject*) {
    if (TField* field = GetField()) field->SetValue(GetComboInt());
}

void TDBValueLookupCombo::EditingChange(TObject*) {
    SetEditReadOnly();
}

// The edit box takes typing only while the record is being edited.
void TDBValueLookupCombo::SetEditReadOnly() {
    if (!IsEditStyle() || !HandleAllocated()) return;
    if (HWND edit = EditHandle())
        SendMessage(edit, EM_SETREADONLY, FDataLink->Editing() ? 0 : 1, 0);
}

// ---- user actions: edit state first
// --------------------------------------------------------------

void TDBValueLookupCombo::Change() {
    FDataLink->Edit();
    TCustomComboBox::Change();
    FDataLink->Modified();
}

void TDBValueLookupCombo::Click() {
    FDataLink->Edit();
    TCustomComboBox::Click();
    FDataLink->Modified();
}

void TDBValueLookupCombo::DropDown() {
    FDataLink->Edit();
    TCustomComboBox::DropDown();
}

void TDBValueLookupCombo::KeyDown(uint16_t& Key, TShiftState Shift) {
    TCustomComboBox::KeyDown(Key, Shift);
    // Backspace and every key from Space on (Delete, Up and Down among them) may change the value.
    if (Key == VK_BACK || (Key >= 32 && Key <= 255)) {
        if (!FDataLink->Edit() && (Key == VK_UP || Key == VK_DOWN)) Key = 0;
    }
}

void TDBValueLookupCombo::KeyPress(char& Key) {
    TCustomComboBox::KeyPress(Key);
    auto code = static_cast<unsigned char>(Key);
    TField* field = GetField();
    if (code >= 32 && field && !field->IsValidChar(Key)) {
        MessageBeep(0);
        Key = 0;
        code = 0;
    }
    switch (code) {
    case 8:  // Ctrl+H, Backspace
    case 22: // Ctrl+V
    case 24: // Ctrl+X
        FDataLink->Edit();
        break;
    case 27: // Escape: the field's value comes back
        FDataLink->Reset();
        SelectAll();
        Key = 0;
        break;
    default:
        if (code >= 32) FDataLink->Edit();
        break;
    }
}

// Leaving the combo writes the chosen code; a failed write keeps the focus here.
void TDBValueLookupCombo::CMExit(TMessage& Message) {
    try {
        FDataLink->UpdateRecord();
    } catch (...) {
        SelectAll();
        if (CanFocus()) SetFocus();
        throw;
    }
    TCustomComboBox::CMExit(Message);
}

// ---- window messages
// -----------------------------------------------------------------------------

void TDBValueLookupCombo::WndProc(TMessage& Message) {
    if (Message.Msg == CM_GETDATALINK) {
        Message.Result = reinterpret_cast<LRESULT>(FDataLink.get());
        return;
    }
    if (!IsDesigning()) {
        switch (Message.Msg) {
        case WM_COMMAND:
            // The selection has moved already: a refused change is undone, never passed on.
            if (HiWord(Message.WParam) == CBN_SELCHANGE && !FDataLink->Edit()) {
                if (Style() != csSimple)
                    PostMessage(Handle(), CB_SHOWDROPDOWN, 0, 0);
                else
                    DataChange(this); // no list to close: the field's value is shown at once
                return;
            }
            break;
        case CB_SHOWDROPDOWN:
            if (Message.WParam != 0)
                FDataLink->Edit();
            else if (!FDataLink->Editing())
                DataChange(this);
            break;
        case WM_CREATE:
        case WM_WINDOWPOSCHANGED:
        case CM_FONTCHANGED:
            // The copy is made again with the current size and font when next painted.
            if (FPaintControl) FPaintControl->DestroyHandle();
            break;
        default:
            break;
        }
    }
    TCustomComboBox::WndProc(Message);
}

void TDBValueLookupCombo::ComboWndProc(TMessage& Message, HWND ComboWnd) {
    // A click into the always-visible list of csSimple asks for edit state; refused, it is
    // swallowed.
    if (!IsDesigning() && Message.Msg == WM_LBUTTONDOWN && Style() == csSimple &&
        ComboWnd != EditHandle() && !FDataLink->Edit())
        return;
    TCustomComboBox::ComboWndProc(Message, ComboWnd);
}

void TDBValueLookupCombo::WMPaint(TMessage& Message) {
    if (!ControlState().Contains(csPaintCopy)) {
        TCustomComboBox::WMPaint(Message);
        return;
    }
    PaintCopy(static_cast<HDC>(Message.WParam));
}

// Draws the record being painted through the hidden copy window. The copy shows the same text
// the live control would show for that record: the looked-up display text, not the stored code.
void TDBValueLookupCombo::PaintCopy(HDC DC) {
    TField* field = GetField();
    std::string text = field ? LookupText(field->GetValue()) : std::string();
    HWND copy = FPaintControl->Handle();
    if (Style() == csDropDown) {
        SendMessage(copy, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessage(copy, WM_PAINT, static_cast<WPARAM>(DC), 0);
        HWND child = GetWindow(copy, GW_CHILD);
        if (!child) return;
        TRect r;
        GetClientRect(child, r);
        MapWindowPoints(child, copy, r);
        TPoint origin;
        GetWindowOrgEx(DC, &origin);
        SetWindowOrgEx(DC, origin.X - r.Left, origin.Y - r.Top, nullptr);
        IntersectClipRect(DC, 0, 0, r.Width(), r.Height());
        SendMessage(child, WM_PAINT, static_cast<WPARAM>(DC), 0);
        SetWindowOrgEx(DC, origin.X, origin.Y, nullptr);
        return;
    }
    SendMessage(copy, CB_RESETCONTENT, 0, 0);
    if (Items()->IndexOf(text) != -1) {
        SendMessage(copy, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessage(copy, CB_SETCURSEL, 0, 0);
    }
    SendMessage(copy, WM_PAINT, static_cast<WPARAM>(DC), 0);
}

// ---- published properties and registration ------------------------------------------------------

const TClassInfo& TDBValueLookupCombo::StaticClassInfo() {
    using T = TDBValueLookupCombo;
    static const TClassInfo info =
        TClassBuilder<T>("TDBValueLookupCombo", &TWinControl::StaticClassInfo())
            .Republish(TCustomComboBox::HostProperties(), {"Style"})
            .Property("DataField", &T::GetDataField, &T::SetDataField, Variant(""))
            .Object("DataSource", "TDataSource", &T::GetDataSource, &T::SetDataSource)
            .Republish(TCustomComboBox::HostProperties(), {"DropDownCount"})
            .Object("LookupValues", "TStrings", &T::GetItems, &T::SetItems)
            .WithObjectCodes()
            .Property("ReadOnly", &T::GetReadOnly, &T::SetReadOnly, Variant(false))
            .Republish(TCustomComboBox::HostProperties(), {"Sorted", "ParentColor"})
            .Event("OnDataChanged", "TNotifyEvent", &T::GetOnDataChanged, &T::SetOnDataChanged)
            .Republish(
                TCustomComboBox::HostProperties(),
                {"Color",      "Ctl3D",      "DragMode",    "DragCursor",    "Enabled",
                 "Font",       "ItemHeight", "ParentCtl3D", "ParentFont",    "ParentShowHint",
                 "PopupMenu",  "ShowHint",   "TabOrder",    "TabStop",       "Visible",
                 "OnChange",   "OnClick",    "OnDblClick",  "OnDragDrop",    "OnDragOver",
                 "OnDrawItem", "OnDropDown", "OnEndDrag",   "OnEnter",       "OnExit",
                 "OnKeyDown",  "OnKeyPress", "OnKeyUp",     "OnMeasureItem", "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

namespace ValueLookupCombo {

void Register() {
    RegisterComponents("Samples", {&TDBValueLookupCombo::StaticClassInfo()});
}

} // namespace ValueLookupCombo

} // namespace orvel
