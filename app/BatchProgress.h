#pragma once

#include <QProgressDialog>

#include <string>
#include <vector>

#include "exchange/BatchExchange.h"

// A batch's progress in a window-modal dialog whose Cancel stops it; the problems it reports are
// kept for one message at the end.
class CBatchProgress : public IBatchReporter {
public:
    CBatchProgress(const QString& title, QWidget* parent);

    void Problem(const std::string& sentence) override;
    bool Progress(size_t done, size_t total, const std::string& name) override;
    bool Working() override;
    // Takes the dialog down.
    void Close();

    [[nodiscard]] const std::vector<std::string>& Problems() const { return m_problems; }

private:
    QProgressDialog m_dialog;
    std::vector<std::string> m_problems;
};

// "N files or resources were skipped:" and the first few of problems, one a line.
[[nodiscard]] std::string DescribeProblems(const std::vector<std::string>& problems);
