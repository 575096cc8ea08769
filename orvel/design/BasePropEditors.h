// Base property editors of the design-time support: the field-name editor that offers the names
// of those fields of the component's dataset whose type suits the property (as a sorted
// drop-down), the caption-field editor, and the editor of a lookup combo's value list, which
// opens the lookup values dialog.
#pragma once

#include "orvel/host/core/Strings.h"
#include "orvel/host/data/DataSet.h"
#include "orvel/host/data/Field.h"
#include "orvel/host/design/DesignIntf.h"

#include <string>

namespace orvel {

// A string property naming a field of the dataset the component reaches through its data
// property ("DataSource" here). Without a data source, dataset or data property the list is
// empty; with the dataset closed it holds every name the dataset reports.
class TDBFieldProperty : public TStringProperty {
public:
    using TStringProperty::TStringProperty;

    TPropertyAttributes GetAttributes() override { return paValueList | paSortList; }
    // The acceptable names, in the dataset's order, one call each.
    void GetValues(const TGetStrProc& Proc) override;

    // The name of the component's published property that leads to the dataset.
    virtual std::string GetDataPropName() { return "DataSource"; }
    // Fills List with the acceptable field names; leaves it as it was when there is no dataset.
    virtual void GetValuesList(TStrings& List);
    // Whether a field suits the property; no field never does.
    virtual bool DoesFieldFit(TField* Field) { return Field != nullptr; }
    // Removes, while the dataset is open, the names of fields that do not fit.
    void CorrectFieldsList(TDataSet* DataSet, TStrings& List);

protected:
    // The dataset the data property leads to (through its data source here), or none.
    // HasDataProperty tells whether the component has a class-kind property of that name at all.
    virtual TDataSet* LinkedDataSet(bool& HasDataProperty);
    // The object the data property holds; HasDataProperty as above.
    TObject* DataPropertyValue(bool& HasDataProperty);
};

// A caption field: string fields only.
class TNameFieldProperty : public TDBFieldProperty {
public:
    using TDBFieldProperty::TDBFieldProperty;
    bool DoesFieldFit(TField* Field) override { return Field && Field->DataType() == ftString; }
};

// The lookup combo's list of texts with codes: shown as "(TStrings)", edited in the lookup
// values dialog with the codes in the form the bound field's type gives.
class TValuesProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;

    TPropertyAttributes GetAttributes() override { return paDialog; }
    std::string GetValue() override;
    // Takes the dialog's list only when it was confirmed and something was changed in it.
    void Edit() override;

private:
    TFieldType BoundFieldType();
};

} // namespace orvel
