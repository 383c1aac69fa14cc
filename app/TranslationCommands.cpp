#include "app/TranslationCommands.h"

#include "app/BatchProgress.h"
#include "document/TallyglassDoc.h"
#include "exchange/BatchExchange.h"
#include "exchange/Catalog.h"
#include "exchange/Locales.h"
#include "exchange/TranslationExchange.h"
#include "framework/doc/FileDialogService.h"
#include "framework/doc/MessageBoxService.h"
#include "strings/Languages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QVBoxLayout>

#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr const char* kExportCaption = "Export Translation";
constexpr const char* kImportCaption = "Import Translation";

QComboBox* LanguageBox(int slot) {
    auto* box = new QComboBox;
    for (int index = 0; index < kNamedLanguageCount; ++index) {
        const int languageSlot = SlotOfLanguageIndex(index);
        box->addItem(QString::fromLatin1(LanguageName(languageSlot)), languageSlot);
    }
    box->setCurrentIndex(std::max(0, LanguageIndexOfSlot(slot)));
    return box;
}

const std::vector<FileDialogFilter> kPoFirst = {{"PO Files (*.po)", "*.po"},
                                                {"CSV Files (*.csv)", "*.csv"}};
const std::vector<FileDialogFilter> kCsvFirst = {{"CSV Files (*.csv)", "*.csv"},
                                                 {"PO Files (*.po)", "*.po"}};

// The folder or archive a command works on, asked for; nothing when the user cancelled.
std::optional<std::string> AskForFiles(const TranslationServices& services,
                                       CTranslationDialog::Scope scope) {
    FileDialogRequest request;
    if (scope == CTranslationDialog::Scope::folder) {
        request.kind = FileDialogRequest::folder;
        request.title = "Choose the Folder to Translate";
    } else {
        request.kind = FileDialogRequest::open;
        request.title = "Choose the Archive to Translate";
        request.filters = {{"FAR Archives (*.far *.FAR)", "*.far *.FAR"}};
        request.defaultExtension = "far";
    }
    return services.dialogs.Run(request);
}

// A summary cut to its first lines: a whole game's can run to thousands.
std::string Abbreviated(const std::string& text) {
    constexpr size_t kLines = 20;
    size_t end = 0;
    for (size_t line = 0; line < kLines; ++line) {
        end = text.find('\n', end);
        if (end == std::string::npos) {
            return text;
        }
        ++end;
    }
    return end == text.size() ? text : text.substr(0, end) + "...\n";
}

// The export of a folder or archive: one catalog for all its files, keyed by file where a text
// is not shared, read under a progress dialog.
void ExportFromFiles(const TranslationServices& services, const std::string& files,
                     const std::string& catalog, const ExportOptions& units) {
    BatchExportOptions options;
    options.units = units;
    options.format = CatalogFormatOf(catalog);
    options.single = true;
    options.output = catalog;
    CBatchProgress progress(QString::fromLatin1(kExportCaption), services.parent);
    const BatchExportResult result = ExportFiles({files}, options, progress);
    progress.Close();
    if (result.cancelled) {
        services.status("The export was cancelled; nothing was written.");
        return;
    }
    if (!result.catalogs.empty()) {
        services.status(std::to_string(result.units) + " units written to " + catalog + ".");
    }
    if (result.catalogs.empty()) {
        // The last problem is the one that stopped it: the catalog's own write, or no file read.
        services.messages.Show("The translation could not be written: " +
                                   (progress.Problems().empty() ? std::string("nothing to read.")
                                                                : progress.Problems().back()),
                               kExportCaption, MB_OK | MB_ICONSTOP);
    } else if (!progress.Problems().empty()) {
        services.messages.Show("The translation was written without some texts.\n\n" +
                                   DescribeProblems(progress.Problems()),
                               kExportCaption, MB_OK | MB_ICONEXCLAMATION);
    }
}

// The import into a folder or archive: every file read, planned and applied in memory under a
// progress dialog, then the summary asked about, then each changed file written once.
void ImportIntoFiles(const TranslationServices& services, const std::string& files,
                     const std::vector<TranslationUnit>& units, const ImportOptions& unitOptions) {
    BatchImportOptions options;
    options.units = unitOptions;
    options.writeEach = false;
    CBatchProgress progress(QString::fromLatin1(kImportCaption), services.parent);
    CBatchImport batch(options, progress);
    std::ignore = batch.Run({files}, units);
    progress.Close();
    if (batch.Cancelled()) {
        services.status("The import was cancelled; nothing was written.");
        return;
    }
    // One summary for every file: the counts added up, each unit not applied under its file.
    ImportPlan total = batch.Elsewhere();
    for (const FileImport& file : batch.Files()) {
        for (size_t i = 0; i < kOutcomeCount; ++i) {
            total.counts[i] += file.plan.counts[i];
        }
        for (UnitReport report : file.plan.reports) {
            report.key = file.name + ":" + report.key;
            total.reports.push_back(std::move(report));
        }
        total.warnings.insert(total.warnings.end(), file.plan.warnings.begin(),
                              file.plan.warnings.end());
    }
    std::string summary = Abbreviated(FormatImportSummary(total));
    if (!progress.Problems().empty()) {
        summary += "\n" + DescribeProblems(progress.Problems()) + "\n";
    }
    const size_t count = batch.PendingWrites();
    if (count == 0) {
        services.messages.Show("Nothing to write.\n\n" + summary, kImportCaption,
                               MB_OK | (progress.Problems().empty() ? 0 : MB_ICONEXCLAMATION));
        return;
    }
    // Files on disk cannot be taken back with Undo: No is the safe answer.
    const std::string question = "\nWrite these translations into " + std::to_string(count) +
                                 (count == 1 ? " file?" : " files?");
    if (services.messages.Show(summary + question, kImportCaption,
                               MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
        return;
    }
    const size_t problemsBefore = progress.Problems().size();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const bool written = batch.Write();
    QGuiApplication::restoreOverrideCursor();
    if (!written) {
        const std::vector<std::string> failures(progress.Problems().begin() + problemsBefore,
                                                progress.Problems().end());
        services.messages.Show("Some files could not be written; they keep what they held.\n\n" +
                                   DescribeProblems(failures),
                               kImportCaption, MB_OK | MB_ICONSTOP);
        return;
    }
    services.status("Translations written into " + std::to_string(count) +
                    (count == 1 ? " file." : " files."));
}

}  // namespace

CTranslationDialog::CTranslationDialog(Mode mode, int sourceSlot, int targetSlot, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("TranslationDialog"));
    setWindowTitle(QString::fromLatin1(mode == Mode::exportTo ? kExportCaption : kImportCaption));
    auto* form = new QFormLayout;
    m_pSource = LanguageBox(sourceSlot);
    m_pTarget = LanguageBox(targetSlot);
    m_pScope = new QComboBox;
    m_pScope->addItem(QStringLiteral("The open file"));
    m_pScope->addItem(QStringLiteral("A folder of game files..."));
    m_pScope->addItem(QStringLiteral("An archive (.far)..."));
    form->addRow(QStringLiteral("F&iles:"), m_pScope);
    form->addRow(QStringLiteral("&Source language:"), m_pSource);
    form->addRow(QStringLiteral("&Translation:"), m_pTarget);
    const auto check = [form](const QString& text) {
        auto* box = new QCheckBox(text);
        form->addRow(box);
        return box;
    };
    if (mode == Mode::exportTo) {
        m_pFormat = new QComboBox;
        m_pFormat->addItem(QStringLiteral("PO (gettext)"));
        m_pFormat->addItem(QStringLiteral("CSV"));
        form->addRow(QStringLiteral("&Format:"), m_pFormat);
        m_pDescriptions = check(QStringLiteral("&Descriptions as units of their own"));
        m_pKeepCopies = check(QStringLiteral("&Keep texts equal to the source as translated"));
    } else {
        m_pFuzzy = check(QStringLiteral("Apply &fuzzy translations"));
        m_pForce = check(QStringLiteral("Apply translations whose source text has &changed"));
        m_pSkipUnencodable =
            check(QStringLiteral("S&kip texts the language cannot hold instead of refusing"));
        m_pStrict = check(QStringLiteral("&Refuse when $-tokens or line breaks differ"));
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
}

int CTranslationDialog::GetSourceSlot() const {
    return m_pSource->currentData().toInt();
}

int CTranslationDialog::GetTargetSlot() const {
    return m_pTarget->currentData().toInt();
}

bool CTranslationDialog::IsCsv() const {
    return m_pFormat != nullptr && m_pFormat->currentIndex() == 1;
}

CTranslationDialog::Scope CTranslationDialog::GetScope() const {
    return static_cast<Scope>(m_pScope->currentIndex());
}

void OnExportTranslation(const TranslationServices& services, CTallyglassDoc& doc) {
    CTranslationDialog dialog(CTranslationDialog::Mode::exportTo, 0, 2, services.parent);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (dialog.GetSourceSlot() == dialog.GetTargetSlot()) {
        services.messages.Show("The translation's language is the source language.", kExportCaption,
                               MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    std::optional<std::string> files;
    if (dialog.GetScope() != CTranslationDialog::Scope::openFile) {
        files = AskForFiles(services, dialog.GetScope());
        if (!files) {
            return;
        }
    }
    const char* locale = LocaleOfSlot(dialog.GetTargetSlot());
    const std::string name = DocumentCatalogName(doc);
    const std::string stem = std::filesystem::path(files ? *files : name).filename().string();
    FileDialogRequest request;
    request.kind = FileDialogRequest::saveAs;
    request.title = kExportCaption;
    request.proposedName = (stem.empty() ? std::string("translation") : stem) + "." + locale +
                           (dialog.IsCsv() ? ".csv" : ".po");
    request.filters = dialog.IsCsv() ? kCsvFirst : kPoFirst;
    request.defaultExtension = dialog.IsCsv() ? "csv" : "po";
    const std::optional<std::string> path = services.dialogs.Run(request);
    if (!path) {
        return;
    }
    ExportOptions options;
    options.sourceSlot = dialog.GetSourceSlot();
    options.targetSlot = dialog.GetTargetSlot();
    options.descriptions = dialog.m_pDescriptions->isChecked();
    options.keepCopies = dialog.m_pKeepCopies->isChecked();
    if (files) {
        ExportFromFiles(services, *files, *path, options);
        return;
    }
    options.fileName = name;
    const ExportResult result = ExtractUnits(doc, options);
    const std::vector<TranslationUnit> shared = ShareUnits(result.units);
    std::string error;
    const bool written = WriteCatalog(*path, CatalogFormatOf(*path),
                                      {locale, LocaleOfSlot(options.sourceSlot)}, shared, error);
    if (!written) {
        services.messages.Show("The translation could not be written: " + error, kExportCaption,
                               MB_OK | MB_ICONSTOP);
        return;
    }
    services.status(std::to_string(shared.size()) + " units written to " + *path + ".");
    if (!result.unreadable.empty()) {
        std::string list;
        for (const std::string& resource : result.unreadable) {
            list += "\n" + resource;
        }
        services.messages.Show(
            "These text resources cannot be read; their texts are missing:" + list, kExportCaption,
            MB_OK | MB_ICONEXCLAMATION);
    }
}

void OnImportTranslation(const TranslationServices& services, CTallyglassDoc& doc) {
    FileDialogRequest request;
    request.kind = FileDialogRequest::open;
    request.title = kImportCaption;
    request.filters = kPoFirst;
    request.defaultExtension = "po";
    const std::optional<std::string> path = services.dialogs.Run(request);
    if (!path) {
        return;
    }
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    if (!ReadCatalog(*path, CatalogFormatOf(*path), info, units, error)) {
        services.messages.Show("The translation could not be read: " + error, kImportCaption,
                               MB_OK | MB_ICONSTOP);
        return;
    }
    const int target = SlotOfLocale(info.language);
    const int source = SlotOfLocale(info.sourceLanguage);
    CTranslationDialog dialog(CTranslationDialog::Mode::importFrom, source >= 0 ? source : 0,
                              target >= 0 ? target : 2, services.parent);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    if (dialog.GetSourceSlot() == dialog.GetTargetSlot()) {
        services.messages.Show("The translation's language is the source language.", kImportCaption,
                               MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    ImportOptions options;
    options.sourceSlot = dialog.GetSourceSlot();
    options.targetSlot = dialog.GetTargetSlot();
    options.fuzzy = dialog.m_pFuzzy->isChecked();
    options.force = dialog.m_pForce->isChecked();
    options.skipUnencodable = dialog.m_pSkipUnencodable->isChecked();
    options.strict = dialog.m_pStrict->isChecked();
    if (dialog.GetScope() != CTranslationDialog::Scope::openFile) {
        if (const std::optional<std::string> files = AskForFiles(services, dialog.GetScope())) {
            ImportIntoFiles(services, *files, units, options);
        }
        return;
    }
    // Each unit to this file's places, as the command line routes a catalog of many files.
    const RoutedUnits routed = RouteUnits(units, {DocumentCatalogName(doc)});
    ImportPlan plan = PlanImport(doc, routed.byFile.front(), options);
    for (const UnitReport& report : routed.elsewhere.reports) {
        ++plan.counts[static_cast<size_t>(report.outcome)];
        plan.reports.push_back(report);
    }
    const std::string summary = FormatImportSummary(plan);
    if (plan.refused) {
        services.messages.Show("The translation is refused; nothing was changed.\n\n" + summary,
                               kImportCaption, MB_OK | MB_ICONSTOP);
        return;
    }
    if (plan.changes.empty()) {
        services.messages.Show("Nothing to change.\n\n" + summary, kImportCaption, MB_OK);
        return;
    }
    // It overwrites translations the file holds: No is the safe answer, even with Undo at hand.
    if (services.messages.Show(summary + "\nApply these translations?", kImportCaption,
                               MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) != IDYES) {
        return;
    }
    if (const EditResult applied = ApplyImport(doc, plan); !applied.Ok()) {
        services.messages.Show(applied.reason, kImportCaption, MB_OK | MB_ICONSTOP);
    }
}
