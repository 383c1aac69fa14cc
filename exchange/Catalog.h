#pragma once

#include <string>
#include <vector>

#include "exchange/TranslationExchange.h"
#include "exchange/TranslationUnit.h"

// Catalogs as files and as sets of places: reading and writing by format, the shapes export
// gives them, and routing each unit of a catalog to the files it names. The editor and the
// command line both go through here, so a catalog imports the same in both.

class CTallyglassDoc;

enum class CatalogFormat { po, csv };

// ".csv" (any case) is CSV; every other name (".po", ".pot") is PO.
[[nodiscard]] CatalogFormat CatalogFormatOf(const std::string& path);
// The catalog at path, in format. False, with error set, when it cannot be read; info and
// units are then untouched (a CSV catalog names no languages).
[[nodiscard]] bool ReadCatalog(const std::string& path, CatalogFormat format, CatalogInfo& info,
                               std::vector<TranslationUnit>& units, std::string& error);
// Writes units to path in format. False, with error set, when it cannot be written.
[[nodiscard]] bool WriteCatalog(const std::string& path, CatalogFormat format,
                                const CatalogInfo& info, const std::vector<TranslationUnit>& units,
                                std::string& error);

// The catalog name of an archive entry: the archive's name, '/', and the entry's name with '/'
// between its folders ("Objects.far/objects/chair.iff").
[[nodiscard]] std::string EntryCatalogName(const std::string& archiveName,
                                           const std::string& entryName);
// The catalog name of what a document holds: its file's name, or EntryCatalogName of an
// archive entry; empty for a document without a path.
[[nodiscard]] std::string DocumentCatalogName(const CTallyglassDoc& doc);
// A relative path for a catalog name that every system can create: characters Windows refuses
// in names ('<', '>', ':', '"', '\', '|', '?', '*', controls) become '_', and so do folder
// names of dots only; '/' still separates folders.
[[nodiscard]] std::string PortableCatalogPath(const std::string& name);

// The units of one text per distinct source text, from units of one text per place (as
// ExtractUnits gives them): places whose source and translation are both equal share one unit
// without a key, with every place as a reference and their descriptions as comments; a place
// whose translation differs from another of the same source keeps its own unit and key, so no
// translation is lost. In the order each text first occurs.
[[nodiscard]] std::vector<TranslationUnit> ShareUnits(const std::vector<TranslationUnit>& units);

// Each unit of a catalog routed to the files of files it names (catalog names), one unit per
// place, keyed by the place's key alone. With one file, a place that names no file, or a unit
// none of whose places names it, goes to that file. The places of a unit that has none in the
// files given are counted in elsewhere as unknown, with the reason; a unit routed to some file
// leaves its other places to the imports of their files.
struct RoutedUnits {
    std::vector<std::vector<TranslationUnit>> byFile;  // in the order of files
    ImportPlan elsewhere;
};
[[nodiscard]] RoutedUnits RouteUnits(const std::vector<TranslationUnit>& units,
                                     const std::vector<std::string>& files);
