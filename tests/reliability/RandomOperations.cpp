// The random-operations checker's world, its steps and the invariants checked after each step.
#include "tests/reliability/RandomOperations.h"

#include "orvel/host/core/Application.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Platform.h"
#include "orvel/host/data/sql/SqlEngine.h"
#include "orvel/listview/DataBaseListView.h"
#include "orvel/treeview/DBCustomTreeView.h"
#include "tests/support/data/DataFixtures.h"
#include "tests/support/driver/Driver.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <stdexcept>

namespace orvel::test {

const TCheckSchema& OneFieldKeySchema() {
    static const TCheckSchema schema{"one-field key", "ORGANIZATION", "PARENT_ID", {"ID"},
                                     {"PARENT_ID"},   "Null",         false};
    return schema;
}

const TCheckSchema& TwoFieldKeySchema() {
    static const TCheckSchema schema{"two-field key",
                                     "UNITS",
                                     "OWNER_GROUP;OWNER_ID",
                                     {"UNIT_GROUP", "UNIT_ID"},
                                     {"OWNER_GROUP", "OWNER_ID"},
                                     "Null;Null",
                                     true};
    return schema;
}

namespace {

const char* const kOpNames[] = {
    "Select",      "Expand",          "Collapse",    "Rename",       "InsertChild", "InsertSibling",
    "InsertRoot",  "InsertFromTable", "DragOnto",    "DragToEmpty",  "Delete",      "MoveDataSet",
    "Reload",      "ReloadBranch",    "ListSelect",  "ListRename",   "ListInsert",  "ListDelete",
    "OtherInsert", "OtherDelete",     "OtherRename", "OtherReparent"};
static_assert(std::size(kOpNames) == static_cast<std::size_t>(TOp::Count));

// How often each operation is drawn: mostly what users do all day, some of everything else.
const int kOpWeights[] = {10, 7, 3, 6, 3, 3, 2, 3, 6, 2, 4, 8, 2, 3, 6, 3, 3, 3, 2, 2, 2, 2};
static_assert(std::size(kOpWeights) == static_cast<std::size_t>(TOp::Count));

// A stored NULL in a key vector (keys themselves are never null).
constexpr int64_t kNull = std::numeric_limits<int64_t>::min();
using TKey = std::vector<int64_t>;

// One record as the oracle sees it.
struct TRecord {
    TKey Parent;
    std::string Name;
    int64_t RowId = 0;
    bool operator==(const TRecord& o) const { return Parent == o.Parent && Name == o.Name; }
};
using TRecords = std::map<TKey, TRecord>;

// The table is kept between these sizes: a step that would leave it outside deletes or inserts
// instead.
constexpr std::size_t kMinRecords = 3;
constexpr std::size_t kMaxRecords = 40;

const TSqlFault kFaults[] = {
    {5, "database is locked"}, {10, "disk I/O error"}, {19, "constraint failed"}};

std::string KeyText(const TKey& key) {
    std::string text;
    for (int64_t v : key) {
        if (!text.empty()) text += ",";
        text += v == kNull ? std::string("null") : std::to_string(v);
    }
    return text;
}

std::string SqlValue(int64_t v) {
    return v == kNull ? std::string("NULL") : std::to_string(v);
}

TKey KeyOf(const Variant& id) {
    TKey key;
    if (!id.IsArray()) {
        key.push_back(id.IsNull() || id.IsEmpty() ? kNull : id.AsInt64());
        return key;
    }
    for (int32_t i = 0; i <= VarArrayHighBound(id, 1); ++i)
        key.push_back(id[i].IsNull() || id[i].IsEmpty() ? kNull : id[i].AsInt64());
    return key;
}

Variant KeyVariant(const TKey& key) {
    std::vector<Variant> values;
    for (int64_t v : key)
        values.push_back(v == kNull ? Variant::Null() : Variant(v));
    return VarArrayOf(std::move(values));
}

// What differs between two pictures of the table, record by record.
std::string Diff(const TRecords& expected, const TRecords& actual) {
    std::string text;
    auto show = [](const TRecord& r) { return "(" + KeyText(r.Parent) + ", " + r.Name + ")"; };
    for (const auto& [key, record] : expected) {
        auto it = actual.find(key);
        if (it == actual.end())
            text += "lost " + KeyText(key) + show(record) + "; ";
        else if (!(it->second == record))
            text += KeyText(key) + " is " + show(it->second) + " not " + show(record) + "; ";
    }
    for (const auto& [key, record] : actual)
        if (!expected.count(key)) text += "unasked " + KeyText(key) + show(record) + "; ";
    return text;
}

// A form as an application builds it over the schema's table (a tree view and a list view on one
// data source), and a second connection to the same database file that plays the other program.
class TCheckWorld {
public:
    explicit TCheckWorld(const TCheckSchema& schema) : FSchema(schema) {
        reset_ui();
        SetPlatform(&FPlatform);
        FDb = std::make_unique<TTestDatabase>(TStorage::TempFile);
        if (schema.MakeUnits) FDb->CreateUnits();
        FOther = OpenSqliteConnection(FDb->FileName());
        FOther->Execute("PRAGMA synchronous = OFF");
        FTable = FDb->OpenTable(schema.Table, schema.Index);
        FForm = std::make_unique<TTestForm>(900, 1700);
        FSource = new TDataSource(&FForm->Form());
        FSource->SetDataSet(FTable.get());
        FTree = &FForm->Place<TDBTreeView>(0, 0, 300, 1600);
        FTree->SetNameField("NAME");
        std::string relations;
        for (std::size_t i = 0; i < schema.Keys.size(); ++i)
            relations += (i ? ";" : "") + schema.Parents[i] + "->" + schema.Keys[i];
        FTree->SetRelations(relations);
        FTree->SetTopParentKey(schema.Root);
        FTree->SetLoadStyle(lsOneAhead);
        FTree->SetDragMode(dmAutomatic);
        FList = &FForm->Place<TDBListView>(310, 0, 300, 1600);
        FList->SetViewStyle(vsReport);
        FList->Columns()->Add()->SetWidth(150);
        std::string keys;
        for (const std::string& k : schema.Keys)
            keys += (keys.empty() ? "" : ";") + k;
        FKeyFields = keys;
        FList->SetKeyFields(keys);
        FList->SetNameField("NAME");
        FTree->SetDataSource(FSource);
        FList->SetDataSource(FSource);
        run_messages();
        FShadow = Stored();
    }

    ~TCheckWorld() {
        FForm.reset();
        FTable.reset();
        FOther.reset();
        FDb.reset();
        reset_ui();
        SetPlatform(nullptr);
    }
    TCheckWorld(const TCheckWorld&) = delete;
    TCheckWorld& operator=(const TCheckWorld&) = delete;

    // The tree as text (key, "+" for an expand button, "*" when complete, children in
    // parentheses), for tracing a run.
    std::string Picture(const TTreeNode* first = nullptr, bool top = true) const {
        if (top) first = FTree->Items()->GetFirstNode();
        std::string text;
        for (const TTreeNode* n = first; n; n = n->GetNextSibling()) {
            auto* node = static_cast<const TDBTreeNode*>(n);
            if (!text.empty()) text += ", ";
            text += KeyText(KeyOf(node->GetID())) + (n->HasChildren() ? "+" : "") +
                    (node->GetComplete() ? "*" : "");
            if (n == FTree->Selected()) text += "<";
            if (n->GetFirstChild()) text += " (" + Picture(n->GetFirstChild(), false) + ")";
        }
        return text;
    }
    std::string CurrentText() const {
        std::string text = KeyText(CurrentKey()) + " | list";
        for (int i = 0; i < FList->Items()->Count(); ++i) {
            auto* item = static_cast<TDBListItem*>(FList->Items()->Item(i));
            text += " " + KeyText(KeyOf(item->GetID())) + (item == FList->ItemFocused() ? "<" : "");
        }
        return text;
    }

    // The state before any step must already hold the invariants.
    std::string CheckStart() { return Check(false); }

    // Runs one step and answers what is wrong afterwards (empty when nothing).
    std::string Run(const TStep& step, std::size_t index, TRunFigures& figures) {
        FIndex = index;
        FExpected = FShadow;
        Application().ShownErrors.clear();
        std::string error;
        bool fired = false;
        Arm(step.Fault, fired);
        try {
            Act(step);
            run_messages();
        } catch (const std::exception& e) {
            error += e.what() + std::string("; ");
        }
        Connection().SetFaultHook(nullptr);
        std::string wrong;
        if (error.empty() && Application().ShownErrors.empty() && !fired &&
            FTable->State() != dsBrowse)
            wrong += "the step left the dataset editing; ";
        Settle(error);
        for (const std::string& shown : Application().ShownErrors)
            error += shown + "; ";
        Application().ShownErrors.clear();
        bool failed = fired || !error.empty();
        figures.Faults += fired ? 1 : 0;
        figures.Errors += error.empty() ? 0 : 1;

        // Only a step that told of an error may have left the table as it was; a failure that
        // nobody reported must not have cost a write.
        TRecords now = Stored();
        if (!SameRecords(now, FExpected)) {
            if (error.empty())
                wrong += "the table differs from what was asked: " + Diff(FExpected, now);
            else if (!SameRecords(now, FShadow))
                wrong += "the table is half changed after an error (" + error +
                         "): " + Diff(FExpected, now);
        }
        FShadow = now;
        wrong += AtRest(failed);
        if (failed) {
            // After an error the views may show less than the table holds, never anything else.
            // The user reloads, or goes on with what the views show (a closed dataset is
            // reopened either way).
            // A re-read that fails after another program's change leaves the tree as the table
            // was before that change, which the tree could not learn: the user reloads.
            bool other = step.Op >= TOp::OtherInsert;
            if (!other) wrong += TreeMismatch(now, false, false);
            if (other || (step.B >> 9) % 2 == 0 || !FTable->GetActive()) {
                Recover(wrong);
            } else {
                FTreeWhole = false;
                FListFresh = false;
                FInStep = false;
            }
        }
        wrong += Check(true);
        if (!wrong.empty() && !error.empty()) wrong += "(the step reported: " + error + ")";
        return wrong;
    }

private:
    // ---- the oracle -----------------------------------------------------------------------------

    TRecords Stored() {
        std::string sql = "SELECT rowid";
        for (const std::string& k : FSchema.Keys)
            sql += ", " + k;
        for (const std::string& p : FSchema.Parents)
            sql += ", " + p;
        sql += ", NAME FROM " + FSchema.Table;
        auto stmt = FOther->Prepare(sql);
        TRecords records;
        const int n = static_cast<int>(FSchema.Keys.size());
        while (stmt->Step()) {
            TKey key, parent;
            for (int i = 0; i < n; ++i)
                key.push_back(stmt->ColumnInt64(1 + i));
            for (int i = 0; i < n; ++i)
                parent.push_back(stmt->ColumnType(1 + n + i) == TSqlType::Null
                                     ? kNull
                                     : stmt->ColumnInt64(1 + n + i));
            records[key] = {parent, std::string(stmt->ColumnText(1 + 2 * n)), stmt->ColumnInt64(0)};
        }
        return records;
    }
    static bool SameRecords(const TRecords& a, const TRecords& b) {
        return a.size() == b.size() &&
               std::equal(a.begin(), a.end(), b.begin(), [](const auto& x, const auto& y) {
                   return x.first == y.first && x.second == y.second;
               });
    }
    TKey Root() const { return TKey(FSchema.Keys.size(), kNull); }
    // The children of every parent key in index order (the parent fields, then the row id).
    static std::map<TKey, std::vector<TKey>> Children(const TRecords& records) {
        std::map<TKey, std::vector<std::pair<int64_t, TKey>>> byRow;
        for (const auto& [key, record] : records)
            byRow[record.Parent].push_back({record.RowId, key});
        std::map<TKey, std::vector<TKey>> children;
        for (auto& [parent, rows] : byRow) {
            std::sort(rows.begin(), rows.end());
            for (const auto& row : rows)
                children[parent].push_back(row.second);
        }
        return children;
    }
    // The record's chain of parents ends at the top, without a cycle or a missing parent.
    bool Reachable(const TRecords& records, TKey key) const {
        std::set<TKey> seen;
        for (;;) {
            if (key == Root()) return true;
            auto it = records.find(key);
            if (it == records.end() || !seen.insert(key).second) return false;
            key = it->second.Parent;
        }
    }

    // ---- the invariants -------------------------------------------------------------------------

    std::string AtRest(bool failed = false) {
        std::string wrong;
        if (FTree->IsStopped()) wrong += "the tree stays busy; ";
        if (FList->IsStopped()) wrong += "the list stays busy; ";
        if (FTable->ControlsDisabled()) wrong += "the controls stay disabled; ";
        if (FTable->RangeApplied()) wrong += "a range is left on the table; ";
        // A dataset whose reopening failed stays closed until the user opens it again.
        if (FTable->State() != dsBrowse && !(failed && FTable->State() == dsInactive))
            wrong += "the dataset is not browsing; ";
        if (Application().QueuedCount() != 0) wrong += "messages stay queued; ";
        return wrong;
    }

    std::string Check(bool afterStep) {
        TRecords records = Stored();
        std::string wrong = afterStep ? std::string() : AtRest();
        wrong += TreeMismatch(records, FTreeWhole, FOrdered);
        if (FListFresh) wrong += ListMismatch(records);
        if (FInStep) wrong += SyncMismatch(records);
        return wrong;
    }

    // Every node stands for a stored record, with its stored name, under the node of its stored
    // parent (at the top for the root key), once under that parent. With whole: every complete
    // node (and the top level) has exactly the children the table holds (in index order when
    // ordered), and a node whose children are not loaded shows an expand button when it has
    // some.
    std::string TreeMismatch(const TRecords& records, bool whole, bool ordered) {
        std::string wrong;
        auto children = Children(records);
        std::map<const TTreeNode*, std::vector<TKey>> shownUnder;
        for (TTreeNode* n = FTree->Items()->GetFirstNode(); n; n = n->GetNext()) {
            auto* node = static_cast<TDBTreeNode*>(n);
            TKey key = KeyOf(node->GetID());
            shownUnder[n->Parent()].push_back(key);
            auto it = records.find(key);
            if (it == records.end()) {
                wrong += "a node of the missing record " + KeyText(key) + "; ";
                continue;
            }
            if (node->Text() != it->second.Name)
                wrong += KeyText(key) + " shown as '" + node->Text() + "' not '" + it->second.Name +
                         "'; ";
            TKey shownParent =
                n->Parent() ? KeyOf(static_cast<TDBTreeNode*>(n->Parent())->GetID()) : Root();
            if (shownParent != it->second.Parent)
                wrong += KeyText(key) + " shown under " + KeyText(shownParent) + " not " +
                         KeyText(it->second.Parent) + "; ";
            // A look-ahead pass does not decide its nodes' buttons: only a node its parent's own
            // pass has read (or a top-level node read by the top-level pass) must show that it
            // has children. A look-ahead node shown early (its parent opened by an insertion
            // under it, in insert state, where no branch is read) keeps the undecided button
            // until its parent's branch or the tree is read again; one dropped elsewhere offers
            // the button until its own branch is read.
            bool readByItsParent =
                n->Parent() ? static_cast<TDBTreeNode*>(n->Parent())->GetComplete() : ordered;
            if (whole && n->IsNodeVisible() && readByItsParent && !node->GetComplete() &&
                !n->GetFirstChild() && !n->HasChildren() && !children[key].empty())
                wrong += KeyText(key) + " hides its children; ";
        }
        for (auto& [parent, keys] : shownUnder) {
            std::vector<TKey> sorted = keys;
            std::sort(sorted.begin(), sorted.end());
            if (std::adjacent_find(sorted.begin(), sorted.end()) != sorted.end())
                wrong += "a key twice under one parent; ";
        }
        if (!whole) return wrong;
        auto compare = [&](const TTreeNode* parent, const TKey& parentKey) {
            const std::vector<TKey>& shown = shownUnder[parent];
            const std::vector<TKey>& stored = children[parentKey];
            bool same = ordered ? shown == stored
                                : std::multiset<TKey>(shown.begin(), shown.end()) ==
                                      std::multiset<TKey>(stored.begin(), stored.end());
            if (same) return;
            std::string text;
            for (const TKey& k : shown)
                text += KeyText(k) + " ";
            text += "/ stored ";
            for (const TKey& k : stored)
                text += KeyText(k) + " ";
            wrong += "children of " + KeyText(parentKey) + ": shown " + text + "; ";
        };
        compare(nullptr, Root());
        for (TTreeNode* n = FTree->Items()->GetFirstNode(); n; n = n->GetNext())
            if (static_cast<TDBTreeNode*>(n)->GetComplete())
                compare(n, KeyOf(static_cast<TDBTreeNode*>(n)->GetID()));
        return wrong;
    }

    std::string ListMismatch(const TRecords& records) {
        std::string wrong;
        std::set<TKey> shown;
        for (int i = 0; i < FList->Items()->Count(); ++i) {
            auto* item = static_cast<TDBListItem*>(FList->Items()->Item(i));
            TKey key = KeyOf(item->GetID());
            if (!shown.insert(key).second) wrong += "the list shows " + KeyText(key) + " twice; ";
            auto it = records.find(key);
            if (it == records.end())
                wrong += "the list shows the missing record " + KeyText(key) + "; ";
            else if (item->Caption() != it->second.Name)
                wrong += "the list shows " + KeyText(key) + " as '" + item->Caption() + "'; ";
        }
        for (const auto& [key, record] : records)
            if (!shown.count(key)) wrong += "the list lacks " + KeyText(key) + "; ";
        return wrong;
    }

    // The node at the top for the top-level record the chain of key's parents ends at; nil when
    // the tree shows none. The tree reads the top level only in a whole load, never to reveal a
    // record, so after a load that failed part way (the tree not whole) a record under a missing
    // top-level node has no node to select until the user reloads.
    TTreeNode* TopLevelNodeOf(const TRecords& records, TKey key) const {
        for (auto it = records.find(key); it != records.end() && it->second.Parent != Root();
             it = records.find(key))
            key = it->second.Parent;
        for (TTreeNode* n = FTree->Items()->GetFirstNode(); n; n = n->GetNextSibling())
            if (KeyOf(static_cast<TDBTreeNode*>(n)->GetID()) == key) return n;
        return nullptr;
    }

    // The selected node is the current record's; none when that record cannot be reached from
    // the top, and none allowed while the tree is not whole and lacks the record's top-level
    // node (see TopLevelNodeOf).
    std::string SyncMismatch(const TRecords& records) {
        if (FTable->IsEmpty()) return FTree->Selected() ? "a selection on an empty table; " : "";
        TKey current = CurrentKey();
        auto* selected = static_cast<TDBTreeNode*>(FTree->Selected());
        if (!records.count(current)) return ""; // the cursor is on a record gone meanwhile
        if (!Reachable(records, current))
            return selected ? "the unreachable current record " + KeyText(current) + " leaves " +
                                  KeyText(KeyOf(selected->GetID())) + " selected; "
                            : "";
        if (!selected && !FTreeWhole && !TopLevelNodeOf(records, current)) return "";
        if (!selected) return "no node selected for the current record " + KeyText(current) + "; ";
        if (KeyOf(selected->GetID()) != current)
            return "the selected node " + KeyText(KeyOf(selected->GetID())) +
                   " is not the current record " + KeyText(current) + "; ";
        return "";
    }

    // ---- doing the steps ------------------------------------------------------------------------

    TSqlConnection& Connection() { return FDb->Database().Connection(); }

    void Arm(uint32_t fault, bool& fired) {
        if (fault == 0) return;
        int64_t base = Connection().CallCount();
        const TSqlFault& kind = kFaults[fault % 3];
        Connection().SetFaultHook(
            [&fired, base, fault, kind](TSqlCall, int64_t number) -> std::optional<TSqlFault> {
                if (number - base != static_cast<int64_t>(fault)) return std::nullopt;
                fired = true;
                return kind;
            });
    }

    // The user ends what the step left pending: a pending record is posted, or cancelled when
    // that fails.
    void Settle(std::string& error) {
        try {
            if (FTable->State() == dsEdit || FTable->State() == dsInsert) FTable->Post();
            run_messages();
        } catch (const std::exception& e) {
            error += std::string("settling: ") + e.what() + "; ";
            try {
                FTable->Cancel();
                run_messages();
            } catch (const std::exception& e2) {
                error += std::string("cancelling: ") + e2.what() + "; ";
            }
        }
    }

    // After an error the user reloads; from then on the views must be whole again.
    void Recover(std::string& wrong) {
        try {
            if (FTree->IsEditing() || FList->IsEditing()) FTable->Cancel();
            // A reopening that failed left the dataset closed: the user opens it again.
            if (!FTable->GetActive())
                FTable->Open();
            else
                FList->Reload();
            run_messages();
        } catch (const std::exception& e) {
            wrong += std::string("the reload after an error fails: ") + e.what() + "; ";
        }
        for (const std::string& shown : Application().ShownErrors)
            wrong += "the reload after an error shows " + shown + "; ";
        Application().ShownErrors.clear();
        FOrdered = true;
        FListFresh = true;
        FInStep = true;
        FTreeWhole = true;
    }

    // An error shown to the user ends the step: nobody goes on typing into a dialog's back.
    void StopAtShownError() const {
        if (!Application().ShownErrors.empty()) throw std::runtime_error("the step stopped");
    }

    void Act(const TStep& step) {
        TOp op = step.Op;
        bool insert = op == TOp::InsertChild || op == TOp::InsertSibling || op == TOp::InsertRoot ||
                      op == TOp::InsertFromTable || op == TOp::ListInsert || op == TOp::OtherInsert;
        bool remove = op == TOp::Delete || op == TOp::ListDelete || op == TOp::OtherDelete;
        if (insert && FShadow.size() >= kMaxRecords)
            op = op == TOp::ListInsert    ? TOp::ListDelete
                 : op == TOp::OtherInsert ? TOp::OtherDelete
                                          : TOp::Delete;
        if (remove && FShadow.size() <= kMinRecords)
            op = op == TOp::ListDelete    ? TOp::ListInsert
                 : op == TOp::OtherDelete ? TOp::OtherInsert
                                          : TOp::InsertFromTable;
        switch (op) {
        case TOp::Select:
            Select(step.A);
            break;
        case TOp::Expand:
        case TOp::Collapse:
            Toggle(step.A, op == TOp::Expand);
            break;
        case TOp::Rename:
            Rename(step.A, step.B);
            break;
        case TOp::InsertChild:
            TreeInsert(step.A, step.B, imAddChild);
            break;
        case TOp::InsertSibling:
            TreeInsert(step.A, step.B, imAddSibling);
            break;
        case TOp::InsertRoot:
            TreeInsert(step.A, step.B, imAddRootNode);
            break;
        case TOp::InsertFromTable:
            TreeInsert(step.A, step.B, imAddFromTable);
            break;
        case TOp::DragOnto:
        case TOp::DragToEmpty:
            Drag(step.A, step.B, op == TOp::DragOnto);
            break;
        case TOp::Delete:
            TreeDelete(step.A);
            break;
        case TOp::MoveDataSet:
            Move(step.A, step.B);
            break;
        case TOp::Reload:
            Reload(step.B);
            break;
        case TOp::ReloadBranch:
            ReloadBranch(step.A, step.B);
            break;
        case TOp::ListSelect:
            ListSelect(step.A);
            break;
        case TOp::ListRename:
            ListRename(step.A, step.B);
            break;
        case TOp::ListInsert:
            ListInsert(step.A, step.B);
            break;
        case TOp::ListDelete:
            ListDelete(step.A);
            break;
        case TOp::OtherInsert:
        case TOp::OtherDelete:
        case TOp::OtherRename:
        case TOp::OtherReparent:
            Other(op, step.A, step.B);
            break;
        case TOp::Count:
            break;
        }
    }

    // Nodes with a row (every ancestor expanded), in display order.
    std::vector<TKey> ShownNodes(bool expandedOnly = false) const {
        std::vector<TKey> keys;
        for (TTreeNode* n = FTree->Items()->GetFirstNode(); n; n = n->GetNext())
            if (n->IsNodeVisible() && (!expandedOnly || n->Expanded()))
                keys.push_back(KeyOf(static_cast<TDBTreeNode*>(n)->GetID()));
        return keys;
    }
    std::optional<TKey> PickNode(uint32_t a, bool expandedOnly = false) const {
        std::vector<TKey> keys = ShownNodes(expandedOnly);
        if (keys.empty()) return std::nullopt;
        return keys[a % keys.size()];
    }
    // Nodes are found again by key after anything that may have removed them (by a walk: the
    // tree's own search wants the key's values in the field types).
    TDBTreeNode* NodeOf(const TKey& key) const {
        for (TTreeNode* n = FTree->Items()->GetFirstNode(); n; n = n->GetNext())
            if (KeyOf(static_cast<TDBTreeNode*>(n)->GetID()) == key)
                return static_cast<TDBTreeNode*>(n);
        return nullptr;
    }
    TPoint LabelPoint(const TKey& key) const {
        TDBTreeNode* node = NodeOf(key);
        node->MakeVisible();
        return center_of(node->DisplayRect(true));
    }
    // Clicks the node's caption; false when the node is gone.
    bool ClickNode(const TKey& key) {
        if (!NodeOf(key)) return false;
        click(*FTree, LabelPoint(key));
        run_messages();
        StopAtShownError();
        return true;
    }
    TKey SelectedKey() const {
        return FTree->Selected() ? KeyOf(static_cast<TDBTreeNode*>(FTree->Selected())->GetID())
                                 : TKey();
    }
    TKey CurrentKey() const {
        TKey key;
        for (const std::string& k : FSchema.Keys) {
            TField* f = FTable->FieldByName(k);
            key.push_back(f->IsNull() ? kNull : f->GetAsLargeInt());
        }
        return key;
    }
    // A stored record chosen by a (as the other program or the user sees the table).
    std::optional<TKey> PickRecord(uint32_t a) const {
        if (FShadow.empty()) return std::nullopt;
        auto it = FShadow.begin();
        std::advance(it, a % FShadow.size());
        return it->first;
    }
    // A key no record has had in this run, so no row id is ever used twice.
    TKey NewKey() {
        ++FNextKey;
        return FSchema.Keys.size() == 1 ? TKey{FNextKey} : TKey{9, FNextKey};
    }
    std::string NewName(char prefix) const { return prefix + std::to_string(FIndex); }
    void WriteFields(const std::vector<std::string>& names, const TKey& values) {
        for (std::size_t i = 0; i < names.size(); ++i) {
            TField* f = FTable->FieldByName(names[i]);
            if (values[i] == kNull)
                f->Clear();
            else
                f->SetAsLargeInt(values[i]);
        }
    }

    void Select(uint32_t a) {
        auto key = PickNode(a);
        if (!key) return;
        bool change = SelectedKey() != *key;
        ClickNode(*key);
        if (change) FInStep = true;
    }

    void Toggle(uint32_t a, bool expand) {
        auto key = PickNode(a);
        if (!key) return;
        if (expand)
            NodeOf(*key)->Expand(false);
        else
            NodeOf(*key)->Collapse(false);
    }

    // F2 on the chosen node, the new caption typed and Enter; the edit is posted by choosing
    // another node, by the tree's posted check or by the application.
    void Rename(uint32_t a, uint32_t b) {
        auto key = PickNode(a);
        if (!key || !ClickNode(*key)) return;
        FInStep = true;
        if (SelectedKey() != *key) return;
        press_key(*FTree, VK_F2);
        if (!FTree->IsEditing()) return;
        std::string name = NewName('R');
        type_caption(*FTree, name);
        if (FExpected.count(*key)) FExpected[*key].Name = name;
        auto other = PickNode(b / 3);
        if (b % 3 == 0 && other && *other != *key) {
            ClickNode(*other);
        } else if (b % 3 == 2) {
            FTable->Post();
        } else {
            FTree->PostCheckBrowseMode();
        }
        run_messages();
    }

    // The chosen node is selected, then the application inserts a record in the tree's insert
    // mode, fills its key and name (and, from the table, its parent) and posts it.
    void TreeInsert(uint32_t a, uint32_t b, TInsertMode mode) {
        if (auto key = PickNode(a)) ClickNode(*key);
        FInStep = true;
        FTree->SetInsertMode(mode);
        auto* selected = static_cast<TDBTreeNode*>(FTree->Selected());
        TKey parent = Root();
        if (mode == imAddChild && selected) parent = KeyOf(selected->GetID());
        if (mode == imAddSibling && selected && selected->Parent())
            parent = KeyOf(static_cast<TDBTreeNode*>(selected->Parent())->GetID());
        if (mode == imAddFromTable && b % 4 != 0) parent = *PickRecord(b / 4);
        InsertRecord(parent, mode == imAddFromTable, b % 2 == 1);
    }

    void InsertRecord(const TKey& parent, bool writeParent, bool append) {
        // The new node goes last among the nodes its parent has loaded so far, and a later load
        // of that parent leaves it there: index order holds again after the next whole load.
        FOrdered = false;
        TKey key = NewKey();
        std::string name = NewName('I');
        if (append)
            FTable->Append();
        else
            FTable->Insert();
        if (writeParent) WriteFields(FSchema.Parents, parent);
        WriteFields(FSchema.Keys, key);
        FTable->FieldByName("NAME")->SetAsString(name);
        FExpected[key] = {parent, name, 0};
        FTable->Post();
        run_messages();
    }

    // Drags the chosen node onto another shown node, or onto empty space below the rows; a drop
    // onto the node itself or its own branch changes nothing.
    void Drag(uint32_t a, uint32_t b, bool ontoNode) {
        auto moved = PickNode(a);
        if (!moved) return;
        std::optional<TKey> target;
        TPoint to{60, 1500};
        if (ontoNode) {
            target = PickNode(b);
            to = LabelPoint(*target);
        }
        TPoint from = LabelPoint(*moved);
        if (!ontoNode && FTree->GetNodeAt(to.X, to.Y)) return;
        TDBTreeNode* targetNode = target ? NodeOf(*target) : nullptr;
        TDBTreeNode* movedNode = NodeOf(*moved);
        bool related =
            targetNode && (targetNode == movedNode || targetNode->HasAsParent(movedNode));
        // Pressing the mouse on the node selects it (moving the dataset) unless it is selected
        // already; the drop's post is the tree's own and does not bring the two in step.
        if (movedNode != FTree->Selected()) FInStep = true;
        // A dropped node goes last under its new parent, or first under its own: the order of
        // index holds again after the next whole load.
        FOrdered = false;
        if (!related && FExpected.count(*moved))
            FExpected[*moved].Parent = target ? *target : Root();
        drag_to(*FTree, from, *FTree, to);
        run_messages();
    }

    // The chosen node is selected and the application deletes the current record.
    void TreeDelete(uint32_t a) {
        if (auto key = PickNode(a)) ClickNode(*key);
        FInStep = true;
        DeleteCurrent();
    }
    void DeleteCurrent() {
        if (FTable->IsEmpty()) return;
        FExpected.erase(CurrentKey());
        FTable->Delete();
        run_messages();
    }

    // Another control or the application moves the dataset.
    void Move(uint32_t a, uint32_t b) {
        // Only a cursor that moves tells the tree (Next on the last record stays where it is).
        struct TMoved {
            TCheckWorld& World;
            TKey Before;
            ~TMoved() {
                try {
                    if (World.FTable->GetActive() && World.CurrentKey() != Before)
                        World.FInStep = true;
                } catch (...) {
                    // A cursor on no record leaves the promise as it was.
                }
            }
        } moved{*this, CurrentKey()};
        switch (b % 5) {
        case 0:
            FTable->First();
            break;
        case 1:
            FTable->Last();
            break;
        case 2:
            FTable->Next();
            break;
        case 3:
            FTable->Prior();
            break;
        default:
            if (auto key = PickRecord(a)) {
                Variant values = key->size() == 1 ? Variant((*key)[0]) : KeyVariant(*key);
                FTable->Locate(FKeyFields, values);
            }
            break;
        }
        run_messages();
    }

    void Reload(uint32_t b) {
        if (b % 2 == 0)
            FTree->PostReload();
        else
            FList->Reload();
        run_messages();
        FOrdered = true;
        FInStep = true;
        FTreeWhole = true;
        if (b % 2 == 1) FListFresh = true;
    }

    // The application has an expanded branch read again. Whether that moves the dataset is not
    // promised, so selection and cursor need not agree afterwards.
    void ReloadBranch(uint32_t a, uint32_t b) {
        auto key = PickNode(a, true);
        if (!key) return;
        FInStep = false;
        if (b % 2 == 0)
            FTree->PostReloadBranch(NodeOf(*key));
        else
            FTree->ReloadBranch(NodeOf(*key));
        run_messages();
    }

    TDBListItem* ListItem(uint32_t a) const {
        int count = FList->Items()->Count();
        if (count == 0) return nullptr;
        return static_cast<TDBListItem*>(FList->Items()->Item(static_cast<int>(a % count)));
    }
    bool ClickItem(uint32_t a) {
        TDBListItem* item = ListItem(a);
        if (!item) return false;
        item->MakeVisible(false);
        click(*FList, center_of(item->DisplayRect(drLabel)));
        run_messages();
        StopAtShownError();
        return true;
    }

    void ListSelect(uint32_t a) {
        TDBListItem* item = ListItem(a);
        if (!item) return;
        if (item != FList->ItemFocused()) FInStep = true;
        ClickItem(a);
    }

    // F2 renames the focused item: the clicked one, or its neighbour when the clicked item's
    // record was gone and the item went with it.
    void ListRename(uint32_t a, uint32_t b) {
        if (!ClickItem(a)) return;
        FInStep = true;
        auto* focused = static_cast<TDBListItem*>(FList->ItemFocused());
        if (!focused) return;
        TKey key = KeyOf(focused->GetID());
        press_key(*FList, VK_F2);
        if (!FList->IsEditing()) return;
        std::string name = NewName('L');
        type_caption(*FList, name);
        if (FExpected.count(key)) FExpected[key].Name = name;
        TDBListItem* other = ListItem(b);
        if (other && KeyOf(other->GetID()) != key)
            ClickItem(b);
        else
            FTable->Post();
        run_messages();
    }

    // An item is chosen in the list, then the application appends or inserts a record naming its
    // own parent; the tree takes the record where the table says.
    void ListInsert(uint32_t a, uint32_t b) {
        ClickItem(a);
        FInStep = true;
        FTree->SetInsertMode(imAddFromTable);
        TKey parent = b % 4 == 0 ? Root() : *PickRecord(b / 4);
        InsertRecord(parent, true, b % 2 == 1);
    }

    void ListDelete(uint32_t a) {
        ClickItem(a);
        FInStep = true;
        DeleteCurrent();
    }

    // ---- the other program ----------------------------------------------------------------------

    std::string Where(const TKey& key) const {
        std::string text;
        for (std::size_t i = 0; i < key.size(); ++i)
            text += (i ? " AND " : " WHERE ") + FSchema.Keys[i] + " = " + SqlValue(key[i]);
        return text;
    }
    std::string SetParent(const TKey& parent) const {
        std::string text;
        for (std::size_t i = 0; i < parent.size(); ++i)
            text += (i ? ", " : "") + FSchema.Parents[i] + " = " + SqlValue(parent[i]);
        return text;
    }

    // Another program changes the table, then the user reloads, or opens the branches it
    // changed again.
    void Other(TOp op, uint32_t a, uint32_t b) {
        std::vector<TKey> touched; // parents whose children changed
        TKey renamed;
        if (op == TOp::OtherInsert) {
            TKey parent = b % 4 == 0 ? Root() : *PickRecord(b / 4);
            TKey key = NewKey();
            std::string name = NewName('O');
            std::string columns, values;
            for (std::size_t i = 0; i < key.size(); ++i) {
                columns += FSchema.Keys[i] + ", " + FSchema.Parents[i] + ", ";
                values += SqlValue(key[i]) + ", " + SqlValue(parent[i]) + ", ";
            }
            FOther->Execute("INSERT INTO " + FSchema.Table + " (" + columns + "NAME) VALUES (" +
                            values + "'" + name + "')");
            FExpected[key] = {parent, name, 0};
            touched.push_back(parent);
        } else {
            TKey key = *PickRecord(a);
            if (op == TOp::OtherDelete) {
                // The record holding the highest row id stays: a new row would take that row id
                // again, and bookmarks that survive such a reuse are the row-identity work's
                // concern, not what this checker looks at.
                int64_t highest = 0;
                for (const auto& [k, r] : FShadow)
                    highest = std::max(highest, r.RowId);
                if (FShadow[key].RowId == highest) return;
                FOther->Execute("DELETE FROM " + FSchema.Table + Where(key));
                touched.push_back(FExpected[key].Parent);
                FExpected.erase(key);
            } else if (op == TOp::OtherRename) {
                std::string name = NewName('O');
                FOther->Execute("UPDATE " + FSchema.Table + " SET NAME = '" + name + "'" +
                                Where(key));
                FExpected[key].Name = name;
                renamed = key;
                touched.push_back(FExpected[key].Parent);
            } else {
                TKey parent = b % 5 == 0 ? Root() : *PickRecord(b / 5);
                if (parent == key) parent = Root();
                FOther->Execute("UPDATE " + FSchema.Table + " SET " + SetParent(parent) +
                                Where(key));
                touched.push_back(FExpected[key].Parent);
                touched.push_back(parent);
                FExpected[key].Parent = parent;
            }
        }
        bool topLevel = std::find(touched.begin(), touched.end(), Root()) != touched.end();
        if ((b >> 8) % 2 == 0 || topLevel) {
            WholeReload();
            return;
        }
        // A load pass never reads an existing node's caption again, so opening the branch again
        // would keep the old one: the application has the renamed record's node read again, or
        // its parent's branch reloaded. Both see the other program's commit, since the dataset
        // counts other connections' commits among its changes. The posted requests pass over a
        // node that is not shown (a look-ahead node under a collapsed parent), so such a node's
        // parent branch is reloaded at once instead.
        if (op == TOp::OtherRename) {
            FListFresh = false; // the list shows the old caption until it is reloaded
            FInStep = false;    // a branch reload selects its node without moving the cursor
            TDBTreeNode* node = NodeOf(renamed);
            if (!node) return;
            if (!node->IsNodeVisible())
                FTree->ReloadBranch(node->Parent());
            else if ((b >> 9) % 2 == 0)
                FTree->PostNodeSetup(node);
            else
                FTree->PostReloadBranch(node->Parent());
            run_messages();
            return;
        }
        // Opening a branch again reads its children again, appending the new ones; the list
        // keeps what it showed.
        FOrdered = false;
        FListFresh = false;
        FInStep = false;
        for (const TKey& parent : touched)
            if (!OpenAgain(parent)) {
                WholeReload();
                return;
            }
    }

    // Collapses and expands the node of key, which reads its children again; a node without an
    // expand button cannot be opened, so its parent is opened again instead (its look-ahead
    // reads the node's children). False when that would be the top level.
    bool OpenAgain(const TKey& key) {
        TTreeNode* node = NodeOf(key);
        if (!node) return true;
        if (!node->HasChildren() && !node->GetFirstChild()) {
            node = node->Parent();
            if (!node) return false;
        }
        TKey open = KeyOf(static_cast<TDBTreeNode*>(node)->GetID());
        if (node->Expanded()) node->Collapse(false);
        if ((node = NodeOf(open))) node->Expand(false);
        run_messages();
        return true;
    }

    void WholeReload() {
        FList->Reload();
        run_messages();
        FOrdered = true;
        FListFresh = true;
        FInStep = true;
        FTreeWhole = true;
    }

    const TCheckSchema& FSchema;
    TTestPlatform FPlatform;
    std::unique_ptr<TTestDatabase> FDb;
    std::unique_ptr<TSqlConnection> FOther;
    TOwned<TTable> FTable;
    std::unique_ptr<TTestForm> FForm;
    TDataSource* FSource = nullptr;
    TDBTreeView* FTree = nullptr;
    TDBListView* FList = nullptr;
    std::string FKeyFields;

    TRecords FShadow;   // the table as the steps so far asked for it
    TRecords FExpected; // the same after the step under way
    std::size_t FIndex = 0;
    int64_t FNextKey = 100;
    // What the views promise now: the tree's children in index order (after a whole load), the
    // list up to date (it is not told of the other program's changes), selection and cursor
    // in step (not after an application's branch reload or a change behind the tree's back),
    // in step, and the tree whole (not after an error the user did not reload after).
    bool FOrdered = true;
    bool FListFresh = true;
    bool FInStep = true;
    bool FTreeWhole = true;
};

} // namespace

std::string StepText(const TStep& step) {
    return "{TOp::" + std::string(kOpNames[static_cast<int>(step.Op)]) + ", " +
           std::to_string(step.A) + ", " + std::to_string(step.B) + ", " +
           std::to_string(step.Fault) + "}";
}

std::string StepsText(const std::vector<TStep>& steps) {
    std::string text;
    for (const TStep& step : steps)
        text += (text.empty() ? "" : ",\n") + StepText(step);
    return text;
}

std::vector<TStep> RandomSteps(uint64_t seed, int count) {
    // A generator whose sequence the standard fixes, and draws taken from it by hand (the
    // library's distributions differ between implementations).
    std::mt19937_64 random(seed);
    int total = 0;
    for (int w : kOpWeights)
        total += w;
    std::vector<TStep> steps;
    steps.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        int pick = static_cast<int>(random() % static_cast<uint64_t>(total));
        int op = 0;
        while (pick >= kOpWeights[op])
            pick -= kOpWeights[op++];
        TStep step;
        step.Op = static_cast<TOp>(op);
        step.A = static_cast<uint32_t>(random() % 1000);
        step.B = static_cast<uint32_t>(random() % 1000);
        // About one step in eight meets an engine failure at one of its first dozen calls.
        step.Fault = random() % 8 == 0 ? static_cast<uint32_t>(1 + random() % 12) : 0;
        steps.push_back(step);
    }
    return steps;
}

TRunResult RunSteps(const TCheckSchema& schema, const std::vector<TStep>& steps,
                    TRunFigures* figures) {
    TRunFigures local;
    TRunFigures& f = figures ? *figures : local;
    TCheckWorld world(schema);
    TRunResult result;
    result.Failure = world.CheckStart();
    if (!result.Failure.empty()) return result;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        ++f.Steps;
        try {
            result.Failure = world.Run(steps[i], i, f);
        } catch (const std::exception& e) {
            result.Failure = std::string("the checker met an error: ") + e.what();
        }
        if (figures && std::getenv("ORVEL_CHECK_TRACE"))
            std::fprintf(stderr, "%zu %s: %s | current %s\n", i, StepText(steps[i]).c_str(),
                         world.Picture().c_str(), world.CurrentText().c_str());
        if (!result.Failure.empty()) {
            result.FailedAt = i;
            return result;
        }
    }
    return result;
}

namespace {

// What kind of failure a text tells of: its first clause without numbers and quoted captions, so
// that a reduction keeps looking for the same fault rather than any other it meets on the way.
std::string FailureKind(const std::string& failure) {
    std::string kind;
    bool quoted = false;
    for (char c : failure.substr(0, failure.find(';'))) {
        if (c == '\'') quoted = !quoted;
        if (!quoted && !(c >= '0' && c <= '9')) kind += c;
    }
    return kind;
}

} // namespace

std::vector<TStep> ReduceSteps(const TCheckSchema& schema, std::vector<TStep> steps, int maxRuns) {
    TRunResult first = RunSteps(schema, steps);
    if (first.Failure.empty()) return steps;
    const std::string kind = FailureKind(first.Failure);
    steps.resize(first.FailedAt + 1);
    int runs = 0;
    for (std::size_t chunk = std::max<std::size_t>(steps.size() / 2, 1); runs < maxRuns;) {
        bool dropped = false;
        for (std::size_t at = 0; at < steps.size() && runs < maxRuns;) {
            std::vector<TStep> shorter = steps;
            shorter.erase(shorter.begin() + static_cast<std::ptrdiff_t>(at),
                          shorter.begin() +
                              static_cast<std::ptrdiff_t>(std::min(at + chunk, steps.size())));
            ++runs;
            TRunResult r = RunSteps(schema, shorter);
            if (!r.Failure.empty() && FailureKind(r.Failure) == kind) {
                shorter.resize(std::min(shorter.size(), r.FailedAt + 1));
                steps = shorter;
                dropped = true;
            } else {
                at += chunk;
            }
        }
        if (chunk == 1 && !dropped) break;
        if (!dropped) chunk = std::max<std::size_t>(chunk / 2, 1);
    }
    return steps;
}

} // namespace orvel::test
