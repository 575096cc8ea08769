// Form files: a readable text of nested components with their published property values.
//
//   object Form1: TDataModule
//     object Tree: TDBTreeView
//       DataSource = Source1          <- a component of the same form, by name
//       RootKey = 'Null'
//       LoadStyle = lsAllAhead
//       LookupValues.Strings = ('Open' 'Closed')
//       LookupValues.Objects = (1 5)  <- codes of a list whose entries carry them
//       Font.Color = 255              <- a property of a held persistent object
//     end
//   end
//
// Values: integers, decimals, 'quoted' text ('' for a quote, #13 for a character code, pieces
// joined with +), identifiers (enumeration members, True/False, component names, nil), sets
// [a, b] and lists ( ... ); integers may also be written with the host's colour and modal-result
// names (clBtnFace, mrOk). Reading creates the components through the class registry, resolves
// component references after the whole text is read, then calls Loaded on every component in
// creation order with the loading state cleared, the root last: a form's OnCreate (run by its
// Loaded) finds every component finished. Bad text, or a component whose Loaded fails, raises
// EReadError naming the line, and nothing that was created is left behind.
//
// A form class reads its own stored description into itself when it is created
// (ReadRootFromText); a TFormBinding gives the reader the class's component fields and the
// handlers the text may name.
#pragma once

#include "orvel/host/core/Component.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/TypInfo.h"

#include <any>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace orvel {

// A plain root for forms that hold only non-visual components.
class TDataModule : public TComponent {
    ORVEL_PUBLISHED(TDataModule)
public:
    using TComponent::TComponent;
};

// Binds an event property read from a form to the application's handler of that name; answers
// false when there is no such handler (the reader then raises).
using TMethodBinder = std::function<bool(TComponent* instance, const TPropInfo& property,
                                         const std::string& handler)>;

// What a form class tells the reader of its stored description: the member fields that the
// components of those names fill (checked against the field's class; every field must be filled)
// and the handlers, by name, that its components' events may be given (each an event of the type
// the event property has: TNotifyEvent, TKeyPressEvent, ...).
class TFormBinding {
public:
    template <class T> TFormBinding& Field(const std::string& name, T*& field) {
        FFields.push_back({name, [&field](TComponent* c) {
                               T* typed = dynamic_cast<T*>(c);
                               if (c && !typed) return false;
                               field = typed;
                               return true;
                           }});
        return *this;
    }
    template <class Ev> TFormBinding& Method(const std::string& name, Ev handler) {
        FMethods.push_back({name, std::any(std::move(handler))});
        return *this;
    }

    struct TField {
        std::string Name;
        std::function<bool(TComponent*)> Set; // false when the component does not fit
    };
    const std::vector<TField>& Fields() const { return FFields; }
    // Gives the event property of instance the handler of that name; false when there is none
    // or it has another event type.
    bool BindMethod(TComponent* instance, const TPropInfo& property,
                    const std::string& handler) const;

private:
    struct TMethod {
        std::string Name;
        std::any Handler;
    };
    std::vector<TField> FFields;
    std::vector<TMethod> FMethods;
};

struct TFormReadOptions {
    TMethodBinder BindMethod;
    // Components outside the form that references may name (for example a shared data module).
    std::vector<TComponent*> ExternalRoots;
    // The form class's fields and handlers (asked before BindMethod).
    const TFormBinding* Binding = nullptr;
};

// Reads a form text and returns its root component, created with the given owner.
TComponent* ReadComponentFromText(const std::string& text, TComponent* owner,
                                  const TFormReadOptions& options = {});
// Reads a form text into an existing root: the text's class must be the root's class or one of
// its bases. The root takes the text's name (made unique among its owner's components with a
// suffix _1, _2, ... when another component has it). On failure the components created are
// freed, the binding's fields cleared and the root left not loading; the caller discards it.
void ReadRootFromText(const std::string& text, TComponent* root,
                      const TFormReadOptions& options = {});
// Writes a root component and the components it owns.
std::string WriteComponentToText(const TComponent* root);

// Names that integer properties may be written with in form files (colours, for example).
void RegisterIntegerIdent(const std::string& name, int64_t value);

} // namespace orvel
