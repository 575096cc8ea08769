// A list of products beside the fields of the selected one: its status, stored as a code, shown
// as text by a lookup combo, and two of the bits of its flags, each shown by a check box. The
// program moves through the table and changes a record the way a form's code would, and prints
// what the controls show after each step.
#include "orvel/controls/DBBCBc.h"
#include "orvel/controls/ValueLookupCombo.h"
#include "orvel/host/controls/Forms.h"
#include "orvel/host/core/Application.h"
#include "orvel/host/data/DataSource.h"
#include "orvel/host/data/Database.h"
#include "orvel/host/data/Table.h"
#include "orvel/listview/DataBaseListView.h"

#include <iostream>
#include <string>

using namespace orvel;

const char* StateText(TCheckBoxState state) {
    return state == cbChecked ? "[x]" : state == cbGrayed ? "[-]" : "[ ]";
}

int main() {
    TForm* form = new TForm(nullptr);
    form->SetBounds(0, 0, 500, 400);
    form->Show();

    auto* database = new TDatabase(form);
    database->SetDatabaseName(":memory:");
    database->Open();
    database->Execute("CREATE TABLE PRODUCTS (ID INTEGER PRIMARY KEY, NAME TEXT, STATUS INTEGER,"
                      " FLAGS INTEGER);"
                      "INSERT INTO PRODUCTS VALUES (1, 'Desk', 1, 1), (2, 'Chair', 2, 3),"
                      " (3, 'Lamp', 3, 2);");
    auto* table = new TTable(form);
    table->SetDatabase(database);
    table->SetTableName("PRODUCTS");
    table->Open();
    auto* source = new TDataSource(form);
    source->SetDataSet(table);

    // [list]
    auto* list = new TDBListView(form);
    list->SetParent(form);
    list->SetBounds(0, 0, 500, 200);
    list->SetViewStyle(vsReport);
    list->SetKeyFields("ID");
    list->SetNameField("NAME");
    list->SetColumnsFields("NAME;STATUS");
    list->SetDataSource(source);
    // [list]

    // [combo]
    auto* status = new TDBValueLookupCombo(form);
    status->SetParent(form);
    status->SetBounds(0, 210, 150, 24);
    TStringList codes; // the texts people see, each with the code the table stores
    codes.AddObject("In stock", IntToObject(1));
    codes.AddObject("Ordered", IntToObject(2));
    codes.AddObject("Discontinued", IntToObject(3));
    status->SetItems(&codes);
    status->SetDataField("STATUS");
    status->SetDataSource(source);
    // [combo]

    // [bits]
    auto* fragile = new TDBBitCheckBox(form);
    fragile->SetParent(form);
    fragile->SetBounds(0, 240, 150, 17);
    fragile->SetCaption("Fragile");
    fragile->SetMask(1); // bit 0 of FLAGS
    fragile->SetDataField("FLAGS");
    fragile->SetDataSource(source);
    auto* heavy = new TDBBitCheckBox(form);
    heavy->SetParent(form);
    heavy->SetBounds(0, 260, 150, 17);
    heavy->SetCaption("Heavy");
    heavy->SetMask(2); // bit 1 of FLAGS
    heavy->SetDataField("FLAGS");
    heavy->SetDataSource(source);
    // [bits]
    Application().ProcessMessages(); // the list fills from a posted message

    std::cout << "== the list\n";
    for (int i = 0; i < list->Items()->Count(); ++i)
        std::cout << list->Items()->Item(i)->Caption() << "\n";

    auto showRecord = [&] {
        std::cout << table->FieldByName("NAME")->GetAsString() << ": " << status->GetComboText()
                  << ", Fragile " << StateText(fragile->State()) << ", Heavy "
                  << StateText(heavy->State()) << "\n";
    };
    std::cout << "== each record\n";
    for (table->First(); !table->Eof(); table->Next())
        showRecord();

    // [change]
    table->Locate("ID", Variant(3)); // Lamp
    table->Edit();
    table->FieldByName("STATUS")->SetAsInteger(1);
    table->FieldByName("FLAGS")->SetAsInteger(3);
    table->Post();
    // [change]
    std::cout << "== after the change\n";
    showRecord();

    form->Free();
    return 0;
}
