#pragma once

#include <cstddef>
#include <string>

struct ImportPlan;

// A bar on stderr while files are worked through, drawn only when stderr is a terminal.
class CProgress {
public:
    explicit CProgress(size_t total);
    ~CProgress() { Clear(); }
    CProgress(const CProgress&) = delete;
    CProgress& operator=(const CProgress&) = delete;

    void Show(size_t done, const std::string& name);
    // Takes the bar off the line, so that a message can be printed.
    void Clear();

private:
    size_t m_total;
    bool m_bShown;
};

// Prints an import's (or a fill's) summary on stdout: the counts after the file's name, then
// each unit not applied and each warning indented below. A dry run says so after the name.
void PrintPlan(const std::string& name, const ImportPlan& plan, bool dryRun = false);
