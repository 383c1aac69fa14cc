#include "framework/ui/QtFileDialogService.h"

#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QWidget>

std::optional<std::string> CQtFileDialogService::Run(const FileDialogRequest& request) {
    const std::unique_ptr<QFileDialog> dialog = CreateDialog(request);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    const QString path = QFileInfo(dialog->selectedFiles().constFirst()).absoluteFilePath();
    return QFile::encodeName(path).toStdString();
}

std::unique_ptr<QFileDialog> CQtFileDialogService::CreateDialog(
    const FileDialogRequest& request) const {
    auto dialog = std::make_unique<QFileDialog>(m_pParent.data());
    dialog->setWindowTitle(QString::fromStdString(request.title));
    const QStringList filters = ToNameFilters(request);
    if (!filters.isEmpty()) {
        dialog->setNameFilters(filters);
        dialog->selectNameFilter(filters.constFirst());
    }
    dialog->setDefaultSuffix(QString::fromStdString(request.defaultExtension));
    if (request.kind == FileDialogRequest::saveAs) {
        dialog->setAcceptMode(QFileDialog::AcceptSave);
        dialog->setFileMode(QFileDialog::AnyFile);
        dialog->setOption(QFileDialog::DontConfirmOverwrite, false);
        if (!request.proposedName.empty()) {
            const QString proposed =
                QFile::decodeName(QByteArray::fromStdString(request.proposedName));
            const QFileInfo info(proposed);
            if (info.isAbsolute())
                dialog->setDirectory(info.absolutePath());
            dialog->selectFile(info.fileName());
        }
    } else if (request.kind == FileDialogRequest::folder) {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::Directory);
        dialog->setOption(QFileDialog::ShowDirsOnly, true);
    } else {
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
    }
    return dialog;
}

QStringList CQtFileDialogService::ToNameFilters(const FileDialogRequest& request) {
    QStringList filters;
    for (const FileDialogFilter& filter : request.filters) {
        QString name = QString::fromStdString(filter.name);
        QString pattern = QString::fromStdString(filter.pattern);
        if (pattern == QStringLiteral("*.*"))
            pattern = QStringLiteral("*");
        // QFileDialog takes the patterns from the parentheses at the end of the name.
        const qsizetype open = name.lastIndexOf(QLatin1Char('('));
        if (open > 0 && name.endsWith(QLatin1Char(')')))
            name = name.left(open).trimmed();
        filters.append(QStringLiteral("%1 (%2)").arg(name, pattern));
    }
    return filters;
}
