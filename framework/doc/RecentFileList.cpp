#include "framework/doc/RecentFileList.h"

#include <algorithm>
#include <cstdio>

#include "framework/doc/PathUtil.h"
#include "framework/doc/Profile.h"

namespace {

const std::string kEmpty;

}  // namespace

CRecentFileList::CRecentFileList(int size, std::string section, std::string entryFormat)
    : m_entries(static_cast<size_t>(std::max(size, 1))),
      m_strSection(std::move(section)),
      m_strEntryFormat(std::move(entryFormat)) {}

const std::string& CRecentFileList::GetEntry(int index) const {
    if (index < 0 || index >= GetSize()) {
        return kEmpty;
    }
    return m_entries[static_cast<size_t>(index)];
}

void CRecentFileList::Add(const std::string& path) {
    const std::string absolute = MakeAbsolutePath(path);
    if (absolute.empty()) {
        return;
    }
    auto found = std::find_if(m_entries.begin(), m_entries.end(), [&](const std::string& entry) {
        return !entry.empty() && (entry == absolute || IsSameFile(entry, absolute));
    });
    if (found == m_entries.end()) {
        found = m_entries.end() - 1;
    }
    m_entries.erase(found);
    m_entries.insert(m_entries.begin(), absolute);
}

void CRecentFileList::Remove(int index) {
    if (index < 0 || index >= GetSize()) {
        return;
    }
    m_entries.erase(m_entries.begin() + index);
    m_entries.emplace_back();
}

std::string CRecentFileList::EntryName(int index) const {
    char name[64];
    std::snprintf(name, sizeof name, m_strEntryFormat.c_str(), index + 1);
    return name;
}

void CRecentFileList::ReadList(const IProfile& profile) {
    const size_t size = m_entries.size();
    m_entries.clear();
    for (int i = 0; i < static_cast<int>(size); ++i) {
        std::string value = profile.GetString(m_strSection, EntryName(i));
        // A gap left by a missing value would hide the entries after it from the menu.
        if (!value.empty()) {
            m_entries.push_back(std::move(value));
        }
    }
    m_entries.resize(size);
}

bool CRecentFileList::WriteList(IProfile& profile) const {
    bool ok = profile.DeleteSection(m_strSection);
    int number = 0;
    for (const auto& entry : m_entries) {
        if (!entry.empty()) {
            ok = profile.WriteString(m_strSection, EntryName(number++), entry) && ok;
        }
    }
    return ok;
}

std::string CRecentFileList::GetDisplayName(int index, const std::string& currentFolder,
                                            size_t maxLength) const {
    const std::string& entry = GetEntry(index);
    if (entry.empty()) {
        return {};
    }
    const std::string folder = FolderOf(entry);
    if (!currentFolder.empty() && (folder == currentFolder || IsSameFile(folder, currentFolder))) {
        return FileNameOf(entry);
    }
    return AbbreviatePath(entry, maxLength);
}

std::vector<std::string> CRecentFileList::GetMenuLabels(const std::string& currentFolder) const {
    std::vector<std::string> labels;
    for (int i = 0; i < GetSize() && !GetEntry(i).empty(); ++i) {
        // Appended piece by piece: "literal" + std::to_string() trips a false -Wrestrict in
        // GCC 12 at -O3.
        std::string label = "&";
        label += std::to_string(i + 1);
        label += ' ';
        label += EscapeAmpersands(GetDisplayName(i, currentFolder));
        labels.push_back(std::move(label));
    }
    return labels;
}

std::string CRecentFileList::ShortenInTheMiddle(const std::string& name, size_t maxLength) {
    const size_t length = Utf8Length(name);
    if (length <= maxLength) {
        return name;
    }
    if (maxLength == 0) {
        return {};
    }
    // The end (the extension) matters as much as the start: both stay, "…" marks the cut.
    const size_t tail = (maxLength - 1) / 2;
    const size_t head = maxLength - 1 - tail;
    const std::string start = Utf8Left(name, head);
    const std::string withoutEnd = Utf8Left(name, length - tail);
    return start + "\u2026" + name.substr(withoutEnd.size());
}

std::string CRecentFileList::AbbreviatePath(const std::string& path, size_t maxLength) {
    if (Utf8Length(path) <= maxLength) {
        return path;
    }
    const std::string name = FileNameOf(path);
    const std::string bareName = ShortenInTheMiddle(name, maxLength);
    // The volume is the root with the first folder; it needs a folder after it to stand for.
    const size_t firstStart = path.find_first_not_of('/');
    const size_t firstEnd =
        firstStart == std::string::npos ? std::string::npos : path.find('/', firstStart);
    const size_t nameStart = path.size() - name.size();
    if (firstEnd == std::string::npos || firstEnd + 1 >= nameStart) {
        return bareName;
    }
    const std::string volume = path.substr(0, firstEnd);
    const std::string ellipsis = "/...";
    if (Utf8Length(volume) + ellipsis.size() + 1 + Utf8Length(name) > maxLength) {
        return bareName;
    }
    // Drop leading folders of the rest until volume + "/..." + rest fits; "/name" always does.
    size_t restStart = firstEnd;
    while (Utf8Length(volume) + ellipsis.size() + Utf8Length(path.substr(restStart)) > maxLength) {
        restStart = path.find('/', restStart + 1);
        if (restStart == std::string::npos) {
            return bareName;
        }
    }
    return volume + ellipsis + path.substr(restStart);
}

std::string CRecentFileList::EscapeAmpersands(const std::string& text) {
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        escaped += c;
        if (c == '&') {
            escaped += '&';
        }
    }
    return escaped;
}
