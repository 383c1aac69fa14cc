#include "exchange/Catalog.h"

#include "document/TallyglassDoc.h"
#include "exchange/CsvCatalog.h"
#include "exchange/PoCatalog.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>

CatalogFormat CatalogFormatOf(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".csv" ? CatalogFormat::csv : CatalogFormat::po;
}

bool ReadCatalog(const std::string& path, CatalogFormat format, CatalogInfo& info,
                 std::vector<TranslationUnit>& units, std::string& error) {
    if (format == CatalogFormat::csv) {
        if (!ReadCsvCatalog(path, units, error)) {
            return false;
        }
        info = {};
        return true;
    }
    return ReadPoCatalog(path, info, units, error);
}

bool WriteCatalog(const std::string& path, CatalogFormat format, const CatalogInfo& info,
                  const std::vector<TranslationUnit>& units, std::string& error) {
    return format == CatalogFormat::csv ? WriteCsvCatalog(path, units, error)
                                        : WritePoCatalog(path, info, units, error);
}

std::string EntryCatalogName(const std::string& archiveName, const std::string& entryName) {
    std::string name = archiveName + "/" + entryName;
    std::replace(name.begin() + static_cast<std::ptrdiff_t>(archiveName.size()), name.end(), '\\',
                 '/');
    return name;
}

std::string DocumentCatalogName(const CTallyglassDoc& doc) {
    const std::string file = std::filesystem::path(doc.GetPathName()).filename().string();
    return doc.IsArchiveEntry() ? EntryCatalogName(file, doc.GetArchiveEntryName()) : file;
}

std::string PortableCatalogPath(const std::string& name) {
    std::string out;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        end = end == std::string::npos ? name.size() : end;
        std::string part = name.substr(start, end - start);
        for (char& c : part) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte < 0x20 || std::string_view("<>:\"\\|?*").find(c) != std::string_view::npos) {
                c = '_';
            }
        }
        if (!part.empty() && part.find_first_not_of('.') == std::string::npos) {
            part.assign(part.size(), '_');  // "." and ".." would leave the folder
        }
        if (!part.empty()) {
            out += (out.empty() ? "" : "/") + part;
        }
        start = end + 1;
    }
    return out;
}

std::vector<TranslationUnit> ShareUnits(const std::vector<TranslationUnit>& units) {
    // The places of each source text, in the order of first occurrence.
    std::map<std::string, std::vector<size_t>> bySource;
    std::vector<const std::string*> order;
    for (size_t i = 0; i < units.size(); ++i) {
        auto [found, added] = bySource.try_emplace(units[i].source);
        if (added) {
            order.push_back(&found->first);
        }
        found->second.push_back(i);
    }
    std::vector<TranslationUnit> shared;
    shared.reserve(bySource.size());
    for (const std::string* source : order) {
        const std::vector<size_t>& places = bySource[*source];
        const TranslationUnit& first = units[places.front()];
        const bool alike = std::all_of(places.begin(), places.end(), [&](size_t i) {
            return units[i].target == first.target && units[i].fuzzy == first.fuzzy;
        });
        if (!alike) {
            for (const size_t i : places) {
                shared.push_back(units[i]);
            }
            continue;
        }
        TranslationUnit unit = first;
        unit.context.clear();
        unit.references.clear();
        std::vector<std::string> comments;
        for (const size_t i : places) {
            unit.references.insert(unit.references.end(), units[i].references.begin(),
                                   units[i].references.end());
            if (!units[i].comment.empty() &&
                std::find(comments.begin(), comments.end(), units[i].comment) == comments.end()) {
                comments.push_back(units[i].comment);
            }
        }
        unit.comment.clear();
        for (const std::string& comment : comments) {
            unit.comment += (unit.comment.empty() ? "" : "\n") + comment;
        }
        shared.push_back(std::move(unit));
    }
    return shared;
}

RoutedUnits RouteUnits(const std::vector<TranslationUnit>& units,
                       const std::vector<std::string>& files) {
    RoutedUnits routed;
    routed.byFile.resize(files.size());
    std::map<std::string, size_t> indexOf;
    for (size_t i = 0; i < files.size(); ++i) {
        indexOf.emplace(files[i], i);
    }
    const auto elsewhere = [&routed](const std::string& key, const std::string& reason) {
        ++routed.elsewhere.counts[static_cast<size_t>(UnitOutcome::unknown)];
        routed.elsewhere.reports.push_back({key, UnitOutcome::unknown, reason});
    };
    for (const TranslationUnit& unit : units) {
        const std::vector<UnitPlace> places = PlacesOfUnit(unit);
        const std::string label = !unit.context.empty() ? unit.context
                                  : !unit.references.empty()
                                      ? unit.references.front()
                                      : "(no key) \"" + unit.source.substr(0, 40) + "\"";
        if (places.empty()) {
            elsewhere(label, !unit.context.empty() || !unit.references.empty()
                                 ? "not a key of a text resource"
                                 : "names no place");
            continue;
        }
        std::string keyFile;
        std::ignore = ParseUnitKey(unit.context, &keyFile);
        // One file given takes what names no file, and a catalog of a file under another name.
        const bool namesTheOne =
            files.size() == 1 && std::any_of(places.begin(), places.end(), [&](const UnitPlace& p) {
                return p.file == files.front();
            });
        // Places in files not given belong to another import, unless the unit has none here.
        std::vector<std::pair<std::string, std::string>> missed;  // place, reason
        bool routedAny = false;
        for (const UnitPlace& place : places) {
            std::string file = place.file;
            if (files.size() == 1 && keyFile.empty() && (file.empty() || !namesTheOne)) {
                file = files.front();
            }
            const auto found = indexOf.find(file);
            if (found == indexOf.end()) {
                missed.emplace_back(FormatPlace(place),
                                    file.empty() ? "names no file"
                                                 : "for " + file + ", which is not imported into");
                continue;
            }
            TranslationUnit routedUnit = unit;
            routedUnit.context = FormatUnitKey(place.key);
            routedUnit.references = {FormatPlace({file, place.key})};
            routed.byFile[found->second].push_back(std::move(routedUnit));
            routedAny = true;
        }
        for (const auto& [place, reason] : routedAny ? decltype(missed)() : missed) {
            elsewhere(place, reason);
        }
    }
    return routed;
}
