// The package's registration for a form designer: the six components on the palette page
// "Orvel" and the property editors of their field-name properties, of the tree view's relation
// text, the list view's key and column lists, the combo's lookup list and the check box's bit
// mask. The relation, key and column editors open their dialogs and check typed texts against the
// bound dataset.
#pragma once

#include "orvel/design/BasePropEditors.h"

namespace orvel {

// The package's registration routine, called by a designer when it installs the package. It
// lives in a namespace of its unit's name, as the value lookup combo's own registration (on the
// "Samples" page) is also called Register.
namespace OrvelReg {
// Registers the six components on the page "Orvel" and the fourteen property editors.
void Register();
} // namespace OrvelReg

// Integer fields: identifiers, image and state indexes, parent references.
class TNumFieldProperty : public TDBFieldProperty {
public:
    using TDBFieldProperty::TDBFieldProperty;
    bool DoesFieldFit(TField* Field) override;
};

// The field of a value lookup combo: text, integer, Boolean or floating-point fields.
class TValLookupFieldProperty : public TDBFieldProperty {
public:
    using TDBFieldProperty::TDBFieldProperty;
    bool DoesFieldFit(TField* Field) override;
};

// The tree view's relation text ("PARENT_ID->ID;..."): edited in the relations dialog; a typed
// text keeps the relations whose fields exist and fit and whose names were not used before.
class TLinkFieldProperty : public TNumFieldProperty {
public:
    using TNumFieldProperty::TNumFieldProperty;
    TPropertyAttributes GetAttributes() override { return paDialog; }
    void Edit() override;
    // EPropertyError "Cannot specify fields while DataSource isn't correct" when the data source
    // or its dataset is missing; nothing is set when the component has no data-source property.
    void SetValue(const std::string& Value) override;
};

// The list view's key fields: chosen in the key fields dialog, each name once; a typed text
// keeps, while the dataset is open, only the names of fields that fit.
class TKeyFieldProperty : public TNumFieldProperty {
public:
    using TNumFieldProperty::TNumFieldProperty;
    TPropertyAttributes GetAttributes() override { return paDialog; }
    void Edit() override;
    void SetValue(const std::string& Value) override;

protected:
    // Fills the dialog's lists from the current value and opens it; on OK stores its choice.
    void EditInDialog(bool Unique);
};

// The list view's column fields: any field, a name may be chosen more than once.
class TFieldSetProperty : public TKeyFieldProperty {
public:
    using TKeyFieldProperty::TKeyFieldProperty;
    bool DoesFieldFit(TField* Field) override { return Field != nullptr; }
    void Edit() override;
};

// A field of a component whose "DataSet" property names the dataset itself.
class TDBStringProperty : public TDBFieldProperty {
public:
    using TDBFieldProperty::TDBFieldProperty;
    std::string GetDataPropName() override { return "DataSet"; }

protected:
    TDataSet* LinkedDataSet(bool& HasDataProperty) override;
};

// The image list's identifier field: integer fields.
class TIDFieldProperty : public TDBStringProperty {
public:
    using TDBStringProperty::TDBStringProperty;
    bool DoesFieldFit(TField* Field) override;
};

// The image list's picture field: blob and memo fields.
class TImageFieldProperty : public TDBStringProperty {
public:
    using TDBStringProperty::TDBStringProperty;
    bool DoesFieldFit(TField* Field) override;
};

// The bit check box's mask: typed as an integer, or ticked bit by bit in the mask dialog; several
// boxes may be edited together.
class TIntMaskProperty : public TIntegerProperty {
public:
    using TIntegerProperty::TIntegerProperty;
    TPropertyAttributes GetAttributes() override { return paDialog | paMultiSelect; }
    void Edit() override;
};

} // namespace orvel
