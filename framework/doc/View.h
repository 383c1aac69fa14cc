#pragma once

#include <string>

#include "framework/doc/MessageBoxService.h"

class CDocument;

// A view of a document. The document keeps a list of its views and calls them; the view never
// owns the document. The first view of a document owns the messages the document shows.
class CView {
public:
    CView() = default;
    // Leaves the document's view list.
    virtual ~CView();
    CView(const CView&) = delete;
    CView& operator=(const CView&) = delete;

    // The document this view shows, or null before CDocument::AddView.
    [[nodiscard]] CDocument* GetDocument() const { return m_pDocument; }

    // After a new or opened document (contents replaced): the base runs OnUpdate(nullptr, 0,
    // nullptr). Overrides fill their controls and call the base where the form wants it.
    virtual void OnInitialUpdate();

    // The document asks the view to bring itself up to date (with no sender, hint 0 and no
    // object at the start of every save, once the document has stored its pending edits).
    virtual void OnUpdate(CView* sender, long hint, void* obj) = 0;

    // The document's contents are being replaced (new document, or a file being opened, right
    // after DeleteContents and before anything is loaded). Whatever the view holds of the old
    // contents (a working copy, its loaded/changed marks) must be forgotten here: it must not
    // reach the new contents, nor mark the new document modified.
    virtual void OnDocumentReplaced() {}

    // Shows a message box owned by this view; an empty caption means the application's title.
    // Types: MB_OK, MB_OK | MB_ICONSTOP, MB_YESNO (IDNO = 7, IDYES = 6). The base goes through
    // the document's message-box service and returns IDOK (IDNO for a question) without one.
    virtual int MessageBox(const std::string& text, const std::string& caption = {},
                           unsigned type = MB_OK);

private:
    friend class CDocument;
    CDocument* m_pDocument = nullptr;
};
