// The package's registration and its property editors.
#include "orvel/design/OrvelReg.h"

#include "orvel/controls/DBBCBc.h"
#include "orvel/controls/DBImLst.h"
#include "orvel/controls/ValueLookupCombo.h"
#include "orvel/design/FieldsDlg.h"
#include "orvel/design/IntMaskEdit.h"
#include "orvel/design/RelEdit.h"
#include "orvel/grid/ExtendedGrid.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/listview/DataBaseListView.h"
#include "orvel/treeview/DBCustomTreeView.h"

namespace orvel {

namespace {

// ---- list texts -----------------------------------------------------------------------------

// "A;B;C" into its entries: two ";" in a row give an empty entry, a trailing ";" none.
void SplitList(const std::string& text, TStrings& list) {
    list.Clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find(';', start);
        if (end == std::string::npos) end = text.size();
        list.Add(text.substr(start, end - start));
        start = end + 1;
    }
}

// The entries joined with ";" (an empty list gives an empty text).
std::string JoinList(const TStrings& list) {
    std::string text;
    for (int i = 0; i < list.Count(); ++i)
        text += list.Get(i) + ";";
    if (!text.empty()) text.pop_back();
    return text;
}

// Takes out the first entry equal to name (exact comparison), when there is one.
void RemoveFirstExact(TStrings& list, const std::string& name) {
    for (int i = 0; i < list.Count(); ++i)
        if (list.Get(i) == name) {
            list.Delete(i);
            return;
        }
}

bool IsIntegerField(TField* field) {
    if (!field) return false;
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return true;
    default:
        return false;
    }
}

[[noreturn]] void DataSourceIsNotCorrect() {
    RaiseRes<EPropertyError>(SCannotSpecifyFields);
}

} // namespace

// ---- registration -------------------------------------------------------------------------------

void OrvelReg::Register() {
    RegisterComponents(
        "Orvel", {&TDBTreeView::StaticClassInfo(), &TDBListView::StaticClassInfo(),
                  &TDBImageList::StaticClassInfo(), &TDBBitCheckBox::StaticClassInfo(),
                  &TExtendedGrid::StaticClassInfo(), &TDBValueLookupCombo::StaticClassInfo()});
    const TClassInfo* tree = &TDBTreeView::StaticClassInfo();
    const TClassInfo* list = &TDBListView::StaticClassInfo();
    RegisterPropertyEditor("string", tree, "NameField", EditorClass<TNameFieldProperty>());
    RegisterPropertyEditor("string", tree, "ImageIDField", EditorClass<TNumFieldProperty>());
    RegisterPropertyEditor("string", tree, "StatusIDField", EditorClass<TNumFieldProperty>());
    RegisterPropertyEditor("string", tree, "LinksFields", EditorClass<TLinkFieldProperty>());
    RegisterPropertyEditor("string", list, "NameField", EditorClass<TNameFieldProperty>());
    RegisterPropertyEditor("string", list, "ImageIDField", EditorClass<TNumFieldProperty>());
    RegisterPropertyEditor("string", list, "StatusIDField", EditorClass<TNumFieldProperty>());
    RegisterPropertyEditor("string", list, "KeyFields", EditorClass<TKeyFieldProperty>());
    RegisterPropertyEditor("string", list, "ColumnsFields", EditorClass<TFieldSetProperty>());
    RegisterPropertyEditor("string", &TDBImageList::StaticClassInfo(), "IDFieldName",
                           EditorClass<TIDFieldProperty>());
    RegisterPropertyEditor("string", &TDBImageList::StaticClassInfo(), "ImageFieldName",
                           EditorClass<TImageFieldProperty>());
    RegisterPropertyEditor("Integer", &TDBBitCheckBox::StaticClassInfo(), "Mask",
                           EditorClass<TIntMaskProperty>());
    RegisterPropertyEditor("TStrings", &TDBValueLookupCombo::StaticClassInfo(), "LookupValues",
                           EditorClass<TValuesProperty>());
    RegisterPropertyEditor("string", &TDBValueLookupCombo::StaticClassInfo(), "DataField",
                           EditorClass<TValLookupFieldProperty>());
}

// ---- field filters ------------------------------------------------------------------------------

bool TNumFieldProperty::DoesFieldFit(TField* Field) {
    return IsIntegerField(Field);
}

bool TValLookupFieldProperty::DoesFieldFit(TField* Field) {
    if (!Field) return false;
    TFieldType type = Field->DataType();
    return IsIntegerField(Field) || type == ftString || type == ftBoolean || type == ftFloat;
}

bool TIDFieldProperty::DoesFieldFit(TField* Field) {
    return IsIntegerField(Field);
}

bool TImageFieldProperty::DoesFieldFit(TField* Field) {
    if (!Field) return false;
    switch (Field->DataType()) {
    case ftBlob:
    case ftMemo:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
        return true;
    default:
        return false;
    }
}

TDataSet* TDBStringProperty::LinkedDataSet(bool& HasDataProperty) {
    return dynamic_cast<TDataSet*>(DataPropertyValue(HasDataProperty));
}

// ---- relations ----------------------------------------------------------------------------------

void TLinkFieldProperty::Edit() {
    TOwned<TRelationsEditorDialog> dialog(new TRelationsEditorDialog(nullptr));
    TStringList relations, fields, parents;
    SplitList(GetStrValue(), relations);
    GetValuesList(fields);
    parents.Assign(&fields);
    for (int i = 0; i < relations.Count(); ++i) {
        std::string parent, key;
        SplitRelation(relations.Get(i), parent, key);
        RemoveFirstExact(parents, parent);
        RemoveFirstExact(fields, key);
    }
    dialog->ParentListBox->Items()->Assign(&parents);
    dialog->KeyListBox->Items()->Assign(&fields);
    dialog->ResultListBox->Items()->Assign(&relations);
    if (dialog->ShowModal() == mrOk) SetStrValue(JoinList(*dialog->ResultListBox->Items()));
}

// Keeps the relations whose parent and key fields exist and fit, and whose parent and key names
// (without regard to case) no earlier relation uses. While the dataset is closed it has no fields
// to look at: then only the repeats are dropped, so the designer's text is not lost.
void TLinkFieldProperty::SetValue(const std::string& Value) {
    bool hasDataProperty = false;
    TDataSet* dataSet = LinkedDataSet(hasDataProperty);
    if (!hasDataProperty) return;
    if (!dataSet) DataSourceIsNotCorrect();
    TStringList relations, parents, keys;
    SplitList(Value, relations);
    int i = 0;
    while (i < relations.Count()) {
        std::string parent, key;
        SplitRelation(relations.Get(i), parent, key);
        bool fits = !dataSet->GetActive() || (DoesFieldFit(dataSet->FindField(key)) &&
                                              DoesFieldFit(dataSet->FindField(parent)));
        if (fits && parents.IndexOf(parent) == -1 && keys.IndexOf(key) == -1) {
            parents.Add(parent);
            keys.Add(key);
            ++i;
        } else {
            relations.Delete(i);
        }
    }
    SetStrValue(JoinList(relations));
}

// ---- key and column fields ----------------------------------------------------------------------

void TKeyFieldProperty::EditInDialog(bool Unique) {
    TOwned<TKeysEditorDialog> dialog(new TKeysEditorDialog(nullptr));
    dialog->SetUnique(Unique);
    TStringList chosen, candidates;
    SplitList(GetStrValue(), chosen);
    GetValuesList(candidates);
    if (Unique)
        for (int i = 0; i < chosen.Count(); ++i)
            RemoveFirstExact(candidates, chosen.Get(i));
    dialog->SetItemsListBox->Items()->Assign(&chosen);
    dialog->PossibleItemsListBox->Items()->Assign(&candidates);
    if (dialog->ShowModal() == mrOk) SetStrValue(JoinList(*dialog->SetItemsListBox->Items()));
}

void TKeyFieldProperty::Edit() {
    EditInDialog(true);
}

void TKeyFieldProperty::SetValue(const std::string& Value) {
    bool hasDataProperty = false;
    TDataSet* dataSet = LinkedDataSet(hasDataProperty);
    if (!hasDataProperty) return;
    if (!dataSet) DataSourceIsNotCorrect();
    TStringList names;
    SplitList(Value, names);
    CorrectFieldsList(dataSet, names);
    SetStrValue(JoinList(names));
}

void TFieldSetProperty::Edit() {
    EditInDialog(false);
}

// ---- the bit mask -------------------------------------------------------------------------------

void TIntMaskProperty::Edit() {
    TOwned<TMaskEditor> form(new TMaskEditor(nullptr));
    form->SetMask(static_cast<int32_t>(GetOrdValue()));
    if (form->ShowModal() == mrOk) SetOrdValue(form->Mask());
}

} // namespace orvel
