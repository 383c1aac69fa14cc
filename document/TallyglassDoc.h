#pragma once

#include <string>
#include <vector>

#include "document/ResourceEditor.h"
#include "document/UndoStack.h"
#include "framework/doc/Document.h"
#include "iff/IffFile.h"

// The editor's document: one IFF file held in m_iff, the editing model of its text resources
// (m_editor) and their undo history (m_undo), whose saved state the modified mark follows.
// Opening reads the file once into m_iff's snapshot and indexes it (nothing is read from the
// file afterwards) and tells the user, through the first view, why a file is not a readable IFF
// file; saving first stores the working copy, brings every payload into memory, closes the
// source and only then writes the target (safely, see CDocument::OnSaveDocument).
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
    static constexpr const char* kMsgSaveWithout = "Save without them?";

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
    // the first view says why), views update, m_iff.LoadAll, m_iff.Close, then the base's safe
    // save; a save that succeeds makes the undo history's current state the saved one. When chunks
    // cannot be read, the first view names them and asks "Save without them?" (Yes/No); only a Yes
    // (or SetDropUnreadableWithoutAsking) drops them from m_iff and goes on; otherwise false and
    // nothing written. A failure that names no chunk shows the "Can't access" message.
    bool OnSaveDocument(const std::string& path) override;
    // Empties m_iff (chunks and source), so a document opened from an empty file holds nothing
    // of the previous one.
    void DeleteContents() override;

    // The open code of the last load: 0, or CIffFile's 2, 3, 4 or 5.
    [[nodiscard]] int GetOpenError() const { return m_nOpenError; }

    // The consent given in advance (the command line's --drop-unreadable): a save drops the
    // chunks that cannot be read without asking.
    void SetDropUnreadableWithoutAsking(bool drop) { m_bDropUnreadable = drop; }
    // The chunks the last save left out, with consent; empty when it dropped none.
    [[nodiscard]] const std::vector<UnreadableChunk>& GetDroppedChunks() const { return m_dropped; }
    // "2 chunks cannot be read: junk after the last chunk at offset 185890 (claims 821 MB); ..."
    [[nodiscard]] static std::string DescribeUnreadable(const std::vector<UnreadableChunk>& chunks);
    // One chunk of that message: what it is and why it cannot be read.
    [[nodiscard]] static std::string DescribeChunk(const UnreadableChunk& chunk);

    CIffFile m_iff;
    CUndoStack m_undo;
    CResourceEditor m_editor{m_iff, m_undo};

private:
    int m_nOpenError = 0;
    bool m_bDropUnreadable = false;
    std::vector<UnreadableChunk> m_dropped;
};
