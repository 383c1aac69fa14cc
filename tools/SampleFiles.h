#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One generated file: its path below examples/ and its bytes.
struct SampleFile {
    std::string path;
    std::vector<uint8_t> bytes;
};

// The bundled sample file and the small quirk files. Every byte is laid out here by hand, without
// the container or string code, so that the files check those readers independently.
[[nodiscard]] std::vector<SampleFile> BuildSampleFiles();
