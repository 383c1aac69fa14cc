#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "cli/Commands.h"
#include "framework/stream/FileException.h"
#include "strings/TextCodec.h"  // AppendUtf8

// Runs a command, turning a stream error that escaped it into its message and the status 1.
template <typename Command>
int Guarded(Command command) {
    try {
        return command();
    } catch (const CFileException& e) {
        PrintError(e.GetErrorMessage());
        return 1;
    }
}

// Appends value in decimal, right-aligned in width columns.
void AppendDecimal(std::string& out, uint64_t value, size_t width = 0);
// Appends byte as the escape \xHH (upper-case hex digits).
void AppendByteEscape(std::string& out, unsigned char byte);
