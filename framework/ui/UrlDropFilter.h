#pragma once

#include <QObject>

// Turns away drags that carry URLs (files from a file manager) from the widget it watches, so
// that they travel on to a parent that accepts drops, such as the main window, instead of being
// pasted as text. Other drags reach the widget as before.
class CUrlDropFilter : public QObject {
public:
    explicit CUrlDropFilter(QObject* parent = nullptr) : QObject(parent) {}

    // Installs one filter, owned by widget, on widget and on its viewport when it has one.
    static void Install(class QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
