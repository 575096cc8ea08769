// Published-property lookup, the class registry and property access by name.
#include "orvel/host/core/TypInfo.h"

#include "orvel/host/core/Exceptions.h"

#include <map>

namespace orvel {

bool TPropInfo::IsReadOnly() const {
    switch (Kind) {
    case TTypeKind::tkClass:
        return !SetObject;
    case TTypeKind::tkMethod:
        return !ClearMethod;
    default:
        return !SetValue;
    }
}

int TPropInfo::OrdinalOf(const std::string& name) const {
    for (std::size_t i = 0; i < EnumNames.size(); ++i)
        if (SameText(EnumNames[i], name)) return static_cast<int>(i);
    return -1;
}

const TPropInfo* TClassInfo::FindProperty(const std::string& name) const {
    for (const TClassInfo* c = this; c; c = c->Parent)
        for (const TPropInfo& p : c->Properties)
            if (SameText(p.Name, name)) return &p;
    return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::AllProperties() const {
    std::vector<const TClassInfo*> chain;
    for (const TClassInfo* c = this; c; c = c->Parent)
        chain.insert(chain.begin(), c);
    std::vector<const TPropInfo*> out;
    for (const TClassInfo* c : chain) {
        for (const TPropInfo& p : c->Properties) {
            bool replaced = false;
            for (auto& existing : out)
                if (SameText(existing->Name, p.Name)) {
                    existing = FindProperty(p.Name); // the most derived declaration
                    replaced = true;
                }
            if (!replaced) out.push_back(FindProperty(p.Name));
        }
    }
    return out;
}

bool TClassInfo::InheritsFrom(const TClassInfo& other) const {
    for (const TClassInfo* c = this; c; c = c->Parent)
        if (c == &other) return true;
    return false;
}

bool TClassInfo::InheritsFrom(const std::string& className) const {
    for (const TClassInfo* c = this; c; c = c->Parent)
        if (SameText(c->Name, className)) return true;
    return false;
}

namespace {

std::map<std::string, const TClassInfo*>& Registry() {
    static std::map<std::string, const TClassInfo*> registry;
    return registry;
}

const TPropInfo& Require(const TObject* instance, const std::string& name) {
    const TPropInfo* p = instance ? instance->ClassInfo().FindProperty(name) : nullptr;
    if (!p) RaiseRes<EPropertyError>(SPropertyNotFound, {name});
    return *p;
}

[[noreturn]] void WrongKind(const std::string& name) {
    throw EPropertyError("Property " + name + " has another kind");
}

} // namespace

[[noreturn]] void ThrowPropertyTypeMismatch() {
    throw EPropertyError("Invalid property value");
}

[[noreturn]] void ThrowPropertyNotFound(const std::string& name) {
    RaiseRes<EPropertyError>(SPropertyNotFound, {name});
}

void RegisterClass(const TClassInfo& info) {
    Registry()[UpperCase(info.Name)] = &info;
}

const TClassInfo* FindClassInfo(const std::string& name) {
    auto it = Registry().find(UpperCase(name));
    return it == Registry().end() ? nullptr : it->second;
}

Variant GetPropValue(const TObject* instance, const std::string& name) {
    const TPropInfo& p = Require(instance, name);
    if (!p.GetValue) WrongKind(name);
    return p.GetValue(instance);
}

void SetPropValue(TObject* instance, const std::string& name, const Variant& value) {
    const TPropInfo& p = Require(instance, name);
    if (!p.SetValue) {
        if (p.GetValue) throw EPropertyError("Property " + name + " is read-only");
        WrongKind(name);
    }
    p.SetValue(instance, value);
}

TObject* GetObjectProp(const TObject* instance, const std::string& name) {
    const TPropInfo& p = Require(instance, name);
    if (p.Kind != TTypeKind::tkClass) WrongKind(name);
    return p.GetObject(instance);
}

void SetObjectProp(TObject* instance, const std::string& name, TObject* value) {
    const TPropInfo& p = Require(instance, name);
    if (p.Kind != TTypeKind::tkClass) WrongKind(name);
    if (!p.SetObject) throw EPropertyError("Property " + name + " is read-only");
    p.SetObject(instance, value);
}

std::string GetEnumProp(const TObject* instance, const std::string& name) {
    const TPropInfo& p = Require(instance, name);
    if (p.Kind != TTypeKind::tkEnumeration) WrongKind(name);
    int ordinal = p.GetValue(instance).AsInteger();
    if (ordinal < 0 || ordinal >= static_cast<int>(p.EnumNames.size())) return IntToStr(ordinal);
    return p.EnumNames[static_cast<std::size_t>(ordinal)];
}

void SetEnumProp(TObject* instance, const std::string& name, const std::string& member) {
    const TPropInfo& p = Require(instance, name);
    if (p.Kind != TTypeKind::tkEnumeration) WrongKind(name);
    int ordinal = p.OrdinalOf(member);
    if (ordinal < 0) throw EPropertyError("Invalid property value '" + member + "' for " + name);
    SetPropValue(instance, name, Variant(ordinal));
}

} // namespace orvel
