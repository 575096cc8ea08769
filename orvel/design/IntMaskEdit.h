// The bit mask editor: the modal dialog in which a designer sets a bit check box's 32-bit mask by
// ticking one check box per bit, four groups of eight from the highest byte down. The dialog is
// read from its stored form description.
#pragma once

#include "orvel/host/controls/Buttons.h"
#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/StdCtrls.h"

#include <array>
#include <cstdint>

namespace orvel {

class TMaskEditor : public TForm {
    ORVEL_PUBLISHED(TMaskEditor)
public:
    explicit TMaskEditor(TComponent* AOwner);

    // Ticks exactly the boxes of the value's bits and shows it; the boxes' click handlers change
    // nothing meanwhile.
    void SetMask(int32_t Value);
    // The mask being edited; the caller reads it after mrOk.
    int32_t Mask() const { return FMask; }
    // One box changed: its bit is set or cleared in the mask (ignored while SetMask runs).
    void RetrieveDataFromForm(int32_t BitValue, bool Checked);
    // The check box of a bit (0..31).
    TCheckBox* BitBox(int Bit) const { return FBitBoxes.at(static_cast<std::size_t>(Bit)); }

    TGroupBox* GroupBox1 = nullptr;
    TGroupBox* GroupBox2 = nullptr;
    TGroupBox* GroupBox3 = nullptr;
    TGroupBox* GroupBox4 = nullptr;
    TPanel* Panel1 = nullptr;
    TGroupBox* GroupBox5 = nullptr;
    TLabel* TestLabel = nullptr;
    TBitBtn* BitBtn1 = nullptr;
    TBitBtn* BitBtn2 = nullptr;

    void FormCreate(TObject* Sender);
    void BitCBClick(TObject* Sender);
    void BitBtn1Click(TObject* Sender);

private:
    void ShowMask();

    int32_t FMask = 0;
    bool FUpdating = false;
    std::array<TCheckBox*, 32> FBitBoxes{};
};

} // namespace orvel
