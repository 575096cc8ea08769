// The designer host.
#include "orvel/host/design/DesignIntf.h"

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Strings.h"
#include "orvel/host/core/SysUtils.h"

#include <algorithm>

namespace orvel {

namespace {

struct TEditorRegistration {
    std::string PropertyType;
    const TClassInfo* ComponentClass;
    std::string PropertyName;
    TPropertyEditorFactory Factory;
};

std::vector<TPaletteEntry>& Palette() {
    static std::vector<TPaletteEntry> palette;
    return palette;
}

std::vector<TEditorRegistration>& Editors() {
    static std::vector<TEditorRegistration> editors;
    return editors;
}

[[noreturn]] void InvalidValue() {
    throw EPropertyError("Invalid property value");
}

// Distance from a class up to an ancestor (0: the class itself), -1 when unrelated.
int Distance(const TClassInfo& from, const TClassInfo* ancestor) {
    int d = 0;
    for (const TClassInfo* c = &from; c; c = c->Parent, ++d)
        if (c == ancestor) return d;
    return -1;
}

TPropertyEditorFactory DefaultEditor(const TPropInfo& p) {
    switch (p.Kind) {
    case TTypeKind::tkInteger:
        return EditorClass<TIntegerProperty>();
    case TTypeKind::tkFloat:
        return EditorClass<TFloatProperty>();
    case TTypeKind::tkEnumeration:
        return EditorClass<TEnumProperty>();
    case TTypeKind::tkMethod:
        return EditorClass<TMethodProperty>();
    case TTypeKind::tkClass:
        if (p.SetObject && p.AcceptsObject && !p.AcceptsObject(nullptr))
            return EditorClass<TClassProperty>();
        return p.SetObject ? EditorClass<TComponentProperty>() : EditorClass<TClassProperty>();
    default:
        return EditorClass<TStringProperty>();
    }
}

} // namespace

// ---- palette ------------------------------------------------------------------------------------

void RegisterComponents(const std::string& page, const std::vector<const TClassInfo*>& classes) {
    for (const TClassInfo* c : classes) {
        Palette().push_back({page, c});
        RegisterClass(*c);
    }
}

const std::vector<TPaletteEntry>& PaletteEntries() {
    return Palette();
}

std::vector<std::string> PalettePages() {
    std::vector<std::string> pages;
    for (const TPaletteEntry& e : Palette())
        if (std::find(pages.begin(), pages.end(), e.Page) == pages.end()) pages.push_back(e.Page);
    return pages;
}

std::vector<const TClassInfo*> PaletteComponents(const std::string& page) {
    std::vector<const TClassInfo*> out;
    for (const TPaletteEntry& e : Palette())
        if (e.Page == page) out.push_back(e.Class);
    return out;
}

void ResetDesignerRegistry() {
    Palette().clear();
    Editors().clear();
}

// ---- property editor base
// ------------------------------------------------------------------------

TPropertyEditor::TPropertyEditor(TDesigner* designer, std::vector<TComponent*> components,
                                 const TPropInfo* property)
    : FDesigner(designer), FComponents(std::move(components)), FProperty(property) {}

TComponent* TPropertyEditor::GetComponent(int index) const {
    if (index < 0 || index >= PropCount())
        RaiseRes<EListError>(SListIndexError, {static_cast<long long>(index)});
    return FComponents[static_cast<std::size_t>(index)];
}

bool TPropertyEditor::AllEqual() {
    if (FProperty->Kind == TTypeKind::tkClass) {
        for (TComponent* c : FComponents)
            if (FProperty->GetObject(c) != FProperty->GetObject(FComponents[0])) return false;
        return true;
    }
    if (!FProperty->GetValue) return true;
    Variant first = FProperty->GetValue(FComponents[0]);
    for (TComponent* c : FComponents)
        if (!(FProperty->GetValue(c) == first)) return false;
    return true;
}

void TPropertyEditor::Modified() {
    if (FDesigner) FDesigner->Modified();
}

intptr_t TPropertyEditor::GetOrdValue() const {
    if (FProperty->Kind == TTypeKind::tkClass) return reinterpret_cast<intptr_t>(GetObjValue());
    return static_cast<intptr_t>(FProperty->GetValue(GetComponent(0)).AsInt64());
}

void TPropertyEditor::SetOrdValue(intptr_t value) {
    for (TComponent* c : FComponents) {
        if (FProperty->Kind == TTypeKind::tkClass) {
            auto* object = reinterpret_cast<TObject*>(value);
            if (FProperty->SetObject) {
                FProperty->SetObject(c, object);
            } else if (auto* held = dynamic_cast<TPersistent*>(FProperty->GetObject(c))) {
                held->Assign(dynamic_cast<TPersistent*>(object));
            } else {
                throw EPropertyError("Property " + FProperty->Name + " is read-only");
            }
        } else {
            FProperty->SetValue(c, Variant(static_cast<int64_t>(value)));
        }
    }
    Modified();
}

std::string TPropertyEditor::GetStrValue() const {
    return FProperty->GetValue(GetComponent(0)).AsString();
}

void TPropertyEditor::SetStrValue(const std::string& value) {
    if (!FProperty->SetValue) throw EPropertyError("Property " + FProperty->Name + " is read-only");
    for (TComponent* c : FComponents)
        FProperty->SetValue(c, Variant(value));
    Modified();
}

double TPropertyEditor::GetFloatValue() const {
    return FProperty->GetValue(GetComponent(0)).AsDouble();
}

void TPropertyEditor::SetFloatValue(double value) {
    for (TComponent* c : FComponents)
        FProperty->SetValue(c, Variant(value));
    Modified();
}

TObject* TPropertyEditor::GetObjValue() const {
    return FProperty->GetObject(GetComponent(0));
}

// ---- editors of each kind
// ------------------------------------------------------------------------

std::string TIntegerProperty::GetValue() {
    return IntToStr(static_cast<int64_t>(GetOrdValue()));
}

void TIntegerProperty::SetValue(const std::string& value) {
    int32_t v = 0;
    if (!TryStrToInt(value, v)) InvalidValue();
    SetOrdValue(v);
}

std::string TFloatProperty::GetValue() {
    return FloatToStr(GetFloatValue());
}

void TFloatProperty::SetValue(const std::string& value) {
    double d = 0;
    if (!TryStrToFloat(value, d)) InvalidValue();
    SetFloatValue(d);
}

std::string TEnumProperty::GetValue() {
    int ordinal = static_cast<int>(GetOrdValue());
    const auto& names = GetPropInfo()->EnumNames;
    return ordinal >= 0 && ordinal < static_cast<int>(names.size())
               ? names[static_cast<std::size_t>(ordinal)]
               : IntToStr(ordinal);
}

void TEnumProperty::GetValues(const TGetStrProc& proc) {
    for (const std::string& name : GetPropInfo()->EnumNames)
        proc(name);
}

void TEnumProperty::SetValue(const std::string& value) {
    int ordinal = GetPropInfo()->OrdinalOf(value);
    if (ordinal < 0) InvalidValue();
    SetOrdValue(ordinal);
}

std::string TComponentProperty::GetValue() {
    auto* c = dynamic_cast<TComponent*>(GetObjValue());
    return c ? c->Name() : std::string();
}

void TComponentProperty::GetValues(const TGetStrProc& proc) {
    TComponent* root = GetComponent(0)->Owner();
    if (!root) return;
    for (int i = 0; i < root->ComponentCount(); ++i) {
        TComponent* c = root->Components(i);
        if (!c->Name().empty() && GetPropInfo()->AcceptsObject && GetPropInfo()->AcceptsObject(c))
            proc(c->Name());
    }
}

void TComponentProperty::SetValue(const std::string& value) {
    TComponent* target = nullptr;
    if (!value.empty()) {
        TComponent* root = GetComponent(0)->Owner();
        target = root ? root->FindComponent(value) : nullptr;
        if (!target || (GetPropInfo()->AcceptsObject && !GetPropInfo()->AcceptsObject(target)))
            InvalidValue();
    }
    SetOrdValue(reinterpret_cast<intptr_t>(target));
}

std::string TClassProperty::GetValue() {
    std::string text = "(";
    text += GetPropTypeName();
    text += ')';
    return text;
}

std::string TMethodProperty::GetValue() {
    return GetPropInfo()->IsAssigned && GetPropInfo()->IsAssigned(GetComponent(0)) ? "(assigned)"
                                                                                   : "";
}

// ---- registration
// ----------------------------------------------------------------------------------

void RegisterPropertyEditor(const std::string& propertyType, const TClassInfo* componentClass,
                            const std::string& propertyName, TPropertyEditorFactory editor) {
    Editors().push_back({propertyType, componentClass, propertyName, std::move(editor)});
}

std::unique_ptr<TPropertyEditor> GetPropertyEditor(TDesigner* designer,
                                                   std::vector<TComponent*> components,
                                                   const std::string& propertyName) {
    if (components.empty() || !components[0]) throw EPropertyError("No component selected");
    const TClassInfo& cls = components[0]->ClassInfo();
    const TPropInfo* prop = cls.FindProperty(propertyName);
    if (!prop) RaiseRes<EPropertyError>(SPropertyNotFound, {propertyName});

    const TEditorRegistration* best = nullptr;
    int bestNamed = -1, bestDistance = 0;
    for (const TEditorRegistration& r : Editors()) {
        if (!SameText(r.PropertyType, prop->TypeName)) continue;
        if (!r.PropertyName.empty() && !SameText(r.PropertyName, prop->Name)) continue;
        int distance = r.ComponentClass ? Distance(cls, r.ComponentClass) : 1 << 20;
        if (distance < 0) continue;
        int named = r.PropertyName.empty() ? 0 : 1;
        // Later registrations win ties, so a package can override an earlier one.
        if (!best || named > bestNamed || (named == bestNamed && distance <= bestDistance)) {
            best = &r;
            bestNamed = named;
            bestDistance = distance;
        }
    }
    TPropertyEditorFactory factory = best ? best->Factory : DefaultEditor(*prop);
    auto editor = factory(designer, std::move(components), prop);
    editor->Initialize();
    return editor;
}

} // namespace orvel
