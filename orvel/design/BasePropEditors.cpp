// Base property editors.
#include "orvel/design/BasePropEditors.h"

#include "orvel/design/ValueLookupsEditor.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/data/DataSource.h"

namespace orvel {

// ---- TDBFieldProperty ---------------------------------------------------------------------------

void TDBFieldProperty::GetValues(const TGetStrProc& Proc) {
    TStringList list;
    GetValuesList(list);
    for (int i = 0; i < list.Count(); ++i)
        Proc(list.Get(i));
}

TObject* TDBFieldProperty::DataPropertyValue(bool& HasDataProperty) {
    TComponent* component = GetComponent(0);
    const TPropInfo* property = component->ClassInfo().FindProperty(GetDataPropName());
    HasDataProperty = property && property->Kind == TTypeKind::tkClass && property->GetObject;
    return HasDataProperty ? property->GetObject(component) : nullptr;
}

TDataSet* TDBFieldProperty::LinkedDataSet(bool& HasDataProperty) {
    auto* source = dynamic_cast<TDataSource*>(DataPropertyValue(HasDataProperty));
    return source ? source->GetDataSet() : nullptr;
}

void TDBFieldProperty::GetValuesList(TStrings& List) {
    bool hasDataProperty = false;
    TDataSet* dataSet = LinkedDataSet(hasDataProperty);
    if (!dataSet) return;
    dataSet->GetFieldNames(List);
    CorrectFieldsList(dataSet, List);
}

void TDBFieldProperty::CorrectFieldsList(TDataSet* DataSet, TStrings& List) {
    int i = 0;
    while (i < List.Count()) {
        if (DataSet->GetActive() && !DoesFieldFit(DataSet->FindField(List.Get(i))))
            List.Delete(i); // the next name moves into place i
        else
            ++i;
    }
}

// ---- TValuesProperty ----------------------------------------------------------------------------

std::string TValuesProperty::GetValue() {
    return Format("(%s)", {GetPropTypeName()});
}

// The type of the field the combo is bound to: its DataField in the dataset of its DataSource;
// ftUnknown when any of them is missing.
TFieldType TValuesProperty::BoundFieldType() {
    TComponent* component = GetComponent(0);
    const TClassInfo& info = component->ClassInfo();
    std::string fieldName;
    if (const TPropInfo* p = info.FindProperty("DataField");
        p && p->Kind == TTypeKind::tkString && p->GetValue)
        fieldName = p->GetValue(component).AsString();
    const TPropInfo* p = info.FindProperty("DataSource");
    if (!p || p->Kind != TTypeKind::tkClass || !p->GetObject) return ftUnknown;
    auto* source = dynamic_cast<TDataSource*>(p->GetObject(component));
    TDataSet* dataSet = source ? source->GetDataSet() : nullptr;
    TField* field = dataSet ? dataSet->FindField(fieldName) : nullptr;
    return field ? field->DataType() : ftUnknown;
}

void TValuesProperty::Edit() {
    TFieldType type = BoundFieldType();
    TOwned<TFmLookupValues> form(new TFmLookupValues(nullptr));
    form->SetTypeIndex(type);
    form->SetLines(dynamic_cast<TStrings*>(reinterpret_cast<TObject*>(GetOrdValue())));
    TModalResult result = form->ShowModal();
    if (form->IsModified() && result == mrOk) {
        std::unique_ptr<TStringList> lines = form->GetLines();
        SetOrdValue(reinterpret_cast<intptr_t>(lines.get()));
        if (Designer()) Designer()->Modified();
    }
}

} // namespace orvel
