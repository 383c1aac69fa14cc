// Writes the bundled sample file and the quirk files into a folder (examples/ by default).
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tools/SampleFiles.h"

int main(int argc, char** argv) {
    if (argc > 2) {
        std::fprintf(stderr, "usage: make_samples [FOLDER]\n");
        return 2;
    }
    const std::filesystem::path folder = argc == 2 ? argv[1] : "examples";
    for (const auto& file : BuildSampleFiles()) {
        const auto path = folder / file.path;
        std::error_code error;
        std::filesystem::create_directories(path.parent_path(), error);
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.bytes.data()),
                  static_cast<std::streamsize>(file.bytes.size()));
        out.close();
        if (!out) {
            std::fprintf(stderr, "make_samples: cannot write %s\n", path.c_str());
            return 1;
        }
        std::printf("%s (%zu bytes)\n", path.c_str(), file.bytes.size());
    }
    return 0;
}
