#pragma once

#include <optional>
#include <string>
#include <vector>

#include "framework/stream/File.h"
#include "framework/stream/FileIdentity.h"

// A file stream that writes a new version of a file without ever damaging the old one: the bytes
// go to a temporary file in the target's folder, and Commit() flushes it, gives it the target's
// owner and group (as far as the process may set them) and permissions and renames it over the
// target. Without a successful Commit() the temporary file is
// removed and the target stays exactly as it was. Errors name the target, not the temporary file.
//
// The temporary file has no name while it is written (where the file system allows it), so a
// process killed mid-write leaves nothing; it gets a name (".TARGET.tg-XXXXXX") only for the
// moment of the rename. A named temporary left by a killed process is removed by the next save
// of the same target; SIGINT, SIGTERM and SIGHUP remove the one in the making before the process
// ends (when the program has no handler of its own for them).
class CSafeFile : public CFile {
public:
    // Creates the temporary file beside target (a symbolic link is followed, so the link stays).
    // Throws CFileException when target is not a regular file (nothing is created) or the folder
    // cannot take the temporary file (the message names the folder).
    explicit CSafeFile(const std::string& target);
    // The same for the file name inside the open folder folderFd (not taken over; it must stay
    // open until Commit or Discard); a symbolic link at name is replaced, not followed. Errors
    // name shownAs.
    CSafeFile(int folderFd, const std::string& name, const std::string& shownAs);
    ~CSafeFile() override;

    // Flushes, sets owner, group and permissions, renames over the target and syncs the folder.
    // Throws CFileException on failure, after removing the temporary file.
    void Commit();
    // Makes Commit refuse (CFileException::changedOnDisk, nothing replaced) unless the target is
    // still the file of this identity just before it is replaced; none: it must not exist.
    void SetExpectedIdentity(std::optional<FileIdentity> identity) {
        m_expected = identity;
        m_bCheckIdentity = true;
    }
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
    // The name the temporary file has, or gets for the rename, in the target's folder.
    [[nodiscard]] const std::string& GetTempPath() const { return m_strTemp; }
    [[nodiscard]] bool IsCommitted() const { return m_bCommitted; }

protected:
    // Gives the temporary file one extended attribute; false when it cannot be given.
    [[nodiscard]] virtual bool PutAttribute(const std::string& name,
                                            const std::vector<char>& value);
    // The final step, a hook for tests that inject failures; throws CFileException.
    virtual void RenameOver(const std::string& from, const std::string& to);

private:
    void Create(const std::string& shownAs, const std::string& folderShown);
    // Gives the temporary file the target's extended attributes; what cannot be given is listed
    // in m_lostAttributes.
    void CopyAttributes();
    // Gives the unnamed temporary file the name m_strTempName (another one if that is taken).
    void LinkTemp();
    // Removes the temporary files that a killed process left behind: those of the names that
    // start with prefix (all of ours when it is empty).
    void RemoveLeftovers(const std::string& prefix) noexcept;

    std::string m_strTarget;    // the file to replace, links resolved (a path for messages)
    std::string m_strLeaf;      // its name in its folder
    int m_nFolder = -1;         // the target's folder
    bool m_bOwnFolder = false;  // m_nFolder is ours to close
    std::string m_strTempName;  // the temporary's name in the folder
    std::string m_strTemp;      // the same as a path, empty once renamed or removed
    bool m_bNamed = false;      // the temporary has a name in the folder
    int m_nSignalSlot = -1;     // where the name is registered for removal on a signal
    int m_nHold = -1;           // a second descriptor of the temporary, holding its lock
    std::optional<FileIdentity> m_expected;
    bool m_bCheckIdentity = false;
    bool m_bCommitted = false;
    bool m_bSeparatedLinks = false;
    std::vector<std::string> m_lostAttributes;
};

// Writes size bytes at data as the whole new content of target through a CSafeFile. Throws
// CFileException on failure; target is then untouched and no temporary file is left.
void WriteFileSafely(const std::string& target, const void* data, size_t size);
