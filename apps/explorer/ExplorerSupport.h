// Small helpers shared by the explorer's source files: key tests, key vectors, relation texts.
#pragma once

#include "apps/explorer/Explorer.h"

#include <string>
#include <vector>

namespace orvel::explorer {

inline const char* InsertModeName(TInsertMode mode) {
    switch (mode) {
    case imAddChild:
        return "add child";
    case imAddSibling:
        return "add sibling";
    case imAddRootNode:
        return "add root node";
    case imAddFromTable:
        return "from table";
    }
    return "";
}

// The parent-reference fields of a relation text, joined with ";": the table's index must lead
// with them for the tree to read children by key range.
inline std::string ParentFieldsOf(const std::string& links) {
    TStringList items, left, right;
    SplitLine(links, items);
    FormLists(items, left, right);
    std::string text;
    for (int i = 0; i < left.Count(); ++i) {
        if (left[i].empty()) continue;
        if (!text.empty()) text += ";";
        text += left[i];
    }
    return text;
}

inline std::vector<Variant> Elements(const Variant& vector) {
    std::vector<Variant> out;
    if (!VarIsArray(vector)) return out;
    for (int32_t i = VarArrayLowBound(vector, 1); i <= VarArrayHighBound(vector, 1); ++i)
        out.push_back(vector[i]);
    return out;
}

inline bool IsChar(const TInputEvent& e, const char* text) {
    return e.Kind == TInputKind::Char && e.Text == text;
}

inline bool IsKey(const TInputEvent& e, uint16_t key) {
    return e.Kind == TInputKind::Key && e.Key == key && !e.Ctrl && !e.Alt;
}

inline TPoint Center(const TRect& r) {
    return {(r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2};
}

inline bool Pending(const TDataSet* dataSet) {
    return dataSet && (dataSet->State() == dsEdit || dataSet->State() == dsInsert);
}

} // namespace orvel::explorer
