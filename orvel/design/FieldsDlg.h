// The key fields editor: the modal dialog in which a designer chooses an ordered list of field
// names (a list view's key fields or column fields). In unique mode a name moves from the
// possible list to the chosen list and back; in repeats mode the possible list stays whole and a
// name may be chosen more than once. The dialog is read from its stored form description.
#pragma once

#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/StdCtrls.h"

namespace orvel {

class TKeysEditorDialog : public TForm {
    ORVEL_PUBLISHED(TKeysEditorDialog)
public:
    // The host form construction, then unique mode.
    explicit TKeysEditorDialog(TComponent* AOwner);

    bool Unique() const { return FUnique; }
    // Set by the caller before the dialog is shown.
    void SetUnique(bool Value) { FUnique = Value; }

    // Filled by the caller: SetItemsListBox with the current choice, PossibleItemsListBox with
    // the candidates; SetItemsListBox's entries are read after mrOk.
    TListBox* PossibleItemsListBox = nullptr;
    TButton* AddButton = nullptr;
    TListBox* SetItemsListBox = nullptr;
    TButton* RemoveButton = nullptr;
    TButton* OkButton = nullptr;
    TButton* CancelButton = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TBevel* Bevel1 = nullptr;

    void AddButtonClick(TObject* Sender);
    void RemoveButtonClick(TObject* Sender);
    void PossibleItemsListBoxClick(TObject* Sender);
    void SetItemsListBoxClick(TObject* Sender);

private:
    bool FUnique = true;
};

} // namespace orvel
