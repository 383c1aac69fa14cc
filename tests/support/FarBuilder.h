#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Lays out FAR archive bytes by hand, independently of the archive code under test: the header,
// the entries' bytes in the order given (each after an optional gap), then the manifest, or the
// manifest first when asked. Record fields can be overridden to build damaged archives.
struct FarBuilder {
    struct Entry {
        std::string name;
        std::vector<uint8_t> bytes;
        size_t gapBefore = 0;  // filler bytes (0xEE) written before the entry's bytes
        // Overrides of the record's fields; -1 keeps the true value.
        int64_t size = -1;
        int64_t sizeAgain = -1;
        int64_t offset = -1;
    };

    bool shortNames = false;  // 16-bit name lengths (1b) instead of 32-bit ones (1a)
    bool manifestFirst = false;
    uint32_t version = 1;
    int64_t count = -1;  // override of the manifest's count
    std::vector<Entry> entries;
    std::vector<uint8_t> trailing;  // bytes after the manifest

    static void PutLE32(std::vector<uint8_t>& out, uint32_t value) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<uint8_t>(value >> (8 * i)));
        }
    }

    [[nodiscard]] std::vector<uint8_t> Manifest(const std::vector<uint32_t>& offsets) const {
        std::vector<uint8_t> out;
        PutLE32(out,
                count >= 0 ? static_cast<uint32_t>(count) : static_cast<uint32_t>(entries.size()));
        for (size_t i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            const auto size = static_cast<uint32_t>(entry.bytes.size());
            PutLE32(out, entry.size >= 0 ? static_cast<uint32_t>(entry.size) : size);
            PutLE32(out, entry.sizeAgain >= 0 ? static_cast<uint32_t>(entry.sizeAgain) : size);
            PutLE32(out, entry.offset >= 0 ? static_cast<uint32_t>(entry.offset) : offsets[i]);
            const auto length = static_cast<uint32_t>(entry.name.size());
            if (shortNames) {
                out.push_back(static_cast<uint8_t>(length));
                out.push_back(static_cast<uint8_t>(length >> 8));
            } else {
                PutLE32(out, length);
            }
            out.insert(out.end(), entry.name.begin(), entry.name.end());
        }
        return out;
    }

    [[nodiscard]] std::vector<uint8_t> Build() const {
        // The manifest's size does not depend on the offsets in it.
        const size_t manifestSize = Manifest(std::vector<uint32_t>(entries.size())).size();
        std::vector<uint32_t> offsets;
        size_t at = 16 + (manifestFirst ? manifestSize : 0);
        for (const Entry& entry : entries) {
            at += entry.gapBefore;
            offsets.push_back(static_cast<uint32_t>(at));
            at += entry.bytes.size();
        }
        std::vector<uint8_t> out = {'F', 'A', 'R', '!', 'b', 'y', 'A', 'Z'};
        PutLE32(out, version);
        PutLE32(out, static_cast<uint32_t>(manifestFirst ? 16 : at));
        const std::vector<uint8_t> manifest = Manifest(offsets);
        if (manifestFirst) {
            out.insert(out.end(), manifest.begin(), manifest.end());
        }
        for (const Entry& entry : entries) {
            out.insert(out.end(), entry.gapBefore, 0xEE);
            out.insert(out.end(), entry.bytes.begin(), entry.bytes.end());
        }
        if (!manifestFirst) {
            out.insert(out.end(), manifest.begin(), manifest.end());
        }
        out.insert(out.end(), trailing.begin(), trailing.end());
        return out;
    }
};
