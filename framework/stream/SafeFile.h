#pragma once

#include <string>
#include <vector>

#include "framework/stream/File.h"

// A file stream that writes a new version of a file without ever damaging the old one: the bytes
// go to a temporary file in the target's folder, and Commit() flushes it, gives it the target's
// owner and group (as far as the process may set them) and permissions and renames it over the
// target. Without a successful Commit() the temporary file is
// removed and the target stays exactly as it was. Errors name the target, not the temporary file.
class CSafeFile : public CFile {
public:
    // Creates the temporary file beside target (a symbolic link is followed, so the link stays).
    // Throws CFileException when the folder cannot take it.
    explicit CSafeFile(const std::string& target);
    ~CSafeFile() override;

    // Flushes, sets owner, group and permissions, renames over the target and syncs the folder.
    // Throws CFileException on failure, after removing the temporary file.
    void Commit();
    // After Commit: the target had other hard links, which the rename left naming the previous
    // version of the file.
    [[nodiscard]] bool SeparatedHardLinks() const { return m_bSeparatedLinks; }
    // After Commit: the names of the target's extended attributes (user.*, security.*, ACLs)
    // that the new file could not be given; the save happened without them.
    [[nodiscard]] const std::vector<std::string>& LostAttributes() const {
        return m_lostAttributes;
    }
    // Removes the temporary file; the target is untouched. Never throws.
    void Discard() noexcept;

    [[nodiscard]] const std::string& GetTargetPath() const { return m_strTarget; }
    [[nodiscard]] const std::string& GetTempPath() const { return m_strTemp; }
    [[nodiscard]] bool IsCommitted() const { return m_bCommitted; }

protected:
    // Gives the temporary file one extended attribute; false when it cannot be given.
    [[nodiscard]] virtual bool PutAttribute(const std::string& name,
                                            const std::vector<char>& value);
    // The final step, a hook for tests that inject failures; throws CFileException.
    virtual void RenameOver(const std::string& from, const std::string& to);

private:
    // Gives the temporary file the target's extended attributes; what cannot be given is listed
    // in m_lostAttributes.
    void CopyAttributes();

    std::string m_strTarget;  // the file to replace, links resolved
    std::string m_strTemp;    // the temporary file, empty once renamed or removed
    bool m_bCommitted = false;
    bool m_bSeparatedLinks = false;
    std::vector<std::string> m_lostAttributes;
};
