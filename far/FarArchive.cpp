#include "far/FarArchive.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

constexpr char kSignature[8] = {'F', 'A', 'R', '!', 'b', 'y', 'A', 'Z'};
// size, size again, offset: the fixed part of a record before the name's length.
constexpr size_t kRecordFixed = 12;

// A bounds-checked reader over the archive's bytes; once a read does not fit, every later one
// fails too, so a record is read whole and checked once.
class CCursor {
public:
    CCursor(std::span<const uint8_t> bytes, size_t at) : m_bytes(bytes), m_at(at) {
        m_bFailed = at > bytes.size();
    }
    [[nodiscard]] bool Has(size_t count) const {
        return !m_bFailed && count <= m_bytes.size() - m_at;
    }
    uint32_t U32() { return static_cast<uint32_t>(Little(4)); }
    uint16_t U16() { return static_cast<uint16_t>(Little(2)); }
    std::string Text(size_t count) {
        if (!Has(count)) {
            m_bFailed = true;
            return {};
        }
        std::string text(reinterpret_cast<const char*>(m_bytes.data() + m_at), count);
        m_at += count;
        return text;
    }
    [[nodiscard]] bool Failed() const { return m_bFailed; }
    [[nodiscard]] size_t At() const { return m_at; }
    [[nodiscard]] size_t Remaining() const { return m_bFailed ? 0 : m_bytes.size() - m_at; }

private:
    uint64_t Little(size_t count) {
        if (!Has(count)) {
            m_bFailed = true;
            return 0;
        }
        uint64_t value = 0;
        for (size_t i = 0; i < count; ++i) {
            value |= static_cast<uint64_t>(m_bytes[m_at + i]) << (8 * i);
        }
        m_at += count;
        return value;
    }

    std::span<const uint8_t> m_bytes;
    size_t m_at;
    bool m_bFailed = false;
};

void PutU32(std::vector<uint8_t>& out, uint32_t value) {
    for (int i = 0; i < 4; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void PutU16(std::vector<uint8_t>& out, uint16_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

// One reading of the manifest in one variant.
struct Reading {
    std::vector<FarEntry> entries;
    bool complete = false;  // every record the count claims was read
    size_t end = 0;         // where the last record read ends
    size_t plausible = 0;   // records whose sizes agree and whose bytes lie in the archive
};

Reading ReadManifest(std::span<const uint8_t> bytes, size_t manifest, uint32_t count,
                     CFarArchive::Variant variant) {
    const size_t lengthSize = variant == CFarArchive::Variant::v1a ? 4 : 2;
    CCursor cursor(bytes, manifest + 4);
    Reading reading;
    // Never more records than the bytes left could hold, whatever the count claims.
    reading.entries.reserve(
        std::min<size_t>(count, cursor.Remaining() / (kRecordFixed + lengthSize)));
    for (uint32_t i = 0; i < count; ++i) {
        if (!cursor.Has(kRecordFixed + lengthSize)) {
            break;
        }
        FarEntry entry;
        entry.size = cursor.U32();
        entry.sizeAgain = cursor.U32();
        entry.offset = cursor.U32();
        const uint32_t length = lengthSize == 4 ? cursor.U32() : cursor.U16();
        entry.name = cursor.Text(length);
        if (cursor.Failed()) {
            break;
        }
        if (entry.size == entry.sizeAgain && entry.offset <= bytes.size() &&
            entry.size <= bytes.size() - entry.offset) {
            ++reading.plausible;
        }
        reading.entries.push_back(std::move(entry));
        reading.end = cursor.At();
    }
    reading.complete = reading.entries.size() == count;
    if (count == 0) {
        reading.end = manifest + 4;
    }
    return reading;
}

// Whether a is the better reading of the file than b: first the one that ends exactly at the
// end of the file, then a complete one, then the one with more sound records.
bool Better(const Reading& a, const Reading& b, size_t fileSize) {
    const bool aExact = a.complete && a.end == fileSize;
    const bool bExact = b.complete && b.end == fileSize;
    if (aExact != bExact) {
        return aExact;
    }
    if (a.complete != b.complete) {
        return a.complete;
    }
    if (a.plausible != b.plausible) {
        return a.plausible > b.plausible;
    }
    return a.entries.size() > b.entries.size();
}

// How many bytes from start (the manifest's end) to end no entry claims, right after the
// manifest (where records the count leaves out would lie) or after every entry's bytes. Gaps
// between entries are no damage, after the manifest as before it.
size_t UnclaimedAfter(const std::vector<FarEntry>& entries, size_t start, size_t end) {
    size_t first = end;
    size_t last = start;
    for (const FarEntry& entry : entries) {
        const size_t from = std::max<size_t>(entry.offset, start);
        const size_t to = std::min<size_t>(size_t{entry.offset} + entry.size, end);
        if (entry.size == entry.sizeAgain && from < to) {
            first = std::min(first, from);
            last = std::max(last, to);
        }
    }
    return first == end ? end - start : (first - start) + (end - last);
}

std::string Quoted(const std::string& name) {
    return "\"" + FarDisplayName(name) + "\"";
}

// ASCII case folded, both separators the same.
std::string Folded(const std::string& name) {
    std::string folded = name;
    for (char& ch : folded) {
        if (ch == '\\') {
            ch = '/';
        } else if (ch >= 'A' && ch <= 'Z') {
            ch = static_cast<char>(ch - 'A' + 'a');
        }
    }
    return folded;
}

}  // namespace

CFarArchive::Status CFarArchive::Load(std::vector<uint8_t> bytes) {
    m_bytes = std::move(bytes);
    m_entries.clear();
    m_problems.clear();
    m_variant = Variant::v1a;
    m_nManifestOffset = 0;
    const std::span<const uint8_t> all(m_bytes);
    if (all.size() < kHeaderSize || std::memcmp(all.data(), kSignature, sizeof kSignature) != 0) {
        return m_status = Status::notArchive;
    }
    CCursor header(all, sizeof kSignature);
    const uint32_t version = header.U32();
    m_nManifestOffset = header.U32();
    if (version == 3) {
        return m_status = Status::version3;
    }
    if (version != 1) {
        return m_status = Status::badVersion;
    }
    const size_t manifest = m_nManifestOffset;
    if (manifest < kHeaderSize || manifest > all.size() || all.size() - manifest < 4) {
        return m_status = Status::badManifest;
    }
    CCursor countCursor(all, manifest);
    const uint32_t count = countCursor.U32();

    Reading a = ReadManifest(all, manifest, count, Variant::v1a);
    Reading b = ReadManifest(all, manifest, count, Variant::v1b);
    const bool pickB = Better(b, a, all.size());
    m_variant = pickB ? Variant::v1b : Variant::v1a;
    Reading& reading = pickB ? b : a;
    m_entries = std::move(reading.entries);
    if (!reading.complete) {
        m_problems.push_back("The manifest runs past the end of the archive: it lists " +
                             std::to_string(count) + " entries, of which " +
                             std::to_string(m_entries.size()) + " fit.");
    }
    const size_t manifestEnd = reading.complete ? reading.end : all.size();
    if (const size_t loose = UnclaimedAfter(m_entries, manifestEnd, all.size()); loose != 0) {
        // Most likely records the count does not cover: a rewrite would drop them.
        m_problems.push_back(std::to_string(loose) +
                             " bytes after the manifest belong to no entry; the manifest may "
                             "count fewer entries than the archive holds.");
    }
    for (size_t i = 0; i < m_entries.size(); ++i) {
        FarEntry& entry = m_entries[i];
        const size_t offset = entry.offset;
        const size_t size = entry.size;
        if (entry.size != entry.sizeAgain) {
            entry.problem = "its two sizes differ (" + std::to_string(entry.size) + " and " +
                            std::to_string(entry.sizeAgain) + ")";
        } else if (offset > all.size() || size > all.size() - offset) {
            entry.problem = "its " + std::to_string(size) + " bytes at offset " +
                            std::to_string(offset) + " lie outside the archive (" +
                            std::to_string(all.size()) + " bytes)";
        } else if (size != 0 && offset < kHeaderSize) {
            entry.problem = "its bytes overlap the archive's header";
        } else if (size != 0 && offset < manifestEnd && manifest < offset + size) {
            entry.problem = "its bytes overlap the manifest";
        }
        if (!entry.IsReadable()) {
            m_problems.push_back("Entry " + std::to_string(i + 1) + " " + Quoted(entry.name) +
                                 " cannot be read: " + entry.problem + ".");
        }
    }
    return m_status = Status::ok;
}

std::string CFarArchive::DescribeStatus(const std::string& archiveName) const {
    switch (m_status) {
        case Status::ok:
            return {};
        case Status::notArchive:
            return archiveName + " is not a FAR archive.";
        case Status::version3:
            return archiveName +
                   " is a compressed FAR archive (version 3), which is not supported; only "
                   "version 1 archives can be opened.";
        case Status::badVersion: {
            CCursor cursor(m_bytes, sizeof kSignature);
            return archiveName + " is a FAR archive of version " + std::to_string(cursor.U32()) +
                   ", which is not supported; only version 1 archives can be opened.";
        }
        case Status::badManifest:
            return archiveName + " is damaged: its manifest offset (" +
                   std::to_string(m_nManifestOffset) + ") lies outside the archive (" +
                   std::to_string(m_bytes.size()) + " bytes).";
    }
    return {};
}

std::span<const uint8_t> CFarArchive::EntryBytes(size_t index) const {
    if (index >= m_entries.size() || !m_entries[index].IsReadable()) {
        return {};
    }
    const FarEntry& entry = m_entries[index];
    return std::span<const uint8_t>(m_bytes).subspan(entry.offset, entry.size);
}

std::optional<size_t> CFarArchive::FindEntry(const std::string& name, std::string* why) const {
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i].name == name) {
            return i;
        }
    }
    const std::string folded = Folded(name);
    std::vector<size_t> matches;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (Folded(m_entries[i].name) == folded ||
            Folded(FarDisplayName(m_entries[i].name)) == folded) {
            matches.push_back(i);
        }
    }
    if (matches.size() == 1) {
        return matches.front();
    }
    if (why) {
        if (matches.empty()) {
            *why = "The archive holds no entry named " + Quoted(name) + ".";
        } else {
            *why = Quoted(name) + " could mean any of";
            for (const size_t i : matches) {
                *why += " " + Quoted(m_entries[i].name);
            }
            *why += "; give the name exactly.";
        }
    }
    return std::nullopt;
}

bool CFarArchive::CanRewrite(std::string* why) const {
    if (m_status != Status::ok) {
        if (why) {
            *why = DescribeStatus("The file");
        }
        return false;
    }
    if (!m_problems.empty()) {
        if (why) {
            *why =
                "The archive is damaged and cannot be written back without losing what it "
                "claims to hold: " +
                m_problems.front();
        }
        return false;
    }
    return true;
}

std::optional<std::vector<uint8_t>> CFarArchive::Rewrite(
    size_t index, std::span<const uint8_t> replacement) const {
    if (index >= m_entries.size()) {
        return std::nullopt;
    }
    return Rewrite({{index, replacement}});
}

std::optional<std::vector<uint8_t>> CFarArchive::Rewrite(
    const std::map<size_t, std::span<const uint8_t>>& replacements) const {
    const std::optional<Pieces> pieces = RewritePieces(replacements);
    if (!pieces) {
        return std::nullopt;
    }
    return pieces->Join();
}

std::optional<CFarArchive::Pieces> CFarArchive::RewritePieces(
    const std::map<size_t, std::span<const uint8_t>>& replacements) const {
    if (!CanRewrite(nullptr) ||
        (!replacements.empty() && replacements.rbegin()->first >= m_entries.size())) {
        return std::nullopt;
    }
    const bool same = std::all_of(replacements.begin(), replacements.end(), [this](const auto& r) {
        const std::span<const uint8_t> current = EntryBytes(r.first);
        return std::equal(current.begin(), current.end(), r.second.begin(), r.second.end());
    });
    if (same) {
        return Pieces{{}, {m_bytes}, {}};
    }
    std::vector<File> files;
    files.reserve(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const auto found = replacements.find(i);
        files.push_back(
            {m_entries[i].name, found != replacements.end() ? found->second : EntryBytes(i)});
    }
    return Lay(m_variant, files);
}

std::vector<uint8_t> CFarArchive::Pieces::Join() const {
    size_t size = header.size() + manifest.size();
    for (const std::span<const uint8_t> file : files) {
        size += file.size();
    }
    std::vector<uint8_t> out;
    out.reserve(size);
    out.insert(out.end(), header.begin(), header.end());
    for (const std::span<const uint8_t> file : files) {
        out.insert(out.end(), file.begin(), file.end());
    }
    out.insert(out.end(), manifest.begin(), manifest.end());
    return out;
}

std::optional<std::vector<uint8_t>> CFarArchive::Build(Variant variant,
                                                       const std::vector<File>& files) {
    const std::optional<Pieces> pieces = Lay(variant, files);
    if (!pieces) {
        return std::nullopt;
    }
    return pieces->Join();
}

std::optional<CFarArchive::Pieces> CFarArchive::Lay(Variant variant,
                                                    const std::vector<File>& files) {
    constexpr uint64_t kLimit = std::numeric_limits<uint32_t>::max();
    const size_t lengthSize = variant == Variant::v1a ? 4 : 2;
    uint64_t data = kHeaderSize;
    uint64_t manifestSize = 4;
    for (const File& file : files) {
        if (variant == Variant::v1b && file.name.size() > 0xFFFF) {
            return std::nullopt;
        }
        data += file.bytes.size();
        manifestSize += kRecordFixed + lengthSize + file.name.size();
        if (data > kLimit || manifestSize > kLimit) {
            return std::nullopt;
        }
    }
    if (data + manifestSize > kLimit || files.size() > kLimit) {
        return std::nullopt;
    }
    Pieces pieces;
    pieces.header.insert(pieces.header.end(), kSignature, kSignature + sizeof kSignature);
    PutU32(pieces.header, 1);
    PutU32(pieces.header, static_cast<uint32_t>(data));
    std::vector<uint8_t>& out = pieces.manifest;
    out.reserve(static_cast<size_t>(manifestSize));
    PutU32(out, static_cast<uint32_t>(files.size()));
    uint32_t offset = kHeaderSize;
    pieces.files.reserve(files.size());
    for (const File& file : files) {
        pieces.files.push_back(file.bytes);
        const auto size = static_cast<uint32_t>(file.bytes.size());
        PutU32(out, size);
        PutU32(out, size);
        PutU32(out, offset);
        if (variant == Variant::v1a) {
            PutU32(out, static_cast<uint32_t>(file.name.size()));
        } else {
            PutU16(out, static_cast<uint16_t>(file.name.size()));
        }
        out.insert(out.end(), file.name.begin(), file.name.end());
        offset += size;
    }
    return pieces;
}

std::string FarDisplayName(const std::string& name) {
    static constexpr char16_t k80to9F[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char ch : name) {
        const auto byte = static_cast<unsigned char>(ch);
        char32_t c = byte;
        if (byte >= 0x80 && byte < 0xA0) {
            c = k80to9F[byte - 0x80];
        }
        if (byte < 0x20 || byte == 0x7F || c == 0) {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        } else if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}
