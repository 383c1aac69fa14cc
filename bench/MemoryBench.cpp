// bench_memory: the translation memory's figures against their targets.
//   look-up       a memory of 100,000 units: one fuzzy look-up (three suggestions, 75 %), p95
//   memory use    heap held by a read memory ÷ its TMX file's size
//   build         `memory build` ÷ `export --single` of the same inputs: the sample folder, and
//                 200 generated objects (as an archive for the build, loose for the export,
//                 which reads no archives)
//   pretranslate  `pretranslate` of a 40,000-unit catalog with the 100,000-unit memory
// Commands run as processes of the built tallyglass-cli; each figure is the median of runs, in
// wall and CPU seconds.
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "bench/ProcessTimer.h"
#include "exchange/PoCatalog.h"
#include "far/FarArchive.h"
#include "memory/Tmx.h"
#include "memory/TranslationMemory.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Times {
    double wall = 0;
    double cpu = 0;
};

Times RunOnce(const std::vector<std::string>& args) {
    const ProcessRun run = RunProcess(args);
    if (run.status < 0 || run.status > 1) {
        std::fprintf(stderr, "%s %s failed (status %d)\n", args[0].c_str(), args[1].c_str(),
                     run.status);
        std::exit(1);
    }
    return {run.wall, run.cpu};
}

Times Median(const std::vector<std::string>& args, int runs) {
    std::vector<double> wall;
    std::vector<double> cpu;
    for (int i = 0; i < runs; ++i) {
        const Times t = RunOnce(args);
        wall.push_back(t.wall);
        cpu.push_back(t.cpu);
    }
    std::sort(wall.begin(), wall.end());
    std::sort(cpu.begin(), cpu.end());
    return {wall[wall.size() / 2], cpu[cpu.size() / 2]};
}

// Game-like phrases: two to six words of a vocabulary of 3,000, the first capitalised.
class CPhrases {
public:
    CPhrases() : m_random(7) {
        const char* syllables[] = {"ka", "ro", "mi",  "te",  "sa",  "lu",  "ne", "po",
                                   "di", "va", "gor", "bel", "tin", "shu", "rak"};
        std::uniform_int_distribution<size_t> pick(0, std::size(syllables) - 1);
        std::uniform_int_distribution<int> length(1, 3);
        while (m_words.size() < 3000) {
            std::string word;
            for (int n = length(m_random); n > 0; --n) {
                word += syllables[pick(m_random)];
            }
            m_words.push_back(word);
        }
    }
    std::string Next() {
        std::uniform_int_distribution<size_t> word(0, m_words.size() - 1);
        std::uniform_int_distribution<int> count(2, 6);
        std::string phrase;
        for (int n = count(m_random); n > 0; --n) {
            phrase += (phrase.empty() ? "" : " ") + m_words[word(m_random)];
        }
        phrase[0] = static_cast<char>(phrase[0] - 'a' + 'A');
        return phrase;
    }
    // The phrase with one character changed, as a text that is nearly but not quite in memory.
    std::string Near(std::string phrase) {
        // A letter, not a space: a changed space joins two words, which the prefilter, matching
        // whole words and stems, does not look for.
        std::uniform_int_distribution<size_t> at(1, phrase.size() - 1);
        size_t place = at(m_random);
        while (phrase[place] == ' ') {
            place = at(m_random);
        }
        phrase[place] = 'x';
        return phrase;
    }
    std::mt19937& Random() { return m_random; }

private:
    std::mt19937 m_random;
    std::vector<std::string> m_words;
};

size_t HeapInUse() {
    return mallinfo2().uordblks;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cli = TALLYGLASS_CLI;
    const std::string examples = argc > 1 ? argv[1] : TALLYGLASS_EXAMPLES;
    const fs::path dir = fs::temp_directory_path() / "tg-bench-memory";
    fs::remove_all(dir);
    fs::create_directories(dir);

    // A memory of 100,000 units in five languages.
    CPhrases phrases;
    std::vector<std::string> sources;
    {
        CTranslationMemory memory;
        const uint16_t locales[] = {memory.AddLocale("fr"), memory.AddLocale("de"),
                                    memory.AddLocale("es"), memory.AddLocale("ja"),
                                    memory.AddLocale("ru")};
        while (memory.GetCount() < 100000) {
            std::string source = phrases.Next();
            std::vector<MemoryTranslation> translations;
            for (const uint16_t locale : locales) {
                translations.push_back({locale, source + " (" + memory.GetLocales()[locale] + ")"});
            }
            if (memory.Add(source, translations, "Bench.iff:CTSS:2000:0")) {
                sources.push_back(source);
            }
        }
        std::string error;
        if (!WriteTmxFile((dir / "memory.tmx").string(), memory, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
    }
    const auto tmxSize = static_cast<double>(fs::file_size(dir / "memory.tmx"));
    const size_t before = HeapInUse();
    CTranslationMemory memory;
    std::string error;
    const auto readStart = Clock::now();
    if (!ReadTmxFile((dir / "memory.tmx").string(), memory, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const double readSeconds = std::chrono::duration<double>(Clock::now() - readStart).count();
    const uint16_t fr = memory.FindLocale("fr");
    std::ignore = memory.Lookup("warm up the index", fr, 75, 3);
    const auto held = static_cast<double>(HeapInUse() - before);

    // Look-ups: half near misses of texts in memory, half new phrases.
    std::vector<double> times;
    int missed = 0;
    std::uniform_int_distribution<size_t> any(0, sources.size() - 1);
    for (int i = 0; i < 2000; ++i) {
        const std::string text =
            i % 2 == 0 ? phrases.Near(sources[any(phrases.Random())]) : phrases.Next();
        const auto start = Clock::now();
        const std::vector<MemoryMatch> matches = memory.Lookup(text, fr, 75, 3);
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        if (i % 2 == 0 && matches.empty()) {
            ++missed;  // the prefilter's recall, reported below
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("%-44s %10s %10s %10s\n", "figure", "value", "target", "ratio");
    const auto row = [](const char* name, double value, double target, const char* unit) {
        std::printf("%-44s %9.3f%s %9.3f%s %10.2f\n", name, value, unit, target, unit,
                    value / target);
    };
    std::printf("memory: %zu units, TMX %.1f MB, read in %.2f s\n", memory.GetCount(),
                tmxSize / 1e6, readSeconds);
    std::printf("near misses without a suggestion: %d of 1000\n", missed);
    row("look-up p50 (100,000 units)", times[times.size() / 2], 20, "ms");
    row("look-up p95 (100,000 units)", times[times.size() * 95 / 100], 20, "ms");
    row("look-up max", times.back(), 20, "ms");
    row("heap held ÷ TMX size", held / tmxSize, 3, "x");

    // Build ÷ export: the sample folder.
    const Times buildSamples =
        Median({cli, "memory", "build", examples, "-o", (dir / "samples.tmx").string()}, 5);
    const Times exportSamples = Median({cli, "export", examples, "--lang", "French", "--single",
                                        "-o", (dir / "samples.po").string()},
                                       5);
    std::printf("build samples %.3f s wall %.3f s CPU, export %.3f s wall %.3f s CPU\n",
                buildSamples.wall, buildSamples.cpu, exportSamples.wall, exportSamples.cpu);
    row("build ÷ export, sample folder (CPU)", buildSamples.cpu / exportSamples.cpu, 2, "x");

    // 200 objects: copies of the multilingual sample under other names.
    std::ifstream in(examples + "/text-types.iff", std::ios::binary);
    const std::vector<uint8_t> object((std::istreambuf_iterator<char>(in)),
                                      std::istreambuf_iterator<char>());
    fs::create_directories(dir / "objects");
    std::vector<std::string> names;
    for (int i = 0; i < 200; ++i) {
        names.push_back("object" + std::to_string(i) + ".iff");
        std::ofstream((dir / "objects" / names.back()).string(), std::ios::binary)
            .write(reinterpret_cast<const char*>(object.data()),
                   static_cast<std::streamsize>(object.size()));
    }
    std::vector<CFarArchive::File> files;
    for (const std::string& name : names) {
        files.push_back({name, object});
    }
    const std::optional<std::vector<uint8_t>> far =
        CFarArchive::Build(CFarArchive::Variant::v1a, files);
    std::ofstream((dir / "objects.far").string(), std::ios::binary)
        .write(reinterpret_cast<const char*>(far->data()),
               static_cast<std::streamsize>(far->size()));
    const Times buildArchive = Median(
        {cli, "memory", "build", (dir / "objects.far").string(), "-o", (dir / "far.tmx").string()},
        5);
    const Times exportLoose = Median({cli, "export", (dir / "objects").string(), "--lang", "French",
                                      "--single", "-o", (dir / "objects.po").string()},
                                     5);
    std::printf("build archive %.3f s wall %.3f s CPU, export loose %.3f s wall %.3f s CPU\n",
                buildArchive.wall, buildArchive.cpu, exportLoose.wall, exportLoose.cpu);
    row("build ÷ export, 200 objects (CPU)", buildArchive.cpu / exportLoose.cpu, 2, "x");

    // Pre-translation of 40,000 units: a quarter in memory, a quarter near, half new.
    std::vector<TranslationUnit> units;
    for (int i = 0; i < 40000; ++i) {
        TranslationUnit unit;
        unit.context = "CTSS:2000:" + std::to_string(i);
        const std::string& known = sources[any(phrases.Random())];
        unit.source = i % 4 == 0 ? known : i % 4 == 1 ? phrases.Near(known) : phrases.Next();
        units.push_back(unit);
    }
    if (!WritePoCatalog((dir / "big.po").string(), {"fr", "en_US"}, units, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    const Times pretranslate =
        Median({cli, "pretranslate", (dir / "big.po").string(), "--memory",
                (dir / "memory.tmx").string(), "-o", (dir / "big.out.po").string()},
               3);
    row("pretranslate 40,000 units (wall)", pretranslate.wall, 10, "s ");
    std::printf("pretranslate CPU %.2f s\n", pretranslate.cpu);
    fs::remove_all(dir);
    return 0;
}
