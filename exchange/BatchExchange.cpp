#include "exchange/BatchExchange.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <set>
#include <system_error>
#include <utility>

#include "exchange/Locales.h"
#include "far/FarPath.h"
#include "framework/doc/PathUtil.h"
#include "framework/stream/FileException.h"
#include "framework/stream/FileLock.h"

namespace fs = std::filesystem;

namespace {

bool HasGameExtension(const fs::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".iff" || extension == ".flr" || extension == ".wll" ||
           extension == ".spf" || extension == ".far" || extension == ".fam";
}

// Walks folder and the folders below it for game files (links to folders not followed). A
// folder that cannot be read is named and skipped, and the walk goes on; false then.
bool WalkFolder(const fs::path& top, const fs::path& folder, std::vector<InputFile>& found,
                IBatchReporter& reporter) {
    std::error_code error;
    fs::directory_iterator walk(folder, error);
    if (error) {
        reporter.Problem(folder.string() + ": " + error.message() + "; the folder is skipped.");
        return false;
    }
    bool ok = true;
    std::vector<fs::path> folders;
    for (; !error && walk != fs::directory_iterator(); walk.increment(error)) {
        std::error_code typeError;
        const fs::file_status status = walk->symlink_status(typeError);
        if (fs::is_directory(status)) {
            folders.push_back(walk->path());
        } else if (walk->is_regular_file(typeError) && HasGameExtension(walk->path())) {
            found.push_back(
                {walk->path().string(), walk->path().lexically_relative(top).generic_string()});
        }
    }
    if (error) {
        reporter.Problem(folder.string() + ": " + error.message() +
                         "; the rest of the folder is skipped.");
        ok = false;
    }
    for (const fs::path& below : folders) {
        ok = WalkFolder(top, below, found, reporter) && ok;
    }
    return ok;
}

// The file or stream error of a file, reported; false.
template <typename Work>
bool Guarded(const std::string& path, IBatchReporter& reporter, Work work) {
    try {
        return work();
    } catch (const CFileException& e) {
        reporter.Problem(path + ": " + e.GetErrorMessage());
        return false;
    }
}

// A path inside folder for a name that may hold folders of its own, those folders made.
std::optional<std::string> PathInside(const std::string& folder, const std::string& name,
                                      IBatchReporter& reporter) {
    const fs::path path = fs::path(folder) / name;
    std::error_code error;
    fs::create_directories(path.parent_path(), error);
    if (error) {
        reporter.Problem(path.parent_path().string() + ": " + error.message());
        return std::nullopt;
    }
    return path.string();
}

// The shape a catalog is written in: one unit per source text unless positional; a template
// without translations.
std::vector<TranslationUnit> Shaped(std::vector<TranslationUnit> units,
                                    const BatchExportOptions& options) {
    if (options.templateOnly) {
        for (TranslationUnit& unit : units) {
            unit.target.clear();
            unit.fuzzy = false;
        }
    }
    return options.positional ? units : ShareUnits(units);
}

}  // namespace

bool ReportUnreadable(const std::string& shown, const std::vector<std::string>& unreadable,
                      IBatchReporter& reporter) {
    for (const std::string& resource : unreadable) {
        reporter.Problem(shown + ": " + resource + " cannot be read; it is left out.");
    }
    return unreadable.empty();
}

bool CollectInputs(const std::vector<std::string>& arguments, std::vector<InputFile>& inputs,
                   IBatchReporter& reporter) {
    bool ok = true;
    for (const std::string& argument : arguments) {
        std::error_code error;
        if (!fs::is_directory(argument, error)) {
            // "Objects.far:Chair.iff" is named by its archive; the entry's name follows it.
            inputs.push_back({argument, fs::path(CInput::FilePath(argument)).filename().string()});
            continue;
        }
        std::vector<InputFile> found;
        ok = WalkFolder(argument, argument, found, reporter) && ok;
        if (found.empty()) {
            // Nothing done and nothing said would read as success.
            reporter.Problem(argument +
                             ": no game files (.iff, .flr, .wll, .spf, .fam, .far) in it.");
            ok = false;
        }
        std::sort(found.begin(), found.end(),
                  [](const InputFile& a, const InputFile& b) { return a.name < b.name; });
        inputs.insert(inputs.end(), found.begin(), found.end());
    }
    // Catalogs name files by these names: two alike would write over each other's catalog.
    std::vector<InputFile> unique;
    std::set<std::string> names;
    for (const InputFile& input : inputs) {
        if (!names.insert(input.name).second) {
            reporter.Problem(input.path + ": another file given is named " + input.name +
                             " too; the file is skipped.");
            ok = false;
        } else {
            unique.push_back(input);
        }
    }
    inputs = std::move(unique);
    return ok;
}

CInput::CInput(IBatchReporter& reporter) : m_reporter(reporter) {}

CInput::~CInput() = default;

std::string CInput::FilePath(const std::string& path) {
    std::error_code error;
    const std::optional<FarPath> inArchive =
        fs::exists(path, error) ? std::nullopt : SplitFarPath(path);
    return inArchive ? inArchive->archive : path;
}

bool CInput::Load(const InputFile& input, bool quiet, bool lockForSave) {
    m_input = input;
    if (lockForSave) {
        m_lock = std::make_unique<CFileLock>(FilePath(input.path));
    }
    std::string why;
    if (!Guarded(input.path, m_reporter, [&] { return m_source.Load(input.path, why); })) {
        if (!why.empty()) {
            m_reporter.Problem(why);
        }
        return false;
    }
    if (!quiet) {
        for (const std::string& problem : m_source.Problems()) {
            m_reporter.Problem(input.path + ": " + problem);
        }
    }
    return true;
}

std::string CInput::Name(size_t item) const {
    return m_source.IsArchive() ? EntryCatalogName(m_input.name, m_source.Items()[item].entryName)
                                : m_input.name;
}

std::string CInput::Shown(size_t item) const {
    return m_source.IsArchive()
               ? EntryCatalogName(FilePath(m_input.path), m_source.Items()[item].entryName)
               : m_input.path;
}

bool CInput::Open(size_t item, CTallyglassDoc& doc) const {
    int code = 0;
    const std::span<const uint8_t> bytes = m_source.Bytes(item);
    if (!bytes.empty() && doc.OpenBytes(bytes, code)) {
        return true;
    }
    if (code != CIffFile::errVersion) {
        code = CIffFile::errNotIff;
    }
    m_reporter.Problem(CTallyglassDoc::OpenErrorMessage(code, Shown(item)));
    m_reporter.Problem(Shown(item) + ": the file is skipped.");
    return false;
}

bool CInput::Apply(size_t item, CTallyglassDoc& doc, ImportPlan& plan,
                   const std::function<EditResult()>& apply) {
    if (plan.refused || plan.changes.empty()) {
        return true;
    }
    // Stored before the summary: a resource that cannot take the changes refuses them before
    // anything is reported as applied.
    std::string failure;
    std::optional<std::vector<uint8_t>> bytes;
    if (const EditResult applied = apply(); !applied.Ok()) {
        failure = applied.reason;
    } else if (const EditResult stored = doc.m_editor.Store(); !stored.Ok()) {
        failure = stored.status == EditStatus::tooLarge ? kImportTooLarge : stored.reason;
    } else {
        bytes = doc.SaveToBytes(failure);
    }
    if (!bytes) {
        m_reporter.Problem(Shown(item) + ": " + failure);
        // Nothing of it is counted as applied, and its file keeps every byte.
        plan.refused = true;
        return false;
    }
    m_source.Replace(item, std::move(*bytes));
    return true;
}

bool CInput::WriteTo(const std::string& path, bool forceWrite) {
    std::string why;
    if (!forceWrite && IsReadOnlyFile(path)) {
        m_reporter.Problem(path + " is read-only.");
        return false;
    }
    if (!m_source.Write(path, why)) {
        m_reporter.Problem(path + ": " + why);
        return false;
    }
    return true;
}

BatchExportResult ExportFiles(const std::vector<std::string>& arguments,
                              const BatchExportOptions& options, IBatchReporter& reporter) {
    BatchExportResult result;
    std::vector<InputFile> inputs;
    result.ok = CollectInputs(arguments, inputs, reporter);
    const CatalogInfo info{options.templateOnly ? "" : LocaleOfSlot(options.units.targetSlot),
                           LocaleOfSlot(options.units.sourceSlot)};
    const char* extension = options.format == CatalogFormat::csv ? ".csv"
                            : options.templateOnly               ? ".pot"
                                                                 : ".po";
    std::error_code error;
    const bool toFolder = !options.single && (inputs.size() != 1 || arguments.size() != 1 ||
                                              fs::is_directory(arguments.front(), error) ||
                                              fs::is_directory(options.output, error));
    const std::string folder =
        options.templateOnly ? options.output : (fs::path(options.output) / info.language).string();
    // Every catalog's units, by its name in catalogs, written once every file has been read.
    std::vector<std::pair<std::string, std::vector<TranslationUnit>>> catalogs;
    std::vector<TranslationUnit> all;
    result.ok =
        ForEachInputFile(
            inputs, reporter, result.cancelled,
            [&](const CInput& input, size_t item, CTallyglassDoc& doc) {
                ExportOptions units = options.units;
                units.fileName = input.Name(item);
                // An archive's entries in one catalog are told apart by
                // their file.
                units.keyByFile = options.single || (!toFolder && input.IsArchive());
                ExportResult exported = ExtractUnits(doc, units);
                result.leftOut += exported.leftOut;
                auto& into =
                    toFolder ? catalogs.emplace_back(units.fileName, std::vector<TranslationUnit>())
                                   .second
                             : all;
                into.insert(into.end(), exported.units.begin(), exported.units.end());
                return ReportUnreadable(input.Shown(item), exported.unreadable, reporter);
            }) &&
        result.ok;
    if (result.cancelled) {
        return result;
    }
    const auto write = [&](const std::string& path, const std::vector<TranslationUnit>& units) {
        std::string why;
        const std::vector<TranslationUnit> shaped = Shaped(units, options);
        if (!WriteCatalog(path, options.format, info, shaped, why)) {
            reporter.Problem(why);
            return false;
        }
        result.catalogs.push_back(path);
        result.units += shaped.size();
        return true;
    };
    if (toFolder) {
        for (const auto& [name, units] : catalogs) {
            const std::optional<std::string> path =
                PathInside(folder, PortableCatalogPath(name) + extension, reporter);
            result.ok = path && write(*path, units) && result.ok;
        }
    } else if ((options.single || result.ok) && !write(options.output, all)) {
        // One file given that could not be read gets no catalog; --single writes what it has.
        result.ok = false;
    }
    return result;
}

struct CBatchImport::Pending {
    explicit Pending(IBatchReporter& reporter) : input(reporter) {}

    CInput input;
    size_t firstFile = 0;     // its parts in m_files
    std::vector<bool> saved;  // per part: its changes could be stored
    bool refused = false;     // a part refused: the whole file keeps its bytes
};

CBatchImport::CBatchImport(BatchImportOptions options, IBatchReporter& reporter)
    : m_options(std::move(options)), m_reporter(reporter) {}

CBatchImport::~CBatchImport() = default;

bool CBatchImport::Run(const std::vector<std::string>& arguments,
                       const std::vector<TranslationUnit>& units) {
    std::vector<InputFile> inputs;
    bool ok = CollectInputs(arguments, inputs, m_reporter);
    const size_t total = inputs.size() * 2;
    // Every IFF file the inputs hold, by name, so that each unit goes to the places it names.
    std::vector<std::string> names;
    std::vector<size_t> firstName(inputs.size() + 1, 0);
    std::vector<bool> loaded(inputs.size(), false);
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (!m_reporter.Progress(i, total, inputs[i].name)) {
            m_bCancelled = true;
            return false;
        }
        firstName[i] = names.size();
        CInput input(m_reporter);
        loaded[i] = input.Load(inputs[i]);
        ok = ok && loaded[i] && input.IsWhole();
        for (size_t item = 0; loaded[i] && item < input.Count(); ++item) {
            names.push_back(input.Name(item));
        }
    }
    firstName[inputs.size()] = names.size();
    RoutedUnits routed = RouteUnits(units, names);
    m_elsewhere = std::move(routed.elsewhere);
    ok = ok && m_elsewhere.reports.empty();
    std::error_code fsError;
    m_bToFolder = !m_options.output.empty() &&
                  (inputs.size() != 1 || fs::is_directory(m_options.output, fsError));
    for (size_t i = 0; i < inputs.size(); ++i) {
        if (!loaded[i]) {
            continue;
        }
        if (!m_reporter.Progress(inputs.size() + i, total, inputs[i].name)) {
            m_bCancelled = true;
            m_pending.clear();
            return false;
        }
        auto pending = std::make_unique<Pending>(m_reporter);
        CInput& input = pending->input;
        const bool lock = m_options.writeEach && m_options.output.empty() && !m_options.dryRun;
        if (!input.Load(inputs[i], true, lock) ||
            input.Count() != firstName[i + 1] - firstName[i]) {
            ok = false;
            continue;
        }
        // Every part planned and applied in memory; the file is written once, after them all.
        pending->firstFile = m_files.size();
        for (size_t item = 0; item < input.Count(); ++item) {
            if (!m_reporter.Working()) {
                m_bCancelled = true;
                m_pending.clear();
                return false;
            }
            const std::vector<TranslationUnit>& mine = routed.byFile[firstName[i] + item];
            CTallyglassDoc doc;
            if (mine.empty() && input.Source().IsArchive()) {
                continue;  // an entry no unit names keeps its bytes
            }
            if (!input.Open(item, doc)) {
                ok = false;
                continue;
            }
            FileImport part{input.Name(item), PlanImport(doc, mine, m_options.units)};
            ImportPlan& plan = part.plan;
            ok = ok && IsClean(plan);
            const bool saved = input.Apply(item, doc, plan, [&] { return ApplyImport(doc, plan); });
            ok = ok && saved;
            pending->refused = pending->refused || plan.refused;
            pending->saved.push_back(saved);
            part.mode = m_options.dryRun ? SummaryMode::dryRun : SummaryMode::notWritten;
            m_files.push_back(std::move(part));
        }
        if (pending->refused) {
            // A refused part keeps the whole file as it is, as a refused import of a loose file
            // does.
            m_reporter.Problem(inputs[i].path + ": the import is refused; nothing was written.");
            ok = false;
        } else if (!m_options.dryRun &&
                   (input.Source().HasChanges() || !m_options.output.empty())) {
            if (m_options.writeEach) {
                ok = Finish(*pending) && ok;
            } else {
                m_pending.push_back(std::move(pending));
            }
        } else if (!m_options.dryRun) {
            // Nothing to write: what it holds is already what the catalog says.
            for (size_t part = pending->firstFile; part < m_files.size(); ++part) {
                m_files[part].mode = SummaryMode::written;
            }
        }
    }
    return ok;
}

bool CBatchImport::Write() {
    bool ok = true;
    for (std::unique_ptr<Pending>& pending : m_pending) {
        ok = Finish(*pending) && ok;
    }
    m_pending.clear();
    return ok;
}

bool CBatchImport::Finish(Pending& pending) {
    CInput& input = pending.input;
    const InputFile& file = input.File();
    std::optional<std::string> path =
        m_options.output.empty() ? std::optional<std::string>(file.path) : m_options.output;
    if (m_bToFolder) {
        path = PathInside(m_options.output, file.name, m_reporter);
    }
    std::error_code existsError;
    if (path && !fs::exists(*path, existsError)) {
        // "ARCHIVE.far:NAME" writes the archive.
        if (const std::optional<FarPath> inArchive = SplitFarPath(*path)) {
            path = inArchive->archive;
        }
    }
    const bool written = path && input.WriteTo(*path, m_options.forceWrite);
    for (size_t part = 0; part < pending.saved.size(); ++part) {
        m_files[pending.firstFile + part].mode =
            written && pending.saved[part] ? SummaryMode::written : SummaryMode::notWritten;
    }
    return written;
}
