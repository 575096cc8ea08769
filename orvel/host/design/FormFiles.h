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
// [a, b] and lists ( ... ). Reading creates the components through the class registry, resolves
// component references after the whole text is read, then calls Loaded on every component in
// creation order with the loading state cleared. Bad text raises EReadError naming the line, and
// nothing that was created is left behind.
#pragma once

#include "orvel/host/core/Component.h"
#include "orvel/host/core/Events.h"
#include "orvel/host/core/TypInfo.h"

#include <functional>
#include <map>
#include <string>

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

struct TFormReadOptions {
    TMethodBinder BindMethod;
    // Components outside the form that references may name (for example a shared data module).
    std::vector<TComponent*> ExternalRoots;
};

// Reads a form text and returns its root component, created with the given owner.
TComponent* ReadComponentFromText(const std::string& text, TComponent* owner,
                                  const TFormReadOptions& options = {});
// Writes a root component and the components it owns.
std::string WriteComponentToText(const TComponent* root);

// Names that integer properties may be written with in form files (colours, for example).
void RegisterIntegerIdent(const std::string& name, int64_t value);

} // namespace orvel
