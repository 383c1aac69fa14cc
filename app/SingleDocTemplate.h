#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class CDocument;
class CMainFrame;
class CView;
class IFrameHost;
class QWidget;

// The one document template: the template string of resource 128 and how to make the document,
// its main frame and its view. CreateNewFrame builds frame and view together, the view as the
// frame's central form, and adds the view to the document.
class CSingleDocTemplate {
public:
    // The fields of the document template string, in their order.
    enum DocStringIndex {
        windowTitle,
        docName,
        fileNewName,
        filterName,
        filterExt,
        regFileTypeId,
        regFileTypeName,
    };

    struct ViewParts {
        CView* view;    // the document's view of the form
        QWidget* form;  // the same object as the frame's central widget
    };
    using DocumentFactory = std::function<std::unique_ptr<CDocument>()>;
    using ViewFactory = std::function<ViewParts()>;

    CSingleDocTemplate(QString templateString, DocumentFactory makeDocument, ViewFactory makeView);

    // A field of the template string; empty when it has fewer fields.
    [[nodiscard]] QString GetDocString(DocStringIndex index) const;

    [[nodiscard]] std::unique_ptr<CDocument> CreateNewDocument() const { return m_makeDocument(); }
    // A new frame holding a new view of document; the view is in the document's list.
    [[nodiscard]] std::unique_ptr<CMainFrame> CreateNewFrame(CDocument& document,
                                                             IFrameHost* host) const;

private:
    QStringList m_fields;
    DocumentFactory m_makeDocument;
    ViewFactory m_makeView;
};
