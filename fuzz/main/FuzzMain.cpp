// The libFuzzer driver of one fuzz entry, chosen at build time by ORVEL_FUZZ_ENTRY.
#include "fuzz/entries/FuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    orvel::fuzz::RunGuarded(&orvel::fuzz::ORVEL_FUZZ_ENTRY, data, size);
    return 0;
}
