// Translating a whole archive against the same files loose: export (one catalog), coverage and
// import of a generated archive of 200 object files, each run of tallyglass-cli timed as a
// whole. The figures are medians of three runs, wall-clock and processor time (the machine may
// be shared: the load average is printed with them); the targets are archive / loose <= 1.5
// for export and coverage and <= 2 for import (the archive's own write included).

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench/ProcessTimer.h"
#include "exchange/PoCatalog.h"
#include "exchange/TranslationUnit.h"
#include "far/FarArchive.h"
#include "tests/support/IffBytes.h"

#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr size_t kEntries = 200;

// A multilingual payload: English and French texts, every entry with a description.
std::vector<uint8_t> Strings(size_t file, size_t resource, size_t count) {
    std::vector<uint8_t> out = {0xFD, 0xFF, static_cast<uint8_t>(count * 2),
                                static_cast<uint8_t>((count * 2) >> 8)};
    for (const uint8_t code : {uint8_t{1}, uint8_t{3}}) {
        for (size_t i = 0; i < count; ++i) {
            out.push_back(code);
            // Half the texts repeat across files ("Sit", "Eat" ...), as objects' menus do.
            const std::string text = i % 2 == 0
                                         ? "Action number " + std::to_string(i)
                                         : "Object " + std::to_string(file) + " text " +
                                               std::to_string(resource) + "." + std::to_string(i);
            out.insert(out.end(), text.begin(), text.end());
            out.push_back(0);
            out.insert(out.end(), {'d', 'e', 's', 'c', 0});
        }
    }
    return out;
}

// An object file of about 500 KB: text resources among sprite-sized binary chunks.
std::vector<uint8_t> ObjectFile(size_t file) {
    std::vector<TestChunk> chunks;
    chunks.push_back(MakeChunk("OBJD", 128, std::vector<uint8_t>(200, 1)));
    for (uint16_t id = 0; id < 24; ++id) {
        chunks.push_back(MakeChunk("SPR2", static_cast<uint16_t>(256 + id),
                                   std::vector<uint8_t>(20000, static_cast<uint8_t>(id))));
    }
    chunks.push_back(MakeChunk("STR#", 128, Strings(file, 128, 60), "names"));
    chunks.push_back(MakeChunk("CTSS", 2000, Strings(file, 2000, 2), "catalog"));
    chunks.push_back(MakeChunk("TTAs", 300, Strings(file, 300, 20), "menu"));
    return MakeIffFile(chunks);
}

void Write(const fs::path& path, const std::vector<uint8_t>& bytes) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

// Wall-clock and processor milliseconds of one command, each the median of three runs.
struct Figures {
    double wall = 0;
    double cpu = 0;
};

template <typename Prepare>
Figures Median(const std::vector<std::string>& command, Prepare prepare) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int run = 0; run < 3; ++run) {
        prepare();
        const ProcessRun done = RunProcess(command);
        if (done.status != 0) {
            std::fprintf(stderr, "failed (status %d): %s %s\n", done.status, command[0].c_str(),
                         command[1].c_str());
            std::exit(1);
        }
        wall.push_back(done.wall * 1000);
        cpu.push_back(done.cpu * 1000);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[1], cpu[1]};
}

// The catalog with every French translation changed, as a translator hands it back.
void Translate(const std::string& from, const std::string& to) {
    CatalogInfo info;
    std::vector<TranslationUnit> units;
    std::string error;
    if (!ReadPoCatalog(from, info, units, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
    for (TranslationUnit& unit : units) {
        unit.target = unit.source + " (fr)";
    }
    if (!WritePoCatalog(to, info, units, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        std::exit(1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path folder = fs::path(argc > 1 ? argv[1] : fs::temp_directory_path().string()) /
                            ("tallyglass-exchange-bench-" + std::to_string(::getpid()));
    const fs::path loose = folder / "loose";
    const fs::path packed = folder / "packed";
    std::vector<std::vector<uint8_t>> files;
    std::vector<CFarArchive::File> entries;
    std::vector<std::string> names;
    for (size_t i = 0; i < kEntries; ++i) {
        files.push_back(ObjectFile(i));
        names.push_back("objects/object" + std::to_string(i) + ".iff");
    }
    for (size_t i = 0; i < kEntries; ++i) {
        Write(loose / "Objects" / names[i], files[i]);
        entries.push_back({"objects\\object" + std::to_string(i) + ".iff", files[i]});
    }
    const std::vector<uint8_t> archive = *CFarArchive::Build(CFarArchive::Variant::v1a, entries);
    const auto resetArchive = [&] { Write(packed / "Objects.far", archive); };
    const auto resetLoose = [&] {
        for (size_t i = 0; i < kEntries; ++i) {
            Write(loose / "Objects" / names[i], files[i]);
        }
    };
    resetArchive();
    const std::string cli = TALLYGLASS_CLI;
    const std::string looseArg = (loose / "Objects").string();
    const std::string packedArg = (packed / "Objects.far").string();
    const auto nothing = [] {};

    struct Row {
        const char* what;
        Figures loose;
        Figures archive;
        double target;
    };
    const std::string loosePo = (folder / "loose.po").string();
    const std::string packedPo = (folder / "packed.po").string();
    std::vector<Row> rows;
    rows.push_back(
        {"export --single",
         Median({cli, "export", looseArg, "--lang", "fr", "--single", "-o", loosePo}, nothing),
         Median({cli, "export", packedArg, "--lang", "fr", "--single", "-o", packedPo}, nothing),
         1.5});
    rows.push_back({"coverage", Median({cli, "coverage", looseArg}, nothing),
                    Median({cli, "coverage", packedArg}, nothing), 1.5});
    Translate(loosePo, (folder / "loose-fr.po").string());
    Translate(packedPo, (folder / "packed-fr.po").string());
    rows.push_back(
        {"import",
         Median({cli, "import", looseArg, "--from", (folder / "loose-fr.po").string()}, resetLoose),
         Median({cli, "import", packedArg, "--from", (folder / "packed-fr.po").string()},
                resetArchive),
         2.0});
    double load[3] = {0, 0, 0};
    const bool hasLoad = ::getloadavg(load, 3) == 3;
    std::printf("%zu entries, %.1f MB: medians of 3 runs of tallyglass-cli", kEntries,
                static_cast<double>(archive.size()) / 1e6);
    if (hasLoad) {
        std::printf(", load average %.2f %.2f %.2f", load[0], load[1], load[2]);
    }
    std::printf("\n%-16s %9s %9s %9s %9s %7s %7s %7s\n", "", "loose ms", "archive", "loose cpu",
                "archive", "ratio", "cpu", "target");
    for (const Row& row : rows) {
        std::printf("%-16s %9.0f %9.0f %9.0f %9.0f %7.2f %7.2f %7.1f\n", row.what, row.loose.wall,
                    row.archive.wall, row.loose.cpu, row.archive.cpu,
                    row.archive.wall / row.loose.wall, row.archive.cpu / row.loose.cpu, row.target);
    }
    fs::remove_all(folder);
    return 0;
}
