// A tree of departments: a table that refers to itself (each department names its parent), shown
// as a lazily loaded tree. The program drives it as a user's window would, without a screen:
// it binds the tree, opens a branch, selects a department by moving the table, and prints what
// the tree holds after each step.
#include "orvel/host/controls/Forms.h"
#include "orvel/host/core/Application.h"
#include "orvel/host/data/DataSource.h"
#include "orvel/host/data/Database.h"
#include "orvel/host/data/Table.h"
#include "orvel/treeview/DBCustomTreeView.h"

#include <iostream>
#include <string>

using namespace orvel;

// [schema]
void CreateDepartments(TDatabase& database) {
    database.Execute("CREATE TABLE DEPARTMENTS (ID INTEGER PRIMARY KEY, PARENT_ID INTEGER,"
                     " NAME TEXT NOT NULL);"
                     "CREATE INDEX DEPARTMENTS_PARENT ON DEPARTMENTS (PARENT_ID);"
                     "INSERT INTO DEPARTMENTS VALUES (1, NULL, 'Head office'), (2, 1, 'Sales'),"
                     " (3, 2, 'North'), (4, 2, 'South'), (5, 1, 'Engineering'),"
                     " (6, 5, 'Research'), (7, NULL, 'Branch office');");
}
// [schema]

// Each loaded node on a line, indented by its level; "+" marks a node with children not shown.
void PrintTree(const TTreeNode* node, const TTreeNode* selected, int level = 0) {
    for (; node; node = node->GetNextSibling()) {
        std::cout << std::string(static_cast<size_t>(level) * 2, ' ') << node->Text()
                  << (node->HasChildren() && !node->Expanded() ? " +" : "")
                  << (node == selected ? "   <- selected" : "") << "\n";
        if (node->Expanded()) PrintTree(node->GetFirstChild(), selected, level + 1);
    }
}

void Show(const std::string& step, const TDBTreeView& tree) {
    std::cout << "== " << step << "\n";
    PrintTree(tree.Items()->GetFirstNode(), tree.Selected());
}

int main() {
    TForm* form = new TForm(nullptr);
    form->SetBounds(0, 0, 400, 300);
    form->Show();

    auto* database = new TDatabase(form);
    database->SetDatabaseName(":memory:");
    database->Open();
    CreateDepartments(*database);

    // [bind]
    // The table is read through the index on the parent field: each branch is one key range.
    auto* table = new TTable(form);
    table->SetDatabase(database);
    table->SetTableName("DEPARTMENTS");
    table->SetIndexFieldNames("PARENT_ID");
    table->Open();
    auto* source = new TDataSource(form);
    source->SetDataSet(table);

    auto* tree = new TDBTreeView(form);
    tree->SetParent(form);
    tree->SetBounds(0, 0, 400, 300);
    tree->SetNameField("NAME");
    tree->SetRelations("PARENT_ID->ID"); // a record's PARENT_ID holds its parent's ID
    tree->SetTopParentKey("Null");       // top-level departments have no parent
    tree->SetLoadStyle(lsOneAhead);      // read one level ahead to know which nodes have children
    tree->SetDataSource(source);
    Application().ProcessMessages(); // the tree fills from a posted message
    // [bind]
    Show("bound", *tree);

    // [expand]
    TTreeNode* head = tree->Items()->GetFirstNode();
    head->Expand(false); // reads Sales and Engineering, and whether each has children
    // [expand]
    Show("Head office expanded", *tree);

    // [select]
    table->Locate("ID", Variant(6)); // the tree follows the table to Research
    Application().ProcessMessages();
    // [select]
    Show("table moved to Research", *tree);
    std::cout << "current record: " << table->FieldByName("NAME")->GetAsString() << "\n";

    form->Free();
    return 0;
}
