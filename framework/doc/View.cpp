#include "framework/doc/View.h"

#include "framework/doc/Document.h"

CView::~CView() {
    if (m_pDocument) {
        m_pDocument->RemoveView(this);
    }
}

void CView::OnInitialUpdate() {
    OnUpdate(nullptr, 0, nullptr);
}

int CView::MessageBox(const std::string& text, const std::string& caption, unsigned type) {
    const int answer = m_pDocument ? m_pDocument->ShowMessage(text, caption, type) : 0;
    if (answer != 0) {
        return answer;
    }
    return (type & MB_BUTTONMASK) == MB_YESNO ? IDNO : IDOK;
}
