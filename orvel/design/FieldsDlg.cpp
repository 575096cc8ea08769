// The key fields editor dialog.
#include "orvel/design/FieldsDlg.h"

#include "orvel/host/controls/ControlClasses.h"
#include "orvel/host/design/FormFiles.h"

namespace orvel {

namespace {

const char* const KeysEditorForm = R"(object KeysEditorDialog: TKeysEditorDialog
  Left = 220
  Top = 140
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Fields Selection Dialog'
  ClientHeight = 256
  ClientWidth = 412
  Position = poScreenCenter
  object Label1: TLabel
    Left = 8
    Top = 8
    Caption = '&Possible Fields'
    FocusControl = PossibleItemsListBox
  end
  object PossibleItemsListBox: TListBox
    Left = 8
    Top = 24
    Width = 150
    Height = 180
    MultiSelect = True
    TabOrder = 0
    OnClick = PossibleItemsListBoxClick
  end
  object AddButton: TButton
    Left = 166
    Top = 60
    Width = 80
    Height = 25
    Caption = '&Add '
    Enabled = False
    TabOrder = 1
    OnClick = AddButtonClick
  end
  object RemoveButton: TButton
    Left = 166
    Top = 92
    Width = 80
    Height = 25
    Caption = '&Remove'
    Enabled = False
    TabOrder = 3
    OnClick = RemoveButtonClick
  end
  object Label2: TLabel
    Left = 254
    Top = 8
    Caption = '&Set Fields'
    FocusControl = SetItemsListBox
  end
  object SetItemsListBox: TListBox
    Left = 254
    Top = 24
    Width = 150
    Height = 180
    MultiSelect = True
    TabOrder = 2
    OnClick = SetItemsListBoxClick
  end
  object Bevel1: TBevel
    Left = 4
    Top = 212
    Width = 404
    Height = 2
    Shape = bsTopLine
  end
  object OkButton: TButton
    Left = 236
    Top = 222
    Width = 80
    Height = 25
    Caption = 'Ok'
    ModalResult = mrOk
    TabOrder = 4
  end
  object CancelButton: TButton
    Left = 324
    Top = 222
    Width = 80
    Height = 25
    Caption = 'Cancel'
    ModalResult = mrCancel
    TabOrder = 5
  end
end
)";

} // namespace

const TClassInfo& TKeysEditorDialog::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TKeysEditorDialog>("TKeysEditorDialog", &TForm::StaticClassInfo()).Build();
    return info;
}

TKeysEditorDialog::TKeysEditorDialog(TComponent* AOwner) : TForm(AOwner) {
    using T = TKeysEditorDialog;
    RegisterControlClasses();
    TFormBinding binding;
    binding.Field("PossibleItemsListBox", PossibleItemsListBox)
        .Field("AddButton", AddButton)
        .Field("SetItemsListBox", SetItemsListBox)
        .Field("RemoveButton", RemoveButton)
        .Field("OkButton", OkButton)
        .Field("CancelButton", CancelButton)
        .Field("Label1", Label1)
        .Field("Label2", Label2)
        .Field("Bevel1", Bevel1)
        .Method("AddButtonClick", TNotifyEvent::Bind<&T::AddButtonClick>(this))
        .Method("RemoveButtonClick", TNotifyEvent::Bind<&T::RemoveButtonClick>(this))
        .Method("PossibleItemsListBoxClick",
                TNotifyEvent::Bind<&T::PossibleItemsListBoxClick>(this))
        .Method("SetItemsListBoxClick", TNotifyEvent::Bind<&T::SetItemsListBoxClick>(this));
    TFormReadOptions options;
    options.Binding = &binding;
    ReadRootFromText(KeysEditorForm, this, options);
    FUnique = true;
}

void TKeysEditorDialog::PossibleItemsListBoxClick(TObject*) {
    AddButton->SetEnabled(PossibleItemsListBox->ItemIndex() != -1);
}

void TKeysEditorDialog::SetItemsListBoxClick(TObject*) {
    RemoveButton->SetEnabled(SetItemsListBox->ItemIndex() != -1);
}

void TKeysEditorDialog::AddButtonClick(TObject*) {
    TStrings& possible = *PossibleItemsListBox->Items();
    TStrings& chosen = *SetItemsListBox->Items();
    int i = 0;
    while (i < possible.Count()) {
        std::string name = possible.Get(i);
        bool take =
            PossibleItemsListBox->Selected(i) && !(FUnique && IndexOfExact(chosen, name) != -1);
        if (!take) {
            ++i;
            continue;
        }
        chosen.Add(name);
        if (FUnique)
            possible.Delete(i); // the next entry moves into place i
        else
            ++i;
    }
    PossibleItemsListBox->ClearSelection();
    AddButton->SetEnabled(false);
}

void TKeysEditorDialog::RemoveButtonClick(TObject*) {
    TStrings& chosen = *SetItemsListBox->Items();
    int i = 0;
    while (i < chosen.Count()) {
        if (!SetItemsListBox->Selected(i)) {
            ++i;
            continue;
        }
        if (FUnique) PossibleItemsListBox->Items()->Add(chosen.Get(i));
        chosen.Delete(i);
    }
    RemoveButton->SetEnabled(false);
}

} // namespace orvel
