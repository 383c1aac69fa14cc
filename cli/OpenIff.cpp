#include "cli/OpenIff.h"

#include <tuple>

#include "cli/Commands.h"
#include "document/TallyglassDoc.h"
#include "far/FarArchive.h"
#include "far/FarPath.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "framework/stream/MemFile.h"
#include "iff/IffFile.h"

bool OpenIff(const std::string& path, CIffFile& iff) {
    iff.SetErrorReporter([](const CFileException& e) { PrintError(e.GetErrorMessage()); });
    if (const std::optional<FarPath> inArchive = SplitFarPath(path)) {
        CFile archiveFile(inArchive->archive, CFile::modeRead);
        CFarArchive archive;
        size_t index = 0;
        if (const std::string why =
                CTallyglassDoc::LoadArchiveEntry(archiveFile, inArchive->entry, archive, index);
            !why.empty()) {
            PrintError(why);
            return false;
        }
        const std::span<const uint8_t> bytes = archive.EntryBytes(index);
        CMemFile entry(bytes.data(), bytes.size());
        std::ignore = iff.Attach(entry);
    } else {
        CFile file(path, CFile::modeRead);
        std::ignore = iff.Attach(file);
    }
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
