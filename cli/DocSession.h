#pragma once

#include <cstdint>
#include <string>

#include "document/TallyglassDoc.h"
#include "framework/doc/MessageBoxService.h"
#include "framework/doc/View.h"
#include "strings/StringSet.h"

// Prints every message box on stderr as "tallyglass-cli: text" and answers it without asking:
// OK, or No / Cancel for a question (the command line never confirms anything on its own).
class CStderrMessageBox : public IMessageBoxService {
public:
    int Show(const std::string& text, const std::string& caption, unsigned type) override;
};

// The editor's view without a window: it holds the working copy of one text resource and, when
// the document updates its views before a save, stores a changed copy into its chunk. A store
// that fails is reported and vetoes the save, so nothing is written.
class CHeadlessView : public CView {
public:
    // FindChunk and Load, as the editor's view loads a resource-list entry; clears the changed
    // mark. False when there is no chunk with the type and id or its payload does not decode.
    [[nodiscard]] bool LoadResource(ChunkType type, uint16_t id);
    // The working copy was edited: marks it changed and the document modified.
    void MarkChanged();

    void OnUpdate(CView* sender, long hint, void* obj) override;
    void OnDocumentReplaced() override;

    [[nodiscard]] CTallyglassDoc& GetDoc() const;

    CStringSet m_strings;
    bool m_bLoaded = false;
    bool m_bChanged = false;
};

// One document opened and saved exactly as the editor does it, for the command-line tool.
class CDocSession {
public:
    CDocSession();
    ~CDocSession();
    CDocSession(const CDocSession&) = delete;
    CDocSession& operator=(const CDocSession&) = delete;

    // Opens path through the document (OnOpenDocument, Serialize loading). False, with the reason
    // on stderr, when the file does not open or is not a readable IFF file.
    [[nodiscard]] bool Open(const std::string& path);
    // Saves through the document's OnSaveDocument into target, or into the opened file when
    // target is empty: views stored, payloads loaded, source closed, target replaced safely.
    // A read-only file (no write permission, or no write bit at all) is not replaced unless
    // forced. False, with the reason on stderr, when nothing was written.
    [[nodiscard]] bool Save(const std::string& target = {});
    // Lets Save replace read-only files (--force).
    void SetForce(bool force) { m_bForce = force; }

    [[nodiscard]] CTallyglassDoc& Document() { return m_doc; }
    [[nodiscard]] CHeadlessView& View() { return m_view; }

private:
    CStderrMessageBox m_messages;
    std::string m_strOpenedAs;  // the path as the user gave it, for messages
    bool m_bForce = false;
    CTallyglassDoc m_doc;
    CHeadlessView m_view;
};

// resave through the document: FILE opened and saved, to output when given. With
// dropUnreadable, chunks that cannot be read are left out and listed on stdout ("dropped: ...");
// without it such a file is refused. With force, a read-only target is replaced. The exit status.
[[nodiscard]] int ResaveThroughDocument(const std::string& file, const std::string& output,
                                        bool dropUnreadable = false, bool force = false);

// A file that exists and may not be written: no write bit at all (which root, who could write it
// anyway, respects too), or no write permission for this process, or on a read-only file system.
[[nodiscard]] bool IsReadOnlyFile(const std::string& path);
