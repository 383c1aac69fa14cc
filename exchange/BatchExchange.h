#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "document/TallyglassDoc.h"
#include "exchange/Catalog.h"
#include "exchange/TranslationExchange.h"
#include "far/IffSource.h"

// Translating many files at once: the files a command names (a folder walked for game files, an
// archive as the set of its IFF entries), one export of them all and one import into them all,
// every archive written once. The command line and the editor both run these and differ only
// in how they tell their user what happens.

class CFileLock;

// What a batch tells as it goes.
class IBatchReporter {
public:
    virtual ~IBatchReporter() = default;
    // A problem, one sentence naming its file; the work goes on with what it can.
    virtual void Problem(const std::string& sentence) = 0;
    // Before file done (0-based) of total, by its name in catalogs. False stops the batch:
    // nothing more is read, and nothing is written.
    virtual bool Progress(size_t done, size_t total, const std::string& name) = 0;
    // Between the IFF files of one input (an archive's entries); false stops the batch as
    // Progress does.
    virtual bool Working() { return true; }
};

// A file to work on: its path, and its name in catalogs (the file name for a file given, the
// path below the folder for one found in a folder given).
struct InputFile {
    std::string path;
    std::string name;
};

// The files of arguments: a file as given, a folder walked for game files and archives (sorted).
// False when an argument does not exist, a folder cannot be walked whole or holds no game file,
// or two files would share a name in catalogs; the others are collected all the same.
[[nodiscard]] bool CollectInputs(const std::vector<std::string>& arguments,
                                 std::vector<InputFile>& inputs, IBatchReporter& reporter);

// One input read through its source: every IFF file it holds (one for a loose file, each IFF
// entry of an archive), each with its name in catalogs and in messages.
class CInput {
public:
    explicit CInput(IBatchReporter& reporter);
    ~CInput();
    CInput(const CInput&) = delete;
    CInput& operator=(const CInput&) = delete;

    // Reads the input; false, with the reason reported, when it cannot be read. Entries an
    // archive cannot place are reported too (unless quiet), and the others are there. With
    // lockForSave the file (an entry's archive) stays locked until the input is destroyed, so
    // that another command saving it waits for this one and then reads what it wrote.
    bool Load(const InputFile& input, bool quiet = false, bool lockForSave = false);
    // True when every entry of the input could be read.
    [[nodiscard]] bool IsWhole() const { return m_source.Problems().empty(); }

    [[nodiscard]] bool IsArchive() const { return m_source.IsArchive(); }
    [[nodiscard]] size_t Count() const { return m_source.Items().size(); }
    [[nodiscard]] std::string Name(size_t item) const;
    [[nodiscard]] std::string Shown(size_t item) const;
    // Opens an item as doc; false, with the reason reported, when it is not a readable IFF file.
    bool Open(size_t item, CTallyglassDoc& doc) const;
    // Applies plan to item's document doc with apply, stores it and keeps its bytes as the
    // item's, to be written with the file. False, with the reason reported and the plan refused
    // (nothing of it counts as applied), when its changes cannot be stored; true when there is
    // nothing to apply.
    bool Apply(size_t item, CTallyglassDoc& doc, ImportPlan& plan,
               const std::function<EditResult()>& apply);
    // Writes the file with every item applied to path, which a read-only file refuses unless
    // forceWrite. False, with the reason reported, when nothing was written.
    bool WriteTo(const std::string& path, bool forceWrite);
    [[nodiscard]] const InputFile& File() const { return m_input; }
    [[nodiscard]] CIffSource& Source() { return m_source; }

    // The path of the file itself: an "ARCHIVE.far:NAME" argument's archive.
    [[nodiscard]] static std::string FilePath(const std::string& path);

private:
    IBatchReporter& m_reporter;
    InputFile m_input;
    std::unique_ptr<CFileLock> m_lock;
    CIffSource m_source;
};

// Calls visit(input, item, doc) for every IFF file the inputs hold that opens, with progress
// per input; what cannot be read is reported. False when anything could not be read or the
// reporter stopped the walk (cancelled is then set).
template <typename Visit>
bool ForEachInputFile(const std::vector<InputFile>& inputs, IBatchReporter& reporter,
                      bool& cancelled, Visit visit);

// A damaged resource skips itself: each of unreadable (resources of the file shown) is reported
// as left out, and the rest of the file goes on. True when there were none.
bool ReportUnreadable(const std::string& shown, const std::vector<std::string>& unreadable,
                      IBatchReporter& reporter);

struct BatchExportOptions {
    ExportOptions units;  // the languages and what goes in; fileName and keyByFile set per file
    CatalogFormat format = CatalogFormat::po;
    bool single = false;        // one catalog for every file, keyed by file
    bool positional = false;    // one unit per place instead of one per source text
    bool templateOnly = false;  // no language, no translations
    std::string output;         // the catalog, or the folder of per-file catalogs
};

struct BatchExportResult {
    bool ok = true;          // every file read whole and every catalog written
    bool cancelled = false;  // stopped by the reporter; nothing was written
    LeftOut leftOut;
    std::vector<std::string> catalogs;  // the paths written
    size_t units = 0;                   // units written, over all catalogs
};

// Exports the texts of the files arguments name. One catalog at options.output for all of them
// with single, or for one loose file given that is no folder (an archive's entries then keyed
// by file); else one per file, OUT/LOCALE/<name>.po (a template: OUT/<name>.pot). Catalogs are
// written only after every file was read, so a stopped export writes nothing.
[[nodiscard]] BatchExportResult ExportFiles(const std::vector<std::string>& arguments,
                                            const BatchExportOptions& options,
                                            IBatchReporter& reporter);

struct BatchImportOptions {
    ImportOptions units;
    bool dryRun = false;      // plan and report, write nothing
    bool forceWrite = false;  // replace read-only files too
    std::string output;       // empty: the files themselves; else the file (or folder, for several)
    // True: each file is written as soon as its part is applied, locked from read to write.
    // False: every change is kept in memory until Write, so a stopped import writes nothing.
    bool writeEach = true;
};

// The part of an import that went to one IFF file (an archive's entry or a loose file).
struct FileImport {
    std::string name;  // its name in catalogs
    ImportPlan plan;
    SummaryMode mode = SummaryMode::dryRun;
};

// An import of one catalog into the files arguments name: each unit routed to every place its
// key or references name, each file's part planned and applied through the editing model, and
// each file written once, whatever the number of its entries changed.
class CBatchImport {
public:
    CBatchImport(BatchImportOptions options, IBatchReporter& reporter);
    ~CBatchImport();
    CBatchImport(const CBatchImport&) = delete;
    CBatchImport& operator=(const CBatchImport&) = delete;

    // Reads, routes, plans and applies (writing each file unless kept for Write). False when
    // anything was not clean, not readable, not written, or the reporter stopped it.
    bool Run(const std::vector<std::string>& arguments, const std::vector<TranslationUnit>& units);
    // Writes the files Run kept in memory, each once; false when any could not be written.
    bool Write();

    [[nodiscard]] const std::vector<FileImport>& Files() const { return m_files; }
    // The units that name no place in the files, as unknown.
    [[nodiscard]] const ImportPlan& Elsewhere() const { return m_elsewhere; }
    [[nodiscard]] bool Cancelled() const { return m_bCancelled; }
    // The files Run kept in memory with changes, still to be written.
    [[nodiscard]] size_t PendingWrites() const { return m_pending.size(); }

private:
    struct Pending;
    bool Finish(Pending& pending);

    BatchImportOptions m_options;
    IBatchReporter& m_reporter;
    std::vector<FileImport> m_files;
    ImportPlan m_elsewhere;
    std::vector<std::unique_ptr<Pending>> m_pending;
    bool m_bToFolder = false;
    bool m_bCancelled = false;
};

template <typename Visit>
bool ForEachInputFile(const std::vector<InputFile>& inputs, IBatchReporter& reporter,
                      bool& cancelled, Visit visit) {
    bool ok = true;
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (!reporter.Progress(i, inputs.size(), inputs[i].name)) {
            cancelled = true;
            return false;
        }
        CInput input(reporter);
        if (!input.Load(inputs[i])) {
            ok = false;
            continue;
        }
        ok = ok && input.IsWhole();
        for (size_t item = 0; item < input.Count(); ++item) {
            if (!reporter.Working()) {
                cancelled = true;
                return false;
            }
            CTallyglassDoc doc;
            if (!input.Open(item, doc)) {
                ok = false;
                continue;
            }
            ok = visit(input, item, doc) && ok;
        }
    }
    return ok;
}
