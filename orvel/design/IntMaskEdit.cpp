// The bit mask editor dialog.
#include "orvel/design/IntMaskEdit.h"

#include "orvel/host/controls/ControlClasses.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/design/FormFiles.h"

namespace orvel {

namespace {

const char* const MaskEditorForm = R"(object MaskEditor: TMaskEditor
  Left = 200
  Top = 100
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Mask Editor'
  ClientHeight = 278
  ClientWidth = 424
  Position = poScreenCenter
  OnCreate = FormCreate
  object GroupBox1: TGroupBox
    Left = 4
    Top = 4
    Width = 100
    Height = 206
    Caption = 'Third Byte'
    TabOrder = 0
    object Bit31CB: TCheckBox
      Left = 8
      Top = 20
      Width = 84
      Height = 17
      Caption = '7-th Bit'
      TabOrder = 0
      OnClick = BitCBClick
    end
    object Bit30CB: TCheckBox
      Left = 8
      Top = 42
      Width = 84
      Height = 17
      Caption = '6-th Bit'
      TabOrder = 1
      OnClick = BitCBClick
    end
    object Bit29CB: TCheckBox
      Left = 8
      Top = 64
      Width = 84
      Height = 17
      Caption = '5-th Bit'
      TabOrder = 2
      OnClick = BitCBClick
    end
    object Bit28CB: TCheckBox
      Left = 8
      Top = 86
      Width = 84
      Height = 17
      Caption = '4-th Bit'
      TabOrder = 3
      OnClick = BitCBClick
    end
    object Bit27CB: TCheckBox
      Left = 8
      Top = 108
      Width = 84
      Height = 17
      Caption = '3-th Bit'
      TabOrder = 4
      OnClick = BitCBClick
    end
    object Bit26CB: TCheckBox
      Left = 8
      Top = 130
      Width = 84
      Height = 17
      Caption = '2-th Bit'
      TabOrder = 5
      OnClick = BitCBClick
    end
    object Bit25CB: TCheckBox
      Left = 8
      Top = 152
      Width = 84
      Height = 17
      Caption = '1-th Bit'
      TabOrder = 6
      OnClick = BitCBClick
    end
    object Bit24CB: TCheckBox
      Left = 8
      Top = 174
      Width = 84
      Height = 17
      Caption = '0-Bit'
      TabOrder = 7
      OnClick = BitCBClick
    end
  end
  object GroupBox2: TGroupBox
    Left = 108
    Top = 4
    Width = 100
    Height = 206
    Caption = 'Second Byte'
    TabOrder = 1
    object Bit23CB: TCheckBox
      Left = 8
      Top = 20
      Width = 84
      Height = 17
      Caption = '7-th Bit'
      TabOrder = 0
      OnClick = BitCBClick
    end
    object Bit22CB: TCheckBox
      Left = 8
      Top = 42
      Width = 84
      Height = 17
      Caption = '6-th Bit'
      TabOrder = 1
      OnClick = BitCBClick
    end
    object Bit21CB: TCheckBox
      Left = 8
      Top = 64
      Width = 84
      Height = 17
      Caption = '5-th Bit'
      TabOrder = 2
      OnClick = BitCBClick
    end
    object Bit20CB: TCheckBox
      Left = 8
      Top = 86
      Width = 84
      Height = 17
      Caption = '4-th Bit'
      TabOrder = 3
      OnClick = BitCBClick
    end
    object Bit19CB: TCheckBox
      Left = 8
      Top = 108
      Width = 84
      Height = 17
      Caption = '3-th Bit'
      TabOrder = 4
      OnClick = BitCBClick
    end
    object Bit18CB: TCheckBox
      Left = 8
      Top = 130
      Width = 84
      Height = 17
      Caption = '2-th Bit'
      TabOrder = 5
      OnClick = BitCBClick
    end
    object Bit17CB: TCheckBox
      Left = 8
      Top = 152
      Width = 84
      Height = 17
      Caption = '1-th Bit'
      TabOrder = 6
      OnClick = BitCBClick
    end
    object Bit16CB: TCheckBox
      Left = 8
      Top = 174
      Width = 84
      Height = 17
      Caption = '0-Bit'
      TabOrder = 7
      OnClick = BitCBClick
    end
  end
  object GroupBox3: TGroupBox
    Left = 212
    Top = 4
    Width = 100
    Height = 206
    Caption = 'First Byte'
    TabOrder = 2
    object Bit15CB: TCheckBox
      Left = 8
      Top = 20
      Width = 84
      Height = 17
      Caption = '7-th Bit'
      TabOrder = 0
      OnClick = BitCBClick
    end
    object Bit14CB: TCheckBox
      Left = 8
      Top = 42
      Width = 84
      Height = 17
      Caption = '6-th Bit'
      TabOrder = 1
      OnClick = BitCBClick
    end
    object Bit13CB: TCheckBox
      Left = 8
      Top = 64
      Width = 84
      Height = 17
      Caption = '5-th Bit'
      TabOrder = 2
      OnClick = BitCBClick
    end
    object Bit12CB: TCheckBox
      Left = 8
      Top = 86
      Width = 84
      Height = 17
      Caption = '4-th Bit'
      TabOrder = 3
      OnClick = BitCBClick
    end
    object Bit11CB: TCheckBox
      Left = 8
      Top = 108
      Width = 84
      Height = 17
      Caption = '3-th Bit'
      TabOrder = 4
      OnClick = BitCBClick
    end
    object Bit10CB: TCheckBox
      Left = 8
      Top = 130
      Width = 84
      Height = 17
      Caption = '2-th Bit'
      TabOrder = 5
      OnClick = BitCBClick
    end
    object Bit09CB: TCheckBox
      Left = 8
      Top = 152
      Width = 84
      Height = 17
      Caption = '1-th Bit'
      TabOrder = 6
      OnClick = BitCBClick
    end
    object Bit08CB: TCheckBox
      Left = 8
      Top = 174
      Width = 84
      Height = 17
      Caption = '0-Bit'
      TabOrder = 7
      OnClick = BitCBClick
    end
  end
  object GroupBox4: TGroupBox
    Left = 316
    Top = 4
    Width = 100
    Height = 206
    Caption = 'Zero-Byte'
    TabOrder = 3
    object Bit07CB: TCheckBox
      Left = 8
      Top = 20
      Width = 84
      Height = 17
      Caption = '7-th Bit'
      TabOrder = 0
      OnClick = BitCBClick
    end
    object Bit06CB: TCheckBox
      Left = 8
      Top = 42
      Width = 84
      Height = 17
      Caption = '6-th Bit'
      TabOrder = 1
      OnClick = BitCBClick
    end
    object Bit05CB: TCheckBox
      Left = 8
      Top = 64
      Width = 84
      Height = 17
      Caption = '5-th Bit'
      TabOrder = 2
      OnClick = BitCBClick
    end
    object Bit04CB: TCheckBox
      Left = 8
      Top = 86
      Width = 84
      Height = 17
      Caption = '4-th Bit'
      TabOrder = 3
      OnClick = BitCBClick
    end
    object Bit03CB: TCheckBox
      Left = 8
      Top = 108
      Width = 84
      Height = 17
      Caption = '3-th Bit'
      TabOrder = 4
      OnClick = BitCBClick
    end
    object Bit02CB: TCheckBox
      Left = 8
      Top = 130
      Width = 84
      Height = 17
      Caption = '2-th Bit'
      TabOrder = 5
      OnClick = BitCBClick
    end
    object Bit01CB: TCheckBox
      Left = 8
      Top = 152
      Width = 84
      Height = 17
      Caption = '1-th Bit'
      TabOrder = 6
      OnClick = BitCBClick
    end
    object Bit00CB: TCheckBox
      Left = 8
      Top = 174
      Width = 84
      Height = 17
      Caption = '0-Bit'
      TabOrder = 7
      OnClick = BitCBClick
    end
  end
  object Panel1: TPanel
    Left = 0
    Top = 214
    Width = 424
    Height = 64
    Align = alBottom
    BevelOuter = bvNone
    TabOrder = 4
    object GroupBox5: TGroupBox
      Left = 4
      Top = 4
      Width = 204
      Height = 54
      Caption = 'Result Mask'
      TabOrder = 0
      object TestLabel: TLabel
        Left = 12
        Top = 24
        Caption = '0'
        Enabled = False
      end
    end
    object BitBtn1: TBitBtn
      Left = 248
      Top = 22
      Width = 80
      Height = 25
      Kind = bkOK
      TabOrder = 1
      OnClick = BitBtn1Click
    end
    object BitBtn2: TBitBtn
      Left = 336
      Top = 22
      Width = 80
      Height = 25
      Kind = bkCancel
      TabOrder = 2
    end
  end
end
)";

// "Bit07CB" for bit 7.
std::string BitBoxName(int bit) {
    return std::string("Bit") + (bit < 10 ? "0" : "") + IntToStr(bit) + "CB";
}

} // namespace

const TClassInfo& TMaskEditor::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TMaskEditor>("TMaskEditor", &TForm::StaticClassInfo()).Build();
    return info;
}

TMaskEditor::TMaskEditor(TComponent* AOwner) : TForm(AOwner) {
    using T = TMaskEditor;
    RegisterControlClasses();
    TFormBinding binding;
    binding.Field("GroupBox1", GroupBox1)
        .Field("GroupBox2", GroupBox2)
        .Field("GroupBox3", GroupBox3)
        .Field("GroupBox4", GroupBox4)
        .Field("Panel1", Panel1)
        .Field("GroupBox5", GroupBox5)
        .Field("TestLabel", TestLabel)
        .Field("BitBtn1", BitBtn1)
        .Field("BitBtn2", BitBtn2)
        .Method("FormCreate", TNotifyEvent::Bind<&T::FormCreate>(this))
        .Method("BitCBClick", TNotifyEvent::Bind<&T::BitCBClick>(this))
        .Method("BitBtn1Click", TNotifyEvent::Bind<&T::BitBtn1Click>(this));
    TFormReadOptions options;
    options.Binding = &binding;
    ReadRootFromText(MaskEditorForm, this, options);
}

void TMaskEditor::FormCreate(TObject*) {
    for (int i = 0; i < 32; ++i) {
        auto* box = dynamic_cast<TCheckBox*>(FindComponent(BitBoxName(i)));
        if (!box) throw EComponentError("The mask editor has no check box " + BitBoxName(i));
        FBitBoxes[static_cast<std::size_t>(i)] = box;
        box->SetTag(static_cast<int32_t>(uint32_t(1) << i)); // bit 31: only the sign bit
    }
    SetMask(0);
}

void TMaskEditor::SetMask(int32_t Value) {
    FMask = Value;
    FUpdating = true;
    try {
        for (TCheckBox* box : FBitBoxes)
            if (box) box->SetChecked((box->Tag() & FMask) != 0);
    } catch (...) {
        FUpdating = false;
        throw;
    }
    ShowMask();
    FUpdating = false;
}

void TMaskEditor::RetrieveDataFromForm(int32_t BitValue, bool Checked) {
    if (FUpdating) return;
    if (Checked)
        FMask |= BitValue;
    else
        FMask &= ~BitValue;
    ShowMask();
}

void TMaskEditor::ShowMask() {
    TestLabel->SetCaption(IntToStr(FMask));
}

void TMaskEditor::BitCBClick(TObject* Sender) {
    if (auto* box = dynamic_cast<TCheckBox*>(Sender))
        RetrieveDataFromForm(box->Tag(), box->Checked());
}

// OK: the mask is made again from every box, bit 0 to bit 31, so it equals the ticked boxes.
void TMaskEditor::BitBtn1Click(TObject*) {
    for (TCheckBox* box : FBitBoxes)
        if (box) RetrieveDataFromForm(box->Tag(), box->Checked());
}

} // namespace orvel
