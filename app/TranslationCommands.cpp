#include "app/TranslationCommands.h"

#include "document/TallyglassDoc.h"
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

}  // namespace

CTranslationDialog::CTranslationDialog(Mode mode, int sourceSlot, int targetSlot, QWidget* parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("TranslationDialog"));
    setWindowTitle(QString::fromLatin1(mode == Mode::exportTo ? kExportCaption : kImportCaption));
    auto* form = new QFormLayout;
    m_pSource = LanguageBox(sourceSlot);
    m_pTarget = LanguageBox(targetSlot);
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
    const char* locale = LocaleOfSlot(dialog.GetTargetSlot());
    const std::string name = DocumentCatalogName(doc);
    const std::string stem = std::filesystem::path(name).filename().string();
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
    options.fileName = name;
    const ExportResult result = ExtractUnits(doc, options);
    std::string error;
    const bool written =
        WriteCatalog(*path, CatalogFormatOf(*path), {locale, LocaleOfSlot(options.sourceSlot)},
                     ShareUnits(result.units), error);
    if (!written) {
        services.messages.Show("The translation could not be written: " + error, kExportCaption,
                               MB_OK | MB_ICONSTOP);
    } else if (!result.unreadable.empty()) {
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
    if (services.messages.Show(summary + "\nApply these translations?", kImportCaption, MB_YESNO) !=
        IDYES) {
        return;
    }
    if (const EditResult applied = ApplyImport(doc, plan); !applied.Ok()) {
        services.messages.Show(applied.reason, kImportCaption, MB_OK | MB_ICONSTOP);
    }
}
