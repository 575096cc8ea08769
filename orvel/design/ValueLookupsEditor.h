// The lookup values editor: the modal dialog in which a designer edits a value lookup combo's
// list, display texts in a memo and beside each line its integer code, shown and typed in the
// form the bound field's type gives (an integer, a number, or a yes/no word). Lines and codes
// are matched by position. The dialog is read from its stored form description.
#pragma once

#include "orvel/host/controls/Buttons.h"
#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/StdCtrls.h"
#include "orvel/host/data/DBCommon.h"

#include <cstdint>
#include <memory>
#include <string>

namespace orvel {

// The conversions of a code for a field type: its text, whether a typed text is valid, and the
// code a valid text gives. Integer types show decimal numbers, ftBoolean the words False and
// True (typed as false/off/0/- or true/on/1/+), ftFloat numbers rounded to the nearest integer
// (halves to the even one); every other type shows an empty text and takes none.
std::string LookupCodeToText(TFieldType Type, int32_t Code);
bool LookupTextIsValid(TFieldType Type, const std::string& Text);
int32_t LookupTextToCode(TFieldType Type, const std::string& Text);

class TFmLookupValues : public TForm {
    ORVEL_PUBLISHED(TFmLookupValues)
public:
    explicit TFmLookupValues(TComponent* AOwner);

    TFieldType TypeIndex() const { return FTypeIndex; }
    // The bound field's type; the value column is disabled for a string field. Set before the
    // lines.
    void SetTypeIndex(TFieldType Value);
    // The memo shows the texts; the value column each entry's code as text, with the code kept.
    void SetLines(TStrings* Strings);
    // The memo's lines, each with the code of the value entry at its place (0 past the last).
    std::unique_ptr<TStringList> GetLines() const;
    // Whether the user changed the memo or typed a value.
    bool IsModified() const;

    TPanel* PnEdit = nullptr;
    TLabel* LbNames = nullptr;
    TMemo* MmLines = nullptr;
    TLabel* LbValues = nullptr;
    TListBox* LXValues = nullptr;
    TEdit* EdValue = nullptr;
    TBitBtn* BBnOk = nullptr;
    TBitBtn* BBnCancel = nullptr;

    void LXValuesClick(TObject* Sender);
    void LXValuesEnter(TObject* Sender);
    void LXValuesExit(TObject* Sender);
    void FormCreate(TObject* Sender);
    void EdValueChange(TObject* Sender);
    void MmLinesKeyPress(TObject* Sender, char& Key);
    void EdValueExit(TObject* Sender);

private:
    TFieldType FTypeIndex = ftUnknown;
};

} // namespace orvel
