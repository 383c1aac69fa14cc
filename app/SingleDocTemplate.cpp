#include "app/SingleDocTemplate.h"

#include "app/MainFrame.h"
#include "framework/doc/Document.h"
#include "framework/doc/View.h"

CSingleDocTemplate::CSingleDocTemplate(QString templateString, DocumentFactory makeDocument,
                                       ViewFactory makeView)
    : m_fields(templateString.split(QLatin1Char('\n'))),
      m_makeDocument(std::move(makeDocument)),
      m_makeView(std::move(makeView)) {}

QString CSingleDocTemplate::GetDocString(DocStringIndex index) const {
    return index < m_fields.size() ? m_fields.at(index) : QString();
}

std::unique_ptr<CMainFrame> CSingleDocTemplate::CreateNewFrame(CDocument& document,
                                                               IFrameHost* host) const {
    auto frame = std::make_unique<CMainFrame>(host);
    const ViewParts parts = m_makeView();
    frame->setCentralWidget(parts.form);
    document.AddView(parts.view);
    frame->RecalcLayout();
    return frame;
}
