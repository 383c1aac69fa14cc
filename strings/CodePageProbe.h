#pragma once

#include "strings/CodePages.h"

// Builds a code page's tables from ICU's converter icuName: every byte and every byte pair is
// decoded, and each character kept only when it encodes back to the same bytes. Returns false,
// tables unchanged, when ICU cannot open the converter or the code page holds a character
// outside the Basic Multilingual Plane (which the tables cannot hold).
[[nodiscard]] bool ProbeCodePage(const char* icuName, CodePageTables& tables);
