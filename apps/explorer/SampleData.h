// The explorer's sample databases: the embedded default, a small organisation (classes, objects
// owned by objects with two-field keys, statuses with pictures, inventory, attributes and their
// values) built from the application's field-name tables, and generated databases of any number
// of objects for trying large tables.
#pragma once

#include <cstdint>
#include <string>

namespace orvel::explorer {

// Table names of the sample schema. The column names come from the field-name tables
// (CCCFNames, COCFNames, CSFNames, CICFNames, CACFNames); the tables the field-name tables do not
// describe (pictures of classes and inventory, attribute values) are the explorer's own.
inline constexpr const char* kClassesTable = "Classes";
inline constexpr const char* kObjectsTable = "Objects";
inline constexpr const char* kStatusesTable = "Statuses";
inline constexpr const char* kInventoryTable = "Inventory";
inline constexpr const char* kAttributesTable = "Attributes";
inline constexpr const char* kAttributeValuesTable = "AttributeValues";
inline constexpr const char* kClassImagesTable = "ClassImages";
inline constexpr const char* kInventoryImagesTable = "InventoryImages";
// The objects' bit set, one bit per history flag (THistoryFlags).
inline constexpr const char* kFlagsField = "Flags";

// Where the embedded default lives: $XDG_DATA_HOME/orvel/sample.db, else
// $HOME/.local/share/orvel/sample.db, else sample.db in the working directory.
std::string DefaultDatabasePath();

// Writes the sample database to fileName (replacing any file there). The content is the same on
// every run, so tests can rely on names and keys.
void CreateSampleDatabase(const std::string& fileName);
// Creates the sample database at fileName when no file is there yet (making its folder);
// answers whether it was created.
bool EnsureSampleDatabase(const std::string& fileName);
// Writes a database of objectCount objects (fan-out 10 under a few top-level objects) with the
// sample schema, classes and statuses, in one transaction with prepared statements. progress,
// when given, is called now and then with the objects written so far.
void GenerateDatabase(const std::string& fileName, int64_t objectCount,
                      void (*progress)(int64_t done, int64_t total) = nullptr);

} // namespace orvel::explorer
