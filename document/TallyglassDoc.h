#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "document/ResourceEditor.h"
#include "document/UndoStack.h"
#include "far/FarArchive.h"
#include "framework/doc/Document.h"
#include "iff/IffFile.h"

// The editor's document: one IFF file held in m_iff, the editing model of its text resources
// (m_editor) and their undo history (m_undo), whose saved state the modified mark follows.
// Opening reads the file once into m_iff's snapshot and indexes it (nothing is read from the
// file afterwards) and tells the user, through the first view, why a file is not a readable IFF
// file. The IFF file may also be an entry of a FAR archive (OnOpenArchiveEntry): the document
// then holds the whole archive in memory, its path is the archive's, and saving writes the
// archive back with that entry replaced. Saving first stores the working copy, brings every payload
// into memory, closes the source and only then writes the target (safely, see
// CDocument::OnSaveDocument).
class CTallyglassDoc : public CDocument {
public:
    // %1 is the file's name.
    static constexpr const char* kMsgNotIff = "%1: This file is *not* an IFF file!";
    static constexpr const char* kMsgBadVersion =
        "%1: The file version of the IFF file is not supported!";
    static constexpr const char* kMsgBadPointer = "Invalid file pointer!";
    static constexpr const char* kMsgNoMemory = "There's not enough free memory!";
    static constexpr const char* kMsgCantAccess =
        "Can't access the opened IFF file.... you did open an IFF file, didn't you?";
    static constexpr const char* kErrorCaption = "Error";
    // The open code of an archive entry that could not be reached (no archive, no such entry,
    // an entry the manifest cannot place).
    static constexpr int errArchive = 6;

    CTallyglassDoc();
    ~CTallyglassDoc() override;

    // Loading: m_iff takes its own duplicate of the stream and indexes it; a file that is not a
    // readable IFF file shows its message and leaves the document without chunks (Save then asks
    // for a path). Stream errors while the header is read pass to the caller. Storing: m_iff.Save
    // into the stream; a false result without a stream error throws a generic CFileException.
    void Serialize(CArchive& archive) override;
    bool OnNewDocument() override;
    // A file that is not an IFF file, or of a version not supported, is refused before the
    // document gives up what it holds: the message names it and nothing changes. An empty file
    // opens as an empty document.
    bool CanOpenSource(CFile& file, const std::string& path) override;
    // The open-error message of a code (kMsgNotIff and the others) for the file at path; empty
    // for 0.
    [[nodiscard]] static std::string OpenErrorMessage(int code, const std::string& path);
    // In this order: the working copy is stored (a copy that does not fit fails the save, and
    // the first view says why), views update, m_iff.Close, then the base's safe save; a save
    // that succeeds makes the undo history's current state the saved one. Every byte of the file
    // that no edit changed is written back as it was, chunks that cannot be read included; only
    // SetDropUnreadableWithoutAsking leaves those out (GetDroppedChunks names them).
    // For an archive entry the archive is written, unless path ends in ".iff": then the entry
    // alone, as SaveEntryAsLooseFile does (Save As offers both).
    bool OnSaveDocument(const std::string& path) override;
    // Empties m_iff (chunks and source), so a document opened from an empty file holds nothing
    // of the previous one.
    void DeleteContents() override;

    // Picks the entry to open from an archive opened by its own path: gets the archive, its file
    // name and the indexes of the entries that are IFF files; returns the index chosen, or
    // nullopt to cancel the open.
    using EntryChooser = std::function<std::optional<size_t>(
        const CFarArchive& archive, const std::string& archiveName,
        const std::vector<size_t>& iffEntries)>;

    // Opens path as the base does, with two more forms: "ARCHIVE.far:NAME" (SplitFarPath) opens
    // that entry, and an existing FAR archive opens the entry the chooser picks (without a
    // chooser, or when it is cancelled, nothing is opened and the document keeps its contents).
    // The archive of the entry the document holds opens that entry again (a reload).
    bool OnOpenDocument(const std::string& path) override;
    void SetEntryChooser(EntryChooser chooser) { m_entryChooser = std::move(chooser); }
    // "ARCHIVE.far:NAME" for an archive entry, so that the recent-file list opens it again.
    [[nodiscard]] std::string GetRecentFileName() const override;
    // The indexes of the readable entries whose bytes start as an IFF file's.
    [[nodiscard]] static std::vector<size_t> FindIffEntries(const CFarArchive& archive);

    // Opens the entry of the archive at archivePath that FindEntry picks for entry, as
    // OnOpenDocument opens a file: the archive is read once into memory, and the entry's bytes
    // are the IFF file the document holds. When the archive or the entry cannot be read, or the
    // entry is not an IFF file, the first view says why and false comes back with the document
    // as it was (the open code errArchive or CIffFile's). The caller sets the path (the
    // archive's) as after OnOpenDocument.
    bool OnOpenArchiveEntry(const std::string& archivePath, const std::string& entry);
    // Reads the archive in file (from its start, once) into archive. Returns why it is not a
    // readable archive (a sentence naming it by its file name), or an empty string; an archive
    // whose entries have problems is readable. Stream errors pass to the caller.
    [[nodiscard]] static std::string LoadArchive(CFile& file, CFarArchive& archive);
    // LoadArchive, then finds the entry FindEntry picks for entry, readable, into index. Returns
    // why it cannot, or an empty string.
    [[nodiscard]] static std::string LoadArchiveEntry(CFile& file, const std::string& entry,
                                                      CFarArchive& archive, size_t& index);
    // True while the document holds an entry of an archive; saves then write the archive.
    [[nodiscard]] bool IsArchiveEntry() const { return m_archive.has_value(); }
    // The archive and the entry's index in it, while IsArchiveEntry.
    [[nodiscard]] const CFarArchive* GetArchive() const {
        return m_archive ? &m_archive->archive : nullptr;
    }
    [[nodiscard]] size_t GetArchiveEntryIndex() const { return m_archive ? m_archive->index : 0; }
    // The entry's name as the archive stores it; empty for a plain file.
    [[nodiscard]] std::string GetArchiveEntryName() const;
    // Saves the entry alone into path, as a loose IFF file; on success the document is that
    // file's (path and title set) and no longer the archive's. The archive is left as it is.
    bool SaveEntryAsLooseFile(const std::string& path);
    // The title of an archive entry is "Chair.iff (Objects.far)": the entry's file name and the
    // archive's; other documents take the path's file name. For an archive entry, path may also
    // be "ARCHIVE.far:NAME": the document's path is then the archive's.
    void SetPathName(const std::string& path) override;

    // Opens an IFF file held in memory (an entry a CIffSource hands out) as the document's
    // file, without a path and without telling anyone: false, with code set to the open code,
    // when it is not a readable IFF file. The bytes are read during the call only, once.
    [[nodiscard]] bool OpenBytes(std::span<const uint8_t> bytes, int& code);
    // The file as a save would write it, the working copy stored, nothing asked: nullopt, with
    // why, when a text resource's edits cannot be stored or the file cannot be written.
    [[nodiscard]] std::optional<std::vector<uint8_t>> SaveToBytes(std::string& why);

    // The open code of the last load: 0, CIffFile's 2, 3, 4 or 5, or errArchive.
    [[nodiscard]] int GetOpenError() const { return m_nOpenError; }

    // The command line's --drop-unreadable: a save leaves out the chunks that cannot be read.
    void SetDropUnreadableWithoutAsking(bool drop) { m_bDropUnreadable = drop; }
    // The chunks the last save left out, with consent; empty when it dropped none.
    [[nodiscard]] const std::vector<UnreadableChunk>& GetDroppedChunks() const { return m_dropped; }
    // What a chunk that cannot be read is, and why (the line --drop-unreadable prints).
    [[nodiscard]] static std::string DescribeChunk(const UnreadableChunk& chunk);

    CIffFile m_iff;
    CUndoStack m_undo;
    CResourceEditor m_editor{m_iff, m_undo};

private:
    struct ArchiveSource {
        CFarArchive archive;
        size_t index = 0;
    };
    // Attaches m_iff to the entry CanOpenArchiveEntry found in the archive it read, and keeps
    // the archive; false when there is none to attach.
    bool AttachArchiveEntry();
    // Before an entry's open replaces anything: the archive read, the entry found and its header
    // checked; a refusal is told and leaves the document as it was.
    bool CanOpenArchiveEntry(CFile& file, const std::string& path);
    // Writes the archive with the entry replaced by the bytes m_iff saves.
    void StoreArchive(CFile& file);

    std::optional<ArchiveSource> m_archive;
    std::optional<std::string> m_pendingEntry;  // the entry OnOpenArchiveEntry is loading
    // The archive CanOpenSource read and checked, for Serialize to take instead of reading again.
    std::optional<ArchiveSource> m_checkedArchive;
    bool m_bSavingLoose = false;  // the entry is being saved as a loose file
    EntryChooser m_entryChooser;
    std::optional<std::vector<uint8_t>> m_written;  // the archive the current save wrote
    int m_nOpenError = 0;
    bool m_bDropUnreadable = false;
    std::vector<UnreadableChunk> m_dropped;
};
