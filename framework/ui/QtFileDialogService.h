#pragma once

#include "framework/doc/FileDialogService.h"

#include <QPointer>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

class QFileDialog;
class QWidget;

// The Open and Save As dialogs on QFileDialog.
class CQtFileDialogService : public IFileDialogService {
public:
    explicit CQtFileDialogService(QWidget* parent = nullptr) : m_pParent(parent) {}

    void SetParent(QWidget* parent) { m_pParent = parent; }

    std::optional<std::string> Run(const FileDialogRequest& request) override;

    // The dialog Run would show, configured but not shown.
    [[nodiscard]] std::unique_ptr<QFileDialog> CreateDialog(const FileDialogRequest& request) const;
    // The request's filters as QFileDialog name filters. A "*.*" pattern becomes "*": on this
    // platform "*.*" would hide every file whose name has no dot.
    [[nodiscard]] static QStringList ToNameFilters(const FileDialogRequest& request);

private:
    QPointer<QWidget> m_pParent;
};
