#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "far/FarArchive.h"
#include "framework/stream/FileIdentity.h"

// Where the bytes of IFF files come from and go back to: one loose file, or the IFF entries of
// a FAR archive (all of them, or the one a "ARCHIVE.far:NAME" argument names). The file is read
// once; replaced entries are kept in memory and the file is written once, however many changed.
class CIffSource {
public:
    struct Item {
        std::string entryName;  // the entry's name as the archive stores it; empty for a loose file
        size_t entry = 0;       // its index in the archive
    };

    // Reads path: a file that starts as a FAR archive gives its entries that are IFF files; an
    // argument of the form "ARCHIVE.far:NAME" (for a path that does not exist as given) the one
    // entry; anything else is one loose file, whatever it holds. False, with why (a sentence
    // naming the file), when it cannot be read or the archive or entry cannot be. Stream errors
    // pass to the caller.
    [[nodiscard]] bool Load(const std::string& path, std::string& why);

    [[nodiscard]] bool IsArchive() const { return m_bArchive; }
    [[nodiscard]] const std::vector<Item>& Items() const { return m_items; }
    // The archive's problems (entries that cannot be read), one sentence each; empty otherwise.
    [[nodiscard]] std::vector<std::string> Problems() const;
    // The bytes of an item as they are now (replaced or as read).
    [[nodiscard]] std::span<const uint8_t> Bytes(size_t item) const;
    // Replaces an item's bytes in memory; bytes equal to the current ones change nothing.
    void Replace(size_t item, std::vector<uint8_t> bytes);
    [[nodiscard]] bool HasChanges() const { return !m_replaced.empty(); }
    // Writes Output safely over target (a temporary beside it, renamed). The file read is not
    // replaced when it changed on disk since it was read. False, with why, when nothing was
    // written; target is then untouched.
    [[nodiscard]] bool Write(const std::string& target, std::string& why) const;

    // True when bytes start as an IFF file does.
    [[nodiscard]] static bool LooksLikeIff(std::span<const uint8_t> bytes);

private:
    // The whole file with every replacement, as pieces of the bytes held: an archive rebuilt
    // once. Nullopt, with why, when the archive cannot be written back (an entry it cannot
    // place, or more than 4 GiB).
    [[nodiscard]] std::optional<CFarArchive::Pieces> Output(std::string& why) const;

    bool m_bArchive = false;
    std::string m_strName;                   // the file's name, for messages
    std::optional<FileIdentity> m_identity;  // of the file as it was read
    std::vector<uint8_t> m_loose;            // a loose file's bytes
    CFarArchive m_archive;
    std::vector<Item> m_items;
    std::map<size_t, std::vector<uint8_t>> m_replaced;  // by item
};
