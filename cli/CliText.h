#pragma once

#include <string>

// Appends code point c to out as UTF-8.
void AppendUtf8(std::string& out, char32_t c);
