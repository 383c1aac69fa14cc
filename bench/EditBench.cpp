// The editing model at scale: Find Next through a file of 100,000 chunks of which 2,000 are text
// resources (the match in the last one), and the undo of a Replace All of 10,000 matches. Plain
// timing, medians of repeated runs, figures beside their targets.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "document/ResourceEditor.h"
#include "document/TextSearch.h"
#include "document/UndoStack.h"
#include "framework/stream/MemFile.h"
#include "iff/IffFile.h"
#include "tests/support/IffBuilder.h"
#include "tests/support/IffBytes.h"

namespace {

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

template <typename Action>
double TimeMs(Action&& action) {
    const Clock::time_point start = Clock::now();
    action();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// 98,000 other chunks and 2,000 plain STR# resources of 20 strings; only the last resource
// holds "needle".
std::vector<uint8_t> FindFile() {
    IffBuilder builder;
    const std::vector<uint8_t> other(40, 7);
    for (int i = 0; i < 98000; ++i) {
        builder.Chunk(MakeChunkType('B', 'H', 'A', 'V'), static_cast<uint16_t>(i % 60000), other);
    }
    for (int r = 0; r < 2000; ++r) {
        std::vector<std::string> texts;
        for (int i = 0; i < 20; ++i) {
            texts.push_back(r == 1999 && i == 19 ? "a needle here" : "hay " + std::to_string(i));
        }
        builder.Chunk(kTypeStrings, static_cast<uint16_t>(r), MakePlainPayload(texts));
    }
    return builder.Build();
}

// One STR# resource of 10,000 strings, each with one "old".
std::vector<uint8_t> ReplaceFile() {
    std::vector<std::string> texts;
    for (int i = 0; i < 10000; ++i) {
        texts.push_back("the old text " + std::to_string(i));
    }
    IffBuilder builder;
    builder.Chunk(kTypeStrings, 1, MakePlainPayload(texts));
    return builder.Build();
}

bool Open(const std::vector<uint8_t>& bytes, CMemFile& file, CIffFile& iff) {
    int error = 0;
    return iff.Attach(file) != 0 && iff.Open(&error, false) && bytes.size() == file.GetLength();
}

}  // namespace

int main() {
    const std::vector<uint8_t> findBytes = FindFile();
    CMemFile findFile(findBytes.data(), findBytes.size());
    CIffFile findIff;
    if (!Open(findBytes, findFile, findIff)) {
        std::fprintf(stderr, "bench_edit: the find file does not open\n");
        return 1;
    }
    CUndoStack findStack;
    CResourceEditor finder(findIff, findStack);
    std::vector<CResourceEditor::Key> order;
    for (int r = 0; r < 2000; ++r) {
        order.emplace_back(kTypeStrings, static_cast<uint16_t>(r));
    }
    std::ignore = finder.Select(kTypeStrings, 0);
    CTextSearch search;
    std::string error;
    std::ignore = search.Compile({u"needle", false, false, false}, error);
    std::vector<double> finds;
    for (int run = 0; run < 9; ++run) {
        SearchHit from{kTypeStrings, 0, 0, -1, 0, 0, 0};
        SearchHit hit;
        bool found = false;
        finds.push_back(
            TimeMs([&] { found = finder.Find(search, SearchScope{}, order, &from, false, hit); }));
        if (!found || hit.id != 1999) {
            std::fprintf(stderr, "bench_edit: the needle was not found\n");
            return 1;
        }
    }

    const std::vector<uint8_t> replaceBytes = ReplaceFile();
    CMemFile replaceFile(replaceBytes.data(), replaceBytes.size());
    CIffFile replaceIff;
    if (!Open(replaceBytes, replaceFile, replaceIff)) {
        std::fprintf(stderr, "bench_edit: the replace file does not open\n");
        return 1;
    }
    CUndoStack replaceStack;
    CResourceEditor replacer(replaceIff, replaceStack);
    std::ignore = replacer.Select(kTypeStrings, 1);
    std::ignore = search.Compile({u"old", false, false, false}, error);
    std::vector<double> replaces;
    std::vector<double> undos;
    for (int run = 0; run < 9; ++run) {
        size_t count = 0;
        replaces.push_back(TimeMs([&] {
            std::ignore =
                replacer.ReplaceAll(search, u"new", SearchScope{}, {{kTypeStrings, 1}}, count);
        }));
        if (count != 10000) {
            std::fprintf(stderr, "bench_edit: %zu replacements instead of 10,000\n", count);
            return 1;
        }
        undos.push_back(TimeMs([&] { std::ignore = replacer.Undo(); }));
        if (replacer.Strings().GetSlot(9999, 0).text != "the old text 9999") {
            std::fprintf(stderr, "bench_edit: the undo did not restore the texts\n");
            return 1;
        }
    }

    std::printf("Editing model, medians in milliseconds\n");
    std::printf("%-52s %10.3f  target 100\n", "Find Next, 100,000 chunks, 2,000 text resources",
                Median(finds));
    std::printf("%-52s %10.3f\n", "Replace All, 10,000 matches", Median(replaces));
    std::printf("%-52s %10.3f  target 200\n", "undo of that Replace All", Median(undos));
    return 0;
}
