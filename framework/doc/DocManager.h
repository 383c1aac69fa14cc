#pragma once

#include <functional>
#include <optional>
#include <string>

#include "framework/stream/FileIdentity.h"

class CDocument;
class CRecentFileList;
class IFileDialogService;
class IMessageBoxService;
struct FileDialogRequest;

// The file commands of the single-document shell: New (at start-up), Open, Save, Save As, the
// save prompt, the recent files, and closing. Every way of opening a file (Open dialog, recent
// entry, dropped file, command line) goes through OpenDocumentFile. The Qt shell owns one
// CDocManager beside its document, view and recent-file list and calls it from its menu handlers.
class CDocManager {
public:
    static constexpr const char* kUntitled = "Untitled";
    // %1 is the file's name.
    static constexpr const char* kMsgChangedOnDisk =
        "%1 has been changed on disk since it was opened. Overwrite it with your version? (No "
        "saves your version under another name.)";
    static constexpr const char* kMsgReadOnly =
        "%1 is read-only. Save your changes under another name?";
    static constexpr const char* kMsgReload =
        "%1 has been changed on disk by another program. Reload it? (The document has no "
        "unsaved changes.)";

    enum class OpenResult {
        opened,       // the document now holds the file
        alreadyOpen,  // the file is the document's own file: nothing read, changes kept
        cancelled,    // the save prompt was cancelled or its save failed: document unchanged
        failed,       // the file did not open (error shown); see OpenDocumentFile
    };

    // The document must have its message-box service and app title set, and its views added.
    CDocManager(CDocument& document, IMessageBoxService& messages, IFileDialogService& dialogs,
                CRecentFileList& recentFiles);

    // Shell hooks: raise the main window (same file opened again), and follow the document's
    // title (after every open, new document and save).
    void SetActivateFrameHandler(std::function<void()> handler) {
        m_activateFrame = std::move(handler);
    }
    void SetTitleChangedHandler(std::function<void()> handler) {
        m_titleChanged = std::move(handler);
    }

    // New document (start-up only): titled "Untitled", OnNewDocument, views' initial update.
    bool OnFileNew();
    // Open dialog then OpenDocumentFile; cancelled when the dialog was cancelled.
    OpenResult OnFileOpen();
    // Quotes removed, made absolute, links resolved. The document's own file (decided on disk)
    // only activates the frame. A modified document is offered for saving first. When the file
    // does not open, the document keeps contents, path, title and flag; when it failed after
    // that, the document becomes a new "Untitled" one. On success the document takes the path
    // and the file's name as title, the path tops the recent list and the views update.
    OpenResult OpenDocumentFile(const std::string& path);
    // Opens recent entry index (0-based); an entry whose file fails to open is removed.
    OpenResult OpenRecentFile(int index);

    // Save: to the document's path when it has one, the file exists and can be replaced, and the
    // document may be saved there; otherwise Save As. When the file has changed on disk since it
    // was opened or saved, asks first (kMsgChangedOnDisk, Yes/No/Cancel, Cancel the default):
    // Yes saves there, No goes to Save As, Cancel saves nothing. True when saved.
    bool OnFileSave();
    // Save As dialog proposing ProposedSaveName(); true when saved.
    bool OnFileSaveAs();
    // Saves to path, or through the Save As dialog when path is empty. On success the document
    // takes the path and title, the path tops the recent list and the modified flag is clear; on
    // failure the document keeps path, title and flag.
    bool DoSave(const std::string& path);

    // The save prompt "Save changes to %1?" (Yes/No/Cancel, exclamation, app title) when the
    // document is modified. True to go on: not modified, No, or Yes and the save succeeded.
    bool SaveModified();
    // Before the main window closes (Exit, close box, session end): the save prompt.
    bool CanClose() { return SaveModified(); }
    // The main window regained focus: when the document is unmodified and its file has changed
    // on disk (and still exists), offers to reload it (kMsgReload, Yes/No). A No is remembered
    // for that state of the file, so the offer comes again only after a further change. True
    // when the file was reloaded.
    bool OnFrameActivated();

    // The name Save As proposes: the path, or the title cut before the first of " #%;/\" followed
    // by ".iff" ("Untitled.iff").
    [[nodiscard]] std::string ProposedSaveName() const;
    // "name copy.iff" beside a read-only file, the name Save As proposes instead of it.
    [[nodiscard]] static std::string CopyNameFor(const std::string& path);
    // The request the Open or Save As dialog is run with.
    [[nodiscard]] static FileDialogRequest MakeOpenRequest();
    [[nodiscard]] static FileDialogRequest MakeSaveAsRequest(const std::string& proposedName);

    [[nodiscard]] CDocument& GetDocument() const { return m_document; }
    [[nodiscard]] CRecentFileList& GetRecentFiles() const { return m_recentFiles; }

private:
    void NotifyTitleChanged() const;
    // OpenDocumentFile after the same-file check.
    OpenResult OpenNormalized(const std::string& normalized);
    [[nodiscard]] std::string NameForMessages() const;

    CDocument& m_document;
    IMessageBoxService& m_messages;
    IFileDialogService& m_dialogs;
    CRecentFileList& m_recentFiles;
    std::function<void()> m_activateFrame;
    std::function<void()> m_titleChanged;
    std::optional<FileIdentity> m_declinedReload;  // the file's state when a reload was declined
    bool m_bOfferingReload = false;                // the offer is on screen: activations wait
};
