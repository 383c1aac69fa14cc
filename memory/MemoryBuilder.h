#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "exchange/BatchExchange.h"
#include "exchange/TranslationExchange.h"

class CMemorySet;
class CTallyglassDoc;
class CTranslationMemory;
struct TranslationUnit;

// Building a memory from documents, and using memories on catalogs and documents.

struct MemoryBuildStats {
    size_t places = 0;   // places with a source text and at least one translation
    size_t skipped = 0;  // places whose source text was left out (no translation, not text)
    std::vector<std::string> unreadable;  // resources that cannot be read ("CTSS 2000")
};

// A text a memory can hold: no escape of an undecodable byte (those are bytes, not text) and no
// control character XML cannot carry (line breaks and tabs are fine).
[[nodiscard]] bool IsMemoryText(std::string_view utf8);

// The inputs of a build, as export and import collect them (CollectInputs): a file as given
// (named by its file name), a folder walked for game files and FAR archives (named by their
// paths below it), in name order. problems receives the folders that cannot be walked, those
// without game files and the files whose names repeat.
using MemoryInput = InputFile;
[[nodiscard]] std::vector<MemoryInput> ListMemoryInputs(const std::vector<std::string>& arguments,
                                                        std::vector<std::string>& problems);

// Called before each input is read with how many are done, how many there are and the one next;
// false cancels the build.
using MemoryProgress = std::function<bool(size_t done, size_t total, const std::string& name)>;

struct MemoryBuildReport {
    size_t files = 0;  // IFF files read, archive entries included
    size_t places = 0;
    size_t skipped = 0;
    std::vector<std::string> problems;  // a file or resource that was skipped, and why
    bool cancelled = false;
};

// Adds the IFF files of inputs to memory, archives as the set of their IFF entries; a file, an
// entry or a resource that cannot be read is named in the report's problems and skipped. Sets
// the memory's source locale to the source slot's.
MemoryBuildReport BuildMemory(const std::vector<MemoryInput>& inputs, int sourceSlot,
                              CTranslationMemory& memory, const MemoryProgress& progress = {});

// Adds every place of the document's text resources with languages whose source text is not
// empty, with each other named language's text that is filled and not a copy of the source's
// bytes, to memory; fileName names the file in the places ("Chair.iff:TTAs:128:0"). The memory's
// source locale must be the source slot's.
MemoryBuildStats AddDocumentToMemory(CTallyglassDoc& doc, const std::string& fileName,
                                     int sourceSlot, CTranslationMemory& memory);

struct PretranslateStats {
    size_t exact = 0;
    size_t fuzzy = 0;
    size_t unmatched = 0;    // empty, and no match at or above the threshold
    size_t translated = 0;   // translated already, left as they were
    size_t unencodable = 0;  // matches the target's code page cannot hold, skipped
};

// Fills the empty translations of units with the memories' matches for the language of locale:
// an exact match as translated, else the best fuzzy match of at least minScore marked fuzzy,
// with its score and source in the translator comment. A match whose translation the code page
// of targetSlot cannot hold is skipped (and counted) for the next best.
PretranslateStats Pretranslate(std::vector<TranslationUnit>& units, const CMemorySet& memories,
                               const std::string& locale, int targetSlot, int minScore);
// "12 exact, 3 fuzzy, 40 without a match, 5 translated already, 1 skipped: the code page
// cannot hold the match"
[[nodiscard]] std::string FormatPretranslateSummary(const PretranslateStats& stats);

// The exact matches for the empty slots of the document's text resources with languages (a
// slot holding a copy of the source's text counts as empty), in each of slots, as an import
// plan: what would be applied, what was refused and why (keys named "fr: CTSS:2000:1"), and
// how many slots found no match (as untranslated). Changes nothing.
[[nodiscard]] ImportPlan PlanFill(CTallyglassDoc& doc, const CMemorySet& memories, int sourceSlot,
                                  const std::vector<int>& slots);
// Applies a plan of PlanFill as one step of the document's history ("Fill from Memory").
EditResult ApplyFill(CTallyglassDoc& doc, const ImportPlan& plan);
