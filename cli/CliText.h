#pragma once

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
