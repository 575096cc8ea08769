// The value lookup combo: a combo box bound to an integer field whose entries are display texts,
// each carrying an integer code in its object slot. It shows the text of the first entry whose
// code equals the field's value and writes the chosen entry's code (or null) back into the field.
// Every user action that may change the value first asks the data link for edit state; a refused
// change is undone, so the combo never shows a value the record does not hold.
#pragma once

#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/Strings.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/core/Variant.h"
#include "orvel/host/data/DataSource.h"

#include <memory>
#include <string>

namespace orvel {

class TDBValueLookupCombo : public TCustomComboBox {
    ORVEL_PUBLISHED(TDBValueLookupCombo)
public:
    explicit TDBValueLookupCombo(TComponent* AOwner);
    ~TDBValueLookupCombo() override;

    TDataSource* GetDataSource() const { return FDataLink->GetDataSource(); }
    void SetDataSource(TDataSource* Value);
    std::string GetDataField() const { return FDataLink->GetFieldName(); }
    void SetDataField(const std::string& Value) { FDataLink->SetFieldName(Value); }
    bool GetReadOnly() const { return FDataLink->GetReadOnly(); }
    void SetReadOnly(bool Value) { FDataLink->SetReadOnly(Value); }
    // The bound field: none while unbound or inactive.
    TField* GetField() const { return FDataLink->Field(); }
    TFieldDataLink* DataLink() const { return FDataLink.get(); }

    // The lookup list is the combo's own entries: texts with their codes (IntToObject).
    TStrings* GetItems() const { return Items(); }
    // Copies texts and codes, then shows the field again.
    void SetItems(TStrings* Value);

    // A csSimple style needs the edit box and list of a live window: refused with the host's
    // database error on a replicated copy (fixed data source).
    void SetStyle(TComboBoxStyle Value) override;

    void Notification(TComponent* AComponent, TOperation Operation) override;
    void WndProc(TMessage& Message) override;

    // The code of the selected entry, Null when none is selected.
    Variant GetComboInt() const;
    // Selects the first entry whose code equals Value (none for Null or a value that is not a
    // whole number).
    void SetComboInt(const Variant& Value);
    // The text shown: the edit box's for the styles with one, else the selected entry's.
    std::string GetComboText() const;
    void SetComboText(const std::string& Value);

    TNotifyEvent GetOnDataChanged() const { return FOnDataChanged; }
    void SetOnDataChanged(TNotifyEvent Value) { FOnDataChanged = std::move(Value); }

protected:
    void CreateWnd() override;
    void ComboWndProc(TMessage& Message, HWND ComboWnd) override;
    void Change() override;
    void Click() override;
    void DropDown() override;
    void KeyDown(uint16_t& Key, TShiftState Shift) override;
    void KeyPress(char& Key) override;
    void CMExit(TMessage& Message) override;
    void WMPaint(TMessage& Message) override;

private:
    void DataChange(TObject* Sender);
    void UpdateData(TObject* Sender);
    void EditingChange(TObject* Sender);
    void SetEditReadOnly();
    // The text of the first entry whose code equals Value, or the empty text.
    std::string LookupText(const Variant& Value) const;
    int IndexOfCode(const Variant& Value) const;
    void PaintCopy(HDC DC);

    std::unique_ptr<TFieldDataLink> FDataLink;
    std::unique_ptr<TPaintControl> FPaintControl;
    TNotifyEvent FOnDataChanged;
};

namespace ValueLookupCombo {
// Puts the combo alone on the palette page "Samples".
void Register();
} // namespace ValueLookupCombo

} // namespace orvel
