#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "document/TallyglassDoc.h"
#include "framework/doc/MessageBoxService.h"
#include "framework/doc/PathUtil.h"  // IsReadOnlyFile
#include "framework/doc/View.h"
#include "framework/stream/FileLock.h"

// Prints every message box on stderr as "tallyglass-cli: text" and answers it without asking:
// OK, or No / Cancel for a question (the command line never confirms anything on its own).
class CStderrMessageBox : public IMessageBoxService {
public:
    int Show(const std::string& text, const std::string& caption, unsigned type) override;
};

// The view the command line gives the document: it has nothing to show, but the document tells
// the user through its first view (open errors, the question before dropping chunks), and those
// messages reach stderr through it.
class CMessageView : public CView {
public:
    void OnUpdate(CView*, long, void*) override {}
};

// One document opened and saved exactly as the editor does it, for the command-line tool.
class CDocSession {
public:
    CDocSession();
    ~CDocSession();
    CDocSession(const CDocSession&) = delete;
    CDocSession& operator=(const CDocSession&) = delete;

    // Opens path through the document (OnOpenDocument, Serialize loading). False, with the reason
    // on stderr, when the file does not open or is not a readable IFF file. With saveInPlace the
    // file (an entry's archive) is locked first and stays locked while the session lasts, so that
    // another command saving it waits for this one and then reads what it wrote.
    [[nodiscard]] bool Open(const std::string& path, bool saveInPlace = false);
    // Saves through the document's OnSaveDocument into target, or into the opened file when
    // target is empty: views stored, payloads loaded, source closed, target replaced safely.
    // The file read is not replaced when it changed on disk since it was read.
    // A read-only file (no write permission, or no write bit at all) is not replaced unless
    // forced. False, with the reason on stderr, when nothing was written.
    [[nodiscard]] bool Save(const std::string& target = {});
    // Lets Save replace read-only files (--force).
    void SetForce(bool force) { m_bForce = force; }

    [[nodiscard]] CTallyglassDoc& Document() { return m_doc; }
    // The document's editing model, as the editor's view edits through it.
    [[nodiscard]] CResourceEditor& Editor() { return m_doc.m_editor; }

private:
    CStderrMessageBox m_messages;
    std::string m_strOpenedAs;  // the path as the user gave it, for messages
    std::unique_ptr<CFileLock> m_lock;
    bool m_bForce = false;
    CTallyglassDoc m_doc;
    CMessageView m_view;
};

// resave through the document: FILE opened and saved, to output when given. With
// dropUnreadable, chunks that cannot be read are left out and listed on stdout ("dropped: ...");
// without it such a file is refused. With force, a read-only target is replaced. The exit status.
[[nodiscard]] int ResaveThroughDocument(const std::string& file, const std::string& output,
                                        bool dropUnreadable = false, bool force = false);
