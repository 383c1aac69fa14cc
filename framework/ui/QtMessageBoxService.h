#pragma once

#include "framework/doc/MessageBoxService.h"

#include <QMessageBox>
#include <QPointer>
#include <QString>

#include <memory>
#include <string>

class QWidget;

// Message boxes on QMessageBox: the button set and icon of a type, the application's title as
// the caption when none is given.
class CQtMessageBoxService : public IMessageBoxService {
public:
    explicit CQtMessageBoxService(QWidget* parent = nullptr,
                                  QString appTitle = QStringLiteral("Tallyglass"));

    // The window the boxes are modal to; may change when the main window is created.
    void SetParent(QWidget* parent) { m_pParent = parent; }

    int Show(const std::string& text, const std::string& caption, unsigned type) override;

    // The box Show would run, configured but not shown.
    [[nodiscard]] std::unique_ptr<QMessageBox> CreateBox(const std::string& text,
                                                         const std::string& caption,
                                                         unsigned type) const;
    // The answer to return for the button that closed a box of this type.
    [[nodiscard]] static int ToResult(int button, unsigned type);

private:
    QPointer<QWidget> m_pParent;
    QString m_strAppTitle;
};
