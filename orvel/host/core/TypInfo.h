// Published-property information: each class lists its published properties once (name, kind,
// reader, writer, default, enumeration names), inheriting its base class's list. The designer and
// the form reader and writer use this one table.
#pragma once

#include "orvel/host/core/Object.h"
#include "orvel/host/core/Variant.h"

#include <any>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <type_traits>
#include <vector>

namespace orvel {

class TComponent;

enum class TTypeKind {
    tkUnknown,
    tkInteger,
    tkEnumeration,
    tkFloat,
    tkString,
    tkSet,
    tkClass,
    tkMethod,
    tkVariant
};

struct TPropInfo {
    std::string Name;
    TTypeKind Kind = TTypeKind::tkUnknown;
    std::string TypeName; // "Integer", "string", "Boolean", "TInsertMode", "TDataSource", ...
    std::vector<std::string> EnumNames; // enumerations and sets: the member names by ordinal / bit
    // Ordinal, enumeration (as its ordinal), set (as a bit mask), float, string and variant kinds.
    std::function<Variant(const TObject*)> GetValue;
    std::function<void(TObject*, const Variant&)> SetValue;
    // Class kind: the object the property refers to (a component) or holds (a persistent such as
    // TStrings, whose writer assigns the contents).
    std::function<TObject*(const TObject*)> GetObject;
    std::function<void(TObject*, TObject*)> SetObject;
    // Method kind (events): whether a handler is assigned, and removing it.
    std::function<bool(const TObject*)> IsAssigned;
    std::function<void(TObject*)> ClearMethod;
    // Method kind: assigns a handler held in a std::any of the event's own type (TNotifyEvent,
    // TKeyPressEvent, ...); answers false and assigns nothing when the handler has another type.
    // The form reader binds the handlers a form text names through it.
    std::function<bool(TObject*, const std::any&)> SetMethod;
    // Class kind: a test that an object may be given to the property (its class fits).
    std::function<bool(const TObject*)> AcceptsObject;
    std::optional<Variant> Default; // a value equal to it is not stored in form files
    // A TStrings property whose entries carry 32-bit codes in their object slots: form files store
    // the codes beside the texts.
    bool StoresObjectCodes = false;

    bool IsReadOnly() const;
    // Enumeration helpers: the ordinal of a member name (case-insensitive), -1 when unknown.
    int OrdinalOf(const std::string& name) const;
};

struct TClassInfo {
    std::string Name;
    const TClassInfo* Parent = nullptr;
    std::vector<TPropInfo> Properties;              // this class's own, in declaration order
    std::function<TComponent*(TComponent*)> Create; // set for classes a form may create

    // Looks a property up by name (without regard to case), own class first, then the bases.
    const TPropInfo* FindProperty(const std::string& name) const;
    // Every property, the root class's first; a redeclared name appears once, at its first place.
    std::vector<const TPropInfo*> AllProperties() const;
    bool InheritsFrom(const TClassInfo& other) const;
    bool InheritsFrom(const std::string& className) const;
};

// The registry of classes a form file may name; filled by RegisterClass (the component
// registration does it for every component class).
void RegisterClass(const TClassInfo& info);
const TClassInfo* FindClassInfo(const std::string& name);

// Property access by name. All raise EPropertyError when the property does not exist or does not
// have the requested kind, and EConvertError when the value does not fit.
Variant GetPropValue(const TObject* instance, const std::string& name);
void SetPropValue(TObject* instance, const std::string& name, const Variant& value);
TObject* GetObjectProp(const TObject* instance, const std::string& name);
void SetObjectProp(TObject* instance, const std::string& name, TObject* value);
std::string GetEnumProp(const TObject* instance, const std::string& name);
void SetEnumProp(TObject* instance, const std::string& name, const std::string& member);

// A base class's reader or writer seen as a member of a derived class, for a
// TClassBuilder<Derived> (deduction does not convert member pointers by itself):
// .Property("TabStop", MemberOf<TTreeView>(&TWinControl::TabStop), ...).
template <class Derived, class Base, class R> constexpr auto MemberOf(R (Base::*get)() const) {
    return static_cast<R (Derived::*)() const>(get);
}
template <class Derived, class Base, class A> constexpr auto MemberOf(void (Base::*set)(A)) {
    return static_cast<void (Derived::*)(A)>(set);
}

// EPropertyError for a property name a class does not have.
[[noreturn]] void ThrowPropertyNotFound(const std::string& name);

// Builds a class's information; used once per class inside its StaticClassInfo.
template <class C> class TClassBuilder {
public:
    TClassBuilder(std::string name, const TClassInfo* parent) {
        FInfo.Name = std::move(name);
        FInfo.Parent = parent;
    }

    // Integer (any integral type but bool), string, Boolean or double property with a reader and
    // an optional writer (nullptr: read-only), and an optional default.
    template <class T, class S = std::nullptr_t>
    TClassBuilder& Property(const std::string& name, T (C::*get)() const, S set = nullptr,
                            std::optional<Variant> def = std::nullopt) {
        using V = std::remove_cvref_t<T>;
        TPropInfo p;
        p.Name = name;
        if constexpr (std::is_same_v<V, bool>) {
            p.Kind = TTypeKind::tkEnumeration;
            p.TypeName = "Boolean";
            p.EnumNames = {"False", "True"};
        } else if constexpr (std::is_integral_v<V>) {
            p.Kind = TTypeKind::tkInteger;
            p.TypeName = "Integer";
        } else if constexpr (std::is_floating_point_v<V>) {
            p.Kind = TTypeKind::tkFloat;
            p.TypeName = "Double";
        } else if constexpr (std::is_same_v<V, Variant>) {
            p.Kind = TTypeKind::tkVariant;
            p.TypeName = "Variant";
        } else {
            static_assert(std::is_same_v<V, std::string>, "unsupported published property type");
            p.Kind = TTypeKind::tkString;
            p.TypeName = "string";
        }
        p.GetValue = [get](const TObject* o) {
            return ToVariant((static_cast<const C*>(o)->*get)());
        };
        if constexpr (!std::is_same_v<S, std::nullptr_t>) {
            p.SetValue = [set](TObject* o, const Variant& v) {
                (static_cast<C*>(o)->*set)(FromVariant<V>(v));
            };
        }
        p.Default = std::move(def);
        FInfo.Properties.push_back(std::move(p));
        return *this;
    }

    // Enumeration property: member names by ordinal.
    template <class E, class S>
    TClassBuilder& Enum(const std::string& name, const std::string& typeName,
                        std::vector<std::string> names, E (C::*get)() const, S set,
                        std::optional<E> def = std::nullopt) {
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::tkEnumeration;
        p.TypeName = typeName;
        p.EnumNames = std::move(names);
        p.GetValue = [get](const TObject* o) {
            return Variant(static_cast<int32_t>((static_cast<const C*>(o)->*get)()));
        };
        if constexpr (!std::is_same_v<S, std::nullptr_t>) {
            p.SetValue = [set](TObject* o, const Variant& v) {
                (static_cast<C*>(o)->*set)(static_cast<E>(v.AsInteger()));
            };
        }
        if (def) p.Default = Variant(static_cast<int32_t>(*def));
        FInfo.Properties.push_back(std::move(p));
        return *this;
    }

    // Set property: a bit mask over member names (bit n for member n).
    template <class M, class S>
    TClassBuilder& Set(const std::string& name, const std::string& typeName,
                       std::vector<std::string> names, M (C::*get)() const, S set,
                       std::optional<M> def = std::nullopt) {
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::tkSet;
        p.TypeName = typeName;
        p.EnumNames = std::move(names);
        p.GetValue = [get](const TObject* o) {
            return Variant(static_cast<int64_t>((static_cast<const C*>(o)->*get)()));
        };
        if constexpr (!std::is_same_v<S, std::nullptr_t>) {
            p.SetValue = [set](TObject* o, const Variant& v) {
                (static_cast<C*>(o)->*set)(static_cast<M>(v.AsInt64()));
            };
        }
        if (def) p.Default = Variant(static_cast<int64_t>(*def));
        FInfo.Properties.push_back(std::move(p));
        return *this;
    }

    // Class property: a reference to a component, or a persistent object the class holds. The
    // writer may be nullptr for a held object whose contents the form reader fills in place.
    template <class T, class S = std::nullptr_t>
    TClassBuilder& Object(const std::string& name, const std::string& typeName,
                          T* (C::*get)() const, S set = nullptr) {
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::tkClass;
        p.TypeName = typeName;
        p.GetObject = [get](const TObject* o) -> TObject* {
            return (static_cast<const C*>(o)->*get)();
        };
        p.AcceptsObject = [](const TObject* v) {
            return !v || dynamic_cast<const T*>(v) != nullptr;
        };
        if constexpr (!std::is_same_v<S, std::nullptr_t>) {
            p.SetObject = [set](TObject* o, TObject* v) {
                T* typed = dynamic_cast<T*>(v);
                if (v && !typed) ThrowBadObject();
                (static_cast<C*>(o)->*set)(typed);
            };
        }
        FInfo.Properties.push_back(std::move(p));
        return *this;
    }

    // Marks the last declared property as a TStrings whose object slots hold 32-bit codes.
    TClassBuilder& WithObjectCodes() {
        FInfo.Properties.back().StoresObjectCodes = true;
        return *this;
    }

    // Event property (a method reference member).
    template <class Ev>
    TClassBuilder& Event(const std::string& name, const std::string& typeName, Ev C::*field) {
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::tkMethod;
        p.TypeName = typeName;
        p.IsAssigned = [field](const TObject* o) {
            return static_cast<bool>(static_cast<const C*>(o)->*field);
        };
        p.ClearMethod = [field](TObject* o) { static_cast<C*>(o)->*field = Ev(); };
        p.SetMethod = [field](TObject* o, const std::any& handler) {
            const Ev* typed = std::any_cast<Ev>(&handler);
            if (!typed) return false;
            static_cast<C*>(o)->*field = *typed;
            return true;
        };
        FInfo.Properties.push_back(std::move(p));
        return *this;
    }

    // Event property reached through a reader and writer (for events the class keeps elsewhere).
    template <class Ev, class S>
    TClassBuilder& Event(const std::string& name, const std::string& typeName, Ev (C::*get)() const,
                         S set) {
        TPropInfo p;
        p.Name = name;
        p.Kind = TTypeKind::tkMethod;
        p.TypeName = typeName;
        p.IsAssigned = [get](const TObject* o) {
            return static_cast<bool>((static_cast<const C*>(o)->*get)());
        };
        p.ClearMethod = [set](TObject* o) {
            (static_cast<C*>(o)->*set)(std::remove_cvref_t<Ev>());
        };
        p.SetMethod = [set](TObject* o, const std::any& handler) {
            const auto* typed = std::any_cast<std::remove_cvref_t<Ev>>(&handler);
            if (!typed) return false;
            (static_cast<C*>(o)->*set)(*typed);
            return true;
        };
        FInfo.Properties.push_back(std::move(p));
        return *this;
    }

    // Publishes properties that a catalog lists, by name: a base class keeps the properties it
    // has but does not publish in a catalog (a TClassInfo outside the class chain), and each
    // published descendant picks the ones it shows. EPropertyError for a name the catalog (with
    // its parents) does not have.
    TClassBuilder& Republish(const TClassInfo& catalog, std::initializer_list<const char*> names) {
        for (const char* name : names) {
            const TPropInfo* p = catalog.FindProperty(name);
            if (!p) ThrowPropertyNotFound(name);
            FInfo.Properties.push_back(*p);
        }
        return *this;
    }

    // Lets forms create the class: a constructor taking the owner component.
    TClassBuilder& Creatable() {
        if constexpr (std::is_constructible_v<C, TComponent*>) {
            FInfo.Create = [](TComponent* owner) -> TComponent* { return new C(owner); };
        }
        return *this;
    }

    TClassInfo Build() { return std::move(FInfo); }

private:
    template <class T> static Variant ToVariant(const T& v) {
        if constexpr (std::is_same_v<T, bool>)
            return Variant(v);
        else if constexpr (std::is_integral_v<T>)
            return Variant(static_cast<int32_t>(v));
        else
            return Variant(v);
    }
    template <class T> static T FromVariant(const Variant& v) {
        if constexpr (std::is_same_v<T, bool>)
            return v.AsBoolean();
        else if constexpr (std::is_integral_v<T>)
            return static_cast<T>(v.AsInteger());
        else if constexpr (std::is_floating_point_v<T>)
            return static_cast<T>(v.AsDouble());
        else if constexpr (std::is_same_v<T, Variant>)
            return v;
        else
            return v.AsString();
    }
    [[noreturn]] static void ThrowBadObject();

    TClassInfo FInfo;
};

[[noreturn]] void ThrowPropertyTypeMismatch();
template <class C> void TClassBuilder<C>::ThrowBadObject() {
    ThrowPropertyTypeMismatch();
}

} // namespace orvel

// Declares a class's published-property information inside its body. Define StaticClassInfo in
// the class's .cpp with a TClassBuilder.
#define ORVEL_PUBLISHED(ClassName)                                                                 \
public:                                                                                            \
    static const ::orvel::TClassInfo& StaticClassInfo();                                           \
    const ::orvel::TClassInfo& ClassInfo() const override {                                        \
        return StaticClassInfo();                                                                  \
    }                                                                                              \
                                                                                                   \
private:
