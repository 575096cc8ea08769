// Entry points that feed outside input (bytes or text) to each parser of the library. Each entry
// must survive any input: errors of the library's own exception classes are expected answers; a
// crash, a sanitizer report, a leak or any other exception is a finding. The libFuzzer targets
// call them, and the regression suite replays the seed corpus and every input a fuzzer ever found.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orvel::fuzz {

using TFuzzEntry = void (*)(const uint8_t* data, std::size_t size);

struct TFuzzTarget {
    const char* Name; // also the folder name under fuzz/corpus and fuzz/regressions
    TFuzzEntry Entry;
};

void FuzzBitmap(const uint8_t* data, std::size_t size);
void FuzzIntArrayText(const uint8_t* data, std::size_t size);
void FuzzFormFile(const uint8_t* data, std::size_t size);
void FuzzTextConversions(const uint8_t* data, std::size_t size);
void FuzzDatabaseFile(const uint8_t* data, std::size_t size);
void FuzzRelationText(const uint8_t* data, std::size_t size);
void FuzzRootKey(const uint8_t* data, std::size_t size);
void FuzzFieldLists(const uint8_t* data, std::size_t size);
void FuzzLookupValues(const uint8_t* data, std::size_t size);

const std::vector<TFuzzTarget>& FuzzTargets();

// Runs an entry and swallows the library's expected errors; anything else escapes.
void RunGuarded(TFuzzEntry entry, const uint8_t* data, std::size_t size);

} // namespace orvel::fuzz
