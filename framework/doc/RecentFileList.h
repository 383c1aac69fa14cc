#pragma once

#include <string>
#include <vector>

class IProfile;

// The most recently used files, most recent first, with their place in the profile and in the
// File menu. Entries are absolute paths or empty; the empty ones are always at the end.
class CRecentFileList {
public:
    static constexpr int kDefaultSize = 4;
    static constexpr size_t kDisplayLength = 30;

    explicit CRecentFileList(int size = kDefaultSize, std::string section = "Recent File List",
                             std::string entryFormat = "File%d");

    [[nodiscard]] int GetSize() const { return static_cast<int>(m_entries.size()); }
    // The entry at index (0 = most recent); empty for an unused entry or an index out of range.
    [[nodiscard]] const std::string& GetEntry(int index) const;
    [[nodiscard]] const std::string& operator[](int index) const { return GetEntry(index); }

    // Makes path absolute and puts it at the top. A path already listed (the same file on disk,
    // or the same spelling) moves to the top; otherwise the last entry drops out.
    void Add(const std::string& path);
    // Removes the entry at index; the ones below move up and the last becomes empty.
    void Remove(int index);

    // Reads section "Recent File List", values "File1".. ; a missing value gives an empty entry
    // (later entries move up, so no gap remains).
    void ReadList(const IProfile& profile);
    // Deletes the section and writes the non-empty entries as "File1"...; false when the profile
    // refused a write.
    bool WriteList(IProfile& profile) const;

    // The name shown in the menu: the bare file name when the file lies in currentFolder, else
    // the path shortened to at most maxLength characters (AbbreviatePath).
    [[nodiscard]] std::string GetDisplayName(int index, const std::string& currentFolder,
                                             size_t maxLength = kDisplayLength) const;
    // The menu item labels: "&1 name", "&2 name"... from the first entry up to the first empty
    // one, ampersands of the name doubled. Empty when the first entry is empty (the menu then
    // keeps its greyed "Recent File" placeholder).
    [[nodiscard]] std::vector<std::string> GetMenuLabels(const std::string& currentFolder) const;

    // Shortens an absolute path to at most maxLength characters: the root with the first folder,
    // "/...", then as many trailing folders as fit and the file name ("/home/user/a/b/c/f.iff"
    // to 20: "/home/.../c/f.iff"). When not even that fits, the bare file name, shortened in the
    // middle when it is longer than maxLength.
    [[nodiscard]] static std::string AbbreviatePath(const std::string& path, size_t maxLength);
    // A name of more than maxLength characters as its start, "…" and its end, maxLength in all.
    [[nodiscard]] static std::string ShortenInTheMiddle(const std::string& name, size_t maxLength);
    // Doubles every '&' so that a menu shows it as itself.
    [[nodiscard]] static std::string EscapeAmpersands(const std::string& text);

private:
    [[nodiscard]] std::string EntryName(int index) const;

    std::vector<std::string> m_entries;
    std::string m_strSection;
    std::string m_strEntryFormat;
};
