// Decoding and encoding of large text payloads, in bytes per second beside a plain memcpy of the
// same bytes. Texts are of realistic length (catalogue names and descriptions of 12-60 bytes).

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "strings/Languages.h"
#include "strings/StringSet.h"

namespace {

std::string RandomText(std::mt19937& rng, size_t minLength, size_t maxLength) {
    std::uniform_int_distribution<size_t> length(minLength, maxLength);
    std::uniform_int_distribution<int> letter('a', 'z');
    std::string text(length(rng), ' ');
    for (char& c : text) {
        c = static_cast<char>(letter(rng));
    }
    return text;
}

// A multilingual payload of entries x slots records, each with a text and a description.
std::vector<uint8_t> MakeMultilingual(size_t entries, int slots) {
    std::mt19937 rng(12345);
    const size_t records = entries * static_cast<size_t>(slots);
    std::vector<uint8_t> payload = {0xFD, 0xFF, static_cast<uint8_t>(records & 0xFF),
                                    static_cast<uint8_t>(records >> 8)};
    for (int slot = 0; slot < slots; ++slot) {
        for (size_t i = 0; i < entries; ++i) {
            payload.push_back(LanguageToCode(slot));
            for (const std::string& s : {RandomText(rng, 12, 48), RandomText(rng, 0, 24)}) {
                payload.insert(payload.end(), s.begin(), s.end());
                payload.push_back(0);
            }
        }
    }
    return payload;
}

// A UTF-8 layout payload of entries pairs in each of the first sets, with the texts of
// MakeMultilingual (so that the sizes compare), and empty sets up to the 20 real files write.
std::vector<uint8_t> MakeUtf8(size_t entries, int languages) {
    std::mt19937 rng(12345);
    std::vector<uint8_t> payload = {0xFC, 0xFF, 20};
    const auto putLength = [&payload](size_t length) {
        for (; length >= 0x80; length >>= 7) {
            payload.push_back(static_cast<uint8_t>(0x80 | (length & 0x7F)));
        }
        payload.push_back(static_cast<uint8_t>(length));
    };
    for (int set = 0; set < 20; ++set) {
        const size_t pairs = set < languages ? entries : 0;
        payload.push_back(static_cast<uint8_t>(pairs & 0xFF));
        payload.push_back(static_cast<uint8_t>(pairs >> 8));
        for (size_t i = 0; i < pairs; ++i) {
            payload.push_back(static_cast<uint8_t>(set));
            for (const std::string& s : {RandomText(rng, 12, 48), RandomText(rng, 0, 24)}) {
                putLength(s.size());
                payload.insert(payload.end(), s.begin(), s.end());
            }
        }
    }
    return payload;
}

const std::vector<uint8_t>& Payload(int which) {
    // 65,535 records of one language, and 4,095 entries in all 16 classic languages (65,520
    // records: 16 full blocks are the most a 16-bit count allows at this size); then the UTF-8
    // layout with 65,535 entries in one language, and in all 20 (its counts are per language).
    static const std::vector<uint8_t> kOneLanguage = MakeMultilingual(65535, 1);
    static const std::vector<uint8_t> kSixteen = MakeMultilingual(4095, 16);
    static const std::vector<uint8_t> kUtf8One = MakeUtf8(65535, 1);
    static const std::vector<uint8_t> kUtf8Twenty = MakeUtf8(65535, 20);
    switch (which) {
        case 0:
            return kOneLanguage;
        case 1:
            return kSixteen;
        case 2:
            return kUtf8One;
        default:
            return kUtf8Twenty;
    }
}

void BM_Memcpy(benchmark::State& state) {
    const auto& payload = Payload(static_cast<int>(state.range(0)));
    std::vector<uint8_t> copy(payload.size());
    for (auto _ : state) {
        std::memcpy(copy.data(), payload.data(), payload.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload.size()));
}

void BM_Decode(benchmark::State& state) {
    const auto& payload = Payload(static_cast<int>(state.range(0)));
    CStringSet set;
    for (auto _ : state) {
        if (!set.Decode(payload.data(), payload.size())) {
            state.SkipWithError("decoding failed");
            break;
        }
        benchmark::DoNotOptimize(set.GetCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload.size()));
}

void BM_Encode(benchmark::State& state) {
    const auto& payload = Payload(static_cast<int>(state.range(0)));
    CStringSet set;
    if (!set.Decode(payload.data(), payload.size())) {
        state.SkipWithError("decoding failed");
        return;
    }
    std::vector<uint8_t> out;
    for (auto _ : state) {
        if (!set.Encode(out) || out.size() != payload.size()) {
            state.SkipWithError("encoding failed or changed the size");
            break;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * payload.size()));
}

}  // namespace

// Argument 0: 65,535 records in one language; 1: 4,095 entries x 16 languages (FD FF); 2: 65,535
// entries in one language; 3: 65,535 entries x 20 languages (FC FF).
BENCHMARK(BM_Memcpy)->DenseRange(0, 3);
BENCHMARK(BM_Decode)->DenseRange(0, 3);
BENCHMARK(BM_Encode)->DenseRange(0, 3);

BENCHMARK_MAIN();
