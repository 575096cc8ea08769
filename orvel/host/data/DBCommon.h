// Types and helpers every part of the data-access layer shares: field types, dataset states,
// data events, bookmarks, the database error and the field-name list reader.
#pragma once

#include <cstdint>
#include <string>

namespace orvel {

// The host's field types, in the host's order (tables indexed by type rely on it).
enum TFieldType : uint8_t {
    ftUnknown,
    ftString,
    ftSmallint,
    ftInteger,
    ftWord,
    ftBoolean,
    ftFloat,
    ftCurrency,
    ftBCD,
    ftDate,
    ftTime,
    ftDateTime,
    ftBytes,
    ftVarBytes,
    ftAutoInc,
    ftBlob,
    ftMemo,
    ftGraphic,
    ftFmtMemo,
    ftParadoxOle,
    ftDBaseOle,
    ftTypedBinary,
    ftCursor,
    ftFixedChar,
    ftWideString,
    ftLargeint,
};

// dsBrowse, dsEdit and dsInsert keep the ordinals 1, 2 and 3: views store them as a byte.
enum TDataSetState : uint8_t { dsInactive, dsBrowse, dsEdit, dsInsert, dsSetKey };

inline bool IsEditState(TDataSetState s) {
    return s == dsEdit || s == dsInsert;
}

// What the dataset's dispatcher tells its data sources.
enum class TDataEvent {
    deFieldChange,     // one field of the active record changed (info: the field)
    deRecordChange,    // the active record changed as a whole
    deDataSetChange,   // the records shown changed
    deDataSetScroll,   // the cursor moved (info: distance)
    deUpdateRecord,    // links are asked to put their values into the record
    deUpdateState,     // the dataset's state changed
    deCheckBrowseMode, // links are asked to finish what they are editing
};

// Options of Locate. The components always locate exactly and with regard to case.
enum TLocateOption : uint8_t { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = uint8_t;

// One record's place: its handle (its row id, or a number for its key where that is not the row
// id), the table's deletion epoch when taken and the table's identity (0: none). 16 bytes, owned by
// whoever holds it; a deleted record's bookmark stays invalid even when its row id is used again.
struct TBookmark {
    int64_t RowId = 0;
    uint32_t Epoch = 0;
    uint32_t Source = 0;

    bool IsNull() const { return Source == 0; }
    explicit operator bool() const { return Source != 0; }
    friend bool operator==(const TBookmark&, const TBookmark&) = default;
};
static_assert(sizeof(TBookmark) == 16, "a bookmark is 16 bytes");

// Raises the host's database error with message.
[[noreturn]] void DatabaseError(const std::string& message);

// The next name of a ";"-separated list, read from the 1-based position pos up to the next ";"
// (or the end) and trimmed; pos moves past that ";". Read a list with pos starting at 1 while
// pos <= the list's length.
std::string ExtractFieldName(const std::string& fields, int& pos);

} // namespace orvel
