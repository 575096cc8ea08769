// Finding records and going to them: the find command (a query on the whole table, each match
// revealed in the tree), opening a list item, going up to the parent, and showing a record after
// a move. Also the one-line text prompt the find and the picture export ask with.
#include "apps/explorer/Explorer.h"

#include "apps/explorer/ExplorerSupport.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Strings.h"
#include "orvel/host/core/SysUtils.h"
#include "orvel/host/data/Query.h"
#include "orvel/host/data/sql/SqlEngine.h"

#include <cstdio>
#include <memory>

namespace orvel::explorer {

namespace {

// A value written into SQL text: numbers as numbers, everything else as a quoted string whose
// quotes are doubled, so no value can end the literal.
std::string SqlLiteral(const Variant& value) {
    switch (value.VarType() & varTypeMask) {
    case varEmpty:
    case varNull:
        return "NULL";
    case varSmallint:
    case varInteger:
    case varShortInt:
    case varByte:
    case varWord:
    case varLongWord:
    case varInt64:
    case varBoolean:
        return std::to_string(value.AsInt64());
    case varSingle:
    case varDouble:
    case varCurrency:
        // Whatever decimal separator the user's locale has, SQL takes a point.
        return FormatGeneral(value.AsDouble(), 17);
    default:
        break;
    }
    std::string out = "'";
    for (char c : value.AsString())
        out += c == '\'' ? std::string("''") : std::string(1, c);
    return out + "'";
}

// Opens query on the explorer's database with one statement's text.
void OpenQuery(TQuery& query, TDatabase& database, const std::string& sql) {
    query.SetDatabase(&database);
    TStringList text;
    text.Add(sql);
    query.SetSQL(&text);
    query.Open();
}

// The LIKE pattern "contains text": the pattern characters of text stand for themselves.
std::string ContainsPattern(const std::string& text) {
    std::string pattern = "%";
    for (char c : text) {
        if (c == '%' || c == '_' || c == '\\') pattern += '\\';
        pattern += c;
    }
    return pattern + "%";
}

std::string JoinFields(const TStringList& fields, const char* separator) {
    std::string text;
    for (int i = 0; i < fields.Count(); ++i)
        text += (i ? separator : "") + QuoteName(fields[i]);
    return text;
}

// A key vector as text that tells Null from every value, for comparing two readings of it.
std::string KeyText(const Variant& key) {
    std::string text;
    for (const Variant& v : Elements(key))
        text += (v.IsNull() ? std::string("\x01") : v.AsString()) + '\x02';
    return text;
}

void RemoveLastCharacter(std::string& text) {
    while (!text.empty()) {
        unsigned char c = static_cast<unsigned char>(text.back());
        text.pop_back();
        if ((c & 0xC0) != 0x80) break; // the first byte of the character is gone too
    }
}

} // namespace

// --- the text prompt ----------------------------------------------------------------------

void TExplorer::AskText(std::string title, std::string label, std::string initial,
                        std::function<void(const std::string&)> done) {
    auto typed = std::make_shared<std::string>(std::move(initial));
    Ask(label + *typed, [this, label, typed, done](const TInputEvent& e) {
        if (IsKey(e, VK_ESCAPE)) return true;
        if (IsKey(e, VK_RETURN)) {
            done(*typed);
            return true;
        }
        if (IsKey(e, VK_BACK))
            RemoveLastCharacter(*typed);
        else if (e.Kind == TInputKind::Key && e.Ctrl && e.Key == 'U')
            typed->clear();
        else if (e.Kind == TInputKind::Char)
            *typed += e.Text;
        FPrompt->Text = label + *typed;
        return false;
    });
    FPrompt->Title = std::move(title);
    FPrompt->Entry = true;
}

// --- keys ---------------------------------------------------------------------------------

bool TExplorer::HandleBrowseKey(const TInputEvent& event) {
    TWinControl* panel = FocusedPanel();
    if (IsChar(event, "/") || (event.Kind == TInputKind::Key && event.Ctrl && event.Key == 'F')) {
        AskFind();
    } else if (IsChar(event, "n") || IsKey(event, VK_F1 + 2)) {
        FindNext();
    } else if (IsKey(event, VK_BACK) && (panel == FTree || (panel && panel == FChildList))) {
        GoToParent();
    } else if (IsKey(event, VK_RETURN) && panel && panel == FChildList) {
        OpenListItem();
    } else {
        return false;
    }
    return true;
}

// --- finding ------------------------------------------------------------------------------

void TExplorer::AskFind() {
    if (Pending(FObjects)) {
        ShowError("Save (Enter) or cancel (Esc) the change first");
        return;
    }
    AskText("Find", "Name contains: ", FFindText, [this](const std::string& text) {
        if (text.empty()) {
            ShowError("Nothing to find: type a part of a name");
            return;
        }
        FFindText = text;
        FFoundKey.Clear();
        FindNext();
    });
}

void TExplorer::FindNext() {
    if (FFindText.empty()) {
        ShowError("Nothing to find yet: / asks for a name");
        return;
    }
    if (Pending(FObjects)) {
        ShowError("Save (Enter) or cancel (Esc) the change first");
        return;
    }
    Variant key;
    std::string name;
    bool wrapped = false;
    try {
        if (!FindRecord(FFoundKey, key, name)) {
            wrapped = !VarIsEmpty(FFoundKey);
            if (!wrapped || !FindRecord(Variant(), key, name)) {
                FFoundKey.Clear();
                ShowError("No name contains '" + FFindText + "'");
                return;
            }
        }
    } catch (...) {
        Application().HandleException();
        return;
    }
    bool same = !VarIsEmpty(FFoundKey) && KeyText(FFoundKey) == KeyText(key);
    FFoundKey = key;
    if (!RevealRecord(key)) {
        ShowError("Found '" + name + "', which the tree does not show (outside its root)");
        return;
    }
    ShowInfo("Found '" + name + "'" +
             (same      ? " (the only match)"
              : wrapped ? " (from the top again)"
                        : "") +
             "   n: next match");
}

// The first record after the key vector after (Empty: from the start), in key order, whose name
// contains the text looked for. The query runs on the whole table, not only on loaded nodes.
bool TExplorer::FindRecord(const Variant& after, Variant& key, std::string& name) {
    const TStringList& keys = FTree->KeyFieldList();
    if (keys.Count() == 0) return false;
    std::string keyList = JoinFields(keys, ", ");
    std::string sql = "SELECT " + keyList + ", " + QuoteName(FOptions.View.NameField) + " FROM " +
                      QuoteName(FOptions.View.Table) + " WHERE " +
                      QuoteName(FOptions.View.NameField) +
                      FDatabase->Connection().LikeIgnoringCase() +
                      SqlLiteral(Variant(ContainsPattern(FFindText))) + " ESCAPE '\\'";
    std::vector<Variant> from = Elements(after);
    if (static_cast<int>(from.size()) == keys.Count()) {
        std::string values;
        for (std::size_t i = 0; i < from.size(); ++i)
            values += (i ? ", " : "") + SqlLiteral(from[i]);
        sql += " AND (" + keyList + ") > (" + values + ")";
    }
    sql += " ORDER BY " + keyList + " LIMIT 1";
    TQuery query(nullptr);
    OpenQuery(query, *FDatabase, sql);
    if (query.IsEmpty()) return false;
    std::string links;
    FTree->KeyLinks(links);
    key = query.GetFieldValue(links + ";");
    name = query.FieldByName(FOptions.View.NameField)->GetAsString();
    return true;
}

// Selects the node of the record with key vector key, reading and opening the branches down to
// it; false when the tree cannot show it.
bool TExplorer::RevealRecord(const Variant& key) {
    TDBTreeNode* node = FTree->SuperLoad(key);
    if (!node) return false;
    FTree->SetSelected(node);
    node->MakeVisible();
    Application().ProcessMessages();
    return FTree->Selected() == node;
}

// --- opening and going up -----------------------------------------------------------------

void TExplorer::OpenListItem() {
    auto* item = dynamic_cast<TDBListItem*>(FChildList->ItemFocused());
    if (!item) return;
    if (Pending(FObjects) || Pending(FChildren)) {
        ShowError("Save (Enter) or cancel (Esc) the change first");
        return;
    }
    // The item's key is in the list's key fields; the tree's nodes are keyed by its own.
    std::string listKeys = FChildList->GetKeyFields() + ";";
    if (!VarEquality(item->GetID(), FChildren->GetFieldValue(listKeys))) {
        std::vector<Variant> id = Elements(item->GetID());
        bool found = id.size() == 1 ? FChildren->Locate(FChildList->GetKeyFields(), id[0])
                                    : FChildren->Locate(FChildList->GetKeyFields(), item->GetID());
        if (!found) {
            ShowError("'" + item->Caption() + "' is not in the table any more");
            return;
        }
    }
    std::string links;
    FTree->KeyLinks(links);
    Variant key = FChildren->GetFieldValue(links + ";");
    std::string caption = item->Caption();
    if (!RevealRecord(key)) {
        ShowError("'" + caption + "' cannot be shown in the tree");
        return;
    }
    ToggleExpand();
    if (FTree->Selected() && !FTree->Selected()->Expanded())
        ShowInfo("'" + caption + "' owns nothing");
}

void TExplorer::GoToParent() {
    TTreeNode* node = FTree->Selected();
    if (!node) return;
    TTreeNode* parent = node->Parent();
    if (!parent) {
        ShowInfo("'" + node->Text() + "' is at the top level");
        return;
    }
    if (Pending(FObjects)) {
        ShowError("Save (Enter) or cancel (Esc) the change first");
        return;
    }
    auto* came = dynamic_cast<TDBTreeNode*>(node);
    Variant from = came ? came->GetID() : Variant();
    FTree->SetSelected(parent);
    parent->MakeVisible();
    // In the list, the item of the record left is the focused one among its parent's children.
    if (FocusedPanel() == FChildList && ShowChildrenOf(parent)) {
        Application().ProcessMessages();
        if (TDBListItem* item = FChildList->FindItem(from)) {
            FChildList->SetItemFocused(item);
            item->SetSelected(true);
            item->MakeVisible(false);
        }
    }
}

// --- moves --------------------------------------------------------------------------------

// The parent reference of the record with key vector key as the table holds it now (Empty when
// the record is not found).
Variant TExplorer::ParentReferenceOf(const Variant& key) {
    const TStringList& keys = FTree->KeyFieldList();
    const TStringList& parents = FTree->ParentFieldList();
    std::vector<Variant> values = Elements(key);
    if (parents.Count() == 0 || static_cast<int>(values.size()) != keys.Count()) return Variant();
    std::string sql = "SELECT " + JoinFields(parents, ", ") + " FROM " +
                      QuoteName(FOptions.View.Table) + " WHERE ";
    for (int i = 0; i < keys.Count(); ++i)
        sql += (i ? " AND " : "") + QuoteName(keys[i]) + " IS " +
               SqlLiteral(values[static_cast<std::size_t>(i)]);
    TQuery query(nullptr);
    OpenQuery(query, *FDatabase, sql);
    if (query.IsEmpty()) return Variant();
    std::string links;
    FTree->ParentLinks(links);
    return query.GetFieldValue(links + ";");
}

void TExplorer::NoteDrag(TObject* target) {
    FMovedKey.Clear();
    auto* node = dynamic_cast<TDBTreeNode*>(FTree->Selected());
    if (target != FTree || !node) return;
    try {
        FMovedFrom = KeyText(ParentReferenceOf(node->GetID()));
        FMovedKey = node->GetID();
    } catch (...) {
        FMovedKey.Clear(); // the move goes on; it is only not shown afterwards
    }
}

void TExplorer::ShowMoved() {
    if (VarIsEmpty(FMovedKey)) return;
    Variant key = FMovedKey;
    FMovedKey.Clear();
    try {
        Variant parent = ParentReferenceOf(key);
        if (VarIsEmpty(parent) || KeyText(parent) == FMovedFrom) return; // nothing moved
        if (RevealRecord(key))
            ShowInfo("Moved");
        else
            ShowInfo("Moved (its new place is not shown in the tree)");
    } catch (...) {
        Application().HandleException();
    }
}

} // namespace orvel::explorer
