#include "cli/OpenIff.h"

#include <tuple>

#include "cli/Commands.h"
#include "document/TallyglassDoc.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "iff/IffFile.h"

bool OpenIff(const std::string& path, CIffFile& iff) {
    CFile file(path, CFile::modeRead);
    iff.SetErrorReporter([](const CFileException& e) { PrintError(e.GetErrorMessage()); });
    std::ignore = iff.Attach(file);
    if (!iff.IsAttached()) {
        return false;  // the reporter has told why
    }
    int error = 0;
    if (iff.Open(&error, false)) {
        return true;
    }
    if (error == CIffFile::errNotIff || error == CIffFile::errVersion) {
        PrintError(CTallyglassDoc::OpenErrorMessage(error, path));
    } else {
        PrintError(CFileException::MessageFor(CFileException::genericException, path));
    }
    return false;
}
