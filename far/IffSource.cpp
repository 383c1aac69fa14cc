#include "far/IffSource.h"

#include "far/FarPath.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "framework/stream/SafeFile.h"

#include <algorithm>
#include <filesystem>
#include <limits>

namespace {

bool StartsAsArchive(const std::vector<uint8_t>& bytes) {
    static constexpr char kSignature[] = "FAR!byAZ";
    return bytes.size() >= sizeof kSignature - 1 &&
           std::equal(kSignature, kSignature + sizeof kSignature - 1, bytes.begin());
}

}  // namespace

bool CIffSource::LooksLikeIff(std::span<const uint8_t> bytes) {
    static constexpr char kMagic[] = "IFF FILE 2.";
    return bytes.size() >= sizeof kMagic - 1 &&
           std::equal(kMagic, kMagic + sizeof kMagic - 1, bytes.begin());
}

bool CIffSource::Load(const std::string& path, std::string& why) {
    std::error_code error;
    const std::optional<FarPath> inArchive =
        std::filesystem::exists(path, error) ? std::nullopt : SplitFarPath(path);
    const std::string filePath = inArchive ? inArchive->archive : path;
    m_strName = std::filesystem::path(filePath).filename().string();
    CFile file(filePath, CFile::modeRead);
    m_identity = IdentityOfDescriptor(file.GetDescriptor());
    // One byte more than an archive may hold tells a larger one without reading it all.
    std::vector<uint8_t> bytes =
        ReadWholeFile(file, std::numeric_limits<uint32_t>::max() + uint64_t{1});
    m_items.clear();
    m_replaced.clear();
    m_bArchive = inArchive.has_value() || StartsAsArchive(bytes);
    if (!m_bArchive) {
        m_loose = std::move(bytes);
        m_items.push_back({});
        return true;
    }
    if (bytes.size() > std::numeric_limits<uint32_t>::max()) {
        why = m_strName + " is larger than an archive can be.";
        return false;
    }
    if (m_archive.Load(std::move(bytes)) != CFarArchive::Status::ok) {
        why = m_archive.DescribeStatus(m_strName);
        return false;
    }
    if (inArchive) {
        const std::optional<size_t> found = m_archive.FindEntry(inArchive->entry, &why);
        if (!found) {
            return false;
        }
        m_items.push_back({m_archive.GetEntries()[*found].name, *found});
        return true;
    }
    for (size_t i = 0; i < m_archive.GetEntries().size(); ++i) {
        if (LooksLikeIff(m_archive.EntryBytes(i))) {
            m_items.push_back({m_archive.GetEntries()[i].name, i});
        }
    }
    return true;
}

std::vector<std::string> CIffSource::Problems() const {
    return m_bArchive ? m_archive.GetProblems() : std::vector<std::string>();
}

std::span<const uint8_t> CIffSource::Bytes(size_t item) const {
    if (const auto found = m_replaced.find(item); found != m_replaced.end()) {
        return found->second;
    }
    if (item >= m_items.size()) {
        return {};
    }
    return m_bArchive ? m_archive.EntryBytes(m_items[item].entry)
                      : std::span<const uint8_t>(m_loose);
}

void CIffSource::Replace(size_t item, std::vector<uint8_t> bytes) {
    const std::span<const uint8_t> current = Bytes(item);
    if (item >= m_items.size() ||
        std::equal(current.begin(), current.end(), bytes.begin(), bytes.end())) {
        return;
    }
    m_replaced[item] = std::move(bytes);
}

std::optional<CFarArchive::Pieces> CIffSource::Output(std::string& why) const {
    if (!m_bArchive) {
        const auto found = m_replaced.find(0);
        return CFarArchive::Pieces{{}, {found != m_replaced.end() ? found->second : m_loose}, {}};
    }
    std::map<size_t, std::span<const uint8_t>> replacements;
    for (const auto& [item, bytes] : m_replaced) {
        replacements.emplace(m_items[item].entry, bytes);
    }
    if (!m_archive.CanRewrite(&why)) {
        return std::nullopt;
    }
    std::optional<CFarArchive::Pieces> out = m_archive.RewritePieces(replacements);
    if (!out) {
        why = m_strName + " would be larger than an archive can be.";
    }
    return out;
}

bool CIffSource::Write(const std::string& target, std::string& why) const {
    const std::optional<CFarArchive::Pieces> pieces = Output(why);
    if (!pieces) {
        return false;
    }
    // Written from where the bytes are: a large archive is never copied whole in memory.
    std::vector<ConstBuffer> buffers = {{pieces->header.data(), pieces->header.size()}};
    for (const std::span<const uint8_t> file : pieces->files) {
        buffers.push_back({file.data(), file.size()});
    }
    buffers.push_back({pieces->manifest.data(), pieces->manifest.size()});
    try {
        CSafeFile file(target);
        if (const std::optional<FileIdentity> now = IdentityOfPath(target);
            now && m_identity && now->device == m_identity->device &&
            now->inode == m_identity->inode) {
            file.SetExpectedIdentity(m_identity);  // the file read: only as it was read
        }
        file.WriteGather(buffers.data(), buffers.size());
        file.Commit();
    } catch (const CFileException& e) {
        why = e.GetErrorMessage();
        return false;
    }
    return true;
}
