#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/stream/FileIdentity.h"

class CArchive;
class CFile;
class CFileException;
class CSafeFile;
class CView;
class IMessageBoxService;

// A document: one file's contents with a path, a title, a modified flag and the views that show
// it. Opening and saving go through virtual steps that derived documents override; stream errors
// (CFileException) are caught and reported here, nowhere else in the framework.
class CDocument {
public:
    using ViewPosition = size_t;  // place in the view list: index + 1; 0 means none
    using TargetFactory = std::function<std::unique_ptr<CSafeFile>(const std::string& path)>;

    CDocument();
    // Detaches the views still listed (they are not destroyed).
    virtual ~CDocument();
    CDocument(const CDocument&) = delete;
    CDocument& operator=(const CDocument&) = delete;

    // Path and title. SetPathName also makes the title the path's file name.
    [[nodiscard]] const std::string& GetPathName() const { return m_strPathName; }
    virtual void SetPathName(const std::string& path);
    void ClearPathName() { m_strPathName.clear(); }
    [[nodiscard]] const std::string& GetTitle() const { return m_strTitle; }
    // What the recent-file list keeps for the document, to open it again: its path here; a
    // document of a part of a file says which part.
    [[nodiscard]] virtual std::string GetRecentFileName() const { return m_strPathName; }
    virtual void SetTitle(const std::string& title);

    [[nodiscard]] virtual bool IsModified() const { return m_bModified; }
    // Tells the handler (the title's mark) when the flag changes.
    virtual void SetModifiedFlag(bool modified = true) {
        const bool changed = modified != m_bModified;
        m_bModified = modified;
        if (changed && m_modifiedChanged) {
            m_modifiedChanged(modified);
        }
    }
    void SetModifiedChangedHandler(std::function<void(bool)> handler) {
        m_modifiedChanged = std::move(handler);
    }

    // Views. A view belongs to at most one document; AddView moves it here.
    void AddView(CView* view);
    void RemoveView(CView* view);
    [[nodiscard]] ViewPosition GetFirstViewPosition() const;
    // The view at pos; pos moves on to the next one, or 0.
    CView* GetNextView(ViewPosition& pos) const;
    // The first view (the one that owns the messages), or null.
    [[nodiscard]] CView* GetFirstView() const;
    [[nodiscard]] const std::vector<CView*>& GetViews() const { return m_views; }

    // Calls OnUpdate on every view but sender.
    void UpdateAllViews(CView* sender, long hint = 0, void* obj = nullptr);
    // Called by a view from OnUpdate when it cannot put its pending edits into the document.
    // Runs every view's initial update (after a new or an opened document).
    void InitialUpdateAllViews();

    // A new, empty document: DeleteContents, views told (OnDocumentReplaced), path emptied,
    // modified flag cleared. Returns true.
    virtual bool OnNewDocument();
    // Opens path for reading (others denied writing) and asks CanOpenSource, which may refuse the
    // file while the document still holds what it held; then DeleteContents and
    // OnDocumentReplaced,
    // then Serialize loading when the file is not empty. A stream error is reported and gives
    // false; LastOpenReplacedContents() then tells whether the old contents are already gone.
    // Clears the modified flag; does not set the path (the caller does on success).
    virtual bool OnOpenDocument(const std::string& path);
    // Saves into path safely: a CSafeFile from CreateTargetFile, Serialize storing, Commit. On
    // any stream error the target is untouched, no temporary file is left, the error is reported
    // and false returned with path, title and modified flag unchanged; on success the modified
    // flag is cleared (the caller takes the new path) and the file's identity remembered. When
    // the replaced file had other hard links, says once that they keep the previous version.
    virtual bool OnSaveDocument(const std::string& path);
    // Reads (archive loading) or writes (archive storing) the contents. Base does nothing.
    virtual void Serialize(CArchive& archive);
    // Empties the contents, before they are replaced. Base does nothing.
    virtual void DeleteContents() {}

    // The identity of the file the contents came from (taken when it was opened, before it was
    // read) or went to (after the last successful save); none for a new document or a stream
    // without a descriptor.
    [[nodiscard]] const std::optional<FileIdentity>& GetDiskIdentity() const {
        return m_diskIdentity;
    }
    // True when the document knows the identity of its file and the file at its path is no
    // longer that one: rewritten, replaced or deleted by someone else since.
    [[nodiscard]] bool HasChangedOnDisk() const;

    // Makes a save over the file the contents came from refuse, writing nothing, when that file
    // changed on disk since it was read (the command line, which cannot ask; the editor asks).
    void SetRefuseChangedOnDisk(bool refuse) { m_bRefuseChanged = refuse; }

    // True when the last OnOpenDocument got past opening the file, so the document's previous
    // contents were deleted whether or not loading then succeeded.
    [[nodiscard]] bool LastOpenReplacedContents() const { return m_bContentsReplaced; }

    // Set when the contents could not be read from the named file: Save must then ask for a
    // path (Save As) rather than overwrite the file with what the document holds. Cleared by
    // OnNewDocument, OnOpenDocument and a successful OnSaveDocument.
    void SetSaveAsRequired(bool required) { m_bSaveAsRequired = required; }
    [[nodiscard]] bool IsSaveAsRequired() const { return m_bSaveAsRequired; }

    // UI services. Without a message-box service nothing is shown.
    void SetMessageBoxService(IMessageBoxService* service) { m_pMessageBox = service; }
    [[nodiscard]] IMessageBoxService* GetMessageBoxService() const { return m_pMessageBox; }
    void SetAppTitle(std::string title) { m_strAppTitle = std::move(title); }
    [[nodiscard]] const std::string& GetAppTitle() const { return m_strAppTitle; }
    // Shows a message box through the service with the application title as caption when
    // caption is empty; returns the answer, or 0 when no service is set.
    int ShowMessage(const std::string& text, const std::string& caption, unsigned type) const;
    // Shows a stream error's text with the exclamation icon, an OK button and the app title.
    void ReportFileError(const CFileException& error) const;

    // Fault injection: the factory makes the safe target for OnSaveDocument (default: a plain
    // CSafeFile on the path). Tests pass a CSafeFile subclass that fails a write, the flush or
    // the rename.
    void SetTargetFactory(TargetFactory factory) { m_targetFactory = std::move(factory); }

protected:
    // For a derived open that stops before the base's: the previous contents are still there.
    void ClearContentsReplaced() { m_bContentsReplaced = false; }
    // The stream that OnSaveDocument writes; throws CFileException when it cannot be created.
    [[nodiscard]] virtual std::unique_ptr<CSafeFile> CreateTargetFile(const std::string& path);
    // The stream that OnOpenDocument reads; throws CFileException when the file does not open.
    [[nodiscard]] virtual std::unique_ptr<CFile> OpenSourceFile(const std::string& path);
    // Whether the opened file can become the contents, asked before anything is replaced; a
    // refusal tells the user why. Leaves the stream at its start. Base accepts every file.
    [[nodiscard]] virtual bool CanOpenSource(CFile& file, const std::string& path);

private:
    // Whether path names the file the contents came from: the document's path, or that file
    // under another name.
    [[nodiscard]] bool IsFileWeRead(const std::string& path) const;

    std::string m_strPathName;
    std::string m_strTitle;
    std::string m_strAppTitle = "Tallyglass";
    bool m_bModified = false;
    std::function<void(bool)> m_modifiedChanged;
    bool m_bContentsReplaced = false;
    bool m_bSaveAsRequired = false;
    bool m_bRefuseChanged = false;
    std::vector<CView*> m_views;
    IMessageBoxService* m_pMessageBox = nullptr;
    TargetFactory m_targetFactory;
    std::optional<FileIdentity> m_diskIdentity;
};
