// The table of fuzz targets and the guard around each run.
#include "fuzz/entries/FuzzEntries.h"

#include "orvel/host/core/Exceptions.h"

namespace orvel::fuzz {

const std::vector<TFuzzTarget>& FuzzTargets() {
    static const std::vector<TFuzzTarget> targets = {
        {"bitmap", &FuzzBitmap},
        {"intarray_text", &FuzzIntArrayText},
        {"form_file", &FuzzFormFile},
        {"text_conversions", &FuzzTextConversions},
        {"database_file", &FuzzDatabaseFile},
        {"relation_text", &FuzzRelationText},
        {"root_key", &FuzzRootKey},
        {"field_lists", &FuzzFieldLists},
        {"lookup_values", &FuzzLookupValues},
    };
    return targets;
}

void RunGuarded(TFuzzEntry entry, const uint8_t* data, std::size_t size) {
    try {
        entry(data, size);
    } catch (const Exception&) {
        // a clear error of the library's own: the expected answer to bad input
    }
}

} // namespace orvel::fuzz
