#include "app/BatchProgress.h"

#include <QApplication>

#include <algorithm>

CBatchProgress::CBatchProgress(const QString& title, QWidget* parent)
    : m_dialog(QStringLiteral("Reading the files..."), QStringLiteral("Cancel"), 0, 0, parent) {
    m_dialog.setWindowTitle(title);
    m_dialog.setWindowModality(Qt::WindowModal);
    // A short batch finishes before a dialog would be worth showing.
    m_dialog.setMinimumDuration(300);
    m_dialog.setAutoClose(false);
    m_dialog.setAutoReset(false);
}

void CBatchProgress::Problem(const std::string& sentence) {
    m_problems.push_back(sentence);
}

bool CBatchProgress::Progress(size_t done, size_t total, const std::string& name) {
    m_dialog.setMaximum(static_cast<int>(total));
    m_dialog.setValue(static_cast<int>(done));
    m_dialog.setLabelText(QStringLiteral("Reading %1...").arg(QString::fromStdString(name)));
    return Working();
}

bool CBatchProgress::Working() {
    QApplication::processEvents();
    return !m_dialog.wasCanceled();
}

void CBatchProgress::Close() {
    m_dialog.reset();
    m_dialog.hide();
}

std::string DescribeProblems(const std::vector<std::string>& problems) {
    constexpr size_t kShown = 5;
    std::string text =
        std::to_string(problems.size()) +
        (problems.size() == 1 ? " file or resource was" : " files or resources were") + " skipped:";
    for (size_t i = 0; i < std::min(kShown, problems.size()); ++i) {
        text += "\n" + problems[i];
    }
    if (problems.size() > kShown) {
        text += "\n...";
    }
    return text;
}
