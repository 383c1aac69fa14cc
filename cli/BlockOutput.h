#pragma once

#include <cstdio>
#include <string>
#include <tuple>

// Standard output gathered in one buffer that goes out in large blocks: a line at a time through
// printf would cost more than opening the file. Commands append their text to Text() and call
// LineDone after each line; the rest goes out on destruction.
class CBlockOutput {
public:
    static constexpr size_t kBlock = 1 << 16;

    CBlockOutput() { m_text.reserve(kBlock + 1024); }
    ~CBlockOutput() { Flush(); }
    CBlockOutput(const CBlockOutput&) = delete;
    CBlockOutput& operator=(const CBlockOutput&) = delete;

    [[nodiscard]] std::string& Text() { return m_text; }
    void LineDone() {
        if (m_text.size() >= kBlock) {
            Flush();
        }
    }
    void Flush() {
        if (!m_text.empty()) {
            std::ignore = std::fwrite(m_text.data(), 1, m_text.size(), stdout);
            m_text.clear();
        }
    }

private:
    std::string m_text;
};
