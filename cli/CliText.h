#pragma once

#include <string>

#include "cli/Commands.h"
#include "framework/stream/FileException.h"
#include "strings/TextCodec.h"  // AppendUtf8

// Appends byte as "\xNN", the escape every name shown uses.
void AppendHexEscape(std::string& out, unsigned char byte);

// text with every control character (C0, DEL, C1; the line break too unless keepLineBreaks) and
// every byte that is not UTF-8 written as \xNN, so that a file or entry name printed cannot move
// the cursor, clear the screen or fake a line of output.
[[nodiscard]] std::string EscapeControls(const std::string& text, bool keepLineBreaks = false);

// Flushes standard output; false, with a message unless the reader closed the pipe, when
// anything written to it was lost (a full disk, a closed descriptor).
[[nodiscard]] bool FinishStandardOutput();

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
