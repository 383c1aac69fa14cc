// A TMX document through the translation memory's reader, then written and read again.
//
// Properties:
// - A read either succeeds or says why, naming the document.
// - No segment longer than the limit reaches the memory.
// - Write then read: a memory that was read writes a document that reads back to the same
//   source locale and units (sources, counts, places, translations and their locales).

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "fuzz/FuzzCheck.h"
#include "memory/Tmx.h"
#include "memory/TranslationMemory.h"

namespace {

// A unit's translations by locale code: the locale tables of two memories may differ in order.
std::map<std::string, std::string> ByLocale(const CTranslationMemory& memory,
                                            const MemoryUnit& unit) {
    std::map<std::string, std::string> out;
    for (const MemoryTranslation& translation : unit.translations) {
        out[memory.GetLocales()[translation.locale]] = translation.text;
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CTranslationMemory memory;
    std::string error;
    if (!ReadTmxBytes(data, size, "input.tmx", memory, error)) {
        FUZZ_CHECK(error.rfind("input.tmx: ", 0) == 0);
        return 0;
    }
    for (const MemoryUnit& unit : memory.GetUnits()) {
        FUZZ_CHECK(!unit.source.empty() && unit.source.size() <= kMaxTmxSegment);
        FUZZ_CHECK(!unit.translations.empty());
    }
    const std::optional<std::string> text = TmxText(memory);
    FUZZ_CHECK(text.has_value());
    CTranslationMemory again;
    const bool read = ReadTmxBytes(reinterpret_cast<const uint8_t*>(text->data()), text->size(),
                                   "written.tmx", again, error);
    FUZZ_CHECK(read);
    FUZZ_CHECK(again.GetSourceLocale() == memory.GetSourceLocale());
    FUZZ_CHECK(again.GetCount() == memory.GetCount());
    for (size_t i = 0; i < memory.GetCount(); ++i) {
        const MemoryUnit& a = memory.GetUnits()[i];
        const MemoryUnit& b = again.GetUnits()[i];
        FUZZ_CHECK(a.source == b.source && a.count == b.count && a.place == b.place);
        FUZZ_CHECK(ByLocale(memory, a) == ByLocale(again, b));
    }
    return 0;
}
