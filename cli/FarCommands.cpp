// The archive commands: far list shows an archive's manifest, far extract writes its entries
// into a folder and nowhere else.
#include "cli/CliText.h"
#include "cli/Commands.h"

#include "document/TallyglassDoc.h"
#include "far/FarArchive.h"
#include "framework/stream/File.h"
#include "framework/stream/FileException.h"
#include "framework/stream/SafeFile.h"

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

bool IsIff(std::span<const uint8_t> bytes) {
    static constexpr char kMagic[] = "IFF FILE 2.";
    return bytes.size() >= sizeof kMagic - 1 &&
           std::memcmp(bytes.data(), kMagic, sizeof kMagic - 1) == 0;
}

bool Load(const std::string& path, CFarArchive& archive) {
    CFile file(path, CFile::modeRead);
    if (const std::string why = CTallyglassDoc::LoadArchive(file, archive); !why.empty()) {
        PrintError(why);
        return false;
    }
    return true;
}

int RunList(const std::string& path, bool json) {
    CFarArchive archive;
    if (!Load(path, archive)) {
        return 1;
    }
    const std::vector<FarEntry>& entries = archive.GetEntries();
    const char* variant = archive.GetVariant() == CFarArchive::Variant::v1a ? "1a" : "1b";
    if (json) {
        nlohmann::json out;
        out["version"] = variant;
        out["entries"] = nlohmann::json::array();
        for (size_t i = 0; i < entries.size(); ++i) {
            const FarEntry& entry = entries[i];
            nlohmann::json item = {{"name", FarDisplayName(entry.name)},
                                   {"size", entry.size},
                                   {"offset", entry.offset},
                                   {"readable", entry.IsReadable()},
                                   {"iff", IsIff(archive.EntryBytes(i))}};
            if (!entry.IsReadable()) {
                item["problem"] = entry.problem;
            }
            out["entries"].push_back(std::move(item));
        }
        out["problems"] = archive.GetProblems();
        std::printf("%s\n",
                    out.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    } else {
        std::printf("version %s, %zu %s\n", variant, entries.size(),
                    entries.size() == 1 ? "entry" : "entries");
        size_t width = 1;
        for (const FarEntry& entry : entries) {
            width = std::max(width, std::to_string(entry.size).size());
        }
        for (const FarEntry& entry : entries) {
            std::printf("%*u  %s%s\n", static_cast<int>(width), entry.size,
                        FarDisplayName(entry.name).c_str(),
                        entry.IsReadable() ? "" : "  (cannot be read)");
        }
    }
    std::fflush(stdout);
    for (const std::string& problem : archive.GetProblems()) {
        PrintError(path + ": " + problem);
    }
    // The readable entries are listed, but a damaged archive is not reported as a sound one.
    return archive.GetProblems().empty() ? 0 : 1;
}

// The folders and the file name an entry's name places under the output folder, or why it would
// place it elsewhere (or nowhere).
std::string SplitEntryName(const std::string& name, std::vector<std::string>& parts) {
    parts.clear();
    if (name.empty()) {
        return "the name is empty";
    }
    if (name.find('\0') != std::string::npos) {
        return "the name holds a NUL byte";
    }
    if (name.front() == '/' || name.front() == '\\' || (name.size() >= 2 && name[1] == ':')) {
        return "the name is an absolute path";
    }
    size_t start = 0;
    while (true) {
        const size_t end = name.find_first_of("/\\", start);
        const std::string part = name.substr(start, end == std::string::npos ? end : end - start);
        if (part == "..") {
            return "the name climbs out of the folder with \"..\"";
        }
        if (part.empty() || part == ".") {
            return "the name has an empty or \".\" folder";
        }
        parts.push_back(part);
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return {};
}

// Writes bytes to parts under the folder open as root, creating folders as needed. Nothing is
// followed that could lead out of root: an existing symbolic link on the way is refused, and the
// file arrives by a rename, so a link or hard link already at its place is replaced, not written
// through. Returns why it failed, or an empty string; shownAs names the file in messages.
std::string WriteUnder(int root, const std::vector<std::string>& parts,
                       std::span<const uint8_t> bytes, const std::string& shownAs) {
    int folder = ::dup(root);
    if (folder < 0) {
        return std::strerror(errno);
    }
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        if (::mkdirat(folder, parts[i].c_str(), 0777) != 0 && errno != EEXIST) {
            const std::string why = std::strerror(errno);
            ::close(folder);
            return "cannot create the folder " + parts[i] + ": " + why;
        }
        const int next =
            ::openat(folder, parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(folder);
        if (next < 0) {
            return parts[i] + " is not a folder (or is a symbolic link): " + std::strerror(error);
        }
        folder = next;
    }
    std::string why;
    try {
        // Through a temporary that has no name until it is complete: a killed extraction
        // leaves nothing that a later one would trip over.
        CSafeFile out(folder, parts.back(), shownAs);
        out.Write(bytes.data(), bytes.size());
        out.Commit();
    } catch (const CFileException& e) {
        why = e.GetErrorMessage();
    }
    ::close(folder);
    return why;
}

int RunExtract(const std::string& path, const std::vector<std::string>& names,
               const std::string& outFolder) {
    CFarArchive archive;
    if (!Load(path, archive)) {
        return 1;
    }
    // A damaged archive: what can be extracted is, but the whole is not reported as extracted.
    // An unreadable entry is named here, among the archive's problems.
    for (const std::string& problem : archive.GetProblems()) {
        PrintError(path + ": " + problem);
    }
    int status = archive.GetProblems().empty() ? 0 : 1;
    std::vector<size_t> chosen;
    if (names.empty()) {
        for (size_t i = 0; i < archive.GetEntries().size(); ++i) {
            chosen.push_back(i);
        }
    }
    for (const std::string& name : names) {
        std::string why;
        if (const std::optional<size_t> index = archive.FindEntry(name, &why)) {
            chosen.push_back(*index);
        } else {
            PrintError(path + ": " + why);
            status = 1;
        }
    }
    if (::mkdir(outFolder.c_str(), 0777) != 0 && errno != EEXIST) {
        PrintError("cannot create " + outFolder + ": " + std::strerror(errno));
        return 1;
    }
    const int root = ::open(outFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root < 0) {
        PrintError(outFolder + " is not a folder: " + std::strerror(errno));
        return 1;
    }
    std::set<std::string> written;
    std::vector<std::string> parts;
    for (const size_t index : chosen) {
        const FarEntry& entry = archive.GetEntries()[index];
        const std::string shown = "\"" + FarDisplayName(entry.name) + "\"";
        std::string why;
        if (!entry.IsReadable()) {
            continue;  // named with the archive's problems
        }
        if (why = SplitEntryName(entry.name, parts); why.empty()) {
            std::string relative;
            for (const std::string& part : parts) {
                relative += (relative.empty() ? "" : "/") + part;
            }
            if (!written.insert(relative).second) {
                why = "an entry extracted before has the same path";
            } else if (why = WriteUnder(root, parts, archive.EntryBytes(index),
                                        EscapeControls(outFolder) + "/" + FarDisplayName(relative));
                       why.empty()) {
                std::printf("%s\n", FarDisplayName(relative).c_str());
                continue;
            }
        }
        PrintError("not extracted: " + shown + ": " + why);
        status = 1;
    }
    ::close(root);
    return status;
}

}  // namespace

void RegisterFarCommands(CLI::App& app, int& exitCode) {
    CLI::App* far = app.add_subcommand(
        "far", "FAR archives; any command's FILE may also be ARCHIVE.far:NAME, an entry of one");
    far->require_subcommand(1);

    auto listArchive = std::make_shared<std::string>();
    auto json = std::make_shared<bool>(false);
    CLI::App* list = far->add_subcommand("list", "Show the archive's variant and its entries");
    list->add_option("ARCHIVE", *listArchive, "FAR archive")->required();
    list->add_flag("--json", *json, "print JSON");
    list->callback([&exitCode, listArchive, json] {
        exitCode = Guarded([&] { return RunList(*listArchive, *json); });
    });

    auto extractArchive = std::make_shared<std::string>();
    auto names = std::make_shared<std::vector<std::string>>();
    auto outFolder = std::make_shared<std::string>();
    CLI::App* extract = far->add_subcommand(
        "extract", "Write entries (all, or those named) into DIR, folders in names as subfolders");
    extract->add_option("ARCHIVE", *extractArchive, "FAR archive")->required();
    extract->add_option("NAME", *names, "entries to extract");
    extract->add_option("-o,--output", *outFolder, "folder to write into")->required();
    extract->callback([&exitCode, extractArchive, names, outFolder] {
        exitCode = Guarded([&] { return RunExtract(*extractArchive, *names, *outFolder); });
    });
}
