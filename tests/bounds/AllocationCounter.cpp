#include "tests/bounds/AllocationCounter.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>

#if defined(__SANITIZE_ADDRESS__)
#define TG_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TG_UNDER_ASAN 1
#endif
#endif

#ifdef TG_UNDER_ASAN
#include <sanitizer/allocator_interface.h>
#endif

namespace {

std::atomic<bool> g_bActive{false};
std::atomic<size_t> g_nCount{0};
std::atomic<size_t> g_nTotal{0};
std::atomic<size_t> g_nLargest{0};

void Note(size_t bytes) {
    if (!g_bActive.load(std::memory_order_relaxed)) {
        return;
    }
    g_nCount.fetch_add(1, std::memory_order_relaxed);
    g_nTotal.fetch_add(bytes, std::memory_order_relaxed);
    size_t largest = g_nLargest.load(std::memory_order_relaxed);
    while (bytes > largest &&
           !g_nLargest.compare_exchange_weak(largest, bytes, std::memory_order_relaxed)) {
    }
}

#ifdef TG_UNDER_ASAN
void OnMalloc(const volatile void*, size_t bytes) {
    Note(bytes);
}
void OnFree(const volatile void*) {}

// Installed before main, so the hook sees everything the tests do.
const bool g_bHooked = [] {
    return __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
}();
#endif

}  // namespace

#ifndef TG_UNDER_ASAN
// The C library's own entry points, which these counting replacements forward to.
extern "C" {
void* __libc_malloc(size_t bytes);
void* __libc_calloc(size_t count, size_t bytes);
void* __libc_realloc(void* pointer, size_t bytes);
void __libc_free(void* pointer);

void* malloc(size_t bytes) {
    Note(bytes);
    return __libc_malloc(bytes);
}
void* calloc(size_t count, size_t bytes) {
    // An overflowing product is refused by the C library; count what was asked for.
    Note(count != 0 && bytes > static_cast<size_t>(-1) / count ? static_cast<size_t>(-1)
                                                               : count * bytes);
    return __libc_calloc(count, bytes);
}
void* realloc(void* pointer, size_t bytes) {
    Note(bytes);
    return __libc_realloc(pointer, bytes);
}
void free(void* pointer) {
    __libc_free(pointer);
}
}
#endif

AllocationScope::AllocationScope() {
    g_nCount = 0;
    g_nTotal = 0;
    g_nLargest = 0;
    g_bActive = true;
}

AllocationScope::~AllocationScope() {
    g_bActive = false;
}

size_t AllocationScope::Count() const {
    return g_nCount.load();
}

size_t AllocationScope::TotalBytes() const {
    return g_nTotal.load();
}

size_t AllocationScope::LargestBytes() const {
    return g_nLargest.load();
}

bool AllocationScope::IsCounting() {
#ifdef TG_UNDER_ASAN
    return g_bHooked;
#else
    return true;
#endif
}
