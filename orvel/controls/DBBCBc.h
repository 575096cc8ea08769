// The bit check box: a check box bound to one group of bits (Mask) of an integer field, checked
// when all of them are set, unchecked when none is and grayed when only some are. Bound to a
// Boolean field it shows the field's value; bound to any other field it compares the field's
// text with the texts of ValueChecked and ValueUnchecked. Several boxes on one integer field edit
// a set of flags stored in one column, each box writing only its own bits.
#pragma once

#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/core/TypInfo.h"
#include "orvel/host/data/DataSource.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvel {

class TDBBitCheckBox : public TCustomCheckBox {
    ORVEL_PUBLISHED(TDBBitCheckBox)
public:
    explicit TDBBitCheckBox(TComponent* AOwner);
    ~TDBBitCheckBox() override;

    TDataSource* GetDataSource() const { return FDataLink->GetDataSource(); }
    void SetDataSource(TDataSource* Value);
    std::string GetDataField() const { return FDataLink->GetFieldName(); }
    void SetDataField(const std::string& Value) { FDataLink->SetFieldName(Value); }
    bool GetReadOnly() const { return FDataLink->GetReadOnly(); }
    void SetReadOnly(bool Value) { FDataLink->SetReadOnly(Value); }
    // The bound field: none while unbound or inactive.
    TField* Field() const { return FDataLink->Field(); }
    TFieldDataLink* DataLink() const { return FDataLink.get(); }

    // The bits the box stands for. Changing it shows at the next data change.
    int32_t GetMask() const { return FMask; }
    void SetMask(int32_t Value) { FMask = Value; }
    // ";"-separated texts that mean checked or unchecked on fields that are neither integer nor
    // Boolean; the first text of each is the one written. Changing them re-reads the state.
    const std::string& GetValueCheck() const { return FValueCheck; }
    void SetValueCheck(const std::string& Value);
    const std::string& GetValueUncheck() const { return FValueUncheck; }
    void SetValueUncheck(const std::string& Value);

    // The state the field's value gives.
    TCheckBoxState GetFieldState() const;
    // Some but not all of the mask's bits are set (or there is no value at all).
    bool IsThirdState() const;
    // Any of the mask's bits is set (for a Boolean field: its value, with a non-zero mask).
    bool GetFlag() const;
    // Sets or clears the mask's bits of the field, keeping its other bits.
    void Setflag(bool Value);
    // Whether one of the ";"-separated texts of ValueList equals Value, without regard to case.
    static bool ValueMatch(const std::string& ValueList, const std::string& Value);

    void Notification(TComponent* AComponent, TOperation Operation) override;
    void WndProc(TMessage& Message) override;

protected:
    void Toggle() override;
    void KeyPress(char& Key) override;
    void CMExit(TMessage& Message) override;
    void WMPaint(TMessage& Message) override;

private:
    void DataChange(TObject* Sender);
    void UpdateData(TObject* Sender);
    bool IsFlagField() const;
    bool IsIntegerField() const;

    std::unique_ptr<TFieldDataLink> FDataLink;
    std::string FValueCheck;
    std::string FValueUncheck;
    std::unique_ptr<TPaintControl> FPaintControl;
    int32_t FMask = 0;
};

} // namespace orvel
