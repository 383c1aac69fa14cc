#include "cli/CliReport.h"

#include <unistd.h>

#include <cstdio>

#include "cli/CliText.h"
#include "exchange/TranslationExchange.h"

CProgress::CProgress(size_t total) : m_total(total), m_bShown(::isatty(2) == 1 && total > 1) {}

void CProgress::Problem(const std::string& sentence) {
    Clear();
    PrintError(sentence);
}

bool CProgress::Progress(size_t done, size_t total, const std::string& name) {
    m_total = total;
    m_bShown = ::isatty(2) == 1 && total > 1;
    Show(done, name);
    return true;
}

void CProgress::Show(size_t done, const std::string& name) {
    if (!m_bShown) {
        return;
    }
    constexpr size_t kWidth = 30;
    const size_t filled = m_total == 0 ? kWidth : done * kWidth / m_total;
    const std::string line = "\r[" + std::string(filled, '#') + std::string(kWidth - filled, ' ') +
                             "] " + std::to_string(done) + "/" + std::to_string(m_total) + " " +
                             name.substr(0, 40);
    std::fprintf(stderr, "%-90s", line.c_str());
    std::fflush(stderr);
}

void CProgress::Clear() {
    if (m_bShown) {
        std::fprintf(stderr, "\r%90s\r", "");
        std::fflush(stderr);
    }
}

void PrintPlan(const std::string& name, const ImportPlan& plan, SummaryMode mode, bool diff) {
    const std::string summary = FormatImportSummary(plan, mode, diff);
    std::string out = EscapeControls(name) + ": ";
    size_t start = 0;
    for (size_t end; (end = summary.find('\n', start)) != std::string::npos; start = end + 1) {
        out += (start == 0 ? "" : "  ") + summary.substr(start, end - start + 1);
    }
    std::fputs(out.c_str(), stdout);
}
