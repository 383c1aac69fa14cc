// The main of the fuzz targets when they are not linked with libFuzzer: runs every file named on
// the command line, and every file in every folder named there, once through
// LLVMFuzzerTestOneInput. A violated property aborts (non-zero exit); a missing argument or no
// input at all exits with 2, so a mistyped seed folder cannot pass unnoticed.

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <system_error>
#include <tuple>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Sanitizer runtimes call this before they end the process on a report; absent otherwise.
extern "C" __attribute__((weak)) void __sanitizer_set_death_callback(void (*callback)());

namespace {

// The input being run, for the message printed when the process dies on it.
char g_szCurrent[4096];

void SayWhichInput() {
    if (g_szCurrent[0] != '\0') {
        static const char kPrefix[] = "replay: failed on input ";
        std::ignore = ::write(STDERR_FILENO, kPrefix, sizeof(kPrefix) - 1);
        std::ignore = ::write(STDERR_FILENO, g_szCurrent, std::strlen(g_szCurrent));
        std::ignore = ::write(STDERR_FILENO, "\n", 1);
    }
}

void OnFatalSignal(int signal) {
    SayWhichInput();
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

bool ReadFile(const std::filesystem::path& path, std::vector<uint8_t>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::filesystem::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path arg(argv[i]);
        std::error_code error;
        if (std::filesystem::is_directory(arg, error)) {
            std::vector<std::filesystem::path> files;
            for (const auto& entry : std::filesystem::recursive_directory_iterator(arg, error)) {
                if (entry.is_regular_file()) {
                    files.push_back(entry.path());
                }
            }
            std::sort(files.begin(), files.end());
            inputs.insert(inputs.end(), files.begin(), files.end());
        } else if (std::filesystem::is_regular_file(arg, error)) {
            inputs.push_back(arg);
        } else {
            std::fprintf(stderr, "replay: no such file or folder: %s\n", argv[i]);
            return 2;
        }
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "usage: %s FILE-OR-FOLDER...  (no input found)\n", argv[0]);
        return 2;
    }

    if (__sanitizer_set_death_callback != nullptr) {
        __sanitizer_set_death_callback(SayWhichInput);
    }
    ::signal(SIGABRT, OnFatalSignal);
    ::signal(SIGSEGV, OnFatalSignal);
    ::signal(SIGBUS, OnFatalSignal);
    ::signal(SIGFPE, OnFatalSignal);
    ::signal(SIGILL, OnFatalSignal);

    std::vector<uint8_t> bytes;
    for (const auto& path : inputs) {
        if (!ReadFile(path, bytes)) {
            std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
            return 2;
        }
        std::snprintf(g_szCurrent, sizeof(g_szCurrent), "%s", path.c_str());
        // An allocation of exactly the input's size, so that AddressSanitizer sees any read past
        // its end (a vector may hold spare capacity).
        const std::unique_ptr<uint8_t[]> data(new uint8_t[bytes.size()]);
        std::copy(bytes.begin(), bytes.end(), data.get());
        std::ignore = LLVMFuzzerTestOneInput(data.get(), bytes.size());
    }
    g_szCurrent[0] = '\0';
    std::printf("replay: %zu inputs passed\n", inputs.size());
    return 0;
}
