#pragma once

#include <string>
#include <vector>

#include "exchange/TranslationUnit.h"

// Gettext PO catalogs, read and written by GNU gettext's libgettextpo.

// Writes units to path as a PO file in UTF-8 with a header naming info's languages; each unit
// its msgctxt (the context), its reference, its comment as an extracted comment. False, with
// error set, when the file cannot be written.
[[nodiscard]] bool WritePoCatalog(const std::string& path, const CatalogInfo& info,
                                  const std::vector<TranslationUnit>& units, std::string& error);

// Reads the units of a PO file (the header and obsolete messages are none). The file must be
// UTF-8 or name its charset in the header; texts come back UTF-8, a unit's references as one.
// False, with error set, when it cannot be read or has syntax errors; units and info are then
// untouched.
[[nodiscard]] bool ReadPoCatalog(const std::string& path, CatalogInfo& info,
                                 std::vector<TranslationUnit>& units, std::string& error);
