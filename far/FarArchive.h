#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

// One file of an archive as its manifest lists it. The bytes are usable only when problem is
// empty: an entry whose record is inconsistent with the archive is listed but never read.
struct FarEntry {
    std::string name;   // the name's bytes as stored (no NUL added); '\' or '/' separate folders
    uint32_t size = 0;  // the first size field
    uint32_t sizeAgain = 0;  // the second one; equal to size in a sound record
    uint32_t offset = 0;     // where the bytes start, from the start of the archive
    std::string problem;     // why the bytes cannot be read; empty when they can

    [[nodiscard]] bool IsReadable() const { return problem.empty(); }
};

// A FAR archive of version 1 held in memory: its manifest checked against its bytes, its entries'
// bytes read as slices, and a rewrite with one entry replaced. The archive owns a copy of the
// bytes, so nothing reads the file after it was loaded.
class CFarArchive {
public:
    enum class Variant { v1a, v1b };  // 32-bit or 16-bit name lengths
    enum class Status {
        ok,           // the manifest was read; entries may still carry problems
        notArchive,   // no FAR signature, or too short for a header
        version3,     // compressed archives, not supported
        badVersion,   // another version number
        badManifest,  // the manifest offset or count cannot be read at all
    };
    static constexpr size_t kHeaderSize = 16;

    // Reads bytes as an archive. Never throws on bad input: the result says what was wrong, and
    // with Status::ok the entries that could be read are listed (GetProblems() says what could
    // not). Work and memory follow the size of bytes, whatever the counts in them claim.
    [[nodiscard]] Status Load(std::vector<uint8_t> bytes);
    // The same, from a copy.
    [[nodiscard]] Status Load(std::span<const uint8_t> bytes) {
        return Load(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    }

    [[nodiscard]] Status GetStatus() const { return m_status; }
    // A sentence on the status ("... is a compressed archive (version 3), which is not
    // supported."), with what to call the archive in front; empty for Status::ok.
    [[nodiscard]] std::string DescribeStatus(const std::string& archiveName) const;
    [[nodiscard]] Variant GetVariant() const { return m_variant; }
    [[nodiscard]] uint32_t GetManifestOffset() const { return m_nManifestOffset; }
    [[nodiscard]] const std::vector<FarEntry>& GetEntries() const { return m_entries; }
    // Problems of the archive as a whole (a manifest cut short, entries it claims but does not
    // hold, bytes after it) and of each entry, one sentence each, in the order found.
    [[nodiscard]] const std::vector<std::string>& GetProblems() const { return m_problems; }
    [[nodiscard]] const std::vector<uint8_t>& GetBytes() const { return m_bytes; }

    // The bytes of a readable entry; empty for an unreadable one or an index out of range.
    [[nodiscard]] std::span<const uint8_t> EntryBytes(size_t index) const;
    // The entry a user's name picks: the exact name's bytes first, else the one name that is
    // equal with '/' and '\' counted as the same and ASCII letters compared without case.
    // Returns nullopt and sets why (no such entry, or the names it could mean) otherwise.
    [[nodiscard]] std::optional<size_t> FindEntry(const std::string& name, std::string* why) const;

    // True when the archive can be written back: loaded with Status::ok and no problem at all,
    // so a rewrite carries every byte any entry claims. Otherwise why says what stands in the way.
    [[nodiscard]] bool CanRewrite(std::string* why) const;
    // The archive with entry index's bytes replaced by replacement: header, then every entry's
    // bytes back to back in manifest order, then the manifest with the new offsets and sizes,
    // in the same variant. Replacing an entry by the bytes it already holds gives back the
    // loaded bytes unchanged, whatever their layout (gaps, manifest first). Returns nullopt
    // when !CanRewrite, the index is out of range or the result would pass 4 GiB.
    [[nodiscard]] std::optional<std::vector<uint8_t>> Rewrite(
        size_t index, std::span<const uint8_t> replacement) const;
    // The same with any number of entries replaced at once (by index), the archive built once.
    [[nodiscard]] std::optional<std::vector<uint8_t>> Rewrite(
        const std::map<size_t, std::span<const uint8_t>>& replacements) const;

    // An archive as the pieces to write one after the other, the files' bytes not copied (they
    // must outlive the pieces): a large archive is written without being built in memory.
    struct Pieces {
        std::vector<uint8_t> header;
        std::vector<std::span<const uint8_t>> files;
        std::vector<uint8_t> manifest;

        [[nodiscard]] std::vector<uint8_t> Join() const;
    };
    // What Rewrite gives, as pieces.
    [[nodiscard]] std::optional<Pieces> RewritePieces(
        const std::map<size_t, std::span<const uint8_t>>& replacements) const;

    // The bytes of an archive of this variant holding these files, laid out as Rewrite lays
    // them out (a tool for tests and seeds as much as for Rewrite).
    struct File {
        std::string name;
        std::span<const uint8_t> bytes;
    };
    [[nodiscard]] static std::optional<std::vector<uint8_t>> Build(Variant variant,
                                                                   const std::vector<File>& files);
    // The same, as pieces.
    [[nodiscard]] static std::optional<Pieces> Lay(Variant variant, const std::vector<File>& files);

private:
    std::vector<uint8_t> m_bytes;
    Status m_status = Status::notArchive;
    Variant m_variant = Variant::v1a;
    uint32_t m_nManifestOffset = 0;
    std::vector<FarEntry> m_entries;
    std::vector<std::string> m_problems;
};

// The name shown to users: the name's bytes read as windows-1252, control bytes and those the
// code page leaves undefined written as \xNN.
[[nodiscard]] std::string FarDisplayName(const std::string& name);
