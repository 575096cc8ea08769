// The designer host: palette registration (RegisterComponents), property-editor registration and
// lookup (RegisterPropertyEditor, most specific first), the property-editor base classes and the
// designer object that is told of modifications.
#pragma once

#include "orvel/host/core/Component.h"
#include "orvel/host/core/TypInfo.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace orvel {

// ---- palette ----------------------------------------------------------------------------------

struct TPaletteEntry {
    std::string Page;
    const TClassInfo* Class;
};

// Adds the classes to a palette page (a class may stand on several pages) and registers them for
// form files.
void RegisterComponents(const std::string& page, const std::vector<const TClassInfo*>& classes);
const std::vector<TPaletteEntry>& PaletteEntries();
std::vector<std::string> PalettePages();
std::vector<const TClassInfo*> PaletteComponents(const std::string& page);
// Forgets every palette entry and property editor (a designer that reloads its packages).
void ResetDesignerRegistry();

// ---- the designer ------------------------------------------------------------------------------

// The form designer a property editor works for; told when a property change modified the form.
class TDesigner {
public:
    virtual ~TDesigner() = default;
    virtual void Modified() { ++FModifiedCount; }
    int ModifiedCount() const { return FModifiedCount; }

private:
    int FModifiedCount = 0;
};

// ---- property editors --------------------------------------------------------------------------

enum TPropertyAttribute : uint32_t {
    paValueList = 1u << 0,
    paSubProperties = 1u << 1,
    paDialog = 1u << 2,
    paMultiSelect = 1u << 3,
    paAutoUpdate = 1u << 4,
    paSortList = 1u << 5,
    paReadOnly = 1u << 6,
    paRevertable = 1u << 7,
};
using TPropertyAttributes = uint32_t;

using TGetStrProc = std::function<void(const std::string&)>;

// Edits one published property of the selected components (GetComponent(0) is the first).
class TPropertyEditor {
public:
    TPropertyEditor(TDesigner* designer, std::vector<TComponent*> components,
                    const TPropInfo* property);
    virtual ~TPropertyEditor() = default;

    virtual void Activate() {}
    virtual bool AllEqual();
    virtual void Edit() {}
    virtual TPropertyAttributes GetAttributes() { return paRevertable; }
    virtual int GetEditLimit() { return 255; }
    virtual std::string GetName() { return FProperty->Name; }
    virtual void GetProperties(const std::function<void(TPropertyEditor*)>& /*proc*/) {}
    virtual std::string GetValue() { return "(unknown)"; }
    virtual void GetValues(const TGetStrProc& /*proc*/) {}
    virtual void Initialize() {}
    virtual void SetValue(const std::string& /*value*/) {}

    TComponent* GetComponent(int index) const;
    int PropCount() const { return static_cast<int>(FComponents.size()); }
    TDesigner* Designer() const { return FDesigner; }
    const TPropInfo* GetPropInfo() const { return FProperty; }
    std::string GetPropTypeName() const { return FProperty->TypeName; }

    // Values of the first component's property; the setters write every selected component and
    // tell the designer. For a class property the ordinal is the object reference, and writing a
    // held object (TStrings) assigns its contents.
    intptr_t GetOrdValue() const;
    void SetOrdValue(intptr_t value);
    std::string GetStrValue() const;
    void SetStrValue(const std::string& value);
    double GetFloatValue() const;
    void SetFloatValue(double value);
    TObject* GetObjValue() const;

protected:
    void Modified();

private:
    TDesigner* FDesigner;
    std::vector<TComponent*> FComponents;
    const TPropInfo* FProperty;
};

class TStringProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override { return paMultiSelect | paRevertable; }
    int GetEditLimit() override { return 255; }
    std::string GetValue() override { return GetStrValue(); }
    void SetValue(const std::string& value) override { SetStrValue(value); }
};

class TIntegerProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override { return paMultiSelect | paRevertable; }
    std::string GetValue() override;
    // Typed text as a whole number; EPropertyError "Invalid property value" when it is not one.
    void SetValue(const std::string& value) override;
};

class TFloatProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override { return paMultiSelect | paRevertable; }
    std::string GetValue() override;
    void SetValue(const std::string& value) override;
};

class TEnumProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override {
        return paMultiSelect | paValueList | paSortList | paRevertable;
    }
    std::string GetValue() override;
    void GetValues(const TGetStrProc& proc) override;
    void SetValue(const std::string& value) override;
};

// A component reference: offers the designed form's components whose class fits.
class TComponentProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override {
        return paMultiSelect | paValueList | paSortList | paRevertable;
    }
    std::string GetValue() override;
    void GetValues(const TGetStrProc& proc) override;
    void SetValue(const std::string& value) override;
};

// A held object (a list, a font): shown as its class name in parentheses.
class TClassProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override {
        return paMultiSelect | paSubProperties | paReadOnly;
    }
    std::string GetValue() override;
};

class TMethodProperty : public TPropertyEditor {
public:
    using TPropertyEditor::TPropertyEditor;
    TPropertyAttributes GetAttributes() override { return paMultiSelect | paReadOnly; }
    std::string GetValue() override;
};

// ---- registration and lookup
// ---------------------------------------------------------------------

using TPropertyEditorFactory = std::function<std::unique_ptr<TPropertyEditor>(
    TDesigner*, std::vector<TComponent*>, const TPropInfo*)>;

template <class E> TPropertyEditorFactory EditorClass() {
    return [](TDesigner* d, std::vector<TComponent*> c, const TPropInfo* p) {
        return std::unique_ptr<TPropertyEditor>(new E(d, std::move(c), p));
    };
}

// Registers an editor for properties of a type (the published type name: "string", "Integer",
// "TStrings", ...), optionally only on one component class and its descendants (nullptr: any) and
// one property name (empty: any).
void RegisterPropertyEditor(const std::string& propertyType, const TClassInfo* componentClass,
                            const std::string& propertyName, TPropertyEditorFactory editor);

// The editor for a property of the components (all of one class): the most specific registration
// (property name given, then the nearest component class; the later of equals), else the default
// editor of the property's kind. EPropertyError when the property does not exist.
std::unique_ptr<TPropertyEditor> GetPropertyEditor(TDesigner* designer,
                                                   std::vector<TComponent*> components,
                                                   const std::string& propertyName);

} // namespace orvel
