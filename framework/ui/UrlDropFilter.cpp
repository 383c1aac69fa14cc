#include "framework/ui/UrlDropFilter.h"

#include <QAbstractScrollArea>
#include <QDropEvent>
#include <QEvent>
#include <QMimeData>

void CUrlDropFilter::Install(QWidget* widget) {
    auto* filter = new CUrlDropFilter(widget);
    widget->installEventFilter(filter);
    if (auto* area = qobject_cast<QAbstractScrollArea*>(widget))
        area->viewport()->installEventFilter(filter);
}

bool CUrlDropFilter::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->mimeData() != nullptr && drop->mimeData()->hasUrls()) {
                // Not accepted here: the application offers the drag to the parents in turn.
                drop->ignore();
                return true;
            }
            break;
        }
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}
