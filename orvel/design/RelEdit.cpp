// The relations editor dialog.
#include "orvel/design/RelEdit.h"

#include "orvel/host/controls/ControlClasses.h"
#include "orvel/host/design/FormFiles.h"

namespace orvel {

namespace {

const char* const RelationsEditorForm = R"(object RelationsEditorDialog: TRelationsEditorDialog
  Left = 200
  Top = 120
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Relational links editor'
  ClientHeight = 346
  ClientWidth = 402
  Position = poScreenCenter
  object Bevel1: TBevel
    Left = 4
    Top = 4
    Width = 394
    Height = 150
    Shape = bsFrame
  end
  object Label1: TLabel
    Left = 12
    Top = 10
    Caption = '&Parent Fields'
    FocusControl = ParentListBox
  end
  object ParentListBox: TListBox
    Left = 12
    Top = 26
    Width = 136
    Height = 120
    TabOrder = 0
    OnClick = ParentListBoxClick
  end
  object Label2: TLabel
    Left = 156
    Top = 10
    Caption = '&Key Fields'
    FocusControl = KeyListBox
  end
  object KeyListBox: TListBox
    Left = 156
    Top = 26
    Width = 136
    Height = 120
    TabOrder = 1
    OnClick = KeyListBoxClick
  end
  object AddButton: TButton
    Left = 302
    Top = 26
    Width = 88
    Height = 25
    Caption = '&Add '
    Enabled = False
    TabOrder = 2
    OnClick = AddButtonClick
  end
  object Bevel2: TBevel
    Left = 4
    Top = 158
    Width = 394
    Height = 150
    Shape = bsFrame
  end
  object Label3: TLabel
    Left = 12
    Top = 164
    Caption = 'R&elations'
    FocusControl = ResultListBox
  end
  object ResultListBox: TListBox
    Left = 12
    Top = 180
    Width = 280
    Height = 120
    MultiSelect = True
    TabOrder = 3
    OnClick = ResultListBoxClick
  end
  object RemoveButton: TButton
    Left = 302
    Top = 180
    Width = 88
    Height = 25
    Caption = '&Remove'
    Enabled = False
    TabOrder = 4
    OnClick = RemoveButtonClick
  end
  object ClearButton: TButton
    Left = 302
    Top = 210
    Width = 88
    Height = 25
    Caption = '&Clear'
    TabOrder = 5
    OnClick = ClearButtonClick
  end
  object AdviseButton: TButton
    Left = 302
    Top = 240
    Width = 88
    Height = 25
    Caption = 'A&dvise'
    Enabled = False
    TabOrder = 6
  end
  object OkButton: TBitBtn
    Left = 222
    Top = 314
    Width = 80
    Height = 25
    Kind = bkOK
    TabOrder = 7
  end
  object CancelButon: TBitBtn
    Left = 310
    Top = 314
    Width = 80
    Height = 25
    Kind = bkCancel
    TabOrder = 8
  end
end
)";

} // namespace

void SplitRelation(const std::string& entry, std::string& parent, std::string& key) {
    std::size_t p = entry.find(RelationArrow);
    if (p == std::string::npos) {
        parent.clear();
        key = entry.empty() ? std::string() : entry.substr(1);
        return;
    }
    parent = entry.substr(0, p);
    key = entry.substr(p + 2);
}

const TClassInfo& TRelationsEditorDialog::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TRelationsEditorDialog>("TRelationsEditorDialog", &TForm::StaticClassInfo())
            .Build();
    return info;
}

TRelationsEditorDialog::TRelationsEditorDialog(TComponent* AOwner) : TForm(AOwner) {
    using T = TRelationsEditorDialog;
    RegisterControlClasses();
    TFormBinding binding;
    binding.Field("ParentListBox", ParentListBox)
        .Field("KeyListBox", KeyListBox)
        .Field("AddButton", AddButton)
        .Field("ResultListBox", ResultListBox)
        .Field("RemoveButton", RemoveButton)
        .Field("ClearButton", ClearButton)
        .Field("AdviseButton", AdviseButton)
        .Field("OkButton", OkButton)
        .Field("CancelButon", CancelButon)
        .Field("Label1", Label1)
        .Field("Label2", Label2)
        .Field("Label3", Label3)
        .Field("Bevel1", Bevel1)
        .Field("Bevel2", Bevel2)
        .Method("AddButtonClick", TNotifyEvent::Bind<&T::AddButtonClick>(this))
        .Method("ParentListBoxClick", TNotifyEvent::Bind<&T::ParentListBoxClick>(this))
        .Method("KeyListBoxClick", TNotifyEvent::Bind<&T::KeyListBoxClick>(this))
        .Method("RemoveButtonClick", TNotifyEvent::Bind<&T::RemoveButtonClick>(this))
        .Method("ClearButtonClick", TNotifyEvent::Bind<&T::ClearButtonClick>(this))
        .Method("ResultListBoxClick", TNotifyEvent::Bind<&T::ResultListBoxClick>(this));
    TFormReadOptions options;
    options.Binding = &binding;
    ReadRootFromText(RelationsEditorForm, this, options);
}

void TRelationsEditorDialog::ParentListBoxClick(TObject*) {
    AddButton->SetEnabled(ParentListBox->ItemIndex() != -1 && KeyListBox->ItemIndex() != -1);
}

void TRelationsEditorDialog::KeyListBoxClick(TObject* Sender) {
    ParentListBoxClick(Sender);
}

void TRelationsEditorDialog::AddButtonClick(TObject*) {
    int p = ParentListBox->ItemIndex();
    int k = KeyListBox->ItemIndex();
    if (p == -1 || k == -1) return;
    std::string relation =
        ParentListBox->Items()->Get(p) + RelationArrow + KeyListBox->Items()->Get(k);
    if (IndexOfExact(*ResultListBox->Items(), relation) != -1) return;
    ResultListBox->Items()->Add(relation);
    ParentListBox->Items()->Delete(p);
    KeyListBox->Items()->Delete(k);
    AddButton->SetEnabled(false);
}

void TRelationsEditorDialog::ReturnRelation(int Index) {
    std::string parent, key;
    SplitRelation(ResultListBox->Items()->Get(Index), parent, key);
    ParentListBox->Items()->Add(parent);
    KeyListBox->Items()->Add(key);
    ResultListBox->Items()->Delete(Index);
}

void TRelationsEditorDialog::RemoveButtonClick(TObject*) {
    int i = 0;
    while (i < ResultListBox->Items()->Count()) {
        if (ResultListBox->Selected(i))
            ReturnRelation(i); // the next entry moves into place i
        else
            ++i;
    }
    RemoveButton->SetEnabled(false);
}

void TRelationsEditorDialog::ClearButtonClick(TObject*) {
    while (ResultListBox->Items()->Count() > 0)
        ReturnRelation(0);
    RemoveButton->SetEnabled(false);
    ClearButton->SetEnabled(false);
}

void TRelationsEditorDialog::ResultListBoxClick(TObject*) {
    RemoveButton->SetEnabled(ResultListBox->ItemIndex() != -1);
    ClearButton->SetEnabled(ResultListBox->Items()->Count() > 0);
}

} // namespace orvel
