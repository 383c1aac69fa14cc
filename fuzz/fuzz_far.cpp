// A whole FAR archive through CFarArchive: the manifest read and checked, every readable entry's
// bytes, then rewrites with one entry replaced, read again.
//
// Properties:
// - A readable entry's bytes lie inside the archive, after the header and clear of the manifest.
// - No more entries are listed than the manifest's bytes can hold.
// - Rewriting an entry with the bytes it holds gives back the input unchanged.
// - Write then read: a rewrite with a replacement reads back as a sound archive of the same
//   variant, names and order, every other entry byte-identical, the replaced one the
//   replacement; and rewriting that result unchanged gives the same bytes again.

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <vector>

#include "far/FarArchive.h"
#include "fuzz/FuzzCheck.h"

namespace {

bool SameBytes(std::span<const uint8_t> a, std::span<const uint8_t> b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin());
}

void CheckEntries(const CFarArchive& archive, size_t size) {
    const std::vector<FarEntry>& entries = archive.GetEntries();
    // The shortest record (1b, empty name) takes 14 bytes.
    FUZZ_CHECK(entries.size() <= size / 14);
    for (size_t i = 0; i < entries.size(); ++i) {
        const FarEntry& entry = entries[i];
        const std::span<const uint8_t> bytes = archive.EntryBytes(i);
        if (!entry.IsReadable()) {
            FUZZ_CHECK(bytes.empty());
            continue;
        }
        FUZZ_CHECK(entry.size == entry.sizeAgain);
        FUZZ_CHECK(entry.offset <= size && entry.size <= size - entry.offset);
        FUZZ_CHECK(bytes.size() == entry.size);
        if (entry.size != 0) {
            FUZZ_CHECK(entry.offset >= CFarArchive::kHeaderSize);
            FUZZ_CHECK(bytes.data() == archive.GetBytes().data() + entry.offset);
            const size_t manifest = archive.GetManifestOffset();
            FUZZ_CHECK(entry.offset + entry.size <= manifest || entry.offset >= manifest + 4);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 0x1000000) {
        return 0;
    }
    const std::span<const uint8_t> input(data, size);
    CFarArchive archive;
    const CFarArchive::Status status = archive.Load(input);
    const bool signature = size >= 16 && std::memcmp(data, "FAR!byAZ", 8) == 0;
    FUZZ_CHECK((status == CFarArchive::Status::notArchive) == !signature);
    FUZZ_CHECK(status == CFarArchive::Status::ok || archive.GetEntries().empty());
    FUZZ_CHECK(status == CFarArchive::Status::ok || !archive.DescribeStatus("x").empty());
    CheckEntries(archive, size);
    if (!archive.CanRewrite(nullptr)) {
        FUZZ_CHECK(!archive.Rewrite(0, {}).has_value());
        return 0;
    }
    const std::vector<FarEntry>& entries = archive.GetEntries();
    for (size_t i = 0; i < entries.size() && i < 8; ++i) {
        const std::optional<std::vector<uint8_t>> same = archive.Rewrite(i, archive.EntryBytes(i));
        FUZZ_CHECK(same && SameBytes(*same, input));
    }
    if (entries.empty()) {
        return 0;
    }
    // A replacement taken from the input, of a length the input's last byte picks.
    const size_t index = data[size - 1] % entries.size();
    const size_t length = std::min<size_t>(size, data[size - 1] * 5u + 1);
    const std::span<const uint8_t> replacement = input.subspan(size - length, length);
    const std::optional<std::vector<uint8_t>> rewritten = archive.Rewrite(index, replacement);
    FUZZ_CHECK(rewritten.has_value());

    CFarArchive again;
    FUZZ_CHECK(again.Load(*rewritten) == CFarArchive::Status::ok);
    FUZZ_CHECK(again.GetProblems().empty());
    FUZZ_CHECK(again.GetEntries().size() == entries.size());
    // With no entry in it that tells the variants apart (no names), either reading fits.
    bool named = false;
    for (size_t i = 0; i < entries.size(); ++i) {
        const FarEntry& entry = again.GetEntries()[i];
        FUZZ_CHECK(entry.name == entries[i].name);
        named = named || !entry.name.empty();
        FUZZ_CHECK(
            SameBytes(again.EntryBytes(i), i == index ? replacement : archive.EntryBytes(i)));
    }
    FUZZ_CHECK(!named || again.GetVariant() == archive.GetVariant());
    const std::optional<std::vector<uint8_t>> fixed = again.Rewrite(index, replacement);
    FUZZ_CHECK(fixed && *fixed == *rewritten);
    return 0;
}
