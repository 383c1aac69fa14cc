#pragma once

#include <cstddef>
#include <string>

#include "exchange/BatchExchange.h"
#include "exchange/TranslationExchange.h"

// A bar on stderr while files are worked through, drawn only when stderr is a terminal; as a
// batch's reporter, problems go to stderr below it.
class CProgress : public IBatchReporter {
public:
    explicit CProgress(size_t total = 0);
    ~CProgress() override { Clear(); }
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;

    void Show(size_t done, const std::string& name);
    // Takes the bar off the line, so that a message can be printed.
    void Clear();

    void Problem(const std::string& sentence) override;
    bool Progress(size_t done, size_t total, const std::string& name) override;

private:
    size_t m_total;
    bool m_bShown;
};

// Prints an import's (or a fill's) summary on stdout: the counts after the file's name, then
// each unit not applied, each warning and (with diff) each change indented below.
void PrintPlan(const std::string& name, const ImportPlan& plan, SummaryMode mode,
               bool diff = false);
