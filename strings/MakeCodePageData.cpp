// Writes the code pages' tables, as ICU gives them on the build machine, into a C++ source
// file that is compiled into the program: a process then pays nothing to build them.
// Usage: make_codepage_data OUTPUT.cpp
#include <cstdio>
#include <string>

#include "strings/CodePageProbe.h"

namespace {

void WriteArray(std::string& out, const std::string& name, const uint16_t* values, size_t count) {
    out += "const uint16_t " + name + "[" + std::to_string(count) + "] = {";
    for (size_t i = 0; i < count; ++i) {
        out += i % 16 == 0 ? "\n   " : "";
        out += " " + std::to_string(values[i]) + ",";
    }
    out += "\n};\n";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_codepage_data OUTPUT.cpp\n");
        return 2;
    }
    std::string out =
        "// Generated at build time by make_codepage_data from ICU's converters. Do not edit.\n"
        "#include \"strings/CodePages.h\"\n\n"
        "namespace {\n\n"
        "// clang-format off\n";
    std::string entries;
    for (int index = 0; index < kCodePageCount; ++index) {
        CodePageTables tables;
        if (!ProbeCodePage(kCodePages[index].icuName, tables)) {
            std::fprintf(stderr,
                         "make_codepage_data: ICU has no usable converter %s for %s (missing, or "
                         "it decodes beyond the Basic Multilingual Plane)\n",
                         kCodePages[index].icuName, kCodePages[index].name);
            return 1;
        }
        const std::string suffix = std::to_string(index);
        WriteArray(out, "kSingle" + suffix, tables.single.data(), tables.single.size());
        if (tables.pairs.empty()) {
            entries += "    {kSingle" + suffix + ", nullptr},\n";
        } else {
            WriteArray(out, "kPairs" + suffix, tables.pairs.data(), tables.pairs.size());
            entries += "    {kSingle" + suffix + ", kPairs" + suffix + "},\n";
        }
    }
    out +=
        "// clang-format on\n\n}  // namespace\n\n"
        "const CompiledCodePage kCompiledCodePages[kCodePageCount] = {\n" +
        entries + "};\n";
    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr || std::fwrite(out.data(), 1, out.size(), file) != out.size() ||
        std::fclose(file) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    return 0;
}
