// The lookup values editor dialog.
#include "orvel/design/ValueLookupsEditor.h"

#include "orvel/host/controls/ControlClasses.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/design/FormFiles.h"

#include <cmath>

namespace orvel {

namespace {

const char* const LookupValuesForm = R"(object FmLookupValues: TFmLookupValues
  Left = 240
  Top = 160
  ActiveControl = MmLines
  BorderIcons = [biSystemMenu]
  BorderStyle = bsDialog
  Caption = 'Lookup values edior'
  ClientHeight = 260
  ClientWidth = 300
  Position = poScreenCenter
  OnCreate = FormCreate
  object PnEdit: TPanel
    Left = 4
    Top = 4
    Width = 292
    Height = 214
    BevelOuter = bvLowered
    TabOrder = 0
    object LbNames: TLabel
      Left = 8
      Top = 6
      Caption = '&Names'
      FocusControl = MmLines
    end
    object MmLines: TMemo
      Left = 8
      Top = 22
      Width = 180
      Height = 184
      TabOrder = 0
      WordWrap = False
      OnKeyPress = MmLinesKeyPress
    end
    object LbValues: TLabel
      Left = 196
      Top = 6
      Caption = '&Values'
      FocusControl = LXValues
    end
    object LXValues: TListBox
      Left = 196
      Top = 22
      Width = 88
      Height = 184
      BorderStyle = bsNone
      Color = clBtnFace
      TabOrder = 1
      OnClick = LXValuesClick
      OnEnter = LXValuesEnter
      OnExit = LXValuesExit
    end
    object EdValue: TEdit
      Left = 196
      Top = 22
      Width = 88
      Height = 17
      BorderStyle = bsNone
      TabOrder = 2
      Visible = False
      OnChange = EdValueChange
      OnExit = EdValueExit
    end
  end
  object BBnOk: TBitBtn
    Left = 132
    Top = 226
    Width = 80
    Height = 25
    Kind = bkOK
    TabOrder = 1
  end
  object BBnCancel: TBitBtn
    Left = 216
    Top = 226
    Width = 80
    Height = 25
    Kind = bkCancel
    TabOrder = 2
  end
end
)";

// The words a Boolean value may be typed as: the first four mean 0, the last four 1.
const char* const YesNoWords[] = {"false", "off", "0", "-", "true", "on", "1", "+"};

bool IsIntegerType(TFieldType type) {
    return type == ftSmallint || type == ftInteger || type == ftWord || type == ftAutoInc;
}

// A typed number becomes a code when it rounds into the 32-bit range.
bool FloatCode(const std::string& text, int32_t& code) {
    double value = 0;
    if (!TryStrToFloat(text, value)) return false;
    double rounded = std::nearbyint(value); // the default rounding: halves to the even neighbour
    if (rounded < INT32_MIN || rounded > INT32_MAX) return false;
    code = static_cast<int32_t>(rounded);
    return true;
}

int YesNoIndex(const std::string& text) {
    for (int i = 0; i < 8; ++i)
        if (SameText(text, YesNoWords[i])) return i;
    return -1;
}

} // namespace

std::string LookupCodeToText(TFieldType Type, int32_t Code) {
    if (IsIntegerType(Type)) return IntToStr(Code);
    if (Type == ftFloat) return FloatToStr(Code);
    if (Type == ftBoolean) {
        if (Code == 0) return "False";
        if (Code == 1) return "True";
        return IntToStr(Code); // no word of its own: the code shows as it is
    }
    return std::string();
}

bool LookupTextIsValid(TFieldType Type, const std::string& Text) {
    int32_t code = 0;
    if (IsIntegerType(Type)) return TryStrToInt(Text, code);
    if (Type == ftFloat) return FloatCode(Text, code);
    if (Type == ftBoolean) return YesNoIndex(Text) >= 0;
    return false;
}

int32_t LookupTextToCode(TFieldType Type, const std::string& Text) {
    int32_t code = 0;
    if (IsIntegerType(Type)) return TryStrToInt(Text, code) ? code : 0;
    if (Type == ftFloat) return FloatCode(Text, code) ? code : 0;
    if (Type == ftBoolean) return YesNoIndex(Text) >= 4 ? 1 : 0;
    return 0;
}

const TClassInfo& TFmLookupValues::StaticClassInfo() {
    static const TClassInfo info =
        TClassBuilder<TFmLookupValues>("TFmLookupValues", &TForm::StaticClassInfo()).Build();
    return info;
}

TFmLookupValues::TFmLookupValues(TComponent* AOwner) : TForm(AOwner) {
    using T = TFmLookupValues;
    RegisterControlClasses();
    TFormBinding binding;
    binding.Field("PnEdit", PnEdit)
        .Field("LbNames", LbNames)
        .Field("MmLines", MmLines)
        .Field("LbValues", LbValues)
        .Field("LXValues", LXValues)
        .Field("EdValue", EdValue)
        .Field("BBnOk", BBnOk)
        .Field("BBnCancel", BBnCancel)
        .Method("LXValuesClick", TNotifyEvent::Bind<&T::LXValuesClick>(this))
        .Method("LXValuesEnter", TNotifyEvent::Bind<&T::LXValuesEnter>(this))
        .Method("LXValuesExit", TNotifyEvent::Bind<&T::LXValuesExit>(this))
        .Method("FormCreate", TNotifyEvent::Bind<&T::FormCreate>(this))
        .Method("EdValueChange", TNotifyEvent::Bind<&T::EdValueChange>(this))
        .Method("MmLinesKeyPress", TKeyPressEvent::Bind<&T::MmLinesKeyPress>(this))
        .Method("EdValueExit", TNotifyEvent::Bind<&T::EdValueExit>(this));
    TFormReadOptions options;
    options.Binding = &binding;
    ReadRootFromText(LookupValuesForm, this, options);
}

void TFmLookupValues::FormCreate(TObject*) {
    LXValues->SetItemHeight(17);
    EdValue->SetHeight(LXValues->ItemHeight());
}

void TFmLookupValues::SetTypeIndex(TFieldType Value) {
    FTypeIndex = Value;
    LXValues->SetEnabled(Value != ftString);
    LbValues->SetEnabled(LXValues->Enabled());
}

void TFmLookupValues::SetLines(TStrings* Strings) {
    MmLines->Lines()->Clear();
    LXValues->Items()->Clear();
    if (!Strings) return;
    for (int i = 0; i < Strings->Count(); ++i) {
        MmLines->Lines()->Add(Strings->Get(i));
        TObject* code = Strings->GetObject(i);
        LXValues->Items()->AddObject(LookupCodeToText(FTypeIndex, ObjectToInt(code)), code);
    }
}

std::unique_ptr<TStringList> TFmLookupValues::GetLines() const {
    auto result = std::make_unique<TStringList>();
    TStrings& lines = *MmLines->Lines();
    TStrings& values = *LXValues->Items();
    for (int i = 0; i < lines.Count(); ++i)
        result->AddObject(lines.Get(i), i < values.Count() ? values.GetObject(i) : IntToObject(0));
    return result;
}

bool TFmLookupValues::IsModified() const {
    return MmLines->Modified() || EdValue->Modified();
}

void TFmLookupValues::LXValuesEnter(TObject*) {
    EdValue->Show();
    EdValue->SetFocus();
}

void TFmLookupValues::LXValuesClick(TObject*) {
    int index = LXValues->ItemIndex();
    if (index < 0) return; // no row chosen: the editor stays where it is
    EdValue->SetTop((index - LXValues->TopIndex()) * LXValues->ItemHeight() + LXValues->Top());
}

void TFmLookupValues::LXValuesExit(TObject*) {}

// Every change of the typed value: a valid text becomes the chosen entry's text and code; an
// invalid one is shown in red and changes nothing, so the entry keeps its last valid value.
void TFmLookupValues::EdValueChange(TObject*) {
    std::string text = EdValue->Text();
    if (!LookupTextIsValid(FTypeIndex, text)) {
        EdValue->Font()->SetColor(clRed);
        return;
    }
    EdValue->Font()->SetColor(clWindowText);
    int index = LXValues->ItemIndex();
    if (index < 0 || index >= LXValues->Items()->Count()) return; // no entry to store it in
    LXValues->Items()->Put(index, text);
    LXValues->Items()->PutObject(index, IntToObject(LookupTextToCode(FTypeIndex, text)));
}

void TFmLookupValues::MmLinesKeyPress(TObject*, char&) {}

void TFmLookupValues::EdValueExit(TObject*) {
    EdValue->Hide();
}

} // namespace orvel
