// The shared database, tables, data sources and form of the component fuzz entries.
#include "fuzz/entries/FuzzWorld.h"

#include "orvel/host/core/Application.h"
#include "orvel/host/core/Exceptions.h"

#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace orvel::fuzz {

namespace {

const char* const kSchema = R"sql(
CREATE TABLE ORG (ID INTEGER PRIMARY KEY, PARENT_ID INTEGER, NAME VARCHAR(40) NOT NULL,
                  STATUS_ID INTEGER, IMAGE_ID INTEGER, CODE VARCHAR(10), PRICE REAL,
                  MADE DATE, PIC BLOB);
CREATE INDEX ORG_PARENT ON ORG (PARENT_ID);
INSERT INTO ORG VALUES (1, NULL, 'Head office', 0, 1, 'H', 1.5, '2020-01-02', NULL);
INSERT INTO ORG VALUES (2, 1, 'Sales', 1, 2, 'S', 2.25, NULL, x'00ff');
INSERT INTO ORG VALUES (3, 2, 'North', NULL, NULL, 'N', NULL, NULL, NULL);
INSERT INTO ORG VALUES (4, 2, 'South', 2, 0, '4', -3, NULL, NULL);
INSERT INTO ORG VALUES (5, 1, 'Engineering', 1, 1, NULL, 0, NULL, NULL);
INSERT INTO ORG VALUES (6, 5, 'Research', 0, 0, '', 1e300, NULL, NULL);
INSERT INTO ORG VALUES (7, NULL, 'Branch office', 3, 3, 'B', NULL, NULL, NULL);
INSERT INTO ORG VALUES (8, 7, 'Depot', 0, 0, 'D', NULL, NULL, NULL);
INSERT INTO ORG VALUES (9, 10, 'Loop A', 0, 0, NULL, NULL, NULL, NULL);
INSERT INTO ORG VALUES (10, 9, 'Loop B', 0, 0, NULL, NULL, NULL, NULL);
INSERT INTO ORG VALUES (11, 99, 'Stray', 0, 0, NULL, NULL, NULL, NULL);

CREATE TABLE OBJ (ORIGIN_ID INTEGER NOT NULL, OBJECT_ID INTEGER NOT NULL,
                  OWNER_ORIGIN_ID INTEGER, OWNER_OBJECT_ID INTEGER, NAME VARCHAR(40),
                  STATUS_ID INTEGER, CLASS_ID INTEGER, PRIMARY KEY (ORIGIN_ID, OBJECT_ID));
CREATE INDEX OBJ_OWNER ON OBJ (OWNER_ORIGIN_ID, OWNER_OBJECT_ID);
INSERT INTO OBJ VALUES (1, 1, 0, 0, 'Alpha', 0, 1);
INSERT INTO OBJ VALUES (1, 2, 0, 0, 'Beta', 1, 1);
INSERT INTO OBJ VALUES (2, 1, 1, 1, 'Gamma', NULL, 2);
INSERT INTO OBJ VALUES (2, 2, 1, 1, 'Delta', 2, 2);
INSERT INTO OBJ VALUES (2, 3, 1, 2, 'Epsilon', 0, NULL);
INSERT INTO OBJ VALUES (3, 1, 2, 2, NULL, 0, 3);

CREATE TABLE ITEMS (ID INTEGER PRIMARY KEY, CODE INTEGER, NAME VARCHAR(40), STATUS_ID INTEGER,
                    IMAGE_ID INTEGER, FLAGS INTEGER, ACTIVE BOOLEAN, PRICE REAL, CREATED DATE);
INSERT INTO ITEMS VALUES (1, 10, 'Item 1', 0, 0, 5, 1, 1.25, '2021-03-04');
INSERT INTO ITEMS VALUES (2, 20, 'Item 2', 1, 1, 0, 0, 2.5, NULL);
INSERT INTO ITEMS VALUES (3, NULL, 'Item 3', NULL, NULL, NULL, NULL, NULL, NULL);
INSERT INTO ITEMS VALUES (4, -2147483648, '', 2, 2, 255, 1, -0.5, NULL);
INSERT INTO ITEMS VALUES (5, 2147483647, 'Item 5', 0, 0, 1, 0, 0, NULL);
)sql";

template <class C> C* Named(TComponent* owner, const std::string& name) {
    auto* c = new C(owner);
    c->SetName(name);
    return c;
}

} // namespace

TFuzzWorld& TFuzzWorld::Get() {
    static TFuzzWorld world;
    return world;
}

TFuzzWorld::TFuzzWorld() {
    char scratch[] = "/tmp/orvel-fuzz-world-XXXXXX";
    if (mkdtemp(scratch) && chdir(scratch) == 0) FScratch = scratch;
    FModule = Named<TDataModule>(nullptr, "FuzzData");
    FDatabase = Named<TDatabase>(FModule, "FuzzDb");
    FDatabase->SetDatabaseName(":memory:");
    FDatabase->Open();
    FDatabase->Execute(kSchema);
    auto table = [&](const std::string& name, const std::string& tableName,
                     const std::string& index) {
        auto* t = Named<TTable>(FModule, name);
        t->SetDatabase(FDatabase);
        t->SetTableName(tableName);
        t->SetIndexFieldNames(index);
        t->Open();
        return t;
    };
    auto source = [&](const std::string& name, TTable* t) {
        auto* s = Named<TDataSource>(FModule, name);
        s->SetDataSet(t);
        return s;
    };
    FOrg = table("Org", "ORG", "PARENT_ID");
    FObj = table("Obj", "OBJ", "OWNER_ORIGIN_ID;OWNER_OBJECT_ID");
    FItems = table("Items", "ITEMS", "");
    FOrgSource = source("OrgSource", FOrg);
    FObjSource = source("ObjSource", FObj);
    FItemSource = source("ItemSource", FItems);
    FForm = new TForm(nullptr);
    FForm->SetBounds(0, 0, 640, 480);
    FForm->Show();
}

TFuzzWorld::~TFuzzWorld() {
    FForm->Free();
    FModule->Free();
    if (FScratch.empty()) return;
    std::error_code ignored;
    std::filesystem::remove_all(FScratch, ignored);
}

TFormReadOptions TFuzzWorld::ReadOptions() const {
    TFormReadOptions options;
    options.ExternalRoots.push_back(FModule);
    return options;
}

void TFuzzWorld::Reset() {
    for (TTable* t : {FOrg, FObj, FItems}) {
        if (!t->GetActive()) t->Open();
        if (t->State() != dsBrowse) t->Cancel();
        t->CancelRange();
        t->First();
    }
    Application().ClearQueue();
    Application().ShownErrors.clear();
    if (FScratch.empty()) return;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator(FScratch, ignored))
        std::filesystem::remove_all(entry.path(), ignored);
}

void RunMessages(int limit) {
    TMsg msg;
    for (int i = 0; i < limit && Application().PeekMessage(msg, 0, 0, 0, true); ++i) {
        if (!Application().IsWindow(msg.Handle)) continue;
        try {
            Application().SendMessage(msg.Handle, msg.Message, msg.WParam, msg.LParam);
        } catch (const Exception&) {
            // shown to the user by the host's loop: the clear answer to a bad configuration
        }
    }
}

} // namespace orvel::fuzz
