// The sample databases. Every record is made by a small deterministic generator, so two runs
// write the same organisation: tests name its records, and a person sees the same data again.
#include "apps/explorer/SampleData.h"

#include "orvel/host/controls/Graphics.h"
#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Streams.h"
#include "orvel/host/data/sql/SqlEngine.h"
#include "orvel/schema/FieldNames.h"
#include "orvel/schema/LudraTypes.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace orvel::explorer {

namespace {

namespace fs = std::filesystem;

// --- the schema ---------------------------------------------------------------------------

std::string Q(const std::string& name) {
    return QuoteName(name);
}

// Names separated by ", ", each quoted: the tables are made with quoted names, which keep their
// capitals on the server (a name left bare there is folded to lower case).
std::string QuotedNames(const std::string& names) {
    std::string text;
    std::size_t start = 0;
    while (start < names.size()) {
        std::size_t end = names.find(", ", start);
        if (end == std::string::npos) end = names.size();
        text += (text.empty() ? "" : ", ") + Q(names.substr(start, end - start));
        start = end + 2;
    }
    return text;
}

// A column list "name TYPE, ..." from a field-name table and the types of its entries; entries
// left empty in the table are skipped.
template <class Names>
std::string Columns(const Names& names, const std::vector<std::string>& types) {
    std::string text;
    for (std::size_t i = 0; i < names.size() && i < types.size(); ++i) {
        if (names[i].empty()) continue;
        if (!text.empty()) text += ", ";
        text += Q(names[i]) + " " + types[i];
    }
    return text;
}

// The schema's SQL as the server takes it: its names for pictures and moments. SQLite's text is
// left as it is.
std::string ForEngine(const TSqlConnection& db, std::string sql) {
    if (!IsPostgresName(db.FileName())) return sql;
    auto replaceAll = [&sql](const std::string& from, const std::string& to) {
        for (std::size_t at = sql.find(from); at != std::string::npos;
             at = sql.find(from, at + to.size()))
            sql.replace(at, from.size(), to);
    };
    replaceAll(" GRAPHIC", " BYTEA");
    replaceAll(" DATETIME", " TIMESTAMP");
    return sql;
}

// An index over the parent fields of a table in the order the views page its records: the
// parent fields, then the table's key. SQLite's indexes end in the row id, which is the key of a
// table with an integer key; on the server the key columns are written out, after the parent
// fields with Null first, as the tree reads them.
std::string ParentIndex(const TSqlConnection& db, const std::string& name, const std::string& table,
                        const std::vector<std::string>& parents,
                        const std::vector<std::string>& key) {
    bool server = IsPostgresName(db.FileName());
    std::string columns;
    for (const std::string& column : parents)
        columns += (columns.empty() ? "" : ", ") + Q(column) + (server ? " NULLS FIRST" : "");
    if (server)
        for (const std::string& column : key)
            columns += ", " + Q(column);
    return "CREATE INDEX " + name + " ON " + Q(table) + " (" + columns + ")";
}

// Runs schema statements through ForEngine.
class TSchemaWriter {
public:
    explicit TSchemaWriter(TSqlConnection& db) : FDb(db) {}
    void Execute(const std::string& sql) { FDb.Execute(ForEngine(FDb, sql)); }

private:
    TSqlConnection& FDb;
};

void CreateSchema(TSqlConnection& connection) {
    TSchemaWriter db(connection);
    // Classes: the class hierarchy (AncestorID -> ClassID, Null at the top).
    db.Execute("CREATE TABLE " + Q(kClassesTable) + " (" +
               Columns(CCCFNames,
                       {"INTEGER PRIMARY KEY", "INTEGER", "INTEGER", "VARCHAR(60)", "VARCHAR(20)",
                        "VARCHAR(20)", "BOOLEAN", "DATETIME", "VARCHAR(80)", "VARCHAR(80)"}) +
               ")");
    db.Execute(
        ParentIndex(connection, "ClassesAncestor", kClassesTable, {CCCFNames[1]}, {CCCFNames[0]}));
    // Objects: two-field keys, owned by objects (OwnerOriginID;OwnerObjectID, Null;Null at the
    // top), with a bit set of history flags.
    db.Execute("CREATE TABLE " + Q(kObjectsTable) + " (" +
               Columns(COCFNames, {"INTEGER NOT NULL", "INTEGER NOT NULL", "INTEGER", "INTEGER",
                                   "INTEGER", "VARCHAR(80)", "INTEGER", "INTEGER", "DATE", "DATE",
                                   "VARCHAR(200)", "DATETIME"}) +
               ", " + Q(kFlagsField) + " INTEGER, PRIMARY KEY (" + Q(COCFNames[0]) + ", " +
               Q(COCFNames[1]) + "))");
    db.Execute(ParentIndex(connection, "ObjectsOwner", kObjectsTable, {COCFNames[2], COCFNames[3]},
                           {COCFNames[0], COCFNames[1]}));
    db.Execute("CREATE TABLE " + Q(kStatusesTable) + " (" +
               Columns(CSFNames, {"INTEGER PRIMARY KEY", "VARCHAR(40)", "VARCHAR(80)", "GRAPHIC",
                                  "GRAPHIC"}) +
               ")");
    // Inventory: services and licences, grouped under categories (OwnerID -> InventoryID).
    db.Execute("CREATE TABLE " + Q(kInventoryTable) + " (" +
               Columns(CICFNames, {"INTEGER PRIMARY KEY", "INTEGER", "VARCHAR(60)", "VARCHAR(40)",
                                   "VARCHAR(80)", "VARCHAR(40)", "INTEGER"}) +
               ")");
    db.Execute(
        ParentIndex(connection, "InventoryOwner", kInventoryTable, {CICFNames[1]}, {CICFNames[0]}));
    db.Execute("CREATE TABLE " + Q(kAttributesTable) + " (" +
               Columns(CACFNames, {"INTEGER NOT NULL", "INTEGER PRIMARY KEY", "VARCHAR(40)",
                                   "VARCHAR(20)", "VARCHAR(20)", "INTEGER", "BOOLEAN", "BOOLEAN",
                                   "BOOLEAN", "INTEGER", "INTEGER", "INTEGER", "VARCHAR(200)"}) +
               ")");
    db.Execute(ParentIndex(connection, "AttributesClass", kAttributesTable, {CACFNames[0]},
                           {CACFNames[1]}));
    db.Execute("CREATE TABLE " + Q(kAttributeValuesTable) +
               " (OriginID INTEGER NOT NULL, ObjectID INTEGER NOT NULL, AttributeID INTEGER NOT "
               "NULL, Value VARCHAR(80), PRIMARY KEY (OriginID, ObjectID, AttributeID))");
    db.Execute("CREATE TABLE " + Q(kClassImagesTable) +
               " (ClassID INTEGER PRIMARY KEY, SmallImage GRAPHIC, LargeImage GRAPHIC)");
    db.Execute("CREATE TABLE " + Q(kInventoryImagesTable) +
               " (ImageID INTEGER PRIMARY KEY, SmallImage GRAPHIC, LargeImage GRAPHIC)");
}

// --- pictures -----------------------------------------------------------------------------

enum class TShape { Circle, Ring, Square, Triangle, Diamond, Cross, Bar };

constexpr TColor kPaper = RGB(255, 255, 255); // the see-through background of every picture

bool Inside(TShape shape, double x, double y) {
    // x and y run from -1 to 1 over the picture.
    double r = std::sqrt(x * x + y * y);
    switch (shape) {
    case TShape::Circle:
        return r <= 0.85;
    case TShape::Ring:
        return r <= 0.85 && r >= 0.55;
    case TShape::Square:
        return std::fabs(x) <= 0.75 && std::fabs(y) <= 0.75;
    case TShape::Triangle:
        return y <= 0.8 && y >= -0.8 && std::fabs(x) <= (y + 0.8) / 1.6 * 0.9;
    case TShape::Diamond:
        return std::fabs(x) + std::fabs(y) <= 0.9;
    case TShape::Cross:
        return (std::fabs(x - y) <= 0.25 || std::fabs(x + y) <= 0.25) && r <= 1.0;
    case TShape::Bar:
        return std::fabs(y) <= 0.3 && std::fabs(x) <= 0.85;
    }
    return false;
}

// A picture of size x size pixels: the shape in colour on white, as a Windows bitmap file image
// written by the host's bitmap writer.
std::string Picture(TShape shape, TColor color, int size) {
    TBitmap bitmap(size, size);
    for (int py = 0; py < size; ++py)
        for (int px = 0; px < size; ++px) {
            double x = (2.0 * px + 1.0) / size - 1.0;
            double y = (2.0 * py + 1.0) / size - 1.0;
            bitmap.SetPixel(px, py, Inside(shape, x, y) ? color : kPaper);
        }
    TMemoryStream stream;
    bitmap.SaveToStream(stream);
    const std::vector<uint8_t>& bytes = stream.Bytes();
    return std::string(bytes.begin(), bytes.end());
}

// --- a deterministic generator ------------------------------------------------------------

class TRandom {
public:
    explicit TRandom(uint32_t seed) : FState(seed ? seed : 1) {}
    uint32_t Next() {
        FState ^= FState << 13;
        FState ^= FState >> 17;
        FState ^= FState << 5;
        return FState;
    }
    int Below(int n) { return n <= 0 ? 0 : static_cast<int>(Next() % static_cast<uint32_t>(n)); }
    int Between(int lo, int hi) { return lo + Below(hi - lo + 1); }
    template <class T, std::size_t N> const T& Pick(const T (&items)[N]) {
        return items[static_cast<std::size_t>(Below(static_cast<int>(N)))];
    }

private:
    uint32_t FState;
};

// --- the organisation ---------------------------------------------------------------------

// Class identifiers of the sample class hierarchy.
enum TClassId : int {
    clObject = 1,
    clOrganisation,
    clSite,
    clBuilding,
    clFloor,
    clRoom,
    clDepartment,
    clTeam,
    clPerson,
    clEquipment,
    clComputer,
    clLaptop,
    clServer,
    clPrinter,
    clVehicle,
    clTractor,
    clTruck,
    clMachine,
    clField,
    clStorage,
};

struct TClassDef {
    int Id;
    int Ancestor; // 0: none (Null)
    const char* Name;
    const char* Code;
    bool Abstract;
    const char* MayOwn;
    TShape Shape;
    TColor Color;
};

const TClassDef kClasses[] = {
    {clObject, 0, "Object", "OBJ", true, "", TShape::Ring, RGB(128, 128, 128)},
    {clOrganisation, clObject, "Organisation", "ORG", false, "3;7", TShape::Diamond,
     RGB(0, 0, 255)},
    {clSite, clObject, "Site", "SITE", false, "4;15;19;20", TShape::Triangle, RGB(0, 128, 0)},
    {clBuilding, clObject, "Building", "BLD", false, "5", TShape::Square, RGB(128, 64, 0)},
    {clFloor, clObject, "Floor", "FLR", false, "6", TShape::Bar, RGB(128, 64, 0)},
    {clRoom, clObject, "Room", "ROOM", false, "10", TShape::Square, RGB(0, 160, 160)},
    {clDepartment, clObject, "Department", "DEP", false, "8", TShape::Diamond, RGB(160, 0, 160)},
    {clTeam, clObject, "Team", "TEAM", false, "9", TShape::Ring, RGB(160, 0, 160)},
    {clPerson, clObject, "Person", "PERS", false, "", TShape::Circle, RGB(255, 160, 0)},
    {clEquipment, clObject, "Equipment", "EQ", true, "", TShape::Cross, RGB(128, 128, 128)},
    {clComputer, clEquipment, "Computer", "PC", false, "", TShape::Square, RGB(0, 0, 255)},
    {clLaptop, clComputer, "Laptop", "LT", false, "", TShape::Bar, RGB(0, 0, 255)},
    {clServer, clComputer, "Server", "SRV", false, "", TShape::Square, RGB(255, 0, 0)},
    {clPrinter, clEquipment, "Printer", "PRN", false, "", TShape::Bar, RGB(0, 128, 0)},
    {clVehicle, clEquipment, "Vehicle", "VEH", true, "", TShape::Triangle, RGB(255, 0, 0)},
    {clTractor, clVehicle, "Tractor", "TRC", false, "", TShape::Triangle, RGB(0, 128, 0)},
    {clTruck, clVehicle, "Truck", "TRK", false, "", TShape::Triangle, RGB(0, 0, 255)},
    {clMachine, clEquipment, "Machine", "MCH", false, "", TShape::Cross, RGB(255, 0, 0)},
    {clField, clObject, "Field", "FLD", false, "", TShape::Square, RGB(0, 200, 0)},
    {clStorage, clObject, "Storage", "STO", false, "", TShape::Circle, RGB(128, 64, 0)},
};

struct TStatusDef {
    int Id;
    const char* Name;
    const char* AllowedFor;
    TShape Shape;
    TColor Color;
};

// Status n is picture n of the status image list.
const TStatusDef kStatuses[] = {
    {0, "Planned", "all", TShape::Ring, RGB(128, 128, 128)},
    {1, "Active", "all", TShape::Circle, RGB(0, 170, 0)},
    {2, "In repair", "equipment", TShape::Triangle, RGB(230, 180, 0)},
    {3, "Idle", "all", TShape::Square, RGB(0, 0, 255)},
    {4, "Retired", "equipment", TShape::Cross, RGB(200, 0, 0)},
    {5, "Lost", "equipment", TShape::Diamond, RGB(170, 0, 170)},
};

struct TAttributeDef {
    int ClassId;
    int Id;
    const char* Name;
    const char* Code;
    int Type; // 1 text, 2 number, 3 choice from Params
    const char* Params;
};

const TAttributeDef kAttributes[] = {
    {clObject, 1, "Owner contact", "CONTACT", 1, ""},
    {clEquipment, 2, "Manufacturer", "MAKER", 3, "Acme;Globex;Initech;Umbrella;Vehement"},
    {clEquipment, 3, "Condition", "COND", 3, "New;Good;Worn;Broken"},
    {clEquipment, 4, "Serial number", "SERIAL", 1, ""},
    {clPerson, 5, "Role", "ROLE", 3, "Manager;Engineer;Operator;Clerk;Driver"},
    {clPerson, 6, "Phone", "PHONE", 1, ""},
    {clField, 7, "Crop", "CROP", 3, "Wheat;Barley;Maize;Rapeseed;Fallow"},
    {clField, 8, "Area (ha)", "AREA", 2, ""},
    {clBuilding, 9, "Heating", "HEAT", 3, "Gas;Oil;Heat pump;Wood;None"},
    {clVehicle, 10, "Fuel", "FUEL", 3, "Diesel;Petrol;Electric"},
};

const char* const kFirstNames[] = {"Anna",  "Bruno", "Carla", "David", "Elena", "Frank",
                                   "Greta", "Hugo",  "Irene", "Jonas", "Karin", "Lukas",
                                   "Maria", "Niels", "Olga",  "Peter", "Rosa",  "Simon",
                                   "Tanja", "Uwe",   "Vera",  "Walter"};
const char* const kLastNames[] = {
    "Berg", "Claes", "Dahl",    "Eriksen", "Falk",  "Groen",   "Holm",  "Iversen",   "Jansen",
    "Krog", "Lund",  "Moeller", "Nygaard", "Olsen", "Persson", "Quist", "Rasmussen", "Sand"};
const char* const kSites[] = {"Head Office", "North Farm", "River Valley", "East Depot"};
const char* const kDepartments[] = {"Finance", "Operations", "Agronomy", "Workshop", "Sales"};

class TOrganisationWriter {
public:
    explicit TOrganisationWriter(TSqlConnection& db) : FDb(db), FRandom(20240611) {
        FInsertObject = db.Prepare(
            "INSERT INTO " + Q(kObjectsTable) + " (" +
            QuotedNames("OriginID, ObjectID, OwnerOriginID, OwnerObjectID, ClassID, Name, "
                        "SourceID, StatusID, StartDate, EndDate, Note, SD, Flags") +
            ") VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)");
        FInsertValue = db.Prepare("INSERT INTO " + Q(kAttributeValuesTable) +
                                  " (OriginID, ObjectID, AttributeID, Value) VALUES (?,?,?,?)");
    }

    struct TKey {
        int Origin = 0;
        int Object = 0; // 0: no object (the owner of a top-level object)
    };

    void Write() {
        TKey company = Add(1, {}, clOrganisation, "Orvel Agro Ltd", 1);
        for (int s = 0; s < 4; ++s)
            WriteSite(s + 1, company);
        TKey partners = Add(1, {}, clOrganisation, "Partners and Suppliers", 1);
        for (int i = 0; i < 6; ++i)
            Add(1, partners, clOrganisation,
                std::string(FRandom.Pick(kLastNames)) + " " + (i % 2 ? "Machinery" : "Seeds") +
                    " Co.",
                FRandom.Below(2) ? 1 : 3);
    }

private:
    void WriteSite(int origin, TKey company) {
        TKey site = Add(origin, company, clSite, kSites[origin - 1], 1);
        if (origin == 1) {
            for (const char* name : kDepartments)
                WriteDepartment(origin, site, name);
        }
        int buildings = origin == 1 ? 3 : 4;
        for (int b = 0; b < buildings; ++b)
            WriteBuilding(origin, site, b);
        if (origin != 1) {
            for (int f = 0; f < 12; ++f) {
                TKey field = Add(origin, site, clField,
                                 "Field " + std::string(1, static_cast<char>('A' + origin - 2)) +
                                     std::to_string(f + 1),
                                 FRandom.Below(5) ? 1 : 3, 32);
                Value(field, 7, FRandom.Pick({"Wheat", "Barley", "Maize", "Rapeseed", "Fallow"}));
                Value(field, 8, std::to_string(FRandom.Between(4, 60)));
            }
            for (int v = 0; v < 6; ++v) {
                int cls = v % 2 ? clTruck : clTractor;
                TKey vehicle = Add(origin, site, cls,
                                   std::string(cls == clTractor ? "Tractor T-" : "Truck K-") +
                                       std::to_string(origin * 100 + v),
                                   EquipmentStatus(), 1);
                EquipmentValues(vehicle);
                Value(vehicle, 10, v % 3 ? "Diesel" : "Electric");
            }
            Add(origin, site, clStorage, "Grain store " + std::to_string(origin), 1);
        }
    }

    void WriteDepartment(int origin, TKey site, const char* name) {
        TKey dep = Add(origin, site, clDepartment, name, 1);
        for (int t = 0; t < 3; ++t) {
            TKey team =
                Add(origin, dep, clTeam, std::string(name) + " team " + std::to_string(t + 1), 1);
            int people = FRandom.Between(4, 8);
            for (int p = 0; p < people; ++p) {
                TKey person =
                    Add(origin, team, clPerson,
                        std::string(FRandom.Pick(kFirstNames)) + " " + FRandom.Pick(kLastNames),
                        FRandom.Below(8) ? 1 : 3);
                Value(person, 5,
                      p == 0 ? "Manager"
                             : FRandom.Pick({"Engineer", "Operator", "Clerk", "Driver"}));
                Value(person, 6, "+45 " + std::to_string(20000000 + FRandom.Below(79999999)));
            }
        }
    }

    void WriteBuilding(int origin, TKey site, int index) {
        TKey building = Add(origin, site, clBuilding,
                            "Building " + std::string(1, static_cast<char>('A' + index)), 1, 1);
        Value(building, 9, FRandom.Pick({"Gas", "Oil", "Heat pump", "Wood"}));
        int floors = FRandom.Between(1, 3);
        for (int f = 0; f < floors; ++f) {
            TKey floor = Add(origin, building, clFloor, "Floor " + std::to_string(f), 1);
            int rooms = FRandom.Between(4, 7);
            for (int r = 0; r < rooms; ++r) {
                char room[48];
                std::snprintf(room, sizeof room, "Room %c%d.%02d", static_cast<char>('A' + index),
                              f, r + 1);
                TKey roomKey = Add(origin, floor, clRoom, room, 1);
                WriteEquipment(origin, roomKey);
            }
        }
    }

    void WriteEquipment(int origin, TKey room) {
        int count = FRandom.Between(1, 5);
        for (int e = 0; e < count; ++e) {
            static const int kinds[] = {clComputer, clLaptop, clLaptop,
                                        clPrinter,  clServer, clMachine};
            int cls = FRandom.Pick(kinds);
            static const char* prefixes[] = {"", "",   "",   "",    "",    "", "", "", "",
                                             "", "PC", "LT", "SRV", "PRN", "", "", "", "MCH"};
            char name[48];
            std::snprintf(name, sizeof name, "%s-%04d", prefixes[cls - 1], ++FSerial);
            TKey item = Add(origin, room, cls, name, EquipmentStatus(), FRandom.Below(3) ? 1 : 17);
            EquipmentValues(item);
        }
    }

    int EquipmentStatus() {
        static const int weights[] = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 3, 4, 5, 0};
        return FRandom.Pick(weights);
    }

    void EquipmentValues(TKey item) {
        Value(item, 2, FRandom.Pick({"Acme", "Globex", "Initech", "Umbrella", "Vehement"}));
        Value(item, 3, FRandom.Pick({"New", "Good", "Good", "Worn", "Broken"}));
        Value(item, 4, "SN" + std::to_string(100000 + FRandom.Below(899999)));
    }

    TKey Add(int origin, TKey owner, int cls, const std::string& name, int status, int flags = 0) {
        TKey key{origin, ++FNextObject[origin]};
        TSqlStatement& s = *FInsertObject;
        s.Reset();
        s.BindInt64(0, key.Origin);
        s.BindInt64(1, key.Object);
        if (owner.Object) {
            s.BindInt64(2, owner.Origin);
            s.BindInt64(3, owner.Object);
        } else {
            s.BindNull(2);
            s.BindNull(3);
        }
        s.BindInt64(4, cls);
        s.BindText(5, name);
        s.BindInt64(6, 1);
        s.BindInt64(7, status);
        char date[48];
        std::snprintf(date, sizeof date, "20%02d-%02d-%02d", 10 + FRandom.Below(14),
                      1 + FRandom.Below(12), 1 + FRandom.Below(28));
        s.BindText(8, date);
        if (status == 4) {
            s.BindText(9, "2024-12-31");
        } else {
            s.BindNull(9);
        }
        s.BindText(10, "");
        s.BindText(11, "2024-06-11 09:00:00");
        s.BindInt64(12, flags);
        s.Step();
        return key;
    }

    void Value(TKey object, int attribute, const std::string& value) {
        TSqlStatement& s = *FInsertValue;
        s.Reset();
        s.BindInt64(0, object.Origin);
        s.BindInt64(1, object.Object);
        s.BindInt64(2, attribute);
        s.BindText(3, value);
        s.Step();
    }

    TSqlConnection& FDb;
    TRandom FRandom;
    std::unique_ptr<TSqlStatement> FInsertObject;
    std::unique_ptr<TSqlStatement> FInsertValue;
    int FNextObject[8] = {};
    int FSerial = 0;
};

void WriteClasses(TSqlConnection& db) {
    auto insert = db.Prepare("INSERT INTO " + Q(kClassesTable) + " (" +
                             QuotedNames("ClassID, AncestorID, OriginID, Name, Code, ShortName, "
                                         "Abstract, SD, MayOwn, MayBelong") +
                             ") VALUES (?,?,?,?,?,?,?,?,?,?)");
    auto image = db.Prepare("INSERT INTO " + Q(kClassImagesTable) +
                            " (ClassID, SmallImage, LargeImage) VALUES (?,?,?)");
    for (const TClassDef& c : kClasses) {
        insert->Reset();
        insert->BindInt64(0, c.Id);
        if (c.Ancestor)
            insert->BindInt64(1, c.Ancestor);
        else
            insert->BindNull(1);
        insert->BindInt64(2, 1);
        insert->BindText(3, c.Name);
        insert->BindText(4, c.Code);
        insert->BindText(5, c.Code);
        insert->BindInt64(6, c.Abstract ? 1 : 0);
        insert->BindText(7, "2024-06-11 09:00:00");
        insert->BindText(8, c.MayOwn);
        insert->BindText(9, "");
        insert->Step();
        image->Reset();
        image->BindInt64(0, c.Id);
        image->BindBlob(1, Picture(c.Shape, c.Color, 16));
        image->BindBlob(2, Picture(c.Shape, c.Color, 32));
        image->Step();
    }
}

void WriteStatuses(TSqlConnection& db) {
    auto insert = db.Prepare("INSERT INTO " + Q(kStatusesTable) + " (" +
                             QuotedNames("StatusID, Name, AllowedFor, LargeImage, SmallImage") +
                             ") VALUES (?,?,?,?,?)");
    for (const TStatusDef& s : kStatuses) {
        insert->Reset();
        insert->BindInt64(0, s.Id);
        insert->BindText(1, s.Name);
        insert->BindText(2, s.AllowedFor);
        insert->BindBlob(3, Picture(s.Shape, s.Color, 32));
        insert->BindBlob(4, Picture(s.Shape, s.Color, 16));
        insert->Step();
    }
}

void WriteAttributes(TSqlConnection& db) {
    auto insert =
        db.Prepare("INSERT INTO " + Q(kAttributesTable) + " (" +
                   QuotedNames("ClassID, AttributeID, Name, Code, ShortName, AttributeType, "
                               "Required, Hidden, Important, Length, MClass, MUnit, Params") +
                   ") VALUES (?,?,?,?,?,?,FALSE,FALSE,FALSE,40,0,0,?)");
    for (const TAttributeDef& a : kAttributes) {
        insert->Reset();
        insert->BindInt64(0, a.ClassId);
        insert->BindInt64(1, a.Id);
        insert->BindText(2, a.Name);
        insert->BindText(3, a.Code);
        insert->BindText(4, a.Code);
        insert->BindInt64(5, a.Type);
        insert->BindText(6, a.Params);
        insert->Step();
    }
}

void WriteInventory(TSqlConnection& db) {
    struct TCategory {
        const char* Name;
        const char* Services[6];
        TShape Shape;
        TColor Color;
    };
    static const TCategory categories[] = {
        {"Software licences",
         {"Accounting", "Field planner", "Office suite", "Mail", "Drawing", "Backup"},
         TShape::Square,
         RGB(0, 0, 255)},
        {"Network services",
         {"VPN", "Wireless", "File share", "Printing", "Telephony", "Web portal"},
         TShape::Diamond,
         RGB(0, 160, 160)},
        {"Machine services",
         {"GPS guidance", "Yield mapping", "Fleet tracking", "Weather feed", "Soil probes",
          "Irrigation control"},
         TShape::Triangle,
         RGB(0, 128, 0)},
    };
    auto image = db.Prepare("INSERT INTO " + Q(kInventoryImagesTable) +
                            " (ImageID, SmallImage, LargeImage) VALUES (?,?,?)");
    auto insert = db.Prepare(
        "INSERT INTO " + Q(kInventoryTable) + " (" +
        QuotedNames("InventoryID, OwnerID, Name, ServiceName, Parameters, UserName, ImageID") +
        ") VALUES (?,?,?,?,?,?,?)");
    TRandom random(77);
    int id = 0;
    for (int c = 0; c < 3; ++c) {
        const TCategory& cat = categories[c];
        image->Reset();
        image->BindInt64(0, c);
        image->BindBlob(1, Picture(cat.Shape, cat.Color, 16));
        image->BindBlob(2, Picture(cat.Shape, cat.Color, 32));
        image->Step();
        int category = ++id;
        insert->Reset();
        insert->BindInt64(0, category);
        insert->BindNull(1);
        insert->BindText(2, cat.Name);
        insert->BindText(3, "");
        insert->BindText(4, "");
        insert->BindText(5, "");
        insert->BindInt64(6, c);
        insert->Step();
        for (int i = 0; i < 100; ++i) {
            const char* service = cat.Services[i % 6];
            insert->Reset();
            insert->BindInt64(0, ++id);
            insert->BindInt64(1, category);
            insert->BindText(2, std::string(service) + " #" + std::to_string(i / 6 + 1));
            insert->BindText(3, service);
            insert->BindText(4, "seats=" + std::to_string(random.Between(1, 50)));
            insert->BindText(5,
                             std::string(random.Pick(kFirstNames)) + "." + random.Pick(kLastNames));
            insert->BindInt64(6, c);
            insert->Step();
        }
    }
}

const char* const kSampleTables[] = {kClassesTable,     kObjectsTable,        kStatusesTable,
                                     kInventoryTable,   kAttributesTable,     kAttributeValuesTable,
                                     kClassImagesTable, kInventoryImagesTable};

// Writing a sample replaces the file by that name: only a regular file (or a link to one) may
// be replaced, never a device, a pipe or a folder someone names by mistake.
void RefuseNonRegularFile(const std::string& fileName) {
    std::error_code ec;
    fs::file_status status = fs::status(fileName, ec);
    if (!fs::exists(status) || fs::is_regular_file(status)) return;
    throw std::runtime_error(fileName + " is not a regular file; a sample database is written only "
                                        "to a new file or over a regular one");
}

std::unique_ptr<TSqlConnection> CreateEmpty(const std::string& fileName) {
    if (IsPostgresName(fileName)) {
        // A server's database is shared: only the sample's own tables are made anew.
        auto db = OpenSqlConnection(fileName);
        std::string drop;
        for (const char* table : kSampleTables)
            drop += "DROP TABLE IF EXISTS " + Q(table) + " CASCADE;";
        db->Execute(drop);
        return db;
    }
    RefuseNonRegularFile(fileName);
    std::error_code ec;
    fs::remove(fileName, ec);
    fs::path parent = fs::path(fileName).parent_path();
    if (!parent.empty()) fs::create_directories(parent, ec);
    auto db = OpenSqliteConnection(fileName);
    db->Execute("PRAGMA journal_mode=DELETE");
    return db;
}

} // namespace

std::string DefaultDatabasePath() {
    const char* xdg = std::getenv("XDG_DATA_HOME");
    if (xdg && *xdg) return (fs::path(xdg) / "orvel" / "sample.db").string();
    const char* home = std::getenv("HOME");
    if (home && *home)
        return (fs::path(home) / ".local" / "share" / "orvel" / "sample.db").string();
    return "sample.db";
}

void CreateSampleDatabase(const std::string& fileName) {
    auto db = CreateEmpty(fileName);
    db->Execute("BEGIN");
    try {
        CreateSchema(*db);
        WriteClasses(*db);
        WriteStatuses(*db);
        WriteAttributes(*db);
        WriteInventory(*db);
        TOrganisationWriter(*db).Write();
        db->Execute("COMMIT");
    } catch (...) {
        db->Execute("ROLLBACK");
        throw;
    }
}

bool EnsureSampleDatabase(const std::string& fileName) {
    if (IsPostgresName(fileName)) return false;
    std::error_code ec;
    if (fs::exists(fileName, ec)) return false;
    // Written under a temporary name first, so an interrupted run leaves no half database.
    std::string partial = fileName + ".partial";
    CreateSampleDatabase(partial);
    fs::rename(partial, fileName);
    return true;
}

void GenerateDatabase(const std::string& fileName, int64_t objectCount,
                      void (*progress)(int64_t done, int64_t total)) {
    if (objectCount < 1) throw EConvertError("the number of objects must be at least 1");
    auto db = CreateEmpty(fileName);
    if (!IsPostgresName(fileName)) db->Execute("PRAGMA synchronous=OFF");
    db->Execute("BEGIN");
    try {
        CreateSchema(*db);
        WriteClasses(*db);
        WriteStatuses(*db);
        WriteAttributes(*db);
        auto insert = db->Prepare(
            "INSERT INTO " + Q(kObjectsTable) + " (" +
            QuotedNames("OriginID, ObjectID, OwnerOriginID, OwnerObjectID, ClassID, Name, "
                        "SourceID, StatusID, StartDate, EndDate, Note, SD, Flags") +
            ") VALUES (1,?,?,?,?,?,1,?,'2024-01-01',NULL,'','2024-06-11 09:00:00',0)");
        // Breadth-first numbering with fan-out 10: object n (from 1) is owned by (n - 1) / 10
        // when that is not 0, so ten objects sit at the top and every level is ten times wider.
        static const int levelClasses[] = {clOrganisation, clSite,   clBuilding, clFloor,
                                           clRoom,         clLaptop, clPrinter,  clMachine};
        int64_t levelStart = 1, levelSize = 10;
        int level = 0;
        for (int64_t n = 1; n <= objectCount; ++n) {
            while (n >= levelStart + levelSize) {
                levelStart += levelSize;
                levelSize *= 10;
                ++level;
            }
            insert->Reset();
            insert->BindInt64(0, n);
            int64_t owner = (n - 1) / 10;
            if (owner > 0) {
                insert->BindInt64(1, 1);
                insert->BindInt64(2, owner);
            } else {
                insert->BindNull(1);
                insert->BindNull(2);
            }
            insert->BindInt64(3, levelClasses[std::min(level, 7)]);
            insert->BindText(4, "Object " + std::to_string(n));
            insert->BindInt64(5, static_cast<int64_t>(n % 6));
            insert->Step();
            if (progress && n % 100000 == 0) progress(n, objectCount);
        }
        db->Execute("COMMIT");
    } catch (...) {
        db->Execute("ROLLBACK");
        throw;
    }
}

} // namespace orvel::explorer
