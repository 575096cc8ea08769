// The relations editor: the modal dialog in which a designer builds a tree view's relation text
// by pairing a parent field with a key field. It knows nothing of datasets; it only moves names
// between its three lists. The dialog is read from its stored form description when created.
#pragma once

#include "orvel/host/controls/Buttons.h"
#include "orvel/host/controls/ExtCtrls.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/StdCtrls.h"

#include <string>

namespace orvel {

// The text between a relation's parent and key names.
inline constexpr const char* RelationArrow = "->";

// Splits a relation entry at its first "->": the parent name is the text before it, the key name
// the text after it. An entry without "->" gives an empty parent name and the entry less its first
// character as key name.
void SplitRelation(const std::string& entry, std::string& parent, std::string& key);

class TRelationsEditorDialog : public TForm {
    ORVEL_PUBLISHED(TRelationsEditorDialog)
public:
    explicit TRelationsEditorDialog(TComponent* AOwner);

    // The caller fills the three lists before showing the dialog and reads ResultListBox's
    // entries after mrOk.
    TListBox* ParentListBox = nullptr;
    TListBox* KeyListBox = nullptr;
    TButton* AddButton = nullptr;
    TListBox* ResultListBox = nullptr;
    TButton* RemoveButton = nullptr;
    TButton* ClearButton = nullptr;
    TButton* AdviseButton = nullptr;
    TBitBtn* OkButton = nullptr;
    TBitBtn* CancelButon = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TLabel* Label3 = nullptr;
    TBevel* Bevel1 = nullptr;
    TBevel* Bevel2 = nullptr;

    void AddButtonClick(TObject* Sender);
    void ParentListBoxClick(TObject* Sender);
    void KeyListBoxClick(TObject* Sender);
    void RemoveButtonClick(TObject* Sender);
    void ClearButtonClick(TObject* Sender);
    void ResultListBoxClick(TObject* Sender);

private:
    // Gives a relation's names back to the ends of the field lists and deletes it.
    void ReturnRelation(int Index);
};

} // namespace orvel
