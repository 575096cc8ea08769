// TDBBitCheckBox: reading the state from integer, Boolean and text fields, toggling and writing
// the box's bits back, keys, and replicated painting.
#include "orvel/controls/DBBCBc.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/data/DBCommon.h"

namespace orvel {

TDBBitCheckBox::TDBBitCheckBox(TComponent* AOwner)
    : TCustomCheckBox(AOwner), FDataLink(std::make_unique<TFieldDataLink>()),
      FValueCheck(LoadStr(STextTrue)), FValueUncheck(LoadStr(STextFalse)) {
    TControlStyle style = ControlStyle();
    style.Include(csReplicatable);
    SetControlStyle(style);
    SetState(cbUnchecked);
    FDataLink->SetControl(this);
    FDataLink->OnDataChange = TNotifyEvent::Bind<&TDBBitCheckBox::DataChange>(this);
    FDataLink->OnUpdateData = TNotifyEvent::Bind<&TDBBitCheckBox::UpdateData>(this);
    FPaintControl = std::make_unique<TPaintControl>(this, "BUTTON");
    FPaintControl->SetCtl3DButton(true);
}

TDBBitCheckBox::~TDBBitCheckBox() {
    FPaintControl.reset();
    FDataLink.reset();
}

void TDBBitCheckBox::SetDataSource(TDataSource* Value) {
    TDataSource* old = FDataLink->GetDataSource();
    if (Value == old) return;
    FDataLink->SetDataSource(Value);
    if (old) RemoveFreeNotification(old);
    if (Value) FreeNotification(Value);
}

void TDBBitCheckBox::Notification(TComponent* AComponent, TOperation Operation) {
    TCustomCheckBox::Notification(AComponent, Operation);
    if (Operation == TOperation::opRemove && FDataLink && AComponent == GetDataSource())
        SetDataSource(nullptr);
}

void TDBBitCheckBox::SetValueCheck(const std::string& Value) {
    FValueCheck = Value;
    DataChange(this);
}

void TDBBitCheckBox::SetValueUncheck(const std::string& Value) {
    FValueUncheck = Value;
    DataChange(this);
}

// ---- field kinds -------------------------------------------------------------------------------

// Integer fields hold the bits; Boolean fields are one flag.
bool TDBBitCheckBox::IsIntegerField() const {
    TField* field = Field();
    if (!field) return false;
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return true;
    default:
        return false;
    }
}

bool TDBBitCheckBox::IsFlagField() const {
    TField* field = Field();
    return field && (IsIntegerField() || field->DataType() == ftBoolean);
}

// ---- reading the state -------------------------------------------------------------------------

bool TDBBitCheckBox::IsThirdState() const {
    TField* field = Field();
    if (!field || field->IsNull()) return true;
    // A Boolean field is one flag: apart from null it is true or false.
    if (field->DataType() == ftBoolean) return false;
    // Compared as bit sets, so a mask with bit 31 set behaves as any other.
    int32_t bits = field->GetAsInteger() & FMask;
    return bits != 0 && bits != FMask;
}

bool TDBBitCheckBox::GetFlag() const {
    TField* field = Field();
    if (!field || field->IsNull()) return false;
    if (IsIntegerField()) return (field->GetAsInteger() & FMask) != 0;
    return field->GetAsBoolean() && FMask != 0;
}

TCheckBoxState TDBBitCheckBox::GetFieldState() const {
    TField* field = Field();
    if (!field) return cbUnchecked;
    if (field->IsNull()) return cbGrayed;
    if (IsFlagField()) {
        try {
            if (IsThirdState()) return cbGrayed;
            return GetFlag() ? cbChecked : cbUnchecked;
        } catch (const EConvertError&) {
            return cbGrayed; // a stored value that is no number: unknown, not an error
        } catch (const EVariantError&) {
            return cbGrayed;
        }
    }
    std::string text = field->GetText();
    if (ValueMatch(FValueCheck, text)) return cbChecked;
    if (ValueMatch(FValueUncheck, text)) return cbUnchecked;
    return cbGrayed;
}

bool TDBBitCheckBox::ValueMatch(const std::string& ValueList, const std::string& Value) {
    int pos = 1;
    while (pos <= static_cast<int>(ValueList.size()))
        if (SameText(ExtractFieldName(ValueList, pos), Value)) return true;
    return false;
}

void TDBBitCheckBox::DataChange(TObject*) {
    SetState(GetFieldState());
}

// ---- changing the value ------------------------------------------------------------------------

void TDBBitCheckBox::Toggle() {
    if (!FDataLink->Edit()) return;
    TCustomCheckBox::Toggle();
    FDataLink->Modified();
}

void TDBBitCheckBox::KeyPress(char& Key) {
    TCustomCheckBox::KeyPress(Key);
    switch (Key) {
    case 8:
    case ' ':
        FDataLink->Edit();
        break;
    case 27:
        FDataLink->Reset();
        break;
    default:
        break;
    }
}

void TDBBitCheckBox::Setflag(bool Value) {
    TField* field = Field();
    if (!field) return;
    if (IsIntegerField()) {
        int32_t bits = field->GetAsInteger();
        field->SetAsInteger(Value ? bits | FMask : bits & ~FMask);
        return;
    }
    if (Value)
        field->SetAsBoolean(field->GetAsBoolean() || FMask != 0);
    else
        field->SetAsBoolean(field->GetAsBoolean() && FMask == 0);
}

void TDBBitCheckBox::UpdateData(TObject*) {
    TField* field = Field();
    if (!field) return;
    if (State() == cbGrayed) {
        // Grayed means no value. On an integer field shared with other boxes, clearing it would
        // wipe their bits as well: the field then keeps its value.
        if (IsIntegerField() && !field->IsNull() && (field->GetAsInteger() & ~FMask) != 0) return;
        field->Clear();
    } else if (IsFlagField()) {
        Setflag(Checked());
    } else {
        int pos = 1;
        field->SetText(ExtractFieldName(Checked() ? FValueCheck : FValueUncheck, pos));
    }
}

// Leaving the box writes its value; a failed write keeps the focus here.
void TDBBitCheckBox::CMExit(TMessage& Message) {
    try {
        FDataLink->UpdateRecord();
    } catch (...) {
        if (CanFocus()) SetFocus();
        throw;
    }
    TCustomCheckBox::CMExit(Message);
}

// ---- window messages and painting --------------------------------------------------------------

void TDBBitCheckBox::WndProc(TMessage& Message) {
    switch (Message.Msg) {
    case CM_GETDATALINK:
        Message.Result = reinterpret_cast<LRESULT>(FDataLink.get());
        return;
    case WM_CREATE:
    case WM_WINDOWPOSCHANGED:
    case CM_TEXTCHANGED:
    case CM_FONTCHANGED:
        // The copy is made again with the current size, text and font when next painted.
        if (FPaintControl) FPaintControl->DestroyHandle();
        break;
    default:
        break;
    }
    TCustomCheckBox::WndProc(Message);
}

// A copy inside a repeating panel shows the state of the record being painted.
void TDBBitCheckBox::WMPaint(TMessage& Message) {
    if (!ControlState().Contains(csPaintCopy)) {
        TCustomCheckBox::WMPaint(Message);
        return;
    }
    HWND copy = FPaintControl->Handle();
    SendMessage(copy, BM_SETCHECK, static_cast<WPARAM>(GetFieldState()), 0);
    SendMessage(copy, WM_PAINT, Message.WParam, 0);
}

// ---- published properties ----------------------------------------------------------------------

const TClassInfo& TDBBitCheckBox::StaticClassInfo() {
    using T = TDBBitCheckBox;
    static const TClassInfo info =
        TClassBuilder<T>("TDBBitCheckBox", &TWinControl::StaticClassInfo())
            .Object("DataSource", "TDataSource", &T::GetDataSource, &T::SetDataSource)
            .Property("DataField", &T::GetDataField, &T::SetDataField, Variant(""))
            .Property("Mask", &T::GetMask, &T::SetMask)
            .Property("ReadOnly", &T::GetReadOnly, &T::SetReadOnly, Variant(false))
            .Property("ValueChecked", &T::GetValueCheck, &T::SetValueCheck,
                      Variant(LoadStr(STextTrue)))
            .Property("ValueUnchecked", &T::GetValueUncheck, &T::SetValueUncheck,
                      Variant(LoadStr(STextFalse)))
            .Republish(TCustomCheckBox::HostProperties(),
                       {"Alignment",      "AllowGrayed", "Caption",     "Color",
                        "Ctl3D",          "DragCursor",  "DragMode",    "Enabled",
                        "Font",           "ParentColor", "ParentCtl3D", "ParentFont",
                        "ParentShowHint", "PopupMenu",   "ShowHint",    "TabOrder",
                        "TabStop",        "Visible",     "OnClick",     "OnDragDrop",
                        "OnDragOver",     "OnEndDrag",   "OnEnter",     "OnExit",
                        "OnKeyDown",      "OnKeyPress",  "OnKeyUp",     "OnMouseDown",
                        "OnMouseMove",    "OnMouseUp",   "OnStartDrag"})
            .Creatable()
            .Build();
    return info;
}

} // namespace orvel
