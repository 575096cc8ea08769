// Checking the view options against the table they name, before the views are bound: a wrong
// option stops the start with a message naming the option and the part that is wrong, instead
// of a view that silently shows something else.
#include "apps/explorer/Explorer.h"

#include "apps/explorer/ExplorerSupport.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Strings.h"
#include "orvel/host/data/sql/SqlEngine.h"

#include <utility>

namespace orvel::explorer {

namespace {

std::vector<std::string> Names(const std::string& text) {
    TStringList items;
    SplitLine(text, items);
    std::vector<std::string> names;
    for (int i = 0; i < items.Count(); ++i)
        if (!items[i].empty()) names.push_back(items[i]);
    return names;
}

bool WholeNumberType(TFieldType type) {
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
    case ftUnknown: // a column declared without a type holds what it is given
        return true;
    default:
        return false;
    }
}

} // namespace

TField* TExplorer::OptionField(const std::string& option, const std::string& name) const {
    TField* field = FObjects->FindField(name);
    if (!field)
        throw EConvertError(option + ": the table " + FOptions.View.Table + " has no field '" +
                            name + "'");
    return field;
}

void TExplorer::CheckLinks() const {
    const std::string& links = FOptions.View.Links;
    TStringList items, left, right;
    SplitLine(links, items);
    FormLists(items, left, right);
    int pairs = 0;
    for (int i = 0; i < items.Count(); ++i) {
        if (items[i].empty()) continue;
        if (items[i].find("->") == std::string::npos || left[i].empty() || right[i].empty())
            throw EConvertError("--links: '" + items[i] +
                                "' is not a pair PARENT->KEY of field names");
        OptionField("--links '" + items[i] + "'", left[i]);
        OptionField("--links '" + items[i] + "'", right[i]);
        ++pairs;
    }
    if (pairs == 0) throw EConvertError("--links names no pair PARENT->KEY: '" + links + "'");
}

void TExplorer::CheckRoot() const {
    const std::string& root = FOptions.View.Root;
    std::size_t pairs = Names(FOptions.View.Links).size();
    if (root.find_first_not_of(' ') == std::string::npos)
        throw EConvertError("--root is empty: give the parent key of the top-level records, " +
                            std::to_string(pairs) + " value(s) separated by ';' (null for none)");
    TStringList values;
    SplitLine(root, values);
    if (static_cast<std::size_t>(values.Count()) != pairs)
        throw EConvertError("--root '" + root + "' has " + std::to_string(values.Count()) +
                            " value(s), but --links has " + std::to_string(pairs) +
                            " pair(s): give one value per pair");
}

void TExplorer::CheckViewOptions() const {
    const TViewOptions& view = FOptions.View;
    CheckLinks();
    CheckRoot();
    OptionField("--name-field", view.NameField);
    const std::pair<const char*, const std::string*> pictures[] = {
        {"--image-field", &view.ImageField}, {"--status-field", &view.StatusField}};
    for (const auto& [option, name] : pictures) {
        if (name->empty() || !view.WasGiven(option)) continue;
        TField* field = OptionField(option, *name);
        // The field's value is the number of a picture: a text column would show none.
        if (!WholeNumberType(field->DataType()))
            throw EConvertError(std::string(option) + ": '" + *name +
                                "' is not a whole-number column (it holds picture numbers)");
    }
    for (const std::string& name : Names(view.KeyFields))
        OptionField("--key-fields", name);
    if (Names(view.KeyFields).empty())
        throw EConvertError("--key-fields names no field: '" + view.KeyFields + "'");
    if (view.WasGiven("--columns"))
        for (const std::string& name : Names(view.Columns))
            OptionField("--columns", name);
    if (!view.Index.empty())
        for (const std::string& name : Names(view.Index))
            OptionField("--index", name);
}

void TExplorer::WarnIfTreeEmpty() {
    if (!FTree || FTree->Items()->Count() > 0) return;
    const std::string& table = FOptions.View.Table;
    auto any = FDatabase->Connection().Prepare("SELECT 1 FROM " + QuoteName(table) + " LIMIT 1");
    if (!any->Step()) {
        ShowError("The tree is empty: the table " + table + " has no records");
        return;
    }
    ShowError("The tree is empty: no record of " + table + " has the parent key " +
              FOptions.View.Root + " (" + ParentFieldsOf(FOptions.View.Links) +
              "); --root sets the parent key of the top-level records");
}

} // namespace orvel::explorer
