#pragma once

#include <cstddef>

// Counts the heap allocations the process makes while a scope is open: how many, how many bytes
// in all, and the largest one. Every allocation is seen, whatever asked for it (operator new,
// malloc, calloc, realloc): without AddressSanitizer the test binary replaces the C allocator's
// entry points with counting ones that forward to the C library; under AddressSanitizer, whose
// allocator owns those entry points, the sanitizer's allocation hook counts instead. The counts
// are exact and independent of what else the machine is doing.
class AllocationScope {
public:
    AllocationScope();
    ~AllocationScope();
    AllocationScope(const AllocationScope&) = delete;
    AllocationScope& operator=(const AllocationScope&) = delete;

    [[nodiscard]] size_t Count() const;
    [[nodiscard]] size_t TotalBytes() const;
    [[nodiscard]] size_t LargestBytes() const;
    // Whether this build counts at all (false would make every bound pass vacuously).
    [[nodiscard]] static bool IsCounting();
};
