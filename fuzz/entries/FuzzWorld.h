// The world the component parsers are fuzzed in: one in-memory database with a self-referencing
// organisation table, a two-field-key object table and a flat item list, each open in a table
// with a data source on a data module that form texts may name, and a shown form that the views
// under test are placed on. It is made once per process; every input starts from the same data.
#pragma once

#include "orvel/host/controls/Forms.h"
#include "orvel/host/data/DataSource.h"
#include "orvel/host/data/Database.h"
#include "orvel/host/data/Table.h"
#include "orvel/host/design/FormFiles.h"

#include <string>

namespace orvel::fuzz {

class TFuzzWorld {
public:
    // The one world of this process, made at first use.
    static TFuzzWorld& Get();

    TDataModule* Module() const { return FModule; }
    TForm* Form() const { return FForm; }
    // ORG: ID, PARENT_ID, NAME, STATUS_ID, IMAGE_ID, CODE (text), PRICE, MADE (date), PIC (blob);
    // in PARENT_ID order; two records at the top (PARENT_ID null), two records that name each
    // other as parent.
    TTable* Org() const { return FOrg; }
    TDataSource* OrgSource() const { return FOrgSource; }
    // OBJ: ORIGIN_ID, OBJECT_ID, OWNER_ORIGIN_ID, OWNER_OBJECT_ID, NAME, STATUS_ID, CLASS_ID; in
    // owner order; the top level is owned by 0;0.
    TTable* Obj() const { return FObj; }
    TDataSource* ObjSource() const { return FObjSource; }
    // ITEMS: ID, CODE (integer), NAME, STATUS_ID, IMAGE_ID, FLAGS, ACTIVE (Boolean), PRICE,
    // CREATED.
    TTable* Items() const { return FItems; }
    TDataSource* ItemSource() const { return FItemSource; }

    // Reading options that let a form text name the module's components.
    TFormReadOptions ReadOptions() const;

    // Back to the start: every table open, browsing, on its first record, with no range; no
    // queued message, no shown error; no file left in the scratch folder.
    void Reset();

    TFuzzWorld(const TFuzzWorld&) = delete;
    TFuzzWorld& operator=(const TFuzzWorld&) = delete;
    ~TFuzzWorld();

private:
    TFuzzWorld();

    // The working folder of the process from the first use on: database files that form texts
    // name by relative paths are made there and removed after each input.
    std::string FScratch;
    TDataModule* FModule = nullptr; // owns the database, tables and sources
    TForm* FForm = nullptr;
    TDatabase* FDatabase = nullptr;
    TTable* FOrg = nullptr;
    TTable* FObj = nullptr;
    TTable* FItems = nullptr;
    TDataSource* FOrgSource = nullptr;
    TDataSource* FObjSource = nullptr;
    TDataSource* FItemSource = nullptr;
};

// Runs the queued messages as the host's loop does, for a bounded number of messages (a view
// that posts without end is a finding the fuzzer reports as a hang). An error of the library's
// own that a handler raises is the clear answer the loop shows; anything else escapes.
void RunMessages(int limit = 10000);

} // namespace orvel::fuzz
