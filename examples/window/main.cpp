// A desktop window: departments as a tree on the left and as a list on the right, both over
// one table, each following the record chosen in the other. The controls paint themselves; the
// platform layer shows the form's changed pixels in a window and hands it the mouse and keys, until
// the window is closed. With --offscreen FILE.png the same form is painted into a picture instead,
// without a window (the test command does that).
#include "orvel/host/controls/Forms.h"
#include "orvel/host/controls/Graphics.h"
#include "orvel/host/core/Application.h"
#include "orvel/host/data/DataSource.h"
#include "orvel/host/data/Database.h"
#include "orvel/host/data/Table.h"
#include "orvel/host/platform/FormInput.h"
#include "orvel/host/platform/SdlPlatform.h"
#include "orvel/listview/DataBaseListView.h"
#include "orvel/treeview/DBCustomTreeView.h"

#include <iostream>
#include <string>

using namespace orvel;

namespace {

void CreateDepartments(TDatabase& database) {
    database.Execute("CREATE TABLE DEPARTMENTS (ID INTEGER PRIMARY KEY, PARENT_ID INTEGER,"
                     " NAME TEXT NOT NULL);"
                     "CREATE INDEX DEPARTMENTS_PARENT ON DEPARTMENTS (PARENT_ID);"
                     "INSERT INTO DEPARTMENTS VALUES (1, NULL, 'Head office'), (2, 1, 'Sales'),"
                     " (3, 2, 'North'), (4, 2, 'South'), (5, 1, 'Engineering'),"
                     " (6, 5, 'Research'), (7, NULL, 'Branch office');");
}

TTable* OpenDepartments(TForm* form, TDatabase* database) {
    auto* table = new TTable(form);
    table->SetDatabase(database);
    table->SetTableName("DEPARTMENTS");
    table->SetIndexFieldNames("PARENT_ID");
    table->Open();
    return table;
}

// [window]
// Runs the form in a window until it is closed: messages first, then the changed pixels.
void RunInWindow(TForm& form) {
    std::unique_ptr<platform::TPlatform> system = platform::CreateSdlPlatform();
    std::unique_ptr<platform::TPlatformWindow> window =
        system->CreateWindow("Departments", form.Width(), form.Height(), 0);
    platform::TFormInput input(form);
    for (;;) {
        Application().ProcessMessages();
        TRect damaged = form.PaintInvalid();
        if (!damaged.IsEmpty()) window->Present(form.Surface(), damaged);
        platform::TPlatformEvent event;
        if (system->WaitEvent(event, 50) && input.Deliver(event)) break;
    }
}
// [window]

} // namespace

int main(int argc, char** argv) {
    std::string offscreen = argc == 3 && std::string(argv[1]) == "--offscreen" ? argv[2] : "";
    SetDefaultFontName("DejaVu Sans"); // what people see uses the real font

    TForm* form = new TForm(nullptr);
    form->SetBounds(0, 0, 560, 300);
    form->Show();
    auto* database = new TDatabase(form);
    database->SetDatabaseName(":memory:");
    database->Open();
    CreateDepartments(*database);

    // The tree and the list show one table through one data source: choosing a department in
    // either moves the table, and the other follows.
    TTable* table = OpenDepartments(form, database);
    auto* source = new TDataSource(form);
    source->SetDataSet(table);
    auto* tree = new TDBTreeView(form);
    tree->SetParent(form);
    tree->SetBounds(8, 8, 260, 284);
    tree->SetNameField("NAME");
    tree->SetRelations("PARENT_ID->ID");
    tree->SetTopParentKey("Null");
    tree->SetDataSource(source);

    auto* list = new TDBListView(form);
    list->SetParent(form);
    list->SetBounds(276, 8, 276, 284);
    list->SetViewStyle(vsReport);
    TListColumn* column = list->Columns()->Add();
    column->SetCaption("Department");
    column->SetWidth(180);
    list->SetKeyFields("ID");
    list->SetNameField("NAME");
    list->SetDataSource(source);
    Application().ProcessMessages();
    tree->Items()->GetFirstNode()->Expand(false);
    tree->SetSelected(tree->Items()->GetFirstNode());
    Application().ProcessMessages();

    if (!offscreen.empty()) {
        form->PaintInvalid();
        form->Surface().SaveToFile(offscreen);
        std::cout << "painted " << form->Surface().Width() << "x" << form->Surface().Height()
                  << ": " << tree->Items()->Count() << " tree nodes, " << list->Items()->Count()
                  << " list items\n";
    } else {
        RunInWindow(*form);
    }
    form->Free();
    return 0;
}
