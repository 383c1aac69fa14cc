#pragma once

#include <string>
#include <vector>

#include "tests/support/FarBuilder.h"
#include "tests/support/TempFolder.h"

// The sample IFF files, as archives of both variants hold them: folders in names, an empty
// entry, and entries of odd lengths, so that no entry after the first is 4-byte aligned.
inline std::vector<uint8_t> SampleIff() {
    return ReadBytes(TALLYGLASS_EXAMPLES "/sample.iff");
}
inline std::vector<uint8_t> TextTypesIff() {
    return ReadBytes(TALLYGLASS_EXAMPLES "/text-types.iff");
}

inline FarBuilder SampleArchive(bool shortNames) {
    FarBuilder far;
    far.shortNames = shortNames;
    far.entries = {{"objects\\Chair.iff", SampleIff()},
                   {"empty.bin", {}},
                   {"odd.bin", {'a', 'b', 'c'}},
                   {"text/Types.iff", TextTypesIff()}};
    return far;
}
